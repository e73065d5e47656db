// SPDX-License-Identifier: MIT
// The genotype record count: how many records (lines) a genotype file holds.
#ifndef VARNHOLT_COUNT_H_
#define VARNHOLT_COUNT_H_

#include <cstddef>
#include <cstdint>

#include "format.h"

// Outcomes of countrecords().
inline constexpr int countdone = 0;          // read to its end
inline constexpr int countnotopened = 1;     // what is at the path cannot be opened; no records
inline constexpr int countreadfailed = 2;    // a read failed before the end
inline constexpr int countdanglinglink = 3;  // a symbolic link to nothing; no records
inline constexpr int countnotcreated = 4;    // nothing is at the path, and no file could be made
inline constexpr int countcreated = 5;       // nothing was at the path: an empty file is now
inline constexpr int countshrank = 6;        // read to its end, which came before what was read

// The count reads a file in blocks of this many bytes.
inline constexpr std::size_t countblocksize = std::size_t{1024} * 1024;

// Opens the file at path for reading, creating it empty (mode 0666 less the
// umask) where nothing exists there, counts its records and closes it. A
// null path is standard input, read from where it stands and left open. A
// directory is not opened, and a file is never created through a symbolic
// link. Sets *records, *format to what the first bytes read say the file
// is (nullptr for text) and, for a failure, *error to its errno. After a
// failed read, *records holds the records completed before it. A last line
// without a line feed is a record. Counting stops once *records reaches
// INT32_MAX, where no allocation size fits any more. A regular file that
// ends below the bytes read from it was cut while it was read: countshrank.
int countrecords(const char* path, std::int64_t* records, const fileformat** format, int* error);

// Feeds one block of a file to a running count: the line feeds seen so far
// and the last byte seen ('\n' before the first block).
void countblock(const char* data, std::size_t length, std::int64_t* linefeeds, char* lastbyte);

// The records of a file fed whole through countblock().
std::int64_t recordsof(std::int64_t linefeeds, char lastbyte);

// The allocation size reported for a file of that many records: one more.
// Returns 0, or 1 when that does not fit a 32-bit count (*na untouched).
int allocationsize(std::int64_t records, std::int32_t* na);

#endif  // VARNHOLT_COUNT_H_
