// Whole races before the GUI: sample track 0 from the sample "data.sar",
// real ODE, OpenGL under Xvfb, the mixer on SDL's dummy driver, and the
// recording in-race displays. The race timer reads the test's clock, which
// moves 0.2 s a frame, so a race runs faster than it would be played. The
// soak of ten races is the long form of the soak of four.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/archive_file.h"
#include "foundation/file.h"
#include "foundation/random.h"
#include "foundation/timer.h"
#include "game/kart/vehicle_master.h"
#include "game/race/race.h"
#include "game/race/race_factory.h"
#include "game/saves/config.h"
#include "input/input_device.h"
#include "lightwave/lwo2_loader.h"
#include "net/net_control.h"
#include "platform/input/key_codes.h"
#include "sound/sound_system.h"
#include "tests/net/live_heap.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/support/audio_driver.h"
#include "tests/support/race_choice.h"
#include "tests/support/race_gui_recorder.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/scripted_driver.h"
#include "tests/support/stepped_clock.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRaceMode = 1;  // six karts, laps to the finish

int entriesOf(const char* folder) {
  int count = 0;
  if (DIR* d = ::opendir(folder)) {
    while (const dirent* e = ::readdir(d))
      if (e->d_name[0] != '.') ++count;
    ::closedir(d);
  }
  return count;
}

class RaceEndToEnd : public PipelineTest {
 protected:
  static constexpr double kFrame = 0.2;  // the most one frame simulates
  static constexpr int kMaxFrames = 4000;

  void SetUp() override {
    PipelineTest::SetUp();
    scratch = std::make_unique<ScratchDir>();
    fs::copy_file(TESSALINE_SAMPLE_ARCHIVE, "data.sar");
    cache = std::make_unique<ScopedCache>(scratch->m_root / "cache");
    // A small window: the rasteriser's time is not what is tested here.
    setDirect3DFactory(nullptr);
    manager = std::make_unique<DeviceManager>();
    manager->settings->windowed = true;
    manager->settings->windowWidth = 320;
    manager->settings->windowHeight = 240;
    ASSERT_TRUE(manager->enumerateAdapters("Error", "no d3d", "no tnl")) << "run under xvfb-run";
    ::Setup setup(manager.get());
    setup.run();
    ASSERT_TRUE(manager->createRenderWindow("Orbivane", nullptr));
    pipeline = std::make_unique<RenderPipeline>(*manager);
    D3DPRESENT_PARAMETERS p{};
    pipeline->currentDevice->GetPresentParameters(&p);
    pipeline->requestedWidth = static_cast<int>(p.BackBufferWidth);
    pipeline->requestedHeight = static_cast<int>(p.BackBufferHeight);

    installLightWaveLoaders();
    archive = std::make_unique<ArchiveFile>(DiskFile());
    ASSERT_TRUE(archive->mount("data.sar"));
    sound = std::make_unique<SoundSystem>(nullptr);
    pipeline->soundDevice = sound->openDevice(kDefaultSoundDeviceGuid);
    race = std::make_unique<Race>(pipeline.get(), &gui, control, clock);
  }
  void TearDown() override {
    race.reset();
    if (pipeline) pipeline->soundDevice = nullptr;
    sound.reset();
    archive.reset();
    pipeline.reset();
    cache.reset();
    scratch.reset();
    PipelineTest::TearDown();
  }

  // Player 0 on its keys, the other five records left for the race to fill
  // with computer drivers.
  bool load(int laps) {
    chooseOnePlayerRace(config, kRaceMode, 0, 0, laps, kControlUserSingle, kControlUserSingle);
    if (!race->load(archive.get(), pipeline->soundDevice, config)) return false;
    driver = std::make_unique<ScriptedDriver>(input, config, *race->m_karts[0]->getMaster());
    return true;
  }
  // Frames until the race's result dialog opens; false when it never does.
  bool runToResults() {
    input.m_key[DIK_SPACE] = 0x80;  // the countdown starts
    for (int frame = 0; frame < kMaxFrames; ++frame) {
      driver->press();
      clock.advance(kFrame);
      race->update(input);
      if (gui.displays && std::count(gui.displays->calls.begin(), gui.displays->calls.end(), "showRaceResults"))
        return true;
    }
    return false;
  }

  // `races` one-lap races, every one the same: what one keeps, they all
  // would.
  void soak(int races) {
    int threads = 0, descriptors = 0;
    std::size_t heap = 0;
    for (int n = 1; n <= races; ++n) {
      engineSrand(1);
      ASSERT_TRUE(load(1)) << "race " << n;
      ASSERT_TRUE(runToResults()) << "race " << n;
      ASSERT_TRUE(race->unload()) << "race " << n;
      gui.displays = nullptr;
      if (n == 2) {
        threads = entriesOf("/proc/self/task");
        descriptors = entriesOf("/proc/self/fd");
        heap = liveHeapBytes();
      }
    }
    EXPECT_EQ(entriesOf("/proc/self/task"), threads);
    EXPECT_EQ(entriesOf("/proc/self/fd"), descriptors);
    const auto now = static_cast<long long>(liveHeapBytes());
    EXPECT_LT(std::llabs(now - static_cast<long long>(heap)), 1 << 20) << "live heap " << heap << " then " << now;
  }

  // Keeps the texture cache in the test's folder.
  struct ScopedCache {
    explicit ScopedCache(const fs::path& folder) { setenv("TESSALINE_TEXTURE_CACHE", folder.c_str(), 1); }
    ~ScopedCache() { unsetenv("TESSALINE_TEXTURE_CACHE"); }
  };

  AudioDriver audio{"dummy"};
  std::unique_ptr<ScratchDir> scratch;
  std::unique_ptr<ScopedCache> cache;
  std::unique_ptr<ArchiveFile> archive;
  std::unique_ptr<SoundSystem> sound;
  SteppedClock clock;
  NetControl control;
  InputDevice input;
  Config config{&input, control, Config::SavedFile::Ignore};
  RecordingRaceGui gui;
  std::unique_ptr<Race> race;
  std::unique_ptr<ScriptedDriver> driver;
};

TEST_F(RaceEndToEnd, SixKartsFinishThreeLapsWithKartZeroDrivenByKeys) {
  ASSERT_TRUE(load(3));
  ASSERT_EQ(race->m_kartCount, 6);
  for (int i = 1; i < 6; ++i) EXPECT_EQ(config.m_controlType[i], kControlAI) << i;
  ASSERT_TRUE(runToResults()) << "kart 0 is on lap " << race->m_karts[0]->m_net.m_lap.get();

  EXPECT_EQ(race->m_karts[0]->m_net.m_lap.get(), 3);
  std::vector<int> positions;
  for (int i = 0; i < 6; ++i) {
    const ConfigPlayer& r = config.m_player[i].get();
    positions.push_back(r.position);
    const int points[] = {10, 8, 6, 4, 3, 2};
    ASSERT_GE(r.position, 0);
    ASSERT_LT(r.position, 6);
    EXPECT_EQ(r.racePoints, points[r.position]) << "record " << i;
    EXPECT_GT(r.raceTime, 0.0f) << "record " << i;
    EXPECT_TRUE(race->m_karts[i]->m_net.m_trackFinished.get()) << "kart " << i;
  }
  std::sort(positions.begin(), positions.end());
  EXPECT_EQ(positions, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(race->unload());
}

// One-lap races one after another leave no thread, descriptor or memory
// behind: measured after the second, compared after the last.
TEST_F(RaceEndToEnd, FourOneLapRacesLeaveNoThreadDescriptorOrMemoryBehind) { ASSERT_NO_FATAL_FAILURE(soak(4)); }

TEST_F(RaceEndToEnd, TenOneLapRacesLeaveNoThreadDescriptorOrMemoryBehind) { ASSERT_NO_FATAL_FAILURE(soak(10)); }

}  // namespace
