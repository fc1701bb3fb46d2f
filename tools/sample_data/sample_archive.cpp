#include "tools/sample_data/sample_archive.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <thread>
#include <unordered_map>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string folded(const std::string& name) {
  std::string out = name;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Runs work(i) for i in 0..count-1 on up to `threads` threads.
template <typename Work>
void inParallel(std::size_t count, int threads, Work work) {
  std::atomic<std::size_t> next{0};
  auto loop = [&] {
    for (std::size_t i = next++; i < count; i = next++) work(i);
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads && static_cast<std::size_t>(t) < count; ++t) helpers.emplace_back(loop);
  loop();
  for (std::thread& t : helpers) t.join();
}

}  // namespace

std::string sharedEntryName(const ArchiveWriter& writer) {
  std::unordered_map<std::string, int> seen;
  for (int i = 0; i < writer.entryCount(); ++i)
    if (!seen.emplace(folded(writer.entryName(i)), i).second) return writer.entryName(i);
  return {};
}

SampleRun runSampleSources(std::span<const SampleSource> sources, int threads) {
  const auto start = std::chrono::steady_clock::now();
  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  SampleRun run;
  std::vector<ArchiveWriter> parts(sources.size());
  std::vector<char> made(sources.size(), 0);
  std::vector<double> seconds(sources.size(), 0.0);
  inParallel(sources.size(), threads, [&](std::size_t i) {
    const auto began = std::chrono::steady_clock::now();
    parts[i].setDeferredPacking(true);
    made[i] = sources[i].add(parts[i]) ? 1 : 0;
    seconds[i] = secondsSince(began);
  });
  for (std::size_t i = 0; i < sources.size(); ++i) {
    auto group = std::find_if(run.groupSeconds.begin(), run.groupSeconds.end(),
                              [&](const auto& g) { return g.first == sources[i].group; });
    if (group == run.groupSeconds.end()) group = run.groupSeconds.insert(group, {sources[i].group, 0.0});
    group->second += seconds[i];
    if (!made[i] && run.error.empty()) run.error = std::string("could not make the ") + sources[i].what;
    run.writer.append(std::move(parts[i]));
  }
  run.sourceSeconds = seconds;
  if (run.error.empty()) {
    const std::string twice = sharedEntryName(run.writer);
    if (!twice.empty()) run.error = "the name \"" + twice + "\" was added twice";
  }
  if (!run.error.empty()) {
    run.totalSeconds = secondsSince(start);
    return run;
  }
  for (int i = 0; i < run.writer.entryCount(); ++i) run.unpackedBytes += run.writer.entryUnpackedSize(i);
  const auto packing = std::chrono::steady_clock::now();
  run.writer.packPending(threads);
  run.archive = run.writer.build();
  run.packSeconds = secondsSince(packing);
  run.ok = true;
  run.totalSeconds = secondsSince(start);
  return run;
}
