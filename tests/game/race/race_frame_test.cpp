// The race frame on a hand-moved clock: fixed steps, a pause, the boxes,
// the countdown and its start, the race keys, what the GUI is fed, the
// network start and a lost connection.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/input/dinput.h"
#include "platform/input/key_codes.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "tests/game/race/race_frame_fixture.h"

namespace {

PhysicsObject& box(Race& race, std::size_t i) { return *dynamic_cast<PhysicsObject*>(race.m_boxes.at(i)); }

TEST_F(RaceFrameTest, ALongFrameTakesTwentyStepsAndDropsTheRestThenShortFramesCatchUp) {
  loadRunning();
  advance(0.35);
  EXPECT_EQ(race->stepPhysics(), 20);
  EXPECT_DOUBLE_EQ(race->m_simTime, race->m_timer->gameTime()) << "0.15 s dropped";
  advance(0.1);
  const int steps = race->stepPhysics();
  EXPECT_GE(steps, 10);
  EXPECT_LE(steps, 11);
  EXPECT_GE(race->m_simTime, race->m_timer->gameTime());
  EXPECT_LT(race->m_simTime, race->m_timer->gameTime() + Race::kPhysicsStep);
  // The timer stands: nothing to do.
  EXPECT_EQ(race->stepPhysics(), 0);
}

TEST_F(RaceFrameTest, PausedNoStepRunsAndBoxesWaitYetTheyTurnHitsCountAndTheFramePresents) {
  loadRunning();
  activateAll();
  advance(0.1);
  race->update(input);
  box(*race, 0).reappearTime = 5.0f;
  const float heading = race->m_boxes[1]->rotation[0].value;
  // Kart 2's mine under kart 0.
  kart(2).m_net.m_extraMinePos.set(positionOf(0));
  race->m_paused = 1;
  const double simTime = race->m_simTime;
  const int renders = gui.renders;
  const int presents = log->count("Present(");

  advance(0.1);
  race->update(input);
  EXPECT_EQ(race->m_simTime, simTime);
  EXPECT_FLOAT_EQ(box(*race, 0).reappearTime, 5.0f);
  EXPECT_NEAR(race->m_boxes[1]->rotation[0].value, heading + 0.05f, 1e-5f);
  EXPECT_FLOAT_EQ(kart(0).m_status.mineHit, 1.0f);
  EXPECT_EQ(gui.renders, renders + 1);
  EXPECT_EQ(log->count("Present("), presents + 1);
}

TEST_F(RaceFrameTest, ABoxComesBackWhenItsWaitEndsEvenExactlyAtZero) {
  loadRunning();
  PhysicsObject& taken = box(*race, 0);
  Matrix4x3 world;
  taken.worldMatrix(world, 0.0, true);
  const float y = world.m[13];
  const float below[3] = {world.m[12], y - 100.0f, world.m[14]};
  taken.setPosition(below);
  taken.invalidate();
  taken.reappearTime = 10.0f;
  race->runBoxTimers(20);
  EXPECT_NEAR(taken.reappearTime, 9.8f, 1e-5f);
  race->runBoxTimers(0);
  EXPECT_NEAR(taken.reappearTime, 9.8f, 1e-5f);

  // The wait that runs out exactly: such frames come, now and then.
  taken.reappearTime = 20.0f * static_cast<float>(Race::kPhysicsStep);
  race->runBoxTimers(20);
  EXPECT_EQ(taken.reappearTime, 0.0f);
  taken.worldMatrix(world, 0.0, true);
  EXPECT_NEAR(world.m[13], y, 1e-4f) << "lifted back onto the road";
}

TEST_F(RaceFrameTest, SpaceStartsTheCountdownWhoseSecondsShowThreeTwoOneGoAndLetTheKartsRace) {
  race_fixture::chooseRace(config, 1);
  ASSERT_TRUE(load());
  auto ready = [&](int record) { return config.m_player[record].get().raceReady; };
  config.m_player[0].modify()->raceReady[0] = config.m_player[0].modify()->raceReady[1] = 1;
  // Before the start the timer stands and nothing moves.
  clock.advance(5.0);
  race->update(input);
  EXPECT_EQ(race->m_countdownState, Race::kCountdownWaiting);
  EXPECT_EQ(race->m_simTime, 0.0);

  press(DIK_SPACE);
  race->update(input);
  EXPECT_EQ(input.m_key[DIK_SPACE], 0) << "taken";
  EXPECT_EQ(race->m_countdownState, 0);
  EXPECT_TRUE(race->m_timer->isRunning());
  EXPECT_EQ(race->m_countdownStart, 0.0f);
  EXPECT_EQ(displays().calls.back(), "showCountdown 0");

  RecordingSoundBuffer* beep = recorded(race->m_beepSound.get());
  RecordingSoundBuffer* go = recorded(race->m_startSound.get());
  const int images[] = {3, 2, 1, 0};
  for (int second = 0; second < 4; ++second) {
    for (double part : {0.1, 0.6}) {
      displays().calls.clear();
      advance(second == 0 && part == 0.1 ? 0.1 : 0.5);
      race->update(input);
      EXPECT_EQ(displays().calls.front(), "setCountdownImage 0 " + std::to_string(images[second]))
          << "second " << second;
      EXPECT_EQ(beep->plays, std::min(second + 1, 3));
      EXPECT_EQ(go->plays, second == 3 ? 1 : 0);
      EXPECT_EQ(kart(1).m_net.m_active.get(), second == 3) << "second " << second;
      EXPECT_EQ(ready(0)[0] == 0 && ready(0)[1] == 0, second == 3);
    }
  }
  EXPECT_EQ(race->m_countdownState, 4);
  EXPECT_NEAR(race->m_raceStart, 3.1f, 1e-4f);
  advance(0.5);
  race->update(input);
  EXPECT_EQ(race->m_countdownState, Race::kCountdownRacing);
  EXPECT_NE(std::find(displays().calls.begin(), displays().calls.end(), "hideCountdown 0"), displays().calls.end());
  EXPECT_NEAR(race->m_raceStart, 3.1f, 1e-4f) << "kept";
  EXPECT_GT(race->m_simTime, 4.0);
}

TEST_F(RaceFrameTest, OutsideANetworkRaceTheReadyBytesClearedAreThoseOfViewZerosKart) {
  race_fixture::chooseRace(config, 1);
  ASSERT_TRUE(load());
  race->m_viewKart[0] = 2;
  for (int record : {0, 2}) config.m_player[record].modify()->raceReady[0] = 1;
  race->m_countdownState = 3;
  race->m_timer->start();
  advance(3.5);
  race->runCountdown();
  EXPECT_EQ(config.m_player[2].get().raceReady[0], 0);
  EXPECT_EQ(config.m_player[0].get().raceReady[0], 1) << "the unseated network slot 0";
}

TEST_F(RaceFrameTest, ATimerThatRanBeforeTheStartDoesNotHoldTheKartsAfterIt) {
  race_fixture::chooseRace(config, 1);
  ASSERT_TRUE(load());
  race->m_timer->resume();  // as a pause before the start ends
  advance(8.0);
  race->update(input);
  ASSERT_GT(race->m_simTime, 0.0);
  press(DIK_SPACE);
  race->update(input);
  EXPECT_EQ(race->m_simTime, 0.0);
  advance(0.1);
  race->update(input);
  EXPECT_GT(race->m_simTime, 0.09);
}

TEST_F(RaceFrameTest, InANetworkRaceSpaceMarksThisMachinesRecordsAndTheCountdownWaitsForEveryone) {
  race_fixture::chooseRace(config, 1);
  ASSERT_TRUE(load());
  config.m_playType = 2;
  config.m_controlType[1] = 3;  // a player on another machine
  press(DIK_SPACE);
  race->update(input);
  EXPECT_EQ(race->m_countdownState, Race::kCountdownWaiting);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(config.m_player[i].get().raceReady[0], i == 1 ? 0 : 1) << i;
  EXPECT_NE(std::find(displays().calls.begin(), displays().calls.end(), "setWaitMessageText"), displays().calls.end());

  config.m_player[1].modify()->raceReady[0] = 1;  // his arrives
  race->update(input);
  EXPECT_EQ(race->m_countdownState, 0);
  EXPECT_EQ(displays().calls.back(), "showCountdown 0");
}

TEST_F(RaceFrameTest, ALostConnectionShowsItsMessageAndStopsTheKartsUnlessADialogIsOpen) {
  loadRunning();
  activateAll();
  config.m_playType = 2;
  displays().pauseDialog = true;
  race->checkConnection();
  EXPECT_TRUE(kart(0).m_net.m_active.get());
  displays().pauseDialog = false;
  race->checkConnection();
  EXPECT_EQ(displays().calls.back(), "showMessageBox 9100");
  for (int k = 0; k < 6; ++k) EXPECT_FALSE(race->m_karts[k]->m_net.m_active.get());
}

TEST_F(RaceFrameTest, PPausesAndResumesTheTimerAndTheSoundsButNeverInANetworkRace) {
  loadRunning();
  press(DIK_P);
  race->readRaceKeys(input);
  EXPECT_EQ(race->m_paused, 1);
  EXPECT_FALSE(race->m_timer->isRunning());
  EXPECT_FLOAT_EQ(kartSound(0, 0)->volume, 0.0f);
  press(DIK_P);
  race->readRaceKeys(input);
  EXPECT_EQ(race->m_paused, 0);
  EXPECT_TRUE(race->m_timer->isRunning());
  config.m_playType = 2;
  press(DIK_P);
  race->readRaceKeys(input);
  EXPECT_EQ(race->m_paused, 0);
  EXPECT_NE(input.m_key[DIK_P], 0) << "a network race leaves the key alone";
}

TEST_F(RaceFrameTest, BackspaceRespawnsOncePerPressAndTabHoldsTheRearViewButNotOverTheFinishView) {
  loadRunning();
  kart(0).m_net.m_cameraReset.set(false);
  press(DIK_BACK);
  race->readRaceKeys(input);
  EXPECT_TRUE(kart(0).m_net.m_cameraReset.get());
  kart(0).m_net.m_cameraReset.set(false);
  race->readRaceKeys(input);  // still held: the byte was taken
  EXPECT_FALSE(kart(0).m_net.m_cameraReset.get());

  press(DIK_TAB);
  race->readRaceKeys(input);
  race->readRaceKeys(input);
  EXPECT_EQ(race->m_cameraMode[0], Race::kCameraRear);
  input.m_key[DIK_TAB] = 0;
  race->readRaceKeys(input);
  EXPECT_EQ(race->m_cameraMode[0], Race::kCameraChase);
  input.m_joyButton[3] = 1;
  race->readRaceKeys(input);
  EXPECT_EQ(race->m_cameraMode[0], Race::kCameraRear);
  input.m_joyButton[3] = 0;

  race->m_cameraMode[0] = Race::kCameraFinish;
  press(DIK_TAB);
  press(DIK_BACK);
  race->readRaceKeys(input);
  EXPECT_EQ(race->m_cameraMode[0], Race::kCameraFinish);
  EXPECT_FALSE(kart(0).m_net.m_cameraReset.get());
  // The split-screen keys belong to the second view only when there is one.
  press(DIK_NUMPAD0);
  race->readRaceKeys(input);
  EXPECT_EQ(race->m_cameraMode[1], Race::kCameraChase);
}

// Put back by its player while another kart's magnet pulls it, a kart stays
// where it was put: the pull ends with the magnet parked, as when it runs
// out, and no longer drags the kart back through whatever lies between.
TEST_F(RaceFrameTest, BackspaceDuringAMagnetsPullLeavesTheKartWhereItWasPutBack) {
  loadRunning();
  activateAll();
  const Position3 at = positionOf(0);
  kart(1).m_net.m_effectMagnetPos.set({at.x + 3.0f, at.y, at.z});
  advance(0.05);
  race->update(input);
  ASSERT_NE(kart(0).m_status.magnet, 0.0f) << "caught by kart 1's magnet";
  ASSERT_EQ(kart(0).m_net.m_effectMagnetObjectIndex.get(), 1);

  press(DIK_BACK);
  advance(0.05);
  race->update(input);
  input.m_key[DIK_BACK] = 0;
  const Position3 putBack = positionOf(0);
  EXPECT_EQ(kart(0).m_status.magnet, 0.0f);
  EXPECT_EQ(kart(0).m_net.m_effectMagnetObjectIndex.get(), -1);
  EXPECT_FLOAT_EQ(kart(1).m_net.m_effectMagnetPos.get().y, -100.0f) << "parked";
  for (int frame = 0; frame < 10; ++frame) {
    advance(0.05);
    race->update(input);
    const Position3 now = positionOf(0);
    ASSERT_LT(std::hypot(now.x - putBack.x, now.z - putBack.z), 0.01f) << "frame " << frame;
  }
}

TEST_F(RaceFrameTest, TheGuiGetsMouseAndTimeEveryFrameButKeysOnlyWhileTheNameEntryShows) {
  loadRunning();
  for (int i = 0; i < 3; ++i) {
    advance(0.02);
    race->update(input);
  }
  EXPECT_EQ(gui.mouseInjections, 3);
  EXPECT_EQ(gui.timePulses.size(), 3u);
  EXPECT_EQ(gui.keyboardInjections, 0);
  displays().highscoreEntry = true;
  race->update(input);
  EXPECT_EQ(gui.keyboardInjections, 1);
  EXPECT_EQ(gui.mouseInjections, 4);
}

TEST_F(RaceFrameTest, AfterEachExchangeTheAnnouncedSoundsGoBackToZeroSoTheSameOneIsSentAgain) {
  loadRunning();
  kart(0).announceSound(kSoundPickUp);
  kart(3).m_net.m_soundStop.set(kSoundTurbo);
  race->endFrame();
  EXPECT_EQ(kart(0).m_net.m_soundStart.get(), 0);
  EXPECT_EQ(kart(3).m_net.m_soundStop.get(), 0);
  EXPECT_EQ(race->m_frame, 1u);
}

}  // namespace
