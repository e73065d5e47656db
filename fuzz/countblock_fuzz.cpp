// SPDX-License-Identifier: MIT
// Any byte string fed in chunks of any sizes: the count is the number of
// line feeds, plus one for a last line without one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "count.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte seeds the chunk sizes; the rest is the file.
  std::uint32_t seed = data[0] * 2654435761u + 1;
  const char* file = reinterpret_cast<const char*>(data + 1);
  std::size_t length = size - 1;

  std::int64_t expected = 0;
  for (std::size_t i = 0; i < length; ++i) expected += file[i] == '\n';
  if (length > 0 && file[length - 1] != '\n') ++expected;

  std::int64_t linefeeds = 0;
  char lastbyte = '\n';
  std::size_t at = 0;
  while (at < length) {
    seed = seed * 1103515245u + 12345u;
    // Mostly small chunks, sometimes large ones that reach the vector paths.
    std::size_t chunk = (seed >> 16) % (seed & 1 ? 300 : 9);
    if (chunk > length - at) chunk = length - at;
    countblock(file + at, chunk, &linefeeds, &lastbyte);
    at += chunk;
  }
  if (recordsof(linefeeds, lastbyte) != expected) std::abort();
  return 0;
}
