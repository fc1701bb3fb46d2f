// A stopwatch with pause, a time scale and a frame-rate estimate. The race
// and the menu each own one and tick it once a frame.
#pragma once

#include <cstdint>

// Where a Timer reads time. The system clock is the high-resolution counter;
// tests hand in a clock they move by hand.
class Clock {
 public:
  virtual ~Clock() = default;
  // Counter ticks per second; false when no high-resolution counter exists.
  virtual bool frequency(std::int64_t& ticksPerSecond) const = 0;
  // The counter; false when it cannot be read.
  virtual bool counter(std::int64_t& ticks) const = 0;
  // Milliseconds, the fallback counter (its frequency is 1000).
  virtual std::uint32_t milliseconds() const = 0;
};

const Clock& systemClock();

// The system clock's counter, read directly: for timings so short that a
// virtual call would be a noticeable share of them (the profiler's). 0 when
// the counter cannot be read.
std::int64_t highResolutionTicks();

class Timer {
 public:
  explicit Timer(const Clock& clock = systemClock());

  void start();
  void pause();
  void resume();
  double getElapsed() const;  // seconds; frozen while paused
  void tick();                // once a frame

  bool isRunning() const { return m_running; }
  float gameTime() const { return m_gameTime; }
  float frameDelta() const { return m_frameDelta; }
  float framesPerSecond() const { return m_framesPerSecond; }
  float timeScale() const { return m_timeScale; }
  void setTimeScale(float scale) { m_timeScale = scale; }

 private:
  std::int64_t now() const;

  const Clock* m_clock;
  bool m_running = false;
  std::int64_t m_startCount = 0;
  std::int64_t m_pauseCount = 0;
  std::int64_t m_frequency = 1000;
  float m_gameTime = 0;
  float m_frameDelta = 0;
  std::int32_t m_frameCount = 0;
  float m_lastRateTime = 0;
  float m_framesPerSecond = 0;
  float m_timeScale = 1.0f;
};
