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
  Position3 position;
  float w;
};

// Reads the named file through a clone of `prototype`. Only whole
// records count: a read that fails or comes back short ends the list, and
// a trailing partial record is dropped rather than completed with made-up
// values. A file that cannot be opened gives an empty list.
std::vector<PointRecord> readPointFile(const File& prototype, const char* name);

// Appends one record to an open file; false when the file takes fewer than
// the record's 16 bytes.
bool writePointRecord(File& file, const PointRecord& record);

// "D:\Tamberlok\aifiles\trackNN\<leaf>" for track index 0..7 (the folders
// run 01, 05, 03, 04, 02, 06, 08, 07); another index has no point files and
// gives "".
std::string trackPointFileName(int track, const char* leaf);
