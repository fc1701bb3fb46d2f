// Whole runs of the program in the test's own process: a folder of its
// own (with or without the sample "data.sar"), its own runtime folder,
// registry file, texture cache and trace file, and an observer that steers
// the run from the test.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/entry_point.h"
#include "app/game_program.h"
#include "foundation/timer.h"
#include "platform/system/system.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/stepped_clock.h"

// Sets an environment variable for the fixture's life (null unsets it).
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    set(value);
  }
  ~ScopedVariable() { set(m_old ? m_old->c_str() : nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;
  void set(const char* value) {
    if (value)
      setenv(m_name, value, 1);
    else
      unsetenv(m_name);
  }

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

// Calls the test's functions; a run that goes on too long is ended (the
// menu's quit flag, the race's leave flag) so that no test hangs.
class Steering : public EntryObserver {
 public:
  static constexpr int kMaxPasses = 3000;

  void afterStartUpStep(int step, GameProgram& program) override {
    if (onStep) onStep(step, program);
  }
  void beforeMenuPass(GameProgram& program, int pass) override;
  void beforeRacePass(GameProgram& program, int pass) override;
  void beforeRaceLoad(GameProgram& program) override {
    if (onRaceLoad) onRaceLoad(program);
  }
  void beforeShutdown(GameProgram& program) override {
    shutdownStarted = std::chrono::steady_clock::now();
    if (onShutdown) onShutdown(program);
  }

  std::function<void(int, GameProgram&)> onStep;
  // Get the pass number within the current loop (from 1).
  std::function<void(int, GameProgram&)> onMenuPass, onRacePass;
  std::function<void(GameProgram&)> onRaceLoad;
  std::function<void(GameProgram&)> onShutdown;
  int menuLoops = 0, raceLoops = 0;
  bool ranOut = false;
  std::chrono::steady_clock::time_point shutdownStarted;
};

class ProgramTest : public ScratchDirTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  void copySampleArchive();
  // Runs the program; its result. The race timer reads `raceClock` when
  // one is given.
  int run(WORD relayPort = 0, const Clock* raceClock = nullptr);
  // The trace file's lines that name a loop, in order.
  std::vector<std::string> loopTraces() const;
  std::string traceText() const;

  Steering steering;
  std::vector<std::string> boxes;
  std::optional<ScopedVariable> runtime, registry, cache, log, lang, all, messages;
};

// The menu's time-trial screen reports "start": the race it holds is loaded.
void startTimeTrial(GameProgram& program);
// A click of the left button at (x, y) of the 1024 x 768 screen, as the
// input device reports it: down in one pass, up in the next. Call it
// before every pass; true once the button is up again.
class InputClick {
 public:
  InputClick(int x, int y) : m_x(x), m_y(y) {}
  bool step(InputDevice& input);

 private:
  int m_x, m_y;
  int m_state = 0;
};
