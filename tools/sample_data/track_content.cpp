// Track 0 as the race loads it, and the files every track shares: the scene
// with road, open ground, walls, sky, finish line, extra boxes, start grid,
// a crate that karts push, a stamper, a crusher, a speed-up pad, a reset
// zone and a pit that karts fall into (all off the racing line), props,
// the object sounds, the three maps and the driving lines. Everything is
// computed from the centre line, so the road, the start grid, the maps and
// the lines agree.
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "content/bmp_writer.h"
#include "content/jpeg_writer.h"
#include "content/wav_writer.h"
#include "tools/sample_data/sample_sources.h"
#include "tools/sample_data/track_hazards.h"
#include "tools/sample_data/track_maps.h"
#include "tools/sample_data/track_pieces.h"
#include "tools/sample_data/track_samples.h"

namespace {

const std::string kFireSound = "D:\\Tamberlok\\soundfx\\lagerfeuer.wav";
const std::string kHazardTexture = kTrackTextures + "warnstreifen.bmp";
const std::string kPadTexture = kTrackTextures + "beschleuniger.bmp";
const std::string kResetTexture = kTrackTextures + "ruecksetzer.bmp";

// Where track 0's pieces lie, past the stretch a kart covers in the first
// seconds from the start.
constexpr Spot kCrate{0.12, 4.0f};
constexpr Spot kStamper{0.45, 4.5f};
constexpr Spot kCrusher{0.55, -4.5f};
constexpr Spot kPad{0.65, -4.0f};
constexpr double kResetAt = 0.75;
constexpr Spot kPit{0.85, 4.5f};

// Chevrons pointing along v, the way a pad throws a kart.
std::vector<std::uint32_t> chevronPixels() {
  std::vector<std::uint32_t> pixels(64 * 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      pixels[y * 64 + x] = ((y + std::abs(x - 32)) / 8) % 2 == 0 ? rgb(250, 220, 40) : rgb(40, 140, 220);
  return pixels;
}

std::string sceneText(Entries& out, const SampleTrack& track) {
  lws::SceneWriter w;
  w.timing(0, 300, 30);
  w.ambient({1.0f, 1.0f, 1.0f}, 0.35f);
  writeTrackSpaces(w);
  const TrackSky sky;
  const TrackTextures textures{kTrackTextures + "strasse_steinzeit.jpg", kTrackTextures + "gras_steinzeit.bmp",
                               kTrackTextures + "fels_steinzeit_nodxt.bmp"};
  addTrackBasics(out, w, track, textures, sky);
  writeExtraBoxes(w, track, 0.3);

  // A crate on the roadside, a stamper, a crusher, a speed-up pad, a reset
  // zone and a pit.
  writeCrate(w, track, kCrate, kTrackProps + "kiste.lwo", {1.2f, 1.2f, 1.2f}, 30.0);
  writeStamper(w, track, kStamper, kTrackProps + "stampfer.lwo", kStamperSound);
  writeCrusher(w, track, kCrusher, kTrackProps + "presse.lwo");
  writePad(w, track, kPad);
  writeResetZone(w, track, kResetAt, 1);
  writePit(w, track, kPit, kTrackProps + "loch.lwo");

  // An ice pond beyond the wall, a mirror floor.
  writeTrackObject(w, kTrackProps + "eisflaeche.lwo", placedOn(track, 0.55, -20.0f, 0.02f));
  // A camp fire with its crackle.
  writeTrackObject(w, kTrackProps + "lagerfeuer.lwo", placedOn(track, 0.62, 12.0f, 0.0f));
  w.sound(kFireSound);

  writeStartGrid(w, track);
  writeSun(w, sky);
  lws::Light fire;
  fire.name = "Feuerschein";
  fire.type = 1;
  fire.colour = {1.0f, 0.6f, 0.3f};
  fire.intensity = 0.8f;
  const Point2 firePlace = besideCentre(track, 0.62, 12.0f);
  fire.motion = lws::still(firePlace.x, 2.0f, firePlace.z);
  w.light(fire);
  writeCameraAndFog(w, track, sky);
  return w.text();
}

// Files that every track's scene names.
void addSharedFiles(Entries& out) {
  const std::string finish = kTrackTextures + "ziellinie.bmp";
  const std::string extra = "D:/Tamberlok/textures_props/extra_addon.bmp";
  out.add(finish, writeBmp24(32, 32, checkerPixels(32, 8, rgb(240, 240, 240), rgb(20, 20, 20))));
  out.add(extra, writeBmp24(32, 32, checkerPixels(32, 16, rgb(250, 200, 30), rgb(220, 60, 30))));
  Mesh cube;
  cube.box({0, 0, 0}, {0.5f, 0.5f, 0.5f});
  out.add(kExtraBoxObject, objectBytes(cube, {{"Extra", {1, 1, 1}, 1}}, {{1, extra}}));
}

void addStoneAgeFiles(Entries& out) {
  out.add(kTrackTextures + "strasse_steinzeit.jpg", writeJpegRgb(128, 128, roadPixels(92, 90, 88, 7u), {}));
  out.add(kTrackTextures + "gras_steinzeit.bmp", writeBmp24(64, 64, speckled(64, 62, 128, 50, 14, 11u)));
  out.add(kTrackTextures + "fels_steinzeit_nodxt.bmp",
          writeBmp24(64, 64, bandedPixels(64, 8, rgb(150, 110, 70), rgb(120, 85, 55))));
  out.add(kHazardTexture, writeBmp24(32, 32, checkerPixels(32, 8, rgb(240, 200, 20), rgb(30, 30, 30))));
  out.add(kPadTexture, writeBmp24(64, 64, chevronPixels()));
  out.add(kResetTexture, writeBmp24(32, 32, bandedPixels(32, 8, rgb(230, 40, 40), rgb(240, 240, 240))));

  Mesh crate;
  crate.box({0, 0, 0}, {0.6f, 0.6f, 0.6f});
  out.add(kTrackProps + "kiste.lwo", objectBytes(crate, {{"Holz", {0.55f, 0.38f, 0.2f}}}));
  Mesh stamper;
  stamper.box({0, 0, 0}, {1.5f, 1.0f, 1.5f});
  out.add(kTrackProps + "stampfer.lwo", objectBytes(stamper, {{"Stampfer", {1, 1, 1}, 1}}, {{1, kHazardTexture}}));
  Mesh crusher;
  crusher.box({0, 0, 0}, {1.5f, 1.25f, 1.5f});
  out.add(kTrackProps + "presse.lwo", objectBytes(crusher, {{"Presse", {0.9f, 0.6f, 0.6f}, 1}}, {{1, kHazardTexture}}));
  Mesh pad;
  // Just above the road under an item 0.2 up.
  pad.quad(pad.add(-1.5f, -0.18f, -2.5f, 0, 1), pad.add(1.5f, -0.18f, -2.5f, 1, 1), pad.add(1.5f, -0.18f, 2.5f, 1, 0),
           pad.add(-1.5f, -0.18f, 2.5f, 0, 0), {0, 1, 0});
  out.add(kPadObject, objectBytes(pad, {{"Beschleuniger", {1, 1, 1}, 1, true}}, {{1, kPadTexture}}));
  Mesh reset;
  const float half = kResetZoneWidth / 2.0f, halfLength = kResetZoneLength / 2.0f;
  reset.quad(reset.add(-half, -1.47f, -halfLength, 0, 0), reset.add(half, -1.47f, -halfLength, 1, 0),
             reset.add(half, -1.47f, halfLength, 1, 4), reset.add(-half, -1.47f, halfLength, 0, 4), {0, 1, 0});
  out.add(kResetObject, objectBytes(reset, {{"Ruecksetzer", {1, 1, 1}, 1}}, {{1, kResetTexture}}));
  Mesh pit;
  pit.quad(pit.add(-1.5f, 0, -2.0f), pit.add(1.5f, 0, -2.0f), pit.add(1.5f, 0, 2.0f), pit.add(-1.5f, 0, 2.0f),
           {0, 1, 0});
  out.add(kTrackProps + "loch.lwo", objectBytes(pit, {{"Loch", {0.05f, 0.04f, 0.03f}}}));
  Mesh pond;
  pond.quad(pond.add(-6, 0, -6), pond.add(6, 0, -6), pond.add(6, 0, 6), pond.add(-6, 0, 6), {0, 1, 0});
  out.add(kTrackProps + "eisflaeche.lwo", objectBytes(pond, {{"Eis", {0.7f, 0.85f, 1.0f}, 0, false, 0.6f}}));
  Mesh fire;
  fire.box({0, 0.3f, 0}, {0.8f, 0.3f, 0.8f});
  out.add(kTrackProps + "lagerfeuer.lwo", objectBytes(fire, {{"Glut", {0.9f, 0.35f, 0.1f}, 0, true}}));

  // Half a second of crackle that loops without a click: it starts and
  // ends at silence.
  Noise noise{99u};
  std::vector<std::int16_t> samples(11025);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double envelope = std::sin(std::numbers::pi * static_cast<double>(i) / static_cast<double>(samples.size()));
    samples[i] = static_cast<std::int16_t>((noise.next(2001) - 1000) * 6 * envelope);
  }
  out.add(kFireSound, writeWav(WavDescription{}, pcm16Bytes(samples)));
}

}  // namespace

bool addTrackSamples(ArchiveWriter& writer) {
  Entries out{writer};
  addSharedFiles(out);
  const SampleTrack& track = track0::track();
  out.add(track.sceneFile, sceneText(out, track));
  addStoneAgeFiles(out);
  // Track 0's respawn points and rocket path come with the kart samples.
  out.ok = out.ok && addTrackMaps(writer, track) && addTrackPointFiles(writer, track, true);
  return out.ok;
}
