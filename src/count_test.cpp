// SPDX-License-Identifier: MIT
#include "count.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
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

TEST_F(Count, CountsLinesAndAnUnterminatedLastLine) {
  struct Case {
    std::string content;
    std::int64_t records;
  };
  const std::size_t block = countblocksize;
  const auto full = static_cast<std::int64_t>(block);
  const Case cases[] = {
      {"", 0},
      {"\n", 1},
      {"a\nb\nc\n", 3},
      {"a\nb", 2},
      {"a", 1},
      {"\n\n\n", 3},
      {"\r\n\r\n", 2},
      {std::string(2 * block + 5, 'x'), 1},                           // one long line, three blocks
      {std::string(block - 3, 'x') + "\n" + std::string(5, 'y'), 2},  // a line across blocks
      {std::string(block, '\n'), full},  // ends exactly at a block edge
      {std::string(block + 1, '\n'), full + 1},
      {std::string("\x0b\x8a\xff\x00", 4), 1},  // none of these end a line
  };
  int i = 0;
  for (const Case& c : cases) {
    std::string path = file(std::to_string(i++) + ".geno", c.content);
    std::int64_t records = -1;
    int error = 0;
    EXPECT_EQ(countrecords(path.c_str(), &records, &error), countdone) << path;
    EXPECT_EQ(records, c.records) << path;
  }
}

TEST_F(Count, CreatesAnEmptyFileWhereNothingExists) {
  std::string path = dir + "/new.txt";
  std::int64_t records = -1;
  int error = 0;
  mode_t old = umask(022);
  EXPECT_EQ(countrecords(path.c_str(), &records, &error), countdone);
  umask(old);
  EXPECT_EQ(records, 0);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_size, 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(Count, ReportsWhatCannotBeOpenedAndCreatesNothing) {
  struct Case {
    std::string path;
    int ios, error;
  };
  const Case cases[] = {
      {dir, countnotopened, EISDIR},
      {dir + "/missing/g.txt", countnotcreated, ENOENT},
      {dir + "/", countnotopened, EISDIR},
      {dir + "/nosuchdir/", countnotcreated, ENOENT},  // nothing there, though a folder is meant
  };
  for (const Case& c : cases) {
    std::int64_t records = -1;
    int error = 0;
    EXPECT_EQ(countrecords(c.path.c_str(), &records, &error), c.ios) << c.path;
    EXPECT_EQ(records, 0) << c.path;
    EXPECT_EQ(error, c.error) << c.path;
  }
  struct stat st;
  EXPECT_NE(stat((dir + "/missing").c_str(), &st), 0);
}

TEST(CountFaults, AFailedReadKeepsTheRecordsBeforeIt) {
  if (access("/proc/self/mem", R_OK) != 0) GTEST_SKIP() << "no /proc/self/mem here";
  std::int64_t records = -1;
  int error = 0;
  EXPECT_EQ(countrecords("/proc/self/mem", &records, &error), countreadfailed);
  EXPECT_EQ(records, 0);
  EXPECT_EQ(error, EIO);
}

TEST(CountBlock, AnySplitIntoBlocksGivesTheSameCount) {
  const std::string content = "ab\n\ncd\nefg\n\nh";
  for (std::size_t cut1 = 0; cut1 <= content.size(); ++cut1) {
    for (std::size_t cut2 = cut1; cut2 <= content.size(); ++cut2) {
      std::int64_t linefeeds = 0;
      char lastbyte = '\n';
      countblock(content.data(), cut1, &linefeeds, &lastbyte);
      countblock(content.data() + cut1, cut2 - cut1, &linefeeds, &lastbyte);
      countblock(content.data() + cut2, content.size() - cut2, &linefeeds, &lastbyte);
      EXPECT_EQ(recordsof(linefeeds, lastbyte), 6) << cut1 << ' ' << cut2;
    }
  }
}

TEST(CompressedFormat, IsKnownByItsMagicBytes) {
  struct Case {
    std::string head;
    std::string format;  // empty for none
  };
  const Case cases[] = {
      {std::string("\x1f\x8b\x08\x00\x00\x00", 6), "gzip"},
      {std::string("\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC", 14), "gzip"},  // BGZF
      {"BZh91AY&SY", "bzip2"},
      {"BZh1\x17\x72\x45\x38\x50\x90", "bzip2"},  // empty
      {std::string("\xfd\x37zXZ\0", 6), "xz"},
      {"\x28\xb5\x2f\xfd", "zstd"},
      {"\x1f\x8b", ""},  // cut before the method
      {"BZh9 snp1 snp2", ""},
      {"BZh91AY&S", ""},
      {"rs123\tA\tG\n", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    const char* tool = "";
    const char* format = compressedformat(c.head.data(), c.head.size(), &tool);
    EXPECT_EQ(format != nullptr ? format : "", c.format) << c.head;
    EXPECT_EQ(std::string(tool).empty(), c.format.empty()) << c.head;
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
