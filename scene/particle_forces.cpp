// Particle forces (see particle_forces.h).
#include "scene/particle_forces.h"

#include "foundation/random.h"
#include "scene/item_math.h"

namespace {

struct Offset {
  float v[3];
  float length;
};

Offset offsetFrom(const Position3& centre, const Particle& p) {
  Offset o{{p.position[0] - centre.x, p.position[1] - centre.y, p.position[2] - centre.z}, 0.0f};
  o.length = vectorLength(o.v);
  return o;
}

// The unit vector of v, or zero for a zero vector.
void unitOf(const float v[3], float out[3]) {
  const float length = vectorLength(v);
  for (int k = 0; k < 3; ++k) out[k] = length != 0.0f ? v[k] / length : 0.0f;
}

void addScaled(float target[3], const float v[3], float factor) {
  for (int k = 0; k < 3; ++k) target[k] += v[k] * factor;
}

}  // namespace

float forceFalloff(std::int32_t rule, float distance, float radius, bool wind) {
  switch (rule) {
    case 0:
      return distance <= radius ? 1.0f : 0.0f;
    case 1: {
      const float inverse = 1.0f / distance;  // infinite at the centre: no force there
      return inverse > radius ? 0.0f : inverse;
    }
    case 2:
      return 1.0f;
    case 3:
      return wind && distance <= radius ? distance : 0.0f;
    default:
      return 0.0f;
  }
}

void FXGravity::step(Particle* particles, int first, int end, double t, double dt, SceneItem*) {
  if (type != 0 && type != 1) return;
  const Position3 centre = ownerPosition(t);
  const float s = strength.evaluate(t), r = radius.evaluate(t);
  const auto span = static_cast<float>(dt);
  for (int i = first; i < end; ++i) {
    Particle& p = particles[i];
    if (!p.alive) continue;
    const Offset o = offsetFrom(centre, p);
    const float f = forceFalloff(falloff, o.length, r, false);
    if (type == 0) {
      addScaled(p.velocity, direction, f * p.weight * s * span * 10.0f);
    } else if (o.length != 0.0f) {
      float n[3];
      unitOf(o.v, n);
      addScaled(p.velocity, n, f * p.weight * s * span / o.length);
    }
  }
}

void FXWind::step(Particle* particles, int first, int end, double t, double dt, SceneItem*) {
  const Position3 centre = ownerPosition(t);
  const float s = strength.evaluate(t), r = radius.evaluate(t);
  const float d[3] = {direction[0].evaluate(t), direction[1].evaluate(t), direction[2].evaluate(t)};
  float turned[3] = {d[0], d[1], d[2]};
  if (mode == 10) {
    const Matrix4x3 world = ownerWorld(t);
    for (int k = 0; k < 3; ++k) turned[k] = d[0] * world[k] + d[1] * world[4 + k] + d[2] * world[8 + k];
  }
  const auto span = static_cast<float>(dt);
  for (int i = first; i < end; ++i) {
    Particle& p = particles[i];
    if (!p.alive) continue;
    const Offset o = offsetFrom(centre, p);
    const float f = forceFalloff(falloff, o.length, r, true);
    switch (mode) {
      case 0:
        addScaled(p.velocity, d, f * p.weight * s * span);
        break;
      case 1: {
        float n[3];
        unitOf(o.v, n);
        addScaled(p.velocity, n, f * p.weight * s * span);
        break;
      }
      case 2: {
        const float around[3] = {-o.v[2], 0.0f, o.v[0]};
        addScaled(p.velocity, around, f * s * p.weight * p.swirl * span);
        addScaled(p.velocity, d, f * p.weight * span);
        break;
      }
      case 3: {
        const float flat[3] = {o.v[0], 0.0f, o.v[2]};
        float n[3];
        unitOf(flat, n);
        const float push[3] = {n[0], d[1], n[2]};
        addScaled(p.velocity, push, f * p.weight * s * span);
        break;
      }
      case 7: {
        // Turbulence ignores strength and falloff.
        const float u1 = particleRandomCentred();
        const float u2 = particleRandomCentred();
        const float u3 = particleRandomCentred();
        const float jolt[3] = {u3, u2, u1};
        addScaled(p.velocity, jolt, p.weight * span);
        break;
      }
      case 10:
        if (p.position[1] < 0.0f) addScaled(p.velocity, turned, f * p.weight * s * span);
        break;
      default:
        break;
    }
  }
}

void FXCollision::step(Particle* particles, int first, int end, double t, double, SceneItem*) {
  if (kind != 0 || (shape != 0 && shape != 2)) return;
  const Position3 centre = ownerPosition(t);
  const float r = radius.evaluate(t), b = bounce.evaluate(t);
  const float planeY = centre.y + r;
  for (int i = first; i < end; ++i) {
    Particle& p = particles[i];
    if (!p.alive) continue;
    if (shape == 0) {
      const Offset o = offsetFrom(centre, p);
      if (r > o.length) {
        float n[3];
        unitOf(o.v, n);
        addScaled(p.velocity, n, vectorLength(p.velocity) * b);
      }
      continue;
    }
    // Both tilts are drawn for every particle, above the plane or not, so
    // the sequence does not depend on where the particles are.
    const float u1 = static_cast<float>(engineRand()) * scatter / 16384.0f - scatter;
    const float u2 = static_cast<float>(engineRand()) * scatter / 16384.0f - scatter;
    const float tilted[3] = {u2, 1.0f, u1};
    float normal[3];
    unitOf(tilted, normal);
    if (p.position[1] - planeY >= 0.0f) continue;
    const float m = vectorLength(p.velocity);
    float h[3] = {p.velocity[0], p.velocity[1], p.velocity[2]};
    if (m != 0.0f)
      for (float& c : h) c /= m;
    const float along = h[0] * normal[0] + h[1] * normal[1] + h[2] * normal[2];
    for (int k = 0; k < 3; ++k) p.velocity[k] = (h[k] - 2.0f * along * normal[k]) * (m * b);
    p.position[1] = planeY;
  }
}
