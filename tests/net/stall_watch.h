// How long this machine keeps a ready thread waiting. A thread that asks to
// sleep 2 ms at a time notes the longest it overslept: on an idle machine a
// millisecond or two, with every core busy tens or hundreds. A test that
// bounds a wait in real time allows for that much, so that it fails on what
// the code under test did and not on what the machine did.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

class StallWatch {
 public:
  StallWatch()
      : m_thread([this] {
          using Clock = std::chrono::steady_clock;
          constexpr auto kNap = std::chrono::milliseconds(2);
          while (!m_stop.load()) {
            const auto before = Clock::now();
            std::this_thread::sleep_for(kNap);
            const auto late = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - before - kNap);
            m_longest = std::max<long long>(m_longest.load(), late.count());
          }
        }) {}
  ~StallWatch() {
    m_stop = true;
    m_thread.join();
  }
  StallWatch(const StallWatch&) = delete;
  StallWatch& operator=(const StallWatch&) = delete;

  // The longest a sleep overran so far, in milliseconds.
  long long longestMs() const { return m_longest.load(); }

 private:
  std::atomic<bool> m_stop{false};
  std::atomic<long long> m_longest{0};
  std::thread m_thread;
};

// How many ready threads each core had to share over the last minute (at
// least 1). A sleeper like StallWatch's is woken promptly even then, while a
// thread that keeps working, as the relay's do, gets its share of a core:
// a gap it leaves grows with this.
inline double coreShare() {
  double load[1] = {0.0};
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  if (getloadavg(load, 1) != 1) return 1.0;
  return std::max(1.0, load[0] / cores);
}
