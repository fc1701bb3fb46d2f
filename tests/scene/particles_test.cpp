// Particle emitter, forces and the scene's particle pass, on the engine's
// random sequence from seed 1. Expected values come from a second walk of
// the same sequence or by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "foundation/envelope.h"
#include "foundation/random.h"
#include "scene/object_item.h"
#include "scene/particle_forces.h"
#include "scene/scene.h"
#include "tests/support/report_capture.h"

namespace {

class CountingRenderer : public HyperVoxelSurface {
 public:
  CountingRenderer() : HyperVoxelSurface(nullptr) {}
  void update(double, const Particle*, SceneItem*) override { ++draws; }
  int draws = 0;
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
  FXEmitter& addEmitter() { return *scene.emitters.emplace_back(std::make_unique<FXEmitter>(owner)); }
  // A live particle of weight 1 in slot i.
  static Particle& live(FXEmitter& emitter, int i, float x, float y, float z) {
    Particle& p = emitter.particles[static_cast<std::size_t>(i)] = Particle{};
    p.position[0] = x, p.position[1] = y, p.position[2] = z;
    p.weight = p.life = 1.0f;
    p.alive = true;
    return p;
  }

  Scene scene{nullptr};
  ObjectItem* owner = nullptr;
};

TEST_F(ParticlesTest, BirthsFollowTheRateModeUntilTheArrayIsFull) {
  FXEmitter& emitter = addEmitter();
  emitter.emit(1.0, 0.02);  // rate mode 1: 100 per second
  EXPECT_EQ(aliveCount(emitter), 2);
  emitter.rateMode = 0;  // 100 per frame at 30 frames a second
  emitter.emit(1.0, 0.02);
  EXPECT_EQ(aliveCount(emitter), 62);
  emitter.birthRate.value = 10000.0f;
  emitter.emit(1.0, 0.02);
  emitter.emit(1.0, 0.02);  // nobody fits; the count still grows
  EXPECT_EQ(aliveCount(emitter), 250);
  EXPECT_EQ(emitter.totalBorn, 62 + 2 * 6000);

  // Mode 3 fills only the lower half of a box straddling y = 0: refused
  // slots stay free and the walk goes on past them.
  FXEmitter& ground = addEmitter();
  ground.rateMode = 3;
  ground.generatorShape = 0;
  ground.generatorSize[1] = 2.0f;
  ground.emit(1.0, 0.02);
  EXPECT_EQ(aliveCount(ground), 60);
  EXPECT_GT(ground.lastIndex, 59);
  for (const Particle& p : ground.particles) EXPECT_TRUE(!p.alive || p.position[1] <= 0.0f);
}

TEST_F(ParticlesTest, ABirthDrawsPositionZYXThenLifeWeightSwirlExtra) {
  owner->position[0].value = 3.0f;
  FXEmitter& emitter = addEmitter();
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
  const float dz = (r() / 32768 - 0.5f) * size[2], dy = (r() / 32768 - 0.5f) * size[1];
  const float dx = (r() / 32768 - 0.5f) * size[0];
  const float life = 1000.0f + (r() / 32768 - 0.5f);
  const float weight = 1.0f + (r() / 32768 - 0.5f) * 2 * 0.5f;
  const float swirl = 4.0f - r() / 65536 * 2 * 2.0f;
  const float extra = 50.0f + (r() / 32768 - 0.5f) * 2 * 3.0f;
  const Particle& p = emitter.particles[0];
  EXPECT_FLOAT_EQ(p.position[0], 3 + dx);
  EXPECT_FLOAT_EQ(p.position[1], dy);
  EXPECT_FLOAT_EQ(p.position[2], dz);
  EXPECT_FLOAT_EQ(p.life, life);
  EXPECT_FLOAT_EQ(p.weight, weight);
  EXPECT_FLOAT_EQ(p.swirl, swirl);
  EXPECT_FLOAT_EQ(p.extra, extra);
  EXPECT_FLOAT_EQ(p.velocity[1], weight * 2.0f);
  EXPECT_EQ(aliveCount(emitter), 1);
}

TEST_F(ParticlesTest, TheSphereStaysWithinHalfAUnitWhateverItsSize) {
  FXEmitter& emitter = addEmitter();
  for (float& s : emitter.generatorSize) s = 10.0f;
  emitter.birthRate.value = 5000.0f;
  emitter.emit(0.0, 0.02);
  ASSERT_EQ(aliveCount(emitter), 100);
  for (const Particle& p : emitter.particles)
    EXPECT_TRUE(!p.alive || std::hypot(p.position[0], p.position[1], p.position[2]) < 0.5f);
}

TEST_F(ParticlesTest, ThePassDrawsFirstThenAgesMovesAndKillsOnTime) {
  owner->particleRenderer = std::make_unique<CountingRenderer>();
  auto& drawn = static_cast<CountingRenderer&>(*owner->particleRenderer);
  FXEmitter& emitter = addEmitter();
  emitter.birthRate.value = 0.0f;
  emitter.acceleration[1] = -10.0f;
  Particle& dying = live(emitter, 3, 1, 1, 1);
  dying.life = 0.5f;
  dying.velocity[0] = 5.0f;
  Particle& moving = live(emitter, 4, 0, 0, 0);
  moving.velocity[0] = 5.0f;
  moving.life = 100.0f;

  updateEffects(scene, nullptr, 0.0);  // the first pass only draws
  updateEffects(scene, nullptr, 0.0);  // no time passed: drawn, not moved
  EXPECT_EQ(drawn.draws, 2);
  EXPECT_EQ(moving.position[0], 0.0f);
  updateEffects(scene, nullptr, 0.5);
  EXPECT_FALSE(dying.alive);
  EXPECT_EQ(dying.position[0], 1.0f) << "a particle whose life ends this frame does not move";
  // Displacement (5 x 0.5, -10 x 0.5), then back to units per second.
  EXPECT_FLOAT_EQ(moving.position[0], 2.5f);
  EXPECT_FLOAT_EQ(moving.position[1], -5.0f);
  EXPECT_FLOAT_EQ(moving.velocity[1], -10.0f);

  owner->particleRenderer.reset();  // simulated, not drawn
  updateEffects(scene, nullptr, 1.0);
  EXPECT_FLOAT_EQ(moving.position[1], -15.0f);
}

TEST_F(ParticlesTest, MoreSlotsThanTheArrayHasAreCutToItWithAReport) {
  FXEmitter& emitter = addEmitter();
  emitter.maxParticles = 1000;
  emitter.birthRate.value = 1e30f;  // a count far past any integer
  emitter.emit(0.0, 1.0);
  EXPECT_EQ(emitter.maxParticles, 250);
  EXPECT_EQ(aliveCount(emitter), 250);
  EXPECT_NE(takeMessage().find("1000"), std::string::npos);
  emitter.emit(0.0, 1.0);
  EXPECT_EQ(takeMessage(), "") << "reported once";
}

TEST_F(ParticlesTest, TriggersFollowTheOwnersXKeys) {
  auto envelope = std::make_unique<Envelope>();
  for (float t : {0.0f, 1.0f, 2.0f}) envelope->addKeyLinear(0.0f, t);
  owner->position[0].channel = std::move(envelope);
  FXEmitter& emitter = addEmitter();
  emitter.triggerMode = 1;
  emitter.emit(0.6, 0.1);  // no key since 0.5
  EXPECT_EQ(aliveCount(emitter), 0);
  emitter.emit(1.05, 0.1);
  EXPECT_EQ(aliveCount(emitter), 10);
  emitter.triggerMode = 2;
  emitter.emit(1.5, 0.1);   // no key: emits on top
  emitter.emit(2.05, 0.1);  // a key: everything dies, then the births
  EXPECT_EQ(aliveCount(emitter), 10);
  EXPECT_EQ(emitter.totalBorn, 10);
}

// ---- Forces ----

TEST_F(ParticlesTest, GravityPullsAlongItsDirectionOrAwayFromItsOwner) {
  FXEmitter& emitter = addEmitter();
  Particle& p = live(emitter, 0, 5, 0, 0);
  Particle& near = live(emitter, 1, 0.5f, 0, 0);
  FXGravity gravity(owner);
  gravity.direction[1] = -1.0f;
  gravity.falloff = 2;
  gravity.step(emitter.particles.data(), 0, 1, 0.0, 0.02, nullptr);
  EXPECT_FLOAT_EQ(p.velocity[1], -0.2f);
  // Radial, falloff 1: f = 1/5 at distance 5, n x f w S dt / d = 0.04; none
  // where 1/d = 2 exceeds R = 1.
  gravity.type = 1;
  gravity.falloff = 1;
  gravity.step(emitter.particles.data(), 0, 2, 0.0, 1.0, nullptr);
  EXPECT_FLOAT_EQ(p.velocity[0], 0.04f);
  EXPECT_EQ(near.velocity[0], 0.0f);
}

TEST_F(ParticlesTest, TurbulenceIgnoresStrengthAndFalloffAndDrawsThreeValues) {
  FXEmitter& emitter = addEmitter();
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
}

TEST_F(ParticlesTest, ACollisionPlaneReflectsAndDrawsTwoTiltsForEveryParticle) {
  owner->position[1].value = 1.0f;
  FXEmitter& emitter = addEmitter();
  Particle& below = live(emitter, 0, 0.3f, 0.5f, 0);
  below.velocity[1] = -0.5f;
  live(emitter, 1, 0, 3, 0).velocity[1] = -0.5f;
  FXCollision plane(owner);
  plane.shape = 2;  // at y = 1 + radius 1
  plane.bounce.value = 0.5f;
  plane.step(emitter.particles.data(), 0, 250, 0.0, 0.02, nullptr);
  EXPECT_FLOAT_EQ(below.velocity[0], 0.0f);
  EXPECT_FLOAT_EQ(below.velocity[1], 0.25f) << "straight up, speed times bounce";
  EXPECT_FLOAT_EQ(below.position[1], 2.0f);
  EXPECT_FLOAT_EQ(emitter.particles[1].velocity[1], -0.5f);
  const int next = engineRand();
  engineSrand(1);
  for (int i = 0; i < 4; ++i) engineRand();
  EXPECT_EQ(next, engineRand()) << "two draws for each of the two particles";
}

}  // namespace
