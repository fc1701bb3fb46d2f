#include "tools/sample_data/sample_sources.h"

#include "tools/sample_data/track_samples.h"

namespace {

const SampleSource kSources[] = {
    {"texts", addTextSamples},        {"GUI data", addGuiSamples},
    {"tracks", addTrackSamples},      {"race sounds", addRaceSoundSamples},
    {"track music", addMusicSamples}, {"race display images", addHudSamples},
    {"menu data", addMenuSamples},    {"highscores and options data", addOptionsSamples},
    {"karts", addKartSamples},
};

}  // namespace

std::span<const SampleSource> sampleSources() { return kSources; }
