// A split-screen race frame of sample track 0 on OpenGL (run under Xvfb):
// its top half is what camera 0 alone draws into a half-height view, its
// bottom half what camera 1 alone draws there. The frame is kept as
// "race_split.bmp" in the test's temporary folder for a person to look at.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "content/bmp_writer.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "input/input_device.h"
#include "scene/scene.h"
#include "tests/support/race_gui_recorder.h"
#include "tests/support/recording_sound.h"
#include "tests/support/scratch_dir.h"
#include "tests/track/track_fixture.h"

namespace {

class TrackRaceFrame : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    buildOnGl();
    device = pipeline->currentDevice;
    ASSERT_NE(device, nullptr);
    D3DPRESENT_PARAMETERS p{};
    device->GetPresentParameters(&p);
    width = static_cast<int>(p.BackBufferWidth);
    height = static_cast<int>(p.BackBufferHeight);
    pipeline->requestedWidth = width;
    pipeline->requestedHeight = height;
    pipeline->soundDevice = &sound;
    race = std::make_unique<Race>(pipeline.get(), &gui, control);
  }
  void TearDown() override {
    race.reset();
    pipeline.reset();
    PipelineTest::TearDown();
  }
  // Two players on one screen, the other four karts the computer's.
  bool loadSplitScreen() {
    config.m_game.set(1);
    config.m_track.set(0);
    config.m_ccm.set(0);
    config.m_playType = 1;
    config.m_isAuthority = 1;
    for (int i = 0; i < Config::kPlayerCount; ++i) {
      ConfigPlayer* r = config.m_player[i].modify();
      r->character = r->kart = i < 2 ? i : -1;
      r->startPosition = i;
      config.m_controlType[i] = i == 0 ? kControlUser1 : kControlUser2;
    }
    return race->load(&trackArchive(), &sound, config);
  }
  // Rows [first, first + rows) of the back buffer, top row first, RGB; empty
  // on a GL error.
  std::vector<std::uint32_t> rows(int first, int count) {
    std::vector<DWORD> pixels(static_cast<std::size_t>(width * count));
    if (device->ReadBackBuffer(0, static_cast<UINT>(first), static_cast<UINT>(width), static_cast<UINT>(count),
                               pixels.data()) != D3D_OK)
      return {};
    std::vector<std::uint32_t> out(pixels.begin(), pixels.end());
    for (std::uint32_t& p : out) p &= 0xFFFFFF;
    return out;
  }
  // What `camera` alone draws into the top half-height view.
  std::vector<std::uint32_t> alone(SceneItem* camera) {
    pipeline->restoreBackBuffer();
    pipeline->viewportX = pipeline->viewportY = 0;
    pipeline->targetWidth = width;
    pipeline->targetHeight = height / 2;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->BeginScene();
    pipeline->setViewport(0, 0, width, height / 2, 0.0f, 1.0f);
    race->m_scene->renderPass(race->m_simTime, camera);
    device->EndScene();
    return rows(0, height / 2);
  }
  static int differing(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    int n = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
      for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF);
        if (d > 2 || d < -2) {
          ++n;
          break;
        }
      }
    }
    return n;
  }

  TrackLoader cache;  // the texture cache in a folder of its own
  ScratchDir scratch;
  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  RecordingSoundDevice sound;
  RecordingRaceGui gui;
  std::unique_ptr<Race> race;
  IDirect3DDevice9* device = nullptr;
  int width = 0, height = 0;
};

TEST_F(TrackRaceFrame, ASplitScreenFrameHoldsEachCamerasHalfHeightViewOneAboveTheOther) {
  ASSERT_TRUE(loadSplitScreen());
  ASSERT_EQ(race->m_viewCount, 2);
  InputDevice input;
  race->renderViews(input);
  // Every kart's fifteen explosion and smoke parts face the camera of the
  // view drawn last.
  for (Vehicle* kart : race->m_karts) {
    ASSERT_NE(kart, nullptr);
    for (SceneItem* part : kart->m_items.explosionParts) EXPECT_EQ(part->target, race->viewCamera(1));
    for (SceneItem* puff : kart->m_items.smoke) EXPECT_EQ(puff->target, race->viewCamera(1));
  }
  // Each view's rectangle comes from the race camera.
  ASSERT_EQ(pipeline->viewportY, height / 2);
  ASSERT_EQ(pipeline->targetHeight, height / 2);
  const std::vector<std::uint32_t> top = rows(0, height / 2), bottom = rows(height / 2, height / 2);
  ASSERT_FALSE(top.empty()) << "GL error";
  ASSERT_FALSE(bottom.empty()) << "GL error";
  {
    std::vector<std::uint32_t> whole = top;
    whole.insert(whole.end(), bottom.begin(), bottom.end());
    const auto bytes = writeBmp24(width, height, whole);
    std::ofstream(std::filesystem::path(::testing::TempDir()) / "race_split.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  SceneItem* cameras[2] = {race->viewCamera(0), race->viewCamera(1)};
  ASSERT_NE(cameras[0], nullptr);
  ASSERT_NE(cameras[1], nullptr);
  const std::vector<std::uint32_t> first = alone(cameras[0]), second = alone(cameras[1]);
  ASSERT_FALSE(first.empty()) << "GL error";
  ASSERT_FALSE(second.empty()) << "GL error";
  // The two karts stand side by side: the views differ, each matches its
  // camera's.
  const int pixels = width * (height / 2);
  EXPECT_GT(differing(first, second), pixels / 100) << "two different views";
  EXPECT_LE(differing(top, first), pixels / 1000);
  EXPECT_LE(differing(bottom, second), pixels / 1000);
}

}  // namespace
