#include "foundation/profiler.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

TEST(Profiler, GameCountersThatNothingFedAreLeftOutOfTheReport) {
  clearProfileCounters();
  EXPECT_EQ(registerProfileCounter("Own"), 0);
  registerGameProfileCounters();
  EXPECT_EQ(profileCounterCount(), 15);
  EXPECT_STREQ(profileCounter(14).name, "CameraSceneCollision");
  EXPECT_EQ(captureReport(), kHeading);

  // Fed out of order, reported in registration order with their sums.
  addProfileRun(GameCounter::kCameraSceneCollision, 7);
  addProfileRun(GameCounter::kCompleteRenderTime, 5);
  addProfileRun(GameCounter::kCompleteRenderTime, 3);
  EXPECT_EQ(captureReport(), std::string(kHeading) +
                                 "CompleteRenderTime       :        2             8          4        3          5\n"
                                 "CameraSceneCollision     :        1             7          7        7          7\n");
  EXPECT_EQ(profileCounter(1).executions, 2u);
  EXPECT_EQ(profileCounter(0).executions, 0u);
  clearProfileCounters();
}

TEST(Profiler, ASecondRegistrationStartsTheGameCountersAfresh) {
  clearProfileCounters();
  registerGameProfileCounters();
  addProfileRun(GameCounter::kPresent, 9);
  registerGameProfileCounters();
  EXPECT_EQ(captureReport(), kHeading);
  addProfileRun(GameCounter::kPresent, 4);
  // One row: the first registration's "Present" shows nothing any more.
  EXPECT_EQ(captureReport(), std::string(kHeading) +
                                 "Present                  :        1             4          4        4          4\n");
  EXPECT_EQ(profileCounter(6).executions, 0u);
  EXPECT_EQ(profileCounter(20).executions, 1u);
  clearProfileCounters();
}

TEST(Profiler, ScopesTimeTheirLifeIntoTheirOwnCounter) {
  clearProfileCounters();
  registerGameProfileCounters();
  for (int i = 0; i < 3; ++i) {
    ProfileScope timed(GameCounter::kGetMatrix);
  }
  { SharedProfileScope timed(GameCounter::kVorbisChannelFill); }
  const ProfileEntry matrix = profileCounter(static_cast<int>(GameCounter::kGetMatrix));
  EXPECT_EQ(matrix.executions, 3u);
  EXPECT_GE(matrix.minimum, 0);
  EXPECT_LE(matrix.minimum, matrix.maximum);
  EXPECT_GE(matrix.totalClocks, matrix.maximum);
  EXPECT_EQ(profileCounter(static_cast<int>(GameCounter::kVorbisChannelFill)).executions, 1u);
  EXPECT_EQ(profileCounter(static_cast<int>(GameCounter::kGetInvMatrix)).executions, 0u);
  clearProfileCounters();
}

TEST(Profiler, ASharedCounterLosesNoRunFedFromManyThreads) {
  clearProfileCounters();
  registerGameProfileCounters();
  constexpr int kThreads = 4, kRuns = 20000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kRuns; ++i) addSharedProfileRun(GameCounter::kVorbisChannelFill, 1 + (i + t) % 10);
    });
  }
  for (std::thread& t : threads) t.join();
  const ProfileEntry e = profileCounter(static_cast<int>(GameCounter::kVorbisChannelFill));
  EXPECT_EQ(e.executions, static_cast<std::uint32_t>(kThreads * kRuns));
  EXPECT_EQ(e.totalClocks, kThreads * (kRuns / 10) * 55);  // each run of ten adds 1..10
  EXPECT_EQ(e.minimum, 1);
  EXPECT_EQ(e.maximum, 10);
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
