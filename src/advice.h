// SPDX-License-Identifier: MIT
// How to count the records of a file that is not text: the words that
// follow "to count its records, ".
#ifndef VARNHOLT_ADVICE_H_
#define VARNHOLT_ADVICE_H_

#include <cstddef>

#include "field.h"
#include "format.h"
#include "quote.h"

// The longest ending a text file's name gets in the place of a format's
// suffix: ".utf8", ".txt".
inline constexpr std::size_t textendingsize = 8;

// The most words of names an advice holds, an archive's: its name five
// times, the text file's three times, the program's, the pattern's and the
// number of positions'. Each is a field of any bytes, the text file's with
// its ending, written by shellword().
inline constexpr std::size_t advicewords = 10;

// The commands between those words, the longest tool, listing and count
// of files included: 266 bytes for a 7z archive's.
inline constexpr std::size_t adviceglue = 320;

// The most bytes advise() writes, for fields of any bytes.
inline constexpr std::size_t advicesize =
    advicewords * shellwordsize(fieldsize + textendingsize) + adviceglue;

// The run the advice repeats on the text: the program as it was started,
// the pattern file and the number of positions as they were given
// (nullptr where absent).
struct advisedrun {
  const char* program;
  const char* pattern;
  const char* npos;
};

// Writes the advice for a file of that format at path[0, length) (nullptr
// where no name reads it again: standard input, a pipe or a FIFO) to out,
// at most size bytes, and returns the length of the whole advice, as
// quotename() does. Where a tool writes the text of a named file, that is
// one bash command line to paste: it writes the text beside the file,
// never over anything (set -C), removes what it wrote when the tool fails
// on a cut or corrupt file, takes an archive of one file only, saying
// where its tool cannot read it through, and then runs the program on the
// text with the pattern and the number of positions, each cut to its
// 500-byte field (a program name longer than that is the one on the PATH,
// varnholt). The text file is named without the format's suffix, and with
// the text's where the format has one, or with it (.txt where the format
// has none) added where the name has no suffix of the format's.
std::size_t advise(const fileformat& format, const char* path, std::size_t length,
                   const advisedrun& run, char* out, std::size_t size);

#endif  // VARNHOLT_ADVICE_H_
