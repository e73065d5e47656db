// SPDX-License-Identifier: MIT
// The genotype record count: how many records (lines) a genotype file holds.
#ifndef VARNHOLT_COUNT_H_
#define VARNHOLT_COUNT_H_

#include <cstddef>
#include <cstdint>

// Outcomes of countrecords().
inline constexpr int countdone = 0;          // read to its end
inline constexpr int countnotopened = 1;     // what is at the path cannot be opened; no records
inline constexpr int countreadfailed = 2;    // a read failed before the end
inline constexpr int countdanglinglink = 3;  // a symbolic link to nothing; no records
inline constexpr int countnotcreated = 4;    // nothing is at the path, and no file could be made

// The count reads a file in blocks of this many bytes.
inline constexpr std::size_t countblocksize = std::size_t{1024} * 1024;

// Opens the file at path for reading, creating it empty (mode 0666 less the
// umask) where nothing exists there, counts its records and closes it. A
// null path is standard input, read from where it stands and left open. A
// directory is not opened, and a file is never created through a symbolic
// link. Sets *records and, unless countdone, *error to the errno of the
// failure. After a failed read, *records holds the records completed
// before it. A last line without a line feed is a record. Counting stops
// once *records reaches INT32_MAX, where no allocation size fits any more.
int countrecords(const char* path, std::int64_t* records, int* error);

// The compressed format of what the last countrecords() read, by its first
// bytes, as compressedformat() tells it; nullptr where nothing was read.
const char* countedformat(const char** tool);

// The compressed format whose magic bytes a file starts with ("gzip",
// "bzip2", "xz" or "zstd"), setting *tool to the program that writes out
// its content; nullptr (*tool untouched) for anything else.
const char* compressedformat(const char* head, std::size_t length, const char** tool);

// Feeds one block of a file to a running count: the line feeds seen so far
// and the last byte seen ('\n' before the first block).
void countblock(const char* data, std::size_t length, std::int64_t* linefeeds, char* lastbyte);

// The records of a file fed whole through countblock().
std::int64_t recordsof(std::int64_t linefeeds, char lastbyte);

// The allocation size reported for a file of that many records: one more.
// Returns 0, or 1 when that does not fit a 32-bit count (*na untouched).
int allocationsize(std::int64_t records, std::int32_t* na);

#endif  // VARNHOLT_COUNT_H_
