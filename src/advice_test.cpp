// SPDX-License-Identifier: MIT
#include "advice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const fileformat gz{"gzip-compressed", "gzip -dc", ".gz .bgz", "", nullptr, nullptr};
const fileformat bcf{"BCF (binary VCF)", "bcftools view", ".bcf", ".vcf", nullptr, nullptr};
const fileformat zip{"a zip archive", "unzip -p", ".zip", "", nullptr, "count @ files"};
const fileformat bed{"a PLINK 1 .bed file", nullptr, ".bed", "", "use plink", nullptr};

std::string advice(const fileformat& format, const char* path, const char* program = "varnholt",
                   const char* pattern = "p", const char* npos = "250") {
  char out[advicesize];
  std::size_t n = advise(format, path, path != nullptr ? std::strlen(path) : 0, program, pattern,
                         npos, out, sizeof out);
  EXPECT_LE(n, sizeof out) << path;
  return {out, n};
}

// The command line for a text file t made from archive a by tool.
std::string line(const std::string& t, const std::string& tool, const std::string& a,
                 const std::string& tail) {
  return "run: (set -C; exec >" + t + " || exit; " + tool + " " + a + " || { rm -f " + t +
         "; exit 1; }) && " + tail;
}

TEST(Advice, NamesTheTextBesideTheFileAndQuotesEveryName) {
  const std::string p500(500, 'p'), v500 = "/" + std::string(499, 'v');
  const std::string path500 = std::string(497, 'g') + ".gz";
  struct Case {
    std::string got, expected;
  };
  const Case cases[] = {
      {advice(gz, "g.txt.gz"), line("g.txt", "gzip -dc", "g.txt.gz", "varnholt g.txt p 250")},
      {advice(gz, "g.bgz"), line("g", "gzip -dc", "g.bgz", "varnholt g p 250")},
      {advice(gz, "noext"), line("noext.txt", "gzip -dc", "noext", "varnholt noext.txt p 250")},
      // A suffix is never a whole name: the text stays out of the folder d/.
      {advice(gz, "d/.gz"), line("d/.gz.txt", "gzip -dc", "d/.gz", "varnholt d/.gz.txt p 250")},
      {advice(bcf, "g.bcf"), line("g.vcf", "bcftools view", "g.bcf", "varnholt g.vcf p 250")},
      {advice(bcf, "g.data"),
       line("g.data.vcf", "bcftools view", "g.data", "varnholt g.data.vcf p 250")},
      // Hostile names are one word each, and run nothing.
      {advice(gz, "my geno.gz"),
       line("'my geno'", "gzip -dc", "'my geno.gz'", "varnholt 'my geno' p 250")},
      {advice(gz, "it's.gz"),
       line("'it'\\''s'", "gzip -dc", "'it'\\''s.gz'", "varnholt 'it'\\''s' p 250")},
      {advice(gz, "-h.gz"), line("./-h", "gzip -dc", "./-h.gz", "varnholt ./-h p 250")},
      // A negative number is a number, not a name to guard with ./.
      {advice(gz, "g.gz", "/opt/my tools/varnholt", "", "-12"),
       line("g", "gzip -dc", "g.gz", "'/opt/my tools/varnholt' g '' -12")},
      {advice(gz, "g.gz", "varnholt", "--", "- 1"),
       line("g", "gzip -dc", "g.gz", "varnholt g -- -' 1'")},
      // Each argument as its field holds it; a program name that would not
      // fit one is the one on the PATH.
      {advice(gz, "g.gz", v500.c_str()), line("g", "gzip -dc", "g.gz", v500 + " g p 250")},
      {advice(gz, "g.gz", (v500 + "x").c_str()), line("g", "gzip -dc", "g.gz", "varnholt g p 250")},
      {advice(gz, "g.gz", nullptr), line("g", "gzip -dc", "g.gz", "varnholt g p 250")},
      {advice(gz, "g.gz", "varnholt", (p500 + "qq").c_str(), "250   x"),
       line("g", "gzip -dc", "g.gz", "varnholt g " + p500 + " '250   x'")},
      {advice(gz, (path500 + "zz").c_str()), line(path500.substr(0, 497), "gzip -dc", path500,
                                                  "varnholt " + path500.substr(0, 497) + " p 250")},
      // An archive of one file only.
      {advice(zip, "a.zip"),
       "run: (set -C; [ \"$(count a.zip files)\" = 1 ] || { echo >&2 a.zip does not hold exactly "
       "one file; exit 1; }; exec >a || exit; unzip -p a.zip || { rm -f a; exit 1; }) && "
       "varnholt a p 250"},
      // No name to paste, or no tool.
      {advice(gz, nullptr), "put gzip -dc before the pipe, under set -o pipefail"},
      {advice(zip, nullptr), "give the archive's name instead of standard input"},
      {advice(bed, "g.bed"), "use plink"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(Advice, WritesNoFurtherThanItIsToldAndStatesTheWholeLength) {
  const std::string whole = advice(gz, "it's.gz");
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{20}, whole.size() - 1}) {
    std::string out(size + 1, '#');  // the last byte is a canary
    EXPECT_EQ(advise(gz, "it's.gz", 7, "varnholt", "p", "250", out.data(), size), whole.size());
    EXPECT_EQ(out.substr(0, size), whole.substr(0, size)) << size;
    EXPECT_EQ(out[size], '#') << size;
  }
}

}  // namespace
