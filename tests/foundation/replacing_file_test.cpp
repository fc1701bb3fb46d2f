#include "foundation/replacing_file.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

// Every fsync in this program passes through the stand-in below, which
// notes what was synced (and, in order, the renames in between) and can be
// told to fail.
std::vector<std::string> g_events;
bool g_failSync = false;

std::string pathOf(int fd) {
  char path[PATH_MAX] = {};
  const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
  return n > 0 ? fs::path(std::string(path, static_cast<std::size_t>(n))).filename().string() : "?";
}

void noteRename(const char* temporaryName) {
  g_events.push_back("rename " + fs::path(temporaryName).filename().string());
}

class ReplacingFileTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    m_dir = m_root / "work";
    g_events.clear();
    g_failSync = false;
    ReplacingFile::setBeforeRenameHook(noteRename);
  }
  void TearDown() override {
    ReplacingFile::setBeforeRenameHook(nullptr);
    g_failSync = false;
    ScratchDirTest::TearDown();
  }
  bool save(const std::string& text) {
    ReplacingFile out(path().c_str());
    if (!out.begin()) return false;
    const bool written = out.file().write(text.data(), static_cast<int>(text.size())) == static_cast<int>(text.size());
    return out.commit(written);
  }
  std::string path() const { return (m_dir / "scores.dat").string(); }
  std::string contents() const {
    std::ifstream in(path(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path m_dir;
};

}  // namespace

extern "C" int fsync(int fd) {
  using Fsync = int (*)(int);
  static const Fsync real = reinterpret_cast<Fsync>(::dlsym(RTLD_NEXT, "fsync"));
  g_events.push_back("sync " + pathOf(fd));
  if (g_failSync) {
    errno = EIO;
    return -1;
  }
  return real(fd);
}

TEST_F(ReplacingFileTest, TheNewContentReachesTheDiskBeforeTheRename) {
  ASSERT_TRUE(save("first"));
  EXPECT_EQ(g_events, (std::vector<std::string>{"sync scores.dat.tmp", "rename scores.dat.tmp",
                                                "sync " + m_dir.filename().string()}))
      << "the file before the rename, the directory entry after it";
  EXPECT_EQ(contents(), "first");
  EXPECT_FALSE(fs::exists(path() + ".tmp"));
}

TEST_F(ReplacingFileTest, ASaveThatCannotReachTheDiskKeepsTheOldFile) {
  ASSERT_TRUE(save("old"));
  g_events.clear();
  g_failSync = true;
  EXPECT_FALSE(save("new"));
  EXPECT_EQ(g_events, std::vector<std::string>{"sync scores.dat.tmp"}) << "no rename after a failed flush";
  EXPECT_EQ(contents(), "old");
  EXPECT_FALSE(fs::exists(path() + ".tmp")) << "the unfinished file is dropped";
}
