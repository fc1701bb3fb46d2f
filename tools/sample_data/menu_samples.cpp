// The menu's data: its ten imagesets, the 3D preview scenes of the eight
// karts and the six drivers, and the click. Each preview shows the race's
// own model turning slowly: the kart under a null that turns it, its engine
// under a null "motor" (the engine class scales it), and the driver on the
// kart's seat under a null that turns the same way at the same pace; both
// scenes share one camera, so the driver sits in the kart.
#include "tools/sample_data/menu_samples.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "content/lws_writer.h"
#include "content/wav_writer.h"
#include "tools/sample_data/gui_sample_names.h"
#include "tools/sample_data/kart_samples.h"
#include "tools/sample_data/picture_imageset.h"
#include "tools/sample_data/sample_sources.h"

namespace {

const std::string kMenu = "D:\\Tamberlok\\menu\\";
const char* const kCharacterNames[6] = {"quorrel", "affe", "alien", "kroet", "pumpkin", "tod"};

// One turn every `seconds`, clockwise or not seen from above.
lws::Envelope turning(float seconds, bool clockwise) {
  lws::Envelope e;
  const float turn = 2.0f * std::numbers::pi_v<float> * (clockwise ? 1.0f : -1.0f);
  e.keys = {{0.0f, 0.0f, 3}, {turn, seconds, 3}};
  e.post = 2;  // repeat
  return e;
}

// Both scenes turn about the same point at the same pace.
lws::Motion previewTurn() {
  lws::Motion spin = lws::still(0.0f, 0.0f, 0.4f);
  spin[3] = turning(9.0f, true);
  return spin;
}

// Both previews look from in front, a little above, at the middle.
void previewCamera(lws::SceneWriter& w) {
  lws::Camera camera;
  camera.name = "Vorschau";
  camera.motion = lws::still(0.0f, 1.3f, -3.9f);
  camera.motion[4] = 0.26f;  // pitched down
  w.camera(camera);
}

std::string kartScene(int kart) {
  using namespace kart_samples;
  const KartLayout layout = kartLayout(kart);
  const std::string model = kartObjectName(kart);
  lws::SceneWriter w;
  w.timing(0, 240, 30);
  w.ambient({1.0f, 1.0f, 1.0f}, 0.4f);
  // Items: 0 the turning null, 1 the engine's null, 2 the body, 3 the
  // engine, 4-7 the wheels, 8 the steering wheel.
  w.addNullObject("Vorschau");
  w.motion("ObjectMotion", previewTurn());
  w.addNullObject("motor");
  w.motion("ObjectMotion", lws::still(layout.engine[0], layout.engine[1], layout.engine[2]));
  w.itemId("ParentItem", lws::objectId(0));
  auto part = [&](int layer, lwo2::Vec3 at, int parent) {
    w.loadObjectLayer(layer, model);
    w.motion("ObjectMotion", lws::still(at[0], at[1], at[2]));
    w.itemId("ParentItem", lws::objectId(parent));
  };
  part(1, {0, 0, 0}, 0);
  part(2, {0, 0, 0}, 1);
  for (int i = 0; i < 4; ++i) part(3 + i, layout.wheels[static_cast<std::size_t>(i)], 0);
  part(7, layout.steeringWheel, 2);
  w.entry("PivotRotation", {0, layout.steeringTiltDegrees, 0});
  previewCamera(w);
  return w.text();
}

std::string characterScene(int c) {
  const std::string model = kart_samples::characterObjectName(c);
  lws::SceneWriter w;
  w.timing(0, 240, 30);
  w.ambient({1.0f, 1.0f, 1.0f}, 0.4f);
  w.addNullObject("Fahrer");
  w.motion("ObjectMotion", previewTurn());
  // On the seat, where the race puts the driver on the kart's body.
  w.loadObjectLayer(1, model);
  w.motion("ObjectMotion", lws::still(kart_samples::kSeat[0], kart_samples::kSeat[1], kart_samples::kSeat[2]));
  w.itemId("ParentItem", lws::objectId(0));
  w.loadObjectLayer(2, model);
  w.motion("ObjectMotion",
           lws::still(kart_samples::kDriverNeck[0], kart_samples::kDriverNeck[1], kart_samples::kDriverNeck[2]));
  w.itemId("ParentItem", lws::objectId(1));
  previewCamera(w);
  return w.text();
}

bool addScenes(ArchiveWriter& writer) {
  bool ok = true;
  for (int k = 0; k < 8; ++k)
    ok = ok && writer.add(kMenu + "menu_chr_sel_kart_0" + std::to_string(k + 1) + ".lws", kartScene(k));
  for (int c = 0; c < 6; ++c)
    ok = ok && writer.add(kMenu + "menu_chr_sel_" + kCharacterNames[c] + ".lws", characterScene(c));
  return ok;
}

bool addImagesets(ArchiveWriter& writer) {
  bool ok = true;
  for (const char* name : {"splash", "main", "Highscores", "Options", "Credits", "HelpScreen", "Championship",
                           "Brenn6_logo", "Extras", "Tracks"})
    ok = ok && addPictureImageset(writer, name, drawImageset(name));
  return ok;
}

// The click: a short, soft blip.
bool addClick(ArchiveWriter& writer) {
  std::vector<std::int16_t> pcm(1100);
  for (std::size_t i = 0; i < pcm.size(); ++i) {
    const double t = static_cast<double>(i) / 22050.0, fall = std::exp(-t / 0.012);
    pcm[i] = static_cast<std::int16_t>(9000.0 * fall * std::sin(2.0 * std::numbers::pi * 1000.0 * t));
  }
  return writer.add("D:\\Tamberlok\\soundfx\\button06.wav", writeWav(WavDescription{}, pcm16Bytes(pcm)), 0);
}

}  // namespace

namespace {

std::uint32_t packed(lwo2::Vec3 c) {
  auto channel = [](float v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
  return channel(c[0]) << 16 | channel(c[1]) << 8 | channel(c[2]);
}

}  // namespace

std::uint32_t sampleKartColour(int kart) { return packed(kart_samples::kartPaint(kart)); }
std::uint32_t sampleCharacterColour(int character) { return packed(kart_samples::characterColour(character)); }

bool addMenuSamples(ArchiveWriter& writer) { return addImagesets(writer) && addScenes(writer) && addClick(writer); }
