// The GUI on CEGUI's null renderer: files from the archive, the names the
// code relies on, the time pulse and the loading bar's geometry.
#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>

#include "gui/gui_screen.h"
#include "gui/loading_window.h"
#include "gui/text_table.h"
#include "tests/gui/gui_fixture.h"

namespace {

// A file system whose reads stop short of the size it states.
class ShortReadFile : public MemoryFile {
 public:
  using MemoryFile::MemoryFile;
  File* clone() const override { return new ShortReadFile(*this); }
  int read(void* buffer, int count) override { return MemoryFile::read(buffer, count > 1 ? count - 1 : count); }
};

std::string failureOf(GuiResourceProvider& provider, const char* name) {
  CEGUI::RawDataContainer data;
  try {
    provider.loadRawDataContainer(name, data, "");
  } catch (const CEGUI::InvalidRequestException& e) {
    return e.getMessage().c_str();
  }
  provider.unloadRawDataContainer(data);
  return "loaded";
}

using GuiFiles = NullGuiTest;

TEST_F(GuiFiles, MissingAndShortFilesFailWithThePath) {
  EXPECT_EQ(failureOf(*gui->m_resourceProvider, "X.font"),
            "GuiResourceProvider::loadRawDataContainer - Couldn't open D:\\Tamberlok\\menu\\X.font");
  ShortReadFile cut;
  cut.put("D:\\Tamberlok\\menu\\Cut.font", std::string(100, 'x'));
  GuiResourceProvider shortReads(cut);
  EXPECT_EQ(failureOf(shortReads, "Cut.font"),
            "GuiResourceProvider::loadRawDataContainer - Couldn't open D:\\Tamberlok\\menu\\Cut.font");

  CEGUI::RawDataContainer data;
  gui->m_resourceProvider->loadRawDataContainer("Quillfen.scheme", data, "");
  EXPECT_GT(data.getSize(), 0u);
  gui->m_resourceProvider->unloadRawDataContainer(data);
  EXPECT_EQ(data.getDataPtr(), nullptr);
  std::vector<CEGUI::String> fonts;
  EXPECT_EQ(gui->m_resourceProvider->getResourceGroupFileNames(fonts, "verdana*.FONT", ""), 6u);
}

// Every name the code uses exists in the sample data.
TEST_F(GuiFiles, TheCodesNamesAreInTheArchive) {
  for (const char* kind :
       {"StaticImage", "StaticText", "BlackWindow", "Button", "ImageButton", "FrameWindow", "Editbox"}) {
    CEGUI::Window* w = GuiHelper::createWindow(kind, 0, 0, 100, 100);
    gui->context().setRootWindow(w);
    gui->render();  // the look has every part its renderer asks for
    gui->context().setRootWindow(nullptr);
    gui->m_windowManager->destroyWindow(w);
  }
  for (const char* font : Gui::kFontNames) EXPECT_TRUE(CEGUI::FontManager::getSingleton().isDefined(font)) << font;
  LoadingWindow loading(gui.get());
  for (const char* image :
       {"Quillfen/MouseArrow", "Quillfen/GenericBrush", "Quillfen/TransparentBrush", "Quillfen/OKButton",
        "Quillfen/OKButtonHover", "Quillfen/OKButtonDisabled", "LoadingScreen/Background", "LoadingScreen/Bar"})
    EXPECT_TRUE(gui->m_imageManager->isDefined(image)) << image;
  // Shared ids: characters, karts, engine classes, tracks.
  std::vector<int> ids = {100, 200, 300, 400, 500, 600, 800, 810, 820};
  for (int i = 0; i < 8; ++i) ids.push_back(700 + i), ids.push_back(3000 + 100 * i);
  for (const char* table : {"D:\\Tamberlok/menu/Texts.xml", "D:\\Tamberlok/menu/IngameTexts.xml"}) {
    TextTable texts(sampleArchive(), table);
    for (std::uint32_t language = 0; language < 5; ++language) {
      texts.m_language = language;
      for (int id : ids) EXPECT_FALSE(texts.getText(id).empty()) << table << " " << id << " " << language;
    }
  }
  // The race's player-event message names the player where it says so.
  TextTable race(sampleArchive(), "D:\\Tamberlok/menu/IngameTexts.xml");
  for (std::uint32_t language = 0; language < 5; ++language) {
    race.m_language = language;
    EXPECT_NE(race.getText(4030).find("[NICKNAME]"), CEGUI::String::npos) << language;
  }
}

TEST_F(GuiFiles, TimePulsePassesTheTimeSinceTheLastOne) {
  CEGUI::Window* root = GuiHelper::createWindow("StaticText", 0, 0, 1024, 768);
  gui->context().setRootWindow(root);
  std::vector<float> pulses;
  root->subscribeEvent(CEGUI::Window::EventUpdated, [&](const CEGUI::EventArgs& args) {
    pulses.push_back(static_cast<const CEGUI::UpdateEventArgs&>(args).d_timeSinceLastFrame);
    return true;
  });
  for (float t : {10.0f, 10.5f, 12.0f, 3.0f, 3.25f}) gui->injectTimePulse(t);
  ASSERT_EQ(pulses.size(), 5u);
  EXPECT_FLOAT_EQ(pulses[0], 0.0f);
  EXPECT_FLOAT_EQ(pulses[1], 0.5f);
  EXPECT_FLOAT_EQ(pulses[2], 1.5f);
  EXPECT_FLOAT_EQ(pulses[3], 0.0f);  // the caller's timer restarted
  EXPECT_FLOAT_EQ(pulses[4], 0.25f);
  gui->context().setRootWindow(nullptr);
  gui->m_windowManager->destroyWindow(root);
}

TEST_F(GuiFiles, LoadingBarFollowsTheRange) {
  LoadingWindow loading(gui.get());
  loading.create();  // a second create builds nothing
  EXPECT_EQ(loading.m_root->getChildCount(), 2u);
  const CEGUI::Rectf screen(0, 0, 1024, 768);
  loading.setProgress(50);
  CEGUI::Rectf bar = loading.m_bar->getUnclippedOuterRect().get();
  EXPECT_NEAR(bar.left(), 81, 0.01);
  EXPECT_NEAR(bar.top(), 678, 0.01);
  EXPECT_NEAR(bar.getWidth(), 430, 0.01);
  EXPECT_NEAR(bar.getHeight(), 25, 0.01);
  loading.setRange(50, 100);
  loading.setProgress(100);
  EXPECT_NEAR(loading.m_bar->getUnclippedOuterRect().get().getWidth(), 860, 0.01);
  loading.setText("Weiter");
  EXPECT_FALSE(loading.m_text->isVisible());
  EXPECT_FALSE(gui->m_mouseCursor->isVisible());
  EXPECT_EQ(gui->context().getRootWindow(), loading.m_root);
  loading.destroy();
  EXPECT_FALSE(gui->isImagesetPresent("LoadingScreen"));
  EXPECT_FALSE(gui->m_windowManager->isAlive(loading.m_root));
  loading.create();
  EXPECT_TRUE(gui->isImagesetPresent("LoadingScreen"));
  gui->loadImageset("LoadingScreen.imageset");  // loaded already: kept
  EXPECT_TRUE(gui->m_imageManager->isDefined("LoadingScreen/Bar"));
}

// Every frame the GUI draws: each starts with the context's base queue.
void countFrames(CEGUI::GUIContext& context, int& frames) {
  context.subscribeEvent(CEGUI::RenderingSurface::EventRenderQueueStarted, [&frames](const CEGUI::EventArgs& args) {
    if (static_cast<const CEGUI::RenderQueueEventArgs&>(args).queueID == CEGUI::RQ_BASE) ++frames;
    return false;
  });
  frames = 0;
}

TEST_F(GuiFiles, LoadingBarDrawsOneFrameOnlyWhenItMovesOnScreen) {
  LoadingWindow loading(gui.get());
  int frames = 0;
  countFrames(gui->context(), frames);
  loading.setProgress(10);
  EXPECT_EQ(frames, 1);
  loading.setProgress(10);
  loading.setProgress(10.01f);  // a tenth of a pixel wider
  loading.setText("Weiter");    // the text is not shown
  EXPECT_EQ(frames, 1);
  loading.setProgress(11);
  EXPECT_EQ(frames, 2);
  loading.draw();  // asked for: drawn as it stands
  EXPECT_EQ(frames, 3);

  // Another sheet was drawn meanwhile: the bar's window is shown again.
  CEGUI::Window* other = GuiHelper::createWindow("StaticText", 0, 0, 100, 100);
  gui->context().setRootWindow(other);
  loading.setProgress(11);
  EXPECT_EQ(frames, 4);
  EXPECT_EQ(gui->context().getRootWindow(), loading.m_root);
  gui->m_windowManager->destroyWindow(other);

  // A window made again has not been shown yet.
  loading.destroy();
  loading.create();
  loading.setProgress(11);
  EXPECT_EQ(frames, 5);
  // Nor has a window on a display of another size.
  gui->setDisplaySize(1280, 960);
  loading.setProgress(11);
  EXPECT_EQ(frames, 6);
  gui->setDisplaySize(1024, 768);
}

class TestScreen : public GuiScreen {
 public:
  using GuiScreen::GuiScreen;
  const char* getName() const override { return "TestScreen"; }
};

TEST_F(GuiFiles, ScreensOwnTheSheetWhileActive) {
  TestScreen screen(nullptr, gui.get());
  screen.m_root = GuiHelper::createWindow("StaticImage", 0, 0, 1, 1, 1, 1, "TestScreen");
  screen.setResult(102);
  screen.activate();
  EXPECT_EQ(screen.getResult(), -1);
  EXPECT_EQ(gui->context().getRootWindow(), screen.m_root);
  LoadingWindow loading(gui.get());
  screen.restoreSheet();
  EXPECT_EQ(gui->context().getRootWindow(), screen.m_root);
  screen.deactivate();
  EXPECT_EQ(gui->context().getRootWindow(), nullptr);
  gui->m_windowManager->destroyWindow(screen.m_root);
}

TEST_F(GuiFiles, FormattingByNameAndModalSteps) {
  CEGUI::Window* text = GuiHelper::createWindow("StaticText", 0, 0, 100, 20);
  GuiHelper::setFormatting(text, HorzText::Centred, VertText::Bottom);
  EXPECT_EQ(text->getProperty("HorzFormatting"), "CentreAligned");
  EXPECT_EQ(text->getProperty("VertFormatting"), "BottomAligned");
  GuiHelper::setText(text, "[NICKNAME] wins");
  EXPECT_FALSE(text->isTextParsingEnabled());  // "[NICKNAME]" is text, not markup
  GuiHelper::showModal(text);
  EXPECT_TRUE(text->isVisible() && !text->isDisabled() && text->isAlwaysOnTop());
  GuiHelper::hideModal(text);
  EXPECT_FALSE(text->isVisible());
  EXPECT_TRUE(text->isDisabled());
  EXPECT_FALSE(text->isAlwaysOnTop());
  gui->m_windowManager->destroyWindow(text);
}

}  // namespace
