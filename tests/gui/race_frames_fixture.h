// Whole race frames with the game's own pieces: a race loaded from the
// sample archive the build wrote, the GUI drawing on the race's OpenGL
// device in a 1024 x 768 window (under Xvfb), the window-message input
// device, and the main loop's pass, which pumps the window's messages and
// runs Race::update. Keys and mouse clicks go in as SDL events, as a
// player's would; the race timer reads a clock the test moves by hand, and
// the sounds are recording buffers whose volumes the test reads.
#pragma once

#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "app/main_loop.h"
#include "foundation/timer.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "gui/gui.h"
#include "gui/ingame/onscreen_displays.h"
#include "input/window_input_device.h"
#include "net/net_control.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/support/recording_sound.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/stepped_clock.h"

class RaceFrames : public PipelineTest {
 protected:
  static constexpr int kWidth = 1024, kHeight = 768;
  static constexpr double kFrame = 0.05;  // seconds of race time per frame

  void SetUp() override;
  void TearDown() override;

  // Loads the race the settings describe (chooseRace first). The displays
  // are the GUI's.
  bool load();
  bool unload();
  OnscreenDisplays& displays();

  // Settings for a race of `game` on `track` with player 0 on the keys and
  // the other five records left to the race's computer drivers.
  void chooseRace(int game, int track = 0, int laps = 3);

  // One pass of the main loop `seconds` later on the race clock.
  void frame(double seconds = kFrame);
  void frames(int count, double seconds = kFrame);
  // Frames until `done` holds; false when it did not within `limit`.
  bool framesUntil(const std::function<bool()>& done, int limit);
  // The same for what another thread brings about (the relay, a receive
  // thread), which a busy machine may keep waiting however many frames run:
  // bounded by real time instead.
  bool framesUntilHeard(const std::function<bool()>& done, int milliseconds = 10000);
  // Space, then the frames through the countdown: the karts race.
  void startRace();
  // Kart k touches the line with every sector of the lap behind it, as the
  // line's surface and the position map would tell the race (how the kart
  // got there is not what these tests are about); then a frame.
  void crossLine(int k);
  float gameTime() const;

  // A key of the player's pressed or released, as the keyboard sends it,
  // delivered in the next frame.
  void keyDown(std::uint8_t dik);
  void keyUp(std::uint8_t dik);
  // Down in one frame, up in the next.
  void tap(std::uint8_t dik);
  // The left button pressed over the middle of `window` in one frame and
  // released in the next, which clicks it.
  void click(const CEGUI::Window* window);

  // The key of binding `action` of player 1 (0 left, 1 right, 2
  // accelerate, 3 brake, 6 use extra).
  std::uint8_t playerKey(int action) const;
  // The music, the track's sounds and every kart sound are silent.
  bool soundsSilent() const;
  float musicVolume() const;

  std::unique_ptr<ScratchDir> scratch;
  RecordingSoundDevice sound;
  SteppedClock clock;
  NetControl control;
  std::unique_ptr<WindowInputDevice> input;
  std::unique_ptr<Config> config;
  std::unique_ptr<Gui> gui;
  std::unique_ptr<Race> race;
  std::unique_ptr<MainLoop> loop;
  std::unique_ptr<RaceLoopOwner> owner;
  std::uint8_t active = 1;
  HWND window = nullptr;
};
