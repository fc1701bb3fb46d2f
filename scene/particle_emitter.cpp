// Particle emitter and the scene's particle pass (see particle_emitter.h).
#include "scene/particle_emitter.h"

#include <algorithm>
#include <cmath>

#include "foundation/envelope.h"
#include "foundation/random.h"
#include "foundation/report.h"
#include "scene/item_math.h"
#include "scene/object_item.h"
#include "scene/scene.h"

namespace {

// Birth counts past this are capped: the array never takes more, and the
// truncation to an integer must stay defined.
constexpr double kLargestBirthCount = 1e9;

float randomUnit() { return static_cast<float>(engineRand()) / 32768.0f; }

}  // namespace

float particleRandomCentred() { return randomUnit() - 0.5f; }

Matrix4x3 FXPlugin::ownerWorld(double t) const {
  Matrix4x3 m = g_identityMatrix;
  if (owner) owner->worldMatrix(m, t, false);
  return m;
}

Position3 FXPlugin::ownerPosition(double t) const {
  const Matrix4x3 m = ownerWorld(t);
  return {m[12], m[13], m[14]};
}

FXEmitter::FXEmitter(ObjectItem* item) : FXPlugin(item), particles(kParticleSlots) {}

int FXEmitter::slotCount() {
  if (maxParticles < 0 || maxParticles > kParticleSlots) {
    reportError("FXEmitter: %d particles asked for; the emitter has %d slots\n", maxParticles, kParticleSlots);
    maxParticles = std::clamp(maxParticles, 0, kParticleSlots);
  }
  return maxParticles;
}

void FXEmitter::emit(double t, double dt) {
  const int slots = slotCount();
  if (triggerMode == 3) return;
  if ((triggerMode == 1 || triggerMode == 2) && owner && owner->position[0].channel) {
    if (const Envelope* envelope = owner->position[0].channel->asEnvelope()) {
      const bool passedKey = envelope->keyBefore(t) != envelope->keyBefore(t - dt);
      if (triggerMode == 1 && !passedKey) return;
      if (triggerMode == 2 && passedKey) {
        for (Particle& p : particles) p.alive = false;
        lastIndex = 0;
        totalBorn = 0;
      }
    }
  }

  const Position3 at = ownerPosition(t);
  const Position3 before = ownerPosition(t - 1.0);
  const float ownerVelocity[3] = {at.x - before.x, at.y - before.y, at.z - before.z};

  double wanted = 0.0;
  if (rateMode == 0 || rateMode == 3)
    wanted = birthRate.evaluate(t) * dt * 30.0;
  else if (rateMode == 1)
    wanted = birthRate.evaluate(t) * dt;
  const int count = std::isnan(wanted)
                        ? 0
                        : static_cast<int>(std::trunc(std::clamp(wanted, -kLargestBirthCount, kLargestBirthCount)));
  totalBorn += count;

  const float life = lifetime.evaluate(t), lifeSpread = lifetimeVariation.evaluate(t);
  const float weight0 = weightBase.evaluate(t), weightSpread = weightVariation.evaluate(t);
  const float swirl0 = swirlBase.evaluate(t), swirlSpread = swirlVariation.evaluate(t);
  const float extra0 = extraBase.evaluate(t), extraSpread = extraVariation.evaluate(t);
  const float v[3] = {velocity[0].evaluate(t), velocity[1].evaluate(t), velocity[2].evaluate(t)};
  const float push = explosion.evaluate(t);
  const float centre[3] = {at.x, at.y, at.z};

  int born = 0;
  int i = 0;
  for (; i < slots && born < count; ++i) {
    Particle& p = particles[static_cast<std::size_t>(i)];
    if (p.alive) continue;
    if (generatorShape == 0 || generatorShape == 4 || generatorShape == 1) {
      float d[3];
      for (int k = 2; k >= 0; --k) d[k] = particleRandomCentred() * generatorSize[k];
      if (generatorShape == 1) {
        // A direction only: the radius is drawn on its own, below 0.5.
        const float length = vectorLength(d);
        const float radius = static_cast<float>(engineRand()) / 65536.0f;
        for (float& c : d) c = (length != 0.0f ? c / length : c) * radius;
      }
      for (int k = 0; k < 3; ++k) p.position[k] = centre[k] + d[k];
    }
    if (rateMode == 3 && p.position[1] > 0.0f) continue;
    p.life = life + particleRandomCentred() * lifeSpread;
    p.weight = weight0 + particleRandomCentred() * 2.0f * weightSpread;
    p.swirl = swirl0 - static_cast<float>(engineRand()) * (1.0f / 65536.0f) * 2.0f * swirlSpread;
    p.extra = extra0 + particleRandomCentred() * 2.0f * extraSpread;
    float out[3] = {p.position[0] - centre[0], p.position[1] - centre[1], p.position[2] - centre[2]};
    const float length = vectorLength(out);
    for (int k = 0; k < 3; ++k) {
      const float direction = length != 0.0f ? out[k] / length : out[k];
      p.velocity[k] = p.weight * v[k] + direction * p.weight * push + ownerVelocity[k] * p.weight * inheritFactor;
    }
    p.alive = true;
    ++born;
  }
  lastIndex = i - 1;
}

void FXEmitter::step(Particle* array, int first, int end, double, double dt, SceneItem*) {
  for (int i = std::max(first, 0); i < end; ++i) {
    Particle& p = array[i];
    if (!p.alive) continue;
    p.life = static_cast<float>(p.life - dt);
    if (p.life <= 0.0f) {
      p.alive = false;
      continue;
    }
    for (int k = 0; k < 3; ++k) p.velocity[k] = static_cast<float>(p.velocity[k] * dt + acceleration[k] * dt);
  }
}

void FXEmitter::moveAndDraw(SceneItem* camera, double t, double dt) {
  const int slots = slotCount();
  if (dt != 0.0) {
    const auto perSecond = static_cast<float>(1.0 / dt);
    for (int i = 0; i < slots; ++i) {
      Particle& p = particles[static_cast<std::size_t>(i)];
      if (!p.alive) continue;
      if (speedLimit > 0.0f) {
        const auto m = static_cast<float>(vectorLength(p.velocity) * dt);
        if (m > speedLimit)
          for (float& c : p.velocity) c *= speedLimit / m;
      }
      for (int k = 0; k < 3; ++k) p.position[k] += p.velocity[k];
      for (float& c : p.velocity) c *= perSecond;
    }
  }
  // The renderer comes from the scene file's HyperVoxel data or the game;
  // an emitter whose owner has none is simulated but not drawn.
  HyperVoxelSurface* renderer = owner ? owner->particleRenderer.get() : nullptr;
  if (renderer) renderer->update(t, particles.data(), camera);
}

void updateEffects(Scene& scene, SceneItem* viewer, double t) {
  const bool started = scene.lastEffectsTime >= 0.0;
  const double dt = started ? t - scene.lastEffectsTime : 0.0;
  if (started && dt != 0.0) {
    for (auto& emitter : scene.emitters) emitter->emit(t, dt);
    for (auto& emitter : scene.emitters)
      emitter->step(emitter->particles.data(), 0, emitter->slotCount(), t, dt, viewer);
    for (auto& force : scene.forces) {
      for (auto& emitter : scene.emitters) {
        if (force->group == emitter->group || force->group == 0)
          force->step(emitter->particles.data(), 0, emitter->slotCount(), t, dt, viewer);
      }
    }
  }
  for (auto& emitter : scene.emitters) emitter->moveAndDraw(viewer, t, dt);
  scene.lastEffectsTime = t;
}
