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

#include "game/config.h"
#include "game/highscore.h"
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
  const HighscoreEntry& best = *tables.table(HighscoreTables::kTimeTrial, 0)->getEntry(1, 0);
  EXPECT_STREQ(best.name, "Tester");
  EXPECT_GT(best.time, 2.0f);
  EXPECT_LT(best.time, 120.0f);
  EXPECT_STREQ(tables.table(HighscoreTables::kTimeTrial, 0)->getEntry(0, 0)->name, "");
}

// Two games on one machine, each with its own folder, runtime folder and
// display: one hosts, the other joins 127.0.0.1 in the lobby; both drive
// the ring with held keys and show the same result order.
// Off for now: both karts start side by side with the same keys held, and
// two karts of different machines pressed together against the wall may
// never come apart, each machine moving only its own (run it with
// --gtest_also_run_disabled_tests).
TEST_F(BinaryTest, DISABLED_TwoGamesHostAndJoinOnOneMachineAndRaceTheRing) {
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

  // Both ready (Space), then throttle and left held on both.
  for (GameSession* game : {&host, &guest}) {
    game->x().setKeyHold(500ms);
    game->x().tap("space");
  }
  for (GameSession* game : {&host, &guest}) {
    game->x().press("w");
    game->x().press("a");
  }
  for (GameSession* game : {&host, &guest})
    ASSERT_NO_FATAL_FAILURE(expect(*game, "07-results", 180, screens::raceResults));
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
