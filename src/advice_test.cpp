// SPDX-License-Identifier: MIT
#include "advice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

namespace {

// The advice for a file of the format of that key.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): in the order of the command line
std::string advice(const char* key, const char* path, const char* program = "varnholt",
                   const char* pattern = "p", const char* npos = "250") {
  char out[advicesize];
  const fileformat* format = formatkeyed(key);
  if (format == nullptr) return std::string("no format ") + key;
  std::size_t n = advise(*format, path, path != nullptr ? std::strlen(path) : 0,
                         {program, pattern, npos}, out, sizeof out);
  EXPECT_LE(n, sizeof out) << path;
  return {out, n};
}

// The first part of an archive's command line: its one file, or none.
std::string onefile(const std::string& list, const std::string& a, const std::string& files) {
  return "run: (set -C; list=$(" + list + ") || { echo >&2 " + a +
         " is cut short or corrupt; exit 1; }; [ \"$(printf '%s\\n' \"$list\" | " + files +
         ")\" = 1 ] || { echo >&2 " + a + " does not hold exactly one file; exit 1; }; ";
}

// The command line for a text file t made from archive a by tool.
std::string line(const std::string& t, const std::string& tool, const std::string& a,
                 const std::string& tail) {
  return "run: (set -C; exec >" + t + " || exit; " + tool + " " + a + " || { rm -f " + t +
         "; exit 1; }) && " + tail;
}

TEST(Advice, NamesTheTextBesideTheFileAndQuotesEveryName) {
  const std::string p500(500, 'p'), v500 = "/" + std::string(499, 'v');
  const std::string path500 = std::string(497, 'g') + ".gz", u500(500, 'u');
  struct Case {
    std::string got, expected;
  };
  const Case cases[] = {
      {advice("gzip", "g.txt.gz"), line("g.txt", "gzip -dc", "g.txt.gz", "varnholt g.txt p 250")},
      {advice("gzip", "noext"), line("noext.txt", "gzip -dc", "noext", "varnholt noext.txt p 250")},
      // A suffix is never a whole name: the text stays out of the folder d/.
      {advice("gzip", "d/.gz"), line("d/.gz.txt", "gzip -dc", "d/.gz", "varnholt d/.gz.txt p 250")},
      // The tool writes the file's own text, and adds no line of its own.
      {advice("bcf", "g.bcf"),
       line("g.vcf", "bcftools view --no-version", "g.bcf", "varnholt g.vcf p 250")},
      {advice("bcf", "g.data"),
       line("g.data.vcf", "bcftools view --no-version", "g.data", "varnholt g.data.vcf p 250")},
      // Each encoding converted as what it is.
      {advice("utf16", "u.txt"),
       line("u.txt.utf8", "iconv -f UTF-16 -t UTF-8", "u.txt", "varnholt u.txt.utf8 p 250")},
      {advice("utf32be", "u"),
       line("u.utf8", "iconv -f UTF-32BE -t UTF-8", "u", "varnholt u.utf8 p 250")},
      {advice("utf16le", u500.c_str()), line(u500 + ".utf8", "iconv -f UTF-16LE -t UTF-8", u500,
                                             "varnholt " + u500 + ".utf8 p 250")},
      // Hostile names are one word each, and run nothing.
      {advice("gzip", "my geno.gz"),
       line("'my geno'", "gzip -dc", "'my geno.gz'", "varnholt 'my geno' p 250")},
      {advice("gzip", "it's.gz"),
       line("'it'\\''s'", "gzip -dc", "'it'\\''s.gz'", "varnholt 'it'\\''s' p 250")},
      {advice("gzip", "-h.gz"), line("./-h", "gzip -dc", "./-h.gz", "varnholt ./-h p 250")},
      // A negative number is a number, not a name to guard with ./.
      {advice("gzip", "g.gz", "/opt/my tools/varnholt", "", "-12"),
       line("g", "gzip -dc", "g.gz", "'/opt/my tools/varnholt' g '' -12")},
      {advice("gzip", "g.gz", "varnholt", "--", "- 1"),
       line("g", "gzip -dc", "g.gz", "varnholt g -- -' 1'")},
      // Each argument as its field holds it; a program name that would not
      // fit one is the one on the PATH.
      {advice("gzip", "g.gz", v500.c_str()), line("g", "gzip -dc", "g.gz", v500 + " g p 250")},
      {advice("gzip", "g.gz", (v500 + "x").c_str()),
       line("g", "gzip -dc", "g.gz", "varnholt g p 250")},
      {advice("gzip", "g.gz", nullptr), line("g", "gzip -dc", "g.gz", "varnholt g p 250")},
      {advice("gzip", "g.gz", "varnholt", (p500 + "qq").c_str(), "250   x"),
       line("g", "gzip -dc", "g.gz", "varnholt g " + p500 + " '250   x'")},
      {advice("gzip", (path500 + "zz").c_str()),
       line(path500.substr(0, 497), "gzip -dc", path500,
            "varnholt " + path500.substr(0, 497) + " p 250")},
      // An archive of one file only, which its tool can read through.
      {advice("zip", "a.zip"),
       onefile("unzip -Z1 a.zip", "a.zip", "grep -c '[^/]$'") +
           "exec >a || exit; unzip -p a.zip || { rm -f a; exit 1; }) && varnholt a p 250"},
      {advice("7z", "my a.7z"),
       onefile("7z l -slt -ba 'my a.7z'", "'my a.7z'", "grep -c '^Attributes = [^D]'") +
           "exec >'my a' || exit; 7z x -so 'my a.7z' || { rm -f 'my a'; exit 1; }) && "
           "varnholt 'my a' p 250"},
      // No name to paste, or no tool.
      {advice("gzip", nullptr),
       "put gzip -dc between what writes it and varnholt, under set -o pipefail"},
      {advice("zip", nullptr), "name the archive itself: its tool reads no pipe"},
      {advice("bed", "g.bed"),
       "make a text file of it with plink1.9 (or plink) --bfile and --recode"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
  // Every suffix of a format with a tool is taken off, its text's put on.
  for (std::size_t i = 0; i < formatcount; ++i) {
    const fileformat& f = formats[i];
    std::istringstream suffixes(f.suffixes);
    for (std::string s; f.tool != nullptr && suffixes >> s;) {
      EXPECT_NE(advice(f.key, ("g" + s).c_str()).find(std::string("exec >g") + f.text + " ||"),
                std::string::npos)
          << s;
    }
  }
}

TEST(Advice, WritesNoFurtherThanItIsToldAndStatesTheWholeLength) {
  const std::string whole = advice("gzip", "it's.gz");
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{20}, whole.size() - 1}) {
    std::string out(size + 1, '#');  // the last byte is a canary
    EXPECT_EQ(
        advise(*formatkeyed("gzip"), "it's.gz", 7, {"varnholt", "p", "250"}, out.data(), size),
        whole.size());
    EXPECT_EQ(out.substr(0, size), whole.substr(0, size)) << size;
    EXPECT_EQ(out[size], '#') << size;
  }
  // The longest advice any fields make, for every format: each name 500
  // control bytes, four bytes each as a shell word. It fits, with a NUL.
  const std::string c500(500, '\x01');
  for (std::size_t i = 0; i < formatcount; ++i) {
    char none[1];
    EXPECT_LE(std::strlen(formats[i].text), textendingsize) << formats[i].key;
    EXPECT_LT(
        advise(formats[i], c500.c_str(), 500, {c500.c_str(), c500.c_str(), c500.c_str()}, none, 0),
        advicesize)
        << formats[i].key;
  }
}

}  // namespace
