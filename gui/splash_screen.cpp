#include "gui/splash_screen.h"

#include <CEGUI/CEGUI.h>

#include "game/saves/config.h"
#include "gui/gui.h"
#include "gui/menu/menu_widgets.h"
#include "gui/screen_host.h"
#include "gui/text_table.h"
#include "input/input_device.h"

namespace {
constexpr int kKeyEscape = 1, kKeySpace = 57;
constexpr float kDialogWidth = 500, kDialogHeight = 400;
}  // namespace

// The gaps between the flags are uneven (10, 10, 13, 7 pixels).
const SplashScreen::Flag SplashScreen::kFlags[kFlagCount] = {
    {"DE", 192}, {"EN", 322}, {"FR", 452}, {"SP", 585}, {"IT", 712}};

SplashScreen::SplashScreen(ScreenHost& host, Menu* menu) : GuiScreen(menu, &host.gui()), m_host(host) {
  m_root = menu_widgets::makeRoot(kName, "splash");

  m_quitDialog = createWindow("FrameWindow", 262, 184, kDialogWidth, kDialogHeight);
  m_quitDialog->setProperty("CloseButtonEnabled", "false");
  m_quitDialog->setProperty("TitlebarEnabled", "false");
  m_quitDialog->setProperty("SizingEnabled", "false");
  m_quitDialog->setProperty("DragMovingEnabled", "false");
  m_quitDialog->setEnabled(false);
  m_quitDialog->setVisible(false);
  m_root->addChild(m_quitDialog);

  m_quitText = createWindow("StaticText", 30, 60, 440, 215, kDialogWidth, kDialogHeight);
  m_quitText->setFont("VerdanaMedium");
  setFormatting(m_quitText, HorzText::WordWrapCentred, VertText::Centred);
  setTextColour(m_quitText, 0xFFFFFFFF);
  m_quitDialog->addChild(m_quitText);
  m_quitYesButton = createWindow("Button", 30, 310, 140, 60, kDialogWidth, kDialogHeight);
  m_quitNoButton = createWindow("Button", 330, 310, 140, 60, kDialogWidth, kDialogHeight);
  m_quitYesButton->subscribeEvent(CEGUI::PushButton::EventClicked,
                                  CEGUI::Event::Subscriber(&SplashScreen::onQuitYesClicked, this));
  m_quitNoButton->subscribeEvent(CEGUI::PushButton::EventClicked,
                                 CEGUI::Event::Subscriber(&SplashScreen::onQuitNoClicked, this));
  for (CEGUI::Window* button : {m_quitYesButton, m_quitNoButton}) {
    button->setFont("VerdanaMedium");
    m_quitDialog->addChild(button);
  }

  for (int language = 0; language < kFlagCount; ++language) {
    // Its images come with the flags' imageset at activation.
    CEGUI::Window* flag = menu_widgets::makePictureButton(m_root, kFlags[language].x, 640, 120, 102, "", "", "",
                                                          kLayoutWidth, kLayoutHeight);
    flag->subscribeEvent(CEGUI::PushButton::EventClicked,
                         [this, language](const CEGUI::EventArgs&) { return onFlagClicked(language); });
    m_flagButtons[language] = flag;
  }
}

SplashScreen::~SplashScreen() { menu_widgets::destroyRoot(m_root); }

void SplashScreen::activate() {
  m_gui->loadImageset("Flags.imageset");
  const TextTable& texts = m_host.texts();
  setText(m_quitYesButton, texts.getText(1001));
  setText(m_quitNoButton, texts.getText(1002));
  setText(m_quitText, texts.getText(10000));
  const bool choosing = m_host.config().m_language == -1;
  for (int language = 0; language < kFlagCount; ++language) {
    CEGUI::Window* flag = m_flagButtons[language];
    const CEGUI::String base = CEGUI::String("Flags/Flag") + kFlags[language].code;
    flag->setProperty("NormalImage", base + "_Normal");
    flag->setProperty("DisabledImage", base + "_Normal");
    flag->setProperty("HoverImage", base + "_Hover");
    flag->setProperty("PushedImage", base + "_Hover");
    flag->setVisible(choosing);
    flag->setEnabled(choosing);
  }
  GuiScreen::activate();
}

void SplashScreen::deactivate() {
  m_host.config().m_showSplash = 0;
  m_gui->unloadImageset("Flags");
  GuiScreen::deactivate();
}

void SplashScreen::showQuitDialog() { showModal(m_quitDialog); }

bool SplashScreen::handleKeys(InputDevice& input) {
  if (!m_quitDialog->isVisible() && input.wasKeyPressed(kKeyEscape)) showQuitDialog();
  if (m_quitDialog->isVisible() || m_host.config().m_language == -1) return false;
  return input.wasKeyPressed(kKeySpace) || input.m_mouseButton[0] || input.m_mouseButton[1];
}

bool SplashScreen::onFlagClicked(int language) {
  m_host.playClickSound();
  m_host.config().m_language = language;
  m_host.texts().m_language = static_cast<std::uint32_t>(language);
  m_result = kResultOk;
  return true;
}

bool SplashScreen::onQuitYesClicked(const CEGUI::EventArgs&) {
  m_host.playClickSound();
  hideModal(m_quitDialog);
  m_result = kResultQuit;
  return true;
}

bool SplashScreen::onQuitNoClicked(const CEGUI::EventArgs&) {
  m_host.playClickSound();
  hideModal(m_quitDialog);
  return true;
}
