// SPDX-License-Identifier: MIT
// The aarch64 kernel: NEON, which every aarch64 processor has, so no check
// at run time is needed.
#include "linefeeds_kernels.h"

#if VARNHOLT_LINEFEEDS_NEON
#include <arm_neon.h>

// Compares sixteen bytes with '\n' at a time; a match is 0xFF, that is -1,
// so subtracting the comparison adds one to that byte's lane. A lane
// overflows after 255 vectors, so before that the lanes are folded into
// 64-bit sums by widening pairwise adds, which never saturate. The least
// byte of each lane is kept beside: a zero there is a NUL in the stretch.

linefeedscan countlinefeedsneon(const char* data, std::size_t length) {
  const std::size_t lanelimit = 255;
  const uint8x16_t linefeed = vdupq_n_u8('\n');
  const uint8x16_t zero = vdupq_n_u8(0);
  uint64x2_t total = vdupq_n_u64(0);
  std::size_t i = 0;
  // Four vectors a step, each into its own lanes, so that no add waits on
  // the one before it.
  while (length - i >= 64) {
    std::size_t steps = (length - i) / 64;
    if (steps > lanelimit) steps = lanelimit;
    std::size_t start = i;
    uint8x16_t lanes[4] = {zero, zero, zero, zero};
    uint8x16_t least = vdupq_n_u8(0xFF);
    for (std::size_t s = 0; s < steps; ++s, i += 64) {
      const auto* at = reinterpret_cast<const std::uint8_t*>(data + i);
      uint8x16_t b0 = vld1q_u8(at), b1 = vld1q_u8(at + 16);
      uint8x16_t b2 = vld1q_u8(at + 32), b3 = vld1q_u8(at + 48);
      lanes[0] = vsubq_u8(lanes[0], vceqq_u8(b0, linefeed));
      lanes[1] = vsubq_u8(lanes[1], vceqq_u8(b1, linefeed));
      lanes[2] = vsubq_u8(lanes[2], vceqq_u8(b2, linefeed));
      lanes[3] = vsubq_u8(lanes[3], vceqq_u8(b3, linefeed));
      least = vminq_u8(least, vminq_u8(vminq_u8(b0, b1), vminq_u8(b2, b3)));
    }
    if (vminvq_u8(least) == 0) {
      i = start;  // the stretch again, to the NUL in it
      break;
    }
    for (const uint8x16_t& l : lanes) total = vpadalq_u32(total, vpaddlq_u16(vpaddlq_u8(l)));
  }
  linefeedscan rest = countlinefeedsportable(data + i, length - i);
  return {vgetq_lane_u64(total, 0) + vgetq_lane_u64(total, 1) + rest.linefeeds, i + rest.nul};
}

#endif  // VARNHOLT_LINEFEEDS_NEON
