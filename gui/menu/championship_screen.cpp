#include "gui/menu/championship_screen.h"

#include <CEGUI/CEGUI.h>

#include <algorithm>
#include <cstring>

#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "game/saves/config.h"
#include "game/track/track_numbers.h"
#include "gui/menu/menu.h"
#include "gui/menu/menu_widgets.h"
#include "gui/text_table.h"

namespace {
int classIndex(const Config& c) { return std::clamp(c.m_championshipCcm, 0, Config::kClassCount - 1); }
}  // namespace

ChampionshipScreen::ChampionshipScreen(Menu* menu)
    : SelectionScreen(menu, "ChampionshipScreen", "Championship", false) {
  using namespace menu_widgets;
  Config& c = config();
  m_ccmRow = addRow(39, 445, 169, 115, 162, 310, 63, &c.m_championshipCcm, 0, [] { return Config::kClassCount - 1; });
  m_rows[m_ccmRow].show = showText(m_ccmRow, 800, 10, Config::kClassCount);
  m_characterRow = addRow(27, 454, 323, 150, 270, 240, 30, &c.m_championshipCharacter, 0,
                          [&c] { return c.m_championshipMaxCharacter[classIndex(c)]; });
  m_rows[m_characterRow].show = showText(m_characterRow, 100, 100, Config::kMaxCharacter + 1);
  m_kartRow = addRow(27, 454, 458, 150, 535, 240, 30, &c.m_championshipKart, 0,
                     [&c] { return c.m_championshipMaxKart[classIndex(c)]; });
  m_rows[m_kartRow].show = showText(m_kartRow, 700, 1, Config::kMaxKart + 1);

  m_trackImage = GuiHelper::createWindow("StaticImage", 592, 290, 332, 237);
  m_trackImage->setProperty("FrameEnabled", "false");
  m_trackImage->setProperty("BackgroundEnabled", "false");
  m_trackImage->setRiseOnClickEnabled(false);
  m_root->addChild(m_trackImage);
  m_cupLabel = makeLabel(m_root, 592, 470, 332, 30);
  m_cupLeftButton = makeArrow(m_root, 521, 391, false);
  m_cupRightButton = makeArrow(m_root, 941, 391, true);
  for (CEGUI::Window* arrow : {m_cupLeftButton, m_cupRightButton})
    arrow->subscribeEvent(CEGUI::PushButton::EventClicked,
                          CEGUI::Event::Subscriber(&ChampionshipScreen::onCupClicked, this));
}

void ChampionshipScreen::updateCupDisplay() {
  const bool first = config().m_championshipTrack == 0;
  GuiHelper::setImage(m_trackImage, "Tracks", first ? "Championship1" : "Championship2");
  GuiHelper::setText(m_cupLabel, m_menu->texts().getText(first ? 2010 : 2020));
}

bool ChampionshipScreen::onCupClicked(const CEGUI::EventArgs&) {
  m_menu->playClickSound();
  // Two cups: the race end takes a cup's result after its fourth track.
  Config& c = config();
  c.m_championshipTrack = c.m_championshipTrack == 0 ? kCupTracks : 0;
  updateCupDisplay();
  return true;
}

void ChampionshipScreen::activate() {
  Config& c = config();
  takeOverRecords(c);
  for (auto& record : c.m_player) *record.modify() = Config::Player();
  updateCupDisplay();
  SelectionScreen::activate();
}

void ChampionshipScreen::applySelection() {
  Config& c = config();
  c.m_game.set(kModeChampionship);
  c.m_playType = kPlayOneLocal;
  c.m_laps.set(3);
  c.m_ccm.set(c.m_championshipCcm);
  c.m_track.set(c.m_championshipTrack);
  Config::Player& player = *c.m_player[0].modify();
  player.character = c.m_championshipCharacter;
  player.kart = c.m_championshipKart;
  std::memcpy(player.name, c.m_playerName1, sizeof player.name);
  player.name[Config::kNameSize - 1] = '\0';
  c.m_controlType[0] = 0;
  player.startPosition = Config::kPlayerCount - 1;
  player.totalPoints = 0;
  player.totalTime = 0.0f;
  for (int i = 1; i < Config::kPlayerCount; ++i) {
    Config::Player& computer = *c.m_player[i].modify();
    c.m_controlType[i] = 5;
    computer.character = computer.kart = -1;
    computer.startPosition = Config::kPlayerCount - 1 - i;
    computer.totalPoints = 0;
    computer.totalTime = 0.0f;
  }
  c.m_isAuthority = 1;
}
