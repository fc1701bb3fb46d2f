#include "tools/sample_data/sample_sources.h"

#include <iterator>
#include <vector>

#include "tools/sample_data/track_pieces.h"
#include "tools/sample_data/track_samples.h"

namespace {

const SampleSource kSources[] = {
    {"texts", "GUI", addTextSamples},
    {"GUI data", "GUI", addGuiSamples},
    {"track 0 and the files every track shares", "tracks", addTrackSamples},
    {"track 1", "tracks", addRingTrack},
    {"track 2", "tracks", addCircusTrack},
    {"track 3", "tracks", addForestTrack},
    {"track 4", "tracks", addIslandTrack},
    {"track 5", "tracks", addCanyonTrack},
    {"track 6", "tracks", addPassTrack},
    {"track 7", "tracks", addSaucerTrack},
    {"race sounds", "sounds", addRaceSoundSamples},
    {"track music", "music", addMusicSamples},
    {"race display images", "GUI", addHudSamples},
    {"menu data", "GUI", addMenuSamples},
    {"highscores and options data", "GUI", addOptionsSamples},
    {"karts", "karts", addKartSamples},
};

}  // namespace

std::span<const SampleSource> sampleSources() { return kSources; }

std::span<const SampleSource> testRingSources() {
  static const std::vector<SampleSource> sources = [] {
    std::vector<SampleSource> list(std::begin(kSources), std::end(kSources));
    for (SampleSource& source : list) {
      if (source.add == addRingTrack) source = {"the test ring in place of track 1", "tracks", addTestRingTrack};
      if (source.add == addHudSamples)
        source = {"race display images, the test ring's minimap", "GUI", addTestRingHudSamples};
    }
    return list;
  }();
  return sources;
}
