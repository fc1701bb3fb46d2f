// The race's message box (a lost connection), its pause dialog and the
// highscore name entry, all members of OnscreenDisplays.
#include <CEGUI/CEGUI.h>

#include <cstring>

#include "foundation/timer.h"
#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "game/saves/config.h"
#include "gui/gui.h"
#include "gui/ingame/onscreen_displays.h"
#include "gui/text_table.h"
#include "gui/utf8_text.h"
#include "input/input_device.h"

namespace {

constexpr float kLayoutWidth = GuiHelper::kLayoutWidth, kLayoutHeight = GuiHelper::kLayoutHeight;
// Names of the name entry: at most 16 characters.
constexpr std::size_t kNameCharacters = 16;

}  // namespace

CEGUI::Window* OnscreenDisplays::makeFrame(float x, float y, float width, float height) {
  CEGUI::Window* frame = GuiHelper::createWindow("FrameWindow", x, y, width, height);
  frame->setProperty("CloseButtonEnabled", "false");
  frame->setProperty("TitlebarEnabled", "false");
  frame->setProperty("SizingEnabled", "false");
  frame->setProperty("DragMovingEnabled", "false");
  frame->setEnabled(false);
  frame->setVisible(false);
  m_root->addChild(frame);
  return frame;
}

CEGUI::Window* OnscreenDisplays::makeButton(CEGUI::Window* frame, float x, float y, float width, float height,
                                            const char* font, int textId, Handler handler) {
  const CEGUI::Sizef size = frameSize(frame);
  CEGUI::Window* button = GuiHelper::createWindow("Button", x, y, width, height, size.d_width, size.d_height);
  button->setFont(font);
  GuiHelper::setText(button, text(textId));
  button->setVisible(true);
  button->setEnabled(true);
  button->subscribeEvent(CEGUI::PushButton::EventClicked, CEGUI::Event::Subscriber(handler, this));
  frame->addChild(button);
  return button;
}

CEGUI::Window* OnscreenDisplays::makeDialogText(CEGUI::Window* frame, float x, float y, float width, float height,
                                                const char* font, HorzText horizontal, VertText vertical) {
  const CEGUI::Sizef size = frameSize(frame);
  CEGUI::Window* label = GuiHelper::createWindow("StaticText", x, y, width, height, size.d_width, size.d_height);
  label->setProperty("FrameEnabled", "false");
  label->setProperty("BackgroundEnabled", "false");
  GuiHelper::setFormatting(label, horizontal, vertical);
  GuiHelper::setTextColour(label, 0xFF000000);
  label->setFont(font);
  label->setVisible(true);
  frame->addChild(label);
  return label;
}

// The frame's size in layout pixels: its children are placed in them.
CEGUI::Sizef OnscreenDisplays::frameSize(const CEGUI::Window* frame) {
  const CEGUI::USize& size = frame->getSize();
  return CEGUI::Sizef(size.d_width.d_scale * kLayoutWidth, size.d_height.d_scale * kLayoutHeight);
}

void OnscreenDisplays::openDialog(CEGUI::Window* frame) {
  m_gui.setMouseCursorVisible(true);
  GuiHelper::showModal(frame);
}

void OnscreenDisplays::closeDialog(CEGUI::Window* frame) {
  m_gui.setMouseCursorVisible(false);
  GuiHelper::hideModal(frame);
}

void OnscreenDisplays::leaveRace() {
  m_race->leave();
  m_race->leaveNetwork();
}

// ---- message box ----------------------------------------------------------------

void OnscreenDisplays::buildMessageBox() {
  m_messageBox = makeFrame(262, 184, 500, 400);
  m_messageText =
      makeDialogText(m_messageBox, 30, 60, 440, 215, "VerdanaMedium", HorzText::WordWrapCentred, VertText::Centred);
  m_messageOkButton =
      makeButton(m_messageBox, 180, 310, 140, 60, "VerdanaMedium", 2000, &OnscreenDisplays::onMessageBoxOk);
}

void OnscreenDisplays::showMessageBox(int textId) {
  m_gui.setMouseCursorVisible(true);
  GuiHelper::setText(m_messageText, text(textId));
  GuiHelper::showModal(m_messageBox);
}

bool OnscreenDisplays::onMessageBoxOk(const CEGUI::EventArgs&) {
  closeDialog(m_messageBox);
  leaveRace();
  return true;
}

bool OnscreenDisplays::messageBoxVisible() const { return m_messageBox->isVisible(); }

// ---- pause dialog -----------------------------------------------------------------

void OnscreenDisplays::buildPauseDialog() {
  m_pauseDialog = makeFrame(292, 204, 440, 360);
  m_pauseResumeButton =
      makeButton(m_pauseDialog, 60, 80, 320, 60, "VerdanaMedium", 9000, &OnscreenDisplays::onPauseResumeClicked);
  m_pauseEndRaceButton =
      makeButton(m_pauseDialog, 60, 165, 320, 60, "VerdanaMedium", 9010, &OnscreenDisplays::onPauseEndRaceClicked);
  // Nobody ends a network race for the others.
  m_pauseEndRaceButton->setEnabled(m_config.m_playType != kPlayNetwork);
  m_pauseQuitButton =
      makeButton(m_pauseDialog, 60, 250, 320, 60, "VerdanaMedium", 9020, &OnscreenDisplays::onPauseQuitClicked);
}

void OnscreenDisplays::openPauseDialog() {
  m_race->setSoundsPaused(true);
  m_savedPause = m_race->paused() ? 1 : 0;
  m_pauseStoppedTimer = false;
  if (m_config.m_playType != kPlayNetwork) {
    // Before the countdown the clock stands: resuming it would start it.
    m_pauseStoppedTimer = m_race->timer().isRunning();
    m_race->timer().pause();
  }
  m_gui.setMouseCursorVisible(true);
  m_pauseDialog->setVisible(true);
  m_pauseDialog->setEnabled(true);
  m_pauseDialog->setModalState(true);
}

void OnscreenDisplays::closePauseDialog() {
  m_gui.setMouseCursorVisible(false);
  m_pauseDialog->setVisible(false);
  m_pauseDialog->setEnabled(false);
  m_pauseDialog->setModalState(false);
  m_race->setPausedFlag(m_savedPause != 0);
  // A race paused with P before the dialog stays paused, its clock too.
  if (m_config.m_playType != kPlayNetwork && m_savedPause == 0 && m_pauseStoppedTimer) m_race->timer().resume();
  m_pauseStoppedTimer = false;
}

bool OnscreenDisplays::onPauseResumeClicked(const CEGUI::EventArgs&) {
  if (m_savedPause == 0) m_race->setSoundsPaused(false);
  closePauseDialog();
  return true;
}

bool OnscreenDisplays::onPauseEndRaceClicked(const CEGUI::EventArgs&) {
  closePauseDialog();
  m_config.m_raceEndedFromPause = 1;
  leaveRace();
  return true;
}

bool OnscreenDisplays::onPauseQuitClicked(const CEGUI::EventArgs&) {
  closePauseDialog();
  m_race->leave();
  // The menu opens on the main menu with its own music.
  m_config.m_showHighscores = 0;
  m_config.m_highscoreMusic = 0;
  m_race->leaveNetwork();
  return true;
}

bool OnscreenDisplays::pauseDialogVisible() const { return m_pauseDialog->isVisible(); }

// ---- highscore name entry -----------------------------------------------------------

void OnscreenDisplays::buildHighscoreEntryDialog() {
  m_nameEntryDialog = makeFrame(262.5f, 184, 500, 400);
  m_nameEntryTitle =
      makeDialogText(m_nameEntryDialog, 30, 60, 440, 30, "VerdanaLarge", HorzText::Centred, VertText::Centred);
  GuiHelper::setText(m_nameEntryTitle, text(4000));
  m_nameEntryMessage =
      makeDialogText(m_nameEntryDialog, 30, 100, 440, 90, "VerdanaMedium", HorzText::WordWrapCentred, VertText::Top);
  m_nameEntryPrompt =
      makeDialogText(m_nameEntryDialog, 30, 200, 440, 30, "VerdanaMedium", HorzText::Left, VertText::Centred);
  GuiHelper::setText(m_nameEntryPrompt, text(4001));
  m_nameEntryEdit = GuiHelper::createWindow("Editbox", 30, 230, 440, 50, 500, 400);
  m_nameEntryEdit->setFont("VerdanaMediumItalic");
  auto* edit = static_cast<CEGUI::Editbox*>(m_nameEntryEdit);
  edit->setMaxTextLength(kNameCharacters);
  edit->setValidator(&m_nameMatcher);
  edit->subscribeEvent(CEGUI::Editbox::EventTextAccepted,
                       CEGUI::Event::Subscriber(&OnscreenDisplays::onHighscoreNameAccepted, this));
  m_nameEntryDialog->addChild(m_nameEntryEdit);
  m_nameEntryOkButton =
      makeButton(m_nameEntryDialog, 180, 310, 180, 60, "VerdanaMedium", 2000, &OnscreenDisplays::acceptHighscoreName);
}

void OnscreenDisplays::checkForHighscore() {
  m_highscoreTable = nullptr;
  const ConfigPlayer& player = record(0);
  HighscoreTables* tables = m_race->highscores();
  const int engineClass = m_config.m_ccm.get();
  float time = 0.0f;
  switch (m_config.m_game.get()) {
    case kModeTimeTrial:
      m_highscoreTable = tables ? tables->table(kTableTimeTrial, engineClass) : nullptr;
      time = player.bestLap;
      break;
    case kModeLastManStanding:
      // Only the winner enters the table.
      if (player.position != 0) {
        leaveRace();
        return;
      }
      m_highscoreTable = tables ? tables->table(kTableLastManStanding, engineClass) : nullptr;
      time = player.raceTime;
      break;
    default:
      // A cup enters its table once, after its last race (the standings).
      break;
  }
  m_highscoreEntry = HighscoreEntry(time, player.name, player.racePoints, static_cast<std::int8_t>(player.character),
                                    static_cast<std::int8_t>(player.kart));
  if (!m_highscoreTable) {
    leaveRace();
    return;
  }
  const int place = m_highscoreTable->getPlace(m_trackIndex, m_highscoreEntry);
  if (place < 0 || place >= HighscoreBase::kRanked) {
    m_highscoreTable = nullptr;
    closeHighscoreEntry();
    return;
  }
  GuiHelper::setText(m_nameEntryMessage, text(4010 + place));
  const CEGUI::String name =
      decodeUtf8(
          std::string_view(m_config.m_playerName1, strnlen(m_config.m_playerName1, sizeof m_config.m_playerName1)))
          .substr(0, kNameCharacters);
  GuiHelper::setText(m_nameEntryEdit, name);
  static_cast<CEGUI::Editbox*>(m_nameEntryEdit)->setCaretIndex(name.length());
  // Keys still held from driving (the race feeds the GUI keys only while
  // this dialog shows) would be typed into the name as it opens.
  if (m_gui.m_input) std::memset(m_gui.m_input->m_key, 0, sizeof m_gui.m_input->m_key);
  openDialog(m_nameEntryDialog);
  m_nameEntryEdit->activate();
}

bool OnscreenDisplays::acceptHighscoreName(const CEGUI::EventArgs&) {
  // Return and the button may both arrive: the entry goes in once.
  if (!m_highscoreTable || !m_nameEntryDialog->isVisible()) return true;
  HighscoreBase& table = *m_highscoreTable;
  m_highscoreTable = nullptr;
  std::memset(m_highscoreEntry.name, 0, sizeof m_highscoreEntry.name);
  // Whole characters, the terminator kept.
  encodeUtf8(m_nameEntryEdit->getText().substr(0, kNameCharacters), m_highscoreEntry.name,
             sizeof m_highscoreEntry.name - 1);
  table.insert(m_trackIndex, m_highscoreEntry);
  if (m_config.m_game.get() != kModeChampionship) {
    const ConfigPlayer& player = record(0);
    const HighscoreEntry* latest = table.getLatest(m_trackIndex);
    if (latest && latest->time > player.bestLap)
      table.setLatest(m_trackIndex, HighscoreEntry(player.bestLap, m_highscoreEntry.name, player.racePoints,
                                                   static_cast<std::int8_t>(player.character),
                                                   static_cast<std::int8_t>(player.kart)));
  }
  if (HighscoreTables* tables = m_race->highscores()) tables->save(HighscoreTables::kFileName);
  closeHighscoreEntry();
  return true;
}

bool OnscreenDisplays::onHighscoreNameAccepted(const CEGUI::EventArgs& args) { return acceptHighscoreName(args); }

void OnscreenDisplays::closeHighscoreEntry() {
  closeDialog(m_nameEntryDialog);
  leaveRace();
}

bool OnscreenDisplays::highscoreEntryVisible() const { return m_nameEntryDialog->isVisible(); }
