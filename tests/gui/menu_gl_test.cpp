// The menu's 3D preview on the OpenGL device under Xvfb: the chosen kart
// and character scenes drawn in the preview rectangle behind the GUI,
// scaled by the engine class.
#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "content/png_writer.h"
#include "game/saves/config.h"
#include "gui/menu/championship_screen.h"
#include "gui/menu/menu.h"
#include "input/input_device.h"
#include "lightwave/lwo2_loader.h"
#include "platform/window/cursor.h"
#include "scene/scene.h"
#include "scene/scene_item.h"
#include "tests/gui/gui_fixture.h"
#include "tests/scene/scene_gl_fixture.h"
#include "tests/support/scratch_dir.h"
#include "tools/sample_data/menu_samples.h"

namespace {

class MenuPreviewTest : public SceneGlTest {
 protected:
  void SetUp() override {
    SceneGlTest::SetUp();
    scratch = std::make_unique<ScratchDir>();  // the menu's shutdown saves "config.dat"
    installLightWaveLoaders();
    gui = std::make_unique<Gui>(pipeline.get(), &input, sampleArchive(), GuiRenderer::createOnDevice(device));
    config = std::make_unique<Config>(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
    menu = std::make_unique<Menu>(pipeline.get(), gui.get());
  }
  void TearDown() override {
    menu.reset();
    config.reset();
    gui.reset();
    scratch.reset();
    SceneGlTest::TearDown();
  }
  // How many pixels of the time-trial and championship preview rectangle
  // show `rgb` under light: the same hue at any brightness (the mode
  // screens' sample background is transparent there).
  // `meanX`, when given, receives their mean column in the rectangle.
  int paintPixels(std::uint32_t rgb, float* meanX = nullptr) {
    const UINT x = 60 * pipeline->requestedWidth / 1024, y = 262 * pipeline->requestedHeight / 768;
    const UINT w = 412 * pipeline->requestedWidth / 1024, h = 331 * pipeline->requestedHeight / 768;
    std::vector<DWORD> pixels(static_cast<std::size_t>(w) * h);
    EXPECT_EQ(device->ReadBackBuffer(x, y, w, h, pixels.data()), D3D_OK);
    auto shape = [](DWORD c, float(&out)[3]) {
      const float r = static_cast<float>((c >> 16) & 0xFF), g = static_cast<float>((c >> 8) & 0xFF),
                  b = static_cast<float>(c & 0xFF), top = std::max({r, g, b, 1.0f});
      out[0] = r / top, out[1] = g / top, out[2] = b / top;
      return top;
    };
    float want[3], got[3];
    shape(rgb, want);
    int count = 0;
    double columns = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i)
      if (shape(pixels[i], got) > 40.0f &&
          std::fabs(got[0] - want[0]) + std::fabs(got[1] - want[1]) + std::fabs(got[2] - want[2]) < 0.25f) {
        ++count;
        columns += static_cast<double>(i % w);
      }
    if (meanX) *meanX = count ? static_cast<float>(columns / count) : -1.0f;
    return count;
  }
  D3DVIEWPORT9 viewport() {
    D3DVIEWPORT9 v{};
    device->GetViewport(&v);
    return v;
  }

  std::unique_ptr<ScratchDir> scratch;
  InputDevice input;
  std::unique_ptr<Gui> gui;
  std::unique_ptr<Config> config;
  std::unique_ptr<Menu> menu;
};

TEST_F(MenuPreviewTest, ChampionshipShowsTheChosenKartScaledByClass) {
  config->m_championshipCcm = 1;
  config->m_championshipKart = 2;
  pipeline->horizontalFov = pipeline->verticalFov = 75.0f;
  ASSERT_TRUE(menu->init(&sampleArchive(), nullptr, config.get()));
  EXPECT_NEAR(pipeline->horizontalFov, 45.24f, 0.01f);
  EXPECT_NEAR(pipeline->verticalFov, 34.71f, 0.01f);

  pipeline->requestedWidth = 1024, pipeline->requestedHeight = 768;
  menu->setPreviewViewport(60, 262, 412, 331.5f);
  D3DVIEWPORT9 v = viewport();
  EXPECT_EQ((std::vector<DWORD>{v.X, v.Y, v.Width, v.Height}), (std::vector<DWORD>{60, 262, 412, 331}));
  pipeline->requestedWidth = 800, pipeline->requestedHeight = 600;
  menu->setPreviewViewport(60, 262, 412, 331.5f);
  v = viewport();
  EXPECT_EQ((std::vector<DWORD>{v.X, v.Y, v.Width, v.Height}), (std::vector<DWORD>{46, 204, 321, 258}));
  pipeline->requestedWidth = width, pipeline->requestedHeight = height;

  menu->setScreen(menu->screen(Menu::kChampionship));
  menu->update();
  EXPECT_GT(paintPixels(sampleKartColour(2)), 500) << "kart 2's paint";
  EXPECT_GT(paintPixels(sampleCharacterColour(0)), 200) << "character 0 beside it";
  EXPECT_LT(paintPixels(sampleKartColour(3)), 50);
  EXPECT_EQ(menu->m_kartScenes[2]->findItem("motor", -1, 1)->scale[0].value, 0.75f);
  v = viewport();
  EXPECT_EQ((std::vector<DWORD>{v.X, v.Y, v.Width, v.Height}),
            (std::vector<DWORD>{0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height)}));

  // A click on the kart's right arrow shows the next kart.
  auto& cup = *static_cast<ChampionshipScreen*>(menu->screen(Menu::kChampionship));
  const CEGUI::Rectf r = cup.m_rows[cup.m_kartRow].right->getUnclippedOuterRect().get();
  input.m_mousePos[0] = static_cast<int>(r.left() + r.getWidth() / 2);
  input.m_mousePos[1] = static_cast<int>(r.top() + r.getHeight() / 2);
  input.m_mouseButton[0] = 1;
  menu->handleInput(&input);
  input.m_mouseButton[0] = 0;
  menu->handleInput(&input);
  menu->update();
  EXPECT_EQ(config->m_championshipKart, 3);
  EXPECT_GT(paintPixels(sampleKartColour(3)), 500) << "kart 3's paint";
  EXPECT_LT(paintPixels(sampleKartColour(2)), 50);
  EXPECT_EQ(menu->m_kartScenes[3]->findItem("motor", -1, 1)->scale[0].value, 0.75f);

  // A result the flow does not act on stays pending, and no preview is
  // drawn: the class change does not reach the kart.
  cup.setResult(42);
  config->m_championshipCcm = 2;
  menu->update();
  EXPECT_EQ(menu->m_kartScenes[3]->findItem("motor", -1, 1)->scale[0].value, 0.75f);
  EXPECT_EQ(paintPixels(sampleKartColour(3)), 0) << "no preview while a result is pending";
  cup.setResult(-1);
  menu->update();
  EXPECT_EQ(menu->m_kartScenes[3]->findItem("motor", -1, 1)->scale[0].value, 1.0f);
  menu->shutdown();
}

// The chosen character sits on the chosen kart, and the engine class sizes
// the engine, not the kart around the driver.
TEST_F(MenuPreviewTest, TheDriverSitsInTheKartAndTheClassSizesOnlyItsEngine) {
  config->m_championshipKart = 4;
  config->m_championshipCharacter = 2;
  ASSERT_TRUE(menu->init(&sampleArchive(), nullptr, config.get()));
  menu->m_timer.setTimeScale(0.0f);  // one pose for every frame
  menu->setScreen(menu->screen(Menu::kChampionship));
  int paint[Config::kClassCount] = {};
  for (int ccm = 0; ccm < Config::kClassCount; ++ccm) {
    config->m_championshipCcm = ccm;
    menu->update();
    float kartX = 0, driverX = 0;
    paint[ccm] = paintPixels(sampleKartColour(4), &kartX);
    ASSERT_GT(paint[ccm], 200) << "class " << ccm;
    ASSERT_GT(paintPixels(sampleCharacterColour(2), &driverX), 100) << "class " << ccm;
    EXPECT_NEAR(driverX, kartX, 0.1f * 412 * static_cast<float>(pipeline->requestedWidth) / 1024)
        << "the driver beside the kart in class " << ccm;
    // Kept for a look by eye.
    std::vector<DWORD> frame(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    ASSERT_EQ(device->ReadBackBuffer(0, 0, width, height, frame.data()), D3D_OK);
    std::vector<std::uint32_t> argb(frame.begin(), frame.end());
    for (std::uint32_t& p : argb) p |= 0xFF000000u;
    const std::string folder = std::string(TESSALINE_SCREENS) + "/TheDriverSitsInTheKart";
    std::filesystem::create_directories(folder);
    const std::vector<std::uint8_t> png = writePng(width, height, argb);
    std::ofstream(folder + "/class-" + std::to_string(ccm) + ".png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  }
  // A halved kart would show a quarter of its paint.
  EXPECT_GT(paint[0], paint[2] * 7 / 10);
  menu->shutdown();
}

TEST_F(MenuPreviewTest, InMenuFramesOnlyTheGuiDrawsAPointer) {
  ASSERT_TRUE(menu->init(&sampleArchive(), nullptr, config.get()));
  ASSERT_TRUE(systemCursorShown());
  // Where the GUI's arrow lies, the frame changes when the arrow shows.
  const int x = width / 2, y = height / 8;
  auto shownAt = [&] {
    DWORD pixel = 0;
    EXPECT_EQ(device->ReadBackBuffer(x + 4, y + 4, 1, 1, &pixel), D3D_OK);
    return pixel & 0xFFFFFF;
  };
  gui->setMouseCursorVisible(false);
  menu->update();
  const DWORD withoutArrow = shownAt();

  gui->setMouseCursorVisible(true);
  input.m_mousePos[0] = x, input.m_mousePos[1] = y;
  menu->handleInput(&input);
  menu->update();
  EXPECT_FALSE(systemCursorShown());
  EXPECT_NE(shownAt(), withoutArrow) << "the GUI's arrow";
  menu->shutdown();
}

}  // namespace
