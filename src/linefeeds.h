// Counting line feeds in a block of bytes: the inner loop of the record count.
#ifndef VARNHOLT_LINEFEEDS_H_
#define VARNHOLT_LINEFEEDS_H_

#include <cstddef>
#include <cstdint>

// The number of '\n' bytes in data[0, length). Uses AVX2 where the processor
// has it, SSE2 otherwise.
std::uint64_t countlinefeeds(const char* data, std::size_t length);

// The two kernels behind it, for tests and benchmarks. countlinefeedsavx2
// may only run where hasavx2() is true.
std::uint64_t countlinefeedssse2(const char* data, std::size_t length);
std::uint64_t countlinefeedsavx2(const char* data, std::size_t length);
bool hasavx2();

#endif  // VARNHOLT_LINEFEEDS_H_
