// SPDX-License-Identifier: MIT
// Any bytes as the first and last bytes of a file, any name, and the first
// NUL where the bytes hold one or further on: kindof() reads nothing
// outside them, calls text only what holds no NUL, names the first NUL it
// calls binary data, names a format that needs a NUL only with one, and
// names only formats with a tool or advice.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte splits the rest into the bytes and a name; the second
  // says how much of the bytes' end is their tail, and whether the bytes
  // are the whole file.
  if (size < 2) return 0;
  std::size_t split = data[0] % (size - 1);
  unsigned flags = data[1];
  const std::uint8_t* rest = data + 2;
  std::size_t length = size - 2 - split;
  // Each in a buffer of exactly its size, so that the sanitizer sees a read
  // past any of them.
  std::vector<char> head(rest, rest + length);
  std::size_t taillength = (flags >> 2) % 33;
  if (taillength > length) taillength = length;
  std::vector<char> tail(rest + length - taillength, rest + length);
  std::vector<char> name(rest + length, rest + length + split);
  bool whole = (flags & 1) != 0;
  const void* first = head.empty() ? nullptr : std::memchr(head.data(), 0, head.size());
  std::int64_t nul = first != nullptr ? static_cast<const char*>(first) - head.data() : -1;
  // A NUL further on, past the bytes, in a file that is not all here.
  if (nul < 0 && !whole && (flags & 0x40) != 0) nul = static_cast<std::int64_t>(length + split);
  filebytes bytes{head.data(),
                  head.size(),
                  tail.data(),
                  (flags & 2) != 0 ? tail.size() : 0,
                  whole,
                  (flags & 0x10) != 0,
                  (flags & 0x80) != 0 ? nullptr : name.data(),
                  name.size(),
                  nul};
  filekind kind = kindof(bytes);
  switch (kind.shape) {
    case shapetext:
      if (nul >= 0) std::abort();
      break;
    case shapeformat:
    case shapecut:
      if (kind.format == nullptr || kind.format->name == nullptr) std::abort();
      if (kind.format->tool == nullptr && kind.format->how == nullptr) std::abort();
      // Only the start of a magic is cut short, NUL or none; a format that
      // needs a NUL is named without one only as what a file of a format
      // that needs none holds, by its name.
      if (kind.shape == shapeformat && kind.format->needsnul && nul < 0 &&
          !(kind.format->within != nullptr && !formatkeyed(kind.format->within)->needsnul))
        std::abort();
      break;
    case shapebinary:
      if (nul < 0 || kind.at != nul) std::abort();
      break;
    default:
      std::abort();
  }
  return 0;
}
