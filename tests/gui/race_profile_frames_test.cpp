// The profiler's report after race frames drawn on the OpenGL device: each
// counter the frame's work feeds has its row, and the counters nothing in a
// race feeds have none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/profiler.h"
#include "game/race/game_mode.h"
#include "tests/gui/race_frames_fixture.h"
#include "tests/support/trace_capture.h"

namespace {

// The report's row of `name`, or an empty string.
std::string rowOf(const std::vector<std::string>& report, const std::string& name) {
  for (const std::string& line : report)
    if (line.rfind(name + " ", 0) == 0 && line.find(':') == 25) return line;
  return "";
}

TEST_F(RaceFrames, TheProfilingReportListsWhatDrawnFramesFed) {
  chooseRace(kModeRace);
  ASSERT_TRUE(load());
  clearProfileCounters();
  registerGameProfileCounters();
  startRace();
  frames(3);

  TraceCapture trace;
  printProfilingReport();
  const std::vector<std::string> report = trace.lines();
  ASSERT_GE(report.size(), 2u);
  EXPECT_EQ(report[0], "----------- Profiling report --------------");
  for (const char* fed : {"CompleteRenderTime", "Clear", "setStates", "SetSources", "DrawIndexedPrimitive", "Present",
                          "svp switch", "getMatrix", "getInvMatrix", "ObjectSceneCollision"}) {
    const std::string row = rowOf(report, fed);
    ASSERT_FALSE(row.empty()) << fed << " has no row";
    EXPECT_GT(std::stoul(row.substr(26)), 0u) << row;
  }
  // No cube maps are drawn and no camera collider is installed.
  EXPECT_EQ(rowOf(report, "GetCubeMapSurface"), "");
  EXPECT_EQ(rowOf(report, "CameraSceneCollision"), "");
  // Rows keep the registration order.
  EXPECT_EQ(report[2].rfind("CompleteRenderTime", 0), 0u);
  for (const std::string& line : std::vector<std::string>(report.begin() + 2, report.end()))
    EXPECT_EQ(line.find(":        0 "), std::string::npos) << "a row without a run: " << line;
  clearProfileCounters();
}

}  // namespace
