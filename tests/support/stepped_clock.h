// A clock the test moves by hand, counting microseconds, so that races and
// timers run on the test's time, however slowly the machine draws.
#pragma once

#include <cstdint>

#include "foundation/timer.h"

class SteppedClock : public Clock {
 public:
  explicit SteppedClock(std::int64_t startMicroseconds = 1) : m_ticks(startMicroseconds) {}

  bool frequency(std::int64_t& ticksPerSecond) const override {
    ticksPerSecond = 1000000;
    return true;
  }
  bool counter(std::int64_t& ticks) const override {
    ticks = m_ticks;
    return true;
  }
  std::uint32_t milliseconds() const override { return static_cast<std::uint32_t>(m_ticks / 1000); }

  void advance(double seconds) { m_ticks += static_cast<std::int64_t>(seconds * 1e6 + 0.5); }
  void advanceMicroseconds(std::int64_t microseconds) { m_ticks += microseconds; }

 private:
  std::int64_t m_ticks;
};
