// The per-track point files: rocket path, respawn points and the computer
// drivers' lines, each a run of 16-byte records of four little-endian f32
// (x, y, z and a fourth value: the speed to drive there, for the lines).
#pragma once

#include <string>
#include <vector>

#include "foundation/matrix.h"

class File;

struct PointRecord {
  static constexpr int kSize = 16;
  // More than a lap of any track holds, a point every few centimetres.
  static constexpr int kMaxRecords = 16384;
  Position3 position;
  float w;
};

// Where the points of a track may lie. x and z within the ground its maps
// cover (TrackRectangle), widened on every side by the larger side of that
// ground, and y no further from 0 than that side: no track rises or sinks
// further than it stretches. A track without maps (an index outside 0..7)
// reaches 10000 units from the origin on every axis. A kart put beyond
// falls for ever, and values near float's end make ODE abort.
struct TrackExtent {
  float minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;

  static TrackExtent ofTrack(int track);
  // False for NaN too.
  bool contains(const Position3& p) const;
};

// Reads the named file through a clone of `prototype`. Only whole
// records count: a read that fails or comes back short ends the list, and
// a trailing partial record is dropped rather than completed with made-up
// values. A file that cannot be opened gives an empty list. At most
// kMaxRecords records are read; a record with a value that is not finite,
// or whose point lies beyond `extent`, is dropped. One report for each.
std::vector<PointRecord> readPointFile(const File& prototype, const char* name, const TrackExtent& extent);

// Appends one record to an open file; false when the file takes fewer than
// the record's 16 bytes.
bool writePointRecord(File& file, const PointRecord& record);

// "D:\Tamberlok\aifiles\trackNN\<leaf>" for track index 0..7 (the folders
// run 01, 05, 03, 04, 02, 06, 08, 07); another index has no point files and
// gives "".
std::string trackPointFileName(int track, const char* leaf);
