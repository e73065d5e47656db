// SPDX-License-Identifier: MIT
#include "count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class Count : public testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/varnholt-count-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string file(const std::string& name, const std::string& content) {
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  std::string dir;
};

// The records, and the first and last bytes that tell what the file is.
TEST_F(Count, CountsLinesAndKeepsTheFirstAndLastBytes) {
  struct Case {
    std::string content;
    std::int64_t records;
    std::int64_t nulrun = -1;
  };
  const std::size_t block = countblocksize;
  const auto full = static_cast<std::int64_t>(block);
  std::string numbered;  // no two stretches alike, so that a head or tail out of place shows
  for (int i = 0; numbered.size() < 2 * block + 5; ++i) numbered += std::to_string(i) + ",";
  numbered.resize(2 * block + 5);
  const Case cases[] = {
      {"", 0},
      {"\n", 1},
      {"a\nb\nc\n", 3},
      {"a\nb", 2},
      {"a", 1},
      {"\n\n\n", 3},
      {"\r\n\r\n", 2},
      {numbered, 1},                                                  // one long line, three blocks
      {std::string(block - 3, 'x') + "\n" + std::string(5, 'y'), 2},  // a line across blocks
      {std::string(block, '\n'), full},  // ends exactly at a block edge
      {std::string(block + 1, '\n'), full + 1},
      {std::string("\x0b\x8a\xff\x00", 4), 1, 3},  // none of these end a line
      // A run of a page of NULs is met wherever it is, and from its start.
      {std::string(block - 5000, 'a') + std::string(8192, '\0') + "b\n", 1, full - 5000},
      {std::string(block + 9000, 'a') + std::string(4096, '\0'), 1, full + 9000},
  };
  int i = 0;
  static countresult result;
  for (const Case& c : cases) {
    std::string path = file(std::to_string(i++) + ".geno", c.content);
    EXPECT_EQ(countrecords(path.c_str(), &result), countdone) << path;
    EXPECT_EQ(result.records, c.records) << path;
    EXPECT_EQ(result.bytes, static_cast<std::int64_t>(c.content.size())) << path;
    EXPECT_TRUE(result.ended) << path;
    EXPECT_EQ(result.nulrun, c.nulrun) << path;
    std::size_t tail = std::min(c.content.size(), counttailsize);
    EXPECT_EQ(std::string(result.head, result.headlength), c.content.substr(0, countheadsize));
    EXPECT_EQ(std::string(result.tail, result.taillength),
              c.content.substr(c.content.size() - tail));
  }
}

TEST(AllocationSize, IsOneMoreThanTheRecordsUpToTheLargest32BitCount) {
  struct Case {
    std::int64_t records;
    int status;
    std::int32_t na;
  };
  const Case cases[] = {
      {0, 0, 1},
      {120, 0, 121},
      {INT32_MAX - 1LL, 0, INT32_MAX},
      {INT32_MAX, 1, -5},
      {INT32_MAX + 1LL, 1, -5},
      {INT64_MAX, 1, -5},
  };
  for (const Case& c : cases) {
    std::int32_t na = -5;
    EXPECT_EQ(allocationsize(c.records, &na), c.status) << c.records;
    EXPECT_EQ(na, c.na) << c.records;
  }
}

}  // namespace
