// SPDX-License-Identifier: MIT
// The progress line of a long count: drawn on standard error while the
// count runs, only at a terminal, only in the foreground and only after a
// second, and erased before anything else is written.
#ifndef VARNHOLT_PROGRESS_H_
#define VARNHOLT_PROGRESS_H_

#include <cstddef>
#include <cstdint>

// Room for the longest progress text and its terminal controls.
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

// A count calls progressstart() once the file is open, progressupdate()
// after each block with the bytes read so far, and progressend() before it
// returns. Each update reads the clock; nothing more happens until a redraw
// is due. While a line is drawn, SIGINT, SIGTERM, SIGHUP and SIGTSTP first
// erase it, then end or stop the process as they would have; after a stop
// the line comes back on a later block, in the foreground only. With TERM
// unset or dumb the line is drawn without escape sequences.
void progressstart(std::int64_t total);
void progressupdate(std::int64_t done);
void progressend();

#endif  // VARNHOLT_PROGRESS_H_
