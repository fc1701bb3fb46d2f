// Named mappings: the lock holder is the creator, a later opener shares the
// bytes, a released or dead holder blocks nobody, and the lock file is
// never reached through a link.
#include "platform/system/file_mapping.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/system/process.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

class FileMappingTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    runtime = m_root / "runtime";
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_RUNTIME_DIR");
    ScratchDirTest::TearDown();
  }
  static HANDLE make(const char* name, DWORD size = 2052) {
    return CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
  }

  fs::path runtime;
};

TEST_F(FileMappingTest, TheLockHolderCreatesAndALaterOpenerSharesTheBytes) {
  HANDLE first = make("guard");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  const fs::path file = runtime / "guard.lock";
  EXPECT_EQ(fs::file_size(file), 2052u);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

  HANDLE later = make("guard");
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  auto* a = static_cast<char*>(MapViewOfFile(first, FILE_MAP_WRITE, 0, 0, 0));
  auto* b = static_cast<char*>(MapViewOfFile(later, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_TRUE(a && b);
  std::strcpy(b + 4, "hello");
  EXPECT_STREQ(a + 4, "hello");
  EXPECT_EQ(a[2051], 0);  // the whole block is mapped
  EXPECT_TRUE(UnmapViewOfFile(a));
  EXPECT_TRUE(UnmapViewOfFile(b));
  EXPECT_FALSE(UnmapViewOfFile(b));
  CloseHandle(later);

  // Once the holder lets go, the next one is the creator, and the file,
  // which stays, keeps its size.
  CloseHandle(first);
  HANDLE again = make("guard");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(fs::file_size(file), 2052u);
  CloseHandle(again);
}

TEST_F(FileMappingTest, ALinkOrAnotherKindOfFileAtThePathIsRefused) {
  const fs::path target = m_root / "precious";
  std::ofstream(target) << "keep";
  fs::create_symlink(target, runtime / "guard.lock");
  EXPECT_EQ(make("guard"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  const auto before = fs::status(target).permissions();
  EXPECT_EQ(make("guard"), nullptr);
  EXPECT_EQ(fs::file_size(target), 4u);
  EXPECT_EQ(fs::status(target).permissions(), before);

  fs::create_directory(runtime / "folder.lock");
  EXPECT_EQ(make("folder"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(FileMappingTest, NamesAndSizesOutsideTheRulesAreRefused) {
  for (const char* name : {static_cast<const char*>(nullptr), "", ".", "..", "a/b", "../escape"}) {
    EXPECT_EQ(make(name), nullptr) << (name ? name : "null");
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  }
  EXPECT_EQ(make("zero", 0), nullptr);
  EXPECT_EQ(make("huge", static_cast<DWORD>(kMaxFileMappingSize + 1)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(fs::exists(m_root / "escape.lock"));

  HANDLE small = make("small", 16);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(MapViewOfFile(small, FILE_MAP_WRITE, 0, 0, 17), nullptr);
  EXPECT_EQ(MapViewOfFile(small, FILE_MAP_WRITE, 0, 8, 0), nullptr);
  CloseHandle(small);
}

TEST_F(FileMappingTest, ALaterOpenerGrowsAShortFileBeforeMappingIt) {
  // A holder that has locked but not yet sized its file.
  HANDLE holder = make("short", 4);
  ASSERT_NE(holder, nullptr);
  HANDLE later = make("short", 2052);
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(fs::file_size(runtime / "short.lock"), 2052u);
  auto* view = static_cast<char*>(MapViewOfFile(later, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  view[2051] = 'x';  // inside the file: no fault
  UnmapViewOfFile(view);
  CloseHandle(later);
  CloseHandle(holder);
}

TEST_F(FileMappingTest, WithoutARuntimeFolderOurOwnPrivateFolderInTmpIsUsed) {
  unsetenv("XDG_RUNTIME_DIR");
  const std::string folder = "/tmp/tessaline-" + std::to_string(::geteuid());
  const std::string name = "mapping-test-" + std::to_string(::getpid());
  const std::string path = fileMappingPath(name.c_str());
  EXPECT_EQ(path, folder + "/" + name + ".lock");
  HANDLE mapping = make(name.c_str());
  ASSERT_NE(mapping, nullptr);
  struct stat info {};
  ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  CloseHandle(mapping);
  fs::remove(path);
}

}  // namespace
