// The points of a track that its karts steer by: the homing rocket's path,
// the respawn points and the computer drivers' seven lines. The race reads
// them once and every kart and driver shares that one copy.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/matrix.h"

class File;

struct TrackPoints {
  static constexpr int kLines = 7;

  // As the kart uses them: the rocket path 1.2 and the respawn points 0.3
  // above the points stored.
  std::vector<Position3> rocketPath;
  std::vector<Position3> respawnPoints;
  // Each line's points in track order and the speed to drive at each. A
  // line whose file gives no point (missing, or every point dropped) holds
  // the track's origin, as the walk needs a point to stand on.
  std::vector<Position3> lines[kLines];
  std::vector<float> speeds[kLines];
};

// "ai2.dat" to "ai8.dat" for lines 0 to 6 in the track's folder; a track
// without a folder looks for "2.dat" to "8.dat" in the lines' own folder.
std::string drivingLineFileName(int track, int line);

// Reads the point files of `track` through `files`, each point checked
// against the track's extent (see readPointFile).
std::shared_ptr<const TrackPoints> readTrackPoints(const File& files, int track);
