// SPDX-License-Identifier: MIT
// The manual's table of formats, written from formats[] when the page is
// built, so that the page says what the program does.
#ifndef VARNHOLT_FORMATTABLE_H_
#define VARNHOLT_FORMATTABLE_H_

#include <cstdio>

#include "format.h"

// The line of the page's source that the rows replace.
inline constexpr char formattablemark[] = ".\\\" The rows of the table of formats\n";

// Writes the row of that format, as tbl takes it: its name, how it is told
// (its magic in hexadecimal, with runs of ASCII letters, digits and blanks
// between double quotes, the words of its test, whether it needs a NUL,
// when it is cut short, and what holds it under which names), and how its
// records become text (its tool, that tool's Debian package and the
// suffixes its text drops and adds, or the words of the advice).
void writeformatrow(const fileformat& format, std::FILE* out);

#endif  // VARNHOLT_FORMATTABLE_H_
