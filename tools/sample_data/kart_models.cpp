// The eight kart models: a painted tub with nose, side pods, bumpers and a
// seat, an engine behind the driver, four wheels on axles and a steering
// wheel. Each kart has its own paint and, from its own seed, its own
// proportions, spoiler and exhausts. Also the shield and the ice block.
#include <cmath>

#include "tools/sample_data/kart_samples.h"

namespace kart_samples {

namespace {

using lwo2::Layer;
using lwo2::Look;
using lwo2::Mesh;
using lwo2::Vec3;

enum KartSurface : std::uint16_t { kPaint, kMetal, kTyre, kSeatCover, kEngineBlock };

constexpr Vec3 kPaints[kKarts] = {rgb(215, 30, 30),  rgb(30, 80, 220),  rgb(240, 205, 30), rgb(40, 170, 60),
                                  rgb(250, 125, 20), rgb(140, 50, 200), rgb(20, 185, 195), rgb(245, 100, 175)};

// What a kart's seed decides.
struct KartStyle {
  float noseLength, podWidth, frontRadius, rearRadius, rearWidth;
  bool spoiler;
  int exhausts;
};

KartStyle styleOf(int kart) {
  Dice dice{0x9E3779B9u * static_cast<std::uint32_t>(kart + 1)};
  KartStyle s;
  s.noseLength = dice.next(0.3f, 0.45f);
  s.podWidth = dice.next(0.1f, 0.16f);
  s.frontRadius = dice.next(0.16f, 0.18f);
  s.rearRadius = dice.next(0.2f, 0.23f);
  s.rearWidth = dice.next(0.16f, 0.2f);
  s.spoiler = kart % 2 == 0 || dice.next(0.0f, 1.0f) > 0.5f;
  s.exhausts = dice.next(0.0f, 1.0f) > 0.5f ? 2 : 1;
  return s;
}

// A slab that narrows and drops toward its front: bottom at y0 from z0 to
// z1, half widths w0 (back) and w1 (front), top at y1 (back) and y2 (front).
void taper(Mesh& m, float z0, float z1, float w0, float w1, float y0, float y1, float y2, std::uint16_t surface) {
  m.hexahedron({Vec3{-w0, y0, z0},
                {w0, y0, z0},
                {w1, y0, z1},
                {-w1, y0, z1},
                {-w0, y1, z0},
                {w0, y1, z0},
                {w1, y2, z1},
                {-w1, y2, z1}},
               surface);
}

Mesh bodyMesh(const KartStyle& s, const KartLayout& layout) {
  Mesh m;
  // The tub, flared a little toward the top, and the nose ahead of it.
  m.hexahedron({Vec3{-0.34f, 0.07f, -0.62f},
                {0.34f, 0.07f, -0.62f},
                {0.34f, 0.07f, 0.62f},
                {-0.34f, 0.07f, 0.62f},
                {-0.38f, 0.27f, -0.6f},
                {0.38f, 0.27f, -0.6f},
                {0.38f, 0.27f, 0.6f},
                {-0.38f, 0.27f, 0.6f}},
               kPaint);
  taper(m, 0.62f, 0.62f + s.noseLength, 0.34f, 0.2f, 0.07f, 0.27f, 0.15f, kPaint);
  m.box({0, 0.12f, 0.66f + s.noseLength}, {0.42f, 0.035f, 0.035f}, kMetal);
  m.box({0, 0.12f, -0.8f}, {0.4f, 0.035f, 0.035f}, kMetal);
  // Side pods between the wheels.
  for (float side : {-1.0f, 1.0f}) {
    const float in = 0.37f * side, out = (0.37f + s.podWidth) * side;
    m.hexahedron({Vec3{in, 0.07f, -0.28f},
                  {out, 0.07f, -0.28f},
                  {out, 0.07f, 0.3f},
                  {in, 0.07f, 0.3f},
                  {in, 0.23f, -0.3f},
                  {out - 0.03f * side, 0.19f, -0.26f},
                  {out - 0.03f * side, 0.19f, 0.24f},
                  {in, 0.23f, 0.32f}},
                 kPaint);
  }
  // The seat, its back leaning rearward.
  m.box({0, kSeat[1] - 0.02f, kSeat[2]}, {0.2f, 0.03f, 0.18f}, kSeatCover);
  m.hexahedron({Vec3{-0.2f, 0.3f, -0.24f},
                {0.2f, 0.3f, -0.24f},
                {0.2f, 0.3f, -0.17f},
                {-0.2f, 0.3f, -0.17f},
                {-0.18f, 0.74f, -0.36f},
                {0.18f, 0.74f, -0.36f},
                {0.18f, 0.74f, -0.29f},
                {-0.18f, 0.74f, -0.29f}},
               kSeatCover);
  // The deck the engine stands on, and the axles.
  m.box({0, 0.3f, -0.5f}, {0.3f, 0.035f, 0.15f}, kMetal);
  m.cylinder({0, layout.wheels[0][1], layout.wheels[0][2]}, 0, 0.025f, layout.wheels[1][0], 8, kMetal, kMetal);
  m.cylinder({0, layout.wheels[2][1], layout.wheels[2][2]}, 0, 0.03f, layout.wheels[3][0], 8, kMetal, kMetal);
  // The steering column, from the floor of the nose up to the hub.
  const Vec3 from{0, 0.26f, 0.56f}, to = layout.steeringWheel;
  const float dy = to[1] - from[1], dz = to[2] - from[2], length = std::hypot(dy, dz);
  const Vec3 middle{0, (from[1] + to[1]) / 2, (from[2] + to[2]) / 2};
  const std::uint32_t column = m.pointCount();
  m.cylinder(middle, 1, 0.02f, length / 2, 6, kMetal, kMetal);
  m.rotate(column, 0, std::atan2(dz, dy), middle);
  if (s.spoiler) {
    for (float side : {-0.3f, 0.3f}) m.box({side, 0.47f, -0.68f}, {0.02f, 0.17f, 0.025f}, kMetal);
    m.box({0, 0.65f, -0.7f}, {0.56f, 0.018f, 0.11f}, kPaint);
    for (float side : {-0.57f, 0.57f}) m.box({side, 0.62f, -0.7f}, {0.012f, 0.07f, 0.12f}, kMetal);
  }
  return m;
}

Mesh engineMesh(const KartStyle& s, const Vec3& e) {
  Mesh m;
  m.box(e, {0.16f, 0.09f, 0.11f}, kEngineBlock);
  m.box({e[0], e[1] + 0.12f, e[2]}, {0.12f, 0.035f, 0.085f}, kMetal);
  // Cooling fins around the head.
  for (int i = -1; i <= 1; ++i) m.box({e[0], e[1] + 0.04f, e[2] + 0.05f * i}, {0.185f, 0.012f, 0.01f}, kMetal);
  m.ellipsoid({e[0] + 0.2f, e[1] + 0.03f, e[2] + 0.04f}, {0.05f, 0.06f, 0.06f}, 8, 5, kPaint);
  for (int i = 0; i < s.exhausts; ++i) {
    const float x = s.exhausts == 1 ? -0.09f : (i == 0 ? -0.09f : 0.09f);
    m.cylinder({e[0] + x, e[1] - 0.02f, e[2] - 0.22f}, 2, 0.03f, 0.12f, 8, kMetal, kEngineBlock);
  }
  return m;
}

// A tyre round the hub with a rim and a cross of spokes on its outer side,
// so that its spin shows.
Mesh wheelMesh(const Vec3& hub, float radius, float width, float outward) {
  Mesh m;
  m.cylinder(hub, 0, radius, width / 2, 14, kTyre, kTyre);
  const Vec3 rim{hub[0] + outward * (width / 2 + 0.006f), hub[1], hub[2]};
  m.cylinder(rim, 0, radius * 0.62f, 0.008f, 10, kMetal, kMetal);
  const Vec3 spokes{rim[0] + outward * 0.012f, hub[1], hub[2]};
  m.box(spokes, {0.006f, radius * 0.55f, radius * 0.09f}, kEngineBlock);
  m.box(spokes, {0.006f, radius * 0.09f, radius * 0.55f}, kEngineBlock);
  return m;
}

// Built facing the driver (its axis along z); the scene tilts it.
Mesh steeringWheelMesh(const Vec3& hub) {
  Mesh m;
  m.cylinder(hub, 2, 0.12f, 0.012f, 12, kEngineBlock, kEngineBlock);
  m.box({hub[0], hub[1], hub[2] - 0.02f}, {0.1f, 0.014f, 0.008f}, kMetal);
  m.cylinder({hub[0], hub[1], hub[2] - 0.02f}, 2, 0.03f, 0.012f, 8, kMetal, kMetal);
  return m;
}

}  // namespace

lwo2::Vec3 kartPaint(int kart) { return kPaints[kart]; }

float Dice::next(float low, float high) {
  state = state * 1664525u + 1013904223u;
  return low + (high - low) * static_cast<float>(state >> 8) / static_cast<float>(1u << 24);
}

KartLayout kartLayout(int kart) {
  const KartStyle s = styleOf(kart);
  KartLayout l;
  l.wheels = {Vec3{-0.5f, s.frontRadius, 0.56f},
              {0.5f, s.frontRadius, 0.56f},
              {-0.54f, s.rearRadius, -0.52f},
              {0.54f, s.rearRadius, -0.52f}};
  l.wheelRadius = {s.frontRadius, s.frontRadius, s.rearRadius, s.rearRadius};
  l.engine = {0.0f, 0.43f, -0.5f};
  l.steeringWheel = {0.0f, 0.52f, 0.3f};
  l.steeringTiltDegrees = -40.0f;
  return l;
}

std::string kartObjectName(int kart) { return std::string(kCarFolder) + "kart_0" + std::to_string(kart + 1) + ".lwo"; }

std::vector<std::uint8_t> kartObject(int kart) {
  const KartStyle s = styleOf(kart);
  const KartLayout l = kartLayout(kart);
  std::vector<Layer> layers;
  layers.push_back({0, {0, 0, 0}, "Karosserie", bodyMesh(s, l)});
  layers.push_back({1, l.engine, "Motor", engineMesh(s, l.engine)});
  static constexpr const char* kWheelNames[4] = {"Rad VL", "Rad VR", "Rad HL", "Rad HR"};
  for (int i = 0; i < 4; ++i) {
    const float width = i < 2 ? 0.13f : s.rearWidth;
    const float outward = l.wheels[i][0] < 0 ? -1.0f : 1.0f;
    layers.push_back({2 + i, l.wheels[i], kWheelNames[i], wheelMesh(l.wheels[i], l.wheelRadius[i], width, outward)});
  }
  layers.push_back({6, l.steeringWheel, "Lenkrad", steeringWheelMesh(l.steeringWheel)});
  std::vector<Look> looks(5);
  looks[kPaint] = {"kart chassis", kPaints[kart], 0.9f, 0.05f, 0.5f, 0.5f};
  looks[kMetal] = {"kart metall", rgb(190, 195, 205), 0.8f, 0.0f, 0.8f, 0.7f};
  looks[kTyre] = {"reifen", rgb(38, 38, 42), 0.9f, 0.0f, 0.05f, 0.2f, 0.0f, 0.8f};
  looks[kSeatCover] = {"sitz", rgb(45, 45, 50), 1.0f, 0.0f, 0.1f, 0.3f};
  looks[kEngineBlock] = {"kart motor", rgb(70, 72, 78), 1.0f, 0.0f, 0.3f, 0.4f};
  return lwo2::objectFile(layers, looks);
}

std::vector<std::uint8_t> shieldObject() {
  // Two shades in bands, so that its turning shows.
  Layer layer;
  layer.mesh.ellipsoid({0, 0, 0}, {1.0f, 0.75f, 1.25f}, 16, 10, 0, {0, 1});
  const std::vector<Look> looks = {
      {"schild", rgb(90, 200, 255), 0.6f, 0.5f, 0.9f, 0.8f, 0.65f, 1.2f},
      {"schild hell", rgb(200, 245, 255), 0.6f, 0.7f, 0.9f, 0.8f, 0.5f, 1.2f},
  };
  return lwo2::objectFile({layer}, looks);
}

std::vector<std::uint8_t> iceBlockObject() {
  // A block of ice with a few shards on it.
  Layer layer;
  layer.mesh.hexahedron({Vec3{-0.8f, -0.45f, -1.05f},
                         {0.8f, -0.45f, -1.05f},
                         {0.8f, -0.45f, 1.1f},
                         {-0.8f, -0.45f, 1.1f},
                         {-0.72f, 0.55f, -0.95f},
                         {0.75f, 0.6f, -0.98f},
                         {0.7f, 0.5f, 1.0f},
                         {-0.74f, 0.58f, 1.02f}},
                        0);
  Dice dice{0x1CEB10C5u};
  for (int i = 0; i < 5; ++i) {
    const Vec3 at{dice.next(-0.6f, 0.6f), 0.5f, dice.next(-0.8f, 0.8f)};
    layer.mesh.cone(at, 1, dice.next(0.08f, 0.14f), dice.next(0.2f, 0.35f), 5, 1, 1);
  }
  const std::vector<Look> looks = {
      {"eis", rgb(170, 220, 255), 0.7f, 0.3f, 0.9f, 0.9f, 0.45f},
      {"eis kante", rgb(235, 250, 255), 0.7f, 0.5f, 0.9f, 0.9f, 0.3f},
  };
  return lwo2::objectFile({layer}, looks);
}

}  // namespace kart_samples
