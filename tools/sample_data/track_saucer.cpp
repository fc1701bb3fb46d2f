// Track 7 ("ufo"): a night run round a flying saucer's landing site on a
// purple moor: metal road panels with glowing seams between glowing
// barriers, domes, crystals and a radio mast around. A moving walkway
// carries karts across a stretch (a conveyor band), the landing beacon
// starts its signal as karts pass (a trigger), an alien piston stamps by
// the road, two speed-up pads throw karts on, a glowing hole swallows them
// and a cargo pod stands in the way.
#include <cmath>
#include <string>
#include <vector>

#include "content/bmp_writer.h"
#include "content/jpeg_writer.h"
#include "tools/sample_data/track_hazards.h"
#include "tools/sample_data/track_maps.h"
#include "tools/sample_data/track_pieces.h"
#include "tools/sample_data/track_samples.h"
#include "tools/sample_data/track_textures.h"

namespace {

namespace tex = track_textures;

const std::string kRoad = kTrackTextures + "platten_ufo.jpg";
const std::string kMoor = kTrackTextures + "moor_ufo.bmp";
const std::string kBarrier = kTrackTextures + "barriere_ufo_nodxt.bmp";
const std::string kSaucer = kTrackObjects + "track_07_untertasse.lwo";
const std::string kBase = kTrackObjects + "track_07_station.lwo";
const std::string kCrystal = kTrackProps + "kristall.lwo";
const std::string kPiston = kTrackProps + "kolben.lwo";
const std::string kPod = kTrackProps + "frachtkapsel.lwo";
const std::string kWalkway = kTrackProps + "laufband.lwo";
const std::string kBeacon = kTrackProps + "leitstrahl.lwo";
const std::string kPortal = kTrackProps + "energieloch.lwo";

constexpr Spot kFirstPad{0.15, -4.0f};
constexpr double kWalkwayAt = 0.3;
constexpr Spot kPistonSpot{0.45, -4.5f};
constexpr double kBeaconAt = 0.55;
constexpr Spot kSecondPad{0.65, 4.0f};
constexpr Spot kPortalSpot{0.8, 4.5f};
constexpr Spot kPodSpot{0.9, -4.0f};

enum SaucerLook : std::uint16_t { kHull, kDome, kLamp, kDark, kCrystalLook, kMetal, kGlowGreen };

std::vector<lwo2::Look> saucerLooks() {
  return {
      plainLook("Huelle", colour(170, 175, 190), 0.0f, 0.8f),   plainLook("Kuppel", colour(120, 230, 200), 0.35f, 0.9f),
      plainLook("Lampe", colour(255, 240, 120), 0.9f),          plainLook("Dunkel", colour(40, 40, 55)),
      plainLook("Kristall", colour(190, 90, 240), 0.6f, 0.9f),  plainLook("Metall", colour(110, 115, 130), 0.0f, 0.7f),
      plainLook("Gruenes Leuchten", colour(80, 255, 120), 0.9f)};
}

std::vector<std::uint8_t> saucerObject(const SampleTrack& track) {
  const float x = static_cast<float>(track.hub.x), z = static_cast<float>(track.hub.z);
  lwo2::Mesh m;
  // Standing on three legs over the middle of the loop.
  for (int i = 0; i < 3; ++i) {
    const float a = 2.0944f * static_cast<float>(i);
    m.cylinder({x + 14.0f * std::cos(a), 3.0f, z + 14.0f * std::sin(a)}, 1, 0.6f, 3.0f, 8, kMetal, kMetal);
  }
  m.ellipsoid({x, 7.5f, z}, {26.0f, 3.0f, 26.0f}, 24, 8, kHull);
  m.ellipsoid({x, 10.0f, z}, {9.0f, 5.5f, 9.0f}, 16, 8, kDome);
  for (int i = 0; i < 16; ++i) {
    const float a = 0.3927f * static_cast<float>(i);
    m.ellipsoid({x + 24.5f * std::cos(a), 7.5f, z + 24.5f * std::sin(a)}, {0.9f, 0.5f, 0.9f}, 6, 4, kLamp);
  }
  return lwo2::objectFile({{0, {0, 0, 0}, "Untertasse", m}}, saucerLooks());
}

// Domes and a radio mast outside the loop.
std::vector<std::uint8_t> baseObject() {
  lwo2::Mesh m;
  const float domes[][3] = {{200, 160, 18}, {240, 110, 12}, {-300, -80, 22}, {-250, 170, 15}, {60, -230, 20}};
  for (const auto& d : domes) {
    m.ellipsoid({d[0], 0.0f, d[1]}, {d[2], d[2] * 0.7f, d[2]}, 16, 6, kDome);
    m.box({d[0], 1.5f, d[1] + d[2]}, {2.0f, 1.5f, 1.0f}, kDark);
  }
  m.cylinder({-180.0f, 30.0f, -200.0f}, 1, 1.2f, 30.0f, 8, kMetal, kMetal);
  m.ellipsoid({-180.0f, 61.0f, -200.0f}, {2.0f, 2.0f, 2.0f}, 8, 6, kLamp);
  m.cone({-180.0f, 45.0f, -200.0f}, 1, 7.0f, -3.0f, 12, kMetal, kMetal);
  return lwo2::objectFile({{0, {0, 0, 0}, "Station", m}}, saucerLooks());
}

std::vector<std::uint8_t> crystalObject() {
  lwo2::Mesh m;
  m.cone({0, 0, 0}, 1, 0.8f, 4.5f, 6, kCrystalLook, kCrystalLook);
  const std::uint32_t first = m.pointCount();
  m.cone({0.9f, 0, 0.3f}, 1, 0.5f, 2.6f, 6, kCrystalLook, kCrystalLook);
  m.rotate(first, 2, -0.35f, {0.9f, 0, 0.3f});
  m.cone({-0.7f, 0, -0.5f}, 1, 0.4f, 2.0f, 6, kCrystalLook, kCrystalLook);
  return lwo2::objectFile({{0, {0, 0, 0}, "Kristall", m}}, saucerLooks());
}

std::vector<std::uint8_t> pistonObject() {
  // A piston head under a ribbed shaft, 3 x 2 x 3 at the bottom.
  lwo2::Mesh m;
  m.cylinder({0, 0, 0}, 1, 1.5f, 1.0f, 16, kMetal, kGlowGreen);
  m.cylinder({0, 4.0f, 0}, 1, 0.5f, 3.0f, 10, kDark, kDark);
  for (int i = 0; i < 4; ++i) m.cylinder({0, 1.8f + 1.2f * static_cast<float>(i), 0}, 1, 0.6f, 0.1f, 10, kLamp, kLamp);
  return lwo2::objectFile({{0, {0, 0, 0}, "Kolben", m}}, saucerLooks());
}

std::vector<std::uint8_t> podObject() {
  lwo2::Mesh m;
  m.ellipsoid({0, 0, 0}, {0.7f, 0.7f, 1.0f}, 12, 8, kHull);
  m.cylinder({0, 0, 0}, 0, 0.72f, 0.2f, 12, kGlowGreen, kGlowGreen);
  return lwo2::objectFile({{0, {0, 0, 0}, "Kapsel", m}}, saucerLooks());
}

std::vector<std::uint8_t> walkwayObject() {
  lwo2::Mesh m;
  roadStrip(m, 10.0f, kDark);
  // Glowing chevrons along the belt, pointing the way it runs.
  for (int i = -2; i <= 2; ++i)
    for (float side : {-1.0f, 1.0f}) {
      const float z = 2.0f * static_cast<float>(i);
      const std::uint32_t first = m.pointCount();
      m.box({side * 1.5f, 0.05f, z}, {1.8f, 0.02f, 0.2f}, kGlowGreen);
      m.rotate(first, 1, side * 0.6f, {0, 0.05f, z + 0.6f});
    }
  for (float side : {-1.0f, 1.0f}) m.box({side * 6.3f, 0.4f, 0}, {0.2f, 0.4f, 5.0f}, kMetal);
  return lwo2::objectFile({{0, {0, 0, 0}, "Laufband", m}}, saucerLooks());
}

// Rings of light on an arch over the road.
std::vector<std::uint8_t> beaconObject() {
  lwo2::Mesh m;
  gantry(m, 6.5f, kMetal, kMetal);
  for (int i = -2; i <= 2; ++i)
    m.cylinder({2.6f * static_cast<float>(i), 6.0f, 0}, 1, 0.45f, 0.3f, 10, kLamp, kGlowGreen);
  return lwo2::objectFile({{0, {0, 0, 0}, "Leitstrahl", m}}, saucerLooks());
}

std::vector<std::uint8_t> portalObject() {
  lwo2::Mesh m;
  m.polygon(
      {m.point({-1.5f, 0, -2.0f}), m.point({1.5f, 0, -2.0f}), m.point({1.5f, 0, 2.0f}), m.point({-1.5f, 0, 2.0f})},
      {0, 1, 0}, 0);
  return lwo2::objectFile({{0, {0, 0, 0}, "Loch", m}}, {plainLook("Energie", colour(120, 40, 200), 0.8f)});
}

std::string sceneText(Entries& out, const SampleTrack& track) {
  lws::SceneWriter w;
  w.timing(0, 300, 30);
  w.ambient({0.7f, 0.7f, 1.0f}, 0.35f);
  writeTrackSpaces(w);
  TrackSky sky;
  sky.sunColour = {0.75f, 0.8f, 1.0f};
  sky.fog = {0.16f, 0.12f, 0.26f};
  sky.backdrop = {0.06f, 0.05f, 0.16f};
  sky.fogFrom = 60.0f;
  sky.fogTo = 280.0f;
  addTrackBasics(out, w, track, {kRoad, kMoor, kBarrier}, sky);
  writeExtraBoxes(w, track, 0.2);
  writeExtraBoxes(w, track, 0.72);
  writePad(w, track, kFirstPad);
  writeZoneAcross(w, track, kWalkwayAt, 10.0f, kSurfaceBand, kWalkway);
  writeStamper(w, track, kPistonSpot, kPiston, kStamperSound2);
  writeZoneAcross(w, track, kBeaconAt, 3.0f, kSurfaceTrigger, kBeacon);
  writePad(w, track, kSecondPad);
  writePit(w, track, kPortalSpot, kPortal);
  writeCrate(w, track, kPodSpot, kPod, {1.4f, 1.4f, 2.0f}, 20.0);
  writeTrackObject(w, kSaucer, lws::still());
  writeTrackObject(w, kBase, lws::still());
  for (int i = 0; i < 16; ++i) {
    const double f = (i + 0.6) / 16.0;
    writePropBeside(w, track, f, (i % 2 == 0 ? 1.0f : -1.0f) * (13.0f + 4.0f * static_cast<float>(i % 3)), kCrystal);
  }
  writeStartGrid(w, track);
  writeSun(w, sky);
  // A green glow over the saucer.
  lws::Light glow;
  glow.name = "Leuchten";
  glow.type = 1;
  glow.colour = {0.4f, 1.0f, 0.6f};
  glow.intensity = 0.9f;
  glow.motion = lws::still(static_cast<float>(track.hub.x), 20.0f, static_cast<float>(track.hub.z));
  w.light(glow);
  writeCameraAndFog(w, track, sky);
  return w.text();
}

}  // namespace

bool addSaucerTrack(ArchiveWriter& writer) {
  const SampleTrack& track = *findSampleTrack(7);
  Entries out{writer};
  out.add(track.sceneFile, sceneText(out, track));
  out.add(kRoad, writeJpegRgb(tex::kSide, tex::kSide, tex::panels(95, 100, 115, 0x0040E0A0u, 81u), {}));
  out.add(kMoor, writeBmp24(tex::kSide, tex::kSide, tex::blotches(80, 60, 100, 55, 45, 80, 83u)));
  out.add(kBarrier, writeBmp24(tex::kSide, tex::kSide, tex::stripes(0x0030D0E0u, 0x00203050u, 6)));
  out.add(kSaucer, saucerObject(track));
  out.add(kBase, baseObject());
  out.add(kCrystal, crystalObject());
  out.add(kPiston, pistonObject());
  out.add(kPod, podObject());
  out.add(kWalkway, walkwayObject());
  out.add(kBeacon, beaconObject());
  out.add(kPortal, portalObject());
  return out.ok && addTrackMaps(writer, track) && addTrackPointFiles(writer, track);
}
