// The process's own facts: the language from the locale variables, the
// command line, and the string helpers' bounds.
#include "platform/system/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/system/system.h"

namespace {

// Sets the three locale variables for one test and puts them back.
class LocaleVariables {
 public:
  LocaleVariables(const char* all, const char* messages, const char* lang) {
    for (int i = 0; i < 3; ++i) {
      if (const char* old = std::getenv(kNames[i])) m_old[i] = old;
    }
    set(0, all), set(1, messages), set(2, lang);
  }
  ~LocaleVariables() {
    for (int i = 0; i < 3; ++i) set(i, m_old[i] ? m_old[i]->c_str() : nullptr);
  }

 private:
  static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  static void set(int i, const char* value) {
    if (value)
      setenv(kNames[i], value, 1);
    else
      unsetenv(kNames[i]);
  }
  std::optional<std::string> m_old[3];
};

TEST(UserLanguage, ComesFromTheFirstLocaleVariableSet) {
  {
    LocaleVariables v(nullptr, nullptr, "de_DE.UTF-8");
    EXPECT_EQ(GetUserDefaultLangID(), kLangGerman);
  }
  {
    LocaleVariables v(nullptr, nullptr, "de_AT");
    EXPECT_EQ(GetUserDefaultLangID(), kLangGerman);
  }
  {
    LocaleVariables v("fr_FR.UTF-8", "it_IT", "de_DE");
    EXPECT_EQ(GetUserDefaultLangID(), kLangFrench);
  }
  {
    LocaleVariables v("", "es_ES", "de_DE");
    EXPECT_EQ(GetUserDefaultLangID(), kLangSpanish);
  }
  for (const char* other : {"C", "POSIX", "C.UTF-8", "nl_NL", "en_GB.UTF-8", "de"}) {
    LocaleVariables v(nullptr, nullptr, other);
    EXPECT_EQ(GetUserDefaultLangID(), std::string(other) == "de" ? kLangGerman : kLangEnglishUs) << other;
  }
  LocaleVariables none(nullptr, nullptr, nullptr);
  EXPECT_EQ(GetUserDefaultLangID(), kLangEnglishUs);
}

TEST(CommandLine, StartsWithThisProgramAndStaysTheSame) {
  const std::string line = GetCommandLineA();
  char self[4096] = {};
  ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
  const std::string name = std::string(self).substr(std::string(self).rfind('/') + 1);
  EXPECT_NE(line.substr(0, line.find(' ')).find(name), std::string::npos) << line;
  EXPECT_EQ(GetCommandLineA(), GetCommandLineA());
}

TEST(StringCopy, KeepsAtMostLengthMinusOneCharactersAndTheTerminator) {
  const std::string source(5000, 'x');
  std::string block(2052, '#');
  EXPECT_EQ(lstrcpynA(block.data() + 4, source.c_str(), 2048), block.data() + 4);
  EXPECT_EQ(std::string(block.c_str() + 4), std::string(2047, 'x'));
  EXPECT_EQ(block[3], '#');
  EXPECT_EQ(block[4 + 2047], '\0');

  char small[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(lstrcpynA(small, "z", 0), nullptr);
  EXPECT_EQ(small[0], 'a');
  EXPECT_EQ(lstrcpynA(small, nullptr, 4), nullptr);
  EXPECT_STREQ(lstrcpynA(small, "yz", 4), "yz");

  EXPECT_EQ(lstrcmpiA("/Q", "/q"), 0);
  EXPECT_NE(lstrcmpiA("/q", "/qq"), 0);
  EXPECT_LT(lstrcmpiA(nullptr, "a"), 0);
}

TEST(TimerPeriods, AreReportedAndAccepted) {
  TIMECAPS caps{};
  ASSERT_EQ(timeGetDevCaps(&caps, sizeof caps), TIMERR_NOERROR);
  EXPECT_EQ(caps.wPeriodMin, 1u);
  EXPECT_EQ(timeGetDevCaps(&caps, 1), TIMERR_NOCANDO);
  EXPECT_EQ(timeBeginPeriod(caps.wPeriodMin), TIMERR_NOERROR);
  EXPECT_EQ(timeEndPeriod(caps.wPeriodMin), TIMERR_NOERROR);
  EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
}

}  // namespace
