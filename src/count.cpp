// SPDX-License-Identifier: MIT
#include "count.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "linefeeds.h"
#include "progress.h"

namespace {

// One reusable block: the count never holds more of the file than this,
// however long its lines. Its first bytes keep the file's first bytes, so
// that they cost no copy and no memory of their own. The size is
// bench/run.sh's to choose: it sweeps the block sizes, and the program's
// peak memory is about this block more than a program that reads nothing.
alignas(64) char block[countblocksize];

// How often a path whose file comes and goes between the opens is tried.
constexpr int opentries = 4;

// Opens the path for reading, creating an empty file where nothing exists
// (*created). Returns countdone with *fd set, or the outcome with errno set.
countoutcome openorcreate(const char* path, int* fd, bool* created) {
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
    *created = *fd >= 0;
    if (*created) return countdone;
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

// What a count holds between countstart() and countrest(): one file at a
// time.
struct openfile {
  int fd;
  bool named;          // opened here, and closed here
  std::int64_t start;  // where reading started, in a regular file
  std::int64_t size;   // what was left to read of a regular file; -1 for anything else
  std::int64_t linefeeds;
  char lastbyte;
  std::size_t firstread;  // what the first read took, at the start of the block
};
openfile file;

// Opens the path, or takes standard input for a null one, into f: where
// reading starts and what is left to read of a regular file. Returns
// countdone, or the outcome with result->error set.
countoutcome openinput(const char* path, openfile* f, countresult* result) {
  f->fd = 0;
  countoutcome ios = path != nullptr ? openorcreate(path, &f->fd, &result->created) : countdone;
  if (ios != countdone) {
    result->error = errno;
    return ios;
  }
  struct stat st;
  // A directory opens on Linux but has no records to read.
  result->error = fstat(f->fd, &st) != 0 ? errno : (S_ISDIR(st.st_mode) ? EISDIR : 0);
  if (result->error != 0) {
    if (path != nullptr) close(f->fd);
    return countnotopened;
  }
  if (S_ISREG(st.st_mode)) {
    // Standard input may have been read from before this program began.
    off_t at = lseek(f->fd, 0, SEEK_CUR);
    f->start = at > 0 ? at : 0;
    f->size = static_cast<std::int64_t>(st.st_size) - f->start;
  }
#if VARNHOLT_HAVE_POSIX_FADVISE
  // A hint only, where the system takes it: the file is read once, in order.
  if (S_ISREG(st.st_mode)) posix_fadvise(f->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return countdone;
}

// A regular file's last bytes: its end can be read at once. Where the
// first read took all of a small file, they are in the block already.
void readtail(countresult* result) {
  if (file.size <= 0) return;
  auto n = static_cast<std::size_t>(std::min<std::int64_t>(file.size, counttailsize));
  if (result->bytes == file.size && result->bytes <= static_cast<std::int64_t>(file.firstread)) {
    std::memcpy(result->tail, block + result->bytes - static_cast<std::int64_t>(n), n);
    result->taillength = n;
    return;
  }
  ssize_t got = pread(file.fd, result->tail, n, file.start + file.size - static_cast<off_t>(n));
  result->taillength = got > 0 ? static_cast<std::size_t>(got) : 0;
}

// Reads until the first `first` bytes are held or, for 0, to the first NUL;
// either way no further than the end, or than a count that no allocation
// size fits. Returns countdone or countreadfailed. The first bytes stay at
// the start of the block, where they were read, which a pipe may hand over
// a few at a time; later reads go after them.
countoutcome readon(countresult* result, std::size_t first) {
  while (!result->ended && (first > 0 ? result->headlength < first : result->nul < 0)) {
    char* at = block + result->headlength;
    ssize_t n = read(file.fd, at, sizeof block - result->headlength);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result->error = errno;
      return countreadfailed;
    }
    result->ended = n == 0;
    if (n == 0) return countdone;
    auto length = static_cast<std::size_t>(n);
    if (result->bytes == 0) file.firstread = length;
    if (result->nul < 0) {
      std::size_t nul = countblock(at, length, &file.linefeeds, &file.lastbyte);
      if (nul < length) result->nul = result->bytes + static_cast<std::int64_t>(nul);
    }
    result->headlength += std::min(length, countheadsize - result->headlength);
    result->bytes += n;
    progressupdate(result->bytes, progressclock());
    // From here on the allocation size cannot fit whatever follows: the
    // rest of a file of many gigabytes need not be read to know it.
    if (file.linefeeds >= INT32_MAX) return countdone;
  }
  return countdone;
}

// Closes the file and sets the records; returns the outcome it is given.
countoutcome finish(countresult* result, countoutcome ios) {
  // Gone from the terminal before the caller writes anything.
  progressend();
  if (file.named) close(file.fd);
  file.named = false;
  // A line cut short by a failed read, or by a NUL, was never completed:
  // it is not a record.
  bool cut = ios == countreadfailed || result->nul >= 0;
  result->records = cut ? file.linefeeds : recordsof(file.linefeeds, file.lastbyte);
  return ios;
}

}  // namespace

std::size_t countblock(const char* data, std::size_t length, std::int64_t* linefeeds,
                       char* lastbyte) {
  if (length == 0) return 0;
  linefeedscan scan = countlinefeeds(data, length);
  *linefeeds += static_cast<std::int64_t>(scan.linefeeds);
  if (scan.nul == length) *lastbyte = data[length - 1];
  return scan.nul;
}

std::int64_t recordsof(std::int64_t linefeeds, char lastbyte) {
  return linefeeds + (lastbyte != '\n' ? 1 : 0);
}

countoutcome countstart(const char* path, std::size_t first, countresult* result) {
  result->created = false;
  result->records = 0;
  result->bytes = 0;
  result->ended = false;
  result->error = 0;
  result->nul = -1;
  result->head = block;
  result->headlength = 0;
  result->taillength = 0;
  file = {0, path != nullptr, 0, -1, 0, '\n', 0};
  countoutcome ios = openinput(path, &file, result);
  if (ios != countdone) return ios;
  progressstart(file.size, progressclock());
  ios = readon(result, std::min(first, countheadsize));
  if (ios != countdone) return finish(result, ios);
  readtail(result);
  return countdone;
}

countoutcome countrest(countresult* result) {
  countoutcome ios = readon(result, 0);
  // A file cut while it was read holds neither the records counted nor
  // those of its start: what was read is gone. One that grew is counted
  // as far as it had grown. Files of /proc say 0 bytes, and hold more.
  struct stat st;
  if (ios == countdone && result->ended && file.size >= 0 && fstat(file.fd, &st) == 0 &&
      st.st_size < file.start + result->bytes && (file.start + file.size > 0 || st.st_size > 0)) {
    ios = countshrank;
  }
  return finish(result, ios);
}

void countstop(countresult* result) {
  finish(result, countdone);
}

int allocationsize(std::int64_t records, std::int32_t* na) {
  if (records >= INT32_MAX) return 1;
  *na = static_cast<std::int32_t>(records + 1);
  return 0;
}
