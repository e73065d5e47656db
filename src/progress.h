// SPDX-License-Identifier: MIT
// The progress line of a long count: drawn on standard error while the
// count runs, only at a terminal, only in the foreground and only after a
// second, and erased before anything else is written.
#ifndef VARNHOLT_PROGRESS_H_
#define VARNHOLT_PROGRESS_H_

#include <cstdint>

// A count calls progressstart() once the file is open, with its size (-1
// where none is known), progressupdate() after each block with the bytes
// read so far, and progressend() before it returns. Each update reads the
// clock; nothing more happens until a redraw is due. While a line is drawn,
// SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGTSTP first erase it, then end or
// stop the process as they would have; a signal ignored when the program
// started stays ignored. After a stop the line comes back on a later
// block, in the foreground only. With TERM unset or dumb the line is drawn
// without escape sequences.
void progressstart(std::int64_t total);
void progressupdate(std::int64_t done);
void progressend();

#endif  // VARNHOLT_PROGRESS_H_
