// Two machines of a network race in one process: a relay on a free port,
// a host and a client, each with its own control, settings and race. The
// client's load waits for the host's records, on the loading window's
// pump, as long as the host keeps talking.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "game/kart/vehicle_client.h"
#include "game/kart/vehicle_master.h"
#include "input/input_device.h"
#include "net/relay_server.h"
#include "scene/scene_root.h"
#include "tests/game/race/race_fixture.h"

namespace {

using namespace race_fixture;
using Clock = std::chrono::steady_clock;

class NetworkRace : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    ASSERT_TRUE(relay.waitListening());
    ASSERT_EQ(hostControl.hostGame("127.0.0.1", relay.port(), 3000), NetControl::JoinResult::Accepted);
    ASSERT_EQ(clientControl.joinGame("127.0.0.1", relay.port(), 3000), NetControl::JoinResult::Accepted);
    ASSERT_EQ(clientControl.playerSlot(), 1);
    hostGui.texts = clientGui.texts = raceTexts();
    host = std::make_unique<Race>(pipeline.get(), &hostGui, hostControl);
    client = std::make_unique<Race>(pipeline.get(), &clientGui, clientControl);

    // The host drives record 0 and decides; the client drives record 1. A
    // machine takes the others' records as they come.
    chooseRace(hostConfig, 1);
    chooseRace(clientConfig, 1);
    for (Config* config : {&hostConfig, &clientConfig}) {
      config->m_playType = 2;
      for (int i = 0; i < 6; ++i) {
        ConfigPlayer* r = config->m_player[i].modify();
        r->character = r->kart = -1;
        config->m_controlType[i] = 3;
      }
    }
    hostConfig.m_controlType[0] = 0;
    hostConfig.m_player[1].setFlags(kNetAcceptReceived);
    clientConfig.m_isAuthority = 0;
    clientConfig.m_controlType[1] = 4;
    for (int i : {0, 2, 3, 4, 5}) clientConfig.m_player[i].setFlags(kNetAcceptReceived);

    // The players' grid slots, where the computer drivers would sit.
    ConfigPlayer* mine = clientConfig.m_player[1].modify();
    mine->character = 1;
    mine->kart = 1;
    mine->startPosition = 0;
    clientControl.update();
    ASSERT_TRUE(hostControl.updateUntil([&] { return hostConfig.m_player[1].get().kart == 1; }, 3000));
    // The host's own record is on its way, its kart not chosen yet.
    ConfigPlayer* own = hostConfig.m_player[0].modify();
    own->character = 0;
    own->startPosition = 3;
    hostControl.update();
    ASSERT_TRUE(clientControl.updateUntil([&] { return clientConfig.m_player[0].get().character == 0; }, 3000));
  }
  void TearDown() override {
    client.reset();
    host.reset();
    pipeline.reset();
    PipelineTest::TearDown();
  }
  bool loadClient() { return client->load(&raceFiles(), &clientSound, clientConfig); }
  bool loadHost() {
    hostConfig.m_player[0].modify()->kart = 0;
    return host->load(&raceFiles(), &hostSound, hostConfig);
  }
  void expectClientLeftWithNothing() {
    EXPECT_EQ(client->m_root, nullptr);
    for (Vehicle* kart : client->m_karts) EXPECT_EQ(kart, nullptr);
    EXPECT_TRUE(clientSound.buffers().empty());
    EXPECT_FALSE(clientControl.isConnected());
    EXPECT_TRUE(client->unload());
  }

  GameDaemon::ServerThread relay{0};
  ScratchDir scratch;
  NetControl hostControl, clientControl;
  Config hostConfig{nullptr, hostControl, Config::SavedFile::Ignore};
  Config clientConfig{nullptr, clientControl, Config::SavedFile::Ignore};
  RecordingSoundDevice hostSound, clientSound;
  RecordingRaceGui hostGui, clientGui;
  std::unique_ptr<Race> host, client;
};

TEST_F(NetworkRace, TheClientWaitsWhileTheHostTalksAndLoadsOnceEveryRecordHasCome) {
  client->m_networkIdleTimeout = 0.6;
  // The host chats for longer than the idle time, then loads its race.
  const auto start = Clock::now();
  bool waitedForKart0 = false;
  int chatter = 0;
  clientGui.onPump = [&] {
    if (host->m_root) return;
    if (Clock::now() - start < std::chrono::milliseconds(1500)) {
      // Character 0 has come, its kart not: nothing of kart 0 is built.
      waitedForKart0 = client->m_karts[0] == nullptr && clientGui.progress.back() == 30.0f;
      hostConfig.m_laps.set(10 + ++chatter);
      hostControl.update();
      return;
    }
    ASSERT_TRUE(loadHost());
  };
  ASSERT_TRUE(loadClient());
  EXPECT_TRUE(waitedForKart0);
  EXPECT_GT(Clock::now() - start, std::chrono::milliseconds(1500)) << "what arrives re-arms the idle time";
  EXPECT_GE(chatter, 3);

  // The client: its own kart simulated, every other followed.
  EXPECT_EQ(client->m_viewKart[0], 1);
  ASSERT_NE(client->m_karts[1], nullptr);
  EXPECT_NE(client->m_karts[1]->getMaster(), nullptr);
  for (int k : {0, 2, 3, 4, 5}) {
    ASSERT_NE(client->m_karts[k], nullptr);
    EXPECT_NE(client->m_karts[k]->getClient(), nullptr) << "kart " << k;
  }
  EXPECT_STREQ(clientConfig.m_player[2].get().name, "Alien");
  // The host: its player and the computer drivers simulated, the client's
  // kart followed.
  EXPECT_NE(host->m_karts[0]->getMaster(), nullptr);
  EXPECT_NE(host->m_karts[1]->getClient(), nullptr);
  EXPECT_TRUE(host->m_karts[5]->controller()->isAI());

  // The computer drivers take the grid slots the players left, in record
  // order; both machines see the same grid.
  const int expected[6] = {3, 0, 1, 2, 4, 5};
  std::set<int> slots;
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(hostConfig.m_player[i].get().startPosition, expected[i]) << "record " << i;
    EXPECT_EQ(clientConfig.m_player[i].get().startPosition, expected[i]) << "record " << i;
    slots.insert(hostConfig.m_player[i].get().startPosition);
  }
  EXPECT_EQ(slots.size(), 6u);
}

TEST_F(NetworkRace, OnceLoadedTheHostTakesNobodyAndAClientLeavingEndsItsRaceWith9110) {
  ASSERT_TRUE(loadHost());
  ASSERT_TRUE(loadClient());
  // The host's race locked the game: a late join is refused however many
  // seats are free, and any departure is announced.
  NetControl late;
  EXPECT_EQ(late.joinGame("127.0.0.1", relay.port(), 3000), NetControl::JoinResult::Refused);
  InputDevice input;
  host->update(input);
  auto shown = [&](const char* call) {
    const auto& calls = hostGui.displays->calls;
    return std::count(calls.begin(), calls.end(), std::string(call));
  };
  EXPECT_EQ(shown("showMessageBox 9110"), 0);

  clientControl.leave();
  const auto until = Clock::now() + std::chrono::seconds(5);
  while (hostControl.isConnected() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(hostControl.getState(), NetControl::kStatePlayerLeft);
  host->update(input);
  host->update(input);
  EXPECT_EQ(shown("showMessageBox 9110"), 1);
  for (int k = 0; k < 6; ++k) EXPECT_FALSE(host->m_karts[k]->m_net.m_active.get()) << "kart " << k;
}

TEST_F(NetworkRace, ASilentHostEndsTheWaitAfterTheIdleTime) {
  client->m_networkIdleTimeout = 0.5;
  const auto start = Clock::now();
  EXPECT_FALSE(loadClient());
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(500));
  EXPECT_LT(waited, std::chrono::seconds(5));
  EXPECT_GT(clientGui.pumps, 1) << "the loading window stayed responsive";
  EXPECT_EQ(clientGui.loadingTexts, std::vector<std::string>{"Verbindung weg"});
  EXPECT_EQ(clientControl.getState(), NetControl::kStateLeft);
  expectClientLeftWithNothing();
}

TEST_F(NetworkRace, AHostThatLeavesEndsTheWaitAtOnceWithItsText) {
  clientGui.onPump = [&] {
    if (hostControl.isConnected()) hostControl.leave();
  };
  const auto start = Clock::now();
  EXPECT_FALSE(loadClient());
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << "not the 30 s of a silent host";
  EXPECT_EQ(clientGui.loadingTexts, std::vector<std::string>{"Host weg"});
  expectClientLeftWithNothing();
}

TEST_F(NetworkRace, AnEngineClassOutsideTheTablesArrivingDuringTheWaitEndsTheLoad) {
  clientGui.onPump = [&] {
    hostConfig.m_ccm.set(5);
    hostControl.update();
  };
  const auto start = Clock::now();
  EXPECT_FALSE(loadClient());
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << "at once, not after the idle time";
  EXPECT_EQ(clientConfig.m_ccm.get(), 5);
  EXPECT_EQ(clientGui.loadingTexts, std::vector<std::string>{"Verbindung weg"});
  expectClientLeftWithNothing();
}

TEST_F(NetworkRace, AQuitFromTheLoadingWindowEndsTheWait) {
  clientGui.quit = true;
  EXPECT_FALSE(loadClient());
  EXPECT_EQ(clientGui.pumps, 1);
  EXPECT_EQ(clientGui.loadingTexts, std::vector<std::string>{"Verbindung weg"});
  expectClientLeftWithNothing();
}

}  // namespace
