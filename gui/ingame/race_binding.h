// What ties the in-race displays to the race being played: the race seen
// through the displays' narrow view of it, and its text table as the race
// asks for texts.
#pragma once

#include <memory>
#include <string>

#include "foundation/timer.h"
#include "game/race/race_gui.h"
#include "gui/ingame/hud_race.h"
#include "gui/text_table.h"

class File;
class Race;

// "IngameTexts.xml" (or any text table) in one language.
class RaceTextTable : public RaceTexts {
 public:
  // Through `files`, or the mounted archive when it is null.
  RaceTextTable(File* files, const char* fileName, int language);
  std::string getText(int id) const override;
  const TextTable& table() const { return m_table; }

 private:
  TextTable m_table;
};

// The race's members as the displays read and write them.
class RaceHudView : public HudRace {
 public:
  explicit RaceHudView(Race& race) : m_race(race) {}

  int viewCount() const override;
  int kartCount() const override;
  int viewKart(int view) const override;
  bool kart(int index, HudKart& out) const override;
  int countdownState() const override;
  bool raceOver() const override;
  bool paused() const override;
  void setPausedFlag(bool paused) override;
  void setSoundsPaused(bool paused) override;
  bool wrongWay(int view) const override;
  float& wrongWayTime(int view) override;
  float eliminationTime() const override;
  Timer& timer() override;
  void leave() override;
  void leaveNetwork() override;
  HighscoreTables* highscores() override;
  const TextTable* texts() const override;

 private:
  Race& m_race;
  // Stands in while the race has no clock yet (the load makes it last).
  Timer m_noTimer;
  float m_noWrongWayTime = 0.0f;
};
