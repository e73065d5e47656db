// SPDX-License-Identifier: MIT
// The progress line of a long count: drawn on standard error while the
// count runs, only at a terminal, only in the foreground and only after a
// second, and erased before anything else is written.
#ifndef VARNHOLT_PROGRESS_H_
#define VARNHOLT_PROGRESS_H_

#include <cstddef>
#include <cstdint>

#include "progresstext.h"

// The time now, in progresssecond units.
std::int64_t progressclock();

// A count calls progressstart() once the file is open, with its size (-1
// where none is known), and progressupdate() after each block with the
// bytes read so far, each with the time; then progressend() before it
// returns.
// Nothing happens until a redraw is due. While a line is drawn, SIGINT,
// SIGTERM, SIGHUP, SIGQUIT and SIGTSTP first erase it, then end or stop the
// process as they would have; a signal ignored when the program started
// stays ignored. After a stop the line comes back on a later block, in the
// foreground only. With TERM unset or dumb the line is drawn without
// escape sequences.
void progressstart(std::int64_t total, std::int64_t now);
void progressupdate(std::int64_t done, std::int64_t now);
void progressend();

// When the line is due and what it says, apart from any terminal: the
// first text a second after the start, then at most four a second, with
// the rate and the time left of the last four seconds.
inline constexpr int progresssamples = 18;
struct progressschedule {
  std::int64_t total;
  std::int64_t due;
  std::int64_t sampletime[progresssamples];
  std::int64_t sampledone[progresssamples];
  int newest;
  int held;
};
void schedulestart(progressschedule* schedule, std::int64_t total, std::int64_t now);
// Whether a text is due at now, with done bytes counted; where it is, takes
// the sample the text shows. After a stop the rate starts anew: the stop,
// however long, says nothing of it.
bool scheduledue(progressschedule* schedule, std::int64_t done, std::int64_t now, bool afterstop);
// The text of the last sample for a terminal of width columns, in out
// (progresssize bytes); its length, 0 where nothing fits.
std::size_t scheduletext(const progressschedule& schedule, int width, char* out);

#endif  // VARNHOLT_PROGRESS_H_
