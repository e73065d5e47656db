#include "quote.h"

#include <cstring>

namespace {

// The bytes with an escape of their own, and the letter of each.
constexpr char specials[] = "\n\t\r\\'";
constexpr char letters[] = "ntr\\'";

bool iscontrol(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

}  // namespace

std::size_t quotename(const char* name, std::size_t length, char* out) {
  bool plain = true;
  for (std::size_t i = 0; i < length; ++i)
    plain = plain && !iscontrol(static_cast<unsigned char>(name[i]));
  if (plain) {
    std::memcpy(out, name, length);
    return length;
  }
  std::size_t n = 0;
  out[n++] = '$';
  out[n++] = '\'';
  for (std::size_t i = 0; i < length; ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    const char* special = c != 0 ? std::strchr(specials, c) : nullptr;
    if (special != nullptr) {
      out[n++] = '\\';
      out[n++] = letters[special - specials];
    } else if (iscontrol(c)) {
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
