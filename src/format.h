// SPDX-License-Identifier: MIT
// What a genotype file is by the bytes a count read first and last: text,
// whose line feeds are its records, or anything else, whose line feeds
// mean nothing.
#ifndef VARNHOLT_FORMAT_H_
#define VARNHOLT_FORMAT_H_

#include <cstddef>
#include <cstdint>

// One format other than text, and how its records become text.
struct fileformat {
  const char* name;      // as an error names it: "gzip-compressed", "BCF (binary VCF)"
  const char* tool;      // writes the text of a named file to standard output: "gzip -dc";
                         // nullptr where no one command does
  const char* suffixes;  // the endings of its files' names, blank-separated: ".gz .bgz"
  const char* text;      // the ending of the text file made from it: "" drops the suffix
  const char* how;       // where tool is nullptr: what to do instead, after "to count its
                         // records, "
  const char* files;     // for an archive: a command that prints how many files it holds,
                         // '@' where the archive's name goes; nullptr for one stream
};

// What the bytes say.
enum fileshape : int {
  shapetext,    // text: its line feeds are its records
  shapeformat,  // a format other than text
  shapecut,     // a compressed format, cut short: no tool gives all of its records
  shapebinary,  // neither text nor a format this program knows
};

struct filekind {
  fileshape shape;
  const fileformat* format;  // for shapeformat and shapecut
  std::int64_t at;           // for shapebinary: the offset of the first byte text never holds
  unsigned char byte;        // and that byte
};

// The bytes of a file that tell what it is: at least its first textchecked
// bytes (all of a shorter file) and its last few.
struct filebytes {
  const char* head;
  std::size_t headlength;
  const char* tail;  // the last bytes read; where ended, the file's last
  std::size_t taillength;
  bool whole;        // head holds the whole file
  bool ended;        // the file was read to its end
  const char* name;  // its path, for a gzip member's suffix; nullptr for standard input
  std::size_t namelength;
  std::int64_t nulrun;  // where a NUL was met past the first bytes; -1 where none
};

// How many of a file's first bytes must be text for the file to be text.
inline constexpr std::size_t textchecked = std::size_t{64} * 1024;

// Text holds no NUL and no C0 control but tab, line feed, vertical tab,
// form feed and carriage return; anything from 0x20 up (Latin-1, UTF-8 and
// its byte order mark included) is text. A format is told by its magic
// bytes first, so that UTF-16 and UTF-32 text, and formats whose first
// bytes are all text, are named. A text file that merely starts with the
// letters of a magic ("BZh", "LZIP", "CRAM", "PAR1", "7z") stays text. A
// gzip member is named by the file's suffix where that is .bcf, .bam,
// .tbi, .csi or .crai. A file that is only the first bytes of a compressed
// format's magic, or a BGZF file read to its end that does not end in
// BGZF's end-of-file block, is cut short. Text is binary data all the same
// where a NUL was met further on.
filekind kindof(const filebytes& bytes);

#endif  // VARNHOLT_FORMAT_H_
