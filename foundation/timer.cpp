#include "foundation/timer.h"

#include "platform/system/system.h"

namespace {

class SystemClock final : public Clock {
 public:
  bool frequency(std::int64_t& ticksPerSecond) const override {
    LARGE_INTEGER value;
    if (!QueryPerformanceFrequency(&value) || value.QuadPart <= 0) return false;
    ticksPerSecond = value.QuadPart;
    return true;
  }
  bool counter(std::int64_t& ticks) const override {
    LARGE_INTEGER value;
    if (!QueryPerformanceCounter(&value)) return false;
    ticks = value.QuadPart;
    return true;
  }
  std::uint32_t milliseconds() const override { return timeGetTime(); }
};

}  // namespace

const Clock& systemClock() {
  static const SystemClock clock;
  return clock;
}

std::int64_t highResolutionTicks() {
  LARGE_INTEGER value;
  return QueryPerformanceCounter(&value) ? value.QuadPart : 0;
}

Timer::Timer(const Clock& clock) : m_clock(&clock) {
  if (!m_clock->frequency(m_frequency) || m_frequency <= 0) m_frequency = 1000;
}

std::int64_t Timer::now() const {
  std::int64_t ticks;
  if (m_clock->counter(ticks)) return ticks;
  return m_clock->milliseconds();
}

void Timer::start() {
  m_startCount = now();
  m_running = true;
  m_gameTime = 0;
  m_frameDelta = 0;
  m_frameCount = 0;
  m_lastRateTime = 0;
}

void Timer::pause() {
  if (!m_running) return;
  m_pauseCount = now();
  m_running = false;
}

void Timer::resume() {
  if (m_running) return;
  m_startCount += now() - m_pauseCount;
  m_running = true;
}

double Timer::getElapsed() const {
  const std::int64_t end = m_running ? now() : m_pauseCount;
  return static_cast<double>(end - m_startCount) / static_cast<double>(m_frequency);
}

void Timer::tick() {
  const double elapsed = getElapsed();
  m_frameDelta = static_cast<float>(elapsed - m_gameTime);
  m_gameTime = m_timeScale * m_frameDelta + m_gameTime;
  m_frameCount += 1;
  if (m_gameTime - m_lastRateTime > 0) {
    m_framesPerSecond = static_cast<float>(m_frameCount) / (m_gameTime - m_lastRateTime);
    m_frameCount = 0;
    m_lastRateTime = m_gameTime;
  }
}
