// SPDX-License-Identifier: MIT
// The kernels behind countlinefeeds(), one a processor family, for the
// dispatch, the tests and the benchmark.
#ifndef VARNHOLT_LINEFEEDS_KERNELS_H_
#define VARNHOLT_LINEFEEDS_KERNELS_H_

#include "linefeeds.h"

// The vector kernels this processor family has; any other processor counts
// with the portable kernel alone.
#if defined(__x86_64__) || defined(_M_X64)
#define VARNHOLT_LINEFEEDS_X86 1
#elif defined(__aarch64__)
#define VARNHOLT_LINEFEEDS_NEON 1
#endif

// Plain C++, eight bytes at a time; any processor, either byte order. The
// vector kernels hand it their last bytes, and the stretch where they
// met a NUL.
linefeedscan countlinefeedsportable(const char* data, std::size_t length);

#if VARNHOLT_LINEFEEDS_X86
// SSE2 is part of x86-64. AVX2 may only run where hasavx2() is true.
linefeedscan countlinefeedssse2(const char* data, std::size_t length);
linefeedscan countlinefeedsavx2(const char* data, std::size_t length);
bool hasavx2();
#endif

#if VARNHOLT_LINEFEEDS_NEON
// NEON is part of every aarch64 processor.
linefeedscan countlinefeedsneon(const char* data, std::size_t length);
#endif

#endif  // VARNHOLT_LINEFEEDS_KERNELS_H_
