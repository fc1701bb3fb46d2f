// One game as a player meets it: the binary on an X server of its own, in a
// folder of its own (its data, settings, scores and trace), with a runtime
// folder of its own, so that two games side by side are each a first
// instance. Each screen a test waits for is kept as a PNG.
//
// Every step is driven until it has taken effect. The game's input probe
// says, pass by pass, where its own cursor stands and which buttons and
// keys it read: the pointer is moved until the game's cursor is on the
// target, a button or key is held until the game has read it down, and a
// click or key whose effect on the screen does not come within some passes
// is given again, a bounded number of times. A step that never takes fails
// with its name, the cursor and the pass the game stood at.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"
#include "tests/e2e/x_session.h"

// One line of the game's input probe.
struct ProbeLine {
  std::uint64_t pass = 0;
  int x = -1, y = -1;
  bool buttons[3] = {};
  std::vector<int> keys;                  // DirectInput codes read down in this pass
  std::map<int, std::uint64_t> lastDown;  // the last pass that read each key down

  bool holds(int key) const;
  // A pass after `pass` read `key` down.
  bool readDownAfter(int key, std::uint64_t pass) const;
  // "pass 12, cursor (512, 384)"
  std::string describe() const;
  // Null when `text` is not a whole probe line.
  static std::optional<ProbeLine> parse(const std::string& text);
};

struct Point {
  int x, y;
};

using ScreenTest = std::function<bool(const Screenshot&)>;

class GameSession {
 public:
  // `folder` is made and gets the sample "data.sar" whose track 1 is the
  // test ring, which held keys drive round; the PNGs go to `shots`
  // (emptied first).
  GameSession(const std::filesystem::path& folder, const std::string& shots);

  // The X server (its screen of this size) and then the game; false when
  // either did not start.
  bool start(int screenWidth = XSession::kWidth, int screenHeight = XSession::kHeight);
  XSession& x() { return *m_x; }
  ChildProcess& game() { return *m_game; }
  const std::filesystem::path& folder() const { return m_folder; }

  // Waits up to `seconds` for a screen that passes `test` and keeps the
  // last one taken as <shots>/<name>.png; true when it passed.
  bool expectScreen(const std::string& name, double seconds, const ScreenTest& test,
                    std::chrono::milliseconds interval = std::chrono::milliseconds(200));

  // The driving steps. Each returns false when it never took, with what
  // was seen in failure(); the screen of a step named `step` is kept as
  // <shots>/<step>.png either way.
  //
  // Clicks at `target` until the screen passes `effect`: a click counts as
  // not taken when `passes` passes of the game went by after it without the
  // effect (a game out of its loops, loading, is waited for up to the step's
  // time); at most `clicks` clicks.
  bool clickUntil(const std::string& step, Point target, const ScreenTest& effect, int clicks = 4, int passes = 30);
  // The same with a key tapped.
  bool tapUntil(const std::string& step, const char* key, const ScreenTest& effect, int taps = 4, int passes = 30);
  // One key, down until the game has read it down, then up.
  bool tap(const char* key);
  // Held until the game reads it down (and held on), or let go until it
  // reads it up.
  bool hold(const char* key);
  bool letGo(const char* key);
  // Letters, digits, '.' and ' ' tapped one by one (capitals with Shift).
  bool type(const std::string& text);
  // Moves the pointer until the game's cursor stands on (x, y).
  bool pointAt(Point target);
  // The game's last probe line, waiting until one exists.
  std::optional<ProbeLine> probe();
  // Waits until the game has begun `count` more passes than it had.
  bool waitPasses(int count);
  // What the last step that failed saw.
  const std::string& failure() const { return m_failure; }
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
  // The probe's line now, kept in m_probe; the last one kept when the file
  // cannot be read.
  std::optional<ProbeLine> readProbe();
  // Polls the probe until `done` holds for a line; false when the step's
  // time ran out or the game ended first.
  bool waitProbe(const std::function<bool(const ProbeLine&)>& done);
  // After a click or a key: true once the screen passes `effect` (kept as
  // `step`); false once `passes` passes went by without it.
  bool effectCame(const std::string& step, const ScreenTest& effect, int passes);
  bool click(Point target);
  // Notes what the failed step saw, and keeps the screen; false.
  bool fail(const std::string& what);

  std::filesystem::path m_folder;
  std::string m_shots;
  std::unique_ptr<XSession> m_x;
  std::unique_ptr<ChildProcess> m_game;
  Screenshot m_last;
  std::optional<ProbeLine> m_probe;
  std::uint64_t m_waitedFrom = 0;  // the pass the last wait began at
  std::string m_failure;
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
// The loading window's picture somewhere on a screen of any size, at any
// scale: its name's orange letters over the blue.
bool loadingPictureAnywhere(const Screenshot& s);
// The loading window's picture one to one at the screen's top left, the
// name's letters where the picture has them and the bar's groove whole
// from x 76 to 945; on a larger screen, nothing but black beyond 1024 x 768.
bool loadingPictureInMode(const Screenshot& s);
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
// The track picture of the selection screen (`lobby` false) or of the
// network lobby shows track `track` (0..7) of the sample data: of the eight
// tracks' pictures, that one lies nearest to what the screen shows.
bool showsTrack(const Screenshot& s, bool lobby, int track);
// Lobby row `row` names a kart (not "--").
bool lobbyKartChosen(const Screenshot& s, int row);
// The race's result dialog at (219.5, 104) with a name in each of its six
// rows.
bool raceResults(const Screenshot& s);
// The share (0..1) of the pixels of the result dialog's places and names
// that differ between two screens.
double resultOrderDifference(const Screenshot& a, const Screenshot& b);

}  // namespace screens
