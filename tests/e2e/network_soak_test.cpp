// Network races as the hosting game runs them, race after race: the relay
// on a thread of its own on a free port, the host's and the guest's
// machines in this process with their own controls (and receive threads),
// every frame on the system clock. Both drive with the throttle and are put
// back on the road now and then; the host's computer drivers race along.
// Run under the sanitizers (the address build in `make test`, the thread
// build through scripts/tsan-soak), a report fails the run.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "foundation/archive_file.h"
#include "foundation/random.h"
#include "foundation/timer.h"
#include "game/kart/vehicle_master.h"
#include "net/relay_server.h"
#include "platform/input/dinput.h"
#include "tests/e2e/network_race_machine.h"
#include "tests/support/eventually.h"
#include "tests/support/sample_archive.h"
#include "tests/support/scratch_dir.h"

namespace {

using Wall = std::chrono::steady_clock;
constexpr unsigned kSeatMs = 10000;

class NetworkSoak : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TESSALINE_TEXTURE_CACHE", (m_scratch.m_root / "cache").c_str(), 1);
    engineSrand(7);
    ASSERT_NE(m_screen.pipeline(), nullptr);
    ASSERT_TRUE(m_relay.waitListening());
  }
  void TearDown() override { unsetenv("TESSALINE_TEXTURE_CACHE"); }

  // One race from the lobby to the menu: both take their seats (the host
  // anew, as each race's lobby does), load, race `frames` frames each with
  // put-backs, and leave, the host first after even races.
  void race(int number, int frames) {
    SCOPED_TRACE("race " + std::to_string(number));
    auto host = std::make_unique<NetworkRaceMachine>(m_screen.pipeline(), systemClock(), true);
    auto guest = std::make_unique<NetworkRaceMachine>(m_screen.pipeline(), systemClock(), false);
    ASSERT_TRUE(host->seat(m_relay.port()));
    host->choose(0);
    host->config.m_laps.set(kLaps);
    host->control.update();
    ASSERT_TRUE(guest->seat(m_relay.port()));
    guest->choose(1);
    ASSERT_TRUE(guest->exchangeUntil([&] { return guest->config.m_player[0].get().kart == 0; }, kSeatMs));
    ASSERT_TRUE(host->exchangeUntil([&] { return host->config.m_player[1].get().kart == 1; }, kSeatMs));
    ASSERT_TRUE(host->load(builtSampleArchive()));
    ASSERT_TRUE(guest->load(builtSampleArchive()));
    host->startMarkers();
    guest->startMarkers();
    host->pressSpace();
    guest->pressSpace();

    // The countdown, at real time on both.
    int frame = 0;
    const auto racing = [&] {
      return host->race->m_countdownState == Race::kCountdownRacing &&
             guest->race->m_countdownState == Race::kCountdownRacing;
    };
    const auto countdownEnd = Wall::now() + std::chrono::seconds(60);
    while (!racing() && Wall::now() < countdownEnd) {
      ++frame;
      for (NetworkRaceMachine* m : {host.get(), guest.get()}) m->frame(frame);
    }
    ASSERT_TRUE(racing()) << "the countdown did not end on both";
    for (NetworkRaceMachine* m : {host.get(), guest.get()}) m->driver->pedal = ScriptedDriver::Pedal::Throttle;

    int putBacks = 0;
    for (int racingFrame = 1; racingFrame <= frames; ++racingFrame) {
      ++frame;
      for (NetworkRaceMachine* m : {host.get(), guest.get()}) {
        // Backspace for one frame now and then, the two machines in turn:
        // the kart is put back on the road wherever it is.
        const int offset = m == host.get() ? 0 : kPutBackEvery / 2;
        const bool putBack = (racingFrame + offset) % kPutBackEvery == 0;
        m->input.m_key[DIK_BACK] = putBack ? 0x80 : 0;
        putBacks += putBack;
        m->frame(frame);
        if (frame % 200 == 0) m_screen.forgetCalls();
      }
      ASSERT_TRUE(host->control.isConnected() && guest->control.isConnected()) << "frame " << frame;
    }
    EXPECT_GE(putBacks, 2 * (frames / kPutBackEvery));
    m_putBacks += putBacks;
    // Each saw the other's frames all along.
    EXPECT_GT(host->inMarker->received(), frame - frames / 2);
    EXPECT_GT(guest->inMarker->received(), frame - frames / 2);

    // Back to the menu; the one that stays sees the other gone.
    NetworkRaceMachine& first = number % 2 == 0 ? *host : *guest;
    NetworkRaceMachine& second = number % 2 == 0 ? *guest : *host;
    const int heard = number % 2 == 0 ? NetControl::kStateHostLeft : NetControl::kStatePlayerLeft;
    // As the results dialog does: the game is left, then the race unloaded.
    first.control.leave();
    EXPECT_TRUE(first.race->unload());
    // A machine still in the race keeps its frames going meanwhile.
    const bool told = eventually(
        [&] {
          second.frame(++frame);
          return second.control.getState() == heard;
        },
        10000);
    EXPECT_TRUE(told) << "the machine left behind was not told: state " << second.control.getState()
                      << (second.control.isConnected() ? ", connected" : ", not connected");
    second.control.leave();
    EXPECT_TRUE(second.race->unload());
  }

  // Races for about `seconds` of wall time, at least `minRaces`.
  void soak(double seconds, int minRaces, int frames) {
    const auto end = Wall::now() + std::chrono::duration_cast<Wall::duration>(std::chrono::duration<double>(seconds));
    int races = 0;
    while (races < minRaces || Wall::now() < end) {
      ASSERT_NO_FATAL_FAILURE(race(races, frames));
      ++races;
    }
    RecordProperty("races", races);
    RecordProperty("put_backs", m_putBacks);
    // Every connection the races made has ended at the relay.
    EXPECT_TRUE(eventually([&] { return m_relay.server()->connectionCount() == 0; }, 10000));
  }

  static constexpr int kLaps = 3;
  static constexpr int kPutBackEvery = 40;

  int m_putBacks = 0;
  ScratchDir m_scratch;
  RecordingScreen m_screen;
  GameDaemon::ServerThread m_relay{0};
};

TEST_F(NetworkSoak, RaceAfterRaceWithPutBacksOverARelayThread) { soak(0, 2, 120); }

// The long form: ten minutes of races (TESSALINE_SOAK_SECONDS to change),
// each of 1200 frames a machine after the countdown.
TEST_F(NetworkSoak, TenMinutesOfRaces) {
  const char* text = std::getenv("TESSALINE_SOAK_SECONDS");
  soak(text ? std::atof(text) : 600.0, 1, 1200);
}

}  // namespace
