// SPDX-License-Identifier: MIT
// Names as the program shows them: a name that could break or disguise a
// line is shown in the shell's ANSI-C quoting instead.
#ifndef VARNHOLT_QUOTE_H_
#define VARNHOLT_QUOTE_H_

#include <cstddef>

// The most bytes quotename() writes for a name of length bytes: $' ', and
// four for each byte.
constexpr std::size_t quotedsize(std::size_t length) {
  return 4 * length + 3;
}

// Writes name[0, length) to out and returns how many bytes it wrote. A name
// without a control byte (0x00-0x1F, 0x7F) is written as it is. Any other is
// written as $'...', which bash reads back as the very same bytes:
// \n, \t, \r, \\ and \' for those bytes, three octal digits for every other
// control byte (\033), and every other byte as it is.
std::size_t quotename(const char* name, std::size_t length, char* out);

#endif  // VARNHOLT_QUOTE_H_
