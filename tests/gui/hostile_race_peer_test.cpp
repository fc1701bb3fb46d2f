// A hostile player seated beside this machine, on a relay on a free port:
// a bare protocol peer that sends, for every value this machine registers
// (the lobby's records and race choice, every kart's replicated values),
// not-a-number, infinities, 1e30, the ends of the integer range and indices
// of nothing, in the lobby and in the race, while the lobby refreshes and
// the race runs whole frames with its displays. Under the sanitizers
// nothing may fire, and this machine's game goes on: the lobby does not
// start on its own, the own kart still drives, and the race ends in its
// result dialog.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "foundation/archive_file.h"
#include "game/kart/vehicle_master.h"
#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "game/race/race_factory.h"
#include "gui/menu/menu.h"
#include "gui/menu/multiplayer_screens.h"
#include "gui/text_table.h"
#include "net/relay_server.h"
#include "tests/gui/race_frames_fixture.h"
#include "tests/net/raw_peer.h"
#include "tests/support/sample_archive.h"

namespace {

constexpr DWORD kWaitMs = 3000;
constexpr int kChoiceIds[] = {20, 21, 22, 23};  // game, laps, track, engine class
constexpr int kRecordId = 25;                   // + seat

// Words that make no sense as any float or integer the game sends: NaN,
// the infinities, 1e30 both ways, the ends of the integer range, -1, a
// kart and a character that do not exist.
constexpr std::uint32_t kWords[] = {0x7FC00000u, 0x7F800000u, 0xFF800000u, 0x7149F2CAu, 0xF149F2CAu,
                                    0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu, 99u,         6u};
constexpr int kWordCount = static_cast<int>(std::size(kWords));

void put(std::vector<std::uint8_t>& out, std::uint32_t w) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
}

// Round r's nonsense for a value of `size` bytes: a bool other than 0 or 1,
// or words from the list, each field of a position or matrix another one.
std::vector<std::uint8_t> nonsense(int size, int r) {
  std::vector<std::uint8_t> out;
  if (size == 1) return {static_cast<std::uint8_t>(0x80 | r)};
  for (int i = 0; i < size / 4; ++i) put(out, kWords[(r + i) % kWordCount]);
  if (size == static_cast<int>(ConfigPlayer::kRecordSize)) {
    // A name of 31 bytes with no end, and ready bytes that are no flags.
    std::memset(out.data() + 8, r % 2 ? 0xFF : 'A', ConfigPlayer::kNameSize);
    out[39] = out[40] = out[41] = 0xEE;
  }
  return out;
}

std::vector<std::uint8_t> recordBytes(const ConfigPlayer& r) {
  std::uint8_t bytes[ConfigPlayer::kRecordSize];
  r.toBytes(bytes);
  return std::vector<std::uint8_t>(bytes, bytes + sizeof bytes);
}

std::vector<std::uint8_t> word(std::uint32_t w) {
  std::vector<std::uint8_t> out;
  put(out, w);
  return out;
}

// The id and size of every replicated value of kart k.
std::vector<std::pair<int, int>> kartValues(int k) {
  NetControl scratch;
  VehicleNetValues values(scratch, k, VehicleNetValues::Side::Client);
  std::vector<std::pair<int, int>> out;
  values.forEach([&](NetValueBase& v) { out.emplace_back(v.getId(), v.size()); });
  return out;
}

class HostilePeer : public RaceFrames {
 protected:
  void SetUp() override {
    RaceFrames::SetUp();
    ASSERT_TRUE(relay.waitListening());
  }

  // Seats the bare peer first when it hosts, after this machine when it
  // joins; returns this machine's seat.
  int seatBoth(bool peerHosts) {
    if (peerHosts) {
      EXPECT_TRUE(peer.connect(relay.port()));
      EXPECT_EQ(seat(peer, net::kHost), 0);
      EXPECT_EQ(control.joinGame("127.0.0.1", relay.port(), kWaitMs), NetControl::JoinResult::Accepted);
      peerSeat = 0;
    } else {
      EXPECT_EQ(control.hostGame("127.0.0.1", relay.port(), kWaitMs), NetControl::JoinResult::Accepted);
      EXPECT_TRUE(peer.connect(relay.port()));
      EXPECT_EQ(seat(peer, net::kJoin), 1);
      peerSeat = 1;
    }
    return control.playerSlot();
  }

  // Sends every message, then runs frames (or `step`) until this machine
  // has read them all.
  void deliver(const std::vector<std::pair<int, std::vector<std::uint8_t>>>& messages,
               const std::function<void()>& step) {
    const std::uint64_t before = control.messagesRead();
    for (const auto& [id, payload] : messages) ASSERT_TRUE(peer.send(static_cast<std::uint16_t>(id), payload));
    const std::uint64_t target = before + messages.size();
    for (int i = 0; i < 400 && control.messagesRead() < target; ++i) step();
    ASSERT_GE(control.messagesRead(), target);
  }
  void deliverInFrames(const std::vector<std::pair<int, std::vector<std::uint8_t>>>& messages) {
    deliver(messages, [this] { frame(); });
  }

  // Round r of nonsense for every value of the karts and for the lobby's
  // values: the choice and the records of `records`.
  std::vector<std::pair<int, std::vector<std::uint8_t>>> nonsenseRound(int r, std::initializer_list<int> records) {
    std::vector<std::pair<int, std::vector<std::uint8_t>>> out;
    for (int id : kChoiceIds) out.emplace_back(id, nonsense(4, r));
    for (int seat : records) out.emplace_back(kRecordId + seat, nonsense(ConfigPlayer::kRecordSize, r));
    for (int k = 0; k < Race::kMaxKarts; ++k)
      for (const auto& [id, size] : kartValues(k)) out.emplace_back(id, nonsense(size, r + id));
    return out;
  }

  GameDaemon::ServerThread relay{0};
  RawPeer peer;
  int peerSeat = -1;
};

// ---- the lobby --------------------------------------------------------------

TEST_F(HostilePeer, TheLobbyShowsNonsenseSafelyAndDoesNotStartOnSpoofedReadies) {
  Menu menu(pipeline.get(), gui.get());
  ASSERT_TRUE(menu.init(&builtSampleArchive(), &sound, config.get()));
  auto& lobby = *static_cast<MultiplayerScreen*>(menu.screen(Menu::kMultiplayer));
  lobby.m_net = &control;
  lobby.m_port = relay.port();
  lobby.m_isHost = true;
  menu.setScreen(&lobby);
  ASSERT_TRUE(control.seated());
  ASSERT_TRUE(peer.connect(relay.port()));
  ASSERT_EQ(seat(peer, net::kJoin), 1);
  // A frame of the menu: the lobby's refresh, the own preview, the GUI.
  auto refresh = [&] {
    menu.update();
    control.update();
  };
  for (int r = 0; r < kWordCount; ++r) {
    SCOPED_TRACE("round " + std::to_string(r));
    ASSERT_NO_FATAL_FAILURE(deliver(nonsenseRound(r, {0, 1, 2, 3, 4, 5}), refresh));
    refresh();
    // The host's own record and choice are its own.
    EXPECT_EQ(config->m_player[0].get().character, 0);
    EXPECT_EQ(config->m_track.get(), 0);
    ASSERT_EQ(menu.m_current, &lobby);
  }

  // Two empty seats "ready" and the peer's own seated but not: all that is
  // seated is the host and the peer, and neither is ready.
  ConfigPlayer seated;
  seated.character = 2;
  seated.kart = 3;
  ConfigPlayer empty;
  ConfigPlayer emptyReady;
  emptyReady.ready = 1;
  std::vector<std::pair<int, std::vector<std::uint8_t>>> spoof;
  for (int s = 1; s < Config::kPlayerCount; ++s)
    spoof.emplace_back(kRecordId + s, recordBytes(s == 1 ? seated : s <= 3 ? emptyReady : empty));
  ASSERT_NO_FATAL_FAILURE(deliver(spoof, refresh));
  for (int i = 0; i < 5; ++i) refresh();
  EXPECT_EQ(menu.m_current, &lobby) << "started without anyone ready";
  EXPECT_EQ(lobby.m_characterTexts[1]->getText(), menu.texts().getText(300));
  control.leave();
  menu.shutdown();
}

// ---- the race -----------------------------------------------------------------

class HostileRacePeer : public HostilePeer, public ::testing::WithParamInterface<bool> {
 protected:
  // The settings as the lobby leaves them, a race of `laps` on track 0.
  void chooseNetworkRace(int own, int laps) {
    chooseRace(kModeRace, 0, laps);
    Config& c = *config;
    c.m_playType = kPlayNetwork;
    c.m_isAuthority = own == 0 ? 1 : 0;
    for (NetValue<int>* shared : {&c.m_game, &c.m_track, &c.m_ccm, &c.m_laps})
      shared->setFlags(own == 0 ? kNetSendChanges : kNetAcceptReceived);
    for (int i = 0; i < Config::kPlayerCount; ++i) {
      c.m_player[i].setFlags(i == own ? kNetSendChanges : kNetAcceptReceived);
      *c.m_player[i].modify() = ConfigPlayer();
      c.m_controlType[i] = i == own ? (own == 0 ? kControlUserSingle : kControlNetLocal) : kControlRemote;
    }
    ConfigPlayer& mine = *c.m_player[own].modify();
    mine.character = mine.kart = own;
    mine.startPosition = Config::kPlayerCount - 1 - own;
  }
  // What an honest peer would send for seat s before the load: a driver,
  // ready to start.
  static std::vector<std::uint8_t> honestRecord(int s) {
    ConfigPlayer r;
    r.character = r.kart = s;
    r.startPosition = Config::kPlayerCount - 1 - s;
    r.raceReady[0] = 1;
    std::snprintf(r.name, sizeof r.name, "Seat %d", s);
    return recordBytes(r);
  }
  Vehicle& own() { return *race->m_karts[race->m_viewKart[0]]; }
  Position3 ownAt() { return own().getMaster()->m_drive.m_pos; }
};

TEST_P(HostileRacePeer, NonsenseForEveryValueLeavesTheOwnKartDrivingAndTheResultsWorking) {
  const bool peerHosts = GetParam();
  const int mine = seatBoth(peerHosts);
  ASSERT_EQ(mine, peerHosts ? 1 : 0);
  chooseNetworkRace(mine, 1);
  // The seats the peer speaks for: its own, or as the host every other.
  std::vector<int> theirs = {peerSeat};
  if (peerHosts) theirs = {0, 2, 3, 4, 5};
  std::vector<std::pair<int, std::vector<std::uint8_t>>> before;
  for (int s : theirs) before.emplace_back(kRecordId + s, honestRecord(s));
  if (peerHosts) {
    // A laps count no race could finish comes with an honest choice.
    for (auto [id, value] : {std::pair{20, 1u}, {21, 0x7FFFFFFFu}, {22, 0u}, {23, 0u}})
      before.emplace_back(id, word(value));
  }
  ASSERT_NO_FATAL_FAILURE(deliver(before, [this] { control.updateUntil([] { return false; }, 5); }));
  ASSERT_TRUE(load());
  ASSERT_EQ(race->m_viewKart[0], mine);
  ASSERT_NE(own().getMaster(), nullptr);
  if (peerHosts) {
    EXPECT_EQ(config->m_laps.get(), 5) << "held to the laps a race keeps times for";
  }
  const int laps = config->m_laps.get();
  startRace();

  const std::uint64_t dropped = control.droppedMessages();
  for (int r = 0; r < kWordCount; ++r) {
    SCOPED_TRACE("round " + std::to_string(r));
    ASSERT_NO_FATAL_FAILURE(deliverInFrames(nonsenseRound(r, {0, 1, 2, 3, 4, 5})));
    frames(2);
    // Nothing of the own kart is the peer's to set but what followers send.
    EXPECT_EQ(own().m_net.m_lap.get(), -1);
    EXPECT_FALSE(own().m_net.m_trackFinished.get());
    EXPECT_EQ(config->m_player[mine].get().character, mine);
    // The race choice is settled.
    EXPECT_EQ(config->m_game.get(), kModeRace);
    EXPECT_EQ(config->m_track.get(), 0);
    EXPECT_EQ(config->m_laps.get(), laps);
  }
  EXPECT_GT(control.droppedMessages(), dropped) << "the floats were refused as they arrived";

  // The peer's karts fall quiet (their flash and weight would keep the own
  // kart locked, as any kart's in reach would), and the hits wear off.
  std::vector<std::pair<int, std::vector<std::uint8_t>>> quiet;
  for (int k : theirs)
    for (const auto& [id, size] : kartValues(k)) quiet.emplace_back(id, std::vector<std::uint8_t>(size, 0));
  ASSERT_NO_FATAL_FAILURE(deliverInFrames(quiet));
  frames(16, 0.25);

  // The own kart still drives: accelerating carries it on.
  keyDown(playerKey(2));
  const Position3 from = ownAt();
  frames(30);
  const Position3 to = ownAt();
  keyUp(playerKey(2));
  for (float c : {to.x, to.y, to.z}) ASSERT_TRUE(std::isfinite(c));
  EXPECT_GT(std::hypot(to.x - from.x, to.z - from.z), 1.0f);

  // The peer's karts finish; the own one does its laps; the result dialog
  // shows and its OK ends the race.
  std::vector<std::pair<int, std::vector<std::uint8_t>>> finish;
  for (int k : theirs) finish.emplace_back(102 + k, std::vector<std::uint8_t>{1});
  ASSERT_NO_FATAL_FAILURE(deliverInFrames(finish));
  for (int lap = 0; lap <= laps; ++lap) crossLine(mine);
  ASSERT_TRUE(own().m_net.m_trackFinished.get());
  OnscreenDisplays& d = displays();
  ASSERT_TRUE(framesUntil([&] { return d.raceResultVisible(); }, 200));
  click(d.m_raceDialog.okButton);
  EXPECT_TRUE(owner->finished());
}

INSTANTIATE_TEST_SUITE_P(PeerJoinsOrHosts, HostileRacePeer, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "ThePeerHosts" : "ThePeerJoins";
                         });

}  // namespace
