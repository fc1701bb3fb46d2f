// The sample tracks: for each, the names of its files, the world rectangle
// its maps cover and the one centre line that its road, walls, start grid,
// maps, driving lines, point files and minimap are all built from. Tests,
// the benchmark and other sample sources read the same definitions back.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "game/track/collision_space.h"
#include "game/track/surface_kind.h"

class ArchiveWriter;

struct Point2 {
  float x = 0.0f, z = 0.0f;
};

// A place on the ground in full precision, as the centre lines give it.
struct GroundPlace {
  double x = 0.0, z = 0.0;
};

// The rectangle a track's maps and minimap cover (x grows with the
// column, z falls with the row).
struct MapRect {
  float minX = 0.0f, maxX = 0.0f, minZ = 0.0f, maxZ = 0.0f;
};

struct SampleTrack {
  int index = 0;            // the race's track index
  const char* number = "";  // "01": the number in its file names
  const char* sceneFile = "";
  MapRect rect;
  int minimapWidth = 512, minimapHeight = 512;
  // The loop runs once round this point, anticlockwise seen from above
  // (x to the right, z up), so that the inside of every bend lies to the
  // left and every ray from here crosses the road once.
  GroundPlace hub;
  // The centre line at lap fraction f in [0, 1): 0 at the finish line,
  // rising in the driving direction.
  GroundPlace (*centre)(double f) = nullptr;
  float roadHalfWidth = 6.0f;    // the paved strip
  float groundHalfWidth = 8.0f;  // the road mesh, shoulders included
  float wallOffset = 7.5f;       // walls stand this far from the centre
  float wallHeight = 1.5f;
  // A stretch of the lap in shade on the light map (empty when equal).
  double shadeFrom = 0.0, shadeTo = 0.0;
  int roadKind = kSurfaceRoad;  // the surface kind of the road where no piece lies
  // The start grid: rows of `gridPerRow` (1 or 2) slots `gridRowGap`
  // metres apart behind the line, slot s in column s % gridPerRow, each
  // column that many metres right of the centre.
  int gridPerRow = 2;
  float gridRowGap = 4.0f;
  float gridColumns[2] = {-2.5f, 2.5f};
  int resetMapRows = 512;
};

// The eight tracks, in index order.
std::span<const SampleTrack> sampleTracks();
// Null for an index outside 0..7.
const SampleTrack* findSampleTrack(int index);
// A stand-in for track 1 (its index, files and rectangle) that tests race
// without steering: a walled ring of slow ground so tight that a kart
// holding the throttle and full left lock circles it lap after lap.
const SampleTrack& testRingTrack();

inline constexpr int kMapSize = 512;
inline constexpr int kStartCount = 6;
inline constexpr int kAiLineCount = 7;
inline constexpr float kAiLineSpacing = 2.0f;  // metres between the points of a driving line
inline constexpr float kAiLineSpeed = 0.3f;

// The name extra boxes carry in the scene (the race finds them by it).
inline constexpr const char* kExtraBoxObject = "D:\\Tamberlok/3dobjects_extras/extra_addon.lwo";
inline constexpr const char* kStamperSound = "D:\\Tamberlok\\soundfx\\stampfer.wav";
inline constexpr const char* kStamperSound2 = "D:\\Tamberlok\\soundfx\\stampfer02.wav";

// ---- along the centre line ----------------------------------------------------

Point2 centreAt(const SampleTrack& track, double f);
// The unit driving direction at f.
Point2 directionAt(const SampleTrack& track, double f);
// The point `lateral` metres to the right of the centre line at f.
Point2 besideCentre(const SampleTrack& track, double f, float lateral);
// Heading (radians, +z turned toward +x) of the driving direction at f.
float headingAt(const SampleTrack& track, double f);
double lapLength(const SampleTrack& track);
// The lap fraction that lies `metres` along the road from f (negative:
// back); not wrapped, so that it keeps counting laps either way.
double fractionAlong(const SampleTrack& track, double f, double metres);

// ---- maps ------------------------------------------------------------------------

// Map pixel of a ground position, as the race's lookups compute it (trunc,
// clamped to the picture).
int mapColumn(const SampleTrack& track, float x);
int mapRow(const SampleTrack& track, float z);
// The position map's values, one byte per pixel, row 0 at maxZ: 0 off the
// road, 1..255 rising along the lap, low just past the line.
std::vector<std::uint8_t> positionMap(const SampleTrack& track);

// ---- file names ------------------------------------------------------------------

std::string lightMapFile(const SampleTrack& track);
std::string positionMapFile(const SampleTrack& track);
std::string resetMapFile(const SampleTrack& track);
// "D:\Tamberlok\aifiles\trackNN\" + leaf.
std::string aiFile(const SampleTrack& track, const std::string& leaf);
// Driving line 0..6: "ai2.dat" .. "ai8.dat".
std::string aiLineFile(const SampleTrack& track, int line);
std::string musicFile(const SampleTrack& track);
// "Minimap_TrackNN", the imageset's name (its file adds ".imageset").
std::string minimapImageset(const SampleTrack& track);

// ---- point files -----------------------------------------------------------------

// A record of the point files: a place and a fourth value (the speed on a
// driving line, the lap fraction on the others).
struct TrackPoint {
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
};

// Driving line 0..6: 1.5 m left of the centre to 1.5 m right of it, a point
// every 2 m from the finish line, at the lines' speed.
std::vector<TrackPoint> aiLine(const SampleTrack& track, int line);
// Respawn points (40 or more) and the rocket path, on the centre line at
// road height.
std::vector<TrackPoint> respawnPoints(const SampleTrack& track);
std::vector<TrackPoint> rocketPath(const SampleTrack& track);
// Points every `spacing` metres from the finish line, `lateral` metres to
// the right of the centre line, with w = the lap fraction.
std::vector<TrackPoint> pointsAlong(const SampleTrack& track, double spacing, float lateral);
// The 16-byte little-endian records of a point file.
std::vector<std::uint8_t> pointFileBytes(const std::vector<TrackPoint>& points);

// ---- the minimap -----------------------------------------------------------------

// The road seen from above over the map rectangle: width x height pixels
// 0xAARRGGBB, top row first, clear off the road.
std::vector<std::uint32_t> minimapPixels(const SampleTrack& track, int width, int height);

// ---- the sample sources ----------------------------------------------------------

bool addRaceSoundSamples(ArchiveWriter& writer);
bool addMusicSamples(ArchiveWriter& writer);
bool addHudSamples(ArchiveWriter& writer);
// The same with the test ring's minimap for track 1.
bool addTestRingHudSamples(ArchiveWriter& writer);

// Track 0 ("steinzeit"), as the earlier samples and tests name it.
namespace track0 {

using ::kExtraBoxObject, ::kMapSize, ::kStartCount;
using ::Point2;

inline constexpr const char* kSceneFile = "D:\\Tamberlok\\3dobjects_tracks\\track_01_steinzeit.lws";
inline constexpr const char* kLightMapFile = "D:\\Tamberlok\\mini_maps\\light_track_01.bmp";
inline constexpr const char* kPositionMapFile = "D:\\Tamberlok\\mini_maps\\posmap_track_01.pcx";
inline constexpr const char* kResetMapFile = "D:\\Tamberlok\\mini_maps\\reset_map_track_01.pcx";

inline constexpr float kMinX = -204.0183f, kMaxX = 223.616f;
inline constexpr float kMinZ = -164.2901f, kMaxZ = 244.3623f;

inline constexpr float kRoadHalfWidth = 6.0f;
inline constexpr float kGroundHalfWidth = 8.0f;
inline constexpr float kWallOffset = 7.5f;
inline constexpr float kWallHeight = 1.5f;

const SampleTrack& track();
Point2 centreAt(double f);
Point2 directionAt(double f);
float headingAt(double f);
double fractionAlong(double f, double metres);
int mapColumn(float x);
int mapRow(float z);
std::vector<std::uint8_t> positionMap();

}  // namespace track0
