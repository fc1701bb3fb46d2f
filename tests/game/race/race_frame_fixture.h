// Race frames on a clock the test moves by hand: the small written race of
// race_fixture.h loaded on the recording devices, an input device whose
// keys the test presses, and helpers that place karts and run frames.
#pragma once

#include <cstdint>

#include "foundation/timer.h"
#include "game/kart/vehicle_master.h"
#include "input/input_device.h"
#include "tests/game/race/race_fixture.h"
#include "tests/support/stepped_clock.h"

class RaceFrameTest : public RaceTest {
 protected:
  void SetUp() override {
    RaceTest::SetUp();
    race = std::make_unique<Race>(pipeline.get(), &gui, control, clock);
  }
  // A six-kart race (or a time trial) loaded and its timer running from 0.
  void loadRunning(int game = 1) {
    race_fixture::chooseRace(config, game);
    ASSERT_TRUE(load());
    race->m_timer->start();
  }
  // The clock `seconds` on and the timer told, as a frame's tick does.
  void advance(double seconds) {
    clock.advance(seconds);
    race->m_timer->tick();
  }
  VehicleMaster& kart(int k) { return *race->m_karts[k]->getMaster(); }
  void place(int k, const Position3& at) { kart(k).setKartMatrix(kartMatrix({0.0f, 1.0f, 0.0f}, 0.0f, at, 0.75f)); }
  Position3 positionOf(int k) {
    Position3 at;
    kart(k).getPosition(at);
    return at;
  }
  void activateAll() {
    for (Vehicle* each : race->m_karts)
      if (each) each->m_net.m_active.set(true);
  }
  void press(std::uint8_t key) { input.m_key[key] = 0x80; }
  RecordingRaceDisplays& displays() { return *gui.displays; }

  SteppedClock clock{0};
  InputDevice input;
};
