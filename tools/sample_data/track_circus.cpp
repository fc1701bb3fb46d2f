// Track 2 ("rom"): a chariot circus. The long oval of flagstones runs
// between marble walls round the spina, the low wall down the middle with
// its obelisk and turning posts; tiered stands with red awnings line the
// straights. A falling column drum stamps on the outside of the far bend, a
// marble block crushes karts that run into it, amphorae stand in the way
// and a speed-up pad waits on the last straight.
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

const std::string kRoad = kTrackTextures + "pflaster_rom.jpg";
const std::string kSand = kTrackTextures + "arena_rom.bmp";
const std::string kMarble = kTrackTextures + "marmor_rom.bmp";
const std::string kSpina = kTrackObjects + "track_03_spina.lwo";
const std::string kStands = kTrackObjects + "track_03_tribuenen.lwo";
const std::string kDrum = kTrackProps + "saeulentrommel.lwo";
const std::string kBlock = kTrackProps + "marmorblock.lwo";
const std::string kAmphora = kTrackProps + "amphore.lwo";
const std::string kColumn = kTrackProps + "saeule.lwo";

constexpr Spot kAmphoraSpot{0.12, -4.0f};
constexpr Spot kDrumSpot{0.3, 4.5f};
constexpr Spot kBlockSpot{0.55, -4.5f};
constexpr Spot kPadSpot{0.82, 4.0f};

enum RomanLook : std::uint16_t { kWhite, kGold, kRed, kTerracotta, kGrey };

std::vector<lwo2::Look> romanLooks() {
  return {plainLook("Marmor", colour(232, 228, 218), 0.0f, 0.3f), plainLook("Gold", colour(235, 190, 60), 0.15f, 0.8f),
          plainLook("Sonnensegel", colour(170, 40, 35)), plainLook("Terrakotta", colour(190, 95, 55)),
          plainLook("Stein", colour(150, 145, 135))};
}

// A fluted column with base and capital, 6 m high.
void column(lwo2::Mesh& m, lwo2::Vec3 at, float height) {
  m.box({at[0], at[1] + 0.2f, at[2]}, {0.6f, 0.2f, 0.6f}, kWhite);
  m.cylinder({at[0], at[1] + height / 2.0f, at[2]}, 1, 0.4f, height / 2.0f - 0.4f, 10, kWhite, kWhite);
  m.box({at[0], at[1] + height - 0.2f, at[2]}, {0.65f, 0.2f, 0.65f}, kWhite);
}

std::vector<std::uint8_t> spinaObject(const SampleTrack& track) {
  const float cx = static_cast<float>(track.hub.x), cz = static_cast<float>(track.hub.z);
  lwo2::Mesh m;
  m.box({cx, 0.6f, cz}, {55.0f, 0.6f, 2.0f}, kGrey);
  // The obelisk in the middle, the gilded turning posts at both ends.
  m.hexahedron({lwo2::Vec3{cx - 1.0f, 1.2f, cz - 1.0f},
                {cx + 1.0f, 1.2f, cz - 1.0f},
                {cx + 1.0f, 1.2f, cz + 1.0f},
                {cx - 1.0f, 1.2f, cz + 1.0f},
                {cx - 0.6f, 14.0f, cz - 0.6f},
                {cx + 0.6f, 14.0f, cz - 0.6f},
                {cx + 0.6f, 14.0f, cz + 0.6f},
                {cx - 0.6f, 14.0f, cz + 0.6f}},
               kTerracotta);
  m.cone({cx, 14.0f, cz}, 1, 0.85f, 1.4f, 4, kGold, kGold);
  for (float side : {-1.0f, 1.0f}) {
    m.cylinder({cx + side * 58.0f, 0.6f, cz}, 1, 2.5f, 0.6f, 12, kGrey, kGrey);
    for (int i = 0; i < 3; ++i) {
      const float a = 2.0944f * static_cast<float>(i);
      m.cone({cx + side * 58.0f + 1.2f * std::cos(a), 1.2f, cz + 1.2f * std::sin(a)}, 1, 0.6f, 4.0f, 8, kGold, kGold);
    }
    for (int i = 1; i <= 3; ++i) column(m, {cx + side * 14.0f * static_cast<float>(i), 1.2f, cz}, 5.0f);
  }
  return lwo2::objectFile({{0, {0, 0, 0}, "Spina", m}}, romanLooks());
}

// Tiered stands along both straights, beyond the walls, under awnings.
std::vector<std::uint8_t> standsObject(const SampleTrack& track) {
  const float cx = static_cast<float>(track.hub.x), cz = static_cast<float>(track.hub.z);
  lwo2::Mesh m;
  for (float side : {-1.0f, 1.0f}) {
    for (int tier = 0; tier < 5; ++tier) {
      const float depth = 67.0f + 2.0f * static_cast<float>(tier);
      m.box({cx, 0.75f * static_cast<float>(tier + 1), cz + side * depth},
            {62.0f, 0.75f * static_cast<float>(tier + 1), 1.0f}, tier % 2 == 0 ? kWhite : kGrey);
    }
    for (int i = -4; i <= 4; ++i) column(m, {cx + 15.0f * static_cast<float>(i), 7.5f, cz + side * 76.0f}, 6.0f);
    m.box({cx, 14.0f, cz + side * 72.0f}, {63.0f, 0.1f, 5.0f}, kRed);
  }
  return lwo2::objectFile({{0, {0, 0, 0}, "Tribuenen", m}}, romanLooks());
}

std::vector<std::uint8_t> drumObject() {
  // A column drum, fluted, with a gilded band: 3 x 2 x 3 like its box.
  lwo2::Mesh m;
  m.cylinder({0, 0, 0}, 1, 1.5f, 1.0f, 16, kWhite, kWhite);
  m.cylinder({0, 0, 0}, 1, 1.52f, 0.15f, 16, kGold, kGold);
  return lwo2::objectFile({{0, {0, 0, 0}, "Trommel", m}}, romanLooks());
}

std::vector<std::uint8_t> blockObject() {
  lwo2::Mesh m;
  m.box({0, 0, 0}, {1.5f, 1.25f, 1.5f}, kWhite);
  m.box({0, 1.3f, 0}, {1.2f, 0.05f, 1.2f}, kGold);
  return lwo2::objectFile({{0, {0, 0, 0}, "Block", m}}, romanLooks());
}

std::vector<std::uint8_t> amphoraObject() {
  // Its body within the 1 x 1.4 x 1 box that karts push.
  lwo2::Mesh m;
  m.ellipsoid({0, -0.15f, 0}, {0.5f, 0.55f, 0.5f}, 12, 8, kTerracotta);
  m.cylinder({0, 0.5f, 0}, 1, 0.18f, 0.2f, 10, kTerracotta, kTerracotta);
  for (float side : {-1.0f, 1.0f}) m.box({side * 0.25f, 0.45f, 0}, {0.05f, 0.15f, 0.04f}, kTerracotta);
  return lwo2::objectFile({{0, {0, 0, 0}, "Amphore", m}}, romanLooks());
}

std::vector<std::uint8_t> columnObject() {
  lwo2::Mesh m;
  column(m, {0, 0, 0}, 7.0f);
  return lwo2::objectFile({{0, {0, 0, 0}, "Saeule", m}}, romanLooks());
}

std::string sceneText(Entries& out, const SampleTrack& track) {
  lws::SceneWriter w;
  w.timing(0, 300, 30);
  w.ambient({1.0f, 0.97f, 0.9f}, 0.4f);
  writeTrackSpaces(w);
  TrackSky sky;
  sky.sunColour = {1.0f, 0.95f, 0.82f};
  sky.fog = {0.88f, 0.84f, 0.76f};
  sky.backdrop = {0.30f, 0.50f, 0.85f};
  sky.fogFrom = 80.0f;
  sky.fogTo = 300.0f;
  addTrackBasics(out, w, track, {kRoad, kSand, kMarble}, sky);
  writeExtraBoxes(w, track, 0.18);
  writeExtraBoxes(w, track, 0.68);
  writeCrate(w, track, kAmphoraSpot, kAmphora, {1.0f, 1.4f, 1.0f}, 20.0);
  writeStamper(w, track, kDrumSpot, kDrum, kStamperSound2);
  writeCrusher(w, track, kBlockSpot, kBlock);
  writePad(w, track, kPadSpot);
  writeTrackObject(w, kSpina, lws::still());
  writeTrackObject(w, kStands, lws::still());
  for (double f : {0.05, 0.45, 0.95}) writePropBeside(w, track, f, 12.0f, kColumn);
  writeStartGrid(w, track);
  writeSun(w, sky);
  writeCameraAndFog(w, track, sky);
  return w.text();
}

}  // namespace

bool addCircusTrack(ArchiveWriter& writer) {
  const SampleTrack& track = *findSampleTrack(2);
  Entries out{writer};
  out.add(track.sceneFile, sceneText(out, track));
  out.add(kRoad, writeJpegRgb(tex::kSide, tex::kSide, tex::paving(150, 140, 125, 8, 41u), {}));
  out.add(kSand, writeBmp24(64, 64, speckled(64, 205, 170, 115, 14, 43u)));
  out.add(kMarble, writeBmp24(tex::kSide, tex::kSide, tex::marble(230, 226, 215, 47u)));
  out.add(kSpina, spinaObject(track));
  out.add(kStands, standsObject(track));
  out.add(kDrum, drumObject());
  out.add(kBlock, blockObject());
  out.add(kAmphora, amphoraObject());
  out.add(kColumn, columnObject());
  return out.ok && addTrackMaps(writer, track) && addTrackPointFiles(writer, track);
}
