#include "app/entry_point.h"

#include <cstdlib>

#include "app/game_program.h"
#include "foundation/report.h"

int runGame(HINSTANCE instance, const EntryOptions& options) {
  // Traces go nowhere unless a developer names a file for them.
  if (const char* log = std::getenv("TESSALINE_LOG"); log && *log) g_log.open(log);
  GameProgram program(instance, options);
  program.run();
  return 0;
}

int WinMain(HINSTANCE instance, HINSTANCE, char*, int) { return runGame(instance, EntryOptions{}); }
