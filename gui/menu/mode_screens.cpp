#include "gui/menu/mode_screens.h"

#include <CEGUI/CEGUI.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "game/saves/config.h"
#include "game/track/track_numbers.h"
#include "gui/menu/menu.h"
#include "gui/menu/menu_widgets.h"
#include "gui/text_table.h"

namespace {

int classIndex(int ccm) { return std::clamp(ccm, 0, Config::kClassCount - 1); }

// One driver's record in a fresh race: zero totals, name from the settings.
void setDriver(Config& c, int record, int character, int kart, const char* name, int control, int start) {
  Config::Player& p = *c.m_player[record].modify();
  p = Config::Player();
  p.character = character;
  p.kart = kart;
  if (name) {
    std::memcpy(p.name, name, sizeof p.name);
    p.name[Config::kNameSize - 1] = '\0';
  }
  c.m_controlType[record] = control;
  p.startPosition = start;
}

// The championship's field: the player last, five computer drivers chosen
// by the race load ahead of it.
void setFieldOfSix(Config& c, int character, int kart) {
  setDriver(c, 0, character, kart, c.m_playerName1, 0, Config::kPlayerCount - 1);
  for (int i = 1; i < Config::kPlayerCount; ++i) setDriver(c, i, -1, -1, nullptr, 5, Config::kPlayerCount - 1 - i);
}

void setRace(Config& c, int game, int playType, int laps, int ccm, int track) {
  c.m_game.set(game);
  c.m_playType = playType;
  c.m_laps.set(laps);
  c.m_ccm.set(ccm);
  c.m_track.set(track);
  c.m_isAuthority = 1;
}

}  // namespace

void TrackSelectionScreen::addTrackRow(int* track, float x, float y) {
  m_trackImage = GuiHelper::createWindow("StaticImage", x + 71, y - 130, 332, 120);
  m_trackImage->setProperty("FrameEnabled", "false");
  m_trackImage->setProperty("BackgroundEnabled", "false");
  m_trackImage->setRiseOnClickEnabled(false);
  m_root->addChild(m_trackImage);
  const std::size_t row = addRow(x, x + 420, y, x + 71, y + 10, 332, 30, track, 0, [] { return kTrackCount - 1; });
  m_rows[row].show = [this, row](int v) {
    if (v < 0 || v >= kTrackCount) return;
    GuiHelper::setImage(m_trackImage, "Tracks", "Track" + std::to_string(kTrackFileNumbers[v]));
    GuiHelper::setText(m_rows[row].label, m_menu->texts().getText(trackNameText(v)));
  };
}

void TrackSelectionScreen::addLapsRow(int* laps, float leftX, float rightX, float y) {
  const std::size_t row =
      addRow(leftX, rightX, y, leftX + 76, y + 10, rightX - leftX - 98, 30, laps, kMinLaps, [] { return kMaxLaps; });
  m_rows[row].show = [this, row](int v) {
    char count[16];
    std::snprintf(count, sizeof count, " %d", v);
    GuiHelper::setText(m_rows[row].label, m_menu->texts().getText(2471) + count);
  };
}

void TrackSelectionScreen::addClassRow(int* ccm, float leftX, float rightX, float y) {
  const std::size_t row = addRow(leftX, rightX, y, leftX + 76, y - 7, rightX - leftX - 98, 63, ccm, 0,
                                 [] { return Config::kClassCount - 1; });
  m_rows[row].show = showText(row, 800, 10, Config::kClassCount);
}

void TrackSelectionScreen::addDriverRows(int* ccm, int* character, const int* maxCharacter, int* kart,
                                         const int* maxKart) {
  addClassRow(ccm, 39, 445, 169);
  std::size_t row = addRow(27, 454, 323, 150, 270, 240, 30, character, 0,
                           [ccm, maxCharacter] { return maxCharacter[classIndex(*ccm)]; });
  m_rows[row].show = showText(row, 100, 100, Config::kMaxCharacter + 1);
  row = addRow(27, 454, 458, 150, 535, 240, 30, kart, 0, [ccm, maxKart] { return maxKart[classIndex(*ccm)]; });
  m_rows[row].show = showText(row, 700, 1, Config::kMaxKart + 1);
}

// ---- time trial -------------------------------------------------------------

TimeTrialScreen::TimeTrialScreen(Menu* menu)
    : TrackSelectionScreen(menu, "TimeTrialScreen", "Championship", true, "TimeTrial") {
  Config& c = config();
  addDriverRows(&c.m_timeTrialCcm, &c.m_timeTrialCharacter, c.m_timeTrialMaxCharacter, &c.m_timeTrialKart,
                c.m_timeTrialMaxKart);
  addTrackRow(&c.m_timeTrialTrack, 521, 480);
  addLapsRow(&c.m_timeTrialLaps, 521, 941, 169);
}

void TimeTrialScreen::applySelection() {
  Config& c = config();
  takeOverRecords(c);
  setRace(c, kModeTimeTrial, kPlayOneLocal, c.m_timeTrialLaps, c.m_timeTrialCcm, c.m_timeTrialTrack);
  setDriver(c, 0, c.m_timeTrialCharacter, c.m_timeTrialKart, c.m_playerName1, 0, 0);
  for (int i = 1; i < Config::kPlayerCount; ++i) {
    *c.m_player[i].modify() = Config::Player();
    c.m_controlType[i] = 5;
  }
}

// ---- last man standing ------------------------------------------------------

LastManStandingScreen::LastManStandingScreen(Menu* menu)
    : TrackSelectionScreen(menu, "LastManStandingScreen", "Championship", true, "LastManStanding") {
  Config& c = config();
  addDriverRows(&c.m_lastManStandingCcm, &c.m_lastManStandingCharacter, c.m_lastManStandingMaxCharacter,
                &c.m_lastManStandingKart, c.m_lastManStandingMaxKart);
  addTrackRow(&c.m_lastManStandingTrack, 521, 480);
}

void LastManStandingScreen::applySelection() {
  Config& c = config();
  takeOverRecords(c);
  setRace(c, kModeLastManStanding, kPlayOneLocal, 3, c.m_lastManStandingCcm, c.m_lastManStandingTrack);
  setFieldOfSix(c, c.m_lastManStandingCharacter, c.m_lastManStandingKart);
}

// ---- two players ------------------------------------------------------------

TwoPlayersScreen::TwoPlayersScreen(Menu* menu)
    : TrackSelectionScreen(menu, "TwoPlayersScreen", "Championship", true, "TwoPlayers") {
  Config& c = config();
  // Both players share the class; each has a kart and a character row
  // under their preview (left half, right half).
  auto maxKart = [&c] { return c.m_championshipMaxKart[classIndex(c.m_twoPlayersCcm)]; };
  auto maxCharacter = [&c] { return c.m_championshipMaxCharacter[classIndex(c.m_twoPlayersCcm)]; };
  const float halves[2] = {15, 526};
  int* characters[2] = {&c.m_twoPlayersCharacter1, &c.m_twoPlayersCharacter2};
  int* karts[2] = {&c.m_twoPlayersKart1, &c.m_twoPlayersKart2};
  for (int p = 0; p < 2; ++p) {
    const float x = halves[p];
    std::size_t row = addRow(x, x + 429, 372, x + 120, 382, 240, 30, characters[p], 0, maxCharacter);
    m_rows[row].show = showText(row, 100, 100, Config::kMaxCharacter + 1);
    row = addRow(x, x + 429, 428, x + 120, 438, 240, 30, karts[p], 0, maxKart);
    m_rows[row].show = showText(row, 700, 1, Config::kMaxKart + 1);
  }
  addClassRow(&c.m_twoPlayersCcm, 15, 444, 490);
  addLapsRow(&c.m_twoPlayersHead, 526, 955, 490);
  addTrackRow(&c.m_twoPlayersTail[1], 300, 690);
}

void TwoPlayersScreen::applySelection() {
  Config& c = config();
  takeOverRecords(c);
  setRace(c, kModeRace, kPlaySplitScreen, c.m_twoPlayersHead, c.m_twoPlayersCcm, c.m_twoPlayersTail[1]);
  setDriver(c, 0, c.m_twoPlayersCharacter1, c.m_twoPlayersKart1, c.m_playerName1, 1, 5);
  setDriver(c, 1, c.m_twoPlayersCharacter2, c.m_twoPlayersKart2, c.m_playerName2, 2, 4);
  for (int i = 2; i < Config::kPlayerCount; ++i) setDriver(c, i, -1, -1, nullptr, 5, Config::kPlayerCount - 1 - i);
}
