// SPDX-License-Identifier: MIT
#include "format.h"

#include "advice.h"
#include "formattable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "vectors.h"

namespace {

// The start of a BGZF file as bgzip writes it, a VCF inside.
const std::string bgzfvcf(
    "\x1f\x8b\x08\x04\x00\x00\x00\x00\x00\xff\x06\x00\x42\x43\x02\x00\x94\x00\x53\x56\x4e\xcb"
    "\xcc\x49\x4d\xcb\x2f\xca\x4d\x2c\xb1\x0d\x73\x76\x2b\x33\xd1\x33\xe2\x52\x56\x76\xf3\xf4",
    44);
// Longer than the last bytes looked at, so that its closing mark is theirs.
const std::string parquet = std::string("PAR1\x15\x04\x15\0", 8) + std::string(30, 'x') + "PAR1";

std::string bytes(const char* data, std::size_t length) {
  return {data, length};
}

struct Case {
  std::string file;  // all of it, or its first bytes where a NUL comes further on
  std::string kind;
  std::string name = "g";
  std::int64_t further = -1;  // a NUL there, past the bytes above
  bool pipe = false;          // read through a pipe: its end is not known at once
};

// What kindof() makes of a case, a format by its row's key. The name
// stands after a byte that is no slash, as in a longer path, so that a
// byte read before it would show.
std::string kind(const Case& c) {
  std::size_t tail = std::min<std::size_t>(c.file.size(), 32);
  std::size_t first = c.file.find('\0');
  const std::string path = "x" + c.name;
  filebytes b{c.file.data(),
              c.file.size(),
              c.file.data() + c.file.size() - tail,
              c.pipe ? 0 : tail,
              c.further < 0,
              !c.pipe,
              path.data() + 1,
              c.name.size(),
              first != std::string::npos ? static_cast<std::int64_t>(first) : c.further};
  filekind k = kindof(b);
  switch (k.shape) {
    case shapetext:
      return "text";
    case shapeformat:
      return k.format->key;
    case shapecut:
      return std::string("cut ") + k.format->key;
    case shapebinary:
      return "binary at " + std::to_string(k.at);
  }
  return "?";
}

// The first row of a format named "g" is its known vector: its bytes
// before any NUL tell it, for the rules every row keeps (below).
const std::string longtext(70000, 'a');
const Case cases[] = {
    // Compressed, by magic.
    {bytes("\x1f\x8b\x08\x00\x00\x00", 6), "gzip"},
    {bgzfvcf + bgzfend, "gzip"},       // bgzip's VCF, whole
    {bgzfend, "gzip"},                 // an empty BGZF file: its end alone
    {bgzfvcf, "gzip", "g", -1, true},  // no end to look at
    {"\x1f\x9d\x90", "compress"},
    {"BZh91AY&SY", "bzip2"},
    {"BZh1\x17\x72\x45\x38\x50\x90", "bzip2"},  // empty
    {bytes("\xfd\x37zXZ\0", 6), "xz"},
    {bytes("\x5d\0\0\x80\0\xff\xff\xff\xff\xff\xff\xff\xff", 13), "lzma"},
    {bytes("\x5d\0\0\x80\0\x0c\0\0\0\0\0\0\0", 13), "lzma"},
    {"\x28\xb5\x2f\xfd", "zstd"},
    {"\x50\x2a\x4d\x18", "zstd"},  // pzstd's skippable frame first
    {"\x5e\x2a\x4d\x18", "zstd"},  // any of the sixteen
    {bytes("\x04\x22\x4d\x18\x64\x40\xa7\0", 8), "lz4"},
    {bytes("\x02\x21\x4c\x18\x05\0", 6), "lz4"},  // legacy frame
    {"LZIP\x01\x0c", "lzip", "g", 9},
    {bytes("PK\x03\x04\x14\0", 6), "zip"},
    {bytes("PK\x05\x06\0\0", 6), "zip"},               // empty
    {bytes("PK\x07\x08PK\x03\x04\x14\0", 10), "zip"},  // spanned
    {"7z\xbc\xaf\x27\x1c", "7z"},
    {bytes("\x89LZO\0\r\n\x1a\n", 9), "lzop"},
    {bytes("x^3\xe4\x32\x02\0", 7), "zlib"},  // pigz -z
    {bytes("x\x9c\xcb\x02\0", 5), "zlib"},
    // What a file holds, by its name, also cut short; a suffix is never a
    // whole name.
    {bgzfvcf, "cut bcf", "g.bcf"},
    {"\x1f\x8b", "cut tar.gz", "g.tgz"},
    {bgzfvcf + bgzfend, "gzip", ".bcf"},
    {bytes("\x1f\x8b\x08\x00\x00\x00", 6), "gzip", "g.npz"},  // a zip's name
    // In any case; a tar's suffix names the tar of the compressor at hand.
    {bgzfvcf + bgzfend, "bam", "X.BAM"},
    {bytes("\x1f\x8b\x08\x00\x00\x00", 6), "tar.gz", "G.TGZ"},
    {"LZIP\x01\x0c", "tar.lz", "t.tlz", 9},
    {"LZIP\x01\x0c", "lzip", "t.tar.lz4", 9},
    // A regular file shorter than the start its name says, none too.
    {"", "cut gzip", "g.vcf.gz"},
    {"\x1f", "cut gzip", "g1.vcf.gz"},
    {"", "cut bcf", "calls.bcf"},
    {"", "cut tar.gz", "g.tar.gz"},
    {"BZ", "cut bzip2", "g.BZ2"},
    {"", "text", "g.bed"},  // an empty UCSC BED file
    {"", "text", "g.txt"},
    {"", "text", "g.gz", -1, true},  // a pipe has no name
    {"\x1f\x8c", "text", "g.gz"},
    // Binary formats, by magic.
    {bytes("BCF\x02\x02\x8a\0", 7), "bcf"},  // uncompressed, as bcftools -Ou writes
    {bytes("BCF\x02\x01\x8a\0", 7), "bcf"},  // BCF 2.1
    {bytes("BAM\x01\x5e\0", 6), "bam"},
    {"CRAM\x03\x01", "cram", "g", 40},
    {bytes("CRAM\x04\x00", 6), "cram"},
    {bytes("CRAM\x05\x00", 6), "binary at 5"},  // no such version
    {"\x6c\x1b\x01\xff\xaa", "bed"},            // a .bed need hold no NUL
    {bytes("\x6c\x1b\x00", 3), "bed"},          // individual-major
    {"\x6c\x1b\x10", "pgen"},
    {"\x6c\x1b\x04", "pgen"},
    {"\x6c\x1b\x11", "pgen"},
    {"\x6c\x1b\x21", "pgen"},
    {bytes("\x14\0\0\0\x14\0\0\0\x02\0\0\0\x03\0\0\0bgen", 20), "bgen"},
    {bytes("\x14\0\0\x01\x14\0\0\0\x02\0\0\0\x03\0\0\0bgen", 20), "binary at 1"},
    {bytes("\x14\0\0\0\x14\0\0\x01\x02\0\0\0\x03\0\0\0bgen", 20), "binary at 1"},
    {bytes("BAI\x01\x02\0", 6), "bai"},
    {bytes("TBI\x01\x02\0", 6), "tbi"},
    {bytes("CSI\x01\x0e\0", 6), "csi"},
    {std::string(257, '\0') + bytes("ustar\0", 6) + "00", "tar"},
    {std::string(257, '\0') + bytes("ustar  \0", 8), "tar"},  // GNU tar
    {std::string(257, 'a') + "ustarX", "text"},
    {"\x89HDF\r\n\x1a\n", "hdf5"},
    {bytes("SQLite format 3\0", 16), "sqlite"},
    {bytes("\x93NUMPY\x01\0", 8), "npy"},
    {parquet, "parquet"},
    {parquet, "binary at 7", "g", -1, true},  // no end read
    // Text in other encodings, by byte order mark, or by its NULs from four
    // characters on; fewer, or high bytes that are not NULs, are binary.
    {bytes("\xff\xfe\x61\0", 4), "utf16"},
    {bytes("\xfe\xff\0\x61", 4), "utf16"},
    {bytes("\xff\xfe\0\0a\0\0\0", 8), "utf32"},
    {bytes("\0\0\xfe\xff\0\0\0a", 8), "utf32"},
    {bytes("a\0b\0c\0\n\0", 8), "utf16le"},
    {bytes("\0a\0b\0c\0\n", 8), "utf16be"},
    {bytes("\t\0a\0b\0\n\0", 8), "utf16le"},
    {bytes("\xe9\0t\0e\0\n\0", 8), "utf16le"},    // é first
    {bytes("\055\116a\0b\0\n\0", 8), "utf16le"},  // a Chinese character first
    {bytes("\0\xe9\0t\0e\0\n", 8), "utf16be"},
    {bytes("a\0\0\0b\0\0\0c\0\0\0\n\0\0\0", 16), "utf32le"},
    {bytes("\x2d\x4e\0\0b\0\0\0c\0\0\0\n\0\0\0", 16), "utf32le"},
    {bytes("\0\0\0a\0\0\0b\0\0\0c\0\0\0\n", 16), "utf32be"},
    {bytes("a\n\0b\n", 5), "binary at 2"},
    {bytes("\0abc\n", 5), "binary at 0"},
    {bytes("a\0b\0\n\0", 6), "binary at 1"},
    {bytes("a\0\0\0b\0\0\0\n\0\0\0", 12), "binary at 1"},
    {bytes("\x2d\x4e\x87\x65\x2d\x4e\x87\x65\n\0", 10), "binary at 9"},
    // A BGZF file without its end: cut short.
    {bgzfvcf, "cut gzip"},
    {bgzfvcf + bgzfend + bgzfvcf, "cut gzip"},  // cut after an end
    // Anything else that holds a NUL: where the first one is.
    {bytes("a\tb\nc\0\0", 7), "binary at 5"},
    {longtext, "binary at 70000", "g", 70000},
    {bytes("a\0", 2), "binary at 1"},
    {bytes("CSI data\0", 9), "binary at 8"},
    {bytes("\0\0\0\0", 4), "binary at 0"},
    // Text: every byte but NUL, also where it starts with all of a magic
    // that is text, or with a magic cut.
    {"", "text"},
    {"rs123\tA\tG\r\n\v\f", "text"},
    {"a\r\nb\r\n\x1a", "text"},   // Ctrl-Z after the last line, as DOS left it
    {"1\001rs1\001A\n", "text"},  // Hive's field separator
    {"\x1e\x1f\x07\x08\x7f\x1b[31mred\x1b[0m\n", "text"},
    {"\xef\xbb\xbf#CHROM\tPOS\n", "text"},                   // UTF-8 with a byte order mark
    {"caf\xe9 na\xefve \x93quoted\x94 \xc3\x28\n", "text"},  // Latin-1, CP1252, bad UTF-8
    {"\x1f", "text"},
    {"PK", "text"},  // a compressed format's first bytes, all plain ASCII
    {"\xfd\x37z", "cut xz"},
    {"\x6c\x1b", "text"},
    {"BZh9 snp1 snp2", "text"},
    {"BZh91AY&S", "text"},
    {"\xfd\x37zXZ!\n", "text"},
    {"SQLite format 3 notes\n", "text"},
    {"7z archives are not genotypes\n", "text"},
};

TEST(Format, TellsTextFromEveryOtherKindOfFile) {
  for (const Case& c : cases) EXPECT_EQ(kind(c), c.kind) << c.file << " " << c.name;
}

const Case* known(const std::string& key) {
  for (const Case& c : cases) {
    if (c.kind == key && c.name == "g") return &c;
  }
  return nullptr;
}

// What holds for every row of the table, over its known vector or its
// holder's.
TEST(Format, EveryRowKeepsTheRulesOfItsKind) {
  for (std::size_t i = 0; i < formatcount; ++i) {
    const fileformat& f = formats[i];
    const Case* own = known(f.key);
    bool told = f.test != testnone || !f.magic[0].bytes.empty();
    ASSERT_EQ(own != nullptr, told) << f.key << ": a row told by its bytes has a known vector";
    // Held in another format: named by each of its suffixes. Empty under
    // any of them, cut short (as which is the table's rows': .taz and .taZ
    // are one in any case).
    std::istringstream suffixes(f.suffixes);
    for (std::string s; suffixes >> s;) {
      EXPECT_EQ(kind({"", "", "d/g" + s}).substr(0, 4), "cut ") << s;
      if (f.within == nullptr) continue;
      ASSERT_NE(known(f.within), nullptr) << f.within;
      Case c = *known(f.within);
      c.name = "d/g" + s;
      EXPECT_EQ(kind(c), f.key) << c.name;
    }
    // A magic text may start with: text without a NUL, the format with one.
    if (f.needsnul) {
      Case c{own->file.substr(0, own->file.find('\0')) + " rs1 A G PAR1", "text"};
      EXPECT_EQ(kind(c), "text") << f.key;
      c.further = 100;
      EXPECT_EQ(kind(c), f.key) << f.key;
    }
  }
}

// Each row is whole: a unique key, a tool or the words of the advice, a
// listing exactly where a count of files is, a holder that is a row, and
// commands no longer than the advice makes room for.
TEST(Format, EveryRowIsWhole) {
  std::set<std::string> keys;
  for (std::size_t i = 0; i < formatcount; ++i) {
    const fileformat& f = formats[i];
    EXPECT_TRUE(keys.insert(f.key).second) << f.key;
    EXPECT_EQ(formatkeyed(f.key), &f);
    EXPECT_NE(f.tool == nullptr, f.how == nullptr) << f.key;
    EXPECT_EQ(f.list == nullptr, f.files == nullptr) << f.key;
    EXPECT_EQ(f.package == nullptr, f.tool == nullptr && f.plink == nullptr) << f.key;
    EXPECT_EQ(f.plink == nullptr, f.fileset == nullptr) << f.key;
    EXPECT_EQ(f.within != nullptr && formatkeyed(f.within) == nullptr, false) << f.key;
    for (const char* command : {f.tool, f.package, f.list, f.files, f.plink}) {
      EXPECT_LE(command != nullptr ? std::strlen(command) : 0, rowwordsize) << f.key;
    }
  }
  EXPECT_EQ(formatkeyed("nosuch"), nullptr);
}

// The manual's table is written from the rows; one, as tbl takes it.
TEST(Format, WritesItsRowOfTheManualsTable) {
  char page[1024] = {};
  std::FILE* out = fmemopen(page, sizeof page - 1, "w");
  ASSERT_NE(out, nullptr);
  writeformatrow(*formatkeyed("bcf"), out);
  ASSERT_EQ(std::fclose(out), 0);
  EXPECT_STREQ(page,
               "T{\n\\&BCF (binary VCF)\nT}\tT{\n\\&\"BCF\" 02 02 or \"BCF\" 02 01, and a NUL "
               "anywhere; or gzip\\-compressed and named .bcf\nT}\tT{\n\\&\\fBbcftools view "
               "\\-\\-no\\-version\\fP (bcftools); drops .bcf, adds .vcf\nT}\n");
}

}  // namespace
