// The six drivers: a body seated with its hands on the steering wheel and a
// head on a neck (its own layer, so that it turns), each with the features
// a player knows it by (ears, muzzle, antennae, bulging eyes, a pumpkin, a
// hooded skull and scythe), and the scene that seats it: the "Character"
// null over its object and the driver's eleven motions.
#include <cmath>
#include <numbers>

#include "tools/sample_data/kart_samples.h"

namespace kart_samples {

namespace {

using lwo2::Layer;
using lwo2::Look;
using lwo2::Mesh;
using lwo2::Vec3;

enum DriverSurface : std::uint16_t { kBody, kEyeWhite, kPupil, kAccent, kExtra };

constexpr const char* kSceneNames[kCharacters] = {"Quorrel", "Affe", "Alien", "Kroet", "Pumpkin", "Tod"};
constexpr const char* kObjectNames[kCharacters] = {"quorrel", "affe", "alien", "kroet", "pumpkin", "Tod"};
enum Character { kQuorrel, kAffe, kAlien, kKroet, kPumpkin, kTod };

// Body colour, feature colour and a third colour (shoes, scythe blade).
constexpr Vec3 kColours[kCharacters][3] = {
    {rgb(60, 110, 230), rgb(250, 150, 190), rgb(40, 40, 50)}, {rgb(140, 85, 45), rgb(230, 190, 140), rgb(60, 40, 25)},
    {rgb(120, 220, 80), rgb(250, 230, 60), rgb(40, 60, 40)},  {rgb(150, 160, 60), rgb(235, 220, 140), rgb(70, 75, 30)},
    {rgb(245, 135, 25), rgb(60, 140, 40), rgb(50, 30, 10)},   {rgb(50, 50, 60), rgb(235, 230, 215), rgb(200, 205, 215)},
};

// Where the hands hold the steering wheel and the head turns, from the
// seat (the object's origin).
constexpr Vec3 kNeck = kDriverNeck;
constexpr float kHandX = 0.11f, kHandY = 0.22f, kHandZ = 0.28f;

// A rounded limb from `a` to `b`.
void limb(Mesh& m, Vec3 a, Vec3 b, float radius, std::uint16_t surface) {
  const Vec3 d{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  const Vec3 middle{(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2};
  const std::uint32_t first = m.pointCount();
  m.ellipsoid(middle, {radius, radius, length / 2 + radius * 0.5f}, 8, 6, surface);
  // Along z, then tipped up or down, then turned toward b.
  m.rotate(first, 0, -std::asin(d[1] / length), middle);
  m.rotate(first, 1, std::atan2(d[0], d[2]), middle);
}

Mesh bodyMesh(int c) {
  Mesh m;
  const bool robe = c == kTod;
  m.ellipsoid({0, 0.24f, -0.03f}, robe ? Vec3{0.19f, 0.25f, 0.14f} : Vec3{0.16f, 0.2f, 0.11f}, 12, 8, kBody);
  if (c == kKroet) m.ellipsoid({0, 0.2f, 0.05f}, {0.12f, 0.14f, 0.06f}, 10, 6, kAccent);  // pale belly
  for (float side : {-1.0f, 1.0f}) {
    const Vec3 shoulder{0.15f * side, 0.36f, -0.02f}, hand{kHandX * side, kHandY, kHandZ};
    limb(m, shoulder, hand, robe ? 0.055f : 0.045f, kBody);
    m.ellipsoid(hand, {0.045f, 0.045f, 0.045f}, 8, 6, c == kTod ? kAccent : kBody);
    limb(m, {0.08f * side, 0.05f, 0.0f}, {0.08f * side, 0.05f, 0.42f}, 0.055f, kBody);
    m.box({0.08f * side, 0.06f, 0.47f}, {0.045f, 0.05f, 0.045f}, kExtra);
  }
  if (c == kTod) {
    // The scythe, held upright beside the kart.
    m.cylinder({0.3f, 0.35f, 0.05f}, 1, 0.018f, 0.5f, 6, kExtra, kExtra);
    m.hexahedron({Vec3{0.3f, 0.8f, 0.03f},
                  {0.3f, 0.8f, 0.07f},
                  {0.3f, 0.72f, -0.35f},
                  {0.3f, 0.75f, -0.35f},
                  {0.31f, 0.86f, 0.03f},
                  {0.31f, 0.86f, 0.07f},
                  {0.31f, 0.76f, -0.36f},
                  {0.31f, 0.78f, -0.36f}},
                 kExtra);
  }
  return m;
}

// White eyes with dark pupils looking ahead.
void eyes(Mesh& m, float y, float z, float apart, float radius) {
  for (float side : {-1.0f, 1.0f}) {
    m.ellipsoid({apart * side, y, z}, {radius, radius, radius}, 8, 6, kEyeWhite);
    m.ellipsoid({apart * side, y, z + radius * 0.8f}, {radius * 0.45f, radius * 0.45f, radius * 0.3f}, 6, 4, kPupil);
  }
}

Mesh headMesh(int c) {
  Mesh m;
  m.cylinder({0, kNeck[1] + 0.03f, -0.01f}, 1, 0.05f, 0.05f, 8, kBody, kBody);
  switch (c) {
    case kQuorrel:
      m.ellipsoid({0, 0.6f, 0}, {0.15f, 0.15f, 0.14f}, 12, 8, kBody);
      eyes(m, 0.63f, 0.11f, 0.055f, 0.04f);
      m.ellipsoid({0, 0.57f, 0.15f}, {0.03f, 0.025f, 0.025f}, 6, 4, kAccent);
      for (float side : {-1.0f, 1.0f}) {
        const std::uint32_t first = m.pointCount();
        m.cone({0.09f * side, 0.7f, 0}, 1, 0.05f, 0.16f, 6, kBody, kBody);
        m.rotate(first, 2, -0.35f * side, {0.09f * side, 0.7f, 0});
      }
      break;
    case kAffe:
      m.ellipsoid({0, 0.6f, 0}, {0.14f, 0.15f, 0.13f}, 12, 8, kBody);
      m.ellipsoid({0, 0.55f, 0.1f}, {0.1f, 0.07f, 0.06f}, 10, 6, kAccent);
      eyes(m, 0.65f, 0.1f, 0.05f, 0.035f);
      for (float side : {-1.0f, 1.0f}) m.ellipsoid({0.16f * side, 0.62f, 0}, {0.03f, 0.065f, 0.06f}, 8, 6, kAccent);
      break;
    case kAlien:
      m.ellipsoid({0, 0.65f, 0}, {0.16f, 0.2f, 0.15f}, 12, 8, kBody);
      for (float side : {-1.0f, 1.0f}) {
        const std::uint32_t first = m.pointCount();
        m.ellipsoid({0.07f * side, 0.64f, 0.12f}, {0.055f, 0.03f, 0.03f}, 8, 6, kPupil);
        m.rotate(first, 2, 0.35f * side, {0.07f * side, 0.64f, 0.12f});
        limb(m, {0.05f * side, 0.82f, 0}, {0.11f * side, 0.96f, 0}, 0.012f, kBody);
        m.ellipsoid({0.11f * side, 0.97f, 0}, {0.03f, 0.03f, 0.03f}, 8, 6, kAccent);
      }
      break;
    case kKroet:
      m.ellipsoid({0, 0.57f, 0.02f}, {0.19f, 0.11f, 0.16f}, 12, 8, kBody);
      eyes(m, 0.66f, 0.08f, 0.09f, 0.05f);
      m.box({0, 0.53f, 0.17f}, {0.12f, 0.008f, 0.012f}, kPupil);
      break;
    case kPumpkin:
      // Ribs round the stalk, a carved face and the stalk on top.
      for (int i = 0; i < 6; ++i) {
        const float a = 2.0f * std::numbers::pi_v<float> * static_cast<float>(i) / 6.0f;
        m.ellipsoid({0.07f * std::sin(a), 0.6f, 0.07f * std::cos(a)}, {0.1f, 0.14f, 0.1f}, 10, 6, kBody);
      }
      for (float side : {-1.0f, 1.0f}) m.cone({0.065f * side, 0.64f, 0.15f}, 2, 0.04f, 0.03f, 3, kPupil, kPupil);
      m.box({0, 0.54f, 0.165f}, {0.08f, 0.018f, 0.01f}, kPupil);
      m.cylinder({0, 0.76f, 0}, 1, 0.025f, 0.04f, 6, kAccent, kAccent);
      m.ellipsoid({0.05f, 0.77f, 0}, {0.05f, 0.01f, 0.03f}, 6, 4, kAccent);
      break;
    case kTod:
    default:
      // A bone-white skull with dark sockets in a hood.
      m.ellipsoid({0, 0.62f, -0.05f}, {0.18f, 0.2f, 0.17f}, 12, 8, kBody);
      m.ellipsoid({0, 0.6f, 0.03f}, {0.11f, 0.13f, 0.12f}, 10, 8, kAccent);
      for (float side : {-1.0f, 1.0f})
        m.ellipsoid({0.045f * side, 0.63f, 0.13f}, {0.032f, 0.032f, 0.02f}, 6, 4, kPupil);
      m.box({0, 0.53f, 0.135f}, {0.04f, 0.01f, 0.01f}, kPupil);
      break;
  }
  return m;
}

std::vector<Look> looksOf(int c) {
  return {
      {"body", kColours[c][0], 0.9f, 0.05f, 0.2f, 0.4f, 0.0f, 1.0f},
      {"augen", rgb(245, 245, 240), 1.0f, 0.2f, 0.6f, 0.6f, 0.0f, 1.0f},
      {"pupillen", rgb(15, 15, 20), 1.0f, 0.0f, 0.6f, 0.6f, 0.0f, 1.0f},
      {"akzent", kColours[c][1], 0.9f, 0.05f, 0.3f, 0.4f, 0.0f, 1.0f},
      {"schuhe", kColours[c][2], 0.9f, 0.0f, 0.4f, 0.5f},
  };
}

lws::MotionChannel channel(const char* name, lws::Envelope e) { return {name, std::move(e)}; }

// The driver's motions. Every driving motion moves the same channels, so
// that a cross-fade between two of them blends; an event adds its own.
std::vector<lws::ActorMotion> driverMotions() {
  using lws::ActorMotion;
  const float pi = std::numbers::pi_v<float>;
  auto pose = [](lws::Envelope y, lws::Envelope lean, lws::Envelope look, lws::Envelope tilt,
                 std::vector<lws::MotionChannel> bodyExtra = {}, std::vector<lws::MotionChannel> headExtra = {}) {
    std::vector<lws::MotionChannel> body = {channel("Position.Y", std::move(y)),
                                            channel("Rotation.B", std::move(lean))};
    std::vector<lws::MotionChannel> head = {channel("Rotation.H", std::move(look)),
                                            channel("Rotation.B", std::move(tilt))};
    for (auto& c : bodyExtra) body.push_back(std::move(c));
    for (auto& c : headExtra) head.push_back(std::move(c));
    return std::vector<lws::MotionItem>{motionItem("figur", std::move(body)), motionItem("kopf", std::move(head))};
  };
  const lws::Envelope zero = curve({{0, 0}});
  std::vector<ActorMotion> m;
  m.push_back({"Lenken_RE", pose(zero, curve({{0, 0}, {0.3f, -0.18f}}), curve({{0, 0}, {0.3f, 0.35f}}),
                                 curve({{0, 0}, {0.3f, -0.1f}}))});
  m.push_back({"Lenken_LI", pose(zero, curve({{0, 0}, {0.3f, 0.18f}}), curve({{0, 0}, {0.3f, -0.35f}}),
                                 curve({{0, 0}, {0.3f, 0.1f}}))});
  m.push_back({"Fahren", pose(curve({{0, 0}, {0.25f, 0.008f}, {0.5f, 0}}, 2), zero,
                              curve({{0, 0}, {1.5f, 0.12f}, {3.0f, -0.1f}, {4.0f, 0}}, 2), zero)});
  m.push_back({"Rueckwaerts", pose(zero, curve({{0, 0}, {0.4f, -0.1f}}), curve({{0, 0}, {0.4f, 2.3f}}), zero)});
  m.push_back({"Fallen", pose(curve({{0, 0}, {0.5f, 0.12f}}),
                              curve({{0, 0}, {0.3f, 0.3f}, {0.6f, -0.3f}, {0.9f, 0.3f}, {1.2f, -0.3f}}, 3), zero,
                              curve({{0, 0}, {0.4f, 0.3f}}), {channel("Rotation.P", curve({{0, 0}, {0.5f, -0.4f}}))},
                              {channel("Rotation.P", curve({{0, 0}, {0.5f, -0.3f}}))})});
  const lws::Envelope pop = curve({{0, 0.2f}, {0.25f, 1.15f}, {0.4f, 1.0f}});
  m.push_back({"Spawn", pose(zero, zero, zero, zero, uniformScale(pop))});
  // Flattened: held flat, so without the curve's overshoot.
  auto flat = [](float from, float to) {
    return curve({{0, from}, {0.08f, to}, {1.6f, to}, {2.0f, from}}, 1, kLinear);
  };
  m.push_back({"Stampfer", pose(flat(0, -0.15f), zero, zero, zero,
                                {channel("Scale.Y", flat(1, 0.25f)), channel("Scale.X", flat(1, 1.3f)),
                                 channel("Scale.Z", flat(1, 1.3f))})});
  m.push_back({"Getroffen", pose(curve({{0, 0}, {0.25f, 0.2f}, {0.5f, 0}}), zero,
                                 curve({{0, 0}, {0.2f, 0.4f}, {0.4f, -0.4f}, {0.6f, 0.3f}, {0.8f, 0}}),
                                 curve({{0, 0}, {0.3f, 0.2f}, {0.6f, -0.2f}, {0.9f, 0}}),
                                 {channel("Rotation.H", curve({{0, 0}, {0.7f, 2.0f * pi}}))})});
  m.push_back({"Sieger", pose(curve({{0, 0}, {0.25f, 0.12f}, {0.5f, 0}}, 2), zero, zero,
                              curve({{0, -0.15f}, {0.5f, 0.15f}, {1.0f, -0.15f}}, 2),
                              {channel("Rotation.H", curve({{0, 0}, {0.5f, 0.3f}, {1.0f, -0.3f}, {1.5f, 0}}, 2))})});
  m.push_back({"Verlierer",
               pose(curve({{0, 0}, {0.6f, -0.04f}}), zero, curve({{0, 0}, {1.0f, 0.3f}, {2.0f, -0.3f}, {3.0f, 0}}, 2),
                    zero, {channel("Rotation.P", curve({{0, 0}, {0.6f, 0.2f}}))},
                    {channel("Rotation.P", curve({{0, 0}, {0.6f, 0.45f}}))})});
  m.push_back({"Crash", pose(curve({{0, 0}, {0.12f, 0.05f}, {0.5f, 0}}), zero, zero, zero,
                             {channel("Rotation.P", curve({{0, 0}, {0.12f, 0.45f}, {0.5f, 0}}))},
                             {channel("Rotation.P", curve({{0, 0}, {0.15f, 0.3f}, {0.5f, 0}}))})});
  return m;
}

}  // namespace

lwo2::Vec3 characterColour(int c) { return kColours[c][0]; }

std::string characterSceneName(int c) {
  return std::string("D:\\Tamberlok\\3dobjects_cars\\") + kSceneNames[c] + ".lws";
}

std::string characterObjectName(int c) { return std::string(kCarFolder) + kObjectNames[c] + ".lwo"; }

std::vector<std::uint8_t> characterObject(int c) {
  std::vector<Layer> layers;
  layers.push_back({0, {0, 0, 0}, "Koerper", bodyMesh(c)});
  layers.push_back({1, kNeck, "Kopf", headMesh(c)});
  return lwo2::objectFile(layers, looksOf(c));
}

// No camera: the race merges it into a track scene, which has one.
std::string characterScene(int c) {
  lws::SceneWriter w;
  w.timing(0, 60, 30);
  w.addNullObject("Character");
  w.motion("ObjectMotion", lws::still(kSeat[0], kSeat[1], kSeat[2]));
  const std::string object = characterObjectName(c);
  w.loadObjectLayer(1, object);
  w.motion("ObjectMotion", lws::still());
  w.itemId("ParentItem", lws::objectId(0));
  w.loadObjectLayer(2, object);
  // The head turns about its neck: placed at its layer's pivot.
  w.motion("ObjectMotion", lws::still(kNeck[0], kNeck[1], kNeck[2]));
  w.itemId("ParentItem", lws::objectId(1));
  lws::Actor actor;
  actor.name = "Character";
  actor.items = {{"figur", lws::objectId(1)}, {"kopf", lws::objectId(2)}};
  actor.motions = driverMotions();
  w.motionMixer({actor});
  return w.text();
}

}  // namespace kart_samples
