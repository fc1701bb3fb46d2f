#include "foundation/timer.h"

#include <gtest/gtest.h>

namespace {

// A clock the test moves by hand, counting in microseconds.
class ManualClock : public Clock {
 public:
  bool frequency(std::int64_t& f) const override {
    f = 1000000;
    return hasCounter;
  }
  bool counter(std::int64_t& t) const override {
    t = ticks;
    return hasCounter;
  }
  std::uint32_t milliseconds() const override { return static_cast<std::uint32_t>(ticks / 1000); }
  void advance(double seconds) { ticks += static_cast<std::int64_t>(seconds * 1e6); }

  std::int64_t ticks = 5000000;
  bool hasCounter = true;
};

}  // namespace

TEST(Timer, PausedTimeIsNotCounted) {
  ManualClock clock;
  Timer timer(clock);
  timer.start();
  clock.advance(1.0);
  timer.pause();
  clock.advance(2.0);
  EXPECT_DOUBLE_EQ(timer.getElapsed(), 1.0) << "frozen while paused";
  timer.pause();  // a second pause changes nothing
  timer.resume();
  clock.advance(0.5);
  EXPECT_DOUBLE_EQ(timer.getElapsed(), 1.5);
  timer.resume();  // resuming a running timer changes nothing
  EXPECT_DOUBLE_EQ(timer.getElapsed(), 1.5);
}

TEST(Timer, TickGivesDeltaGameTimeAndFrameRate) {
  ManualClock clock;
  Timer timer(clock);
  timer.start();
  clock.advance(0.02);
  timer.tick();
  EXPECT_NEAR(timer.frameDelta(), 0.02f, 1e-6);
  EXPECT_NEAR(timer.gameTime(), 0.02f, 1e-6);
  EXPECT_NEAR(timer.framesPerSecond(), 50.0f, 1e-2);

  clock.advance(0.04);
  timer.tick();
  EXPECT_NEAR(timer.frameDelta(), 0.04f, 1e-6);
  EXPECT_NEAR(timer.framesPerSecond(), 25.0f, 1e-2);

  timer.pause();
  clock.advance(1.0);
  timer.tick();
  EXPECT_NEAR(timer.frameDelta(), 0.0f, 1e-6) << "game time is a float, so only nearly 0";
  EXPECT_NEAR(timer.framesPerSecond(), 25.0f, 1e-2) << "a paused tick keeps the last rate";
  EXPECT_NEAR(timer.gameTime(), 0.06f, 1e-6);
}

TEST(Timer, TimeScaleSlowsGameTime) {
  ManualClock clock;
  Timer timer(clock);
  timer.setTimeScale(0.5f);
  timer.start();
  clock.advance(0.1);
  timer.tick();
  EXPECT_NEAR(timer.frameDelta(), 0.1f, 1e-6);
  EXPECT_NEAR(timer.gameTime(), 0.05f, 1e-6);
}

TEST(Timer, FallsBackToMillisecondsWithoutACounter) {
  ManualClock clock;
  clock.hasCounter = false;
  Timer timer(clock);
  timer.start();
  clock.advance(0.25);
  EXPECT_NEAR(timer.getElapsed(), 0.25, 1e-9);
}
