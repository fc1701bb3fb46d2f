// The game as a player meets it: the binary on an X server of its own at
// 1024 x 768, driven by keys and mouse through XTest, each step's screen
// kept as a PNG and checked where it must show what the step is about.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"
#include "tests/e2e/x_session.h"
#include "tests/support/scratch_dir.h"
#include "tools/sample_data/screen_samples.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Where the main menu's off button and its quit dialog lie (layout pixels).
constexpr int kOffX = 15, kOffY = 623, kOffW = 135, kOffH = 130;
constexpr int kQuitX = 262, kQuitY = 184, kQuitW = 500, kQuitH = 400;
constexpr int kQuitYesX = kQuitX + 30 + 70, kQuitYesY = kQuitY + 310 + 30;

class BinaryTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    fs::create_directory(m_root / "runtime");
    fs::permissions(m_root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    fs::copy_file(TESSALINE_SAMPLE_ARCHIVE, "data.sar");
    shots = std::string(TESSALINE_SCREENS) + "/" + testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(shots);
  }
  std::map<std::string, std::string> environment(const XSession& x) const {
    return {{"DISPLAY", x.name()},
            {"XDG_RUNTIME_DIR", (m_root / "runtime").string()},
            {"TESSALINE_LOG", (m_root / "trace.txt").string()},
            {"TESSALINE_REGISTRY", (m_root / "registry.ini").string()},
            {"TESSALINE_TEXTURE_CACHE", (m_root / "cache").string()},
            {"SDL_AUDIODRIVER", "dummy"}};
  }
  std::vector<std::string> loopTraces() const {
    std::vector<std::string> lines;
    std::ifstream in(m_root / "trace.txt");
    for (std::string line; std::getline(in, line);)
      if (line.rfind("entering ", 0) == 0) lines.push_back(line);
    return lines;
  }
  // Keeps the screen as the step's PNG and checks it.
  void step(const std::string& name, const Screenshot& shot, bool shows) {
    ASSERT_EQ(shot.width, XSession::kWidth);
    XSession::save(shot, shots, name);
    EXPECT_TRUE(shows) << name << " is not on the screen (see " << shots << ")";
  }

  std::string shots;
};

bool mainMenuShown(const Screenshot& s) {
  return s.share(kOffX + 30, kOffY + 30, kOffW - 60, kOffH - 60, reddish) > 0.5;
}

TEST_F(BinaryTest, TheMenuQuitsThroughItsDialogAndTheExitScreen) {
  XSession x;
  ASSERT_TRUE(x.ok()) << "Xvfb with XTest is needed";
  ChildProcess game({TESSALINE_BINARY}, environment(x));
  ASSERT_TRUE(game.started());

  Screenshot shot = x.waitFor(60, mainMenuShown);
  step("01-main-menu", shot, mainMenuShown(shot));
  x.tap("Escape");
  auto dialog = [](const Screenshot& s) { return s.share(kQuitX + 20, kQuitY + 20, kQuitW - 40, 30, greyish) > 0.8; };
  shot = x.waitFor(10, dialog);
  step("02-quit-dialog", shot, dialog(shot));
  x.click(kQuitYesX, kQuitYesY);
  // The sample branding: a dark picture with one link button, placed in
  // the 800 x 600 layout.
  auto exitScreen = [](const Screenshot& s) {
    const int x = SampleBrandingButton::kX * 1024 / 800, y = SampleBrandingButton::kY * 768 / 600;
    const int w = SampleBrandingButton::kWidth * 1024 / 800, h = SampleBrandingButton::kHeight * 768 / 600;
    return s.share(x + 10, y + 10, w - 20, h - 20, reddish) > 0.8 && s.share(40, 40, 300, 200, dark) > 0.95;
  };
  shot = x.waitFor(10, exitScreen);
  step("03-exit-screen", shot, exitScreen(shot));
  x.tap("space");
  const auto status = game.wait(60s);
  ASSERT_TRUE(status.has_value()) << "the game did not end";
  EXPECT_EQ(*status, 0);
  EXPECT_EQ(loopTraces(), std::vector<std::string>{"entering menu loop..."});
}

}  // namespace
