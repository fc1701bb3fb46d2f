// The highscores screen: the score file read on every visit, the selectors
// with their wrap-around, the race end's hints and the end picture, all
// driven by clicks.
#include "gui/highscores_screen.h"

#include <gtest/gtest.h>

#include "game/saves/highscore.h"
#include "tests/gui/screen_fixture.h"

namespace {

class HighscoresTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    loadBackground("Highscores");
    screen = std::make_unique<HighscoresScreen>(gui.get(), *services);
  }
  void TearDown() override {
    screen.reset();
    ScreenTest::TearDown();
  }
  void visit() {
    screen->deactivate();
    screen->activate();
  }
  Config& config() { return services->settings; }

  std::unique_ptr<HighscoresScreen> screen;
};

TEST_F(HighscoresTest, FreshFileAndSelectors) {
  screen->activate();
  EXPECT_EQ(std::filesystem::file_size(HighscoreTables::kFileName), 26652u);  // 6 x 501 + 6 x 3941
  for (int r = 0; r < HighscoresScreen::kRows; ++r) {
    EXPECT_EQ(text(screen->m_placeCells[r]), std::to_string(r + 1) + ".");
    for (CEGUI::Window* cell : {screen->m_nameCells[r], screen->m_valueCells[r], screen->m_timeCells[r],
                                screen->m_characterCells[r], screen->m_kartCells[r]})
      EXPECT_EQ(text(cell), "--") << r;
  }
  EXPECT_EQ(text(screen->m_nameHeader), textOf(2420));
  EXPECT_EQ(text(screen->m_kindText), textOf(2100));
  EXPECT_EQ(text(screen->m_trackText), textOf(3000));

  click(screen->m_kindLeft);
  EXPECT_EQ(screen->m_kind, 3);
  EXPECT_EQ(text(screen->m_kindText), textOf(2020));
  EXPECT_EQ(text(screen->m_valueCells[9]), "0");
  EXPECT_FALSE(screen->m_trackText->isVisible());
  EXPECT_EQ(text(screen->m_trackText), "");
  EXPECT_TRUE(screen->m_trackLeft->isDisabled());
  const int clicks = services->clicks;
  click(screen->m_trackRight);
  click(screen->m_trackLeft);
  EXPECT_EQ(screen->m_track, 0);
  EXPECT_EQ(services->clicks, clicks);

  click(screen->m_ccmLeft);
  EXPECT_EQ(screen->m_ccm, 2);
  EXPECT_EQ(text(screen->m_ccmText), textOf(820));
  click(screen->m_kindRight);  // 3 -> 0
  click(screen->m_trackLeft);  // 0 -> 7
  click(screen->m_trackRight);
  click(screen->m_trackRight);
  click(screen->m_trackRight);  // 7 -> 0 -> 1 -> 2
  click(screen->m_kindRight);   // last man standing
  click(screen->m_kindRight);   // cup 1
  click(screen->m_kindLeft);    // last man standing again, the track kept
  EXPECT_EQ(screen->m_kind, 1);
  EXPECT_TRUE(screen->m_trackText->isVisible());
  EXPECT_EQ(text(screen->m_trackText), textOf(3200));
  EXPECT_EQ(text(screen->m_valueCells[0]), "--");
  EXPECT_EQ(screen->getResult(), -1);
  click(screen->m_backButton);
  EXPECT_EQ(screen->getResult(), 1);
}

TEST_F(HighscoresTest, HintsRowsBetweenVisitsAndDamagedFiles) {
  {
    HighscoreTables tables;
    tables.reset();
    ASSERT_EQ(tables.m_lastManStanding[2].insert(4, HighscoreEntry(83.5f, "Ann", 7, 5, 6)), 0);
    ASSERT_TRUE(tables.save(HighscoreTables::kFileName));
  }
  Config& c = config();
  c.m_showHighscores = c.m_highscoreMusic = 1;
  c.m_highscoreKind = 1, c.m_highscoreClass = 2, c.m_highscoreTrack = 4;
  screen->activate();
  EXPECT_EQ(text(screen->m_trackText), textOf(3100));
  EXPECT_EQ(text(screen->m_ccmText), textOf(820));
  EXPECT_EQ(text(screen->m_nameCells[0]), "Ann");
  EXPECT_EQ(text(screen->m_timeCells[0]), "01:23:50");
  EXPECT_EQ(text(screen->m_characterCells[0]), textOf(600));
  EXPECT_EQ(text(screen->m_kartCells[0]), textOf(706));
  EXPECT_EQ(text(screen->m_valueCells[0]), "--");
  EXPECT_EQ(text(screen->m_nameCells[1]), "--");

  screen->deactivate();
  EXPECT_EQ(c.m_showHighscores, 0);
  EXPECT_EQ(c.m_highscoreMusic, 0);
  EXPECT_EQ(screen->m_tables, nullptr);
  {
    HighscoreTables tables;
    ASSERT_TRUE(tables.load(HighscoreTables::kFileName));
    // A time the file keeps (up to 9999999 s) but the screen cannot show.
    tables.m_timeTrial[0].insert(0, HighscoreEntry(5000000.0f, "Long", 0, 0, 0));
    ASSERT_TRUE(tables.save(HighscoreTables::kFileName));
  }
  screen->activate();
  EXPECT_EQ(screen->m_kind + screen->m_ccm + screen->m_track, 0);
  EXPECT_EQ(text(screen->m_nameCells[0]), "Long");
  EXPECT_EQ(text(screen->m_timeCells[0]), "--:--:--");
  EXPECT_EQ(text(screen->m_characterCells[0]), textOf(100));

  std::filesystem::resize_file(HighscoreTables::kFileName, 3000);
  c.m_showHighscores = 1;
  c.m_highscoreKind = 7, c.m_highscoreClass = -1, c.m_highscoreTrack = 8;  // outside the tables
  visit();
  EXPECT_EQ(std::filesystem::file_size(HighscoreTables::kFileName), 26652u);
  EXPECT_EQ(screen->m_kind + screen->m_ccm + screen->m_track, 0);
  EXPECT_EQ(text(screen->m_nameCells[0]), "--");
}

TEST_F(HighscoresTest, EndPictureCoversTheScreenUntilItsOk) {
  Config& c = config();
  c.m_enterHighscore = 1;
  c.m_championshipCharacter = 2;
  screen->activate();
  EXPECT_EQ(c.m_enterHighscore, 0);
  ASSERT_NE(screen->m_endPicture, nullptr);
  EXPECT_TRUE(gui->isImagesetPresent("Endscreen_Alien"));
  EXPECT_EQ(screen->m_endPicture->getProperty("Image"), "Endscreen_Alien/Background");
  click(screen->m_backButton);
  EXPECT_EQ(screen->getResult(), -1);
  const int clicks = services->clicks;
  click(screen->m_endPictureOk);
  EXPECT_EQ(services->clicks, clicks + 1);
  EXPECT_EQ(screen->m_endPicture, nullptr);
  EXPECT_FALSE(gui->isImagesetPresent("Endscreen_Alien"));
  // The picture and its button are gone from the tree.
  EXPECT_EQ(screen->m_root->getChildCount(), 3u + 1 + 6 + 6 * (1 + HighscoresScreen::kRows));
  click(screen->m_backButton);
  EXPECT_EQ(screen->getResult(), 1);

  c.m_enterHighscore = 1;
  c.m_championshipCharacter = 9;
  visit();
  ASSERT_NE(screen->m_endPicture, nullptr);
  for (const char* name : {"Endscreen_Quorrel", "Endscreen_Affe", "Endscreen_Alien", "Endscreen_Kroet",
                           "Endscreen_Pumpkin", "Endscreen_Tod"})
    EXPECT_FALSE(gui->isImagesetPresent(name)) << name;
  click(screen->m_endPictureOk);
  EXPECT_EQ(screen->m_endPicture, nullptr);
}

}  // namespace
