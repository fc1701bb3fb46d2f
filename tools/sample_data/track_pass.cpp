// Track 6 ("shimalaya"): a snow road over a mountain pass between walls of
// packed ice, snow-capped peaks and dark pines around, a monastery with its
// prayer flags by the road. Karts slide on a frozen stream and on a sheet
// of ice, a mountain wind blows through the prayer-flag gate, a boulder
// crushes karts that run into it, a snowman stands in the way, a crevasse
// swallows karts and an avalanche barrier puts them back on the road.
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

const std::string kRoad = kTrackTextures + "schneeweg_himalaya.jpg";
const std::string kSnow = kTrackTextures + "schnee_himalaya.bmp";
const std::string kIceWall = kTrackTextures + "eiswand_himalaya.bmp";
const std::string kIce = kTrackTextures + "eis_himalaya.bmp";
const std::string kPeaks = kTrackObjects + "track_08_gipfel.lwo";
const std::string kMonastery = kTrackObjects + "track_08_kloster.lwo";
const std::string kPine = kTrackProps + "kiefer.lwo";
const std::string kSnowman = kTrackProps + "schneemann.lwo";
const std::string kBoulder = kTrackProps + "felsbrocken.lwo";
const std::string kCrevasse = kTrackProps + "gletscherspalte.lwo";
const std::string kFrozenStream = kTrackProps + "gefrorener_bach.lwo";
const std::string kFlagGate = kTrackProps + "gebetsfahnen.lwo";

constexpr Spot kSnowmanSpot{0.08, 4.0f};
constexpr double kStreamAt = 0.25;
constexpr Spot kBoulderSpot{0.4, -4.5f};
constexpr double kGateAt = 0.5;
constexpr double kBarrierAt = 0.78;
constexpr Spot kCrevasseSpot{0.84, 5.0f};

enum PassLook : std::uint16_t {
  kRock,
  kSnowCap,
  kPineGreen,
  kBark,
  kWhiteWash,
  kRoof,
  kGold,
  kBlue,
  kRed,
  kGreen,
  kYellow
};

std::vector<lwo2::Look> passLooks() {
  return {plainLook("Fels", colour(110, 105, 110)),
          plainLook("Schneekappe", colour(245, 248, 255), 0.1f),
          plainLook("Kiefer", colour(30, 80, 50)),
          plainLook("Rinde", colour(90, 60, 40)),
          plainLook("Kalkweiss", colour(240, 236, 228)),
          plainLook("Dach", colour(150, 40, 35)),
          plainLook("Gold", colour(240, 195, 60), 0.2f, 0.8f),
          plainLook("Blau", colour(40, 90, 200), 0.1f),
          plainLook("Rot", colour(200, 40, 40), 0.1f),
          plainLook("Gruen", colour(40, 160, 70), 0.1f),
          plainLook("Gelb", colour(240, 210, 40), 0.1f)};
}

// A peak: a rocky cone with a snow cap over its top third.
void peak(lwo2::Mesh& m, float x, float z, float radius, float height) {
  m.cone({x, -0.2f, z}, 1, radius, height, 9, kRock, kRock);
  const float capBase = height * 0.62f;
  m.cone({x, capBase, z}, 1, radius * 0.4f, height - capBase + 0.5f, 9, kSnowCap, kSnowCap);
}

std::vector<std::uint8_t> peaksObject() {
  lwo2::Mesh m;
  const float places[][4] = {{360, 120, 120, 190},   {260, 420, 150, 240},   {-330, 300, 130, 210},
                             {-380, -150, 140, 200}, {-120, -420, 160, 260}, {250, -380, 120, 180},
                             {420, -120, 110, 170},  {30, 10, 40, 70}};
  for (const auto& p : places) peak(m, p[0], p[1], p[2], p[3]);
  return lwo2::objectFile({{0, {0, 0, 0}, "Gipfel", m}}, passLooks());
}

// A white monastery with a red roof and a golden stupa, and strings of
// flags between poles.
std::vector<std::uint8_t> monasteryObject(const SampleTrack& track) {
  lwo2::Mesh m;
  const Point2 at = besideCentre(track, 0.56, 30.0f);
  const float heading = headingAt(track, 0.56);
  const std::uint32_t first = m.pointCount();
  m.box({at.x, 4.0f, at.z}, {12.0f, 4.0f, 7.0f}, kWhiteWash);
  m.hexahedron({lwo2::Vec3{at.x - 13.0f, 8.0f, at.z - 8.0f},
                {at.x + 13.0f, 8.0f, at.z - 8.0f},
                {at.x + 13.0f, 8.0f, at.z + 8.0f},
                {at.x - 13.0f, 8.0f, at.z + 8.0f},
                {at.x - 10.0f, 11.0f, at.z - 3.0f},
                {at.x + 10.0f, 11.0f, at.z - 3.0f},
                {at.x + 10.0f, 11.0f, at.z + 3.0f},
                {at.x - 10.0f, 11.0f, at.z + 3.0f}},
               kRoof);
  m.ellipsoid({at.x, 11.5f, at.z}, {2.5f, 2.5f, 2.5f}, 10, 6, kWhiteWash);
  m.cone({at.x, 13.5f, at.z}, 1, 0.8f, 4.0f, 8, kGold, kGold);
  m.rotate(first, 1, heading, {at.x, 0, at.z});
  return lwo2::objectFile({{0, {0, 0, 0}, "Kloster", m}}, passLooks());
}

std::vector<std::uint8_t> pineObject() {
  lwo2::Mesh m;
  pineTree(m, {0, 0, 0}, 9.0f, kBark, kPineGreen);
  m.cone({0, 7.5f, 0}, 1, 0.8f, 1.6f, 8, kSnowCap, kSnowCap);
  return lwo2::objectFile({{0, {0, 0, 0}, "Kiefer", m}}, passLooks());
}

std::vector<std::uint8_t> snowmanObject() {
  // Three balls, a hat and a carrot nose, within its 1.2 x 1.8 x 1.2 box.
  lwo2::Mesh m;
  m.ellipsoid({0, -0.5f, 0}, {0.6f, 0.4f, 0.6f}, 10, 6, kSnowCap);
  m.ellipsoid({0, 0.15f, 0}, {0.45f, 0.35f, 0.45f}, 10, 6, kSnowCap);
  m.ellipsoid({0, 0.65f, 0}, {0.3f, 0.25f, 0.3f}, 10, 6, kSnowCap);
  m.cylinder({0, 0.88f, 0}, 1, 0.2f, 0.1f, 8, kBark, kBark);
  m.cone({0, 0.65f, 0.28f}, 2, 0.05f, 0.25f, 6, kYellow, kYellow);
  return lwo2::objectFile({{0, {0, 0, 0}, "Schneemann", m}}, passLooks());
}

std::vector<std::uint8_t> boulderObject() {
  lwo2::Mesh m;
  m.ellipsoid({0, 0, 0}, {1.5f, 1.25f, 1.5f}, 9, 6, kRock);
  m.ellipsoid({0, 0.9f, 0}, {1.0f, 0.4f, 1.0f}, 9, 4, kSnowCap);
  return lwo2::objectFile({{0, {0, 0, 0}, "Brocken", m}}, passLooks());
}

std::vector<std::uint8_t> crevasseObject() {
  lwo2::Mesh m;
  m.polygon(
      {m.point({-1.5f, 0, -2.0f}), m.point({1.5f, 0, -2.0f}), m.point({1.5f, 0, 2.0f}), m.point({-1.5f, 0, 2.0f})},
      {0, 1, 0}, 0);
  return lwo2::objectFile({{0, {0, 0, 0}, "Spalte", m}}, {plainLook("Tiefe", colour(20, 40, 70))});
}

std::vector<std::uint8_t> streamObject() {
  lwo2::Mesh m;
  roadStrip(m, 8.0f, 0);
  return lwo2::objectFile({{0, {0, 0, 0}, "Bach", m}}, {plainLook("Bacheis", colour(170, 215, 245), 0.1f, 0.9f)});
}

// A gate of poles over the road with strings of prayer flags.
std::vector<std::uint8_t> flagGateObject() {
  lwo2::Mesh m;
  gantry(m, 6.0f, kBark, kRoof);
  const PassLook flags[] = {kBlue, kWhiteWash, kRed, kGreen, kYellow};
  for (int i = 0; i < 15; ++i) {
    const float x = -6.3f + 0.9f * static_cast<float>(i);
    const float sag = 5.4f - 0.6f * std::sin(3.14159f * static_cast<float>(i) / 14.0f);
    m.box({x, sag - 0.3f, 0.0f}, {0.3f, 0.3f, 0.02f}, flags[i % 5]);
  }
  return lwo2::objectFile({{0, {0, 0, 0}, "Fahnen", m}}, passLooks());
}

std::string sceneText(Entries& out, const SampleTrack& track) {
  lws::SceneWriter w;
  w.timing(0, 300, 30);
  w.ambient({0.9f, 0.95f, 1.0f}, 0.45f);
  writeTrackSpaces(w);
  TrackSky sky;
  sky.sunColour = {0.95f, 0.97f, 1.0f};
  sky.fog = {0.85f, 0.88f, 0.94f};
  sky.backdrop = {0.55f, 0.70f, 0.90f};
  sky.fogFrom = 50.0f;
  sky.fogTo = 260.0f;
  const std::vector<RoadPiece> pieces = {{0.6, 0.66, kSurfaceSlidingGround, kIce, "Eis"}};
  addTrackBasics(out, w, track, {kRoad, kSnow, kIceWall}, sky, pieces);
  writeExtraBoxes(w, track, 0.15);
  writeExtraBoxes(w, track, 0.7);
  writeCrate(w, track, kSnowmanSpot, kSnowman, {1.2f, 1.8f, 1.2f}, 20.0);
  writeZoneAcross(w, track, kStreamAt, 8.0f, kSurfaceSlide, kFrozenStream);
  writeCrusher(w, track, kBoulderSpot, kBoulder);
  writeZoneAcross(w, track, kGateAt, 6.0f, kSurfaceWind, kFlagGate);
  writeResetZone(w, track, kBarrierAt, 1);
  writePit(w, track, kCrevasseSpot, kCrevasse);
  writeTrackObject(w, kPeaks, lws::still());
  writeTrackObject(w, kMonastery, lws::still());
  for (int i = 0; i < 24; ++i) {
    const double f = (i + 0.3) / 24.0;
    const float lateral = (i % 2 == 0 ? 1.0f : -1.0f) * (14.0f + 5.0f * static_cast<float>(i % 3));
    if (std::fabs(f - 0.56) < 0.04 && lateral > 0) continue;  // the monastery stands there
    writePropBeside(w, track, f, lateral, kPine);
  }
  writeStartGrid(w, track);
  writeSun(w, sky);
  writeCameraAndFog(w, track, sky);
  return w.text();
}

}  // namespace

bool addPassTrack(ArchiveWriter& writer) {
  const SampleTrack& track = *findSampleTrack(6);
  Entries out{writer};
  out.add(track.sceneFile, sceneText(out, track));
  out.add(kRoad, writeJpegRgb(tex::kSide, tex::kSide, tex::blotches(215, 218, 225, 185, 190, 200, 71u), {}));
  out.add(kSnow, writeBmp24(tex::kSide, tex::kSide, tex::blotches(245, 248, 255, 220, 230, 245, 73u)));
  out.add(kIceWall, writeBmp24(tex::kSide, tex::kSide, tex::marble(190, 220, 240, 75u)));
  out.add(kIce, writeBmp24(tex::kSide, tex::kSide, tex::marble(170, 210, 240, 77u)));
  out.add(kPeaks, peaksObject());
  out.add(kMonastery, monasteryObject(track));
  out.add(kPine, pineObject());
  out.add(kSnowman, snowmanObject());
  out.add(kBoulder, boulderObject());
  out.add(kCrevasse, crevasseObject());
  out.add(kFrozenStream, streamObject());
  out.add(kFlagGate, flagGateObject());
  return out.ok && addTrackMaps(writer, track) && addTrackPointFiles(writer, track);
}
