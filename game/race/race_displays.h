// The in-race displays as the race drives them: the held extra, the
// minimap markers, the countdown, the flash overlay, the messages, the
// pause and result dialogs, and which of its windows are visible. The GUI
// builds them for one race (RaceGui::createDisplays) and the race owns them
// until it unloads. Views are 0 and 1 (the halves of a split screen).
#pragma once

#include <string>

class RaceDisplays {
 public:
  enum MarkerColour { kMarkerRed = 0, kMarkerGreen = 1, kMarkerBlue = 2 };

  virtual ~RaceDisplays() = default;

  // The per-frame refresh: the wrong-way warning from the race's flags and
  // times per view, and the player-event messages hidden 2 s after the last
  // elimination.
  virtual void update() = 0;
  // Makes the in-race sheet the GUI's sheet when it is not already.
  virtual void activateSheet() = 0;

  virtual void updateExtraIcon(int view, int extraCode) = 0;
  virtual void setMinimapMarkerColour(int view, int kart, int colour) = 0;
  virtual void hideMinimapMarker(int kart) = 0;
  // Index 3, 2, 1, 0 show the countdown's first to fourth picture.
  virtual void setCountdownImage(int view, int index) = 0;
  virtual void showCountdown(int view) = 0;
  virtual void hideCountdown(int view) = 0;
  virtual void showOverlay(int view, bool on) = 0;
  // Red, green and blue 0..1; alpha is the overlay's.
  virtual void setOverlayColour(int view, float r, float g, float b, float alpha) = 0;
  virtual void hidePausedMessage() = 0;
  // The player-event message naming a player (UTF-8).
  virtual void showNicknameMessage(int view, const std::string& name) = 0;
  virtual void hideNicknameMessage(int view) = 0;
  virtual void setWaitMessageText() = 0;
  virtual void hideWaitMessage() = 0;
  virtual void showMessageBox(int textId) = 0;
  // Pauses the race (and its timer outside network games).
  virtual void openPauseDialog() = 0;

  // The result dialogs opened at the race end, and their refreshes in
  // network games.
  virtual void showTimeTrialResults() = 0;
  virtual void showRaceResults() = 0;
  virtual void showLastManStandingResults() = 0;
  virtual void showChampionshipResults() = 0;
  virtual void refreshResultList() = 0;
  virtual void refreshResultTimes() = 0;
  virtual void refreshResultRows() = 0;

  virtual bool pauseDialogVisible() const = 0;
  virtual bool messageBoxVisible() const = 0;
  virtual bool timeTrialResultVisible() const = 0;
  virtual bool raceResultVisible() const = 0;
  virtual bool lastManStandingResultVisible() const = 0;
  virtual bool championshipResultVisible() const = 0;
  virtual bool championshipStandingsVisible() const = 0;
  virtual bool highscoreEntryVisible() const = 0;
  virtual bool playerEventMessageVisible(int view) const = 0;
};
