#include "foundation/report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/system.h"

namespace {

struct BoxCall {
  std::string text, caption;
};

// Captures message boxes and restores the reporting globals after each test.
class Reporting : public ::testing::Test {
 protected:
  void SetUp() override {
    m_previous = setMessageBoxHook([this](const char* text, const char* caption, UINT) {
      m_boxes.push_back({text, caption});
      return IDOK;
    });
    g_lastMessage.clear();
  }
  void TearDown() override {
    setMessageBoxHook(m_previous);
    g_messageLevel = 0;
    g_logMessages = false;
    g_lastMessage.clear();
  }
  std::vector<BoxCall> m_boxes;
  MessageBoxHook m_previous;
};

}  // namespace

TEST_F(Reporting, LevelZeroReportsNothing) {
  g_messageLevel = 0;
  g_logMessages = false;
  reportError("lost %d", 1);
  ENGINE_ASSERT(1 == 2 && "never seen");
  g_logMessages = true;
  reportError("lost %d", 2);
  EXPECT_TRUE(m_boxes.empty());
  EXPECT_TRUE(g_lastMessage.empty());
}

TEST_F(Reporting, ErrorsShowABoxOrReplaceTheLastMessage) {
  g_messageLevel = 1;
  reportError("cannot open %s", "track.lws");
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0].caption, "Error");
  EXPECT_EQ(m_boxes[0].text, "cannot open track.lws");

  g_logMessages = true;
  reportError("first");
  reportError("second");
  EXPECT_STREQ(g_lastMessage.get().c_str(), "second") << "each report replaces, nothing appends";
  EXPECT_EQ(m_boxes.size(), 1u);
}

TEST_F(Reporting, AssertionsAreCheckedOnlyFromLevelThree) {
  int evaluated = 0;
  auto fails = [&] {
    ++evaluated;
    return false;
  };
  g_messageLevel = 2;
  ENGINE_ASSERT(fails() && "unseen");
  EXPECT_EQ(evaluated, 0) << "below level 3 the condition is not even evaluated";

  g_messageLevel = 3;
  ENGINE_ASSERT(fails() && "duplicated preference flags?");
  EXPECT_EQ(evaluated, 1);
  ASSERT_EQ(m_boxes.size(), 1u);
  EXPECT_EQ(m_boxes[0].caption, "Assertion failed");
  EXPECT_EQ(m_boxes[0].text, "duplicated preference flags?");

  ENGINE_ASSERT(fails());
  EXPECT_EQ(m_boxes[1].text, "- internal error -");
}

TEST_F(Reporting, LoggedAssertionWithoutQuotesStoresTheEmptyText) {
  g_messageLevel = 3;
  g_logMessages = true;
  g_lastMessage.set("old");
  reportAssertion("a < b");
  EXPECT_STREQ(g_lastMessage.get().c_str(), "");
  reportAssertion("0 && \"Singular trans mat encountered.\\n\"");
  EXPECT_STREQ(g_lastMessage.get().c_str(), "Singular trans mat encountered.\\n");
  EXPECT_TRUE(m_boxes.empty());
}

TEST_F(Reporting, ConcurrentReportsAndTracesFromManyThreads) {
  g_messageLevel = 3;
  g_logMessages = true;
  std::vector<std::thread> threads;
  std::atomic<int> reads{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &reads] {
      for (int i = 0; i < 500; ++i) {
        reportError("thread %d report %d", t, i);
        g_log.printf("trace %d %d\n", t, i);
        if (!g_lastMessage.get().empty()) ++reads;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(reads.load(), 8 * 500);
  EXPECT_EQ(std::string(g_lastMessage.get().c_str()).rfind("thread ", 0), 0u);
}

TEST(LogStream, NulGoesNowhereAndFilesReceiveLines) {
  const std::string path = ::testing::TempDir() + "tessaline_log_test_" + std::to_string(::getpid()) + ".txt";
  LogStream log("nul");
  log.line("into the void");
  ASSERT_TRUE(log.open(path.c_str()));
  log.line("entering menu loop...");
  log.printf("%s\n", "loading aborted...");
  log.flush();
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "entering menu loop...\nloading aborted...\n");
  EXPECT_FALSE(log.open("/nonexistent-dir/x.log"));
  std::remove(path.c_str());
}

namespace {

// The platform layer sits below the reporting and cannot call it; its lines
// (shader logs, GL errors) must still reach the trace log.
TEST(LogStream, PlatformLinesJoinTheTraceLog) {
  const std::string path = ::testing::TempDir() + "tessaline_platform_log_" + std::to_string(::getpid()) + ".txt";
  ASSERT_TRUE(g_log.open(path.c_str()));
  platformLog("GL error: something");
  g_log.flush();
  ASSERT_TRUE(g_log.open("nul"));
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "GL error: something\n");
  std::remove(path.c_str());
}

}  // namespace
