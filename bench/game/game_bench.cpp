// The waits a player sees, through the game's own entry point on the
// sample data: from the start of the program to its first menu frame
// (target 3 s), and the load of a six-kart race on track 0 (target 2 s).
// Each is taken twice: with an empty texture cache (a first start) and
// with the cache the first run wrote.
//
//   game_bench    run under xvfb-run or on a desktop; prints seconds.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/entry_point.h"
#include "app/game_program.h"
#include "content/archive_writer.h"
#include "game/race/race.h"
#include "gui/gui_screen.h"
#include "gui/menu/menu.h"
#include "tools/sample_data/sample_sources.h"

namespace {

using Steady = std::chrono::steady_clock;

double seconds(Steady::duration d) { return std::chrono::duration<double>(d).count(); }

// Starts a championship (six karts, track 0) from the first menu frame on,
// and quits once the race has loaded.
class Timing : public EntryObserver {
 public:
  void beforeMenuPass(GameProgram& program, int pass) override {
    Menu& menu = *program.m_menu;
    if (pass == 2 && firstMenuFrame == Steady::time_point{}) {
      firstMenuFrame = Steady::now();
      menu.setScreen(menu.screen(Menu::kChampionship));
      menu.screen(Menu::kChampionship)->setResult(0);
    } else if (loadEnd != Steady::time_point{} || pass > 1000) {
      menu.m_quit = true;
    }
  }
  void beforeRaceLoad(GameProgram&) override { loadStart = Steady::now(); }
  void afterRaceLoad(GameProgram& program, bool loaded) override {
    loadEnd = Steady::now();
    this->loaded = loaded;
    karts = program.m_race->m_kartCount;
  }
  void beforeRacePass(GameProgram& program, int) override { program.m_race->m_leave = 1; }

  Steady::time_point firstMenuFrame, loadStart, loadEnd;
  bool loaded = false;
  int karts = 0;
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
    std::printf("%s: start to first menu frame %.2f s (target 3 s); %d-kart load of track 0 %.2f s (target 2 s)\n", run,
                seconds(timing.firstMenuFrame - start), timing.karts, seconds(timing.loadEnd - timing.loadStart));
  }
  fs::current_path(fs::temp_directory_path());
  fs::remove_all(folder);
  return status;
}
