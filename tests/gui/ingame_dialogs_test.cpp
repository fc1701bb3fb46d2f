// The race's dialogs: pause, the lost-connection box, the result dialogs of
// every mode, the highscore name entry and a whole cup through the
// standings' button.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>

#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "game/saves/highscore_kind.h"
#include "gui/gui_helper.h"
#include "tests/gui/ingame_fixture.h"

namespace {

using IngameDialogs = IngameTest;

std::string formatted(float seconds) {
  CEGUI::String out;
  return GuiHelper::formatTime(seconds, out).c_str();
}

void name(Config::Player& p, const char* n) { std::snprintf(p.name, sizeof p.name, "%s", n); }

TEST_F(IngameDialogs, PauseStopsTheClockAndMutesUntilResumed) {
  OnscreenDisplays& d = build();
  race->timer().start();
  d.openPauseDialog();
  race->pausedFlag = true;  // what the race does after Escape
  EXPECT_TRUE(d.pauseDialogVisible());
  EXPECT_FALSE(race->timer().isRunning());
  EXPECT_TRUE(race->soundsMuted);
  EXPECT_TRUE(gui->m_mouseCursor->isVisible());
  EXPECT_FALSE(d.m_pauseEndRaceButton->isDisabled());
  click(d.m_pauseResumeButton);
  EXPECT_FALSE(d.pauseDialogVisible());
  EXPECT_TRUE(race->timer().isRunning());
  EXPECT_FALSE(race->soundsMuted);
  EXPECT_FALSE(race->pausedFlag);
  EXPECT_FALSE(gui->m_mouseCursor->isVisible());
  EXPECT_EQ(race->leaves, 0);
}

TEST_F(IngameDialogs, ResumeAfterAPausePressKeepsTheRaceAndItsClockPaused) {
  OnscreenDisplays& d = build();
  race->timer().start();
  // P first: the race stops its clock and mutes, then Escape.
  race->pausedFlag = true;
  race->timer().pause();
  race->soundsMuted = true;
  d.openPauseDialog();
  d.onPauseResumeClicked(CEGUI::EventArgs());
  EXPECT_TRUE(race->pausedFlag);
  EXPECT_FALSE(race->timer().isRunning());
  EXPECT_TRUE(race->soundsMuted);
  // Before the countdown the clock has not started: the dialog leaves it so.
  Timer& fresh = race->timer();
  fresh = Timer(clock);
  race->pausedFlag = false;
  d.openPauseDialog();
  d.onPauseResumeClicked(CEGUI::EventArgs());
  EXPECT_FALSE(fresh.isRunning());
}

TEST_F(IngameDialogs, NetworkPauseKeepsTheClockAndCannotEndTheRace) {
  config->m_playType = kPlayNetwork;
  OnscreenDisplays& d = build();
  race->timer().start();
  d.openPauseDialog();
  EXPECT_TRUE(race->timer().isRunning());
  EXPECT_TRUE(race->soundsMuted);
  EXPECT_TRUE(d.m_pauseEndRaceButton->isDisabled());
  click(d.m_pauseResumeButton);
  EXPECT_TRUE(race->timer().isRunning());
  EXPECT_FALSE(race->soundsMuted);
}

TEST_F(IngameDialogs, EndRaceQuitAndTheMessageBoxLeave) {
  OnscreenDisplays& d = build();
  config->m_showHighscores = config->m_highscoreMusic = 1;
  d.openPauseDialog();
  click(d.m_pauseEndRaceButton);
  EXPECT_EQ(config->m_raceEndedFromPause, 1);
  EXPECT_EQ(config->m_showHighscores, 1);
  EXPECT_EQ(race->leaves, 1);
  EXPECT_EQ(net->getState(), NetControl::kStateLeft);

  build();
  displays->openPauseDialog();
  click(displays->m_pauseQuitButton);
  EXPECT_EQ(config->m_showHighscores, 0);
  EXPECT_EQ(config->m_highscoreMusic, 0);
  EXPECT_EQ(race->leaves, 1);
  EXPECT_EQ(race->networkLeaves, 1);

  build();
  for (int id : {9140, 9110, 9100}) {
    displays->showMessageBox(id);
    EXPECT_EQ(text(displays->m_messageText), textOf(id));
  }
  EXPECT_TRUE(displays->messageBoxVisible());
  EXPECT_TRUE(displays->m_messageBox->isAlwaysOnTop());
  click(displays->m_messageOkButton);
  EXPECT_FALSE(displays->messageBoxVisible());
  EXPECT_EQ(race->leaves, 1);
  EXPECT_EQ(race->networkLeaves, 1);
}

TEST_F(IngameDialogs, TimeTrialListsTheLapsAndTheirSum) {
  config->m_game.set(kModeTimeTrial);
  config->m_playType = kPlaySplitScreen;  // no name entry
  OnscreenDisplays& d = build(1, 1);
  const float laps[5] = {30.25f, 29.5f, 31.125f, 99.0f, 99.0f};
  std::memcpy(player(0).lapTimes, laps, sizeof laps);
  d.showTimeTrialResults();
  EXPECT_TRUE(d.timeTrialResultVisible());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(text(d.m_ttDialog.labels[i]), textOf(1000) + " " + std::to_string(i + 1));
    EXPECT_EQ(text(d.m_ttDialog.times[i]), formatted(laps[i]));
  }
  EXPECT_EQ(text(d.m_ttDialog.labels[3]), textOf(1004));
  EXPECT_EQ(text(d.m_ttDialog.times[3]), formatted(30.25f + 29.5f + 31.125f));
  EXPECT_FALSE(d.m_ttDialog.labels[4]->isVisible());
  EXPECT_EQ(text(d.m_ttDialog.times[5]), "");
  click(d.m_ttDialog.okButton);
  EXPECT_EQ(race->leaves, 1);
  EXPECT_EQ(race->networkLeaves, 1);  // leaving ends a network game too

  // A lap count from a peer is held to the five laps a record keeps.
  config->m_laps.set(9);
  build(1, 1).showTimeTrialResults();
  EXPECT_EQ(text(displays->m_ttDialog.labels[5]), textOf(1004));
  config->m_laps.set(-4);
  build(1, 1).showTimeTrialResults();
  EXPECT_EQ(text(displays->m_ttDialog.labels[1]), textOf(1004));
  EXPECT_FALSE(displays->m_ttDialog.labels[2]->isVisible());
}

TEST_F(IngameDialogs, RaceResultsGoByRank) {
  OnscreenDisplays& d = build();
  const char* names[6] = {"Ada", "Bo", "Cy", "Di", "Ed", "Flo"};
  const int ranks[6] = {3, 5, 0, 1, 4, 2};
  for (int k = 0; k < 6; ++k) {
    name(player(k), names[k]);
    player(k).raceTime = 100.0f + k;
    race->karts[k].rank = ranks[k];
  }
  race->karts[4].rank = 6;  // a broken rank from a peer writes no row
  d.showRaceResults();
  EXPECT_EQ(text(d.m_raceDialog.title), textOf(1040));
  EXPECT_EQ(text(d.m_raceDialog.names[1]), "Cy");
  EXPECT_EQ(text(d.m_raceDialog.times[1]), formatted(102.0f));
  EXPECT_EQ(text(d.m_raceDialog.names[4]), "Ada");
  EXPECT_FALSE(d.m_raceDialog.names[5]->isVisible());
  for (int r = 1; r <= 6; ++r) EXPECT_EQ(text(d.m_raceDialog.numbers[r]), std::to_string(r) + ".");
  click(d.m_raceDialog.okButton);
  EXPECT_EQ(race->leaves, 1);
  EXPECT_EQ(race->networkLeaves, 1);
}

TEST_F(IngameDialogs, LastManStandingTimesOnlyTheWinner) {
  config->m_game.set(kModeLastManStanding);
  config->m_playType = kPlayNetwork;
  OnscreenDisplays& d = build();
  for (int k = 0; k < 6; ++k) {
    name(player(k), k == 4 ? "Winner" : "Out");
    player(k).position = (k + 2) % 6;  // kart 4 is first
    player(k).raceTime = 50.0f + k;
  }
  player(3).position = -1;  // broken: no row
  d.showLastManStandingResults();
  EXPECT_EQ(text(d.m_lmsDialog.names[1]), "Winner");
  EXPECT_EQ(text(d.m_lmsDialog.times[1]), formatted(54.0f));
  EXPECT_EQ(text(d.m_lmsDialog.times[3]), textOf(4032));
  EXPECT_EQ(d.m_lmsDialog.times[3]->getFont()->getName(), "VerdanaSmall");
  EXPECT_FALSE(d.m_lmsDialog.names[6]->isVisible());  // kart 3's place 5
  // Records arrive later in a network game.
  player(3).position = 5;
  d.refreshResultList();
  EXPECT_TRUE(d.m_lmsDialog.names[6]->isVisible());
  click(d.m_lmsDialog.okButton);
  EXPECT_EQ(race->leaves, 1);
  EXPECT_EQ(race->networkLeaves, 1);
}

TEST_F(IngameDialogs, StandingsOrderByPointsThenTimeThenReverseIndex) {
  config->m_game.set(kModeChampionship);
  config->m_track.set(3);
  OnscreenDisplays& d = build();
  const int points[6] = {20, 30, 20, 20, 10, 20};
  const float times[6] = {300, 300, 290, 300, 100, 300};
  for (int k = 0; k < 6; ++k) {
    name(player(k), std::to_string(k).c_str());
    player(k).totalPoints = points[k];
    player(k).totalTime = times[k];
    player(k).position = k;
    player(k).racePoints = 10 - k;
  }
  d.showChampionshipResults();
  EXPECT_EQ(text(d.m_cupRaceDialog.title), textOf(3300));
  EXPECT_EQ(text(d.m_cupRaceDialog.points[2]), "9");
  click(d.m_cupRaceDialog.okButton);
  EXPECT_FALSE(d.championshipResultVisible());
  EXPECT_TRUE(d.championshipStandingsVisible());
  EXPECT_EQ(text(d.m_standingsDialog.title), textOf(1021));
  const char* order[6] = {"1", "2", "5", "3", "0", "4"};
  for (int r = 0; r < 6; ++r) EXPECT_EQ(text(d.m_standingsDialog.names[r + 1]), order[r]) << r;
  EXPECT_EQ(text(d.m_standingsDialog.points[1]), "30");

  // Fewer karts: the rows below stay hidden.
  config->m_track.set(5);
  build(1, 4).showChampionshipStandings();
  EXPECT_EQ(text(displays->m_standingsDialog.title), textOf(1030));
  EXPECT_TRUE(displays->m_standingsDialog.names[4]->isVisible());
  EXPECT_FALSE(displays->m_standingsDialog.names[5]->isVisible());
}

// ---- name entry -----------------------------------------------------------------

class NameEntry : public IngameTest {
 protected:
  void SetUp() override {
    IngameTest::SetUp();
    tables.reset();
    config->m_game.set(kModeTimeTrial);
    config->m_ccm.set(1);
    std::snprintf(config->m_playerName1, sizeof config->m_playerName1, "Player 1");
    Config::Player& p = player(0);
    name(p, "Record name");
    p.character = 3, p.kart = 6;
    p.bestLap = 40.0f;
    p.racePoints = 10;
  }
  HighscoreBase& timeTrial() { return *tables.table(kTableTimeTrial, 1); }
  void type(const char* s) {
    for (; *s; ++s) gui->context().injectChar(static_cast<unsigned char>(*s));
  }
};

TEST_F(NameEntry, AResultOutsideTheTopTenEndsTheRace) {
  for (int row = 0; row < 10; ++row) timeTrial().setEntry(0, row, HighscoreEntry(40.0f, "x", 0, 0, 0));
  OnscreenDisplays& d = build(1, 1);
  d.showTimeTrialResults();
  click(d.m_ttDialog.okButton);
  EXPECT_FALSE(d.highscoreEntryVisible());
  EXPECT_EQ(race->leaves, 1);
  EXPECT_EQ(net->getState(), NetControl::kStateLeft);
}

TEST_F(NameEntry, TypedNameIsStoredCutAndTerminated) {
  timeTrial().setLatest(0, HighscoreEntry(45.0f, "old", 1, 0, 0));
  OnscreenDisplays& d = build(1, 1);
  d.showTimeTrialResults();
  click(d.m_ttDialog.okButton);
  ASSERT_TRUE(d.highscoreEntryVisible());
  EXPECT_EQ(text(d.m_nameEntryMessage), textOf(4010));
  EXPECT_EQ(text(d.m_nameEntryEdit), "Player 1");
  EXPECT_TRUE(gui->m_mouseCursor->isVisible());
  EXPECT_EQ(race->leaves, 0);
  for (int i = 0; i < 10; ++i) gui->context().injectKeyDown(CEGUI::Key::Backspace);
  EXPECT_EQ(text(d.m_nameEntryEdit), "");
  type("Ab[c]+_ 12345678901234");
  gui->context().injectKeyDown(CEGUI::Key::Return);
  EXPECT_FALSE(d.highscoreEntryVisible());
  EXPECT_EQ(race->leaves, 1);
  EXPECT_EQ(net->getState(), NetControl::kStateLeft);

  const HighscoreEntry& first = *timeTrial().getEntry(0, 0);
  char expected[HighscoreEntry::kNameSize] = "Abc+_ 1234567890";
  EXPECT_EQ(std::memcmp(first.name, expected, sizeof expected), 0);
  EXPECT_FLOAT_EQ(first.time, 40.0f);
  EXPECT_EQ(first.value, 10);
  EXPECT_EQ(first.character, 3);
  EXPECT_EQ(first.kart, 6);
  // The best-lap row took the better lap.
  EXPECT_FLOAT_EQ(timeTrial().getLatest(0)->time, 40.0f);
  EXPECT_STREQ(timeTrial().getLatest(0)->name, expected);
  HighscoreTables saved;
  ASSERT_TRUE(saved.load(HighscoreTables::kFileName));
  const HighscoreEntry& read = *saved.table(kTableTimeTrial, 1)->getEntry(0, 0);
  EXPECT_EQ(std::memcmp(read.name, first.name, sizeof read.name), 0);
  EXPECT_EQ(read.time, first.time);
  EXPECT_EQ(read.value, first.value);
  EXPECT_EQ(read.character, first.character);
  EXPECT_EQ(read.kart, first.kart);
  // A second press does not enter it again.
  d.acceptHighscoreName(CEGUI::EventArgs());
  EXPECT_STREQ(timeTrial().getEntry(0, 1)->name, "");
}

TEST_F(NameEntry, TheBestLapRowKeepsABetterLap) {
  timeTrial().setLatest(0, HighscoreEntry(35.0f, "fast", 1, 0, 0));
  std::snprintf(config->m_playerName1, sizeof config->m_playerName1, "J\xC3\xBCrgen Averylongname");
  OnscreenDisplays& d = build(1, 1);
  d.checkForHighscore();
  // Sixteen characters of the settings' name, an umlaut among them.
  EXPECT_EQ(text(d.m_nameEntryEdit), "J\xC3\xBCrgen Averylong");
  click(d.m_nameEntryOkButton);
  EXPECT_STREQ(timeTrial().getLatest(0)->name, "fast");
  EXPECT_STREQ(timeTrial().getEntry(0, 0)->name, "J\xC3\xBCrgen Averylong");
}

TEST_F(NameEntry, LastManStandingEntersOnlyTheWinner) {
  config->m_game.set(kModeLastManStanding);
  player(0).raceTime = 200.0f;
  player(0).position = 2;
  OnscreenDisplays& d = build();
  d.showLastManStandingResults();
  click(d.m_lmsDialog.okButton);
  EXPECT_FALSE(d.highscoreEntryVisible());
  EXPECT_EQ(race->leaves, 1);
  EXPECT_EQ(race->networkLeaves, 1);

  player(0).position = 0;
  build().checkForHighscore();
  EXPECT_TRUE(displays->highscoreEntryVisible());
  click(displays->m_nameEntryOkButton);
  EXPECT_FLOAT_EQ(tables.table(kTableLastManStanding, 1)->getEntry(0, 0)->time, 200.0f);
}

TEST_F(NameEntry, WithoutScoreTablesTheRaceEnds) {
  OnscreenDisplays& d = build(1, 1);
  race->tables = nullptr;
  d.checkForHighscore();
  EXPECT_FALSE(d.highscoreEntryVisible());
  EXPECT_EQ(race->leaves, 1);
  EXPECT_EQ(race->networkLeaves, 1);
}

// ---- a whole cup --------------------------------------------------------------------

class Cup : public IngameTest {
 protected:
  // One championship race on `track` as the race sets the records and its
  // end sets the hints; the player finishes `place`-th.
  void runRace(int track, int place, bool toTheEnd = true) {
    config->m_game.set(kModeChampionship);
    config->m_track.set(track);
    config->m_skipMenu = 0;  // every race load clears it
    static constexpr int kPoints[6] = {10, 8, 6, 4, 3, 2};
    for (int k = 0; k < 6; ++k) {
      Config::Player& p = player(k);
      p.position = (k + place) % 6;
      p.raceTime = 60.0f + static_cast<float>(p.position);
      p.racePoints = kPoints[p.position];
      p.totalTime += p.raceTime;
      p.totalPoints += p.racePoints;
    }
    config->m_showHighscores = config->m_highscoreMusic = 1;
    if (track % 4 == 3) {
      config->m_highscoreKind = track == 3 ? kTableCup1 : kTableCup2;
      config->m_highscoreClass = config->m_ccm.get();
      config->m_highscoreTrack = 0;
    }
    build();
    if (toTheEnd) displays->showChampionshipResults();
  }
  void pressThrough() {
    click(displays->m_cupRaceDialog.okButton);
    click(displays->m_standingsDialog.okButton);
  }
};

TEST_F(Cup, FourRacesThenTheCupTableAndItsHints) {
  tables.reset();
  config->m_ccm.set(2);
  name(player(0), "Champ");
  for (int cup = 0; cup < 2; ++cup) {
    for (int r = 0; r < 4; ++r) {
      const int track = cup * 4 + r;
      SCOPED_TRACE(track);
      runRace(track, r % 2);
      pressThrough();
      EXPECT_EQ(race->leaves, 1);
      EXPECT_EQ(net->getState(), NetControl::kStateLeft);
      EXPECT_EQ(config->m_raceEndedFromPause, 0);
      if (r < 3) {
        EXPECT_EQ(config->m_track.get(), track + 1);
        EXPECT_EQ(config->m_skipMenu, 1);
        EXPECT_EQ(config->m_showHighscores, 0);
        EXPECT_EQ(config->m_highscoreMusic, 0);
      } else {
        EXPECT_EQ(config->m_skipMenu, 0);
        EXPECT_EQ(config->m_showHighscores, 1);
        EXPECT_EQ(config->m_highscoreMusic, 1);
        EXPECT_EQ(config->m_highscoreKind, cup == 0 ? kTableCup1 : kTableCup2);
        EXPECT_EQ(config->m_highscoreClass, 2);
        EXPECT_EQ(config->m_highscoreTrack, 0);
      }
    }
    // Won two, second in two: 36 points, once in the cup's table.
    HighscoreBase& table = *tables.table(cup == 0 ? kTableCup1 : kTableCup2, 2);
    const float total = cup == 0 ? 242.0f : 484.0f;
    const int points = cup == 0 ? 36 : 72;
    EXPECT_STREQ(table.getEntry(0, 0)->name, "Champ");
    EXPECT_EQ(table.getEntry(0, 0)->value, points);
    EXPECT_FLOAT_EQ(table.getEntry(0, 0)->time, total);
    EXPECT_STREQ(table.getEntry(0, 1)->name, "");
  }
  EXPECT_STREQ(tables.table(kTableCup1, 0)->getEntry(0, 0)->name, "");
}

TEST_F(Cup, EndingARaceFromThePauseLeavesTheCupAlone) {
  tables.reset();
  runRace(1, 0, false);
  displays->openPauseDialog();
  click(displays->m_pauseEndRaceButton);
  EXPECT_EQ(config->m_track.get(), 1);
  EXPECT_EQ(config->m_skipMenu, 0);
  EXPECT_EQ(config->m_raceEndedFromPause, 1);
  EXPECT_STREQ(tables.table(kTableCup1, 0)->getEntry(0, 0)->name, "");
}

}  // namespace
