#include "app/entry_point.h"

#include "app/game_program.h"

int runGame(HINSTANCE instance, const EntryOptions& options) {
  GameProgram program(instance, options);
  program.run();
  return 0;
}

int WinMain(HINSTANCE instance, HINSTANCE, char*, int) { return runGame(instance, EntryOptions{}); }
