// SPDX-License-Identifier: MIT
// How to count the records of a file that is not text: the words that
// follow "to count its records, ".
#ifndef VARNHOLT_ADVICE_H_
#define VARNHOLT_ADVICE_H_

#include <cstddef>
#include <initializer_list>
#include <string_view>

#include "field.h"
#include "format.h"
#include "quote.h"

// The longest ending a text file's name gets in the place of a format's
// suffix: ".utf8", ".txt"; and a PLINK fileset's text prefix, ".samples9",
// with the longest ending PLINK writes to it, ".nosex".
inline constexpr std::size_t textendingsize = 16;

// The longest name a file system takes for one component of a path, and so
// the longest text file name that the pasted run can make.
inline constexpr std::size_t componentsize = 255;

// The files of a PLINK fileset beside its .bed or .pgen, a bit each, and
// their endings in the order of the bits.
enum plinkfile : unsigned {
  plinkbim = 1,
  plinkfam = 2,
  plinkpvar = 4,
  plinkpvarzst = 8,
  plinkpsam = 16,
};
inline constexpr const char* plinkendings[] = {".bim", ".fam", ".pvar", ".pvar.zst", ".psam"};
// A PLINK fileset's text is a .ped file named X.samples, or X.samples2 to
// X.samples9 where files already start with that: the first free one.
inline constexpr int samplesprefixes = 9;

// What the file system said of the places the advice may write, when it was
// printed: looked at by lookforadvice() (path.h), so that advise() itself
// makes no system call.
struct adviceplace {
  bool besidewritable;  // this user may make files in the genotype file's folder
  bool herewritable;    // and in the current folder
  unsigned plinkfiles;  // for a PLINK file: which of its fileset's files are beside it
  int samplesbeside;    // the first free X.samples prefix beside it (1 to 9), 0 where none is
  int sampleshere;      // and in the current folder
};

// The commands between the words of names, each written once in advice.cpp;
// the advice is made of them, the row's tools and those words.
namespace advicetext {
inline constexpr std::string_view run = "run: (";
inline constexpr std::string_view noclobber = "set -C; ";
inline constexpr std::string_view pipefail = "set -o pipefail; ";
inline constexpr std::string_view checkstart = "[ -x \"$(command -v ";
inline constexpr std::string_view checkmiddle = ")\" ] || { echo >&2 ";
inline constexpr std::string_view checkwhy = " cannot be run: install the Debian package ";
inline constexpr std::string_view orfail = "; exit 1; }; ";
inline constexpr std::string_view liststart = "list=$(";
inline constexpr std::string_view listfailed = ") || { echo >&2 ";
inline constexpr std::string_view cut = " is cut short or corrupt";
inline constexpr std::string_view countfiles = "[ \"$(printf '%s\\n' \"$list\" | ";
inline constexpr std::string_view onefile = ")\" = 1 ] || { echo >&2 ";
inline constexpr std::string_view notone = " does not hold exactly one file";
inline constexpr std::string_view into = "exec >";
inline constexpr std::string_view orexit = " || exit; ";
inline constexpr std::string_view orremove = " || { rm -f ";
inline constexpr std::string_view removed = "; exit 1; }) && ";
inline constexpr std::string_view intoprogram = " | ";
inline constexpr std::string_view standardinput = " - ";
inline constexpr std::string_view pipeend = ")";
inline constexpr std::string_view plinkguard = "for s in ped map log nosex hh; do [ ! -e ";
inline constexpr std::string_view plinkeach = ".\"$s\" ] || { echo >&2 ";
inline constexpr std::string_view plinkexists = ".\"$s\" exists; exit 1; }; done; ";
inline constexpr std::string_view plinkbfile = " --bfile ";
inline constexpr std::string_view plinkpfile = " --pfile ";
inline constexpr std::string_view plinkbpfile = " --bpfile ";
inline constexpr std::string_view plinkvzs = " vzs";
inline constexpr std::string_view plinkrecode = " --recode --out ";
inline constexpr std::string_view plinkexport = " --export ped --out ";
inline constexpr std::string_view plinklog = " >&2 || { rm -f ";
inline constexpr std::string_view plinkwritten = ".{ped,map,log,nosex,hh}; exit 1; }) && ";
inline constexpr std::string_view plinkped = ".ped";
inline constexpr std::string_view comment = "  # ";
inline constexpr std::string_view counts = "counts ";
inline constexpr std::string_view samplesfam = ": one record a sample, as many as the lines of ";
inline constexpr std::string_view samplespsam = ": one record a sample, as many as the samples of ";
inline constexpr std::string_view besides = "; ";
inline constexpr std::string_view herefolder =
    "the text goes in the current folder: the file's own cannot be written";
inline constexpr std::string_view herelong =
    "the text goes in the current folder: beside the file its name is too long";
inline constexpr std::string_view pipedunknown =
    "through a pipe, writing nothing: the file's name does not say what it holds";
inline constexpr std::string_view pipednowhere =
    "through a pipe, writing nothing: neither the file's folder nor the current one can take "
    "the text";
inline constexpr std::string_view plinknowhere =
    ": neither its folder nor the current one can take its text";
inline constexpr std::string_view plinkmissing = "; missing beside it: ";
inline constexpr std::string_view plinkand = " and ";

constexpr std::size_t length(std::initializer_list<std::string_view> pieces) {
  std::size_t n = 0;
  for (std::string_view p : pieces) n += p.size();
  return n;
}
}  // namespace advicetext

// The longest tool, listing, count of files, program or package a row
// holds (format_test checks every row against it).
inline constexpr std::size_t rowwordsize = 48;

// The most words of names an advice holds, an archive's written beside it:
// its name five times, the text file's three times, the program's, the
// pattern's and the number of positions'. Each is a field of any bytes,
// the text file's with its ending, written by shellword().
inline constexpr std::size_t advicewords = 11;

// The commands between those words, for the longest advice: an archive's
// beside it, or a PLINK fileset's in the current folder, with two tools
// checked (a compressed tar's), the row's commands and the longest reason.
inline constexpr std::size_t adviceglue =
    advicetext::length({advicetext::run,          advicetext::noclobber,   advicetext::liststart,
                        advicetext::listfailed,   advicetext::cut,         advicetext::orfail,
                        advicetext::countfiles,   advicetext::onefile,     advicetext::notone,
                        advicetext::orfail,       advicetext::into,        advicetext::orexit,
                        advicetext::orremove,     advicetext::removed,     advicetext::plinkguard,
                        advicetext::plinkeach,    advicetext::plinkexists, advicetext::plinkbpfile,
                        advicetext::plinkvzs,     advicetext::plinkexport, advicetext::plinklog,
                        advicetext::plinkwritten, advicetext::plinkped,    advicetext::comment,
                        advicetext::counts,       advicetext::samplespsam, advicetext::besides,
                        advicetext::pipednowhere}) +
    2 * advicetext::length({advicetext::checkstart, advicetext::checkmiddle, advicetext::checkwhy,
                            advicetext::orfail}) +
    10 * rowwordsize + 16;  // the blanks between words

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

// Where the last component of path[0, length) starts.
std::size_t basestart(const char* path, std::size_t length);

// For a PLINK file, the length of its fileset's name: path[0, length)
// without the format's fileset ending (X of X.bed); 0 where the name does
// not end in it or is that ending alone.
std::size_t filesetlength(const fileformat& format, const char* path, std::size_t length);

// The name of the text file that the advice writes beside path[0, length),
// in out (fieldsize + textendingsize bytes): without the format's suffix,
// and with the text's (.txt where the format has none) where the name has
// none of the format's suffixes: d/.gz becomes d/.gz.txt, not a name in
// the folder d/. Returns its length.
std::size_t textname(const fileformat& format, const char* path, std::size_t length, char* out);

// Writes the advice for a file of that format at path[0, length) (nullptr
// where no name reads it again: standard input, a pipe or a FIFO) to out,
// at most size bytes, and returns the length of the whole advice, as
// quotename() does. Where a tool writes the text of a named file, that is
// one bash command line to paste: it checks that the tool can be run,
// naming its Debian package where not; takes an archive of one file only,
// saying where its tool cannot read it through; writes the text into a new
// file (set -C), beside the file where place says that folder may be
// written and the name fits, else in the current folder, saying why;
// removes what it wrote when the tool fails on a cut or corrupt file; and
// then runs the program on the text with the pattern and the number of
// positions, each cut to its 500-byte field (a program name longer than
// that is the one on the PATH, varnholt). Where the name says nothing of
// what the file holds (none of the format's suffixes), or no folder can
// take the text, it writes nothing and counts through a pipe. For a PLINK
// file whose fileset is beside it, PLINK writes its samples as a .ped file
// under a prefix no file starts with, and the program counts that.
std::size_t advise(const fileformat& format, const char* path, std::size_t length,
                   const advisedrun& run, const adviceplace& place, char* out, std::size_t size);

#endif  // VARNHOLT_ADVICE_H_
