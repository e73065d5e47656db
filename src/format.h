// SPDX-License-Identifier: MIT
// What a genotype file is by its first bytes: text, whose line feeds are its
// records, or a compressed or binary format, whose line feeds mean nothing.
#ifndef VARNHOLT_FORMAT_H_
#define VARNHOLT_FORMAT_H_

#include <cstddef>

// One format other than text, and how its records become text.
struct fileformat {
  const char* name;      // as an error names it: "gzip-compressed", "BCF (binary VCF)"
  const char* tool;      // writes the text to standard output: "gzip -dc"; nullptr where
                         // no one command does
  const char* suffixes;  // the endings of its files' names, blank-separated: ".gz .bgz"
  const char* text;      // the ending of the text file made from it: "" drops the suffix
  const char* how;       // where tool is nullptr: what gives text
};

// How many bytes of a file's start formatof() looks at, at the most: a
// gzip member's header and the start of its deflate stream.
inline constexpr std::size_t formathead = 512;

// The format whose magic bytes head[0, length) starts with, or nullptr for
// text. A text file that merely starts with the letters of a magic ("BZh",
// "LZIP", "CRAM", "BCF", "PK", "bgen") is text. A gzip member (BGZF too)
// holding BCF or BAM is that binary format.
const fileformat* formatof(const char* head, std::size_t length);

// Inflates the start of the raw deflate stream in[0, length) into out, at
// most size bytes; returns how many came out before the stream ended, broke
// or ran past length.
std::size_t inflatehead(const unsigned char* in, std::size_t length, unsigned char* out,
                        std::size_t size);

#endif  // VARNHOLT_FORMAT_H_
