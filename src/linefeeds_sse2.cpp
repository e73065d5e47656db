// SPDX-License-Identifier: MIT
// The x86-64 baseline kernel: SSE2, which every x86-64 processor has.
#include "linefeeds_kernels.h"

#if VARNHOLT_LINEFEEDS_X86
#include <emmintrin.h>

// Compares sixteen bytes with '\n' at a time; a match is 0xFF, that is -1,
// so subtracting the comparison adds one to that byte's lane. A lane
// overflows after 255 vectors, so before that the lanes are folded into
// 64-bit sums with a sum of absolute differences against zero. The least
// byte of each lane is kept beside: a zero there is a NUL in the stretch.

linefeedscan countlinefeedssse2(const char* data, std::size_t length) {
  const std::size_t lanelimit = 255;
  const __m128i linefeed = _mm_set1_epi8('\n');
  const __m128i zero = _mm_setzero_si128();
  __m128i total = zero;
  std::size_t i = 0;
  // Four vectors a step, each into its own lanes, so that no add waits on
  // the one before it.
  while (length - i >= 64) {
    std::size_t steps = (length - i) / 64;
    if (steps > lanelimit) steps = lanelimit;
    std::size_t start = i;
    __m128i lanes[4] = {zero, zero, zero, zero};
    __m128i least = _mm_set1_epi8(-1);
    for (std::size_t s = 0; s < steps; ++s, i += 64) {
      const auto* at = reinterpret_cast<const __m128i*>(data + i);
      __m128i b0 = _mm_loadu_si128(at), b1 = _mm_loadu_si128(at + 1);
      __m128i b2 = _mm_loadu_si128(at + 2), b3 = _mm_loadu_si128(at + 3);
      // Each vector read once and kept in a register: left to itself, the
      // compiler reads it again for each of its two uses.
      asm("" : "+x"(b0), "+x"(b1), "+x"(b2), "+x"(b3));
      lanes[0] = _mm_sub_epi8(lanes[0], _mm_cmpeq_epi8(b0, linefeed));
      lanes[1] = _mm_sub_epi8(lanes[1], _mm_cmpeq_epi8(b1, linefeed));
      lanes[2] = _mm_sub_epi8(lanes[2], _mm_cmpeq_epi8(b2, linefeed));
      lanes[3] = _mm_sub_epi8(lanes[3], _mm_cmpeq_epi8(b3, linefeed));
      least = _mm_min_epu8(least, _mm_min_epu8(_mm_min_epu8(b0, b1), _mm_min_epu8(b2, b3)));
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) != 0) {
      i = start;  // the stretch again, to the NUL in it
      break;
    }
    for (const __m128i& l : lanes) total = _mm_add_epi64(total, _mm_sad_epu8(l, zero));
  }
  auto low = static_cast<std::uint64_t>(_mm_cvtsi128_si64(total));
  auto high = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(total, total)));
  linefeedscan rest = countlinefeedsportable(data + i, length - i);
  return {low + high + rest.linefeeds, i + rest.nul};
}

#endif  // VARNHOLT_LINEFEEDS_X86
