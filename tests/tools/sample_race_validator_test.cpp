// The sample tracks raced as a player would meet them: six computer drivers
// at 150 cc with the extras on, in frames of 1/20 s, on the recording
// devices. Per track it prints and checks what a player sees go wrong within
// minutes: a kart behind a wall (more than 2 s in all), a kart faster than
// its turbo, a kart that makes no headway along the lap for 20 s; and, in
// the first frames after the start key, a rocket going off that nobody
// fired. The short form races each track for 10 s; the long form (label
// "long", `make test-long`) races each for 300 s.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "foundation/archive_file.h"
#include "foundation/timer.h"
#include "game/kart/controller_ai.h"
#include "game/kart/kart_items.h"
#include "game/kart/vehicle_master.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "input/input_device.h"
#include "net/net_control.h"
#include "platform/input/dinput.h"
#include "tests/support/race_choice.h"
#include "tests/support/sample_archive.h"
#include "tests/tools/sample_race_rig.h"
#include "tools/sample_data/track_pieces.h"
#include "tools/sample_data/track_samples.h"

namespace {

constexpr double kFrame = 0.05;
constexpr double kLongSeconds = 300.0;
constexpr double kShortSeconds = 10.0;
constexpr int kEngine150 = 2;
constexpr int kLapsNeverReached = 1000;
constexpr double kMostCountdown = 30.0;

// What a player would call broken.
constexpr double kMostBeyondWall = 2.0;
constexpr double kLongestWithoutHeadway = 20.0;
// A kart pushed aside by another moves by the overlap and a little more in
// the step; beyond that nothing may carry it faster than its turbo.
constexpr float kPushAllowance = 0.1f;

// Every kart under a computer driver, the player's too (kart 0 keeps the
// player's control type, so the race never ends for want of a person).
class AllComputerDrivers : public RaceFactory {
 protected:
  std::unique_ptr<Controller> makeController(const KartOrder& order) override {
    return std::make_unique<ControllerAI>(order.files, 0, order.config, order.index);
  }
};

// How far a ground point lies from a track's centre line.
class CentreLine {
 public:
  explicit CentreLine(const SampleTrack& track) {
    const int n = std::max(2000, static_cast<int>(lapLength(track) * 2.0));
    for (int i = 0; i < n; ++i) m_points.push_back(centreAt(track, static_cast<double>(i) / n));
  }
  float distance(float x, float z) const {
    float best = 1e30f;
    const std::size_t n = m_points.size();
    for (std::size_t i = 0; i < n; ++i) {
      const Point2& a = m_points[i];
      const Point2& b = m_points[(i + 1) % n];
      const float ex = b.x - a.x, ez = b.z - a.z, l2 = ex * ex + ez * ez;
      const float t = l2 > 0.0f ? std::clamp(((x - a.x) * ex + (z - a.z) * ez) / l2, 0.0f, 1.0f) : 0.0f;
      best = std::min(best, std::hypot(x - (a.x + t * ex), z - (a.z + t * ez)));
    }
    return best;
  }

 private:
  std::vector<Point2> m_points;
};

// One kart's record over the race.
struct KartWatch {
  Position3 last{};
  double beyondWall = 0.0;
  float topSpeed = 0.0f;
  std::int64_t bestProgress = -1;
  double headwaySince = 0.0;
  double longestWithoutHeadway = 0.0;
  int respawns = 0;
};

class SampleRaceValidator : public SampleRaceRig {
 protected:
  void frame() { SampleRaceRig::frame(kFrame); }
  RecordingSoundBuffer* kartSound(int k, int slot) {
    return static_cast<RecordingSoundBuffer*>(
        race->m_karts[k]->m_items.sounds[static_cast<std::size_t>(slot)].buffer.get());
  }
  // Nothing has gone off: no kart's explosion burns or was sent, and no
  // rocket hit was heard.
  void expectNoExplosion(const char* when) {
    for (int k = 0; k < Race::kMaxKarts; ++k) {
      VehicleMaster& kart = *race->m_karts[k]->getMaster();
      EXPECT_EQ(kart.m_status.explosion, 0.0f) << when << ", kart " << k;
      EXPECT_EQ(kart.m_net.m_explosionBr.get(), 0.0f) << when << ", kart " << k;
      EXPECT_EQ(kartSound(k, kSoundRocketHit)->plays, 0) << when << ", kart " << k;
    }
  }

  // The start key, then `seconds` of racing; prints the track's figures and
  // checks every kart against them.
  void raceFor(double seconds) {
    const SampleTrack& track = *findSampleTrack(GetParam());
    const CentreLine centre(track);
    race = std::make_unique<Race>(pipeline.get(), &gui, control, clock);
    chooseOnePlayerRace(config, 1, track.index, kEngine150, kLapsNeverReached, kControlUserSingle, kControlAI);
    race->setFactory(std::make_unique<AllComputerDrivers>());
    ASSERT_TRUE(race->load(&builtSampleArchive(), &sound, config));
    race->m_timer->start();

    input.m_key[DIK_SPACE] = 0x80;
    frame();
    input.m_key[DIK_SPACE] = 0;
    expectNoExplosion("the frame of the start key");
    frame();
    expectNoExplosion("the first frame after it");

    KartWatch watch[Race::kMaxKarts];
    for (int k = 0; k < Race::kMaxKarts; ++k) race->m_karts[k]->getPosition(watch[k].last);
    double raced = 0.0;
    float turbo = 0.0f;
    // The countdown takes a few seconds; a race that never starts stops
    // the loop all the same.
    for (int f = 0; raced < seconds && f < static_cast<int>((seconds + kMostCountdown) / kFrame); ++f) {
      const double before = race->m_simTime;
      frame();
      const int steps = static_cast<int>(std::lround((race->m_simTime - before) / Race::kPhysicsStep));
      if (race->m_countdownState != Race::kCountdownRacing) continue;
      raced += kFrame;
      for (int k = 0; k < Race::kMaxKarts; ++k) {
        VehicleMaster& kart = *race->m_karts[k]->getMaster();
        KartWatch& w = watch[k];
        turbo = std::max(turbo, kart.tuning().turboMaxSpeed);
        Position3 at;
        kart.getPosition(at);
        // A kart put back jumps, as it should: its respawn sound says so.
        // A magnet's pull drags a kart a tenth of the way to the magnet
        // each step, whatever its own speed: that is the magnet's effect.
        RecordingSoundBuffer* respawn = kartSound(k, kSoundRespawn);
        const bool putBack = respawn->isPlaying();
        if (putBack) {
          ++w.respawns;
          respawn->stop();
        } else if (steps > 0 && kart.m_status.magnet == 0.0f) {
          const float moved = std::hypot(at.x - w.last.x, at.z - w.last.z);
          w.topSpeed = std::max(w.topSpeed, moved / static_cast<float>(steps));
        }
        w.last = at;
        if (centre.distance(at.x, at.z) > track.wallOffset) w.beyondWall += kFrame;
        const std::int64_t progress = static_cast<std::int64_t>(kart.m_net.m_lap.get()) * 256 + kart.m_sectorHistory[0];
        if (progress > w.bestProgress) {
          w.bestProgress = progress;
          w.headwaySince = raced;
        }
        w.longestWithoutHeadway = std::max(w.longestWithoutHeadway, raced - w.headwaySince);
      }
    }

    ASSERT_GE(raced, seconds) << "the countdown never ended";
    int worstWall = 0, fastest = 0, stuckest = 0, fewestLaps = 1 << 30, mostLaps = 0, respawns = 0;
    for (int k = 0; k < Race::kMaxKarts; ++k) {
      const KartWatch& w = watch[k];
      if (w.beyondWall > watch[worstWall].beyondWall) worstWall = k;
      if (w.topSpeed > watch[fastest].topSpeed) fastest = k;
      if (w.longestWithoutHeadway > watch[stuckest].longestWithoutHeadway) stuckest = k;
      const int laps = race->m_karts[k]->m_net.m_lap.get();
      fewestLaps = std::min(fewestLaps, laps);
      mostLaps = std::max(mostLaps, laps);
      respawns += w.respawns;
    }
    std::printf(
        "track %d, %.0f s: beyond a wall %.2f s (kart %d); top speed %.4f (kart %d), turbo %.4f; longest without "
        "headway %.2f s (kart %d); laps %d to %d; %d put back\n",
        track.index, seconds, watch[worstWall].beyondWall, worstWall, watch[fastest].topSpeed, fastest, turbo,
        watch[stuckest].longestWithoutHeadway, stuckest, fewestLaps, mostLaps, respawns);
    for (int k = 0; k < Race::kMaxKarts; ++k) {
      const KartWatch& w = watch[k];
      EXPECT_LE(w.beyondWall, kMostBeyondWall) << "kart " << k << " behind a wall";
      EXPECT_LE(w.topSpeed, turbo + kPushAllowance) << "kart " << k << " faster than its turbo";
      EXPECT_LE(w.longestWithoutHeadway, kLongestWithoutHeadway) << "kart " << k << " making no headway";
    }
  }
};

TEST_P(SampleRaceValidator, SixComputerDriversStayOnTheRoadAndKeepGoingBriefly) { raceFor(kShortSeconds); }

TEST_P(SampleRaceValidator, SixComputerDriversStayOnTheRoadAndKeepGoingForFiveMinutes) { raceFor(kLongSeconds); }

INSTANTIATE_TEST_SUITE_P(EveryTrack, SampleRaceValidator, ::testing::Range(0, 8));

}  // namespace
