// A race on the sample archive's tracks as the game loads it, drawn by the
// test pipeline's device, heard by a recording sound device and timed by a
// clock the test moves: what the checks that race every sample track share.
// The test's parameter is the track.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "foundation/timer.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "input/input_device.h"
#include "net/net_control.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/support/race_gui_recorder.h"
#include "tests/support/recording_sound.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/stepped_clock.h"

class SampleRaceRig : public PipelineTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    pipeline->soundDevice = &sound;
    setenv("TESSALINE_TEXTURE_CACHE", (scratch.m_root / "cache").c_str(), 1);
  }
  void TearDown() override {
    race.reset();
    pipeline.reset();
    unsetenv("TESSALINE_TEXTURE_CACHE");
    PipelineTest::TearDown();
  }
  // One frame of `seconds`, as the race loop runs it.
  void frame(double seconds) {
    clock.advance(seconds);
    race->m_timer->tick();
    race->update(input);
  }

  ScratchDir scratch;
  SteppedClock clock{0};
  InputDevice input;
  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  RecordingSoundDevice sound;
  RecordingRaceGui gui;
  std::unique_ptr<Race> race;
};
