// The pieces a track places along its road besides the road itself: crates
// karts push, stampers, crushers, speed-up pads, reset zones, pits, and
// the zones laid across the whole road (wind, slide, conveyor band,
// trigger). Each goes into the collision space of the race's layout, and
// those in the walls' and markers' spaces keep half a metre from the walls.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "content/lwo2_mesh.h"
#include "content/lws_writer.h"
#include "tools/sample_data/track_samples.h"

// A place beside the road: lap fraction and metres right of the centre.
// The driving lines keep within 1.5 m of the centre, so a hazard stands 3 m
// or more off it.
struct Spot {
  double f = 0.0;
  float lateral = 0.0f;
};

// The stamper's height: up at `top`, a quick drop to `low` over the road, a
// slow climb back, over and over (three keys).
lws::Motion stamperMotion(const SampleTrack& track, Spot spot, float top = 4.0f, float low = 1.0f);

// A 3 x 2 x 3 stamper drawn by `object`, playing `sound` (one of the two
// stamper sounds the race plays).
void writeStamper(lws::SceneWriter& w, const SampleTrack& track, Spot spot, const std::string& object,
                  const std::string& sound);
// A 3 x 2.5 x 3 block that crushes karts running into it.
void writeCrusher(lws::SceneWriter& w, const SampleTrack& track, Spot spot, const std::string& object);
// The shared speed-up pad prop.
void writePad(lws::SceneWriter& w, const SampleTrack& track, Spot spot);
// A reset zone on the shoulder at lap fraction f, on the road's right
// (`side` 1) or left (-1): just beyond the paved edge, clear of the wall,
// so that only a kart leaving the road is put back, never one on it.
inline constexpr float kResetZoneWidth = 0.8f;
inline constexpr float kResetZoneLength = 3.0f;
void writeResetZone(lws::SceneWriter& w, const SampleTrack& track, double f, int side);
// A 3 x 4 pit: the fall zone just under the road, and `patch` drawn over it.
void writePit(lws::SceneWriter& w, const SampleTrack& track, Spot spot, const std::string& patch);
// A box of `size` that karts push, resting on the road, of `mass` kg.
void writeCrate(lws::SceneWriter& w, const SampleTrack& track, Spot spot, const std::string& object,
                std::array<float, 3> size, double mass);

// A zone of `kind` (wind, slide, band or trigger) across the road at f,
// 12 m wide and `length` long, drawn by `object` (its origin on the road,
// +z along the road, +x to its right). A wind zone's centre lies 3 m above
// the road, so that its push along the road stays gentle.
inline constexpr float kZoneWidth = 12.0f;
void writeZoneAcross(lws::SceneWriter& w, const SampleTrack& track, double f, float length, int kind,
                     const std::string& object);

// ---- props made of solids ------------------------------------------------------

// A flat strip across the road for a zone, just above it: kZoneWidth wide,
// `length` long, in look `surface`.
void roadStrip(lwo2::Mesh& mesh, float length, std::uint16_t surface, float lift = 0.03f);
// Two posts beside the road and a beam over it, `height` high.
void gantry(lwo2::Mesh& mesh, float height, std::uint16_t posts, std::uint16_t beam);
// A tree: a trunk and stacked cones of leaves.
void pineTree(lwo2::Mesh& mesh, lwo2::Vec3 base, float height, std::uint16_t trunk, std::uint16_t leaves);
// A flat-shaded colour surface.
lwo2::Look plainLook(const std::string& name, lwo2::Vec3 colour, float luminosity = 0.0f, float specular = 0.1f);
// The colour of 0..255 components.
constexpr lwo2::Vec3 colour(int r, int g, int b) {
  return {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f};
}
// A prop placed on the ground at (x, z) in the world, turned by `heading`.
void writeProp(lws::SceneWriter& w, const std::string& file, float x, float z, float heading = 0.0f, float y = 0.0f);
// The same beside the road: at lap fraction f, `lateral` metres to its right.
void writePropBeside(lws::SceneWriter& w, const SampleTrack& track, double f, float lateral, const std::string& file,
                     float y = 0.0f);
