// The waits a player sees, through the game's own entry point on the
// sample data: from the start of the program to its first menu frame
// (target 1 s), and the load of a six-kart race on track 0 (target 1 s).
// Each is taken twice: with an empty texture cache (a first start) and
// with the cache the first run wrote. Below each run, where the time went:
// every start-up step, the menu's set-up, and the parts of the race load
// between the loading bar's reports.
//
//   game_bench    run under xvfb-run or on a desktop; prints seconds.
#include <unistd.h>

#include <CEGUI/Window.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/entry_point.h"
#include "app/game_program.h"
#include "content/archive_writer.h"
#include "game/race/race.h"
#include "gui/gui_screen.h"
#include "gui/loading_window.h"
#include "gui/menu/menu.h"
#include "tools/sample_data/sample_sources.h"

namespace {

using Steady = std::chrono::steady_clock;

double seconds(Steady::duration d) { return std::chrono::duration<double>(d).count(); }

// What each start-up step does (the entry point numbers them 1 to 22).
const char* stepName(int step) {
  switch (step) {
    case 1:
      return "profile counters";
    case 2:
      return "window classes";
    case 3:
      return "COM and controls";
    case 4:
      return "command line";
    case 5:
      return "single-instance guard";
    case 6:
      return "language";
    case 7:
      return "device manager";
    case 8:
      return "settings file";
    case 9:
      return "set-up chooser";
    case 10:
      return "firewall exception";
    case 11:
      return "relay server";
    case 12:
      return "adapters and display mode";
    case 13:
      return "reporting level";
    case 14:
      return "render window and device";
    case 15:
      return "render pipeline";
    case 16:
      return "archive";
    case 17:
      return "input device";
    case 18:
      return "GUI and loading window";
    case 19:
      return "race and menu objects";
    case 20:
      return "windows shown";
    case 21:
      return "sound system";
    case 22:
      return "settings object";
    default:
      return "?";
  }
}

// A named moment of the run.
struct Mark {
  std::string name;
  Steady::time_point at;
};

// Prints the time from each mark to the next, under `title`.
void printMarks(const char* title, Steady::time_point start, const std::vector<Mark>& marks) {
  std::printf("  %s\n", title);
  Steady::time_point last = start;
  for (const Mark& m : marks) {
    std::printf("    %-42s %7.1f ms\n", m.name.c_str(), 1e3 * seconds(m.at - last));
    last = m.at;
  }
}

// Starts a championship (six karts, track 0) from the first menu frame on,
// and quits once the race has loaded. Notes the time of every start-up step
// and of every move of the loading bar during the menu's set-up and the
// race load (the bar moves as each part of the work begins).
class Timing : public EntryObserver {
 public:
  void afterStartUpStep(int step, GameProgram& program) override {
    startUp.push_back({std::to_string(step) + " " + stepName(step), Steady::now()});
    if (step == 22) followBar(program, menuInit, "menu set-up to");
  }
  void beforeMenuPass(GameProgram& program, int pass) override {
    Menu& menu = *program.m_menu;
    if (pass == 1 && menuLoopStart == Steady::time_point{}) {
      menuLoopStart = Steady::now();
      unfollowBar();
    }
    if (pass == 2 && firstMenuFrame == Steady::time_point{}) {
      firstMenuFrame = Steady::now();
      menu.setScreen(menu.screen(Menu::kChampionship));
      menu.screen(Menu::kChampionship)->setResult(0);
    } else if (loadEnd != Steady::time_point{} || pass > 1000) {
      menu.m_quit = true;
    }
  }
  void beforeRaceLoad(GameProgram& program) override {
    loadStart = Steady::now();
    followBar(program, raceLoad, "race load to");
  }
  void afterRaceLoad(GameProgram& program, bool loaded) override {
    loadEnd = Steady::now();
    unfollowBar();
    raceLoad.push_back({"the rest", loadEnd});
    this->loaded = loaded;
    karts = program.m_race->m_kartCount;
  }
  void beforeRacePass(GameProgram& program, int) override { program.m_race->m_leave = 1; }

  std::vector<Mark> startUp, menuInit, raceLoad;
  Steady::time_point menuLoopStart, firstMenuFrame, loadStart, loadEnd;
  bool loaded = false;
  int karts = 0;

 private:
  void followBar(GameProgram& program, std::vector<Mark>& marks, const char* prefix) {
    LoadingWindow* window = program.m_loadingWindow.get();
    if (!window || !window->m_bar) return;
    m_connection =
        window->m_bar->subscribeEvent(CEGUI::Window::EventSized, [window, &marks, prefix](const CEGUI::EventArgs&) {
          char name[64];
          std::snprintf(name, sizeof name, "%s bar %.0f", prefix, static_cast<double>(window->m_value));
          marks.push_back({name, Steady::now()});
          return false;
        });
  }
  void unfollowBar() {
    if (m_connection.isValid()) m_connection->disconnect();
    m_connection = CEGUI::Event::Connection();
  }

  CEGUI::Event::Connection m_connection;
};

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("game_bench_" + std::to_string(::getpid()));
  fs::create_directories(folder / "runtime");
  fs::permissions(folder / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  ArchiveWriter writer;
  for (const SampleSource& source : sampleSources()) {
    if (!source.add(writer)) {
      std::fprintf(stderr, "game_bench: could not make the %s\n", source.what);
      return 1;
    }
  }
  if (!writer.write((folder / "data.sar").c_str())) return 1;
  fs::current_path(folder);
  setenv("XDG_RUNTIME_DIR", (folder / "runtime").c_str(), 1);
  setenv("TESSALINE_TEXTURE_CACHE", (folder / "cache").c_str(), 1);
  setenv("TESSALINE_REGISTRY", (folder / "registry.ini").c_str(), 1);
  setenv("SDL_AUDIODRIVER", "dummy", 0);

  int status = 0;
  for (const char* run : {"cold cache", "warm cache"}) {
    Timing timing;
    EntryOptions options;
    options.relayPort = 0;
    options.observer = &timing;
    const Steady::time_point start = Steady::now();
    runGame(nullptr, options);
    if (timing.firstMenuFrame == Steady::time_point{} || !timing.loaded) {
      std::fprintf(stderr, "game_bench: the %s run did not reach the menu and the race\n", run);
      status = 1;
      continue;
    }
    std::printf("%s: start to first menu frame %.2f s (target 1 s); %d-kart load of track 0 %.2f s (target 1 s)\n", run,
                seconds(timing.firstMenuFrame - start), timing.karts, seconds(timing.loadEnd - timing.loadStart));
    printMarks("start-up steps:", start, timing.startUp);
    const Steady::time_point menuStart = timing.startUp.empty() ? start : timing.startUp.back().at;
    timing.menuInit.push_back({"menu set-up to the first menu pass", timing.menuLoopStart});
    timing.menuInit.push_back({"first menu frame", timing.firstMenuFrame});
    printMarks("menu set-up:", menuStart, timing.menuInit);
    printMarks("race load:", timing.loadStart, timing.raceLoad);
  }
  fs::current_path(fs::temp_directory_path());
  fs::remove_all(folder);
  return status;
}
