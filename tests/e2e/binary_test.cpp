// The game as a player meets it: the binary on an X server of its own at
// 1024 x 768 (once on a larger screen), driven by keys and mouse through
// XTest, each step's screen kept as a PNG and checked where it must show
// what the step is about.
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
#include "tests/support/eventually.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Traces = std::vector<std::string>;

// Where the buttons lie (centres, in pixels of the 1024 x 768 layout).
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
constexpr Point kLobbyTrackRight{941 + 27, 130 + 25};
constexpr Point kLobbyLapsRight{941 + 27, 330 + 25};
constexpr Point kLobbyStart{873 + 67, 623 + 65};
constexpr Point kRaceResultsOk{220 + 220 + 100, 104 + 470 + 30};
// The ring: the track after the first. The games' archive has the test
// ring there, which a kart holding throttle and left circles for ever.
constexpr int kRing = 1;
// A track arrow steps through the eight tracks: twice round at most.
constexpr int kTrackClicks = 16;

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
  static void expect(GameSession& game, const std::string& name, double seconds, const ScreenTest& test,
                     std::chrono::milliseconds interval = std::chrono::milliseconds(200)) {
    ASSERT_TRUE(game.expectScreen(name, seconds, test, interval))
        << name << " did not come within " << seconds << " s (see " << game.shots() << ")";
  }
  // The driving steps, failing the test with what the step saw.
  static void click(GameSession& game, const std::string& step, Point target, const ScreenTest& effect, int clicks = 4,
                    int passes = 30) {
    ASSERT_TRUE(game.clickUntil(step, target, effect, clicks, passes)) << game.failure();
  }
  static void tap(GameSession& game, const std::string& step, const char* key, const ScreenTest& effect) {
    ASSERT_TRUE(game.tapUntil(step, key, effect)) << game.failure();
  }
  // Whether the race time (top right) runs: it differs between two screens
  // a few passes apart.
  static bool raceClockRuns(GameSession& game) {
    const Screenshot before = game.x().capture();
    return game.waitPasses(3) && raceTimeRuns(before, game.x().capture());
  }
  // Waits (at most `seconds`) until every game shows its race results, each
  // kept as "07-results", while the games drive with throttle and left
  // held. Held keys cannot get a kart out of trouble: one spun round by a
  // computer driver's extra drives the wrong way, or into the wall for
  // good. As a player would, the test then presses Backspace, which puts
  // the kart back on the middle of the road facing the right way, when the
  // wrong-way sign shows, when the race view has hardly changed over a few
  // seconds and passes, or when the kart has gone far longer than a lap
  // without finishing. From the middle of the road full left lock would
  // turn the kart into the inner wall: it drives on with the throttle
  // alone, which the outer wall takes round, and after another press with
  // left lock again. Returns the number of those presses, or -1 when a
  // game's results did not come.
  static int raceToResults(const std::vector<GameSession*>& games, double seconds) {
    using Wall = std::chrono::steady_clock;
    struct Watch {
      GameSession* game;
      Screenshot before;
      Wall::time_point since;
      std::uint64_t sincePass = 0;
      std::uint64_t pressedPass = 0;
      bool done = false;
      bool steering = true;
      Wall::time_point pressed{};
    };
    const auto passNow = [](GameSession& game) {
      const auto p = game.probe();
      return p ? p->pass : 0;
    };
    std::vector<Watch> watches;
    for (GameSession* game : games) {
      const std::uint64_t pass = passNow(*game);
      watches.push_back({game, {}, Wall::now(), pass, pass});
      watches.back().pressed = Wall::now();
    }
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
        const std::uint64_t pass = passNow(*w.game);
        if (!stuck && Wall::now() - w.since >= kStandingFor && pass >= w.sincePass + kStandingPasses) {
          // A kart that has finished stands with its race time held.
          stuck = w.before.width == now.width && viewChange(w.before, now) < 0.2 && raceTimeRuns(w.before, now);
          w.before = now;
          w.since = Wall::now();
          w.sincePass = pass;
        }
        // A kart that has gone long without finishing has lost its way
        // even where its view keeps changing.
        if (!stuck && Wall::now() - w.pressed >= kLapAtMost && pass >= w.pressedPass + kLapAtMostPasses)
          stuck = raceTimeRuns(w.before.width ? w.before : now, w.game->x().capture());
        if (!stuck) continue;
        ++presses;
        XSession::save(now, w.game->shots(), "07-back-on-the-road-" + std::to_string(presses));
        // Whichever line failed, the other is tried: left lock along the
        // inner wall, the throttle alone along the outer one.
        if (w.steering)
          w.game->letGo("a");
        else
          w.game->hold("a");
        w.steering = !w.steering;
        w.game->tap("BackSpace");
        w.before = {};
        w.since = w.pressed = Wall::now();
        w.sincePass = w.pressedPass = passNow(*w.game);
      }
      if (all) return presses;
      if (Wall::now() > end) return -1;
      std::this_thread::sleep_for(100ms);
    }
  }
  // Types the host's address into the box. A click on the box that did not
  // give it the keys leaves it empty: the box is emptied and it is tried
  // again.
  static void joinByAddress(GameSession& guest) {
    for (int i = 0; i < 3; ++i) {
      ASSERT_NO_FATAL_FAILURE(click(guest, "03-address-box", kAddress, [](const Screenshot&) { return true; }));
      ASSERT_TRUE(guest.type("127.0.0.1")) << guest.failure();
      if (guest.expectScreen("03-address", 10, [](const Screenshot& s) { return screens::hostOrJoin(s, true); }))
        return;
      for (int k = 0; k < 12; ++k) ASSERT_TRUE(guest.tap("BackSpace")) << guest.failure();
    }
    FAIL() << "03-address: the box never showed the address (see " << guest.shots() << ")";
  }
  // Any pixel of the rectangle differs between two screens.
  struct Rect {
    int x, y, w, h;
  };
  static constexpr Rect kLapsLabel{600, 180, 320, 26};
  static constexpr Rect kLobbyLapsLabel{592, 340, 332, 30};
  static bool regionChanged(const Screenshot& a, const Screenshot& b, Rect r) {
    if (a.width != b.width || a.width != XSession::kWidth) return false;
    for (int y = r.y; y < r.y + r.h; ++y)
      for (int x = r.x; x < r.x + r.w; ++x)
        if (a.at(x, y) != b.at(x, y)) return true;
    return false;
  }
  static constexpr std::chrono::seconds kStandingFor{3};
  static constexpr std::uint64_t kStandingPasses = 15;
  // A lap of the ring takes a kart some ten seconds of race time.
  static constexpr std::chrono::seconds kLapAtMost{40};
  static constexpr std::uint64_t kLapAtMostPasses = 100;
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
    if (a.width != XSession::kWidth || b.width != XSession::kWidth) return false;
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
    ASSERT_NO_FATAL_FAILURE(tap(game, first + "-quit-dialog", "Escape", screens::quitDialog));
    ASSERT_NO_FATAL_FAILURE(click(game, first + "-exit-screen", kQuitYes, screens::exitScreen));
    ASSERT_TRUE(game.tap("space")) << game.failure();
  }
  void twoGamesRaceTheRing(int laps, double seconds);
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

// On a screen larger than the game's mode, which the screen cannot switch
// to, the game runs 1024 x 768 at the screen's top left; so does the
// loading screen, from the first of its frames that the screen shows.
TEST_F(BinaryTest, OnALargerScreenTheLoadingScreenFillsTheModeFromItsFirstFrame) {
  GameSession game(m_root / "game", shots());
  ASSERT_TRUE(game.start(1280, 1024)) << "Xvfb with XTest is needed";
  // Looked for as fast as screens can be read: the menus load in seconds.
  ASSERT_NO_FATAL_FAILURE(expect(game, "01-first-loading-frame", 60, screens::loadingPictureAnywhere, 0ms));
  EXPECT_TRUE(screens::loadingPictureInMode(game.lastScreen())) << "see " << game.shots();
  ASSERT_NO_FATAL_FAILURE(expect(game, "02-main-menu", 60, screens::mainMenu));
  EXPECT_GT(game.lastScreen().share(1024, 0, 256, 1024, dark), 0.99);
}

// A time trial of one lap on the ring, driven with held keys, its time
// entered under a name typed into the game, the table it went into shown,
// and the game left.
TEST_F(BinaryTest, ATimeTrialOnTheRingGoesIntoTheHighscoresUnderTheTypedName) {
  GameSession game(m_root / "game", shots());
  ASSERT_TRUE(game.start()) << "Xvfb with XTest is needed";
  ASSERT_NO_FATAL_FAILURE(expect(game, "01-main-menu", 60, screens::mainMenu));
  ASSERT_NO_FATAL_FAILURE(click(game, "02-time-trial", kTimeTrial, screens::selectionScreen));
  // One lap instead of three, on the ring: each click is taken when the
  // laps' label changes, and the track arrow is clicked until the ring's
  // picture shows.
  for (const char* step : {"03-two-laps", "03-one-lap"}) {
    const Screenshot before = game.x().capture();
    ASSERT_NO_FATAL_FAILURE(
        click(game, step, kLapsLeft, [&](const Screenshot& s) { return regionChanged(before, s, kLapsLabel); }));
  }
  const auto onTheRing = [](const Screenshot& s) {
    return screens::selectionScreen(s) && screens::showsTrack(s, false, kRing);
  };
  if (!onTheRing(game.x().capture())) {
    ASSERT_NO_FATAL_FAILURE(click(game, "03-one-lap-on-the-ring", kTrackRight, onTheRing, kTrackClicks));
  }
  ASSERT_NO_FATAL_FAILURE(
      click(game, "04-loading", kSelectionOk, [](const Screenshot& s) { return !screens::selectionScreen(s); }));
  ASSERT_NO_FATAL_FAILURE(expect(game, "05-race", 120, screens::race));

  ASSERT_TRUE(game.tap("space")) << game.failure();
  ASSERT_TRUE(game.hold("w")) << game.failure();
  ASSERT_TRUE(game.hold("a")) << game.failure();
  // Only a kart that the held keys drive round the ring ends the lap.
  ASSERT_NO_FATAL_FAILURE(
      expect(game, "06-results", 180, [](const Screenshot& s) { return screens::timeTrialResults(s, 1); }));
  ASSERT_TRUE(game.letGo("a") && game.letGo("w")) << game.failure();
  ASSERT_NO_FATAL_FAILURE(click(game, "07-name-entry", kTimeTrialResultsOk, screens::nameEntry));
  // The box holds the settings' player name: taken back key by key.
  for (int i = 0; i < 30 && !screens::nameBoxEmpty(game.x().capture()); ++i)
    ASSERT_TRUE(game.tap("BackSpace") && game.waitPasses(2)) << game.failure();
  ASSERT_NO_FATAL_FAILURE(expect(game, "08-name-cleared", 10, screens::nameBoxEmpty));
  ASSERT_TRUE(game.type("Tester")) << game.failure();
  ASSERT_NO_FATAL_FAILURE(expect(game, "09-name-typed", 10, screens::nameBoxFilled));
  ASSERT_NO_FATAL_FAILURE(
      tap(game, "10-name-stored", "Return", [](const Screenshot& s) { return !screens::nameEntry(s); }));
  ASSERT_NO_FATAL_FAILURE(expect(game, "11-highscores", 120, screens::highscores));
  ASSERT_NO_FATAL_FAILURE(click(game, "12-main-menu", kBack, screens::mainMenu));
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
  const HighscoreEntry& best = *tables.table(kTableTimeTrial, 0)->getEntry(kRing, 0);
  EXPECT_STREQ(best.name, "Tester");
  EXPECT_GT(best.time, 2.0f);
  EXPECT_LT(best.time, 120.0f);
  EXPECT_STREQ(tables.table(kTableTimeTrial, 0)->getEntry(0, 0)->name, "");
}

// Two games on one machine, each with its own folder, runtime folder and
// display: one hosts, the other joins 127.0.0.1 in the lobby; both drive
// `laps` laps of the ring with held keys (put back when stuck), within
// `seconds`, and show the same result order.
void BinaryTest::twoGamesRaceTheRing(int laps, double seconds) {
  GameSession host(m_root / "host", shots("host")), guest(m_root / "guest", shots("guest"));
  writePlayerName(host.folder(), "Anna");
  writePlayerName(guest.folder(), "Bert");
  // The host first: the relay on the game's port is then its own.
  ASSERT_TRUE(host.start()) << "Xvfb with XTest is needed";
  ASSERT_NO_FATAL_FAILURE(expect(host, "01-main-menu", 60, screens::mainMenu));
  ASSERT_TRUE(guest.start());
  ASSERT_NO_FATAL_FAILURE(expect(guest, "01-main-menu", 60, screens::mainMenu));

  // The host opens the game on the ring, `laps` laps, and takes the first
  // kart.
  ASSERT_NO_FATAL_FAILURE(
      click(host, "02-host-or-join", kMultiplayer, [](const Screenshot& s) { return screens::hostOrJoin(s); }));
  ASSERT_NO_FATAL_FAILURE(click(host, "03-lobby", kHost, [](const Screenshot& s) { return screens::lobby(s, 1); }));
  const auto lobbyOnTheRing = [](const Screenshot& s) {
    return screens::lobby(s, 1) && screens::showsTrack(s, true, kRing);
  };
  if (!lobbyOnTheRing(host.x().capture())) {
    ASSERT_NO_FATAL_FAILURE(click(host, "03-lobby-on-the-ring", kLobbyTrackRight, lobbyOnTheRing, kTrackClicks));
  }
  // The lobby starts at one lap; each click is taken when the label changes.
  for (int lap = 2; lap <= laps; ++lap) {
    const Screenshot before = host.x().capture();
    ASSERT_NO_FATAL_FAILURE(click(host, "03-lobby-laps-" + std::to_string(lap), kLobbyLapsRight,
                                  [&](const Screenshot& s) { return regionChanged(before, s, kLobbyLapsLabel); }));
  }
  // Each player comes with a kart: the championship's, the first.
  ASSERT_NO_FATAL_FAILURE(
      expect(host, "03-lobby-kart", 30, [](const Screenshot& s) { return screens::lobbyKartChosen(s, 0); }));

  // The guest joins by the address, with its kart, and is ready.
  ASSERT_NO_FATAL_FAILURE(
      click(guest, "02-host-or-join", kMultiplayer, [](const Screenshot& s) { return screens::hostOrJoin(s); }));
  ASSERT_NO_FATAL_FAILURE(joinByAddress(guest));
  // Joining waits on the network: its effect may take many passes.
  ASSERT_NO_FATAL_FAILURE(click(
      guest, "04-lobby", kJoin, [](const Screenshot& s) { return screens::lobby(s, 2); }, 2, 600));
  ASSERT_NO_FATAL_FAILURE(
      expect(guest, "04-lobby-kart", 30, [](const Screenshot& s) { return screens::lobbyKartChosen(s, 1); }));
  ASSERT_NO_FATAL_FAILURE(
      click(guest, "05-ready", kLobbyStart, [](const Screenshot& s) { return screens::lobbyReady(s, 1); }));

  // The host sees the guest ready on the ring, and starts.
  ASSERT_NO_FATAL_FAILURE(expect(host, "04-guest-ready", 60, [](const Screenshot& s) {
    return screens::lobby(s, 2) && screens::lobbyReady(s, 1) && screens::lobbyStartEnabled(s) &&
           screens::showsTrack(s, true, kRing);
  }));
  ASSERT_NO_FATAL_FAILURE(
      click(host, "05-start", kLobbyStart, [](const Screenshot& s) { return !screens::lobbyStartEnabled(s); }));
  for (GameSession* game : {&host, &guest}) ASSERT_NO_FATAL_FAILURE(expect(*game, "06-race", 120, screens::race));

  // Both ready (Space), then throttle and left held on both. Computer
  // drivers that have finished stop just past the line, where on the
  // guest's machine they stand as the host reported them and its kart cannot
  // push them away: the players set off with the start, to be round before
  // them. The guest at once, and the host, right behind it on the grid,
  // some passes after its race began.
  for (GameSession* game : {&host, &guest}) ASSERT_TRUE(game->tap("space")) << game->failure();
  ASSERT_TRUE(guest.hold("w") && guest.hold("a")) << guest.failure();
  ASSERT_TRUE(eventually([&] { return raceClockRuns(host); }, 120'000)) << "the race never started on the host";
  ASSERT_TRUE(host.waitPasses(10)) << host.failure();
  ASSERT_TRUE(host.hold("w") && host.hold("a")) << host.failure();
  const int respawns = raceToResults({&host, &guest}, seconds);
  RecordProperty("respawns", respawns);
  if (respawns < 0) {
    host.keepScreen("07-no-results");
    guest.keepScreen("07-no-results");
    FAIL() << "07-results did not come within " << seconds << " s on both (see " << shots() << ")";
  }
  // Once every result has arrived both show the same places and names.
  const auto sameOrder = [&] {
    return screens::resultOrderDifference(host.x().capture(), guest.x().capture()) < 0.002;
  };
  const bool same = eventually(sameOrder, 10'000);
  host.keepScreen("08-results");
  guest.keepScreen("08-results");
  EXPECT_TRUE(same) << "the two games show different results (see " << shots() << ")";
  for (GameSession* game : {&host, &guest}) {
    ASSERT_TRUE(game->letGo("a") && game->letGo("w")) << game->failure();
    // Back in the menu after the race's unload: many passes may go by.
    ASSERT_NO_FATAL_FAILURE(click(*game, "09-main-menu", kRaceResultsOk, screens::mainMenu, 2, 600));
  }
  for (GameSession* game : {&host, &guest}) ASSERT_NO_FATAL_FAILURE(quitFromMainMenu(*game, "10"));
  for (GameSession* game : {&host, &guest}) {
    const auto status = game->game().wait(60s);
    ASSERT_TRUE(status.has_value()) << "a game did not end";
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(game->loopTraces(), (Traces{"entering menu loop...", "entering main loop...", "entering menu loop..."}));
  }
}

TEST_F(BinaryTest, TwoGamesHostAndJoinOnOneMachineAndRaceTheRing) { twoGamesRaceTheRing(1, 300); }

// The long form: three laps, with both games built as this test is (the
// address sanitizer's build in `make test-long`).
TEST_F(BinaryTest, TwoGamesRaceThreeLapsOfTheRing) { twoGamesRaceTheRing(3, 900); }

}  // namespace
