// SPDX-License-Identifier: MIT
#include "format.h"

#include <cstdint>
#include <cstring>

namespace {

// Compressed: the text is inside.
constexpr fileformat gzip{"gzip-compressed", "gzip -dc", ".gz .bgz", "", nullptr};
constexpr fileformat bzip2{"bzip2-compressed", "bzip2 -dc", ".bz2 .bz", "", nullptr};
constexpr fileformat xz{"xz-compressed", "xz -dc", ".xz", "", nullptr};
constexpr fileformat lzma{"lzma-compressed", "xz -dc", ".lzma", "", nullptr};
constexpr fileformat zstd{"zstd-compressed", "zstd -dc", ".zst .zstd", "", nullptr};
constexpr fileformat lz4{"lz4-compressed", "lz4 -dc", ".lz4", "", nullptr};
constexpr fileformat lzip{"lzip-compressed", "lzip -dc", ".lz", "", nullptr};
constexpr fileformat zip{"a zip archive", "unzip -p", ".zip", "", nullptr};
constexpr fileformat sevenzip{"a 7z archive", "7z x -so", ".7z", "", nullptr};
constexpr fileformat lzop{"lzop-compressed", "lzop -dc", ".lzo", "", nullptr};
constexpr fileformat compress{"compressed by Unix compress", "gzip -dc", ".Z", "", nullptr};
// Binary genotype and read formats: a tool writes text of them, or none
// does in one standard command.
constexpr fileformat bcf{"BCF (binary VCF)", "bcftools view", ".bcf", ".vcf", nullptr};
constexpr fileformat bam{"BAM (binary SAM)", "samtools view -h", ".bam", ".sam", nullptr};
constexpr fileformat cram{"CRAM", "samtools view -h", ".cram", ".sam", nullptr};
constexpr fileformat bed{"a PLINK 1 .bed file", nullptr, ".bed", "", "plink --bfile and --recode"};
constexpr fileformat pgen{"a PLINK 2 .pgen file", nullptr, ".pgen", "",
                          "plink2 --pfile and --export"};
constexpr fileformat bgen{"BGEN", nullptr, ".bgen", "", "bgenix -vcf or qctool"};

// What the stream holds once inflated: BCF and BAM are BGZF-compressed.
constexpr std::size_t innersize = 4;

struct Bits {
  const unsigned char* in;
  std::size_t length, at;
  std::uint32_t buffer;
  int count;
  bool broken;  // ran past the input, or met what deflate does not allow
};

int bits(Bits* s, int need) {
  while (s->count < need) {
    if (s->at == s->length) {
      s->broken = true;
      return 0;
    }
    s->buffer |= static_cast<std::uint32_t>(s->in[s->at++]) << s->count;
    s->count += 8;
  }
  int value = static_cast<int>(s->buffer & ((1u << need) - 1));
  s->buffer >>= need;
  s->count -= need;
  return value;
}

// A canonical Huffman code: how many codes of each length, and the symbols
// in code order.
struct Huffman {
  short count[16];
  short symbol[288];
};

void build(Huffman* h, const short* lengths, int n) {
  short offsets[16];
  std::memset(h->count, 0, sizeof h->count);
  for (int i = 0; i < n; ++i) ++h->count[lengths[i]];
  offsets[1] = 0;
  for (int len = 1; len < 15; ++len)
    offsets[len + 1] = static_cast<short>(offsets[len] + h->count[len]);
  for (int i = 0; i < n; ++i) {
    if (lengths[i] != 0) h->symbol[offsets[lengths[i]]++] = static_cast<short>(i);
  }
}

int decode(Bits* s, const Huffman* h) {
  int code = 0, first = 0, index = 0;
  for (int len = 1; len < 16; ++len) {
    code |= bits(s, 1);
    int count = h->count[len];
    if (code - count < first) return h->symbol[index + (code - first)];
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  s->broken = true;
  return 0;
}

constexpr short lengthbase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr short lengthextra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t distancebase[] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr short distanceextra[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                   6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Decodes one block's symbols until its end or a full out; false where the
// stream broke.
bool symbols(Bits* s, const Huffman* literals, const Huffman* distances, unsigned char* out,
             std::size_t size, std::size_t* made) {
  while (*made < size) {
    int symbol = decode(s, literals);
    if (s->broken) return false;
    if (symbol < 256) {
      out[(*made)++] = static_cast<unsigned char>(symbol);
      continue;
    }
    if (symbol == 256) return true;
    symbol -= 257;
    if (symbol >= 29) return false;
    int length = lengthbase[symbol] + bits(s, lengthextra[symbol]);
    int code = decode(s, distances);
    if (s->broken || code >= 30) return false;
    std::size_t distance =
        distancebase[code] + static_cast<std::size_t>(bits(s, distanceextra[code]));
    if (s->broken || distance > *made) return false;
    for (; length > 0 && *made < size; --length, ++*made) out[*made] = out[*made - distance];
  }
  return true;
}

// The code lengths of a dynamic block, then its symbols.
bool dynamic(Bits* s, unsigned char* out, std::size_t size, std::size_t* made) {
  constexpr short order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  int nlength = bits(s, 5) + 257, ndistance = bits(s, 5) + 1, ncode = bits(s, 4) + 4;
  if (s->broken || nlength > 286 || ndistance > 30) return false;
  short lengths[320] = {};
  for (int i = 0; i < ncode; ++i) lengths[order[i]] = static_cast<short>(bits(s, 3));
  Huffman codes, literals, distances;
  build(&codes, lengths, 19);
  int at = 0;
  while (at < nlength + ndistance && !s->broken) {
    int symbol = decode(s, &codes);
    if (symbol < 16) {
      lengths[at++] = static_cast<short>(symbol);
      continue;
    }
    short repeated = 0;
    int times = 0;
    if (symbol == 16) {
      if (at == 0) return false;
      repeated = lengths[at - 1];
      times = 3 + bits(s, 2);
    } else {
      times = symbol == 17 ? 3 + bits(s, 3) : 11 + bits(s, 7);
    }
    if (at + times > nlength + ndistance) return false;
    while (times-- > 0) lengths[at++] = repeated;
  }
  if (s->broken) return false;
  build(&literals, lengths, nlength);
  build(&distances, lengths + nlength, ndistance);
  return symbols(s, &literals, &distances, out, size, made);
}

bool fixed(Bits* s, unsigned char* out, std::size_t size, std::size_t* made) {
  short lengths[288 + 30];
  for (int i = 0; i < 288; ++i)
    lengths[i] = static_cast<short>(i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8);
  for (int i = 0; i < 30; ++i) lengths[288 + i] = 5;
  Huffman literals, distances;
  build(&literals, lengths, 288);
  build(&distances, lengths + 288, 30);
  return symbols(s, &literals, &distances, out, size, made);
}

bool stored(Bits* s, unsigned char* out, std::size_t size, std::size_t* made) {
  s->buffer = 0;
  s->count = 0;
  if (s->length - s->at < 4) return false;
  std::size_t length = s->in[s->at] | static_cast<std::size_t>(s->in[s->at + 1]) << 8;
  s->at += 4;
  while (length-- > 0 && *made < size) {
    if (s->at == s->length) return false;
    out[(*made)++] = s->in[s->at++];
  }
  return true;
}

// Where the deflate stream of the gzip member at head starts, or 0 where
// its header runs past length.
std::size_t deflatestart(const unsigned char* head, std::size_t length) {
  unsigned flags = head[3];
  std::size_t at = 10;
  if ((flags & 4) != 0) {  // extra field, as BGZF's
    if (length < at + 2) return 0;
    at += 2 + (head[at] | static_cast<std::size_t>(head[at + 1]) << 8);
  }
  for (unsigned flag = 8; flag <= 16; flag <<= 1) {  // a name, a comment
    if ((flags & flag) == 0) continue;
    while (at < length && head[at] != 0) ++at;
    ++at;
  }
  if ((flags & 2) != 0) at += 2;  // header CRC
  return at < length ? at : 0;
}

}  // namespace

std::size_t inflatehead(const unsigned char* in, std::size_t length, unsigned char* out,
                        std::size_t size) {
  Bits s{in, length, 0, 0, 0, false};
  std::size_t made = 0;
  for (bool last = false; !last && made < size;) {
    last = bits(&s, 1) != 0;
    int type = bits(&s, 2);
    if (s.broken) break;
    bool good = type == 0   ? stored(&s, out, size, &made)
                : type == 1 ? fixed(&s, out, size, &made)
                : type == 2 ? dynamic(&s, out, size, &made)
                            : false;
    if (!good) break;
  }
  return made;
}

const fileformat* formatof(const char* head, std::size_t length) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(head);
  // Magics with a NUL inside.
  constexpr char xzmagic[] = {'\xfd', '7', 'z', 'X', 'Z', '\0'};
  constexpr char lzopmagic[] = {'\x89', 'L', 'Z', 'O', '\0', '\r', '\n', '\x1a', '\n'};
  auto at = [&](std::size_t offset, const char* magic, std::size_t size) {
    return length >= offset + size && std::memcmp(bytes + offset, magic, size) == 0;
  };
  auto byte = [&](std::size_t offset) { return length > offset ? bytes[offset] : 0x100u; };
  if (at(0, "\x1f\x8b\x08", 3)) {
    unsigned char inner[innersize];
    std::size_t start = deflatestart(bytes, length);
    std::size_t made = start > 0 ? inflatehead(bytes + start, length - start, inner, innersize) : 0;
    if (made >= 4 && std::memcmp(inner, "BCF\2", 4) == 0) return &bcf;
    if (made >= 4 && std::memcmp(inner, "BAM\1", 4) == 0) return &bam;
    return &gzip;
  }
  if (at(0, "\x1f\x9d", 2)) return &compress;
  // bzip2: "BZh", the block size, then the magic of a block or of the end.
  if (at(0, "BZh", 3) && byte(3) >= '1' && byte(3) <= '9' &&
      (at(4, "1AY&SY", 6) || at(4, "\x17\x72\x45\x38\x50\x90", 6)))
    return &bzip2;
  if (at(0, xzmagic, sizeof xzmagic)) return &xz;
  // .lzma has no magic: the properties xz and lzma write, a dictionary of
  // a round size, and a size that is unknown (all ones) or below 2^56.
  if (byte(0) == 0x5d && byte(1) == 0 && length >= 13 &&
      (at(5, "\xff\xff\xff\xff\xff\xff\xff\xff", 8) || byte(12) == 0))
    return &lzma;
  if (at(0, "\x28\xb5\x2f\xfd", 4)) return &zstd;
  // A skippable frame first, as pzstd writes.
  if ((byte(0) & 0xf0) == 0x50 && at(1, "\x2a\x4d\x18", 3)) return &zstd;
  if (at(0, "\x04\x22\x4d\x18", 4) || at(0, "\x02\x21\x4c\x18", 4)) return &lz4;
  if (at(0, "LZIP\1", 5)) return &lzip;
  if (at(0, "PK\3\4", 4) || at(0, "PK\5\6", 4) || at(0, "PK\7\x8", 4)) return &zip;
  if (at(0, "7z\xbc\xaf\x27\x1c", 6)) return &sevenzip;
  if (at(0, lzopmagic, sizeof lzopmagic)) return &lzop;
  if (at(0, "BCF\2", 4) && (byte(4) == 1 || byte(4) == 2)) return &bcf;
  if (at(0, "BAM\1", 4)) return &bam;
  if (at(0, "CRAM", 4) && byte(4) >= 1 && byte(4) <= 4 && byte(5) <= 1) return &cram;
  if (at(0, "\x6c\x1b", 2)) {
    unsigned mode = byte(2);
    if (mode <= 1) return &bed;
    if ((mode >= 2 && mode <= 4) || mode == 0x10 || mode == 0x11 || mode == 0x20 || mode == 0x21)
      return &pgen;
  }
  // BGEN: the offset of the first variant and the header's length, both
  // below 16 MiB (a zero high byte, never text), then "bgen".
  if (at(16, "bgen", 4) && byte(3) == 0 && byte(7) == 0) return &bgen;
  return nullptr;
}
