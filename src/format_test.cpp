// SPDX-License-Identifier: MIT
#include "format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

// The start of a BGZF file as bgzip writes it (a VCF inside), and the
// empty member every BGZF file ends with.
const std::string bgzfvcf(
    "\x1f\x8b\x08\x04\x00\x00\x00\x00\x00\xff\x06\x00\x42\x43\x02\x00\x94\x00\x53\x56\x4e\xcb"
    "\xcc\x49\x4d\xcb\x2f\xca\x4d\x2c\xb1\x0d\x73\x76\x2b\x33\xd1\x33\xe2\x52\x56\x76\xf3\xf4",
    44);
const std::string bgzfend(
    "\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0\x1b\0\x03\0\0\0\0\0\0\0\0\0", 28);

std::string bytes(const char* data, std::size_t length) {
  return {data, length};
}

// How a kind reads in the table below: a format by its row's key.
std::string described(const filekind& kind) {
  switch (kind.shape) {
    case shapetext:
      return "text";
    case shapeformat:
      return kind.format->key;
    case shapecut:
      return std::string("cut ") + kind.format->key;
    case shapebinary:
      return "binary at " + std::to_string(kind.at);
  }
  return "?";
}

TEST(Format, TellsTextFromEveryOtherKindOfFile) {
  struct Case {
    std::string file;  // all of it, or its first bytes where a NUL comes further on
    std::string kind;
    std::string name = "g";
    std::int64_t further = -1;  // a NUL there, past the bytes above
    bool pipe = false;          // read through a pipe: its end is not known at once
  };
  const std::string longtext(70000, 'a');
  const std::string nul(1, '\0');
  const Case cases[] = {
      // Compressed, by magic.
      {bytes("\x1f\x8b\x08\x00\x00\x00", 6), "gzip"},
      {bgzfvcf + bgzfend, "gzip"},       // bgzip's VCF, whole
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
      {bytes("x\x01", 2), "zlib", "g", 100},
      // A gzip member by its file's suffix, also through a pipe.
      {bgzfvcf + bgzfend, "bcf", "d/g.bcf"},
      {bgzfvcf + bgzfend, "bam", "g.bam"},
      {bgzfvcf, "bcf", "g.bcf", -1, true},
      {bgzfvcf + bgzfend, "tbi", "g.vcf.gz.tbi"},
      {bgzfvcf + bgzfend, "csi", "g.vcf.gz.csi"},
      {bytes("\x1f\x8b\x08\0\0", 5), "crai", "g.cram.crai"},
      // Binary formats, by magic.
      {bytes("BCF\x02\x02\x8a\0", 7), "bcf"},  // uncompressed, as bcftools -Ou writes
      {bytes("BCF\x02\x01\x8a\0", 7), "bcf"},  // BCF 2.1
      {bytes("BAM\x01\x5e\0", 6), "bam"},
      {bytes("CRAM\x03\x00", 6), "cram"},
      {"CRAM\x03\x01", "cram", "g", 40},
      {"\x6c\x1b\x01\xff\xaa", "bed"},    // a .bed need hold no NUL
      {bytes("\x6c\x1b\x00", 3), "bed"},  // individual-major
      {"\x6c\x1b\x10", "pgen"},
      {"\x6c\x1b\x04", "pgen"},
      {"\x6c\x1b\x11", "pgen"},
      {bytes("\x14\0\0\0\x14\0\0\0\x02\0\0\0\x03\0\0\0bgen", 20), "bgen"},
      {bytes("BAI\x01\x02\0", 6), "bai"},
      {bytes("TBI\x01\x02\0", 6), "tbi"},
      {bytes("CSI\x01\x0e\0", 6), "csi"},
      {std::string(257, '\0') + bytes("ustar\0", 6) + "00", "tar"},
      {std::string(257, '\0') + bytes("ustar  \0", 8), "tar"},  // GNU tar
      {"\x89HDF\r\n\x1a\n", "hdf5"},
      {bytes("SQLite format 3\0", 16), "sqlite"},
      {bytes("\x93NUMPY\x01\0", 8), "npy"},
      {bytes("PAR1\x15\x04\x15\0PAR1", 12), "parquet"},
      {bytes("PAR1\x15\x04\x15\0PAR1", 12), "binary at 7", "g", -1, true},  // no end read
      // Text in other encodings, by byte order mark or by its NULs.
      {bytes("\xff\xfe\x61\0", 4), "utf16"},
      {bytes("\xfe\xff\0\x61", 4), "utf16"},
      {bytes("\xff\xfe\0\0a\0\0\0", 8), "utf32"},
      {bytes("\0\0\xfe\xff\0\0\0a", 8), "utf32"},
      {bytes("a\0\n\0", 4), "utf16le"},
      {bytes("\0a\0\n", 4), "utf16be"},
      {bytes("\t\0a\0\n\0", 6), "utf16le"},
      {bytes("\xe9\0t\0\n\0", 6), "utf16le"},  // é first
      {bytes("\x2d\x4e"
             "a\0b\0\n\0",
             8),
       "utf16le"},  // a Chinese character first
      {bytes("\0\xe9\0t\0\n", 6), "utf16be"},
      {bytes("a\0\0\0\n\0\0\0", 8), "utf32le"},
      {bytes("\x2d\x4e\0\0\n\0\0\0", 8), "utf32le"},
      {bytes("\0\0\0a", 4), "utf32be"},
      // Only the first bytes of a compressed format's magic, or a BGZF file
      // without its end: cut short.
      {"\x1f\x8b", "cut gzip"},
      {"\xfd\x37zXZ", "cut xz"},
      {"\x28\xb5\x2f", "cut zstd"},
      {"7z\xbc\xaf\x27", "cut 7z"},
      {bytes("\x89LZO\0\r\n\x1a", 8), "cut lzop"},
      {"\x04\x22\x4d", "cut lz4"},
      {"PK\x03", "cut zip"},
      {bgzfvcf, "cut gzip"},
      {bgzfvcf + bgzfend + bgzfvcf, "cut gzip"},  // cut after an end
      {bgzfvcf, "cut bcf", "g.bcf"},
      // Anything else that holds a NUL: where the first one is.
      {bytes("a\tb\nc\0\0", 7), "binary at 5"},
      {longtext, "binary at 70000", "g", 70000},
      {bytes("a\0", 2), "binary at 1"},
      {bytes("CSI data\0", 9), "binary at 8"},
      {bytes("\0\0\0\0", 4), "binary at 0"},
      // Text: every byte but NUL, also where it starts with the letters
      // of a magic that needs a NUL, or with all of one that is text.
      {"", "text"},
      {"rs123\tA\tG\r\n\v\f", "text"},
      {"a\r\nb\r\n\x1a", "text"},  // Ctrl-Z after the last line, as DOS left it
      {"1\x01rs1\x01"
       "A\n",
       "text"},  // Hive's field separator
      {"\x1e\x1f\x07\x08\x7f\x1b[31mred\x1b[0m\n", "text"},
      {"\xef\xbb\xbf#CHROM\tPOS\n", "text"},                   // UTF-8 with a byte order mark
      {"caf\xe9 na\xefve \x93quoted\x94 \xc3\x28\n", "text"},  // Latin-1, CP1252, bad UTF-8
      {"\x1f", "text"},
      {"\x6c\x1b", "text"},
      {"BAM\x01rs1\x01"
       "A\n",
       "text"},
      {"LZIP\x01", "text"},
      {"x^2 + 1\n", "text"},
      {"BZh9 snp1 snp2", "text"},
      {"BZh91AY&S", "text"},
      {"\xfd\x37zXZ!\n", "text"},
      {"]\n", "text"},
      {"LZIP is a compressor\n", "text"},
      {"PKG list\n", "text"},
      {"BCF file list\n", "text"},
      {"CRAM reads\n", "text"},
      {"CSI data\n", "text"},
      {"SQLite format 3 notes\n", "text"},
      {"bgen v1.2 file\n", "text"},
      {"rs12345 A G T C bgen\n", "text"},
      {"7z archives are not genotypes\n", "text"},
      {"PAR1 region\n", "text"},
      {"BZh", "text"},  // the start of a magic, but all of it text
  };
  for (const Case& c : cases) {
    std::size_t tail = c.file.size() < 32 ? c.file.size() : 32;
    bool whole = c.further < 0;
    std::size_t first = c.file.find('\0');
    filebytes b{};
    b.head = c.file.data();
    b.headlength = c.file.size();
    b.tail = c.file.data() + c.file.size() - tail;
    b.taillength = c.pipe || !whole ? 0 : tail;
    b.whole = whole;
    b.name = c.name.c_str();
    b.namelength = c.name.size();
    b.nul = first != std::string::npos ? static_cast<std::int64_t>(first) : c.further;
    EXPECT_EQ(described(kindof(b)), c.kind) << c.file << " " << c.name;
  }
}

// The manual page as man renders it, its runs of blanks and line breaks
// made one blank; empty where man cannot render it.
std::string manual() {
  std::string command = "LC_ALL=C MANWIDTH=2000 man -l '" VARNHOLT_MANUAL "' 2>/dev/null | col -b";
  std::string page;
  FILE* in = popen(command.c_str(), "r");  // NOLINT(cert-env33-c): man renders it, as users see it
  if (in == nullptr) return page;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;) page.append(chunk, n);
  pclose(in);
  std::string words;
  for (char c : page) {
    bool blank = c == ' ' || c == '\n' || c == '\t';
    if (!blank || (!words.empty() && words.back() != ' ')) words += blank ? ' ' : c;
  }
  return words;
}

// What the messages, the advice and the manual need of every row: each
// key once, a name the manual gives as the message prints it, and a tool
// or what to do instead.
TEST(Format, EveryRowIsWholeAndNamedInTheManual) {
  const std::string page = manual();
  std::set<std::string> keys;
  for (std::size_t i = 0; i < formatcount; ++i) {
    const fileformat& f = formats[i];
    EXPECT_TRUE(keys.insert(f.key).second) << f.key;
    EXPECT_EQ(formatkeyed(f.key), &f);
    EXPECT_NE(f.suffixes, nullptr) << f.key;
    EXPECT_NE(f.text, nullptr) << f.key;
    EXPECT_NE(f.tool == nullptr, f.how == nullptr) << f.key;
    EXPECT_EQ(f.list == nullptr, f.files == nullptr) << f.key;
    ASSERT_NE(f.name, nullptr) << f.key;
    if (!page.empty()) {
      EXPECT_NE(page.find(f.name), std::string::npos) << f.name << " is not in the manual";
    }
  }
  EXPECT_EQ(formatkeyed("nosuch"), nullptr);
  if (page.empty()) GTEST_SKIP() << "man cannot render the manual here";
}

}  // namespace
