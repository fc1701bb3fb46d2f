// The program: WinMain brings the services up in order, keeps one instance,
// alternates the menu loop and the race loop until the player quits, and
// takes everything down again. mainWindowProc is the main window's
// procedure. These files sit above the GUI and the race, so they are built
// apart from the game's library.
#pragma once

#include <cstdint>

#include "net/relay_server.h"
#include "platform/window/cursor.h"
#include "platform/window/window.h"

class Clock;
class GameProgram;
class Gui;
class InputDevice;

// The guard's name: the single-instance block and its registered message.
inline constexpr const char* kInstanceGuardName = "{9C412CD6-3A6C-436b-B7DC-567B8D9E08C7}";
// The main window class, and the copy of the dialog class.
inline constexpr const char* kMainWindowClass = "Orbivane";
inline constexpr const char* kSetupWindowClass = "TessalineSetup";

// Where a run can be watched and steered from (tests). Every call comes on
// the main thread.
class EntryObserver {
 public:
  virtual ~EntryObserver() = default;
  // After start-up step `step` (1 to 22) has run.
  virtual void afterStartUpStep(int /*step*/, GameProgram& /*program*/) {}
  // Before each pass of the menu loop and of the race loop; `pass` counts
  // from 1 in each loop.
  virtual void beforeMenuPass(GameProgram& /*program*/, int /*pass*/) {}
  virtual void beforeRacePass(GameProgram& /*program*/, int /*pass*/) {}
  // Around each race load; `loaded` is its result.
  virtual void beforeRaceLoad(GameProgram& /*program*/) {}
  virtual void afterRaceLoad(GameProgram& /*program*/, bool /*loaded*/) {}
  // When the shutdown begins.
  virtual void beforeShutdown(GameProgram& /*program*/) {}
};

struct EntryOptions {
  // The relay's port (tests: 0, any free one).
  WORD relayPort = GameDaemon::kRelayPort;
  // What the race timer reads; null: the system clock.
  const Clock* raceClock = nullptr;
  EntryObserver* observer = nullptr;
};

// The program; returns 0 on every path.
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, char* commandLine, int showCommand);
// The same with the test's options.
int runGame(HINSTANCE instance, const EntryOptions& options);

LRESULT mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Shared with the rest of the program (the device manager, the archive and
// the loading window have their globals beside their classes).
extern InputDevice* g_inputDevice;
extern Gui* g_gui;
extern HCURSOR g_cursor;
extern std::uint8_t g_applicationActive;
extern WORD g_languageId;
// From the settings at start-up, as the gamma ramp takes them.
extern float g_brightness, g_contrast, g_gamma;
// The player closed the main window (or the session asked the game to end):
// the game ends, even from a race.
extern bool g_windowClosed;
