#include <gtest/gtest.h>

#include <cmath>

#include "game/kart/kart_extras.h"
#include "tests/game/kart/kart_extras_fixture.h"

namespace {

using namespace kart_test;

TEST_F(KartWithExtras, AWeightLetsTheKartDriveOnThenStopsItThenItRespawns) {
  settle();
  NotingBuffer* impact = giveSound(*kart, kSoundWeight);
  kart->m_status.weightHit = 3.0f;
  kart->m_net.m_effectWeightObjectIndex.set(2);
  kart->m_drive.m_velocity = 0.2f;
  int n = 0;
  while (kart->getSpeed() > 0.0f && n < 400) {
    step();
    ++n;
    if (n == 10) {
      // Hanging 1.5 over the kart at full size, and sent where it hangs.
      EXPECT_NEAR(worldPosition(*weight).y, kart->m_drive.m_target.y + 1.5f, 0.01f);
      EXPECT_EQ(weight->scale[0].value, 1.0f);
      EXPECT_FLOAT_EQ(kart->m_net.m_extraWeightPos.get().y, worldPosition(*weight).y);
    }
  }
  EXPECT_NEAR(n, 180, 1);       // 1.8 s on
  EXPECT_EQ(impact->plays, 1);  // falling from here
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundWeight);
  EXPECT_NEAR(worldPosition(*weight).y, kart->m_drive.m_target.y + 1.5f, 0.1f);
  steps(30);
  n += 30;
  EXPECT_NEAR(worldPosition(*weight).y, kart->m_drive.m_target.y, 1e-4);  // landed on the kart
  EXPECT_EQ(kart->respawns, 0);
  while (kart->respawns == 0 && n < 400) {
    step();
    ++n;
    EXPECT_EQ(kart->getSpeed(), 0.0f);
  }
  EXPECT_NEAR(n, 300, 1);  // stopped for 1.2 s
  EXPECT_EQ(impact->plays, 1);
  EXPECT_EQ(kart->m_net.m_effectWeightObjectIndex.get(), -1);
  EXPECT_EQ(worldPosition(*weight).y, -100.0f);
  EXPECT_EQ(weight->scale[0].value, 0.0f);
  EXPECT_EQ(kart->m_net.m_extraWeightPos.get().y, -100.0f);
  EXPECT_EQ(kart->m_status.weightHit, 0.0f);
}

TEST_F(KartWithExtras, AShrunkComputerKartIsHeldSlowWhileSmallAndGrowsBack) {
  settle();
  held->ai = true;
  held->throttle = true;
  kart->m_status.shrunk = VehicleMaster::kShrinkTime;
  SceneItem* chassis = scene->findItem("Vehicle", -1, 1);
  for (int n = 1; n <= 1010 && kart->m_status.shrunk != 0.0f; ++n) {
    step();
    if (n > 50 && n < 950) {
      ASSERT_NEAR(kart->m_drive.m_speedLimit, 0.0773f, 1e-4) << n;
      ASSERT_NEAR(chassis->scale[1].value, 0.2f, 1e-6) << n;
      ASSERT_NEAR(col->scale[1].value, 0.12f, 1e-6) << n;
    }
    if (n == 25) {
      EXPECT_NEAR(chassis->scale[0].value, 0.475f, 0.01f);  // halfway shrunk
    }
  }
  EXPECT_EQ(kart->m_status.shrunk, 0.0f);
  EXPECT_EQ(chassis->scale[0].value, 0.75f);
  EXPECT_NEAR(col->scale[0].value, 0.45f, 1e-6);
  EXPECT_NEAR(kart->m_drive.m_speedLimit, kart->tuning().maxSpeed, 1e-4);
}

TEST_F(KartWithExtras, AShrunkPlayerOnTheRoadKeepsItsLimitAndARunOverKartGetsItsSizeBack) {
  settle();
  kart->m_status.shrunk = 5.0f;
  step();
  EXPECT_EQ(kart->m_drive.m_speedLimit, kart->tuning().maxSpeed);  // only its size changes
  SceneItem* chassis = scene->findItem("Vehicle", -1, 1);
  EXPECT_EQ(chassis->scale[0].value, 0.2f);
  // Run over: flattened instead of shrunk; back to size once it is back.
  kart->m_sensors.kartDepth = 0.05f;
  kart->m_sensors.kartNormal = {1.0f, 0.0f, 0.0f};
  step();
  EXPECT_NE(kart->m_status.flattened, 0.0f);
  while (kart->respawns == 0 && time < 5.0) step();
  EXPECT_EQ(chassis->scale[0].value, 0.75f);
  EXPECT_NEAR(col->scale[0].value, 0.45f, 1e-6);
}

TEST_F(KartWithExtras, AKartOverAFallZoneFallsHearsItOnceAndRespawnsAboutTwoSecondsLater) {
  settle();
  NotingBuffer* fall = giveSound(*kart, kSoundFall);
  kart->m_projectiles.rocketLaunch = 0.4f;  // a launch under way is spoilt
  kart->m_sensors.rayFall[0] = kart->m_sensors.rayFall[1] = kart->m_sensors.rayFall[2] = 1;
  step();
  EXPECT_EQ(kart->m_status.fall, 0.0f);  // one wheel still on the road
  EXPECT_EQ(kart->m_sensors.rayFall[0], 0);
  for (auto& flag : kart->m_sensors.rayFall) flag = 1;
  step();
  EXPECT_NEAR(kart->m_status.fall, 0.02f, 1e-6);
  EXPECT_EQ(kart->m_projectiles.rocketLaunch, -1.0f);
  EXPECT_EQ(kart->m_animation.state, KartAnimation::kEventMotion);
  EXPECT_EQ(kart->m_animation.driverMotion, driver->findMotionIndex("Fallen"));
  EXPECT_EQ(kart->m_animation.bodyMotion, body->findMotionIndex("fallen_kart"));
  const MixerMotion& fallen = *driver->motions[static_cast<std::size_t>(driver->findMotionIndex("Fallen"))];
  EXPECT_FLOAT_EQ(fallen.groups[0]->speed(fallen.envelopeIndex[0]), 0.4f);
  EXPECT_EQ(worldPosition(*shadow).y, -100.0f);
  EXPECT_EQ(kart->m_net.m_speed.get(), 0.0f);
  int n = 1, heardAt = 0;
  while (kart->respawns == 0 && n < 400) {
    step();
    ++n;
    if (fall->plays == 1 && !heardAt) heardAt = n;
  }
  EXPECT_NEAR(n, 201, 2);
  EXPECT_GE(heardAt, 49);
  EXPECT_LE(heardAt, 52);
  EXPECT_EQ(fall->plays, 1);
  EXPECT_EQ(kart->m_status.fall, 0.0f);
}

TEST_F(KartWithExtras, CrushedAndFlattenedKartsLeaveTheirCollisionBoxAwayAndReturnAfterTwoSeconds) {
  settle();
  NotingBuffer* squash = giveSound(*kart, kSoundStamped);
  kart->onCrushed();
  EXPECT_FLOAT_EQ(kart->m_status.crushed, 0.01f);
  EXPECT_EQ(kart->m_animation.driverMotion, -1);
  EXPECT_EQ(kart->m_animation.hold, 2.0f);
  EXPECT_EQ(squash->plays, 1);
  kart->m_animation.hold = 1.5f;
  kart->onCrushed();  // already crushed
  EXPECT_EQ(kart->m_animation.hold, 1.5f);
  int n = 0;
  while (kart->respawns == 0 && n < 400) {
    step();
    ++n;
    if (kart->respawns == 0) {
      ASSERT_EQ(worldPosition(*col).y, -100.0f) << n;
    }
  }
  EXPECT_NEAR(n, 200, 2);
  EXPECT_GT(worldPosition(*col).y, -1.0f);  // placed with the kart again

  kart->onStamped();
  EXPECT_EQ(kart->m_animation.driverMotion, driver->findMotionIndex("Stampfer"));
  EXPECT_EQ(kart->m_animation.bodyMotion, body->findMotionIndex("stampfer_kart"));
  step();
  EXPECT_EQ(kart->m_net.m_netColPos.get().y, -100.0f);  // peers see it gone too
  const float flattened = kart->m_status.flattened;
  kart->onStamped();
  EXPECT_EQ(kart->m_status.flattened, flattened);
  while (kart->respawns == 1 && n < 800) {
    step();
    ++n;
  }
  EXPECT_NEAR(n, 400, 3);
}

TEST_F(KartWithExtras, AMagnetPullsATenthOfTheGapAndLetsGoWhenItMovesOrRunsOut) {
  settle();
  TestKart& puller = addKart(1, {20.0f, 0.5f, 0.0f});
  const Position3 magnetAt{kart->m_drive.m_target.x + 3.0f, kart->m_drive.m_target.y, kart->m_drive.m_target.z};
  puller.m_net.m_effectMagnetPos.set(magnetAt);
  auto pulledBy = [&](int j) {
    kart->m_status.magnet = 2.7f;
    kart->m_status.magnetPosition = magnetAt;
    kart->m_net.m_effectMagnetObjectIndex.set(j);
  };
  pulledBy(1);
  float x = kart->m_drive.m_target.x;
  step();
  EXPECT_NEAR(kart->m_drive.m_target.x - x, 0.3f, 1e-5);
  x = kart->m_drive.m_target.x;
  step();
  EXPECT_NEAR(kart->m_drive.m_target.x - x, 0.27f, 1e-5);

  // The magnet was moved half a unit: the pull ends at once.
  puller.m_net.m_effectMagnetPos.set({magnetAt.x + 0.5f, magnetAt.y, magnetAt.z});
  x = kart->m_drive.m_target.x;
  step();
  EXPECT_EQ(kart->m_status.magnet, 0.0f);
  EXPECT_EQ(kart->m_net.m_effectMagnetObjectIndex.get(), -1);
  EXPECT_NEAR(kart->m_drive.m_target.x, x, 1e-6);

  // An index naming no kart of the race ends it too.
  for (int j : {3, 6, 1000, -2}) {
    pulledBy(j);
    step();
    EXPECT_EQ(kart->m_status.magnet, 0.0f) << j;
    EXPECT_EQ(kart->m_net.m_effectMagnetObjectIndex.get(), -1) << j;
  }

  // Run out: the magnet is parked under the track, by its kart's number.
  puller.m_net.m_effectMagnetPos.set(magnetAt);
  pulledBy(1);
  kart->m_status.magnet = 0.015f;
  steps(2);
  EXPECT_EQ(kart->m_net.m_effectMagnetObjectIndex.get(), -1);
  const Position3 parked = puller.m_net.m_effectMagnetPos.get();
  EXPECT_EQ(parked.x, 1.0f);
  EXPECT_EQ(parked.y, -100.0f);
  EXPECT_EQ(parked.z, 0.0f);
  // A parked magnet pulls nobody.
  kart->m_status.magnet = 2.7f;
  kart->m_status.magnetPosition = parked;
  kart->m_net.m_effectMagnetObjectIndex.set(1);
  x = kart->m_drive.m_target.x;
  step();
  EXPECT_NEAR(kart->m_drive.m_target.x, x, 1e-6);
}

TEST_F(KartWithExtras, RocketAndMineHitsStopTheKartForASecondThenRespawnIt) {
  settle();
  TestKart& attacker = addKart(1, {20.0f, 0.5f, 0.0f});
  attacker.m_net.m_extraRocket.set(1.0f);
  kart->m_net.m_explosion.set({1.0f, 2.0f, 3.0f});
  kart->m_status.rocketHit = 1.0f;
  kart->m_net.m_rocketIndex.set(1);
  kart->m_projectiles.rocketLaunch = 0.5f;
  kart->m_drive.m_velocity = 0.2f;
  int n = 0;
  while (kart->respawns == 0 && n < 200) {
    step();
    ++n;
    if (kart->respawns == 0) {
      ASSERT_EQ(kart->getSpeed(), 0.0f);
    }
  }
  EXPECT_NEAR(n, 100, 1);
  EXPECT_EQ(kart->m_projectiles.rocketLaunch, -1.0f);
  EXPECT_EQ(attacker.m_net.m_extraRocket.get(), 0.0f);
  EXPECT_EQ(kart->m_net.m_explosion.get().y, -100.0f);
  EXPECT_EQ(kart->m_net.m_rocketIndex.get(), -1);

  // A received index that names no kart: the hit still ends.
  kart->m_status.rocketHit = 0.05f;
  kart->m_net.m_rocketIndex.set(77);
  steps(6);
  EXPECT_EQ(kart->respawns, 2);
  EXPECT_EQ(kart->m_net.m_rocketIndex.get(), -1);

  kart->m_status.mineHit = 1.0f;
  kart->m_net.m_extraMineIndex.set(1);
  steps(99);
  EXPECT_EQ(kart->respawns, 2);
  steps(2);
  EXPECT_EQ(kart->respawns, 3);
  EXPECT_EQ(kart->m_net.m_extraMineIndex.get(), -1);
}

TEST_F(KartWithExtras, TheFlashDisplayIsResentEveryStepAndDropsTheThrowMotion) {
  use(kExtraFlash);
  EXPECT_EQ(intensity(*body, "abwerfen_kart"), 1.0f);
  steps(36);
  EXPECT_EQ(intensity(*body, "abwerfen_kart"), 1.0f);
  steps(2);
  EXPECT_EQ(intensity(*body, "abwerfen_kart"), 0.0f);  // past the throw's 0.3667 s
  kart->m_net.m_extraFlash.commit();                   // sent
  step();
  EXPECT_TRUE(kart->m_net.m_extraFlash.isDirty());
  steps(70);
  EXPECT_EQ(kart->m_net.m_extraFlash.get(), 0.0f);
  kart->m_net.m_extraFlash.commit();
  step();
  EXPECT_FALSE(kart->m_net.m_extraFlash.isDirty());
}

}  // namespace
