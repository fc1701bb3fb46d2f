#include "game/track_maps.h"

TrackLightMap::TrackLightMap() = default;
TrackLightMap::~TrackLightMap() = default;

bool loadTrackLightMap(TrackLightMap& /*map*/, const File* /*files*/, int /*trackIndex*/) { return false; }
void releaseTrackLightMap(TrackLightMap& /*map*/) {}
void sampleTrackLightMap(const TrackLightMap& /*map*/, float (&colour)[4], const Position3& /*p*/) {
  colour[0] = colour[1] = colour[2] = colour[3] = 1.0f;
}

TrackPositionMap::TrackPositionMap(const File* /*files*/, int /*trackIndex*/) {}
TrackPositionMap::~TrackPositionMap() = default;
int TrackPositionMap::valueAt(const Position3& /*p*/) const { return 0; }

ResetMap::ResetMap(const File* /*files*/, int /*trackIndex*/) {}
ResetMap::~ResetMap() = default;

void applyTrackLight(const TrackLightMap& /*map*/, Vehicle* const* /*karts*/, int /*kartCount*/) {}
