// A table of named performance counters and its text report. The entry
// point registers the counters at start-up and writes the report to g_log at
// shutdown.
#pragma once

#include <cstdint>
#include <string>

struct ProfileEntry {
  const char* name = nullptr;  // not copied
  std::uint32_t executions = 0;
  std::int64_t totalClocks = 0;
  std::int64_t minimum = 0;
  std::int64_t maximum = 0;
};

// Appends a zeroed counter and returns its index.
int registerProfileCounter(const char* name);
int profileCounterCount();
ProfileEntry& profileCounter(int index);
void clearProfileCounters();

// The fourteen counters the game registers, in registration order.
void registerGameProfileCounters();

void printProfileRow(int index);
void printProfilingReport();
// One row of the report, without its line feed.
std::string formatProfileRow(const ProfileEntry& entry);
