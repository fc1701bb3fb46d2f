// Track 4 ("pirateninsel"): a sandy road round a pirate island between log
// walls, palms inside, the sea outside with a pirate ship at anchor. A sea
// breeze blows along the cliff road, a stretch of loose sand lets karts
// slide, barrels stand in the way, a hole drops karts into the sea and a
// shipwreck's planks put karts back on the road.
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

const std::string kRoad = kTrackTextures + "sandweg_insel.jpg";
const std::string kBeach = kTrackTextures + "strand_insel.bmp";
const std::string kLogs = kTrackTextures + "palisade_insel.bmp";
const std::string kLooseSand = kTrackTextures + "treibsand_insel.bmp";
const std::string kWater = kTrackTextures + "wasser_insel.bmp";
const std::string kSea = kTrackObjects + "track_02_meer.lwo";
const std::string kShip = kTrackProps + "piratenschiff.lwo";
const std::string kPalm = kTrackProps + "palme_insel.lwo";
const std::string kBarrel = kTrackProps + "fass.lwo";
const std::string kChest = kTrackProps + "schatztruhe.lwo";
const std::string kSkullRock = kTrackProps + "totenkopffels.lwo";
const std::string kBreeze = kTrackProps + "wimpel.lwo";
const std::string kHole = kTrackProps + "wasserloch.lwo";

constexpr Spot kBarrelSpot{0.2, 4.0f};
constexpr Spot kHoleSpot{0.7, 4.5f};
constexpr double kWreckAt = 0.88;
constexpr double kBreezeAt = 0.35;

enum IslandLook : std::uint16_t { kWood, kDarkWood, kSail, kLeaves, kRock, kGoldLook, kIron };

std::vector<lwo2::Look> islandLooks() {
  return {plainLook("Holz", colour(140, 95, 55)),
          plainLook("Dunkles Holz", colour(80, 50, 30)),
          plainLook("Segel", colour(235, 230, 210)),
          plainLook("Palmwedel", colour(55, 150, 60)),
          plainLook("Fels", colour(130, 125, 120)),
          plainLook("Gold", colour(245, 200, 50), 0.2f, 0.9f),
          plainLook("Eisen", colour(60, 60, 65), 0.0f, 0.6f)};
}

std::vector<std::uint8_t> shipObject() {
  lwo2::Mesh m;
  // The hull, narrowing to the bow (+z), the deck, three masts with sails.
  m.hexahedron({lwo2::Vec3{-3.0f, -1.0f, -11.0f},
                {3.0f, -1.0f, -11.0f},
                {0.8f, -1.0f, 12.0f},
                {-0.8f, -1.0f, 12.0f},
                {-4.5f, 3.5f, -12.0f},
                {4.5f, 3.5f, -12.0f},
                {1.5f, 3.5f, 14.0f},
                {-1.5f, 3.5f, 14.0f}},
               kDarkWood);
  m.box({0, 4.5f, -9.5f}, {4.0f, 1.0f, 2.5f}, kWood);
  for (int i = 0; i < 3; ++i) {
    const float z = -5.0f + 6.0f * static_cast<float>(i), height = i == 1 ? 20.0f : 16.0f;
    m.cylinder({0, 3.5f + height / 2.0f, z}, 1, 0.3f, height / 2.0f, 8, kWood, kWood);
    for (int sail = 0; sail < 2; ++sail) {
      const float y = 8.0f + 5.5f * static_cast<float>(sail);
      m.box({0, y, z + 0.4f}, {4.5f - static_cast<float>(sail), 2.2f, 0.1f}, kSail);
    }
  }
  m.box({0, 24.5f, 1.0f}, {0.05f, 1.0f, 1.5f}, kIron);  // the black flag
  return lwo2::objectFile({{0, {0, 0, 0}, "Schiff", m}}, islandLooks());
}

std::vector<std::uint8_t> palmObject() {
  lwo2::Mesh m;
  // A curved trunk of stacked drums, a crown of fronds and coconuts.
  for (int i = 0; i < 6; ++i) {
    const float y = 0.9f * static_cast<float>(i) + 0.45f, lean = 0.04f * static_cast<float>(i * i);
    m.cylinder({lean, y, 0}, 1, 0.28f - 0.02f * static_cast<float>(i), 0.45f, 7, kWood, kWood);
  }
  const lwo2::Vec3 top{1.0f, 5.5f, 0};
  for (int i = 0; i < 7; ++i) {
    const std::uint32_t first = m.pointCount();
    m.ellipsoid({top[0] + 1.6f, top[1], top[2]}, {1.7f, 0.1f, 0.45f}, 6, 3, kLeaves);
    m.rotate(first, 2, -0.4f, top);
    m.rotate(first, 1, 6.2831853f * static_cast<float>(i) / 7.0f, top);
  }
  for (int i = 0; i < 3; ++i)
    m.ellipsoid({top[0] + 0.25f * std::cos(2.1f * static_cast<float>(i)), top[1] - 0.3f,
                 0.25f * std::sin(2.1f * static_cast<float>(i))},
                {0.18f, 0.18f, 0.18f}, 6, 4, kDarkWood);
  return lwo2::objectFile({{0, {0, 0, 0}, "Palme", m}}, islandLooks());
}

std::vector<std::uint8_t> barrelObject() {
  // Two barrels side by side filling the 1.6 x 1.2 x 1 box that karts push.
  lwo2::Mesh m;
  for (float x : {-0.4f, 0.4f}) {
    m.cylinder({x, 0, 0}, 1, 0.4f, 0.6f, 10, kWood, kDarkWood);
    for (float y : {-0.35f, 0.35f}) m.cylinder({x, y, 0}, 1, 0.42f, 0.05f, 10, kIron, kIron);
  }
  return lwo2::objectFile({{0, {0, 0, 0}, "Faesser", m}}, islandLooks());
}

std::vector<std::uint8_t> chestObject() {
  lwo2::Mesh m;
  m.box({0, 0.4f, 0}, {0.8f, 0.4f, 0.5f}, kDarkWood);
  m.cylinder({0, 0.8f, 0}, 0, 0.5f, 0.8f, 10, kDarkWood, kDarkWood);
  for (float x : {-0.5f, 0.5f}) m.box({x, 0.65f, 0}, {0.06f, 0.6f, 0.52f}, kIron);
  m.ellipsoid({0, 0.95f, 0}, {0.55f, 0.25f, 0.3f}, 8, 4, kGoldLook);
  return lwo2::objectFile({{0, {0, 0, 0}, "Truhe", m}}, islandLooks());
}

std::vector<std::uint8_t> skullRockObject() {
  // A grey rock in the shape of a skull, staring out to sea.
  lwo2::Mesh m;
  m.ellipsoid({0, 6.0f, 0}, {7.0f, 6.5f, 6.0f}, 14, 10, kRock);
  m.box({0, 1.5f, 2.0f}, {4.0f, 1.5f, 3.5f}, kRock);
  for (float x : {-2.5f, 2.5f}) m.ellipsoid({x, 6.5f, 5.3f}, {1.5f, 1.7f, 1.0f}, 8, 6, kDarkWood);
  m.cone({0, 4.2f, 5.6f}, 2, 0.8f, 0.6f, 3, kDarkWood, kDarkWood);
  return lwo2::objectFile({{0, {0, 0, 0}, "Fels", m}}, islandLooks());
}

// Pennants over the road, where the breeze blows along it.
std::vector<std::uint8_t> breezeObject() {
  lwo2::Mesh m;
  gantry(m, 5.5f, kWood, kWood);
  for (int i = -3; i <= 3; ++i) {
    const float x = 1.8f * static_cast<float>(i);
    m.hexahedron({lwo2::Vec3{x - 0.5f, 4.4f, -0.05f},
                  {x + 0.5f, 4.4f, -0.05f},
                  {x + 0.5f, 4.4f, 0.05f},
                  {x - 0.5f, 4.4f, 0.05f},
                  {x - 0.5f, 5.2f, -0.05f},
                  {x + 0.5f, 5.2f, -0.05f},
                  {x + 0.5f, 5.2f, 1.2f},
                  {x - 0.5f, 5.2f, 1.2f}},
                 i % 2 == 0 ? kSail : kGoldLook);
  }
  return lwo2::objectFile({{0, {0, 0, 0}, "Wimpel", m}}, islandLooks());
}

std::vector<std::uint8_t> holeObject() {
  lwo2::Mesh m;
  m.polygon(
      {m.point({-1.5f, 0, -2.0f}), m.point({1.5f, 0, -2.0f}), m.point({1.5f, 0, 2.0f}), m.point({-1.5f, 0, 2.0f})},
      {0, 1, 0}, 0);
  return lwo2::objectFile({{0, {0, 0, 0}, "Loch", m}}, {plainLook("Wasser", colour(20, 60, 110), 0.0f, 0.8f)});
}

// The sea round the island, from a beach beyond the road out to the sky.
Mesh seaMesh(const SampleTrack& track) {
  Mesh m;
  const float hx = static_cast<float>(track.hub.x), hz = static_cast<float>(track.hub.z);
  constexpr float kRings[] = {40.0f, 70.0f, 120.0f, 200.0f, 300.0f, 400.0f};
  constexpr auto kCount = static_cast<std::uint32_t>(std::size(kRings));
  for (int s = 0; s <= kRoadSegments; ++s) {
    const Point2 edge = besideCentre(track, static_cast<double>(s) / kRoadSegments, track.groundHalfWidth);
    const float dx = edge.x - hx, dz = edge.z - hz, length = std::hypot(dx, dz);
    for (float out : kRings) {
      const float x = edge.x + dx / length * out, z = edge.z + dz / length * out;
      m.add(x, 0.0f, z, x / 12.0f, z / 12.0f);
    }
  }
  for (std::uint32_t s = 0; s < kRoadSegments; ++s) {
    const std::uint32_t a = s * kCount, b = a + kCount;
    for (std::uint32_t k = 0; k + 1 < kCount; ++k) m.quad(a + k, a + k + 1, b + k + 1, b + k, {0, 1, 0});
  }
  return m;
}

std::string sceneText(Entries& out, const SampleTrack& track) {
  lws::SceneWriter w;
  w.timing(0, 300, 30);
  w.ambient({0.95f, 1.0f, 1.0f}, 0.4f);
  writeTrackSpaces(w);
  TrackSky sky;
  sky.sunColour = {1.0f, 0.97f, 0.88f};
  sky.fog = {0.70f, 0.84f, 0.92f};
  sky.backdrop = {0.28f, 0.62f, 0.92f};
  sky.fogFrom = 70.0f;
  sky.fogTo = 320.0f;
  const std::vector<RoadPiece> pieces = {{0.55, 0.6, kSurfaceSlidingGround, kLooseSand, "Treibsand"}};
  addTrackBasics(out, w, track, {kRoad, kBeach, kLogs}, sky, pieces);
  writeExtraBoxes(w, track, 0.25);
  writeExtraBoxes(w, track, 0.75);
  writeCrate(w, track, kBarrelSpot, kBarrel, {1.6f, 1.2f, 1.0f}, 25.0);
  writePit(w, track, kHoleSpot, kHole);
  writeResetZone(w, track, kWreckAt, -1);
  writeZoneAcross(w, track, kBreezeAt, 10.0f, kSurfaceWind, kBreeze);
  // The sea, drawn just above the beach it covers.
  w.loadObjectLayer(1, kSea);
  w.motion("ObjectMotion", lws::still(0.0f, -0.02f, 0.0f));
  w.entry("UnaffectedByFog", {0});
  writeProp(w, kShip, 210.0f, -120.0f, 0.6f, 0.0f);
  writeProp(w, kSkullRock, -200.0f, 60.0f, 1.8f);
  writeProp(w, kChest, static_cast<float>(track.hub.x) + 6.0f, static_cast<float>(track.hub.z) - 4.0f, 0.4f);
  const std::pair<double, float> palms[] = {{0.04, -16.0f}, {0.12, -22.0f}, {0.3, -15.0f},  {0.42, -25.0f},
                                            {0.5, -14.0f},  {0.6, -19.0f},  {0.68, -30.0f}, {0.8, -15.0f},
                                            {0.92, -21.0f}, {0.16, 14.0f},  {0.48, 15.0f},  {0.85, 16.0f}};
  for (const auto& [f, lateral] : palms) writePropBeside(w, track, f, lateral, kPalm);
  writeStartGrid(w, track);
  writeSun(w, sky);
  writeCameraAndFog(w, track, sky);
  return w.text();
}

}  // namespace

bool addIslandTrack(ArchiveWriter& writer) {
  const SampleTrack& track = *findSampleTrack(4);
  Entries out{writer};
  out.add(track.sceneFile, sceneText(out, track));
  out.add(kRoad, writeJpegRgb(tex::kSide, tex::kSide, tex::blotches(196, 170, 120, 170, 140, 95, 51u), {}));
  out.add(kBeach, writeBmp24(64, 64, speckled(64, 232, 212, 160, 10, 53u)));
  out.add(kLogs, writeBmp24(tex::kSide, tex::kSide, tex::planks(125, 85, 50, 4, 55u)));
  out.add(kLooseSand, writeBmp24(tex::kSide, tex::kSide, tex::blotches(236, 214, 160, 214, 186, 130, 57u)));
  out.add(kWater, writeBmp24(tex::kSide, tex::kSide, tex::blotches(30, 95, 160, 50, 140, 190, 59u)));
  out.add(kSea, objectBytes(seaMesh(track), {{"Meer", {1, 1, 1}, 1, false, 0.0f}}, {{1, kWater}}));
  out.add(kShip, shipObject());
  out.add(kPalm, palmObject());
  out.add(kBarrel, barrelObject());
  out.add(kChest, chestObject());
  out.add(kSkullRock, skullRockObject());
  out.add(kBreeze, breezeObject());
  out.add(kHole, holeObject());
  return out.ok && addTrackMaps(writer, track) && addTrackPointFiles(writer, track);
}
