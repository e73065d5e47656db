// SPDX-License-Identifier: MIT
#include "linefeeds.h"

#include "linefeeds_kernels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace {

// The line feeds before the first NUL, and where it is.
std::pair<std::uint64_t, std::size_t> reference(const char* data, std::size_t length) {
  std::uint64_t n = 0;
  std::size_t i = 0;
  for (; i < length && data[i] != '\0'; ++i) n += data[i] == '\n';
  return {n, i};
}

std::pair<std::uint64_t, std::size_t> scan(linefeedscan (*kernel)(const char*, std::size_t),
                                           const char* data, std::size_t length) {
  linefeedscan s = kernel(data, length);
  return {s.linefeeds, s.nul};
}

struct Kernel {
  const char* name;
  linefeedscan (*count)(const char*, std::size_t);
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
  const char choices[] = {'\n', 'A', '\x0b', '\x8a', '\xff', '\x01', '\x09', '\x0d'};
  for (char& c : buffer) c = choices[random() % sizeof choices];
  auto [name, kernel] = GetParam();
  for (std::size_t offset = 0; offset < 64; ++offset) {
    for (std::size_t length = 0; offset + length <= buffer.size();
         length += length < 200 ? 1 : 97) {
      ASSERT_EQ(scan(kernel, buffer.data() + offset, length),
                reference(buffer.data() + offset, length))
          << name << " offset " << offset << " length " << length;
    }
  }
}

TEST_P(CountLinefeeds, SurvivesLongRunsThatWouldOverflowALaneAndStopsAtTheFirstNul) {
  // Well past 255 vectors of each width, so every lane folds several times;
  // a NUL anywhere in a vector, in a later stretch of 255, or last.
  struct Case {
    char fill;
    std::size_t length;
    std::uint64_t expected;
    std::size_t nul = SIZE_MAX;  // where one is put
  };
  const std::size_t fold = 255 * 64 * 3 + 17;
  std::vector<Case> cases = {
      {'\n', fold, fold},
      {'\n', 100000, 100000},
      {'x', fold, 0},
      {'\x8a', 100000, 0},
      {'\xff', 100000, 0},
      {'\x0b', 100000, 0},
      {'\n', 100000, 99999, 99999},
      {'\n', fold, std::size_t{255} * 128, std::size_t{255} * 128},  // AVX2's second stretch
  };
  for (std::size_t at = 0; at < 160; ++at) cases.push_back({'\n', 200, at, at});
  auto [name, kernel] = GetParam();
  for (const Case& c : cases) {
    std::vector<char> buffer(c.length, c.fill);
    if (c.nul < c.length) buffer[c.nul] = '\0';
    std::size_t nul = c.nul < c.length ? c.nul : c.length;
    EXPECT_EQ(scan(kernel, buffer.data(), buffer.size()), std::make_pair(c.expected, nul))
        << name << ' ' << int(c.fill) << " NUL at " << c.nul;
  }
}

}  // namespace
