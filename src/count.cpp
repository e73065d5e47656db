// SPDX-License-Identifier: MIT
#include "count.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>

#include "linefeeds.h"
#include "progress.h"

namespace {

// One reusable block: the count never holds more of the file than this,
// however long its lines. 1 MiB reads cost the kernel a quarter less than
// 256 KiB ones from a page cache of large folios, while the program's peak
// memory stays near 2 MiB (bench/run.sh sweeps the sizes).
alignas(64) char block[1024 * 1024];

// Returns an open descriptor and sets *size to the size of a regular file,
// -1 for anything else; or returns -1 with *error set, or -2 where the path
// is a symbolic link to nothing.
int openorcreate(const char* path, int* error, std::int64_t* size) {
  int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY;
  int fd = open(path, flags);
  // Create only where nothing exists: an O_CREAT open of an existing file
  // can be refused in sticky directories, and must never change it anyway.
  // O_EXCL never follows a symbolic link, so a dangling one planted at the
  // path cannot make the program create a file somewhere else.
  if (fd < 0 && errno == ENOENT) {
    fd = open(path, flags | O_CREAT | O_EXCL, 0666);
    // Something is there after all: a file made by another process between
    // the two opens, which is opened as it is, or a dangling link.
    if (fd < 0 && errno == EEXIST) {
      fd = open(path, flags);
      if (fd < 0 && errno == ENOENT) {
        *error = ENOENT;
        return -2;
      }
    }
    // A path that ends in a slash cannot be created as a file; nothing is
    // there, which is what the user needs to know.
    if (fd < 0 && errno == EISDIR) errno = ENOENT;
  }
  if (fd < 0) {
    *error = errno;
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    *error = errno;
    close(fd);
    return -1;
  }
  // A directory opens on Linux but has no records to read.
  if (S_ISDIR(st.st_mode)) {
    *error = EISDIR;
    close(fd);
    return -1;
  }
  *size = S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : -1;
#if VARNHOLT_HAVE_POSIX_FADVISE
  // A hint only, where the system takes it: the file is read once, in order.
  if (S_ISREG(st.st_mode)) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return fd;
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

int countrecords(const char* path, std::int64_t* records, int* error) {
  *records = 0;
  std::int64_t size = -1;
  int fd = openorcreate(path, error, &size);
  if (fd == -2) return countdanglinglink;
  if (fd < 0) return countnotopened;
  progressstart(size);
  std::int64_t done = 0;
  std::int64_t linefeeds = 0;
  char lastbyte = '\n';
  int ios = countdone;
  for (;;) {
    ssize_t n = read(fd, block, sizeof block);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = errno;
      ios = countreadfailed;
      break;
    }
    if (n == 0) break;
    countblock(block, static_cast<std::size_t>(n), &linefeeds, &lastbyte);
    done += n;
    progressupdate(done);
    // From here on the allocation size cannot fit whatever follows: the
    // rest of a file of many gigabytes need not be read to know it.
    if (linefeeds >= INT32_MAX) break;
  }
  // Gone from the terminal before the caller writes anything.
  progressend();
  close(fd);
  // A line cut short by a failed read was never completed: it is not a record.
  *records = ios == countdone ? recordsof(linefeeds, lastbyte) : linefeeds;
  return ios;
}

int allocationsize(std::int64_t records, std::int32_t* na) {
  if (records >= INT32_MAX) return 1;
  *na = static_cast<std::int32_t>(records + 1);
  return 0;
}
