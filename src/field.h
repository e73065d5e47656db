// SPDX-License-Identifier: MIT
// Fixed-width text fields and the five-character integer read.
#ifndef VARNHOLT_FIELD_H_
#define VARNHOLT_FIELD_H_

#include <cstddef>
#include <cstdint>

// A text field holds exactly this many characters, padded with blanks on the
// right; trailing blanks are never significant.
inline constexpr std::size_t fieldsize = 500;

// Fills field with blanks, then copies at most fieldsize characters of text
// into it; a null text leaves it all blanks. Returns cutpast(text,
// fieldsize): 1 where the field no longer holds what the user gave.
int setfield(char* field, const char* text);

// 1 when text has a character other than a blank after its first width
// characters, which a field of that width loses; 0 otherwise, and for a
// null text.
int cutpast(const char* text, std::size_t width);

// The length of the first size characters of field without trailing blanks.
std::size_t trimmedlength(const char* field, std::size_t size);

// Reads an integer, "(I5)" style, from the first five characters of field:
// leading blanks skipped, an optional sign, decimal digits; blanks after the
// sign and among or after the digits are ignored, and an all-blank field is
// 0. Returns 0 and stores the value, or 1 (value untouched) when the five
// characters hold anything else or a sign with no digit.
int readi5(const char* field, std::int32_t* value);

#endif  // VARNHOLT_FIELD_H_
