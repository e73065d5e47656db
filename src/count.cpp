// SPDX-License-Identifier: MIT
#include "count.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstring>

#include "linefeeds.h"
#include "progress.h"

namespace {

// One reusable block: the count never holds more of the file than this,
// however long its lines. The size is bench/run.sh's to choose: it sweeps
// the block sizes, and the program's peak memory is about this block more
// than a program that reads nothing.
alignas(64) char block[countblocksize];

// The first bytes of what the count read, where a format shows.
char firstbytes[formathead];
std::size_t kept = 0;

// How often a path whose file comes and goes between the opens is tried.
constexpr int opentries = 4;

// Opens the path for reading, creating an empty file where nothing exists.
// Returns countdone, or countcreated for a new file, with *fd set, or the
// outcome with errno set.
int openorcreate(const char* path, int* fd) {
  int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY;
  for (int tries = 1;; ++tries) {
    *fd = open(path, flags);
    if (*fd >= 0) return countdone;
    if (errno != ENOENT) return countnotopened;
    // Create only where nothing exists: an O_CREAT open of an existing file
    // can be refused in sticky directories, and must never change it anyway.
    // O_EXCL never follows a symbolic link, so a dangling one planted at the
    // path cannot make the program create a file somewhere else.
    *fd = open(path, flags | O_CREAT | O_EXCL, 0666);
    if (*fd >= 0) return countcreated;
    // A path that ends in a slash cannot be created as a file; nothing is
    // there, which is what the user needs to know.
    if (errno == EISDIR) errno = ENOENT;
    if (errno != EEXIST) return countnotcreated;
    // Something is there after all: a dangling link, or a file another
    // process made between the two opens (and may have removed again).
    struct stat st;
    bool link = lstat(path, &st) == 0 && S_ISLNK(st.st_mode);
    if (link || tries == opentries) {
      *fd = open(path, flags);
      if (*fd >= 0) return countdone;
      return link && errno == ENOENT ? countdanglinglink : countnotopened;
    }
  }
}

// Opens the path, or takes standard input for a null one, and sets *start
// to where reading starts and *size to what is left to read of a regular
// file, -1 for anything else. Returns countdone or countcreated with *fd
// set, or the outcome with *error set.
int openinput(const char* path, int* fd, std::int64_t* start, std::int64_t* size, int* error) {
  *fd = 0;
  int ios = path != nullptr ? openorcreate(path, fd) : countdone;
  if (ios != countdone && ios != countcreated) {
    *error = errno;
    return ios;
  }
  struct stat st;
  // A directory opens on Linux but has no records to read.
  *error = fstat(*fd, &st) != 0 ? errno : (S_ISDIR(st.st_mode) ? EISDIR : 0);
  if (*error != 0) {
    if (path != nullptr) close(*fd);
    return countnotopened;
  }
  *size = -1;
  *start = 0;
  if (S_ISREG(st.st_mode)) {
    // Standard input may have been read from before this program began.
    off_t at = lseek(*fd, 0, SEEK_CUR);
    *start = at > 0 ? at : 0;
    *size = static_cast<std::int64_t>(st.st_size) - *start;
  }
#if VARNHOLT_HAVE_POSIX_FADVISE
  // A hint only, where the system takes it: the file is read once, in order.
  if (S_ISREG(st.st_mode)) posix_fadvise(*fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return ios;
}

// Keeps the first bytes read; a pipe may hand them over a few at a time.
void keephead(const char* data, std::size_t length) {
  for (std::size_t i = 0; i < length && kept < formathead; ++i) firstbytes[kept++] = data[i];
}

}  // namespace

void countblock(const char* data, std::size_t length, std::int64_t* linefeeds, char* lastbyte) {
  if (length == 0) return;
  *linefeeds += static_cast<std::int64_t>(countlinefeeds(data, length));
  *lastbyte = data[length - 1];
}

std::int64_t recordsof(std::int64_t linefeeds, char lastbyte) {
  return linefeeds + (lastbyte != '\n' ? 1 : 0);
}

int countrecords(const char* path, std::int64_t* records, const fileformat** format, int* error) {
  *records = 0;
  *format = nullptr;
  kept = 0;
  int fd = 0;
  std::int64_t start = 0, size = -1;
  int opened = openinput(path, &fd, &start, &size, error);
  if (opened != countdone && opened != countcreated) return opened;
  int ios = countdone;  // how the reading ends
  progressstart(size);
  std::int64_t done = 0;
  std::int64_t linefeeds = 0;
  char lastbyte = '\n';
  for (;;) {
    ssize_t n = read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = errno;
      ios = countreadfailed;
      break;
    }
    if (n == 0) break;
    keephead(block, static_cast<std::size_t>(n));
    countblock(block, static_cast<std::size_t>(n), &linefeeds, &lastbyte);
    done += n;
    progressupdate(done);
    // From here on the allocation size cannot fit whatever follows: the
    // rest of a file of many gigabytes need not be read to know it.
    if (linefeeds >= INT32_MAX) break;
  }
  // Gone from the terminal before the caller writes anything.
  progressend();
  // A file cut while it was read holds neither the records counted nor
  // those of its start: what was read is gone. One that grew is counted
  // as far as it had grown. Files of /proc say 0 bytes, and hold more.
  struct stat st;
  if (ios == countdone && size >= 0 && fstat(fd, &st) == 0 && st.st_size < start + done &&
      (start + size > 0 || st.st_size > 0)) {
    *error = 0;
    ios = countshrank;
  }
  if (path != nullptr) close(fd);
  // A line cut short by a failed read was never completed: it is not a record.
  *records = ios == countreadfailed ? linefeeds : recordsof(linefeeds, lastbyte);
  *format = formatof(firstbytes, kept);
  return ios == countdone ? opened : ios;
}

int allocationsize(std::int64_t records, std::int32_t* na) {
  if (records >= INT32_MAX) return 1;
  *na = static_cast<std::int32_t>(records + 1);
  return 0;
}
