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

}  // namespace
