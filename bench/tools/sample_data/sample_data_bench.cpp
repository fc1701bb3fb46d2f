// sample_data_bench [THREADS] [RUNS]: makes the sample archive RUNS times
// (3 unless given) on THREADS threads (one per processor when 0 or not given) and
// prints, for the fastest run, the seconds spent on each kind of content
// (summed over the threads that made it), on packing and in all, and the
// archive's packed and unpacked size. Run it under `taskset -c 0,1` to see
// a two-core machine.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "tools/sample_data/sample_archive.h"
#include "tools/sample_data/sample_sources.h"

int main(int argc, char** argv) {
  const int asked = argc > 1 ? std::atoi(argv[1]) : 0;
  const int threads = asked > 0 ? asked : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  SampleRun best;
  for (int i = 0; i < runs; ++i) {
    SampleRun run = runSampleSources(sampleSources(), threads);
    if (!run.ok) {
      std::fprintf(stderr, "sample_data_bench: %s\n", run.error.c_str());
      return 1;
    }
    if (i == 0 || run.totalSeconds < best.totalSeconds) best = std::move(run);
  }
  std::printf("sample data on %d threads, fastest of %d runs\n", threads, runs);
  for (const char* group : {"tracks", "karts", "GUI", "sounds", "music"}) {
    double seconds = 0.0;
    for (const auto& [name, s] : best.groupSeconds)
      if (name == group) seconds = s;
    std::printf("  %-8s %7.3f s (thread time)\n", group, seconds);
  }
  // The slowest sources bound the run however many threads there are.
  std::vector<std::size_t> order(best.sourceSeconds.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return best.sourceSeconds[a] > best.sourceSeconds[b]; });
  for (std::size_t i = 0; i < std::min<std::size_t>(3, order.size()); ++i)
    std::printf("    slowest: %-40s %7.3f s\n", sampleSources()[order[i]].what, best.sourceSeconds[order[i]]);
  std::printf("  %-8s %7.3f s\n", "packing", best.packSeconds);
  std::printf("  %-8s %7.3f s\n", "run", best.totalSeconds);
  std::printf("archive %.2f MB, unpacked %.2f MB, %d entries\n", static_cast<double>(best.archive.size()) / 1e6,
              static_cast<double>(best.unpackedBytes) / 1e6, best.writer.entryCount());
  return 0;
}
