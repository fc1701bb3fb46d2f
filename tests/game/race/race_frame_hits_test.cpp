// What the karts' weapons do to each other in a frame, and the frame's
// sounds: rocket flight, the stampers' window, the listener, the engines.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "foundation/envelope.h"
#include "scene/object_item.h"
#include "scene/scene.h"
#include "tests/game/race/race_frame_fixture.h"

namespace {

Position3 offset(const Position3& p, float dx) { return {p.x + dx, p.y, p.z}; }

class RaceHitTest : public RaceFrameTest {
 protected:
  void SetUp() override {
    RaceFrameTest::SetUp();
    loadRunning();
    activateAll();
  }
  // Kart `j`'s rocket, locked on `target`, at `at`.
  void rocketAt(int j, int target, const Position3& at) {
    VehicleNetValues& v = kart(j).m_net;
    v.m_extraRocket.set(1.0f);
    v.m_rocketFired.set(1);
    v.m_targetLocked.set(target);
    v.m_rocketPos.set(at);
  }
};

TEST_F(RaceHitTest, AShieldTakesTheRocketAwayWithoutTheHitOrTheLaughOnlyTheBang) {
  kart(0).m_status.shield = 4.0f;
  rocketAt(1, 0, offset(positionOf(0), 1.0f));
  race->testHits();
  const VehicleNetValues& attacker = kart(1).m_net;
  EXPECT_EQ(attacker.m_targetLocked.get(), -1);
  EXPECT_EQ(attacker.m_rocketFired.get(), 0);
  EXPECT_EQ(attacker.m_extraRocket.get(), 0.0f);
  EXPECT_EQ(kart(0).m_net.m_rocketIndex.get(), 1);
  EXPECT_EQ(kart(0).m_status.rocketHit, 0.0f);
  EXPECT_EQ(kart(0).m_animation.state, KartAnimation::kIdle);
  EXPECT_EQ(kartSound(0, kSoundRocketHit)->plays, 1);
  EXPECT_EQ(kartSound(0, 3)->plays, 0);
  EXPECT_EQ(kart(0).m_net.m_soundStart.get(), kSoundRocketHit);

  // Unshielded: stopped a second, the hit motion, and the laugh.
  rocketAt(3, 2, offset(positionOf(2), -2.9f));
  race->testHits();
  EXPECT_EQ(kart(2).m_status.rocketHit, 1.0f);
  EXPECT_EQ(kart(2).m_animation.state, KartAnimation::kEventMotion);
  EXPECT_EQ(kart(2).m_animation.hold, 1.0f);
  EXPECT_EQ(kartSound(2, 3)->plays, 1);
  EXPECT_EQ(kart(2).m_net.m_soundStart.get(), 3);
}

TEST_F(RaceHitTest, OfTwoKartsOnAMineOnlyTheFirstIsHitAndTheMagnetWaitsTillItIsOver) {
  const Position3 mine = positionOf(0);
  place(1, offset(mine, 0.5f));
  kart(2).m_net.m_extraMinePos.set(offset(mine, 0.25f));
  race->testHits();
  EXPECT_EQ(kart(0).m_status.mineHit, 1.0f);
  EXPECT_EQ(kart(0).m_net.m_extraMineIndex.get(), 2);
  EXPECT_EQ(kart(0).m_animation.state, KartAnimation::kEventMotion);
  EXPECT_EQ(kart(1).m_status.mineHit, 0.0f);
  EXPECT_EQ(kart(2).m_net.m_extraMinePos.get().y, -100.0f) << "gone off";

  // While kart 0 carries kart 2's mine, kart 2's mine and magnet spare
  // kart 1 even where they lie on it.
  kart(2).m_net.m_extraMinePos.set(positionOf(1));
  kart(2).m_net.m_effectMagnetPos.set(positionOf(1));
  race->testHits();
  EXPECT_EQ(kart(1).m_status.mineHit, 0.0f);
  EXPECT_EQ(kart(1).m_status.magnet, 0.0f);
  kart(0).m_net.m_extraMineIndex.set(-1);
  race->testHits();
  EXPECT_EQ(kart(1).m_status.mineHit, 1.0f);
  // The magnet takes the first kart in its reach: kart 0, half a metre off.
  EXPECT_EQ(kart(0).m_status.magnet, 2.7f);
  EXPECT_EQ(kart(0).m_net.m_effectMagnetObjectIndex.get(), 2);
  EXPECT_EQ(kart(0).m_status.magnetPosition.x, positionOf(1).x);
  EXPECT_EQ(kart(1).m_status.magnet, 0.0f);
}

TEST_F(RaceHitTest, EachWeaponHitsStrictlyWithinItsReachOnlyAKartThatIsNotFalling) {
  const Position3 origin{0.0f, 0.0f, 0.0f};
  struct Case {
    const char* what;
    float reach;
    std::function<void(const Position3&)> aim;  // kart 1's weapon at that point
    std::function<float()> timer;               // kart 0's timer it starts
    float started;
  };
  const Case cases[] = {
      {"bubble", 3.0f,
       [&](const Position3& p) {
         kart(1).m_net.m_extraSoap[2].set(1.0f);
         kart(1).m_net.m_extraSoapPos[2].set(p);
       },
       [&] { return kart(0).m_status.skid; }, 5.0f},
      {"froster", 3.0f,
       [&](const Position3& p) {
         kart(1).m_net.m_extraFroster.set(1.0f);
         kart(1).m_net.m_extraFrosterPos.set(p);
       },
       [&] { return kart(0).m_status.frozen; }, 3.0f},
      {"shrinker", 3.0f,
       [&](const Position3& p) {
         kart(1).m_net.m_extraShrinker.set(1.0f);
         kart(1).m_net.m_extraShrinkerPos.set(p);
       },
       [&] { return kart(0).m_status.shrunk; }, 10.0f},
      {"flash", 15.0f,
       [&](const Position3& p) {
         kart(1).m_net.m_extraFlash.set(1.0f);
         place(1, p);
       },
       [&] { return kart(0).m_status.throttleLock; }, 2.5f},
      {"mine", 1.6f, [&](const Position3& p) { kart(1).m_net.m_extraMinePos.set(p); },
       [&] { return kart(0).m_status.mineHit; }, 1.0f},
      {"magnet", 5.0f, [&](const Position3& p) { kart(1).m_net.m_effectMagnetPos.set(p); },
       [&] { return kart(0).m_status.magnet; }, 2.7f},
      {"weight", 20.0f,
       [&](const Position3& p) {
         kart(1).m_net.m_extraWeight.set(1.0f);
         place(1, p);
       },
       [&] { return kart(0).m_status.weightHit; }, 3.0f},
  };
  auto clear = [&] {
    kart(0).m_status = KartStatusTimers{};
    for (int k = 0; k < 2; ++k) {
      VehicleNetValues& v = kart(k).m_net;
      v.m_extraSoap[2].set(0.0f);
      v.m_extraFroster.set(0.0f);
      v.m_extraShrinker.set(0.0f);
      v.m_extraFlash.set(0.0f);
      v.m_extraWeight.set(0.0f);
      v.m_extraMinePos.set(kParked);
      v.m_effectMagnetPos.set(kParked);
      v.m_extraMineIndex.set(-1);
      v.m_effectMagnetObjectIndex.set(-1);
      v.m_effectWeightObjectIndex.set(-1);
    }
  };
  for (const Case& c : cases) {
    // Kart 0 alone at the origin, the other karts far off.
    for (int k = 0; k < 6; ++k) place(k, {100.0f * static_cast<float>(k), 0.0f, 500.0f});
    place(0, origin);
    for (float fall : {0.0f, 0.5f}) {
      clear();
      kart(0).m_status.fall = fall;
      c.aim({c.reach, 0.0f, 0.0f});
      race->testHits();
      EXPECT_EQ(c.timer(), 0.0f) << c.what << " exactly at its reach";
      c.aim({c.reach - 0.01f, 0.0f, 0.0f});
      race->testHits();
      EXPECT_EQ(c.timer(), fall == 0.0f ? c.started : 0.0f) << c.what << " falling " << fall;
    }
  }
}

TEST(RaceEngineSound, TwentyTwoKilohertzStandingOrWithoutATopSpeedAtMostNinety) {
  EXPECT_EQ(Race::engineFrequency(0.0f, 0.3f), 22000u);
  EXPECT_EQ(Race::engineFrequency(0.2f, 0.0f), 22000u);
  EXPECT_EQ(Race::engineFrequency(0.2f, -1.0f), 22000u);
  EXPECT_EQ(Race::engineFrequency(0.15f, 0.3f), 56000u);
  EXPECT_EQ(Race::engineFrequency(0.3f, 0.3f), 90000u);
  EXPECT_EQ(Race::engineFrequency(1e30f, 1e-30f), 90000u);
  EXPECT_EQ(Race::engineFrequency(-1.0f, 0.3f), 0u) << "reversing hard";
  EXPECT_EQ(Race::engineFrequency(std::numeric_limits<float>::quiet_NaN(), 0.3f), 22000u);
}

TEST_F(RaceHitTest, EnginesLoopAtTheirPitchTheListenerSitsAtCameraZeroNothingWhilePaused) {
  race->updateSounds();
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(kartSound(k, kSoundEngine)->frequency, 22000u) << k;
    EXPECT_TRUE(kartSound(k, kSoundEngine)->isPlaying());
    EXPECT_TRUE(kartSound(k, kSoundEngine)->loop);
    EXPECT_EQ(kartSound(k, kSoundEngine)->maxDistance, 1000000.0f);
  }
  Matrix4x3 camera;
  race->m_scene->cameras[0]->worldMatrix(camera, 0.0, true);
  EXPECT_EQ(sound.listener[0], camera.m[12]);
  EXPECT_EQ(sound.listener[2], camera.m[14]);

  const int sets = sound.listenerSets;
  kartSound(2, kSoundEngine)->frequency = 0;
  race->m_paused = 1;
  race->updateSounds();
  EXPECT_EQ(sound.listenerSets, sets);
  EXPECT_EQ(kartSound(2, kSoundEngine)->frequency, 0u);
}

TEST_F(RaceHitTest, ARocketInTheAirIsHeardNearViewZerosKartAndFallsSilentWhenGone) {
  RecordingSoundBuffer* flight = kartSound(3, kSoundRocketFlight);
  kart(3).m_projectiles.rocketLaunch = 1.5f;
  kart(3).m_net.m_rocketPos.set(offset(positionOf(0), 24.0f));
  race->updateRocketFlightSounds();
  EXPECT_TRUE(flight->isPlaying());
  EXPECT_TRUE(flight->loop);
  kart(3).m_net.m_rocketPos.set(offset(positionOf(0), 25.0f));
  race->updateRocketFlightSounds();
  EXPECT_FALSE(flight->isPlaying());

  kart(3).m_net.m_rocketPos.set(positionOf(0));
  race->updateRocketFlightSounds();
  ASSERT_TRUE(flight->isPlaying());
  kart(3).m_projectiles.rocketLaunch = -1.0f;  // it went off
  race->updateRocketFlightSounds();
  EXPECT_FALSE(flight->isPlaying());
  // Still launching: not yet in flight.
  kart(3).m_projectiles.rocketLaunch = 0.5f;
  race->updateRocketFlightSounds();
  EXPECT_FALSE(flight->isPlaying());
}

TEST_F(RaceHitTest, AStamperSoundsOnceAsItComesDownNearViewZerosKartEveryFifthFrame) {
  ObjectItem* stamper = race->m_soundObjects.at(0);
  // Up for half a second, down in the next tenth, up again by 1.0.
  auto motion = std::make_unique<Envelope>();
  motion->addKeyLinear(2.0f, 0.0f);
  motion->addKeyLinear(2.0f, 0.5f);
  motion->addKeyLinear(0.0f, 0.6f);
  motion->addKeyLinear(2.0f, 1.0f);
  stamper->position[1].channel = std::move(motion);
  RecordingSoundBuffer* thump = recorded(stamper->sound.get());
  race->m_scene->soundVolume = 0.4f;
  place(0, {0.0f, 0.0f, 0.0f});  // 30 from the stamper

  auto frameAt = [&](double simTime, std::uint32_t frame) {
    race->m_simTime = simTime;
    race->m_frame = frame;
    race->updateSounds();
  };
  frameAt(0.3, 0);
  EXPECT_EQ(thump->plays, 0);
  frameAt(0.55, 1);
  EXPECT_EQ(thump->plays, 0) << "not a fifth frame";
  frameAt(2.55, 5);
  EXPECT_EQ(thump->plays, 1) << "the motion repeats";
  EXPECT_FALSE(thump->loop);
  EXPECT_FLOAT_EQ(thump->volume, 0.4f);
  frameAt(2.57, 10);
  EXPECT_EQ(thump->plays, 1) << "still sounding: one thump";
  thump->stop();
  place(0, {0.0f, 0.0f, -20.0f});  // 50 off
  frameAt(3.55, 15);
  EXPECT_EQ(thump->plays, 1);
}

}  // namespace
