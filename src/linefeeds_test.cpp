// SPDX-License-Identifier: MIT
#include "linefeeds.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::uint64_t reference(const char* data, std::size_t length) {
  std::uint64_t n = 0;
  for (std::size_t i = 0; i < length; ++i) n += data[i] == '\n';
  return n;
}

struct Kernel {
  const char* name;
  std::uint64_t (*count)(const char*, std::size_t);
};

// Every kernel this processor can run; each case below runs on each of them.
std::vector<Kernel> kernels() {
  std::vector<Kernel> k = {{"dispatch", countlinefeeds}, {"portable", countlinefeedsportable}};
#if VARNHOLT_LINEFEEDS_X86
  k.push_back({"sse2", countlinefeedssse2});
  if (hasavx2()) k.push_back({"avx2", countlinefeedsavx2});
#endif
#if VARNHOLT_LINEFEEDS_NEON
  k.push_back({"neon", countlinefeedsneon});
#endif
  return k;
}

void PrintTo(const Kernel& kernel, std::ostream* out) {
  *out << kernel.name;
}

class CountLinefeeds : public testing::TestWithParam<Kernel> {};

INSTANTIATE_TEST_SUITE_P(Kernel, CountLinefeeds, testing::ValuesIn(kernels()),
                         [](const testing::TestParamInfo<Kernel>& each) {
                           return each.param.name;
                         });

TEST_P(CountLinefeeds, AgreesWithAPlainLoopAtEveryAlignmentAndLength) {
  std::mt19937 random(20261208);  // NOLINT(cert-msc32-c,cert-msc51-cpp): repeatable cases
  std::vector<char> buffer(4096 + 64);
  // Line feeds among their near misses: none of the others may count.
  const char choices[] = {'\n', 'A', '\x0b', '\x8a', '\xff', '\x00', '\x09', '\x0d'};
  for (char& c : buffer) c = choices[random() % sizeof choices];
  auto [name, kernel] = GetParam();
  for (std::size_t offset = 0; offset < 64; ++offset) {
    for (std::size_t length = 0; offset + length <= buffer.size();
         length += length < 200 ? 1 : 97) {
      ASSERT_EQ(kernel(buffer.data() + offset, length), reference(buffer.data() + offset, length))
          << name << " offset " << offset << " length " << length;
    }
  }
}

TEST_P(CountLinefeeds, SurvivesLongRunsThatWouldOverflowALane) {
  // Well past 255 vectors of each width, so every lane folds several times.
  struct Case {
    char fill;
    std::size_t length;
    std::uint64_t expected;
  };
  const Case cases[] = {
      {'\n', 255 * 64 * 3 + 17, 255 * 64 * 3 + 17},
      {'\n', 100000, 100000},
      {'x', 255 * 64 * 3 + 17, 0},
      {'\x8a', 100000, 0},
      {'\xff', 100000, 0},
      {'\x0b', 100000, 0},
  };
  auto [name, kernel] = GetParam();
  for (const Case& c : cases) {
    std::vector<char> buffer(c.length, c.fill);
    EXPECT_EQ(kernel(buffer.data(), buffer.size()), c.expected) << name << ' ' << int(c.fill);
  }
}

}  // namespace
