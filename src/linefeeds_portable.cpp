// SPDX-License-Identifier: MIT
// The kernel for every processor: eight bytes at a time in a 64-bit word.
#include <cstring>

#include "linefeeds_kernels.h"

// Each byte of a word is its own lane: a match adds one to its lane, and the
// lanes are summed before any can pass 255. Nothing crosses from one byte
// to the next, so the byte order of the processor does not matter.

namespace {

constexpr std::uint64_t ones = 0x0101010101010101;
constexpr std::uint64_t low7 = ones * 0x7F;
constexpr std::size_t lanelimit = 255;

// 1 in each byte of x that is zero, 0 in every other byte.
std::uint64_t zeros(std::uint64_t x) {
  // (x & 0x7F) + 0x7F reaches the byte's high bit unless those seven bits
  // are zero; with x itself, it leaves the high bit clear only for a zero.
  return (~(((x & low7) + low7) | x) >> 7) & ones;
}

// Byte by byte from where the scan so far has come (its nul), to the end
// or the first NUL.
linefeedscan bytewise(const char* data, std::size_t length, linefeedscan scan) {
  for (; scan.nul < length && data[scan.nul] != '\0'; ++scan.nul)
    scan.linefeeds += data[scan.nul] == '\n' ? 1 : 0;
  return scan;
}

}  // namespace

linefeedscan countlinefeedsportable(const char* data, std::size_t length) {
  std::uint64_t total = 0;
  std::size_t i = 0;
  while (length - i >= 8) {
    std::size_t words = (length - i) / 8;
    if (words > lanelimit) words = lanelimit;
    std::size_t start = i;
    std::uint64_t lanes = 0, nuls = 0;
    for (std::size_t w = 0; w < words; ++w, i += 8) {
      std::uint64_t word;
      std::memcpy(&word, data + i, sizeof word);  // any alignment, never past the end
      lanes += zeros(word ^ (ones * '\n'));       // zero exactly where '\n' was
      // Nonzero where any byte is zero, though not only in its lane.
      nuls |= (word - ones) & ~word & (ones << 7);
    }
    // The stretch again, byte by byte, to the NUL in it.
    if (nuls != 0) return bytewise(data, length, {total, start});
    // Eight lanes of at most 255 into four of 16 bits, then all four into
    // the top 16 bits; no partial sum passes 2040, so none carries.
    lanes = (lanes & 0x00FF00FF00FF00FF) + ((lanes >> 8) & 0x00FF00FF00FF00FF);
    total += (lanes * 0x0001000100010001) >> 48;
  }
  return bytewise(data, length, {total, i});
}
