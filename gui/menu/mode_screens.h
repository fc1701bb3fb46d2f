// The set-up screens of time trial, last man standing and the two-player
// split screen, drawn like the championship's: arrow rows around the 3D
// preview, the track with its picture, and for time trial and two players
// the lap count.
#pragma once

#include "gui/menu/selection_screen.h"

// Adds the track row's picture to a selection screen.
class TrackSelectionScreen : public SelectionScreen {
 public:
  CEGUI::Window* m_trackImage = nullptr;
  static constexpr int kMinLaps = 1, kMaxLaps = 5;

 protected:
  using SelectionScreen::SelectionScreen;
  // The track row (0..7, picture above its label) at the right of the layout.
  void addTrackRow(int* track, float x, float y);
  void addLapsRow(int* laps, float leftX, float rightX, float y);
  void addClassRow(int* ccm, float leftX, float rightX, float y);
  // Class above the preview, character and kart at its sides; the bounds
  // of the kart and character follow the class.
  void addDriverRows(int* ccm, int* character, const int* maxCharacter, int* kart, const int* maxKart);
};

class TimeTrialScreen : public TrackSelectionScreen {
 public:
  explicit TimeTrialScreen(Menu* menu);
  const char* getName() const override { return "TimeTrialScreen"; }
  void applySelection() override;
};

class LastManStandingScreen : public TrackSelectionScreen {
 public:
  explicit LastManStandingScreen(Menu* menu);
  const char* getName() const override { return "LastManStandingScreen"; }
  void applySelection() override;
};

class TwoPlayersScreen : public TrackSelectionScreen {
 public:
  explicit TwoPlayersScreen(Menu* menu);
  const char* getName() const override { return "TwoPlayersScreen"; }
  void applySelection() override;
};
