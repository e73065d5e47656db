// SPDX-License-Identifier: MIT
#include "progress.h"

#include <gtest/gtest.h>

#include <string>

#include "progresstext.h"

namespace {

constexpr std::int64_t ms = progresssecond / 1000;

// A count's steps: the bytes counted by a time, and the text that time
// draws ("-" where none is due). The line at a terminal is the
// end-to-end tests'; when and what it draws is here, without waiting.
struct Step {
  std::int64_t done, at;  // bytes, milliseconds since the start
  std::string text;
  bool resumed = false;  // stopped and continued since the step before
};

void expectsteps(std::int64_t total, const std::vector<Step>& steps) {
  progressschedule schedule{};
  schedulestart(&schedule, total, 5000 * ms);  // any clock's start
  for (const Step& s : steps) {
    std::string text = "-";
    if (scheduledue(&schedule, s.done, 5000 * ms + s.at * ms, s.resumed)) {
      char out[progresssize];
      text.assign(out, scheduletext(schedule, 80, out));
    }
    EXPECT_EQ(text, s.text) << s.done << " B at " << s.at << " ms";
  }
}

TEST(Progress, DrawsAfterASecondThenAtMostFourTimesASecond) {
  expectsteps(4000, {
                        {100, 10, "-"},
                        {900, 999, "-"},  // a count that ends within a second draws nothing
                        {1000, 1000, "counting: 1000 B of 3.9 KiB (25%), 1000 B/s, 0:03 left"},
                        {1100, 1001, "-"},
                        {1200, 1249, "-"},
                        {1250, 1250, "counting: 1.2 KiB of 3.9 KiB (31%), 1000 B/s, 0:03 left"},
                        {4000, 1400, "-"},
                        {4000, 1500, "counting: 3.9 KiB of 3.9 KiB (100%), 2.6 KiB/s, 0:00 left"},
                        // After a stall the next is a quarter second after the last drawn.
                        {4000, 9000, "counting: 3.9 KiB of 3.9 KiB (100%)"},
                        {4000, 9100, "-"},
                        {4000, 9249, "-"},
                        {4000, 9250, "counting: 3.9 KiB of 3.9 KiB (100%)"},
                    });
}

TEST(Progress, ShowsTheRateOfTheLastFourSecondsAndForgetsAStop) {
  // 1000 B in the first second, then 10 B a second.
  expectsteps(-1, {
                      {1000, 1000, "counting: 1000 B, 1000 B/s"},
                      {1030, 4000, "counting: 1.0 KiB, 257 B/s"},
                      {1040, 5000, "counting: 1.0 KiB, 10 B/s"},  // the burst has left the window
                      {1050, 6000, "counting: 1.0 KiB, 10 B/s"},
                      // After a stop, a rate of no time at all: none.
                      {1060, 60000, "counting: 1.0 KiB", true},
                      {1070, 61000, "counting: 1.0 KiB, 10 B/s"},
                  });
}

}  // namespace
