// Opening links: only web links reach xdg-open, as its one argument,
// without a shell; anything else starts nothing.
#include "platform/system/shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

// A PATH whose only xdg-open writes its argument count and arguments, one
// per line, into "opened" in the scratch folder.
class ShellTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    if (const char* path = std::getenv("PATH")) oldPath = path;
    fs::create_directory(m_root / "bin");
    out = m_root / "opened";
    const fs::path stub = m_root / "bin" / "xdg-open";
    std::ofstream(stub) << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"" << out.string() << ".part\"\nmv \""
                        << out.string() << ".part\" \"" << out.string() << "\"\n";
    fs::permissions(stub, fs::perms::owner_all);
    setenv("PATH", ((m_root / "bin").string() + ":/usr/bin:/bin").c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", oldPath.c_str(), 1);
    ScratchDirTest::TearDown();
  }
  // What the stub was given, once it has run (empty after 5 s).
  std::string opened() {
    for (int i = 0; i < 500 && !fs::exists(out); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(out);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static int open(const char* file, const char* verb = "open") {
    return shellExecuteResult(ShellExecuteA(nullptr, verb, file, nullptr, nullptr, SW_SHOWNORMAL));
  }

  std::string oldPath;
  fs::path out;
};

TEST_F(ShellTest, AWebLinkReachesXdgOpenAsItsOneUnchangedArgument) {
  const char* link = "https://example.org/a b;$(touch x)";
  EXPECT_GT(open(link), 32);
  EXPECT_EQ(opened(), std::string("1\n") + link + "\n");
  EXPECT_FALSE(fs::exists("x"));
  EXPECT_FALSE(fs::exists(m_root / "x"));
}

TEST_F(ShellTest, AnythingButAWebLinkStartsNothing) {
  for (const char* file : {"file:///etc/passwd", "javascript:x", "-h", "", "http:/x", "https://a\nb", "https://a\x7f"})
    EXPECT_EQ(open(file), SE_ERR_ACCESSDENIED) << file;
  EXPECT_EQ(open(nullptr), SE_ERR_ACCESSDENIED);
  EXPECT_EQ(open("https://example.org/", "edit"), SE_ERR_NOASSOC);
  EXPECT_GT(open("HTTP://example.org/", nullptr), 32);
  EXPECT_EQ(opened(), "1\nHTTP://example.org/\n");
}

TEST_F(ShellTest, WithoutXdgOpenNothingStarts) {
  setenv("PATH", (m_root / "empty").c_str(), 1);
  EXPECT_EQ(open("https://example.org/"), SE_ERR_FNF);
}

}  // namespace
