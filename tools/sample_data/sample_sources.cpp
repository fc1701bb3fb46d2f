#include "tools/sample_data/sample_sources.h"

namespace {

const SampleSource kSources[] = {
    {"texts", addTextSamples},
};

}  // namespace

std::span<const SampleSource> sampleSources() { return kSources; }
