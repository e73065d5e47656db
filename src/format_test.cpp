// SPDX-License-Identifier: MIT
#include "format.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// How a kind reads in the table below.
std::string described(const filekind& kind) {
  switch (kind.shape) {
    case shapetext:
      return "text";
    case shapeformat:
      return kind.format->name;
    case shapecut:
      return std::string("cut ") + kind.format->name;
    case shapebinary: {
      char text[64];
      (void)std::snprintf(text, sizeof text, "binary 0x%02x at %lld", kind.byte,
                          static_cast<long long>(kind.at));
      return text;
    }
  }
  return "?";
}

TEST(Format, TellsTextFromEveryOtherKindOfFile) {
  struct Case {
    std::string file;  // all of it, or its first bytes where not whole
    std::string kind;
    std::string name = "g";
    bool whole = true;
    std::int64_t nulrun = -1;  // a NUL met further on
  };
  const std::string longtext(70000, 'a');
  const Case cases[] = {
      // Compressed, by magic.
      {bytes("\x1f\x8b\x08\x00\x00\x00", 6), "gzip-compressed"},
      {bgzfvcf + bgzfend, "gzip-compressed"},    // bgzip's VCF, whole
      {bgzfvcf, "gzip-compressed", "g", false},  // not read to its end: no end to look at
      {"\x1f\x9d\x90", "compressed by Unix compress"},
      {"BZh91AY&SY", "bzip2-compressed"},
      {"BZh1\x17\x72\x45\x38\x50\x90", "bzip2-compressed"},  // empty
      {bytes("\xfd\x37zXZ\0", 6), "xz-compressed"},
      {bytes("\x5d\0\0\x80\0\xff\xff\xff\xff\xff\xff\xff\xff", 13), "lzma-compressed"},
      {bytes("\x5d\0\0\x80\0\x0c\0\0\0\0\0\0\0", 13), "lzma-compressed"},
      {"\x28\xb5\x2f\xfd", "zstd-compressed"},
      {"\x50\x2a\x4d\x18", "zstd-compressed"},  // pzstd's skippable frame first
      {"\x04\x22\x4d\x18", "lz4-compressed"},
      {"\x02\x21\x4c\x18", "lz4-compressed"},  // legacy frame
      {"LZIP\x01\x0c", "lzip-compressed"},
      {"PK\x03\x04", "a zip archive"},
      {"PK\x05\x06", "a zip archive"},  // empty
      {"7z\xbc\xaf\x27\x1c", "a 7z archive"},
      {bytes("\x89LZO\0\r\n\x1a\n", 9), "lzop-compressed"},
      {bytes("x^3\xe4\x32\x02\0", 7), "a zlib stream"},  // pigz -z
      {bytes("x\x9c\xcb\x02\0", 5), "a zlib stream"},
      // A gzip member by its file's suffix.
      {bgzfvcf + bgzfend, "BCF (binary VCF)", "d/g.bcf"},
      {bgzfvcf + bgzfend, "BAM (binary SAM)", "g.bam"},
      {bgzfvcf + bgzfend, "a tabix index", "g.vcf.gz.tbi"},
      {bgzfvcf + bgzfend, "a CSI index", "g.vcf.gz.csi"},
      {bytes("\x1f\x8b\x08\0\0", 5), "a CRAM index", "g.cram.crai"},
      // Binary formats, by magic.
      {"BCF\x02\x02", "BCF (binary VCF)"},  // uncompressed, as bcftools -Ou writes
      {"BCF\x02\x01", "BCF (binary VCF)"},  // BCF 2.1
      {"BAM\x01", "BAM (binary SAM)"},
      {bytes("CRAM\x03\x00", 6), "CRAM"},
      {"\x6c\x1b\x01", "a PLINK 1 .bed file"},
      {bytes("\x6c\x1b\x00", 3), "a PLINK 1 .bed file"},  // individual-major
      {"\x6c\x1b\x10", "a PLINK 2 .pgen file"},
      {"\x6c\x1b\x04", "a PLINK 2 .pgen file"},
      {bytes("\x14\0\0\0\x14\0\0\0\x02\0\0\0\x03\0\0\0bgen", 20), "BGEN"},
      {"BAI\x01", "a BAM index"},
      {"TBI\x01", "a tabix index"},
      {"CSI\x01", "a CSI index"},
      {std::string(257, '\0') + bytes("ustar\0", 6) + "00", "a tar archive"},
      {std::string(257, '\0') + bytes("ustar  \0", 8), "a tar archive"},  // GNU tar
      {"\x89HDF\r\n\x1a\n", "HDF5"},
      {bytes("SQLite format 3\0", 16), "an SQLite database"},
      {"\x93NUMPY\x01", "a NumPy .npy array"},
      {bytes("PAR1\x15\x04\x15\0PAR1", 12), "Parquet"},
      // Text in other encodings, by byte order mark or by NULs.
      {bytes("\xff\xfe\x61\0", 4), "UTF-16-encoded"},
      {bytes("\xfe\xff\0\x61", 4), "UTF-16-encoded"},
      {bytes("a\0\n\0", 4), "UTF-16-encoded"},
      {bytes("\0a\0\n", 4), "UTF-16-encoded"},
      {bytes("\xff\xfe\0\0a\0\0\0", 8), "UTF-32-encoded"},
      {bytes("a\0\0\0\n\0\0\0", 8), "UTF-32-encoded"},
      {bytes("\0\0\0a", 4), "UTF-32-encoded"},
      // Only the first bytes of a compressed format's magic, or a BGZF file
      // without its end: cut short.
      {"\x1f\x8b", "cut gzip-compressed"},
      {"\xfd\x37zXZ", "cut xz-compressed"},
      {"\x28\xb5\x2f", "cut zstd-compressed"},
      {"7z\xbc\xaf\x27", "cut a 7z archive"},
      {bytes("\x89LZO\0\r\n\x1a", 8), "cut lzop-compressed"},
      {"\x04\x22\x4d", "cut lz4-compressed"},
      {bgzfvcf, "cut gzip-compressed"},
      {bgzfvcf + bgzfend + bgzfvcf, "cut gzip-compressed"},  // cut after an end
      {bgzfvcf, "cut BCF (binary VCF)", "g.bcf"},
      // Anything else with a byte text never holds: where it is.
      {bytes("a\tb\nc\0\0", 7), "binary 0x00 at 5"},
      {"rs1\x1b[2J\n", "binary 0x1b at 3"},
      {longtext + bytes("\0", 1), "binary 0x00 at 70000", "g", false},  // read no further
      {"\x1f\x8b", "binary 0x1f at 0", "g", false},  // only the start of a longer file
      {longtext, "binary 0x00 at 3000000000", "g", false, 3000000000},  // a crashed write's NULs
      {bytes("a\0", 2), "binary 0x00 at 1", "g", true, 1},
      {"x\x01\x02", "a zlib stream"},
      // Text, also where it starts with the letters of a magic.
      {"", "text"},
      {"rs123\tA\tG\r\n\v\f", "text"},
      {"\xef\xbb\xbf#CHROM\tPOS\n", "text"},  // UTF-8 with a byte order mark
      {"caf\xe9 na\xefve\n", "text"},         // Latin-1
      {"BZh9 snp1 snp2", "text"},
      {"BZh91AY&S", "text"},
      {"\xfd\x37zXZ!\n", "text"},
      {"]\n", "text"},
      {"LZIP is a compressor\n", "text"},
      {"PKG list\n", "text"},
      {"BCF file list\n", "text"},
      {"CRAM reads\n", "text"},
      {"bgen v1.2 file\n", "text"},
      {"rs12345 A G T C bgen\n", "text"},
      {"7z archives are not genotypes\n", "text"},
      {"PAR1 region\n", "text"},
      {"x^2 + 1\n", "text"},
      {"BZh", "text"},  // the start of a magic, but all of it text
  };
  for (const Case& c : cases) {
    std::size_t tail = c.file.size() < 32 ? c.file.size() : 32;
    filebytes b{};
    b.head = c.file.data();
    b.headlength = c.file.size();
    b.tail = c.file.data() + c.file.size() - tail;
    b.taillength = tail;
    b.whole = b.ended = c.whole;
    b.name = c.name.c_str();
    b.namelength = c.name.size();
    b.nulrun = c.nulrun;
    EXPECT_EQ(described(kindof(b)), c.kind) << c.file << " " << c.name;
  }
}

}  // namespace
