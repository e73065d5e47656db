// readfloor FILE: reads FILE to its end into one 256 KiB block, as the
// record count does, and counts nothing. Its time is the floor for any
// line counter that reads through the page cache.
#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

alignas(64) static char block[256 * 1024];

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: readfloor FILE\n", stderr);
    return 2;
  }
  int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
#if VARNHOLT_HAVE_POSIX_FADVISE
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);  // as the record count does
#endif
  ssize_t n;
  while ((n = read(fd, block, sizeof block)) != 0) {
    if (n < 0 && errno != EINTR) {
      std::perror(argv[1]);
      return 1;
    }
  }
  close(fd);
  return 0;
}
