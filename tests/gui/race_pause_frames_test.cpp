// The pause keys and dialog of a one-player race, frame by frame: Escape
// stops the race, its clock and its sounds until Resume; a race paused
// with P before Escape stays paused through Resume until P again; End race
// and Quit leave the race with their settings; and a held driving key
// keeps driving, since the GUI takes keys only while the name entry shows.
#include <gtest/gtest.h>

#include <cmath>

#include "game/kart/vehicle_master.h"
#include "game/race/game_mode.h"
#include "game/saves/highscore.h"
#include "game/saves/highscore_kind.h"
#include "platform/input/dinput.h"
#include "tests/gui/race_frames_fixture.h"

namespace {

constexpr int kAccelerate = 2, kUseExtra = 6;  // bindings of player 1

Position3 kartPosition(Race& race, int k) {
  Position3 at;
  race.m_karts[k]->getPosition(at);
  return at;
}

TEST_F(RaceFrames, EscapeStopsTheRaceAndItsSoundsUntilResume) {
  chooseRace(kModeRace);
  ASSERT_TRUE(load());
  OnscreenDisplays& d = displays();
  // Before the start the clock stands; a pause and resume leave it so.
  tap(DIK_ESCAPE);
  ASSERT_TRUE(d.pauseDialogVisible());
  click(d.m_pauseResumeButton);
  EXPECT_FALSE(d.pauseDialogVisible());
  EXPECT_FALSE(race->m_timer->isRunning());
  EXPECT_EQ(race->m_paused, 0);

  startRace();
  frames(5);
  const float music = musicVolume();
  ASSERT_GT(music, 0.0f);
  EXPECT_FALSE(gui->m_mouseCursor->isVisible());
  tap(DIK_ESCAPE);
  ASSERT_TRUE(d.pauseDialogVisible());
  EXPECT_EQ(race->m_paused, 1);
  EXPECT_FALSE(race->m_timer->isRunning());
  EXPECT_TRUE(soundsSilent());
  EXPECT_TRUE(gui->m_mouseCursor->isVisible());
  const float stopped = gameTime();
  const double simulated = race->m_simTime;
  frames(10);
  EXPECT_EQ(gameTime(), stopped);
  EXPECT_EQ(race->m_simTime, simulated);
  // P and Escape change nothing while the dialog shows.
  tap(DIK_P);
  tap(DIK_ESCAPE);
  EXPECT_TRUE(d.pauseDialogVisible());
  EXPECT_EQ(race->m_paused, 1);
  EXPECT_FALSE(race->m_timer->isRunning());

  click(d.m_pauseResumeButton);
  EXPECT_FALSE(d.pauseDialogVisible());
  EXPECT_EQ(race->m_paused, 0);
  EXPECT_TRUE(race->m_timer->isRunning());
  EXPECT_FLOAT_EQ(musicVolume(), music);
  EXPECT_FALSE(soundsSilent());
  EXPECT_FALSE(gui->m_mouseCursor->isVisible());
  // The clock goes on from where it stopped: the pause is no race time.
  frames(4);
  EXPECT_NEAR(gameTime(), stopped + 4 * kFrame, 1e-3);
  EXPECT_GT(race->m_simTime, simulated);
  EXPECT_EQ(race->m_leave, 0);
}

TEST_F(RaceFrames, APausePressedBeforeEscapeOutlastsResumeUntilPAgain) {
  chooseRace(kModeRace);
  ASSERT_TRUE(load());
  OnscreenDisplays& d = displays();
  startRace();
  frames(3);
  const float music = musicVolume();
  tap(DIK_P);
  EXPECT_EQ(race->m_paused, 1);
  EXPECT_FALSE(race->m_timer->isRunning());
  EXPECT_TRUE(soundsSilent());
  EXPECT_FALSE(d.pauseDialogVisible());

  tap(DIK_ESCAPE);
  ASSERT_TRUE(d.pauseDialogVisible());
  click(d.m_pauseResumeButton);
  EXPECT_FALSE(d.pauseDialogVisible());
  EXPECT_EQ(race->m_paused, 1);
  EXPECT_FALSE(race->m_timer->isRunning());
  EXPECT_TRUE(soundsSilent());
  const float held = gameTime();
  const double simulated = race->m_simTime;
  frames(10);
  EXPECT_EQ(gameTime(), held);
  EXPECT_EQ(race->m_simTime, simulated);

  tap(DIK_P);
  EXPECT_EQ(race->m_paused, 0);
  EXPECT_TRUE(race->m_timer->isRunning());
  EXPECT_FLOAT_EQ(musicVolume(), music);
  frames(2);
  EXPECT_NEAR(gameTime(), held + 3 * kFrame, 1e-3);  // the frame P went up in, and two
  EXPECT_GT(race->m_simTime, simulated);
}

TEST_F(RaceFrames, AHeldAccelerateKeyDrivesFrameAfterFrame) {
  chooseRace(kModeTimeTrial, 0, 1);
  ASSERT_TRUE(load());
  startRace();
  const std::uint8_t accelerate = playerKey(kAccelerate);
  const Position3 start = kartPosition(*race, 0);
  keyDown(accelerate);
  // Space started the race; now it is player 1's extra key, which acts as
  // long as it is held.
  EXPECT_EQ(playerKey(kUseExtra), DIK_SPACE);
  keyDown(DIK_SPACE);
  frames(10);
  EXPECT_EQ(input->m_key[accelerate], 1) << "a frame took the held key";
  EXPECT_EQ(input->m_key[DIK_SPACE], 1) << "a frame took the held key";
  const float early = race->m_karts[0]->getMaster()->getSpeed();
  frames(20);
  EXPECT_EQ(input->m_key[accelerate], 1);
  const float later = race->m_karts[0]->getMaster()->getSpeed();
  EXPECT_GT(early, 0.0f);
  EXPECT_GT(later, early) << "the kart went on speeding up";
  const Position3 now = kartPosition(*race, 0);
  EXPECT_GT(std::hypot(now.x - start.x, now.z - start.z), 5.0f);
  keyUp(accelerate);
  keyUp(DIK_SPACE);
  frame();
  EXPECT_EQ(input->m_key[accelerate], 0);
}

TEST_F(RaceFrames, EndRaceLeavesTheCupWhereItWas) {
  // A cup's second race ended from the pause: the cup neither goes on nor
  // enters anything, and the hints stay for the menu.
  chooseRace(kModeChampionship, 1);
  config->m_ccm.set(1);
  ASSERT_TRUE(load());
  startRace();
  frames(2);
  config->m_showHighscores = config->m_highscoreMusic = 1;
  tap(DIK_ESCAPE);
  ASSERT_TRUE(displays().pauseDialogVisible());
  EXPECT_FALSE(displays().m_pauseEndRaceButton->isEffectiveDisabled());
  EXPECT_EQ(control.getState(), NetControl::kStateInitial);
  click(displays().m_pauseEndRaceButton);
  EXPECT_TRUE(owner->finished());
  EXPECT_EQ(race->m_leave, 1);
  EXPECT_EQ(config->m_raceEndedFromPause, 1);
  EXPECT_EQ(control.getState(), NetControl::kStateLeft);
  EXPECT_EQ(config->m_showHighscores, 1);
  EXPECT_EQ(config->m_highscoreMusic, 1);
  EXPECT_EQ(config->m_track.get(), 1);
  EXPECT_EQ(config->m_skipMenu, 0);
  EXPECT_FALSE(displays().pauseDialogVisible());
  EXPECT_FALSE(gui->m_mouseCursor->isVisible());
  ASSERT_NE(race->m_highscores, nullptr);
  for (int kind : {kTableCup1, kTableCup2})
    EXPECT_STREQ(race->m_highscores->table(kind, 1)->getEntry(0, 0)->name, "") << kind;
}

TEST_F(RaceFrames, QuitLeavesForTheMainMenu) {
  chooseRace(kModeRace);
  ASSERT_TRUE(load());
  config->m_showHighscores = config->m_highscoreMusic = 1;
  startRace();
  tap(DIK_ESCAPE);
  ASSERT_TRUE(displays().pauseDialogVisible());
  click(displays().m_pauseQuitButton);
  EXPECT_TRUE(owner->finished());
  EXPECT_EQ(race->m_leave, 1);
  EXPECT_EQ(config->m_showHighscores, 0);
  EXPECT_EQ(config->m_highscoreMusic, 0);
  EXPECT_EQ(config->m_raceEndedFromPause, 0);
  EXPECT_EQ(control.getState(), NetControl::kStateLeft);
  EXPECT_FALSE(displays().pauseDialogVisible());
}

}  // namespace
