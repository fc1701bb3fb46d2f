// Registry values read from the INI-style registry file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/registry.h"
#include "platform/system/system.h"
#include "tests/foundation/memory_bound.h"
#include "tests/support/eventually.h"

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = ::testing::TempDir() + "registry_test_" + std::to_string(::getpid()) + ".ini";
    setenv("TESSALINE_REGISTRY", path.c_str(), 1);
  }
  void TearDown() override {
    std::remove(path.c_str());
    unsetenv("TESSALINE_REGISTRY");
  }
  void write(const std::string& text) { std::ofstream(path) << text; }

  UniqueRegistryKey open(const char* subKey, LSTATUS expected = ERROR_SUCCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, &key), expected);
    return UniqueRegistryKey(key);
  }

  // A DWORD value, or nothing when the query fails or gives another type.
  static std::optional<DWORD> dword(HKEY key, const char* name) {
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != 4)
      return std::nullopt;
    return value;
  }

  std::string path;
};

constexpr const char* kKey = "Software\\Marrowgate Software\\Tessaline";

TEST_F(RegistryTest, MissingFileOrSectionMeansNoKey) {
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  write("[HKEY_LOCAL_MACHINE\\Software\\Other]\nA=dword:1\n");
  open(kKey, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, DwordsInDecimalOrHexAndNamesIgnoringCase) {
  write(
      "\xEF\xBB\xBF[HKLM\\software\\marrowgate software\\TESSALINE]\r\n"  // saved with a byte-order mark
      "; display settings\n"
      "ResolutionWidth=dword:1280\n"
      "  resolutionheight = dword:0x2D0  \n"
      "\"MultisampleType\"=dword:4\n");
  auto key = open(kKey);
  ASSERT_TRUE(key);
  EXPECT_EQ(dword(key.get(), "RESOLUTIONWIDTH"), 1280u);
  EXPECT_EQ(dword(key.get(), "ResolutionHeight"), 720u);
  EXPECT_EQ(dword(key.get(), "MultisampleType"), 4u);
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(key.get(), "Language", nullptr, &type, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, StringsAndBufferSizes) {
  write(
      "[HKEY_LOCAL_MACHINE/Software/Marrowgate Software/Tessaline]\n"
      "Quoted=\"two words\"\n"
      "Typed=sz:dword:not a number\n"
      "Plain=hello\n");
  auto key = open(kKey);
  ASSERT_TRUE(key);
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExA(key.get(), "Quoted", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 10u);  // text and its NUL
  char small[4];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key.get(), "Quoted", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 10u);
  char text[32];
  size = sizeof text;
  ASSERT_EQ(RegQueryValueExA(key.get(), "Typed", nullptr, &type, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "dword:not a number");
  size = sizeof text;
  ASSERT_EQ(RegQueryValueExA(key.get(), "Plain", nullptr, &type, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "hello");
}

TEST_F(RegistryTest, MalformedLinesAndOutOfRangeDwordsAreSkipped) {
  write(
      "[HKEY_LOCAL_MACHINE\\Software\\Marrowgate Software\\Tessaline]\n"
      "no equals sign here\n"
      "=dword:5\n"
      "TooBig=dword:4294967296\n"
      "Negative=dword:-1\n"
      "Garbage=dword:12abc\n"
      "Width=dword:800\n"
      "Width=dword:640\n"
      "[broken section\n"
      "Height=dword:1\n");
  auto key = open(kKey);
  ASSERT_TRUE(key);
  DWORD type = 0;
  for (const char* name : {"TooBig", "Negative", "Garbage", "Height", ""})
    EXPECT_EQ(RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, nullptr), ERROR_FILE_NOT_FOUND) << name;
  EXPECT_EQ(dword(key.get(), "Width"), 640u) << "the later line wins";
}

// A line of 16 MB was held four times over while it was parsed (313 MB
// for one of 100 MB): lines longer than 4096 bytes are skipped as they are
// read, the trace says how many, and the lines around them still count.
TEST_F(RegistryTest, OverlongLinesAreSkippedWithoutBeingHeld) {
  {
    std::ofstream out(path, std::ios::binary);
    out << "[HKEY_LOCAL_MACHINE\\" << kKey << "]\nBefore=dword:1\nCaption=sz:" << std::string(16 << 20, 'x')
        << "\nAfter=dword:2\nEdge=sz:" << std::string(4096 - 8 - 1, 'e') << "\r\nPast=" << std::string(4097 - 5, 'p');
  }
  std::vector<std::string> notes;
  const LogHook previous = setLogHook([&](const char* text) { notes.emplace_back(text); });
  const MemoryUse use = measureMemory([&] {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;
    RegCloseKey(key);
    return 0;
  });
  EXPECT_EQ(use.result, 0);
  EXPECT_LE(use.peakGrowth, 4LL << 20) << "nothing the size of the line";
  notes.clear();
  auto key = open(kKey);
  setLogHook(previous);
  ASSERT_TRUE(key);
  EXPECT_EQ(dword(key.get(), "Before"), 1u);
  EXPECT_EQ(dword(key.get(), "After"), 2u);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key.get(), "Caption", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(key.get(), "Past", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegQueryValueExA(key.get(), "Edge", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4096u - 8 - 1 + 1) << "a line of 4096 bytes with its CR is read";
  EXPECT_EQ(notes, std::vector<std::string>{"registry file \"" + path + "\": 2 lines longer than 4096 bytes skipped"});
}

// A registry path that is no regular file is an empty registry: a named
// pipe waited for a writer for ever.
TEST_F(RegistryTest, AFolderOrPipeAtThePathIsNoRegistry) {
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
  open(kKey, ERROR_FILE_NOT_FOUND);
  ::rmdir(path.c_str());
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  std::atomic<bool> done{false};
  std::thread reader([&] {
    open(kKey, ERROR_FILE_NOT_FOUND);
    done = true;
  });
  if (!eventually([&] { return done.load(); }, 120000)) {
    // A writer that comes and goes lets the reader's open return and its
    // read end.
    const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    reader.join();
    FAIL() << "opening the registry waited for a writer";
  }
  reader.join();
}

TEST_F(RegistryTest, BadHandlesAndArguments) {
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(HKEY_LOCAL_MACHINE, "x", nullptr, &type, nullptr, nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExA(nullptr, "x", nullptr, &type, nullptr, nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(RegistryTest, FileLocationFollowsTheEnvironment) {
  EXPECT_EQ(registryFilePath(), path);
  unsetenv("TESSALINE_REGISTRY");
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(registryFilePath(), "/tmp/cfg/tessaline/registry.ini");
  if (oldXdg)
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
