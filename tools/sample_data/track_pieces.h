// What the sample tracks' scenes are made of: procedural pictures, meshes
// written as LWO2 objects, the road, walls and open ground laid along a
// track's centre line, and the scene entries every track shares (collision
// spaces, start grid, finish line, extra boxes, camera, sun and fog).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "content/lws_writer.h"
#include "tools/sample_data/track_samples.h"

class ArchiveWriter;

// ---- pictures ----------------------------------------------------------------

// A fixed pseudo-random sequence, so every run writes the same bytes.
struct Noise {
  std::uint32_t state = 0x2545F491u;
  int next(int range) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 16) % static_cast<std::uint32_t>(range));
  }
};

// 0x00RRGGBB, each channel clamped to 0..255.
std::uint32_t rgb(int r, int g, int b);
std::vector<std::uint32_t> speckled(int side, int r, int g, int b, int spread, std::uint32_t seed);
std::vector<std::uint32_t> checkerPixels(int side, int cell, std::uint32_t a, std::uint32_t b);
// Horizontal bands `band` pixels high, alternating between two colours.
std::vector<std::uint32_t> bandedPixels(int side, int band, std::uint32_t a, std::uint32_t b);
// Asphalt with white edge lines near u = 0 and u = 1.
std::vector<std::uint32_t> roadPixels(int r, int g, int b, std::uint32_t seed);

// ---- objects -----------------------------------------------------------------

struct Vertex {
  std::array<float, 3> p;
  float u = 0, v = 0;
};

// One LWO2 layer: points with UVs, polygons, a surface per polygon.
struct Mesh {
  std::vector<Vertex> vertices;
  std::vector<std::vector<std::uint32_t>> faces;
  std::vector<std::uint16_t> faceSurfaces;

  std::uint32_t add(float x, float y, float z, float u = 0, float v = 0);
  // A polygon whose front (the side its points run clockwise on, seen in
  // the engine's left-handed view) faces along `facing`.
  void quad(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::array<float, 3> facing,
            std::uint16_t surface = 0);
  void tri(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::array<float, 3> facing, std::uint16_t surface = 0);
  // A box of half-sizes h around c, faces outward (inward for a sky box).
  void box(std::array<float, 3> c, std::array<float, 3> h, bool inward = false, std::uint16_t surface = 0);
  // A four-sided pyramid standing on y = base.
  void pyramid(std::array<float, 3> base, float halfWidth, float height, std::uint16_t surface = 0);
};

struct SurfaceLook {
  std::string name;
  std::array<float, 3> colour{1, 1, 1};
  int clip = 0;  // 0: untextured
  bool unlit = false;
  float reflection = 0.0f;
};

std::vector<std::uint8_t> objectBytes(const Mesh& mesh, const std::vector<SurfaceLook>& surfaces,
                                      const std::vector<std::pair<int, std::string>>& clips = {});

// ---- along the track ---------------------------------------------------------

// The segments the road, walls and ground are laid in (chords of the
// centre line, the same on all three so that their edges meet).
inline constexpr int kRoadSegments = 192;
// Segment of a lap fraction, rounded to the nearest.
int roadSegment(double f);

// The road mesh (shoulders included) over segments [first, last); u across,
// v along in 8 m repeats. The seam gets its own row so v need not wrap.
Mesh roadMesh(const SampleTrack& track, int first = 0, int last = kRoadSegments);
// The walls, each a solid strip from the wall offset outward: the face
// toward the road, the top and the back.
inline constexpr float kWallThickness = 0.8f;
Mesh wallMesh(const SampleTrack& track);
// Open ground from the road's edges to the hub and far outward, never
// under the road, so that a ray down onto the road meets the road alone.
Mesh groundMesh(const SampleTrack& track, float height);
// How far the open ground reaches from the hub.
float groundReach(const SampleTrack& track);

// ---- the scene ---------------------------------------------------------------

inline constexpr int kBoxGeom = 1, kTriMeshGeom = 3;

// Item motion at lap fraction f, `lateral` metres right of the centre,
// facing the driving direction.
lws::Motion placedOn(const SampleTrack& track, double f, float lateral, float y, float pitch = 0.0f);

// The twelve collision spaces of the race's layout.
void writeTrackSpaces(lws::SceneWriter& w);
// An object of the track, drawn with fog, at its own place or still at the
// origin, with a geom when `kind` is 0 or more.
void writeTrackObject(lws::SceneWriter& w, const std::string& file, const lws::Motion& motion, int kind = -1,
                      int space = 0, int geomType = kTriMeshGeom, std::array<float, 3> geomSize = {1, 1, 1});
// Six "start" nulls, grid slots 0..5, behind the line in the track's rows
// (two columns 2.5 m either side of the centre, even slots on the left,
// rows 4 m apart, unless the track says otherwise), facing along the road.
void writeStartGrid(lws::SceneWriter& w, const SampleTrack& track);
// The finish line: a painted stripe and a box across the road that keeps
// 0.5 from the walls.
void writeFinishLine(lws::SceneWriter& w, const SampleTrack& track, const std::string& stripeFile);
// Three extra boxes across the road at f.
void writeExtraBoxes(lws::SceneWriter& w, const SampleTrack& track, double f);
// The sun, the camera behind the line, fog and the backdrop.
struct TrackSky {
  std::array<float, 3> sunColour{1.0f, 0.96f, 0.88f};
  std::array<float, 3> fog{0.72f, 0.76f, 0.80f};
  std::array<float, 3> backdrop{0.36f, 0.55f, 0.82f};
  float fogFrom = 40.0f, fogTo = 200.0f;
};
void writeSun(lws::SceneWriter& w, const TrackSky& sky);
void writeCameraAndFog(lws::SceneWriter& w, const SampleTrack& track, const TrackSky& sky);

// Names the game asks for, stored with '\'.
struct Entries {
  ArchiveWriter& writer;
  bool ok = true;
  void add(const std::string& name, const std::vector<std::uint8_t>& bytes);
  void add(const std::string& name, const std::string& text);
};

inline const std::string kTrackObjects = "D:\\Tamberlok/3dobjects_tracks/";
inline const std::string kTrackProps = "D:\\Tamberlok/3dobjects_props/";
inline const std::string kTrackTextures = "D:/Tamberlok/textures_tracks/";

// The road, open ground, walls, sky and finish stripe of a track as
// "track_NN_*.lwo" objects over the given textures, and their scene
// entries; `roadPieces` splits the road into objects of their own kind
// (lap fraction from, to, kind, texture), the rest of it kind 0.
struct RoadPiece {
  double from = 0.0, to = 0.0;
  int kind = kSurfaceRoad;
  std::string texture;
  std::string surface;
};
struct TrackTextures {
  std::string road, ground, wall;
};
void addTrackBasics(Entries& out, lws::SceneWriter& w, const SampleTrack& track, const TrackTextures& textures,
                    const TrackSky& sky, const std::vector<RoadPiece>& roadPieces = {});

// The props every track may place, written with track 0: a speed-up pad
// (3 x 5, flat) and a reset zone's marked patch (3 x 4, for an item 1.5
// above the road).
inline const std::string kPadObject = kTrackProps + "beschleuniger.lwo";
inline const std::string kResetObject = kTrackProps + "ruecksetzer.lwo";

// The other tracks, each with its scene, objects, maps and point files.
bool addRingTrack(ArchiveWriter& writer);
bool addCircusTrack(ArchiveWriter& writer);
bool addForestTrack(ArchiveWriter& writer);
bool addIslandTrack(ArchiveWriter& writer);
bool addCanyonTrack(ArchiveWriter& writer);
bool addPassTrack(ArchiveWriter& writer);
bool addSaucerTrack(ArchiveWriter& writer);
// The test ring's files under track 1's names, in place of addRingTrack's.
bool addTestRingTrack(ArchiveWriter& writer);
