// The pause dialog and the lost-connection box of a network race, frame by
// frame, with a relay on a free port and a bare peer beside the race: the
// pause runs on with the clock and cannot end the race for the others, and
// a lost connection says who went (the host, another player, or the
// connection itself) until OK leaves.
#include <gtest/gtest.h>

#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "net/relay_server.h"
#include "platform/input/dinput.h"
#include "tests/gui/race_frames_fixture.h"
#include "tests/support/eventually.h"

namespace {

constexpr DWORD kWaitMs = 3000;

class NetworkRaceFrames : public RaceFrames {
 protected:
  void SetUp() override {
    RaceFrames::SetUp();
    ASSERT_TRUE(relay.waitListening());
  }
  void TearDown() override {
    peer.leave();
    RaceFrames::TearDown();
  }

  // A network race with this machine in `slot`: the host decides (the
  // other records become computer drivers), a client takes every record as
  // it stands.
  void chooseNetworkRace(int slot) {
    chooseRace(kModeRace);
    config->m_playType = kPlayNetwork;
    config->m_isAuthority = slot == 0 ? 1 : 0;
    for (int i = 0; i < Config::kPlayerCount; ++i) {
      ConfigPlayer* r = config->m_player[i].modify();
      const bool known = i == slot || slot != 0;
      r->character = known ? i : -1;
      r->kart = known ? i : -1;
      config->m_controlType[i] = i == slot ? kControlNetLocal : kControlRemote;
    }
  }
  bool messageBoxShows() { return displays().messageBoxVisible(); }
  std::string messageText() { return displays().m_messageText->getText().c_str(); }
  std::string text(int id) { return race->m_texts->getText(id); }

  GameDaemon::ServerThread relay{0};
  NetControl peer;
};

TEST_F(NetworkRaceFrames, PauseKeepsTheClockAndAPlayerLeavingIsToldUntilOk) {
  ASSERT_EQ(control.hostGame("127.0.0.1", relay.port(), kWaitMs), NetControl::JoinResult::Accepted);
  ASSERT_EQ(peer.joinGame("127.0.0.1", relay.port(), kWaitMs), NetControl::JoinResult::Accepted);
  ASSERT_TRUE(control.setLocked(true));  // the race has begun: nobody joins
  chooseNetworkRace(0);
  ASSERT_TRUE(load());
  OnscreenDisplays& d = displays();
  startRace();
  frames(2);
  const float music = musicVolume();

  tap(DIK_ESCAPE);
  ASSERT_TRUE(d.pauseDialogVisible());
  EXPECT_EQ(race->m_paused, 0);
  EXPECT_TRUE(race->m_timer->isRunning());
  EXPECT_TRUE(soundsSilent());
  EXPECT_TRUE(d.m_pauseEndRaceButton->isEffectiveDisabled());
  const float opened = gameTime();
  const double simulated = race->m_simTime;
  frames(4);
  EXPECT_NEAR(gameTime(), opened + 4 * kFrame, 1e-3);
  EXPECT_GT(race->m_simTime, simulated);
  // Nobody ends the race for the others, and P pauses nothing.
  click(d.m_pauseEndRaceButton);
  tap(DIK_P);
  EXPECT_TRUE(d.pauseDialogVisible());
  EXPECT_EQ(race->m_leave, 0);
  EXPECT_EQ(race->m_paused, 0);
  EXPECT_TRUE(control.isConnected());
  click(d.m_pauseResumeButton);
  EXPECT_FALSE(d.pauseDialogVisible());
  EXPECT_TRUE(race->m_timer->isRunning());
  EXPECT_FLOAT_EQ(musicVolume(), music);

  peer.leave();
  // The relay passes the leave on in its own time.
  ASSERT_TRUE(eventually([&] { return control.getState() == NetControl::kStatePlayerLeft; }, 10000));
  ASSERT_TRUE(framesUntil([&] { return messageBoxShows(); }, 200)) << "state " << control.getState();
  EXPECT_EQ(messageText(), text(9110));
  EXPECT_TRUE(d.m_messageBox->isAlwaysOnTop());
  EXPECT_TRUE(gui->m_mouseCursor->isVisible());
  for (Vehicle* kart : race->m_karts) EXPECT_FALSE(kart->m_net.m_active.get());
  // The box is the only way on: Escape opens no pause over it.
  tap(DIK_ESCAPE);
  EXPECT_FALSE(d.pauseDialogVisible());
  EXPECT_EQ(race->m_leave, 0);
  click(d.m_messageOkButton);
  EXPECT_FALSE(messageBoxShows());
  EXPECT_FALSE(gui->m_mouseCursor->isVisible());
  EXPECT_TRUE(owner->finished());
  EXPECT_EQ(control.getState(), NetControl::kStateLeft);
}

TEST_F(NetworkRaceFrames, TheHostLeavingIsToldToTheClient) {
  ASSERT_EQ(peer.hostGame("127.0.0.1", relay.port(), kWaitMs), NetControl::JoinResult::Accepted);
  ASSERT_EQ(control.joinGame("127.0.0.1", relay.port(), kWaitMs), NetControl::JoinResult::Accepted);
  ASSERT_EQ(control.playerSlot(), 1);
  chooseNetworkRace(1);
  ASSERT_TRUE(load());
  EXPECT_EQ(race->m_viewKart[0], 1);
  frames(2);
  EXPECT_FALSE(messageBoxShows());
  peer.leave();
  ASSERT_TRUE(eventually([&] { return control.getState() == NetControl::kStateHostLeft; }, 10000));
  ASSERT_TRUE(framesUntil([&] { return messageBoxShows(); }, 200)) << "state " << control.getState();
  EXPECT_EQ(messageText(), text(9140));
  click(displays().m_messageOkButton);
  EXPECT_TRUE(owner->finished());
  EXPECT_EQ(control.getState(), NetControl::kStateLeft);
}

TEST_F(NetworkRaceFrames, ALostConnectionWaitsForThePauseDialogToClose) {
  ASSERT_EQ(control.hostGame("127.0.0.1", relay.port(), kWaitMs), NetControl::JoinResult::Accepted);
  chooseNetworkRace(0);
  ASSERT_TRUE(load());
  OnscreenDisplays& d = displays();
  startRace();
  tap(DIK_ESCAPE);
  ASSERT_TRUE(d.pauseDialogVisible());
  ASSERT_TRUE(relay.stop());
  ASSERT_TRUE(framesUntilHeard([&] { return !control.isConnected(); }));
  frames(3);
  EXPECT_FALSE(messageBoxShows()) << "over the pause dialog";
  click(d.m_pauseResumeButton);
  ASSERT_TRUE(framesUntil([&] { return messageBoxShows(); }, 5));
  EXPECT_EQ(control.getState(), NetControl::kStateInitial);
  EXPECT_EQ(messageText(), text(9100));
  click(d.m_messageOkButton);
  EXPECT_TRUE(owner->finished());
  EXPECT_EQ(control.getState(), NetControl::kStateLeft);
}

}  // namespace
