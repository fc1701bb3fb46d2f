// Six karts race on every sample track, frame by frame as the race loop
// runs them, with real ODE and the recording devices: every kart is a
// computer driver (kart 0 keeps the local player's control type, so that
// the race does not end at once, but a computer drives it), and each
// completes a lap within a minute and is put back on the road at most
// once; on track 1 the first lap, from the grid, takes 20 to 40 s. The
// short form stops once every kart has completed its lap; the long form
// (label "long") races the whole minute.
#include <gtest/gtest.h>

#include "foundation/archive_file.h"
#include "foundation/timer.h"
#include "game/kart/controller_ai.h"
#include "game/kart/kart_items.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "input/input_device.h"
#include "net/net_control.h"
#include "platform/input/dinput.h"
#include "scene/scene_item.h"
#include "tests/support/race_choice.h"
#include "tests/support/sample_archive.h"
#include "tests/tools/sample_race_rig.h"

namespace {

// Track 1 was laid out for a lap of 20 to 40 s: long enough to race, short
// enough to learn.
constexpr int kRing = 1;
constexpr float kRingLapAtLeast = 20.0f, kRingLapAtMost = 40.0f;

// Every kart under a computer driver, the player's too.
class AllComputerDrivers : public RaceFactory {
 protected:
  std::unique_ptr<Controller> makeController(const KartOrder& order) override {
    return std::make_unique<ControllerAI>(order.files, 0, order.config, order.index);
  }
};

class SampleLaps : public SampleRaceRig {
 protected:
  // The start key, then the countdown and up to a minute of racing in
  // frames of 1/20 s; `wholeMinute` false ends it once every kart has
  // completed a lap.
  void drive(bool wholeMinute) {
    race = std::make_unique<Race>(pipeline.get(), &gui, control, clock);
    chooseOnePlayerRace(config, 1, GetParam(), 1, 3, kControlUserSingle, kControlAI);
    race->setFactory(std::make_unique<AllComputerDrivers>());
    ASSERT_TRUE(race->load(&builtSampleArchive(), &sound, config));
    race->m_timer->start();
    // No extras: a rocket or a weight puts a kart back whatever the track.
    for (SceneItem* box : race->m_boxes) {
      const float below[3] = {box->position[0].evaluate(0.0), box->position[1].evaluate(0.0) - 100.0f,
                              box->position[2].evaluate(0.0)};
      box->setPosition(below);
      box->invalidate();
      box->evaluate(0.0);
    }
    input.m_key[DIK_SPACE] = 0x80;
    frame(0.05);
    input.m_key[DIK_SPACE] = 0;
    int respawns[Race::kMaxKarts] = {};
    for (int f = 0; f < 63 * 20 && (wholeMinute || !everyKartLapped()); ++f) {
      frame(0.05);
      for (int k = 0; k < Race::kMaxKarts; ++k) {
        // Each putting back plays the kart's respawn sound once; stopped
        // here so that the next one plays again.
        auto* played = static_cast<RecordingSoundBuffer*>(race->m_karts[k]->m_items.sounds[kSoundRespawn].buffer.get());
        ASSERT_NE(played, nullptr);
        if (played->isPlaying()) {
          ++respawns[k];
          played->stop();
        }
      }
    }
    EXPECT_EQ(race->m_countdownState, Race::kCountdownRacing);
    for (int k = 0; k < Race::kMaxKarts; ++k) {
      EXPECT_GE(race->m_karts[k]->m_net.m_lap.get(), 1) << "kart " << k << " completed no lap";
      EXPECT_LE(respawns[k], 1) << "kart " << k;
      if (GetParam() == kRing) {
        const float firstLap = config.m_player[k].get().lapTimes[0];
        EXPECT_GE(firstLap, kRingLapAtLeast) << "kart " << k;
        EXPECT_LE(firstLap, kRingLapAtMost) << "kart " << k;
      }
    }
  }
  bool everyKartLapped() const {
    for (int k = 0; k < Race::kMaxKarts; ++k)
      if (race->m_karts[k]->m_net.m_lap.get() < 1) return false;
    return true;
  }
};

TEST_P(SampleLaps, SixKartsEachLapWithinAMinuteAndArePutBackAtMostOnce) { drive(false); }

TEST_P(SampleLaps, SixKartsRaceAMinuteAndEachLapsPutBackAtMostOnce) { drive(true); }

INSTANTIATE_TEST_SUITE_P(EveryTrack, SampleLaps, ::testing::Range(0, 8));

}  // namespace
