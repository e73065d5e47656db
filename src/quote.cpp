// SPDX-License-Identifier: MIT
#include "quote.h"

#include <cstring>

namespace {

// The bytes with an escape of their own, and the letter of each.
constexpr char specials[] = "\n\t\r\\'";
constexpr char letters[] = "ntr\\'";

bool iscontrol(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

// How many bytes of a control character start at name[i]: 1 for a C0
// control or DEL, 2 for a C1 control in UTF-8 (C2 80 to C2 9F), which some
// terminals obey as well; 0 for anything else.
std::size_t controlat(const char* name, std::size_t length, std::size_t i) {
  auto c = static_cast<unsigned char>(name[i]);
  if (iscontrol(c)) return 1;
  if (c != 0xC2 || i + 1 >= length) return 0;
  auto next = static_cast<unsigned char>(name[i + 1]);
  return next >= 0x80 && next <= 0x9F ? 2 : 0;
}

}  // namespace

std::size_t quotename(const char* name, std::size_t length, char* out) {
  bool plain = true;
  for (std::size_t i = 0; i < length && plain; ++i) plain = controlat(name, length, i) == 0;
  if (plain) {
    std::memcpy(out, name, length);
    return length;
  }
  std::size_t n = 0;
  out[n++] = '$';
  out[n++] = '\'';
  std::size_t octal = 0;  // bytes still to write in octal
  for (std::size_t i = 0; i < length; ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    const char* special = c != 0 ? std::strchr(specials, c) : nullptr;
    if (octal == 0) octal = controlat(name, length, i);
    if (special != nullptr) {
      out[n++] = '\\';
      out[n++] = letters[special - specials];
      octal = 0;
    } else if (octal > 0) {
      --octal;
      // Always three digits, so that a digit after it is never read into it.
      out[n++] = '\\';
      out[n++] = static_cast<char>('0' + (c >> 6));
      out[n++] = static_cast<char>('0' + ((c >> 3) & 7));
      out[n++] = static_cast<char>('0' + (c & 7));
    } else {
      out[n++] = static_cast<char>(c);
    }
  }
  out[n++] = '\'';
  return n;
}
