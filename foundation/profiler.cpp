#include "foundation/profiler.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <limits>
#include <vector>

#include "foundation/report.h"

namespace {

static_assert(static_cast<int>(GameCounter::kCameraSceneCollision) + 1 == kGameCounterCount);

constexpr std::int64_t kNoRunYet = std::numeric_limits<std::int64_t>::max();

// A game counter's sums. Atomic so that the report may read them while a
// stream thread still adds; a counter with one feeding thread loads and
// stores (plain moves), a shared one adds with read-modify-writes.
struct Accumulator {
  std::atomic<std::uint32_t> executions{0};
  std::atomic<std::int64_t> totalClocks{0};
  std::atomic<std::int64_t> minimum{kNoRunYet};
  std::atomic<std::int64_t> maximum{0};

  void zero() {
    executions.store(0, std::memory_order_relaxed);
    totalClocks.store(0, std::memory_order_relaxed);
    minimum.store(kNoRunYet, std::memory_order_relaxed);
    maximum.store(0, std::memory_order_relaxed);
  }
};

// Alive for the whole process, so that a late stream thread never adds into
// freed memory, whatever happened to the table.
Accumulator g_game[kGameCounterCount];

struct Row {
  ProfileEntry entry;
  int game = -1;  // the game counter whose sums the row shows, or -1
};

std::vector<Row>& rows() {
  static std::vector<Row> table;
  return table;
}

Accumulator& accumulator(GameCounter counter) { return g_game[static_cast<int>(counter)]; }

ProfileEntry shown(const Row& row) {
  ProfileEntry e = row.entry;
  if (row.game < 0) return e;
  const Accumulator& a = g_game[row.game];
  e.executions = a.executions.load(std::memory_order_relaxed);
  e.totalClocks = a.totalClocks.load(std::memory_order_relaxed);
  const std::int64_t minimum = a.minimum.load(std::memory_order_relaxed);
  e.minimum = minimum == kNoRunYet ? 0 : minimum;
  e.maximum = a.maximum.load(std::memory_order_relaxed);
  return e;
}

}  // namespace

int registerProfileCounter(const char* name) {
  Row row;
  row.entry.name = name;
  rows().push_back(row);
  return static_cast<int>(rows().size()) - 1;
}

int profileCounterCount() { return static_cast<int>(rows().size()); }

ProfileEntry profileCounter(int index) { return shown(rows().at(static_cast<std::size_t>(index))); }

void clearProfileCounters() {
  rows().clear();
  for (Accumulator& a : g_game) a.zero();
}

void registerGameProfileCounters() {
  static const char* const names[kGameCounterCount] = {"CompleteRenderTime",
                                                       "GetCubeMapSurface",
                                                       "Clear",
                                                       "setStates",
                                                       "SetSources",
                                                       "DrawIndexedPrimitive",
                                                       "Present",
                                                       "svp switch",
                                                       "getMatrix",
                                                       "getInvMatrix",
                                                       "renderShadowMap",
                                                       "VorbisChannel::Fill",
                                                       "ObjectSceneCollision",
                                                       "CameraSceneCollision"};
  for (Row& row : rows()) row.game = -1;
  for (int i = 0; i < kGameCounterCount; ++i) {
    g_game[i].zero();
    rows()[static_cast<std::size_t>(registerProfileCounter(names[i]))].game = i;
  }
}

void addProfileRun(GameCounter counter, std::int64_t ticks) {
  Accumulator& a = accumulator(counter);
  constexpr auto relaxed = std::memory_order_relaxed;
  a.executions.store(a.executions.load(relaxed) + 1, relaxed);
  a.totalClocks.store(a.totalClocks.load(relaxed) + ticks, relaxed);
  if (ticks < a.minimum.load(relaxed)) a.minimum.store(ticks, relaxed);
  if (ticks > a.maximum.load(relaxed)) a.maximum.store(ticks, relaxed);
}

void addSharedProfileRun(GameCounter counter, std::int64_t ticks) {
  Accumulator& a = accumulator(counter);
  constexpr auto relaxed = std::memory_order_relaxed;
  a.executions.fetch_add(1, relaxed);
  a.totalClocks.fetch_add(ticks, relaxed);
  std::int64_t seen = a.minimum.load(relaxed);
  while (ticks < seen && !a.minimum.compare_exchange_weak(seen, ticks, relaxed)) {
  }
  seen = a.maximum.load(relaxed);
  while (ticks > seen && !a.maximum.compare_exchange_weak(seen, ticks, relaxed)) {
  }
}

std::string formatProfileRow(const ProfileEntry& e) {
  const std::int64_t average = e.executions ? e.totalClocks / static_cast<std::int64_t>(e.executions) : 0;
  char row[256];
  std::snprintf(row, sizeof row, "%-25s: %8u %13" PRId64 " %10" PRId64 " %8" PRId64 " %10" PRId64, e.name ? e.name : "",
                e.executions, e.totalClocks, average, e.minimum, e.maximum);
  return row;
}

void printProfileRow(int index) {
  if (index < 0 || index >= profileCounterCount()) return;
  g_log.line(formatProfileRow(shown(rows()[static_cast<std::size_t>(index)])).c_str());
}

void printProfilingReport() {
  g_log.line("----------- Profiling report --------------");
  g_log.line("                     name     execs        clocks    average      min        max");
  // A counter that nothing fed would only add a row of zeros.
  for (const Row& row : rows()) {
    const ProfileEntry e = shown(row);
    if (e.executions > 0) g_log.line(formatProfileRow(e).c_str());
  }
}
