// SPDX-License-Identifier: MIT
// Counting line feeds in a block of bytes, the inner loop of the record
// count, and finding the block's first NUL in the same pass.
#ifndef VARNHOLT_LINEFEEDS_H_
#define VARNHOLT_LINEFEEDS_H_

#include <cstddef>
#include <cstdint>

// What one pass over a block found.
struct linefeedscan {
  std::uint64_t linefeeds;  // the '\n' bytes before the first NUL, or in all of the block
  std::size_t nul;          // the offset of the first NUL; the block's length where none
};

// The scan of data[0, length), with the fastest kernel this processor runs.
// Every kernel gives the same scan of the same bytes.
linefeedscan countlinefeeds(const char* data, std::size_t length);

#endif  // VARNHOLT_LINEFEEDS_H_
