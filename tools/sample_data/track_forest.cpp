// Track 3 ("robinhood"): a small walled loop through a forest, with a stretch
// of soft ground (kind 25) and a bog that slows a driver down (kind 26)
// across the whole road, a speed-up pad, a reset zone and extra boxes.
#include <string>
#include <vector>

#include "content/bmp_writer.h"
#include "content/jpeg_writer.h"
#include "tools/sample_data/track_hazards.h"
#include "tools/sample_data/track_maps.h"
#include "tools/sample_data/track_pieces.h"
#include "tools/sample_data/track_samples.h"

namespace {

const std::string kRoad = kTrackTextures + "weg_robinhood.jpg";
const std::string kGrass = kTrackTextures + "wiese_robinhood.bmp";
const std::string kFence = kTrackTextures + "palisade_robinhood.bmp";
const std::string kMud = kTrackTextures + "matsch_robinhood.bmp";
const std::string kBog = kTrackTextures + "sumpf_robinhood.bmp";
const std::string kTree = kTrackProps + "baum.lwo";

// Trees: lap fraction and metres right of the centre (negative: inside).
constexpr std::pair<double, float> kTrees[] = {
    {0.05, 16.0f}, {0.1, -18.0f}, {0.16, 22.0f}, {0.22, -15.0f}, {0.3, 18.0f},  {0.37, -20.0f},
    {0.44, 15.0f}, {0.5, 26.0f},  {0.58, 17.0f}, {0.63, -16.0f}, {0.7, 20.0f},  {0.78, -22.0f},
    {0.84, 15.0f}, {0.9, -17.0f}, {0.95, 24.0f}, {0.6, 30.0f},   {0.66, 14.0f}, {0.68, -28.0f},
};

std::string sceneText(Entries& out, const SampleTrack& track) {
  lws::SceneWriter w;
  w.timing(0, 300, 30);
  w.ambient({0.9f, 1.0f, 0.9f}, 0.35f);
  writeTrackSpaces(w);
  TrackSky sky;
  sky.sunColour = {0.95f, 1.0f, 0.9f};
  sky.fog = {0.62f, 0.70f, 0.62f};
  sky.backdrop = {0.40f, 0.58f, 0.80f};
  sky.fogFrom = 30.0f;
  sky.fogTo = 170.0f;
  const std::vector<RoadPiece> pieces = {{0.18, 0.24, kSurfaceSlidingGround, kMud, "Matsch"},
                                         {0.50, 0.56, kSurfaceSlowGround, kBog, "Sumpf"}};
  addTrackBasics(out, w, track, {kRoad, kGrass, kFence}, sky, pieces);
  writeExtraBoxes(w, track, 0.42);
  // Pad off the racing line and reset zone off the road, in the markers'
  // space; the zone on a straight, where karts do not drift out to it.
  writePad(w, track, {0.32, -4.0f});
  writeResetZone(w, track, 0.68, 1);
  for (const auto& [f, lateral] : kTrees) writeTrackObject(w, kTree, placedOn(track, f, lateral, 0.0f));
  writeStartGrid(w, track);
  writeSun(w, sky);
  writeCameraAndFog(w, track, sky);
  return w.text();
}

}  // namespace

bool addForestTrack(ArchiveWriter& writer) {
  const SampleTrack& track = *findSampleTrack(3);
  Entries out{writer};
  out.add(track.sceneFile, sceneText(out, track));
  out.add(kRoad, writeJpegRgb(128, 128, roadPixels(120, 100, 75, 31u), {}));
  out.add(kGrass, writeBmp24(64, 64, speckled(64, 50, 115, 45, 14, 33u)));
  out.add(kFence, writeBmp24(64, 64, bandedPixels(64, 8, rgb(110, 80, 50), rgb(90, 62, 38))));
  out.add(kMud, writeBmp24(64, 64, speckled(64, 105, 80, 50, 16, 35u)));
  out.add(kBog, writeBmp24(64, 64, speckled(64, 60, 62, 40, 10, 37u)));
  Mesh tree;
  tree.box({0.0f, 1.5f, 0.0f}, {0.4f, 1.5f, 0.4f}, false, 0);
  tree.pyramid({0.0f, 2.5f, 0.0f}, 3.0f, 7.0f, 1);
  out.add(kTree, objectBytes(tree, {{"Stamm", {0.4f, 0.28f, 0.15f}}, {"Krone", {0.15f, 0.45f, 0.15f}}}));
  return out.ok && addTrackMaps(writer, track) && addTrackPointFiles(writer, track);
}
