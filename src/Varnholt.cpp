// SPDX-License-Identifier: MIT
// varnholt GENOTYPEFILE PATTERNFILE NPOS
// varnholt --help | -h | --version
//
// Echoes its three arguments and sizes the genotype file: one more than the
// number of its records, reported as the allocation size. The run is five
// steps, each of which returns -1 to go on or the exit status to end with;
// varnholt(1) lists every message and status.
#include <sys/stat.h>
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "count.h"
#include "field.h"
#include "quote.h"
#include "report.h"

namespace {

// The whole state of a run.
const char* programname = "varnholt";  // as it was started, for advice to paste
int argumentcount = 0;
const char* arguments[3] = {nullptr, nullptr, nullptr};  // nullptr where absent
char genotypefile[fieldsize];
char patternmatfile[fieldsize];
char bufstring[fieldsize];
std::int32_t npos = 0;
std::int32_t na = 0;
int genotypetoolong = 0;           // argument 1 holds more than its field
char genotypepath[fieldsize + 1];  // the field without its trailing blanks
std::size_t genotypelength = 0;
bool genotypestdin = false;   // the path is "-", standard input
bool genotypesocket = false;  // a socket is at the path
int ios = countdone;          // how the count of the genotype file ended
std::int64_t records = 0;
const fileformat* format = nullptr;  // what the genotype file is, where not text
int error = 0;                       // the errno of the failed open, read or write
// What diagnostics call the genotype file: "genotype file NAME", its kind
// where it is no file ("FIFO NAME"), or "standard input". A name is shown
// in the shell's $'...' quoting where a control character in it could
// end, rewrite or hide a line.
char genotypenoun[quotedsize(fieldsize) + 32];
// A field as diagnostics show it, between double quotes.
char quoted[quotedsize(fieldsize) + 2];
// Advice to paste: seven names as shell words, a tool and the glue.
char advice[7 * shellwordsize(fieldsize + 8) + 256];
char decompressed[fieldsize + 8];  // the name of the text file the advice makes
char message[sizeof advice + sizeof genotypenoun + 256];

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
    "not be counted, is compressed or binary, or is standard output, or standard\n"
    "output cannot be written; 2 when NPOS is malformed.\n"
    "\n"
    "-h or --help alone prints this text, --version alone the version; beside\n"
    "other arguments they are file names like any other.\n"
    "See varnholt(1) for the details.\n";

// Every diagnostic: one line on standard error, in the report layout, after
// the program's name. If standard error fails there is nowhere better to
// say so, and the run goes on as it would have.
[[gnu::format(printf, 1, 2)]] void diagnose(const char* text, ...) {  // NOLINT(cert-dcl50-cpp)
  constexpr char name[] = "varnholt: ";
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
// the $'...' form where it needs that.
const char* showfield(const char* field, std::size_t length) {
  std::size_t shown = quotename(field, length, quoted + 1, sizeof quoted - 2);
  if (shown != length) {
    std::memmove(quoted, quoted + 1, shown);
    quoted[shown] = '\0';
  } else {
    quoted[0] = '"';
    quoted[shown + 1] = '"';
    quoted[shown + 2] = '\0';
  }
  return quoted;
}

// Names the genotype file for diagnostics by what is at its path, as st
// (valid where found) tells.
void namegenotype(const struct stat& st, bool found) {
  if (genotypestdin) {
    std::strcpy(genotypenoun, "standard input");
    return;
  }
  const char* kind = "genotype file ";
  if (found && S_ISFIFO(st.st_mode)) kind = "FIFO ";
  if (found && S_ISCHR(st.st_mode)) kind = "device ";
  if (found && S_ISBLK(st.st_mode)) kind = "device ";
  genotypesocket = found && S_ISSOCK(st.st_mode);
  if (genotypesocket) kind = "socket ";
  std::strcpy(genotypenoun, kind);
  std::size_t at = std::strlen(kind);
  showname(genotypepath, genotypelength, genotypenoun + at, sizeof genotypenoun - at);
}

// Appends text, or a name as one shell word, to the advice.
std::size_t adviceat = 0;
void addtext(const char* text) {
  std::size_t n = std::strlen(text);
  if (adviceat + n < sizeof advice) std::copy(text, text + n, advice + adviceat);
  adviceat += n;
}
void addword(const char* name, std::size_t length) {
  bool room = adviceat < sizeof advice;
  adviceat += shellword(name, length, room ? advice + adviceat : advice,
                        room ? sizeof advice - adviceat : 0);
}

// The text file the advice makes beside a compressed or binary one: its
// name without the format's suffix, and with the text's, or with .txt (the
// text's suffix) added where it has none of them.
void nametextfile() {
  std::size_t keep = genotypelength;
  const char* add = format->text[0] != '\0' ? format->text : ".txt";
  for (const char* s = format->suffixes; *s != '\0';) {
    std::size_t n = std::strcspn(s, " ");
    if (genotypelength > n && genotypepath[genotypelength - n - 1] != '/' &&
        std::memcmp(genotypepath + genotypelength - n, s, n) == 0) {
      keep = genotypelength - n;
      add = format->text;
      break;
    }
    s += n + (s[n] == ' ' ? 1 : 0);
  }
  std::memcpy(decompressed, genotypepath, keep);
  std::strcpy(decompressed + keep, add);
}

// A count of compressed or binary bytes is no count of records: says so,
// and how to count the records instead. For a named file that is one bash
// command line to paste: it writes the text beside the file, never over
// anything (set -C), removes what it wrote when the tool fails on a cut or
// corrupt file, and only then runs this program on the text.
void notext() {
  diagnose("error: %s is %s, not text: its line feeds are not records", genotypenoun, format->name);
  if (format->tool == nullptr) {
    diagnose("to count its records, make a text file of it with %s", format->how);
    return;
  }
  if (genotypestdin) {
    diagnose("to count its records, put %s before the pipe, under set -o pipefail", format->tool);
    return;
  }
  nametextfile();
  std::size_t textlength = std::strlen(decompressed);
  adviceat = 0;
  addtext("(set -C; exec >");
  addword(decompressed, textlength);
  addtext(" || exit; ");
  addtext(format->tool);
  addtext(" ");
  addword(genotypepath, genotypelength);
  addtext(" || { rm -f ");
  addword(decompressed, textlength);
  addtext("; exit 1; }) && ");
  // A name too long to paste whole is the one on the PATH.
  std::size_t name = std::strlen(programname);
  if (name <= fieldsize) {
    addword(programname, name);
  } else {
    addtext("varnholt");
  }
  addtext(" ");
  addword(decompressed, textlength);
  for (int i = 1; i < 3; ++i) {
    const char* argument = arguments[i] != nullptr ? arguments[i] : "";
    std::size_t n = std::strlen(argument);
    addtext(" ");
    addword(argument, n < fieldsize ? n : fieldsize);
  }
  if (adviceat >= sizeof advice) return;  // cannot happen: room for seven whole names
  advice[adviceat] = '\0';
  diagnose("to count its records, run: %s", advice);
}

// A report the caller never sees is a failed run, not a quiet success.
int outputfailed() {
  diagnose("error: cannot write standard output: %s", std::strerror(error));
  return 1;
}

int echoname(const char* label, const char* name, std::size_t length) {
  std::size_t shown = quotename(name, length, quoted, sizeof quoted);
  error = reporttext(tostdout, label, quoted, shown);
  return error != 0 ? outputfailed() : -1;
}

int printonly(const char* text) {
  error = reportverbatim(tostdout, text);
  return error != 0 ? outputfailed() : 0;
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

// Takes the arguments into their fields. Where standard output is the
// genotype file itself, the report would land in the file it counts, and
// change it: refused before anything is written.
int takearguments(int argc, char** argv) {
  if (argc > 0 && argv[0] != nullptr && argv[0][0] != '\0') programname = argv[0];
  argumentcount = argc - 1;
  for (int i = 1; i < argc && i <= 3; ++i) arguments[i - 1] = argv[i];
  genotypetoolong = setfield(genotypefile, arguments[0]);
  genotypelength = trimmedlength(genotypefile, fieldsize);
  std::memcpy(genotypepath, genotypefile, genotypelength);
  genotypepath[genotypelength] = '\0';
  genotypestdin = std::strcmp(genotypepath, "-") == 0;
  struct stat in {};
  struct stat out {};
  bool found = (genotypestdin ? fstat(0, &in) : stat(genotypepath, &in)) == 0;
  namegenotype(in, found);
  bool same = found && genotypetoolong == 0 && genotypelength > 0 && S_ISREG(in.st_mode) &&
              fstat(tostdout, &out) == 0 && S_ISREG(out.st_mode) && in.st_dev == out.st_dev &&
              in.st_ino == out.st_ino;
  if (same) {
    diagnose("error: %s is standard output: the report would be written into it", genotypenoun);
    return 1;
  }
  return -1;
}

// Echoes the two names. A wrong count is a warning only: missing
// arguments read as blanks, and those after the third are ignored.
int echonames() {
  if (argumentcount != 3) {
    reportlabel(tostderr, "Wrong number of argument.");
    reportlabel(tostderr, "1-genotype file");
    reportlabel(tostderr, "2-pattern mat file");
    reportlabel(tostderr, "3-number of position (SNP/Haplotype)");
  }
  int status = echoname("genotype file=", genotypefile, genotypelength);
  if (status >= 0) return status;
  setfield(patternmatfile, arguments[1]);
  return echoname("pattern file=", patternmatfile, trimmedlength(patternmatfile, fieldsize));
}

// The number of positions, from the first five characters of argument 3.
int readnumber() {
  setfield(bufstring, arguments[2]);
  if (readi5(bufstring, &npos) != 0) {
    diagnose(
        "error: bad value while reading an integer for the number of positions "
        "(argument 3): %s; its first five characters must hold an integer, -9999 to 99999",
        showfield(bufstring, 5));
    return 2;
  }
  // Five characters is the rule, but whoever gave more must hear that the
  // rest was not read.
  if (cutpast(arguments[2], 5) != 0) {
    diagnose(
        "warning: the number of positions is read from the first five characters "
        "of argument 3: %d from %s",
        static_cast<int>(npos), showfield(bufstring, trimmedlength(bufstring, fieldsize)));
  }
  error = reportinteger(tostdout, "Number of pos=", npos);
  return error != 0 ? outputfailed() : -1;
}

// The last line, and the run's status unless standard output fails.
int reportsize(int status) {
  error = reportinteger(tostdout, "allocation size=", na);
  return error != 0 ? outputfailed() : status;
}

// Counts the genotype file and writes the last line: each outcome with its
// message and its status, here alone.
int countgenotypes() {
  if (genotypetoolong != 0) {
    // Opening the first 500 bytes would count, or create, a file the user
    // never named.
    diagnose("error: cannot open genotype file: path longer than 500 bytes");
    return reportsize(1);
  }
  // After the usage lines a missing first argument has been said already.
  if (genotypelength == 0 && argumentcount != 3) return reportsize(0);
  if (genotypelength == 0) {
    diagnose("error: cannot open genotype file: empty path");
    return reportsize(1);
  }
  if (std::strlen(arguments[0]) > genotypelength) {
    diagnose("warning: trailing blanks dropped from the genotype path, using %s",
             showname(genotypepath, genotypelength, quoted, sizeof quoted));
  }
  ios = countrecords(genotypestdin ? nullptr : genotypepath, &records, &format, &error);
  if (ios == countnotopened || ios == countdanglinglink) {
    // The system's word for a socket, "No such device or address", says
    // nothing of what is at the path.
    const char* reason = ios == countdanglinglink
                             ? "dangling symbolic link, not followed to create a file"
                         : genotypesocket ? "not a file"
                                          : std::strerror(error);
    diagnose("error: cannot open %s: %s", genotypenoun, reason);
    return reportsize(1);
  }
  if (ios == countnotcreated) {
    diagnose("error: cannot create %s: %s", genotypenoun, std::strerror(error));
    return reportsize(1);
  }
  // The file is the program's to create, but a typo or a shifted argument
  // list makes one just as well: that must not pass in silence.
  if (ios == countcreated) diagnose("warning: created empty %s", genotypenoun);
  if (ios == countreadfailed) {
    diagnose("error: read error in %s: %s", genotypenoun, std::strerror(error));
  }
  if (ios == countshrank) {
    diagnose("error: %s shrank while it was read: its records are not those counted", genotypenoun);
  }
  if (format != nullptr) notext();
  if (allocationsize(records, &na) != 0) {
    diagnose("error: too many records for a 32-bit allocation size in %s", genotypenoun);
    return 1;
  }
  // A count cut short by a failed read or a shrinking file, or of
  // compressed or binary bytes, sizes nothing a consumer can use: the
  // report stands, and the run fails.
  bool sized = (ios == countdone || ios == countcreated) && format == nullptr;
  return reportsize(sized ? 0 : 1);
}

}  // namespace

int main(int argc, char** argv) {
  int status = helporversion(argc, argv);
  if (status < 0) status = takearguments(argc, argv);
  if (status < 0) status = echonames();
  if (status < 0) status = readnumber();
  if (status < 0) status = countgenotypes();
  return status;
}
