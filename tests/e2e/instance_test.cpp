// One instance per user, with the game and a guard holder as processes of
// their own: a later start hands its command line over and ends at once
// leaving the first game's trace alone, a killed first instance blocks
// nobody, and a link at the lock path is not followed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/entry_point.h"
#include "app/single_instance.h"
#include "tests/e2e/child_process.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class InstanceTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    fs::create_directory(m_root / "runtime");
    fs::permissions(m_root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    environment = {{"XDG_RUNTIME_DIR", (m_root / "runtime").string()},
                   {"TESSALINE_REGISTRY", (m_root / "registry.ini").string()}};
  }
  fs::path lockFile() const { return m_root / "runtime" / (std::string(kInstanceGuardName) + ".lock"); }
  std::string block() const {
    std::ifstream in(lockFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::map<std::string, std::string> environment;
};

TEST_F(InstanceTest, ASecondStartHandsOverItsCommandLineAndEndsWithinASecond) {
  ChildProcess first({TESSALINE_GUARD_HOLDER}, environment);
  ASSERT_EQ(first.readLine(), "first");
  const std::string argument(5000, 'q');
  ChildProcess game({TESSALINE_BINARY, argument}, environment);
  ASSERT_TRUE(game.started());
  const auto start = std::chrono::steady_clock::now();
  const auto status = game.wait(10s);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 0);
  // Within a second of its own: the time a busy machine kept it queued
  // behind other processes is not the game's.
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took - game.queued(), 1s) << "ended after "
                                     << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                                     << " ms, of which it stood "
                                     << std::chrono::duration_cast<std::chrono::milliseconds>(game.queued()).count()
                                     << " ms in the run queue";
  const std::string expected = (std::string(TESSALINE_BINARY) + " " + argument).substr(0, 2047);
  const std::string bytes = block();
  ASSERT_EQ(bytes.size(), SingleInstanceGuard::kBlockSize);
  EXPECT_EQ(std::string(bytes.c_str() + 4), expected);
  // The second start wrote nothing of its own: no settings file.
  EXPECT_FALSE(fs::exists("config.dat"));
}

// The trace variable names the running game's file: a second start ends
// before it would open (and empty) it.
TEST_F(InstanceTest, ASecondStartLeavesTheFirstGamesTraceAsItWas) {
  const fs::path trace = m_root / "trace.txt";
  std::ofstream(trace) << "entering menu loop...\n";
  environment["TESSALINE_LOG"] = trace.string();
  ChildProcess first({TESSALINE_GUARD_HOLDER}, environment);
  ASSERT_EQ(first.readLine(), "first");
  ChildProcess game({TESSALINE_BINARY}, environment);
  ASSERT_TRUE(game.started());
  EXPECT_EQ(game.wait(10s), 0);
  std::ifstream in(trace);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "entering menu loop...\n");
}

TEST_F(InstanceTest, AKilledFirstInstanceBlocksNoLaterStart) {
  ChildProcess holder({TESSALINE_GUARD_HOLDER}, environment);
  ASSERT_EQ(holder.readLine(), "first");
  {
    ChildProcess other({TESSALINE_GUARD_HOLDER}, environment);
    EXPECT_EQ(other.readLine(), "later");
    other.closeInput();
    EXPECT_EQ(other.wait(10s), 0);
  }
  holder.kill();
  ChildProcess next({TESSALINE_GUARD_HOLDER}, environment);
  EXPECT_EQ(next.readLine(), "first");
  next.closeInput();
  EXPECT_EQ(next.wait(10s), 0);
}

TEST_F(InstanceTest, ALinkAtTheLockPathIsRefusedAndItsTargetLeftAlone) {
  const fs::path target = m_root / "target";
  std::ofstream(target) << "untouched";
  fs::create_symlink(target, lockFile());
  ChildProcess game({TESSALINE_BINARY}, environment);
  EXPECT_EQ(game.wait(10s), 0);
  std::ifstream in(target);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "untouched");
  EXPECT_FALSE(fs::exists("config.dat"));

  ChildProcess holder({TESSALINE_GUARD_HOLDER}, environment);
  EXPECT_EQ(holder.readLine(), "failed");
}

}  // namespace
