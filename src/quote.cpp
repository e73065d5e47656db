// SPDX-License-Identifier: MIT
#include "quote.h"

#include <cstring>

namespace {

// The bytes with an escape of their own, and the letter of each.
constexpr char specials[] = "\n\t\r\\'";
constexpr char letters[] = "ntr\\'";

// The length of the well-formed UTF-8 character at name[i], or 0 where
// none starts there: a stray continuation byte, a cut or overlong
// sequence, a surrogate, a value past U+10FFFF, or a byte F5 to FF.
std::size_t utf8at(const unsigned char* s, std::size_t length, std::size_t i) {
  unsigned char c = s[i];
  if (c < 0x80) return 1;
  std::size_t size = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    size = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    size = 3;
    if (c == 0xE0) low = 0xA0;   // overlong below that
    if (c == 0xED) high = 0x9F;  // surrogates above that
  } else if (c >= 0xF0 && c <= 0xF4) {
    size = 4;
    if (c == 0xF0) low = 0x90;   // overlong below that
    if (c == 0xF4) high = 0x8F;  // past U+10FFFF above that
  } else {
    return 0;
  }
  if (length - i < size || s[i + 1] < low || s[i + 1] > high) return 0;
  for (std::size_t k = 2; k < size; ++k) {
    if (s[i + k] < 0x80 || s[i + k] > 0xBF) return 0;
  }
  return size;
}

// How many bytes from name[i] on must be written in octal: 1 for a C0
// control, DEL or a byte outside well-formed UTF-8, 2 for a C1 control in
// UTF-8 (C2 80 to C2 9F), which some terminals obey as well; 0 where
// name[i] starts a character shown as it is.
std::size_t octalat(const unsigned char* s, std::size_t length, std::size_t i) {
  unsigned char c = s[i];
  if (c < 0x20 || c == 0x7F) return 1;
  std::size_t size = utf8at(s, length, i);
  if (size == 0) return 1;
  return c == 0xC2 && s[i + 1] <= 0x9F ? 2 : 0;
}

}  // namespace

std::size_t quotename(const char* name, std::size_t length, char* out) {
  const auto* s = reinterpret_cast<const unsigned char*>(name);
  bool plain = true;
  for (std::size_t i = 0; i < length && plain; i += utf8at(s, length, i)) {
    plain = octalat(s, length, i) == 0;
  }
  if (plain) {
    std::memcpy(out, name, length);
    return length;
  }
  std::size_t n = 0;
  out[n++] = '$';
  out[n++] = '\'';
  for (std::size_t i = 0; i < length;) {
    unsigned char c = s[i];
    const char* special = c != 0 && c < 0x80 ? std::strchr(specials, c) : nullptr;
    std::size_t octal = octalat(s, length, i);
    if (special != nullptr) {
      out[n++] = '\\';
      out[n++] = letters[special - specials];
      ++i;
    } else if (octal > 0) {
      // Always three digits, so that a digit after it is never read into it.
      for (std::size_t end = i + octal; i < end; ++i) {
        c = s[i];
        out[n++] = '\\';
        out[n++] = static_cast<char>('0' + (c >> 6));
        out[n++] = static_cast<char>('0' + ((c >> 3) & 7));
        out[n++] = static_cast<char>('0' + (c & 7));
      }
    } else {
      for (std::size_t end = i + utf8at(s, length, i); i < end; ++i)
        out[n++] = static_cast<char>(s[i]);
    }
  }
  out[n++] = '\'';
  return n;
}
