// Track 0 of the sample data ("steinzeit"): the names of its files, the
// world rectangle its maps cover and the centre line that the road, the
// walls, the start grid and the maps are all built from. Tests and the
// benchmark read the same definitions back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace track0 {

inline constexpr const char* kSceneFile = "D:\\Tamberlok\\3dobjects_tracks\\track_01_steinzeit.lws";
inline constexpr const char* kLightMapFile = "D:\\Tamberlok\\mini_maps\\light_track_01.bmp";
inline constexpr const char* kPositionMapFile = "D:\\Tamberlok\\mini_maps\\posmap_track_01.pcx";
inline constexpr const char* kResetMapFile = "D:\\Tamberlok\\mini_maps\\reset_map_track_01.pcx";
// The name extra boxes carry in the scene (the race finds them by it).
inline constexpr const char* kExtraBoxObject = "D:\\Tamberlok/3dobjects_extras/extra_addon.lwo";

// The rectangle the three maps cover (x grows with the column, z falls
// with the row).
inline constexpr float kMinX = -204.0183f, kMaxX = 223.616f;
inline constexpr float kMinZ = -164.2901f, kMaxZ = 244.3623f;
inline constexpr int kMapSize = 512;

inline constexpr float kRoadHalfWidth = 6.0f;    // the paved strip
inline constexpr float kGroundHalfWidth = 8.0f;  // the road mesh, shoulders included
inline constexpr float kWallOffset = 7.5f;       // walls stand this far from the centre
inline constexpr float kWallHeight = 1.5f;
inline constexpr int kStartCount = 6;

// Collision spaces and surface kinds of the layout every track keeps.
enum Space {
  kGroundSpace = 1,
  kRaySpace = 3,
  kKartSpace = 4,
  kObstacleSpace = 5,
  kWallSpace = 9,
  kMarkerSpace = 10,
  kFallSpace = 11
};
enum Kind {
  kGroundKind = 0,
  kWallKind = 1,
  kRayKind = 5,
  kFallKind = 8,
  kObstacleKind = 12,
  kExtraKind = 13,
  kFinishKind = 19,
  kTerrainKind = 25
};

struct Point2 {
  float x = 0.0f, z = 0.0f;
};

// The centre line at lap fraction f (0 at the finish line, rising in the
// driving direction, periodic with 1), and the unit driving direction there.
Point2 centreAt(double f);
Point2 directionAt(double f);
// Heading (radians, +z turned toward +x) of the driving direction at f.
float headingAt(double f);
// The lap fraction that lies `metres` along the road from f (negative: back).
double fractionAlong(double f, double metres);

// Map pixel of a ground position, as the race's lookups compute it (trunc,
// clamped to the picture).
int mapColumn(float x);
int mapRow(float z);

// The position map's values, one byte per pixel, row 0 at maxZ: 0 off the
// road, 1..255 rising along the lap.
std::vector<std::uint8_t> positionMap();

}  // namespace track0
