#include "net/net_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "net/net_value.h"
#include "net/relay_server.h"
#include "tests/net/raw_peer.h"

namespace {

// A NetControl connected to a hand-driven server socket, so tests choose
// exactly which bytes arrive and in which chunks.
class ScriptedServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_listener.ok());
    m_listen = m_listener.socket();
    ASSERT_TRUE(m_control.connect("127.0.0.1", m_listener.port()));
    m_server = std::make_unique<RawPeer>(m_listener.accept());
    ASSERT_NE(m_server->socket(), INVALID_SOCKET);
    m_value.init(20, 0);
    m_player.init(25, Position3{});
  }
  void TearDown() override { m_server.reset(); }
  // Sends `bytes` and waits until the control has read `messages` more
  // whole messages (by default, those the bytes hold by themselves).
  bool sendAndWait(const std::vector<std::uint8_t>& bytes, int messages = -1) {
    if (messages < 0) {
      net::MessageQueue q;
      q.append(bytes.data(), bytes.size());
      for (messages = 0; q.front() == net::MessageQueue::Front::Ready; ++messages) q.endMessage();
    }
    const auto before = m_control.messagesRead();
    const auto bytesBefore = m_control.getBytesReceived64();
    return m_server->sendRaw(bytes) && eventually([&] {
             return m_control.messagesRead() >= before + static_cast<unsigned>(messages) &&
                    m_control.getBytesReceived64() >= bytesBefore + bytes.size();
           });
  }

  LoopbackListener m_listener;
  SOCKET m_listen = INVALID_SOCKET;
  NetControl m_control;
  NetValue<int> m_value{m_control};
  NetValue<Position3> m_player{m_control};
  std::unique_ptr<RawPeer> m_server;
};

std::vector<std::uint8_t> intMessage(std::uint16_t id, int v) { return frame(id, u32(static_cast<std::uint32_t>(v))); }

TEST_F(ScriptedServer, MergedAndSplitMessagesBothDecode) {
  auto bytes = intMessage(20, 41);
  const auto second = frame(25, {0, 0, 0x80, 0x3F, 0, 0, 0, 0x40, 0, 0, 0x40, 0x40});  // (1, 2, 3)
  bytes.insert(bytes.end(), second.begin(), second.end());
  ASSERT_TRUE(sendAndWait(bytes));
  m_control.update();
  EXPECT_EQ(m_value.get(), 41);
  EXPECT_EQ(m_player.get().y, 2.0f);

  // Split inside the header and again inside the payload.
  const auto split = intMessage(20, 42);
  ASSERT_TRUE(sendAndWait({split.begin(), split.begin() + 1}, 0));
  ASSERT_TRUE(sendAndWait({split.begin() + 1, split.begin() + 6}, 0));
  m_control.update();
  EXPECT_EQ(m_value.get(), 41);  // not complete yet
  ASSERT_TRUE(sendAndWait({split.begin() + 6, split.end()}, 1));
  m_control.update();
  EXPECT_EQ(m_value.get(), 42);
}

TEST_F(ScriptedServer, APayloadOfTheWrongSizeIsDroppedAndCounted) {
  ASSERT_TRUE(sendAndWait(frame(20, {1, 2})));
  ASSERT_TRUE(sendAndWait(frame(20, {1, 2, 3, 4, 5, 6, 7, 8})));
  m_control.update();
  EXPECT_EQ(m_value.get(), 0);
  EXPECT_EQ(m_control.droppedMessages(), 2u);
  ASSERT_TRUE(sendAndWait(intMessage(20, 5)));  // the stream goes on
  m_control.update();
  EXPECT_EQ(m_value.get(), 5);
  EXPECT_TRUE(m_control.isConnected());
}

TEST_F(ScriptedServer, AnUnparsableLengthEndsTheConnection) {
  ASSERT_TRUE(m_server->sendRaw({3, 0, 20, 0}));
  EXPECT_TRUE(eventually([&] { return !m_control.isConnected(); }));
  EXPECT_EQ(m_control.droppedConnections(), 1u);
}

TEST_F(ScriptedServer, RepliesNothingAskedForAreIgnoredAndUnknownIdsSkipped) {
  ASSERT_TRUE(sendAndWait(frame(1500, {1, 2, 3})));
  EXPECT_EQ(m_control.droppedMessages(), 0u);
  std::vector<std::uint8_t> bytes = frame(net::kAccepted, {3});
  for (const auto& m : {frame(net::kRefused), frame(net::kValuesEnded)}) bytes.insert(bytes.end(), m.begin(), m.end());
  ASSERT_TRUE(sendAndWait(bytes));
  EXPECT_EQ(m_control.droppedMessages(), 3u);
  EXPECT_EQ(m_control.playerSlot(), 0);  // the slot the race may index with
  EXPECT_FALSE(m_control.seated());
  EXPECT_TRUE(m_control.isConnected());
}

TEST_F(ScriptedServer, AJoinTakesOnlyARealSlotFromTheAnswerToItsOwnRequest) {
  NetControl::JoinResult result = NetControl::JoinResult::TimedOut;
  SOCKADDR_IN bound;
  wsa::getsockname(m_listen, &bound);
  std::thread join([&] { result = m_control.joinGame("127.0.0.1", wsa::ntohs(bound.sin_port), 3000); });
  const SOCKET s = wsa::acceptTimeout(m_listen, nullptr, 3000);
  ASSERT_NE(s, INVALID_SOCKET);
  RawPeer server = RawPeer::adopt(s);
  auto request = server.next();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->id, net::kJoin);
  server.send(net::kAccepted, {5});  // no such slot
  server.send(net::kAccepted, {2});
  join.join();
  EXPECT_EQ(result, NetControl::JoinResult::Accepted);
  EXPECT_EQ(m_control.playerSlot(), 2);
  EXPECT_TRUE(m_control.seated());
  EXPECT_EQ(m_control.droppedMessages(), 1u);
  // An end of dump nobody asked for is dropped; the one asked for ends it.
  server.send(net::kValuesEnded);
  ASSERT_TRUE(eventually([&] { return m_control.droppedMessages() == 2u; }));
  std::thread answer([&] {
    if (auto asked = server.next(); asked && asked->id == net::kRequestValues) server.send(net::kValuesEnded);
  });
  EXPECT_TRUE(m_control.requestValues(3000));
  answer.join();
  EXPECT_EQ(m_control.droppedMessages(), 2u);
  // A new session starts unseated at slot 0.
  m_control.leave();
  EXPECT_FALSE(m_control.seated());
  EXPECT_FALSE(m_control.connect("127.0.0.1", 1, 200));
  EXPECT_EQ(m_control.playerSlot(), 0);
}

TEST_F(ScriptedServer, AMessageFindsItsValueAsValuesAreGivenIdsAndGoAway) {
  // Looked up once before the value has its id, once after.
  NetValue<int> late(m_control);
  ASSERT_TRUE(sendAndWait(intMessage(21, 1)));
  late.init(21, 0);
  ASSERT_TRUE(sendAndWait(intMessage(21, 7)));
  m_control.update();
  EXPECT_EQ(late.get(), 7);
  // A value that is gone receives nothing; the next one of its id does.
  auto gone = std::make_unique<NetValue<int>>(m_control);
  gone->init(23, 0);
  ASSERT_TRUE(sendAndWait(intMessage(23, 2)));
  gone.reset();
  ASSERT_TRUE(sendAndWait(intMessage(23, 3)));
  NetValue<int> again(m_control);
  again.init(23, 0);
  ASSERT_TRUE(sendAndWait(intMessage(23, 4)));
  m_control.update();
  EXPECT_EQ(again.get(), 4);
  EXPECT_EQ(m_control.droppedMessages(), 0u);
}

// A value as big as a message allows, so a few updates fill the socket.
class BigValue final : public NetValueBase {
 public:
  explicit BigValue(NetControl& control) : m_control(control) { control.addValue(this); }
  ~BigValue() { m_control.removeValue(this); }
  const void* getData() const override { return m_bytes.data(); }
  int size() const override { return static_cast<int>(m_bytes.size()); }
  bool isDirty() const override { return true; }
  bool setReceived(const std::uint8_t*, int) override { return false; }
  void commit() override {}
  int getId() const override { return 1000; }
  std::uint32_t getFlags() const override { return kNetSendChanges; }
  const std::string& getName() const override { return m_name; }
  void setName(const char* name) override { m_name = name; }
  void writeWire(std::uint8_t* out) const override { std::copy(m_bytes.begin(), m_bytes.end(), out); }

 private:
  NetControl& m_control;
  std::vector<std::uint8_t> m_bytes = std::vector<std::uint8_t>(30000, 7);
  std::string m_name = "big";
};

TEST_F(ScriptedServer, UpdateAgainstAPeerThatNeverReadsGivesUpWithinTwoSeconds) {
  BigValue big(m_control);
  long long longest = 0;
  for (int i = 0; i < 2000 && m_control.isConnected(); ++i) {
    const auto start = std::chrono::steady_clock::now();
    m_control.update();
    longest = std::max<long long>(
        longest,
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  }
  EXPECT_FALSE(m_control.isConnected());
  EXPECT_LT(longest, 2500);
  EXPECT_GE(longest, 1900);  // the time was given, not cut short
  m_control.leave();         // after a lost connection: returns at once
}

TEST_F(ScriptedServer, TheHostsLeaveNoticeGivesStateThreeAndStopsSending) {
  ASSERT_TRUE(m_server->sendRaw(frame(net::kLeave, {0})));
  EXPECT_TRUE(eventually([&] { return !m_control.isConnected(); }));
  EXPECT_EQ(m_control.getState(), NetControl::kStateHostLeft);
  m_value.set(9);
  m_control.update();
  EXPECT_TRUE(m_server->closedByPeer());
}

TEST_F(ScriptedServer, UpdateWhileDisconnectedNeitherSendsNorCommits) {
  ASSERT_TRUE(sendAndWait(intMessage(20, 77)));
  m_player.set(Position3{1, 2, 3});
  ASSERT_TRUE(m_server->sendRaw(frame(net::kLeave, {1})));
  ASSERT_TRUE(eventually([&] { return !m_control.isConnected(); }));
  EXPECT_EQ(m_control.getState(), NetControl::kStatePlayerLeft);
  m_control.update();
  EXPECT_EQ(m_value.get(), 0);  // received copy waiting, not committed
  EXPECT_TRUE(m_player.isDirty());
}

TEST_F(ScriptedServer, UpdateSendsDirtyValuesOnceAndCommitsValuesWithoutId) {
  NetValue<int> unnamed(m_control);
  unnamed.set(3);
  m_value.set(12);
  m_control.update();
  auto m = m_server->next();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->id, 20);
  EXPECT_EQ(m->payload, u32(12));
  EXPECT_FALSE(unnamed.isDirty());  // committed, never sent
  m_control.update();
  EXPECT_TRUE(m_server->silentFor(100));
}

TEST_F(ScriptedServer, LeaveSendsTheNoticeAndEndsTheConnection) {
  m_control.leave();
  auto m = m_server->next();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->id, net::kLeave);
  EXPECT_TRUE(m->payload.empty());
  EXPECT_EQ(m_control.getState(), NetControl::kStateLeft);
  EXPECT_FALSE(m_control.isConnected());
}

// Real relay, real clients.
class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    m_relay = std::make_unique<GameDaemon::ServerThread>(0);
    ASSERT_TRUE(m_relay->waitListening());
  }
  WORD port() const { return m_relay->port(); }
  std::unique_ptr<GameDaemon::ServerThread> m_relay;
};

TEST_F(Session, HostAndJoinHandshakesGiveSlotsAndRefusalsAreReported) {
  NetControl host, player, stranger;
  EXPECT_EQ(player.joinGame("127.0.0.1", port(), 3000), NetControl::JoinResult::Refused);
  EXPECT_FALSE(player.isConnected());
  EXPECT_EQ(host.hostGame("127.0.0.1", port(), 3000), NetControl::JoinResult::Accepted);
  EXPECT_EQ(host.playerSlot(), 0);
  EXPECT_EQ(player.joinGame("127.0.0.1", port(), 3000), NetControl::JoinResult::Accepted);
  EXPECT_EQ(player.playerSlot(), 1);
  EXPECT_EQ(stranger.hostGame("127.0.0.1", port(), 3000), NetControl::JoinResult::Refused);
  EXPECT_EQ(stranger.joinGame("not an address", port(), 100), NetControl::JoinResult::ConnectFailed);
}

TEST_F(Session, ValuesFlowBetweenPlayersAndANewcomerGetsTheStoredOnes) {
  NetControl host, player, late;
  NetValue<int> hostTrack(host), playerTrack(player), lateTrack(late);
  NetValue<Matrix4x3> hostPose(host), latePose(late);
  hostTrack.init(22, 0);
  playerTrack.init(22, 0);
  lateTrack.init(22, 0);
  hostPose.init(1425);
  latePose.init(1425);
  ASSERT_EQ(host.hostGame("127.0.0.1", port(), 3000), NetControl::JoinResult::Accepted);
  ASSERT_EQ(player.joinGame("127.0.0.1", port(), 3000), NetControl::JoinResult::Accepted);

  hostTrack.set(6);
  Matrix4x3 pose = NetWire<Matrix4x3>::initial();
  pose.m[12] = 100.5f;
  hostPose.set(pose);
  host.update();
  EXPECT_TRUE(player.updateUntil([&] { return playerTrack.get() == 6; }, 3000));

  ASSERT_EQ(late.joinGame("127.0.0.1", port(), 3000), NetControl::JoinResult::Accepted);
  ASSERT_TRUE(late.requestValues(3000));
  late.update();
  EXPECT_EQ(lateTrack.get(), 6);
  EXPECT_EQ(latePose.get().m[12], 100.5f);
  EXPECT_EQ(latePose.get().m[15], 1.0f);

  host.leave();
  EXPECT_TRUE(eventually([&] { return !player.isConnected() && !late.isConnected(); }));
  EXPECT_EQ(player.getState(), NetControl::kStateHostLeft);
}

TEST_F(Session, ABarrierHoldsEveryPlayerUntilAllArrive) {
  NetControl host, a, b;
  ASSERT_EQ(host.hostGame("127.0.0.1", port(), 3000), NetControl::JoinResult::Accepted);
  ASSERT_EQ(a.joinGame("127.0.0.1", port(), 3000), NetControl::JoinResult::Accepted);
  ASSERT_EQ(b.joinGame("127.0.0.1", port(), 3000), NetControl::JoinResult::Accepted);
  EXPECT_TRUE(host.setLocked(true));
  bool released[3] = {};
  std::thread ta([&] { released[1] = a.barrier(42, 5000); });
  std::thread tb([&] { released[2] = b.barrier(42, 5000); });
  released[0] = host.barrier(42, 5000);
  ta.join();
  tb.join();
  EXPECT_TRUE(released[0] && released[1] && released[2]);
  EXPECT_FALSE(a.barrier(43, 100));  // alone at a new token: not released
}

}  // namespace
