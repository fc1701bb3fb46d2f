#include <gtest/gtest.h>

#include "foundation/random.h"
#include "game/kart/controller_ai.h"
#include "tests/game/kart/kart_weapons_scene.h"

namespace {

class KartRespawnTest : public KartWeaponsTest {
 protected:
  Position3 respawnFrom(const Position3& at) {
    putKart(at);
    kart->respawn();
    Position3 now;
    kart->getPosition(now);
    return now;
  }
};

TEST_F(KartRespawnTest, ThreePointsBackFacingTheNextSkippingTakenOnesAndEndingWhenAllAre) {
  // Records 2 apart along +x at height 1.0, read 0.3 up.
  for (int i = 0; i < 40; ++i) kart->m_respawnPoints.push_back({2.0f * static_cast<float>(i), 1.3f, 0.0f});
  const Position3 at = respawnFrom({2.1f, 0.0f, 0.5f});  // nearest to point 1
  EXPECT_FLOAT_EQ(at.x, 76.0f);                          // point 38
  EXPECT_FLOAT_EQ(at.y, 1.5f);                           // the record's y + 0.5
  EXPECT_FLOAT_EQ(kart->m_drive.m_heading.x, 1.0f);      // toward point 39
  EXPECT_FLOAT_EQ(kart->m_drive.m_netAngle, static_cast<float>(M_PI / 2));
  EXPECT_FLOAT_EQ(kart->m_net.m_matrix.get().m[8], 0.75f);  // drawn facing it too
  addOther({77.0f, 1.3f, 0.0f});                            // within 1.2 of point 38
  EXPECT_FLOAT_EQ(respawnFrom({2.1f, 0.0f, 0.5f}).x, 70.0f);

  kart->m_respawnPoints = {{0.0f, 0.3f, 0.0f}, {0.2f, 0.3f, 0.0f}, {0.4f, 0.3f, 0.0f}, {0.6f, 0.3f, 0.0f}};
  addOther({0.3f, 0.3f, 0.0f});                              // within 1.2 of all four
  EXPECT_FLOAT_EQ(respawnFrom({0.0f, 0.0f, 0.0f}).x, 0.2f);  // the first tried, (0 - 3) mod 4
}

TEST_F(KartRespawnTest, FewPointsWrapByTrueModuloEqualPointsKeepTheHeadingAndNoneGoToTheGrid) {
  kart->m_respawnPoints = {{0.0f, 0.3f, 0.0f}, {5.0f, 0.3f, 0.0f}};
  EXPECT_FLOAT_EQ(respawnFrom({0.0f, 0.0f, 0.0f}).x, 5.0f);  // (0 - 3) mod 2 = 1, not -1
  EXPECT_FLOAT_EQ(kart->m_drive.m_heading.x, -1.0f);         // the loop goes on to point 0

  kart->m_respawnPoints = {{4.0f, 0.3f, 4.0f}, {4.0f, 0.3f, 4.0f}};
  respawnFrom({0.0f, 0.0f, 0.0f});
  EXPECT_EQ(kart->m_drive.m_heading.x, -1.0f);
  EXPECT_EQ(kart->m_drive.m_heading.z, 0.0f);

  kart->m_respawnPoints.clear();
  const Position3 at = respawnFrom({30.0f, 0.0f, 30.0f});
  EXPECT_FLOAT_EQ(at.x, 0.0f);  // the "start" item, facing +z
  EXPECT_FLOAT_EQ(at.y, 0.5f);
  EXPECT_FLOAT_EQ(kart->m_drive.m_heading.z, 1.0f);
  step();  // and the step goes on from there
  EXPECT_NEAR(kart->m_drive.m_pos.x, 0.0f, 1e-6);
}

TEST_F(KartRespawnTest, TheKartComesBackStoppedWithoutItsExtraShieldOrRocket) {
  settle();
  kart->m_net.m_extra.set(7);
  kart->m_status.shield = 5.0f;
  kart->m_net.m_extraRocket.set(1.0f);
  kart->m_projectiles.rocketLaunch = 0.5f;
  kart->m_drive.m_velocity = 0.2f;
  kart->m_animation = {KartAnimation::kEventMotion, 1, -1, 2, -1, 0.5f, 1.0f};
  kart->m_motions.driverMotion(KartMotions::kFall)->setIntensity(1.0f);
  kart->respawn();
  EXPECT_EQ(kart->m_net.m_extra.get(), 0);
  EXPECT_EQ(kart->m_status.shield, 0.0f);
  EXPECT_EQ(kart->m_net.m_soundStop.get(), kSoundShield);
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundRespawn);
  EXPECT_EQ(kart->m_net.m_extraRocket.get(), 0.0f);
  EXPECT_EQ(kart->m_projectiles.rocketLaunch, -1.0f);
  EXPECT_EQ(kart->getSpeed(), 0.0f);
  EXPECT_EQ(kart->m_animation.state, KartAnimation::kNewDrivingMotion);
  EXPECT_EQ(kart->m_animation.driverMotion, kart->m_motions.m_driverIndex[KartMotions::kDrive]);
  EXPECT_EQ(kart->m_animation.hold, 0.0f);
  EXPECT_EQ(intensity(kart->m_motions.driverMotion(KartMotions::kFall)), 0.0f);
}

TEST_F(KartRespawnTest, AComputerDriverDrawsItsLineAndGoesFivePointsBackAlongIt) {
  auto lines = std::make_shared<TrackPoints>();
  for (int line = 0; line < ControllerAI::kLines; ++line)
    for (int i = 0; i < 12; ++i) lines->lines[line].push_back({2.0f * static_cast<float>(i), 0.0f, 10.0f * line});
  auto driver = std::make_unique<ControllerAI>(lines, config, 1);
  ControllerAI* ai = driver.get();
  kart = build(std::move(driver));
  engineSrand(1);
  const int line = engineRand() % 7;
  engineSrand(1);
  const Position3 at = respawnFrom({14.0f, 0.0f, 10.0f * line});  // at point 7 of that line
  EXPECT_EQ(ai->lineIndex(), line);
  EXPECT_EQ(ai->getPointIndex(), 2);
  EXPECT_FLOAT_EQ(at.x, 4.0f);
  EXPECT_FLOAT_EQ(at.y, 0.2f);
  EXPECT_FLOAT_EQ(at.z, 10.0f * line);
}

TEST_F(KartRespawnTest, TheNearestRocketPathPointIsTheFirstOfEqualOnesAndNoneWithoutAPath) {
  EXPECT_EQ(kart->nearestRocketPathPoint(), -1);
  kart->m_rocketPath = {{9.0f, 0.0f, 0.0f}, {3.0f, 0.5f, 0.0f}, {3.0f, 0.5f, 0.0f}};
  EXPECT_EQ(kart->nearestRocketPathPoint(), 1);
}

}  // namespace
