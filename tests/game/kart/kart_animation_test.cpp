#include <gtest/gtest.h>

#include "game/kart/kart_extras.h"
#include "render/surface.h"
#include "render/texture.h"
#include "scene/particle_emitter.h"
#include "scene/particle_renderers.h"
#include "tests/game/kart/kart_extras_fixture.h"

namespace {

using namespace kart_test;

class KartPoses : public KartWithExtras {
 protected:
  // One frame, a tenth of a second after the last.
  void frame() {
    time += 0.1;
    kart->updateVisuals(time);
  }
  void frames(int n) {
    for (int i = 0; i < n; ++i) frame();
  }
  float driverIntensity(const std::string& name) const { return intensity(*driver, name); }
  float bodyIntensity(const std::string& name) const { return intensity(*body, name); }
};

TEST_F(KartPoses, HoldingLeftStartsSteeringOnceAndReleasingFadesBackInFiveFrames) {
  frames(6);  // the first fade-in is over
  EXPECT_EQ(driverIntensity("Fahren"), 1.0f);
  held->steerLeft = true;
  frame();
  const float started = offset(*driver, "Lenken_LI");
  EXPECT_FLOAT_EQ(started, static_cast<float>(time));
  EXPECT_FLOAT_EQ(offset(*body, "lenken_LI_kart"), started);
  EXPECT_FLOAT_EQ(driverIntensity("Lenken_LI"), 0.201f);
  EXPECT_FLOAT_EQ(driverIntensity("Fahren"), 0.799f);
  frames(10);
  EXPECT_EQ(offset(*driver, "Lenken_LI"), started);  // not started again while held
  EXPECT_EQ(driverIntensity("Lenken_LI"), 1.0f);
  EXPECT_EQ(bodyIntensity("lenken_LI_kart"), 1.0f);
  EXPECT_EQ(driverIntensity("Fahren"), 0.0f);

  held->steerLeft = false;
  for (int k = 1; k <= 4; ++k) {
    frame();
    EXPECT_NEAR(driverIntensity("Fahren"), 0.201f * k, 1e-5) << k;
    EXPECT_NEAR(driverIntensity("Lenken_LI"), 1.0f - 0.201f * k, 1e-5) << k;
    EXPECT_NEAR(bodyIntensity("lenken_LI_kart"), 1.0f - 0.201f * k, 1e-5) << k;
  }
  frame();
  EXPECT_EQ(driverIntensity("Fahren"), 1.0f);
  EXPECT_EQ(driverIntensity("Lenken_LI"), 0.0f);
  EXPECT_EQ(bodyIntensity("lenken_LI_kart"), 0.0f);
}

TEST_F(KartPoses, ASteeringChangeDuringAFadeCutsWhatWasFadingOut) {
  frames(6);
  held->steerLeft = true;
  frames(2);
  EXPECT_GT(driverIntensity("Fahren"), 0.5f);
  held->steerLeft = false;
  held->steerRight = true;
  frame();
  EXPECT_EQ(driverIntensity("Fahren"), 0.0f);  // cut at once
  EXPECT_FLOAT_EQ(driverIntensity("Lenken_RE"), 0.201f);
  EXPECT_FLOAT_EQ(bodyIntensity("lenken_RE_kart"), 0.201f);
  EXPECT_FLOAT_EQ(driverIntensity("Lenken_LI"), 0.799f);  // now the one fading out
  frames(5);
  EXPECT_EQ(driverIntensity("Lenken_LI"), 0.0f);
  EXPECT_EQ(bodyIntensity("lenken_LI_kart"), 0.0f);
  EXPECT_EQ(driverIntensity("Lenken_RE"), 1.0f);
}

TEST_F(KartPoses, ReversingInactiveAndComputerKartsChooseTheirOwnMotions) {
  frames(6);
  kart->m_drive.m_reverse = 1;
  held->steerLeft = true;
  frames(6);
  EXPECT_EQ(driverIntensity("Lenken_LI"), 0.0f);  // no steering pose backwards
  held->steerLeft = false;
  frames(6);
  EXPECT_EQ(driverIntensity("Rueckwaerts"), 1.0f);
  EXPECT_EQ(driverIntensity("Fahren"), 0.0f);
  kart->m_drive.m_reverse = 0;
  kart->m_net.m_active.set(false);
  held->steerRight = true;
  frames(6);
  EXPECT_EQ(driverIntensity("Lenken_RE"), 0.0f);  // not racing: no steering pose
  held->steerRight = false;
  frames(6);
  EXPECT_EQ(driverIntensity("Fahren"), 1.0f);

  kart->m_net.m_active.set(true);
  held->steerRight = true;
  frames(6);
  ASSERT_EQ(driverIntensity("Lenken_RE"), 1.0f);
  held->ai = true;  // a computer driver only ever drives
  frame();
  EXPECT_EQ(kart->m_animation.driverMotion, driver->findMotionIndex("Fahren"));
  EXPECT_EQ(kart->m_animation.bodyMotion, -1);
  EXPECT_FLOAT_EQ(driverIntensity("Fahren"), 0.201f);
}

TEST_F(KartPoses, AnEventMotionHoldsOffTheSteeringAndDarkensTheDriverWhileHit) {
  Surface bodySurface(nullptr, "body");
  kart->m_characterModel[Vehicle::kBodySurface] = &bodySurface;
  frames(6);
  EXPECT_EQ(bodySurface.colorFactor[0], 1.0f);
  kart->requestEventMotion(driver->findMotionIndex("Getroffen"), body->findMotionIndex("getroffen_kart"), 1.0f);
  held->steerLeft = true;
  frame();
  EXPECT_FLOAT_EQ(offset(*driver, "Getroffen"), static_cast<float>(time));
  EXPECT_FLOAT_EQ(driverIntensity("Getroffen"), 0.201f);
  EXPECT_FLOAT_EQ(bodyIntensity("getroffen_kart"), 0.201f);
  EXPECT_EQ(driverIntensity("Lenken_LI"), 0.0f);
  const float dark[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(bodySurface.colorFactor[i], dark[i]);
  // The steps count the hold down; then the steering is read again.
  steps(110);
  frame();
  EXPECT_FLOAT_EQ(driverIntensity("Lenken_LI"), 0.201f);
  kart->m_characterModel[Vehicle::kBodySurface] = nullptr;
}

TEST_F(KartPoses, TheArraysPublishTheBodysMotionsThenTheDriversAndWeaponsShowWhereTheyLie) {
  held->steerLeft = true;
  frames(8);
  const auto& sent = kart->m_net.m_netMotionIntensity;
  const std::size_t bodyCount = kBodyMotionNames.size();
  EXPECT_EQ(sent[static_cast<std::size_t>(body->findMotionIndex("lenken_LI_kart"))].get(), 1.0f);
  EXPECT_EQ(sent[static_cast<std::size_t>(body->findMotionIndex("fahren_kart"))].get(), 1.0f);
  EXPECT_EQ(sent[bodyCount + static_cast<std::size_t>(driver->findMotionIndex("Lenken_LI"))].get(), 1.0f);
  EXPECT_EQ(sent[bodyCount + static_cast<std::size_t>(driver->findMotionIndex("Fahren"))].get(), 0.0f);
  EXPECT_FLOAT_EQ(
      kart->m_net.m_netMotionOffset[bodyCount + static_cast<std::size_t>(driver->findMotionIndex("Lenken_LI"))].get(),
      offset(*driver, "Lenken_LI"));

  kart->m_net.m_effectMagnetPos.set({1.0f, 2.0f, 3.0f});
  kart->m_net.m_extraMinePos.set({4.0f, 5.0f, 6.0f});
  frame();
  EXPECT_FLOAT_EQ(worldPosition(*magnet).z, 3.0f);
  EXPECT_FLOAT_EQ(worldPosition(*mine).y, 5.0f);
}

TEST_F(KartPoses, ALaunchIsAbortedOnlyInsideItsFirstSecond) {
  for (const char* name : {"schutzschild_kart", "shrinker_kart", "froster_kart"})
    body->motions[static_cast<std::size_t>(body->findMotionIndex(name))]->setIntensity(1.0f);
  kart->m_net.m_extraRocket.set(1.0f);
  kart->m_net.m_rocketFired.set(1);
  kart->m_net.m_targetLocked.set(3);
  for (float t : {0.0f, 1.0f, 1.5f}) {
    kart->m_projectiles.rocketLaunch = t;
    kart->abortRocketLaunch();
    EXPECT_EQ(kart->m_projectiles.rocketLaunch, t) << t;
    EXPECT_EQ(kart->m_net.m_extraRocket.get(), 1.0f) << t;
    EXPECT_EQ(kart->m_net.m_targetLocked.get(), 3) << t;
  }
  EXPECT_EQ(bodyIntensity("schutzschild_kart"), 0.0f);  // the poses drop whatever the launch
  EXPECT_EQ(bodyIntensity("shrinker_kart"), 0.0f);
  EXPECT_EQ(bodyIntensity("froster_kart"), 0.0f);

  kart->m_projectiles.rocketLaunch = 0.5f;
  kart->m_projectiles.rocketTarget = 3;
  kart->abortRocketLaunch();
  EXPECT_EQ(kart->m_projectiles.rocketLaunch, -1.0f);
  EXPECT_EQ(kart->m_projectiles.rocketTarget, -1);
  EXPECT_EQ(kart->m_net.m_extraRocket.get(), 0.0f);
  EXPECT_EQ(kart->m_net.m_targetLocked.get(), -1);
  EXPECT_EQ(kart->m_net.m_rocketFired.get(), 0);  // the rocket goes with its launch
}

class PlainTexture : public Texture {
 public:
  PlainTexture() : Texture(nullptr, 0) {}
  std::unique_ptr<Texture> clone() const override { return nullptr; }
  void load() override {}
  int kind() const override { return 0; }
};

// With the race's explosion pictures; they outlive the scene.
class KartExplosion : public KartPoses {
 protected:
  PlainTexture rocket, froster, shrinker;
  ExplosionTextures table{&rocket, &froster, &shrinker};
};

TEST_F(KartExplosion, AWeaponGoesOffWithItsPictureAndEverythingInFlightEnds) {
  settle();
  kart->m_explosionTextures = &table;
  NotingBuffer* bang = giveSound(*kart, kSoundRocketHit);
  kart->m_net.m_rocketPos.set({7.0f, 8.0f, 9.0f});
  kart->m_projectiles.rocketLaunch = 4.0f;  // long under way
  kart->m_net.m_extraRocket.set(1.0f);
  kart->m_net.m_rocketFired.set(1);
  kart->m_net.m_targetLocked.set(2);
  kart->m_net.m_extraFroster.set(0.8f);
  kart->m_net.m_extraFrosterPos.set({1.0f, 1.0f, 1.0f});
  kart->m_net.m_extraShrinker.set(0.4f);
  kart->m_net.m_explosionType.set(9);  // as a peer might send it
  const Position3 at{3.0f, 0.5f, 4.0f};
  kart->explodeWeapon(at);

  EXPECT_EQ(worldPosition(*kart->m_items.rocketParticles).x, 3.0f);
  EXPECT_EQ(kart->m_items.rocketEmitter->birthRate.value, 800.0f);
  auto* material = dynamic_cast<ParticleMaterial*>(kart->m_items.rocketParticles->particleRenderer.get());
  ASSERT_NE(material, nullptr);
  ASSERT_EQ(material->surface->imageLayers.size(), 1u);
  EXPECT_EQ(material->surface->imageLayers[0]->texture, &shrinker);
  EXPECT_EQ(kart->m_net.m_explosion.get().z, 4.0f);
  EXPECT_EQ(kart->m_net.m_explosionBr.get(), 800.0f);
  EXPECT_EQ(kart->m_projectiles.rocketLaunch, -1.0f);
  EXPECT_EQ(kart->m_net.m_extraRocket.get(), 0.0f);
  EXPECT_EQ(kart->m_net.m_rocketFired.get(), 0);
  EXPECT_EQ(kart->m_net.m_targetLocked.get(), -1);
  EXPECT_EQ(kart->m_net.m_extraFroster.get(), 0.0f);
  EXPECT_EQ(kart->m_net.m_extraShrinker.get(), 0.0f);
  EXPECT_EQ(kart->m_net.m_extraFrosterPos.get().y, -100.0f);
  EXPECT_EQ(kart->m_net.m_extraShrinkerPos.get().y, -100.0f);
  EXPECT_EQ(worldPosition(*rockets[1]).y, -100.0f);
  EXPECT_EQ(bang->plays, 1);
  EXPECT_EQ(bang->at.x, 7.0f);  // heard where the rocket was
  Position3 kartAt;
  kart->getPosition(kartAt);
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundRocketHit);
  EXPECT_EQ(kart->m_net.m_soundPosition.get().x, kartAt.x);

  // The burst lasts 0.3 s.
  steps(29);
  EXPECT_EQ(kart->m_net.m_explosionBr.get(), 800.0f);
  steps(2);
  EXPECT_EQ(kart->m_net.m_explosionBr.get(), 0.0f);
  EXPECT_EQ(kart->m_items.rocketEmitter->birthRate.value, 0.0f);

  kart->m_net.m_explosionType.set(1);
  kart->explodeWeapon(at);
  ASSERT_EQ(material->surface->imageLayers.size(), 1u);
  EXPECT_EQ(material->surface->imageLayers[0]->texture, &froster);
}

}  // namespace
