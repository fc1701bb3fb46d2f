#include "gui/menu/main_menu_screen.h"

#include <CEGUI/CEGUI.h>

#include "gui/gui.h"
#include "gui/menu/menu.h"
#include "gui/menu/menu_widgets.h"
#include "gui/text_table.h"

const MainMenuScreen::Entry MainMenuScreen::kEntries[kEntryCount] = {
    {2100, 518, 452, kChoiceTimeTrial},    {2200, 371, 384, kChoiceLastManStanding},
    {2000, 195, 339, kChoiceChampionship}, {2350, 708, 672, kChoiceTwoPlayers},
    {2300, 631, 542, kChoiceMultiplayer},  {2400, 472, 672, kChoiceHighscores},
    {2500, 309, 571, kChoiceOptions},      {2600, 129, 505, kChoiceCredits}};

MainMenuScreen::MainMenuScreen(Menu* menu) : GuiScreen(menu, menu->m_gui) {
  using namespace menu_widgets;
  m_root = makeRoot("MainMenuScreen", "main");

  m_logo = GuiHelper::createWindow("StaticImage", 0, 0, 716.8f, 358.4f);
  GuiHelper::setImage(m_logo, "Brenn6_logo", "Logo");
  m_logo->setProperty("FrameEnabled", "false");
  m_logo->setProperty("BackgroundEnabled", "false");
  m_logo->setEnabled(false);
  m_root->addChild(m_logo);

  m_quitDialog = GuiHelper::createWindow("FrameWindow", 262, 184, 500, 400);
  m_quitDialog->setProperty("CloseButtonEnabled", "false");
  m_quitDialog->setProperty("TitlebarEnabled", "false");
  m_quitDialog->setProperty("SizingEnabled", "false");
  m_quitDialog->setProperty("DragMovingEnabled", "false");
  m_quitDialog->setEnabled(false);
  m_quitDialog->setVisible(false);
  m_quitText = makeLabel(m_quitDialog, 30, 60, 440, 215, "VerdanaMedium", 0xFF000000, HorzText::WordWrapCentred,
                         VertText::Centred);
  GuiHelper::placeWindow(m_quitText, 30, 60, 440, 215, 500, 400);
  for (auto [button, x] : {std::pair{&m_quitYesButton, 30.0f}, std::pair{&m_quitNoButton, 330.0f}}) {
    *button = GuiHelper::createWindow("Button", x, 310, 140, 60, 500, 400);
    (*button)->setFont("VerdanaMedium");
    m_quitDialog->addChild(*button);
  }
  m_root->addChild(m_quitDialog);

  m_offButton = makeImageButton(m_root, 15, 623, 135, 130, "OffButton", "OffButton", "OffButtonHover");
  m_helpButton = makeImageButton(m_root, 932, 15, 68, 68, "HelpButton", "HelpButtonDisabled", "HelpButtonHover");
  for (int i = 0; i < kEntryCount; ++i) {
    const Entry& e = kEntries[i];
    m_menuLabels[i] = makeLabel(m_root, e.buttonX - 260, e.buttonY + 25, 250, 73, "VerdanaMedium", 0xFF000000,
                                HorzText::Right, VertText::Centred);
    m_menuButtons[i] = makeImageButton(m_root, e.buttonX, e.buttonY, 76, 73, "RoundedMiniButton",
                                       "RoundedMiniButtonDisabled", "RoundedMiniButtonHover");
    m_menuButtons[i]->setAlwaysOnTop(true);
  }

  auto on = [](CEGUI::Window* w, auto handler) { w->subscribeEvent(CEGUI::PushButton::EventClicked, handler); };
  on(m_quitYesButton, CEGUI::Event::Subscriber(&MainMenuScreen::onQuitYesClicked, this));
  on(m_quitNoButton, CEGUI::Event::Subscriber(&MainMenuScreen::onQuitNoClicked, this));
  on(m_offButton, CEGUI::Event::Subscriber(&MainMenuScreen::onOffClicked, this));
  on(m_helpButton, CEGUI::Event::Subscriber(&MainMenuScreen::onHelpClicked, this));
  for (int i = 0; i < kEntryCount; ++i)
    on(m_menuButtons[i], [this, i](const CEGUI::EventArgs&) { return onEntryClicked(i); });
}

MainMenuScreen::~MainMenuScreen() { menu_widgets::destroyRoot(m_root); }

void MainMenuScreen::activate() {
  const TextTable& texts = m_menu->texts();
  GuiHelper::setText(m_quitYesButton, texts.getText(1001));
  GuiHelper::setText(m_quitNoButton, texts.getText(1002));
  GuiHelper::setText(m_quitText, texts.getText(10000));
  for (int i = 0; i < kEntryCount; ++i) GuiHelper::setText(m_menuLabels[i], texts.getText(kEntries[i].text));
  GuiScreen::activate();
}

void MainMenuScreen::showQuitDialog() { GuiHelper::showModal(m_quitDialog); }

bool MainMenuScreen::onOffClicked(const CEGUI::EventArgs&) {
  m_menu->playClickSound();
  showQuitDialog();
  return true;
}

bool MainMenuScreen::onQuitYesClicked(const CEGUI::EventArgs&) {
  m_menu->playClickSound();
  GuiHelper::hideModal(m_quitDialog);
  setResult(kResultQuit);
  return true;
}

bool MainMenuScreen::onQuitNoClicked(const CEGUI::EventArgs&) {
  m_menu->playClickSound();
  GuiHelper::hideModal(m_quitDialog);
  return true;
}

bool MainMenuScreen::onHelpClicked(const CEGUI::EventArgs&) {
  m_menu->playClickSound();
  setResult(kChoiceHelp);
  return true;
}

bool MainMenuScreen::onEntryClicked(int entry) {
  m_menu->playClickSound();
  setResult(kEntries[entry].result);
  return true;
}
