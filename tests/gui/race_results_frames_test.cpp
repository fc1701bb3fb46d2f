// How races end, frame by frame: a whole cup of four races on the sample
// tracks, each record written by the race as its karts finish, the result
// and standings dialogs clicked through, the next race loaded as the main
// loop does when the menu is skipped, and the cup's totals in the class's
// table at the end; and a time trial whose best lap is named through the
// keyboard, which reaches the GUI only while the name entry shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "game/race/game_mode.h"
#include "game/saves/highscore.h"
#include "game/saves/highscore_kind.h"
#include "gui/gui_helper.h"
#include "platform/input/dinput.h"
#include "tests/gui/race_frames_fixture.h"

namespace {

constexpr double kWaitFrame = 0.25;  // frames while nothing but time matters

std::string shown(const CEGUI::Window* w) { return w->getText().c_str(); }

std::string timeText(float seconds) {
  CEGUI::String out;
  return GuiHelper::formatTime(seconds, out).c_str();
}

class RaceResults : public RaceFrames {
 protected:
  // The start, then the player's kart over the line, and over it again
  // `lap` seconds later: a one-lap race is done for it.
  void driveOneLap(double lap) {
    startRace();
    crossLine(0);
    for (double t = 0.0; t < lap; t += kWaitFrame) frame(kWaitFrame);
    crossLine(0);
    ASSERT_TRUE(race->m_karts[0]->m_net.m_trackFinished.get());
  }
  bool waitFor(const std::function<bool()>& shows) {
    for (int i = 0; i < 40 && !shows(); ++i) frame(kWaitFrame);
    return shows();
  }
  const ConfigPlayer& record(int k) const { return config->m_player[k].get(); }
  std::string text(int id) { return race->m_texts->getText(id); }
};

// The first track of each cup.
class SampleCup : public RaceResults, public ::testing::WithParamInterface<int> {};

TEST_P(SampleCup, FourRacesThenItsTotalsInTheClassTable) {
  const int first = GetParam();
  const int kind = first == 0 ? kTableCup1 : kTableCup2;
  const int other = first == 0 ? kTableCup2 : kTableCup1;
  chooseRace(kModeChampionship, first, 1);
  config->m_ccm.set(1);
  config->m_championshipTrack = first;
  std::snprintf(config->m_player[0].modify()->name, ConfigPlayer::kNameSize, "Champ");
  int points[Config::kPlayerCount] = {};
  float times[Config::kPlayerCount] = {};
  for (int track = first; track < first + 4; ++track) {
    const bool last = track == first + 3;
    SCOPED_TRACE("track " + std::to_string(track));
    ASSERT_EQ(config->m_track.get(), track);
    ASSERT_TRUE(load());
    EXPECT_EQ(config->m_skipMenu, 0) << "the load takes the flag";
    OnscreenDisplays& d = displays();
    ASSERT_NO_FATAL_FAILURE(driveOneLap(2.0 + track - first));
    ASSERT_TRUE(waitFor([&] { return d.championshipResultVisible(); }));

    // Every record as the race wrote it: places 0..5 once each, the points
    // of the place, the totals grown by this race.
    bool placed[Config::kPlayerCount] = {};
    for (int k = 0; k < Config::kPlayerCount; ++k) {
      const ConfigPlayer& r = record(k);
      ASSERT_GE(r.position, 0);
      ASSERT_LT(r.position, Config::kPlayerCount);
      EXPECT_FALSE(placed[r.position]) << "place " << r.position << " twice";
      placed[r.position] = true;
      const int expectedPoints[] = {10, 8, 6, 4, 3, 2};
      EXPECT_EQ(r.racePoints, expectedPoints[r.position]) << "record " << k;
      EXPECT_GT(r.raceTime, 0.0f) << "record " << k;
      points[k] += r.racePoints;
      times[k] += r.raceTime;
      EXPECT_EQ(r.totalPoints, points[k]) << "record " << k;
      EXPECT_FLOAT_EQ(r.totalTime, times[k]) << "record " << k;
      EXPECT_EQ(r.startPosition, r.position) << "the next race's grid";
      // The race's row by the record's place.
      EXPECT_EQ(shown(d.m_cupRaceDialog.names[r.position + 1]), r.name);
      EXPECT_EQ(shown(d.m_cupRaceDialog.times[r.position + 1]), timeText(r.raceTime));
      EXPECT_EQ(shown(d.m_cupRaceDialog.points[r.position + 1]), std::to_string(r.racePoints));
    }
    EXPECT_EQ(record(0).position, 0) << "the only kart round the lap";
    const int titles[8] = {3000, 3400, 3200, 3300, 3100, 3500, 3700, 3600};
    EXPECT_EQ(shown(d.m_cupRaceDialog.title), text(titles[track]));
    // The race end named the cup's table only after its last race.
    EXPECT_EQ(config->m_showHighscores, 1);
    if (last) {
      EXPECT_EQ(config->m_highscoreKind, kind);
      EXPECT_EQ(config->m_highscoreClass, 1);
    }

    click(d.m_cupRaceDialog.okButton);
    ASSERT_TRUE(d.championshipStandingsVisible());
    const int standings = first == 0 ? (last ? 1021 : 1020) : (last ? 1031 : 1030);
    EXPECT_EQ(shown(d.m_standingsDialog.title), text(standings));
    EXPECT_EQ(shown(d.m_standingsDialog.names[1]), "Champ");
    EXPECT_EQ(shown(d.m_standingsDialog.points[1]), std::to_string(points[0]));
    EXPECT_EQ(shown(d.m_standingsDialog.times[1]), timeText(times[0]));
    click(d.m_standingsDialog.okButton);
    EXPECT_FALSE(d.championshipStandingsVisible());
    EXPECT_TRUE(owner->finished());
    EXPECT_EQ(control.getState(), NetControl::kStateLeft);
    EXPECT_EQ(config->m_championshipTrack, first);
    EXPECT_EQ(config->m_raceEndedFromPause, 0);
    if (!last) {
      EXPECT_EQ(config->m_track.get(), track + 1);
      EXPECT_EQ(config->m_skipMenu, 1);
      EXPECT_EQ(config->m_showHighscores, 0);
      EXPECT_STREQ(race->m_highscores->table(kind, 1)->getEntry(0, 0)->name, "");
    }
    ASSERT_TRUE(unload());
  }

  // Once, after the last race: the totals of all four in the cup's table of
  // class 1, saved, and the menu told to open on it.
  EXPECT_EQ(config->m_track.get(), first + 3);
  EXPECT_EQ(config->m_skipMenu, 0);
  EXPECT_EQ(config->m_showHighscores, 1);
  EXPECT_EQ(config->m_highscoreMusic, 1);
  EXPECT_EQ(config->m_highscoreKind, kind);
  EXPECT_EQ(config->m_highscoreClass, 1);
  EXPECT_EQ(config->m_highscoreTrack, 0);
  HighscoreTables saved;
  ASSERT_TRUE(saved.load(HighscoreTables::kFileName));
  const HighscoreEntry& top = *saved.table(kind, 1)->getEntry(0, 0);
  EXPECT_STREQ(top.name, "Champ");
  EXPECT_EQ(top.value, points[0]);
  EXPECT_FLOAT_EQ(top.time, times[0]);
  EXPECT_EQ(top.value, 40);
  EXPECT_STREQ(saved.table(kind, 1)->getEntry(0, 1)->name, "");
  for (int engineClass : {0, 2}) EXPECT_STREQ(saved.table(kind, engineClass)->getEntry(0, 0)->name, "") << engineClass;
  EXPECT_STREQ(saved.table(other, 1)->getEntry(0, 0)->name, "");
}

INSTANTIATE_TEST_SUITE_P(RaceResults, SampleCup, ::testing::Values(0, 4),
                         [](const ::testing::TestParamInfo<int>& info) { return info.param == 0 ? "One" : "Two"; });

TEST_F(RaceResults, ATimeTrialBestLapIsNamedThroughTheKeyboard) {
  chooseRace(kModeTimeTrial, 0, 1);
  config->m_ccm.set(2);
  std::snprintf(config->m_playerName1, sizeof config->m_playerName1, "Player 1");
  std::snprintf(config->m_player[0].modify()->name, ConfigPlayer::kNameSize, "Record");
  ASSERT_TRUE(load());
  OnscreenDisplays& d = displays();
  const std::uint8_t accelerate = playerKey(2);
  keyDown(accelerate);  // still held when the name entry opens: it types nothing
  ASSERT_NO_FATAL_FAILURE(driveOneLap(3.0));
  ASSERT_TRUE(waitFor([&] { return d.timeTrialResultVisible(); }));
  const ConfigPlayer& player = record(0);
  ASSERT_GT(player.bestLap, 2.9f);
  EXPECT_FLOAT_EQ(player.lapTimes[0], player.bestLap);
  EXPECT_EQ(shown(d.m_ttDialog.labels[0]), text(1000) + " 1");
  EXPECT_EQ(shown(d.m_ttDialog.times[0]), timeText(player.lapTimes[0]));
  EXPECT_EQ(shown(d.m_ttDialog.labels[1]), text(1004));
  EXPECT_EQ(shown(d.m_ttDialog.times[1]), timeText(player.lapTimes[0]));
  EXPECT_FALSE(d.m_ttDialog.labels[2]->isVisible());
  EXPECT_EQ(config->m_showHighscores, 1);
  EXPECT_EQ(config->m_highscoreKind, kTableTimeTrial);
  EXPECT_EQ(config->m_highscoreClass, 2);
  EXPECT_EQ(config->m_highscoreTrack, 0);
  // The race is over: Escape opens nothing.
  tap(DIK_ESCAPE);
  EXPECT_FALSE(d.pauseDialogVisible());

  click(d.m_ttDialog.okButton);
  ASSERT_TRUE(d.highscoreEntryVisible());
  EXPECT_EQ(shown(d.m_nameEntryMessage), text(4010));
  EXPECT_EQ(shown(d.m_nameEntryEdit), "Player 1");
  for (int i = 0; i < 8; ++i) tap(DIK_BACK);
  EXPECT_EQ(shown(d.m_nameEntryEdit), "");
  // Shift+A, b, a bracket the box refuses, c, a space, then more digits
  // than the box holds.
  keyDown(DIK_LSHIFT);
  tap(DIK_A);
  keyUp(DIK_LSHIFT);
  const std::uint8_t rest[] = {DIK_B, DIK_LBRACKET, DIK_C, DIK_SPACE, DIK_1, DIK_2, DIK_3, DIK_4, DIK_5,
                               DIK_6, DIK_7,        DIK_8, DIK_9,     DIK_0, DIK_1, DIK_2, DIK_3};
  for (std::uint8_t key : rest) tap(key);
  EXPECT_EQ(shown(d.m_nameEntryEdit), "Abc 123456789012");
  EXPECT_EQ(race->m_leave, 0);
  tap(DIK_RETURN);
  EXPECT_FALSE(d.highscoreEntryVisible());
  EXPECT_TRUE(owner->finished());
  EXPECT_EQ(control.getState(), NetControl::kStateLeft);

  HighscoreTables saved;
  ASSERT_TRUE(saved.load(HighscoreTables::kFileName));
  HighscoreBase& table = *saved.table(kTableTimeTrial, 2);
  char expected[HighscoreEntry::kNameSize] = "Abc 123456789012";
  EXPECT_EQ(std::memcmp(table.getEntry(0, 0)->name, expected, sizeof expected), 0);
  EXPECT_FLOAT_EQ(table.getEntry(0, 0)->time, player.bestLap);
  EXPECT_EQ(table.getEntry(0, 0)->character, player.character);
  EXPECT_EQ(table.getEntry(0, 0)->kart, player.kart);
  EXPECT_STREQ(table.getEntry(0, 1)->name, "");
  EXPECT_FLOAT_EQ(table.getLatest(0)->time, player.bestLap);
  EXPECT_STREQ(table.getLatest(0)->name, expected);
  EXPECT_STREQ(saved.table(kTableTimeTrial, 2)->getEntry(1, 0)->name, "") << "another track";
  keyUp(accelerate);
}

}  // namespace
