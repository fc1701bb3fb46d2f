// The game as a player meets it: the binary on an X server of its own at
// 1024 x 768, driven by keys and mouse through XTest, each step's screen
// kept as a PNG and checked where it must show what the step is about.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "game/saves/config.h"
#include "game/saves/highscore.h"
#include "game/saves/highscore_kind.h"
#include "tests/e2e/game_session.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Traces = std::vector<std::string>;

// Where the buttons lie (centres, in pixels of the 1024 x 768 layout).
struct Point {
  int x, y;
};
constexpr Point kQuitYes{262 + 30 + 70, 184 + 310 + 30};
constexpr Point kTimeTrial{518 + 38, 452 + 36};
constexpr Point kLapsLeft{521 + 27, 169 + 25};
constexpr Point kTrackRight{941 + 27, 480 + 25};
constexpr Point kSelectionOk{873 + 67, 623 + 65};
constexpr Point kBack{15 + 67, 623 + 65};
constexpr Point kTimeTrialResultsOk{262 + 150 + 100, 154 + 370 + 30};
constexpr Point kMultiplayer{631 + 38, 542 + 36};
constexpr Point kHost{472 + 38, 250 + 36};
constexpr Point kJoin{472 + 38, 380 + 36};
constexpr Point kAddress{572 + 150, 392 + 25};
constexpr Point kLobbyKartRight{454 + 27, 428 + 25};
constexpr Point kLobbyTrackRight{941 + 27, 130 + 25};
constexpr Point kLobbyStart{873 + 67, 623 + 65};
constexpr Point kRaceResultsOk{220 + 220 + 100, 104 + 470 + 30};

// Reads the score tables a game left in `folder`.
bool loadScores(const fs::path& folder, HighscoreTables& tables) {
  const fs::path here = fs::current_path();
  fs::current_path(folder);
  const bool loaded = tables.load(HighscoreTables::kFileName);
  fs::current_path(here);
  return loaded;
}

// Settings in `folder` whose first player has `name`.
void writePlayerName(const fs::path& folder, const char* name) {
  const fs::path here = fs::current_path();
  fs::current_path(folder);
  Config settings(nullptr);
  settings.setDefaults();
  std::snprintf(settings.m_playerName1, sizeof settings.m_playerName1, "%s", name);
  EXPECT_TRUE(settings.save());
  fs::current_path(here);
}

class BinaryTest : public ScratchDirTest {
 protected:
  std::string shots(const std::string& game = "") const {
    std::string folder =
        std::string(TESSALINE_SCREENS) + "/" + testing::UnitTest::GetInstance()->current_test_info()->name();
    return game.empty() ? folder : folder + "/" + game;
  }
  // Fails the test (and ends it) when the screen does not come.
  static void expect(GameSession& game, const std::string& name, double seconds,
                     const std::function<bool(const Screenshot&)>& test,
                     std::chrono::milliseconds interval = std::chrono::milliseconds(200)) {
    ASSERT_TRUE(game.expectScreen(name, seconds, test, interval))
        << name << " did not come within " << seconds << " s (see " << game.shots() << ")";
  }
  // Waits (at most `seconds`) until every game shows its race results, each
  // kept as "07-results", while the games drive with throttle and left
  // held. Held keys cannot get a kart out of trouble: one spun round by a
  // computer driver's extra drives the wrong way, or into the wall for
  // good. As a player would, the test then presses Backspace, which puts
  // the kart back on the middle of the road facing the right way, when the
  // wrong-way sign shows or when the race view has hardly changed over a
  // few seconds. From the middle of the road full left lock would turn the
  // kart into the inner wall: it drives on with the throttle alone, which
  // the outer wall takes round. Returns the number of those presses, or -1
  // when a game's results did not come.
  static int raceToResults(const std::vector<GameSession*>& games, double seconds) {
    using Wall = std::chrono::steady_clock;
    struct Watch {
      GameSession* game;
      Screenshot before;
      Wall::time_point since;
      bool done = false;
      bool steering = true;
      Wall::time_point pressed{};
    };
    std::vector<Watch> watches;
    for (GameSession* game : games) watches.push_back({game, {}, Wall::now()});
    const auto end = Wall::now() + std::chrono::duration_cast<Wall::duration>(std::chrono::duration<double>(seconds));
    int presses = 0;
    for (;;) {
      bool all = true;
      for (Watch& w : watches) {
        if (w.done) continue;
        const Screenshot now = w.game->x().capture();
        if (screens::raceResults(now)) {
          w.done = true;
          w.game->keepScreen("07-results");
          continue;
        }
        all = false;
        // The sign may stay a moment after Backspace.
        bool stuck = Wall::now() - w.pressed >= kStandingFor && wrongWaySign(now);
        if (!stuck && Wall::now() - w.since >= kStandingFor) {
          // A kart that has finished stands with its race time held.
          stuck = w.before.width == now.width && viewChange(w.before, now) < 0.2 && raceTimeRuns(w.before, now);
          w.before = now;
          w.since = Wall::now();
        }
        if (!stuck) continue;
        ++presses;
        XSession::save(now, w.game->shots(), "07-back-on-the-road-" + std::to_string(presses));
        if (w.steering) w.game->x().release("a");
        w.steering = false;
        w.game->x().tap("BackSpace");
        w.before = {};
        w.since = w.pressed = Wall::now();
      }
      if (all) return presses;
      if (Wall::now() > end) return -1;
      std::this_thread::sleep_for(100ms);
    }
  }
  static constexpr std::chrono::seconds kStandingFor{3};
  // The share of the race view (below the lap and time boxes) that differs
  // between two screens: most of it while the kart drives, a few hundredths
  // while it stands (the driver and the wheels still move).
  static double viewChange(const Screenshot& a, const Screenshot& b) {
    int differ = 0, count = 0;
    for (int y = 128; y < XSession::kHeight; y += 2)
      for (int x = 0; x < XSession::kWidth; x += 2, ++count)
        if (a.at(x, y) != b.at(x, y)) ++differ;
    return static_cast<double>(differ) / count;
  }
  // Whether the race time (top right) differs between two screens.
  static bool raceTimeRuns(const Screenshot& a, const Screenshot& b) {
    for (int y = 12; y < 38; ++y)
      for (int x = 860; x < 1010; ++x)
        if (a.at(x, y) != b.at(x, y)) return true;
    return false;
  }
  // The red disc of the wrong-way sign in the middle of the screen, left of
  // and above its white arrow.
  static bool wrongWaySign(const Screenshot& s) {
    return s.share(415, 370, 30, 30, reddish) > 0.8 && s.share(500, 285, 24, 15, reddish) > 0.8;
  }
  // Quits from the main menu through its dialog and the exit screen.
  static void quitFromMainMenu(GameSession& game, const std::string& first) {
    game.x().tap("Escape");
    ASSERT_NO_FATAL_FAILURE(expect(game, first + "-quit-dialog", 20, screens::quitDialog));
    game.x().click(kQuitYes.x, kQuitYes.y);
    ASSERT_NO_FATAL_FAILURE(expect(game, first + "-exit-screen", 20, screens::exitScreen));
    game.x().tap("space");
  }
};

TEST_F(BinaryTest, TheMenuQuitsThroughItsDialogAndTheExitScreen) {
  GameSession game(m_root / "game", shots());
  ASSERT_TRUE(game.start()) << "Xvfb with XTest is needed";
  ASSERT_NO_FATAL_FAILURE(expect(game, "01-main-menu", 60, screens::mainMenu));
  ASSERT_NO_FATAL_FAILURE(quitFromMainMenu(game, "02"));
  const auto status = game.game().wait(60s);
  ASSERT_TRUE(status.has_value()) << "the game did not end";
  EXPECT_EQ(*status, 0);
  EXPECT_EQ(game.loopTraces(), Traces{"entering menu loop..."});
}

// A time trial of one lap on the ring, driven with held keys, its time
// entered under a name typed into the game, the table it went into shown,
// and the game left.
TEST_F(BinaryTest, ATimeTrialOnTheRingGoesIntoTheHighscoresUnderTheTypedName) {
  GameSession game(m_root / "game", shots());
  ASSERT_TRUE(game.start()) << "Xvfb with XTest is needed";
  XSession& x = game.x();
  ASSERT_NO_FATAL_FAILURE(expect(game, "01-main-menu", 60, screens::mainMenu));
  x.click(kTimeTrial.x, kTimeTrial.y);
  ASSERT_NO_FATAL_FAILURE(expect(game, "02-time-trial", 20, screens::selectionScreen));
  // One lap instead of three, on the ring (the track after the first).
  x.click(kLapsLeft.x, kLapsLeft.y);
  x.click(kLapsLeft.x, kLapsLeft.y);
  x.click(kTrackRight.x, kTrackRight.y);
  ASSERT_NO_FATAL_FAILURE(expect(game, "03-one-lap-on-the-ring", 20, screens::selectionScreen));
  // The loading window stands for a second or two: look at once, and as
  // often as the screen can be read.
  x.click(kSelectionOk.x, kSelectionOk.y, false);
  ASSERT_NO_FATAL_FAILURE(expect(
      game, "04-loading", 20, [](const Screenshot& s) { return screens::loading(s); }, 0ms));
  ASSERT_NO_FATAL_FAILURE(expect(game, "05-race", 120, screens::race));

  // The race draws its frames slowly here: keys are held over several.
  x.setKeyHold(500ms);
  x.tap("space");
  x.press("w");
  x.press("a");
  // Only a kart that the held keys drive round the ring ends the lap.
  ASSERT_NO_FATAL_FAILURE(
      expect(game, "06-results", 180, [](const Screenshot& s) { return screens::timeTrialResults(s, 1); }));
  x.release("a");
  x.release("w");
  x.click(kTimeTrialResultsOk.x, kTimeTrialResultsOk.y);
  ASSERT_NO_FATAL_FAILURE(expect(game, "07-name-entry", 20, screens::nameEntry));
  // The box holds the settings' player name: taken back key by key.
  for (int i = 0; i < 30 && !screens::nameBoxEmpty(x.capture()); ++i) x.tap("BackSpace");
  ASSERT_NO_FATAL_FAILURE(expect(game, "08-name-cleared", 10, screens::nameBoxEmpty));
  x.type("Tester");
  ASSERT_NO_FATAL_FAILURE(expect(game, "09-name-typed", 10, screens::nameBoxFilled));
  x.press("Return");
  ASSERT_NO_FATAL_FAILURE(expect(
      game, "10-loading", 20, [](const Screenshot& s) { return screens::loading(s); }, 0ms));
  x.release("Return");
  x.setKeyHold(120ms);
  ASSERT_NO_FATAL_FAILURE(expect(game, "11-highscores", 120, screens::highscores));
  x.click(kBack.x, kBack.y);
  ASSERT_NO_FATAL_FAILURE(expect(game, "12-main-menu", 20, screens::mainMenu));
  ASSERT_NO_FATAL_FAILURE(quitFromMainMenu(game, "13"));

  const auto status = game.game().wait(60s);
  ASSERT_TRUE(status.has_value()) << "the game did not end";
  EXPECT_EQ(*status, 0);
  EXPECT_EQ(game.loopTraces(), (Traces{"entering menu loop...", "entering main loop...", "entering menu loop..."}));
  const fs::path file = game.folder() / HighscoreTables::kFileName;
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::file_size(file), 26652u);
  // Time trial, the first engine class, the ring's block.
  HighscoreTables tables;
  ASSERT_TRUE(loadScores(game.folder(), tables));
  const HighscoreEntry& best = *tables.table(kTableTimeTrial, 0)->getEntry(1, 0);
  EXPECT_STREQ(best.name, "Tester");
  EXPECT_GT(best.time, 2.0f);
  EXPECT_LT(best.time, 120.0f);
  EXPECT_STREQ(tables.table(kTableTimeTrial, 0)->getEntry(0, 0)->name, "");
}

// Two games on one machine, each with its own folder, runtime folder and
// display: one hosts, the other joins 127.0.0.1 in the lobby; both drive
// the ring with held keys and show the same result order.
TEST_F(BinaryTest, TwoGamesHostAndJoinOnOneMachineAndRaceTheRing) {
  GameSession host(m_root / "host", shots("host")), guest(m_root / "guest", shots("guest"));
  writePlayerName(host.folder(), "Anna");
  writePlayerName(guest.folder(), "Bert");
  // The host first: the relay on the game's port is then its own.
  ASSERT_TRUE(host.start()) << "Xvfb with XTest is needed";
  ASSERT_NO_FATAL_FAILURE(expect(host, "01-main-menu", 60, screens::mainMenu));
  ASSERT_TRUE(guest.start());
  ASSERT_NO_FATAL_FAILURE(expect(guest, "01-main-menu", 60, screens::mainMenu));

  // The host opens the game on the ring, one lap, and takes the first kart.
  host.x().click(kMultiplayer.x, kMultiplayer.y);
  ASSERT_NO_FATAL_FAILURE(
      expect(host, "02-host-or-join", 20, [](const Screenshot& s) { return screens::hostOrJoin(s); }));
  host.x().click(kHost.x, kHost.y);
  ASSERT_NO_FATAL_FAILURE(expect(host, "03-lobby", 20, [](const Screenshot& s) { return screens::lobby(s, 1); }));
  host.x().click(kLobbyTrackRight.x, kLobbyTrackRight.y);
  host.x().click(kLobbyKartRight.x, kLobbyKartRight.y);

  // The guest joins by the address, takes a kart and is ready.
  guest.x().click(kMultiplayer.x, kMultiplayer.y);
  ASSERT_NO_FATAL_FAILURE(
      expect(guest, "02-host-or-join", 20, [](const Screenshot& s) { return screens::hostOrJoin(s); }));
  guest.x().click(kAddress.x, kAddress.y);
  guest.x().type("127.0.0.1");
  ASSERT_NO_FATAL_FAILURE(
      expect(guest, "03-address", 10, [](const Screenshot& s) { return screens::hostOrJoin(s, true); }));
  guest.x().click(kJoin.x, kJoin.y);
  ASSERT_NO_FATAL_FAILURE(expect(guest, "04-lobby", 30, [](const Screenshot& s) { return screens::lobby(s, 2); }));
  guest.x().click(kLobbyKartRight.x, kLobbyKartRight.y);
  guest.x().click(kLobbyStart.x, kLobbyStart.y);
  ASSERT_NO_FATAL_FAILURE(expect(guest, "05-ready", 20, [](const Screenshot& s) { return screens::lobbyReady(s, 1); }));

  // The host sees the guest ready, and starts.
  ASSERT_NO_FATAL_FAILURE(expect(host, "04-guest-ready", 20, [](const Screenshot& s) {
    return screens::lobby(s, 2) && screens::lobbyReady(s, 1) && screens::lobbyStartEnabled(s);
  }));
  host.x().click(kLobbyStart.x, kLobbyStart.y);
  for (GameSession* game : {&host, &guest}) ASSERT_NO_FATAL_FAILURE(expect(*game, "06-race", 120, screens::race));

  // Both ready (Space), then throttle and left held on both: once the
  // countdown is over and the computer drivers have drawn away, the guest
  // first and the host, right behind it on the grid, some seconds later.
  for (GameSession* game : {&host, &guest}) {
    game->x().setKeyHold(500ms);
    game->x().tap("space");
  }
  std::this_thread::sleep_for(6s);
  guest.x().press("w");
  guest.x().press("a");
  std::this_thread::sleep_for(3s);
  host.x().press("w");
  host.x().press("a");
  const int respawns = raceToResults({&host, &guest}, 300);
  RecordProperty("respawns", respawns);
  if (respawns < 0) {
    host.keepScreen("07-no-results");
    guest.keepScreen("07-no-results");
    FAIL() << "07-results did not come within 300 s on both (see " << shots() << ")";
  }
  // Once every result has arrived both show the same places and names.
  const auto sameOrder = [&] {
    return screens::resultOrderDifference(host.x().capture(), guest.x().capture()) < 0.002;
  };
  for (int i = 0; i < 50 && !sameOrder(); ++i) std::this_thread::sleep_for(200ms);
  host.keepScreen("08-results");
  guest.keepScreen("08-results");
  EXPECT_TRUE(sameOrder()) << "the two games show different results (see " << shots() << ")";
  for (GameSession* game : {&host, &guest}) {
    game->x().release("a");
    game->x().release("w");
    game->x().setKeyHold(120ms);
    game->x().click(kRaceResultsOk.x, kRaceResultsOk.y);
  }
  for (GameSession* game : {&host, &guest}) {
    ASSERT_NO_FATAL_FAILURE(expect(*game, "09-main-menu", 60, screens::mainMenu));
    ASSERT_NO_FATAL_FAILURE(quitFromMainMenu(*game, "10"));
  }
  for (GameSession* game : {&host, &guest}) {
    const auto status = game->game().wait(60s);
    ASSERT_TRUE(status.has_value()) << "a game did not end";
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(game->loopTraces(), (Traces{"entering menu loop...", "entering main loop...", "entering menu loop..."}));
  }
}

}  // namespace
