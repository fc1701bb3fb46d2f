// The loading bar drawn on the OpenGL device under Xvfb, read back to find
// the progress each report showed.
#include "scene/loading_progress.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "scene/scene_root.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/scene/scene_test_items.h"

namespace {

class LoadingProgressGl : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    buildOnGl();
    D3DPRESENT_PARAMETERS p{};
    pipeline->currentDevice->GetPresentParameters(&p);
    width = static_cast<int>(p.BackBufferWidth);
    height = static_cast<int>(p.BackBufferHeight);
    pipeline->requestedWidth = width;
    pipeline->requestedHeight = height;
    display.pipeline = pipeline.get();
    display.barLeft = 0.0f, display.barRight = 1.0f;
    display.barTop = 0.25f, display.barBottom = 0.75f;
    display.barColour = 0xFF00FF00;
  }

  // The share of the middle row that the bar's colour covers.
  float shownProgress() {
    std::vector<DWORD> row(width);
    EXPECT_EQ(pipeline->currentDevice->ReadBackBuffer(0, height / 2, width, 1, row.data()), D3D_OK);
    int green = 0;
    for (DWORD p : row) green += (p & 0xFFFFFF) == 0x00FF00;
    return static_cast<float>(green) / static_cast<float>(width);
  }

  int width = 0, height = 0;
  LoadingProgressDisplay display;
};

// An object whose preparation notes the progress the bar showed just before.
class WatchingItem : public TestItem {
 public:
  WatchingItem(Scene* scene, std::function<void()> watch) : TestItem(scene, "watcher"), m_watch(std::move(watch)) {}
  void prepare() override { m_watch(); }

 private:
  std::function<void()> m_watch;
};

TEST_F(LoadingProgressGl, TwoScenesOfTwoObjectsReportEvenStepsFromTheTexturesToTheEnd) {
  std::vector<float> seen;
  auto watch = [&] { seen.push_back(shownProgress()); };
  SceneRoot root(pipeline.get(), "race");
  for (int s = 0; s < 2; ++s) {
    auto scene = std::make_unique<Scene>(&root);
    for (int i = 0; i < 2; ++i) scene->objects.push_back(std::make_unique<WatchingItem>(scene.get(), watch));
    root.addScene(std::move(scene));
  }
  root.prepareScenes(&display);
  seen.push_back(shownProgress());

  const std::vector<float> expected = {0.72f, 0.79f, 0.86f, 0.93f, 1.0f};
  ASSERT_EQ(seen.size(), expected.size());
  for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_NEAR(seen[i], expected[i], 2.0f / width) << i;
}

TEST_F(LoadingProgressGl, TheBackgroundFollowsTheProgressAndAMissingOneClearsToBlack) {
  display.barTop = display.barBottom = 0.0f;  // no bar across the middle row
  display.backgrounds = {nullptr, nullptr, nullptr};
  pipeline->currentDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  loadingProgress(display, 1.0f);
  std::vector<DWORD> pixel(1);
  pipeline->currentDevice->ReadBackBuffer(width / 2, height / 2, 1, 1, pixel.data());
  EXPECT_EQ(pixel[0] & 0xFFFFFF, 0u);
}

}  // namespace
