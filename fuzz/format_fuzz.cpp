// SPDX-License-Identifier: MIT
// Any bytes as the first and last bytes of a file, any name, and a NUL met
// further on or none: kindof() reads nothing outside them, calls text only
// what holds no control byte, and names the byte it calls binary.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte splits the rest into the bytes and a name; the second
  // says how much of the bytes' end is their tail, and whether the head is
  // the whole file, read to its end.
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
  bool ended = whole || (flags & 2) != 0;
  filebytes bytes{head.data(),
                  head.size(),
                  tail.data(),
                  tail.size(),
                  whole,
                  ended,
                  (flags & 0x80) != 0 ? nullptr : name.data(),
                  name.size(),
                  (flags & 0x40) != 0 ? static_cast<std::int64_t>(split) : -1};
  filekind kind = kindof(bytes);
  switch (kind.shape) {
    case shapetext:
      // Text holds no control byte but tab to carriage return.
      for (char c : head) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && (b < '\t' || b > '\r')) std::abort();
      }
      break;
    case shapeformat:
    case shapecut:
      if (kind.format == nullptr || kind.format->name == nullptr) std::abort();
      if (kind.format->tool == nullptr && kind.format->how == nullptr) std::abort();
      break;
    case shapebinary:
      // The byte at its offset in the first bytes, or the NUL met further on.
      if (kind.at == bytes.nulrun && kind.byte == 0) break;
      if (kind.at < 0 || static_cast<std::size_t>(kind.at) >= head.size() ||
          static_cast<unsigned char>(head[static_cast<std::size_t>(kind.at)]) != kind.byte)
        std::abort();
      break;
    default:
      std::abort();
  }
  return 0;
}
