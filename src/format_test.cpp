// SPDX-License-Identifier: MIT
#include "format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The start of real files, as their tools write them; the gzip members
// were made with zlib (BGZF's header, a BCF or BAM inside).
const std::string bgzfbcfdynamic(
    "\x1f\x8b\x08\x04\x00\x00\x00\x00\x00\xff\x06\x00\x42\x43\x02\x00\xae\x01\x6d\x94\x49\x6a"
    "\x1d\x41\x0c\x86\x8d\x21\x9b\x5c\xe3\x6d\x43\xd0\x3c\x40\x5e\x16\x71\x30\xe4\x02\xd9\x07"
    "\xe3\x09\x3c\x80\x79\xf8\x54\x3e\x64\xe4\x84\x56\x19\x5a\xb5\xe8\xd5\x87\x5a\xf5\xe9\x57"
    "\xfd\xb8\xb8\x3c\x3f\x7f\xfb\x74\x76\x76\x38\xdc\xdc\x3f\x5c\xdf\x3c\xbf\x3c\xfe\x39\x1d"
    "\x7f\x5f\x5c\xbe\xca\x57\xfa\x7c\x38\x5c\x3d\x3f\x9d\xee\x6f\x8f\xdf\x7e\xfd\x3c\x5e\xdd"
    "\xbd\xe0\x97\x87\xeb\xa7\xdb\xd3\xdd\x91",
    120);
const std::string bgzfbam(
    "\x1f\x8b\x08\x04\x00\x00\x00\x00\x00\xff\x06\x00\x42\x43\x02\x00\x2e\x00\x73\x72\xf4\x65"
    "\x14\x60\x60\x60\x70\xf0\x70\xe1\x0c\xf3\xb3\x32\xd4\x33\xe3\x02\x00",
    39);
const std::string bgzfvcf(
    "\x1f\x8b\x08\x04\x00\x00\x00\x00\x00\xff\x06\x00\x42\x43\x02\x00\x94\x00\x53\x56\x4e\xcb"
    "\xcc\x49\x4d\xcb\x2f\xca\x4d\x2c\xb1\x0d\x73\x76\x2b\x33\xd1\x33\xe2\x52\x56\x76\xf3\xf4",
    44);
const std::string namedbcf(  // gzip with the name g.bcf in its header
    "\x1f\x8b\x08\x08\x00\x00\x00\x00\x02\xff\x67\x2e\x62\x63\x66\x00\x73\x72\x76\x63\x62\x12"
    "\x60\x60\x60\x50\x56\x4e\xcb\xcc\x49\x4d\xcb\x2f\xca\x4d\x2c\xb1\x0d\x73\x76\x2b\x33\xd1",
    44);
// A stored deflate block: five bytes as they are.
const std::string storedbam(
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\x01\x05\x00\xfa\xff"
    "BAM\x01\x00",
    20);

TEST(Format, IsKnownByItsMagicBytesAndNeverForText) {
  struct Case {
    std::string head;
    std::string format;  // empty for text
  };
  const Case cases[] = {
      {std::string("\x1f\x8b\x08\x00\x00\x00", 6), "gzip-compressed"},
      {bgzfvcf, "gzip-compressed"},  // bgzip's VCF
      {bgzfbcfdynamic, "BCF (binary VCF)"},
      {bgzfbcfdynamic.substr(0, 40), "gzip-compressed"},  // too little to inflate
      {bgzfbam, "BAM (binary SAM)"},
      {namedbcf, "BCF (binary VCF)"},
      {storedbam, "BAM (binary SAM)"},
      {"\x1f\x9d\x90", "compressed by Unix compress"},
      {"BZh91AY&SY", "bzip2-compressed"},
      {"BZh1\x17\x72\x45\x38\x50\x90", "bzip2-compressed"},  // empty
      {std::string("\xfd\x37zXZ\0", 6), "xz-compressed"},
      {std::string("\x5d\0\0\x80\0\xff\xff\xff\xff\xff\xff\xff\xff", 13), "lzma-compressed"},
      {std::string("\x5d\0\0\x80\0\x0c\0\0\0\0\0\0\0", 13), "lzma-compressed"},
      {"\x28\xb5\x2f\xfd", "zstd-compressed"},
      {"\x50\x2a\x4d\x18", "zstd-compressed"},  // pzstd's skippable frame first
      {"\x04\x22\x4d\x18", "lz4-compressed"},
      {"\x02\x21\x4c\x18", "lz4-compressed"},  // legacy frame
      {"LZIP\x01\x0c", "lzip-compressed"},
      {"PK\x03\x04", "a zip archive"},
      {"PK\x05\x06", "a zip archive"},  // empty
      {"7z\xbc\xaf\x27\x1c", "a 7z archive"},
      {std::string("\x89LZO\0\r\n\x1a\n", 9), "lzop-compressed"},
      {"BCF\x02\x02", "BCF (binary VCF)"},  // uncompressed, as bcftools -Ou writes
      {"BAM\x01", "BAM (binary SAM)"},
      {std::string("CRAM\x03\x00", 6), "CRAM"},
      {"\x6c\x1b\x01", "a PLINK 1 .bed file"},
      {"\x6c\x1b\x10", "a PLINK 2 .pgen file"},
      {std::string("\x14\0\0\0\x14\0\0\0\x02\0\0\0\x03\0\0\0bgen", 20), "BGEN"},
      // Text that starts with the letters of a magic, or nearly a magic.
      {"\x1f\x8b", ""},  // cut before the method
      {"BZh9 snp1 snp2", ""},
      {"BZh91AY&S", ""},
      {"\xfd\x37zXZ!\n", ""},
      {"]\n", ""},
      {"LZIP is a compressor\n", ""},
      {"PKG list\n", ""},
      {"BCF file list\n", ""},
      {"CRAM reads\n", ""},
      {"bgen v1.2 file\n", ""},
      {"rs12345 A G T C bgen\n", ""},
      {"rs123\tA\tG\n", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    const fileformat* format = formatof(c.head.data(), c.head.size());
    EXPECT_EQ(format != nullptr ? format->name : "", c.format) << c.head;
  }
}

}  // namespace
