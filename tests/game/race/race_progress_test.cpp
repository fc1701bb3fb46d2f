// Race progress on the small written race: karts are put on a position map
// that numbers the track by x alone, and the race timer reads a clock the
// tests move. Ranks, laps and lap times, the finish, last man standing, the
// final ranking, the computer drivers' catch-up and the race end.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "content/pcx_writer.h"
#include "foundation/timer.h"
#include "game/kart/kart_surfaces.h"
#include "game/kart/vehicle_master.h"
#include "game/race/race_factory.h"
#include "game/track/track_maps.h"
#include "tests/game/race/race_fixture.h"

namespace {

using namespace race_fixture;

class HandClock : public Clock {
 public:
  bool frequency(std::int64_t& f) const override {
    f = 1000000;
    return true;
  }
  bool counter(std::int64_t& t) const override {
    t = ticks;
    return true;
  }
  std::uint32_t milliseconds() const override { return static_cast<std::uint32_t>(ticks / 1000); }
  std::int64_t ticks = 1000000;
};

// Full throttle and nothing else.
class Throttle : public Controller {
 public:
  bool left() override { return false; }
  bool right() override { return false; }
  bool accelerate() override { return true; }
  bool brake() override { return false; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return false; }
};

// Computer drivers that only press the throttle.
class ThrottleDrivers : public RaceFactory {
 protected:
  std::unique_ptr<Controller> makeController(const KartOrder& order) override {
    if (order.controlType == kControlAI) return std::make_unique<Throttle>();
    return RaceFactory::makeController(order);
  }
};

class RaceProgress : public RaceTest {
 protected:
  static constexpr int kTrack = 0;
  static constexpr int kWinner = 8, kLoser = 9;  // motion indices the karts are given

  void SetUp() override {
    RaceTest::SetUp();
    race = std::make_unique<Race>(pipeline.get(), &gui, control, clock);
    race->setFactory(std::make_unique<ThrottleDrivers>());
  }

  void start(int game, int laps = 3) {
    chooseRace(config, game, kTrack);
    config.m_laps.set(laps);
    ASSERT_TRUE(load());
    // Column c of a one-row map reads c: column 0 is off the track.
    std::vector<std::uint8_t> columns(256);
    for (int c = 0; c < 256; ++c) columns[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c);
    std::vector<std::uint32_t> palette(256, 0);
    const auto pcx = writePcx8(256, 1, columns, palette);
    maps.put(trackMapFileName(kTrack, "posmap_track_", "pcx"), std::vector<unsigned char>(pcx.begin(), pcx.end()));
    race->m_positionMap = std::make_unique<TrackPositionMap>(&maps, kTrack);
    race->m_timer->start();
    for (int k = 0; k < race->m_kartCount; ++k) {
      kart(k).m_motions.m_driverIndex[KartMotions::kWinner] = kWinner;
      kart(k).m_motions.m_driverIndex[KartMotions::kLoser] = kLoser;
    }
  }
  // The karts released at `seconds`.
  void release(float seconds) {
    at(seconds);
    race->m_countdownState = Race::kCountdownRacing;
    race->m_raceStart = seconds;
    for (int k = 0; k < race->m_kartCount; ++k) kart(k).m_net.m_active.set(true);
  }
  void at(float seconds) {
    clock.ticks = 1000000 + static_cast<std::int64_t>(std::llround(seconds * 1e6));
    race->m_timer->tick();
  }
  VehicleMaster& kart(int k) { return *race->m_karts[k]->getMaster(); }
  // Puts kart k where the map reads `value`.
  void place(int k, int value) {
    const TrackRectangle& r = race->m_positionMap->rectangle();
    Matrix4x3 m = g_affineIdentity;
    m.m[12] = r.minX + (static_cast<float>(value) + 0.5f) / 256.0f * (r.maxX - r.minX);
    m.m[14] = 0.5f * (r.minZ + r.maxZ);
    kart(k).setKartMatrix(m);
  }
  // Kart k driven over `values` one frame each.
  void drive(int k, std::initializer_list<int> values) {
    for (int v : values) {
      place(k, v);
      race->updateRaceProgress();
    }
  }
  // Kart k touches the line on its way from the end of the lap to its start.
  void crossLine(int k) {
    drive(k, {250, 255});
    kart(k).m_lineTouched = 1;
    kart(k).m_sectorMask |= 1u;
    drive(k, {2});
  }
  // A whole lap of kart k, ending over the line.
  void lap(int k) {
    for (int v = 10; v < 255; v += 10) drive(k, {v});
    crossLine(k);
  }
  const ConfigPlayer& record(int k) { return config.m_player[k].get(); }
  RecordingRaceDisplays& hud() { return *gui.displays; }

  HandClock clock;
  MemoryFile maps;
};

TEST_F(RaceProgress, RanksFollowLapAndSectorTiesKeepTheirOrderAndTheGridHoldsBeforeTheRelease) {
  start(1);
  ConfigPlayer* r = config.m_player[4].modify();
  r->startPosition = 0;
  config.m_player[0].modify()->startPosition = 4;
  race->updateRanks();
  EXPECT_EQ(kart(4).m_net.m_rank.get(), 0) << "the grid slot ranks before the release";
  EXPECT_EQ(kart(0).m_net.m_rank.get(), 4);

  release(1.0f);
  const int laps[6] = {0, 1, 0, -1, 0, 0}, sectors[6] = {40, 3, 90, 200, 90, 40};
  for (int k = 0; k < 6; ++k) {
    kart(k).m_net.m_lap.set(laps[k]);
    kart(k).m_sectorHistory[0] = sectors[k];
  }
  race->updateRanks();
  // Kart 1 leads on laps; karts 2 and 4 tie (4 was ranked before it), so do
  // 0 and 5 (0 before); kart 3 has not crossed the line.
  const int expected[6] = {3, 0, 2, 5, 1, 4};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(kart(k).m_net.m_rank.get(), expected[k]) << "kart " << k;
  race->updateRanks();
  for (int k = 0; k < 6; ++k) EXPECT_EQ(kart(k).m_net.m_rank.get(), expected[k]) << "stable, kart " << k;

  // A received lap whose key passes 32 bits still leads.
  kart(3).m_net.m_lap.set(1 << 24);
  race->updateRanks();
  EXPECT_EQ(kart(3).m_net.m_rank.get(), 0);
}

TEST_F(RaceProgress, ALapNeedsEveryGroupAndBackingOverTheLineCountsNothing) {
  start(1);
  release(2.0f);
  drive(0, {250, 0, 252});
  EXPECT_EQ(kart(0).m_sectorHistory[0], 252) << "off the track never enters the history";
  EXPECT_EQ(kart(0).m_sectorHistory[1], 250);
  crossLine(0);
  EXPECT_EQ(kart(0).m_net.m_lap.get(), 0) << "the first crossing starts lap 0";
  EXPECT_EQ(kart(0).m_sectorMask, 0u);

  drive(0, {20, 40, 70});
  EXPECT_EQ(kart(0).m_sectorMask, 0x1Eu);
  drive(0, {40});
  EXPECT_EQ(kart(0).m_sectorMask, 0x06u) << "driving back clears the groups passed again";

  // Back over the line and forward again: the seam marks nothing.
  drive(0, {20, 5});
  kart(0).m_lineTouched = 1;
  kart(0).m_sectorMask |= 1u;
  drive(0, {250, 240});
  crossLine(0);
  EXPECT_EQ(kart(0).m_net.m_lap.get(), 0);

  // Four ever lower sectors: the wrong-way warning, once.
  drive(0, {200, 180, 160, 140});
  EXPECT_EQ(race->m_wrongWay[0], 1);
  drive(0, {130});
  EXPECT_EQ(race->m_wrongWay[0], 0);

  lap(0);
  EXPECT_EQ(kart(0).m_net.m_lap.get(), 1);
  for (int h : kart(0).m_sectorHistory) EXPECT_EQ(h, 1) << "the history starts again after a lap";
}

// The line may count a lap while the map under the kart still reads the end
// of the lap: those last values belong to the lap just completed, not to the
// new one, and never put the kart almost a lap ahead.
TEST_F(RaceProgress, AKartJustOverTheLineKeepsItsPlaceUntilItsNewLapBegins) {
  start(1, 5);
  release(1.0f);
  for (int k = 0; k < 6; ++k) crossLine(k);
  lap(1);
  drive(1, {100});  // a lap ahead of the others, less than a lap ahead of kart 0
  for (int v = 10; v <= 250; v += 10) drive(0, {v});
  kart(0).m_lineTouched = 1;
  kart(0).m_sectorMask |= 1u;
  drive(0, {252});  // the line counts the lap here
  ASSERT_EQ(kart(0).m_net.m_lap.get(), 1);
  for (int v : {253, 255, 2, 20}) {
    drive(0, {v});
    race->updateRanks();
    EXPECT_EQ(kart(0).m_net.m_rank.get(), 1) << "reading " << v;
    EXPECT_EQ(kart(1).m_net.m_rank.get(), 0) << "reading " << v;
  }
  EXPECT_EQ(kart(0).m_sectorHistory[0], 20);
  // Once under way the lap's end reads as its end again.
  for (int v = 30; v <= 250; v += 10) drive(0, {v});
  EXPECT_EQ(kart(0).m_sectorHistory[0], 250);
}

TEST_F(RaceProgress, LapTimesFillTheirSlotsAndTheBestLapIsKept) {
  start(1, 5);
  kart(0).m_net.m_active.set(true);
  kart(0).m_net.m_trackTime.set(7.0f);
  at(1.0f);
  drive(0, {100});
  EXPECT_EQ(kart(0).m_net.m_trackTime.get(), 0.0f) << "before the release";
  release(2.0f);
  at(5.0f);
  crossLine(0);
  EXPECT_FLOAT_EQ(record(0).lapTimes[0], 3.0f) << "from the release to the line";
  EXPECT_EQ(record(0).bestLap, 0.0f) << "no lap yet";
  // Lap 0 is timed from the release, each later one from the one before.
  at(35.0f);
  lap(0);
  EXPECT_FLOAT_EQ(record(0).lapTimes[0], 33.0f);
  EXPECT_FLOAT_EQ(record(0).bestLap, 33.0f);
  at(60.0f);
  lap(0);
  EXPECT_FLOAT_EQ(record(0).lapTimes[1], 25.0f);
  EXPECT_FLOAT_EQ(record(0).bestLap, 25.0f);
  EXPECT_FLOAT_EQ(kart(0).m_net.m_trackTime.get(), 58.0f);
  at(100.0f);
  lap(0);
  EXPECT_FLOAT_EQ(record(0).lapTimes[2], 40.0f);
  EXPECT_FLOAT_EQ(record(0).bestLap, 25.0f);

  // A received lap far below -1 times slot 0 and counts as the grid's.
  kart(1).m_net.m_lap.set(INT_MIN);
  at(101.0f);
  crossLine(1);
  EXPECT_FLOAT_EQ(record(1).lapTimes[0], 99.0f);
  EXPECT_EQ(kart(1).m_net.m_lap.get(), 0);
}

TEST_F(RaceProgress, TheLastLapFinishesAKartAndTheRaceEndsWhenEveryPersonHas) {
  start(1, 2);
  release(1.0f);
  crossLine(0);
  at(21.0f);
  lap(0);
  EXPECT_FALSE(kart(0).m_net.m_trackFinished.get());
  crossLine(3);
  lap(3);
  at(40.0f);
  lap(3);
  ASSERT_TRUE(kart(3).m_net.m_trackFinished.get()) << "a computer driver finishes first";
  EXPECT_FALSE(race->m_raceOver) << "the person still races";
  EXPECT_EQ(record(3).position, 0);
  EXPECT_EQ(kart(3).m_animation.driverMotion, kWinner);
  EXPECT_EQ(race->m_cameraMode[0], Race::kCameraChase) << "kart 3 is in no view";

  at(45.0f);
  lap(0);
  EXPECT_TRUE(kart(0).m_net.m_trackFinished.get());
  EXPECT_FALSE(kart(0).m_net.m_active.get());
  EXPECT_EQ(record(0).position, 1);
  EXPECT_EQ(record(0).racePoints, 8);
  EXPECT_EQ(record(0).startPosition, 1);
  EXPECT_FLOAT_EQ(record(0).raceTime, 44.0f);
  EXPECT_EQ(kart(0).m_animation.state, KartAnimation::kEventMotion);
  EXPECT_EQ(kart(0).m_animation.driverMotion, kLoser);
  EXPECT_FLOAT_EQ(kart(0).m_animation.hold, 1000.0f);
  EXPECT_EQ(race->m_cameraMode[0], Race::kCameraFinish);

  at(46.0f);
  race->updateRaceProgress();
  EXPECT_TRUE(race->m_raceOver);
  EXPECT_FLOAT_EQ(race->m_raceOverTime, 46.0f);
}

// In a network race a kart another machine drives arrives finished as its
// lap and its finish flag; this machine stopped following it wherever it
// saw it last. It ranks from the line, as on the machine that finished it.
TEST_F(RaceProgress, ALaterFinisherStaysBehindWhereverItWasLastSeen) {
  start(1, 1);
  release(1.0f);
  for (int k = 0; k < 6; ++k) crossLine(k);
  lap(0);
  ASSERT_TRUE(kart(0).m_net.m_trackFinished.get());
  EXPECT_EQ(kart(0).m_net.m_rank.get(), 0);
  // Kart 1 last seen late in its lap, then its finish arrives.
  drive(1, {240});
  kart(1).m_net.m_lap.set(1);
  kart(1).m_net.m_trackFinished.set(true);
  kart(1).m_net.m_active.set(false);
  for (int n = 0; n < 2; ++n) {
    race->updateRanks();
    EXPECT_EQ(kart(0).m_net.m_rank.get(), 0);
    EXPECT_EQ(kart(1).m_net.m_rank.get(), 1);
  }
  // Behind both finishers, the karts still racing keep their order.
  drive(2, {100});
  race->updateRanks();
  EXPECT_EQ(kart(2).m_net.m_rank.get(), 2);
}

TEST_F(RaceProgress, LastManStandingDropsTheLastKartPerLapAndScoresTheOrderOut) {
  start(2);
  for (int k = 0; k < 6; ++k) config.m_controlType[k] = kControlUserSingle;
  release(1.0f);
  for (int k = 0; k < 6; ++k) crossLine(k);
  // Karts 0 to 3 a lap ahead; kart 4 ahead of kart 5, which is last.
  for (int k = 0; k < 4; ++k) kart(k).m_net.m_lap.set(1);
  for (int k = 0; k < 4; ++k) place(k, 50 + k);
  place(5, 100);
  race->updateRaceProgress();
  lap(4);
  EXPECT_EQ(kart(4).m_net.m_lap.get(), 1);
  EXPECT_TRUE(kart(4).m_net.m_active.get());
  EXPECT_TRUE(kart(5).m_eliminationDone) << "out in the frame of the lap";
  EXPECT_EQ(race->finishedCount(), 1);
  EXPECT_EQ(record(5).position, 5);
  EXPECT_EQ(record(5).racePoints, 2);
  EXPECT_TRUE(kart(5).m_net.m_trackFinished.get());
  Position3 away;
  kart(5).getPosition(away);
  EXPECT_FLOAT_EQ(away.x, -1000.0f);
  EXPECT_FLOAT_EQ(away.z, -1000.0f);
  EXPECT_FLOAT_EQ(kart(5).m_net.m_netPos.get().x, -1000.0f);
  EXPECT_FLOAT_EQ(kart(5).m_net.m_rocketPos.get().y, -100.0f);
  EXPECT_EQ(hud().calls.back(), "showNicknameMessage 0 " + std::string(record(5).name));

  // A long race times its later laps in the last slot.
  for (int n = 0; n < 24; ++n) lap(0);
  EXPECT_EQ(kart(0).m_net.m_lap.get(), 25);
  at(9.0f);
  race->updateRaceProgress();
  EXPECT_FLOAT_EQ(record(0).lapTimes[20], 8.0f);

  // The others go out; the last one left wins once the message is gone.
  for (int k : {4, 3, 2, 1}) {
    kart(k).m_net.m_active.set(false);
    race->updateRaceProgress();
  }
  EXPECT_EQ(record(1).position, 1);
  race->updateRaceProgress();
  EXPECT_TRUE(kart(0).m_net.m_active.get()) << "while the message shows";
  hud().playerEvent[0] = false;
  race->updateRaceProgress();
  EXPECT_TRUE(kart(0).m_net.m_trackFinished.get());
  EXPECT_EQ(record(0).position, 0);
  EXPECT_EQ(record(0).racePoints, 10);
  EXPECT_EQ(kart(0).m_animation.driverMotion, kWinner);
  EXPECT_EQ(race->m_cameraMode[0], Race::kCameraFinish);
  race->updateRaceProgress();
  EXPECT_TRUE(race->m_raceOver);
}

// The person drops out of a last-man-standing race with four computer
// drivers still in it: they take the places ahead of everyone out, in the
// order they were running, and all finish at the time the race ended.
TEST_F(RaceProgress, LastManStandingEndedWithComputerDriversInPlacesThemByTheirRanks) {
  start(2);
  for (int k = 1; k < 6; ++k) config.m_controlType[k] = kControlAI;
  release(1.0f);
  for (int k = 0; k < 6; ++k) crossLine(k);
  // Running order: kart 3, kart 1 (a lap up), kart 4, kart 2, kart 0, kart 5.
  kart(3).m_net.m_lap.set(1);
  kart(1).m_net.m_lap.set(1);
  const std::pair<int, int> sectors[] = {{3, 40}, {1, 20}, {4, 200}, {2, 100}, {0, 50}, {5, 10}};
  for (auto [k, sector] : sectors) drive(k, {sector});
  at(20.0f);
  kart(5).m_net.m_active.set(false);
  race->updateRaceProgress();
  ASSERT_EQ(record(5).position, 5);
  at(30.0f);
  kart(0).m_net.m_active.set(false);
  race->updateRaceProgress();
  ASSERT_EQ(record(0).position, 4);
  at(31.0f);
  race->updateRaceProgress();
  ASSERT_TRUE(race->m_raceOver) << "no person left racing";

  race->computeRanking();
  const int places[][2] = {{3, 0}, {1, 1}, {4, 2}, {2, 3}, {0, 4}, {5, 5}};
  const int points[] = {10, 8, 6, 4, 3, 2};
  for (auto [k, place] : places) {
    EXPECT_EQ(record(k).position, place) << "kart " << k;
    EXPECT_EQ(record(k).racePoints, points[place]) << "kart " << k;
    EXPECT_TRUE(kart(k).m_net.m_trackFinished.get());
  }
  for (int k : {1, 2, 3, 4}) EXPECT_FLOAT_EQ(record(k).raceTime, 30.0f) << "kart " << k;
}

TEST_F(RaceProgress, KartsStillRacingAtTheEndArePlacedByTheirEstimatedTimes) {
  start(1, 3);
  release(1.0f);
  const float times[6] = {80.0f, 0.0f, 90.0f, 0.0f, 70.0f, 0.0f};
  for (int k : {0, 2, 4}) {
    kart(k).m_net.m_trackFinished.set(true);
    kart(k).m_net.m_trackTime.set(times[k]);
    config.m_player[k].modify()->position = k / 2;
  }
  kart(1).m_net.m_lap.set(1);
  kart(1).m_sectorHistory[0] = 55;
  kart(3).m_net.m_lap.set(2);
  kart(3).m_sectorHistory[0] = 250;
  kart(5).m_net.m_lap.set(INT_MIN);
  kart(5).m_sectorHistory[0] = 250;
  race->computeRanking();
  // 90 s over 3 laps of 255 units: 1/8.5 s a unit.
  EXPECT_NEAR(kart(1).m_net.m_trackTime.get(), 143.53f, 0.01f);
  EXPECT_EQ(kart(1).m_net.m_lap.get(), 2) << "raised to the last lap";
  EXPECT_NEAR(kart(3).m_net.m_trackTime.get(), 90.0f + 5.0f / 8.5f, 1e-3f);
  EXPECT_NEAR(kart(5).m_net.m_trackTime.get(), 180.0f + 5.0f / 8.5f, 1e-3f);
  EXPECT_EQ(record(3).position, 3);
  EXPECT_EQ(record(1).position, 4);
  EXPECT_EQ(record(5).position, 5);
  for (int k : {1, 3, 5}) {
    EXPECT_TRUE(kart(k).m_net.m_trackFinished.get());
    EXPECT_FALSE(kart(k).m_net.m_active.get());
  }

  // No laps set counts as one.
  kart(1).m_net.m_trackFinished.set(false);
  kart(1).m_net.m_lap.set(-1);
  kart(1).m_sectorHistory[0] = 55;
  config.m_laps.set(0);
  const float slowest = kart(5).m_net.m_trackTime.get();
  race->computeRanking();
  EXPECT_NEAR(kart(1).m_net.m_trackTime.get(), 2.0f * slowest + 200.0f * slowest / 255.0f, 1e-2f);
  EXPECT_EQ(kart(1).m_net.m_lap.get(), 0);
}

TEST_F(RaceProgress, ComputerDriversAreHeldNearTheLeadingPerson) {
  start(1);
  release(1.0f);
  const KartTuning& tuning = kart(1).tuning();
  ASSERT_FLOAT_EQ(tuning.maxSpeed, 0.29f);
  kart(0).m_net.m_lap.set(2);
  kart(0).m_sectorHistory[0] = 100;
  auto limitAt = [&](int lap, int sector, int groundKind = kSurfaceRoad) {
    kart(1).m_net.m_lap.set(lap);
    kart(1).m_sectorHistory[0] = sector;
    kart(1).m_sensors.rayKind[KartSensors::kCentreRay] = groundKind;
    kart(1).m_drive.m_velocity = 0.2f;
    kart(1).m_drive.m_speedLimit = tuning.maxSpeed;
    race->adjustAiSpeeds();
    return kart(1).m_drive.m_speedLimit;
  };
  EXPECT_FLOAT_EQ(limitAt(2, 88), 0.3045f);
  EXPECT_FLOAT_EQ(limitAt(2, 112), 0.203f);
  EXPECT_FLOAT_EQ(limitAt(2, 97), tuning.maxSpeed);
  EXPECT_FLOAT_EQ(limitAt(2, 103), tuning.maxSpeed);
  EXPECT_FLOAT_EQ(limitAt(2, 108), (0.5f * 0.3f + 0.7f) * tuning.maxSpeed);
  EXPECT_FLOAT_EQ(limitAt(2, 112, kSurfaceSlowGround), 0.7f * 0.7f * tuning.maxSpeed);
  limitAt(2, 100, kSurfaceSlidingGround);
  EXPECT_FLOAT_EQ(kart(1).m_drive.m_inertia, tuning.driftInertia * 3.0f);

  kart(1).m_drive.m_velocity = 0.0f;
  kart(1).m_drive.m_speedLimit = 0.25f;
  race->adjustAiSpeeds();
  EXPECT_FLOAT_EQ(kart(1).m_drive.m_speedLimit, 0.25f) << "standing still";
  config.m_playType = 2;
  EXPECT_FLOAT_EQ(limitAt(2, 88), tuning.maxSpeed) << "not in network games";
}

TEST_F(RaceProgress, TheRaceEndRanksShowsTheModesDialogAndLeavesTheHighscoreHints) {
  struct Case {
    int game, playType, track;
    const char* dialog;
    int kind;  // -1: no table pending
  };
  const Case cases[] = {{0, 0, 2, "showTimeTrialResults", 0},       {1, 0, 2, "showRaceResults", -1},
                        {2, 0, 2, "showLastManStandingResults", 1}, {3, 0, 1, "showChampionshipResults", -1},
                        {3, 0, 3, "showChampionshipResults", 2},    {3, 0, 7, "showChampionshipResults", 3},
                        {2, 1, 2, "showLastManStandingResults", -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE("game " + std::to_string(c.game) + " track " + std::to_string(c.track));
    start(c.game);
    config.m_playType = c.playType;
    config.m_track.set(c.track);
    config.m_ccm.set(2);
    config.m_highscoreKind = config.m_highscoreClass = config.m_highscoreTrack = -1;
    race->showResults();
    EXPECT_TRUE(kart(0).m_net.m_trackFinished.get()) << "ranked as the authority";
    EXPECT_EQ(hud().calls[hud().calls.size() - 3], "hidePausedMessage");
    EXPECT_EQ(hud().calls[hud().calls.size() - 2], "hideNicknameMessage 0");
    EXPECT_EQ(hud().calls.back(), c.dialog);
    EXPECT_EQ(config.m_showHighscores, c.playType == 0 ? 1 : 0);
    EXPECT_EQ(config.m_highscoreMusic, c.playType == 0 ? 1 : 0);
    if (c.kind >= 0) {
      EXPECT_EQ(config.m_highscoreKind, c.kind);
      EXPECT_EQ(config.m_highscoreClass, 2);
      EXPECT_EQ(config.m_highscoreTrack, c.kind >= 2 ? 0 : c.track);
    } else {
      EXPECT_EQ(config.m_highscoreClass, -1) << "no table named";
    }
    EXPECT_TRUE(race->m_resultsShown);
    EXPECT_FALSE(race->m_leave);
  }

  // A dialog already open shows nothing more; an unknown mode ends the race
  // and leaves the network game.
  start(1);
  hud().raceResult = true;
  race->showResults();
  EXPECT_NE(hud().calls.back(), "showRaceResults");
  start(1);
  config.m_game.set(5);
  race->showResults();
  EXPECT_TRUE(race->m_leave);
  EXPECT_EQ(config.m_showHighscores, 0);
  EXPECT_EQ(control.getState(), NetControl::kStateLeft);
}

}  // namespace
