// SPDX-License-Identifier: MIT
// The text of the progress line: how far a count has come, laid out to fit
// a terminal.
#ifndef VARNHOLT_PROGRESSTEXT_H_
#define VARNHOLT_PROGRESSTEXT_H_

#include <cstddef>
#include <cstdint>

// Times are nanoseconds of a clock that never goes back.
inline constexpr std::int64_t progresssecond = 1000000000;

// Room for the longest progress text.
inline constexpr std::size_t progresssize = 128;

// Lays out the text for done bytes counted of total (a regular file's size,
// or -1 when no size is known), recent of them in the last elapsed
// nanoseconds, for a terminal of width columns: the amount, the size, the
// percentage, the rate and the time left, parts dropped from the end until
// the text is narrower than width. A file grown past its total is shown as
// a pipe is. Writes it to out (progresssize bytes) and returns its length,
// or 0 where nothing fits.
std::size_t progresstext(std::int64_t done, std::int64_t total, std::int64_t recent,
                         std::int64_t elapsed, int width, char* out);

#endif  // VARNHOLT_PROGRESSTEXT_H_
