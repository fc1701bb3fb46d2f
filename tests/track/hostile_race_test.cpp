// Races on sample track 0 loaded from doctored archives and driven: kart
// tunings with NaN in one field or every field at an infinity, 3e38 or
// -50 (the process ended inside ODE within a second), driving lines and
// respawn points with NaN, 3e38 and infinite points (it ended within two
// seconds of a driver put back on its line, or the kart was lost for good),
// point files of nothing but such points, and lines longer than any lap
// (copied for every computer driver). Each race loads, runs 300 frames with
// every kart put back on the track twice, its karts stay on the track, and
// the trace names each refused file once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "content/byte_writer.h"
#include "game/kart/controller_ai.h"
#include "game/kart/vehicle_master.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "game/track/point_file.h"
#include "input/input_device.h"
#include "tests/foundation/memory_bound.h"
#include "tests/support/doctored_archive.h"
#include "tests/support/race_choice.h"
#include "tests/support/race_gui_recorder.h"
#include "tests/support/recording_sound.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/stepped_clock.h"
#include "tests/support/trace_capture.h"
#include "tests/track/track_fixture.h"

namespace {

using Bytes = DoctoredArchive::Bytes;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

Bytes floats(const std::vector<float>& values) {
  Bytes out;
  for (float v : values) content_bytes::putF32(out, v);
  return out;
}

// The ten values of a tuning file: the sample's, `field` set to `value`
// (every field when `field` is -1).
Bytes tuning(int field, float value) {
  std::vector<float> values = {0.29f, 0.58f, 0.000368f, 9.0f, 187.0f, 748.0f, -0.001216f, -0.000504f, -0.0016f, 0.5f};
  for (int i = 0; i < 10; ++i)
    if (field == -1 || field == i) values[static_cast<std::size_t>(i)] = value;
  return floats(values);
}

std::string tuningFile(int engineClass, int character) {
  static const char* const kClasses[] = {"50", "100", "150"};
  return std::string("carsettings_") + kClasses[engineClass] + "_" + std::to_string(character) + ".dat";
}

// `records` (16 bytes each) with a bad point after every fourth: NaN, the
// infinities and +-3e38 in turn, in x, y or z.
Bytes withBadPoints(const Bytes& records) {
  const float bad[] = {kNaN, kInf, -kInf, 3e38f, -3e38f};
  Bytes out;
  for (std::size_t i = 0; i + 16 <= records.size(); i += 16) {
    out.insert(out.end(), records.begin() + static_cast<std::ptrdiff_t>(i),
               records.begin() + static_cast<std::ptrdiff_t>(i + 16));
    if (i / 16 % 4 == 3) {
      std::vector<float> point = {1.0f, 0.0f, 1.0f, 0.3f};
      point[i / 64 % 3] = bad[i / 64 % 5];
      const Bytes one = floats(point);
      out.insert(out.end(), one.begin(), one.end());
    }
  }
  return out;
}

class HostileRace : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    pipeline->soundDevice = &sound;
    pipeline->requestedWidth = 800;
    pipeline->requestedHeight = 600;
    race = std::make_unique<Race>(pipeline.get(), &gui, control, clock);
  }
  void TearDown() override {
    race.reset();
    pipeline.reset();
    PipelineTest::TearDown();
  }
  // A race of six karts on track 0: kart 0 the player's (pressing nothing),
  // the others the computer's.
  bool load(File& archive, int engineClass = 0) {
    chooseOnePlayerRace(config, 1, 0, engineClass, 3, kControlUserSingle, kControlUserSingle);
    return race->load(&archive, &sound, config);
  }
  // 300 frames of 0.02 s, every kart put back on the track at frames 50
  // and 150; then every kart must stand inside the track's extent.
  void drive() {
    race->m_timer->start();
    for (Vehicle* kart : race->m_karts)
      if (kart) kart->m_net.m_active.set(true);
    for (int frame = 0; frame < 300; ++frame) {
      if (frame == 50 || frame == 150)
        for (Vehicle* kart : race->m_karts)
          if (kart && kart->getMaster()) kart->getMaster()->respawn();
      clock.advance(0.02);
      race->m_timer->tick();
      race->update(input);
    }
    const TrackExtent extent = TrackExtent::ofTrack(0);
    for (Vehicle* kart : race->m_karts) {
      ASSERT_NE(kart, nullptr);
      Position3 at;
      kart->getPosition(at);
      EXPECT_TRUE(extent.contains(at)) << "kart " << kart->index() << " at " << at.x << ", " << at.y << ", " << at.z;
    }
  }
  ControllerAI* driver(int k) { return dynamic_cast<ControllerAI*>(race->m_karts[k]->getMaster()->controller()); }

  TrackLoader cache;  // the texture cache in a folder of its own
  ScratchDir scratch;
  SteppedClock clock{0};
  InputDevice input;
  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  RecordingSoundDevice sound;
  RecordingRaceGui gui;
  std::unique_ptr<Race> race;
};

// Each character's tuning file doctored its own way: NaN in one of the
// fields the kart step uses, or every field at one bad value.
TEST_F(HostileRace, TuningValuesOutOfRangeKeepTheirDefaultsAndTheKartsDrive) {
  const int kNaNFields[] = {2, 4, 7, 8, 9};  // acceleration, drift inertia, roll, gravity, vertical gain
  const float kEveryField[] = {kInf, -kInf, 3e38f, -50.0f, kNaN, -3e38f, 0.0f};
  for (int engineClass = 0; engineClass < 2; ++engineClass) {
    SCOPED_TRACE("engine class " + std::to_string(engineClass));
    DoctoredArchive::Changes changes;
    for (int character = 0; character < 6; ++character) {
      const Bytes bytes = engineClass == 0 && character < 5 ? tuning(kNaNFields[character], kNaN)
                                                            : tuning(-1, kEveryField[engineClass * 6 + character - 5]);
      changes.emplace_back(tuningFile(engineClass, character), bytes);
    }
    DoctoredArchive doctored(changes);
    TraceCapture trace;
    race = std::make_unique<Race>(pipeline.get(), &gui, control, clock);
    ASSERT_TRUE(load(doctored.archive(), engineClass));
    for (int k = 0; k < 6; ++k) {
      const KartTuning& t = race->m_karts[k]->tuning();
      for (float v : {t.maxSpeed, t.acceleration, t.driftInertia, t.skidInertia, t.brakeDeceleration,
                      t.rollDeceleration, t.gravity, t.verticalGain})
        EXPECT_TRUE(std::isfinite(v)) << "kart " << k;
    }
    drive();
    for (int character = 0; character < 6; ++character) {
      const std::string file = tuningFile(engineClass, character);
      std::size_t lines = 0;
      for (const std::string& line : trace.lines())
        lines +=
            line.rfind("kart tuning \"" + file + "\": ", 0) == 0 && line.ends_with(" out of range; the default stays");
      EXPECT_EQ(lines, 1u) << file;
    }
  }
}

// Lines and respawn points with bad points among good ones, then files of
// nothing but bad points: the bad ones are dropped as they are read, an
// empty list is a track without one, and the karts stay on the track.
TEST_F(HostileRace, PointsThatAreNotFiniteOrBeyondTheTrackAreDroppedAndTheKartsStayOnIt) {
  const SampleTrack& track = track0::track();
  std::vector<std::string> files = {aiFile(track, "ai_respawn.dat"), aiFile(track, "ai_rakete.dat")};
  for (int line = 0; line < kAiLineCount; ++line) files.push_back(aiLineFile(track, line));
  for (bool onlyBad : {false, true}) {
    SCOPED_TRACE(onlyBad ? "nothing but bad points" : "bad points among good ones");
    DoctoredArchive::Changes changes;
    for (const std::string& file : files) {
      const Bytes sample = DoctoredArchive::sampleEntry(file);
      ASSERT_FALSE(sample.empty()) << file;
      Bytes doctored = withBadPoints(sample);
      if (onlyBad) {
        Bytes bad;
        for (std::size_t i = 0; i + 16 <= doctored.size(); i += 16)
          if (i / 16 % 5 == 4) bad.insert(bad.end(), doctored.begin() + i, doctored.begin() + i + 16);
        doctored = bad;
      }
      changes.emplace_back(file, doctored);
    }
    DoctoredArchive doctored(changes);
    TraceCapture trace;
    race = std::make_unique<Race>(pipeline.get(), &gui, control, clock);
    ASSERT_TRUE(load(doctored.archive()));
    const VehicleMaster& player = *race->m_karts[0]->getMaster();
    if (onlyBad) {
      EXPECT_TRUE(player.respawnPoints().empty());
      EXPECT_EQ(driver(1)->line(0).size(), 1u) << "the track's origin, as a track without the line";
    } else {
      EXPECT_EQ(player.respawnPoints().size(), DoctoredArchive::sampleEntry(files[0]).size() / 16);
    }
    drive();
    for (const std::string& file : files) {
      std::size_t lines = 0;
      for (const std::string& line : trace.lines())
        lines += line.rfind("point file \"" + file + "\": ", 0) == 0 &&
                 line.ends_with(" not finite or beyond the track; they are dropped");
      EXPECT_EQ(lines, 1u) << file;
    }
  }
}

// Seven driving lines of 262,144 points each (4 MB a file) took a copy
// apiece for every computer driver. The lines are read up to 16,384 points,
// once, and the drivers share them.
TEST_F(HostileRace, LongLinesAreCutAndSharedByTheDrivers) {
  const SampleTrack& track = track0::track();
  Bytes longLine;
  const Bytes sample = DoctoredArchive::sampleEntry(aiLineFile(track, 0));
  ASSERT_FALSE(sample.empty());
  while (longLine.size() < (std::size_t{4} << 20)) longLine.insert(longLine.end(), sample.begin(), sample.end());
  longLine.resize(std::size_t{4} << 20);
  DoctoredArchive::Changes changes;
  for (int line = 0; line < kAiLineCount; ++line) changes.emplace_back(aiLineFile(track, line), longLine);
  DoctoredArchive doctored(changes), plain({});

  const auto loadGrowth = [&](File& archive) {
    race = std::make_unique<Race>(pipeline.get(), &gui, control, clock);
    const MemoryUse use = measureMemory([&] { return load(archive) ? 0 : 1; });
    EXPECT_EQ(use.result, 0);
    return use.peakGrowth;
  };
  const long long before = loadGrowth(plain.archive());
  const long long doctoredGrowth = loadGrowth(doctored.archive());
  EXPECT_LE(doctoredGrowth, before + (32LL << 20)) << "the plain race took " << before;

  TraceCapture trace;
  race = std::make_unique<Race>(pipeline.get(), &gui, control, clock);
  ASSERT_TRUE(load(doctored.archive()));
  for (int line = 0; line < kAiLineCount; ++line) {
    EXPECT_EQ(driver(1)->line(line).size(), static_cast<std::size_t>(PointRecord::kMaxRecords));
    EXPECT_EQ(trace.count("point file \"" + aiLineFile(track, line) +
                          "\": more than 16384 points; the rest is "
                          "not read"),
              1u);
  }
  for (int k = 2; k < 6; ++k) EXPECT_EQ(&driver(k)->line(0), &driver(1)->line(0)) << "one copy";
  drive();
}

}  // namespace
