// The score tables, one at a time: ten rows of place, name, value, time,
// character and kart, chosen by kind, engine class and (for time trial and
// last man standing) track. "highscore.dat" is read on every activation, so
// rows stored since the last visit show at once. Optionally lays the
// championship character's full-screen end picture over everything.
#pragma once

#include <memory>

#include "game/saves/highscore_kind.h"
#include "game/track/track_numbers.h"
#include "gui/gui_screen.h"

namespace CEGUI {
class EventArgs;
class Window;
}  // namespace CEGUI
class HighscoreTables;
class ScreenServices;

class HighscoresScreen : public GuiScreen {
 public:
  static constexpr int kRows = 10;
  static constexpr int kKinds = kHighscoreKinds, kClasses = 3, kTracks = kTrackCount;
  static constexpr const char* kName = "HighscoresScreen";

  // Needs the imagesets "Highscores" and "Quillfen" loaded.
  HighscoresScreen(Gui* gui, ScreenServices& services, Menu* menu = nullptr);
  ~HighscoresScreen() override;
  HighscoresScreen(const HighscoresScreen&) = delete;
  HighscoresScreen& operator=(const HighscoresScreen&) = delete;

  const char* getName() const override { return kName; }
  void activate() override;
  void deactivate() override;

  // Selector texts, the track selector's state and the ten rows.
  void fillTable();
  void showEndPicture();

  ScreenServices& m_services;
  int m_kind = 0;   // 0 time trial, 1 last man standing, 2 cup 1, 3 cup 2
  int m_ccm = 0;    // engine class 0..2
  int m_track = 0;  // 0..7, kinds 0 and 1 only
  CEGUI::Window* m_endPicture = nullptr;
  CEGUI::Window* m_endPictureOk = nullptr;
  CEGUI::Window* m_backButton = nullptr;
  CEGUI::Window* m_kindText = nullptr;
  CEGUI::Window* m_kindLeft = nullptr;
  CEGUI::Window* m_kindRight = nullptr;
  CEGUI::Window* m_trackText = nullptr;
  CEGUI::Window* m_trackLeft = nullptr;
  CEGUI::Window* m_trackRight = nullptr;
  CEGUI::Window* m_ccmText = nullptr;
  CEGUI::Window* m_ccmLeft = nullptr;
  CEGUI::Window* m_ccmRight = nullptr;
  CEGUI::Window* m_placeHeader = nullptr;
  CEGUI::Window* m_nameHeader = nullptr;
  CEGUI::Window* m_valueHeader = nullptr;
  CEGUI::Window* m_timeHeader = nullptr;
  CEGUI::Window* m_characterHeader = nullptr;
  CEGUI::Window* m_kartHeader = nullptr;
  CEGUI::Window* m_placeCells[kRows] = {};
  CEGUI::Window* m_nameCells[kRows] = {};
  CEGUI::Window* m_valueCells[kRows] = {};
  CEGUI::Window* m_timeCells[kRows] = {};
  CEGUI::Window* m_characterCells[kRows] = {};
  CEGUI::Window* m_kartCells[kRows] = {};
  // Owned from activation to deactivation.
  std::unique_ptr<HighscoreTables> m_tables;

 private:
  bool onBackClicked(const CEGUI::EventArgs&);
  bool onKindLeft(const CEGUI::EventArgs&);
  bool onKindRight(const CEGUI::EventArgs&);
  bool onTrackLeft(const CEGUI::EventArgs&);
  bool onTrackRight(const CEGUI::EventArgs&);
  bool onCcmLeft(const CEGUI::EventArgs&);
  bool onCcmRight(const CEGUI::EventArgs&);
  bool onEndPictureOk(const CEGUI::EventArgs&);
  // Steps a selector by `step` (wrapping), then refills.
  bool step(int& value, int count, int step);
};
