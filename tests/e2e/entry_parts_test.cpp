// The entry point's parts that need no window: the command line read back,
// the language, the single-instance block, the exit link and the window
// procedure's own messages.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "app/command_line.h"
#include "app/entry_point.h"
#include "app/language.h"
#include "app/single_instance.h"
#include "game/saves/config.h"
#include "gui/exit_link.h"
#include "input/input_device.h"
#include "platform/system/process.h"
#include "tests/support/eventually.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

// Sets a variable for one scope (null unsets it) and puts it back.
class Variable {
 public:
  Variable(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    set(value);
  }
  ~Variable() { set(m_old ? m_old->c_str() : nullptr); }
  void set(const char* value) {
    if (value)
      setenv(m_name, value, 1);
    else
      unsetenv(m_name);
  }

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

TEST(EntryCommandLine, ReadsBackArgumentsByTheWin32Rules) {
  using Args = std::vector<std::string>;
  EXPECT_EQ(splitCommandLine("/usr/games/tessaline /q  \"two words\" a\\\\b \"say \\\"hi\\\"\" \"\""),
            (Args{"/usr/games/tessaline", "/q", "two words", "a\\\\b", "say \"hi\"", ""}));
  EXPECT_EQ(splitCommandLine("x \"ends in \\\\\\\\\" y"), (Args{"x", "ends in \\\\", "y"}));
  EXPECT_EQ(splitCommandLine("  "), Args{});
  EXPECT_EQ(splitCommandLine(nullptr), Args{});
  EXPECT_EQ(programName("\"/opt/my games/tessaline.bin\" /q"), "tessaline");
  EXPECT_EQ(programName("C:\\Games\\Tessaline.exe"), "Tessaline");
  EXPECT_EQ(programName("./tessaline"), "tessaline");
  EXPECT_EQ(programName(""), "");
  // What the process's own line splits into is its own arguments.
  const Args own = splitCommandLine(GetCommandLineA());
  ASSERT_FALSE(own.empty());
  EXPECT_NE(own[0].find("entry_tests"), std::string::npos);
}

class LanguageTest : public ScratchDirTest {
 protected:
  void writeRegistry(const std::string& line) {
    std::ofstream(m_root / "registry.ini") << "[HKEY_LOCAL_MACHINE\\Software\\Marrowgate Software\\Tessaline]\n"
                                           << line << "\n";
  }
  Variable registry{"TESSALINE_REGISTRY", (fs::temp_directory_path() / "none" / "registry.ini").c_str()};
  Variable all{"LC_ALL", nullptr}, messages{"LC_MESSAGES", nullptr}, lang{"LANG", "en_US.UTF-8"};
};

TEST_F(LanguageTest, TheRegistryValueWinsButOnlyGermanAndEnglishAreKept) {
  registry.set((m_root / "registry.ini").c_str());
  writeRegistry("Language=dword:1040");
  EXPECT_EQ(chooseLanguageId(), 1033);
  writeRegistry("Language=dword:1031");
  EXPECT_EQ(chooseLanguageId(), 1031);
  lang.set("de_DE");
  writeRegistry("Language=dword:0x409");
  EXPECT_EQ(chooseLanguageId(), 1033);
  // A value of another type is no value: the user's language counts.
  writeRegistry("Language=sz:1033");
  EXPECT_EQ(chooseLanguageId(), 1031);
  EXPECT_EQ(readRegistryDword(HKEY_LOCAL_MACHINE, kProgramRegistryKey, "Language", 77), 77u);
  EXPECT_EQ(readRegistryDword(HKEY_LOCAL_MACHINE, "Software\\Nobody", "Language", 78), 78u);
}

TEST_F(LanguageTest, WithoutTheValueTheUsersLanguageGoesThroughTheSameRule) {
  lang.set("de_DE");
  EXPECT_EQ(chooseLanguageId(), 1031);
  lang.set("it_IT.UTF-8");
  EXPECT_EQ(chooseLanguageId(), 1033);
  lang.set(nullptr);
  EXPECT_EQ(chooseLanguageId(), 1033);
}

// A first start speaks the language the system names; a later start keeps
// what "config.dat" holds.
TEST_F(LanguageTest, AFirstStartTakesItsLanguageFromTheLanguageId) {
  const std::pair<WORD, int> cases[] = {{kLangGerman, 0},  {0x0807, 0}, {kLangEnglishUs, 1}, {0x0809, 1},
                                        {kLangFrench, 2},  {0x080C, 2}, {kLangSpanish, 3},   {0x040A, 3},
                                        {kLangItalian, 4}, {0x0413, 1}, {0x0411, 1},         {0, 1}};
  for (const auto& [id, language] : cases) {
    SCOPED_TRACE(id);
    fs::remove(Config::kFileName);
    {
      Config settings(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
      loadSettingsOrStartFresh(settings, id);
      EXPECT_EQ(settings.m_language, language);
    }
    ASSERT_TRUE(fs::exists(Config::kFileName));
    Config saved;
    EXPECT_EQ(saved.m_language, language);
    // The next start reads the file, whatever the system says now.
    Config again(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
    loadSettingsOrStartFresh(again, id == kLangGerman ? kLangItalian : kLangGerman);
    EXPECT_EQ(again.m_language, language);
  }
  // The id as the start-up reads it: the registry's, else the user's own.
  lang.set("fr_FR.UTF-8");
  EXPECT_EQ(settingsLanguageFor(readLanguageId()), 2);
  registry.set((m_root / "registry.ini").c_str());
  writeRegistry("Language=dword:1034");
  EXPECT_EQ(settingsLanguageFor(readLanguageId()), 3);
}

class GuardTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    fs::create_directory(m_root / "runtime");
    runtime.set((m_root / "runtime").c_str());
  }
  // The block as another process sees it.
  std::string block() {
    std::ifstream in(m_root / "runtime" / (std::string(kInstanceGuardName) + ".lock"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  Variable runtime{"XDG_RUNTIME_DIR", nullptr};
};

TEST_F(GuardTest, TheFirstWritesItsThreadAndALaterOneItsCommandLineCut) {
  UINT message = 0;
  SingleInstanceGuard first(kInstanceGuardName, "ignored", &message);
  ASSERT_TRUE(first.isFirst());
  EXPECT_FALSE(first.failed());
  EXPECT_GE(message, 0xC000u);
  std::string bytes = block();
  ASSERT_EQ(bytes.size(), SingleInstanceGuard::kBlockSize);
  const DWORD thread = GetCurrentThreadId();
  EXPECT_EQ(bytes.substr(0, 4), std::string(reinterpret_cast<const char*>(&thread), 4));
  EXPECT_EQ(bytes[4], '\0');

  const std::string line = "tessaline " + std::string(4990, 'x');
  UINT laterMessage = 0;
  SingleInstanceGuard later(kInstanceGuardName, line.c_str(), &laterMessage);
  EXPECT_FALSE(later.isFirst());
  EXPECT_FALSE(later.failed());
  EXPECT_EQ(laterMessage, message);
  bytes = block();
  EXPECT_EQ(std::string(bytes.c_str() + 4), line.substr(0, 2047));
  EXPECT_EQ(bytes[4 + 2047], '\0');
  // The first instance's thread stays where it was.
  EXPECT_EQ(bytes.substr(0, 4), std::string(reinterpret_cast<const char*>(&thread), 4));

  later.release();
  first.release();
  SingleInstanceGuard next(kInstanceGuardName, "", nullptr);
  EXPECT_TRUE(next.isFirst());
}

TEST_F(GuardTest, ABlockThatCannotBeHadIsNeitherFirstNorAHandOver) {
  fs::create_symlink(m_root / "elsewhere", m_root / "runtime" / (std::string(kInstanceGuardName) + ".lock"));
  SingleInstanceGuard guard(kInstanceGuardName, "line", nullptr);
  EXPECT_FALSE(guard.isFirst());
  EXPECT_TRUE(guard.failed());
  EXPECT_FALSE(fs::exists(m_root / "elsewhere"));
}

class ExitLinkTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    fs::create_directory(m_root / "bin");
    std::ofstream(m_root / "bin" / "xdg-open")
        << "#!/bin/sh\nprintf '%s' \"$1\" > \"" << (m_root / "opening").string() << "\" && /bin/mv \""
        << (m_root / "opening").string() << "\" \"" << (m_root / "opened").string() << "\"\n";
    fs::permissions(m_root / "bin" / "xdg-open", fs::perms::owner_all);
    path.set((m_root / "bin").c_str());
  }
  // The stub writes the link aside and then moves it into place: the file
  // is read only once whole.
  std::string opened() {
    eventually([&] { return fs::exists(m_root / "opened"); }, 30000);
    std::ifstream in(m_root / "opened");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  Variable path{"PATH", nullptr};
};

TEST_F(ExitLinkTest, OnlyAWebLinkOpensAndAnythingElseSaysSoOnStderr) {
  for (const std::string& link :
       std::vector<std::string>{"file:///etc/passwd", "javascript:x", "-h", std::string("https://a\0b", 11)}) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(openExitLink(link));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("the exit link was not opened"), std::string::npos) << link;
    EXPECT_EQ(said.find(link), std::string::npos) << "the link itself is never printed";
  }
  testing::internal::CaptureStderr();
  EXPECT_FALSE(openExitLink(""));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  EXPECT_TRUE(openExitLink("https://example.org/a b;$(touch x)"));
  EXPECT_EQ(opened(), "https://example.org/a b;$(touch x)");
  EXPECT_FALSE(fs::exists("x"));

  path.set((m_root / "nothing").c_str());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(openExitLink("https://example.org/"));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("xdg-open"), std::string::npos);
}

// Records what reaches the input device's message handler.
class RecordingInput : public InputDevice {
 public:
  LRESULT handleMessage(HWND, UINT message, WPARAM, LPARAM) override {
    handled.push_back(message);
    return 5;
  }
  void reset() override { ++resets; }
  std::vector<UINT> handled;
  int resets = 0;
};

class WindowProcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetWindowSystem();
    g_inputDevice = &input;
    g_applicationActive = 1;
    g_windowClosed = false;
  }
  void TearDown() override {
    g_inputDevice = nullptr;
    g_windowClosed = false;
    resetWindowSystem();
  }
  static bool quitPosted() {
    MSG msg{};
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.message == WM_QUIT;
  }
  RecordingInput input;
};

TEST_F(WindowProcTest, OnlyAMinimisedWindowMakesTheGameInactive) {
  mainWindowProc(nullptr, WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_EQ(g_applicationActive, 1);
  mainWindowProc(nullptr, WM_ACTIVATE, WA_INACTIVE | (1u << 16), 0);
  EXPECT_EQ(g_applicationActive, 0);
  EXPECT_EQ(input.resets, 0);
  mainWindowProc(nullptr, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(g_applicationActive, 1);
  EXPECT_EQ(input.resets, 1);
  // Restored while still minimised counts as inactive.
  mainWindowProc(nullptr, WM_ACTIVATE, WA_CLICKACTIVE | (1u << 16), 0);
  EXPECT_EQ(g_applicationActive, 0);
  // Without an input device nothing brings it back.
  g_inputDevice = nullptr;
  mainWindowProc(nullptr, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(g_applicationActive, 0);
  EXPECT_TRUE(input.handled.empty());
}

TEST_F(WindowProcTest, ScreenSaverAndPowerOffAreSwallowedTheRestGoesToTheInput) {
  EXPECT_EQ(mainWindowProc(nullptr, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
  EXPECT_EQ(mainWindowProc(nullptr, WM_SYSCOMMAND, SC_MONITORPOWER | 0x2, 2), 0);
  EXPECT_TRUE(input.handled.empty());
  EXPECT_EQ(mainWindowProc(nullptr, WM_SYSCOMMAND, 0xF060, 0), 5);
  EXPECT_EQ(mainWindowProc(nullptr, WM_KEYDOWN, 0x41, 0), 5);
  EXPECT_EQ(mainWindowProc(nullptr, WM_SETCURSOR, 0, 0), 1);
  EXPECT_EQ(mainWindowProc(nullptr, WM_PAINT, 0, 0), 0);
  EXPECT_EQ(input.handled, (std::vector<UINT>{WM_SYSCOMMAND, WM_KEYDOWN}));
}

TEST_F(WindowProcTest, ClosingTheWindowAsksTheGameToEndWithoutDestroyingIt) {
  EXPECT_FALSE(quitPosted());
  EXPECT_EQ(mainWindowProc(nullptr, WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(g_windowClosed);
  EXPECT_TRUE(quitPosted());
  EXPECT_TRUE(input.handled.empty());
  g_windowClosed = false;
  EXPECT_EQ(mainWindowProc(nullptr, WM_DESTROY, 0, 0), 0);
  EXPECT_TRUE(quitPosted());
  EXPECT_FALSE(g_windowClosed);
}

}  // namespace
