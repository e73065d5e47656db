// SPDX-License-Identifier: MIT
#include "progresstext.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// "512 B", then one decimal in binary units: "1.5 KiB", "40.0 GiB".
void amount(double bytes, char* out, std::size_t room) {
  const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
  if (bytes < 1024) {
    (void)std::snprintf(out, room, "%d B", static_cast<int>(bytes));
    return;
  }
  bytes /= 1024;
  int unit = 0;
  // Where the value would round to 1024.0, it reads 1.0 of the next unit.
  while (unit < 3 && bytes >= 1023.95) {
    bytes /= 1024;
    ++unit;
  }
  (void)std::snprintf(out, room, "%.1f %s", bytes, units[unit]);
}

// "0:24", or "1:02:03" from an hour on; no wait beyond 9999 hours is told.
void duration(double seconds, char* out, std::size_t room) {
  const double longest = 9999.0 * 3600 + 3599;
  int s = static_cast<int>(std::lround(seconds < longest ? seconds : longest));
  if (s >= 3600) {
    (void)std::snprintf(out, room, "%d:%02d:%02d", s / 3600 % 10000, s / 60 % 60, s % 60);
  } else {
    (void)std::snprintf(out, room, "%d:%02d", s / 60 % 60, s % 60);
  }
}

}  // namespace

// The bytes done of total, recent of them in elapsed, in the order of the
// text they make.
// NOLINTBEGIN(bugprone-easily-swappable-parameters)
std::size_t progresstext(std::int64_t done, std::int64_t total, std::int64_t recent,
                         std::int64_t elapsed, int width, char* out) {
  // NOLINTEND(bugprone-easily-swappable-parameters)
  char counted[16], sized[16], rate[16], left[16];
  amount(static_cast<double>(done), counted, sizeof counted);
  double persecond =
      elapsed > 0 ? static_cast<double>(recent) * progresssecond / static_cast<double>(elapsed) : 0;
  amount(persecond, rate, sizeof rate);
  // In order of preference, each shorter than the one before.
  char texts[4][progresssize];
  int count = 0;
  // A file that has grown past its size at the start is counted as a pipe
  // is: its end is no longer known.
  if (total > 0 && done <= total) {
    amount(static_cast<double>(total), sized, sizeof sized);
    std::int64_t percent = done * 100 / total;
    duration(persecond == 0 ? 0 : static_cast<double>(total - done) / persecond, left, sizeof left);
    if (persecond > 0) {
      (void)std::snprintf(texts[count++], progresssize, "counting: %s of %s (%d%%), %s/s, %s left",
                          counted, sized, static_cast<int>(percent), rate, left);
      (void)std::snprintf(texts[count++], progresssize, "counting: %s of %s (%d%%), %s left",
                          counted, sized, static_cast<int>(percent), left);
    }
    (void)std::snprintf(texts[count++], progresssize, "counting: %s of %s (%d%%)", counted, sized,
                        static_cast<int>(percent));
    (void)std::snprintf(texts[count++], progresssize, "counting: %d%%", static_cast<int>(percent));
  } else {
    // A pipe, a FIFO or a device: no size, so no share and no end in sight.
    if (persecond > 0) {
      (void)std::snprintf(texts[count++], progresssize, "counting: %s, %s/s", counted, rate);
    }
    (void)std::snprintf(texts[count++], progresssize, "counting: %s", counted);
  }
  // Narrower than the terminal: a line that reaches the last column may
  // wrap, and a carriage return then goes back to the wrong row.
  for (int i = 0; i < count; ++i) {
    std::size_t length = std::strlen(texts[i]);
    if (width > 0 && length < static_cast<std::size_t>(width)) {
      std::memcpy(out, texts[i], length);
      return length;
    }
  }
  return 0;
}
