// The GUI drawn by CEGUI's GL renderer on the graphics device's own context
// (under Xvfb): upright and in place over the 3D frame, blended, and with the
// device's state intact afterwards.
#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "content/png_writer.h"
#include "game/saves/config.h"
#include "gui/end_screen.h"
#include "gui/help_screen.h"
#include "gui/highscores_screen.h"
#include "gui/loading_window.h"
#include "gui/menu/championship_screen.h"
#include "gui/menu/main_menu_screen.h"
#include "gui/menu/menu.h"
#include "gui/menu/multiplayer_screens.h"
#include "gui/options_screen.h"
#include "gui/screen_host.h"
#include "gui/text_table.h"
#include "net/net_control.h"
#include "net/relay_server.h"
#include "platform/graphics/d3d9.h"
#include "platform/window/window.h"
#include "tests/gui/gui_fixture.h"
#include "tests/gui/screen_fixture.h"
#include "tests/support/quiet_window.h"
#include "tests/support/scratch_dir.h"
#include "tools/sample_data/picture_imageset.h"
#include "tools/sample_data/sample_look.h"
#include "tools/sample_data/screen_samples.h"

namespace {

// Top half and bottom half of the 3D frame: a flipped GUI lands on the wrong one.
constexpr D3DCOLOR kSkyColour = 0xFF4080C0, kGroundColour = 0xFF605030;

class GuiOnGlTest : public ReportCapture {
 protected:
  void SetUp() override {
    ReportCapture::SetUp();
    resetWindowSystem();
    window = openQuietWindow("GuiOnGlTest", 1024, 768);
    ASSERT_NE(window, nullptr);
    d3d = ComPtr<IDirect3D9>(Direct3DCreate9(31));
    ASSERT_TRUE(d3d) << "no OpenGL: run under xvfb-run";
    parameters = presentParameters(1024, 768);
    ASSERT_EQ(createWindowedDevice(d3d.get(), &parameters, device.put()), D3D_OK);
    auto renderer = GuiRenderer::createOnDevice(device.get());
    ASSERT_TRUE(renderer);
    gui = std::make_unique<Gui>(nullptr, nullptr, sampleArchive(), std::move(renderer));
  }
  void TearDown() override {
    gui.reset();
    device.reset();
    d3d.reset();
    resetWindowSystem();
    ReportCapture::TearDown();
  }

  D3DPRESENT_PARAMETERS presentParameters(UINT width, UINT height) {
    D3DPRESENT_PARAMETERS p = windowedPresentParameters(window, width, height, D3DFMT_X8R8G8B8);
    p.BackBufferCount = 2;
    return p;
  }

  struct Vertex {
    float x, y, z;
    D3DCOLOR colour;
  };
  // Two depth-tested quads: sky over the top half, ground over the bottom.
  void draw3dFrame() {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                          D3DDECL_END()};
    ComPtr<IDirect3DVertexDeclaration9> declaration;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, declaration.put()), D3D_OK);
    device->SetVertexDeclaration(declaration.get());
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    const Vertex sky[4] = {
        {-1, 1, 0.5f, kSkyColour}, {1, 1, 0.5f, kSkyColour}, {-1, 0, 0.5f, kSkyColour}, {1, 0, 0.5f, kSkyColour}};
    const Vertex ground[4] = {{-1, 0, 0.5f, kGroundColour},
                              {1, 0, 0.5f, kGroundColour},
                              {-1, -1, 0.5f, kGroundColour},
                              {1, -1, 0.5f, kGroundColour}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, sky, sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, ground, sizeof(Vertex)), D3D_OK);
  }

  std::vector<DWORD> readAll() {
    std::vector<DWORD> pixels(std::size_t{parameters.BackBufferWidth} * parameters.BackBufferHeight);
    EXPECT_EQ(device->ReadBackBuffer(0, 0, parameters.BackBufferWidth, parameters.BackBufferHeight, pixels.data()),
              D3D_OK);
    return pixels;
  }
  DWORD at(const std::vector<DWORD>& pixels, int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * parameters.BackBufferWidth + x] & 0xFFFFFF;
  }

  CEGUI::Window* panel(float x, float y, float w, float h, const char* colour) {
    CEGUI::Window* p = GuiHelper::createWindow("StaticImage", x, y, w, h);
    p->setProperty("BackgroundEnabled", "true");
    p->setProperty("BackgroundColours",
                   std::string("tl:") + colour + " tr:" + colour + " bl:" + colour + " br:" + colour);
    return p;
  }

  HWND window = nullptr;
  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;
  D3DPRESENT_PARAMETERS parameters{};
  std::unique_ptr<Gui> gui;
};

void expectColour(DWORD got, DWORD want, const char* where, int tolerance = 2) {
  for (int shift = 0; shift < 24; shift += 8)
    EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((want >> shift) & 0xFF), tolerance)
        << where << ": got " << std::hex << got << ", want " << want;
}

// The generated picture's colour at (u, v), fractions of its width and
// height: what a window stretching it shows there, up to filtering.
DWORD pictureAt(const char* imageset, const char* image, float u, float v) {
  static std::map<std::string, std::vector<NamedPicture>> drawn;  // drawing a set takes a while
  auto it = drawn.find(imageset);
  if (it == drawn.end()) it = drawn.emplace(imageset, drawImageset(imageset)).first;
  const Canvas* c = findPicture(it->second, image);
  EXPECT_NE(c, nullptr) << imageset << "/" << image;
  if (!c) return 0;
  return c->at(std::min(c->width() - 1, static_cast<int>(u * static_cast<float>(c->width()))),
               std::min(c->height() - 1, static_cast<int>(v * static_cast<float>(c->height())))) &
         0xFFFFFF;
}

TEST_F(GuiOnGlTest, WindowsLandUprightInPlaceAndBlendedOverThe3dFrame) {
  CEGUI::Window* root = GuiHelper::createWindow("StaticImage", 0, 0, 1024, 768);
  root->addChild(panel(100, 100, 200, 100, "FFFF0000"));
  root->addChild(panel(600, 50, 100, 300, "FF00FF00"));
  root->addChild(panel(100, 500, 300, 150, "800000FF"));  // half transparent, over the ground
  gui->context().setRootWindow(root);
  gui->setMouseCursorVisible(false);

  device->BeginScene();
  draw3dFrame();
  device->EndScene();
  const std::vector<DWORD> frame3d = readAll();
  expectColour(at(frame3d, 10, 10), kSkyColour & 0xFFFFFF, "sky");
  expectColour(at(frame3d, 10, 700), kGroundColour & 0xFFFFFF, "ground");

  device->BeginScene();
  draw3dFrame();
  gui->render();
  device->EndScene();
  std::vector<DWORD> shown = readAll();
  expectColour(at(shown, 100, 100), 0xFF0000, "red top-left");
  expectColour(at(shown, 299, 199), 0xFF0000, "red bottom-right");
  expectColour(at(shown, 99, 150), kSkyColour & 0xFFFFFF, "left of red");
  expectColour(at(shown, 150, 200), kSkyColour & 0xFFFFFF, "below red");
  expectColour(at(shown, 650, 340), 0x00FF00, "green low end");
  expectColour(at(shown, 650, 360), kSkyColour & 0xFFFFFF, "below green");
  // 0x80 of blue over the ground: blue 0x80 + ground x (1 - 128/255).
  const DWORD g = kGroundColour;
  const auto keep = [](DWORD c) { return static_cast<DWORD>(c * 127 / 255); };
  const DWORD blended =
      (keep((g >> 16) & 0xFF) << 16) | (keep((g >> 8) & 0xFF) << 8) | std::min<DWORD>(0xFF, 0x80 + keep(g & 0xFF));
  expectColour(at(shown, 250, 575), blended, "half-transparent blue");
  expectColour(at(shown, 250, 652), kGroundColour & 0xFFFFFF, "below blue");
  // Mirrored upright, the red panel would show at y 568..667.
  expectColour(at(shown, 150, 660), kGroundColour & 0xFFFFFF, "no mirrored red");
  device->Present(nullptr, nullptr, nullptr, nullptr);

  // The device draws its next frame exactly as before.
  device->BeginScene();
  draw3dFrame();
  device->EndScene();
  EXPECT_EQ(readAll(), frame3d);
  gui->context().setRootWindow(nullptr);
  gui->m_windowManager->destroyWindow(root);
}

TEST_F(GuiOnGlTest, LoadingWindowFollowsResetsAndResizes) {
  LoadingWindow loading(gui.get());
  loading.setProgress(50);
  std::vector<DWORD> shown = readAll();
  // The bar is 430 x 25 at (81, 678); right of it lies the background.
  const DWORD bar = pictureAt("LoadingScreen", "Bar", 0.5f, 12.5f / 25);
  expectColour(at(shown, 296, 690), bar, "bar", 8);
  expectColour(at(shown, 700, 690), pictureAt("LoadingScreen", "Background", 700 / 1024.0f, 690 / 768.0f),
               "right of the bar", 4);
  expectColour(at(shown, 296, 77), pictureAt("LoadingScreen", "Background", 296 / 1024.0f, 77 / 768.0f), "background",
               4);

  device->SimulateDeviceLoss(true);
  device->SimulateDeviceLoss(false);
  ASSERT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  parameters = presentParameters(1024, 768);
  ASSERT_EQ(device->Reset(&parameters), D3D_OK);
  gui->setDisplaySize(1024, 768);
  loading.draw();
  EXPECT_EQ(readAll(), shown);

  parameters = presentParameters(1280, 960);
  ASSERT_EQ(device->Reset(&parameters), D3D_OK);
  gui->setDisplaySize(1280, 960);
  loading.draw();
  shown = readAll();
  expectColour(at(shown, 370, 862), bar, "bar at 1280 x 960", 8);
  expectColour(at(shown, 875, 862), pictureAt("LoadingScreen", "Background", 700 / 1024.0f, 690 / 768.0f),
               "right of the bar at 1280 x 960", 4);
  expectColour(at(shown, 370, 96), pictureAt("LoadingScreen", "Background", 296 / 1024.0f, 77 / 768.0f),
               "background at 1280 x 960", 4);
  loading.setProgress(100);  // a changed window is drawn again, not taken from the layer
  expectColour(at(readAll(), 875, 862), bar, "full bar at 1280 x 960", 8);
}

class GlScreenHost : public ScreenHost {
 public:
  explicit GlScreenHost(Gui& gui) : m_gui(gui) {}
  Gui& gui() override { return m_gui; }
  File& files() override { return sampleArchive(); }
  Config& config() override { return m_config; }
  TextTable& texts() override { return m_texts; }
  void playClickSound() override {}
  float frameDelta() override { return 0.0f; }

  Gui& m_gui;
  Config m_config{nullptr, NetControl::getInstance(), Config::SavedFile::Ignore};
  TextTable m_texts{sampleArchive(), "D:\\Tamberlok/menu/Texts.xml"};
};

TEST_F(GuiOnGlTest, ExitScreenShowsItsLinkButtonAndItsHoverImage) {
  GlScreenHost host(*gui);
  host.m_config.m_language = 1;
  EndScreen end(host);
  end.activate();
  end.restoreSheet();
  gui->setMouseCursorVisible(false);
  auto frame = [&] {
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 0.0f, 0);
    gui->render();
    device->EndScene();
    return readAll();
  };
  using B = SampleBrandingButton;
  gui->context().injectMousePosition(10, 10);
  std::vector<DWORD> shown = frame();
  // 400, 300, 200 x 100 of 800 x 600 is 512..768 x 384..512 of 1024 x 768.
  const auto link = [](const char* image, int x, int y) {
    return pictureAt("Branding", image, static_cast<float>(x - 512) / 256, static_cast<float>(y - 384) / 128);
  };
  for (auto [x, y] : {std::pair{520, 392}, std::pair{759, 503}, std::pair{640, 400}, std::pair{540, 445}})
    expectColour(at(shown, x, y), link("Link", x, y), "button");
  for (auto [x, y] :
       {std::pair{511, 448}, std::pair{768, 448}, std::pair{640, 383}, std::pair{640, 512}, std::pair{10, 10}})
    expectColour(at(shown, x, y), pictureAt("Branding", "Background", x / 1024.0f, y / 768.0f), "background");

  gui->context().injectMousePosition(600, 450);
  shown = frame();
  expectColour(at(shown, 700, 500), link("LinkHover", 700, 500), "button under the mouse");
  expectColour(at(shown, 640, 400), B::kHover & 0xFFFFFF, "button face under the mouse");
  expectColour(at(shown, 300, 200), pictureAt("Branding", "Background", 300 / 1024.0f, 200 / 768.0f),
               "background with the mouse on the button");
  end.deactivate();
}

TEST_F(GuiOnGlTest, HighscoresTableAndEndPicture) {
  ScratchWorkingDir scratch;
  RecordedServices services;
  loadScreenBackground(*gui, "Highscores");
  HighscoresScreen screen(gui.get(), services);
  gui->setMouseCursorVisible(false);
  auto frame = [&] {
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    gui->render();
    device->EndScene();
    return readAll();
  };
  // Light pixels of the white "--" of row 0's name cell over the background.
  auto expectTable = [&](const std::vector<DWORD>& shown) {
    for (auto [x, y] : {std::pair{20, 20}, std::pair{1000, 150}})
      expectColour(at(shown, x, y),
                   pictureAt("Highscores", "Background", static_cast<float>(x) / 1024, static_cast<float>(y) / 768),
                   "background", 4);
    int white = 0;
    for (int y = 225; y < 250; ++y)
      for (int x = 110; x < 390; ++x) {
        const DWORD c = at(shown, x, y);
        white += (c & 0xFF) > 0x90 && (c >> 8 & 0xFF) > 0x90 && (c >> 16) > 0x90;
      }
    EXPECT_GT(white, 3);
  };
  screen.activate();
  const std::vector<DWORD> table = frame();
  expectTable(table);

  screen.deactivate();
  services.settings.m_enterHighscore = 1;
  services.settings.m_championshipCharacter = 2;
  screen.activate();
  const std::vector<DWORD> picture = frame();
  for (auto [x, y] : {std::pair{20, 20}, std::pair{512, 237}, std::pair{1010, 760}})
    expectColour(at(picture, x, y),
                 pictureAt("Endscreen_Alien", "Background", static_cast<float>(x) / 1024, static_cast<float>(y) / 768),
                 "end picture", 4);
  // The OK button (135 x 135 at 862, 605): its green face left of the tick.
  expectColour(at(picture, 880, 650), pictureAt("Quillfen", "OKButton", 18 / 135.0f, 45 / 135.0f), "its OK button", 12);

  gui->context().injectMousePosition(930, 670);
  gui->context().injectMouseButtonDown(CEGUI::LeftButton);
  gui->context().injectMouseButtonUp(CEGUI::LeftButton);
  EXPECT_EQ(frame(), table);
  screen.deactivate();
}

// The help page on a real renderer: its scroll bar is drawn beside the
// page, and the bar, the wheel and the keys each bring the last line into
// view (the picture follows the scrolled content).
TEST_F(GuiOnGlTest, TheHelpPageShowsItsBarAndScrollsToItsLastLine) {
  GlScreenHost host(*gui);
  loadScreenBackground(*gui, "HelpScreen");
  gui->loadImageset("Extras.imageset");
  HelpScreen help(host);
  help.activate();
  help.restoreSheet();
  gui->setMouseCursorVisible(false);
  auto frame = [&] {
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    gui->render();
    device->EndScene();
    return readAll();
  };
  // Dark pixels of the black text in the first line of the last description.
  auto lastLineInk = [&] {
    const std::vector<DWORD> shown = frame();
    const CEGUI::Rectf r = help.m_extraTexts[9]->getUnclippedOuterRect().get();
    int ink = 0;
    for (int y = std::max(0, static_cast<int>(r.top())); y < std::min(768, static_cast<int>(r.top()) + 20); ++y)
      for (int x = static_cast<int>(r.left()); x < static_cast<int>(r.left()) + 200; ++x)
        ink += at(shown, x, y) < 0x101010;
    return ink;
  };
  auto toTop = [&] {
    help.m_scrollPane->setVerticalScrollPosition(0.0f);
    EXPECT_EQ(lastLineInk(), 0) << "the last line starts out of view";
  };

  // The bar: a 12-pixel track at the pane's right edge (x 988..1000).
  const std::vector<DWORD> top = frame();
  // The page's background is a gradient: the bar stands out from what lies
  // just left of it, row by row.
  for (int y : {60, 300, 600}) EXPECT_NE(at(top, 993, y), at(top, 985, y)) << "the bar at y " << y;

  toTop();
  for (int i = 0; i < 10; ++i) help.scrollDown();
  EXPECT_GT(lastLineInk(), 20) << "by the keys";

  toTop();
  gui->context().injectMousePosition(600, 400);
  for (int i = 0; i < 10; ++i) gui->context().injectMouseWheelChange(-1.0f);
  EXPECT_EQ(help.m_scrollPane->getVerticalScrollPosition(), 1.0f);
  EXPECT_GT(lastLineInk(), 20) << "by the wheel";

  toTop();
  for (int i = 0; i < 5; ++i) {  // a page at a time, clicking the track near its end
    gui->context().injectMousePosition(993, 720);
    gui->context().injectMouseButtonDown(CEGUI::LeftButton);
    gui->context().injectMouseButtonUp(CEGUI::LeftButton);
  }
  EXPECT_EQ(help.m_scrollPane->getVerticalScrollPosition(), 1.0f);
  EXPECT_GT(lastLineInk(), 20) << "by the bar";
  help.deactivate();
}

// ---- the menus as a player sees them ------------------------------------------

class MenuScreenshotTest : public GuiOnGlTest {
 protected:
  // A frame of the current screen, cleared to black as the menu clears it.
  std::vector<DWORD> shoot(const char* name) {
    gui->setMouseCursorVisible(false);
    menu->m_current->restoreSheet();
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    gui->render();
    device->EndScene();
    std::vector<DWORD> pixels = readAll();
    // TESSALINE_SCREENSHOTS=<folder> keeps the pictures for a look by eye.
    if (const char* folder = std::getenv("TESSALINE_SCREENSHOTS")) {
      std::vector<std::uint32_t> argb(pixels.begin(), pixels.end());
      for (std::uint32_t& p : argb) p |= 0xFF000000u;
      const std::vector<std::uint8_t> png = writePng(1024, 768, argb);
      std::ofstream(std::string(folder) + "/" + name + ".png", std::ios::binary)
          .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    }
    return pixels;
  }
  static int difference(DWORD a, DWORD b) {
    int d = 0;
    for (int shift = 0; shift < 24; shift += 8)
      d = std::max(d, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return d;
  }
  // Every pixel a screen's texts change lies inside the window of its text.
  void expectTextsInsideTheirWindows(const char* name) {
    const std::vector<DWORD> with = shoot(name);
    std::vector<std::pair<CEGUI::Window*, CEGUI::String>> texts;
    const auto collect = [&](const auto& self, CEGUI::Window* w) -> void {
      const CEGUI::String type = w->getType();
      if ((type == "Quillfen/StaticText" || type == "Quillfen/Button") && !w->getText().empty())
        texts.push_back({w, w->getText()});
      for (std::size_t i = 0; i < w->getChildCount(); ++i) self(self, w->getChildAtIdx(i));
    };
    collect(collect, menu->m_current->m_root);
    ASSERT_FALSE(texts.empty()) << name;
    for (auto& [w, text] : texts) w->setText("");
    const std::vector<DWORD> without = shoot((std::string(name) + "_bare").c_str());
    for (auto& [w, text] : texts) w->setText(text);
    int textPixels = 0, outside = 0;
    for (int y = 0; y < 768; ++y)
      for (int x = 0; x < 1024; ++x) {
        if (difference(at(with, x, y), at(without, x, y)) < 24) continue;
        ++textPixels;
        const bool inside = std::any_of(texts.begin(), texts.end(), [&](const auto& t) {
          const CEGUI::Rectf r = t.first->getOuterRectClipper();
          return x >= r.left() - 1 && x < r.right() + 1 && y >= r.top() - 1 && y < r.bottom() + 1;
        });
        outside += !inside;
      }
    EXPECT_GT(textPixels, 200) << name << ": the texts draw";
    EXPECT_EQ(outside, 0) << name << ": text pixels outside their windows";
  }

  void SetUp() override {
    GuiOnGlTest::SetUp();
    scratch = std::make_unique<ScratchDir>();
    config = std::make_unique<Config>(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
    config->m_language = 0;
    menu = std::make_unique<Menu>(nullptr, gui.get());
    ASSERT_TRUE(menu->init(&sampleArchive(), nullptr, config.get()));
  }
  void TearDown() override {
    menu->shutdown();
    menu.reset();
    config.reset();
    scratch.reset();
    GuiOnGlTest::TearDown();
  }

  std::unique_ptr<ScratchDir> scratch;
  std::unique_ptr<Config> config;
  std::unique_ptr<Menu> menu;
};

TEST_F(MenuScreenshotTest, MainMenuShowsTheLogoTheIconsAndItsLabels) {
  menu->setScreen(menu->screen(Menu::kMainMenu));
  const std::vector<DWORD> shown = shoot("main_menu");
  // The logo: its name and road stand out from the sky behind them.
  int logo = 0;
  for (int y = 0; y < 358; ++y)
    for (int x = 0; x < 716; ++x)
      logo += difference(at(shown, x, y), pictureAt("main", "Background", x / 1024.0f, y / 768.0f)) > 60;
  EXPECT_GT(logo, 20000);
  // Each round button: a dark face and a light icon on it, inside a ring
  // that differs from the meadow around it.
  for (const auto& b : sample_look::kMenuButtons) {
    const int cx = static_cast<int>(b[0] + 38), cy = static_cast<int>(b[1] + 36);
    int face = 0, icon = 0;
    for (int y = cy - 24; y <= cy + 24; ++y)
      for (int x = cx - 24; x <= cx + 24; ++x) {
        const DWORD c = at(shown, x, y);
        const int low = std::min({c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF});
        const int high = std::max({c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF});
        face += high<110, icon += low> 200;
      }
    EXPECT_GT(face, 600) << b[0] << ", " << b[1];
    EXPECT_GT(icon, 60) << b[0] << ", " << b[1];
    int ring = 0;
    for (int y = cy - 40; y <= cy + 40; ++y)
      for (int x = cx - 40; x <= cx + 40; ++x) {
        const int r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        ring += r2 >= 31 * 31 && r2 <= 37 * 37 && difference(at(shown, x, y), at(shown, cx + 60, cy)) > 30;
      }
    EXPECT_GT(ring, 150) << "ring at " << b[0];
  }
  expectTextsInsideTheirWindows("main_menu");
}

TEST_F(MenuScreenshotTest, ChampionshipShowsArrowsTheCupAndItsLabels) {
  menu->setScreen(menu->screen(Menu::kChampionship));
  const std::vector<DWORD> shown = shoot("championship");
  auto& cup = *static_cast<ChampionshipScreen*>(menu->screen(Menu::kChampionship));
  // Arrows: a light mark on a blue button.
  for (const auto& row : cup.m_rows)
    for (CEGUI::Window* arrow : {row.left, row.right}) {
      const CEGUI::Rectf r = arrow->getOuterRectClipper();
      int mark = 0, face = 0;
      for (int y = static_cast<int>(r.top()); y < static_cast<int>(r.bottom()); ++y)
        for (int x = static_cast<int>(r.left()); x < static_cast<int>(r.right()); ++x) {
          const DWORD c = at(shown, x, y);
          mark += (c & 0xFF) > 220 && ((c >> 8) & 0xFF) > 220 && ((c >> 16) & 0xFF) > 220;
          face += (c & 0xFF) > ((c >> 16) & 0xFF) + 40;
        }
      EXPECT_GT(mark, 150);
      EXPECT_GT(face, 800);
    }
  // The cup's picture: the trophy's gold shows.
  int gold = 0;
  for (int y = 290; y < 527; ++y)
    for (int x = 592; x < 924; ++x) {
      const DWORD c = at(shown, x, y);
      gold += ((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) > 160 && (c & 0xFF) < 120;
    }
  EXPECT_GT(gold, 1500);
  expectTextsInsideTheirWindows("championship");
}

TEST_F(MenuScreenshotTest, OptionsLabelsStayInsideTheirWindows) {
  menu->setScreen(menu->screen(Menu::kOptions));
  const std::vector<DWORD> shown = shoot("options");
  // OK and Back: the green face of the one, the orange of the other.
  int green = 0, orange = 0;
  for (int y = 630; y < 750; ++y) {
    for (int x = 880; x < 1000; ++x) {
      const DWORD c = at(shown, x, y);
      green += ((c >> 8) & 0xFF) > ((c >> 16) & 0xFF) + 60;
    }
    for (int x = 22; x < 142; ++x) {
      const DWORD c = at(shown, x, y);
      orange += ((c >> 16) & 0xFF) > (c & 0xFF) + 80;
    }
  }
  EXPECT_GT(green, 4000);
  EXPECT_GT(orange, 4000);
  expectTextsInsideTheirWindows("options");
}

// The screens a player meets first and the mode screens, in German and
// English, kept under the build's screenshot folder for a look by eye; the
// network screen's buttons carry their marks and the exit screen's link its
// words.
TEST_F(MenuScreenshotTest, TheNewPlayersScreensInTwoLanguages) {
  const std::string folder = std::string(TESSALINE_SCREENS) + "/TheNewPlayersScreensInTwoLanguages";
  std::filesystem::create_directories(folder);
  GameDaemon::ServerThread relay(0);
  ASSERT_TRUE(relay.waitListening());
  auto& select = *static_cast<MultiplayerSelectScreen*>(menu->screen(Menu::kMultiplayerSelect));
  auto& lobby = *static_cast<MultiplayerScreen*>(menu->screen(Menu::kMultiplayer));
  lobby.m_isHost = true;
  lobby.m_port = relay.port();
  const std::pair<Menu::Slot, const char*> screens[] = {{Menu::kTimeTrial, "time-trial"},
                                                        {Menu::kLastManStanding, "last-man-standing"},
                                                        {Menu::kChampionship, "championship"},
                                                        {Menu::kTwoPlayers, "two-players"},
                                                        {Menu::kMultiplayerSelect, "host-or-join"},
                                                        {Menu::kMultiplayer, "lobby"},
                                                        {Menu::kOptions, "options"},
                                                        {Menu::kEnd, "exit"}};
  const auto keep = [&](const std::vector<DWORD>& pixels, const std::string& name) {
    std::vector<std::uint32_t> argb(pixels.begin(), pixels.end());
    for (std::uint32_t& p : argb) p |= 0xFF000000u;
    const std::vector<std::uint8_t> png = writePng(1024, 768, argb);
    std::ofstream(folder + "/" + name + ".png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  };
  for (int language : {0, 1}) {
    config->m_language = language;
    menu->m_texts->m_language = static_cast<std::uint32_t>(language);
    const std::string code = language ? "en-" : "de-";
    for (const auto& [slot, name] : screens) {
      menu->setScreen(menu->screen(slot));
      menu->update();  // the lobby fills its rows
      std::vector<DWORD> shown = shoot((code + name).c_str());
      keep(shown, code + name);
      if (slot == Menu::kMultiplayerSelect) {
        // Light marks on the dark faces of both buttons.
        for (CEGUI::Window* button : {select.m_hostButton, select.m_joinButton}) {
          const CEGUI::Rectf r = button->getOuterRectClipper();
          int mark = 0;
          for (int y = static_cast<int>(r.top()) + 20; y < static_cast<int>(r.bottom()) - 20; ++y)
            for (int x = static_cast<int>(r.left()) + 20; x < static_cast<int>(r.right()) - 20; ++x)
              mark += (at(shown, x, y) & 0xFF) > 180;
          EXPECT_GT(mark, 40) << "a mark on the button at " << r.left() << ", " << r.top();
        }
        // An empty address: the screen says so.
        select.m_addressBox->setText("");
        CEGUI::WindowEventArgs clicked(select.m_joinButton);
        select.m_joinButton->fireEvent(CEGUI::PushButton::EventClicked, clicked);
        EXPECT_TRUE(select.m_addressProblem->isVisible());
        keep(shoot((code + "host-or-join-empty-address").c_str()), code + "host-or-join-empty-address");
      }
      if (slot == Menu::kOptions) {
        // The drop button: a light arrow on its dark face.
        const CEGUI::Rectf r =
            static_cast<OptionsScreen*>(menu->screen(slot))->m_resolutionCombo->getPushButton()->getOuterRectClipper();
        int arrow = 0, face = 0;
        for (int y = static_cast<int>(r.top()); y < static_cast<int>(r.bottom()); ++y)
          for (int x = static_cast<int>(r.left()); x < static_cast<int>(r.right()); ++x) {
            const DWORD c = at(shown, x, y);
            arrow += std::min({c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF}) > 200;
            face += (c & 0xFF) < 120;
          }
        EXPECT_GT(arrow, 60);
        EXPECT_GT(face, 600);
      }
      if (slot == Menu::kEnd) {
        // White words on the link's face, the screen dark around it.
        int words = 0;
        for (int y = 384; y < 512; ++y)
          for (int x = 512; x < 768; ++x) {
            const DWORD c = at(shown, x, y);
            words += std::min({c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF}) > 0xE0;
          }
        EXPECT_GT(words, 300);
      }
    }
  }
  NetControl::getInstance().leave();
}

}  // namespace
