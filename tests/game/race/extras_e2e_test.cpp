// Extras, hazards and respawns from start to end: sample track 0 from the
// "data.sar" the build wrote, real ODE, and the race frame on the test's
// clock over the recording devices. Six karts, each with a test driver that
// stands, drives straight on or follows the road, and uses its extra when
// told; kart 0 is the player's, the one view 0 shows and listens from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "foundation/archive_file.h"
#include "foundation/random.h"
#include "game/kart/kart_extras.h"
#include "game/kart/vehicle_master.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "lightwave/lwo2_loader.h"
#include "platform/input/key_codes.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "tests/game/race/race_frame_fixture.h"
#include "tests/support/sample_archive.h"
#include "tests/support/scripted_driver.h"

namespace {

// Surface kinds of the track's pieces.
constexpr int kResetZone = 7;
constexpr int kFallZone = 8;
constexpr int kCrusher = 14;
constexpr int kSpeedUpPad = 15;
constexpr int kStamper = 16;

float flatDistance(const Position3& a, const Position3& b) { return std::hypot(a.x - b.x, a.z - b.z); }
float distance(const Position3& a, const Position3& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// Stands, drives straight on or follows the road (flat out, or holding a
// speed), and uses its extra once when told.
class TestDriver : public Controller {
 public:
  enum class Mode { Stand, Straight, Road };

  void update(bool, bool) override {
    m_steering = mode == Mode::Road && kart ? ScriptedSteering::toward(*kart, 2) : ScriptedSteering{};
  }
  bool left() override { return m_steering.left; }
  bool right() override { return m_steering.right; }
  bool accelerate() override { return mode != Mode::Stand && !(cruise > 0.0f && kart && kart->getSpeed() >= cruise); }
  bool brake() override { return false; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return std::exchange(fire, false); }

  Mode mode = Mode::Stand;
  float cruise = 0.0f;  // the speed it holds; 0 flat out
  bool fire = false;
  VehicleMaster* kart = nullptr;

 private:
  ScriptedSteering m_steering;
};

class TestDrivers : public RaceFactory {
 public:
  explicit TestDrivers(TestDriver** drivers) : m_drivers(drivers) {}

 protected:
  std::unique_ptr<Controller> makeController(const KartOrder& order) override {
    auto driver = std::make_unique<TestDriver>();
    m_drivers[order.index] = driver.get();
    return driver;
  }

 private:
  TestDriver** m_drivers;
};

// A respawn seen from outside: the last place before the jump, the first
// after it, and when.
struct Jump {
  Position3 from, to;
  double at = -1.0;  // simulated time of the frame it showed in; -1 none
};

class SampleTrackExtras : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    pipeline->soundDevice = &sound;
    pipeline->requestedWidth = 320;
    pipeline->requestedHeight = 240;
    setenv("TESSALINE_TEXTURE_CACHE", (scratch.m_root / "cache").c_str(), 1);
    installLightWaveLoaders();
    race = std::make_unique<Race>(pipeline.get(), &gui, control, clock);
  }
  void TearDown() override {
    race.reset();
    pipeline.reset();
    unsetenv("TESSALINE_TEXTURE_CACHE");
    PipelineTest::TearDown();
  }

  // A six-kart race on track 0, counted down and under way: every kart
  // stands until its driver is told otherwise.
  void startRace() {
    engineSrand(1);  // whatever earlier tests in this process drew
    config.m_game.set(1);
    config.m_track.set(0);
    config.m_ccm.set(0);
    config.m_laps.set(3);
    config.m_playType = 0;
    config.m_isAuthority = 1;
    for (int i = 0; i < Config::kPlayerCount; ++i) {
      ConfigPlayer* r = config.m_player[i].modify();
      r->character = r->kart = i;
      r->startPosition = i;
      config.m_controlType[i] = kControlUserSingle;
    }
    race->setFactory(std::make_unique<TestDrivers>(drivers));
    ASSERT_TRUE(race->load(&builtSampleArchive(), &sound, config));
    ASSERT_EQ(race->m_kartCount, 6);
    for (int k = 0; k < 6; ++k) {
      ASSERT_NE(drivers[k], nullptr);
      drivers[k]->kart = &kart(k);
    }
    input.m_key[DIK_SPACE] = 0x80;
    frame(0.01);
    for (int n = 0; n < 60 && race->m_countdownState != Race::kCountdownRacing; ++n) frame(0.1);
    ASSERT_EQ(race->m_countdownState, Race::kCountdownRacing);
    for (int k = 0; k < 6; ++k) ASSERT_TRUE(kart(k).m_net.m_active.get());
  }

  // One race frame `seconds` after the last.
  void frame(double seconds) {
    clock.advance(seconds);
    log->calls.clear();
    if (gui.displays) gui.displays->calls.clear();
    race->update(input);
  }

  VehicleMaster& kart(int k) { return *race->m_karts[k]->getMaster(); }
  Position3 positionOf(int k) {
    Position3 at;
    kart(k).getPosition(at);
    return at;
  }
  RecordingSoundBuffer* kartSound(int k, int slot) {
    return recorded(race->m_karts[k]->m_items.sounds[static_cast<std::size_t>(slot)].buffer.get());
  }
  Scene& scene() { return *race->m_scene; }

  static Position3 placeOf(SceneItem& item, double time = 0.0) {
    Matrix4x3 m;
    item.worldMatrix(m, time, true);
    return {m.m[12], m.m[13], m.m[14]};
  }
  // The track's piece of `kind`, null when there is none.
  PhysicsObject* piece(int kind) {
    for (const auto& item : scene().objects) {
      auto* p = dynamic_cast<PhysicsObject*>(item.get());
      if (p && p->geom && p->surfaceKind == kind) return p;
    }
    return nullptr;
  }

  // The respawn point nearest `at` (on the ground), of kart 0's list.
  int nearestRespawnPoint(const Position3& at) {
    const std::vector<Position3>& points = kart(0).respawnPoints();
    int nearest = -1;
    float best = INFINITY;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const float d = flatDistance(points[i], at);
      if (d < best) {
        best = d;
        nearest = static_cast<int>(i);
      }
    }
    return nearest;
  }
  // How many respawn points lie between where a kart was and where it came
  // back, counted backwards along the lap.
  int pointsBehind(const Position3& was, const Position3& now) {
    const int n = static_cast<int>(kart(0).respawnPoints().size());
    return ((nearestRespawnPoint(was) - nearestRespawnPoint(now)) % n + n) % n;
  }
  // The way the road runs at `at`: from its nearest respawn point to the
  // next, laid flat.
  Normal3 roadDirectionAt(const Position3& at) {
    const std::vector<Position3>& points = kart(0).respawnPoints();
    const std::size_t i = static_cast<std::size_t>(nearestRespawnPoint(at));
    const Position3& a = points[i];
    const Position3& b = points[(i + 1) % points.size()];
    const float n = flatDistance(a, b);
    return {(b.x - a.x) / n, 0.0f, (b.z - a.z) / n};
  }
  // Kart k, upright at `at` on the road's height there, facing `heading`
  // at `speed`, as if it had driven there.
  void putKart(int k, Position3 at, const Normal3& heading, float speed) {
    at.y = kart(0).respawnPoints()[static_cast<std::size_t>(nearestRespawnPoint(at))].y + 0.2f;
    KartDrive& d = kart(k).m_drive;
    d.m_heading = heading;
    d.m_motion[0] = heading.x;
    d.m_motion[1] = 0.0f;
    d.m_motion[2] = heading.z;
    d.m_netAngle = yawOfDirection(heading);
    d.m_velocity = speed;
    d.m_pos = d.m_target = at;
    kart(k).setKartMatrix(kartMatrix(Normal3{0.0f, 1.0f, 0.0f}, d.m_netAngle, at, 0.75f));
  }
  // Kart k `metres` before `target` along the road, heading for it.
  void putKartBefore(int k, const Position3& target, float metres, float speed) {
    const Normal3 way = roadDirectionAt(target);
    putKart(k, {target.x - way.x * metres, target.y, target.z - way.z * metres}, way, speed);
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

  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  RecordingSoundDevice sound;
  RecordingRaceGui gui;
  SteppedClock clock{0};
  InputDevice input;
  ScratchDir scratch;
  TestDriver* drivers[6] = {};
  std::unique_ptr<Race> race;
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
