// Sample kart data: mesh-less kart scenes, the tuning files of every engine
// class and character, and track 01's respawn points and rocket path along
// its centre line.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "content/lws_writer.h"
#include "foundation/archive_file.h"
#include "tools/sample_data/sample_sources.h"
#include "tools/sample_data/track_samples.h"

namespace {

void putF32(std::vector<std::uint8_t>& out, float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

// Ten values per file. Values 1 (turbo limit) and 3 (steering angle) are
// deliberately not what the game uses: it derives the first and keeps its
// own second.
std::vector<std::uint8_t> tuningFile(int engineClass, int character) {
  const float maxSpeed = 0.29f + 0.03f * static_cast<float>(engineClass) + 0.002f * static_cast<float>(character);
  const float values[10] = {maxSpeed, maxSpeed * 2.0f, 0.000368f,  9.0f,     187.0f,
                            748.0f,   -0.001216f,      -0.000504f, -0.0016f, 0.5f};
  std::vector<std::uint8_t> out;
  for (float v : values) putF32(out, v);
  return out;
}

// Points every `step` metres along the centre line, at road height, with
// the lap fraction as the fourth value.
std::vector<std::uint8_t> centreLinePoints(double stepMetres) {
  std::vector<std::uint8_t> out;
  double f = 0.0;
  for (int i = 0; i < 400 && f < 1.0; ++i) {
    const track0::Point2 c = track0::centreAt(f);
    putF32(out, c.x);
    putF32(out, 0.0f);
    putF32(out, c.z);
    putF32(out, static_cast<float>(f));
    f = track0::fractionAlong(f, stepMetres);
  }
  return out;
}

// A kart's scene: the chassis null "Vehicle", the engine null "Motor" and
// the collision box "col" (kind 6 in the karts' space 4, which the race
// tests against walls, karts and obstacles), and a camera.
std::string kartScene() {
  lws::SceneWriter w;
  w.timing(0, 60, 30);
  w.addNullObject("Vehicle");
  w.motion("ObjectMotion", lws::still());
  w.addNullObject("Motor");
  w.motion("ObjectMotion", lws::still(0.0f, 0.3f, -0.6f));
  w.addNullObject("col");
  w.motion("ObjectMotion", lws::still());
  w.geom({1, 6, track0::kKartSpace, {1.2f, 0.6f, 1.8f}, 0});
  lws::Camera camera;
  camera.name = "KartCamera";
  camera.motion = lws::still(0.0f, 2.0f, -5.0f);
  w.camera(camera);
  return w.text();
}

}  // namespace

bool addKartSamples(ArchiveWriter& writer) {
  bool ok = true;
  static constexpr const char* kClasses[] = {"50", "100", "150"};
  for (int c = 0; c < 3; ++c)
    for (int character = 0; character < 6; ++character) {
      const std::string name = std::string("carsettings_") + kClasses[c] + "_" + std::to_string(character) + ".dat";
      ok = ok && writer.add(toArchiveName(name.c_str()), tuningFile(c, character));
    }
  const std::string scene = kartScene();
  for (int kart = 1; kart <= 8; ++kart) {
    const std::string name = "D:\\Tamberlok\\3dobjects_cars\\kart_" + std::to_string(kart) + ".lws";
    ok = ok && writer.add(toArchiveName(name.c_str()), std::vector<std::uint8_t>(scene.begin(), scene.end()));
  }
  ok = ok && writer.add(toArchiveName("D:\\Tamberlok\\aifiles\\track01\\ai_respawn.dat"), centreLinePoints(15.0));
  ok = ok && writer.add(toArchiveName("D:\\Tamberlok\\aifiles\\track01\\ai_rakete.dat"), centreLinePoints(5.0));
  return ok;
}
