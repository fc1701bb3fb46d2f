// Races on sample track 0 from the "data.sar" the build wrote: real ODE and
// the race frame on the test's clock over the recording devices. Six karts,
// each with a test driver that stands, drives straight on, backs up or
// follows the road, and uses its extra when told; kart 0 is the player's,
// the one view 0 shows and listens from. The test puts karts where it wants
// them, as if they had driven there.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "foundation/archive_file.h"
#include "foundation/random.h"
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

inline float flatDistance(const Position3& a, const Position3& b) { return std::hypot(a.x - b.x, a.z - b.z); }

// Stands, drives straight on, backs up or follows the road (flat out, or
// holding a speed), and uses its extra once when told.
class TestDriver : public Controller {
 public:
  enum class Mode { Stand, Straight, Reverse, Road };

  void update(bool, bool) override {
    m_steering = mode == Mode::Road && kart ? ScriptedSteering::toward(*kart, 2) : ScriptedSteering{};
  }
  bool left() override { return m_steering.left; }
  bool right() override { return m_steering.right; }
  bool accelerate() override {
    return (mode == Mode::Straight || mode == Mode::Road) && !(cruise > 0.0f && kart && kart->getSpeed() >= cruise);
  }
  bool brake() override { return mode == Mode::Reverse; }
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

class SampleTrackRace : public PipelineTest {
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
