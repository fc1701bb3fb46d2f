#include "game/kart/kart_drive.h"

#include <gtest/gtest.h>

#include <cmath>

#include "game/kart/kart_tuning.h"
#include "game/kart/vehicle.h"

namespace {

// A kart on flat ground at height 0: every pass all four wheel rays hit
// at 0, as the ray surface reports them, and the chassis stands where the
// previous step put it.
struct FlatGround : ::testing::Test {
  void step(const KartCommands& commands, bool ground = true) {
    if (ground)
      for (int i = 0; i < KartSensors::kWheelRays; ++i) sensors.rayHeight[i] = 0.0f;
    kart.chooseSpeed(commands, tuning, true, false, false, false);
    kart.steer(commands, tuning, true);
    events = kart.move(kart.m_target, 0.75f, tuning, sensors);
    KartDrive::clearStepContacts(sensors);
  }
  void settle() {
    step({});
    ASSERT_EQ(kart.m_airborne, 0);
  }
  void wall(const Normal3& normal) {
    sensors.wallTouched = true;
    sensors.wallNormal = normal;
    sensors.wallPos = kart.m_target;
  }

  KartTuning tuning;
  KartSensors sensors;
  KartDrive kart;
  KartDriveEvents events;
  const KartCommands none{}, throttle{false, false, true, false}, brake{false, false, false, true};
};

TEST_F(FlatGround, BrakingFromStandstillReversesThenTheThrottleBrakesToZeroAndDrivesOn) {
  settle();
  for (int i = 1; i <= 10; ++i) {
    step(brake);
    EXPECT_EQ(kart.m_reverse, 1);
    EXPECT_NEAR(kart.m_velocity, 0.000368f * i, 1e-7);
  }
  EXPECT_LT(kart.m_target.z, 0.0f);  // it went backwards
  const float reversing = kart.m_velocity;
  step(throttle);
  EXPECT_NEAR(kart.m_velocity, reversing - 0.001216f, 1e-7);
  EXPECT_EQ(kart.m_reverse, 1);
  for (int i = 0; i < 3; ++i) step(throttle);
  EXPECT_EQ(kart.m_velocity, 0.0f);  // 0.00368 - 4 x 0.001216 < 0: held at 0
  step(throttle);
  EXPECT_EQ(kart.m_reverse, 0);
  EXPECT_NEAR(kart.m_velocity, 0.000368f, 1e-7);
}

TEST_F(FlatGround, FullThrottleReachesTheLimitAtStep789) {
  settle();
  int steps = 0;
  while (kart.m_velocity < tuning.maxSpeed && steps < 2000) {
    step(throttle);
    ++steps;
  }
  EXPECT_EQ(steps, 789);
  EXPECT_EQ(kart.m_velocity, 0.29f);
  EXPECT_EQ(kart.m_airborne, 0);
  EXPECT_FLOAT_EQ(kart.m_target.y, 0.0f);
}

TEST_F(FlatGround, ASlowKartTurnsByItsSpeedInRadians) {
  settle();
  kart.m_velocity = 0.005f;
  kart.m_speedLimit = 0.005f;
  step({false, true, true, false});  // right
  EXPECT_NEAR(std::atan2(kart.m_heading.x, kart.m_heading.z), 0.005, 1e-6);
  kart.m_velocity = kart.m_speedLimit = 0.29f;
  const float before = std::atan2(kart.m_heading.x, kart.m_heading.z);
  step({true, false, true, false});  // left, at speed: the full 1.16 degrees
  EXPECT_NEAR(before - std::atan2(kart.m_heading.x, kart.m_heading.z), 1.16 * M_PI / 180, 1e-5);
}

TEST_F(FlatGround, HeadOnWallHitLeavesASlowReverse) {
  for (float speed : {0.29f, 0.05f}) {
    kart = KartDrive();
    settle();
    kart.m_velocity = kart.m_speedLimit = speed;  // held there by the throttle
    kart.m_motion[0] = kart.m_motion[1] = kart.m_motion[2] = 0.0f;
    wall({0.0f, 0.0f, -1.0f});  // facing the kart
    step(throttle);
    EXPECT_FLOAT_EQ(kart.m_velocity, speed == 0.29f ? 0.02f : 0.015f);
    EXPECT_EQ(kart.m_reverse, 1);
    EXPECT_EQ(kart.m_bounced, 1);
    EXPECT_TRUE(events.crash);
    EXPECT_TRUE(events.wallCrashSound);
    EXPECT_FALSE(sensors.wallTouched);  // consumed
  }
}

// A wall across the road at z = 2, facing the kart, which the collider
// reports on every pass while the kart's box (0.4 from its centre to its
// nose) reaches into it. Whatever the speed of the square hit, the brake
// then backs the kart away from it at the reverse speed its tuning gives:
// the wall costs it speed once, not on every pass it still touches.
TEST_F(FlatGround, AKartThatHitAWallSquareOnBacksAwayFromItUnderTheBrake) {
  constexpr float kWallZ = 2.0f, kNose = 0.4f;
  auto reportTheWallWhileTouching = [&] {
    if (kart.m_target.z + kNose < kWallZ) return;
    wall({0.0f, 0.0f, -1.0f});
    sensors.wallPos = {kart.m_target.x, 0.2f, kWallZ};
  };
  for (float speed : {0.29f, 0.05f, 0.008f}) {
    SCOPED_TRACE(speed);
    kart = KartDrive();
    settle();
    // Driving at `speed`, its motion built up as the throttle leaves it.
    kart.m_velocity = speed;
    kart.m_motion[0] = kart.m_motion[1] = 0.0f;
    kart.m_motion[2] = speed * speed * kart.m_inertia;
    for (int steps = 0; steps < 2000 && !kart.m_bounced; ++steps) {
      reportTheWallWhileTouching();
      step(kart.m_velocity >= speed ? none : throttle);
    }
    ASSERT_EQ(kart.m_bounced, 1) << "never met the wall";
    ASSERT_EQ(kart.m_reverse, 1);
    const float hitAt = kart.m_target.z;
    const float bounce = kart.m_velocity;
    for (int i = 0; i < 500; ++i) {
      reportTheWallWhileTouching();
      step(brake);
    }
    EXPECT_LT(kart.m_target.z, hitAt - 1.0f) << "backed away from the wall";
    EXPECT_NEAR(kart.m_velocity, bounce + 500 * tuning.acceleration, 1e-4f) << "at the tuning's reverse speed";
    EXPECT_EQ(kart.m_reverse, 1);
  }
}

// A kart running along a wall at x = 1, edging away from it, while a kart
// deep in it on the other side shoves it toward the wall every step, far
// enough to carry its centre past the face: the wall puts it back on its
// side in the next step, every time.
TEST_F(FlatGround, AKartLeavingAWallIsStillHeldOnItsSideWhenAnotherShovesIt) {
  constexpr float kWallX = 1.0f, kHalfWidth = 0.27f;
  settle();
  kart.m_heading = {-0.01f, 0.0f, 0.99995f};
  kart.m_motion[0] = kart.m_motion[1] = kart.m_motion[2] = 0.0f;
  kart.m_velocity = 0.2f;
  for (int i = 0; i < 50; ++i) {
    if (kart.m_target.x + kHalfWidth >= kWallX) {
      wall({-1.0f, 0.0f, 0.0f});
      sensors.wallPos = {kWallX, 0.2f, kart.m_target.z};
    }
    step(throttle);
    ASSERT_LT(kart.m_target.x, kWallX) << "step " << i;
    sensors.kartDepth = 0.27f;
    sensors.kartNormal = {0.0f, 1.0f, 0.0f};
    const Position3 other{kart.m_target.x - 0.3f, 0.0f, kart.m_target.z};
    kart.pushByKart(sensors, other, kart.m_velocity, false, events);
  }
}

TEST_F(FlatGround, A45DegreeGlanceHalvesTheSpeedAndRunsAlongTheWall) {
  settle();
  kart.m_velocity = kart.m_speedLimit = 0.2f;
  kart.m_motion[0] = kart.m_motion[1] = kart.m_motion[2] = 0.0f;
  const float r = std::sqrt(0.5f);
  wall({r, 0.0f, -r});  // the kart heads +z into a wall turned 45 degrees
  step(throttle);
  EXPECT_NEAR(kart.m_velocity, 0.1f, 1e-6);
  EXPECT_NEAR(kart.m_heading.x, r, 1e-6);
  EXPECT_NEAR(kart.m_heading.z, r, 1e-6);
  EXPECT_EQ(kart.m_reverse, 0);
  EXPECT_FALSE(events.crash);
}

// The collider answers with the far face's normal once the kart's centre
// has crossed a wall's face (here the plane z = 1, the road below it): the
// wall still holds the kart on the road's side, never speeds it up and
// never lifts it to where the contact lay.
TEST_F(FlatGround, AWallReportedFromItsFarFaceHoldsTheKartOnTheRoadsSide) {
  const float c = std::cos(0.5236f), s = std::sin(0.5236f);
  struct Approach {
    const char* name;
    Normal3 heading;
  };
  for (const Approach& a : {Approach{"glancing at 60 degrees", {s, 0.0f, c}}, Approach{"head-on", {0.0f, 0.0f, 1.0f}},
                            Approach{"already turning away", {c, 0.0f, s}}}) {
    SCOPED_TRACE(a.name);
    kart = KartDrive();
    settle();
    kart.m_heading = a.heading;
    kart.m_motion[0] = kart.m_motion[1] = kart.m_motion[2] = 0.0f;
    kart.m_velocity = kart.m_speedLimit = 0.35f;
    kart.m_pos = {0.0f, 0.0f, 0.7f};     // where the step that hit the wall began
    kart.m_target = {0.1f, 0.0f, 1.1f};  // its centre 0.1 past the face
    sensors.wallTouched = true;
    sensors.wallPos = {0.1f, 0.35f, 1.0f};    // on the face, half way up the kart
    sensors.wallNormal = {0.0f, 0.0f, 1.0f};  // pointing away from the road
    step(throttle);
    EXPECT_LE(kart.m_velocity, 0.35f);
    EXPECT_LT(kart.m_target.z, 1.0f - 0.27f) << "the kart's side clear of the face";
    EXPECT_FLOAT_EQ(kart.m_target.y, 0.0f) << "on the ground it drove on";
    EXPECT_EQ(kart.m_airborne, 0);
  }
}

// Correctly reported, a wall the kart is leaving at a glance costs it
// nothing and gives it nothing.
TEST_F(FlatGround, AWallTheKartIsLeavingNeverRaisesItsSpeed) {
  settle();
  kart.m_heading = {std::sqrt(0.5f), 0.0f, -std::sqrt(0.5f)};
  kart.m_motion[0] = kart.m_motion[1] = kart.m_motion[2] = 0.0f;
  kart.m_velocity = kart.m_speedLimit = 0.2f;
  kart.m_pos = kart.m_target = {0.0f, 0.0f, 0.5f};
  wall({0.0f, 0.0f, -1.0f});
  sensors.wallPos = {0.0f, 0.2f, 1.0f};
  step(throttle);
  EXPECT_FLOAT_EQ(kart.m_velocity, 0.2f);
}

// However the remembered motion stands against the heading, one step moves
// a kart no further than its speed: from a standstill (the motion a respawn
// leaves, one unit along the heading), through the speed where a reversing
// kart's motion cancels its heading, and backing off a wall it hit at full
// speed.
TEST_F(FlatGround, ReversingNeverMovesAKartFurtherThanItsSpeed) {
  auto brakeAndWatch = [&](int steps) {
    for (int i = 0; i < steps; ++i) {
      const Position3 from = kart.m_target;
      step(brake);
      const float moved = std::hypot(kart.m_target.x - from.x, kart.m_target.z - from.z);
      ASSERT_LE(moved, kart.m_velocity + 1e-5f) << "step " << i << " at speed " << kart.m_velocity;
    }
  };
  settle();
  kart.m_motion[0] = kart.m_heading.x;
  kart.m_motion[1] = kart.m_heading.y;
  kart.m_motion[2] = kart.m_heading.z;
  brakeAndWatch(200);
  EXPECT_EQ(kart.m_reverse, 1);

  kart = KartDrive();
  settle();
  for (int i = 0; i < 900; ++i) step(throttle);  // full speed, its motion built up
  wall({0.0f, 0.0f, -1.0f});
  sensors.wallPos = {kart.m_target.x, 0.2f, kart.m_target.z + 0.4f};
  step(throttle);
  ASSERT_EQ(kart.m_reverse, 1);
  brakeAndWatch(200);
}

TEST_F(FlatGround, WithoutGroundTheKartFallsByGravity) {
  kart.m_verticalSpeed = 0.2f;
  step(none, false);
  EXPECT_FLOAT_EQ(kart.m_verticalSpeed, 0.05f);  // never above 0.05
  for (int i = 1; i <= 5; ++i) {
    step(none, false);
    EXPECT_NEAR(kart.m_verticalSpeed, 0.05f - 0.0016f * i, 1e-6);
    EXPECT_EQ(kart.m_airborne, 1);
  }
}

TEST_F(FlatGround, KartsPushedByTheirNormalsPartAndShareSpeed) {
  settle();
  const Position3 beside{1.0f, 0.0f, 0.0f};
  kart.m_velocity = 0.1f;
  sensors.kartDepth = 0.1f;
  sensors.kartNormal = {-1.0f, 0.0f, 0.0f};
  const float x = kart.m_target.x;
  EXPECT_FALSE(kart.pushByKart(sensors, beside, 0.3f, false, events));
  EXPECT_NEAR(kart.m_target.x, x - 0.18f, 1e-6);
  EXPECT_FLOAT_EQ(kart.m_velocity, 0.2f);
  EXPECT_TRUE(events.bumpSound);
  EXPECT_EQ(sensors.kartDepth, 0.0f);
  sensors.kartDepth = 0.1f;
  EXPECT_TRUE(kart.pushByKart(sensors, beside, 0.3f, true, events));  // shrunk: run over, not pushed
}

// Deep in each other, the collider parts two karts' boxes across their
// tops. Each still moves away from the other, along the line between them,
// and they come apart instead of crawling on side by side.
TEST_F(FlatGround, KartsDeepInEachOtherPartAlongTheLineBetweenThem) {
  settle();
  for (const Normal3& normal : {Normal3{0.0f, 1.0f, 0.0f}, Normal3{0.05f, -0.998f, 0.0f}}) {
    const Position3 at = kart.m_target;
    const Position3 other{at.x - 0.3f, at.y, at.z + 0.4f};  // 0.5 away, ahead on its left
    sensors.kartDepth = 0.2f;
    sensors.kartNormal = normal;
    kart.pushByKart(sensors, other, 0.0f, false, events);
    EXPECT_NEAR(kart.m_target.x, at.x + 0.28f * 0.6f, 1e-5);
    EXPECT_NEAR(kart.m_target.z, at.z - 0.28f * 0.8f, 1e-5);
  }
}

}  // namespace
