// SPDX-License-Identifier: MIT
#include "advice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Both folders may be written, and nothing of PLINK's is there.
constexpr adviceplace anywhere{true, true, 0, 1, 1};

// The advice for a file of the format of that key.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): in the order of the command line
std::string advice(const char* key, const char* path, const adviceplace& place = anywhere,
                   const char* program = "varnholt", const char* npos = "250") {
  char out[advicesize];
  const fileformat* format = formatkeyed(key);
  if (format == nullptr) return std::string("no format ") + key;
  std::size_t n = advise(*format, path, path != nullptr ? std::strlen(path) : 0,
                         {program, "p", npos}, place, out, sizeof out);
  EXPECT_LE(n, sizeof out) << path;
  return {out, n};
}

// Pasted into bash, these are run by the end-to-end tests; here they are
// written out, for the builds that cannot run them (under an emulator).
const std::string gzip =
    "[ -x \"$(command -v gzip)\" ] || { echo >&2 gzip cannot be run: install the Debian package "
    "gzip; exit 1; }; ";

TEST(Advice, WritesTheTextWhereItCanUnderANameThatSaysWhatItIs) {
  const std::string v500 = "/" + std::string(499, 'v'), n252(252, 'n');
  struct Case {
    std::string got, expected;
  };
  const Case cases[] = {
      {advice("gzip", "d/g.txt.GZ"), "run: (set -C; " + gzip +
                                         "exec >d/g.txt || exit; gzip -dc d/g.txt.GZ || { rm -f "
                                         "d/g.txt; exit 1; }) && varnholt d/g.txt p 250"},
      // Hostile names are one word each; a negative number is no name.
      {advice("bcf", "-my g.bcf", anywhere, "/opt/my tools/varnholt", "-12"),
       "run: (set -C; [ -x \"$(command -v bcftools)\" ] || { echo >&2 bcftools cannot be run: "
       "install the Debian package bcftools; exit 1; }; exec >./'-my g.vcf' || exit; bcftools "
       "view --no-version ./'-my g.bcf' || { rm -f ./'-my g.vcf'; exit 1; }) && '/opt/my "
       "tools/varnholt' ./'-my g.vcf' p -12"},
      // A name that says nothing of what the file holds: through a pipe.
      {advice("gzip", "reads.dat", anywhere, (v500 + "x").c_str()),
       "run: (set -o pipefail; " + gzip +
           "gzip -dc reads.dat | varnholt - p 250)  # through a pipe, writing nothing: the file's "
           "name does not say what it holds"},
      // A folder this user may not write, or a name no file system takes.
      {advice("utf16", "ro/u", {false, true, 0, 1, 1}),
       "run: (set -C; [ -x \"$(command -v iconv)\" ] || { echo >&2 iconv cannot be run: install "
       "the Debian package libc-bin; exit 1; }; exec >u.utf8 || exit; iconv -f UTF-16 -t UTF-8 "
       "ro/u || { rm -f u.utf8; exit 1; }) && varnholt u.utf8 p 250  # the text goes in the "
       "current folder: the file's own cannot be written"},
      {advice("gzip", ("ro/" + n252 + ".txt.gz").c_str()),
       "run: (set -o pipefail; " + gzip + "gzip -dc ro/" + n252 +
           ".txt.gz | varnholt - p 250)  # through a pipe, writing nothing: neither the file's "
           "folder nor the current one can take the text"},
      // A compressed tar: one file, and the compressor tar runs, checked.
      {advice("tar.xz", "t.TXZ"),
       "run: (set -C; [ -x \"$(command -v tar)\" ] || { echo >&2 tar cannot be run: install the "
       "Debian package tar; exit 1; }; [ -x \"$(command -v xz)\" ] || { echo >&2 xz cannot be "
       "run: install the Debian package xz-utils; exit 1; }; list=$(tar -tf t.TXZ) || { echo >&2 "
       "t.TXZ is cut short or corrupt; exit 1; }; [ \"$(printf '%s\\n' \"$list\" | grep -c "
       "'[^/]$')\" = 1 ] || { echo >&2 t.TXZ does not hold exactly one file; exit 1; }; exec >t "
       "|| exit; tar -xOf t.TXZ || { rm -f t; exit 1; }) && varnholt t p 250"},
      // A PLINK fileset: its samples, under a prefix no file starts with.
      {advice("pgen", "x.pgen", {true, true, plinkpvarzst | plinkpsam, 2, 1}),
       "run: ([ -x \"$(command -v plink2)\" ] || { echo >&2 plink2 cannot be run: install the "
       "Debian package plink2; exit 1; }; for s in ped map log nosex hh; do [ ! -e "
       "x.samples2.\"$s\" "
       "] || { echo >&2 x.samples2.\"$s\" exists; exit 1; }; done; plink2 --pfile x vzs --export "
       "ped --out x.samples2 >&2 || { rm -f x.samples2.{ped,map,log,nosex,hh}; exit 1; }) && "
       "varnholt x.samples2.ped p 250  # counts x.samples2.ped: one record a sample, as many as "
       "the samples of x.psam"},
      {advice("bed", "d/x.bed", {true, true, plinkbim, 1, 1}),
       "make a text file of it with plink1.9 (or plink) --bfile and --recode; missing beside it: "
       "d/x.fam"},
      {advice("bed", "x.dat"),
       "make a text file of it with plink1.9 (or plink) --bfile and --recode"},
      // No name to paste, or no tool.
      {advice("gzip", nullptr),
       "put gzip -dc between what writes it and varnholt, under set -o pipefail"},
      {advice("zip", nullptr), "name the archive itself: its tool reads no pipe"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(Advice, WritesNoFurtherThanItIsToldAndStatesTheWholeLength) {
  const std::string whole = advice("gzip", "it's.gz");
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{20}, whole.size() - 1}) {
    std::string out(size + 1, '#');  // the last byte is a canary
    EXPECT_EQ(advise(*formatkeyed("gzip"), "it's.gz", 7, {"varnholt", "p", "250"}, anywhere,
                     out.data(), size),
              whole.size());
    EXPECT_EQ(out.substr(0, size), whole.substr(0, size)) << size;
    EXPECT_EQ(out[size], '#') << size;
  }
  // The longest advice any fields make, for every format and place: each
  // name 500 control bytes, four bytes each as a shell word. It fits, with
  // a NUL.
  const std::string c500 = std::string(496, '\x01') + ".bed";
  const adviceplace places[] = {anywhere, {false, true, plinkbim | plinkfam, 9, 9}};
  for (std::size_t i = 0; i < formatcount; ++i) {
    char none[1];
    EXPECT_LE(std::strlen(formats[i].text), textendingsize) << formats[i].key;
    for (const adviceplace& place : places) {
      EXPECT_LT(advise(formats[i], c500.c_str(), 500, {c500.c_str(), c500.c_str(), c500.c_str()},
                       place, none, 0),
                advicesize)
          << formats[i].key;
    }
  }
}

}  // namespace
