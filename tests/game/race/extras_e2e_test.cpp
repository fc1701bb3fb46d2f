// Extras, hazards and respawns from start to end on sample track 0: a box's
// extra, the hazards that put a kart back, the speed-up pad and the homing
// rocket.
#include <gtest/gtest.h>

#include <cmath>

#include "foundation/random.h"
#include "game/kart/kart_extras.h"
#include "tests/game/race/sample_track_race.h"

namespace {

// Surface kinds of the track's pieces.
constexpr int kResetZone = 7;
constexpr int kFallZone = 8;
constexpr int kCrusher = 14;
constexpr int kSpeedUpPad = 15;
constexpr int kStamper = 16;

float distance(const Position3& a, const Position3& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// A respawn seen from outside: the last place before the jump, the first
// after it, and when.
struct Jump {
  Position3 from, to;
  double at = -1.0;  // simulated time of the frame it showed in; -1 none
};

class SampleTrackExtras : public SampleTrackRace {
 protected:
  // The track's piece of `kind`, null when there is none.
  PhysicsObject* piece(int kind) {
    for (const auto& item : scene().objects) {
      auto* p = dynamic_cast<PhysicsObject*>(item.get());
      if (p && p->geom && p->surfaceKind == kind) return p;
    }
    return nullptr;
  }

  // How many respawn points lie between where a kart was and where it came
  // back, counted backwards along the lap.
  int pointsBehind(const Position3& was, const Position3& now) {
    const int n = static_cast<int>(kart(0).respawnPoints().size());
    return ((nearestRespawnPoint(was) - nearestRespawnPoint(now)) % n + n) % n;
  }
  // Frames of one step until kart 0 jumps by more than a step can carry it
  // (or `seconds` pass); `watch` sees every frame before the jump.
  template <class Watch>
  Jump untilRespawn(double seconds, Watch watch) {
    Jump jump;
    Position3 was = positionOf(0);
    for (int n = 0; n < static_cast<int>(seconds * 100.0); ++n) {
      frame(0.01);
      const Position3 now = positionOf(0);
      if (flatDistance(was, now) > 2.0f) {
        jump = {was, now, race->m_simTime};
        return jump;
      }
      watch();
      was = now;
    }
    return jump;
  }
};

TEST_F(SampleTrackExtras, ABoxGivesTheRolledExtraAndComesBackTenSecondsLater) {
  ASSERT_NO_FATAL_FAILURE(startRace());
  ASSERT_EQ(race->m_boxes.size(), 3u);
  auto* box = dynamic_cast<PhysicsObject*>(race->m_boxes[1]);
  ASSERT_NE(box, nullptr);
  const Position3 boxAt = placeOf(*box);
  putKartBefore(0, boxAt, 6.0f, 0.1f);
  drivers[0]->mode = TestDriver::Mode::Straight;
  ASSERT_EQ(kart(0).m_net.m_rank.get(), 0);

  // The roll is the first draw after the frame's seed: 41, which gives the
  // leaders a froster.
  int frames = 0;
  for (; frames < 300 && box->reappearTime == 0.0f; ++frames) {
    engineSrand(1);
    frame(0.01);
  }
  ASSERT_NE(box->reappearTime, 0.0f) << "kart 0 never reached the box";
  EXPECT_EQ(kart(0).m_net.m_extra.get(), kExtraFroster);
  EXPECT_EQ(kartSound(0, kSoundPickUp)->plays, 1);
  EXPECT_NEAR(placeOf(*box).y, boxAt.y - 100.0f, 1e-3) << "parked under the track";

  // Ten seconds on, by the race frame's own count of steps, it is back.
  const double taken = race->m_simTime;
  drivers[0]->mode = TestDriver::Mode::Road;
  for (int n = 0; n < 200 && placeOf(*box).y < boxAt.y - 1.0f; ++n) frame(0.1);
  EXPECT_NEAR(placeOf(*box).y, boxAt.y, 1e-3);
  EXPECT_NEAR(race->m_simTime - taken, 10.0, 0.1);
}

// Each hazard puts a kart that meets it back on the road three respawn
// points behind where it met it; the fall, the crusher and the stamper two
// seconds after they took it, the reset zone at once.
class SampleTrackHazards : public SampleTrackExtras, public ::testing::WithParamInterface<int> {};

TEST_P(SampleTrackHazards, PutAKartBackThreePointsBehindWhereItMetThem) {
  const int kind = GetParam();
  ASSERT_NO_FATAL_FAILURE(startRace());
  PhysicsObject* hazard = piece(kind);
  ASSERT_NE(hazard, nullptr) << "track 0 has no piece of kind " << kind;
  Position3 at = placeOf(*hazard);
  VehicleMaster& k0 = kart(0);
  if (kind == kStamper) {
    // Under it, waiting for it to come down.
    putKart(0, at, roadDirectionAt(at), 0.0f);
  } else {
    // Driving straight in from 6 m before it.
    putKartBefore(0, at, 6.0f, 0.1f);
    drivers[0]->mode = TestDriver::Mode::Straight;
  }
  k0.setExtra(kExtraRocket);

  // The timer the hazard starts, and when it started.
  double started = -1.0;
  Position3 held;
  bool colAway = true;
  auto timer = [&] {
    switch (kind) {
      case kFallZone:
        return k0.m_status.fall;
      case kCrusher:
        return k0.m_status.crushed;
      case kStamper:
        return k0.m_status.flattened;
      default:
        return 0.0f;
    }
  };
  const Jump jump = untilRespawn(8.0, [&] {
    if (timer() == 0.0f) return;
    if (started < 0.0) {
      started = race->m_simTime;
      held = positionOf(0);
    }
    // Held where it met the hazard, its peers told it stands, and (crushed
    // or flattened) out of every other kart's way meanwhile.
    EXPECT_LT(flatDistance(positionOf(0), held), 1e-3f);
    EXPECT_EQ(k0.m_net.m_speed.get(), 0.0f);
    if (kind != kFallZone) colAway = colAway && placeOf(*findKartItem(scene(), "col", -1, 1)).y < -50.0f;
  });
  ASSERT_GE(jump.at, 0.0) << "kart 0 never came back";
  EXPECT_EQ(pointsBehind(jump.from, jump.to), 3);
  EXPECT_LT(flatDistance(jump.from, at), 6.0f) << "it met the hazard where it lies";
  // Back on the road, facing along it, without its extra.
  const std::size_t point = static_cast<std::size_t>(nearestRespawnPoint(jump.to));
  EXPECT_LT(flatDistance(jump.to, k0.respawnPoints()[point]), 1.0f);
  const Normal3 way = roadDirectionAt(jump.to);
  EXPECT_GT(k0.m_drive.m_heading.x * way.x + k0.m_drive.m_heading.z * way.z, 0.99f);
  EXPECT_EQ(k0.m_net.m_extra.get(), kExtraNone);
  EXPECT_EQ(kartSound(0, kSoundRespawn)->plays, 1);
  if (kind == kResetZone) {
    EXPECT_LT(started, 0.0) << "no timer: back at once";
    return;
  }
  ASSERT_GE(started, 0.0) << "the hazard started no timer";
  EXPECT_NEAR(jump.at - started, 2.0, 0.05);
  if (kind == kFallZone) {
    EXPECT_EQ(kartSound(0, kSoundFall)->plays, 1);
  } else {
    EXPECT_TRUE(colAway);
    EXPECT_EQ(kartSound(0, kSoundStamped)->plays, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(FallZoneStamperCrusherAndResetZone, SampleTrackHazards,
                         ::testing::Values(kFallZone, kStamper, kCrusher, kResetZone));

TEST_F(SampleTrackExtras, ThePadLaunchesAKartAlongItAtTurboSpeedForThreeSeconds) {
  ASSERT_NO_FATAL_FAILURE(startRace());
  PhysicsObject* pad = piece(kSpeedUpPad);
  ASSERT_NE(pad, nullptr);
  const Position3 at = placeOf(*pad);
  VehicleMaster& k0 = kart(0);
  // Aslant onto it at a crawl.
  const Normal3 way = roadDirectionAt(at);
  const float c = std::cos(0.3f), s = std::sin(0.3f);
  const Normal3 aslant{way.x * c + way.z * s, 0.0f, way.z * c - way.x * s};
  putKart(0, {at.x - aslant.x * 5.0f, at.y, at.z - aslant.z * 5.0f}, aslant, 0.05f);
  drivers[0]->mode = TestDriver::Mode::Straight;
  for (int n = 0; n < 300 && k0.m_status.turbo == 0.0f; ++n) frame(0.01);
  ASSERT_NE(k0.m_status.turbo, 0.0f) << "kart 0 never reached the pad";
  const KartTuning& tuning = k0.tuning();
  EXPECT_FLOAT_EQ(k0.getSpeed(), tuning.turboMaxSpeed);
  EXPECT_NEAR(k0.m_status.turbo, 3.0f, 0.011f);
  // Along the pad, flat and of unit length.
  Matrix4x3 m;
  pad->worldMatrix(m, 0.0, true);
  const float length = std::hypot(m.m[8], m.m[10]);
  EXPECT_NEAR(k0.m_drive.m_heading.x, m.m[8] / length, 1e-5);
  EXPECT_NEAR(k0.m_drive.m_heading.z, m.m[10] / length, 1e-5);
  EXPECT_EQ(k0.m_drive.m_heading.y, 0.0f);
  const Position3 launched = positionOf(0);
  frame(0.01);
  EXPECT_NEAR(flatDistance(launched, positionOf(0)), tuning.turboMaxSpeed, 0.02f) << "a step at that speed";

  // Every step on the pad starts its three seconds again; the limit holds
  // until they have run out, then the kart's own comes back.
  double lastBoost = race->m_simTime;
  float previous = k0.m_status.turbo;
  for (int n = 0; n < 400 && k0.m_status.turbo != 0.0f; ++n) {
    EXPECT_FLOAT_EQ(k0.m_drive.m_speedLimit, tuning.turboMaxSpeed);
    const double before = race->m_simTime;
    frame(0.01);
    // (The timer's float time lets a frame take no step now and then.)
    if (race->m_simTime > before && k0.m_status.turbo >= previous) lastBoost = race->m_simTime;
    previous = k0.m_status.turbo;
  }
  EXPECT_EQ(k0.m_status.turbo, 0.0f);
  EXPECT_NEAR(race->m_simTime - lastBoost, 3.0, 0.025);
  EXPECT_FLOAT_EQ(k0.m_drive.m_speedLimit, tuning.maxSpeed);
  EXPECT_EQ(kartSound(0, kSoundSpeedUp)->plays, 1) << "once, however often it is launched";
}

// The last kart's rocket makes for the path ahead, picks the leader once it
// has come up to it, locks on sixteen path points later, turns back and
// hits it: the leader stands a second and comes back behind where it was
// hit. View 0's kart (the leader) hears the flight only after the launch's
// first second and only within 25 of it.
TEST_F(SampleTrackExtras, TheLastKartsRocketLocksOnTheLeaderAndHitsIt) {
  ASSERT_NO_FATAL_FAILURE(startRace());
  int last = -1;
  for (int k = 0; k < 6; ++k)
    if (kart(k).m_net.m_rank.get() == 5) last = k;
  ASSERT_GT(last, 0);
  ASSERT_EQ(kart(0).m_net.m_rank.get(), 0);
  VehicleMaster& firer = kart(last);
  VehicleMaster& leader = kart(0);
  // The leader away at its top speed; the last kart fires from the grid
  // once the leader is some 35 m off.
  drivers[0]->mode = TestDriver::Mode::Road;
  leader.m_drive.m_velocity = leader.tuning().maxSpeed;
  for (int n = 0; n < 12; ++n) frame(0.1);
  ASSERT_EQ(leader.m_net.m_rank.get(), 0);
  ASSERT_GT(distance(positionOf(0), positionOf(last)), 30.0f);
  firer.setExtra(kExtraRocket);
  drivers[last]->fire = true;

  RecordingSoundBuffer* flight = kartSound(last, kSoundRocketFlight);
  ASSERT_NE(flight, nullptr);
  bool locked = false, quietFar = false, heard = false;
  for (int n = 0; n < 1000 && leader.m_status.rocketHit == 0.0f; ++n) {
    frame(0.01);
    if (leader.m_status.rocketHit != 0.0f) break;
    const float t = firer.m_projectiles.rocketLaunch;
    const float d = distance(positionOf(0), firer.m_net.m_rocketPos.get());
    locked = locked || firer.m_net.m_targetLocked.get() == 0;
    EXPECT_EQ(flight->isPlaying(), t > 1.0f && d < 25.0f) << "launched " << t << " s ago, " << d << " away";
    quietFar = quietFar || (t > 1.0f && d >= 25.0f);
    heard = heard || flight->isPlaying();
  }
  ASSERT_NE(leader.m_status.rocketHit, 0.0f) << "the rocket never hit the leader";
  EXPECT_TRUE(locked);
  EXPECT_TRUE(quietFar);
  EXPECT_TRUE(heard);
  EXPECT_EQ(leader.m_net.m_rocketIndex.get(), last);
  EXPECT_EQ(firer.m_net.m_rocketFired.get(), 0);
  EXPECT_EQ(firer.m_net.m_targetLocked.get(), -1);
  EXPECT_EQ(firer.m_net.m_extraRocket.get(), 0.0f);
  EXPECT_EQ(kartSound(0, kSoundRocketHit)->plays, 1);

  // Stopped for a second where it was hit, then back behind that place; the
  // rocket's sound has ended with it.
  const Position3 hit = positionOf(0);
  const double hitAt = race->m_simTime;
  const float crawl = leader.tuning().acceleration;
  const Jump jump = untilRespawn(3.0, [&] {
    EXPECT_LE(leader.getSpeed(), crawl + 1e-6f);
    EXPECT_LT(flatDistance(positionOf(0), hit), 0.05f);
  });
  ASSERT_GE(jump.at, 0.0) << "the leader never came back";
  EXPECT_NEAR(jump.at - hitAt, 1.0, 0.03);
  EXPECT_EQ(pointsBehind(hit, jump.to), 3);
  EXPECT_EQ(leader.m_status.rocketHit, 0.0f);
  EXPECT_EQ(firer.m_projectiles.rocketLaunch, -1.0f);
  EXPECT_FALSE(flight->isPlaying());
  EXPECT_EQ(firer.m_net.m_rocketPos.get().y, kParked.y);
}

}  // namespace
