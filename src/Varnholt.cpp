// SPDX-License-Identifier: MIT
// varnholt GENOTYPEFILE PATTERNFILE NPOS
// varnholt --help | -h | --version
//
// Echoes its three arguments and sizes the genotype file: one more than the
// number of its records, reported as the allocation size. The run is five
// steps over one state, each of which returns -1 to go on or the exit
// status to end with; varnholt(1) lists every message and status.
#include <sys/stat.h>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "advice.h"
#include "count.h"
#include "field.h"
#include "format.h"
#include "quote.h"
#include "report.h"

namespace {

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
  bool genotypetoolong;              // argument 1 holds more than its field
  char genotypepath[fieldsize + 1];  // the field without its trailing blanks
  std::size_t genotypelength;
  bool genotypestdin;   // the path is "-", standard input
  bool genotypesocket;  // a socket is at the path
  // What diagnostics call the genotype file: "genotype file NAME", its kind
  // where it is no file ("FIFO NAME"), or "standard input". A name is shown
  // in the shell's $'...' quoting where a control character in it could
  // end, rewrite or hide a line.
  char genotypenoun[quotedsize(fieldsize) + 32];
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
void namegenotype(runstate* r, const struct stat& st, bool found) {
  if (r->genotypestdin) {
    std::strcpy(r->genotypenoun, "standard input");
    return;
  }
  const char* kind = "genotype file ";
  if (found && S_ISFIFO(st.st_mode)) kind = "FIFO ";
  if (found && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))) kind = "device ";
  r->genotypesocket = found && S_ISSOCK(st.st_mode);
  if (r->genotypesocket) kind = "socket ";
  std::strcpy(r->genotypenoun, kind);
  std::size_t at = std::strlen(kind);
  showname(r->genotypepath, r->genotypelength, r->genotypenoun + at, sizeof r->genotypenoun - at);
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

// Takes the arguments into their fields, and looks once at what is at the
// genotype path. Where that is this run's own output, it is refused before
// anything is written.
int takearguments(int argc, char** argv, runstate* r) {
  bool named = argc > 0 && argv[0] != nullptr && argv[0][0] != '\0';
  r->programname = named ? argv[0] : "varnholt";
  r->argumentcount = argc - 1;
  for (int i = 1; i < argc && i <= 3; ++i) r->arguments[i - 1] = argv[i];
  r->genotypetoolong = setfield(r->genotypefile, r->arguments[0]) != 0;
  r->genotypelength = trimmedlength(r->genotypefile, fieldsize);
  std::memcpy(r->genotypepath, r->genotypefile, r->genotypelength);
  r->genotypepath[r->genotypelength] = '\0';
  r->genotypestdin = std::strcmp(r->genotypepath, "-") == 0;
  struct stat in {};
  bool found = (r->genotypestdin ? fstat(0, &in) : stat(r->genotypepath, &in)) == 0;
  namegenotype(r, in, found);
  const char* own = found && !r->genotypetoolong && r->genotypelength > 0 ? ownoutput(in) : nullptr;
  if (own != nullptr) {
    diagnose("error: %s is %s would be written into it", r->genotypenoun, own);
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
  int status = echoname("genotype file=", r->genotypefile, r->genotypelength);
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

// The last line, and the run's status unless standard output fails.
int reportsize(const runstate& r, int status) {
  int error = reportinteger(tostdout, "allocation size=", r.na);
  return error != 0 ? outputfailed(error) : status;
}

// A path that is no path: the size line and the status, or -1 to count.
int checkpath(const runstate& r) {
  if (r.genotypetoolong) {
    // Opening the first 500 bytes would count, or create, a file the user
    // never named.
    diagnose("error: cannot open genotype file: path longer than 500 bytes");
    return reportsize(r, 1);
  }
  // After the usage lines a missing first argument has been said already.
  if (r.genotypelength == 0 && r.argumentcount != 3) return reportsize(r, 0);
  if (r.genotypelength == 0) {
    diagnose("error: cannot open genotype file: empty path");
    return reportsize(r, 1);
  }
  if (std::strlen(r.arguments[0]) > r.genotypelength) {
    char shown[quotedsize(fieldsize) + 1];
    diagnose("warning: trailing blanks dropped from the genotype path, using %s",
             showname(r.genotypepath, r.genotypelength, shown, sizeof shown));
  }
  return -1;
}

// Says how the count ended, and returns the status that leaves the run
// with: 0 where every record was counted.
int sayoutcome(const runstate& r) {
  const char* noun = r.genotypenoun;
  int error = r.count.error;
  switch (r.count.ios) {
    case countdone:
      return 0;
    case countcreated:
      // The file is the program's to create, but a typo or a shifted
      // argument list makes one just as well: that must not pass in silence.
      diagnose("warning: created empty %s", noun);
      return 0;
    case countnotopened:
      // The system's word for a socket, "No such device or address", says
      // nothing of what is at the path.
      diagnose("error: cannot open %s: %s", noun,
               r.genotypesocket ? "not a file" : std::strerror(error));
      return 1;
    case countdanglinglink:
      diagnose("error: cannot open %s: dangling symbolic link, not followed to create a file",
               noun);
      return 1;
    case countnotcreated:
      diagnose("error: cannot create %s: %s", noun, std::strerror(error));
      return 1;
    case countreadfailed:
      diagnose("error: read error in %s: %s", noun, std::strerror(error));
      return 1;
    case countshrank:
      diagnose("error: %s shrank while it was read: its records are not those counted", noun);
      return 1;
  }
  return 1;
}

// Says what the bytes read are where they are not text, and how to count
// the records instead: the count of anything else sizes nothing.
int saykind(const runstate& r) {
  const countresult& c = r.count;
  filebytes bytes{c.head,
                  c.headlength,
                  c.tail,
                  c.taillength,
                  c.ended && c.bytes == static_cast<std::int64_t>(c.headlength),
                  c.ended,
                  r.genotypestdin ? nullptr : r.genotypepath,
                  r.genotypelength,
                  c.nulrun};
  filekind kind = kindof(bytes);
  const char* noun = r.genotypenoun;
  switch (kind.shape) {
    case shapetext:
      return 0;
    case shapeformat: {
      diagnose("error: %s is %s, not text: its line feeds are not records", noun,
               kind.format->name);
      char advice[advicesize];
      std::size_t n = advise(*kind.format, bytes.name, r.genotypelength, r.programname,
                             r.arguments[1], r.arguments[2], advice, sizeof advice - 1);
      advice[n < sizeof advice ? n : sizeof advice - 1] = '\0';
      diagnose("to count its records, %s", advice);
      return 1;
    }
    case shapecut:
      diagnose("error: %s is %s but cut short: its records cannot all be read", noun,
               kind.format->name);
      return 1;
    case shapebinary:
      diagnose("error: %s is binary data, not text: byte 0x%02x at offset %lld", noun, kind.byte,
               static_cast<long long>(kind.at));
      return 1;
  }
  return 1;
}

// Counts the genotype file and writes the last line. A count cut short by
// a failed read or a shrinking file, or of anything but text, sizes nothing
// a consumer can use: the report stands, and the run fails.
int countgenotypes(runstate* r) {
  static_assert(countheadsize >= textchecked);
  int status = checkpath(*r);
  if (status >= 0) return status;
  countrecords(r->genotypestdin ? nullptr : r->genotypepath, &r->count);
  status = sayoutcome(*r);
  bool opened = r->count.ios != countnotopened && r->count.ios != countdanglinglink &&
                r->count.ios != countnotcreated;
  if (!opened) return reportsize(*r, status);
  if (saykind(*r) != 0) status = 1;
  if (allocationsize(r->count.records, &r->na) != 0) {
    diagnose("error: too many records for a 32-bit allocation size in %s", r->genotypenoun);
    return 1;
  }
  return reportsize(*r, status);
}

}  // namespace

int main(int argc, char** argv) {
  int status = helporversion(argc, argv);
  if (status < 0) status = takearguments(argc, argv, &state);
  if (status < 0) status = echonames(&state);
  if (status < 0) status = readnumber(&state);
  if (status < 0) status = countgenotypes(&state);
  return status;
}
