// A table of named performance counters and its text report. The entry
// point registers the counters at start-up and writes the report to g_log at
// shutdown; the engine's hot paths time their work into the game's counters
// with ProfileScope.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/timer.h"

struct ProfileEntry {
  const char* name = nullptr;  // not copied
  std::uint32_t executions = 0;
  std::int64_t totalClocks = 0;  // ticks of the high-resolution counter
  std::int64_t minimum = 0;
  std::int64_t maximum = 0;
};

// Appends a zeroed counter and returns its index.
int registerProfileCounter(const char* name);
int profileCounterCount();
// The counter as the report shows it, with what its work fed it.
ProfileEntry profileCounter(int index);
// Empties the table and zeroes the game counters. Not while a counter is fed.
void clearProfileCounters();

// The game's counters, in the order registerGameProfileCounters registers
// them.
enum class GameCounter : int {
  kCompleteRenderTime,  // a whole race or menu frame's drawing, Present included
  kGetCubeMapSurface,   // nothing draws into cube maps: never fed
  kClear,
  kSetStates,   // a surface's states, shaders, samplers and vertex declaration before its draw
  kSetSources,  // vertex and index buffers
  kDrawIndexedPrimitive,
  kPresent,
  kSvpSwitch,     // software vertex processing set for a draw
  kGetMatrix,     // a world matrix computed (cached ones cost a copy and are not timed)
  kGetInvMatrix,  // an inverse world matrix computed
  kRenderShadowMap,
  kVorbisChannelFill,  // fed from the sound streams' threads as well
  kObjectSceneCollision,
  kCameraSceneCollision,
};
inline constexpr int kGameCounterCount = 14;

// Registers the fourteen game counters, zeroed, in enum order. A second
// registration takes the counters over: rows registered before show nothing.
void registerGameProfileCounters();

// Adds one run that took `ticks` to a game counter fed by one thread at a
// time (the main thread's drawing, matrices and collision): no lock, no
// read-modify-write.
void addProfileRun(GameCounter counter, std::int64_t ticks);
// The same for a counter that several threads feed at once.
void addSharedProfileRun(GameCounter counter, std::int64_t ticks);

// Times its own life into a game counter: one read of the high-resolution
// counter at each end.
template <bool kShared>
class BasicProfileScope {
 public:
  explicit BasicProfileScope(GameCounter counter) : m_counter(counter), m_start(highResolutionTicks()) {}
  ~BasicProfileScope() {
    const std::int64_t ticks = highResolutionTicks() - m_start;
    if constexpr (kShared)
      addSharedProfileRun(m_counter, ticks);
    else
      addProfileRun(m_counter, ticks);
  }
  BasicProfileScope(const BasicProfileScope&) = delete;
  BasicProfileScope& operator=(const BasicProfileScope&) = delete;

 private:
  GameCounter m_counter;
  std::int64_t m_start;
};
using ProfileScope = BasicProfileScope<false>;
using SharedProfileScope = BasicProfileScope<true>;

// Prints one row, whatever its executions.
void printProfileRow(int index);
// The headings, then one row per counter that ran at least once, in
// registration order.
void printProfilingReport();
// One row of the report, without its line feed.
std::string formatProfileRow(const ProfileEntry& entry);
