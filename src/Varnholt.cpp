// SPDX-License-Identifier: MIT
// varnholt GENOTYPEFILE PATTERNFILE NPOS
// varnholt --help | --version
//
// Echoes its three arguments and sizes the genotype file: one more than the
// number of its records, reported as the allocation size. Exit status 0; 1
// when the genotype file could not be counted, standard output cannot be
// written or the count does not fit; 2 when the number of positions is
// malformed.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "count.h"
#include "field.h"
#include "quote.h"
#include "report.h"

namespace {

// The whole state of a run.
char genotypefile[fieldsize];
char patternmatfile[fieldsize];
char bufstring[fieldsize];
std::int32_t npos = 0;
std::int32_t na = 0;
int genotypetoolong = 0;
char genotypepath[fieldsize + 1];
// The first bytes of the genotype file, where a compressed format shows.
char genotypehead[countheadsize];
std::size_t genotypeheadlength = 0;
// A name or field as shown: a control character in it could end, rewrite
// or hide a line, so such a name is shown in the shell's $'...' quoting.
char quoted[quotedsize(fieldsize)];
// Room for the longest diagnostic: a quoted path and a system reason.
char message[2 * quotedsize(fieldsize) + 256];

const char* const help =
    "Usage: varnholt GENOTYPEFILE PATTERNFILE NPOS\n"
    "Size a genotype file by its records. Prints four lines: the genotype file,\n"
    "the pattern file (echoed only, never opened), the number of positions read\n"
    "from the first five characters of NPOS, and the allocation size: the number\n"
    "of records (lines) of GENOTYPEFILE plus one. A missing GENOTYPEFILE is\n"
    "created empty; - is standard input.\n"
    "\n"
    "Exit status: 0 when the run ends with the file counted, also after a\n"
    "warning; 1 when GENOTYPEFILE could not be opened or read to its end,\n"
    "standard output cannot be written or the count does not fit 32 bits; 2\n"
    "when NPOS is malformed.\n"
    "\n"
    "--help and --version, given alone, print this text and the version; in\n"
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

// A count of compressed bytes is no count of records: says so, and how to
// count the records instead.
void warncompressed(const char* format, const char* tool, const char* path, std::size_t length) {
  std::size_t shown = quotename(path, length, quoted);
  if (std::strcmp(path, "-") == 0) {
    (void)std::snprintf(message, sizeof message,
                        "varnholt: warning: genotype file - is %s-compressed: the line feeds of "
                        "its compressed bytes were counted; for its records pipe it through %s",
                        format, tool);
  } else {
    (void)std::snprintf(message, sizeof message,
                        "varnholt: warning: genotype file %.*s is %s-compressed: the line feeds "
                        "of its compressed bytes were counted; for its records give <(%s %.*s) "
                        "as the genotype file",
                        static_cast<int>(shown), quoted, format, tool, static_cast<int>(shown),
                        quoted);
  }
  reportlabel(tostderr, message);
}

int echoname(const char* label, const char* name, std::size_t length) {
  return reporttext(tostdout, label, quoted, quotename(name, length, quoted));
}

// A report the caller never sees is a failed run, not a quiet success.
int outputfailed(int error) {
  diagnose("error: cannot write standard output", "", 0, std::strerror(error));
  return 1;
}

// The whole run of --help and --version.
int printonly(const char* text) {
  int error = reportverbatim(tostdout, text);
  return error != 0 ? outputfailed(error) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Alone, --help and --version do what they do for other programs and
  // touch no file; beside other arguments they are names like any other.
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) return printonly(help);
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    return printonly("varnholt " VARNHOLT_VERSION "\n");
  }

  const char* arguments[3] = {nullptr, nullptr, nullptr};
  for (int i = 1; i < argc && i <= 3; ++i) arguments[i - 1] = argv[i];

  // A wrong count is a warning only: missing arguments read as blanks.
  if (argc - 1 != 3) {
    reportlabel(tostderr, "Wrong number of argument.");
    reportlabel(tostderr, "1-genotype file");
    reportlabel(tostderr, "2-pattern mat file");
    reportlabel(tostderr, "3-number of position (SNP/Haplotype)");
  }

  genotypetoolong = setfield(genotypefile, arguments[0]);
  std::size_t genotypelength = trimmedlength(genotypefile, fieldsize);
  int error = echoname("genotype file=", genotypefile, genotypelength);
  if (error != 0) return outputfailed(error);

  setfield(patternmatfile, arguments[1]);
  error = echoname("pattern file=", patternmatfile, trimmedlength(patternmatfile, fieldsize));
  if (error != 0) return outputfailed(error);

  setfield(bufstring, arguments[2]);
  if (readi5(bufstring, &npos) != 0) {
    // In quotes, so that blanks at the ends of the five characters show;
    // the $'...' form of a field with a control character has its own.
    std::size_t shown = quotename(bufstring, 5, quoted);
    const char* mark = shown == 5 ? "\"" : "";
    (void)std::snprintf(message, sizeof message,
                        "varnholt: error: bad value while reading an integer for the "
                        "number of positions (argument 3): %s%.*s%s",
                        mark, static_cast<int>(shown), quoted, mark);
    reportlabel(tostderr, message);
    return 2;
  }
  error = reportinteger(tostdout, "Number of pos=", npos);
  if (error != 0) return outputfailed(error);

  std::memcpy(genotypepath, genotypefile, genotypelength);
  genotypepath[genotypelength] = '\0';
  // A pipeline must see a file that could not be counted: the report lines
  // stand as they are, and the run ends with status 1 until a count ends.
  int status = 1;
  std::int64_t records = 0;
  if (genotypetoolong != 0) {
    // Opening the first 500 characters would count, or create, a file the
    // user never named.
    diagnose("warning: cannot open genotype file: path longer than 500 characters", "", 0, "");
  } else if (genotypelength == 0) {
    // After the usage lines a missing first argument has been said already.
    if (argc - 1 == 3)
      diagnose("warning: cannot open genotype file: empty path", "", 0, "");
    else
      status = 0;
  } else {
    if (std::strlen(arguments[0]) > genotypelength) {
      diagnose("warning: trailing blanks dropped from the genotype path, using ", genotypepath,
               genotypelength, "");
    }
    int ios = countrecords(genotypepath, &records, &error, genotypehead, &genotypeheadlength);
    if (ios == countnotopened) {
      diagnose("warning: cannot open genotype file ", genotypepath, genotypelength,
               std::strerror(error));
    } else if (ios == countdanglinglink) {
      diagnose("warning: cannot open genotype file ", genotypepath, genotypelength,
               "dangling symbolic link, not followed to create a file");
    } else {
      if (ios == countreadfailed) {
        diagnose("warning: read error in genotype file ", genotypepath, genotypelength,
                 std::strerror(error));
      } else {
        status = 0;
      }
      const char* tool = nullptr;
      const char* format = compressedformat(genotypehead, genotypeheadlength, &tool);
      if (format != nullptr) warncompressed(format, tool, genotypepath, genotypelength);
      if (allocationsize(records, &na) != 0) {
        diagnose("error: too many records for a 32-bit allocation size in ", genotypepath,
                 genotypelength, "");
        return 1;
      }
    }
  }
  error = reportinteger(tostdout, "allocation size=", na);
  if (error != 0) return outputfailed(error);
  return status;
}
