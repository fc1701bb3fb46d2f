// Texts on their way into the GUI: text tables, the bounded UTF-8 decoder,
// the edit-box name matcher and race-time formatting.
#include <gtest/gtest.h>

#include <limits>

#include "gui/gui_helper.h"
#include "gui/name_matcher.h"
#include "gui/text_table.h"
#include "gui/utf8_text.h"
#include "tests/support/memory_file.h"

namespace {

TextTable tableOf(const std::string& xml) {
  MemoryFile files;
  files.put("t.xml", xml);
  return TextTable(files, "t.xml");
}

TEST(TextTable, LanguagesTakesAndOddElements) {
  TextTable table = tableOf(
      "<Texts>"
      "<Take><De>no id yet</De></Take>"  // no earlier id to reuse: skipped
      "<Take id=\"2100\"><De>Nur Deutsch</De><En>English</En></Take>"
      "<Take id=\"700\"><De>alt</De><Fr>vieux</Fr></Take>"
      "<Take id=\"700\"><De>neu</De><En>new</En></Take>"
      "<Take id=\"5\"><En><b/>nested</En><En>second</En><En/></Take>"
      "<Take id=\"12abc\"><De>Gr\xC3\xBC\xC3\x9F</De></Take>"
      "</Texts>");
  EXPECT_EQ(table.getText(2100), "Nur Deutsch");
  EXPECT_EQ(table.getText(0), "");
  table.m_language = 2;
  EXPECT_EQ(table.getText(2100), "");  // no fallback to another language
  EXPECT_EQ(table.getText(700), "");   // the later Take replaced all six
  table.m_language = 1;
  EXPECT_EQ(table.getText(700), "new");
  EXPECT_EQ(table.getText(5), "second");  // the last element with text wins
  table.m_language = 0;
  const CEGUI::String& twelve = table.getText(12);
  ASSERT_EQ(twelve.length(), 4u);
  EXPECT_EQ(twelve[2], 0xFCu);  // "ü" is one code point
  EXPECT_EQ(table.getText(-1), "");
  EXPECT_EQ(TextTable::languageFromSetting(7), 0u);
  EXPECT_EQ(TextTable::languageFromSetting(4), 4u);
  EXPECT_EQ(TextTable::languageFromSetting(-1), 0u);
}

TEST(TextTable, MissingOrBrokenFilesGiveEmptyTables) {
  MemoryFile files;
  EXPECT_EQ(TextTable(files, "absent.xml").getText(100), "");
  EXPECT_EQ(tableOf("<Other><Take id=\"1\"><De>x</De></Take></Other>").getText(1), "");
}

TEST(Utf8Text, DecodesBoundedAndReplacesBadBytes) {
  EXPECT_EQ(decodeUtf8("\xC3\xBC"), CEGUI::String(1, 0xFCu));
  const CEGUI::String s = decodeUtf8(std::string_view("a\xF0\x9F\x98\x80z\xC0\xAF\xED\xA0\x80", 11));
  ASSERT_EQ(s.length(), 8u);
  EXPECT_EQ(s[1], 0x1F600u);
  EXPECT_EQ(s[2], static_cast<CEGUI::utf32>('z'));
  for (std::size_t i = 3; i < 8; ++i) EXPECT_EQ(s[i], 0xFFFDu) << i;  // overlong, surrogate
  // A sequence cut by the end of the view must not read beyond it.
  const char bytes[] = {'x', '\xE2', '\x82', '\xAC'};
  const CEGUI::String cut = decodeUtf8(std::string_view(bytes, 3));
  ASSERT_EQ(cut.length(), 3u);
  EXPECT_EQ(cut[1], 0xFFFDu);
  EXPECT_EQ(cut[2], 0xFFFDu);
}

TEST(NameMatcher, ClassesQuantifiersAndWholeText) {
  NameMatcher names("[-+._0-9a-zA-Z ]*");
  EXPECT_TRUE(names.matches(""));
  EXPECT_TRUE(names.matches("Ab-c+ 1.2_"));
  EXPECT_FALSE(names.matches("Ab[c"));
  EXPECT_EQ(names.getMatchStateOfString("x]"), CEGUI::RegexMatcher::MS_INVALID);
  NameMatcher code("a[^0-9]+b?\\*");
  EXPECT_TRUE(code.matches("axy*"));
  EXPECT_TRUE(code.matches("axb*"));
  EXPECT_FALSE(code.matches("a*"));
  EXPECT_FALSE(code.matches("a1*"));
  EXPECT_FALSE(code.matches("axy*z"));
  EXPECT_FALSE(NameMatcher("[a-z").matches("a"));
  EXPECT_FALSE(NameMatcher("*a").matches("a"));
}

TEST(GuiHelper, FormatTimeTruncatesAndGuards) {
  CEGUI::String out;
  EXPECT_EQ(GuiHelper::formatTime(83.456f, out), "01:23:45");
  EXPECT_EQ(GuiHelper::formatTime(3599.99f, out), "59:59:98");
  EXPECT_EQ(GuiHelper::formatTime(0.29f, out), "00:00:28");
  EXPECT_EQ(GuiHelper::formatTime(3661.0f, out), "01:01:00");
  EXPECT_EQ(GuiHelper::formatTime(3e6f, out), "20:00:00");  // ms beyond 32 bits
  for (float bad :
       {0.0f, -1.0f, 3600000.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
    EXPECT_EQ(GuiHelper::formatTime(bad, out), "--:--:--") << bad;
  CEGUI::UVector2 v;
  GuiHelper::layoutToRelative(v, CEGUI::Vector2f(512, 384), 1024, 768);
  EXPECT_EQ(v, CEGUI::UVector2(CEGUI::UDim(0.5f, 0), CEGUI::UDim(0.5f, 0)));
  GuiHelper::layoutToRelative(v, CEGUI::Vector2f(512, 384), 0, 768);
  EXPECT_EQ(v.d_x.d_scale, 0.0f);
}

}  // namespace
