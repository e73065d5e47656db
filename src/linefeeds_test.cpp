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

TEST(CountLinefeeds, AgreesWithAPlainLoopOnRandomBuffers) {
  std::mt19937 random(20261208);
  std::vector<char> buffer(4096 + 64);
  for (char& c : buffer) {
    // Mostly line feeds and their near misses.
    const char choices[] = {'\n', 'A', '\x0b', '\x8a', '\xff', '\x00', '\x0a'};
    c = choices[random() % sizeof choices];
  }
  for (std::size_t offset = 0; offset < 64; ++offset) {
    for (std::size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 63u, 64u, 65u, 1000u, 4095u, 4096u}) {
      EXPECT_EQ(countlinefeeds(buffer.data() + offset, length), reference(buffer.data() + offset, length))
          << offset << ' ' << length;
    }
  }
}

}  // namespace
