// SPDX-License-Identifier: MIT
#include "format.h"

#include <cstring>

namespace {

// Compressed: the text is inside.
constexpr fileformat gzip{"gzip-compressed", "gzip -dc", ".gz .bgz", "", nullptr, nullptr};
constexpr fileformat bzip2{"bzip2-compressed", "bzip2 -dc", ".bz2 .bz", "", nullptr, nullptr};
constexpr fileformat xz{"xz-compressed", "xz -dc", ".xz", "", nullptr, nullptr};
constexpr fileformat lzma{"lzma-compressed", "xz -dc", ".lzma", "", nullptr, nullptr};
constexpr fileformat zstd{"zstd-compressed", "zstd -dc", ".zst .zstd", "", nullptr, nullptr};
constexpr fileformat lz4{"lz4-compressed", "lz4 -dc", ".lz4", "", nullptr, nullptr};
constexpr fileformat lzip{"lzip-compressed", "lzip -dc", ".lz", "", nullptr, nullptr};
constexpr fileformat lzop{"lzop-compressed", "lzop -dc", ".lzo", "", nullptr, nullptr};
constexpr fileformat compress{
    "compressed by Unix compress", "gzip -dc", ".Z", "", nullptr, nullptr};
constexpr fileformat zlib{"a zlib stream", "pigz -dc", ".zz .zlib", "", nullptr, nullptr};
// Archives: their files would be counted as one, so the advice takes an
// archive of exactly one file.
constexpr fileformat zip{
    "a zip archive", "unzip -p", ".zip", "", nullptr, "unzip -Z1 @ | grep -c '[^/]$'"};
constexpr fileformat sevenzip{"a 7z archive", "7z x -so",
                              ".7z",          "",
                              nullptr,        "7z l -slt -ba @ | grep -c '^Attributes = [^D]'"};
constexpr fileformat tar{"a tar archive",
                         nullptr,
                         ".tar",
                         "",
                         "take the file to count out of it with tar -xf, and count that",
                         nullptr};
// Other encodings of text: converted beside the file.
constexpr fileformat utf16{"UTF-16-encoded", "iconv -f UTF-16 -t UTF-8", "", ".utf8", nullptr,
                           nullptr};
constexpr fileformat utf16le{"UTF-16-encoded", "iconv -f UTF-16LE -t UTF-8", "", ".utf8", nullptr,
                             nullptr};
constexpr fileformat utf16be{"UTF-16-encoded", "iconv -f UTF-16BE -t UTF-8", "", ".utf8", nullptr,
                             nullptr};
constexpr fileformat utf32{"UTF-32-encoded", "iconv -f UTF-32 -t UTF-8", "", ".utf8", nullptr,
                           nullptr};
constexpr fileformat utf32le{"UTF-32-encoded", "iconv -f UTF-32LE -t UTF-8", "", ".utf8", nullptr,
                             nullptr};
constexpr fileformat utf32be{"UTF-32-encoded", "iconv -f UTF-32BE -t UTF-8", "", ".utf8", nullptr,
                             nullptr};
// Binary genotype and read formats: a tool writes text of them, or none
// does in one standard command.
constexpr fileformat bcf{"BCF (binary VCF)", "bcftools view", ".bcf", ".vcf", nullptr, nullptr};
constexpr fileformat bam{"BAM (binary SAM)", "samtools view -h", ".bam", ".sam", nullptr, nullptr};
constexpr fileformat cram{"CRAM", "samtools view -h", ".cram", ".sam", nullptr, nullptr};
constexpr fileformat bed{"a PLINK 1 .bed file",
                         nullptr,
                         ".bed",
                         "",
                         "make a text file of it with plink1.9 (or plink) --bfile and --recode",
                         nullptr};
constexpr fileformat pgen{"a PLINK 2 .pgen file",
                          nullptr,
                          ".pgen",
                          "",
                          "make a text file of it with plink2 --pfile and --export",
                          nullptr};
constexpr fileformat bgen{
    "BGEN", nullptr, ".bgen", "", "make a text file of it with bgenix -vcf or qctool", nullptr};
// An index is not the data it indexes.
constexpr const char* indexed = "count the file it indexes, not the index";
constexpr fileformat bai{"a BAM index", nullptr, ".bai", "", indexed, nullptr};
constexpr fileformat crai{"a CRAM index", nullptr, ".crai", "", indexed, nullptr};
constexpr fileformat tbi{"a tabix index", nullptr, ".tbi", "", indexed, nullptr};
constexpr fileformat csi{"a CSI index", nullptr, ".csi", "", indexed, nullptr};
// Containers of other data.
constexpr fileformat hdf5{"HDF5",
                          nullptr,
                          ".h5 .hdf5",
                          "",
                          "make a text file of it with h5dump or the tool that wrote it",
                          nullptr};
constexpr fileformat sqlite{"an SQLite database",
                            nullptr,
                            ".db .sqlite",
                            "",
                            "make a text file of its table with sqlite3 -tabs",
                            nullptr};
constexpr fileformat npy{"a NumPy .npy array",
                         nullptr,
                         ".npy",
                         "",
                         "make a text file of it with numpy.savetxt",
                         nullptr};
constexpr fileformat parquet{"Parquet",
                             nullptr,
                             ".parquet",
                             "",
                             "make a text file of it with a Parquet reader (pandas, DuckDB)",
                             nullptr};

// A magic number: its bytes at an offset. Strings, so that a NUL inside
// one needs its length.
struct magic {
  const char* bytes;
  std::size_t length;
};

// A format by the magic at its start.
struct leading {
  magic start;
  const fileformat* format;
};
// The compressed formats: a whole file that is only the first bytes of one
// of their magics is cut short.
constexpr leading compressed[] = {
    {{"\x1f\x8b\x08", 3}, &gzip},
    {{"\x1f\x9d", 2}, &compress},
    {{"\xfd"
      "7zXZ\0",
      6},
     &xz},
    {{"\x28\xb5\x2f\xfd", 4}, &zstd},
    {{"\x04\x22\x4d\x18", 4}, &lz4},
    {{"\x02\x21\x4c\x18", 4}, &lz4},  // legacy frame
    {{"PK\3\4", 4}, &zip},
    {{"PK\5\6", 4}, &zip},   // empty
    {{"PK\7\x8", 4}, &zip},  // spanned
    {{"7z\xbc\xaf\x27\x1c", 6}, &sevenzip},
    {{"\x89LZO\0\r\n\x1a\n", 9}, &lzop},
    {{"LZIP\1", 5}, &lzip},
};

// The other formats known by the magic at their start alone.
constexpr leading plain[] = {
    {{"\x89HDF\r\n\x1a\n", 8}, &hdf5},
    {{"SQLite format 3\0", 16}, &sqlite},
    {{"\x93NUMPY", 6}, &npy},
    {{"BAM\1", 4}, &bam},
    {{"BAI\1", 4}, &bai},
    {{"TBI\1", 4}, &tbi},
    {{"CSI\1", 4}, &csi},
};

// The last block of every BGZF file: an empty member.
constexpr char bgzfend[] =
    "\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0\x1b\0\x03\0\0\0\0\0\0\0\0\0";

struct view {
  const unsigned char* bytes;
  std::size_t length;
  bool at(std::size_t offset, const magic& m) const {
    return length >= offset + m.length && std::memcmp(bytes + offset, m.bytes, m.length) == 0;
  }
  // A byte past the end is none of 0 to 255.
  unsigned byte(std::size_t offset) const { return offset < length ? bytes[offset] : 0x100u; }
};

bool endswith(const filebytes& b, const char* suffix) {
  std::size_t n = std::strlen(suffix);
  return b.name != nullptr && b.namelength >= n &&
         std::memcmp(b.name + b.namelength - n, suffix, n) == 0;
}

// BGZF is gzip with the extra field "BC" first, as bgzip, bcftools and
// samtools write it.
bool bgzf(const view& v) {
  return (v.byte(3) & 4) != 0 && v.at(12, {"BC\2\0", 4});
}

// A gzip member: what its file's name says it holds.
const fileformat* gzipped(const filebytes& b) {
  if (endswith(b, ".bcf")) return &bcf;
  if (endswith(b, ".bam")) return &bam;
  if (endswith(b, ".tbi")) return &tbi;
  if (endswith(b, ".csi")) return &csi;
  if (endswith(b, ".crai")) return &crai;
  return &gzip;
}

// UTF-16 and UTF-32, by a byte order mark or by the NULs beside the first
// character, where that is ASCII text; nullptr for anything else.
const fileformat* unicode(const view& v) {
  if (v.at(0, {"\xff\xfe\0\0", 4}) || v.at(0, {"\0\0\xfe\xff", 4})) return &utf32;
  if (v.at(0, {"\xff\xfe", 2}) || v.at(0, {"\xfe\xff", 2})) return &utf16;
  unsigned b0 = v.byte(0), b1 = v.byte(1), b2 = v.byte(2), b3 = v.byte(3);
  auto ascii = [](unsigned c) { return (c >= 0x20 && c < 0x7f) || (c >= '\t' && c <= '\r'); };
  if (ascii(b0) && b1 == 0 && b2 == 0 && b3 == 0) return &utf32le;
  if (b0 == 0 && b1 == 0 && b2 == 0 && ascii(b3)) return &utf32be;
  if (ascii(b0) && b1 == 0 && b2 != 0 && b2 < 0x100 && b3 == 0) return &utf16le;
  if (b0 == 0 && ascii(b1) && b2 == 0 && b3 != 0 && b3 < 0x100) return &utf16be;
  return nullptr;
}

// The binary formats whose magic takes more than bytes to tell from text.
const fileformat* binary(const view& v, const view& tail, bool ended) {
  if (v.at(0, {"BCF\2", 4}) && (v.byte(4) == 1 || v.byte(4) == 2)) return &bcf;
  if (v.at(0, {"CRAM", 4}) && v.byte(4) >= 1 && v.byte(4) <= 4 && v.byte(5) <= 1) return &cram;
  if (v.at(0, {"\x6c\x1b", 2})) {
    unsigned mode = v.byte(2);
    if (mode <= 1) return &bed;
    if ((mode >= 2 && mode <= 4) || mode == 0x10 || mode == 0x11 || mode == 0x20 || mode == 0x21)
      return &pgen;
  }
  // BGEN: the offset of the first variant and the header's length, both
  // below 16 MiB (a zero high byte, never text), then "bgen".
  if (v.at(16, {"bgen", 4}) && v.byte(3) == 0 && v.byte(7) == 0) return &bgen;
  // tar: "ustar" in the first header, POSIX's or GNU's.
  if (v.at(257, {"ustar", 5}) && (v.byte(262) == 0 || v.byte(262) == ' ')) return &tar;
  // Parquet starts and ends with PAR1: text may start so, but rarely ends so too.
  if (v.at(0, {"PAR1", 4}) && ended && tail.length >= 4 && tail.at(tail.length - 4, {"PAR1", 4}))
    return &parquet;
  return nullptr;
}

// The magic of a format whose first bytes are not all text, for most of
// the compressed formats; nullptr for anything else.
const fileformat* magicformat(const view& v, const filebytes& b) {
  for (const leading& l : compressed) {
    if (v.at(0, l.start)) return l.format == &gzip ? gzipped(b) : l.format;
  }
  for (const leading& l : plain) {
    if (v.at(0, l.start)) return l.format;
  }
  // bzip2: "BZh", the block size, then the magic of a block or of the end.
  if (v.at(0, {"BZh", 3}) && v.byte(3) >= '1' && v.byte(3) <= '9' &&
      (v.at(4, {"1AY&SY", 6}) || v.at(4, {"\x17\x72\x45\x38\x50\x90", 6})))
    return &bzip2;
  // .lzma has no magic: the properties xz and lzma write, and a size that
  // is unknown (all ones) or below 2^56.
  if (v.byte(0) == 0x5d && v.byte(1) == 0 && v.length >= 13 &&
      (v.at(5, {"\xff\xff\xff\xff\xff\xff\xff\xff", 8}) || v.byte(12) == 0))
    return &lzma;
  // A skippable frame first, as pzstd writes.
  if ((v.byte(0) & 0xf0) == 0x50 && v.at(1, {"\x2a\x4d\x18", 3})) return &zstd;
  return nullptr;
}

// The compressed format whose magic the whole file is the start of, where
// that start holds a byte no plain ASCII text has.
const fileformat* cutmagic(const view& v) {
  bool ascii = true;
  for (std::size_t i = 0; i < v.length; ++i)
    ascii = ascii && v.bytes[i] >= 0x20 && v.bytes[i] < 0x7f;
  if (v.length < 2 || ascii) return nullptr;
  for (const leading& l : compressed) {
    if (v.length < l.start.length && std::memcmp(v.bytes, l.start.bytes, v.length) == 0)
      return l.format;
  }
  return nullptr;
}

}  // namespace

filekind kindof(const filebytes& b) {
  const view v{reinterpret_cast<const unsigned char*>(b.head), b.headlength};
  const view tail{reinterpret_cast<const unsigned char*>(b.tail), b.taillength};
  const fileformat* format = magicformat(v, b);
  if (format == nullptr) format = binary(v, tail, b.ended);
  if (format == nullptr) format = unicode(v);
  if (format != nullptr) {
    // A BGZF file read to its end ends in an empty member; without it the
    // file was cut, maybe between two members, where gzip sees no cut.
    constexpr magic end{bgzfend, sizeof bgzfend - 1};
    bool cut = v.at(0, {"\x1f\x8b\x08", 3}) && bgzf(v) && b.ended &&
               !(tail.length >= end.length && tail.at(tail.length - end.length, end));
    return {cut ? shapecut : shapeformat, format, 0, 0};
  }
  if (b.whole) format = cutmagic(v);
  if (format != nullptr) return {shapecut, format, 0, 0};
  for (std::size_t i = 0; i < v.length; ++i) {
    unsigned char c = v.bytes[i];
    if (c >= 0x20 || (c >= '\t' && c <= '\r')) continue;
    // zlib: deflate with a 32 KiB window, and a check that makes the first
    // two bytes a multiple of 31. Some levels make them "x^" or "x\x9c", which
    // text may start with too, so only where the bytes are not text.
    if (v.byte(0) == 0x78 && ((0x78u << 8) | v.byte(1)) % 31 == 0)
      return {shapeformat, &zlib, 0, 0};
    return {shapebinary, nullptr, static_cast<std::int64_t>(i), c};
  }
  if (b.nulrun >= 0) return {shapebinary, nullptr, b.nulrun, 0};
  return {shapetext, nullptr, 0, 0};
}
