// What karts fire, drop and show when hit: rockets, the soap bubble, magnet,
// mine, the shrinker and froster beams, the kart's shadow, the falling
// weight, the explosion and smoke parts, and the three pictures the
// explosion particles are drawn with. Every object the karts look up at
// layer 0 has its mesh there.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "content/bmp_writer.h"
#include "tools/sample_data/kart_samples.h"

namespace kart_samples {

namespace {

using lwo2::Layer;
using lwo2::Look;
using lwo2::Mesh;
using lwo2::Vec3;

constexpr float kPi = std::numbers::pi_v<float>;

// A glowing look: lit by itself, not by the scene.
Look glow(const std::string& name, Vec3 colour, float transparency = 0.0f) {
  return {name, colour, 0.0f, 1.0f, 0.0f, 0.4f, transparency, 1.0f};
}

std::vector<std::uint8_t> oneLayer(Mesh mesh, const std::vector<Look>& looks) {
  return lwo2::objectFile({Layer{0, {0, 0, 0}, "", std::move(mesh)}}, looks);
}

// A rocket along +z: body, nose cone, four fins and a nozzle; the second
// one trails its flame.
std::vector<std::uint8_t> rocket(bool flame) {
  Mesh m;
  m.cylinder({0, 0, 0}, 2, 0.05f, 0.14f, 10, 0, 0);
  m.cone({0, 0, 0.14f}, 2, 0.05f, 0.1f, 10, 1, 1);
  m.cone({0, 0, -0.14f}, 2, 0.035f, -0.04f, 8, 2, 2);
  for (int i = 0; i < 4; ++i) {
    const std::uint32_t first = m.pointCount();
    m.box({0, 0.07f, -0.1f}, {0.005f, 0.035f, 0.04f}, 1);
    m.rotate(first, 2, kPi / 2.0f * static_cast<float>(i) + kPi / 4.0f, {0, 0, 0});
  }
  if (flame) m.cone({0, 0, -0.18f}, 2, 0.03f, -0.14f, 8, 3, 3);
  return oneLayer(m, {{"rakete", rgb(235, 235, 230), 0.9f, 0.0f, 0.5f, 0.5f},
                      {"rakete rot", rgb(215, 35, 30), 0.9f, 0.0f, 0.5f, 0.5f},
                      {"duese", rgb(60, 60, 65), 1.0f, 0.0f, 0.6f, 0.6f},
                      glow("flamme", rgb(255, 180, 40), 0.3f)});
}

// Radius 2.5: the race shows flying bubbles at a fifth of that, the kart's
// own bubble round the kart at its own scale.
std::vector<std::uint8_t> bubble() {
  Mesh m;
  m.ellipsoid({0, 0, 0}, {2.5f, 2.5f, 2.5f}, 14, 10, 0, {0, 1, 0, 2});
  return oneLayer(m, {{"seife", rgb(190, 235, 255), 0.4f, 0.3f, 1.0f, 0.9f, 0.5f, 1.2f},
                      {"seife rosa", rgb(255, 200, 240), 0.4f, 0.3f, 1.0f, 0.9f, 0.5f, 1.2f},
                      {"seife gelb", rgb(255, 250, 190), 0.4f, 0.3f, 1.0f, 0.9f, 0.5f, 1.2f}});
}

// A red horseshoe magnet standing on its bend, silver poles up.
std::vector<std::uint8_t> magnet() {
  Mesh m;
  constexpr int kSegments = 7;
  constexpr float kRadius = 0.16f, kBend = 0.12f;
  for (int i = 0; i < kSegments; ++i) {
    const float a = kPi * (static_cast<float>(i) + 0.5f) / kSegments;
    const std::uint32_t first = m.pointCount();
    m.box({0, 0, 0}, {0.05f, kRadius * kPi / kSegments / 2.0f + 0.005f, 0.05f}, 0);
    m.rotate(first, 2, a, {0, 0, 0});
    m.translate(first, {-kRadius * std::cos(a), kBend + 0.01f - kRadius * std::sin(a) + kRadius, 0});
  }
  for (float side : {-1.0f, 1.0f}) {
    m.box({kRadius * side, kBend + kRadius + 0.1f, 0}, {0.05f, 0.1f, 0.05f}, 0);
    m.box({kRadius * side, kBend + kRadius + 0.26f, 0}, {0.052f, 0.06f, 0.052f}, 1);
  }
  // Its origin 0.05 above the bend's bottom: the race sets it that high.
  m.translate(0, {0, -0.05f - m.low()[1], 0});
  return oneLayer(m, {{"magnet", rgb(210, 30, 35), 0.9f, 0.0f, 0.5f, 0.5f},
                      {"magnet pol", rgb(200, 205, 215), 0.8f, 0.0f, 0.9f, 0.8f}});
}

// A dark spiked ball with a red lamp, resting on the road below its origin.
std::vector<std::uint8_t> mine() {
  Mesh m;
  const Vec3 centre{0, -0.12f, 0};
  m.ellipsoid(centre, {0.18f, 0.18f, 0.18f}, 12, 8, 0);
  const Vec3 spikes[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, -1}, {0.7f, 0.7f, 0}, {-0.7f, 0.7f, 0}};
  for (const Vec3& d : spikes) {
    const int axis = std::fabs(d[0]) > 0.9f ? 0 : (std::fabs(d[2]) > 0.9f ? 2 : 1);
    const float sign = d[axis] < 0 ? -1.0f : 1.0f;
    const std::uint32_t first = m.pointCount();
    Vec3 base = centre;
    base[axis] += 0.15f * sign;
    m.cone(base, axis, 0.035f, 0.1f * sign, 6, 1, 1);
    if (axis == 1) m.rotate(first, 2, d[0] > 0 ? -kPi / 4 : kPi / 4, centre);
  }
  m.ellipsoid({0, 0.07f, 0}, {0.04f, 0.03f, 0.04f}, 8, 4, 2);
  return oneLayer(m, {{"mine", rgb(45, 45, 50), 1.0f, 0.0f, 0.6f, 0.6f},
                      {"stachel", rgb(150, 150, 160), 0.8f, 0.0f, 0.8f, 0.7f},
                      glow("lampe", rgb(255, 40, 30))});
}

// A beam along +z: a bright core in a see-through glow. The race shows it
// at a third of this size.
std::vector<std::uint8_t> beam(Vec3 core, Vec3 halo) {
  Mesh m;
  m.cylinder({0, 0, 0}, 2, 0.12f, 1.6f, 8, 0, 0);
  m.ellipsoid({0, 0, 0}, {0.3f, 0.3f, 1.9f}, 10, 6, 1);
  return oneLayer(m, {glow("strahl", core), glow("strahl glanz", halo, 0.6f)});
}

// A soft dark patch under the kart, drawn just above the road.
std::vector<std::uint8_t> shadow() {
  Mesh m;
  std::vector<std::uint32_t> ring;
  constexpr int kCorners = 12;
  for (int i = 0; i < kCorners; ++i) {
    const float a = 2.0f * kPi * static_cast<float>(i) / kCorners;
    ring.push_back(m.point({0.68f * std::cos(a), 0.0f, 0.98f * std::sin(a)}));
  }
  m.polygon(ring, {0, 1, 0}, 0);
  return oneLayer(m, {{"schatten", rgb(0, 0, 0), 0.0f, 0.0f, 0.0f, 0.0f, 0.55f}});
}

// The sixteen-ton weight: an iron block with a handle and a white band.
std::vector<std::uint8_t> weight() {
  Mesh m;
  m.hexahedron({Vec3{-0.7f, 0, -0.5f},
                {0.7f, 0, -0.5f},
                {0.7f, 0, 0.5f},
                {-0.7f, 0, 0.5f},
                {-0.5f, 0.75f, -0.36f},
                {0.5f, 0.75f, -0.36f},
                {0.5f, 0.75f, 0.36f},
                {-0.5f, 0.75f, 0.36f}},
               0);
  m.box({0, 0.4f, 0}, {0.62f, 0.07f, 0.44f}, 1);
  for (float side : {-1.0f, 1.0f}) m.box({0.2f * side, 0.85f, 0}, {0.04f, 0.1f, 0.04f}, 0);
  m.box({0, 0.97f, 0}, {0.24f, 0.04f, 0.04f}, 0);
  return oneLayer(m, {{"eisen", rgb(60, 62, 68), 1.0f, 0.0f, 0.5f, 0.5f},
                      {"aufschrift", rgb(235, 235, 225), 1.0f, 0.1f, 0.2f, 0.4f}});
}

// Four parts that burst out one after another: a fireball, its shell and
// two sprays of flames; the second object throws shards and sparks.
std::vector<std::uint8_t> explosion(bool debris) {
  std::vector<Layer> layers(4);
  Dice dice{debris ? 0xDEB815u : 0xF12EBA11u};
  for (int l = 0; l < 4; ++l) {
    layers[l].number = l;
    Mesh& m = layers[l].mesh;
    if (!debris && l == 0) {
      m.ellipsoid({0, 0, 0}, {0.35f, 0.3f, 0.35f}, 12, 8, 0);
      continue;
    }
    if (!debris && l == 1) {
      m.ellipsoid({0, 0.05f, 0}, {0.55f, 0.45f, 0.55f}, 12, 8, 1);
      continue;
    }
    for (int i = 0; i < 6; ++i) {
      const float a = 2.0f * kPi * (static_cast<float>(i) + dice.next(0.0f, 0.5f)) / 6.0f;
      const float tilt = dice.next(-0.6f, 0.9f);
      const std::uint32_t first = m.pointCount();
      if (debris) {
        const Vec3 half{dice.next(0.03f, 0.07f), dice.next(0.02f, 0.05f), dice.next(0.03f, 0.06f)};
        m.box({0.45f + 0.1f * l, 0, 0}, half, l < 2 ? 3 : 2);
      } else {
        m.cone({0.2f, 0, 0}, 0, dice.next(0.08f, 0.14f), dice.next(0.35f, 0.55f), 6, 2, 2);
      }
      m.rotate(first, 2, tilt, {0, 0, 0});
      m.rotate(first, 1, a, {0, 0, 0});
    }
  }
  return lwo2::objectFile(layers, {glow("feuerkern", rgb(255, 240, 150)),
                                   glow("feuer", rgb(255, 140, 30), 0.35f),
                                   glow("flammen", rgb(240, 70, 20)),
                                   {"truemmer", rgb(70, 65, 60), 1.0f, 0.0f}});
}

// A puff of three grey balls; the later puffs are larger and paler.
std::vector<std::uint8_t> smoke(int n) {
  Mesh m;
  Dice dice{0x5E0Cu + static_cast<std::uint32_t>(n) * 977u};
  const float size = 0.12f + 0.03f * static_cast<float>(n);
  for (int i = 0; i < 3; ++i) {
    const Vec3 at{dice.next(-0.5f, 0.5f) * size, dice.next(0.0f, 0.6f) * size, dice.next(-0.5f, 0.5f) * size};
    const float r = size * dice.next(0.7f, 1.0f);
    m.ellipsoid(at, {r, r * 0.9f, r}, 10, 6, 0);
  }
  const int grey = std::min(200, 110 + 12 * n);
  return oneLayer(m, {{"rauch", rgb(grey, grey, grey + 5), 1.0f, 0.1f, 0.0f, 0.2f, 0.45f, 1.2f}});
}

// ---- explosion pictures: bright shapes on black, drawn additively --------

constexpr int kPicture = 64;

std::uint32_t pack(float r, float g, float b) {
  auto byte = [](float v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
  return byte(r) << 16 | byte(g) << 8 | byte(b);
}

// Each pixel by its offset from the centre (-1..1 across the picture).
template <typename Shade>
std::vector<std::uint8_t> picture(Shade shade) {
  std::vector<std::uint32_t> pixels(kPicture * kPicture);
  for (int y = 0; y < kPicture; ++y)
    for (int x = 0; x < kPicture; ++x) {
      const float u = (static_cast<float>(x) + 0.5f) / kPicture * 2.0f - 1.0f;
      const float v = 1.0f - (static_cast<float>(y) + 0.5f) / kPicture * 2.0f;
      pixels[y * kPicture + x] = shade(u, v);
    }
  return writeBmp24(kPicture, kPicture, pixels);
}

// A five-pointed yellow star with a white heart.
std::uint32_t starShade(float u, float v) {
  const float r = std::hypot(u, v), a = std::atan2(u, v);
  const float edge = 0.42f + 0.5f * std::pow(std::fabs(std::cos(2.5f * a)), 6.0f);
  const float inside = std::clamp((edge - r) * 12.0f, 0.0f, 1.0f);
  const float glowing = std::clamp(1.0f - r, 0.0f, 1.0f) * 0.25f;
  const float heart = std::clamp(1.0f - r * 3.0f, 0.0f, 1.0f);
  return pack(inside + glowing, inside * 0.85f + glowing * 0.7f + heart * 0.2f, heart * 0.8f + glowing * 0.1f);
}

// Distance from (u, v) to the segment from (0, 0) to d times `length`.
float toArm(float u, float v, float dx, float dy, float length) {
  const float t = std::clamp(u * dx + v * dy, 0.0f, length);
  return std::hypot(u - t * dx, v - t * dy);
}

// A six-armed ice crystal with side branches.
std::uint32_t frostShade(float u, float v) {
  float d = 1e9f;
  for (int i = 0; i < 6; ++i) {
    const float a = kPi / 3.0f * static_cast<float>(i);
    const float dx = std::sin(a), dy = std::cos(a);
    d = std::min(d, toArm(u, v, dx, dy, 0.85f));
    for (float along : {0.35f, 0.6f})
      for (float turn : {-0.8f, 0.8f}) {
        const float bx = std::sin(a + turn), by = std::cos(a + turn);
        d = std::min(d, toArm(u - dx * along, v - dy * along, bx, by, 0.22f));
      }
  }
  const float line = std::clamp(1.0f - d * 18.0f, 0.0f, 1.0f);
  const float haze = std::clamp(0.6f - std::hypot(u, v), 0.0f, 1.0f) * 0.3f;
  return pack(line * 0.55f + haze * 0.3f, line * 0.85f + haze * 0.6f, line + haze);
}

// A magenta spiral winding into its centre.
std::uint32_t shrinkShade(float u, float v) {
  const float r = std::hypot(u, v);
  if (r > 0.95f) return 0;
  const float a = std::atan2(v, u) + kPi;
  // Distance, in turns, to the nearest winding of r = k (a + 2 pi n).
  const float k = 0.2f / (2.0f * kPi);
  const float n = (r / k - a) / (2.0f * kPi);
  const float gap = std::fabs(n - std::round(n)) * 0.2f;
  const float line = std::clamp(1.0f - gap * 25.0f, 0.0f, 1.0f) * std::clamp((0.95f - r) * 10.0f, 0.0f, 1.0f);
  return pack(line * 0.9f + 0.1f * (1.0f - r), line * 0.3f, line + 0.15f * (1.0f - r));
}

}  // namespace

void addWeaponSamples(Entries& out) {
  const std::string cars = kCarFolder, extras = kExtraFolder, textures = kTextureFolder;
  out.add(extras + "rakete_1.lwo", rocket(false));
  out.add(extras + "rakete_2.lwo", rocket(true));
  out.add(extras + "bubble.lwo", bubble());
  out.add(extras + "magnet.lwo", magnet());
  out.add(extras + "miene_02.lwo", mine());
  out.add(extras + "16_tonnen.lwo", weight());
  out.add(cars + "laserstrahl1.lwo", beam(rgb(255, 120, 255), rgb(200, 40, 220)));
  out.add(cars + "laserstrahl2.lwo", beam(rgb(220, 250, 255), rgb(80, 180, 255)));
  out.add(cars + "kart_shadow.lwo", shadow());
  out.add(cars + "explosion.lwo", explosion(false));
  out.add(cars + "explosion2.lwo", explosion(true));
  for (int n = 2; n <= 8; ++n) out.add(cars + "rauch" + std::to_string(n) + ".lwo", smoke(n));
  out.add(textures + "stern.bmp", picture(starShade));
  out.add(textures + "frost.bmp", picture(frostShade));
  out.add(textures + "shrink.bmp", picture(shrinkShade));
}

}  // namespace kart_samples
