#include "foundation/profiler.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "foundation/report.h"

namespace {

std::vector<ProfileEntry>& entries() {
  static std::vector<ProfileEntry> table;
  return table;
}

}  // namespace

int registerProfileCounter(const char* name) {
  ProfileEntry entry;
  entry.name = name;
  entries().push_back(entry);
  return static_cast<int>(entries().size()) - 1;
}

int profileCounterCount() { return static_cast<int>(entries().size()); }

ProfileEntry& profileCounter(int index) { return entries().at(static_cast<std::size_t>(index)); }

void clearProfileCounters() { entries().clear(); }

void registerGameProfileCounters() {
  static const char* const names[] = {"CompleteRenderTime",
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
  for (const char* name : names) registerProfileCounter(name);
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
  g_log.line(formatProfileRow(entries()[static_cast<std::size_t>(index)]).c_str());
}

void printProfilingReport() {
  g_log.line("----------- Profiling report --------------");
  g_log.line("                     name     execs        clocks    average      min        max");
  for (int i = 0; i < profileCounterCount(); ++i) printProfileRow(i);
}
