// Text tables made to hurt: one long text (decoded one code point at a time
// it took 28 s at 512 KB), a table of empty Takes that the parser's records
// blew up to 85 times its size, more texts than a game holds. Each is read
// within bounds, cut or refused with a report.
#include <gtest/gtest.h>

#include <string>

#include "gui/text_table.h"
#include "gui/utf8_text.h"
#include "tests/foundation/memory_bound.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"

namespace {

constexpr long long kHeadroom = 64LL << 20;
const char* const kTable = "D:\\Tamberlok/menu/Texts.xml";

class HostileTexts : public ReportCapture {
 protected:
  // The table `xml` as the menu reads it, in English.
  std::unique_ptr<TextTable> read(const std::string& xml) {
    m_files.put(kTable, xml);
    auto table = std::make_unique<TextTable>(m_files, kTable);
    table->m_language = 1;
    return table;
  }
  MemoryFile m_files;
};

std::string take(int id, const std::string& inside) {
  return "<Take id=\"" + std::to_string(id) + "\">" + inside + "</Take>";
}

TEST_F(HostileTexts, ALongTextIsDecodedInOnePassAndCutToWhatAWindowShows) {
  const std::string longText(512 * 1024, 'a');
#ifdef TESSALINE_TEST_ASAN
  std::size_t length = 0;
  const std::size_t allocations = allocationCountOf([&] { length = decodeUtf8(longText).length(); });
  EXPECT_EQ(length, longText.size());
  EXPECT_LE(allocations, 4u) << "not one per code point";
#endif
  bool cut = true;
  EXPECT_EQ(decodeUtf8("\xC3\xA9t\xC3\xA9", 3, &cut), decodeUtf8("\xC3\xA9t\xC3\xA9"));
  EXPECT_FALSE(cut);
  EXPECT_EQ(decodeUtf8("\xC3\xA9t\xC3\xA9", 2, &cut).length(), 2u);
  EXPECT_TRUE(cut);

  // A text of 4 MB in a table keeps its first 8192 characters.
  const std::string xml = "<Texts>" + take(5, "<En>" + std::string(4 << 20, 'b') + "</En><De>kurz</De>") +
                          take(6, "<En>" + std::string(9000, 'c') + "</En>") + "</Texts>";
  const MemoryUse use = measureMemory([&] {
    const auto table = read(xml);
    return table->getText(5).length() == 8192 && table->getText(6).length() == 8192 ? 0 : 1;
  });
  EXPECT_EQ(use.result, 0);
  EXPECT_LE(use.peakGrowth, static_cast<long long>(xml.size()) * 3 + kHeadroom);
  const auto table = read(xml);
  EXPECT_EQ(takeMessage(), "\"D:\\Tamberlok/menu/Texts.xml\": 2 texts longer than 8192 characters are cut there");
  table->m_language = 0;
  EXPECT_EQ(table->getText(5), "kurz");
}

// 16.5 MB of "<Take id=\"1\"/>" took 1.39 GB: the parser's records alone
// came to 380 MB. A table with more elements than 4096 texts need is
// refused before it is parsed.
TEST_F(HostileTexts, ATableOfManyEmptyTakesIsRefusedBeforeItIsParsed) {
  std::string xml = "<Texts>";
  while (xml.size() < 16'500'000) xml += "<Take id=\"1\"/>";
  xml += "</Texts>";
  const MemoryUse use = measureMemory([&] { return read(xml)->storedTexts() == 0 ? 0 : 1; });
  EXPECT_EQ(use.result, 0);
  EXPECT_LE(use.peakGrowth, static_cast<long long>(xml.size()) * 2 + kHeadroom);
  read(xml);
  EXPECT_EQ(takeMessage(),
            "\"D:\\Tamberlok/menu/Texts.xml\": 1178572 elements, more than the 32768 a table of 4096 texts holds; "
            "the text table is not read");
}

// Only the languages a Take holds are kept, and a table of more texts than
// a game holds keeps its first 4096.
TEST_F(HostileTexts, TablesKeepTheirLanguagesAndAtMost4096Texts) {
  std::string xml = "<Texts>";
  for (int id = 0; id < 5000; ++id) xml += take(id, "<En>t" + std::to_string(id) + "</En>");
  xml += "</Texts>";
  const auto table = read(xml);
  EXPECT_EQ(takeMessage(), "\"D:\\Tamberlok/menu/Texts.xml\": more than 4096 texts; the rest is not read");
  EXPECT_EQ(table->storedTexts(), 4096u) << "English only";
  EXPECT_EQ(table->getText(4095), "t4095");
  EXPECT_EQ(table->getText(4096), "");

  // A later Take of an id replaces all its languages, those it lacks too.
  const auto twice =
      read("<Texts>" + take(3, "<De>drei</De><En>three</En>") + take(3, "<En>three again</En><Fr/>") + "</Texts>");
  EXPECT_EQ(twice->storedTexts(), 1u);
  EXPECT_EQ(twice->getText(3), "three again");
  twice->m_language = 0;
  EXPECT_EQ(twice->getText(3), "");
}

}  // namespace
