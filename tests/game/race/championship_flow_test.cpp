// A whole cup through the standings' button: three races that follow
// without the menu, then the cup's result in its table.
#include "game/race/championship_flow.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "game/saves/config.h"
#include "game/saves/highscore.h"
#include "game/saves/highscore_kind.h"
#include "tests/support/scratch_dir.h"

namespace {

using ChampionshipFlow = ScratchDirTest;  // the tables are saved in the working directory

TEST_F(ChampionshipFlow, ACupRunsFourRacesThenEntersItsTable) {
  Config config(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
  HighscoreTables tables;
  tables.reset();
  config.m_ccm.set(1);
  config.m_track.set(4);  // the second cup
  Config::Player& player = *config.m_player[0].modify();
  player = Config::Player();
  player.character = 2, player.kart = 5;
  std::snprintf(player.name, sizeof player.name, "Ada");
  const int points[4] = {10, 8, 10, 6};
  for (int race = 0; race < 4; ++race) {
    SCOPED_TRACE(race);
    config.m_skipMenu = 0;  // every race load clears it
    player.totalPoints += points[race];
    player.totalTime += 60.0f;
    // What the race end leaves for a one-player race; the cup's kind only
    // after its last track.
    config.m_showHighscores = config.m_highscoreMusic = 1;
    if (config.m_track.get() == 7) config.m_highscoreKind = kTableCup2, config.m_highscoreClass = 1;
    const bool more = finishChampionshipRace(config, &tables);
    EXPECT_EQ(more, race < 3);
    EXPECT_EQ(config.m_skipMenu, race < 3 ? 1 : 0);
    EXPECT_EQ(config.m_track.get(), race < 3 ? 5 + race : 7);
    EXPECT_EQ(config.m_showHighscores, race < 3 ? 0 : 1);
    EXPECT_EQ(config.m_highscoreMusic, race < 3 ? 0 : 1);
  }
  // The totals of all four races, in cup 2's table of class 1 only.
  const HighscoreEntry* first = tables.table(kTableCup2, 1)->getEntry(0, 0);
  EXPECT_EQ(first->value, 34);
  EXPECT_FLOAT_EQ(first->time, 240.0f);
  EXPECT_STREQ(first->name, "Ada");
  EXPECT_EQ(first->character, 2);
  EXPECT_EQ(first->kart, 5);
  EXPECT_EQ(tables.table(kTableCup1, 1)->getEntry(0, 0)->value, 0);
  HighscoreTables saved;
  EXPECT_TRUE(saved.load(HighscoreTables::kFileName));
  EXPECT_EQ(saved.table(kTableCup2, 1)->getEntry(0, 0)->value, 34);
}

}  // namespace
