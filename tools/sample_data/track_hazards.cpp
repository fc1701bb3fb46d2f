#include "tools/sample_data/track_hazards.h"

#include <algorithm>
#include <cmath>

#include "tools/sample_data/track_pieces.h"

lws::Motion stamperMotion(const SampleTrack& track, Spot spot, float top, float low) {
  lws::Motion m = placedOn(track, spot.f, spot.lateral, top);
  lws::Envelope height;
  height.keys = {{top, 0.0f, 3}, {low, 0.4f, 3}, {top, 2.0f, 3}};
  height.post = 2;  // repeat
  m[1] = height;
  return m;
}

void writeStamper(lws::SceneWriter& w, const SampleTrack& track, Spot spot, const std::string& object,
                  const std::string& sound) {
  // Karts under it are flattened, rockets burst on it.
  writeTrackObject(w, object, stamperMotion(track, spot), kSurfaceStamper, kSpaceWalls, kBoxGeom, {3.0f, 2.0f, 3.0f});
  w.sound(sound);
}

void writeCrusher(lws::SceneWriter& w, const SampleTrack& track, Spot spot, const std::string& object) {
  writeTrackObject(w, object, placedOn(track, spot.f, spot.lateral, 1.25f), kSurfaceCrusher, kSpaceWalls, kBoxGeom,
                   {3.0f, 2.5f, 3.0f});
}

void writePad(lws::SceneWriter& w, const SampleTrack& track, Spot spot) {
  writeTrackObject(w, kPadObject, placedOn(track, spot.f, spot.lateral, 0.2f), kSurfaceSpeedUp, kSpaceMarkers, kBoxGeom,
                   {3.0f, 0.4f, 5.0f});
}

void writeResetZone(lws::SceneWriter& w, const SampleTrack& track, double f, int side) {
  // Whoever drives in is put back on the road behind it. A tenth of a
  // metre off the edge, so that a bend's curve keeps its corners off the
  // road too; narrower where the wall stands closer, to keep the half metre
  // from it that every piece keeps.
  constexpr float kOffEdge = 0.1f, kFromWall = 0.6f;
  const float inner = track.roadHalfWidth + kOffEdge;
  const float width = std::min(kResetZoneWidth, track.wallOffset - kFromWall - inner);
  const float lateral = static_cast<float>(side < 0 ? -1 : 1) * (inner + width / 2.0f);
  writeTrackObject(w, kResetObject, placedOn(track, f, lateral, 1.5f), kSurfaceResetZone, kSpaceMarkers, kBoxGeom,
                   {width, 3.0f, kResetZoneLength});
}

void writePit(lws::SceneWriter& w, const SampleTrack& track, Spot spot, const std::string& patch) {
  // The zone lies just under the road, where the wheel rays fall onto it.
  w.addNullObject("fall_zone");
  w.motion("ObjectMotion", placedOn(track, spot.f, spot.lateral, -0.8f));
  w.geom({kBoxGeom, kSurfaceFallZone, kSpaceFallZones, {3.0f, 1.0f, 4.0f}, 0});
  writeTrackObject(w, patch, placedOn(track, spot.f, spot.lateral, 0.03f));
}

void writeCrate(lws::SceneWriter& w, const SampleTrack& track, Spot spot, const std::string& object,
                std::array<float, 3> size, double mass) {
  // It rests on the ground and stops at walls.
  writeTrackObject(w, object, placedOn(track, spot.f, spot.lateral, size[1] / 2.0f), kSurfaceObstacle, kSpaceObstacles,
                   kBoxGeom, size);
  w.body({1, mass, size, 1});
}

void writeZoneAcross(lws::SceneWriter& w, const SampleTrack& track, double f, float length, int kind,
                     const std::string& object) {
  static constexpr const char* kNames[] = {"wind_zone", "slide_zone", "band_zone", "trigger_zone"};
  const bool wind = kind == kSurfaceWind;
  w.addNullObject(kind >= kSurfaceWind && kind <= kSurfaceTrigger ? kNames[kind - kSurfaceWind] : "zone");
  w.motion("ObjectMotion", placedOn(track, f, 0.0f, wind ? 3.0f : 0.0f));
  w.geom({kBoxGeom, kind, kSpaceMarkers, {kZoneWidth, wind ? 8.0f : 3.0f, length}, 0});
  writeTrackObject(w, object, placedOn(track, f, 0.0f, 0.0f));
}

// ---- props made of solids ------------------------------------------------------

void roadStrip(lwo2::Mesh& mesh, float length, std::uint16_t surface, float lift) {
  const float h = kZoneWidth / 2.0f, l = length / 2.0f;
  mesh.polygon(
      {mesh.point({-h, lift, -l}), mesh.point({h, lift, -l}), mesh.point({h, lift, l}), mesh.point({-h, lift, l})},
      {0, 1, 0}, surface);
}

void gantry(lwo2::Mesh& mesh, float height, std::uint16_t posts, std::uint16_t beam) {
  const float x = kZoneWidth / 2.0f + 0.6f;
  for (float side : {-1.0f, 1.0f}) mesh.box({side * x, height / 2.0f, 0.0f}, {0.2f, height / 2.0f, 0.2f}, posts);
  mesh.box({0.0f, height, 0.0f}, {x + 0.3f, 0.3f, 0.35f}, beam);
}

void pineTree(lwo2::Mesh& mesh, lwo2::Vec3 base, float height, std::uint16_t trunk, std::uint16_t leaves) {
  mesh.cylinder({base[0], base[1] + height * 0.15f, base[2]}, 1, height * 0.05f, height * 0.15f, 6, trunk, trunk);
  for (int tier = 0; tier < 3; ++tier) {
    const float y = base[1] + height * (0.2f + 0.22f * static_cast<float>(tier));
    const float radius = height * (0.3f - 0.07f * static_cast<float>(tier));
    mesh.cone({base[0], y, base[2]}, 1, radius, height * 0.42f, 8, leaves, leaves);
  }
}

lwo2::Look plainLook(const std::string& name, lwo2::Vec3 c, float luminosity, float specular) {
  lwo2::Look look;
  look.name = name;
  look.colour = c;
  look.diffuse = luminosity > 0.0f ? 1.0f - luminosity : 0.9f;
  look.luminosity = luminosity;
  look.specularity = specular;
  return look;
}

void writeProp(lws::SceneWriter& w, const std::string& file, float x, float z, float heading, float y) {
  lws::Motion m = lws::still(x, y, z);
  m[3] = heading;
  writeTrackObject(w, file, m);
}

void writePropBeside(lws::SceneWriter& w, const SampleTrack& track, double f, float lateral, const std::string& file,
                     float y) {
  writeTrackObject(w, file, placedOn(track, f, lateral, y));
}
