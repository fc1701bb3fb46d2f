// One frame of track 0 from its camera on OpenGL (run under Xvfb): sky at
// the top, road below the middle, fog toward the horizon; the same frame
// again after the device was lost and reset. The frame is kept as
// "track0.bmp" in the working folder for a person to look at.
#include <gtest/gtest.h>

#include <fstream>

#include "content/bmp_writer.h"
#include "tests/scene/scene_gl_fixture.h"
#include "tests/track/track_fixture.h"

namespace {

class TrackFrame : public SceneGlTest {
 protected:
  void SetUp() override {
    SceneGlTest::SetUp();
    root = std::make_unique<SceneRoot>(pipeline.get(), "race");
    scene = loader.load(*root);
  }
  // The whole back buffer, top row first, as 0xRRGGBB; empty on a GL error.
  std::vector<std::uint32_t> frame() {
    scene->render(0.0, true);
    std::vector<DWORD> pixels(static_cast<std::size_t>(width * height));
    if (device->ReadBackBuffer(0, 0, static_cast<UINT>(width), static_cast<UINT>(height), pixels.data()) != D3D_OK)
      return {};
    std::vector<std::uint32_t> rows(pixels.begin(), pixels.end());
    for (std::uint32_t& p : rows) p &= 0xFFFFFF;
    return rows;
  }

  TrackLoader loader;
};

TEST_F(TrackFrame, TheTrackCameraSeesSkyRoadAndFogAndSurvivesAReset) {
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(lastMessage(), "");
  const std::vector<std::uint32_t> first = frame();
  ASSERT_FALSE(first.empty()) << "GL error";
  {
    const auto bytes = writeBmp24(width, height, first);
    std::ofstream("track0.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  auto at = [&](float x, float y) { return first[static_cast<int>(y * height) * width + static_cast<int>(x * width)]; };

  // The sky (0.36, 0.55, 0.82), drawn unlit and without fog.
  for (float x : {0.05f, 0.5f, 0.95f}) EXPECT_TRUE(near(at(x, 0.01f), 0x5C8CD1, 2)) << std::hex << at(x, 0.01f);
  // The asphalt: a dark, even grey below the middle.
  for (float x : {0.45f, 0.5f, 0.55f}) {
    const std::uint32_t road = at(x, 0.8f);
    EXPECT_LT(std::abs(channel(road, 16) - channel(road, 0)), 24) << std::hex << road;
    EXPECT_GT(channel(road, 8), 30) << std::hex << road;
    EXPECT_LT(channel(road, 8), 140) << std::hex << road;
  }
  // Where the sky ends the ground lies beyond the fog's end: fog colour.
  int horizon = 0;
  while (horizon < height / 2 && near(at(0.5f, static_cast<float>(horizon) / height), 0x5C8CD1, 2)) ++horizon;
  ASSERT_LT(horizon, height / 2 - 3);
  const std::uint32_t far = at(0.5f, static_cast<float>(horizon + 3) / height);
  EXPECT_TRUE(near(far, 0xB8C2CC, 4)) << std::hex << far;

  // Lost and reset: the scene root's hooks bring back the same picture.
  DeviceOwner* owners[] = {root.get()};
  device->SimulateDeviceLoss(true);
  device->SimulateDeviceLoss(false);
  ASSERT_EQ(manager->restoreDevices(owners), D3D_OK);
  EXPECT_EQ(frame(), first);
}

}  // namespace
