// Laps on the sample track 0 with real ODE: a kart driven by keys through
// its own user controller leaves the grid, crosses the line, drives a lap,
// then backs over the line and crosses it again, while the race's progress
// counts.
#include <gtest/gtest.h>

#include <memory>

#include "game/kart/vehicle_master.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "input/input_device.h"
#include "tests/support/race_choice.h"
#include "tests/support/race_gui_recorder.h"
#include "tests/support/recording_sound.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/scripted_driver.h"
#include "tests/track/track_fixture.h"

namespace {

class Standing : public Controller {
 public:
  bool left() override { return false; }
  bool right() override { return false; }
  bool accelerate() override { return false; }
  bool brake() override { return false; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return false; }
};

// Kart 0 takes the controller its record asks for (the one local player's),
// every other kart stands on the grid.
class OneDriver : public RaceFactory {
 protected:
  std::unique_ptr<Controller> makeController(const KartOrder& order) override {
    if (order.index == 0) return RaceFactory::makeController(order);
    return std::make_unique<Standing>();
  }
};

class TrackRaceProgress : public PipelineTest {
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
  bool load() {
    chooseOnePlayerRace(config, 1, 0, 0, 3, 0, 0);
    race->setFactory(std::make_unique<OneDriver>());
    if (!race->load(&trackArchive(), &sound, config)) return false;
    race->m_countdownState = Race::kCountdownRacing;
    for (Vehicle* kart : race->m_karts) {
      if (kart) kart->m_net.m_active.set(true);
    }
    return true;
  }
  // One physics step as the race frame takes it, and the frame's progress;
  // whether kart 0 touched the line in it.
  bool step() {
    driver->press();
    race->m_scene->physicsStep(0.01);
    for (Vehicle* kart : race->m_karts) {
      if (kart) kart->step(race->m_simTime, 0.01);
    }
    race->m_simTime += 0.01;
    const bool touched = kart0().m_lineTouched != 0;
    race->updateRaceProgress();
    return touched;
  }
  VehicleMaster& kart0() { return *race->m_karts[0]->getMaster(); }
  int lap() { return kart0().m_net.m_lap.get(); }
  int sector() { return kart0().m_sectorHistory[0]; }

  TrackLoader cache;
  ScratchDir scratch;
  NetControl control;
  InputDevice input;
  Config config{&input, control, Config::SavedFile::Ignore};
  RecordingSoundDevice sound;
  RecordingRaceGui gui;
  std::unique_ptr<Race> race;
  std::unique_ptr<ScriptedDriver> driver;
};

TEST_F(TrackRaceProgress, AKartDrivenByKeysCountsItsLapsAndNothingForBackingOverTheLine) {
  ASSERT_TRUE(load());
  ASSERT_NE(dynamic_cast<ControllerUserSingle*>(kart0().controller()), nullptr);
  driver = std::make_unique<ScriptedDriver>(input, config, kart0());
  EXPECT_EQ(lap(), -1) << "on the grid";

  // Off the grid: the first touch of the line starts lap 0.
  int steps = 0;
  bool touched = false;
  while (!touched && steps++ < 2000) {
    touched = step();
    if (!touched) {
      ASSERT_EQ(lap(), -1) << "step " << steps;
    }
  }
  ASSERT_TRUE(touched) << "the kart reached the line";
  EXPECT_EQ(lap(), 0);

  // One lap, all the way round.
  for (steps = 0; lap() == 0 && steps < 12000; ++steps) step();
  ASSERT_EQ(lap(), 1) << "after " << steps << " steps at sector " << sector();
  EXPECT_GT(steps, 1000) << "a lap takes its time";

  // A little way on, back over the line and forward over it again.
  for (steps = 0; sector() < 20 && steps < 1000; ++steps) step();
  ASSERT_GE(sector(), 20);
  driver->pedal = ScriptedDriver::Pedal::Brake;
  bool backOver = false;
  for (steps = 0; !(backOver && sector() > 200 && sector() < 250) && steps < 3000; ++steps)
    backOver = step() || backOver;
  ASSERT_TRUE(backOver) << "the kart backed over the line";
  ASSERT_GT(sector(), 200) << "and came to stand behind it";
  EXPECT_TRUE(kart0().m_drive.m_reverse);
  driver->pedal = ScriptedDriver::Pedal::Throttle;
  for (steps = 0; (sector() > 200 || sector() < 30) && steps < 3000; ++steps) step();
  EXPECT_GE(sector(), 30) << "forward over the line again";
  EXPECT_EQ(lap(), 1) << "backing over the line and crossing it again counts nothing";
}

}  // namespace
