// SPDX-License-Identifier: MIT
#include "progresstext.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ProgressText, LaysOutTheTextToFitTheTerminal) {
  const std::int64_t s = 1000000000, gib = 1LL << 30;
  struct Case {
    std::int64_t done, total, recent, elapsed;
    int width;
    std::string text;
  };
  const std::int64_t g123 = gib * 123 / 10;
  const Case cases[] = {
      {g123, 40 * gib, g123, 10 * s, 80,
       "counting: 12.3 GiB of 40.0 GiB (30%), 1.2 GiB/s, 0:23 left"},
      {g123, 40 * gib, g123, 10 * s, 58, "counting: 12.3 GiB of 40.0 GiB (30%), 0:23 left"},
      {g123, 40 * gib, g123, 10 * s, 40, "counting: 12.3 GiB of 40.0 GiB (30%)"},
      {g123, 40 * gib, g123, 10 * s, 20, "counting: 30%"},
      {g123, 40 * gib, g123, 10 * s, 13, ""},
      // The rate of the recent past, not of the whole count.
      {g123, 40 * gib, 2 * gib, s, 80,
       "counting: 12.3 GiB of 40.0 GiB (30%), 2.0 GiB/s, 0:14 left"},
      {gib, 1024 * gib, gib, s, 80, "counting: 1.0 GiB of 1.0 TiB (0%), 1.0 GiB/s, 17:03 left"},
      {1, 7200, 1, s, 80, "counting: 1 B of 7.0 KiB (0%), 1 B/s, 1:59:59 left"},
      {(1 << 20) - 1, -1, (1 << 20) - 1, 2 * s, 80, "counting: 1.0 MiB, 512.0 KiB/s"},  // no size
      {1536, -1, 1536, 2 * s, 18, "counting: 1.5 KiB"},
      {40, 40, 40, s, 80, "counting: 40 B of 40 B (100%), 40 B/s, 0:00 left"},
      {50, 40, 50, s, 80, "counting: 50 B, 50 B/s"},  // grew: no longer X of Y
      {50, 0, 50, s, 80, "counting: 50 B, 50 B/s"},   // was empty at the start
      {0, 40, 0, 0, 80, "counting: 0 B of 40 B (0%)"},
      {1024, -1, 1024, s, 80, "counting: 1.0 KiB, 1.0 KiB/s"},  // a unit from 1024 on
      {1, 3601, 1, s, 80, "counting: 1 B of 3.5 KiB (0%), 1 B/s, 1:00:00 left"},
      {1, 1LL << 40, 1, s, 80, "counting: 1 B of 1.0 TiB (0%), 1 B/s, 9999:59:59 left"},  // the cap
  };
  for (const Case& c : cases) {
    char out[progresssize];
    std::string text(out, progresstext(c.done, c.total, c.recent, c.elapsed, c.width, out));
    EXPECT_EQ(text, c.text) << c.width;
  }
}

}  // namespace
