// SPDX-License-Identifier: MIT
// Preloaded into the program by the fault tests. read() hands out at most
// VARNHOLT_READ_LIMIT bytes a call, and after VARNHOLT_READ_FAILAFTER calls
// it fails with EIO, as a failing disk would in the middle of a file. After
// VARNHOLT_READ_SHRINKAFTER calls the file is cut to nothing, as another
// process may cut it while it is read. Each call first waits
// VARNHOLT_READ_DELAY_MS milliseconds, as a slow network file system would.
// This file defines read() itself, which fortified C library headers also
// define, inline.
#undef _FORTIFY_SOURCE
#include <dlfcn.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

using readfunction = ssize_t (*)(int, void*, size_t);
readfunction realread = nullptr;
long limit = -1;
long failafter = -1;
long delay = -1;
long shrinkafter = -1;
long calls = 0;

long setting(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::strtol(value, nullptr, 10) : -1;
}

}  // namespace

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" ssize_t read(int fd, void* buffer, size_t count) {
  if (realread == nullptr) {
    realread = reinterpret_cast<readfunction>(dlsym(RTLD_NEXT, "read"));
    limit = setting("VARNHOLT_READ_LIMIT");
    failafter = setting("VARNHOLT_READ_FAILAFTER");
    delay = setting("VARNHOLT_READ_DELAY_MS");
    shrinkafter = setting("VARNHOLT_READ_SHRINKAFTER");
  }
  if (shrinkafter >= 0 && calls == shrinkafter) {
    // The program holds it open for reading only: cut it by its name.
    char name[64];
    (void)std::snprintf(name, sizeof name, "/proc/self/fd/%d", fd);
    (void)truncate(name, 0);
  }
  if (delay > 0) usleep(static_cast<useconds_t>(delay * 1000));
  ++calls;
  if (failafter >= 0 && calls > failafter) {
    errno = EIO;
    return -1;
  }
  if (limit > 0 && count > static_cast<size_t>(limit)) count = static_cast<size_t>(limit);
  return realread(fd, buffer, count);
}
