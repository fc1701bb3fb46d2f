#include "foundation/profiler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "foundation/report.h"

namespace {

std::string captureReport() {
  // One file per process: ctest runs the profiler tests side by side.
  const std::string path = ::testing::TempDir() + "tessaline_profile_test_" + std::to_string(::getpid()) + ".txt";
  EXPECT_TRUE(g_log.open(path.c_str()));
  printProfilingReport();
  g_log.open("nul");
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::remove(path.c_str());
  return text.str();
}

const char* const kHeading =
    "----------- Profiling report --------------\n"
    "                     name     execs        clocks    average      min        max\n";

}  // namespace

TEST(Profiler, EmptyTablePrintsTheHeadingsOnly) {
  clearProfileCounters();
  EXPECT_EQ(captureReport(), kHeading);
}

TEST(Profiler, GameCountersReportZerosInRegistrationOrder) {
  clearProfileCounters();
  registerGameProfileCounters();
  const std::string report = captureReport();
  const std::string first = "CompleteRenderTime       :        0             0          0        0          0\n";
  const std::string last = "CameraSceneCollision     :        0             0          0        0          0\n";
  EXPECT_EQ(report.substr(0, std::string(kHeading).size()), kHeading);
  EXPECT_EQ(report.substr(std::string(kHeading).size(), first.size()), first);
  EXPECT_EQ(report.substr(report.size() - last.size()), last);
  clearProfileCounters();
}

TEST(Profiler, RowAveragesWith64BitFields) {
  ProfileEntry e;
  e.name = "Present";
  e.executions = 4;
  e.totalClocks = 10000000000LL;
  e.minimum = 3;
  e.maximum = 5000000000LL;
  EXPECT_EQ(formatProfileRow(e), "Present                  :        4   10000000000 2500000000        3 5000000000");
}
