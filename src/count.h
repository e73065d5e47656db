// SPDX-License-Identifier: MIT
// The genotype record count: how many records (lines) a genotype file holds.
#ifndef VARNHOLT_COUNT_H_
#define VARNHOLT_COUNT_H_

#include <cstddef>
#include <cstdint>

// How a count ended: the count's integer status.
enum countoutcome : int {
  countdone = 0,          // read to its end
  countnotopened = 1,     // what is at the path cannot be opened; no records
  countreadfailed = 2,    // a read failed before the end
  countdanglinglink = 3,  // a symbolic link to nothing; no records
  countnotcreated = 4,    // nothing is at the path, and no file could be made
  countcreated = 5,       // nothing was at the path: an empty file is now
  countshrank = 6,        // read to its end, which came before what was read
};

// The count reads a file in blocks of this many bytes.
inline constexpr std::size_t countblocksize = std::size_t{1024} * 1024;
// It keeps the first and the last bytes it read, which tell what the file is.
inline constexpr std::size_t countheadsize = std::size_t{64} * 1024;
inline constexpr std::size_t counttailsize = 32;

// All a count hands back.
struct countresult {
  countoutcome ios;
  std::int64_t records;  // after a failed read, the records completed before it
  std::int64_t bytes;    // read in all
  bool ended;            // read to the file's end
  int error;             // for a failure, its errno
  const char* head;      // the first bytes read, headlength of them, where they were read
  std::size_t headlength;
  char tail[counttailsize];  // the last bytes read, taillength of them
  std::size_t taillength;
  // Where a run of NUL bytes of a page or more, as a crashed write or a
  // full file server leaves in a text file, begins; -1 where none was met.
  // Every 4096th byte is looked at, which costs nothing next to the read.
  std::int64_t nulrun;
};

// Opens the file at path for reading, creating it empty (mode 0666 less the
// umask) where nothing exists there, counts its records and closes it. A
// null path is standard input, read from where it stands and left open. A
// directory is not opened, and a file is never created through a symbolic
// link. A last line without a line feed is a record. Counting stops once
// the records reach INT32_MAX, where no allocation size fits any more. A
// regular file that ends below the bytes read from it was cut while it was
// read: countshrank. Returns result->ios. result->head stays valid until
// the next count.
countoutcome countrecords(const char* path, countresult* result);

// Feeds one block of a file to a running count: the line feeds seen so far
// and the last byte seen ('\n' before the first block).
void countblock(const char* data, std::size_t length, std::int64_t* linefeeds, char* lastbyte);

// The records of a file fed whole through countblock().
std::int64_t recordsof(std::int64_t linefeeds, char lastbyte);

// The allocation size reported for a file of that many records: one more.
// Returns 0, or 1 when that does not fit a 32-bit count (*na untouched).
int allocationsize(std::int64_t records, std::int32_t* na);

#endif  // VARNHOLT_COUNT_H_
