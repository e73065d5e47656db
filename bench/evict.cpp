// SPDX-License-Identifier: MIT
// evict FILE...: drops the files' pages from the page cache, so that the
// next read of them comes from the disk. Needs no root: it only advises the
// kernel about files the caller may read.
#include <fcntl.h>
#include <unistd.h>
#include <cstdio>

int main(int argc, char** argv) {
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    int fd = open(argv[i], O_RDONLY | O_CLOEXEC);
    // Pages not yet written back cannot be dropped: write them first.
    if (fd < 0 || fdatasync(fd) != 0 || posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0) {
      std::perror(argv[i]);
      status = 1;
    }
    if (fd >= 0) close(fd);
  }
  return status;
}
