// The three top-view maps of a track: the light map the karts take their
// lighting from, the position map that numbers the lap (sectors, laps, ranks,
// wrong way), and the reset map, kept with the race. All three share one
// world rectangle per track that maps ground (x, z) onto the picture.
#pragma once

#include <memory>

#include "foundation/matrix.h"

class File;
class Vehicle;

class TrackLightMap {
 public:
  TrackLightMap();
  ~TrackLightMap();
  TrackLightMap(const TrackLightMap&) = delete;
  TrackLightMap& operator=(const TrackLightMap&) = delete;

 private:
  friend bool loadTrackLightMap(TrackLightMap&, const File*, int);
  friend void releaseTrackLightMap(TrackLightMap&);
  friend void sampleTrackLightMap(const TrackLightMap&, float (&)[4], const Position3&);
};

// Sets the rectangle and loads the picture of track index 0..7 through
// `files` (null: none); another index leaves the map without a picture.
bool loadTrackLightMap(TrackLightMap& map, const File* files, int trackIndex);
void releaseTrackLightMap(TrackLightMap& map);
// The light under p: red, green and blue (170 reads 1.0), alpha 1.
void sampleTrackLightMap(const TrackLightMap& map, float (&colour)[4], const Position3& p);

class TrackPositionMap {
 public:
  TrackPositionMap(const File* files, int trackIndex);
  ~TrackPositionMap();
  TrackPositionMap(const TrackPositionMap&) = delete;
  TrackPositionMap& operator=(const TrackPositionMap&) = delete;
  // 0 off the track, else 1..255 rising along the lap.
  int valueAt(const Position3& p) const;
};

class ResetMap {
 public:
  ResetMap(const File* files, int trackIndex);
  ~ResetMap();
  ResetMap(const ResetMap&) = delete;
  ResetMap& operator=(const ResetMap&) = delete;
};

// Every kart of the race whose driver is not playing its hit motion takes
// the light under it into its four lit surfaces.
void applyTrackLight(const TrackLightMap& map, Vehicle* const* karts, int kartCount);
