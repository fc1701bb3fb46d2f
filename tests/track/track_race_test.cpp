// Races loaded from the sample archive and stepped with real ODE: on track
// 0 a kart crosses the line, takes a box and shoves the crate; on the test
// ring a kart holding throttle and left laps; on track 3 the bog holds a
// player's kart to 0.7 of its top speed.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "game/kart/kart_surfaces.h"
#include "game/kart/vehicle_master.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "game/track/track_maps.h"
#include "scene/object_item.h"
#include "tests/support/race_gui_recorder.h"
#include "tests/support/recording_sound.h"
#include "tests/support/scratch_dir.h"
#include "tests/track/track_fixture.h"

namespace {

// Presses nothing, or the throttle only.
class Pedal : public Controller {
 public:
  explicit Pedal(bool throttle) : m_throttle(throttle) {}
  bool left() override { return false; }
  bool right() override { return false; }
  bool accelerate() override { return m_throttle; }
  bool brake() override { return false; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return false; }

 private:
  bool m_throttle;
};

// Full throttle, steering for the centre line a few metres ahead, the way
// the computer drivers steer for their line.
class CentreLineDriver : public Controller {
 public:
  explicit CentreLineDriver(const SampleTrack& track) {
    const int n = 4000;
    const double lap = lapLength(track);
    for (int i = 0; i < n; ++i) m_line.push_back(centreAt(track, static_cast<double>(i) / n));
    m_ahead = static_cast<int>(8.0 / (lap / n));
  }
  void update(bool, bool) override {
    m_left = m_right = false;
    if (!kart) return;
    Position3 p;
    kart->getPosition(p);
    std::size_t nearest = 0;
    float best = 1e30f;
    for (std::size_t i = 0; i < m_line.size(); ++i) {
      const float d = std::hypot(m_line[i].x - p.x, m_line[i].z - p.z);
      if (d < best) {
        best = d;
        nearest = i;
      }
    }
    const Point2 target = m_line[(nearest + static_cast<std::size_t>(m_ahead)) % m_line.size()];
    const float* v = kart->getVelocity();
    const float e = (target.x - p.x) * -v[2] + (target.z - p.z) * v[0];
    m_left = e > 0.0f;
    m_right = e < 0.0f;
  }
  bool left() override { return m_left; }
  bool right() override { return m_right; }
  bool accelerate() override { return true; }
  bool brake() override { return false; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return false; }

  Vehicle* kart = nullptr;

 private:
  std::vector<Point2> m_line;
  int m_ahead = 1;
  bool m_left = false, m_right = false;
};

// Throttle and full left lock, held.
class ThrottleAndLeft : public Controller {
 public:
  bool left() override { return true; }
  bool right() override { return false; }
  bool accelerate() override { return true; }
  bool brake() override { return false; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return false; }
};

// Counts laps from the position map as a lap counter would: a lap once the
// kart has passed every sector group and crosses the line forward.
class LapCounter {
 public:
  void see(int value) {
    if (value == 0) return;
    const int group = value / 16;
    if (m_previous >= 0 && m_previous >= 240 && value < 16 && m_groups == 0xFFFFu) {
      ++laps;
      m_groups = 0;
    }
    m_groups |= 1u << group;
    m_previous = value;
  }
  int laps = 0;

 private:
  int m_previous = -1;
  std::uint32_t m_groups = 0;
};

// Kart 0 gets the test's driver, every other kart stands.
class TestDrivers : public RaceFactory {
 public:
  explicit TestDrivers(std::unique_ptr<Controller> first) : m_first(std::move(first)) {}

 protected:
  std::unique_ptr<Controller> makeController(const KartOrder& order) override {
    if (order.index == 0 && m_first) return std::move(m_first);
    return std::make_unique<Pedal>(false);
  }

 private:
  std::unique_ptr<Controller> m_first;
};

class TrackRace : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    pipeline->soundDevice = &sound;
    race = std::make_unique<Race>(pipeline.get(), &gui, control);
  }
  void TearDown() override {
    race.reset();
    pipeline.reset();
    PipelineTest::TearDown();
  }
  // Kart 0 on `track` of `archive`, from grid slot `slot`, in engine class
  // `engineClass`.
  bool load(int game, int track, std::unique_ptr<Controller> driver, int slot = 0, int engineClass = 0,
            ArchiveFile& archive = trackArchive()) {
    config.m_game.set(game);
    config.m_track.set(track);
    config.m_ccm.set(engineClass);
    config.m_playType = 0;
    for (int i = 0; i < Config::kPlayerCount; ++i) {
      ConfigPlayer* r = config.m_player[i].modify();
      r->character = r->kart = i == 0 ? 0 : -1;
      r->startPosition = i == 0 ? slot : (i == slot ? 0 : i);
      config.m_controlType[i] = 0;
    }
    race->setFactory(std::make_unique<TestDrivers>(std::move(driver)));
    if (!race->load(&archive, &sound, config)) return false;
    for (Vehicle* kart : race->m_karts) {
      if (kart) kart->m_net.m_active.set(true);
    }
    return true;
  }
  // Without the race's surface kinds the karts sense nothing: the drives
  // below would prove nothing, so they fail at once.
  bool surfacesInstalled() const {
    Scene& scene = *race->m_scene;
    return scene.physics().surfaceTable[kSurfaceKartBody][kSurfaceCheckpoint] != &scene.physics().defaultSurface;
  }
  // One physics step as the race frame takes it.
  void step() {
    race->m_scene->physicsStep(0.01);
    for (Vehicle* kart : race->m_karts) {
      if (kart) kart->step(race->m_simTime, 0.01);
    }
    race->m_simTime += 0.01;
  }
  VehicleMaster& kart0() { return *race->m_karts[0]->getMaster(); }

  TrackLoader cache;  // the texture cache in a folder of its own
  ScratchDir scratch;
  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  RecordingSoundDevice sound;
  RecordingRaceGui gui;
  std::unique_ptr<Race> race;
};

TEST_F(TrackRace, OnTrackZeroAKartCrossesTheLineTakesABoxAndShovesTheCrate) {
  ASSERT_TRUE(load(1, 0, std::make_unique<Pedal>(true)));
  // What the race found in the archive.
  for (int k = 0; k < 6; ++k) {
    for (int slot = 0; slot < KartItems::kSoundSlots; ++slot)
      EXPECT_EQ(race->m_karts[k]->m_items.sounds[static_cast<std::size_t>(slot)].empty(), slot == 5)
          << "kart " << k << " slot " << slot;
  }
  ASSERT_EQ(race->m_boxes.size(), 3u);
  ASSERT_EQ(race->m_soundObjects.size(), 1u);
  EXPECT_EQ(race->m_soundObjects[0]->soundSource->fileName, kStamperSound);
  Scene& scene = *race->m_scene;
  ASSERT_TRUE(surfacesInstalled()) << "the race installs no surface kinds";

  // The middle box and the crate on kart 0's way, 12 and 25 m ahead; the
  // box low enough for the kart's collision box to meet it.
  Position3 start;
  kart0().getPosition(start);
  const float* heading = kart0().getVelocity();
  auto ahead = [&](float metres, float y) {
    return std::array<float, 3>{start.x + heading[0] * metres, y, start.z + heading[2] * metres};
  };
  auto* box = dynamic_cast<PhysicsObject*>(race->m_boxes[1]);
  ASSERT_NE(box, nullptr);
  box->setPosition(ahead(12.0f, 0.4f).data());
  box->evaluate(0.0);
  auto* crate = dynamic_cast<PhysicsObject*>(scene.findObjectByName("D:\\Tamberlok/3dobjects_props/kiste.lwo"));
  ASSERT_NE(crate, nullptr);
  ASSERT_NE(crate->body, nullptr);
  crate->setPosition(ahead(25.0f, 0.6f).data());

  // The crate rests where it was put while the kart is still far off.
  for (int i = 0; i < 50; ++i) step();
  const dReal* rest = dBodyGetPosition(crate->body);
  const float restAt[3] = {static_cast<float>(rest[0]), static_cast<float>(rest[1]), static_cast<float>(rest[2])};
  EXPECT_NEAR(restAt[1], 0.6f, 0.05f) << "it rests on the ground";
  for (int i = 0; i < 50; ++i) step();
  const dReal* still = dBodyGetPosition(crate->body);
  EXPECT_NEAR(static_cast<float>(still[0]), restAt[0], 0.01f);
  EXPECT_NEAR(static_cast<float>(still[2]), restAt[2], 0.01f);

  bool lineTouched = false, boxTaken = false;
  float shoved = 0.0f;
  for (int i = 0; i < 500; ++i) {
    step();
    lineTouched = lineTouched || kart0().m_lineTouched != 0;
    if (!boxTaken && box->reappearTime != 0.0f) {
      boxTaken = true;
      EXPECT_FLOAT_EQ(box->reappearTime, 10.0f);
      Matrix4x3 world;
      box->worldMatrix(world, race->m_simTime, true);
      EXPECT_NEAR(world.m[13], 0.4f - 100.0f, 0.01f) << "parked below the track";
    }
    const dReal* at = dBodyGetPosition(crate->body);
    shoved = std::max(shoved, std::hypot(static_cast<float>(at[0]) - restAt[0], static_cast<float>(at[2]) - restAt[2]));
  }
  EXPECT_TRUE(lineTouched);
  EXPECT_EQ(kart0().m_sectorMask & 1u, 1u);
  EXPECT_TRUE(boxTaken);
  EXPECT_EQ(race->m_karts[1]->m_lineTouched, 0) << "a standing kart behind the line";
  EXPECT_GE(shoved, 0.1f) << "the kart shoved the crate";
}

// On the test ring a kart held at full throttle and full left lock circles
// the obelisk from whichever grid slot it starts, in every engine class: it
// laps again and again, never stuck at a wall, never put back.
TEST_F(TrackRace, OnTheTestRingThrottleAndLeftHeldLapFromEveryGridSlot) {
  for (int slot = 0; slot < Config::kPlayerCount; ++slot) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    race = std::make_unique<Race>(pipeline.get(), &gui, control);
    ASSERT_TRUE(load(0, testRingTrack().index, std::make_unique<ThrottleAndLeft>(), slot, slot % 3, testRingArchive()));
    ASSERT_TRUE(surfacesInstalled()) << "the race installs no surface kinds";
    ASSERT_NE(race->m_positionMap, nullptr);
    LapCounter counter;
    float slowest = 1.0f;
    for (int i = 0; i < 3000; ++i) {
      step();
      Position3 p;
      kart0().getPosition(p);
      counter.see(race->m_positionMap->valueAt(p));
      if (i > 1500) slowest = std::min(slowest, kart0().m_drive.m_velocity);
    }
    EXPECT_GE(counter.laps, 6) << "laps in 30 s";
    EXPECT_GT(slowest, 0.15f) << "no wall holds it once it is under way";
  }
}

TEST_F(TrackRace, OnTrackThreeTheBogHoldsAPlayersKartToSevenTenthsOfItsTopSpeed) {
  auto driver = std::make_unique<CentreLineDriver>(*findSampleTrack(3));
  CentreLineDriver* steering = driver.get();
  ASSERT_TRUE(load(0, 3, std::move(driver)));
  steering->kart = race->m_karts[0];
  ASSERT_TRUE(surfacesInstalled()) << "the race installs no surface kinds";

  const float top = kart0().tuning().maxSpeed, held = top * 0.7f;
  float fastest = 0.0f;
  int inBog = 0;
  for (int i = 0; i < 6000 && inBog < 30; ++i) {
    step();
    const bool bog = kart0().m_sensors.rayKind[KartSensors::kCentreRay] == kSurfaceSlowGround;
    inBog = bog ? inBog + 1 : 0;
    if (inBog == 0) fastest = std::max(fastest, kart0().m_drive.m_velocity);
    if (inBog > 0) {
      EXPECT_FLOAT_EQ(kart0().m_drive.m_speedLimit, held) << "step " << i;
    }
  }
  ASSERT_EQ(inBog, 30) << "the kart reached the bog";
  EXPECT_GT(fastest, held) << "it came in faster than the bog allows";
  EXPECT_LE(kart0().m_drive.m_velocity, held + 1e-4f);
}

}  // namespace
