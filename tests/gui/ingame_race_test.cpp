// The in-race displays on a loaded race: the GUI builds them and the race's
// texts when the race loads, they read and write the race's own members,
// and the unload takes them down.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "game/race/game_mode.h"
#include "gui/ingame/race_binding.h"
#include "gui/ingame/text_displays.h"
#include "gui/screen_host.h"
#include "tests/game/race/race_fixture.h"
#include "tests/gui/gui_fixture.h"
#include "tests/gui/ingame_fixture.h"

namespace {

constexpr const char* kTexts = "D:\\Tamberlok/menu/IngameTexts.xml";

class IngameRace : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    pipeline->soundDevice = &sound;
    pipeline->requestedWidth = 1024;
    pipeline->requestedHeight = 768;
    MemoryFile& files = race_fixture::raceFiles();
    if (!files.exists(kTexts)) {
      std::string xml;
      ASSERT_TRUE(readWholeFile(raceGuiArchive(), kTexts, xml, 1 << 20));
      files.put(kTexts, xml);
    }
    gui = std::make_unique<Gui>(nullptr, &input, raceGuiArchive(), GuiRenderer::createNull(1024, 768));
    race = std::make_unique<Race>(pipeline.get(), gui.get(), control, clock);
    race_fixture::chooseRace(config, kModeRace);
    config.m_language = 1;
  }
  void TearDown() override {
    race.reset();
    gui.reset();
    pipeline.reset();
    PipelineTest::TearDown();
  }
  bool load() { return race->load(&race_fixture::raceFiles(), &sound, config); }
  OnscreenDisplays& displays() { return *dynamic_cast<OnscreenDisplays*>(race->m_hud.get()); }

  ScratchDir scratch;
  InputDevice input;
  ManualClock clock;
  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  RecordingSoundDevice sound;
  std::unique_ptr<Gui> gui;
  std::unique_ptr<Race> race;
};

TEST_F(IngameRace, LoadBuildsTheDisplaysOverTheRace) {
  ASSERT_TRUE(load());
  ASSERT_NE(dynamic_cast<OnscreenDisplays*>(race->m_hud.get()), nullptr);
  OnscreenDisplays& d = displays();
  EXPECT_EQ(gui->context().getRootWindow(), d.m_root);
  // The race's texts are the GUI's table in the settings' language.
  const TextTable table(raceGuiArchive(), kTexts);
  TextTable english = table;
  english.m_language = 1;
  EXPECT_EQ(race->m_texts->getText(9110), english.getText(9110).c_str());
  EXPECT_EQ(d.m_views[0].pausedText->getText(), english.getText(2010));
  // The load made the player's own kart green and cleared the extra.
  const int own = race->m_viewKart[0];
  EXPECT_EQ(d.m_views[0].markers[own]->getProperty("Image"), "Minimap_Objects/Green");
  EXPECT_EQ(d.m_views[0].extraIcon->getProperty("Image"), "Extras/Extra_None");

  // The refresh reads the race: before the start, the wait message and the
  // grid's places.
  race->updateHudDisplays();
  EXPECT_TRUE(d.m_views[0].waitText->isVisible());
  EXPECT_EQ(d.m_views[0].positionDisplay->cellText(0), std::to_string(race->m_karts[own]->m_net.m_rank.get() + 1));
  race->m_wrongWay[0] = 1;
  race->m_timer->start();
  clock.advance(3.0);
  race->m_timer->tick();
  race->updateHudDisplays();
  EXPECT_TRUE(d.m_views[0].wrongDirection->isVisible());
  EXPECT_FLOAT_EQ(race->m_wrongWayTime[0], 3.0f);

  // Pause: the race's clock and flag, then the box that ends the race.
  d.openPauseDialog();
  race->m_paused = 1;
  EXPECT_FALSE(race->m_timer->isRunning());
  d.onPauseResumeClicked(CEGUI::EventArgs());
  EXPECT_TRUE(race->m_timer->isRunning());
  EXPECT_EQ(race->m_paused, 0);
  d.showMessageBox(9100);
  d.onMessageBoxOk(CEGUI::EventArgs());
  EXPECT_EQ(race->m_leave, 1);
  EXPECT_EQ(control.getState(), NetControl::kStateLeft);

  EXPECT_TRUE(race->unload());
  EXPECT_EQ(race->m_hud, nullptr);
  EXPECT_EQ(gui->context().getRootWindow(), nullptr);
  EXPECT_FALSE(gui->isImagesetPresent("Countdown"));
}

TEST_F(IngameRace, AQuitRequestWhileLoadingStaysForTheMainLoop) {
  EXPECT_TRUE(gui->pumpLoadingMessages());
  PostQuitMessage(3);
  EXPECT_FALSE(gui->pumpLoadingMessages());
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_QUIT);
  EXPECT_EQ(message.wParam, 3u);
}

// Without its pictures the race goes on without displays.
TEST(IngameRaceGui, DisplaysThatCannotBeBuiltAreReportedAndLeftOut) {
  g_messageLevel = 1;
  g_logMessages = true;
  // The GUI's and the menu's files, without the race's pictures.
  MemoryFile disk;
  ArchiveWriter writer;
  ASSERT_TRUE(addGuiSamples(writer) && addMenuSamples(writer) && addOptionsSamples(writer));
  ASSERT_TRUE(writer.write(disk, "data.sar"));
  ArchiveFile menuOnly(disk);
  ASSERT_TRUE(menuOnly.mount("data.sar"));
  Gui gui(nullptr, nullptr, menuOnly, GuiRenderer::createNull(1024, 768));
  NetControl control;
  Config config(nullptr, control, Config::SavedFile::Ignore);
  Race race(nullptr, &gui, control);
  EXPECT_EQ(gui.createDisplays(config, race), nullptr);
  EXPECT_NE(std::string(g_lastMessage.get().c_str()).find("Countdown"), std::string::npos);
  EXPECT_EQ(gui.context().getRootWindow(), nullptr);
  g_messageLevel = 0;
  g_logMessages = false;
  g_lastMessage.clear();
}

}  // namespace
