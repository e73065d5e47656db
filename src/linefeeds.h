// SPDX-License-Identifier: MIT
// Counting line feeds in a block of bytes: the inner loop of the record count.
#ifndef VARNHOLT_LINEFEEDS_H_
#define VARNHOLT_LINEFEEDS_H_

#include <cstddef>
#include <cstdint>

// The vector kernels this processor family has; any other processor counts
// with the portable kernel alone.
#if defined(__x86_64__) || defined(_M_X64)
#define VARNHOLT_LINEFEEDS_X86 1
#elif defined(__aarch64__)
#define VARNHOLT_LINEFEEDS_NEON 1
#endif

// The number of '\n' bytes in data[0, length), with the fastest kernel this
// processor runs. Every kernel gives the same count for the same bytes.
std::uint64_t countlinefeeds(const char* data, std::size_t length);

// The kernels behind it, for tests and benchmarks.

// Plain C++, eight bytes at a time; any processor, either byte order.
std::uint64_t countlinefeedsportable(const char* data, std::size_t length);

#if VARNHOLT_LINEFEEDS_X86
// SSE2 is part of x86-64. AVX2 may only run where hasavx2() is true.
std::uint64_t countlinefeedssse2(const char* data, std::size_t length);
std::uint64_t countlinefeedsavx2(const char* data, std::size_t length);
bool hasavx2();
#endif

#if VARNHOLT_LINEFEEDS_NEON
// NEON is part of every aarch64 processor.
std::uint64_t countlinefeedsneon(const char* data, std::size_t length);
#endif

#endif  // VARNHOLT_LINEFEEDS_H_
