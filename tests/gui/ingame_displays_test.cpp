// The in-race displays: number cells, where the windows sit on one view and
// on a split screen, and what a race frame's refresh shows.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "gui/ingame/hud_layout.h"
#include "gui/ingame/text_displays.h"
#include "tests/gui/ingame_fixture.h"

namespace {

std::string cells(const TextDisplay& d) {
  std::string s;
  for (int i = 0; i < d.cellCount(); ++i) {
    if (i) s += '|';
    s += d.cell(i)->getText().c_str();
  }
  return s;
}

using IngameDisplays = IngameTest;

TEST_F(IngameDisplays, TimeCellsShowMinutesSecondsAndHundredths) {
  OnscreenDisplays& d = build();
  TimeDisplay& t = *d.m_views[0].raceTimeDisplay;
  const std::pair<float, const char*> cases[] = {
      {0.0f, "-|-|:|-|-|:|-|-"},
      {-3.0f, "-|-|:|-|-|:|-|-"},
      {std::numeric_limits<float>::quiet_NaN(), "-|-|:|-|-|:|-|-"},
      {std::numeric_limits<float>::infinity(), "-|-|:|-|-|:|-|-"},
      {61.237f, "0|1|:|0|1|:|2|3"},
      {3700.0f, "0|1|:|4|0|:|0|0"},     // an hour wraps the minutes
      {2200000.0f, "0|6|:|4|0|:|0|0"},  // milliseconds past 2^31
      {3.6e6f, "5|9|:|5|9|:|9|9"},
  };
  for (const auto& [seconds, shown] : cases) {
    t.setTime(seconds);
    EXPECT_EQ(cells(t), shown) << seconds;
  }
}

TEST_F(IngameDisplays, LapAndPositionCells) {
  OnscreenDisplays& d = build();
  LapDisplay& lap = *d.m_views[0].lapDisplay;
  lap.setLap(5, 3, false);
  EXPECT_EQ(cells(lap), "3|/|3");
  lap.setLap(0, 3, false);
  EXPECT_EQ(cells(lap), "1|/|3");
  lap.setLap(7, 0, true);
  EXPECT_EQ(cells(lap), "7||");
  lap.setLap(12, 0, true);
  EXPECT_EQ(cells(lap), "1|2|");

  PositionDisplay& position = *d.m_views[0].positionDisplay;
  position.setPosition(0);
  position.setCount(0);
  EXPECT_EQ(cells(position), "-|/|-");
  position.setPosition(4);
  position.setCount(6);
  EXPECT_EQ(cells(position), "4|/|6");
  // Once the count is gone it stays gone.
  position.setCount(-1);
  position.setCount(6);
  EXPECT_EQ(cells(position), "4||");
}

TEST_F(IngameDisplays, OneViewGeometry) {
  OnscreenDisplays& d = build();
  const OnscreenDisplays::View& v = d.m_views[0];
  auto expectRect = [](const CEGUI::Window* w, float x, float y, float width, float height) {
    const CEGUI::Rectf r = layoutRect(w);
    EXPECT_NEAR(r.left(), x, 0.05f);
    EXPECT_NEAR(r.top(), y, 0.05f);
    EXPECT_NEAR(r.getWidth(), width, 0.05f);
    EXPECT_NEAR(r.getHeight(), height, 0.05f);
  };
  expectRect(v.countdown, 358.4f, -9.6f, 307.2f, 307.2f);
  // Track 0's minimap at 0.7 in the bottom right corner.
  expectRect(v.minimap, 655.6f, 415.7f, 358.4f, 342.3f);
  expectRect(v.raceTimeDisplay->cell(7), 707 + 160 + 10 + 7 * 16, 10, 16, 30);
  // A kart at the map's x and z minimum sits on its bottom left corner.
  d.placeMinimapMarkers(0, -204.0183f, -164.2901f);
  expectRect(v.markers[0], 650.0f, 752.4f, 11.9f, 11.9f);
  EXPECT_TRUE(v.minimap->isVisible());
  EXPECT_TRUE(v.markers[5]->isVisible());
  EXPECT_FALSE(v.markers[6]->isVisible());
  EXPECT_EQ(d.m_views[1].minimap, nullptr);
}

TEST_F(IngameDisplays, SplitScreenPutsPlayerTwoInTheLowerBand) {
  config->m_playType = kPlaySplitScreen;
  OnscreenDisplays& d = build(2);
  const float expectedTop[2] = {129.5f, 513.5f};
  for (int p = 0; p < 2; ++p) {
    SCOPED_TRACE(p);
    const OnscreenDisplays::View& v = d.m_views[p];
    const CEGUI::Rectf count = layoutRect(v.countdown), map = layoutRect(v.minimap);
    EXPECT_NEAR(count.left(), 435.2f, 0.05f);
    EXPECT_NEAR(count.top(), p == 0 ? -4.8f : 379.2f, 0.05f);
    EXPECT_NEAR(count.getWidth(), 153.6f, 0.05f);
    EXPECT_NEAR(map.left(), 758.0f, 0.05f);
    EXPECT_NEAR(map.top(), expectedTop[p], 0.05f);
    EXPECT_NEAR(map.getWidth(), 256.0f, 0.05f);
    EXPECT_NEAR(map.getHeight(), 244.5f, 0.05f);
    EXPECT_NEAR(layoutRect(v.overlay).top(), 384.0f * p, 0.05f);
    EXPECT_NEAR(layoutRect(v.lapPanel).top(), 30.0f + 384.0f * p, 0.05f);
  }
}

// The sample archive with the minimap imageset of track 2 left out.
class WithoutTrack03Minimap : public File {
 public:
  explicit WithoutTrack03Minimap(const File& inner) : m_inner(inner.clone()) {}
  File* clone() const override { return new WithoutTrack03Minimap(*m_inner); }
  bool exists(const char* name) override { return !hidden(name) && m_inner->exists(name); }
  bool open(const char* name) override {
    if (hidden(name) || !m_inner->open(name)) return false;
    m_size = m_inner->size();
    return true;
  }
  bool create(const char*) override { return false; }
  bool close() override {
    m_size = 0;
    return m_inner->close();
  }
  int read(void* buffer, int count) override { return m_inner->read(buffer, count); }
  int write(const void*, int) override { return 0; }
  bool seek(int position) override { return m_inner->seek(position); }
  bool skip(int delta) override { return m_inner->skip(delta); }
  int tell() override { return m_inner->tell(); }

 private:
  static bool hidden(const char* name) {
    return name && std::string(name).find("Minimap_Track03") != std::string::npos;
  }
  std::unique_ptr<File> m_inner;
};

TEST_F(IngameDisplays, ATrackWithoutMinimapPictureRacesWithoutMinimap) {
  WithoutTrack03Minimap files(raceGuiArchive());
  gui.reset();  // one GUI at a time
  gui = std::make_unique<Gui>(nullptr, &input, files, GuiRenderer::createNull(1024, 768));
  config->m_track.set(2);
  OnscreenDisplays& d = build();
  EXPECT_NE(takeMessage().find("Minimap_Track03"), std::string::npos);
  EXPECT_FALSE(d.m_views[0].minimap->isVisible());
  d.showMinimapMarker(3);
  d.placeMinimapMarkers(3, 1.0f, 1.0f);
  EXPECT_FALSE(d.m_views[0].markers[3]->isVisible());
}

TEST_F(IngameDisplays, OutOfRangeCodesChangeNothing) {
  OnscreenDisplays& d = build();
  d.updateExtraIcon(0, 5);
  const CEGUI::String icon = d.m_views[0].extraIcon->getProperty("Image");
  EXPECT_EQ(icon, "Extras/Extra_Turbo");
  for (int code : {-1, 13, 1000}) d.updateExtraIcon(0, code);
  EXPECT_EQ(d.m_views[0].extraIcon->getProperty("Image"), icon);
  d.setCountdownImage(0, 3);
  d.setCountdownImage(0, 4);
  EXPECT_EQ(d.m_views[0].countdown->getProperty("Image"), "Countdown/Count1");
  d.setMinimapMarkerColour(0, 2, 1);
  d.setMinimapMarkerColour(0, 2, 3);
  d.setMinimapMarkerColour(0, 18, 0);
  d.setMinimapMarkerColour(1, 2, 0);  // no second view
  EXPECT_EQ(d.m_views[0].markers[2]->getProperty("Image"), "Minimap_Objects/Green");
  for (int marker : {-1, 18}) {
    d.showMinimapMarker(marker);
    d.placeMinimapMarkers(marker, 0, 0);
  }
  d.placeMinimapMarkers(1, std::nanf(""), 0.0f);  // a peer's broken position
  EXPECT_NEAR(layoutRect(d.m_views[0].markers[1]).left(), 0.0f, 0.01f);
  // Overlay colours are blue, green, red from the three values, held to 0..1.
  d.setOverlayColour(0, std::nanf(""), 0.5f, 2.0f, 7.0f);
  EXPECT_EQ(d.m_views[0].overlay->getProperty("BackgroundColours"), "tl:FFFF7F00 tr:FFFF7F00 bl:FFFF7F00 br:FFFF7F00");
  EXPECT_FLOAT_EQ(d.m_views[0].overlay->getAlpha(), 1.0f);
}

TEST_F(IngameDisplays, RefreshShowsTheViewKartsLapPositionAndTimes) {
  OnscreenDisplays& d = build();
  race->timer().start();
  race->viewKarts[0] = 2;
  race->karts[2].lap = -1;
  race->karts[2].rank = 3;
  race->karts[2].trackTime = 61.237f;
  race->karts[2].extra = 12;
  player(2).lapTimes[0] = 12.5f;
  player(2).bestLap = 0.0f;
  frame();
  const OnscreenDisplays::View& v = d.m_views[0];
  EXPECT_EQ(cells(*v.lapDisplay), "1|/|3");  // before the line: the first lap
  EXPECT_EQ(cells(*v.positionDisplay), "4|/|6");
  EXPECT_EQ(cells(*v.raceTimeDisplay), "0|1|:|0|1|:|2|3");
  EXPECT_EQ(cells(*v.lapTimeDisplay), "0|0|:|1|2|:|5|0");
  EXPECT_EQ(cells(*v.bestLapDisplay), "-|-|:|-|-|:|-|-");
  EXPECT_EQ(v.extraIcon->getProperty("Image"), "Extras/Extra_Flash");

  // Finished: the record's place, not the live rank.
  race->karts[2].finished = true;
  player(2).position = 1;
  frame();
  EXPECT_EQ(cells(*v.positionDisplay), "2|/|6");
  // A view kart that is not there leaves the displays as they were.
  race->viewKarts[0] = 9;
  frame();
  EXPECT_EQ(cells(*v.positionDisplay), "2|/|6");
}

TEST_F(IngameDisplays, LastManStandingCountsToNineteenWithoutTotal) {
  config->m_game.set(kModeLastManStanding);
  OnscreenDisplays& d = build();
  race->timer().start();
  race->karts[0].lap = 25;
  race->karts[0].rank = 1;
  race->karts[4].finished = race->karts[5].finished = true;
  player(0).lapTimes[19] = 19.0f;
  frame();
  const OnscreenDisplays::View& v = d.m_views[0];
  EXPECT_EQ(cells(*v.lapDisplay), "1|9|");
  EXPECT_EQ(cells(*v.lapTimeDisplay), "0|0|:|1|9|:|0|0");
  EXPECT_EQ(cells(*v.positionDisplay), "2|/|4");  // among the karts still racing
  race->karts[0].finished = true;
  player(0).position = 0;
  frame();
  EXPECT_EQ(cells(*v.positionDisplay), "1||");
  // Peer values at the ends of the range do not overflow.
  race->karts[0].finished = false;
  race->karts[0].lap = std::numeric_limits<int>::max();
  race->karts[0].rank = std::numeric_limits<int>::max();
  frame();
  EXPECT_EQ(cells(*v.lapDisplay), "1|9|");
}

TEST_F(IngameDisplays, RocketMarkersShowOnlyWhileTheRocketFlies) {
  OnscreenDisplays& d = build();
  race->timer().start();
  race->karts[3].active = true;
  race->karts[3].extraRocket = 1.0f;
  race->karts[3].rocketX = 223.6160f;  // the map's right edge
  frame();
  const OnscreenDisplays::View& v = d.m_views[0];
  EXPECT_TRUE(v.markers[9]->isVisible());
  EXPECT_NEAR(layoutRect(v.markers[9]).left(), 655.6f + 358.4f - 5.6f, 0.05f);
  race->karts[3].extraRocket = 0.0f;
  frame();
  EXPECT_FALSE(v.markers[9]->isVisible());
  race->karts[3].extraRocket = 1.0f;
  race->karts[3].active = false;
  frame();
  EXPECT_FALSE(v.markers[9]->isVisible());
  for (int m = 12; m < 18; ++m) EXPECT_FALSE(v.markers[m]->isVisible());
}

TEST_F(IngameDisplays, WrongWayStaysHalfASecondAfterOneFrame) {
  OnscreenDisplays& d = build();
  race->timer().start();
  frame(1.0);
  race->wrong[0] = true;
  frame();
  EXPECT_TRUE(d.m_views[0].wrongDirection->isVisible());
  EXPECT_FLOAT_EQ(race->wrongTime[0], 1.0f);
  race->wrong[0] = false;
  frame(0.499);
  EXPECT_TRUE(d.m_views[0].wrongDirection->isVisible());
  frame(0.001);
  EXPECT_FALSE(d.m_views[0].wrongDirection->isVisible());
}

TEST_F(IngameDisplays, NicknameHidesTwoSecondsAfterTheLastElimination) {
  config->m_game.set(kModeLastManStanding);
  OnscreenDisplays& d = build();
  race->timer().start();
  frame(10.0);
  d.showNicknameMessage(0, std::string("Ada\xC3"));  // a cut character from a peer
  race->elimination = 10.0f;
  std::string expected = textOf(4030);
  expected.replace(expected.find("[NICKNAME]"), 10, "Ada\xEF\xBF\xBD");
  EXPECT_EQ(text(d.m_views[0].nicknameText), expected);
  frame(1.5);
  race->elimination = 11.5f;  // a second elimination restarts the wait
  frame(1.0);
  EXPECT_TRUE(d.playerEventMessageVisible(0));
  frame(1.001);
  EXPECT_FALSE(d.playerEventMessageVisible(0));
  // Outside last man standing the race hides it itself.
  config->m_game.set(kModeRace);
  d.showNicknameMessage(0, CEGUI::String("Bo"));
  frame(5.0);
  EXPECT_TRUE(d.playerEventMessageVisible(0));
}

TEST_F(IngameDisplays, AFrameThatChangesNothingLeavesTheGuiToBeShownAsDrawn) {
  // Every value written to a window has the GUI drawn again; a frame that
  // shows what the last one showed must write none.
  OnscreenDisplays& d = build(2);
  race->timer().start();
  race->karts[0].trackTime = 12.5f;
  race->karts[1].x = 40.0f;
  race->countdown = 0;
  frame();
  d.showCountdown(0);
  d.setCountdownImage(0, 1);
  d.setWaitMessageText();
  d.setOverlayColour(0, 0.2f, 0.4f, 0.6f, 0.5f);
  gui->render();
  ASSERT_FALSE(gui->context().isDirty());

  // The race's calls of a frame in the same second of the countdown.
  frame();
  d.setCountdownImage(0, 1);
  d.setWaitMessageText();
  d.setOverlayColour(0, 0.2f, 0.4f, 0.6f, 0.5f);
  d.hideMinimapMarker(9);
  EXPECT_FALSE(gui->context().isDirty());

  // A new second's picture is drawn.
  d.setCountdownImage(0, 2);
  EXPECT_TRUE(gui->context().isDirty());
  EXPECT_EQ(d.m_views[0].countdown->getProperty("Image"), "Countdown/Count2");
}

}  // namespace
