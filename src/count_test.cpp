// SPDX-License-Identifier: MIT
#include "count.h"
#include "format.h"

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
  // NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a file's name, then what it holds
  std::string file(const std::string& name, const std::string& content) {
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  std::string dir;
};

// The records, the first and last bytes that tell what the file is, and
// the first NUL, where the read ends.
TEST_F(Count, CountsLinesAndKeepsTheFirstAndLastBytes) {
  struct Case {
    std::string content;
    std::int64_t records;
    std::int64_t nul = -1;
  };
  const std::size_t block = countblocksize;
  const auto full = static_cast<std::int64_t>(block);
  std::string numbered;  // no two stretches alike, so that a head or tail out of place shows
  for (int i = 0; numbered.size() < 2 * block + 5; ++i) numbered += std::to_string(i) + ",";
  numbered.resize(2 * block + 5);
  // A NUL in the middle of a text of three blocks; the read ends with the
  // block that holds it.
  auto nulat = [&](std::size_t at) {
    std::string text = numbered;
    text[at] = '\0';
    return text;
  };
  const Case cases[] = {
      {"", 0},
      {"\n", 1},
      {"a\nb\nc\n", 3},
      {"a\nb", 2},
      {"a", 1},
      {"\n\n\n", 3},
      {numbered, 1},                                                  // one long line, three blocks
      {std::string(block - 3, 'x') + "\n" + std::string(5, 'y'), 2},  // a line across blocks
      {std::string(block, '\n'), full},  // ends exactly at a block edge
      {std::string(block + 1, '\n'), full + 1},
      {nulat(0), 0, 0},
      {nulat(block - 1), 0, full - 1},
      {nulat(block), 0, full},
      {nulat(2 * block + 4), 0, 2 * full + 4},  // the last byte
  };
  int i = 0;
  static countresult result;
  for (const Case& c : cases) {
    std::string path = file(std::to_string(i++) + ".geno", c.content);
    ASSERT_EQ(countstart(path.c_str(), formatheadsize, &result), countdone) << path;
    EXPECT_EQ(countrest(&result), countdone) << path;
    EXPECT_EQ(result.nul, c.nul) << path;
    EXPECT_EQ(result.records, c.records) << path;  // at a NUL, those before it
    // Read to the end, or no further than the block with the NUL.
    if (c.nul < 0) {
      EXPECT_EQ(result.bytes, static_cast<std::int64_t>(c.content.size())) << path;
    } else {
      EXPECT_GT(result.bytes, c.nul) << path;
      EXPECT_LE(result.bytes, c.nul + full) << path;
    }
    EXPECT_EQ(result.ended, c.nul < 0) << path;
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
      {INT32_MAX - 1LL, 0, INT32_MAX},
      {INT32_MAX, 1, -5},
      {INT64_MAX, 1, -5},  // a narrowing to 32 bits would wrap it below the boundary
  };
  for (const Case& c : cases) {
    std::int32_t na = -5;
    EXPECT_EQ(allocationsize(c.records, &na), c.status) << c.records;
    EXPECT_EQ(na, c.na) << c.records;
  }
}

}  // namespace
