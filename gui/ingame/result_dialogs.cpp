// The dialogs that end a race, one per game mode: time-trial laps, the
// race's and last man standing's rankings, and in a championship the
// race's result followed by the cup's standings. Their buttons end the race
// (or lead to the name entry, or on to the cup's next race).
#include <CEGUI/CEGUI.h>

#include <cstdio>
#include <cstring>

#include "game/race/championship_flow.h"
#include "game/race/play_type.h"
#include "game/saves/config.h"
#include "game/track/track_numbers.h"
#include "gui/ingame/onscreen_displays.h"
#include "gui/text_table.h"
#include "gui/utf8_text.h"

namespace {

constexpr int kMaxLaps = 5;  // the laps a time trial lists

float rowY(int row) { return 125.0f + 35.0f * static_cast<float>(row); }

CEGUI::String numberText(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.", n);
  return text;
}

CEGUI::String timeText(float seconds) {
  CEGUI::String out;
  return GuiHelper::formatTime(seconds, out);
}

CEGUI::String nameText(const ConfigPlayer& player) {
  return decodeUtf8(std::string_view(player.name, strnlen(player.name, sizeof player.name)));
}

void write(CEGUI::Window* cell, const CEGUI::String& text) {
  GuiHelper::setText(cell, text);
  cell->setVisible(true);
}

bool validPlace(int place) { return place >= 0 && place < OnscreenDisplays::kMaxKarts; }

}  // namespace

// ---- building -------------------------------------------------------------------

void OnscreenDisplays::buildTimeTrialResultsDialog() {
  TimeTrialDialog& d = m_ttDialog;
  d.frame = makeFrame(262, 154, 500, 460);
  d.title = makeDialogText(d.frame, 85, 60, 330, 40, "VerdanaLarge", HorzText::Centred, VertText::Centred);
  GuiHelper::setText(d.title, text(1010));
  for (int i = 0; i < kTimeTrialRows; ++i) {
    d.labels[i] =
        makeDialogText(d.frame, 35, rowY(i), 200, 30, "VerdanaLargeItalic", HorzText::Right, VertText::Centred);
    d.times[i] =
        makeDialogText(d.frame, 265, rowY(i), 200, 30, "VerdanaLargeItalic", HorzText::Left, VertText::Centred);
  }
  d.okButton = makeButton(d.frame, 150, 370, 200, 60, "VerdanaMedium", 2002, &OnscreenDisplays::onTimeTrialResultsOk);
}

void OnscreenDisplays::buildRankingDialog(RankingDialog& d, const RankingLook& look) {
  d.frame = makeFrame(look.x, 104, look.width, 560);
  d.title = makeDialogText(d.frame, 0, 60, look.width, 40, "VerdanaLarge", HorzText::Centred, VertText::Centred);
  for (int r = 0; r < kRankingRows; ++r) {
    const float y = rowY(r);
    const char* font = "VerdanaLargeItalic";
    d.numbers[r] = makeDialogText(d.frame, 45, y, 150, 30, font, HorzText::Centred, VertText::Centred);
    d.names[r] = makeDialogText(d.frame, 210, y, 240, 30, font, HorzText::Left, VertText::Centred);
    d.times[r] = makeDialogText(d.frame, 465, y, 130, 30, look.smallResults && r >= 2 ? "VerdanaSmall" : font,
                                HorzText::Left, VertText::Centred);
    if (look.points) d.points[r] = makeDialogText(d.frame, 610, y, 100, 30, font, HorzText::Centred, VertText::Centred);
    if (r > 0 && look.numbered) GuiHelper::setText(d.numbers[r], numberText(r));
  }
  GuiHelper::setText(d.numbers[0], text(1008));
  GuiHelper::setText(d.names[0], text(1009));
  GuiHelper::setText(d.times[0], text(1002));
  if (look.points) GuiHelper::setText(d.points[0], text(1007));
  d.okButton = makeButton(d.frame, look.buttonX, 470, 200, 60, "VerdanaLarge", 2002, look.handler);
}

void OnscreenDisplays::clearRankingRows(RankingDialog& d) {
  for (int r = 1; r < kRankingRows; ++r)
    for (CEGUI::Window* cell : {d.numbers[r], d.names[r], d.times[r], d.points[r]}) {
      if (!cell) continue;
      cell->setVisible(false);
      GuiHelper::setText(cell, "");
    }
}

bool OnscreenDisplays::hasRecord(int k) const {
  HudKart kart;
  return k >= 0 && k < kMaxKarts && k < m_race->kartCount() && m_race->kart(k, kart);
}

void OnscreenDisplays::writeRankingNumbers(RankingDialog& d) {
  for (int k = 0; k < kMaxKarts; ++k)
    if (hasRecord(k)) write(d.numbers[k + 1], numberText(k + 1));
}

// ---- time trial ---------------------------------------------------------------------

void OnscreenDisplays::showTimeTrialResults() {
  TimeTrialDialog& d = m_ttDialog;
  const int laps = std::clamp(m_config.m_laps.get(), 1, kMaxLaps);
  for (int i = laps; i < kMaxLaps; ++i) {
    GuiHelper::setText(d.labels[i], "");
    GuiHelper::setText(d.times[i], "");
    d.labels[i]->setVisible(false);
    d.times[i]->setVisible(false);
  }
  const ConfigPlayer& player = record(0);
  float total = 0.0f;
  for (int i = 0; i < laps; ++i) {
    char lap[16];
    std::snprintf(lap, sizeof lap, " %d", i + 1);
    write(d.labels[i], text(1000) + lap);
    write(d.times[i], timeText(player.lapTimes[i]));
    total += player.lapTimes[i];
  }
  write(d.labels[laps], text(1004));
  write(d.times[laps], timeText(total));
  openDialog(d.frame);
}

bool OnscreenDisplays::onTimeTrialResultsOk(const CEGUI::EventArgs&) {
  closeDialog(m_ttDialog.frame);
  if (m_config.m_playType == kPlayOneLocal)
    checkForHighscore();
  else
    leaveRace();
  return true;
}

bool OnscreenDisplays::timeTrialResultVisible() const { return m_ttDialog.frame->isVisible(); }

// ---- race ---------------------------------------------------------------------------

void OnscreenDisplays::showRaceResults() {
  GuiHelper::setText(m_raceDialog.title, text(1040));
  clearRankingRows(m_raceDialog);
  writeRankingNumbers(m_raceDialog);
  refreshResultTimes();
  openDialog(m_raceDialog.frame);
}

void OnscreenDisplays::refreshResultTimes() {
  for (int k = 0; k < kMaxKarts; ++k) {
    HudKart kart;
    if (!hasRecord(k) || !m_race->kart(k, kart) || !validPlace(kart.rank)) continue;
    const ConfigPlayer& player = record(k);
    write(m_raceDialog.names[kart.rank + 1], nameText(player));
    write(m_raceDialog.times[kart.rank + 1], timeText(player.raceTime));
  }
}

bool OnscreenDisplays::onRaceResultsOk(const CEGUI::EventArgs&) {
  closeDialog(m_raceDialog.frame);
  leaveRace();
  return true;
}

bool OnscreenDisplays::raceResultVisible() const { return m_raceDialog.frame->isVisible(); }

// ---- last man standing ------------------------------------------------------------------

void OnscreenDisplays::showLastManStandingResults() {
  GuiHelper::setText(m_lmsDialog.title, text(1040));
  clearRankingRows(m_lmsDialog);
  writeRankingNumbers(m_lmsDialog);
  refreshResultList();
  openDialog(m_lmsDialog.frame);
}

void OnscreenDisplays::refreshResultList() {
  for (int k = 0; k < kMaxKarts; ++k) {
    if (!hasRecord(k)) continue;
    const ConfigPlayer& player = record(k);
    const int place = player.position;
    if (!validPlace(place)) continue;
    write(m_lmsDialog.names[place + 1], nameText(player));
    // Only the last kart left has a time; the others dropped out.
    write(m_lmsDialog.times[place + 1], place == 0 ? timeText(player.raceTime) : text(4032));
  }
}

bool OnscreenDisplays::onLastManStandingResultsOk(const CEGUI::EventArgs&) {
  closeDialog(m_lmsDialog.frame);
  if (m_config.m_playType == kPlayOneLocal)
    checkForHighscore();
  else
    leaveRace();
  return true;
}

bool OnscreenDisplays::lastManStandingResultVisible() const { return m_lmsDialog.frame->isVisible(); }

// ---- championship -----------------------------------------------------------------------

void OnscreenDisplays::showChampionshipResults() {
  if (m_trackIndex >= 0 && m_trackIndex < kTrackCount)
    GuiHelper::setText(m_cupRaceDialog.title, text(trackNameText(m_trackIndex)));
  clearRankingRows(m_cupRaceDialog);
  writeRankingNumbers(m_cupRaceDialog);
  refreshResultRows();
  openDialog(m_cupRaceDialog.frame);
}

void OnscreenDisplays::refreshResultRows() {
  for (int k = 0; k < kMaxKarts; ++k) {
    if (!hasRecord(k)) continue;
    const ConfigPlayer& player = record(k);
    if (!validPlace(player.position)) continue;
    const int row = player.position + 1;
    write(m_cupRaceDialog.names[row], nameText(player));
    write(m_cupRaceDialog.times[row], timeText(player.raceTime));
    write(m_cupRaceDialog.points[row], CEGUI::PropertyHelper<int>::toString(player.racePoints));
  }
}

bool OnscreenDisplays::onChampionshipRaceOk(const CEGUI::EventArgs&) {
  closeDialog(m_cupRaceDialog.frame);
  showChampionshipStandings();
  return true;
}

void OnscreenDisplays::showChampionshipStandings() {
  RankingDialog& d = m_standingsDialog;
  // The first cup's races, its final, the second cup's final, its races.
  const int title = m_trackIndex < kFirstCupFinal     ? 1020
                    : m_trackIndex == kFirstCupFinal  ? 1021
                    : m_trackIndex == kSecondCupFinal ? 1031
                                                      : 1030;
  GuiHelper::setText(d.title, text(title));
  clearRankingRows(d);
  // More points first, then the smaller total time; a record inserted goes
  // ahead of those equal to it.
  int order[kMaxKarts];
  int count = 0;
  for (int k = 0; k < kMaxKarts; ++k) {
    if (!hasRecord(k)) continue;
    const ConfigPlayer& candidate = record(k);
    int at = 0;
    while (at < count) {
      const ConfigPlayer& placed = record(order[at]);
      const bool ahead = placed.totalPoints > candidate.totalPoints ||
                         (placed.totalPoints == candidate.totalPoints && placed.totalTime < candidate.totalTime);
      if (!ahead) break;
      ++at;
    }
    for (int i = count; i > at; --i) order[i] = order[i - 1];
    order[at] = k;
    ++count;
  }
  for (int r = 0; r < count; ++r) {
    const ConfigPlayer& player = record(order[r]);
    write(d.numbers[r + 1], numberText(r + 1));
    write(d.names[r + 1], nameText(player));
    write(d.times[r + 1], timeText(player.totalTime));
    write(d.points[r + 1], CEGUI::PropertyHelper<int>::toString(player.totalPoints));
  }
  openDialog(d.frame);
}

bool OnscreenDisplays::onChampionshipStandingsOk(const CEGUI::EventArgs&) {
  closeDialog(m_standingsDialog.frame);
  m_config.m_raceEndedFromPause = 0;
  m_config.m_showHighscores = 0;
  m_config.m_highscoreMusic = 0;
  m_config.m_highscoreTrack = 0;
  // The cup's next race, or after its last one the cup's result in its
  // table, with the hints that open the menu on that table.
  finishChampionshipRace(m_config, m_race->highscores());
  leaveRace();
  return true;
}

bool OnscreenDisplays::championshipResultVisible() const { return m_cupRaceDialog.frame->isVisible(); }

bool OnscreenDisplays::championshipStandingsVisible() const { return m_standingsDialog.frame->isVisible(); }
