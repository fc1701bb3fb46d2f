#include "gui/menu/multiplayer_screens.h"

#include <CEGUI/CEGUI.h>

#include <algorithm>
#include <cstdio>

#include "game/config.h"
#include "gui/menu/menu.h"
#include "gui/menu/menu_widgets.h"
#include "gui/name_matcher.h"
#include "gui/text_table.h"
#include "net/net_control.h"

namespace {

constexpr int kTrackFiles[Config::kTrackCount] = {1, 5, 3, 4, 2, 6, 8, 7};
constexpr int kMaxLaps = 5;

int wrap(int v, int first, int last) { return v < first ? last : v > last ? first : v; }

// A push button that plays the click and then runs `action`.
void onClick(Menu* menu, CEGUI::Window* button, std::function<void()> action) {
  button->subscribeEvent(CEGUI::PushButton::EventClicked, [menu, action](const CEGUI::EventArgs&) {
    menu->playClickSound();
    action();
    return true;
  });
}

}  // namespace

// ---- host or join -----------------------------------------------------------

MultiplayerSelectScreen::MultiplayerSelectScreen(Menu* menu)
    : GuiScreen(menu, menu->m_gui), m_addressMatcher(std::make_unique<NameMatcher>("[0-9.]*")) {
  using namespace menu_widgets;
  m_root = makeRoot("MultiplayerSelectScreen", "main");
  m_hostLabel = makeLabel(m_root, 212, 250, 250, 73, "VerdanaMedium", 0xFF000000, HorzText::Right);
  m_hostButton = makeImageButton(m_root, 472, 250, 76, 73, "RoundedMiniButton", "RoundedMiniButtonDisabled",
                                 "RoundedMiniButtonHover");
  m_joinLabel = makeLabel(m_root, 212, 380, 250, 73, "VerdanaMedium", 0xFF000000, HorzText::Right);
  m_joinButton = makeImageButton(m_root, 472, 380, 76, 73, "RoundedMiniButton", "RoundedMiniButtonDisabled",
                                 "RoundedMiniButtonHover");
  auto* box = static_cast<CEGUI::Editbox*>(GuiHelper::createWindow("Editbox", 572, 392, 300, 50));
  box->setFont("VerdanaMedium");
  box->setMaxTextLength(15);  // "255.255.255.255"
  box->setValidator(m_addressMatcher.get());
  m_root->addChild(box);
  m_addressBox = box;
  m_backButton = makeImageButton(m_root, 15, 623, 135, 130, "BackButton", "BackButton", "BackButtonHover");
  onClick(menu, m_hostButton, [this] { setResult(kHost); });
  onClick(menu, m_joinButton, [this] { setResult(kJoin); });
  onClick(menu, m_backButton, [this] { setResult(1); });
}

MultiplayerSelectScreen::~MultiplayerSelectScreen() {
  if (m_addressBox && CEGUI::WindowManager::getSingleton().isAlive(m_addressBox))
    static_cast<CEGUI::Editbox*>(m_addressBox)->setValidator(nullptr);
  menu_widgets::destroyRoot(m_root);
}

void MultiplayerSelectScreen::activate() {
  GuiHelper::setText(m_hostLabel, m_menu->texts().getText(2420));
  GuiHelper::setText(m_joinLabel, m_menu->texts().getText(2430));
  GuiScreen::activate();
}

CEGUI::String MultiplayerSelectScreen::address() const { return m_addressBox->getText(); }

// ---- the lobby ----------------------------------------------------------------

MultiplayerScreen::MultiplayerScreen(Menu* menu) : GuiScreen(menu, menu->m_gui) {
  using namespace menu_widgets;
  m_root = makeRoot("MultiplayerScreen", "Championship");
  // Own choice under the preview (60, 30, 422 x 331.5).
  m_localCharacterText = makeLabel(m_root, 150, 382, 240, 30);
  m_localKartText = makeLabel(m_root, 150, 438, 240, 30);
  for (int side = 0; side < 2; ++side) {
    const float x = side ? 454 : 27;
    m_characterButtons[side] = makeArrow(m_root, x, 372, side == 1);
    m_kartButtons[side] = makeArrow(m_root, x, 428, side == 1);
    onClick(menu, m_characterButtons[side], [this, side] { stepOwn(false, side ? 1 : -1); });
    onClick(menu, m_kartButtons[side], [this, side] { stepOwn(true, side ? 1 : -1); });
  }
  // The race, set by the host, on the right.
  m_modeText = makeLabel(m_root, 560, 30, 420, 30, "VerdanaMedium");
  m_trackImage = GuiHelper::createWindow("StaticImage", 592, 70, 332, 150);
  m_trackImage->setProperty("FrameEnabled", "false");
  m_trackImage->setProperty("BackgroundEnabled", "false");
  m_root->addChild(m_trackImage);
  m_trackText = makeLabel(m_root, 592, 225, 332, 30);
  m_ccmText = makeLabel(m_root, 592, 270, 332, 51);
  m_lapsText = makeLabel(m_root, 592, 340, 332, 30);
  CEGUI::Window** shared[3] = {m_trackButtons, m_ccmButtons, m_lapsButtons};
  const float sharedY[3] = {130, 270, 330};
  for (int which = 0; which < 3; ++which)
    for (int side = 0; side < 2; ++side) {
      shared[which][side] = makeArrow(m_root, side ? 941 : 521, sharedY[which], side == 1);
      onClick(menu, shared[which][side], [this, which, side] { stepShared(which, side ? 1 : -1); });
    }
  // One row per player record 0..4.
  for (int i = 0; i < kRows; ++i) {
    const float y = 480 + 28 * static_cast<float>(i);
    m_nameTexts[i] = makeLabel(m_root, 170, y, 260, 26, "VerdanaSmall", 0xFFFFFFFF, HorzText::Left);
    m_characterTexts[i] = makeLabel(m_root, 440, y, 180, 26);
    m_kartTexts[i] = makeLabel(m_root, 630, y, 180, 26);
    m_readyIcons[i] = GuiHelper::createWindow("StaticImage", 820, y, 26, 26);
    m_readyIcons[i]->setProperty("FrameEnabled", "false");
    m_readyIcons[i]->setProperty("BackgroundEnabled", "false");
    GuiHelper::setImage(m_readyIcons[i], "Quillfen", "TransparentBrush");
    m_root->addChild(m_readyIcons[i]);
  }
  m_backButton = makeImageButton(m_root, 15, 623, 135, 130, "BackButton", "BackButton", "BackButtonHover");
  m_startButton = makeImageButton(m_root, 873, 623, 135, 130, "OKButton", "OKButtonDisabled", "OKButtonHover");
  onClick(menu, m_backButton, [this] { setResult(1); });
  onClick(menu, m_startButton, [this] {
    Config::Player& own = *config().m_player[localSlot()].modify();
    if (own.kart < 0) return;
    own.ready = 1;
    updateStartButton();
  });
  // The connection message, shown modal by the per-frame refresh.
  m_messageBox = GuiHelper::createWindow("FrameWindow", 262, 184, 500, 400);
  m_messageBox->setProperty("CloseButtonEnabled", "false");
  m_messageBox->setProperty("TitlebarEnabled", "false");
  m_messageBox->setProperty("SizingEnabled", "false");
  m_messageBox->setProperty("DragMovingEnabled", "false");
  m_messageBox->setVisible(false);
  m_messageBox->setEnabled(false);
  m_messageText = makeLabel(m_messageBox, 30, 60, 440, 280, "VerdanaMedium", 0xFF000000, HorzText::WordWrapCentred);
  GuiHelper::placeWindow(m_messageText, 30, 60, 440, 280, 500, 400);
  m_root->addChild(m_messageBox);
}

MultiplayerScreen::~MultiplayerScreen() { menu_widgets::destroyRoot(m_root); }

Config& MultiplayerScreen::config() const { return *m_menu->m_config; }

int MultiplayerScreen::localSlot() const {
  return std::clamp(NetControl::getInstance().playerSlot(), 0, Config::kPlayerCount - 1);
}

int MultiplayerScreen::localKartIndex() const {
  return std::clamp(config().m_player[localSlot()].get().kart, 0, Config::kMaxKart);
}

int MultiplayerScreen::localCharacterIndex() const {
  return std::clamp(config().m_player[localSlot()].get().character, 0, Config::kMaxCharacter);
}

void MultiplayerScreen::activate() {
  for (CEGUI::Window** pair : {m_trackButtons, m_ccmButtons, m_lapsButtons})
    for (int side = 0; side < 2; ++side) pair[side]->setEnabled(m_isHost);
  showRaceChoice();
  showOwnChoice();
  updateStartButton();
  GuiScreen::activate();
}

void MultiplayerScreen::updateStartButton() {
  const Config::Player& own = config().m_player[localSlot()].get();
  m_startButton->setEnabled(own.kart >= 0 && !own.ready);
}

void MultiplayerScreen::showOwnChoice() {
  const Config::Player& own = config().m_player[localSlot()].get();
  const TextTable& texts = m_menu->texts();
  GuiHelper::setText(m_localKartText,
                     own.kart >= 0 && own.kart <= Config::kMaxKart ? texts.getText(700 + own.kart) : "");
  GuiHelper::setText(m_localCharacterText, own.character >= 0 && own.character <= Config::kMaxCharacter
                                               ? texts.getText(100 * (own.character + 1))
                                               : "");
}

void MultiplayerScreen::showRaceChoice() {
  const Config& c = config();
  const TextTable& texts = m_menu->texts();
  const int track = c.m_track.get(), ccm = c.m_ccm.get();
  if (track >= 0 && track < Config::kTrackCount) {
    GuiHelper::setImage(m_trackImage, "Tracks", "Track" + std::to_string(kTrackFiles[track]));
    GuiHelper::setText(m_trackText, texts.getText(3000 + 100 * (kTrackFiles[track] - 1)));
  }
  if (ccm >= 0 && ccm < Config::kClassCount) GuiHelper::setText(m_ccmText, texts.getText(800 + 10 * ccm));
  char laps[16];
  std::snprintf(laps, sizeof laps, " %d", c.m_laps.get());
  GuiHelper::setText(m_lapsText, texts.getText(2471) + laps);
  GuiHelper::setText(m_modeText, texts.getText(2110));
}

void MultiplayerScreen::stepShared(int which, int delta) {
  if (!m_isHost) return;
  Config& c = config();
  if (which == 0) c.m_track.set(wrap(c.m_track.get() + delta, 0, Config::kTrackCount - 1));
  if (which == 1) c.m_ccm.set(wrap(c.m_ccm.get() + delta, 0, Config::kClassCount - 1));
  if (which == 2) c.m_laps.set(wrap(c.m_laps.get() + delta, 1, kMaxLaps));
  showRaceChoice();
}

void MultiplayerScreen::stepOwn(bool kart, int delta) {
  Config::Player& own = *config().m_player[localSlot()].modify();
  if (own.ready) return;  // a ready player's choice is final
  int& field = kart ? own.kart : own.character;
  // From "none chosen" (-1) either arrow starts at the first one.
  field = field < 0 ? 0 : wrap(field + delta, 0, kart ? Config::kMaxKart : Config::kMaxCharacter);
  showOwnChoice();
  updateStartButton();
}

void MultiplayerScreen::applySelection() {
  Config& c = config();
  c.m_game.set(1);
  c.m_playType = 2;
  c.m_laps.set(c.m_laps.get());
  const int own = localSlot();
  for (int i = 0; i < Config::kPlayerCount; ++i) {
    c.m_controlType[i] = i == own ? (m_isHost ? 0 : 4) : 3;
    // Only this machine's record is ours to write; the others arrive from
    // their owners.
    if (i != own) continue;
    Config::Player& p = *c.m_player[i].modify();
    p.startPosition = Config::kPlayerCount - 1 - i;
    p.totalPoints = 0;
    p.totalTime = 0.0f;
  }
  c.m_isAuthority = m_isHost ? 1 : 0;
}
