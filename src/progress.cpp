// SPDX-License-Identifier: MIT
#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr std::int64_t second = 1000000000;
// A count that ends within a second draws nothing at all; after that the
// line is redrawn at most four times a second, which a slow terminal or a
// remote session takes without lag.
constexpr std::int64_t firstdraw = second;
constexpr std::int64_t redraw = second / 4;
constexpr int terminal = 2;  // standard error

std::int64_t started = 0;
std::int64_t due = 0;
std::int64_t size = -1;
bool drawn = false;  // the terminal's current line holds a progress text
char line[progresssize + 8];

std::int64_t now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * second + t.tv_nsec;
}

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

// The columns the line may take now, or 0 where it must not be drawn:
// standard error is no terminal, or this process is not in its foreground
// (a job sent to the background must not draw over the shell's prompt).
int columns() {
  if (isatty(terminal) == 0 || tcgetpgrp(terminal) != getpgrp()) return 0;
#ifdef TIOCGWINSZ
  winsize window{};
  if (ioctl(terminal, TIOCGWINSZ, &window) == 0) return window.ws_col;
#endif
  return 0;
}

// One write() a redraw; like every write to standard error, a failed one
// changes nothing.
void draw(const char* data, std::size_t length) {
  ssize_t ignored = write(terminal, data, length);
  (void)ignored;
}

}  // namespace

std::size_t progresstext(std::int64_t done, std::int64_t total, std::int64_t elapsed, int width,
                         char* out) {
  char counted[16], sized[16], rate[16], left[16];
  amount(static_cast<double>(done), counted, sizeof counted);
  double persecond =
      elapsed > 0 ? static_cast<double>(done) * second / static_cast<double>(elapsed) : 0;
  amount(persecond, rate, sizeof rate);
  // In order of preference, each shorter than the one before.
  char texts[4][progresssize];
  int count = 0;
  if (total > 0) {
    amount(static_cast<double>(total), sized, sizeof sized);
    // A file that grows while it is counted stays at 100%.
    std::int64_t percent = done >= total ? 100 : done * 100 / total;
    duration(done >= total || persecond == 0 ? 0 : static_cast<double>(total - done) / persecond,
             left, sizeof left);
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

void progressstart(std::int64_t total) {
  size = total;
  started = now();
  due = started + firstdraw;
  drawn = false;
}

void progressupdate(std::int64_t done) {
  std::int64_t t = now();
  if (t < due) return;
  due = t + redraw;
  int width = columns();
  if (width == 0) return;
  // In place: back to the first column, the text, then clear what is left
  // of an earlier, longer text.
  line[0] = '\r';
  std::size_t length = progresstext(done, size, t - started, width, line + 1);
  if (length == 0 && !drawn) return;
  std::memcpy(line + 1 + length, "\033[K", 4);
  draw(line, length + 4);
  drawn = length > 0;
}

void progressend() {
  if (!drawn) return;
  drawn = false;
  // From the background the line is left alone: the shell has written
  // below it since, and a write could stop the process (stty tostop).
  if (columns() == 0) return;
  draw("\r\033[K", 4);
}
