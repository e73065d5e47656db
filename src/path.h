// SPDX-License-Identifier: MIT
// What is at the genotype path, looked at once before anything is written,
// and the looks at the places the advice may write, when it is due.
#ifndef VARNHOLT_PATH_H_
#define VARNHOLT_PATH_H_

#include <cstddef>

#include "advice.h"
#include "field.h"
#include "format.h"
#include "quote.h"

// Which of this run's own outputs the genotype file is, a bit each.
enum ownoutput : unsigned {
  ownreport = 1,    // standard output
  ownmessages = 2,  // standard error
};

struct genotypepath {
  bool toolong;              // argument 1 holds more than its field
  char path[fieldsize + 1];  // the field without its trailing blanks
  std::size_t length;
  bool stdinput;  // the path is "-", standard input
  bool regular;   // a regular file is at the path (or on standard input)
  bool socket;    // a socket is at the path
  bool stream;    // what is read there cannot be read again by its name
  // Where reading it would read what this run writes: standard output or
  // standard error as the same regular file, where the run would write
  // into the file it counts; either as the pipe or FIFO it is, which the
  // count would wait on for ever. A terminal is neither: reading it reads
  // what the user types.
  unsigned owned;
  // What diagnostics call it: "genotype file NAME", its kind where it is
  // no file ("FIFO NAME"), or "standard input". A name is shown in the
  // shell's $'...' quoting where a control character in it could end,
  // rewrite or hide a line.
  char noun[quotedsize(fieldsize) + 32];
};

// Takes the genotype path from argument 1 into its field and looks at what
// is at it: one stat, and one of standard output and standard error each.
void lookatpath(const char* argument, char (&field)[fieldsize], genotypepath* g);

// Looks at the places where the advice for a file of that format at the
// genotype path may write: whether this user may make files in its folder
// and in the current one, and for a PLINK file its fileset's files beside
// it and the first free prefix for its text in each folder.
void lookforadvice(const genotypepath& g, const fileformat& format, adviceplace* place);

#endif  // VARNHOLT_PATH_H_
