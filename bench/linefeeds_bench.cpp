// SPDX-License-Identifier: MIT
// Throughput of the line-feed counting kernels on a block the size the
// record count reads, with lines of about 10 and about 4000 bytes.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "count.h"
#include "linefeeds.h"
#include "linefeeds_kernels.h"

namespace {

std::vector<char> lines(std::size_t averagelength) {
  std::vector<char> block(countblocksize);
  std::mt19937 random(1);
  std::uniform_int_distribution<std::size_t> length(averagelength / 2, averagelength * 3 / 2);
  std::size_t next = length(random);
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = i == next ? '\n' : static_cast<char>('0' + i % 3);
    if (i == next) next += length(random);
  }
  return block;
}

template <linefeedscan (*kernel)(const char*, std::size_t)>
void count(benchmark::State& state) {
#if VARNHOLT_LINEFEEDS_X86
  if (kernel == countlinefeedsavx2 && !hasavx2()) {
    state.SkipWithError("no AVX2 on this processor");
    return;
  }
#endif
  std::vector<char> block = lines(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(kernel(block.data(), block.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(block.size()));
}

BENCHMARK(count<countlinefeeds>)->Arg(10)->Arg(4000);
BENCHMARK(count<countlinefeedsportable>)->Arg(10)->Arg(4000);
#if VARNHOLT_LINEFEEDS_X86
BENCHMARK(count<countlinefeedsavx2>)->Arg(10)->Arg(4000);
BENCHMARK(count<countlinefeedssse2>)->Arg(10)->Arg(4000);
#endif
#if VARNHOLT_LINEFEEDS_NEON
BENCHMARK(count<countlinefeedsneon>)->Arg(10)->Arg(4000);
#endif

}  // namespace
