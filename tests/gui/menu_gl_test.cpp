// The menu's 3D preview on the OpenGL device under Xvfb: the chosen kart
// and character scenes drawn in the preview rectangle behind the GUI,
// scaled by the engine class.
#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>

#include "game/config.h"
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
  // The preview's centre, in back-buffer pixels (the mode screens' sample
  // background is transparent).
  DWORD centre() {
    const int x = (60 + 206) * pipeline->requestedWidth / 1024, y = (262 + 165) * pipeline->requestedHeight / 768;
    DWORD pixel = 0;
    EXPECT_EQ(device->ReadBackBuffer(x, y, 1, 1, &pixel), D3D_OK);
    return pixel & 0xFFFFFF;
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
  EXPECT_EQ(centre(), sampleKartColour(2));
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
  EXPECT_EQ(centre(), sampleKartColour(3));
  EXPECT_EQ(menu->m_kartScenes[3]->findItem("motor", -1, 1)->scale[0].value, 0.75f);

  // A result the flow does not act on stays pending, and no preview is
  // drawn: the class change does not reach the kart.
  cup.setResult(42);
  config->m_championshipCcm = 2;
  menu->update();
  EXPECT_EQ(menu->m_kartScenes[3]->findItem("motor", -1, 1)->scale[0].value, 0.75f);
  EXPECT_EQ(centre(), 0u);
  cup.setResult(-1);
  menu->update();
  EXPECT_EQ(menu->m_kartScenes[3]->findItem("motor", -1, 1)->scale[0].value, 1.0f);
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
