#include "net/relay_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "tests/net/raw_peer.h"

using GameDaemon::ServerThread;

namespace {

class Relay : public ::testing::Test {
 protected:
  void SetUp() override {
    m_relay = std::make_unique<ServerThread>(0);
    ASSERT_TRUE(m_relay->waitListening());
  }
  void TearDown() override { m_relay->stop(); }
  WORD port() const { return m_relay->port(); }
  GameDaemon::GameServer& server() { return *m_relay->server(); }

  std::unique_ptr<ServerThread> m_relay;
};

TEST_F(Relay, ASecondHostIsRefusedAndDisconnectedWhileTheFirstKeepsSlotZero) {
  RawPeer host(port()), intruder(port()), player(port());
  EXPECT_EQ(seat(host, net::kHost), 0);
  intruder.send(net::kHost);
  auto reply = intruder.next();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->id, net::kRefused);
  EXPECT_TRUE(reply->payload.empty());
  EXPECT_TRUE(intruder.closedByPeer());
  // The first host still leads the game: joins go on and its values relay.
  EXPECT_EQ(seat(player, net::kJoin), 1);
  host.send(40, {1, 2, 3});
  auto relayed = player.next();
  ASSERT_TRUE(relayed);
  EXPECT_EQ(relayed->id, 40);
}

TEST_F(Relay, FiveJoinsAfterAHostGetSlotsOneToFourAndOneRefusal) {
  RawPeer host(port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  std::vector<std::unique_ptr<RawPeer>> players;
  for (int i = 0; i < 5; ++i) players.push_back(std::make_unique<RawPeer>(port()));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(seat(*players[i], net::kJoin), i + 1);
  EXPECT_EQ(seat(*players[4], net::kJoin), -1);
  EXPECT_TRUE(players[4]->closedByPeer());
  EXPECT_EQ(server().occupiedSlots(), 5);
}

TEST_F(Relay, JoinsAreRefusedWithoutAHostAndWhileLocked) {
  RawPeer early(port());
  EXPECT_EQ(seat(early, net::kJoin), -1);
  RawPeer host(port()), late(port()), later(port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  host.send(net::kLock, {1});
  ASSERT_TRUE(eventually([&] { return server().isLocked(); }));
  EXPECT_EQ(seat(late, net::kJoin), -1);
  host.send(net::kLock, {0});
  ASSERT_TRUE(eventually([&] { return !server().isLocked(); }));
  EXPECT_EQ(seat(later, net::kJoin), 1);
}

TEST_F(Relay, AValueReachesEveryOtherPlayerAndALaterDumpReturnsIt) {
  RawPeer p0(port()), p1(port()), p2(port()), p3(port());
  ASSERT_EQ(seat(p0, net::kHost), 0);
  ASSERT_EQ(seat(p1, net::kJoin), 1);
  ASSERT_EQ(seat(p2, net::kJoin), 2);
  ASSERT_EQ(seat(p3, net::kJoin), 3);
  const std::vector<std::uint8_t> payload = {9, 8, 7, 6};
  p2.send(500, payload);
  for (RawPeer* other : {&p0, &p1, &p3}) {
    auto m = other->next();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->id, 500);
    EXPECT_EQ(m->payload, payload);
  }
  // The sender gets no echo: the first thing it reads is its dump reply.
  p2.send(net::kRequestValues);
  auto first = p2.next();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->id, 500);

  // A newcomer's dump holds the stored value, in id order, then the end.
  p1.send(30, {1});
  ASSERT_TRUE(p0.next());
  RawPeer late(port());
  ASSERT_EQ(seat(late, net::kJoin), 4);
  late.send(net::kRequestValues);
  auto a = late.next(), b = late.next(), end = late.next();
  ASSERT_TRUE(a && b && end);
  EXPECT_EQ(a->id, 30);
  EXPECT_EQ(b->id, 500);
  EXPECT_EQ(b->payload, payload);
  EXPECT_EQ(end->id, net::kValuesEnded);
  EXPECT_EQ(server().storedValue(500), payload);
}

TEST_F(Relay, ABarrierOfThreePlayersReleasesAllThreeOnlyWhenTheLastArrives) {
  RawPeer p0(port()), p1(port()), p2(port());
  ASSERT_EQ(seat(p0, net::kHost), 0);
  ASSERT_EQ(seat(p1, net::kJoin), 1);
  ASSERT_EQ(seat(p2, net::kJoin), 2);
  // Twice in a row: a release must not be missed by a slower waiter, nor
  // leak into the next barrier.
  for (std::uint32_t token : {7u, 8u}) {
    p0.send(net::kBarrier, u32(token));
    p1.send(net::kBarrier, u32(token));
    EXPECT_TRUE(p0.silentFor(100));
    EXPECT_TRUE(p1.silentFor(10));
    p2.send(net::kBarrier, u32(token));
    for (RawPeer* p : {&p0, &p1, &p2}) {
      auto m = p->next();
      ASSERT_TRUE(m);
      EXPECT_EQ(m->id, net::kBarrier);
      EXPECT_EQ(m->payload, u32(token));
    }
  }
}

TEST_F(Relay, ABarrierIsReleasedWhenAWaitedForPlayerLeaves) {
  RawPeer p0(port()), p1(port());
  ASSERT_EQ(seat(p0, net::kHost), 0);
  ASSERT_EQ(seat(p1, net::kJoin), 1);
  p0.send(net::kBarrier, u32(3));
  EXPECT_TRUE(p0.silentFor(50));
  p1.close();
  auto m = p0.next();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->id, net::kBarrier);
}

TEST_F(Relay, LeaveNoticesGoOutForTheHostAlwaysAndForOthersOnlyWhileLocked) {
  RawPeer p0(port()), p1(port()), p2(port()), p3(port());
  ASSERT_EQ(seat(p0, net::kHost), 0);
  ASSERT_EQ(seat(p1, net::kJoin), 1);
  ASSERT_EQ(seat(p2, net::kJoin), 2);
  ASSERT_EQ(seat(p3, net::kJoin), 3);
  p3.close();  // unlocked: nobody is told
  EXPECT_TRUE(p0.silentFor(150));
  p0.send(net::kLock, {1});
  ASSERT_TRUE(eventually([&] { return server().isLocked(); }));
  p2.send(net::kLeave);  // locked: the others hear of slot 2
  for (RawPeer* p : {&p0, &p1}) {
    auto m = p->next();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->id, net::kLeave);
    EXPECT_EQ(m->payload, std::vector<std::uint8_t>{2});
  }
  EXPECT_TRUE(p2.closedByPeer());
  p0.close();  // the host: slot 0 to everyone left
  auto m = p1.next();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->id, net::kLeave);
  EXPECT_EQ(m->payload, std::vector<std::uint8_t>{0});
  EXPECT_TRUE(eventually([&] { return server().occupiedSlots() == 1; }));
}

TEST_F(Relay, PlayersOfAnEndedGameCannotAnnounceSlotsTheyNoLongerHold) {
  RawPeer oldHost(port()), stale(port());
  ASSERT_EQ(seat(oldHost, net::kHost), 0);
  ASSERT_EQ(seat(stale, net::kJoin), 1);
  oldHost.close();
  ASSERT_TRUE(stale.next());  // the old host's leave notice
  RawPeer host(port()), player(port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  ASSERT_EQ(seat(player, net::kJoin), 1);
  host.send(net::kLock, {1});
  ASSERT_TRUE(eventually([&] { return server().isLocked(); }));
  stale.close();
  EXPECT_TRUE(player.silentFor(200));
  EXPECT_TRUE(host.silentFor(10));
  EXPECT_EQ(server().occupiedSlots(), 2);
}

TEST_F(Relay, JoiningTwiceKeepsOneSlotAndLeavingFreesIt) {
  RawPeer host(port()), player(port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  EXPECT_EQ(seat(player, net::kJoin), 1);
  EXPECT_EQ(seat(player, net::kJoin), 1);
  EXPECT_EQ(server().occupiedSlots(), 2);
  // One relay per player, not one per slot it might have taken.
  host.send(50, {1});
  EXPECT_TRUE(player.next());
  EXPECT_TRUE(player.silentFor(100));
  player.close();
  EXPECT_TRUE(eventually([&] { return server().occupiedSlots() == 1; }));
  host.send(50, {2});  // would touch a freed connection if a slot still pointed at it
  EXPECT_TRUE(eventually([&] { return server().storedValue(50) == std::vector<std::uint8_t>{2}; }));
}

TEST_F(Relay, PeersSendingUnparsableLengthsOrClosingMidMessageAreDroppedWhileOthersRelay) {
  RawPeer host(port()), player(port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  ASSERT_EQ(seat(player, net::kJoin), 1);

  RawPeer tooShort(port()), tooLong(port()), truncated(port());
  ASSERT_EQ(seat(tooShort, net::kJoin), 2);
  tooShort.sendRaw({2, 0, 0x20, 0});
  EXPECT_TRUE(tooShort.closedByPeer());
  tooLong.sendRaw({0x80, 0x7D, 0x20, 0});  // 32000
  EXPECT_TRUE(tooLong.closedByPeer());
  auto half = frame(60, {1, 2, 3, 4, 5, 6});
  half.resize(5);
  truncated.sendRaw(half);
  truncated.close();
  EXPECT_TRUE(eventually([&] { return server().droppedConnections() == 2; }));

  for (std::uint8_t i = 0; i < 3; ++i) {
    player.send(70, {i});
    auto m = host.next();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->payload, std::vector<std::uint8_t>{i});
  }
  EXPECT_TRUE(server().storedValue(60).empty());
}

TEST_F(Relay, ConnectionsThatEndedAreJoinedAndFreedByTheServer) {
  {
    RawPeer host(port()), refused(port()), quiet(port());
    ASSERT_EQ(seat(host, net::kHost), 0);
    EXPECT_EQ(seat(refused, net::kHost), -1);
    ASSERT_TRUE(eventually([&] { return server().connectionCount() == 2; }));
  }
  EXPECT_TRUE(eventually([&] { return server().connectionCount() == 0; }));
  EXPECT_EQ(server().occupiedSlots(), 0);
}

TEST_F(Relay, AFloodOfConnectionsIsTurnedAwayBeyondTheLimit) {
  server().setMaxConnectionsPerAddress(kMaxServerConnections);
  std::vector<std::unique_ptr<RawPeer>> peers;
  for (std::size_t i = 0; i < kMaxServerConnections; ++i) peers.push_back(std::make_unique<RawPeer>(port()));
  ASSERT_TRUE(eventually([&] { return server().connectionCount() == kMaxServerConnections; }));
  RawPeer extra(port());
  EXPECT_TRUE(extra.closedByPeer());
  EXPECT_EQ(seat(*peers[0], net::kHost), 0);
}

TEST_F(Relay, OneAddressHoldsAtMostEightConnections) {
  std::vector<std::unique_ptr<RawPeer>> peers;
  for (int i = 0; i < 8; ++i) peers.push_back(std::make_unique<RawPeer>(port(), "127.0.0.2"));
  ASSERT_TRUE(eventually([&] { return server().connectionCount() == 8; }));
  RawPeer ninth(port(), "127.0.0.2");
  EXPECT_TRUE(ninth.closedByPeer());
  RawPeer elsewhere(port(), "127.0.0.1");
  EXPECT_EQ(seat(elsewhere, net::kHost), 0);
}

TEST_F(Relay, ValuesFromAConnectionWithoutASeatAreNeitherStoredNorRelayed) {
  RawPeer host(port()), stranger(port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  stranger.send(40, {1, 2});
  stranger.send(net::kAccepted, {1});
  ASSERT_TRUE(eventually([&] { return server().refusedMessages() == 2; }));
  EXPECT_TRUE(host.silentFor(100));
  EXPECT_TRUE(server().storedValue(40).empty());
}

TEST_F(Relay, ABarrierThatIsNotReleasedInTimeEndsTheWaiter) {
  server().setBarrierTimeout(200);
  RawPeer p0(port()), p1(port());
  ASSERT_EQ(seat(p0, net::kHost), 0);
  ASSERT_EQ(seat(p1, net::kJoin), 1);
  p1.send(net::kBarrier, u32(5));
  EXPECT_TRUE(p1.closedByPeer(2000));
  EXPECT_EQ(server().droppedConnections(), 1u);
  EXPECT_TRUE(eventually([&] { return server().occupiedSlots() == 1; }));
}

TEST_F(Relay, ABarrierThatTimesOutDropsThePlayersThatNeverCameAndReleasesTheWaiters) {
  server().setBarrierTimeout(300);
  RawPeer p0(port()), p1(port()), p2(port()), p3(port());
  ASSERT_EQ(seat(p0, net::kHost), 0);
  ASSERT_EQ(seat(p1, net::kJoin), 1);
  ASSERT_EQ(seat(p2, net::kJoin), 2);
  ASSERT_EQ(seat(p3, net::kJoin), 3);
  // One player alone in a barrier nobody else enters cannot have the
  // others dropped: it is the one that goes.
  p3.send(net::kBarrier, u32(4));
  EXPECT_TRUE(p3.closedByPeer(3000));
  ASSERT_TRUE(eventually([&] { return server().occupiedSlots() == 3; }));
  // Two waiting for one that never comes: the laggard goes, they go on.
  p0.send(net::kBarrier, u32(9));
  p1.send(net::kBarrier, u32(9));
  for (RawPeer* p : {&p0, &p1}) {
    auto m = p->next(3000);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->id, net::kBarrier);
    EXPECT_EQ(m->payload, u32(9));
  }
  EXPECT_TRUE(p2.closedByPeer(1000));
  EXPECT_EQ(server().occupiedSlots(), 2);
  EXPECT_EQ(server().droppedConnections(), 2u);
}

TEST_F(Relay, MessagesTooShortForTheirIdAreSkippedAndHighIdsDropped) {
  RawPeer host(port()), player(port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  ASSERT_EQ(seat(player, net::kJoin), 1);
  // A lock without its byte, a barrier with two of four and an id past the
  // value range are all read past; the stream goes on.
  std::vector<std::uint8_t> bytes = frame(net::kLock);
  for (auto b : frame(net::kBarrier, {1, 2})) bytes.push_back(b);
  for (auto b : frame(2500, {1, 2, 3})) bytes.push_back(b);
  for (auto b : frame(80, {4})) bytes.push_back(b);
  player.sendRaw(bytes);
  auto m = host.next();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->id, 80);
  EXPECT_EQ(server().droppedMessages(), 2u);
  EXPECT_FALSE(server().isLocked());
}

TEST(RelayStop, ReturnsWellWithinFiveSecondsWithClientsConnectedAndWaiting) {
  auto relay = std::make_unique<ServerThread>(0);
  ASSERT_TRUE(relay->waitListening());
  RawPeer p0(relay->port()), p1(relay->port()), idle(relay->port());
  ASSERT_EQ(seat(p0, net::kHost), 0);
  ASSERT_EQ(seat(p1, net::kJoin), 1);
  p0.send(net::kBarrier, u32(1));  // held in the barrier while the relay stops
  Sleep(50);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(relay->stop());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(p1.closedByPeer());
  EXPECT_TRUE(idle.closedByPeer());
}

TEST(RelayStop, ReturnsWithinFiveSecondsWithATricklingReaderAttached) {
  auto relay = std::make_unique<ServerThread>(0);
  ASSERT_TRUE(relay->waitListening());
  relay->server()->setSendTimeout(60000);  // the reader stays attached
  RawPeer host(relay->port()), reader(relay->port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  ASSERT_EQ(seat(reader, net::kJoin), 1);
  std::vector<std::uint8_t> bytes;
  for (int id = 100; id < 1100; ++id) {
    const auto m = frame(static_cast<std::uint16_t>(id), std::vector<std::uint8_t>(2000, 1));
    bytes.insert(bytes.end(), m.begin(), m.end());
  }
  std::thread stuff([&] { host.sendRaw(bytes); });
  std::atomic<bool> stop{false};
  std::thread trickle([&] {
    while (!stop.load() && reader.readSome(100)) Sleep(200);
  });
  reader.send(net::kRequestValues);
  Sleep(800);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(relay->stop());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  stop = true;
  wsa::shutdown(reader.socket(), SD_BOTH);
  trickle.join();
  stuff.join();
}

TEST(RelayStop, ThePortCanBeReadFromAnotherThreadWhileTheRelayStops) {
  ServerThread relay(0);
  ASSERT_TRUE(relay.waitListening());
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done.load()) relay.port();
  });
  Sleep(5);
  EXPECT_TRUE(relay.stop());
  done = true;
  reader.join();
  EXPECT_EQ(relay.port(), 0);
}

TEST(RelayBind, APortInUseIsRetriedAndNeverSwappedForARandomOne) {
  WSADATA data;
  wsa::WSAStartup(MAKEWORD(2, 2), &data);
  const SOCKET blocker = wsa::socket(AF_INET_WS, SOCK_STREAM_WS, IPPROTO_TCP_WS);
  SOCKADDR_IN any;
  any.sin_addr = INADDR_ANY_WS;
  ASSERT_EQ(wsa::bind(blocker, &any), 0);
  ASSERT_EQ(wsa::listen(blocker, 4), 0);
  SOCKADDR_IN bound;
  ASSERT_EQ(wsa::getsockname(blocker, &bound), 0);
  const WORD taken = wsa::ntohs(bound.sin_port);

  ServerThread relay(taken);
  EXPECT_FALSE(relay.waitListening(600));
  EXPECT_EQ(relay.port(), 0);
  wsa::closesocket(blocker);
  ASSERT_TRUE(relay.waitListening(3000));
  EXPECT_EQ(relay.port(), taken);
  RawPeer host(taken);
  EXPECT_EQ(seat(host, net::kHost), 0);
  relay.stop();
  wsa::WSACleanup();
}

}  // namespace
