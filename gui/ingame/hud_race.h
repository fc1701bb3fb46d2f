// What the in-race displays and dialogs read of the race being played and do
// to it. The race implements it through a thin adapter; tests bring their
// own, with a clock they move by hand.
#pragma once

class HighscoreTables;
class TextTable;
class Timer;

// One kart's replicated values as the displays show them.
struct HudKart {
  int lap = -1;  // completed laps, -1 before the first crossing of the line
  int rank = 0;  // live place, 0 = leading
  float trackTime = 0.0f;
  int extra = 0;  // code of the held extra, 0 none
  bool finished = false;
  bool active = false;
  float extraRocket = 0.0f;  // not 0 while its rocket is under way
  float x = 0.0f, z = 0.0f;  // the kart's world position
  float rocketX = 0.0f, rocketZ = 0.0f;
};

class HudRace {
 public:
  virtual ~HudRace() = default;

  virtual int viewCount() const = 0;  // 1, or 2 on a split screen
  virtual int kartCount() const = 0;  // 1 in time trial, else 6
  // The kart shown in view 0 or 1.
  virtual int viewKart(int view) const = 0;
  // Kart `index`'s values; false when the race has no such kart.
  virtual bool kart(int index, HudKart& out) const = 0;

  virtual int countdownState() const = 0;  // -1 waiting for the start, 0..4 counting, -2 racing
  virtual bool raceOver() const = 0;
  virtual bool paused() const = 0;  // the race skips its physics while set
  virtual void setPausedFlag(bool paused) = 0;
  // Silences the race's sounds, or gives them back their volumes.
  virtual void setSoundsPaused(bool paused) = 0;
  // Set while the kart of view 0 or 1 drives the wrong way.
  virtual bool wrongWay(int view) const = 0;
  // When the wrong-way warning was last shown (kept by the displays).
  virtual float& wrongWayTime(int view) = 0;
  // Game time of the last elimination message.
  virtual float eliminationTime() const = 0;

  virtual Timer& timer() = 0;
  // Ends the race after this frame: it is unloaded and the menu starts.
  virtual void leave() = 0;
  // Leaves the network game (also without a connection).
  virtual void leaveNetwork() = 0;
  // The race's score tables; null when it has none.
  virtual HighscoreTables* highscores() = 0;
  // The race's texts ("IngameTexts.xml"); null when it has none (every
  // text is then empty).
  virtual const TextTable* texts() const = 0;
};
