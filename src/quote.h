// SPDX-License-Identifier: MIT
// Names as the program shows them: a name that could break or disguise a
// line, or that a terminal could take for a control, is shown in the
// shell's ANSI-C quoting instead.
#ifndef VARNHOLT_QUOTE_H_
#define VARNHOLT_QUOTE_H_

#include <cstddef>

// The most bytes quotename() writes for a name of length bytes: $' ', and
// four for each byte.
constexpr std::size_t quotedsize(std::size_t length) {
  return 4 * length + 3;
}

// Writes name[0, length) to out, at most size bytes of it, and returns the
// length of the whole form, as snprintf does: where that is more than size,
// the form was cut. quotedsize(length) is always enough. A name
// of well-formed UTF-8 without a control character is written as it is. Any
// other is written as $'...', which bash reads back as the very same bytes:
// \n, \t, \r, \\ and \' for those bytes; three octal digits for every
// other C0 control and DEL (\033), for each byte of a C1 control in UTF-8
// (C2 80 to C2 9F: \302\233) or of a bidirectional control, which reorders
// what a terminal shows (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066
// to U+2069: \342\200\256 for U+202E), and for each byte outside
// well-formed UTF-8 (stray continuation bytes, cut or overlong sequences,
// surrogates, values past U+10FFFF, C0, C1 and F5 to FF); every other
// byte as it is.
std::size_t quotename(const char* name, std::size_t length, char* out, std::size_t size);

// The most bytes shellword() writes for a name of length bytes.
constexpr std::size_t shellwordsize(std::size_t length) {
  return quotedsize(length) + 2;
}

// Writes name[0, length) to out, at most size bytes, as one word that bash
// reads back as the name, whatever it holds, and returns the length of the
// whole word, as quotename() does; shellwordsize(length) is always enough.
// The word is the name as it is
// where every byte is a letter, a digit or one of _ . / + , : @ % = -;
// else in quotename()'s $'...' form where that form is needed; else in
// single quotes, each ' written as '\''. A name that starts with - gets ./
// before it, so that no command takes it for an option.
std::size_t shellword(const char* name, std::size_t length, char* out, std::size_t size);

#endif  // VARNHOLT_QUOTE_H_
