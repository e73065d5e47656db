// SPDX-License-Identifier: MIT
// Any bytes as a name: quotename() and shellword() stay within the size
// they are given and the size they state, write no control byte, and leave
// a name that needs no quoting as it is.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quote.h"

namespace {

bool controlfree(const std::vector<char>& out, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    auto c = static_cast<unsigned char>(out[i]);
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

// Runs one quoting function into a buffer of exactly the size given, so that
// the sanitizer sees a byte written past it, and again into half that size,
// which must state the same length and write no further.
template <typename Quote>
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a name, then the room for its form
std::vector<char> quoteinto(Quote quote, const char* name, std::size_t length, std::size_t most) {
  std::vector<char> out(most);
  std::size_t n = quote(name, length, out.data(), out.size());
  if (n > most) std::abort();
  std::vector<char> half(most / 2);
  if (quote(name, length, half.data(), half.size()) != n) std::abort();
  if (std::memcmp(half.data(), out.data(), n < half.size() ? n : half.size()) != 0) std::abort();
  out.resize(n);
  return out;
}

bool printableascii(const char* name, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (name[i] < 0x20 || name[i] > 0x7e) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* name = reinterpret_cast<const char*>(data);
  std::vector<char> shown = quoteinto(quotename, name, size, quotedsize(size));
  std::vector<char> word = quoteinto(shellword, name, size, shellwordsize(size));
  if (!controlfree(shown, shown.size()) || !controlfree(word, word.size())) std::abort();
  bool plain = printableascii(name, size);
  if (plain && (shown.size() != size || std::memcmp(shown.data(), name, size) != 0)) std::abort();
  // A control byte in it is never shown as it is.
  if (!plain && std::memchr(name, 0x7f, size) == nullptr &&
      std::find_if(name, name + size, [](char c) { return c >= 0 && c < 0x20; }) != name + size &&
      (shown.size() < 2 || shown[0] != '$' || shown[1] != '\''))
    std::abort();
  // Letters, digits and _ . / + , : @ % = - are a shell word as they are,
  // unless a leading - would make it an option.
  bool bare = size > 0 && name[0] != '-';
  for (std::size_t i = 0; i < size && bare; ++i) {
    char c = name[i];
    bare = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != 0 && std::strchr("_./+,:@%=-", c) != nullptr);
  }
  if (bare && (word.size() != size || std::memcmp(word.data(), name, size) != 0)) std::abort();
  return 0;
}
