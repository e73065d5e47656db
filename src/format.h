// SPDX-License-Identifier: MIT
// What a genotype file is by its first bytes, the first NUL in it and, for
// a file whose end can be read at once, its last bytes: text, whose line
// feeds are its records, or anything else, whose line feeds mean nothing.
#ifndef VARNHOLT_FORMAT_H_
#define VARNHOLT_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

// Bytes a format's files hold at an offset.
struct magicbytes {
  std::size_t at;
  std::string_view bytes;
  const char* note = nullptr;  // which of the format's files start so, where it has several
};

// The first bytes that take code to tell, each test named once.
enum formattest : int {
  testnone,
  testbzip2,          // "BZh", a block size, then the magic of a block or of the end
  testlzma,           // the properties xz and lzma write, and a size unknown or below 2^56
  testzstdskippable,  // a skippable frame first, as pzstd writes: 0x5? 2a 4d 18
  testcram,           // "CRAM", then a version from 1.0 to 4.1
  testplinkbed,       // PLINK's 6c 1b, then the mode of a PLINK 1 .bed: 0 or 1
  testplinkpgen,      // PLINK's 6c 1b, then a mode only PLINK 2 writes
  testbgen,           // offsets below 16 MiB, then "bgen"
  testparquet,        // "PAR1" at the start and at the very end
  testzlib,           // deflate with a 32 KiB window: 78, then a check of the two bytes
  // Text without a byte order mark, from four characters on: NULs in the
  // two highest bytes of every four, and in no whole four; or NULs in no
  // low byte of two, and in half the high ones at least.
  testutf32le,
  testutf32be,
  testutf16le,
  testutf16be,
};

// One format other than text: how it is named, how its files start, and
// how its records become text.
struct fileformat {
  const char* key = nullptr;      // unique and short, for the tests: "gzip"
  const char* name = nullptr;     // as an error names it: "gzip-compressed", "BCF (binary VCF)"
  const char* tool = nullptr;     // writes the text of a named file to standard output:
                                  // "gzip -dc"; nullptr where no one command does
  const char* package = nullptr;  // the Debian package of tool's (or plink's) program
  const char* suffixes = "";    // the endings of its files' names, blank-separated, where the text
                                // file drops one (".gz .bgz") or they tell what a file holds
  const char* text = "";        // what the text file's name gets in the place of a suffix
  const char* how = nullptr;    // where tool is nullptr: what to do instead, after "to count
                                // its records, "
  const char* list = nullptr;   // for an archive: a command that lists its members, one a line,
                                // '@' where the archive's name goes; nullptr for one stream
  const char* files = nullptr;  // and one that counts the files among those lines
  const char* plink = nullptr;  // for a PLINK file, beside the words: the program that writes
                                // its fileset's samples as a .ped file, "plink2"
  const char* fileset = nullptr;  // and the ending of the file's own name in the fileset: ".pgen"
  magicbytes magic[3] = {};       // its files start so, any of these; none where the test tells
  formattest test = testnone;     // or the named test that tells it
  std::string_view start = {};    // where the test tells: the first bytes all its files have
  bool needsnul = false;          // its magic is one a text file may start with: named only where
                                  // the file holds a NUL, as every real one does
  bool compressed = false;        // a whole file that is only the first bytes of its magic is cut
  bool bgzf = false;              // a BGZF file of it ends in BGZF's end-of-file block, or is cut
  const char* within = nullptr;   // the key of the format whose files, named with one of this
                                  // format's suffixes, hold this one: "gzip" for BCF
};

// Every format, in the order they are tried: the first that fits names
// the file.
extern const fileformat formats[];
extern const std::size_t formatcount;

// The format of that key; nullptr where none has it.
const fileformat* formatkeyed(std::string_view key);

// The length of the one of format's suffixes that name[0, length) ends
// with, in any case (X.BAM is a BAM's name), 0 where none. A compressed
// tar takes every compressed tar's suffix: a .tlz is lzma's or lzip's. A
// suffix is never the whole of the last component: neither .gz nor d/.gz
// has one, and no byte before name is read.
std::size_t suffixof(const fileformat& format, const char* name, std::size_t length);

// The words that say how a format's test tells it, as the manual gives
// them: "6c 1b, then 00 or 01".
const char* testwords(formattest test);

// What the bytes say.
enum fileshape : int {
  shapetext,    // text: its line feeds are its records
  shapeformat,  // a format other than text
  shapecut,     // a compressed format, cut short: no tool gives all of its records
  shapebinary,  // neither text nor a format this program knows: it holds a NUL
};

struct filekind {
  fileshape shape;
  const fileformat* format;  // for shapeformat and shapecut
  std::int64_t at;           // for shapebinary: the offset of the first NUL
};

// How many of a file's first bytes tell its format: tar's mark, at 257 to
// 262, reaches furthest.
inline constexpr std::size_t formatheadsize = 263;

// The bytes of a file that tell what it is.
struct filebytes {
  const char* head;  // its first bytes: formatheadsize of them, or all of a shorter file
  std::size_t headlength;
  const char* tail;  // its last bytes, where its end could be read at once; else none
  std::size_t taillength;
  bool whole;        // head holds the whole file
  bool regular;      // it is a regular file: its name is what the user keeps it under
  const char* name;  // its path, for the suffix of what a format holds; nullptr
                     // for standard input
  std::size_t namelength;
  std::int64_t nul;  // the offset of its first NUL; -1 where none was met
};

// Text is a file that holds no NUL and does not start as one of the
// formats: every other byte, control characters, Latin-1 and invalid UTF-8
// included, is text. A format is told by the first bytes alone, or also
// by a NUL anywhere where its magic is one text may start with, or also by
// its last bytes (Parquet's closing mark, BGZF's end-of-file block) where
// those were read; then by the file's name where a format's files hold
// another (a gzip file named .bcf is BCF, one named .tgz a tar archive). A
// file that is only the first bytes of a compressed format's magic, and a
// BGZF file whose end was read and is not BGZF's end-of-file block, are
// cut short, and so is a regular file shorter than the first bytes of the
// format its name says, and the start of them: an empty .vcf.gz is a
// download or a compression that died. Anything else holding a NUL is
// binary data.
filekind kindof(const filebytes& bytes);

#endif  // VARNHOLT_FORMAT_H_
