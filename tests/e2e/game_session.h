// One game as a player meets it: the binary on an X server of its own, in a
// folder of its own (its data, settings, scores and trace), with a runtime
// folder of its own, so that two games side by side are each a first
// instance. Each screen a test waits for is kept as a PNG.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"
#include "tests/e2e/x_session.h"

class GameSession {
 public:
  // `folder` is made and gets the sample "data.sar"; the PNGs go to
  // `shots` (emptied first).
  GameSession(const std::filesystem::path& folder, const std::string& shots);

  // The X server and then the game; false when either did not start.
  bool start();
  XSession& x() { return *m_x; }
  ChildProcess& game() { return *m_game; }
  const std::filesystem::path& folder() const { return m_folder; }

  // Waits up to `seconds` for a screen that passes `test` and keeps the
  // last one taken as <shots>/<name>.png; true when it passed.
  bool expectScreen(const std::string& name, double seconds, const std::function<bool(const Screenshot&)>& test,
                    std::chrono::milliseconds interval = std::chrono::milliseconds(200));
  // Keeps the screen as it is now.
  void keepScreen(const std::string& name);
  // The last screen expectScreen took.
  const Screenshot& lastScreen() const { return m_last; }
  const std::string& shots() const { return m_shots; }

  // The trace file's lines that name a loop, in order.
  std::vector<std::string> loopTraces() const;
  std::string traceText() const;

 private:
  std::map<std::string, std::string> environment() const;

  std::filesystem::path m_folder;
  std::string m_shots;
  std::unique_ptr<XSession> m_x;
  std::unique_ptr<ChildProcess> m_game;
  Screenshot m_last;
};

// What the sample data's screens show, checked by region in pixels of the
// 1024 x 768 screen.
namespace screens {

bool mainMenu(const Screenshot& s);
// The main menu's quit dialog over it.
bool quitDialog(const Screenshot& s);
bool exitScreen(const Screenshot& s);
// A set-up screen: the OK button at the bottom right, the back button at
// the bottom left.
bool selectionScreen(const Screenshot& s);
// The loading window with its bar at (81, 678) filled at least `share` of
// its length.
bool loading(const Screenshot& s, double share = 0.0);
// A race under way: sky above, road ahead of the kart, no dialog.
bool race(const Screenshot& s);
// The time trial's result dialog at (262, 154), its rows filled for
// `laps` laps and the total.
bool timeTrialResults(const Screenshot& s, int laps);
// The name entry at (262.5, 184), the result dialog gone.
bool nameEntry(const Screenshot& s);
// The name entry's box holds no text, or some.
bool nameBoxEmpty(const Screenshot& s);
bool nameBoxFilled(const Screenshot& s);
bool highscores(const Screenshot& s);
// The choice between hosting and joining, with the address box; `typed`:
// the box holds an address.
bool hostOrJoin(const Screenshot& s, bool typed = false);
// The network lobby with exactly `players` rows of players (up to four).
bool lobby(const Screenshot& s, int players);
// Lobby row `row`'s player is ready.
bool lobbyReady(const Screenshot& s, int row);
// The lobby's start button can be pressed.
bool lobbyStartEnabled(const Screenshot& s);
// The race's result dialog at (219.5, 104) with a name in each of its six
// rows.
bool raceResults(const Screenshot& s);
// The share (0..1) of the pixels of the result dialog's places and names
// that differ between two screens.
double resultOrderDifference(const Screenshot& a, const Screenshot& b);

}  // namespace screens
