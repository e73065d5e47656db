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
// however long its lines. 1 MiB reads cost the kernel a quarter less than
// 256 KiB ones from a page cache of large folios, while the program's peak
// memory stays near 2 MiB (bench/run.sh sweeps the sizes).
alignas(64) char block[countblocksize];

// The first bytes of what the count read, where a compressed format shows.
constexpr std::size_t headsize = 16;
char firstbytes[headsize];
std::size_t kept = 0;

// How often a path whose file comes and goes between the opens is tried.
constexpr int opentries = 4;

// Opens the path for reading, creating an empty file where nothing exists.
// Returns countdone with *fd set, or the outcome with errno set.
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
    if (*fd >= 0) return countdone;
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

// Opens the path, or takes standard input for a null one, and sets *size
// to what is left to read of a regular file, -1 for anything else. Returns
// countdone with *fd set, or the outcome with *error set.
int openinput(const char* path, int* fd, std::int64_t* size, int* error) {
  *fd = 0;
  int ios = path != nullptr ? openorcreate(path, fd) : countdone;
  if (ios != countdone) {
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
  if (S_ISREG(st.st_mode)) {
    // Standard input may have been read from before this program began.
    off_t at = lseek(*fd, 0, SEEK_CUR);
    *size = static_cast<std::int64_t>(st.st_size) - (at > 0 ? at : 0);
  }
#if VARNHOLT_HAVE_POSIX_FADVISE
  // A hint only, where the system takes it: the file is read once, in order.
  if (S_ISREG(st.st_mode)) posix_fadvise(*fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  return countdone;
}

// Keeps the first bytes read; a pipe may hand them over a few at a time.
void keephead(const char* data, std::size_t length) {
  for (std::size_t i = 0; i < length && kept < headsize; ++i) firstbytes[kept++] = data[i];
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
  kept = 0;
  int fd = 0;
  std::int64_t size = -1;
  int ios = openinput(path, &fd, &size, error);
  if (ios != countdone) return ios;
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
  if (path != nullptr) close(fd);
  // A line cut short by a failed read was never completed: it is not a record.
  *records = ios == countdone ? recordsof(linefeeds, lastbyte) : linefeeds;
  return ios;
}

const char* countedformat(const char** tool) {
  return compressedformat(firstbytes, kept, tool);
}

const char* compressedformat(const char* head, std::size_t length, const char** tool) {
  constexpr char gzip[] = {'\x1f', '\x8b', '\x08'};  // BGZF, of samtools and tabix, too
  constexpr char xz[] = {'\xfd', '7', 'z', 'X', 'Z', '\0'};
  constexpr char zstd[] = {'\x28', '\xb5', '\x2f', '\xfd'};
  // bzip2: "BZh", the block size, then the magic of a block or of the end.
  constexpr char bzipblock[] = {'1', 'A', 'Y', '&', 'S', 'Y'};
  constexpr char bzipend[] = {'\x17', '\x72', '\x45', '\x38', '\x50', '\x90'};
  auto at = [&](std::size_t offset, const char* magic, std::size_t size) {
    return length >= offset + size && std::memcmp(head + offset, magic, size) == 0;
  };
  bool bzip2 = at(0, "BZh", 3) && length > 3 && head[3] >= '1' && head[3] <= '9' &&
               (at(4, bzipblock, sizeof bzipblock) || at(4, bzipend, sizeof bzipend));
  const char* format = nullptr;
  if (at(0, gzip, sizeof gzip)) {
    format = "gzip";
    *tool = "zcat";
  } else if (bzip2) {
    format = "bzip2";
    *tool = "bzcat";
  } else if (at(0, xz, sizeof xz)) {
    format = "xz";
    *tool = "xzcat";
  } else if (at(0, zstd, sizeof zstd)) {
    format = "zstd";
    *tool = "zstdcat";
  }
  return format;
}

int allocationsize(std::int64_t records, std::int32_t* na) {
  if (records >= INT32_MAX) return 1;
  *na = static_cast<std::int32_t>(records + 1);
  return 0;
}
