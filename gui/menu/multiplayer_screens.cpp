#include "gui/menu/multiplayer_screens.h"

#include <CEGUI/CEGUI.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <thread>

#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "game/saves/config.h"
#include "game/track/track_numbers.h"
#include "gui/menu/menu.h"
#include "gui/menu/menu_widgets.h"
#include "gui/name_matcher.h"
#include "gui/text_table.h"
#include "gui/utf8_text.h"
#include "net/net_control.h"
#include "net/net_value.h"

namespace {

constexpr int kMaxLaps = 5;
constexpr DWORD kJoinTimeoutMs = 5000;
// Flags of a replicated value: taken from the peers, or sent to them.
constexpr std::uint32_t kTheirs = kNetAcceptReceived, kOurs = kNetSendChanges;

// Four dotted decimal numbers of 0..255, as the relay's address is typed.
bool isIpv4Address(std::string_view text) {
  int parts = 0;
  while (parts < 4) {
    std::size_t digits = 0;
    int value = 0;
    while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9')
      value = value * 10 + (text[digits++] - '0');
    if (digits == 0 || digits > 3 || value > 255) return false;
    text.remove_prefix(digits);
    ++parts;
    if (parts == 4) break;
    if (text.empty() || text.front() != '.') return false;
    text.remove_prefix(1);
  }
  return text.empty();
}

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
  m_root = makeRoot("MultiplayerSelectScreen", "Options", "Network");
  m_hostLabel = makeLabel(m_root, 212, 250, 250, 73, "VerdanaMedium", 0xFF000000, HorzText::Right);
  m_hostButton = makeImageButton(m_root, 472, 250, 76, 73, "HostButton", "HostButtonDisabled", "HostButtonHover");
  m_joinLabel = makeLabel(m_root, 212, 380, 250, 73, "VerdanaMedium", 0xFF000000, HorzText::Right);
  m_joinButton = makeImageButton(m_root, 472, 380, 76, 73, "JoinButton", "JoinButtonDisabled", "JoinButtonHover");
  m_addressLabel = makeLabel(m_root, 572, 352, 420, 36, "VerdanaMedium", 0xFF000000, HorzText::Left);
  m_addressProblem = makeLabel(m_root, 572, 448, 440, 36, "VerdanaMedium", 0xFF9A1010, HorzText::Left);
  auto* box = static_cast<CEGUI::Editbox*>(GuiHelper::createWindow("Editbox", 572, 392, 300, 50));
  box->setFont("VerdanaMedium");
  box->setMaxTextLength(15);  // "255.255.255.255"
  box->setValidator(m_addressMatcher.get());
  m_root->addChild(box);
  m_addressBox = box;
  m_backButton = makeImageButton(m_root, 15, 623, 135, 130, "BackButton", "BackButton", "BackButtonHover");
  onClick(menu, m_hostButton, [this] { setResult(kChoiceHost); });
  onClick(menu, m_joinButton, [this] {
    // Joining nowhere would only open the lobby on a lost connection.
    if (isIpv4Address(address().c_str())) {
      setResult(kChoiceJoin);
    } else {
      GuiHelper::setText(m_addressProblem, m_menu->texts().getText(2331));
      m_addressProblem->setVisible(true);
    }
  });
  onClick(menu, m_backButton, [this] { setResult(kResultBack); });
}

MultiplayerSelectScreen::~MultiplayerSelectScreen() {
  if (m_addressBox && CEGUI::WindowManager::getSingleton().isAlive(m_addressBox))
    static_cast<CEGUI::Editbox*>(m_addressBox)->setValidator(nullptr);
  menu_widgets::destroyRoot(m_root);
}

void MultiplayerSelectScreen::activate() {
  GuiHelper::setText(m_hostLabel, m_menu->texts().getText(2310));
  GuiHelper::setText(m_joinLabel, m_menu->texts().getText(2320));
  GuiHelper::setText(m_addressLabel, m_menu->texts().getText(2330));
  m_addressProblem->setVisible(false);
  GuiScreen::activate();
}

CEGUI::String MultiplayerSelectScreen::address() const { return m_addressBox->getText(); }

// ---- the lobby ----------------------------------------------------------------

MultiplayerScreen::MultiplayerScreen(Menu* menu) : GuiScreen(menu, menu->m_gui) {
  using namespace menu_widgets;
  m_root = makeRoot("MultiplayerScreen", "Championship", "Lobby");
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
  onClick(menu, m_backButton, [this] { leave(); });
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
  GuiHelper::placeWindow(m_messageText, 30, 40, 440, 220, 500, 400);
  m_messageButton = makeImageButton(m_messageBox, 182, 270, 135, 120, "OKButton", "OKButtonDisabled", "OKButtonHover");
  GuiHelper::placeWindow(m_messageButton, 182, 270, 135, 120, 500, 400);
  onClick(menu, m_messageButton, [this] { leave(); });
  m_root->addChild(m_messageBox);
}

MultiplayerScreen::~MultiplayerScreen() { menu_widgets::destroyRoot(m_root); }

Config& MultiplayerScreen::config() const { return m_settings ? *m_settings : *m_menu->m_config; }

NetControl& MultiplayerScreen::net() const { return m_net ? *m_net : NetControl::getInstance(); }

int MultiplayerScreen::localSlot() const { return std::clamp(net().playerSlot(), 0, Config::kPlayerCount - 1); }

void MultiplayerScreen::leave() {
  // A modal window, even hidden with its screen, keeps taking every mouse
  // event: the menu behind would drop all clicks.
  GuiHelper::hideModal(m_messageBox);
  // Unlocked, the relay tells nobody: the others learn it from the record,
  // emptied before the link goes.
  NetControl& control = net();
  if (control.isConnected()) {
    *config().m_player[localSlot()].modify() = Config::Player();
    control.update();
  }
  control.leave();
  setResult(kResultBack);
}

void MultiplayerScreen::deactivate() {
  GuiHelper::hideModal(m_messageBox);
  GuiScreen::deactivate();
}

void MultiplayerScreen::forgetEmptySeats() {
  if (!m_isHost || !m_relay) return;
  Config& c = config();
  for (int i = 1; i < Config::kPlayerCount; ++i) {
    if (c.m_player[i].get().character == -1 || m_relay->slotOccupied(i)) continue;
    *c.m_player[i].modify() = Config::Player();
  }
}

int MultiplayerScreen::localKartIndex() const {
  return std::clamp(config().m_player[localSlot()].get().kart, 0, Config::kMaxKart);
}

int MultiplayerScreen::localCharacterIndex() const {
  return std::clamp(config().m_player[localSlot()].get().character, 0, Config::kMaxCharacter);
}

void MultiplayerScreen::activate() {
  NetControl& control = net();
  // A failed seat leaves the link down; the first refresh shows why.
  if (m_isHost) {
    control.hostGame("127.0.0.1", m_port, kJoinTimeoutMs);
  } else if (control.joinGame(m_address.c_str(), m_port, kJoinTimeoutMs) == NetControl::JoinResult::Accepted) {
    control.requestValues(kJoinTimeoutMs);
  }
  // The host owns the race choice and every machine its own record; a value
  // sent from both ends would be resent stale by the one and flap on the
  // other.
  Config& c = config();
  const int own = localSlot();
  // The kart last chosen here, else the player's championship kart: with
  // one chosen, ready is a single click away.
  const int kart = m_lastKart >= 0 ? m_lastKart : std::clamp(c.m_championshipKart, 0, Config::kMaxKart);
  if (m_isHost) c.m_game.set(kModeRace);  // a network game is a race
  for (NetValue<int>* shared : {&c.m_game, &c.m_track, &c.m_ccm, &c.m_laps})
    shared->setFlags(m_isHost ? kOurs : kTheirs);
  for (int i = 0; i < Config::kPlayerCount; ++i) {
    c.m_player[i].setFlags(i == own ? kOurs : kTheirs);
    // Records of players not (or no longer) here must not count as seated.
    *c.m_player[i].modify() = Config::Player();
  }
  Config::Player& mine = *c.m_player[own].modify();
  std::memcpy(mine.name, c.m_playerName1, sizeof mine.name);
  mine.name[sizeof mine.name - 1] = '\0';
  mine.character = 0;
  mine.kart = kart;
  mine.ready = 0;  // else a second visit would start at once
  // The grid slot travels with the record from the first send: the host
  // gives its computer drivers the slots the players leave as soon as its
  // race loads, which may be before this machine's load sends anything.
  mine.startPosition = Config::gridSlotOfSeat(own);
  GuiHelper::hideModal(m_messageBox);
  for (CEGUI::Window** pair : {m_trackButtons, m_ccmButtons, m_lapsButtons})
    for (int side = 0; side < 2; ++side) pair[side]->setEnabled(m_isHost);
  showRaceChoice();
  showOwnChoice();
  updateStartButton();
  GuiScreen::activate();
}

void MultiplayerScreen::updateStartButton() {
  const Config& c = config();
  const Config::Player& own = c.m_player[localSlot()].get();
  bool enabled = own.kart >= 0 && !own.ready;
  if (m_isHost) {
    // Record 0 is the host's own.
    enabled = enabled && c.countPlayers() > 1;
    for (int i = 1; i < Config::kPlayerCount; ++i) {
      const Config::Player& p = c.m_player[i].get();
      if (p.character != -1 && !p.ready) enabled = false;
    }
  }
  m_startButton->setEnabled(enabled);
}

void MultiplayerScreen::refresh() {
  Config& c = config();
  // The host's choice goes out every frame, so late joiners receive it.
  for (NetValue<int>* shared : {&c.m_ccm, &c.m_game, &c.m_track, &c.m_laps})
    if (shared->getFlags() & kNetSendChanges) shared->modify();
  forgetEmptySeats();
  showRaceChoice();
  showRows();
  showOwnChoice();
  std::uint32_t ready = 0;
  // Only a seated player's ready counts: a peer may send any record.
  for (const NetValue<Config::Player>& p : c.m_player)
    if (p.get().character != -1 && p.get().ready) ++ready;
  if (ready == std::max<std::uint32_t>(c.countPlayers(), 2)) setResult(kResultOk);
  updateStartButton();
  NetControl& control = net();
  if (control.isConnected() || m_messageBox->isVisible()) return;
  const int state = control.getState();
  GuiHelper::setText(m_messageText, m_menu->texts().getText(state == NetControl::kStateHostLeft     ? 9004
                                                            : state == NetControl::kStatePlayerLeft ? 9001
                                                                                                    : 9000));
  GuiHelper::showModal(m_messageBox);
}

void MultiplayerScreen::showRows() {
  const Config& c = config();
  const TextTable& texts = m_menu->texts();
  for (int i = 0; i < kRows; ++i) {
    const Config::Player& p = c.m_player[i].get();
    if (p.character == -1) {
      for (CEGUI::Window* w : {m_nameTexts[i], m_characterTexts[i], m_kartTexts[i]}) GuiHelper::setText(w, "");
      GuiHelper::setImage(m_readyIcons[i], "Quillfen", "TransparentBrush");
      continue;
    }
    // A peer's name is bytes off the wire: decoded within its field.
    GuiHelper::setText(m_nameTexts[i], decodeUtf8(std::string_view(p.name, strnlen(p.name, sizeof p.name))));
    if (p.character >= 0 && p.character <= 6)
      GuiHelper::setText(m_characterTexts[i], texts.getText(100 * (p.character + 1)));
    if (p.kart == -1) GuiHelper::setText(m_kartTexts[i], "--");
    if (p.kart >= 0 && p.kart <= Config::kMaxKart) GuiHelper::setText(m_kartTexts[i], texts.getText(700 + p.kart));
    GuiHelper::setImage(m_readyIcons[i], "Quillfen", p.ready ? "IconReady" : "IconWaiting");
  }
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
  const int game = c.m_game.get(), track = c.m_track.get(), ccm = c.m_ccm.get();
  if (game == kModeChampionship) {
    GuiHelper::setImage(m_trackImage, "Tracks", track != 0 ? "Championship2" : "Championship1");
    GuiHelper::setText(m_trackText, texts.getText(track != 0 ? 2020 : 2010));
  } else if (track >= 0 && track < kTrackCount) {
    GuiHelper::setImage(m_trackImage, "Tracks", "Track" + std::to_string(kTrackFileNumbers[track]));
    GuiHelper::setText(m_trackText, texts.getText(trackNameText(track)));
  }
  static constexpr std::pair<int, int> kModeTexts[] = {
      {kModeRace, 2110}, {kModeLastManStanding, 2200}, {kModeChampionship, 2000}, {4, 2120}};
  for (const auto& [mode, text] : kModeTexts)
    if (game == mode) GuiHelper::setText(m_modeText, texts.getText(text));
  if (ccm >= 0 && ccm < Config::kClassCount) GuiHelper::setText(m_ccmText, texts.getText(800 + 10 * ccm));
  if (game == kModeRace) {
    char laps[16];
    std::snprintf(laps, sizeof laps, " %d", c.m_laps.get());
    GuiHelper::setText(m_lapsText, texts.getText(2471) + laps);
    m_lapsText->setVisible(true);
    if (m_isHost)
      for (CEGUI::Window* b : m_lapsButtons) b->setEnabled(true);
  } else {
    m_lapsText->setVisible(false);
    for (CEGUI::Window* b : m_lapsButtons) b->setEnabled(false);
  }
}

void MultiplayerScreen::stepShared(int which, int delta) {
  if (!m_isHost) return;
  Config& c = config();
  if (which == 0) c.m_track.set(wrap(c.m_track.get() + delta, 0, kTrackCount - 1));
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
  if (kart) m_lastKart = field;
  showOwnChoice();
  updateStartButton();
}

void MultiplayerScreen::applySelection() {
  Config& c = config();
  c.m_game.set(kModeRace);
  c.m_playType = kPlayNetwork;
  c.m_laps.set(c.m_laps.get());
  const int own = localSlot();
  for (int i = 0; i < Config::kPlayerCount; ++i) {
    c.m_controlType[i] = i == own ? (m_isHost ? 0 : 4) : 3;
    // Only this machine's record is ours to write; the others arrive from
    // their owners.
    if (i != own) continue;
    Config::Player& p = *c.m_player[i].modify();
    p.startPosition = Config::gridSlotOfSeat(i);
    p.totalPoints = 0;
    p.totalTime = 0.0f;
  }
  c.m_isAuthority = m_isHost ? 1 : 0;
  if (m_isHost) {
    lockRelay();
    forgetEmptySeats();
  }
}

void MultiplayerScreen::lockRelay() {
  if (!net().isConnected() || !net().setLocked(true) || !m_relay) return;
  // The seat table is read only once the lock holds: a player leaving
  // before it shows as an empty seat, one leaving after it is announced,
  // and none slips between the two unnoticed. The relay runs in this
  // process, so the lock takes a moment; the wait is bounded all the same.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!m_relay->isLocked() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
