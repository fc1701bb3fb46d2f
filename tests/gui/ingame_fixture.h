// The in-race displays on CEGUI's null renderer (1024 x 768) over the
// sample archive with the race's imagesets, driven by a race stand-in whose
// clock the test moves by hand; "highscore.dat" goes to a scratch folder.
#pragma once

#include <CEGUI/CEGUI.h>

#include <memory>
#include <string>

#include "content/archive_writer.h"
#include "foundation/archive_file.h"
#include "foundation/timer.h"
#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "game/saves/config.h"
#include "game/saves/highscore.h"
#include "gui/gui.h"
#include "gui/ingame/hud_race.h"
#include "gui/ingame/onscreen_displays.h"
#include "gui/text_table.h"
#include "input/input_device.h"
#include "net/net_control.h"
#include "platform/gui/gui_renderer.h"
#include "tests/support/memory_file.h"
#include "tests/support/report_capture.h"
#include "tests/support/sample_archive.h"
#include "tests/support/scratch_dir.h"
#include "tools/sample_data/sample_sources.h"
#include "tools/sample_data/track_samples.h"

// The sample archive the build wrote: the GUI's files and the race's
// imagesets among them.
inline ArchiveFile& raceGuiArchive() { return builtSampleArchive(); }

// A clock in whole milliseconds, moved by the test.
class ManualClock : public Clock {
 public:
  bool frequency(std::int64_t& ticksPerSecond) const override {
    ticksPerSecond = 1000;
    return true;
  }
  bool counter(std::int64_t& ticks) const override {
    ticks = m_ms;
    return true;
  }
  std::uint32_t milliseconds() const override { return static_cast<std::uint32_t>(m_ms); }
  void advance(double seconds) { m_ms += static_cast<std::int64_t>(seconds * 1000.0 + 0.5); }

 private:
  std::int64_t m_ms = 1000;
};

// The race as the displays see it: plain values the test sets.
class FakeRace : public HudRace {
 public:
  FakeRace(const Clock& clock, const TextTable& texts, NetControl& net) : timer_(clock), texts_(texts), net_(net) {
    for (int k = 0; k < 6; ++k) karts[k].rank = k;
  }

  int viewCount() const override { return views; }
  int kartCount() const override { return kartTotal; }
  int viewKart(int view) const override { return viewKarts[view]; }
  bool kart(int index, HudKart& out) const override {
    if (index < 0 || index >= 6 || !present[index]) return false;
    out = karts[index];
    return true;
  }
  int countdownState() const override { return countdown; }
  bool raceOver() const override { return over; }
  bool paused() const override { return pausedFlag; }
  void setPausedFlag(bool paused) override { pausedFlag = paused; }
  void setSoundsPaused(bool paused) override { soundsMuted = paused; }
  bool wrongWay(int view) const override { return wrong[view]; }
  float& wrongWayTime(int view) override { return wrongTime[view]; }
  float eliminationTime() const override { return elimination; }
  Timer& timer() override { return timer_; }
  void leave() override { ++leaves; }
  void leaveNetwork() override {
    ++networkLeaves;
    net_.leave();
  }
  HighscoreTables* highscores() override { return tables; }
  const TextTable* texts() const override { return &texts_; }

  int views = 1, kartTotal = 6;
  int viewKarts[2] = {0, 1};
  HudKart karts[6];
  bool present[6] = {true, true, true, true, true, true};
  int countdown = -2;
  bool over = false, pausedFlag = false, soundsMuted = false;
  bool wrong[2] = {};
  float wrongTime[2] = {};
  float elimination = 0.0f;
  int leaves = 0, networkLeaves = 0;
  HighscoreTables* tables = nullptr;

 private:
  Timer timer_;
  const TextTable& texts_;
  NetControl& net_;
};

class IngameTest : public ReportCapture {
 protected:
  void SetUp() override {
    ReportCapture::SetUp();
    scratch = std::make_unique<ScratchDir>();
    gui = std::make_unique<Gui>(nullptr, &input, raceGuiArchive(), GuiRenderer::createNull(1024, 768));
    net = std::make_unique<NetControl>();
    config = std::make_unique<Config>(nullptr, *net, Config::SavedFile::Ignore);
    texts = std::make_unique<TextTable>(raceGuiArchive(), "D:\\Tamberlok/menu/IngameTexts.xml");
    texts->m_language = 1;
    config->m_track.set(0);
    config->m_laps.set(3);
    config->m_game.set(kModeRace);
    config->m_playType = kPlayOneLocal;
  }
  void TearDown() override {
    displays.reset();
    texts.reset();
    config.reset();
    net.reset();
    gui.reset();
    scratch.reset();
    ReportCapture::TearDown();
  }

  // The displays of a race with `views` local players (the settings as the
  // test left them); `race` stays the test's to set.
  OnscreenDisplays& build(int views = 1, int karts = 6) {
    displays.reset();
    auto fake = std::make_unique<FakeRace>(clock, *texts, *net);
    race = fake.get();
    race->views = views;
    race->kartTotal = karts;
    for (int k = karts; k < 6; ++k) race->present[k] = false;
    race->tables = &tables;
    displays = std::make_unique<OnscreenDisplays>(*gui, *config, std::move(fake));
    return *displays;
  }
  // `seconds` later on the race clock (running from its start), then a frame.
  void frame(double seconds = 0.0) {
    clock.advance(seconds);
    race->timer().tick();
    displays->update();
  }
  Config::Player& player(int k) { return *config->m_player[k].modify(); }

  // A press and release of the left button over a window's middle.
  void click(const CEGUI::Window* w) {
    const CEGUI::Rectf r = w->getUnclippedOuterRect().get();
    input.m_mousePos[0] = static_cast<int>((r.left() + r.right()) / 2);
    input.m_mousePos[1] = static_cast<int>((r.top() + r.bottom()) / 2);
    gui->injectMouse();
    input.m_mouseButton[0] = 1;
    gui->injectMouse();
    input.m_mouseButton[0] = 0;
    gui->injectMouse();
  }
  static std::string text(const CEGUI::Window* w) { return w->getText().c_str(); }
  std::string textOf(int id) const { return texts->getText(id).c_str(); }
  // A window's place and size in layout pixels, as set (CEGUI draws it on
  // whole pixels); for windows on the sheet, which covers the layout.
  static CEGUI::Rectf layoutRect(const CEGUI::Window* w) {
    const float x = w->getPosition().d_x.d_scale * 1024.0f, y = w->getPosition().d_y.d_scale * 768.0f;
    return CEGUI::Rectf(CEGUI::Vector2f(x, y),
                        CEGUI::Sizef(w->getSize().d_width.d_scale * 1024.0f, w->getSize().d_height.d_scale * 768.0f));
  }

  std::unique_ptr<ScratchDir> scratch;
  InputDevice input;
  ManualClock clock;
  std::unique_ptr<Gui> gui;
  std::unique_ptr<NetControl> net;
  std::unique_ptr<Config> config;
  std::unique_ptr<TextTable> texts;
  HighscoreTables tables;
  std::unique_ptr<OnscreenDisplays> displays;
  FakeRace* race = nullptr;
};
