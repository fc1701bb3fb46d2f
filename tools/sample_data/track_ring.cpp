// Track 1 ("aegypten"): dark basalt paving across the desert, round an
// obelisk and between pyramids, the road plain against the pale sand.
//
// The test ring stands in for it where tests race without steering: the
// same files, but a small walled ring of sand-swept paving round the
// obelisk, all of it slow ground. On it a kart's own turning circle at full
// left lock is about as wide as the ring, so a kart holding the throttle
// and left circles the obelisk lap after lap, brushing the inner wall; one
// holding the throttle alone meets the outer wall at a glancing angle and
// the wall takes it round.
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "content/bmp_writer.h"
#include "content/jpeg_writer.h"
#include "tools/sample_data/track_hazards.h"
#include "tools/sample_data/track_maps.h"
#include "tools/sample_data/track_pieces.h"
#include "tools/sample_data/track_samples.h"

namespace {

const std::string kRoad = kTrackTextures + "strasse_aegypten.jpg";
const std::string kSand = kTrackTextures + "sand_aegypten.bmp";
const std::string kStone = kTrackTextures + "sandstein_aegypten.bmp";
const std::string kPyramids = kTrackObjects + "track_05_pyramiden.lwo";
const std::string kObelisk = kTrackProps + "obelisk.lwo";
const std::string kPalm = kTrackProps + "palme_aegypten.lwo";

// Where pyramids stand: offset from the hub, half width, height.
struct Pyramid {
  float x, z, halfWidth, height;
};
// Two small ones in the infield either side of the obelisk, the great ones
// out in the desert beyond the road; all well clear of the walls.
constexpr Pyramid kPyramidPlaces[] = {
    {-45.0f, 20.0f, 18.0f, 24.0f},   {55.0f, -10.0f, 14.0f, 18.0f},  {90.0f, 240.0f, 45.0f, 60.0f},
    {-150.0f, 215.0f, 32.0f, 42.0f}, {310.0f, -40.0f, 40.0f, 52.0f}, {-110.0f, -225.0f, 36.0f, 46.0f},
    {130.0f, -210.0f, 26.0f, 34.0f},
};
// Palms: lap fraction and metres right of the centre (negative: inside).
constexpr std::pair<double, float> kPalms[] = {
    {0.03, 12.0f}, {0.08, -13.0f}, {0.17, 14.0f}, {0.26, -12.0f}, {0.35, 13.0f}, {0.44, -14.0f},
    {0.53, 12.0f}, {0.62, -13.0f}, {0.71, 15.0f}, {0.8, -12.0f},  {0.88, 13.0f}, {0.95, -13.0f},
};
constexpr Pyramid kTestRingPyramids[] = {
    {70.0f, 40.0f, 22.0f, 30.0f},     {-60.0f, 55.0f, 14.0f, 18.0f},  {180.0f, 60.0f, 40.0f, 55.0f},
    {-170.0f, -120.0f, 35.0f, 45.0f}, {40.0f, -150.0f, 28.0f, 36.0f},
};

struct RingScene {
  std::vector<double> boxes;                    // lap fractions of the rows of extra boxes
  std::vector<std::pair<double, float>> palms;  // lap fraction, metres right of the centre
  std::vector<Pyramid> pyramids;
};

std::string sceneText(Entries& out, const SampleTrack& track, const RingScene& ring) {
  lws::SceneWriter w;
  w.timing(0, 300, 30);
  w.ambient({1.0f, 0.95f, 0.85f}, 0.4f);
  writeTrackSpaces(w);
  TrackSky sky;
  sky.sunColour = {1.0f, 0.93f, 0.78f};
  sky.fog = {0.86f, 0.79f, 0.64f};
  sky.backdrop = {0.42f, 0.62f, 0.88f};
  sky.fogFrom = 60.0f;
  sky.fogTo = 260.0f;
  addTrackBasics(out, w, track, {kRoad, kSand, kStone}, sky);
  for (double f : ring.boxes) writeExtraBoxes(w, track, f);
  writeTrackObject(w, kPyramids, lws::still());
  writeProp(w, kObelisk, static_cast<float>(track.hub.x), static_cast<float>(track.hub.z));
  for (const auto& [f, lateral] : ring.palms) writePropBeside(w, track, f, lateral, kPalm);
  writeStartGrid(w, track);
  writeSun(w, sky);
  writeCameraAndFog(w, track, sky);
  return w.text();
}

std::vector<std::uint8_t> obeliskObject() {
  lwo2::Mesh m;
  m.box({0, 0.3f, 0}, {1.1f, 0.3f, 1.1f}, 0);
  m.hexahedron({lwo2::Vec3{-0.6f, 0.6f, -0.6f},
                {0.6f, 0.6f, -0.6f},
                {0.6f, 0.6f, 0.6f},
                {-0.6f, 0.6f, 0.6f},
                {-0.4f, 7.0f, -0.4f},
                {0.4f, 7.0f, -0.4f},
                {0.4f, 7.0f, 0.4f},
                {-0.4f, 7.0f, 0.4f}},
               0);
  m.cone({0, 7.0f, 0}, 1, 0.57f, 1.0f, 4, 1, 1);
  return lwo2::objectFile({{0, {0, 0, 0}, "Obelisk", m}}, {plainLook("Granit", colour(196, 150, 110)),
                                                           plainLook("Gold", colour(240, 200, 60), 0.2f, 0.8f)});
}

std::vector<std::uint8_t> palmObject() {
  lwo2::Mesh m;
  m.cylinder({0, 2.5f, 0}, 1, 0.2f, 2.5f, 6, 0, 0);
  for (int i = 0; i < 6; ++i) {
    const std::uint32_t first = m.pointCount();
    m.ellipsoid({1.3f, 5.0f, 0}, {1.4f, 0.12f, 0.4f}, 6, 3, 1);
    m.rotate(first, 2, -0.35f, {0, 5.0f, 0});
    m.rotate(first, 1, 6.2831853f * static_cast<float>(i) / 6.0f, {0, 5.0f, 0});
  }
  return lwo2::objectFile({{0, {0, 0, 0}, "Palme", m}},
                          {plainLook("Stamm", colour(120, 90, 55)), plainLook("Wedel", colour(60, 140, 50))});
}

// The track's files under track 1's names, the road's texture from `road`.
bool addRing(ArchiveWriter& writer, const SampleTrack& track, const RingScene& ring,
             const std::vector<std::uint32_t>& road) {
  Entries out{writer};
  out.add(track.sceneFile, sceneText(out, track, ring));
  out.add(kRoad, writeJpegRgb(128, 128, road, {}));
  out.add(kSand, writeBmp24(64, 64, speckled(64, 214, 186, 130, 12, 23u)));
  out.add(kStone, writeBmp24(64, 64, bandedPixels(64, 16, rgb(200, 170, 110), rgb(175, 145, 90))));
  Mesh pyramids;
  for (const Pyramid& p : ring.pyramids)
    pyramids.pyramid({static_cast<float>(track.hub.x) + p.x, -0.05f, static_cast<float>(track.hub.z) + p.z},
                     p.halfWidth, p.height);
  out.add(kPyramids, objectBytes(pyramids, {{"Pyramide", {1, 1, 1}, 1}}, {{1, kStone}}));
  out.add(kObelisk, obeliskObject());
  out.add(kPalm, palmObject());
  return out.ok && addTrackMaps(writer, track) && addTrackPointFiles(writer, track);
}

}  // namespace

bool addRingTrack(ArchiveWriter& writer) {
  RingScene ring;
  ring.boxes = {0.2, 0.55};
  ring.palms.assign(std::begin(kPalms), std::end(kPalms));
  ring.pyramids.assign(std::begin(kPyramidPlaces), std::end(kPyramidPlaces));
  // Dark basalt with white edge lines: the road reads at once against the
  // sand, in the view and on the maps drawn from it.
  return addRing(writer, *findSampleTrack(1), ring, roadPixels(92, 86, 80, 21u));
}

bool addTestRingTrack(ArchiveWriter& writer) {
  const SampleTrack& track = testRingTrack();
  RingScene ring;
  ring.boxes = {0.5};
  for (int i = 0; i < 8; ++i) ring.palms.push_back({(i + 0.5) / 8.0, 11.0f + 2.0f * static_cast<float>(i % 2)});
  ring.pyramids.assign(std::begin(kTestRingPyramids), std::end(kTestRingPyramids));
  return addRing(writer, track, ring, roadPixels(170, 150, 115, 21u));
}
