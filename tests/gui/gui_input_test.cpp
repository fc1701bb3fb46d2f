// Input injection: the input device's state block into CEGUI, as the menu
// and the race feed it once per frame.
#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>

#include <cstring>

#include "gui/name_matcher.h"
#include "input/input_device.h"
#include "platform/input/input_injection.h"
#include "tests/gui/gui_fixture.h"

namespace {

class GuiInputTest : public ReportCapture {
 protected:
  void SetUp() override {
    ReportCapture::SetUp();
    clearModifiers();
    gui = std::make_unique<Gui>(nullptr, &input, sampleArchive(), GuiRenderer::createNull(1024, 768));
    root = GuiHelper::createWindow("StaticText", 0, 0, 1024, 768);
    gui->context().setRootWindow(root);
    root->subscribeEvent(CEGUI::Window::EventKeyDown, [this](const CEGUI::EventArgs& a) {
      keyDowns.push_back(static_cast<const CEGUI::KeyEventArgs&>(a).scancode);
      return true;
    });
    root->subscribeEvent(CEGUI::Window::EventCharacterKey, [this](const CEGUI::EventArgs& a) {
      characters += static_cast<const CEGUI::KeyEventArgs&>(a).codepoint;
      return true;
    });
    root->activate();
  }
  void TearDown() override {
    gui.reset();
    clearModifiers();
    ReportCapture::TearDown();
  }

  InputDevice input;
  std::unique_ptr<Gui> gui;
  CEGUI::Window* root = nullptr;
  std::vector<int> keyDowns;
  CEGUI::String characters;
};

TEST_F(GuiInputTest, EitherMouseButtonClicksOncePerPress) {
  CEGUI::Window* button = GuiHelper::createWindow("Button", 100, 100, 200, 50);
  root->addChild(button);
  int downs = 0, ups = 0, clicks = 0;
  button->subscribeEvent(CEGUI::Window::EventMouseButtonDown, [&](const CEGUI::EventArgs&) { return ++downs, true; });
  button->subscribeEvent(CEGUI::Window::EventMouseButtonUp, [&](const CEGUI::EventArgs&) { return ++ups, true; });
  button->subscribeEvent(CEGUI::PushButton::EventClicked, [&](const CEGUI::EventArgs&) { return ++clicks, true; });
  input.m_mousePos[0] = 150, input.m_mousePos[1] = 120;
  input.m_mouseButton[0] = 1;
  for (int frame = 0; frame < 5; ++frame) gui->injectMouse();
  input.m_mouseButton[0] = 0;
  gui->injectMouse();
  gui->injectMouse();
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(ups, 1);
  EXPECT_EQ(clicks, 1);
  input.m_mouseButton[1] = 1;
  gui->injectMouse();
  input.m_mouseButton[1] = 0;
  gui->injectMouse();
  EXPECT_EQ(clicks, 2);
}

TEST_F(GuiInputTest, EditingKeysDigitsAndLetters) {
  const int editing[] = {14, 28, 15, 200, 208, 203, 205, 211, 199, 207, 201, 209};
  for (int code : editing) input.m_key[code] = 1;
  gui->injectKeyboard();
  EXPECT_EQ(keyDowns, std::vector<int>(std::begin(editing), std::end(editing)));
  EXPECT_EQ(characters, "");

  const int keypad[] = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73};
  for (int code : keypad) input.m_key[code] = 1;
  gui->injectKeyboard();
  EXPECT_EQ(characters, "0123456789");

  characters.clear();
  injectKey(nullptr, 42, true);  // Shift in the modifier state the layout reads (no window takes the event)
  input.m_key[42] = 1;
  for (int code : keypad) input.m_key[code] = 1;
  input.m_key[30] = 1;  // A
  gui->injectKeyboard();
  EXPECT_EQ(characters, "A");  // shifted keypad keys are navigation keys
  for (int code = 0; code < 256; ++code) EXPECT_EQ(input.m_key[code], 0) << code;
}

TEST_F(GuiInputTest, NameBoxRefusesWhatDoesNotFit) {
  CEGUI::Editbox* box = static_cast<CEGUI::Editbox*>(GuiHelper::createWindow("Editbox", 10, 10, 300, 50));
  root->addChild(box);
  NameMatcher names("[-+._0-9a-zA-Z ]*");
  box->setValidator(&names);
  box->setMaxTextLength(16);
  box->activate();
  const CEGUI::String typed = "Ab[c]+_ 12345678901234";
  for (std::size_t i = 0; i < typed.length(); ++i) gui->context().injectChar(typed[i]);
  EXPECT_EQ(box->getText(), "Abc+_ 1234567890");
  box->setValidator(nullptr);
}

}  // namespace
