// Test fixture for loaders that report bad input: reports are stored in
// g_lastMessage instead of showing a box, and the globals are restored.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "foundation/report.h"

class ReportCapture : public ::testing::Test {
 protected:
  // Level 1 reports errors; level 3 also checks assertions.
  explicit ReportCapture(int level = 1) : m_level(level) {}
  void SetUp() override {
    g_messageLevel = m_level;
    g_logMessages = true;
    g_lastMessage.clear();
  }
  void TearDown() override {
    g_messageLevel = 0;
    g_logMessages = false;
    g_lastMessage.clear();
  }
  static std::string lastMessage() { return g_lastMessage.get().c_str(); }
  // Returns the last message and clears it for the next check.
  static std::string takeMessage() {
    std::string text = lastMessage();
    g_lastMessage.clear();
    return text;
  }

 private:
  int m_level;
};
