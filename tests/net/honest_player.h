// An honest player of the relay's attack tests: one thread sends its value
// every 10 ms, another reads everything and notes the longest wait between
// two updates of each other honest player, which value ids it saw, and
// anything it should never see. Both note how late the machine let them
// run, which the check of the longest wait allows for.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include "net/message.h"
#include "tests/net/raw_peer.h"
#include "tests/net/stall_watch.h"

using Clock = std::chrono::steady_clock;
constexpr int kHonestId = 100;  // honest player p updates id 100 + p

inline long long msSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

class HonestPlayer {
 public:
  // Player `slot` of `players` honest ones, all seated in slots 0 up.
  HonestPlayer(WORD port, int slot, int players) : m_peer(port), m_slot(slot), m_players(players) {}
  ~HonestPlayer() { stop(); }

  bool seat() { return ::seat(m_peer, m_slot == 0 ? net::kHost : net::kJoin) == m_slot; }
  void start() {
    const auto now = Clock::now();
    std::fill(std::begin(m_last), std::end(m_last), now);
    m_sender = std::thread([this] {
      std::vector<std::uint8_t> payload(24, static_cast<std::uint8_t>(m_slot));
      for (std::uint32_t seq = 0; !m_stop.load(); ++seq) {
        std::copy_n(u32(seq).begin(), 4, payload.begin());
        if (!m_peer.send(static_cast<std::uint16_t>(kHonestId + m_slot), payload)) break;
        const auto before = Clock::now();
        Sleep(10);
        noteStall(msSince(before) - 10);
      }
    });
    m_reader = std::thread([this] {
      while (!m_stop.load() && !m_peer.closed()) {
        const auto before = Clock::now();
        auto m = m_peer.next(20);
        noteStall(msSince(before) - 20);
        if (!m) continue;
        std::lock_guard lock(m_mutex);
        if (m->id < net::kValueIdCount) m_seen.set(m->id);
        const int from = m->id - kHonestId;
        if (from >= 0 && from < m_players) {
          if (msSince(m_last[from]) > m_maxGap) m_maxGap = msSince(m_last[from]), m_maxGapFrom = from;
          m_last[from] = Clock::now();
        } else if (m->id == net::kAccepted || m->id == net::kRefused || m->id == net::kValuesEnded ||
                   m->id == net::kLeave) {
          ++m_unexpected;
        }
      }
    });
  }
  void stop() {
    m_stop = true;
    if (m_sender.joinable()) m_sender.join();
    if (m_reader.joinable()) m_reader.join();
  }
  // The longest wait for another player's update so far, the current one
  // included, and whose update it was.
  long long maxGapMs(int* from = nullptr) {
    std::lock_guard lock(m_mutex);
    long long gap = m_maxGap;
    if (from) *from = m_maxGapFrom;
    for (int p = 0; p < m_players; ++p) {
      if (p == m_slot || msSince(m_last[p]) <= gap) continue;
      gap = msSince(m_last[p]);
      if (from) *from = p;
    }
    return gap;
  }
  // The longest the machine kept this player's threads from running.
  long long stallMs() const { return m_stall.load(); }
  int slot() const { return m_slot; }
  bool dropped() const { return m_peer.closed(); }
  int unexpected() {
    std::lock_guard lock(m_mutex);
    return m_unexpected;
  }
  bool saw(int id) {
    std::lock_guard lock(m_mutex);
    return m_seen.test(static_cast<std::size_t>(id));
  }

 private:
  void noteStall(long long ms) { m_stall = std::max(m_stall.load(), ms); }

  RawPeer m_peer;
  const int m_slot;
  const int m_players;
  std::atomic<bool> m_stop{false};
  std::thread m_sender, m_reader;
  std::mutex m_mutex;
  Clock::time_point m_last[net::kPlayerSlots];
  long long m_maxGap = 0;
  int m_maxGapFrom = -1;
  std::atomic<long long> m_stall{0};
  int m_unexpected = 0;
  std::bitset<net::kValueIdCount> m_seen;
};

// An update of each honest player reached every other within 250 ms on a
// machine with a core to spare for every ready thread, stretched by how many
// shared each core beyond that, plus what the machine itself held the test's
// threads back: a sender, the relay and a reader may each be kept waiting
// that long once.
inline ::testing::AssertionResult updatesKeptComing(HonestPlayer& h, const StallWatch& machine) {
  constexpr long long kGapMs = 250;
  int from = -1;
  const long long gap = h.maxGapMs(&from);
  const long long stall = std::max(machine.longestMs(), h.stallMs());
  const double share = coreShare();
  const long long allowed = static_cast<long long>(kGapMs * share) + 3 * stall;
  if (gap < allowed) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "player " << h.slot() << " waited " << gap << " ms for an update of player "
                                       << from << "; the machine held a thread back up to " << stall
                                       << " ms and each core had " << share << " ready threads to serve, so " << allowed
                                       << " ms were allowed";
}
