// The relay's seats against players that speak for others: only this
// machine hosts, the host is never dropped from a barrier it does not
// enter, a value goes out only from the seat that owns it, a player that
// leaves takes its stored values along, and a seat is held to the rate a
// race sends at.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "net/relay_server.h"
#include "tests/net/honest_player.h"
#include "tests/net/raw_peer.h"

namespace {

using GameDaemon::ValueOwners;

class Seats : public ::testing::Test {
 protected:
  void SetUp() override {
    m_relay = std::make_unique<GameDaemon::ServerThread>(0);
    ASSERT_TRUE(m_relay->waitListening());
  }
  void TearDown() override { m_relay->stop(); }
  WORD port() const { return m_relay->port(); }
  GameDaemon::GameServer& server() { return *m_relay->server(); }

  std::unique_ptr<GameDaemon::ServerThread> m_relay;
};

bool sendEach(RawPeer& peer, std::initializer_list<int> ids, const std::vector<std::uint8_t>& payload) {
  for (int id : ids)
    if (!peer.send(static_cast<std::uint16_t>(id), payload)) return false;
  return true;
}

// Reads messages until one with `last` arrives; the ids read before it.
std::vector<std::uint16_t> idsUntil(RawPeer& peer, int last) {
  std::vector<std::uint16_t> ids;
  while (auto m = peer.next()) {
    if (m->id == last) return ids;
    ids.push_back(m->id);
  }
  ADD_FAILURE() << "id " << last << " never came";
  return ids;
}

TEST_F(Seats, OnlyThisMachineHostsItsRelayAndAnotherMachineOnlyJoins) {
  // 127.0.0.2 stands for another machine; the game hosts through 127.0.0.1.
  RawPeer remote(port(), "127.0.0.2");
  ASSERT_TRUE(remote.send(net::kHost));
  auto reply = remote.next();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->id, net::kRefused);
  EXPECT_TRUE(remote.closedByPeer());
  EXPECT_FALSE(server().slotOccupied(0));
  EXPECT_EQ(server().refusedMessages(), 1u);

  RawPeer host(port()), player(port(), "127.0.0.2");
  EXPECT_EQ(seat(host, net::kHost), 0);
  EXPECT_EQ(seat(player, net::kJoin), 1);
}

TEST_F(Seats, PlayersWaitingInABarrierTheHostNeverEntersCannotHaveTheHostDropped) {
  server().setBarrierTimeout(300);
  RawPeer host(port()), a(port()), b(port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  ASSERT_EQ(seat(a, net::kJoin), 1);
  ASSERT_EQ(seat(b, net::kJoin), 2);
  ASSERT_TRUE(a.send(net::kBarrier, u32(6)));
  ASSERT_TRUE(b.send(net::kBarrier, u32(6)));
  // Two waiting for the host, which never comes: they are the ones that go.
  EXPECT_TRUE(a.closedByPeer(5000));
  EXPECT_TRUE(b.closedByPeer(5000));
  EXPECT_TRUE(eventually([&] { return server().occupiedSlots() == 1; }));
  EXPECT_TRUE(server().slotOccupied(0));
  EXPECT_FALSE(host.closedByPeer(10));
  EXPECT_EQ(server().droppedConnections(), 2u);
}

// The layout of a small game: records 25 + s of seats 0..5, a race choice
// of seat 0 (20), a kart value 46 + k of each kart k (karts 0..6), and an
// open value 221 + k that any seat may send.
ValueOwners smallGame() {
  ValueOwners owners;
  owners.fill(GameDaemon::kAnySeat);
  owners[20] = 0;
  for (int s = 0; s < 6; ++s) owners[static_cast<std::size_t>(25 + s)] = static_cast<std::int8_t>(s);
  for (int k = 0; k < 7; ++k) owners[static_cast<std::size_t>(46 + k)] = static_cast<std::int8_t>(k);
  return owners;
}

TEST_F(Seats, AValueGoesOutOnlyFromItsSeatOrFromTheHostStandingInForAnEmptyOne) {
  server().setValueOwners(smallGame());
  RawPeer host(port()), one(port()), two(port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  ASSERT_EQ(seat(one, net::kJoin), 1);
  ASSERT_EQ(seat(two, net::kJoin), 2);
  constexpr int kDone = 1999;  // open: ends each sender's list
  // Seat 2 forges seat 1's record (its "ready"), kart 1's and the host
  // kart's laps, the race choice and an empty seat's record; then sends
  // its own record, lap and an open value.
  ASSERT_TRUE(sendEach(two, {26, 47, 46, 20, 28, 27, 48, 223, kDone}, {1, 2, 3, 4}));
  EXPECT_EQ(idsUntil(one, kDone), (std::vector<std::uint16_t>{27, 48, 223}));
  EXPECT_EQ(idsUntil(host, kDone), (std::vector<std::uint16_t>{27, 48, 223}));
  // The host writes the race choice and what no player drives (seats 3 to
  // 5, karts 3 to 6), never a seated player's record or kart.
  ASSERT_TRUE(sendEach(host, {20, 28, 29, 30, 49, 52, 26, 47, 27, kDone}, {5, 6, 7, 8}));
  EXPECT_EQ(idsUntil(one, kDone), (std::vector<std::uint16_t>{20, 28, 29, 30, 49, 52}));
  EXPECT_EQ(server().refusedMessages(), 8u);
  for (int id : {26, 46, 47}) EXPECT_TRUE(server().storedValue(id).empty()) << id;
  EXPECT_EQ(server().storedValue(27), (std::vector<std::uint8_t>{1, 2, 3, 4}));

  // Once seat 2 has gone, its record and kart are the host's to write.
  two.close();
  ASSERT_TRUE(eventually([&] { return !server().slotOccupied(2); }));
  ASSERT_TRUE(sendEach(host, {27, 48, kDone}, {9, 9, 9, 9}));
  EXPECT_EQ(idsUntil(one, kDone), (std::vector<std::uint16_t>{27, 48}));
}

TEST_F(Seats, APlayerLeavingAnUnlockedGameTakesItsStoredValuesAlong) {
  HonestPlayer host(port(), 0, 2), player(port(), 1, 2);
  ASSERT_TRUE(host.seat());
  ASSERT_TRUE(player.seat());
  host.start();
  player.start();
  // A player fills the store to its bound (the last values small, so not
  // even a record fits after them) and leaves.
  RawPeer filler(port());
  ASSERT_EQ(seat(filler, net::kJoin), 2);
  std::vector<std::uint8_t> bytes;
  for (int id = 200; id < 1500; ++id) {
    const auto m = frame(static_cast<std::uint16_t>(id), std::vector<std::uint8_t>(id < 1250 ? 1000 : 100, 0x33));
    bytes.insert(bytes.end(), m.begin(), m.end());
  }
  const auto done = frame(1998, {1});
  bytes.insert(bytes.end(), done.begin(), done.end());
  ASSERT_TRUE(filler.sendRaw(bytes));
  ASSERT_TRUE(eventually([&] { return host.saw(1998); }, 20000));
  ASSERT_GT(server().storedBytes(), GameDaemon::kMaxStoredBytes - 100);
  ASSERT_TRUE(filler.send(net::kLeave));
  ASSERT_TRUE(eventually([&] { return server().occupiedSlots() == 2; }));
  EXPECT_LT(server().storedBytes(), 100u);

  // The next player's record is kept, and the one after gets it.
  RawPeer next(port()), newcomer(port());
  ASSERT_EQ(seat(next, net::kJoin), 2);
  ASSERT_TRUE(next.send(27, std::vector<std::uint8_t>(156, 0x44)));
  ASSERT_TRUE(eventually([&] { return host.saw(27); }));
  ASSERT_EQ(seat(newcomer, net::kJoin), 3);
  ASSERT_TRUE(newcomer.send(net::kRequestValues));
  const auto dumped = idsUntil(newcomer, net::kValuesEnded);
  EXPECT_NE(std::find(dumped.begin(), dumped.end(), 27), dumped.end());
  EXPECT_EQ(std::count_if(dumped.begin(), dumped.end(), [](int id) { return id >= 200 && id < 1500; }), 0);
  host.stop();
  player.stop();
  EXPECT_FALSE(host.dropped() || player.dropped());
}

TEST_F(Seats, ASeatFloodingValidUpdatesIsHeldToTheRateARaceSendsAt) {
  RawPeer host(port()), flooder(port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  ASSERT_EQ(seat(flooder, net::kJoin), 1);
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop.load() && host.readSome(4096)) {
    }
  });
  const auto message = frame(900, std::vector<std::uint8_t>(996, 0x5A));  // 1000 bytes
  std::vector<std::uint8_t> burst;
  for (int i = 0; i < 64; ++i) burst.insert(burst.end(), message.begin(), message.end());
  const auto start = Clock::now();
  std::thread flood([&] {
    while (!stop.load() && flooder.sendRaw(burst)) {
    }
  });
  // Past the second's worth a seat may send at once, the rate shows.
  ASSERT_TRUE(
      eventually([&] { return server().relayedUpdates() > 2 * GameDaemon::kSeatBytesPerSecond / 1000; }, 20000));
  const auto relayed = static_cast<double>(server().relayedUpdates()) * 1000.0;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  stop = true;
  wsa::shutdown(flooder.socket(), SD_BOTH);  // ends a send held by the rate
  wsa::shutdown(host.socket(), SD_BOTH);
  flood.join();
  reader.join();
  // At most a second's worth at once, then the rate, and the messages of
  // the chunk being handled when the allowance ran out.
  const double allowed = static_cast<double>(GameDaemon::kSeatBytesPerSecond) * (1.0 + seconds) + 8192;
  EXPECT_LE(relayed, allowed) << "in " << seconds << " s";
  EXPECT_EQ(server().droppedConnections(), 0u);
}

}  // namespace
