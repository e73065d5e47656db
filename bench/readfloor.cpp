// SPDX-License-Identifier: MIT
// readfloor FILE [KIB]: reads FILE to its end into one block of KIB KiB
// (default 1024, the record count's block) and counts nothing. Its time is
// the floor for any line counter that reads through the page cache.
#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr std::size_t largest = 4096 * 1024;
alignas(64) char block[largest];
}  // namespace

int main(int argc, char** argv) {
  long kib = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 1024;
  if (argc < 2 || argc > 3 || kib < 1 || static_cast<std::size_t>(kib) * 1024 > largest) {
    std::fputs("usage: readfloor FILE [KIB], KIB from 1 to 4096\n", stderr);
    return 2;
  }
  std::size_t size = static_cast<std::size_t>(kib) * 1024;
  int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
#if VARNHOLT_HAVE_POSIX_FADVISE
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);  // as the record count does
#endif
  ssize_t n;
  while ((n = read(fd, block, size)) != 0) {
    if (n < 0 && errno != EINTR) {
      std::perror(argv[1]);
      return 1;
    }
  }
  close(fd);
  return 0;
}
