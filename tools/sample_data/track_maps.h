// The per-pixel view of a sample track's centre line that its maps and its
// minimap are drawn from, and the three map files.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/sample_data/track_samples.h"

class ArchiveWriter;

// Per cell of a width x height grid over the track's map rectangle (row 0
// at maxZ): the lap fraction of the nearest centre-line point and the
// distance to it (large where no part of the line comes near).
struct NearestCentre {
  int width = 0, height = 0;
  std::vector<float> fraction, distance;
};

NearestCentre nearestCentre(const SampleTrack& track, int width, int height);

// 1 + the fraction x 255 on the road mesh and up to the walls, else 0.
std::vector<std::uint8_t> positionValues(const SampleTrack& track, const NearestCentre& nearest);

// The light map (BMP), the position map and the reset map (PCX) under the
// track's names; false when one could not be added.
bool addTrackMaps(ArchiveWriter& writer, const SampleTrack& track);

// The seven driving lines and, unless `drivingLinesOnly`, the respawn
// points and the rocket path.
bool addTrackPointFiles(ArchiveWriter& writer, const SampleTrack& track, bool drivingLinesOnly = false);
