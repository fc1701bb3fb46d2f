// The three top-view maps of a track: the light map the karts take their
// lighting from, the position map that numbers the lap (sectors, laps, ranks,
// wrong way), and the reset map, kept with the race. All three share one
// world rectangle per track that maps ground (x, z) onto the picture.
// The maps are drawn at 512 x 512 pixels, but a picture of another size is
// read by its own size: the rectangle always spans the whole picture, so a
// smaller one reads the same places coarser and nothing is read past it.
#pragma once

#include <string>

#include "foundation/file_data.h"
#include "foundation/matrix.h"
#include "foundation/pcx_image.h"
#include "foundation/ref_counted.h"

class File;
class Vehicle;

// The ground a map covers: column 0 lies at minX, the last column at maxX;
// row 0 at maxZ (the map's top is the far end of z), the last row at minZ.
struct TrackRectangle {
  float minX = 0.0f, maxX = 0.0f, minZ = 0.0f, maxZ = 0.0f;

  // The rectangle of track index 0..7; false (and an empty rectangle) for
  // another index.
  bool setTrack(int trackIndex);
  // Where p falls on a picture of width x height: column u grows with x,
  // row v falls with z, both unbounded outside the rectangle.
  float column(const Position3& p, int width) const;
  float row(const Position3& p, int height) const;
};

// "D:\Tamberlok/mini_maps/<prefix>NN.<extension>" for track index 0..7 (NN
// runs 01, 05, 03, 04, 02, 06, 08, 07); "" for another index.
std::string trackMapFileName(int trackIndex, const char* prefix, const char* extension);

class TrackLightMap {
 public:
  TrackLightMap();
  ~TrackLightMap();
  TrackLightMap(const TrackLightMap&) = delete;
  TrackLightMap& operator=(const TrackLightMap&) = delete;

  // Whether a picture was loaded; without one the karts keep their colours.
  bool loaded() const { return static_cast<bool>(m_image); }
  const TrackRectangle& rectangle() const { return m_rectangle; }

 private:
  friend bool loadTrackLightMap(TrackLightMap&, const File*, int);
  friend void releaseTrackLightMap(TrackLightMap&);
  friend void sampleTrackLightMap(const TrackLightMap&, float (&)[4], const Position3&);

  TrackRectangle m_rectangle;
  RefPtr<Image> m_image;
};

// Sets the rectangle and loads the picture of track index 0..7 through
// `files` (null: none); another index leaves the map without a picture.
// False when there is no picture afterwards.
bool loadTrackLightMap(TrackLightMap& map, const File* files, int trackIndex);
void releaseTrackLightMap(TrackLightMap& map);
// The light under p: red, green and blue (170 reads 1.0), alpha 1. Without
// a picture `colour` is left as it was.
void sampleTrackLightMap(const TrackLightMap& map, float (&colour)[4], const Position3& p);

class TrackPositionMap {
 public:
  TrackPositionMap(const File* files, int trackIndex);
  ~TrackPositionMap();
  TrackPositionMap(const TrackPositionMap&) = delete;
  TrackPositionMap& operator=(const TrackPositionMap&) = delete;
  // 0 off the track, else 1..255 rising along the lap; 0 everywhere when
  // the picture is missing. Outside the rectangle the nearest edge pixel.
  int valueAt(const Position3& p) const;
  // Whether a picture was loaded: without one no place reads as on the
  // track.
  bool loaded() const { return m_picture.pixelCount() > 0; }

  const TrackRectangle& rectangle() const { return m_rectangle; }

 private:
  TrackRectangle m_rectangle;
  PcxImage m_picture;
};

class ResetMap {
 public:
  ResetMap(const File* files, int trackIndex);
  ~ResetMap();
  ResetMap(const ResetMap&) = delete;
  ResetMap& operator=(const ResetMap&) = delete;

  // The size the map was drawn at: 512 x 512, but 512 x 392 on track index 7.
  float width() const { return m_width; }
  float height() const { return m_height; }
  const TrackRectangle& rectangle() const { return m_rectangle; }

 private:
  float m_width = 512.0f;
  float m_height = 512.0f;
  TrackRectangle m_rectangle;
  PcxImage m_picture;
};

// Every kart of the race whose driver is not playing its hit motion takes
// the light under it into its four lit surfaces.
void applyTrackLight(const TrackLightMap& map, Vehicle* const* karts, int kartCount);
