// Whole runs of the program under Xvfb with OpenGL: a first start without
// any data, the menu loop and its clean end, races entered and left through
// the loops, a whole cup, and the race's sounds across a lost device.
#include <CEGUI/CEGUI.h>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include "app/single_instance.h"
#include "game/kart/vehicle.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "game/saves/highscore.h"
#include "game/saves/highscore_kind.h"
#include "gui/exit_link.h"
#include "gui/highscores_screen.h"
#include "gui/menu/menu.h"
#include "input/input_device.h"
#include "net/relay_server.h"
#include "platform/input/key_codes.h"
#include "render/device_manager.h"
#include "render/render_device.h"
#include "render/render_pipeline.h"
#include "sound/sound_buffer.h"
#include "tests/e2e/program_fixture.h"
#include "tests/support/eventually.h"

namespace {

namespace fs = std::filesystem;
using Traces = std::vector<std::string>;

bool acceptsConnections(WORD port) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return connected;
}

TEST_F(ProgramTest, AFirstStartInAnEmptyFolderWritesTheSettingsAndComesUpAt1024By768) {
  lang->set("de_DE.UTF-8");
  D3DPRESENT_PARAMETERS shown{};
  WORD languageAtStart = 0;
  int settingsReads = 0;
  steering.onStep = [&](int step, GameProgram& program) {
    if (step == 6) languageAtStart = g_languageId;
    if (step == 8) ++settingsReads;
    if (step == 8) {
      EXPECT_TRUE(fs::exists("config.dat"));
      EXPECT_FALSE(program.m_devices->settings->windowed);
    }
    if (step == 15) program.m_devices->devices[0]->device->GetPresentParameters(&shown);
  };
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(fs::file_size("config.dat"), 423u);
  EXPECT_EQ(languageAtStart, 1031);
  EXPECT_EQ(settingsReads, 1);  // one pass, whatever the windowed flag
  EXPECT_EQ(shown.BackBufferWidth, 1024u);
  EXPECT_EQ(shown.BackBufferHeight, 768u);
  EXPECT_FALSE(shown.Windowed);
  // Without "data.sar" the GUI cannot start: the game ends at once, saying
  // why, and writes what it knows to its trace.
  EXPECT_NE(traceText().find("the GUI cannot start"), std::string::npos);
  EXPECT_TRUE(loopTraces().empty());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ProgramTest, TheMenuLoopRunsUntilQuitAndTheShutdownEndsEverything) {
  copySampleArchive();
  fs::create_directory(m_root / "bin");
  // The stub writes the link aside and then moves it into place, so the
  // test reads the file only once it is whole.
  std::ofstream(m_root / "bin" / "xdg-open")
      << "#!/bin/sh\nprintf '%s' \"$1\" > \"" << (m_root / "opening").string() << "\" && /bin/mv \""
      << (m_root / "opening").string() << "\" \"" << (m_root / "opened").string() << "\"\n";
  fs::permissions(m_root / "bin" / "xdg-open", fs::perms::owner_all);
  ScopedVariable path("PATH", (m_root / "bin").c_str());

  WORD relayPort = 0;
  steering.onStep = [&](int step, GameProgram& program) {
    if (step == 11) {
      EXPECT_TRUE(program.m_relay->waitListening());
      relayPort = program.m_relay->port();
    }
    if (step == 22) {
      EXPECT_EQ(program.m_pipeline->soundSystem, program.m_soundSystem.get());
      EXPECT_NE(program.m_pipeline->soundDevice, nullptr);
    }
  };
  steering.onMenuPass = [&](int pass, GameProgram& program) {
    if (pass == 1) {
      EXPECT_NE(program.m_menu->screen(Menu::kMainMenu), nullptr);
    }
    if (pass == 5) {
      g_exitLink = "https://example.org/a b;$(touch x)";
      program.m_menu->m_quit = true;
    }
  };
  EXPECT_EQ(run(), 0);
  const auto shutdown = std::chrono::steady_clock::now() - steering.shutdownStarted;
  EXPECT_LT(shutdown, std::chrono::seconds(5));
  EXPECT_FALSE(steering.ranOut);
  EXPECT_EQ(loopTraces(), Traces{"entering menu loop..."});
  EXPECT_NE(traceText().find("Profiling report"), std::string::npos);
  EXPECT_EQ(traceText().find("loading aborted..."), std::string::npos);
  ASSERT_NE(relayPort, 0);
  EXPECT_FALSE(acceptsConnections(relayPort));

  // The exit link went to the desktop's opener after everything else.
  EXPECT_TRUE(eventually([&] { return fs::exists(m_root / "opened"); }, 30000));
  std::ifstream opened(m_root / "opened");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(opened), {}), "https://example.org/a b;$(touch x)");
  EXPECT_FALSE(fs::exists("x"));
  // The instance block is free for the next start.
  SingleInstanceGuard next(kInstanceGuardName, "", nullptr);
  EXPECT_TRUE(next.isFirst());
}

TEST_F(ProgramTest, ALostDeviceStopsTheRaceSoundsAndTheResetBringsThemBack) {
  copySampleArchive();
  steering.onMenuPass = [&](int pass, GameProgram& program) {
    if (steering.menuLoops == 1 && pass == 2) startTimeTrial(program);
    if (steering.menuLoops == 2) program.m_menu->m_quit = true;
  };
  bool playingAtStart = false, playingWhileLost = true, playingAfterReset = false;
  steering.onRacePass = [&](int pass, GameProgram& program) {
    Race& race = *program.m_race;
    IDirect3DDevice9* device = program.m_devices->devices[0]->device.get();
    ASSERT_TRUE(race.m_music);
    if (pass == 1) {
      playingAtStart = race.m_music->isPlaying();
      device->SimulateDeviceLoss(true);
    } else if (pass == 3) {
      playingWhileLost = race.m_music->isPlaying();
      device->SimulateDeviceLoss(false);
    } else if (pass == 4) {
      playingAfterReset = race.m_music->isPlaying();
      race.m_leave = 1;
    }
  };
  EXPECT_EQ(run(), 0);
  EXPECT_TRUE(playingAtStart);
  EXPECT_FALSE(playingWhileLost);
  EXPECT_TRUE(playingAfterReset);
  EXPECT_FALSE(steering.ranOut);
  EXPECT_EQ(loopTraces(), (Traces{"entering menu loop...", "entering main loop...", "entering menu loop..."}));
}

TEST_F(ProgramTest, AQuitMessageEndsOnlyTheRaceAndSkipMenuLoadsItAgain) {
  copySampleArchive();
  steering.onMenuPass = [&](int pass, GameProgram& program) {
    if (steering.menuLoops == 1 && pass == 2) startTimeTrial(program);
    if (steering.menuLoops == 2) program.m_menu->m_quit = true;
  };
  steering.onRacePass = [&](int pass, GameProgram& program) {
    if (pass != 2) return;
    if (steering.raceLoops == 1) {
      // The next race follows without the menu; the load clears the flag.
      program.m_settings->m_skipMenu = 1;
      program.m_race->m_leave = 1;
    } else {
      EXPECT_EQ(program.m_settings->m_skipMenu, 0);
      PostQuitMessage(0);
    }
  };
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(steering.raceLoops, 2);
  EXPECT_EQ(loopTraces(), (Traces{"entering menu loop...", "entering main loop...", "entering main loop...",
                                  "entering menu loop..."}));
  EXPECT_FALSE(steering.ranOut);
}

// A cup as the loops play it: the championship screen starts it, each race
// is ended by the player's finish and its two dialogs are clicked through
// the input device; the next track follows without the menu, the totals run
// on, and after track 3 the menu opens on the class's cup-1 table.
TEST_F(ProgramTest, ACupRacesItsFourTracksWithoutTheMenuAndThenShowsItsTable) {
  copySampleArchive();
  constexpr int kClass = 1;
  constexpr int kOkX = 137 + 275 + 100, kOkY = 104 + 470 + 30;  // both dialogs' button
  SteppedClock clock;
  struct Load {
    int track, menuLoops, playerPoints, allPoints;
  };
  std::vector<Load> loads;
  float raceTimes = 0.0f;
  steering.onMenuPass = [&](int pass, GameProgram& program) {
    Menu& menu = *program.m_menu;
    if (steering.menuLoops == 1 && pass == 2) {
      Config& c = *program.m_settings;
      c.m_championshipCcm = kClass;
      c.m_championshipTrack = 0;
      std::strcpy(c.m_playerName1, "Cupper");
      menu.setScreen(menu.screen(Menu::kChampionship));
      menu.screen(Menu::kChampionship)->setResult(0);
    }
    if (steering.menuLoops != 2) return;
    if (pass == 1) {
      ASSERT_EQ(menu.m_current, menu.screen(Menu::kHighscores));
      auto& scores = static_cast<HighscoresScreen&>(*menu.m_current);
      EXPECT_EQ(scores.m_kind, kTableCup1);
      EXPECT_EQ(scores.m_ccm, kClass);
      EXPECT_EQ(scores.m_nameCells[0]->getText(), "Cupper");
      EXPECT_TRUE(menu.m_highscoreMusic->isPlaying());
    }
    menu.m_quit = true;
  };
  steering.onRaceLoad = [&](GameProgram& program) {
    const Config& c = *program.m_settings;
    int all = 0;
    for (const auto& record : c.m_player) all += record.get().totalPoints;
    loads.push_back({c.m_track.get(), steering.menuLoops, c.m_player[0].get().totalPoints, all});
  };
  std::optional<InputClick> click;
  int racingPasses = 0;
  steering.onRacePass = [&](int pass, GameProgram& program) {
    clock.advance(0.1);
    Race& race = *program.m_race;
    InputDevice& input = *program.m_input;
    if (pass == 1) {
      racingPasses = 0;
      input.m_key[DIK_SPACE] = 1;  // the countdown
      return;
    }
    Vehicle& kart = *race.m_karts[0];
    if (race.m_countdownState == Race::kCountdownRacing && !kart.m_net.m_trackFinished.get() && ++racingPasses == 10) {
      // The player crosses the line first; the race places the others.
      kart.m_net.m_active.set(false);
      kart.m_net.m_trackFinished.set(true);
      raceTimes += race.recordFinish(0)->raceTime;
    }
    if (race.m_hud->championshipResultVisible() || race.m_hud->championshipStandingsVisible()) {
      if (!click) click.emplace(kOkX, kOkY);
      if (click->step(input)) click.reset();
    }
  };
  EXPECT_EQ(run(0, &clock), 0);
  EXPECT_FALSE(steering.ranOut);
  ASSERT_EQ(loads.size(), 4u);
  for (int r = 0; r < 4; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(loads[r].track, r);
    EXPECT_EQ(loads[r].menuLoops, 1);
    // Ten points a win for the player; 33 a race among the six.
    EXPECT_EQ(loads[r].playerPoints, 10 * r);
    EXPECT_EQ(loads[r].allPoints, 33 * r);
  }
  EXPECT_EQ(loopTraces(), (Traces{"entering menu loop...", "entering main loop...", "entering main loop...",
                                  "entering main loop...", "entering main loop...", "entering menu loop..."}));
  HighscoreTables tables;
  ASSERT_TRUE(tables.load(HighscoreTables::kFileName));
  const HighscoreEntry& best = *tables.table(kTableCup1, kClass)->getEntry(0, 0);
  EXPECT_STREQ(best.name, "Cupper");
  EXPECT_EQ(best.value, 40);
  EXPECT_NEAR(best.time, raceTimes, 1e-3);
}

TEST_F(ProgramTest, ClosingTheWindowDuringARaceEndsTheGame) {
  copySampleArchive();
  steering.onMenuPass = [&](int pass, GameProgram& program) {
    if (pass == 2) startTimeTrial(program);
  };
  steering.onRacePass = [&](int pass, GameProgram& program) {
    if (pass == 2) SendMessageA(program.m_devices->devices[0]->windows[0].get(), WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(loopTraces(), (Traces{"entering menu loop...", "entering main loop..."}));
  EXPECT_FALSE(steering.ranOut);
}

}  // namespace
