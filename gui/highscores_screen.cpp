#include "gui/highscores_screen.h"

#include <CEGUI/CEGUI.h>

#include <cstdio>
#include <cstring>

#include "game/saves/config.h"
#include "game/saves/highscore.h"
#include "gui/gui.h"
#include "gui/menu/menu_widgets.h"
#include "gui/screen_services.h"
#include "gui/text_table.h"
#include "gui/utf8_text.h"

namespace {

constexpr int kKindTexts[HighscoresScreen::kKinds] = {2100, 2200, 2010, 2020};
constexpr float kNoTime = 9999999.0f;
// The end pictures by championship character.
constexpr const char* kEndPictures[] = {"Endscreen_Quorrel", "Endscreen_Affe",    "Endscreen_Alien",
                                        "Endscreen_Kroet",   "Endscreen_Pumpkin", "Endscreen_Tod"};
constexpr int kEndPictureCount = sizeof kEndPictures / sizeof kEndPictures[0];

const char* endPictureOf(int character) {
  return character >= 0 && character < kEndPictureCount ? kEndPictures[character] : nullptr;
}

// A hint from the race end outside its range would index past the tables.
int inRange(int value, int count) { return value >= 0 && value < count ? value : 0; }

}  // namespace

HighscoresScreen::HighscoresScreen(Gui* gui, ScreenServices& services, Menu* menu)
    : GuiScreen(menu, gui), m_services(services) {
  using namespace menu_widgets;
  m_root = makeRoot(kName, "Highscores");
  auto text = [this](float x, float y, float w, float h, const char* font, HorzText horizontal) {
    return makeLabel(m_root, x, y, w, h, font, 0xFFFFFFFF, horizontal, VertText::Centred);
  };
  auto on = [](CEGUI::Window* button, bool (HighscoresScreen::*handler)(const CEGUI::EventArgs&),
               HighscoresScreen* self) {
    button->subscribeEvent(CEGUI::PushButton::EventClicked, CEGUI::Event::Subscriber(handler, self));
  };
  m_kindText = text(320, 40, 405, 40, "VerdanaLarge", HorzText::Centred);
  m_trackText = text(320, 80, 405, 30, "VerdanaLargeItalic", HorzText::Centred);
  m_backButton = makeImageButton(m_root, 15, 623, 135, 130, "BackButton", "BackButton", "BackButtonHover");
  on(m_backButton, &HighscoresScreen::onBackClicked, this);
  on(m_kindLeft = makeArrow(m_root, 243, 56, false), &HighscoresScreen::onKindLeft, this);
  on(m_kindRight = makeArrow(m_root, 748, 56, true), &HighscoresScreen::onKindRight, this);
  on(m_trackLeft = makeArrow(m_root, 196, 613, false), &HighscoresScreen::onTrackLeft, this);
  on(m_trackRight = makeArrow(m_root, 775, 613, true), &HighscoresScreen::onTrackRight, this);
  m_ccmText = text(435, 641, 158, 63, "VerdanaSmall", HorzText::Centred);
  on(m_ccmLeft = makeArrow(m_root, 360, 647, false), &HighscoresScreen::onCcmLeft, this);
  on(m_ccmRight = makeArrow(m_root, 614, 647, true), &HighscoresScreen::onCcmRight, this);

  struct Column {
    CEGUI::Window** header;
    CEGUI::Window** cells;
    float x, width, cellHeight;
    HorzText formatting;
  };
  const Column columns[] = {
      {&m_placeHeader, m_placeCells, 80, 25, 30, HorzText::Right},
      {&m_nameHeader, m_nameCells, 110, 280, 25, HorzText::Centred},
      {&m_valueHeader, m_valueCells, 395, 95, 25, HorzText::Centred},
      {&m_timeHeader, m_timeCells, 495, 130, 25, HorzText::Centred},
      {&m_characterHeader, m_characterCells, 630, 150, 25, HorzText::Centred},
      {&m_kartHeader, m_kartCells, 785, 160, 25, HorzText::Centred},
  };
  for (const Column& c : columns) {
    *c.header = text(c.x, 190, c.width, 30, "VerdanaMedium", c.formatting);
    for (int r = 0; r < kRows; ++r)
      c.cells[r] = text(c.x, 225.0f + 30.0f * r, c.width, c.cellHeight, "VerdanaSmall", c.formatting);
  }
}

HighscoresScreen::~HighscoresScreen() {
  menu_widgets::destroyRoot(m_root);
  // The end picture hangs under the root and went with it.
  if (const char* picture = endPictureOf(m_services.config().m_championshipCharacter); picture && m_endPicture)
    m_gui->unloadImageset(picture);
}

void HighscoresScreen::activate() {
  m_kind = m_ccm = m_track = 0;
  const TextTable& texts = m_services.texts();
  GuiHelper::setText(m_nameHeader, texts.getText(2420));
  GuiHelper::setText(m_valueHeader, texts.getText(2440));
  GuiHelper::setText(m_timeHeader, texts.getText(2430));
  GuiHelper::setText(m_characterHeader, texts.getText(2450));
  GuiHelper::setText(m_kartHeader, texts.getText(2480));
  for (int r = 0; r < kRows; ++r) {
    char place[8];
    std::snprintf(place, sizeof place, "%d.", r + 1);
    GuiHelper::setText(m_placeCells[r], place);
  }

  m_tables = std::make_unique<HighscoreTables>();
  if (!m_tables->load(HighscoreTables::kFileName)) {
    m_tables->reset();
    m_tables->save(HighscoreTables::kFileName);
  }

  Config& config = m_services.config();
  if (config.m_showHighscores) {
    m_kind = inRange(config.m_highscoreKind, kKinds);
    m_track = inRange(config.m_highscoreTrack, kTracks);
    m_ccm = inRange(config.m_highscoreClass, kClasses);
  }
  fillTable();
  GuiScreen::activate();
  if (config.m_enterHighscore) {
    config.m_enterHighscore = 0;
    showEndPicture();
  }
}

void HighscoresScreen::deactivate() {
  m_tables.reset();
  Config& config = m_services.config();
  config.m_highscoreMusic = 0;
  config.m_showHighscores = 0;
  GuiScreen::deactivate();
}

void HighscoresScreen::fillTable() {
  for (int r = 0; r < kRows; ++r)
    for (CEGUI::Window* cell : {m_nameCells[r], m_valueCells[r], m_timeCells[r], m_characterCells[r]})
      GuiHelper::setText(cell, "");
  const TextTable& texts = m_services.texts();
  GuiHelper::setText(m_kindText, texts.getText(kKindTexts[m_kind]));
  GuiHelper::setText(m_ccmText, texts.getText(800 + 10 * m_ccm));
  const bool tracks = m_kind <= kTableLastManStanding;
  GuiHelper::setText(m_trackText, tracks ? texts.getText(trackNameText(m_track)) : CEGUI::String());
  m_trackText->setVisible(tracks);
  m_trackLeft->setEnabled(tracks);
  m_trackRight->setEnabled(tracks);

  if (!m_tables) return;
  HighscoreBase* table = m_tables->table(m_kind, m_ccm);
  if (!table) return;
  for (int r = 0; r < kRows; ++r) {
    const HighscoreEntry* e = table->getEntry(tracks ? m_track : 0, r);
    if (!e) continue;
    const std::size_t nameLength = strnlen(e->name, sizeof e->name);
    GuiHelper::setText(m_nameCells[r], nameLength ? decodeUtf8(std::string_view(e->name, nameLength)) : "--");
    char value[16] = "--";
    if (!tracks) std::snprintf(value, sizeof value, "%d", e->value);
    GuiHelper::setText(m_valueCells[r], value);
    CEGUI::String time = "--";
    if (e->time != kNoTime) GuiHelper::formatTime(e->time, time);
    GuiHelper::setText(m_timeCells[r], time);
    if (e->character == -1)
      GuiHelper::setText(m_characterCells[r], "--");
    else if (e->character >= 0 && e->character <= Config::kMaxCharacter)
      GuiHelper::setText(m_characterCells[r], texts.getText(100 * (e->character + 1)));
    if (e->kart == -1)
      GuiHelper::setText(m_kartCells[r], "--");
    else if (e->kart >= 0 && e->kart <= Config::kMaxKart)
      GuiHelper::setText(m_kartCells[r], texts.getText(700 + e->kart));
  }
}

void HighscoresScreen::showEndPicture() {
  using namespace menu_widgets;
  m_endPicture = GuiHelper::createWindow("StaticImage", 0, 0, 1, 1, 1, 1);
  m_endPicture->setProperty("FrameEnabled", "false");
  m_endPicture->setProperty("BackgroundEnabled", "false");
  m_endPicture->setAlwaysOnTop(true);
  if (const char* picture = endPictureOf(m_services.config().m_championshipCharacter)) {
    m_gui->loadImageset(CEGUI::String(picture) + ".imageset");
    GuiHelper::setImage(m_endPicture, picture, "Background");
  }
  m_endPictureOk = makeImageButton(m_endPicture, 862, 605, 135, 135, "OKButton", "OKButtonDisabled", "OKButtonHover");
  m_endPictureOk->setAlwaysOnTop(true);
  m_endPictureOk->subscribeEvent(CEGUI::PushButton::EventClicked,
                                 CEGUI::Event::Subscriber(&HighscoresScreen::onEndPictureOk, this));
  // Modal state needs the window in the sheet's tree.
  m_root->addChild(m_endPicture);
  m_endPicture->setModalState(true);
  m_endPicture->setVisible(true);
  m_endPicture->setEnabled(true);
}

bool HighscoresScreen::onEndPictureOk(const CEGUI::EventArgs&) {
  m_services.playClickSound();
  if (const char* picture = endPictureOf(m_services.config().m_championshipCharacter)) m_gui->unloadImageset(picture);
  m_endPicture->setModalState(false);
  m_endPicture->setVisible(false);
  m_endPicture->setEnabled(false);
  m_gui->m_windowManager->destroyWindow(m_endPicture);
  m_endPicture = m_endPictureOk = nullptr;
  return true;
}

bool HighscoresScreen::onBackClicked(const CEGUI::EventArgs&) {
  m_services.playClickSound();
  m_result = kResultBack;
  return true;
}

bool HighscoresScreen::step(int& value, int count, int by) {
  m_services.playClickSound();
  value = (value + by + count) % count;
  fillTable();
  return true;
}

bool HighscoresScreen::onKindLeft(const CEGUI::EventArgs&) { return step(m_kind, kKinds, -1); }
bool HighscoresScreen::onKindRight(const CEGUI::EventArgs&) { return step(m_kind, kKinds, 1); }
bool HighscoresScreen::onCcmLeft(const CEGUI::EventArgs&) { return step(m_ccm, kClasses, -1); }
bool HighscoresScreen::onCcmRight(const CEGUI::EventArgs&) { return step(m_ccm, kClasses, 1); }
bool HighscoresScreen::onTrackLeft(const CEGUI::EventArgs&) {
  return m_kind <= kTableLastManStanding ? step(m_track, kTracks, -1) : true;
}
bool HighscoresScreen::onTrackRight(const CEGUI::EventArgs&) {
  return m_kind <= kTableLastManStanding ? step(m_track, kTracks, 1) : true;
}
