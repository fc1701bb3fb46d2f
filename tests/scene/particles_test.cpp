// Particle emitter, forces and the scene's particle pass, all on the
// engine's random sequence from a fixed seed. Expected values are worked
// out from a second walk of the same sequence or by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "foundation/envelope.h"
#include "foundation/random.h"
#include "scene/object_item.h"
#include "scene/particle_emitter.h"
#include "scene/particle_forces.h"
#include "scene/scene.h"
#include "tests/support/report_capture.h"

namespace {

// Counts the draws the emitter asks of it and keeps the last array.
class CountingRenderer : public HyperVoxelSurface {
 public:
  CountingRenderer() : HyperVoxelSurface(nullptr) {}
  void update(double t, const Particle* particles, SceneItem*) override {
    ++draws;
    lastTime = t;
    lastParticles = particles;
  }
  int draws = 0;
  double lastTime = -1.0;
  const Particle* lastParticles = nullptr;
};

float r() { return static_cast<float>(engineRand()); }

int aliveCount(const FXEmitter& emitter) {
  int n = 0;
  for (const Particle& p : emitter.particles) n += p.alive ? 1 : 0;
  return n;
}

class ParticlesTest : public ReportCapture {
 protected:
  void SetUp() override {
    ReportCapture::SetUp();
    engineSrand(1);
    scene.objects.push_back(std::make_unique<ObjectItem>(&scene, 0));
    owner = static_cast<ObjectItem*>(scene.objects.back().get());
  }
  void TearDown() override {
    engineSrand(1);
    ReportCapture::TearDown();
  }
  void placeOwner(float x, float y, float z) {
    owner->position[0].value = x;
    owner->position[1].value = y;
    owner->position[2].value = z;
    owner->invalidate();
  }
  FXEmitter* addEmitter() {
    scene.emitters.push_back(std::make_unique<FXEmitter>(owner));
    return scene.emitters.back().get();
  }
  // A live particle of weight 1 in slot i.
  static Particle& live(FXEmitter& emitter, int i, float x, float y, float z) {
    Particle& p = emitter.particles[static_cast<std::size_t>(i)];
    p = Particle{};
    p.position[0] = x, p.position[1] = y, p.position[2] = z;
    p.weight = 1.0f;
    p.life = 100.0f;
    p.alive = true;
    return p;
  }

  Scene scene{nullptr};
  ObjectItem* owner = nullptr;
};

TEST_F(ParticlesTest, BirthsFollowTheRateMode) {
  FXEmitter& emitter = *addEmitter();
  emitter.emit(1.0, 0.02);  // rate mode 1: 100 per second
  EXPECT_EQ(aliveCount(emitter), 2);
  EXPECT_EQ(emitter.lastIndex, 1);
  emitter.rateMode = 0;  // 100 per frame at 30 frames a second
  emitter.emit(1.0, 0.02);
  EXPECT_EQ(aliveCount(emitter), 62);
  EXPECT_EQ(emitter.totalBorn, 62);
  emitter.rateMode = 5;
  emitter.emit(1.0, 0.02);
  EXPECT_EQ(emitter.totalBorn, 62);

  // A full array takes nobody, and the count still grows.
  emitter.rateMode = 0;
  emitter.birthRate.value = 10000.0f;
  emitter.emit(1.0, 0.02);
  EXPECT_EQ(aliveCount(emitter), 250);
  emitter.emit(1.0, 0.02);
  EXPECT_EQ(emitter.totalBorn, 62 + 2 * 6000);

  // Mode 3 fills only the lower half of a box straddling y = 0: refused
  // slots stay free and the walk goes on past them.
  FXEmitter& ground = *addEmitter();
  ground.rateMode = 3;
  ground.generatorShape = 0;
  ground.generatorSize[1] = 2.0f;
  ground.emit(1.0, 0.02);
  EXPECT_EQ(aliveCount(ground), 60);
  EXPECT_GT(ground.lastIndex, 59);
  for (const Particle& p : ground.particles) {
    if (p.alive) {
      EXPECT_LE(p.position[1], 0.0f);
    }
  }
}

TEST_F(ParticlesTest, ABirthDrawsPositionThenLifeWeightSwirlExtraInThatOrder) {
  placeOwner(3, 4, 5);
  FXEmitter& emitter = *addEmitter();
  emitter.birthRate.value = 50.0f;  // one in 0.02 s
  emitter.generatorShape = 0;
  const float size[3] = {1, 2, 4};
  for (int k = 0; k < 3; ++k) emitter.generatorSize[k] = size[k];
  emitter.lifetimeVariation.value = 1.0f;
  emitter.weightVariation.value = 0.5f;
  emitter.swirlVariation.value = 2.0f;
  emitter.extraVariation.value = 3.0f;
  emitter.velocity[1].value = 2.0f;
  emitter.emit(0.0, 0.02);

  engineSrand(1);
  const float dz = (r() / 32768 - 0.5f) * size[2], dy = (r() / 32768 - 0.5f) * size[1],
              dx = (r() / 32768 - 0.5f) * size[0];
  const float life = 1000.0f + (r() / 32768 - 0.5f) * 1.0f;
  const float weight = 1.0f + (r() / 32768 - 0.5f) * 2 * 0.5f;
  const float swirl = 4.0f - r() / 65536 * 2 * 2.0f;
  const float extra = 50.0f + (r() / 32768 - 0.5f) * 2 * 3.0f;
  const Particle& p = emitter.particles[0];
  ASSERT_TRUE(p.alive);
  EXPECT_FLOAT_EQ(p.position[0], 3 + dx);
  EXPECT_FLOAT_EQ(p.position[1], 4 + dy);
  EXPECT_FLOAT_EQ(p.position[2], 5 + dz);
  EXPECT_FLOAT_EQ(p.life, life);
  EXPECT_FLOAT_EQ(p.weight, weight);
  EXPECT_FLOAT_EQ(p.swirl, swirl);
  EXPECT_FLOAT_EQ(p.extra, extra);
  EXPECT_FLOAT_EQ(p.velocity[1], weight * 2.0f);
  EXPECT_FALSE(emitter.particles[1].alive);
}

TEST_F(ParticlesTest, TheSphereStaysWithinHalfAUnitAndExplosionPushesOutward) {
  placeOwner(-2, 1, 7);
  FXEmitter& emitter = *addEmitter();
  for (float& s : emitter.generatorSize) s = 10.0f;
  emitter.birthRate.value = 5000.0f;
  emitter.explosion.value = 3.0f;
  emitter.emit(0.0, 0.02);
  ASSERT_EQ(aliveCount(emitter), 100);
  for (const Particle& p : emitter.particles) {
    if (!p.alive) continue;
    const float d[3] = {p.position[0] + 2, p.position[1] - 1, p.position[2] - 7};
    const float distance = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    EXPECT_LT(distance, 0.5f);
    // Speed 3 straight away from the owner.
    if (distance > 0.05f) {
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(p.velocity[k], 3.0f * d[k] / distance, 1e-3f);
    }
  }
}

TEST_F(ParticlesTest, ThePassDrawsFirstThenAgesMovesAndKillsOnTime) {
  auto renderer = std::make_unique<CountingRenderer>();
  CountingRenderer* drawn = renderer.get();
  owner->particleRenderer = std::move(renderer);
  FXEmitter& emitter = *addEmitter();
  emitter.birthRate.value = 0.0f;
  emitter.acceleration[1] = -10.0f;
  Particle& dying = live(emitter, 3, 1, 1, 1);
  dying.life = 0.5f;
  dying.velocity[0] = 5.0f;
  Particle& moving = live(emitter, 4, 0, 0, 0);
  moving.velocity[0] = 5.0f;

  updateEffects(scene, nullptr, 0.0);  // the first pass only draws
  EXPECT_EQ(drawn->draws, 1);
  EXPECT_EQ(moving.position[0], 0.0f);
  updateEffects(scene, nullptr, 0.0);  // no time passed: drawn, not moved
  EXPECT_EQ(drawn->draws, 2);
  EXPECT_EQ(moving.position[0], 0.0f);

  updateEffects(scene, nullptr, 0.5);
  EXPECT_EQ(drawn->draws, 3);
  EXPECT_EQ(drawn->lastParticles, emitter.particles.data());
  EXPECT_FALSE(dying.alive);
  EXPECT_EQ(dying.position[0], 1.0f) << "a particle whose life ends this frame does not move";
  // Displacement (5 x 0.5, -10 x 0.5), then back to units per second.
  EXPECT_FLOAT_EQ(moving.position[0], 2.5f);
  EXPECT_FLOAT_EQ(moving.position[1], -5.0f);
  EXPECT_FLOAT_EQ(moving.velocity[0], 5.0f);
  EXPECT_FLOAT_EQ(moving.velocity[1], -10.0f);
  EXPECT_FLOAT_EQ(moving.life, 99.5f);

  // An owner without a renderer is simulated and not drawn.
  owner->particleRenderer.reset();
  updateEffects(scene, nullptr, 1.0);
  EXPECT_FLOAT_EQ(moving.position[0], 5.0f);
  EXPECT_FLOAT_EQ(moving.position[1], -15.0f);
}

TEST_F(ParticlesTest, ASpeedLimitShortensTheFramesMove) {
  FXEmitter& emitter = *addEmitter();
  emitter.birthRate.value = 0.0f;
  emitter.speedLimit = 0.01f;
  Particle& p = live(emitter, 0, 0, 0, 0);
  p.velocity[2] = 10.0f;
  updateEffects(scene, nullptr, 0.0);
  updateEffects(scene, nullptr, 0.5);
  // Displacement 5; m = 5 x 0.5 = 2.5 > 0.01: scaled by 0.01 / 2.5.
  EXPECT_NEAR(p.position[2], 5.0f * 0.004f, 1e-6f);
}

TEST_F(ParticlesTest, MoreSlotsThanTheArrayHasAreCutToItWithAReport) {
  FXEmitter& emitter = *addEmitter();
  emitter.maxParticles = 1000;
  emitter.birthRate.value = 1e30f;  // a count far past any integer
  emitter.emit(0.0, 1.0);
  EXPECT_EQ(emitter.maxParticles, 250);
  EXPECT_EQ(aliveCount(emitter), 250);
  EXPECT_NE(takeMessage().find("1000"), std::string::npos);
  emitter.emit(0.0, 1.0);
  EXPECT_EQ(takeMessage(), "") << "reported once";
  emitter.maxParticles = -5;
  EXPECT_EQ(emitter.slotCount(), 0);
}

TEST_F(ParticlesTest, TriggersFollowTheOwnersXKeys) {
  auto envelope = std::make_unique<Envelope>();
  for (float t : {0.0f, 1.0f, 2.0f}) envelope->addKeyLinear(0.0f, t);
  owner->position[0].channel = std::move(envelope);
  FXEmitter& emitter = *addEmitter();
  emitter.triggerMode = 1;
  emitter.emit(0.6, 0.1);  // no key between 0.5 and 0.6
  EXPECT_EQ(aliveCount(emitter), 0);
  emitter.emit(1.05, 0.1);  // passes the key at 1
  EXPECT_EQ(aliveCount(emitter), 10);

  emitter.triggerMode = 2;
  emitter.emit(1.5, 0.1);  // no key: emits on top
  EXPECT_EQ(aliveCount(emitter), 20);
  emitter.emit(2.05, 0.1);  // a key: everything dies, then the births
  EXPECT_EQ(aliveCount(emitter), 10);
  EXPECT_EQ(emitter.totalBorn, 10);
  emitter.triggerMode = 3;
  emitter.emit(3.0, 1.0);
  EXPECT_EQ(aliveCount(emitter), 10);
}

// ---- Forces ----

TEST_F(ParticlesTest, GravityPullsAlongItsDirectionOrAwayFromItsOwner) {
  FXEmitter& emitter = *addEmitter();
  Particle& p = live(emitter, 0, 5, 0, 0);
  FXGravity gravity(owner);
  gravity.direction[1] = -1.0f;
  gravity.falloff = 2;
  gravity.step(emitter.particles.data(), 0, 250, 0.0, 0.02, nullptr);
  EXPECT_FLOAT_EQ(p.velocity[1], -0.2f);

  // Radial: n x (f w S dt / d) = (1, 0, 0) x 1 / 5.
  p.velocity[1] = 0.0f;
  gravity.type = 1;
  gravity.step(emitter.particles.data(), 0, 250, 0.0, 1.0, nullptr);
  EXPECT_FLOAT_EQ(p.velocity[0], 0.2f);
  EXPECT_FLOAT_EQ(p.velocity[1], 0.0f);

  // Falloff 1 within 1/R of the owner gives nothing: 1/0.5 = 2 > R = 1.
  Particle& near = live(emitter, 1, 0.5f, 0, 0);
  gravity.falloff = 1;
  gravity.step(emitter.particles.data(), 0, 250, 0.0, 1.0, nullptr);
  EXPECT_EQ(near.velocity[0], 0.0f);
  EXPECT_FLOAT_EQ(p.velocity[0], 0.2f + 0.2f * 0.2f) << "1/5 <= R: f = 1/5";
  EXPECT_EQ(forceFalloff(7, 1.0f, 1.0f, false), 0.0f) << "an unknown rule gives no force";
  EXPECT_EQ(forceFalloff(3, 0.5f, 1.0f, false), 0.0f);
  EXPECT_EQ(forceFalloff(3, 0.5f, 1.0f, true), 0.5f);
}

TEST_F(ParticlesTest, TurbulenceIgnoresStrengthAndFalloffAndDrawsThreeValuesPerParticle) {
  FXEmitter& emitter = *addEmitter();
  Particle& p = live(emitter, 7, 100, 0, 0);  // far outside the radius
  p.weight = 2.0f;
  FXWind wind(owner);
  wind.strength.value = 0.0f;
  wind.step(emitter.particles.data(), 0, 250, 0.0, 0.5, nullptr);
  engineSrand(1);
  const float u1 = r() / 32768 - 0.5f, u2 = r() / 32768 - 0.5f, u3 = r() / 32768 - 0.5f;
  EXPECT_FLOAT_EQ(p.velocity[0], u3);  // x weight 2 x dt 0.5
  EXPECT_FLOAT_EQ(p.velocity[1], u2);
  EXPECT_FLOAT_EQ(p.velocity[2], u1);

  // Vortex: (-r.z, 0, r.x) x f S w swirl dt, then D x f w dt.
  p = Particle{};
  p.position[0] = 0.5f;
  p.weight = 1.0f;
  p.swirl = 2.0f;
  p.alive = true;
  wind.mode = 2;
  wind.strength.value = 3.0f;
  wind.step(emitter.particles.data(), 0, 250, 0.0, 0.1, nullptr);
  EXPECT_FLOAT_EQ(p.velocity[2], 0.5f * 3.0f * 2.0f * 0.1f);
  EXPECT_FLOAT_EQ(p.velocity[1], 0.1f * 0.1f);
}

TEST_F(ParticlesTest, ACollisionPlaneReflectsAndDrawsTwoTiltsForEveryParticle) {
  placeOwner(0, 1, 0);
  FXEmitter& emitter = *addEmitter();
  Particle& below = live(emitter, 0, 0.3f, 0.5f, 0);
  below.velocity[1] = -0.5f;
  Particle& above = live(emitter, 1, 0, 3, 0);
  above.velocity[1] = -0.5f;
  FXCollision plane(owner);
  plane.shape = 2;
  plane.radius.value = 1.0f;  // the plane is at y = 2
  plane.bounce.value = 0.5f;
  plane.step(emitter.particles.data(), 0, 250, 0.0, 0.02, nullptr);
  EXPECT_FLOAT_EQ(below.velocity[0], 0.0f);
  EXPECT_FLOAT_EQ(below.velocity[1], 0.25f) << "straight up, speed times bounce";
  EXPECT_FLOAT_EQ(below.position[1], 2.0f);
  EXPECT_FLOAT_EQ(above.velocity[1], -0.5f);
  const int next = engineRand();
  engineSrand(1);
  for (int i = 0; i < 4; ++i) engineRand();
  EXPECT_EQ(next, engineRand()) << "two draws for each of the two particles";

  // Inside a sphere the displacement grows outward by its length x bounce.
  FXCollision sphere(owner);
  sphere.radius.value = 2.0f;
  sphere.bounce.value = 1.0f;
  below.position[1] = 1.0f;  // 0.3 to the side of the centre
  below.velocity[1] = 0.0f;
  below.velocity[0] = 0.4f;
  sphere.step(emitter.particles.data(), 0, 1, 0.0, 0.02, nullptr);
  EXPECT_FLOAT_EQ(below.velocity[0], 0.8f);
}

TEST_F(ParticlesTest, AForceActsOnTheEmittersOfItsGroupAndGroupZeroOnAll) {
  FXEmitter& first = *addEmitter();
  FXEmitter& second = *addEmitter();
  first.birthRate.value = second.birthRate.value = 0.0f;
  second.group = 2;
  Particle& a = live(first, 0, 0, 0, 0);
  Particle& b = live(second, 0, 0, 0, 0);
  auto gravity = std::make_unique<FXGravity>(owner);
  gravity->direction[1] = -1.0f;
  gravity->falloff = 2;
  FXGravity* force = gravity.get();
  scene.forces.push_back(std::move(gravity));
  updateEffects(scene, nullptr, 0.0);
  updateEffects(scene, nullptr, 0.1);
  // Displacement -1 x 0.1 x 10 = -1 per frame, moved and back to -10/s.
  EXPECT_NEAR(a.position[1], -1.0f, 1e-5f);
  EXPECT_NEAR(b.position[1], -1.0f, 1e-5f);
  force->group = 2;
  updateEffects(scene, nullptr, 0.2);
  EXPECT_NEAR(a.position[1], -2.0f, 1e-5f) << "moves on at its speed, no new pull";
  EXPECT_NEAR(b.position[1], -3.0f, 1e-5f);
}

}  // namespace
