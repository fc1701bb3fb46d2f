// The race's extras in two rarer meetings: one box that two karts take in
// the same step, and a rocket that comes back to the kart that fired it.
#include <gtest/gtest.h>

#include "game/kart/kart_extras.h"
#include "scene/physics_object.h"
#include "tests/game/race/race_frame_fixture.h"

namespace {

// Two karts that reach one box in the same collision pass both get an
// extra; the box goes under the track once and comes back to where it
// stood, not a second 100 below it for good.
TEST_F(RaceFrameTest, ABoxTwoKartsTakeInOneStepComesBackWhereItStood) {
  loadRunning();
  activateAll();
  auto* box = dynamic_cast<PhysicsObject*>(race->m_boxes.at(0));
  ASSERT_NE(box, nullptr);
  auto heightOf = [&] {
    Matrix4x3 m;
    box->worldMatrix(m, 0.0, true);
    return m.m[13];
  };
  const float stood = heightOf();
  kart(0).giveRandomExtra(box);
  kart(1).giveRandomExtra(box);
  EXPECT_NE(kart(0).m_net.m_extra.get(), kExtraNone);
  EXPECT_NE(kart(1).m_net.m_extra.get(), kExtraNone);
  kart(0).step(race->m_simTime, 0.01);
  kart(1).step(race->m_simTime, 0.01);
  EXPECT_FLOAT_EQ(heightOf(), stood - 100.0f);
  EXPECT_EQ(box->reappearTime, 10.0f);
  race->runBoxTimers(999);
  EXPECT_FLOAT_EQ(heightOf(), stood - 100.0f) << "still waiting";
  race->runBoxTimers(2);
  EXPECT_NEAR(heightOf(), stood, 1e-4);
  EXPECT_EQ(box->reappearTime, 0.0f);
}

// A leader's rocket picks the leader, that is itself: back at its own kart
// it hits it as any other, and goes off where it met it, its launch over,
// so that its flight falls silent and nothing of it is left in the air.
TEST_F(RaceFrameTest, ARocketBackAtItsOwnKartHitsItAndGoesOffThere) {
  loadRunning();
  activateAll();
  VehicleMaster& self = kart(0);  // view 0's kart: its rocket's flight is heard
  const Position3 at = positionOf(0);
  const Position3 rocketAt{at.x + 1.0f, at.y + 1.2f, at.z};
  self.m_projectiles.rocketLaunch = 2.5f;
  self.m_net.m_extraRocket.set(1.0f);
  self.m_net.m_rocketFired.set(1);
  self.m_net.m_targetLocked.set(0);
  self.m_net.m_rocketPos.set(rocketAt);
  self.m_net.m_explosionType.set(2);  // left from a shrinker
  RecordingSoundBuffer* flight = kartSound(0, kSoundRocketFlight);
  race->updateRocketFlightSounds();
  ASSERT_TRUE(flight->isPlaying());

  race->testHits();
  EXPECT_EQ(self.m_status.rocketHit, 1.0f);
  EXPECT_EQ(self.m_net.m_rocketIndex.get(), 0);
  EXPECT_EQ(self.m_projectiles.rocketLaunch, -1.0f);
  EXPECT_EQ(self.m_net.m_explosionType.get(), 0) << "a rocket's burst";
  EXPECT_EQ(self.m_net.m_explosion.get().x, rocketAt.x);
  EXPECT_EQ(self.m_net.m_explosion.get().y, rocketAt.y);
  EXPECT_EQ(self.m_net.m_extraRocket.get(), 0.0f);
  EXPECT_EQ(self.m_net.m_rocketFired.get(), 0);
  EXPECT_EQ(self.m_net.m_targetLocked.get(), -1);
  race->updateRocketFlightSounds();
  EXPECT_FALSE(flight->isPlaying());

  // Its next step finds nothing held or fired: the rocket stays down and a
  // new one can be launched.
  self.step(race->m_simTime, 0.01);
  EXPECT_EQ(self.m_net.m_rocketPos.get().y, kParked.y);
  EXPECT_EQ(self.m_projectiles.rocketLaunch, -1.0f);
}

}  // namespace
