// SPDX-License-Identifier: MIT
// Any byte string fed in chunks of any sizes: the count is the number of
// line feeds, plus one for a last line without one, and the first NUL
// stops it wherever it falls.
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
  std::size_t nul = 0;
  for (; nul < length && file[nul] != '\0'; ++nul) expected += file[nul] == '\n';
  if (nul == length && length > 0 && file[length - 1] != '\n') ++expected;

  std::int64_t linefeeds = 0;
  char lastbyte = '\n';
  std::size_t at = 0;
  while (at < length) {
    seed = seed * 1103515245u + 12345u;
    // Mostly small chunks, sometimes large ones that reach the vector paths.
    std::size_t chunk = (seed >> 16) % (seed & 1 ? 300 : 9);
    if (chunk > length - at) chunk = length - at;
    std::size_t found = countblock(file + at, chunk, &linefeeds, &lastbyte);
    if (found < chunk) {
      if (at + found != nul || linefeeds != expected) std::abort();
      return 0;
    }
    at += chunk;
  }
  if (nul != length || recordsof(linefeeds, lastbyte) != expected) std::abort();
  return 0;
}
