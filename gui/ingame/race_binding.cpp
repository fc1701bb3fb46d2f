#include "gui/ingame/race_binding.h"

#include "game/race/race.h"
#include "net/net_control.h"

RaceTextTable::RaceTextTable(File* files, const char* fileName, int language)
    : m_table(files ? TextTable(*files, fileName) : TextTable(fileName)) {
  m_table.m_language = TextTable::languageFromSetting(language);
}

std::string RaceTextTable::getText(int id) const { return m_table.getText(id).c_str(); }

namespace {

bool validView(int view) { return view >= 0 && view < Race::kMaxViews; }

}  // namespace

int RaceHudView::viewCount() const { return m_race.m_viewCount; }

int RaceHudView::kartCount() const { return m_race.m_kartCount; }

int RaceHudView::viewKart(int view) const { return validView(view) ? m_race.m_viewKart[view] : -1; }

bool RaceHudView::kart(int index, HudKart& out) const {
  if (index < 0 || index >= Race::kMaxKarts || !m_race.m_karts[index]) return false;
  Vehicle& kart = *m_race.m_karts[index];
  const VehicleNetValues& v = kart.m_net;
  out.lap = v.m_lap.get();
  out.rank = v.m_rank.get();
  out.trackTime = v.m_trackTime.get();
  out.extra = v.m_extra.get();
  out.finished = v.m_trackFinished.get();
  out.active = v.m_active.get();
  out.extraRocket = v.m_extraRocket.get();
  Position3 at;
  kart.getPosition(at);
  out.x = at.x;
  out.z = at.z;
  out.rocketX = v.m_rocketPos.get().x;
  out.rocketZ = v.m_rocketPos.get().z;
  return true;
}

int RaceHudView::countdownState() const { return m_race.m_countdownState; }

bool RaceHudView::raceOver() const { return m_race.m_raceOver != 0; }

bool RaceHudView::paused() const { return m_race.m_paused != 0; }

void RaceHudView::setPausedFlag(bool paused) { m_race.m_paused = paused ? 1 : 0; }

void RaceHudView::setSoundsPaused(bool paused) { m_race.setPaused(paused); }

bool RaceHudView::wrongWay(int view) const { return validView(view) && m_race.m_wrongWay[view] != 0; }

float& RaceHudView::wrongWayTime(int view) { return validView(view) ? m_race.m_wrongWayTime[view] : m_noWrongWayTime; }

float RaceHudView::eliminationTime() const { return m_race.m_eliminationTime; }

Timer& RaceHudView::timer() { return m_race.m_timer ? *m_race.m_timer : m_noTimer; }

void RaceHudView::leave() { m_race.m_leave = 1; }

void RaceHudView::leaveNetwork() { m_race.m_control.leave(); }

HighscoreTables* RaceHudView::highscores() { return m_race.m_highscores.get(); }

const TextTable* RaceHudView::texts() const {
  const auto* texts = dynamic_cast<const RaceTextTable*>(m_race.m_texts.get());
  return texts ? &texts->table() : nullptr;
}
