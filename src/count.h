// SPDX-License-Identifier: MIT
// The genotype record count: how many records (lines) a genotype file holds.
#ifndef VARNHOLT_COUNT_H_
#define VARNHOLT_COUNT_H_

#include <cstddef>
#include <cstdint>

// How a count ended: the count's integer status.
enum countoutcome : int {
  countdone = 0,          // read as far as asked
  countnotopened = 1,     // what is at the path cannot be opened; no records
  countreadfailed = 2,    // a read failed before the end
  countdanglinglink = 3,  // a symbolic link to nothing; no records
  countnotcreated = 4,    // nothing is at the path, and no file could be made
  countshrank = 5,        // read to its end, which came before what was read
};

// The count reads a file in blocks of this many bytes.
inline constexpr std::size_t countblocksize = std::size_t{1024} * 1024;
// It keeps the first bytes it read, and a regular file's last bytes: they
// tell what the file is.
inline constexpr std::size_t countheadsize = 4096;
inline constexpr std::size_t counttailsize = 32;

// All a count hands back but its outcome, which each call returns.
struct countresult {
  bool created;          // nothing was at the path: the file is new, and empty
  std::int64_t records;  // read to the end: the records; after a failed read or at the
                         // first NUL, those completed before it
  std::int64_t bytes;    // read in all
  bool ended;            // read to the file's end
  int error;             // for a failure, its errno
  std::int64_t nul;      // the offset of the first NUL read; -1 where none was
  const char* head;      // the first bytes read, headlength of them, where they were read
  std::size_t headlength;
  // A regular file's last bytes, taillength of them, read at the start;
  // none for anything else, whose end comes only when it is read.
  char tail[counttailsize];
  std::size_t taillength;
};

// Opens the file at path for reading, creating it empty (mode 0666 less the
// umask) where nothing exists there, and reads until it holds its first
// `first` bytes (at most countheadsize), or to its end. A null path is
// standard input, read from where it stands and left open. A directory is
// not opened, and a file is never created through a symbolic link.
// Returns countdone where the file is open for countrest() or countstop(),
// any other outcome where it is closed. result->head stays valid until the
// next count.
countoutcome countstart(const char* path, std::size_t first, countresult* result);

// Reads on from where countstart() stopped, counting the records, to the
// end or the first NUL, and closes the file. A last line without a line
// feed is a record. Counting stops once the records reach INT32_MAX, where
// no allocation size fits any more. A regular file that ends below the
// bytes read from it was cut while it was read: countshrank.
countoutcome countrest(countresult* result);

// Closes the file without reading on: its first bytes said enough.
void countstop(countresult* result);

// Feeds one block of a file to a running count: the line feeds seen so far
// and the last byte seen ('\n' before the first block). Returns the offset
// of the block's first NUL, before which the line feeds were counted, or
// length where it holds none.
std::size_t countblock(const char* data, std::size_t length, std::int64_t* linefeeds,
                       char* lastbyte);

// The records of a file fed whole through countblock().
std::int64_t recordsof(std::int64_t linefeeds, char lastbyte);

// The allocation size reported for a file of that many records: one more.
// Returns 0, or 1 when that does not fit a 32-bit count (*na untouched).
int allocationsize(std::int64_t records, std::int32_t* na);

#endif  // VARNHOLT_COUNT_H_
