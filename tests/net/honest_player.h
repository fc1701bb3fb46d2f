// An honest player of the relay's attack tests: one thread sends its value
// every 10 ms, another reads everything and notes the longest wait between
// two updates of each other honest player, which value ids it saw, and
// anything it should never see.
#pragma once

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
        Sleep(10);
      }
    });
    m_reader = std::thread([this] {
      while (!m_stop.load() && !m_peer.closed()) {
        auto m = m_peer.next(20);
        if (!m) continue;
        std::lock_guard lock(m_mutex);
        if (m->id < net::kValueIdCount) m_seen.set(m->id);
        const int from = m->id - kHonestId;
        if (from >= 0 && from < m_players) {
          m_maxGap = std::max(m_maxGap, msSince(m_last[from]));
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
  // included.
  long long maxGapMs() {
    std::lock_guard lock(m_mutex);
    long long gap = m_maxGap;
    for (int p = 0; p < m_players; ++p)
      if (p != m_slot) gap = std::max(gap, msSince(m_last[p]));
    return gap;
  }
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
  RawPeer m_peer;
  const int m_slot;
  const int m_players;
  std::atomic<bool> m_stop{false};
  std::thread m_sender, m_reader;
  std::mutex m_mutex;
  Clock::time_point m_last[net::kPlayerSlots];
  long long m_maxGap = 0;
  int m_unexpected = 0;
  std::bitset<net::kValueIdCount> m_seen;
};
