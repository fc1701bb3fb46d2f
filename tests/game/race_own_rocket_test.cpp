// A rocket that comes back to the kart that fired it (a leader's rocket
// picks the leader, that is itself): the kart is hit as any other, and the
// rocket goes off where it met the kart, its launch over, so that its
// flight falls silent and nothing of it is left in the air.
#include <gtest/gtest.h>

#include "tests/game/race_frame_fixture.h"

namespace {

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
