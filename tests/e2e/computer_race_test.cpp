// Computer drivers racing sample track 0 with real ODE and the recording
// devices, on the test's clock: kart 0's player never touches a key, so
// its kart stands on the grid while the five computer drivers go round.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "foundation/archive_file.h"
#include "foundation/random.h"
#include "game/kart/kart_items.h"
#include "game/kart/kart_tuning.h"
#include "game/kart/vehicle_master.h"
#include "platform/input/key_codes.h"
#include "tests/e2e/network_race_machine.h"
#include "tests/support/race_choice.h"
#include "tests/support/sample_archive.h"
#include "tests/support/scratch_dir.h"
#include "tools/sample_data/track_samples.h"

namespace {

constexpr double kFrame = 0.2;  // the most one frame simulates

class ComputerRace : public ::testing::Test {
 protected:
  void SetUp() override {
    // The same race whatever ran before in this process.
    engineSrand(1);
    setenv("TESSALINE_TEXTURE_CACHE", (scratch.m_root / "cache").c_str(), 1);
    ASSERT_NE(screen.pipeline(), nullptr);
  }
  void TearDown() override {
    race.reset();
    unsetenv("TESSALINE_TEXTURE_CACHE");
  }

  ScratchDir scratch;
  RecordingScreen screen;
  SteppedClock clock;
  NetControl control;
  InputDevice input;
  Config config{&input, control, Config::SavedFile::Ignore};
  RecordingSoundDevice sound;
  RecordingRaceGui gui;
  std::unique_ptr<Race> race;
};

TEST_F(ComputerRace, FiveComputerDriversLapInGoodTimeAndFinishThreeLapsPastAStandingKart) {
  chooseOnePlayerRace(config, 1, 0, 0, 3, kControlUserSingle, kControlUserSingle);
  race = std::make_unique<Race>(screen.pipeline(), &gui, control, clock);
  ASSERT_TRUE(race->load(&builtSampleArchive(), &sound, config));
  for (int k = 1; k < 6; ++k) ASSERT_EQ(config.m_controlType[k], kControlAI);

  const SampleTrack* track = findSampleTrack(0);
  ASSERT_NE(track, nullptr);
  const double lap = lapLength(*track);
  // Speeds are per physics step: a hundred steps a second.
  double fastLap[6] = {};
  RecordingSoundBuffer* respawnSound[6] = {};
  for (int k = 1; k < 6; ++k) {
    fastLap[k] = lap / (race->m_karts[k]->getMaster()->tuning().maxSpeed * 100.0);
    respawnSound[k] = static_cast<RecordingSoundBuffer*>(race->m_karts[k]->m_items.sounds[kSoundRespawn].buffer.get());
    ASSERT_NE(respawnSound[k], nullptr);
  }

  input.m_key[DIK_SPACE] = 0x80;  // the countdown starts
  double firstLap[6] = {};
  int respawnsInFirstLap[6] = {};
  bool allDone = false;
  // Three laps each at half the top speed, with time to spare.
  const int maxFrames = static_cast<int>((4.0 + 3.0 * 2.0 * fastLap[1]) / kFrame) + 200;
  for (int f = 0; f < maxFrames && !allDone; ++f) {
    clock.advance(kFrame);
    race->update(input);
    allDone = true;
    for (int k = 1; k < 6; ++k) {
      const int lapNow = race->m_karts[k]->m_net.m_lap.get();
      if (lapNow < 1) respawnsInFirstLap[k] = respawnSound[k]->plays;
      if (lapNow >= 1 && firstLap[k] == 0.0) firstLap[k] = race->m_timer->gameTime() - race->m_raceStart;
      if (lapNow < 3) allDone = false;
    }
  }
  EXPECT_TRUE(allDone) << "not every computer driver finished three laps";
  double slowest = 0.0;
  for (int k = 1; k < 6; ++k) slowest = std::max(slowest, firstLap[k] / fastLap[k]);
  RecordProperty("slowest_first_lap_in_top_speed_laps", std::to_string(slowest));
  for (int k = 1; k < 6; ++k) {
    SCOPED_TRACE("kart " + std::to_string(k));
    EXPECT_GE(race->m_karts[k]->m_net.m_lap.get(), 3);
    ASSERT_GT(firstLap[k], 0.0);
    EXPECT_LT(firstLap[k], 2.0 * fastLap[k]) << "a lap at top speed takes " << fastLap[k] << " s";
    EXPECT_LE(respawnsInFirstLap[k], 1);
  }
  // Kart 0 never moved, and the race goes on for it.
  EXPECT_FALSE(race->m_karts[0]->m_net.m_trackFinished.get());
  EXPECT_EQ(race->m_karts[0]->getSpeed(), 0.0f);
  EXPECT_TRUE(race->unload());
}

}  // namespace
