// SPDX-License-Identifier: MIT
// varnholt GENOTYPEFILE PATTERNFILE NPOS
// varnholt --help | -h | --version
//
// Echoes its three arguments and sizes the genotype file: one more than the
// number of its records, reported as the allocation size. The run is six
// steps over one state, each of which returns -1 to go on or the exit
// status to end with; varnholt(1) lists every message and status.
#include <sys/stat.h>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "advice.h"
#include "count.h"
#include "field.h"
#include "format.h"
#include "quote.h"
#include "report.h"

namespace {

// What is at the genotype path, looked at once, before anything is written.
struct genotypepath {
  bool toolong;              // argument 1 holds more than its field
  char path[fieldsize + 1];  // the field without its trailing blanks
  std::size_t length;
  bool stdinput;  // the path is "-", standard input
  bool socket;    // a socket is at the path
  bool stream;    // what is read there cannot be read again by its name
  // What diagnostics call it: "genotype file NAME", its kind where it is
  // no file ("FIFO NAME"), or "standard input". A name is shown in the
  // shell's $'...' quoting where a control character in it could end,
  // rewrite or hide a line.
  char noun[quotedsize(fieldsize) + 32];
};

// The whole state of a run, from the arguments to the count.
struct runstate {
  const char* programname;   // as it was started, for advice to paste
  int argumentcount;         // after the program's name
  const char* arguments[3];  // nullptr where absent
  char genotypefile[fieldsize];
  char patternmatfile[fieldsize];
  char bufstring[fieldsize];
  std::int32_t npos;
  std::int32_t na;
  genotypepath genotype;
  countresult count;
};

runstate state;

const char* const help =
    "Usage: varnholt GENOTYPEFILE PATTERNFILE NPOS\n"
    "Size a genotype file by its records. Prints four lines: the genotype file,\n"
    "the pattern file (echoed only, never opened), the number of positions read\n"
    "from the first five characters of NPOS, and the allocation size: the number\n"
    "of records (lines) of GENOTYPEFILE plus one. A missing GENOTYPEFILE is\n"
    "created empty, with a warning; - is standard input. A number of arguments\n"
    "other than three is a warning only: the run goes on, missing arguments read\n"
    "as blanks.\n"
    "\n"
    "Exit status: 0 when GENOTYPEFILE was counted or created; 1 when it could\n"
    "not be counted, is not text, or is standard output or the pipe that standard\n"
    "output or standard error write to, or standard output cannot be written;\n"
    "2 when NPOS is malformed.\n"
    "\n"
    "-h or --help alone prints this text, --version alone the version; beside\n"
    "other arguments they are file names like any other.\n"
    "See varnholt(1) for the details.\n";

// Every diagnostic: one line on standard error, in the report layout, after
// the program's name. If standard error fails there is nowhere better to
// say so, and the run goes on as it would have.
[[gnu::format(printf, 1, 2)]] void diagnose(const char* text, ...) {  // NOLINT(cert-dcl50-cpp)
  constexpr char name[] = "varnholt: ";
  char message[advicesize + quotedsize(fieldsize) + 256];
  std::memcpy(message, name, sizeof name - 1);
  std::va_list values;
  va_start(values, text);
  (void)std::vsnprintf(message + sizeof name - 1, sizeof message - (sizeof name - 1), text, values);
  va_end(values);
  reportlabel(tostderr, message);
}

// A name as it is shown, NUL-terminated, in out.
const char* showname(const char* name, std::size_t length, char* out, std::size_t size) {
  std::size_t shown = quotename(name, length, out, size - 1);
  out[shown < size ? shown : size - 1] = '\0';
  return out;
}

// A field between double quotes, so that blanks at its ends show, or in
// the $'...' form where it needs that, NUL-terminated in out.
constexpr std::size_t shownfieldsize = quotedsize(fieldsize) + 3;
const char* showfield(const char* field, std::size_t length, char (&out)[shownfieldsize]) {
  std::size_t shown = quotename(field, length, out + 1, sizeof out - 2);
  if (shown != length) {
    std::memmove(out, out + 1, shown);
    out[shown] = '\0';
  } else {
    out[0] = '"';
    out[shown + 1] = '"';
    out[shown + 2] = '\0';
  }
  return out;
}

// Names the genotype file for diagnostics by what is at its path, as st
// (valid where found) tells.
void namegenotype(genotypepath* g, const struct stat& st, bool found) {
  if (g->stdinput) {
    std::strcpy(g->noun, "standard input");
    return;
  }
  const char* kind = "genotype file ";
  if (found && S_ISFIFO(st.st_mode)) kind = "FIFO ";
  if (found && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))) kind = "device ";
  g->socket = found && S_ISSOCK(st.st_mode);
  if (g->socket) kind = "socket ";
  std::strcpy(g->noun, kind);
  std::size_t at = std::strlen(kind);
  showname(g->path, g->length, g->noun + at, sizeof g->noun - at);
}

// A path that names what this run alone can read: a pipe or FIFO, drained
// by the count, or a descriptor of this process (/dev/fd/N, /proc/PID/fd/N,
// /dev/stdin), gone once it ends. Advice cannot read it again by its name.
bool readonce(const genotypepath& g, const struct stat& st, bool found) {
  if (g.stdinput || (found && S_ISFIFO(st.st_mode))) return true;
  std::string_view path(g.path, g.length);
  if (path.starts_with("/dev/fd/") || path == "/dev/stdin") return true;
  if (!path.starts_with("/proc/")) return false;
  std::size_t slash = path.find('/', 6);
  if (slash == std::string_view::npos) return false;
  path.remove_prefix(slash);
  return path.starts_with("/fd/");
}

// A report the caller never sees is a failed run, not a quiet success.
int outputfailed(int error) {
  diagnose("error: cannot write standard output: %s", std::strerror(error));
  return 1;
}

int echoname(const char* label, const char* name, std::size_t length) {
  char shown[quotedsize(fieldsize)];
  int error = reporttext(tostdout, label, shown, quotename(name, length, shown, sizeof shown));
  return error != 0 ? outputfailed(error) : -1;
}

int printonly(const char* text) {
  int error = reportverbatim(tostdout, text);
  return error != 0 ? outputfailed(error) : 0;
}

// Alone, --help, -h and --version do what they do for other programs and
// touch no file; beside other arguments they are names like any other.
int helporversion(int argc, char** argv) {
  if (argc != 2) return -1;
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
    return printonly(help);
  if (std::strcmp(argv[1], "--version") == 0) return printonly("varnholt " VARNHOLT_VERSION "\n");
  return -1;
}

// The stream the genotype file is, where reading it would read what this
// run writes: standard output as a regular file, where the report would
// land in the file it counts and change it; standard output or standard
// error as a pipe or FIFO, which the count would wait on for ever. A
// terminal is none of these: reading it reads what the user types.
const char* ownoutput(const struct stat& in) {
  bool pipe = S_ISFIFO(in.st_mode);
  if (!pipe && !S_ISREG(in.st_mode)) return nullptr;
  for (int fd : {tostdout, tostderr}) {
    struct stat out {};
    if (fd == tostderr && !pipe) break;
    if (fstat(fd, &out) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
      return fd == tostdout ? "standard output: the report" : "standard error: the messages";
  }
  return nullptr;
}

// Takes the arguments as they were given.
int takearguments(int argc, char** argv, runstate* r) {
  bool named = argc > 0 && argv[0] != nullptr && argv[0][0] != '\0';
  r->programname = named ? argv[0] : "varnholt";
  r->argumentcount = argc - 1;
  for (int i = 1; i < argc && i <= 3; ++i) r->arguments[i - 1] = argv[i];
  return -1;
}

// Takes the genotype path into its field and looks once at what is at it.
// Where that is this run's own output, it is refused before anything is
// written.
int lookatgenotype(const char* argument, char (&field)[fieldsize], genotypepath* g) {
  g->toolong = setfield(field, argument) != 0;
  g->length = trimmedlength(field, fieldsize);
  std::memcpy(g->path, field, g->length);
  g->path[g->length] = '\0';
  g->stdinput = std::strcmp(g->path, "-") == 0;
  struct stat in {};
  bool found = (g->stdinput ? fstat(0, &in) : stat(g->path, &in)) == 0;
  namegenotype(g, in, found);
  g->stream = readonce(*g, in, found);
  const char* own = found && !g->toolong && g->length > 0 ? ownoutput(in) : nullptr;
  if (own != nullptr) {
    diagnose("error: %s is %s would be written into it", g->noun, own);
    return 1;
  }
  return -1;
}

// Echoes the two names. A wrong count is a warning only: missing
// arguments read as blanks, and those after the third are ignored.
int echonames(runstate* r) {
  if (r->argumentcount != 3) {
    reportlabel(tostderr, "Wrong number of argument.");
    reportlabel(tostderr, "1-genotype file");
    reportlabel(tostderr, "2-pattern mat file");
    reportlabel(tostderr, "3-number of position (SNP/Haplotype)");
  }
  int status = echoname("genotype file=", r->genotypefile, r->genotype.length);
  if (status >= 0) return status;
  setfield(r->patternmatfile, r->arguments[1]);
  return echoname("pattern file=", r->patternmatfile, trimmedlength(r->patternmatfile, fieldsize));
}

// The number of positions, from the first five characters of argument 3.
int readnumber(runstate* r) {
  char shown[shownfieldsize];
  setfield(r->bufstring, r->arguments[2]);
  if (readi5(r->bufstring, &r->npos) != 0) {
    diagnose(
        "error: bad value while reading an integer for the number of positions "
        "(argument 3): %s; its first five characters must hold an integer, -9999 to 99999",
        showfield(r->bufstring, 5, shown));
    return 2;
  }
  // Five characters is the rule, but whoever gave more must hear that the
  // rest was not read.
  if (cutpast(r->arguments[2], 5) != 0) {
    diagnose(
        "warning: the number of positions is read from the first five characters "
        "of argument 3: %d from %s",
        static_cast<int>(r->npos),
        showfield(r->bufstring, trimmedlength(r->bufstring, fieldsize), shown));
  }
  int error = reportinteger(tostdout, "Number of pos=", r->npos);
  return error != 0 ? outputfailed(error) : -1;
}

// The last line, the size decided, and the run's status unless standard
// output fails.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the size, then the status it ends with
int reportsize(std::int32_t na, int status) {
  int error = reportinteger(tostdout, "allocation size=", na);
  return error != 0 ? outputfailed(error) : status;
}

// A path that is no path: the size line and the status, or -1 to count.
int checkpath(const runstate& r) {
  const genotypepath& g = r.genotype;
  if (g.toolong) {
    // Opening the first 500 bytes would count, or create, a file the user
    // never named.
    diagnose("error: cannot open genotype file: path longer than 500 bytes");
    return reportsize(0, 1);
  }
  // After the usage lines a missing first argument has been said already.
  if (g.length == 0 && r.argumentcount != 3) return reportsize(0, 0);
  if (g.length == 0) {
    diagnose("error: cannot open genotype file: empty path");
    return reportsize(0, 1);
  }
  if (std::strlen(r.arguments[0]) > g.length) {
    char shown[quotedsize(fieldsize) + 1];
    diagnose("warning: trailing blanks dropped from the genotype path, using %s",
             showname(g.path, g.length, shown, sizeof shown));
  }
  return -1;
}

// How a run that counted ends: its status, and whether the records counted
// are a size to report. Anything but text has none a consumer can use.
struct ending {
  int status;
  bool sized;
};

// Says what the file is where it is not text, and how to count its records.
ending saykind(const runstate& r, const filekind& kind) {
  const char* noun = r.genotype.noun;
  switch (kind.shape) {
    case shapetext:
      return {0, true};
    case shapeformat: {
      diagnose("error: %s is %s, not text: its line feeds are not records", noun,
               kind.format->name);
      char advice[advicesize];
      const genotypepath& g = r.genotype;
      std::size_t n =
          advise(*kind.format, g.stream ? nullptr : g.path, g.length,
                 {r.programname, r.arguments[1], r.arguments[2]}, advice, sizeof advice - 1);
      advice[n < sizeof advice ? n : sizeof advice - 1] = '\0';
      diagnose("to count its records, %s", advice);
      return {1, false};
    }
    case shapecut:
      diagnose("error: %s is %s but cut short: its records cannot all be read", noun,
               kind.format->name);
      return {1, false};
    case shapebinary:
      // The count stopped at the NUL: the records before it are complete,
      // and the NUL stands in the next one.
      diagnose("error: %s is binary data, not text: byte 0x00 at offset %lld, in record %lld", noun,
               static_cast<long long>(kind.at), static_cast<long long>(r.count.records) + 1);
      return {1, false};
  }
  return {1, false};
}

// Says how the count ended. Each of its outcomes is classified here, once.
ending conclude(const runstate& r, countoutcome ios, const filekind& kind) {
  const char* noun = r.genotype.noun;
  int error = r.count.error;
  switch (ios) {
    case countdone:
      if (!r.count.created) return saykind(r, kind);
      // The file is the program's to create, but a typo or a shifted
      // argument list makes one just as well: that must not pass in silence.
      diagnose("warning: created empty %s", noun);
      return {0, true};
    case countnotopened:
      // The system's word for a socket, "No such device or address", says
      // nothing of what is at the path.
      diagnose("error: cannot open %s: %s", noun,
               r.genotype.socket ? "not a file" : std::strerror(error));
      return {1, false};
    case countdanglinglink:
      diagnose("error: cannot open %s: dangling symbolic link, not followed to create a file",
               noun);
      return {1, false};
    case countnotcreated:
      diagnose("error: cannot create %s: %s", noun, std::strerror(error));
      return {1, false};
    case countreadfailed:
      diagnose("error: read error in %s: %s", noun, std::strerror(error));
      return {1, true};
    case countshrank:
      diagnose("error: %s shrank while it was read: its records are not those counted", noun);
      return {1, true};
  }
  return {1, false};
}

// What the bytes read so far say the genotype file is.
filekind kindread(const runstate& r) {
  const countresult& c = r.count;
  const genotypepath& g = r.genotype;
  return kindof({c.head, c.headlength, c.tail, c.taillength,
                 c.ended && c.bytes == static_cast<std::int64_t>(c.headlength),
                 g.stdinput ? nullptr : g.path, g.length, c.nul});
}

// Counts the genotype file and writes the last line. Its first bytes, or
// its first NUL, may tell that it is not text before it is read to the
// end: the count stops there. A count cut short by a failed read or a
// shrinking file sizes nothing a consumer can use: the report stands, and
// the run fails. Every run without a size reports 0.
int countgenotypes(runstate* r) {
  static_assert(countheadsize >= formatheadsize);
  int status = checkpath(*r);
  if (status >= 0) return status;
  const genotypepath& g = r->genotype;
  countoutcome ios = countstart(g.stdinput ? nullptr : g.path, formatheadsize, &r->count);
  filekind kind{shapetext, nullptr, 0};
  if (ios == countdone) {
    kind = kindread(*r);
    if (kind.shape == shapetext) {
      ios = countrest(&r->count);
      kind = kindread(*r);
    } else {
      countstop(&r->count);
    }
  }
  ending end = conclude(*r, ios, kind);
  r->na = 0;
  if (end.sized && allocationsize(r->count.records, &r->na) != 0) {
    diagnose("error: too many records for a 32-bit allocation size in %s", g.noun);
    end.status = 1;
  }
  return reportsize(r->na, end.status);
}

}  // namespace

int main(int argc, char** argv) {
  int status = helporversion(argc, argv);
  if (status < 0) status = takearguments(argc, argv, &state);
  if (status < 0) status = lookatgenotype(state.arguments[0], state.genotypefile, &state.genotype);
  if (status < 0) status = echonames(&state);
  if (status < 0) status = readnumber(&state);
  if (status < 0) status = countgenotypes(&state);
  return status;
}
