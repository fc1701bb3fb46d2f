// What a profiled hot path pays: one read of the high-resolution counter,
// one counter update without and with atomic read-modify-writes, and a whole
// scope (a read at each end and an update). Run a Release build by hand.
#include <benchmark/benchmark.h>

#include "foundation/profiler.h"
#include "foundation/timer.h"

namespace {

void counterRead(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(highResolutionTicks());
}
BENCHMARK(counterRead);

void runAdded(benchmark::State& state) {
  registerGameProfileCounters();
  std::int64_t ticks = 0;
  for (auto _ : state) addProfileRun(GameCounter::kGetMatrix, ++ticks & 1023);
  clearProfileCounters();
}
BENCHMARK(runAdded);

void sharedRunAdded(benchmark::State& state) {
  registerGameProfileCounters();
  std::int64_t ticks = 0;
  for (auto _ : state) addSharedProfileRun(GameCounter::kVorbisChannelFill, ++ticks & 1023);
  clearProfileCounters();
}
BENCHMARK(sharedRunAdded);

void scopeTimed(benchmark::State& state) {
  registerGameProfileCounters();
  for (auto _ : state) {
    ProfileScope timed(GameCounter::kDrawIndexedPrimitive);
    benchmark::ClobberMemory();
  }
  clearProfileCounters();
}
BENCHMARK(scopeTimed);

void sharedScopeTimed(benchmark::State& state) {
  registerGameProfileCounters();
  for (auto _ : state) {
    SharedProfileScope timed(GameCounter::kVorbisChannelFill);
    benchmark::ClobberMemory();
  }
  clearProfileCounters();
}
BENCHMARK(sharedScopeTimed);

}  // namespace

BENCHMARK_MAIN();
