// The race camera's rectangles and angles drawn on the OpenGL device under
// Xvfb: a square's size on screen gives back each view's angles, and view 1
// of a split screen lands in the lower half of the picture (ReadBackBuffer
// reads rows top first, as Present shows them).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "game/race/race.h"
#include "input/input_device.h"
#include "net/net_control.h"
#include "tests/scene/scene_gl_fixture.h"

namespace {

constexpr DWORD kRed = 0xFF0000, kGreen = 0x00FF00;
// A square 10 ahead spanning 15 degrees each way from the centre: a view of
// half-angle a shows it over tan 15 / tan a of its width.
constexpr float kDepth = 10.0f;
const double kTan15 = std::tan(15.0 * std::numbers::pi / 180.0);

double spanOf(double viewAngle) { return kTan15 / std::tan(viewAngle * std::numbers::pi / 360.0); }

class RaceCameraGlTest : public SceneGlTest {
 protected:
  void SetUp() override {
    SceneGlTest::SetUp();
    race = std::make_unique<Race>(pipeline.get(), nullptr, control);
    race->m_scene = scene;  // no kart: the views' cameras stay where they are put
    addObject(addSquare(addSurface("red", 1, 0, 0), static_cast<float>(kDepth * kTan15)), 0, 0, kDepth);
  }
  void TearDown() override {
    race->m_scene = nullptr;
    race.reset();
    SceneGlTest::TearDown();
  }
  // The frame's order for one view: the camera's step, then the pass.
  void drawView(int view) {
    race->updateCamera(view, input);
    scene->renderPass(0.0, camera);
  }
  void clearScreen() {
    pipeline->setViewport(0, 0, width, height, 0.0f, 1.0f);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  }
  // How many pixels of `colour` lie on row y, or on column x.
  int run(int x, int y, bool alongRow, DWORD colour) {
    std::vector<DWORD> line(static_cast<std::size_t>(alongRow ? width : height));
    const UINT w = alongRow ? static_cast<UINT>(width) : 1, h = alongRow ? 1 : static_cast<UINT>(height);
    EXPECT_EQ(device->ReadBackBuffer(alongRow ? 0 : x, alongRow ? y : 0, w, h, line.data()), D3D_OK);
    return static_cast<int>(std::count_if(line.begin(), line.end(), [&](DWORD p) { return (p & 0xFFFFFF) == colour; }));
  }

  NetControl control;
  InputDevice input;
  std::unique_ptr<Race> race;
};

TEST_F(RaceCameraGlTest, OneViewSpans45By35DegreesOverTheWholeScreen) {
  clearScreen();
  drawView(0);
  EXPECT_NEAR(run(0, height / 2, true, kRed), spanOf(45.24) * width, 2.0);
  EXPECT_NEAR(run(width / 2, 0, false, kRed), spanOf(34.71) * height, 2.0);
  EXPECT_EQ(pixelAt(0, 0), kRed) << "centred";

  // At the race's zoom of 1.5 the picture widens by 3.2 / 1.5.
  camera->zoomFactor.value = 1.5f;
  clearScreen();
  drawView(0);
  EXPECT_NEAR(run(0, height / 2, true, kRed), spanOf(45.24) * width * 1.5 / 3.2, 2.0);
}

TEST_F(RaceCameraGlTest, ASplitScreenShowsView0OnTopAndView1BelowEachAt80By35Degrees) {
  race->m_viewCount = 2;
  const int half = height / 2;
  clearScreen();
  drawView(1);
  EXPECT_NEAR(run(0, half + half / 2, true, kRed), spanOf(79.61) * width, 2.0);
  EXPECT_NEAR(run(width / 2, 0, false, kRed), spanOf(34.71) * half, 2.0) << "all of it in the lower half";
  EXPECT_EQ(pixelAt(0, -0.5f), kRed) << "centred in the lower half";
  if (width * 3 == height * 4) {
    EXPECT_NEAR(run(0, half + half / 2, true, kRed), run(width / 2, 0, false, kRed), 2.0) << "8:3 keeps it square";
  }

  // View 0 turned to a green wall that fills all it sees: the upper half.
  addObject(addSquare(addSurface("green", 0, 1, 0), 100.0f), 0, 0, -kDepth)->rotation[0].value =
      std::numbers::pi_v<float>;
  const float back[3] = {0.0f, std::numbers::pi_v<float>, 0.0f};
  camera->setRotation(back, false);
  drawView(0);
  EXPECT_EQ(run(0, 0, false, kGreen), half);
  EXPECT_EQ(pixelAt(0, 0.99f), kGreen);
  EXPECT_EQ(pixelAt(0, -0.5f), kRed) << "view 1 stays below";
}

}  // namespace
