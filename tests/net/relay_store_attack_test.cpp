// The relay's value store and its dump under hostile and slow peers: honest
// players update at 100 Hz while peers fill the store, ask for the dump and
// do not read it. Seatless attackers come from 127.0.0.10-13, so the limit
// of 8 connections per address holds for them and not for the players.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/relay_server.h"
#include "tests/net/honest_player.h"
#include "tests/net/live_heap.h"
#include "tests/net/raw_peer.h"

namespace {

constexpr const char* kAttackerAddresses[] = {"127.0.0.10", "127.0.0.11", "127.0.0.12", "127.0.0.13"};
// Values of 1000 bytes from id 200 on; 1045 of them fill the store (with
// the honest players' own) to just under its bound, and their dump is
// larger than a player's backlog limit.
constexpr int kFirstBigId = 200;
constexpr int kBigValues = 1045;
constexpr std::size_t kBigSize = 1000;

std::vector<std::uint8_t> bigPayload(int id, std::size_t size = kBigSize) {
  return std::vector<std::uint8_t>(size, static_cast<std::uint8_t>(id * 7));
}

std::vector<std::uint8_t> bigValues(int count, std::size_t size = kBigSize) {
  std::vector<std::uint8_t> bytes;
  for (int id = kFirstBigId; id < kFirstBigId + count; ++id) {
    const auto m = frame(static_cast<std::uint16_t>(id), bigPayload(id, size));
    bytes.insert(bytes.end(), m.begin(), m.end());
  }
  return bytes;
}

// Reads up to the end of a value dump, pausing `pauseMs` after every 8 KB.
// The dump must hold every big value whole, in ascending order, with
// nothing else among them, and then end.
::testing::AssertionResult readDump(RawPeer& peer, int pauseMs) {
  int due = kFirstBigId;
  std::size_t sincePause = 0;
  for (;;) {
    auto m = peer.next(3000);
    if (!m) return ::testing::AssertionFailure() << "the stream stopped with id " << due << " due";
    sincePause += m->payload.size() + net::kHeaderSize;
    if (pauseMs > 0 && sincePause >= 8192) {
      Sleep(pauseMs);
      sincePause = 0;
    }
    if (m->id == net::kValuesEnded) {
      if (due != kFirstBigId + kBigValues) return ::testing::AssertionFailure() << "the dump ended at id " << due;
      return ::testing::AssertionSuccess();
    }
    const bool big = m->id >= kFirstBigId && m->id < kFirstBigId + kBigValues;
    if (big && m->id != due) return ::testing::AssertionFailure() << "id " << m->id << " where " << due << " was due";
    if (big && m->payload != bigPayload(m->id)) return ::testing::AssertionFailure() << "id " << m->id << " broken";
    if (!big && due != kFirstBigId) return ::testing::AssertionFailure() << "id " << m->id << " inside the dump";
    if (big) ++due;
  }
}

class StoreAttack : public ::testing::Test {
 protected:
  void start(int honest) {
    m_relay = std::make_unique<GameDaemon::ServerThread>(0);
    ASSERT_TRUE(m_relay->waitListening());
    m_count = honest;
    for (int p = 0; p < honest; ++p) {
      m_honest.push_back(std::make_unique<HonestPlayer>(port(), p, honest));
      ASSERT_TRUE(m_honest.back()->seat());
    }
    for (auto& h : m_honest) h->start();
    Sleep(100);
  }
  void TearDown() override {
    for (auto& h : m_honest) {
      EXPECT_TRUE(updatesKeptComing(*h, m_machine));
      EXPECT_FALSE(h->dropped());
      EXPECT_EQ(h->unexpected(), 0);
    }
    if (m_relay) {
      EXPECT_TRUE(m_relay->stop());
    }
    m_honest.clear();
  }
  WORD port() const { return m_relay->port(); }
  GameDaemon::GameServer& server() { return *m_relay->server(); }

  // A peer takes the next seat, fills the store and leaves its seat again.
  void fillTheStoreAndLeave() {
    RawPeer storer(port());
    ASSERT_EQ(seat(storer, net::kJoin), m_count);
    ASSERT_TRUE(storer.sendRaw(bigValues(kBigValues)));
    ASSERT_TRUE(eventually([&] { return !server().storedValue(kFirstBigId + kBigValues - 1).empty(); }));
    ASSERT_TRUE(storer.send(net::kLeave));
    ASSERT_TRUE(eventually([&] { return server().occupiedSlots() == m_count; }));
  }
  // Reads for `ms` while the honest players send; true when their updates
  // kept coming and the peer kept its connection.
  bool keepsGettingUpdates(RawPeer& peer, int ms) {
    int updates = 0;
    const auto start = Clock::now();
    while (msSince(start) < ms) {
      auto m = peer.next(50);
      if (m && m->id >= kHonestId && m->id < kHonestId + m_count) ++updates;
    }
    return !peer.closed() && updates >= ms / 50;
  }

  StallWatch m_machine;
  std::unique_ptr<GameDaemon::ServerThread> m_relay;
  std::vector<std::unique_ptr<HonestPlayer>> m_honest;
  int m_count = 0;
};

TEST_F(StoreAttack, RequestersThatNeverReadTheDumpHoldNobodyAndCostTheRelayLittle) {
  start(3);
  const std::size_t before = liveHeapBytes();
  fillTheStoreAndLeave();
  RawPeer requester(port());
  ASSERT_EQ(seat(requester, net::kJoin), 3);
  ASSERT_TRUE(requester.send(net::kRequestValues));
  std::vector<std::unique_ptr<RawPeer>> seatless;
  for (int i = 0; i < 16; ++i) {
    seatless.push_back(std::make_unique<RawPeer>(port(), kAttackerAddresses[i % 4]));
    for (int k = 0; k < 4; ++k) ASSERT_TRUE(seatless.back()->send(net::kRequestValues));
  }
  std::size_t peak = before;
  for (int i = 0; i < 30; ++i) {
    peak = std::max(peak, liveHeapBytes());
    Sleep(50);
  }
  EXPECT_LT(peak - before, 16u << 20);
  // The seatless ones were given nothing.
  EXPECT_TRUE(eventually([&] { return server().refusedMessages() >= 64; }));
  for (auto& p : seatless) EXPECT_TRUE(p->silentFor(10));
}

TEST_F(StoreAttack, ASeatedRequesterReadingSlowlyGetsTheWholeDumpInOrderAndKeepsItsSeat) {
  start(3);
  fillTheStoreAndLeave();
  RawPeer reader(port());
  ASSERT_EQ(seat(reader, net::kJoin), 3);
  ASSERT_TRUE(reader.send(net::kRequestValues));
  EXPECT_TRUE(readDump(reader, 10));
  EXPECT_TRUE(keepsGettingUpdates(reader, 300));
  EXPECT_TRUE(server().slotOccupied(3));
}

TEST_F(StoreAttack, TheStoreStopsAtItsBoundWhileLaterValuesAreStillRelayed) {
  start(3);
  RawPeer storer(port());
  ASSERT_EQ(seat(storer, net::kJoin), 3);
  // About 2 MB in 1800 values.
  constexpr int kCount = 1800;
  constexpr std::size_t kSize = 1150;
  constexpr int kLast = kFirstBigId + kCount - 1;
  ASSERT_TRUE(storer.sendRaw(bigValues(kCount, kSize)));
  for (auto& h : m_honest) EXPECT_TRUE(eventually([&] { return h->saw(kLast); }));
  EXPECT_LE(server().storedBytes(), GameDaemon::kMaxStoredBytes);
  EXPECT_GT(server().storedBytes(), GameDaemon::kMaxStoredBytes - kSize);
  EXPECT_EQ(server().storedValue(kFirstBigId), bigPayload(kFirstBigId, kSize));
  EXPECT_TRUE(server().storedValue(kLast).empty());
  EXPECT_TRUE(server().slotOccupied(3));
  EXPECT_FALSE(storer.closedByPeer(100));
  EXPECT_EQ(server().droppedConnections(), 0u);
}

TEST_F(StoreAttack, NewcomersAskingForAFullStoreGetItWholeAndStaySeated) {
  start(2);
  fillTheStoreAndLeave();
  std::vector<std::unique_ptr<RawPeer>> newcomers;
  for (int i = 0; i < 3; ++i) {
    newcomers.push_back(std::make_unique<RawPeer>(port()));
    ASSERT_EQ(seat(*newcomers.back(), net::kJoin), 2 + i);
  }
  bool whole[3] = {}, seated[3] = {};
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i)
    threads.emplace_back([&, i] {
      RawPeer& n = *newcomers[static_cast<std::size_t>(i)];
      whole[i] = n.send(net::kRequestValues) && readDump(n, 0);
      seated[i] = keepsGettingUpdates(n, 300);
    });
  for (auto& t : threads) t.join();
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(whole[i]) << "newcomer " << i;
    EXPECT_TRUE(seated[i]) << "newcomer " << i;
  }
  EXPECT_EQ(server().occupiedSlots(), 5);
  EXPECT_EQ(server().droppedConnections(), 0u);
}

}  // namespace
