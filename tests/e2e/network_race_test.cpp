// Network races on sample track 0 with real ODE and the recording devices,
// over a relay on a free port. Two machines in this process run their
// frames in turn at 60 a second, each seeing all the other sent before:
// the host with four computer drivers, the client with its one kart. A
// third test runs the client as a process of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

#include "foundation/archive_file.h"
#include "foundation/random.h"
#include "game/kart/kart_items.h"
#include "game/kart/vehicle_client.h"
#include "game/kart/vehicle_master.h"
#include "game/race/race_value_owners.h"
#include "net/relay_server.h"
#include "tests/e2e/child_process.h"
#include "tests/e2e/network_race_machine.h"
#include "tests/support/eventually.h"
#include "tests/support/sample_archive.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr double kFrame = 1.0 / 60.0;
constexpr unsigned kPeerWaitMs = 5000;
constexpr int kHostKart = 0, kClientKart = 1;

float distance(const Position3& a, const Position3& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// The cache of converted textures in the test's own folder.
class TextureCache {
 public:
  explicit TextureCache(const std::filesystem::path& folder) { setenv("TESSALINE_TEXTURE_CACHE", folder.c_str(), 1); }
  ~TextureCache() { unsetenv("TESSALINE_TEXTURE_CACHE"); }
};

class SampleNetworkRace : public ::testing::Test {
 protected:
  void SetUp() override {
    // The same race whatever ran before in this process: both machines
    // draw from the one generator, in turn.
    engineSrand(1);
    ASSERT_NE(screen.pipeline(), nullptr);
    ASSERT_TRUE(relay.waitListening());
    // The relay as the game runs it: each value only from its owner.
    relay.server()->setValueOwners(raceValueOwners());
    host = std::make_unique<NetworkRaceMachine>(screen.pipeline(), clock, true);
    client = std::make_unique<NetworkRaceMachine>(screen.pipeline(), clock, false);
    ASSERT_TRUE(host->seat(relay.port()));
    host->choose(0);
    host->config.m_laps.set(laps);
    host->control.update();
    ASSERT_TRUE(client->seat(relay.port()));
    ASSERT_EQ(client->control.playerSlot(), kClientKart);
    client->choose(1);
    // The lobby's last exchange: each has the other's record.
    ASSERT_TRUE(client->exchangeUntil(
        [&] { return client->config.m_player[kHostKart].get().kart == 0 && client->config.m_laps.get() == laps; },
        5000));
    ASSERT_TRUE(host->exchangeUntil([&] { return host->config.m_player[kClientKart].get().kart == 1; }, 5000));
    ASSERT_TRUE(host->load(builtSampleArchive()));
    ASSERT_TRUE(client->load(builtSampleArchive()));
    host->startMarkers();
    client->startMarkers();
  }
  void TearDown() override {
    client.reset();
    host.reset();
    EXPECT_EQ(relay.server()->refusedMessages(), 0u) << "an honest machine sent a value it does not own";
  }

  // The host's frame, then the client's; each waits for all the other
  // sent in its frame before its own.
  void round(double seconds = kFrame) {
    ++number;
    clock.advance(seconds);
    host->frame(number);
    ASSERT_EQ(Race::s_instance, host->race.get()) << "the race playing is the one that ran last";
    ASSERT_TRUE(client->waitForPeerFrame(number, kPeerWaitMs)) << "frame " << number;
    client->frame(number);
    ASSERT_EQ(Race::s_instance, client->race.get());
    ASSERT_TRUE(host->waitForPeerFrame(number, kPeerWaitMs)) << "frame " << number;
  }
  // Space on both machines, then frames until both count down and race.
  void startBoth() {
    host->pressSpace();
    client->pressSpace();
    for (int i = 0; i < 8 * 60 && !racing(); ++i) ASSERT_NO_FATAL_FAILURE(round());
    ASSERT_TRUE(racing());
  }
  bool racing() const {
    return host->race->m_countdownState == Race::kCountdownRacing &&
           client->race->m_countdownState == Race::kCountdownRacing;
  }
  // Whose kart k is: the machine that simulates it.
  NetworkRaceMachine& ownerOf(int k) { return k == kClientKart ? *client : *host; }
  NetworkRaceMachine& viewerOf(int k) { return k == kClientKart ? *host : *client; }
  // Frames of `seconds` on one machine alone (the other has gone).
  void aloneFor(NetworkRaceMachine& machine, double seconds) {
    for (int f = 0; f < static_cast<int>(seconds * 10); ++f) {
      clock.advance(0.1);
      machine.frame(++number);
    }
  }
  // The relay passes a leave on in its own time, and a loaded machine may
  // run many frames before it arrives: wait for it in real time.
  static bool hears(const NetworkRaceMachine& machine, int state) {
    return eventually([&] { return machine.control.getState() == state; }, 10000);
  }
  bool allStand(NetworkRaceMachine& machine) {
    for (int k = 0; k < machine.race->m_kartCount; ++k) {
      if (machine.kart(k).getMaster() && machine.speedOf(k) != 0.0f) return false;
    }
    return true;
  }

  std::unique_ptr<ScratchDir> scratch = std::make_unique<ScratchDir>();
  TextureCache cache{scratch->m_root / "cache"};
  RecordingScreen screen;
  GameDaemon::ServerThread relay{0};
  SteppedClock clock;
  std::unique_ptr<NetworkRaceMachine> host, client;
  std::int32_t number = 0;
  int laps = NetworkRaceMachine::kLaps;
};

// A race of one lap, for running to its end.
class OneLapNetworkRace : public SampleNetworkRace {
 protected:
  OneLapNetworkRace() { laps = 1; }
};

TEST_F(SampleNetworkRace, EachMachineFollowsTheOthersKartsWithinTwoFramesAndBothEndAlike) {
  // The host decided: four computer drivers beside the two players, every
  // one simulated on the host and followed on the client.
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(host->config.m_controlType[k], k == kHostKart     ? kControlUserSingle
                                             : k == kClientKart ? kControlRemote
                                                                : kControlAI);
    EXPECT_EQ(client->kart(k).getMaster() != nullptr, k == kClientKart) << "kart " << k;
    EXPECT_EQ(host->kart(k).getMaster() != nullptr, k != kClientKart) << "kart " << k;
    EXPECT_EQ(client->config.m_player[k].get().character, host->config.m_player[k].get().character);
  }
  // Each race registered its karts with its own control, none with the
  // game's one.
  EXPECT_EQ(NetControl::getInstance().getValueId(32), nullptr);
  // Loaded, the host's game takes nobody else.
  NetControl late;
  EXPECT_EQ(late.joinGame("127.0.0.1", relay.port(), 3000), NetControl::JoinResult::Refused);

  ASSERT_NO_FATAL_FAILURE(startBoth());
  // Each own kart on the throttle for 3 s, then braked to a stand; then
  // the host's computer drivers are stopped as well.
  host->driver->pedal = client->driver->pedal = ScriptedDriver::Pedal::Throttle;
  float lastSpeed[6] = {};
  Position3 lastPlace[6];
  for (int k = 0; k < 6; ++k) lastPlace[k] = ownerOf(k).placeOf(k);
  int jumps = 0, checked = 0;
  float worst = 0.0f;  // the largest distance in frames' travel
  auto checkFollowing = [&] {
    for (int k = 0; k < 6; ++k) {
      const Position3 master = ownerOf(k).placeOf(k);
      const float speed = ownerOf(k).speedOf(k);
      // A kart put back on the road jumps; its copy follows a frame later.
      if (distance(master, lastPlace[k]) > 1.0f) {
        ++jumps;
      } else {
        // Speeds are per physics step of 0.01 s.
        const float frameTravel = std::max(speed, lastSpeed[k]) * static_cast<float>(kFrame / 0.01);
        const float d = distance(viewerOf(k).placeOf(k), master);
        EXPECT_LE(d, 2.0f * frameTravel + 0.01f) << "kart " << k << " at frame " << number;
        if (frameTravel > 0.0f) worst = std::max(worst, d / frameTravel);
        ++checked;
      }
      lastPlace[k] = master;
      lastSpeed[k] = speed;
    }
  };
  for (int f = 0; f < 3 * 60; ++f) {
    ASSERT_NO_FATAL_FAILURE(round());
    checkFollowing();
  }
  EXPECT_GT(host->speedOf(kHostKart), 0.05f) << "the host's kart drove";
  EXPECT_GT(client->speedOf(kClientKart), 0.05f) << "the client's kart drove";
  host->driver->pedal = client->driver->pedal = ScriptedDriver::Pedal::Brake;
  auto braking = [&] {
    return host->driver->pedal != ScriptedDriver::Pedal::None || client->driver->pedal != ScriptedDriver::Pedal::None;
  };
  for (int f = 0; f < 5 * 60 && braking(); ++f) {
    ASSERT_NO_FATAL_FAILURE(round());
    checkFollowing();
    // Held on at a stand the brake would back the kart up.
    for (NetworkRaceMachine* m : {host.get(), client.get()})
      if (m->ownKartStopped()) m->driver->pedal = ScriptedDriver::Pedal::None;
  }
  ASSERT_EQ(host->driver->pedal, ScriptedDriver::Pedal::None);
  ASSERT_EQ(client->driver->pedal, ScriptedDriver::Pedal::None);
  host->stopComputerDrivers();
  for (int f = 0, standing = 0; standing < 10; ++f) {
    ASSERT_LT(f, 10 * 60) << "the computer drivers do not stop";
    ASSERT_NO_FATAL_FAILURE(round());
    checkFollowing();
    standing = allStand(*host) && allStand(*client) ? standing + 1 : 0;
  }
  EXPECT_LE(jumps, 2);
  EXPECT_GT(checked, 6 * 400);
  RecordProperty("worst_lag_in_frames", std::to_string(worst));
  for (int k = 0; k < 6; ++k) EXPECT_LE(distance(viewerOf(k).placeOf(k), ownerOf(k).placeOf(k)), 0.01f) << "kart " << k;

  // One sound announced in two frames running is heard twice on the peer.
  auto* heard = static_cast<RecordingSoundBuffer*>(client->kart(kHostKart).m_items.sounds[kSoundRespawn].buffer.get());
  ASSERT_NE(heard, nullptr);
  const int before = heard->plays;
  for (int f = 0; f < 2; ++f) {
    host->kart(kHostKart).announceSound(kSoundRespawn);
    ASSERT_NO_FATAL_FAILURE(round());
  }
  ASSERT_NO_FATAL_FAILURE(round());
  EXPECT_EQ(heard->plays, before + 2);
  EXPECT_TRUE(host->messageBoxTexts().empty());
  EXPECT_TRUE(client->messageBoxTexts().empty());
}

TEST_F(SampleNetworkRace, AClientLeavingEndsTheRaceOnTheHostWhoseKartsStop) {
  ASSERT_NO_FATAL_FAILURE(startBoth());
  host->driver->pedal = client->driver->pedal = ScriptedDriver::Pedal::Throttle;
  for (int f = 0; f < 2 * 60; ++f) ASSERT_NO_FATAL_FAILURE(round());
  ASSERT_GT(host->kart(kClientKart).getSpeed(), 0.0f) << "the client's kart drives";

  client->control.leave();
  EXPECT_TRUE(client->race->unload());
  EXPECT_EQ(client->race->m_root, nullptr);
  ASSERT_TRUE(hears(*host, NetControl::kStatePlayerLeft));
  aloneFor(*host, 0.5);
  EXPECT_EQ(host->control.getState(), NetControl::kStatePlayerLeft);
  EXPECT_EQ(host->messageBoxTexts(), std::vector<int>{9110});
  for (int k = 0; k < 6; ++k) EXPECT_FALSE(host->kart(k).m_net.m_active.get()) << "kart " << k;
  // Every kart comes to a stand, the gone client's where last reported.
  aloneFor(*host, 8.0);
  EXPECT_TRUE(allStand(*host));
  Position3 before[6];
  for (int k = 0; k < 6; ++k) before[k] = host->placeOf(k);
  aloneFor(*host, 1.0);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(distance(host->placeOf(k), before[k]), 0.0f) << "kart " << k;
  EXPECT_EQ(host->messageBoxTexts(), std::vector<int>{9110}) << "shown once";
  EXPECT_TRUE(host->race->unload());
}

TEST_F(SampleNetworkRace, TheHostLeavingEndsTheRaceOnTheClient) {
  ASSERT_NO_FATAL_FAILURE(startBoth());
  client->driver->pedal = ScriptedDriver::Pedal::Throttle;
  for (int f = 0; f < 60; ++f) ASSERT_NO_FATAL_FAILURE(round());

  host->control.leave();
  EXPECT_TRUE(host->race->unload());
  ASSERT_TRUE(hears(*client, NetControl::kStateHostLeft));
  aloneFor(*client, 0.5);
  EXPECT_EQ(client->control.getState(), NetControl::kStateHostLeft);
  EXPECT_EQ(client->messageBoxTexts(), std::vector<int>{9140});
  aloneFor(*client, 4.0);
  EXPECT_TRUE(allStand(*client)) << "the client's own kart rolled to a stand";
  Position3 before[6];
  for (int k = 0; k < 6; ++k) before[k] = client->placeOf(k);
  aloneFor(*client, 1.0);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(distance(client->placeOf(k), before[k]), 0.0f) << "kart " << k;
  EXPECT_TRUE(client->race->unload());
}

// The result dialog puts each kart in the row of its rank: at the end both
// machines must hold one rank per kart, and the same ones. Each machine
// ranks its own karts and sends those ranks; a kart the other machine
// finished must rank there as it does on its owner.
TEST_F(OneLapNetworkRace, BothMachinesEndWithTheSameRanksOnePerKart) {
  ASSERT_NO_FATAL_FAILURE(startBoth());
  host->driver->pedal = client->driver->pedal = ScriptedDriver::Pedal::Throttle;
  auto shown = [&] { return host->race->m_resultsShown && client->race->m_resultsShown; };
  // Frames of 0.05 s: a lap takes a while.
  for (int f = 0; f < 150 * 20 && !shown(); ++f) {
    ASSERT_NO_FATAL_FAILURE(round(0.05));
    if (f % 200 == 0) screen.forgetCalls();
  }
  ASSERT_TRUE(shown()) << "laps: host's kart " << host->kart(kHostKart).m_net.m_lap.get() << ", client's kart "
                       << client->kart(kClientKart).m_net.m_lap.get();
  // What either sent last has arrived.
  for (int f = 0; f < 5; ++f) ASSERT_NO_FATAL_FAILURE(round());

  std::vector<int> hostRanks, clientRanks;
  for (int k = 0; k < 6; ++k) {
    hostRanks.push_back(host->kart(k).m_net.m_rank.get());
    clientRanks.push_back(client->kart(k).m_net.m_rank.get());
    EXPECT_EQ(host->config.m_player[k].get().position, client->config.m_player[k].get().position) << "kart " << k;
  }
  EXPECT_EQ(hostRanks, clientRanks);
  for (const std::vector<int>* ranks : {&hostRanks, &clientRanks}) {
    std::vector<int> sorted = *ranks;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4, 5})) << (ranks == &hostRanks ? "host" : "client");
  }
  // The two players finished (a race ends only then), in the order their
  // records hold.
  for (NetworkRaceMachine* m : {host.get(), client.get()}) {
    const int first = m->config.m_player[kHostKart].get().position < m->config.m_player[kClientKart].get().position
                          ? kHostKart
                          : kClientKart;
    EXPECT_LT(m->kart(first).m_net.m_rank.get(), m->kart(1 - first).m_net.m_rank.get());
  }
  RecordProperty("ranks", ::testing::PrintToString(hostRanks));
}

// The host's computer drivers drive on between the race's end and its
// results, while the host no longer counts their laps; the client goes on
// following them along the lap. One that crosses the line in that time
// must still end on the client where the host ranks it.
TEST_F(OneLapNetworkRace, AComputerDriverThatCrossesTheLineAfterTheEndKeepsTheHostsRank) {
  ASSERT_NO_FATAL_FAILURE(startBoth());
  host->driver->pedal = client->driver->pedal = ScriptedDriver::Pedal::Throttle;
  // Where the lap has just begun: the host's kart passes there.
  std::optional<Position3> lapBegun;
  for (int f = 0; f < 30 * 20 && !lapBegun; ++f) {
    ASSERT_NO_FATAL_FAILURE(round(0.05));
    const Vehicle& own = host->kart(kHostKart);
    const int sector = own.m_sectorHistory[0];
    if (own.m_net.m_lap.get() == 0 && sector > 1 && sector < 48) lapBegun = host->placeOf(kHostKart);
  }
  ASSERT_TRUE(lapBegun) << "the host's kart never began its lap";
  // The computer drivers spread out along the lap; then both players
  // finish, and the race ends on the host with every computer driver still
  // racing.
  for (int f = 0; f < 5 * 20; ++f) ASSERT_NO_FATAL_FAILURE(round(0.05));
  for (auto [machine, k] : {std::pair{host.get(), kHostKart}, std::pair{client.get(), kClientKart}}) {
    machine->kart(k).m_net.m_lap.set(laps);
    machine->kart(k).m_net.m_trackFinished.set(true);
  }
  host->driver->pedal = client->driver->pedal = ScriptedDriver::Pedal::None;
  for (int f = 0; f < 20 && !host->race->m_raceOver; ++f) ASSERT_NO_FATAL_FAILURE(round(0.05));
  ASSERT_TRUE(host->race->m_raceOver);
  ASSERT_FALSE(host->race->m_resultsShown);

  // The best-placed computer driver drives on over the line.
  int leader = -1;
  for (int k = 0; k < 6; ++k) {
    if (k == kHostKart || k == kClientKart) continue;
    ASSERT_FALSE(host->kart(k).m_net.m_trackFinished.get()) << "kart " << k << " finished";
    if (leader < 0 || host->kart(k).m_net.m_rank.get() < host->kart(leader).m_net.m_rank.get()) leader = k;
  }
  VehicleMaster& moved = *host->kart(leader).getMaster();
  Matrix4x3 there = moved.m_net.m_matrix.get();
  there.m[12] = lapBegun->x;
  there.m[13] = lapBegun->y;
  there.m[14] = lapBegun->z;
  moved.setKartMatrix(there);
  moved.m_drive.m_pos = moved.m_drive.m_target = *lapBegun;
  moved.m_drive.m_velocity = 0.0f;
  for (int f = 0; f < 5; ++f) ASSERT_NO_FATAL_FAILURE(round(0.05));
  ASSERT_NE(client->kart(leader).m_net.m_rank.get(), host->kart(leader).m_net.m_rank.get())
      << "the client still ranks the computer driver as the host does: nothing to check";

  auto shown = [&] { return host->race->m_resultsShown && client->race->m_resultsShown; };
  for (int f = 0; f < 20 * 20 && !shown(); ++f) ASSERT_NO_FATAL_FAILURE(round(0.05));
  ASSERT_TRUE(shown());
  for (int f = 0; f < 5; ++f) ASSERT_NO_FATAL_FAILURE(round());
  for (int k = 0; k < 6; ++k)
    EXPECT_EQ(client->kart(k).m_net.m_rank.get(), host->kart(k).m_net.m_rank.get()) << "kart " << k;
}

// The client in a process of its own (the peer program): both run the same
// race on their own clocks, meet at the relay's barrier once every kart
// stands, and write where they see each kart.
class TwoProcessRace : public ::testing::Test {
 protected:
  std::unique_ptr<ScratchDir> scratch = std::make_unique<ScratchDir>();
  TextureCache cache{scratch->m_root / "cache"};
};

TEST_F(TwoProcessRace, BothMachinesWriteTheSameFinalPlaces) {
  RecordingScreen screen;
  ASSERT_NE(screen.pipeline(), nullptr);
  GameDaemon::ServerThread relay{0};
  ASSERT_TRUE(relay.waitListening());
  relay.server()->setValueOwners(raceValueOwners());
  SteppedClock clock;
  NetworkRaceMachine host(screen.pipeline(), clock, true);
  ASSERT_TRUE(host.seat(relay.port()));
  host.choose(0);

  const std::filesystem::path peerFolder = scratch->m_root / "peer";
  std::filesystem::create_directories(peerFolder);
  ChildProcess peer({TESSALINE_NETWORK_RACE_PEER, std::to_string(relay.port()), peerFolder.string()});
  ASSERT_TRUE(peer.started());
  ASSERT_EQ(peer.readLine(std::chrono::seconds(30)), "seated 1");
  ASSERT_TRUE(host.exchangeUntil([&] { return host.config.m_player[kClientKart].get().kart == 1; }, 10000));
  ASSERT_TRUE(host.load(builtSampleArchive()));
  ASSERT_EQ(peer.readLine(std::chrono::seconds(60)), "loaded");

  std::string why;
  ASSERT_TRUE(host.driveAndStop(clock, 0.05, why)) << why;
  ASSERT_TRUE(host.control.barrier(NetworkRaceMachine::kAllStand, NetworkRaceMachine::kBarrierTimeoutMs));
  for (int f = 0; f < 5; ++f) {
    clock.advance(0.05);
    host.frame(f);
  }
  const std::string line = peer.readLine(std::chrono::seconds(30));
  ASSERT_EQ(line.rfind("places ", 0), 0u) << line;
  ASSERT_TRUE(host.control.barrier(NetworkRaceMachine::kPlacesWritten, NetworkRaceMachine::kBarrierTimeoutMs));

  std::istringstream theirs(line.substr(7));
  for (int k = 0; k < 6; ++k) {
    Position3 seen;
    ASSERT_TRUE(theirs >> seen.x >> seen.y >> seen.z) << line;
    EXPECT_LE(distance(seen, host.placeOf(k)), 0.01f) << "kart " << k;
  }
  EXPECT_GT(distance(host.placeOf(kHostKart), host.placeOf(kClientKart)), 1.0f) << "the karts are apart";
  EXPECT_EQ(peer.readLine(std::chrono::seconds(30)), "done");
  EXPECT_EQ(peer.wait(std::chrono::seconds(30)), 0) << "the peer unloaded clean";
}

}  // namespace
