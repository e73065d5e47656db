// SPDX-License-Identifier: MIT
// The x86-64 kernel for processors with AVX2, chosen at run time, so that
// one binary runs on every x86-64 and at full speed on the newer ones.
#include "linefeeds_kernels.h"

#if VARNHOLT_LINEFEEDS_X86
#include <immintrin.h>

// The same lanes, least bytes and folds as the SSE2 kernel, 32 bytes a
// vector.

__attribute__((target("avx2"))) linefeedscan countlinefeedsavx2(const char* data,
                                                                std::size_t length) {
  const std::size_t lanelimit = 255;
  const __m256i linefeed = _mm256_set1_epi8('\n');
  const __m256i zero = _mm256_setzero_si256();
  __m256i total = zero;
  std::size_t i = 0;
  // Four vectors a step, each into its own lanes, so that no add waits on
  // the one before it.
  while (length - i >= 128) {
    std::size_t steps = (length - i) / 128;
    if (steps > lanelimit) steps = lanelimit;
    std::size_t start = i;
    __m256i lanes[4] = {zero, zero, zero, zero};
    __m256i least = _mm256_set1_epi8(-1);
    for (std::size_t s = 0; s < steps; ++s, i += 128) {
      const auto* at = reinterpret_cast<const __m256i*>(data + i);
      __m256i b0 = _mm256_loadu_si256(at), b1 = _mm256_loadu_si256(at + 1);
      __m256i b2 = _mm256_loadu_si256(at + 2), b3 = _mm256_loadu_si256(at + 3);
      // Each vector read once and kept in a register: left to itself, the
      // compiler reads it again for each of its two uses.
      asm("" : "+x"(b0), "+x"(b1), "+x"(b2), "+x"(b3));
      lanes[0] = _mm256_sub_epi8(lanes[0], _mm256_cmpeq_epi8(b0, linefeed));
      lanes[1] = _mm256_sub_epi8(lanes[1], _mm256_cmpeq_epi8(b1, linefeed));
      lanes[2] = _mm256_sub_epi8(lanes[2], _mm256_cmpeq_epi8(b2, linefeed));
      lanes[3] = _mm256_sub_epi8(lanes[3], _mm256_cmpeq_epi8(b3, linefeed));
      least =
          _mm256_min_epu8(least, _mm256_min_epu8(_mm256_min_epu8(b0, b1), _mm256_min_epu8(b2, b3)));
    }
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(least, zero)) != 0) {
      i = start;  // the stretch again, to the NUL in it
      break;
    }
    for (const __m256i& l : lanes) total = _mm256_add_epi64(total, _mm256_sad_epu8(l, zero));
  }
  __m128i half = _mm_add_epi64(_mm256_castsi256_si128(total), _mm256_extracti128_si256(total, 1));
  auto low = static_cast<std::uint64_t>(_mm_cvtsi128_si64(half));
  auto high = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(half, half)));
  linefeedscan rest = countlinefeedssse2(data + i, length - i);
  return {low + high + rest.linefeeds, i + rest.nul};
}

namespace {
// -1 until the processor is asked; a plain variable, since the program has
// one thread and a guarded static would pull in the C++ runtime library.
int avx2 = -1;
}  // namespace

bool hasavx2() {
  if (avx2 < 0) avx2 = __builtin_cpu_supports("avx2") != 0 ? 1 : 0;
  return avx2 == 1;
}

#endif  // VARNHOLT_LINEFEEDS_X86
