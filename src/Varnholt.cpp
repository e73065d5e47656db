// SPDX-License-Identifier: MIT
// varnholt GENOTYPEFILE PATTERNFILE NPOS
// varnholt --help | -h | --version
//
// Echoes its three arguments and sizes the genotype file: one more than the
// number of its records, reported as the allocation size. The run is four
// steps, each of which returns -1 to go on or the exit status to end with;
// varnholt(1) lists every message and status.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "count.h"
#include "field.h"
#include "quote.h"
#include "report.h"

namespace {

// The whole state of a run.
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
bool genotypestdin = false;  // the path is "-", standard input
int ios = countdone;         // how the count of the genotype file ended
std::int64_t records = 0;
int error = 0;  // the errno of the failed open, read or write
// A name or field as shown: a control character in it could end, rewrite
// or hide a line, so such a name is shown in the shell's $'...' quoting;
// room for the double quotes a field is shown in.
char quoted[quotedsize(fieldsize) + 2];
// A name as a word to paste into a shell.
char pasted[shellwordsize(fieldsize)];
// Room for the longest diagnostic: a path shown and pasted, and a reason.
char message[quotedsize(fieldsize) + shellwordsize(fieldsize) + 256];

const char* const help =
    "Usage: varnholt GENOTYPEFILE PATTERNFILE NPOS\n"
    "Size a genotype file by its records. Prints four lines: the genotype file,\n"
    "the pattern file (echoed only, never opened), the number of positions read\n"
    "from the first five characters of NPOS, and the allocation size: the number\n"
    "of records (lines) of GENOTYPEFILE plus one. A missing GENOTYPEFILE is\n"
    "created empty; - is standard input. A number of arguments other than three\n"
    "is a warning only: the run goes on, missing arguments read as blanks.\n"
    "\n"
    "Exit status: 0 when GENOTYPEFILE was counted; 1 when it could not be\n"
    "counted or is compressed, or standard output cannot be written; 2 when\n"
    "NPOS is malformed.\n"
    "\n"
    "-h, --help and --version, given alone, print this text and the version; in\n"
    "any other call they are file names like any other.\n"
    "See varnholt(1) for the details.\n";

// Diagnostics go to standard error; if that fails there is nowhere better
// to say so, and the run goes on as it would have.
void diagnose(const char* what, const char* path, std::size_t pathlength, const char* reason) {
  std::size_t shown = quotename(path, pathlength, quoted);
  (void)std::snprintf(message, sizeof message, "varnholt: %s%.*s%s%s", what,
                      static_cast<int>(shown), quoted, reason[0] ? ": " : "", reason);
  reportlabel(tostderr, message);
}

// A field as diagnostics show it, in quoted: between double quotes, so that
// blanks at its ends show, or in the $'...' form where it needs that.
int showfield(const char* field, std::size_t length) {
  std::size_t shown = quotename(field, length, quoted + 1);
  if (shown != length) {
    std::memmove(quoted, quoted + 1, shown);
    return static_cast<int>(shown);
  }
  quoted[0] = '"';
  quoted[shown + 1] = '"';
  return static_cast<int>(shown + 2);
}

// A count of compressed bytes is no count of records: says so, and how to
// count the records instead, in words bash takes as they stand.
void compressed(const char* format, const char* tool) {
  std::size_t shown = quotename(genotypepath, genotypelength, quoted);
  int n = std::snprintf(message, sizeof message,
                        "varnholt: error: genotype file %.*s is %s-compressed: the line feeds of "
                        "its compressed bytes were counted; for its records ",
                        static_cast<int>(shown), quoted, format);
  auto at = static_cast<std::size_t>(n);
  if (genotypestdin) {
    // <(zcat -) would read the shell's own standard input, not the pipe.
    (void)std::snprintf(message + at, sizeof message - at, "pipe it through %s", tool);
  } else {
    std::size_t word = shellword(genotypepath, genotypelength, pasted);
    (void)std::snprintf(message + at, sizeof message - at, "give <(%s %.*s) as the genotype file",
                        tool, static_cast<int>(word), pasted);
  }
  reportlabel(tostderr, message);
}

// A report the caller never sees is a failed run, not a quiet success.
int outputfailed() {
  diagnose("error: cannot write standard output", "", 0, std::strerror(error));
  return 1;
}

int echoname(const char* label, const char* name, std::size_t length) {
  error = reporttext(tostdout, label, quoted, quotename(name, length, quoted));
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

// Takes the arguments into their fields and echoes the two names. A wrong
// count is a warning only: missing arguments read as blanks, and those
// after the third are ignored.
int takearguments(int argc, char** argv) {
  argumentcount = argc - 1;
  for (int i = 1; i < argc && i <= 3; ++i) arguments[i - 1] = argv[i];
  if (argumentcount != 3) {
    reportlabel(tostderr, "Wrong number of argument.");
    reportlabel(tostderr, "1-genotype file");
    reportlabel(tostderr, "2-pattern mat file");
    reportlabel(tostderr, "3-number of position (SNP/Haplotype)");
  }
  genotypetoolong = setfield(genotypefile, arguments[0]);
  genotypelength = trimmedlength(genotypefile, fieldsize);
  std::memcpy(genotypepath, genotypefile, genotypelength);
  genotypepath[genotypelength] = '\0';
  int status = echoname("genotype file=", genotypefile, genotypelength);
  if (status >= 0) return status;
  setfield(patternmatfile, arguments[1]);
  return echoname("pattern file=", patternmatfile, trimmedlength(patternmatfile, fieldsize));
}

// The number of positions, from the first five characters of argument 3.
int readnumber() {
  setfield(bufstring, arguments[2]);
  if (readi5(bufstring, &npos) != 0) {
    int shown = showfield(bufstring, 5);
    (void)std::snprintf(message, sizeof message,
                        "varnholt: error: bad value while reading an integer for the number of "
                        "positions (argument 3): %.*s",
                        shown, quoted);
    reportlabel(tostderr, message);
    return 2;
  }
  // Five characters is the rule, but whoever gave more must hear that the
  // rest was not read.
  if (cutpast(arguments[2], 5) != 0) {
    int shown = showfield(bufstring, trimmedlength(bufstring, fieldsize));
    (void)std::snprintf(message, sizeof message,
                        "varnholt: warning: the number of positions is read from the first five "
                        "characters of argument 3: %d from %.*s",
                        static_cast<int>(npos), shown, quoted);
    reportlabel(tostderr, message);
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
    // Opening the first 500 characters would count, or create, a file the
    // user never named.
    diagnose("error: cannot open genotype file: path longer than 500 characters", "", 0, "");
    return reportsize(1);
  }
  // After the usage lines a missing first argument has been said already.
  if (genotypelength == 0 && argumentcount != 3) return reportsize(0);
  if (genotypelength == 0) {
    diagnose("error: cannot open genotype file: empty path", "", 0, "");
    return reportsize(1);
  }
  if (std::strlen(arguments[0]) > genotypelength) {
    diagnose("warning: trailing blanks dropped from the genotype path, using ", genotypepath,
             genotypelength, "");
  }
  genotypestdin = std::strcmp(genotypepath, "-") == 0;
  ios = countrecords(genotypestdin ? nullptr : genotypepath, &records, &error);
  if (ios == countnotopened || ios == countdanglinglink) {
    diagnose("error: cannot open genotype file ", genotypepath, genotypelength,
             ios == countnotopened ? std::strerror(error)
                                   : "dangling symbolic link, not followed to create a file");
    return reportsize(1);
  }
  if (ios == countnotcreated) {
    diagnose("error: cannot create genotype file ", genotypepath, genotypelength,
             std::strerror(error));
    return reportsize(1);
  }
  if (ios == countreadfailed) {
    diagnose("error: read error in genotype file ", genotypepath, genotypelength,
             std::strerror(error));
  }
  const char* tool = nullptr;
  const char* format = countedformat(&tool);
  if (format != nullptr) compressed(format, tool);
  if (allocationsize(records, &na) != 0) {
    diagnose("error: too many records for a 32-bit allocation size in ", genotypepath,
             genotypelength, "");
    return 1;
  }
  // A count cut short by a failed read, or of compressed bytes, sizes
  // nothing a consumer can use: the report stands, and the run fails.
  return reportsize(ios == countreadfailed || format != nullptr ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
  int status = helporversion(argc, argv);
  if (status < 0) status = takearguments(argc, argv);
  if (status < 0) status = readnumber();
  if (status < 0) status = countgenotypes();
  return status;
}
