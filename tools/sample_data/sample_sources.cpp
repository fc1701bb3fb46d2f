#include "tools/sample_data/sample_sources.h"

namespace {

const SampleSource kSources[] = {
    {"texts", addTextSamples},
    {"GUI data", addGuiSamples},
    {"track 0", addTrackSamples},
    {"menu data", addMenuSamples},
    {"highscores and options data", addOptionsSamples},
    {"karts", addKartSamples},
};

}  // namespace

std::span<const SampleSource> sampleSources() { return kSources; }
