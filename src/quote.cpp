// SPDX-License-Identifier: MIT
#include "quote.h"

#include <cstdint>
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

// Whether a character shows as something else or moves others: a C1
// control, which some terminals obey, or a bidirectional control, which
// reorders what follows it on the screen.
bool disguises(std::uint32_t c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0x61C || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// How many bytes from name[i] on must be written in octal: 1 for a C0
// control, DEL or a byte outside well-formed UTF-8, all of a character
// that disguises(); 0 where name[i] starts a character shown as it is.
std::size_t octalat(const unsigned char* s, std::size_t length, std::size_t i) {
  unsigned char c = s[i];
  if (c < 0x20 || c == 0x7F) return 1;
  std::size_t size = utf8at(s, length, i);
  if (size == 0) return 1;
  if (size == 1) return 0;
  // The lead byte's bits, then six from each continuation byte.
  std::uint32_t point = c & (0x7Fu >> size);
  for (std::size_t k = 1; k < size; ++k) point = point << 6 | (s[i + k] & 0x3Fu);
  return disguises(point) ? size : 0;
}

// Whether quotename() writes the name as it is.
bool plain(const unsigned char* s, std::size_t length) {
  for (std::size_t i = 0; i < length; i += utf8at(s, length, i)) {
    if (octalat(s, length, i) != 0) return false;
  }
  return true;
}

// The bytes a shell word may hold without quotes, whatever surrounds it.
bool bare(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         (c != 0 && std::strchr("_./+,:@%=-", c) != nullptr);
}

// Writes within out[0, size) and counts every byte it is handed: nothing
// lands past out[size - 1].
struct sink {
  char* out;
  std::size_t size;
  std::size_t n;
  void put(unsigned char c) {
    if (n < size) out[n] = static_cast<char>(c);
    ++n;
  }
};

}  // namespace

std::size_t quotename(const char* name, std::size_t length,
                      char* out,  // NOLINT(readability-non-const-parameter): written through w
                      std::size_t size) {
  const auto* s = reinterpret_cast<const unsigned char*>(name);
  sink w{out, size, 0};
  if (plain(s, length)) {
    for (std::size_t i = 0; i < length; ++i) w.put(s[i]);
    return w.n;
  }
  w.put('$');
  w.put('\'');
  for (std::size_t i = 0; i < length;) {
    unsigned char c = s[i];
    const char* special = c != 0 && c < 0x80 ? std::strchr(specials, c) : nullptr;
    std::size_t octal = octalat(s, length, i);
    if (special != nullptr) {
      w.put('\\');
      w.put(static_cast<unsigned char>(letters[special - specials]));
      ++i;
    } else if (octal > 0) {
      // Always three digits, so that a digit after it is never read into it.
      for (std::size_t end = i + octal; i < end; ++i) {
        c = s[i];
        w.put('\\');
        w.put(static_cast<unsigned char>('0' + (c >> 6)));
        w.put(static_cast<unsigned char>('0' + ((c >> 3) & 7)));
        w.put(static_cast<unsigned char>('0' + (c & 7)));
      }
    } else {
      for (std::size_t end = i + utf8at(s, length, i); i < end; ++i) w.put(s[i]);
    }
  }
  w.put('\'');
  return w.n;
}

std::size_t shellword(const char* name, std::size_t length, char* out, std::size_t size) {
  const auto* s = reinterpret_cast<const unsigned char*>(name);
  sink w{out, size, 0};
  if (length > 0 && name[0] == '-') {
    w.put('.');
    w.put('/');
  }
  if (!plain(s, length))
    return w.n + quotename(name, length, out + w.n, size > w.n ? size - w.n : 0);
  std::size_t i = 0;
  while (i < length && bare(s[i])) ++i;
  if (length > 0 && i == length) {
    for (i = 0; i < length; ++i) w.put(s[i]);
    return w.n;
  }
  // Inside single quotes every byte stands for itself but the quote, which
  // ends them: end, write it escaped, begin again.
  w.put('\'');
  for (i = 0; i < length; ++i) {
    w.put(s[i]);
    if (name[i] == '\'') {
      w.put('\\');
      w.put('\'');
      w.put('\'');
    }
  }
  w.put('\'');
  return w.n;
}
