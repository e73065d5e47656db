// SPDX-License-Identifier: MIT
// The one place that picks a kernel for the processor the program runs on.
#include "linefeeds.h"

#include "linefeeds_kernels.h"

linefeedscan countlinefeeds(const char* data, std::size_t length) {
#if VARNHOLT_LINEFEEDS_X86
  return hasavx2() ? countlinefeedsavx2(data, length) : countlinefeedssse2(data, length);
#elif VARNHOLT_LINEFEEDS_NEON
  return countlinefeedsneon(data, length);
#else
  return countlinefeedsportable(data, length);
#endif
}
