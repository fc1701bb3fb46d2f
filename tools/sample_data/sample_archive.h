// One run of the sample-data tool: every source made (in parallel, each
// into its own list), the lists joined in the sources' fixed order, names
// checked, the entries packed in parallel and the archive built. The bytes
// are the same whatever the number of threads.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "content/archive_writer.h"
#include "tools/sample_data/sample_sources.h"

struct SampleRun {
  bool ok = false;
  std::string error;  // why not, when not ok
  ArchiveWriter writer;
  std::vector<std::uint8_t> archive;
  std::uint64_t unpackedBytes = 0;
  // Seconds spent making each group's entries (summed over its sources,
  // whichever thread made them), packing, and the whole run.
  std::vector<std::pair<std::string, double>> groupSeconds;
  std::vector<double> sourceSeconds;  // each source's, in the sources' order
  double packSeconds = 0.0;
  double totalSeconds = 0.0;
};

// `threads` 0: one per processor.
SampleRun runSampleSources(std::span<const SampleSource> sources, int threads = 0);

// The first name that two entries share, compared as the archive's lookup
// compares them (ignoring case); empty when there is none.
std::string sharedEntryName(const ArchiveWriter& writer);
