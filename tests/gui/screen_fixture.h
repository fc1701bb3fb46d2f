// The highscores and options screens on the null renderer: a Gui fed by an
// input device (clicks land on layout pixels, the display being 1024 x 768),
// the menu's services recorded, and a scratch working directory for
// "highscore.dat" and "config.dat".
#pragma once

#include <CEGUI/CEGUI.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "game/saves/config.h"
#include "gui/screen_services.h"
#include "gui/text_table.h"
#include "input/input_device.h"
#include "tests/gui/gui_fixture.h"
#include "tools/sample_data/gui_sample_names.h"

class RecordedServices : public ScreenServices {
 public:
  Config& config() override { return settings; }
  TextTable& texts() override { return table; }
  void playClickSound() override { ++clicks; }
  void setMenuMusicVolume(float v) override { musicVolumes.push_back(v); }
  void setClickVolume(float v) override { clickVolumes.push_back(v); }

  Config settings{nullptr, NetControl::getInstance(), Config::SavedFile::Ignore};
  TextTable table{sampleArchive(), "D:\\Tamberlok/menu/Texts.xml"};
  int clicks = 0;
  std::vector<float> musicVolumes, clickVolumes;
};

// The working directory moved to a fresh folder of the running test's own
// for the object's life.
class ScratchWorkingDir {
 public:
  ScratchWorkingDir() : m_old(std::filesystem::current_path()) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = std::filesystem::path(::testing::TempDir()) /
            ("screens_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
    std::filesystem::current_path(m_dir);
  }
  ~ScratchWorkingDir() {
    std::filesystem::current_path(m_old);
    std::filesystem::remove_all(m_dir);
  }

 private:
  std::filesystem::path m_old, m_dir;
};

// The menu loads the screens' backgrounds; without that data in the archive
// a plain picture ("Quillfen/LeftButton", dark blue) stands in, so the
// screens can be built.
inline void loadScreenBackground(Gui& gui, const CEGUI::String& imageset) {
  try {
    gui.loadImageset(imageset + ".imageset");
    return;
  } catch (const CEGUI::Exception&) {
  }
  const auto images = quillfenImages();
  const int i =
      static_cast<int>(std::find_if(images.begin(), images.end(),
                                    [](const SampleImage& m) { return std::string_view(m.name) == "LeftButton"; }) -
                       images.begin());
  const float x = static_cast<float>(i % 8 * 32 + 8), y = static_cast<float>(i / 8 * 32 + 8);
  auto& background = static_cast<CEGUI::BasicImage&>(
      CEGUI::ImageManager::getSingleton().create("BasicImage", imageset + "/Background"));
  background.setTexture(&gui.m_system->getRenderer()->getTexture("Quillfen"));
  background.setArea(CEGUI::Rectf(x, y, x + 16, y + 16));
}

// `Base`: a test fixture with SetUp and TearDown (the render tests' pipeline
// fixture, for screens that drive a device).
template <class Base>
class ScreenTestOn : public Base {
 protected:
  void SetUp() override {
    Base::SetUp();
    scratch = std::make_unique<ScratchWorkingDir>();
    gui = std::make_unique<Gui>(basePipeline(), &input, sampleArchive(), GuiRenderer::createNull(1024, 768));
    services = std::make_unique<RecordedServices>();
  }
  void TearDown() override {
    services.reset();
    gui.reset();
    scratch.reset();
    Base::TearDown();
  }

  void loadBackground(const CEGUI::String& imageset) { loadScreenBackground(*gui, imageset); }

  // A press and release of the left button at a layout pixel.
  void click(float x, float y) {
    input.m_mousePos[0] = static_cast<int>(x), input.m_mousePos[1] = static_cast<int>(y);
    gui->injectMouse();
    input.m_mouseButton[0] = 1;
    gui->injectMouse();
    input.m_mouseButton[0] = 0;
    gui->injectMouse();
  }
  // The centre of a window in layout pixels.
  void click(const CEGUI::Window* w) {
    const CEGUI::Rectf r = w->getUnclippedOuterRect().get();
    click((r.left() + r.right()) / 2, (r.top() + r.bottom()) / 2);
  }
  static std::string text(const CEGUI::Window* w) { return w->getText().c_str(); }
  std::string textOf(int id) { return services->table.getText(id).c_str(); }

  // The base's pipeline when it has one.
  RenderPipeline* basePipeline() {
    if constexpr (requires { this->Base::pipeline; })
      return this->Base::pipeline.get();
    else
      return nullptr;
  }

  // Keeps the mouse range the screens set.
  struct RangeInput : InputDevice {
    void setMouseRange(int width, int height) override { range = {width, height}; }
    std::pair<int, int> range{0, 0};
  };

  RangeInput input;
  std::unique_ptr<Gui> gui;
  std::unique_ptr<RecordedServices> services;
  std::unique_ptr<ScratchWorkingDir> scratch;
};

using ScreenTest = ScreenTestOn<ReportCapture>;
