// Track 1 ("aegypten"): a plain ring through the desert, walled on both
// sides. Its bend never ends, so a kart that only holds the throttle meets
// the outer wall at a glancing angle and the wall takes it round, lap after
// lap. Pyramids stand in the middle and around it.
#include <string>
#include <vector>

#include "content/bmp_writer.h"
#include "content/jpeg_writer.h"
#include "tools/sample_data/track_maps.h"
#include "tools/sample_data/track_pieces.h"
#include "tools/sample_data/track_samples.h"

namespace {

const std::string kRoad = kTrackTextures + "strasse_aegypten.jpg";
const std::string kSand = kTrackTextures + "sand_aegypten.bmp";
const std::string kStone = kTrackTextures + "sandstein_aegypten.bmp";

// Where pyramids stand: offset from the hub, half width, height.
struct Pyramid {
  float x, z, halfWidth, height;
};
constexpr Pyramid kPyramids[] = {
    {0.0f, 0.0f, 30.0f, 40.0f},       {-35.0f, 45.0f, 14.0f, 18.0f},  {180.0f, 60.0f, 40.0f, 55.0f},
    {-170.0f, -120.0f, 35.0f, 45.0f}, {40.0f, -210.0f, 28.0f, 36.0f},
};

std::string sceneText(Entries& out, const SampleTrack& track) {
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
  writeExtraBoxes(w, track, 0.5);
  const std::string pyramids = kTrackObjects + "track_05_pyramiden.lwo";
  writeTrackObject(w, pyramids, lws::still());
  writeStartGrid(w, track);
  writeSun(w, sky);
  writeCameraAndFog(w, track, sky);
  return w.text();
}

}  // namespace

bool addRingTrack(ArchiveWriter& writer) {
  const SampleTrack& track = *findSampleTrack(1);
  Entries out{writer};
  out.add(track.sceneFile, sceneText(out, track));
  out.add(kRoad, writeJpegRgb(128, 128, roadPixels(150, 135, 110, 21u), {}));
  out.add(kSand, writeBmp24(64, 64, speckled(64, 214, 186, 130, 12, 23u)));
  out.add(kStone, writeBmp24(64, 64, bandedPixels(64, 16, rgb(200, 170, 110), rgb(175, 145, 90))));
  Mesh pyramids;
  for (const Pyramid& p : kPyramids)
    pyramids.pyramid({static_cast<float>(track.hub.x) + p.x, -0.05f, static_cast<float>(track.hub.z) + p.z},
                     p.halfWidth, p.height);
  out.add(kTrackObjects + "track_05_pyramiden.lwo", objectBytes(pyramids, {{"Pyramide", {1, 1, 1}, 1}}, {{1, kStone}}));
  return out.ok && addTrackMaps(writer, track) && addTrackPointFiles(writer, track);
}
