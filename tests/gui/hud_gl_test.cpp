// The in-race displays drawn by CEGUI's GL renderer (under Xvfb) frame after
// frame, as a race draws them: what changed is drawn again, what did not is
// kept, and the picture is the one drawing everything would give.
#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gui/ingame/text_displays.h"
#include "platform/graphics/d3d9.h"
#include "platform/window/window.h"
#include "tests/gui/ingame_fixture.h"
#include "tests/support/quiet_window.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;

class HudOnGlTest : public ReportCapture {
 protected:
  void SetUp() override {
    ReportCapture::SetUp();
    resetWindowSystem();
    window = openQuietWindow("HudOnGlTest", kWidth, kHeight);
    ASSERT_NE(window, nullptr);
    d3d = ComPtr<IDirect3D9>(Direct3DCreate9(31));
    ASSERT_TRUE(d3d) << "no OpenGL: run under xvfb-run";
    D3DPRESENT_PARAMETERS p = windowedPresentParameters(window, kWidth, kHeight, D3DFMT_X8R8G8B8);
    ASSERT_EQ(createWindowedDevice(d3d.get(), &p, device.put()), D3D_OK);
    auto renderer = GuiRenderer::createOnDevice(device.get());
    ASSERT_TRUE(renderer);
    gui = std::make_unique<Gui>(nullptr, nullptr, raceGuiArchive(), std::move(renderer));
    net = std::make_unique<NetControl>();
    config = std::make_unique<Config>(nullptr, *net, Config::SavedFile::Ignore);
    texts = std::make_unique<TextTable>(raceGuiArchive(), "D:\\Tamberlok/menu/IngameTexts.xml");
    config->m_track.set(0);
    config->m_laps.set(3);
    config->m_game.set(kModeRace);
  }
  void TearDown() override {
    displays.reset();
    texts.reset();
    config.reset();
    net.reset();
    gui.reset();
    device.reset();
    d3d.reset();
    resetWindowSystem();
    ReportCapture::TearDown();
  }

  void build(int views) {
    displays.reset();  // its imagesets go with it
    config->m_playType = views == 2 ? kPlaySplitScreen : kPlayOneLocal;
    auto fake = std::make_unique<FakeRace>(clock, *texts, *net);
    race = fake.get();
    race->views = views;
    displays = std::make_unique<OnscreenDisplays>(*gui, *config, std::move(fake));
    gui->setMouseCursorVisible(false);  // as in a race
    race->timer().start();
  }

  // `seconds` later, the refresh and the frame drawn over a grey 3D frame;
  // what the back buffer then shows.
  std::vector<DWORD> frame(double seconds) {
    clock.advance(seconds);
    race->timer().tick();
    displays->update();
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF506070, 1.0f, 0);
    gui->render();
    device->EndScene();
    std::vector<DWORD> pixels(std::size_t{kWidth} * kHeight);
    EXPECT_EQ(device->ReadBackBuffer(0, 0, kWidth, kHeight, pixels.data()), D3D_OK);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    return pixels;
  }

  // The same frame again with the whole GUI drawn anew: any window going
  // makes the renderer draw everything.
  std::vector<DWORD> wholeFrame() {
    CEGUI::WindowManager::getSingleton().destroyWindow(
        CEGUI::WindowManager::getSingleton().createWindow("DefaultWindow"));
    const long whole = draws().whole;
    std::vector<DWORD> pixels = frame(0.0);
    EXPECT_EQ(draws().whole, whole + 1);
    return pixels;
  }

  GuiRenderer::LayerDraws draws() const { return gui->m_renderer->layerDraws(); }

  // Pixels that differ inside a window's rectangle.
  static int changedIn(const std::vector<DWORD>& a, const std::vector<DWORD>& b, const CEGUI::Window* w) {
    const CEGUI::Rectf r = w->getUnclippedOuterRect().get();
    int changed = 0;
    for (int y = static_cast<int>(r.top()); y < static_cast<int>(r.bottom()); ++y)
      for (int x = static_cast<int>(r.left()); x < static_cast<int>(r.right()); ++x)
        changed += a[static_cast<std::size_t>(y) * kWidth + x] != b[static_cast<std::size_t>(y) * kWidth + x];
    return changed;
  }
  static int differing(const std::vector<DWORD>& a, const std::vector<DWORD>& b) {
    int n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) n += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
    return n;
  }

  HWND window = nullptr;
  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;
  ManualClock clock;
  std::unique_ptr<Gui> gui;
  std::unique_ptr<NetControl> net;
  std::unique_ptr<Config> config;
  std::unique_ptr<TextTable> texts;
  std::unique_ptr<OnscreenDisplays> displays;
  FakeRace* race = nullptr;
};

TEST_F(HudOnGlTest, RunningTimesAndMovingKartsRedrawOnlyWhatChangedAndMatchAWholeRedraw) {
  for (int views = 1; views <= 2; ++views) {
    SCOPED_TRACE(views);
    build(views);
    for (int k = 0; k < 6; ++k) race->karts[k].x = 20.0f * static_cast<float>(k) - 50.0f;
    race->karts[0].trackTime = 1.0f;
    const std::vector<DWORD> first = frame(0.0);
    const GuiRenderer::LayerDraws start = draws();
    std::vector<DWORD> shown;
    for (int i = 1; i <= 5; ++i) {
      race->karts[0].trackTime = 1.0f + 0.37f * static_cast<float>(i);
      for (int k = 0; k < 6; ++k) race->karts[k].z += 9.0f * static_cast<float>(k + 1);
      shown = frame(0.37);
    }
    EXPECT_EQ(draws().whole, start.whole);
    EXPECT_EQ(draws().changedParts, start.changedParts + 5);
    const OnscreenDisplays::View& v = displays->m_views[0];
    EXPECT_GT(changedIn(first, shown, v.raceTimeDisplay->cell(7)), 0) << "the hundredths";
    EXPECT_GT(changedIn(first, shown, v.markers[5]), 0) << "kart 5's marker left its place";
    EXPECT_EQ(changedIn(first, shown, v.lapDisplay->label()), 0);

    // A frame that changes nothing draws nothing again.
    EXPECT_EQ(differing(frame(0.0), shown), 0);
    EXPECT_EQ(draws().changedParts, start.changedParts + 5);
    EXPECT_EQ(differing(wholeFrame(), shown), 0);
  }
}

TEST_F(HudOnGlTest, AMarkerThatAloneMovesIsDrawnWhereItWent) {
  // After the finish the player's own times stand still while the others
  // still drive: their markers alone move.
  build(1);
  race->karts[0].trackTime = 95.0f;
  const std::vector<DWORD> before = frame(0.0);
  race->karts[3].x = 120.0f;
  race->karts[3].z = -80.0f;
  const std::vector<DWORD> after = frame(0.0);
  EXPECT_GT(changedIn(before, after, displays->m_views[0].markers[3]), 0);
  EXPECT_EQ(differing(wholeFrame(), after), 0);
}

}  // namespace
