// The words and pictures a player meets in the menus: every text id has real
// words in five languages, every label fits its window and reads against
// what lies behind it.
#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <sstream>

#include "game/saves/config.h"
#include "gui/highscores_screen.h"
#include "gui/menu/menu.h"
#include "gui/menu/multiplayer_screens.h"
#include "gui/text_table.h"
#include "gui/utf8_text.h"
#include "tests/gui/gui_fixture.h"
#include "tests/gui/text_backdrop.h"
#include "tests/support/scratch_dir.h"
#include "tools/sample_data/sample_look.h"
#include "tools/sample_data/text_words.h"

namespace {

using namespace text_backdrop;

std::vector<int> ids(std::initializer_list<std::pair<int, int>> ranges, int step = 1) {
  std::vector<int> out;
  for (auto [first, last] : ranges)
    for (int id = first; id <= last; id += step) out.push_back(id);
  return out;
}

// The ids the screens and displays ask for, as the race and menu code name
// them.
std::vector<int> menuIds() {
  std::vector<int> v = ids({{100, 600}}, 100);
  for (auto more : {ids({{700, 707}, {1001, 1002}, {1020, 1022}, {2590, 2595}, {4010, 4033}}),
                    ids({{2420, 2450}, {2520, 2580}}, 10), ids({{3000, 3700}}, 100), ids({{5010, 5070}}, 10)})
    v.insert(v.end(), more.begin(), more.end());
  for (int id : {800,  810,  820,  2000, 2010, 2020, 2100, 2110, 2120, 2200, 2300, 2310, 2320, 2330, 2331, 2350,
                 2400, 2471, 2480, 2500, 2510, 2515, 2516, 2517, 2600, 3999, 4000, 4001, 5000, 5001, 5011, 5021,
                 5031, 5041, 5051, 5061, 5071, 5090, 5091, 6000, 6001, 6020, 6021, 9000, 9001, 9004, 10000})
    v.push_back(id);
  return v;
}

std::vector<int> raceIds() {
  std::vector<int> v = ids({{100, 600}}, 100);
  for (auto more : {ids({{1000, 1004}, {1007, 1010}, {4010, 4025}}), ids({{3000, 3700}}, 100)})
    v.insert(v.end(), more.begin(), more.end());
  for (int id : {1020, 1021, 1030, 1031, 1040, 2000, 2002, 2010, 4000, 4001,
                 4030, 4032, 9000, 9008, 9010, 9020, 9050, 9100, 9110, 9140})
    v.push_back(id);
  return v;
}

// Words that stand in for a text instead of saying it.
bool placeholder(const std::string& text) {
  if (text.find_first_not_of(" 0123456789.-_#") == std::string::npos) return true;
  for (const char* marker :
       {"Menu ", "Race ", "Text ", "TODO", "placeholder", "Placeholder", "sample", "xxx", "Lorem", "???"}) {
    const std::size_t at = text.find(marker);
    if (at == std::string::npos) continue;
    const std::string rest = text.substr(at + std::string(marker).size());
    if (std::string(marker).back() != ' ' || (!rest.empty() && std::isdigit(static_cast<unsigned char>(rest[0]))))
      return true;
  }
  return false;
}

TEST(SampleTexts, EveryIdTheGameAsksForHasRealWordsInFiveLanguages) {
  for (auto [table, wanted] : {std::pair{menuTexts(), menuIds()}, std::pair{raceTexts(), raceIds()}}) {
    std::set<int> seen;
    for (const SampleText& t : table) EXPECT_TRUE(seen.insert(t.id).second) << "id " << t.id << " twice";
    for (int id : wanted) {
      const SampleText* t = findSampleText(table, id);
      ASSERT_NE(t, nullptr) << "no words for " << id;
      std::set<std::string> distinct;
      for (const char* word : t->words) {
        ASSERT_NE(word, nullptr);
        const std::string s = word;
        distinct.insert(s);
        EXPECT_FALSE(s.empty()) << id;
        EXPECT_FALSE(placeholder(s)) << id << ": " << s;
        // The fonts hold Latin-1: every character must be in it.
        const CEGUI::String decoded = decodeUtf8(s);
        for (std::size_t i = 0; i < decoded.size(); ++i)
          EXPECT_TRUE(decoded[i] >= 32 && decoded[i] <= 255) << id << ": " << s;
      }
      // Only names read alike in every language.
      EXPECT_TRUE(t->name || distinct.size() > 1) << id << " is the same in all five languages";
    }
    // A word standing in for many texts ("Menu", "Text" with a number).
    for (int language = 0; language < 5; ++language) {
      std::map<std::string, int> rows;
      for (const SampleText& t : table) {
        std::set<std::string> words;
        std::istringstream in(t.words[static_cast<std::size_t>(language)]);
        for (std::string w; in >> w;)
          if (w.size() > 3) words.insert(w);
        for (const std::string& w : words) ++rows[w];
      }
      for (const auto& [word, count] : rows)
        EXPECT_LE(count, static_cast<int>(table.size()) / 2) << "\"" << word << "\" in " << count << " texts";
    }
  }
  // The files the tool writes hold the same words, read as the game reads them.
  for (auto [file, table] : {std::pair{"D:\\Tamberlok/menu/Texts.xml", menuTexts()},
                             std::pair{"D:\\Tamberlok/menu/IngameTexts.xml", raceTexts()}}) {
    TextTable texts(sampleArchive(), file);
    for (std::uint32_t language = 0; language < 5; ++language) {
      texts.m_language = language;
      for (const SampleText& t : table)
        EXPECT_EQ(texts.getText(t.id), decodeUtf8(t.words[language])) << file << " " << t.id;
    }
  }
}

// ---- fitting and reading on the screens ------------------------------------------

class SampleScreens : public NullGuiTest {
 protected:
  // One problem per line, so a failure names every label at once.
  std::vector<std::string> problems;

  void check(const CEGUI::Window& w, const std::string& where, const std::vector<Box>& previews,
             bool anywhereOnScreen = false) {
    if (w.getText().empty()) return;
    const Measured m = measure(w);
    const CEGUI::Rectf outer = w.getUnclippedOuterRect().get();
    const float left = std::max(outer.left(), 0.0f), right = std::min(outer.right(), 1024.0f);
    const std::string text = w.getText().c_str();
    if (m.text.left < left - 0.5f || m.text.right > right + 0.5f ||
        m.text.bottom - m.text.top > outer.getHeight() + 0.5f)
      problems.push_back(where + ": \"" + text + "\" (" + std::to_string(m.text.right - m.text.left) + " x " +
                         std::to_string(m.text.bottom - m.text.top) + ") leaves its window " +
                         std::to_string(right - left) + " x " + std::to_string(outer.getHeight()));
    std::vector<Box> boxes = {
        {std::max(m.text.left, 0.0f), m.text.top, std::min(m.text.right, 1024.0f), m.text.bottom}};
    if (anywhereOnScreen) {  // a scrolling line: everywhere it is fully shown
      boxes.clear();
      for (float y = 50; y < 683; y += 35)
        boxes.push_back({boxes[0].left, y, boxes[0].right, y + m.text.bottom - m.text.top});
    } else if (m.window.bottom <= m.window.top) {
      return;  // scrolled out of its pane
    }
    for (const Box& b : boxes) {
      const double contrast = backdrop.lowestContrast(w, b, textColour(w), previews);
      if (contrast < 4.5) {
        problems.push_back(where + ": \"" + text + "\" contrast " + std::to_string(contrast));
        break;
      }
    }
  }

  void checkTree(const CEGUI::Window& w, const std::string& where, const std::vector<Box>& previews, bool scrolling) {
    const CEGUI::String type = w.getType();
    // A scrolling line's black twin is its drop shadow, not a text to read.
    if ((type == "Quillfen/StaticText" || type == "Quillfen/Button") && !(scrolling && textColour(w) == 0xFF000000))
      check(w, where, previews, scrolling);
    for (std::size_t i = 0; i < w.getChildCount(); ++i) checkTree(*w.getChildAtIdx(i), where, previews, scrolling);
  }

  // Every text of a family ("the eight kart names") shown in `w` in turn.
  void checkFamily(CEGUI::Window* w, const TextTable& texts, const std::vector<int>& family, const std::string& where,
                   const std::vector<Box>& previews, const CEGUI::String& suffix = "") {
    const CEGUI::String kept = w->getText();
    for (int id : family) {
      w->setText(texts.getText(id) + suffix);
      check(*w, where + " #" + std::to_string(id), previews);
    }
    w->setText(kept);
  }

  Backdrop backdrop;
};

TEST_F(SampleScreens, EveryMenuLabelFitsItsWindowAndReadsInFiveLanguages) {
  ScratchDir scratch;
  Config config(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
  Menu menu(nullptr, gui.get());
  ASSERT_TRUE(menu.init(&sampleArchive(), nullptr, &config));
  const std::vector<int> characters = ids({{100, 600}}, 100), karts = ids({{700, 707}}), classes = {800, 810, 820},
                         tracks = ids({{3000, 3700}}, 100), cups = {2010, 2020}, modes = {2110, 2200, 2000, 2120},
                         kinds = {2100, 2200, 2010, 2020}, lobby = {9000, 9001, 9004};
  const std::map<Menu::Slot, std::vector<Box>> previews = {
      {Menu::kTimeTrial, {{60, 262, 472, 593.5f}}},
      {Menu::kLastManStanding, {{60, 262, 481, 593.5f}}},
      {Menu::kChampionship, {{60, 262, 472, 593.5f}}},
      {Menu::kMultiplayer, {{60, 30, 482, 361.5f}}},
      {Menu::kTwoPlayers, {{48, 30, 470, 361.5f}, {559, 30, 981, 361.5f}}}};
  for (int language = 0; language < 5; ++language) {
    config.m_language = language;
    menu.m_texts->m_language = static_cast<std::uint32_t>(language);
    const TextTable& texts = *menu.m_texts;
    for (int slot = 0; slot < Menu::kScreenCount; ++slot) {
      GuiScreen* screen = menu.screen(static_cast<Menu::Slot>(slot));
      const std::string where = std::string(screen->getName()) + " in " + kSampleLanguageCodes[language];
      const auto found = previews.find(static_cast<Menu::Slot>(slot));
      const std::vector<Box> open = found == previews.end() ? std::vector<Box>{} : found->second;
      // The lobby seats this machine when it opens: its windows are filled here.
      if (slot != Menu::kMultiplayer) menu.setScreen(screen);
      checkTree(*screen->m_root, where, open, slot == Menu::kCredits);
      // Labels that show one of a family of texts in turn.
      std::vector<CEGUI::Window*> labels;
      const auto collect = [&](const auto& self, CEGUI::Window* w) -> void {
        if (w->getType() == "Quillfen/StaticText") labels.push_back(w);
        for (std::size_t i = 0; i < w->getChildCount(); ++i) self(self, w->getChildAtIdx(i));
      };
      collect(collect, screen->m_root);
      for (CEGUI::Window* label : labels)
        for (const std::vector<int>* family : {&characters, &karts, &classes, &tracks, &cups, &kinds})
          for (int id : *family)
            if (!label->getText().empty() && label->getText() == texts.getText(id)) {
              checkFamily(label, texts, *family, where, open);
              break;
            }
      if (slot == Menu::kHighscores) {
        auto& h = *static_cast<HighscoresScreen*>(screen);
        checkFamily(h.m_characterCells[0], texts, characters, where, open);
        checkFamily(h.m_kartCells[0], texts, karts, where, open);
        checkFamily(h.m_trackText, texts, tracks, where, open);
      }
      if (slot == Menu::kMultiplayerSelect)
        checkFamily(static_cast<MultiplayerSelectScreen*>(screen)->m_addressProblem, texts, {2331}, where, open);
      if (slot == Menu::kMultiplayer) {
        auto& m = *static_cast<MultiplayerScreen*>(screen);
        checkFamily(m.m_modeText, texts, modes, where, open);
        checkFamily(m.m_trackText, texts, tracks, where, open);
        checkFamily(m.m_trackText, texts, cups, where, open);
        checkFamily(m.m_ccmText, texts, classes, where, open);
        checkFamily(m.m_lapsText, texts, {2471}, where, open, " 5");
        for (CEGUI::Window* w : {m.m_localCharacterText, m.m_characterTexts[0]})
          checkFamily(w, texts, characters, where, open);
        for (CEGUI::Window* w : {m.m_localKartText, m.m_kartTexts[0]}) checkFamily(w, texts, karts, where, open);
        checkFamily(m.m_messageText, texts, lobby, where, open);
      }
    }
  }
  menu.shutdown();
  std::string all;
  for (const std::string& p : problems) all += p + "\n";
  EXPECT_TRUE(problems.empty()) << problems.size() << " labels:\n" << all;
}

// The 3D previews show through each mode screen's background there and only
// there; its labels and pictures keep clear of a preview's edge, so no row
// or picture crosses a panel's frame.
TEST_F(SampleScreens, EachModeScreenIsClearExactlyWhereItsPreviewsShow) {
  ScratchDir scratch;
  Config config(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
  Menu menu(nullptr, gui.get());
  ASSERT_TRUE(menu.init(&sampleArchive(), nullptr, &config));
  // Where the menu draws each screen's previews.
  const std::map<Menu::Slot, std::vector<Box>> previews = {
      {Menu::kTimeTrial, {{60, 262, 472, 593.5f}}},
      {Menu::kLastManStanding, {{60, 262, 481, 593.5f}}},
      {Menu::kChampionship, {{60, 262, 472, 593.5f}}},
      {Menu::kMultiplayer, {{60, 30, 482, 361.5f}}},
      {Menu::kTwoPlayers, {{48, 30, 470, 361.5f}, {559, 30, 981, 361.5f}}}};
  std::map<std::string, std::vector<NamedPicture>> sets;
  for (const auto& [slot, open] : previews) {
    const CEGUI::Window& root = *menu.screen(slot)->m_root;
    const std::string where = menu.screen(slot)->getName();
    const std::string image = root.getProperty("Image").c_str();
    const std::string set = image.substr(0, image.find('/'));
    if (!sets.count(set)) sets[set] = drawImageset(set);
    const Canvas* picture = findPicture(sets[set], image.substr(image.find('/') + 1));
    ASSERT_NE(picture, nullptr) << where << ": " << image;
    // Shared with no other mode screen: each lays out its own previews.
    for (const auto& [other, unused] : previews)
      if (other != slot) {
        EXPECT_NE(menu.screen(other)->m_root->getProperty("Image"), image.c_str()) << where;
      }
    // Over a preview only the plates under its names are drawn.
    std::vector<Box> plates;
    const auto names = [&](const auto& self, const CEGUI::Window& w) -> void {
      if (w.getType() == "Quillfen/StaticText" && w.isEffectiveVisible()) {
        const CEGUI::Rectf r = w.getUnclippedOuterRect().get();
        for (const Box& b : open)
          if (overlaps({r.left(), r.top(), r.right(), r.bottom()}, b))
            plates.push_back({r.left() - 12, r.top() - 2, r.right() + 12, r.bottom() + 2});
      }
      for (std::size_t i = 0; i < w.getChildCount(); ++i) self(self, *w.getChildAtIdx(i));
    };
    names(names, root);
    int holes = 0, filled = 0;
    for (int y = 0; y < picture->height(); ++y)
      for (int x = 0; x < picture->width(); ++x) {
        const float px = static_cast<float>(x), py = static_cast<float>(y);
        bool inside = false, edge = false;
        for (const Box& b : open) {
          inside = inside || (px >= b.left && px + 1 <= b.right && py >= b.top && py + 1 <= b.bottom);
          edge = edge || overlaps({px, py, px + 1, py + 1}, b);
        }
        const bool plate = std::any_of(plates.begin(), plates.end(), [&](const Box& p) {
          return overlaps({px, py, px + 1, py + 1}, p);
        });
        const std::uint32_t alpha = picture->at(x, y) >> 24;
        if (inside && !plate && alpha != 0) ++filled;
        if (!edge && alpha != 0xFF) ++holes;
      }
    EXPECT_EQ(filled, 0) << where << ": pixels drawn over a preview";
    EXPECT_EQ(holes, 0) << where << ": pixels clear where no preview shows";
    // Texts and pictures lie wholly inside a preview or wholly beside it.
    const auto visit = [&](const auto& self, const CEGUI::Window& w) -> void {
      const CEGUI::String type = w.getType();
      if (&w != &root && w.isEffectiveVisible() && (type == "Quillfen/StaticText" || type == "Quillfen/StaticImage")) {
        const CEGUI::Rectf r = w.getUnclippedOuterRect().get();
        const Box box = {r.left(), r.top(), r.right(), r.bottom()};
        for (const Box& b : open) {
          const bool within = box.left >= b.left && box.right <= b.right && box.top >= b.top && box.bottom <= b.bottom;
          // A preview's frame is 4 pixels wide.
          const Box framed = {b.left - 4, b.top - 4, b.right + 4, b.bottom + 4};
          EXPECT_TRUE(within || !overlaps(box, framed))
              << where << ": " << type << " at " << box.left << ", " << box.top << " crosses a preview's edge";
        }
      }
      for (std::size_t i = 0; i < w.getChildCount(); ++i) self(self, *w.getChildAtIdx(i));
    };
    visit(visit, root);
  }
  menu.shutdown();
}

TEST_F(SampleScreens, EveryRaceTextFitsTheBoxItIsShownIn) {
  for (const SampleText& t : raceTexts()) {
    if (t.box == TextBox::kOnScreen) continue;
    const TextBoxSize box = textBoxSize(t.box);
    const CEGUI::Font& font = CEGUI::FontManager::getSingleton().get(box.font);
    for (int language = 0; language < 5; ++language) {
      // A player's name is at most 16 characters.
      CEGUI::String text = decodeUtf8(t.words[static_cast<std::size_t>(language)]);
      const std::size_t name = text.find("[NICKNAME]");
      if (name != CEGUI::String::npos) text.replace(name, 10, "Maximiliane 1234");
      const std::vector<CEGUI::String> lines =
          box.wrapped ? wrap(font, text, box.width) : std::vector<CEGUI::String>{text};
      float width = 0;
      for (const CEGUI::String& line : lines) width = std::max(width, font.getTextExtent(line));
      const float height = font.getLineSpacing() * static_cast<float>(lines.size() - 1) + font.getFontHeight();
      EXPECT_LE(width, box.width) << t.id << " " << kSampleLanguageCodes[language] << ": " << text.c_str();
      EXPECT_LE(height, box.height) << t.id << " " << kSampleLanguageCodes[language] << ": " << text.c_str();
    }
  }
}

TEST(SampleLook, TheLooksTextsReadOnTheirOwnColours) {
  using namespace sample_look;
  const std::pair<std::uint32_t, std::uint32_t> pairs[] = {{kButtonText, kButtonNormal},
                                                           {kButtonHoverText, kButtonHover},
                                                           {kButtonHoverText, kButtonPushed},
                                                           {kButtonDisabledText, kButtonDisabled},
                                                           {kEditText, kEditBox},
                                                           {0xFF000000, kListBox},
                                                           {0xFF000000, kFrameClient},
                                                           {0xFFFFFFFF, kFrameClient},
                                                           {0xFFFFFFFF, kBlackPanel}};
  for (auto [text, background] : pairs)
    EXPECT_GE(contrastRatio(text, background), 4.5) << std::hex << text << " on " << background;
}

}  // namespace
