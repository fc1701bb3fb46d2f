#include "tools/sample_data/sample_sources.h"

namespace {

const SampleSource kSources[] = {
    {"texts", addTextSamples},
    {"GUI data", addGuiSamples},
    {"highscores and options data", addScreenSamples},
};

}  // namespace

std::span<const SampleSource> sampleSources() { return kSources; }
