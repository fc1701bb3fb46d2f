// The help, credits, exit and language screens on real CEGUI (null
// renderer, generated data), driven by injected keys and clicks.
#include <CEGUI/CEGUI.h>
#include <gtest/gtest.h>

#include <cstring>

#include "game/saves/config.h"
#include "gui/credits_screen.h"
#include "gui/end_screen.h"
#include "gui/exit_link.h"
#include "gui/help_screen.h"
#include "gui/screen_host.h"
#include "gui/splash_screen.h"
#include "gui/text_table.h"
#include "input/input_device.h"
#include "tests/gui/gui_fixture.h"
#include "tools/sample_data/screen_samples.h"

namespace {

constexpr int kEscape = 1, kSpace = 57, kUp = 200, kPageUp = 201, kDown = 208;

class ScreenTest : public ReportCapture, public ScreenHost {
 protected:
  void SetUp() override {
    ReportCapture::SetUp();
    m_gui = std::make_unique<Gui>(nullptr, &input, sampleArchive(), GuiRenderer::createNull(1024, 768));
    m_texts = std::make_unique<TextTable>(sampleArchive(), "D:\\Tamberlok/menu/Texts.xml");
    g_exitLink.clear();
  }
  void TearDown() override {
    m_gui.reset();
    g_exitLink.clear();
    ReportCapture::TearDown();
  }

  Gui& gui() override { return *m_gui; }
  File& files() override { return sampleArchive(); }
  Config& config() override { return m_config; }
  TextTable& texts() override { return *m_texts; }
  void playClickSound() override { ++clicks; }
  float frameDelta() override { return 0.0f; }

  // A press and release of the left button at a point of the 1024 x 768 screen.
  void click(int x, int y) {
    input.m_mousePos[0] = x, input.m_mousePos[1] = y;
    m_gui->injectMouse();
    input.m_mouseButton[0] = 1;
    m_gui->injectMouse();
    input.m_mouseButton[0] = 0;
    m_gui->injectMouse();
  }
  static CEGUI::Rectf screenRect(const CEGUI::Window* window) { return window->getUnclippedOuterRect().get(); }

  InputDevice input;
  Config m_config{nullptr, NetControl::getInstance(), Config::SavedFile::Ignore};
  std::unique_ptr<Gui> m_gui;
  std::unique_ptr<TextTable> m_texts;
  int clicks = 0;
};

// ---- help ---------------------------------------------------------------------

TEST_F(ScreenTest, HelpKeysStepAndClampAndFollowThePane) {
  m_gui->loadImageset("Quillfen.imageset");
  HelpScreen help(*this);
  help.activate();
  auto position = [&] { return help.m_scrollPane->getVerticalScrollPosition(); };

  input.m_key[kUp] = 1;
  help.handleKeys(input);
  EXPECT_EQ(position(), 0.0f);
  for (int i = 0; i < 12; ++i) {
    input.m_key[kDown] = 1;
    help.handleKeys(input);
    EXPECT_NEAR(position(), std::min(1.0f, 0.1f * static_cast<float>(i + 1)), 1e-5f) << i;
  }
  for (int i = 0; i < 10; ++i) {
    input.m_key[i % 2 ? kUp : kPageUp] = 1;
    help.handleKeys(input);
  }
  EXPECT_EQ(position(), 0.0f);
  // Up and Down in one frame cancel.
  help.scrollDown();
  input.m_key[kUp] = input.m_key[kDown] = 1;
  help.handleKeys(input);
  EXPECT_NEAR(position(), 0.1f, 1e-5f);

  // The wheel moves the pane; the next key steps from where it now is.
  input.m_mousePos[0] = 600, input.m_mousePos[1] = 400;
  m_gui->injectMouse();
  input.m_mouseDelta[2] = -2;
  m_gui->injectMouse();
  input.m_mouseDelta[2] = 0;
  const float wheeled = position();
  ASSERT_GT(wheeled, 0.3f);
  input.m_key[kUp] = 1;
  help.handleKeys(input);
  EXPECT_NEAR(position(), wheeled - 0.1f, 1e-5f);

  // At the bottom the last description lies inside the pane.
  for (int i = 0; i < 10; ++i) help.scrollDown();
  const CEGUI::Rectf pane = screenRect(help.m_scrollPane), last = screenRect(help.m_extraTexts[9]);
  EXPECT_GE(last.top(), pane.top());
  EXPECT_LE(last.bottom(), pane.bottom() + 0.5f);
  EXPECT_NEAR(last.getHeight(), 80.0f, 0.5f);

  click(28 + 60, 605 + 60);
  EXPECT_EQ(help.getResult(), 1);
  EXPECT_EQ(clicks, 1);
}

// ---- credits ----------------------------------------------------------------

TEST_F(ScreenTest, CreditsLinesFontsAndPlaces) {
  CreditsScreen credits(*this);
  EXPECT_EQ(credits.m_lines.size(), 38u);  // the sample file
  credits.m_lines.clear();
  credits.loadCredits("*Title\r\nName\r\nlost");
  ASSERT_EQ(credits.m_lines.size(), 2u);
  EXPECT_EQ(credits.m_lines[0].m_text->getText(), "Title");
  EXPECT_EQ(credits.m_lines[0].m_text->getFont()->getName(), "VerdanaLargeItalic");
  EXPECT_EQ(credits.m_lines[1].m_shadow->getText(), "Name");
  EXPECT_EQ(credits.m_lines[1].m_shadow->getFont()->getName(), "VerdanaMediumItalic");
  EXPECT_EQ(screenRect(credits.m_lines[0].m_text).top(), 718.0f);
  EXPECT_EQ(screenRect(credits.m_lines[1].m_text).top(), 753.0f);
  EXPECT_EQ(screenRect(credits.m_lines[1].m_shadow).left(), 52.0f);

  // Latin-1 bytes are code points; markup is shown as written.
  credits.m_lines.clear();
  credits.loadCredits("!\r\n#[colour='FFFF0000']\xE9\r\n");
  ASSERT_EQ(credits.m_lines.size(), 2u);
  EXPECT_EQ(credits.m_lines[0].m_text->getText(), "");
  EXPECT_EQ(credits.m_lines[1].m_text->getText(), CEGUI::String("[colour='FFFF0000']") + CEGUI::utf32(0xE9));
  EXPECT_FALSE(credits.m_lines[1].m_text->isTextParsingEnabled());

  credits.m_lines.clear();
  credits.loadCredits("one\ntwo\n");
  EXPECT_TRUE(credits.m_lines.empty());
  credits.update(1.0f);
}

TEST_F(ScreenTest, CreditsScrollFadeAndWrap) {
  CreditsScreen credits(*this);
  credits.m_lines.clear();
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += "x\r\n";
  credits.loadCredits(twenty);
  CreditsScreen::CreditLine& first = credits.m_lines[0];
  auto alphaAt = [&](float y) {
    first.m_y = y;  // the step below moves it by 0
    credits.update(0.0f);
    return first.m_text->getAlpha();
  };
  EXPECT_EQ(alphaAt(50), 1.0f);
  EXPECT_EQ(alphaAt(683), 1.0f);
  EXPECT_EQ(alphaAt(718), 0.0f);
  EXPECT_NEAR(alphaAt(700.5f), 0.5f, 1e-6f);
  EXPECT_NEAR(alphaAt(15), 0.0f, 1e-6f);
  EXPECT_EQ(first.m_shadow->getAlpha(), first.m_text->getAlpha());

  // 45 pixels a second; below 15 the line wraps behind the last one.
  first.m_y = 16;
  credits.update(1.0f / 45.0f);
  EXPECT_NEAR(first.m_y, 15.0f, 1e-4f);
  credits.update(1.0f / 45.0f);
  EXPECT_EQ(first.m_y, 750.0f);
  EXPECT_EQ(screenRect(first.m_text).top(), 750.0f);
  EXPECT_NEAR(credits.m_lines[1].m_y, 718.0f + 35.0f - 90.0f / 45.0f, 1e-3f);
}

// ---- exit screen ------------------------------------------------------------

TEST(Branding, ReaderRecordsAndBounds) {
  BrandingScreen screens[kBrandingLanguages];
  std::string xml = "<Branding><Screen Lang=\"De\" Show=\"true\" Imageset=\"A\"/>";
  xml += "<Screen Lang=\"En\" Show=\"True\">";
  for (int i = 0; i < 10; ++i) xml += "<Button URL=\"u" + std::to_string(i) + "\" XPos=\"x\" YPos=\"7\"/>";
  xml += "</Screen><Screen Lang=\"Fr\" Show=\"True\" Imageset=\"F1\">";
  for (int i = 0; i < 5; ++i) xml += "<Button Imageset=\"b\"/>";
  xml += "</Screen><Screen Lang=\"Fr\" Imageset=\"F2\">";
  for (int i = 0; i < 5; ++i) xml += "<Button/>";
  xml += "</Screen><Screen Lang=\"Ru\" Show=\"True\"><Button/></Screen><Screen Show=\"True\"/></Branding>";
  readBranding(xml, screens);
  EXPECT_FALSE(screens[0].m_show);
  EXPECT_EQ(screens[0].m_imageset, "A");
  EXPECT_TRUE(screens[1].m_show);
  ASSERT_EQ(screens[1].m_buttonCount, 8);
  EXPECT_EQ(screens[1].m_buttonList[7].m_url, "u7");
  EXPECT_EQ(screens[1].m_buttonList[7].m_x, 0);
  EXPECT_EQ(screens[1].m_buttonList[7].m_y, 7);
  EXPECT_EQ(screens[2].m_buttonCount, 8);
  EXPECT_FALSE(screens[2].m_show);
  EXPECT_EQ(screens[2].m_imageset, "F2");
  EXPECT_EQ(screens[2].m_buttonList[4].m_imageset, "b");
  EXPECT_EQ(screens[2].m_buttonList[5].m_imageset, "");
  // Unknown or missing Lang touches no record.
  for (int i : {3, 4}) {
    EXPECT_FALSE(screens[i].m_show);
    EXPECT_EQ(screens[i].m_buttonCount, 0);
  }
  // Text after a 0 byte is not read.
  BrandingScreen cut[kBrandingLanguages];
  readBranding(std::string("<Branding><Screen Lang=\"It\" Show=\"True\"/>\0<Screen Lang=\"De\" Show=\"True\"/>"
                           "</Branding>",
                           80),
               cut);
  EXPECT_FALSE(cut[0].m_show);
}

TEST_F(ScreenTest, ExitScreenLinksAndQuitting) {
  m_config.m_language = 1;
  EndScreen end(*this);
  EXPECT_TRUE(end.shouldShow());
  end.activate();
  m_gui->context().setRootWindow(end.m_root);
  ASSERT_NE(end.m_buttons[0], nullptr);
  const CEGUI::Rectf button = screenRect(end.m_buttons[0]);
  EXPECT_EQ(button.left(), 512.0f);
  EXPECT_EQ(button.top(), 384.0f);
  EXPECT_EQ(button.getWidth(), 256.0f);
  EXPECT_NEAR(button.getHeight(), 128.0f, 0.01f);
  EXPECT_NEAR(end.m_buttons[0]->getSize().d_height.d_scale, 0.1667f, 1e-4f);

  click(600, 450);
  EXPECT_EQ(g_exitLink, SampleBrandingButton::kUrl);
  EXPECT_EQ(end.getResult(), 0);
  EXPECT_EQ(clicks, 1);
  // A button without a link leaves none.
  end.m_screens[1].m_buttonList[0].m_url.clear();
  click(600, 450);
  EXPECT_EQ(g_exitLink, "");

  // The background quits without a link; so do Escape and Space.
  g_exitLink.clear();
  end.setResult(-1);
  click(100, 100);
  EXPECT_EQ(end.getResult(), 0);
  EXPECT_EQ(g_exitLink, "");
  for (int key : {kEscape, kSpace}) {
    input.m_key[key] = 1;
    EXPECT_TRUE(end.handleKeys(input));
    EXPECT_FALSE(end.handleKeys(input));
  }
  end.deactivate();
  end.deactivate();
  EXPECT_FALSE(m_gui->isImagesetPresent("Branding"));

  // No language chosen: no record, not shown, and a link never written.
  m_config.m_language = -1;
  EXPECT_FALSE(end.shouldShow());
}

TEST_F(ScreenTest, ExitScreenWithoutItsImagesQuitsUnshown) {
  m_config.m_language = 2;
  EndScreen end(*this);
  end.m_screens[2].m_buttonList[0].m_imageset = "Missing";
  end.m_screens[2].m_buttonList[0].m_url.clear();
  end.activate();
  EXPECT_EQ(end.getResult(), 1);
  EXPECT_FALSE(end.m_root->isVisible());
  EXPECT_EQ(end.m_buttons[0], nullptr);
  EXPECT_NE(lastMessage().find("Missing"), std::string::npos);
}

// ---- language choice ----------------------------------------------------------

TEST_F(ScreenTest, SplashFlagsChooseTheLanguage) {
  m_config.m_language = 3;
  SplashScreen splash(*this);
  splash.activate();
  EXPECT_FALSE(splash.m_flagButtons[1]->isVisible());
  splash.deactivate();

  m_config.m_language = -1;
  splash.activate();
  ASSERT_TRUE(m_gui->isImagesetPresent("Flags"));
  EXPECT_TRUE(splash.m_flagButtons[4]->isVisible());
  // Nothing leads on before a language is chosen.
  input.m_key[kSpace] = 1;
  input.m_mouseButton[1] = 1;
  EXPECT_FALSE(splash.handleKeys(input));
  input.m_mouseButton[1] = 0;

  click(322 + 60, 640 + 50);
  EXPECT_EQ(m_config.m_language, 1);
  EXPECT_EQ(m_texts->m_language, 1u);
  EXPECT_EQ(m_texts->getText(1001), "Yes");  // English
  EXPECT_EQ(splash.getResult(), 0);
  EXPECT_EQ(clicks, 1);
  input.m_key[kSpace] = 1;
  EXPECT_TRUE(splash.handleKeys(input));

  splash.deactivate();
  splash.deactivate();
  EXPECT_FALSE(m_gui->isImagesetPresent("Flags"));
  EXPECT_EQ(m_config.m_showSplash, 0);
}

TEST_F(ScreenTest, SplashQuitDialog) {
  m_config.m_language = -1;
  SplashScreen splash(*this);
  splash.activate();
  input.m_key[kEscape] = 1;
  EXPECT_FALSE(splash.handleKeys(input));
  EXPECT_TRUE(splash.m_quitDialog->isVisible());
  EXPECT_TRUE(splash.m_quitDialog->getModalState());
  EXPECT_EQ(clicks, 0);

  const CEGUI::Rectf no = screenRect(splash.m_quitNoButton);
  click(static_cast<int>(no.left()) + 10, static_cast<int>(no.top()) + 10);
  EXPECT_FALSE(splash.m_quitDialog->isVisible());
  EXPECT_EQ(splash.getResult(), -1);

  splash.showQuitDialog();
  const CEGUI::Rectf yes = screenRect(splash.m_quitYesButton);
  click(static_cast<int>(yes.left()) + 10, static_cast<int>(yes.top()) + 10);
  EXPECT_EQ(splash.getResult(), 999);
  EXPECT_FALSE(splash.m_quitDialog->isVisible());
  EXPECT_EQ(clicks, 2);
}

}  // namespace
