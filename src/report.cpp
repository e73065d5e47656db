// SPDX-License-Identifier: MIT
#include "report.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

// A line of up to this many bytes goes out in one write(), whole, whatever
// else writes to the same file. A longer one, a diagnostic that quotes a
// long name twice, goes out in pieces of this size.
char line[4096];
std::size_t used = 0;
int failure = 0;

int writeall(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    ssize_t n = write(fd, data, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return 0;
}

void flush(int fd) {
  if (failure == 0) failure = writeall(fd, line, used);
  used = 0;
}

void put(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    if (used == sizeof line) flush(fd);
    std::size_t room = sizeof line - used;
    std::size_t n = length < room ? length : room;
    std::memcpy(line + used, data, n);
    used += n;
    data += n;
    length -= n;
  }
}

void begin(int fd, const char* label) {
  used = 0;
  failure = 0;
  put(fd, " ", 1);
  put(fd, label, std::strlen(label));
}

int end(int fd) {
  put(fd, "\n", 1);
  flush(fd);
  return failure;
}

}  // namespace

int reportlabel(int fd, const char* label) {
  begin(fd, label);
  return end(fd);
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the label before its value, as printed
int reporttext(int fd, const char* label, const char* text, std::size_t length) {
  begin(fd, label);
  put(fd, text, length);
  return end(fd);
}

int reportinteger(int fd, const char* label, std::int32_t value) {
  begin(fd, label);
  // One blank, then the value right-aligned in eleven characters, which hold
  // every 32-bit value with its sign.
  char field[12];
  std::memset(field, ' ', sizeof field);
  std::int64_t magnitude = value < 0 ? -static_cast<std::int64_t>(value) : value;
  std::size_t at = sizeof field;
  do {
    field[--at] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  if (value < 0) field[--at] = '-';
  put(fd, field, sizeof field);
  return end(fd);
}

int reportverbatim(int fd, const char* text) {
  used = 0;
  failure = 0;
  put(fd, text, std::strlen(text));
  flush(fd);
  return failure;
}
