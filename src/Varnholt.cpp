// SPDX-License-Identifier: MIT
// varnholt GENOTYPEFILE PATTERNFILE NPOS
// varnholt --help | -h | --version
//
// Echoes its three arguments and sizes the genotype file: one more than the
// number of its records, reported as the allocation size. The run is six
// steps over one state, each of which returns -1 to go on or the exit
// status to end with; varnholt(1) lists every message and status.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "advice.h"
#include "count.h"
#include "field.h"
#include "format.h"
#include "path.h"
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
    "Exit status: 0 when the genotype file was counted or created; 1 when the\n"
    "genotype file could not be counted, is not text, or is standard output,\n"
    "standard error or the pipe that either writes to, or standard output cannot\n"
    "be written; 2 when the number of positions is malformed.\n"
    "\n"
    "-h or --help alone prints this text, --version alone the version; beside\n"
    "other arguments they are file names like any other.\n"
    "See varnholt(1) for the details.\n";

// Every diagnostic: one line on standard error (or, where that is the
// genotype file, on standard output), in the report layout, after the
// program's name. If the stream fails there is nowhere better to say so,
// and the run goes on as it would have.
void vdiagnose(int stream, const char* text, std::va_list values) {
  constexpr char name[] = "varnholt: ";
  char message[advicesize + quotedsize(fieldsize) + 256];
  std::memcpy(message, name, sizeof name - 1);
  (void)std::vsnprintf(message + sizeof name - 1, sizeof message - (sizeof name - 1), text, values);
  reportlabel(stream, message);
}

[[gnu::format(printf, 1, 2)]] void diagnose(const char* text, ...) {  // NOLINT(cert-dcl50-cpp)
  std::va_list values;
  va_start(values, text);
  vdiagnose(tostderr, text, values);
  va_end(values);
}

// NOLINTNEXTLINE(cert-dcl50-cpp): printf's arguments, checked by the compiler
[[gnu::format(printf, 2, 3)]] void diagnoseon(int stream, const char* text, ...) {
  std::va_list values;
  va_start(values, text);
  vdiagnose(stream, text, values);
  va_end(values);
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
// written into it: the message goes to standard error, or to standard
// output where standard error is the file, or nowhere where both are.
int lookatgenotype(const char* argument, char (&field)[fieldsize], genotypepath* g) {
  lookatpath(argument, field, g);
  if (g->owned == 0) return -1;
  bool report = (g->owned & ownreport) != 0;
  int stream = tostderr;
  if ((g->owned & ownmessages) != 0 && g->regular) stream = report ? -1 : tostdout;
  if (stream >= 0) {
    diagnoseon(stream, "error: %s is %s would be written into it", g->noun,
               report ? "standard output: the report" : "standard error: the messages");
  }
  return 1;
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
    diagnose("error: cannot open genotype file: path longer than %zu bytes", fieldsize);
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
      adviceplace place{};
      lookforadvice(g, *kind.format, &place);
      std::size_t n =
          advise(*kind.format, g.stream ? nullptr : g.path, g.length,
                 {r.programname, r.arguments[1], r.arguments[2]}, place, advice, sizeof advice - 1);
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
                 c.ended && c.bytes == static_cast<std::int64_t>(c.headlength), g.regular,
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
