// SPDX-License-Identifier: MIT
// Any label, text and integer: each line is exactly one blank, the label,
// then the text, or one blank and the integer right-aligned in eleven
// characters, then one line feed.
#include <sys/mman.h>
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "report.h"

namespace {

std::string lineswritten(int fd) {
  std::string all;
  off_t size = lseek(fd, 0, SEEK_CUR);
  all.resize(static_cast<std::size_t>(size));
  if (pread(fd, all.data(), all.size(), 0) != size) std::abort();
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  std::int32_t value;
  std::memcpy(&value, data, sizeof value);
  std::size_t labelsize = data[4];
  data += 5;
  size -= 5;
  if (labelsize > size) labelsize = size;
  // A label is a C string: it ends at its first NUL.
  std::string label(reinterpret_cast<const char*>(data), labelsize);
  label = label.c_str();
  std::string text(reinterpret_cast<const char*>(data) + labelsize, size - labelsize);

  static int fd = memfd_create("report", 0);
  if (fd < 0) std::abort();
  if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) std::abort();
  if (reportlabel(fd, label.c_str()) != 0) std::abort();
  if (reporttext(fd, label.c_str(), text.data(), text.size()) != 0) std::abort();
  if (reportinteger(fd, label.c_str(), value) != 0) std::abort();

  char number[32];
  // Eleven characters hold every 32-bit value: the field never grows.
  if (std::snprintf(number, sizeof number, "%11d", static_cast<int>(value)) != 11) std::abort();
  std::string expected =
      " " + label + "\n" + " " + label + text + "\n" + " " + label + " " + number + "\n";
  if (lineswritten(fd) != expected) std::abort();
  return 0;
}
