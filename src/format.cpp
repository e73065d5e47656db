// SPDX-License-Identifier: MIT
#include "format.h"

#include <algorithm>
#include <cstring>
#include <iterator>

using namespace std::literals;

namespace {
// Every tar, compressed or not, is taken as an archive of one file, as a
// zip is: tar -xO would give the text of every file in it as one. GNU tar
// finds the compression by the bytes. The rows share this pointer, which
// tells a tar row.
constexpr const char* tartool = "tar -xOf";
constexpr const char* tarlist = "tar -tf @";
// A listing's lines that name no folder.
constexpr const char* listedfiles = "grep -c '[^/]$'";
// An index is not the data it indexes.
constexpr const char* fromindex = "count the file it indexes, not the index";
}  // namespace

// One row a format. Rows are tried in order: UTF-32's byte order mark
// before UTF-16's, which it starts with; the formats told by a pattern of
// NULs after every format with a magic of its own.
const fileformat formats[] = {
    // Compressed: the text is inside.
    {.key = "gzip",
     .name = "gzip-compressed",
     .tool = "gzip -dc",
     .package = "gzip",
     .suffixes = ".gz .bgz",
     .magic = {{0, "\x1f\x8b\x08"sv}},
     .compressed = true,
     .bgzf = true},
    {.key = "compress",
     .name = "compressed by Unix compress",
     .tool = "gzip -dc",
     .package = "gzip",
     .suffixes = ".Z",
     .magic = {{0, "\x1f\x9d"sv}},
     .compressed = true},
    {.key = "bzip2",
     .name = "bzip2-compressed",
     .tool = "bzip2 -dc",
     .package = "bzip2",
     .suffixes = ".bz2 .bz",
     .test = testbzip2,
     .start = "BZh"},
    {.key = "xz",
     .name = "xz-compressed",
     .tool = "xz -dc",
     .package = "xz-utils",
     .suffixes = ".xz",
     .magic = {{0,
                "\xfd"
                "7zXZ\0"sv}},
     .compressed = true},
    {.key = "lzma",
     .name = "lzma-compressed",
     .tool = "xz -dc",
     .package = "xz-utils",
     .suffixes = ".lzma",
     .test = testlzma,
     .start = "\x5d\0"sv},
    {.key = "zstd",
     .name = "zstd-compressed",
     .tool = "zstd -dc",
     .package = "zstd",
     .suffixes = ".zst .zstd",
     .magic = {{0, "\x28\xb5\x2f\xfd"sv}},
     .test = testzstdskippable,
     .compressed = true},
    {.key = "lz4",
     .name = "lz4-compressed",
     .tool = "lz4 -dc",
     .package = "lz4",
     .suffixes = ".lz4",
     .magic = {{0, "\x04\x22\x4d\x18"sv}, {0, "\x02\x21\x4c\x18"sv, "legacy"}},
     .needsnul = true,
     .compressed = true},
    {.key = "lzip",
     .name = "lzip-compressed",
     .tool = "lzip -dc",
     .package = "lzip",
     .suffixes = ".lz",
     .magic = {{0, "LZIP\1"sv}},
     .needsnul = true,
     .compressed = true},
    {.key = "lzop",
     .name = "lzop-compressed",
     .tool = "lzop -dc",
     .package = "lzop",
     .suffixes = ".lzo",
     .magic = {{0, "\x89LZO\0\r\n\x1a\n"sv}},
     .compressed = true},
    // Archives: their files would be counted as one, so the advice takes
    // an archive of exactly one file.
    {.key = "zip",
     .name = "a zip archive",
     .tool = "unzip -p",
     .package = "unzip",
     .suffixes = ".zip",
     .list = "unzip -Z1 @",
     .files = listedfiles,
     .magic = {{0, "PK\3\4"sv}, {0, "PK\5\6"sv, "empty"}, {0, "PK\7\x08"sv, "spanned"}},
     .needsnul = true,
     .compressed = true},
    {.key = "7z",
     .name = "a 7z archive",
     .tool = "7z x -so",
     .package = "p7zip-full",
     .suffixes = ".7z",
     .list = "7z l -slt -ba @",
     .files = "grep -c '^Attributes = [^D]'",
     .magic = {{0, "7z\xbc\xaf\x27\x1c"sv}},
     .compressed = true},
    {.key = "tar",
     .name = "a tar archive",
     .tool = tartool,
     .package = "tar",
     .list = tarlist,
     .files = listedfiles,
     .magic = {{257, "ustar\0"sv, "POSIX"}, {257, "ustar "sv, "GNU"}}},
    // A compressed tar, by the suffixes tar -a takes for each compressor.
    {.key = "tar.gz",
     .name = "a gzip-compressed tar archive",
     .tool = tartool,
     .package = "tar",
     .suffixes = ".tar.gz .tgz .taz",
     .list = tarlist,
     .files = listedfiles,
     .within = "gzip"},
    {.key = "tar.Z",
     .name = "a tar archive compressed by Unix compress",
     .tool = tartool,
     .package = "tar",
     .suffixes = ".tar.Z .taZ",
     .list = tarlist,
     .files = listedfiles,
     .within = "compress"},
    {.key = "tar.bz2",
     .name = "a bzip2-compressed tar archive",
     .tool = tartool,
     .package = "tar",
     .suffixes = ".tar.bz2 .tz2 .tbz2 .tbz",
     .list = tarlist,
     .files = listedfiles,
     .within = "bzip2"},
    {.key = "tar.lz",
     .name = "an lzip-compressed tar archive",
     .tool = tartool,
     .package = "tar",
     .suffixes = ".tar.lz",
     .list = tarlist,
     .files = listedfiles,
     .within = "lzip"},
    {.key = "tar.lzma",
     .name = "an lzma-compressed tar archive",
     .tool = tartool,
     .package = "tar",
     .suffixes = ".tar.lzma .tlz",
     .list = tarlist,
     .files = listedfiles,
     .within = "lzma"},
    {.key = "tar.lzo",
     .name = "an lzop-compressed tar archive",
     .tool = tartool,
     .package = "tar",
     .suffixes = ".tar.lzo",
     .list = tarlist,
     .files = listedfiles,
     .within = "lzop"},
    {.key = "tar.xz",
     .name = "an xz-compressed tar archive",
     .tool = tartool,
     .package = "tar",
     .suffixes = ".tar.xz .txz",
     .list = tarlist,
     .files = listedfiles,
     .within = "xz"},
    {.key = "tar.zst",
     .name = "a zstd-compressed tar archive",
     .tool = tartool,
     .package = "tar",
     .suffixes = ".tar.zst .tzst",
     .list = tarlist,
     .files = listedfiles,
     .within = "zstd"},
    // Other encodings of text: converted beside the file.
    {.key = "utf32",
     .name = "UTF-32-encoded",
     .tool = "iconv -f UTF-32 -t UTF-8",
     .package = "libc-bin",
     .text = ".utf8",
     .magic = {{0, "\xff\xfe\0\0"sv, "little-endian"}, {0, "\0\0\xfe\xff"sv, "big-endian"}}},
    {.key = "utf16",
     .name = "UTF-16-encoded",
     .tool = "iconv -f UTF-16 -t UTF-8",
     .package = "libc-bin",
     .text = ".utf8",
     .magic = {{0, "\xff\xfe"sv, "little-endian"}, {0, "\xfe\xff"sv, "big-endian"}}},
    // Binary genotype and read formats: a tool writes their own text,
    // without a line of its own, or none does in one standard command.
    {.key = "bcf",
     .name = "BCF (binary VCF)",
     .tool = "bcftools view --no-version",
     .package = "bcftools",
     .suffixes = ".bcf",
     .text = ".vcf",
     .magic = {{0, "BCF\2\2"sv}, {0, "BCF\2\1"sv}},  // as bcftools -Ou writes it
     .needsnul = true,
     .within = "gzip"},
    {.key = "bam",
     .name = "BAM (binary SAM)",
     .tool = "samtools view -h --no-PG",
     .package = "samtools",
     .suffixes = ".bam",
     .text = ".sam",
     .magic = {{0, "BAM\1"sv}},
     .needsnul = true,
     .within = "gzip"},
    {.key = "cram",
     .name = "CRAM",
     .tool = "samtools view -h --no-PG",
     .package = "samtools",
     .suffixes = ".cram",
     .text = ".sam",
     .test = testcram,
     .start = "CRAM",
     .needsnul = true},
    // A .bed need hold no NUL: a variant where no four samples are all of
    // the first allele has none.
    {.key = "bed",
     .name = "a PLINK 1 .bed file",
     .package = "plink1.9",
     .how = "make a text file of it with plink1.9 (or plink) --bfile and --recode",
     .plink = "plink1.9",
     .fileset = ".bed",
     .test = testplinkbed},
    {.key = "pgen",
     .name = "a PLINK 2 .pgen file",
     .package = "plink2",
     .how = "make a text file of it with plink2 --pfile and --export",
     .plink = "plink2",
     .fileset = ".pgen",
     .test = testplinkpgen},
    {.key = "bgen",
     .name = "BGEN",
     .how = "make a text file of it with bgenix -vcf or qctool",
     .test = testbgen},
    {.key = "bai",
     .name = "a BAM index",
     .how = fromindex,
     .magic = {{0, "BAI\1"sv}},
     .needsnul = true},
    {.key = "crai",
     .name = "a CRAM index",
     .suffixes = ".crai",
     .how = fromindex,
     .within = "gzip"},
    {.key = "tbi",
     .name = "a tabix index",
     .suffixes = ".tbi",
     .how = fromindex,
     .magic = {{0, "TBI\1"sv}},
     .needsnul = true,
     .within = "gzip"},
    {.key = "csi",
     .name = "a CSI index",
     .suffixes = ".csi",
     .how = fromindex,
     .magic = {{0, "CSI\1"sv}},
     .needsnul = true,
     .within = "gzip"},
    // Containers of other data.
    {.key = "hdf5",
     .name = "HDF5",
     .how = "make a text file of it with h5dump or the tool that wrote it",
     .magic = {{0, "\x89HDF\r\n\x1a\n"sv}}},
    {.key = "sqlite",
     .name = "an SQLite database",
     .how = "make a text file of its table with sqlite3 -tabs",
     .magic = {{0, "SQLite format 3\0"sv}}},
    {.key = "npy",
     .name = "a NumPy .npy array",
     .how = "make a text file of it with numpy.savetxt",
     .magic = {{0, "\x93NUMPY"sv}},  // a quotation mark and NUMPY in Windows-1252
     .needsnul = true},
    // numpy.savez writes a zip of .npy files.
    {.key = "npz",
     .name = "a NumPy .npz archive",
     .suffixes = ".npz",
     .how = "make a text file of the array to count with numpy.load and numpy.savetxt",
     .within = "zip"},
    {.key = "parquet",
     .name = "Parquet",
     .how = "make a text file of it with a Parquet reader (pandas, DuckDB)",
     .test = testparquet,
     .needsnul = true},
    // Some levels make a zlib stream start "x^" or "x\x9c", as text may.
    {.key = "zlib",
     .name = "a zlib stream",
     .tool = "pigz -dc",
     .package = "pigz",
     .suffixes = ".zz .zlib",
     .test = testzlib,
     .start = "\x78",
     .needsnul = true},
    {.key = "utf32le",
     .name = "UTF-32-encoded",
     .tool = "iconv -f UTF-32LE -t UTF-8",
     .package = "libc-bin",
     .text = ".utf8",
     .test = testutf32le},
    {.key = "utf32be",
     .name = "UTF-32-encoded",
     .tool = "iconv -f UTF-32BE -t UTF-8",
     .package = "libc-bin",
     .text = ".utf8",
     .test = testutf32be},
    {.key = "utf16le",
     .name = "UTF-16-encoded",
     .tool = "iconv -f UTF-16LE -t UTF-8",
     .package = "libc-bin",
     .text = ".utf8",
     .test = testutf16le},
    {.key = "utf16be",
     .name = "UTF-16-encoded",
     .tool = "iconv -f UTF-16BE -t UTF-8",
     .package = "libc-bin",
     .text = ".utf8",
     .test = testutf16be},
};
const std::size_t formatcount = std::size(formats);

const fileformat* formatkeyed(std::string_view key) {
  for (const fileformat& f : formats) {
    if (key == f.key) return &f;
  }
  return nullptr;
}

namespace {

bool istar(const fileformat& f) {
  return f.tool == tartool;
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The length of the one of format's own suffixes that the name ends with.
std::size_t ownsuffix(const fileformat& format, const char* name, std::size_t length) {
  for (std::string_view s = format.suffixes; !s.empty();) {
    std::size_t n = std::min(s.find(' '), s.size());
    bool same = length > n && name[length - n - 1] != '/';
    for (std::size_t i = 0; same && i < n; ++i) same = lower(name[length - n + i]) == lower(s[i]);
    if (same) return n;
    s.remove_prefix(std::min(s.size(), n + 1));
  }
  return 0;
}

}  // namespace

std::size_t suffixof(const fileformat& format, const char* name, std::size_t length) {
  std::size_t n = ownsuffix(format, name, length);
  for (std::size_t i = 0; n == 0 && istar(format) && i < formatcount; ++i) {
    if (istar(formats[i])) n = ownsuffix(formats[i], name, length);
  }
  return n;
}

const char* testwords(formattest test) {
  switch (test) {
    case testnone:
      return "";
    case testbzip2:
      return "\"BZh\", \"1\" to \"9\", then \"1AY&SY\" or 17 72 45 38 50 90";
    case testlzma:
      return "5d 00, then at 5 a size of ff ff ff ff ff ff ff ff or below 2^56";
    case testzstdskippable:
      return "or a skippable frame first: 50 to 5f, then 2a 4d 18";
    case testcram:
      return "\"CRAM\", then a version 1.0 to 4.1";
    case testplinkbed:
      return "6c 1b, then 00 or 01";
    case testplinkpgen:
      return "6c 1b, then 02, 03, 04, 10, 11, 20 or 21";
    case testbgen:
      return "\"bgen\" at 16, with 00 at 3 and at 7";
    case testparquet:
      return "\"PAR1\" first and last, the last read only where the end can be read at once";
    case testzlib:
      return "78, then a byte that makes the two a multiple of 31";
    case testutf32le:
      return "from four characters on, NULs in the two high bytes of each four and no four all "
             "NUL; the low bytes first";
    case testutf32be:
      return "from four characters on, NULs in the two high bytes of each four and no four all "
             "NUL; the high bytes first";
    case testutf16le:
      return "from four characters on, NULs in no low byte and in half the high bytes at least; "
             "the low byte first";
    case testutf16be:
      return "from four characters on, NULs in no low byte and in half the high bytes at least; "
             "the high byte first";
  }
  return "";
}

namespace {

// The last block of every BGZF file: an empty member.
constexpr std::string_view bgzfend =
    "\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0\x1b\0\x03\0\0\0\0\0\0\0\0\0"sv;

struct view {
  const unsigned char* bytes;
  std::size_t length;
  bool at(std::size_t offset, std::string_view m) const {
    return length >= offset + m.size() && std::memcmp(bytes + offset, m.data(), m.size()) == 0;
  }
  // A byte past the end is none of 0 to 255.
  unsigned byte(std::size_t offset) const { return offset < length ? bytes[offset] : 0x100u; }
};

// UTF-32 and UTF-16 without a byte order mark: the high bytes of the
// characters are NULs, by the two or four, in the first bytes. little is
// where the low byte comes first. Two or three characters are no proof:
// any binary bytes may look so.
constexpr std::size_t utfcharacters = 4;

bool utf32(const view& v, bool little) {
  std::size_t n = std::min<std::size_t>(v.length, 256) & ~std::size_t{3};
  for (std::size_t i = 0; i < n; i += 4) {
    const unsigned char* c = v.bytes + i;
    unsigned high = little ? (c[2] | c[3]) : (c[0] | c[1]);
    unsigned low = little ? (c[0] | c[1]) : (c[2] | c[3]);
    if (high != 0 || low == 0) return false;
  }
  return n >= 4 * utfcharacters;
}

bool utf16(const view& v, bool little) {
  std::size_t n = std::min<std::size_t>(v.length, 256) & ~std::size_t{1};
  std::size_t highnuls = 0;
  for (std::size_t i = 0; i < n; i += 2) {
    unsigned low = v.bytes[i + (little ? 0 : 1)], high = v.bytes[i + (little ? 1 : 0)];
    if (low == 0) return false;
    highnuls += high == 0 ? 1 : 0;
  }
  return n >= 2 * utfcharacters && 2 * highnuls >= n / 2;
}

bool passes(formattest test, const view& v, const view& tail) {
  switch (test) {
    case testnone:
      return false;
    case testbzip2:
      return v.at(0, "BZh") && v.byte(3) >= '1' && v.byte(3) <= '9' &&
             (v.at(4, "1AY&SY") || v.at(4, "\x17\x72\x45\x38\x50\x90"));
    case testlzma:
      return v.byte(0) == 0x5d && v.byte(1) == 0 && v.length >= 13 &&
             (v.at(5, "\xff\xff\xff\xff\xff\xff\xff\xff") || v.byte(12) == 0);
    case testzstdskippable:
      return (v.byte(0) & 0xf0) == 0x50 && v.at(1, "\x2a\x4d\x18");
    case testcram:
      return v.at(0, "CRAM") && v.byte(4) >= 1 && v.byte(4) <= 4 && v.byte(5) <= 1;
    case testplinkbed:
      return v.at(0, "\x6c\x1b") && v.byte(2) <= 1;
    case testplinkpgen: {
      unsigned mode = v.byte(2);
      return v.at(0, "\x6c\x1b") && ((mode >= 2 && mode <= 4) || mode == 0x10 || mode == 0x11 ||
                                     mode == 0x20 || mode == 0x21);
    }
    case testbgen:
      return v.at(16, "bgen") && v.byte(3) == 0 && v.byte(7) == 0;
    case testparquet:
      return v.at(0, "PAR1") && tail.length >= 4 && tail.at(tail.length - 4, "PAR1");
    case testzlib:
      return v.byte(0) == 0x78 && ((0x78u << 8) | v.byte(1)) % 31 == 0;
    case testutf32le:
      return utf32(v, true);
    case testutf32be:
      return utf32(v, false);
    case testutf16le:
      return utf16(v, true);
    case testutf16be:
      return utf16(v, false);
  }
  return false;
}

bool fits(const fileformat& f, const view& v, const view& tail) {
  for (const magicbytes& m : f.magic) {
    if (!m.bytes.empty() && v.at(m.at, m.bytes)) return true;
  }
  return passes(f.test, v, tail);
}

// What a file of format f holds, where its name says: a gzip file named
// .bcf holds BCF, a bzip2 file named .tbz2 a tar archive, and an lzip file
// named as any compressed tar (.tlz) an lzip-compressed tar.
const fileformat* held(const filebytes& b, const fileformat* f) {
  for (const fileformat& g : formats) {
    if (g.within != nullptr && f->key == std::string_view(g.within) && b.name != nullptr &&
        suffixof(g, b.name, b.namelength) > 0)
      return &g;
  }
  return f;
}

// Whether the whole file is shorter than one of the first bytes all of
// f's files have, and their start: its magic, its test's start, or its
// holder's.
bool shorterthanstart(const fileformat& f, const view& v) {
  auto cut = [&](std::string_view start) {
    return v.length < start.size() &&
           (v.length == 0 || std::memcmp(v.bytes, start.data(), v.length) == 0);
  };
  for (const magicbytes& m : f.magic) {
    if (m.at == 0 && !m.bytes.empty() && cut(m.bytes)) return true;
  }
  if (!f.start.empty() && cut(f.start)) return true;
  const fileformat* holder = f.within != nullptr ? formatkeyed(f.within) : nullptr;
  return holder != nullptr && shorterthanstart(*holder, v);
}

// The format a regular file's name says it is, where the whole file is
// shorter than that format's first bytes and their start.
const fileformat* cutbyname(const filebytes& b, const view& v) {
  if (!b.whole || !b.regular || b.name == nullptr) return nullptr;
  for (const fileformat& f : formats) {
    if (ownsuffix(f, b.name, b.namelength) > 0 && shorterthanstart(f, v)) return held(b, &f);
  }
  return nullptr;
}

// BGZF is gzip with the extra field "BC" first, as bgzip, bcftools and
// samtools write it, and ends in an empty member; without it the file was
// cut, maybe between two members, where gzip sees no cut.
bool cutbgzf(const view& v, const view& tail) {
  return (v.byte(3) & 4) != 0 && v.at(12, "BC\2\0"sv) && tail.length > 0 &&
         !(tail.length >= bgzfend.size() && tail.at(tail.length - bgzfend.size(), bgzfend));
}

// The compressed format whose magic the whole file is the start of, where
// that start holds a byte no plain ASCII text has.
const fileformat* cutmagic(const view& v) {
  bool ascii = std::all_of(v.bytes, v.bytes + v.length,
                           [](unsigned char c) { return c >= 0x20 && c < 0x7f; });
  if (v.length < 2 || ascii) return nullptr;
  for (const fileformat& f : formats) {
    for (const magicbytes& m : f.magic) {
      if (f.compressed && m.at == 0 && v.length < m.bytes.size() &&
          std::memcmp(v.bytes, m.bytes.data(), v.length) == 0)
        return &f;
    }
  }
  return nullptr;
}

}  // namespace

filekind kindof(const filebytes& b) {
  const view v{reinterpret_cast<const unsigned char*>(b.head),
               std::min(b.headlength, formatheadsize)};
  const view tail{reinterpret_cast<const unsigned char*>(b.tail), b.taillength};
  for (const fileformat& f : formats) {
    if ((f.needsnul && b.nul < 0) || !fits(f, v, tail)) continue;
    bool cut = f.bgzf && cutbgzf(v, tail);
    return {cut ? shapecut : shapeformat, held(b, &f), 0};
  }
  const fileformat* named = cutbyname(b, v);
  if (named != nullptr) return {shapecut, named, 0};
  const fileformat* cut = b.whole ? cutmagic(v) : nullptr;
  if (cut != nullptr) return {shapecut, held(b, cut), 0};
  if (b.nul >= 0) return {shapebinary, nullptr, b.nul};
  return {shapetext, nullptr, 0};
}
