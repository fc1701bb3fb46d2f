#include <gtest/gtest.h>

#include "tests/game/kart/kart_weapons_scene.h"

namespace {

class KartProjectilesTest : public KartWeaponsTest {
 protected:
  // What using a rocket leaves for the flight.
  void useRocket() {
    kart->m_projectiles.rocketLaunch = 0.0f;
    kart->m_net.m_extraRocket.set(1.0f);
  }
  // Forty rocket path points 5 apart along +z from the grid.
  void straightPath() {
    for (int i = 0; i < 40; ++i) kart->m_rocketPath.push_back({0.0f, 1.2f, 5.0f * static_cast<float>(i)});
  }
  Position3 rocket() const { return kart->m_net.m_rocketPos.get(); }
};

TEST_F(KartProjectilesTest, BubblesLeaveHalfASecondApartSlowDownAndAreGoneAfterTenSeconds) {
  settle();
  for (auto& timer : kart->m_net.m_extraSoap) timer.set(0.005f);
  int left[3] = {0, 0, 0};  // the step each bubble left in
  float firstMoves[2] = {};
  for (int n = 1; n <= 1000; ++n) {
    const float z = kart->m_net.m_extraSoapPos[0].get().z;
    step();
    for (std::size_t j = 0; j < 3; ++j)
      if (!left[j] && kart->m_net.m_extraSoapPos[j].get().y != -100.0f) left[j] = n;
    if (n <= 2) firstMoves[n - 1] = kart->m_net.m_extraSoapPos[0].get().z - z;
    if (n == 999) {
      EXPECT_NE(kart->m_net.m_extraSoap[2].get(), 0.0f);
    }
  }
  EXPECT_EQ(left[0], 1);
  EXPECT_EQ(left[1], 50);                                   // 0.505 s after the use
  EXPECT_EQ(left[2], 100);                                  // 1.005 s
  EXPECT_NEAR(firstMoves[0], 0.5625f * 2.2f + 0.4f, 1e-4);  // from the launch point at speed 40
  EXPECT_NEAR(firstMoves[1], 0.397f, 1e-5);                 // 0.3 slower
  for (std::size_t j = 0; j < 3; ++j) EXPECT_EQ(kart->m_net.m_extraSoapPos[j].get().y, -100.0f) << j;
  EXPECT_EQ(kart->m_net.m_extraSoap[0].get(), 0.0f);
}

TEST_F(KartProjectilesTest, TheRocketLeavesForTheEighthPathPointAndLocksOnTheLeaderSixteenPointsLater) {
  settle();
  straightPath();
  Vehicle& leader = addOther({3.0f, 0.0f, 400.0f}, 0, 7);
  sector = 10;  // the leader 3 sectors behind the rocket: within reach
  useRocket();
  step();
  EXPECT_EQ(kart->m_net.m_rocketFired.get(), 1);
  EXPECT_EQ(kart->m_projectiles.rocketPathIndex, 8);
  const Position3& at = kart->m_drive.m_pos;  // off a kart at scale 0.75 facing +z
  EXPECT_NEAR(rocket().x - at.x, -0.298125f, 1e-5);
  EXPECT_NEAR(rocket().y - at.y, 0.39375f, 1e-5);
  EXPECT_NEAR(rocket().z - at.z, 1.2375f, 1e-5);
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundRocketLaunch);

  int passed = 0, index = 8;
  while (kart->m_net.m_targetLocked.get() == -1 && passed < 20) {
    step();
    if (kart->m_projectiles.rocketPathIndex != index) ++passed;
    index = kart->m_projectiles.rocketPathIndex;
  }
  EXPECT_EQ(kart->m_projectiles.rocketTarget, 1);
  EXPECT_EQ(passed, 16);
  EXPECT_EQ(kart->m_net.m_targetLocked.get(), 1);
  // Locked: straight at the leader, wherever it goes; on top of it the
  // course stays as it was, not zero or NaN.
  leader.getMaster()->m_drive.m_target = {rocket().x - 30.0f, rocket().y, rocket().z};
  step();
  EXPECT_FLOAT_EQ(kart->m_projectiles.rocketDirection.x, -1.0f);
  EXPECT_FLOAT_EQ(kart->m_net.m_rocketAngle.get(), static_cast<float>(-M_PI / 2));
  leader.getMaster()->m_drive.m_target = rocket();
  step();
  EXPECT_FLOAT_EQ(kart->m_projectiles.rocketDirection.x, -1.0f);
}

TEST_F(KartProjectilesTest, WithoutTheLeaderInReachTheRocketKeepsToThePathAndSectorsWrap) {
  settle();
  straightPath();
  addOther({0.0f, 0.0f, 300.0f}, 0, 20);
  sector = 3;  // the leader 17 sectors ahead
  useRocket();
  for (int n = 0; n < 200; ++n) step();
  EXPECT_EQ(kart->m_projectiles.rocketTarget, -1);
  EXPECT_EQ(kart->m_projectiles.rocketPathIndex, 17);  // a point every 5 of its 80 units
  EXPECT_NEAR(rocket().x, 0.0f, 0.02f);
  other->m_sectorHistory[0] = 255;  // 4 behind sector 3 in 8 bits
  step();
  EXPECT_EQ(kart->m_projectiles.rocketTarget, 1);
}

TEST_F(KartProjectilesTest, WithoutARocketPathTheRocketFliesStraightOnAndNeverLocks) {
  settle();
  addOther({0.0f, 0.0f, 50.0f}, 0, 1);  // the leader, in reach
  useRocket();
  step();
  const Position3 start = rocket();
  for (int n = 0; n < 300; ++n) step();
  EXPECT_EQ(kart->m_net.m_targetLocked.get(), -1);
  EXPECT_NEAR(rocket().z - start.z, 120.0f, 1e-2);  // 0.4 a step along the heading
  EXPECT_NEAR(rocket().x, start.x, 1e-5);
  // Its collision item goes along for walls to stop it; the one shown is
  // twice its size.
  EXPECT_NEAR(dGeomGetPosition(static_cast<PhysicsObject*>(kart->m_items.rockets[1])->geom)[2], rocket().z, 1e-4);
  EXPECT_EQ(kart->m_items.rockets[0]->scale[0].value, 2.0f);
}

TEST_F(KartProjectilesTest, TheLaunchTimerRunsThroughTheFlightAndStopsWhenTheRocketEnds) {
  settle();
  straightPath();
  useRocket();
  MixerMotion* launcher = kart->m_motions.bodyMotion(KartMotions::kBodyRocketLauncher);
  launcher->setIntensity(1.0f);
  for (int n = 0; n < 151; ++n) step();
  EXPECT_NEAR(kart->m_projectiles.rocketLaunch, 1.51f, 1e-3);  // past the abort window: heard in flight
  EXPECT_EQ(intensity(launcher), 1.0f);
  // Cleared by a hit on another kart: nothing flies or sounds any more.
  kart->m_net.m_rocketFired.set(0);
  kart->m_net.m_extraRocket.set(0.0f);
  step();
  EXPECT_EQ(kart->m_projectiles.rocketLaunch, -1.0f);
  EXPECT_EQ(rocket().y, -100.0f);
  EXPECT_EQ(translationOf(kart->m_items.rockets[1]).y, -100.0f);
  EXPECT_EQ(intensity(launcher), 0.0f);
}

TEST_F(KartProjectilesTest, AFrosterFiredReversingFliesForwardFromItsReleaseAndItsBeamFollows) {
  settle();
  kart->m_drive.m_reverse = 1;
  kart->m_drive.m_velocity = 0.05f;
  kart->m_net.m_extraFroster.set(0.005f);
  int released = 0;
  for (int n = 1; n <= 40 && !released; ++n) {
    step();
    if (kart->m_net.m_extraFrosterPos.get().y != -100.0f) released = n;
  }
  EXPECT_EQ(released, 37);  // 0.375 s: the first step from 0.3667 s
  const float z = kart->m_net.m_extraFrosterPos.get().z;
  step();
  step();  // 0.395 s: not heard yet
  EXPECT_EQ(kart->m_net.m_soundStart.get(), 0);
  step();
  EXPECT_NEAR(kart->m_net.m_extraFrosterPos.get().z - z, 1.2f, 1e-5);  // forward, while the kart backs
  EXPECT_EQ(kart->m_drive.m_reverse, 1);
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundFrosterShot);
  EXPECT_FLOAT_EQ(translationOf(kart->m_items.lasers[1]).z, kart->m_net.m_extraFrosterPos.get().z);

  // A shrinker shot uphill: its beam points the way it flies.
  kart->m_projectiles.forwardAxis = {0.0f, 0.45f, 0.6f};  // scaled, 0.6 up
  kart->m_net.m_extraShrinker.set(0.4f);
  kart->flyShots(time, 0.01);
  kart->placeProjectiles(time);
  EXPECT_NEAR(kart->m_net.m_extraShrinkerAngle2.get(), std::asin(0.6f), 1e-6);
  Matrix4x3 m;
  kart->m_items.lasers[0]->worldMatrix(m, 0.0, true);
  EXPECT_NEAR(m.m[9], 0.6f, 1e-5);
  EXPECT_NEAR(m.m[10], 0.8f, 1e-5);
}

TEST_F(KartProjectilesTest, DroppedItemsLandBehindTheKartWhenTheThrowLetsGo) {
  settle();
  kart->m_projectiles.magnetDrop = kart->m_projectiles.mineDrop = 0.005f;
  for (int n = 0; n < 36; ++n) step();
  EXPECT_EQ(kart->m_net.m_effectMagnetPos.get().y, -100.0f);
  step();
  const Position3& at = kart->m_drive.m_pos;
  EXPECT_NEAR(kart->m_net.m_effectMagnetPos.get().z, at.z - 0.55f, 1e-5);
  EXPECT_NEAR(kart->m_net.m_effectMagnetPos.get().y, at.y + 0.05f, 1e-5);
  EXPECT_NEAR(kart->m_net.m_extraMinePos.get().z, at.z - 0.5f, 1e-5);
  EXPECT_NEAR(translationOf(kart->m_items.mine).y, at.y + 0.3f, 1e-5);
  EXPECT_EQ(kart->m_projectiles.magnetDrop, -1.0f);
}

}  // namespace
