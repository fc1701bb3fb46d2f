// Relays sent outside the server's lock: every socket must still carry
// whole messages in the order they were handled, and a player that stops
// reading must not hold the others up.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "net/relay_server.h"
#include "tests/net/raw_peer.h"

namespace {

using Clock = std::chrono::steady_clock;

class Fanout : public ::testing::Test {
 protected:
  void SetUp() override {
    m_relay = std::make_unique<GameDaemon::ServerThread>(0);
    ASSERT_TRUE(m_relay->waitListening());
    // The fan-out under volume is at stake here: the senders may send as
    // fast as they can, beyond the rate a seat is held to in a game.
    m_relay->server()->setSeatRate(0);
  }
  void TearDown() override { m_relay->stop(); }
  WORD port() const { return m_relay->port(); }

  std::unique_ptr<GameDaemon::ServerThread> m_relay;
};

// Sender k's message number `seq`: u32 seq, then 0 to 40 bytes of k + seq.
std::vector<std::uint8_t> payloadOf(int k, std::uint32_t seq) {
  std::vector<std::uint8_t> p(4 + seq % 41, static_cast<std::uint8_t>(k + seq));
  std::copy_n(u32(seq).begin(), 4, p.begin());
  return p;
}

TEST_F(Fanout, ConcurrentRelaysToOnePlayerArriveWholeAndInEachSendersOrder) {
  constexpr int kSenders = 3;
  constexpr std::uint32_t kMessages = 600;
  RawPeer receiver(port());
  ASSERT_EQ(seat(receiver, net::kHost), 0);
  std::vector<std::unique_ptr<RawPeer>> senders;
  for (int k = 0; k < kSenders; ++k) {
    senders.push_back(std::make_unique<RawPeer>(port()));
    ASSERT_EQ(seat(*senders.back(), net::kJoin), k + 1);
  }
  std::vector<std::thread> threads;
  for (int k = 0; k < kSenders; ++k) {
    threads.emplace_back([&, k] {
      // Runs of one to three messages per send, so the relay sees merged
      // messages as well as single ones.
      for (std::uint32_t seq = 0; seq < kMessages;) {
        std::vector<std::uint8_t> bytes;
        for (std::uint32_t n = 0; n <= seq % 3 && seq < kMessages; ++n, ++seq) {
          const auto m = frame(static_cast<std::uint16_t>(100 + k), payloadOf(k, seq));
          bytes.insert(bytes.end(), m.begin(), m.end());
        }
        senders[k]->sendRaw(bytes);
      }
    });
  }
  std::uint32_t expected[kSenders] = {};
  for (std::uint32_t i = 0; i < kSenders * kMessages; ++i) {
    auto m = receiver.next();
    ASSERT_TRUE(m) << "message " << i << " missing";
    const int k = m->id - 100;
    ASSERT_TRUE(k >= 0 && k < kSenders) << "id " << m->id;
    ASSERT_EQ(m->payload, payloadOf(k, expected[k])) << "sender " << k;
    ++expected[k];
  }
  for (auto& t : threads) t.join();
  EXPECT_TRUE(receiver.silentFor(100));
}

TEST_F(Fanout, APlayerThatStopsReadingDoesNotHoldUpTheOthers) {
  RawPeer host(port()), flooder(port()), stalled(port()), player(port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  ASSERT_EQ(seat(flooder, net::kJoin), 1);
  ASSERT_EQ(seat(stalled, net::kJoin), 2);
  ASSERT_EQ(seat(player, net::kJoin), 3);

  // The host and the player read everything; the host notes when the
  // player's value (id 600) arrives.
  std::atomic<bool> stop{false};
  std::atomic<Clock::rep> arrived{0};
  std::thread hostReader([&] {
    while (!stop.load())
      if (auto m = host.next(50); m && m->id == 600) arrived = Clock::now().time_since_epoch().count();
  });
  std::thread playerReader([&] {
    while (!stop.load()) player.next(50);
  });
  // Large updates until the stalled player's buffers are full, its writer
  // waits on its socket and the flooder is held back by it.
  std::thread flood([&] {
    const std::vector<std::uint8_t> big(29000, 0x5A);
    while (!stop.load() && flooder.send(500, big)) {
    }
  });
  Sleep(1000);

  const auto sent = Clock::now();
  ASSERT_TRUE(player.send(600, u32(7)));
  const bool quick = eventually([&] { return arrived.load() != 0; }, 1500);
  const auto took = Clock::duration(arrived.load()) - sent.time_since_epoch();
  stop = true;
  stalled.close();
  wsa::shutdown(flooder.socket(), SD_BOTH);  // ends a send held by back-pressure
  flood.join();
  hostReader.join();
  playerReader.join();
  ASSERT_TRUE(quick);
  // A relay blocked on the stalled player would give up on it only after
  // its 2 s send timeout.
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 1000);
}

TEST_F(Fanout, APlayerThatStopsReadingIsDroppedBeforeItsBacklogGrowsLarge) {
  RawPeer host(port()), first(port()), second(port()), stalled(port());
  ASSERT_EQ(seat(host, net::kHost), 0);
  ASSERT_EQ(seat(first, net::kJoin), 1);
  ASSERT_EQ(seat(second, net::kJoin), 2);
  ASSERT_EQ(seat(stalled, net::kJoin), 3);
  // Two senders: one relay thread ends up waiting on the stalled player's
  // full socket, so the other's updates for it can only pile up in the relay.
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (RawPeer* reader : {&host, &first, &second})
    threads.emplace_back([&stop, reader] {
      while (!stop.load()) reader->next(50);
    });
  for (RawPeer* sender : {&first, &second})
    threads.emplace_back([&stop, sender] {
      const std::vector<std::uint8_t> big(29000, 0x5A);
      for (int i = 0; i < 4000 && !stop.load() && sender->send(500, big); ++i) {
      }
    });
  // Well within the relay's 2 s send timeout: only the backlog limit can
  // have dropped the player by now.
  Sleep(1200);
  const bool dropped = stalled.closedByPeer(300);
  stop = true;
  for (auto& t : threads) t.join();
  EXPECT_TRUE(dropped);
}

}  // namespace
