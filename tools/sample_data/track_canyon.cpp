// Track 5 ("wilderwesten"): a dirt road through a canyon town between plank
// fences, red mesas and cacti around. It crosses the railway (a trigger),
// runs through the mine's conveyor shed (a conveyor band), past the stamp
// mill (a stamper) and the ore crusher, through a mud hole that slows
// karts down; hay bales stand in the way and a speed-up pad waits by the
// saloon.
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

const std::string kRoad = kTrackTextures + "staubweg_western.jpg";
const std::string kDesert = kTrackTextures + "wueste_western.bmp";
const std::string kFence = kTrackTextures + "zaun_western.bmp";
const std::string kMud = kTrackTextures + "schlamm_western.bmp";
const std::string kMesas = kTrackObjects + "track_06_tafelberge.lwo";
const std::string kTown = kTrackObjects + "track_06_stadt.lwo";
const std::string kCactus = kTrackProps + "kaktus.lwo";
const std::string kHay = kTrackProps + "heuballen.lwo";
const std::string kMill = kTrackProps + "pochwerk.lwo";
const std::string kOreCrusher = kTrackProps + "erzbrecher.lwo";
const std::string kCrossing = kTrackProps + "bahnuebergang.lwo";
const std::string kConveyor = kTrackProps + "foerderband.lwo";

constexpr Spot kHaySpot{0.15, -4.0f};
constexpr double kCrossingAt = 0.3;
constexpr Spot kMillSpot{0.45, 4.5f};
constexpr Spot kPadSpot{0.52, -4.0f};
constexpr double kConveyorAt = 0.6;
constexpr Spot kOreCrusherSpot{0.75, -4.5f};

enum WestLook : std::uint16_t {
  kRedRock,
  kPaleRock,
  kBoards,
  kDarkBoards,
  kGreen,
  kIron,
  kStraw,
  kSignRed,
  kSignWhite
};

std::vector<lwo2::Look> westLooks() {
  return {plainLook("Roter Fels", colour(180, 85, 45)),
          plainLook("Heller Fels", colour(215, 150, 95)),
          plainLook("Bretter", colour(150, 105, 65)),
          plainLook("Dunkle Bretter", colour(95, 65, 40)),
          plainLook("Kaktus", colour(70, 130, 60)),
          plainLook("Eisen", colour(70, 70, 75), 0.0f, 0.6f),
          plainLook("Stroh", colour(225, 195, 100)),
          plainLook("Signalrot", colour(200, 30, 30), 0.2f),
          plainLook("Signalweiss", colour(240, 240, 235), 0.2f)};
}

// A flat-topped mountain: a wide base, steep sides, a pale band near the top.
void mesa(lwo2::Mesh& m, float x, float z, float half, float height) {
  m.hexahedron({lwo2::Vec3{x - half, -0.1f, z - half * 0.8f},
                {x + half, -0.1f, z - half * 0.8f},
                {x + half, -0.1f, z + half * 0.8f},
                {x - half, -0.1f, z + half * 0.8f},
                {x - half * 0.75f, height * 0.8f, z - half * 0.6f},
                {x + half * 0.75f, height * 0.8f, z - half * 0.6f},
                {x + half * 0.75f, height * 0.8f, z + half * 0.6f},
                {x - half * 0.75f, height * 0.8f, z + half * 0.6f}},
               kRedRock);
  m.hexahedron({lwo2::Vec3{x - half * 0.75f, height * 0.8f, z - half * 0.6f},
                {x + half * 0.75f, height * 0.8f, z - half * 0.6f},
                {x + half * 0.75f, height * 0.8f, z + half * 0.6f},
                {x - half * 0.75f, height * 0.8f, z + half * 0.6f},
                {x - half * 0.7f, height, z - half * 0.56f},
                {x + half * 0.7f, height, z - half * 0.56f},
                {x + half * 0.7f, height, z + half * 0.56f},
                {x - half * 0.7f, height, z + half * 0.56f}},
               kPaleRock);
}

std::vector<std::uint8_t> mesasObject() {
  lwo2::Mesh m;
  mesa(m, 330.0f, 40.0f, 45.0f, 70.0f);
  mesa(m, 250.0f, 260.0f, 60.0f, 55.0f);
  mesa(m, -320.0f, -60.0f, 50.0f, 80.0f);
  mesa(m, -180.0f, 280.0f, 40.0f, 60.0f);
  mesa(m, 60.0f, -330.0f, 70.0f, 50.0f);
  mesa(m, -10.0f, 0.0f, 22.0f, 28.0f);  // in the middle of the loop
  return lwo2::objectFile({{0, {0, 0, 0}, "Tafelberge", m}}, westLooks());
}

// A house with a false front, facing +z.
void house(lwo2::Mesh& m, float x, float z, float heading, float width, float height) {
  const std::uint32_t first = m.pointCount();
  m.box({x, height / 2.0f, z}, {width / 2.0f, height / 2.0f, 4.0f}, kBoards);
  m.box({x, height + 1.0f, z + 4.0f}, {width / 2.0f, 1.0f, 0.15f}, kDarkBoards);
  m.box({x, 2.8f, z + 5.2f}, {width / 2.0f, 0.1f, 1.3f}, kDarkBoards);
  for (float side : {-1.0f, 1.0f})
    m.box({x + side * (width / 2.0f - 0.2f), 1.4f, z + 6.3f}, {0.1f, 1.4f, 0.1f}, kBoards);
  m.rotate(first, 1, heading, {x, 0, z});
}

std::vector<std::uint8_t> townObject(const SampleTrack& track) {
  lwo2::Mesh m;
  // Houses on both sides of the road where the saloon's pad is, facing it.
  for (int i = 0; i < 4; ++i) {
    const double f = 0.47 + 0.025 * i;
    for (float side : {-1.0f, 1.0f}) {
      const Point2 p = besideCentre(track, f, side * 22.0f);
      const float toward = headingAt(track, f) + (side > 0 ? -1.5708f : 1.5708f);
      house(m, p.x, p.z, toward, 9.0f, 5.0f + static_cast<float>(i % 2) * 2.0f);
    }
  }
  // The water tower on stilts.
  const Point2 t = besideCentre(track, 0.4, -26.0f);
  for (float dx : {-1.5f, 1.5f})
    for (float dz : {-1.5f, 1.5f}) m.cylinder({t.x + dx, 4.0f, t.z + dz}, 1, 0.2f, 4.0f, 6, kDarkBoards, kDarkBoards);
  m.cylinder({t.x, 10.0f, t.z}, 1, 2.6f, 2.0f, 12, kBoards, kDarkBoards);
  m.cone({t.x, 12.0f, t.z}, 1, 2.9f, 1.5f, 12, kDarkBoards, kDarkBoards);
  return lwo2::objectFile({{0, {0, 0, 0}, "Stadt", m}}, westLooks());
}

std::vector<std::uint8_t> cactusObject() {
  lwo2::Mesh m;
  m.cylinder({0, 2.0f, 0}, 1, 0.35f, 2.0f, 8, kGreen, kGreen);
  m.ellipsoid({0, 4.0f, 0}, {0.35f, 0.3f, 0.35f}, 8, 4, kGreen);
  for (float side : {-1.0f, 1.0f}) {
    m.cylinder({side * 0.7f, 1.8f, 0}, 0, 0.22f, 0.4f, 6, kGreen, kGreen);
    m.cylinder({side * 1.05f, 2.5f, 0}, 1, 0.22f, 0.75f - 0.2f * side, 6, kGreen, kGreen);
  }
  return lwo2::objectFile({{0, {0, 0, 0}, "Kaktus", m}}, westLooks());
}

std::vector<std::uint8_t> hayObject() {
  // A round bale lying on its side, within the 1.4 x 1.4 x 1.4 box.
  lwo2::Mesh m;
  m.cylinder({0, 0, 0}, 0, 0.7f, 0.7f, 12, kStraw, kStraw);
  return lwo2::objectFile({{0, {0, 0, 0}, "Heu", m}}, westLooks());
}

std::vector<std::uint8_t> millObject() {
  // The stamp's iron shoe on its wooden stem, 3 x 2 x 3 at the bottom.
  lwo2::Mesh m;
  m.box({0, 0, 0}, {1.5f, 1.0f, 1.5f}, kIron);
  m.box({0, 4.0f, 0}, {0.3f, 3.0f, 0.3f}, kBoards);
  return lwo2::objectFile({{0, {0, 0, 0}, "Pochstempel", m}}, westLooks());
}

std::vector<std::uint8_t> oreCrusherObject() {
  lwo2::Mesh m;
  m.box({0, 0, 0}, {1.5f, 1.25f, 1.5f}, kIron);
  for (float x : {-0.7f, 0.7f}) m.cylinder({x, 1.35f, 0}, 2, 0.4f, 1.3f, 10, kDarkBoards, kDarkBoards);
  return lwo2::objectFile({{0, {0, 0, 0}, "Brecher", m}}, westLooks());
}

// Rails across the road and a crossbuck on each side.
std::vector<std::uint8_t> crossingObject() {
  lwo2::Mesh m;
  for (float z : {-0.75f, 0.75f}) m.box({0, 0.06f, z}, {7.2f, 0.06f, 0.07f}, kIron);
  for (int i = -6; i <= 6; ++i) m.box({1.1f * static_cast<float>(i), 0.03f, 0}, {0.15f, 0.03f, 1.2f}, kDarkBoards);
  for (float side : {-1.0f, 1.0f}) {
    const float x = side * 6.8f;
    m.cylinder({x, 1.6f, -1.6f}, 1, 0.08f, 1.6f, 6, kSignWhite, kSignWhite);
    for (float turn : {-0.6f, 0.6f}) {
      const std::uint32_t first = m.pointCount();
      m.box({x, 3.0f, -1.6f}, {0.9f, 0.12f, 0.03f}, turn > 0 ? kSignRed : kSignWhite);
      m.rotate(first, 2, turn, {x, 3.0f, -1.6f});
    }
  }
  return lwo2::objectFile({{0, {0, 0, 0}, "Uebergang", m}}, westLooks());
}

// The conveyor's belt over the road under its shed.
std::vector<std::uint8_t> conveyorObject() {
  lwo2::Mesh m;
  roadStrip(m, 10.0f, kIron);
  for (int i = -4; i <= 4; ++i) m.box({0, 0.05f, 1.1f * static_cast<float>(i)}, {6.0f, 0.02f, 0.08f}, kDarkBoards);
  gantry(m, 5.0f, kBoards, kDarkBoards);
  m.box({0, 5.6f, 0}, {7.2f, 0.1f, 5.5f}, kDarkBoards);
  return lwo2::objectFile({{0, {0, 0, 0}, "Foerderband", m}}, westLooks());
}

std::string sceneText(Entries& out, const SampleTrack& track) {
  lws::SceneWriter w;
  w.timing(0, 300, 30);
  w.ambient({1.0f, 0.9f, 0.8f}, 0.4f);
  writeTrackSpaces(w);
  TrackSky sky;
  sky.sunColour = {1.0f, 0.88f, 0.7f};
  sky.fog = {0.9f, 0.75f, 0.6f};
  sky.backdrop = {0.45f, 0.62f, 0.85f};
  sky.fogFrom = 90.0f;
  sky.fogTo = 380.0f;
  const std::vector<RoadPiece> pieces = {{0.85, 0.9, kSurfaceSlowGround, kMud, "Schlamm"}};
  addTrackBasics(out, w, track, {kRoad, kDesert, kFence}, sky, pieces);
  writeExtraBoxes(w, track, 0.1);
  writeExtraBoxes(w, track, 0.66);
  writeCrate(w, track, kHaySpot, kHay, {1.4f, 1.4f, 1.4f}, 15.0);
  writeZoneAcross(w, track, kCrossingAt, 3.0f, kSurfaceTrigger, kCrossing);
  writeStamper(w, track, kMillSpot, kMill, kStamperSound);
  writePad(w, track, kPadSpot);
  writeZoneAcross(w, track, kConveyorAt, 10.0f, kSurfaceBand, kConveyor);
  writeCrusher(w, track, kOreCrusherSpot, kOreCrusher);
  writeTrackObject(w, kMesas, lws::still());
  writeTrackObject(w, kTown, lws::still());
  const std::pair<double, float> cacti[] = {{0.05, 14.0f}, {0.12, -18.0f}, {0.2, 20.0f},   {0.26, -14.0f},
                                            {0.36, 16.0f}, {0.62, -15.0f}, {0.7, 18.0f},   {0.8, -20.0f},
                                            {0.9, 15.0f},  {0.95, -24.0f}, {0.33, -30.0f}, {0.78, 28.0f}};
  for (const auto& [f, lateral] : cacti) writePropBeside(w, track, f, lateral, kCactus);
  writeStartGrid(w, track);
  writeSun(w, sky);
  writeCameraAndFog(w, track, sky);
  return w.text();
}

}  // namespace

bool addCanyonTrack(ArchiveWriter& writer) {
  const SampleTrack& track = *findSampleTrack(5);
  Entries out{writer};
  out.add(track.sceneFile, sceneText(out, track));
  out.add(kRoad, writeJpegRgb(tex::kSide, tex::kSide, tex::blotches(170, 120, 80, 150, 100, 65, 61u), {}));
  out.add(kDesert, writeBmp24(64, 64, speckled(64, 205, 130, 80, 16, 63u)));
  out.add(kFence, writeBmp24(tex::kSide, tex::kSide, tex::planks(160, 115, 70, 8, 65u)));
  out.add(kMud, writeBmp24(tex::kSide, tex::kSide, tex::blotches(95, 70, 45, 70, 50, 30, 67u)));
  out.add(kMesas, mesasObject());
  out.add(kTown, townObject(track));
  out.add(kCactus, cactusObject());
  out.add(kHay, hayObject());
  out.add(kMill, millObject());
  out.add(kOreCrusher, oreCrusherObject());
  out.add(kCrossing, crossingObject());
  out.add(kConveyor, conveyorObject());
  return out.ok && addTrackMaps(writer, track) && addTrackPointFiles(writer, track);
}
