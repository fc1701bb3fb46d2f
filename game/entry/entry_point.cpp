#include "game/entry/entry_point.h"

#include "game/entry/game_program.h"

int runGame(HINSTANCE instance, const EntryOptions& options) {
  GameProgram program(instance, options);
  program.run();
  return 0;
}

int WinMain(HINSTANCE instance, HINSTANCE, char*, int) { return runGame(instance, EntryOptions{}); }
