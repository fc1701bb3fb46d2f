#include "net/firewall.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/system/firewall.h"

namespace {

class Firewall : public ::testing::Test {
 protected:
  void SetUp() override {
    firewall_standin::reset();
    wchar_t path[261];
    GetModuleFileNameW(nullptr, path, 261);
    m_path = path;
  }
  // What a step printed.
  template <class F>
  static std::string run(F step) {
    testing::internal::CaptureStdout();
    step();
    return testing::internal::GetCapturedStdout();
  }
  static int add() { return addFirewallException(L"tessaline"); }
  std::wstring m_path;
};

bool has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

TEST_F(Firewall, StartUpAddsTheExecutableAndExitRemovesIt) {
  ASSERT_FALSE(m_path.empty());
  const std::string added = run(add);
  auto entries = firewall_standin::entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].path, m_path);
  EXPECT_EQ(entries[0].name, L"tessaline");
  EXPECT_TRUE(has(added, "Check Firewall state to ensure the app is still ready to go.\nSuccess!\n"));
  const std::string removed = run(removeFirewallException);
  EXPECT_TRUE(firewall_standin::entries().empty());
  EXPECT_TRUE(has(removed, "Remove the application from the exception list.\nSuccess!\n"));
  // Removing twice reports the failure and goes on.
  EXPECT_TRUE(has(run(removeFirewallException), "Failed to remove app from to the exception list. \n"));
}

TEST_F(Firewall, ComInAnotherModeStillAddsAndIsNotUninitialisedAtExit) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  run(add);
  EXPECT_EQ(firewall_standin::entries().size(), 1u);
  run(removeFirewallException);
  // Still initialised once, in the mode the thread chose.
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  CoUninitialize();
}

TEST_F(Firewall, AMissingFirewallCountsAsPassedAndAFailedAddIsReported) {
  firewall_standin::setAvailable(false);
  std::string out = run(add);
  EXPECT_TRUE(has(out, "Could not add app to the exception list."));
  EXPECT_TRUE(has(out, "Check Firewall state to ensure the app is still ready to go.\nSuccess!\n"));
  run(removeFirewallException);

  firewall_standin::setAvailable(true);
  firewall_standin::setAddFails(true);
  out = run(add);
  EXPECT_TRUE(has(out, "Application is not enabled in the Firewall."));
  EXPECT_TRUE(has(out, "Failed!\n"));
  run(removeFirewallException);
}

TEST_F(Firewall, TheCheckFailsForADisabledEntryOrWhenExceptionsAreForbidden) {
  run(add);
  bool passed = true;
  const auto check = [&] { passed = checkFirewallException(m_path.c_str()); };
  firewall_standin::setExceptionsNotAllowed(true);
  EXPECT_TRUE(has(run(check), "Firewall is on with no exceptions."));
  EXPECT_FALSE(passed);
  firewall_standin::setExceptionsNotAllowed(false);
  firewall_standin::setEnabled(m_path, false);
  run(check);
  EXPECT_FALSE(passed);
  run(removeFirewallException);
}

TEST_F(Firewall, AnEmptyNameCannotBeAdded) {
  EXPECT_TRUE(has(run([] { addFirewallException(L""); }), "Could not add app to the exception list."));
  EXPECT_TRUE(firewall_standin::entries().empty());
  run(removeFirewallException);
}

}  // namespace
