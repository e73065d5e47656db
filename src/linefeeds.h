// Counting line feeds in a block of bytes: the inner loop of the record count.
#ifndef VARNHOLT_LINEFEEDS_H_
#define VARNHOLT_LINEFEEDS_H_

#include <cstddef>
#include <cstdint>

// The number of '\n' bytes in data[0, length).
std::uint64_t countlinefeeds(const char* data, std::size_t length);

#endif  // VARNHOLT_LINEFEEDS_H_
