#include "linefeeds.h"

#include <algorithm>

std::uint64_t countlinefeeds(const char* data, std::size_t length) {
  return static_cast<std::uint64_t>(std::count(data, data + length, '\n'));
}
