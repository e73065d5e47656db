// SPDX-License-Identifier: MIT
#include "report.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <string>

namespace {

// Runs one writer call against a pipe and returns what it wrote.
template <typename Write>
std::string captured(Write write) {
  int ends[2];
  EXPECT_EQ(pipe(ends), 0);
  EXPECT_EQ(write(ends[1]), 0);
  close(ends[1]);
  std::string out;
  char buffer[8192];
  ssize_t n;
  while ((n = read(ends[0], buffer, sizeof buffer)) > 0)
    out.append(buffer, static_cast<std::size_t>(n));
  close(ends[0]);
  return out;
}

TEST(Report, LaysOutEveryKindOfLine) {
  struct Case {
    std::string line;
    std::string expected;
  };
  const std::string path = "geno.txt";
  const Case cases[] = {
      {captured([](int fd) { return reportlabel(fd, "Wrong number of argument."); }),
       " Wrong number of argument.\n"},
      {captured([](int fd) { return reportlabel(fd, ""); }), " \n"},
      {captured([&](int fd) { return reporttext(fd, "genotype file=", path.data(), path.size()); }),
       " genotype file=geno.txt\n"},
      {captured([](int fd) { return reporttext(fd, "pattern file=", "", 0); }), " pattern file=\n"},
      {captured([](int fd) { return reporttext(fd, "x=", "  lead", 6); }), " x=  lead\n"},
      {captured([](int fd) { return reportinteger(fd, "Number of pos=", 250); }),
       " Number of pos=         250\n"},
      {captured([](int fd) { return reportinteger(fd, "allocation size=", 1); }),
       " allocation size=           1\n"},
      {captured([](int fd) { return reportinteger(fd, "Number of pos=", -12); }),
       " Number of pos=         -12\n"},
      {captured([](int fd) { return reportinteger(fd, "n=", 0); }), " n=           0\n"},
      {captured([](int fd) { return reportinteger(fd, "n=", -1); }), " n=          -1\n"},
      {captured([](int fd) { return reportinteger(fd, "n=", INT32_MAX); }), " n=  2147483647\n"},
      {captured([](int fd) { return reportinteger(fd, "n=", INT32_MIN); }), " n= -2147483648\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.line, c.expected);
}

TEST(Report, LinesLongerThanTheBufferArriveWhole) {
  std::string text(10000, 'g');
  std::string line =
      captured([&](int fd) { return reporttext(fd, "genotype file=", text.data(), text.size()); });
  EXPECT_EQ(line, " genotype file=" + text + "\n");
}

TEST(Report, ReturnsTheErrorOfAFailedWrite) {
  int full = open("/dev/full", O_WRONLY);
  if (full >= 0) {  // not every system has a device that is always full
    EXPECT_EQ(reportinteger(full, "allocation size=", 4), ENOSPC);
    close(full);
  }
  EXPECT_EQ(reportlabel(-1, "x"), EBADF);
  // A failure does not stick to the next line.
  EXPECT_EQ(captured([](int fd) { return reportlabel(fd, "next"); }), " next\n");
}

}  // namespace
