// Sample kart data: the eight kart scenes with their models and the kart's
// thirteen body motions, the six driver scenes, the weapon objects, the
// tuning files of every engine class and character, and track 01's respawn
// points and rocket path along its centre line.
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "content/archive_writer.h"
#include "content/byte_writer.h"
#include "content/lws_writer.h"
#include "foundation/archive_file.h"
#include "tools/sample_data/kart_samples.h"
#include "tools/sample_data/sample_sources.h"
#include "tools/sample_data/track_samples.h"

namespace kart_samples {

void Entries::add(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  ok = ok && !bytes.empty() && writer.add(toArchiveName(name.c_str()), bytes);
}

void Entries::add(const std::string& name, const std::string& text) {
  add(name, std::vector<std::uint8_t>(text.begin(), text.end()));
}

lws::Envelope curve(const std::vector<std::pair<float, float>>& keys, int post, int shape) {
  lws::Envelope e;
  for (const auto& [time, value] : keys) {
    lws::Key k;
    k.time = time;
    k.value = value;
    k.shape = shape;
    e.keys.push_back(k);
  }
  e.post = post;
  return e;
}

lws::MotionItem motionItem(const std::string& item, std::vector<lws::MotionChannel> channels) {
  return {item, std::move(channels)};
}

std::vector<lws::MotionChannel> uniformScale(const lws::Envelope& e) {
  return {{"Scale.X", e}, {"Scale.Y", e}, {"Scale.Z", e}};
}

}  // namespace kart_samples

namespace {

using namespace kart_samples;

// Parts that only a motion shows wait inside the body at this scale.
constexpr float kHidden = 0.001f;
constexpr int kExplosionParts = 8, kSmokePuffs = 7;

using content_bytes::putF32;

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

lws::Motion at(lwo2::Vec3 p, float scale = 1.0f) {
  lws::Motion m = lws::still(p[0], p[1], p[2]);
  m[6] = m[7] = m[8] = scale;
  return m;
}

lws::MotionChannel channel(const char* name, lws::Envelope e) { return {name, std::move(e)}; }

// Where the parts that only the motions show wait, and grow from.
constexpr lwo2::Vec3 kShieldAt{0.0f, 0.42f, 0.05f}, kIceAt{0.0f, 0.45f, 0.0f}, kBubbleAt{0.0f, 0.45f, 0.05f};
constexpr lwo2::Vec3 kBlastAt{0.0f, 0.45f, 0.1f}, kSmokeAt{0.0f, 0.5f, -0.5f};

// Keys shifted by `delay`, the part hidden until then.
std::vector<std::pair<float, float>> delayed(std::vector<std::pair<float, float>> keys, float delay) {
  for (auto& key : keys) key.first += delay;
  if (delay > 0.0f) keys.insert(keys.begin(), {0.0f, kHidden});
  return keys;
}

// The kart actor "gfd". "fahren_kart" plays all race long under every
// other motion (at full weight), so that the body's lean and nod blend in
// and out; the parts an event shows (shield, ice block, bubble, blast,
// smoke) are driven by that event alone and rest hidden.
std::vector<lws::ActorMotion> bodyMotions() {
  const float pi = std::numbers::pi_v<float>;
  const lws::Envelope zero = curve({{0, 0}});
  auto body = [](std::vector<lws::MotionChannel> channels) { return motionItem("karosserie", std::move(channels)); };
  auto pitch = [&](std::initializer_list<std::pair<float, float>> keys) {
    return std::vector<lws::MotionItem>{body({channel("Rotation.P", curve(keys))})};
  };
  std::vector<lws::ActorMotion> m;
  m.push_back({"fahren_kart",
               {body({channel("Position.Y", curve({{0, 0}, {0.05f, 0.008f}, {0.1f, 0}}, kRepeat)),
                      channel("Rotation.B", zero), channel("Rotation.P", zero)}),
                motionItem("lenkrad", {channel("Rotation.B", zero)}),
                motionItem("motor", {channel("Position.Y", curve({{0, 0}, {0.035f, 0.01f}, {0.07f, 0}}, kRepeat))})}});
  m.push_back({"stampfer_kart",
               {body({channel("Scale.Y", curve({{0, 1}, {0.08f, 0.25f}, {1.6f, 0.25f}, {2.0f, 1}}, 1, kLinear)),
                      channel("Scale.X", curve({{0, 1}, {0.08f, 1.25f}, {1.6f, 1.25f}, {2.0f, 1}}, 1, kLinear)),
                      channel("Scale.Z", curve({{0, 1}, {0.08f, 1.1f}, {1.6f, 1.1f}, {2.0f, 1}}, 1, kLinear))})}});
  // Hit: the body spins round once and hops while the blast flashes and
  // smoke rises.
  std::vector<lws::MotionItem> hit = {body({channel("Rotation.H", curve({{0, 0}, {0.7f, 2.0f * pi}})),
                                            channel("Position.Y", curve({{0, 0}, {0.25f, 0.5f}, {0.5f, 0}}))})};
  for (int i = 0; i < kExplosionParts; ++i) {
    const float delay = 0.03f * static_cast<float>(i);
    hit.push_back(
        motionItem("explosion" + std::to_string(i + 1),
                   uniformScale(curve(delayed({{0, kHidden}, {0.12f, 1.0f}, {0.35f, 1.4f}, {0.5f, kHidden}}, delay), 1,
                                      kLinear))));
  }
  for (int i = 0; i < kSmokePuffs; ++i) {
    const float delay = 0.08f * static_cast<float>(i), drift = 0.15f * static_cast<float>(i % 3 - 1);
    std::vector<lws::MotionChannel> puff =
        uniformScale(curve(delayed({{0, kHidden}, {0.1f, 0.6f}, {0.8f, 1.0f}, {1.0f, kHidden}}, delay), 1, kLinear));
    const float y = kSmokeAt[1];
    puff.push_back(
        channel("Position.Y", curve({{delay, y}, {delay + 1.0f, y + 1.4f}, {delay + 1.01f, y}}, 1, kLinear)));
    puff.push_back(channel("Position.X", curve({{delay, 0}, {delay + 1.0f, drift}, {delay + 1.01f, 0}}, 1, kLinear)));
    hit.push_back(motionItem("rauch" + std::to_string(i + 2), std::move(puff)));
  }
  m.push_back({"getroffen_kart", std::move(hit)});
  // The shield grows round the kart and turns while it lasts.
  std::vector<lws::MotionChannel> shield = uniformScale(curve({{0, kHidden}, {0.15f, 1.15f}, {0.3f, 1.0f}}));
  shield.push_back(channel("Rotation.H", curve({{0, 0}, {2.0f, 2.0f * pi}}, kRepeat, kLinear)));
  m.push_back({"schutzschild_kart", {motionItem("schild", std::move(shield))}});
  m.push_back({"abwerfen_kart", pitch({{0, 0}, {0.1f, -0.25f}, {0.35f, 0}})});
  m.push_back({"shrinker_kart", pitch({{0, 0}, {0.08f, 0.15f}, {0.4f, 0}})});
  m.push_back({"froster_kart", pitch({{0, 0}, {0.08f, 0.15f}, {0.4f, 0}})});
  m.push_back({"rocketlauncher_kart", pitch({{0, 0}, {0.1f, -0.2f}, {0.3f, 0.1f}, {0.6f, 0}})});
  // Caught in a soap bubble: it swells round the kart, bobs and turns
  // (its bands show that), and the kart rocks inside.
  auto swell = [](float size) {
    return curve({{0, kHidden}, {0.25f, size * 1.05f}, {0.4f, size * 0.95f}, {0.55f, size}});
  };
  m.push_back(
      {"bubble_kart",
       {motionItem("seifenblase",
                   {channel("Scale.X", swell(0.5f)), channel("Scale.Y", swell(0.44f)), channel("Scale.Z", swell(0.52f)),
                    channel("Position.Y", curve({{0, kBubbleAt[1]}, {0.5f, kBubbleAt[1] + 0.1f}}, kOscillate)),
                    channel("Rotation.H", curve({{0, 0}, {3.0f, 2.0f * pi}}, kRepeat, kLinear))}),
        body({channel("Rotation.B", curve({{0, 0}, {0.5f, 0.1f}, {1.0f, -0.1f}, {1.5f, 0}}, kRepeat))})}});
  // Frozen: the ice block closes round the kart.
  m.push_back({"eisblock_kart", {motionItem("eisblock", uniformScale(curve({{0, kHidden}, {0.2f, 1.1f}})))}});
  m.push_back({"lenken_LI_kart",
               {body({channel("Rotation.B", curve({{0, 0}, {0.3f, -0.12f}}))}),
                motionItem("lenkrad", {channel("Rotation.B", curve({{0, 0}, {0.2f, 1.2f}}))})}});
  m.push_back({"lenken_RE_kart",
               {body({channel("Rotation.B", curve({{0, 0}, {0.3f, 0.12f}}))}),
                motionItem("lenkrad", {channel("Rotation.B", curve({{0, 0}, {0.2f, -1.2f}}))})}});
  m.push_back({"fallen_kart", pitch({{0, 0}, {1.0f, 0.7f}, {2.0f, 1.2f}})});
  return m;
}

// A kart's scene: the chassis null "Vehicle" carrying the model, the engine
// null "Motor" carrying the engine, the collision box "col" (a kart body in the
// karts' space, which the race tests against walls, karts and
// obstacles), the one bubble and weight the kart brings, its explosion and
// smoke parts, the "gfd" actor and a camera.
std::string kartScene(int kart) {
  const KartLayout layout = kartLayout(kart);
  const std::string model = kartObjectName(kart);
  const std::string cars = kCarFolder, extras = kExtraFolder;
  lws::SceneWriter w;
  int objects = 0;
  auto place = [&](const lws::Motion& motion, int parent) {
    w.motion("ObjectMotion", motion);
    if (parent >= 0) w.itemId("ParentItem", lws::objectId(parent));
    return objects++;
  };
  auto layer = [&](int fromOne, const std::string& file, const lws::Motion& motion, int parent) {
    w.loadObjectLayer(fromOne, file);
    return place(motion, parent);
  };
  w.timing(0, 60, 30);
  w.addNullObject("Vehicle");
  const int vehicle = place(lws::still(), -1);
  w.addNullObject("Motor");
  const int motor = place(at(layout.engine), vehicle);
  w.addNullObject("col");
  place(lws::still(), -1);
  w.geom({1, kSurfaceKartBody, kSpaceKarts, {1.2f, 0.6f, 1.8f}, 0});

  lws::Actor actor;
  actor.name = "gfd";
  const int body = layer(1, model, lws::still(), vehicle);
  actor.items.push_back({"karosserie", lws::objectId(body)});
  actor.items.push_back({"motor", lws::objectId(layer(2, model, lws::still(), motor))});
  for (int i = 0; i < 4; ++i) layer(3 + i, model, at(layout.wheels[i]), vehicle);
  actor.items.push_back({"lenkrad", lws::objectId(layer(7, model, at(layout.steeringWheel), body))});
  w.entry("PivotRotation", {0, layout.steeringTiltDegrees, 0});
  actor.items.push_back({"schild", lws::objectId(layer(1, cars + kShieldObject, at(kShieldAt, kHidden), vehicle))});
  actor.items.push_back({"eisblock", lws::objectId(layer(1, cars + kIceBlockObject, at(kIceAt, kHidden), vehicle))});
  actor.items.push_back(
      {"seifenblase", lws::objectId(layer(1, extras + "bubble.lwo", at(kBubbleAt, kHidden), vehicle))});
  // The weight falls from the sky on others: parked until it is dropped.
  layer(1, extras + "16_tonnen.lwo", lws::still(0.0f, -100.0f, 0.0f), -1);
  for (int i = 0; i < kExplosionParts; ++i) {
    const std::string file = cars + (i < 4 ? "explosion.lwo" : "explosion2.lwo");
    const int part = layer(1 + i % 4, file, at(kBlastAt, kHidden), vehicle);
    actor.items.push_back({"explosion" + std::to_string(i + 1), lws::objectId(part)});
  }
  for (int i = 0; i < kSmokePuffs; ++i) {
    const std::string name = "rauch" + std::to_string(i + 2);
    actor.items.push_back({name, lws::objectId(layer(1, cars + name + ".lwo", at(kSmokeAt, kHidden), vehicle))});
  }
  actor.motions = bodyMotions();
  w.motionMixer({actor});

  lws::Camera camera;
  camera.name = "KartCamera";
  camera.motion = lws::still(0.0f, 2.0f, -5.0f);
  w.camera(camera);
  return w.text();
}

}  // namespace

bool addKartSamples(ArchiveWriter& writer) {
  Entries out{writer};
  static constexpr const char* kClasses[] = {"50", "100", "150"};
  for (int c = 0; c < 3; ++c)
    for (int character = 0; character < kCharacters; ++character)
      out.add(std::string("carsettings_") + kClasses[c] + "_" + std::to_string(character) + ".dat",
              tuningFile(c, character));
  for (int kart = 0; kart < kKarts; ++kart) {
    out.add("D:\\Tamberlok\\3dobjects_cars\\kart_" + std::to_string(kart + 1) + ".lws", kartScene(kart));
    out.add(kartObjectName(kart), kartObject(kart));
  }
  out.add(std::string(kCarFolder) + kShieldObject, shieldObject());
  out.add(std::string(kCarFolder) + kIceBlockObject, iceBlockObject());
  for (int c = 0; c < kCharacters; ++c) {
    out.add(characterSceneName(c), characterScene(c));
    out.add(characterObjectName(c), characterObject(c));
  }
  addWeaponSamples(out);
  out.add("D:\\Tamberlok\\aifiles\\track01\\ai_respawn.dat", centreLinePoints(15.0));
  out.add("D:\\Tamberlok\\aifiles\\track01\\ai_rakete.dat", centreLinePoints(5.0));
  return out.ok;
}
