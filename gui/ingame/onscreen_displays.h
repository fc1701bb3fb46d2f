// The in-race display of one race, drawn over the 3D views: for each local
// player (one, or two on a split screen) the countdown, the held extra, a
// minimap with kart and rocket markers, the wrong-way warning, lap,
// position and times, a colour overlay and three message boxes; and the
// race's modal dialogs: the message box, the pause dialog, the five result
// dialogs and the highscore name entry. Built once when the race has
// loaded, on the sheet "Ingame/RootWindow", and destroyed at its unload.
#pragma once

#include <CEGUI/Size.h>
#include <CEGUI/String.h>

#include <cstdint>
#include <memory>
#include <string>

#include "game/race/race_displays.h"
#include "game/saves/highscore.h"
#include "gui/gui_helper.h"
#include "gui/ingame/hud_layout.h"
#include "gui/ingame/hud_race.h"
#include "gui/name_matcher.h"

namespace CEGUI {
class EventArgs;
class Image;
class Window;
}  // namespace CEGUI
class Config;
struct ConfigPlayer;
class Gui;
class LapDisplay;
class PositionDisplay;
class TimeDisplay;

class OnscreenDisplays : public RaceDisplays {
 public:
  static constexpr int kMaxViews = hud_layout::kMaxViews;
  static constexpr int kMaxKarts = 6;
  // Per minimap: kart k (0..5), then kart k's rocket (6 + k); 12..17 unused.
  static constexpr int kMarkers = 18;
  static constexpr int kRocketMarkers = 6;
  static constexpr int kExtraCodes = 13;
  static constexpr int kRankingRows = 7;  // the header and six places
  static constexpr int kTimeTrialRows = 6;
  static constexpr const char* kRootName = "Ingame/RootWindow";

  // One local player's displays. Windows belong to the sheet.
  struct View {
    CEGUI::Window* overlay = nullptr;
    CEGUI::Window* countdown = nullptr;
    CEGUI::Window* extraIcon = nullptr;
    CEGUI::Window* lapPanel = nullptr;
    CEGUI::Window* timePanel = nullptr;
    CEGUI::Window* minimap = nullptr;
    CEGUI::Window* markers[kMarkers] = {};
    CEGUI::Window* wrongDirection = nullptr;
    CEGUI::Window *waitBox = nullptr, *waitText = nullptr;
    CEGUI::Window *nicknameBox = nullptr, *nicknameText = nullptr;
    CEGUI::Window *pausedBox = nullptr, *pausedText = nullptr;
    std::unique_ptr<LapDisplay> lapDisplay;
    std::unique_ptr<PositionDisplay> positionDisplay;
    std::unique_ptr<TimeDisplay> raceTimeDisplay, lapTimeDisplay, bestLapDisplay;

    // What the windows show now, so that unchanged values are not written.
    int extraCode = -1;
    int countdownStep = -1;
    std::uint32_t overlayColour = 0xFFFFFFFF;
    float overlayAlpha = 1.0f;
    float markerLeft[kMarkers] = {}, markerTop[kMarkers] = {};
  };

  // A result dialog ranking the karts: number, name, time (or result) and,
  // in the championship dialogs, points; row 0 is the header.
  struct RankingDialog {
    CEGUI::Window *frame = nullptr, *title = nullptr, *okButton = nullptr;
    CEGUI::Window* numbers[kRankingRows] = {};
    CEGUI::Window* names[kRankingRows] = {};
    CEGUI::Window* times[kRankingRows] = {};
    CEGUI::Window* points[kRankingRows] = {};  // null without a points column
  };

  struct TimeTrialDialog {
    CEGUI::Window *frame = nullptr, *title = nullptr, *okButton = nullptr;
    CEGUI::Window* labels[kTimeTrialRows] = {};
    CEGUI::Window* times[kTimeTrialRows] = {};
  };

  // Builds every window for `race`, whose views and karts exist by now, and
  // makes the sheet the GUI's. Throws the GUI library's exception when an
  // imageset or picture the displays need is missing; a track without a
  // minimap picture only goes without its minimap (reported).
  OnscreenDisplays(Gui& gui, Config& config, std::unique_ptr<HudRace> race);
  ~OnscreenDisplays() override;
  OnscreenDisplays(const OnscreenDisplays&) = delete;
  OnscreenDisplays& operator=(const OnscreenDisplays&) = delete;

  // The per-frame refresh from the race's state and its karts' values.
  void update() override;
  // Makes the sheet the GUI's when something else replaced it.
  void activateSheet() override;

  // ---- elements (p: local player 0 or 1; other values change nothing) ----
  void showOverlay(int p, bool on) override;
  // Blue, green and red from a, b and c (0..1 each), opaque; `alpha` is the
  // overlay window's.
  void setOverlayColour(int p, float a, float b, float c, float alpha) override;
  void showCountdown(int p) override;
  void hideCountdown(int p) override;
  // Step 0..3 shows "Count4" .. "Count1".
  void setCountdownImage(int p, int step) override;
  void updateExtraIcon(int p, int extraCode) override;
  // Colour 0 red, 1 green, 2 blue.
  void setMinimapMarkerColour(int p, int marker, int colour) override;
  void placeMinimapMarkers(int marker, float x, float z);
  void showMinimapMarker(int marker);
  void hideMinimapMarker(int marker) override;
  void showWrongDirection(int p);
  void hideWrongDirection(int p);
  void showWaitMessage();
  void hideWaitMessage() override;
  void setWaitMessageText() override;
  void showPausedMessage();
  void hidePausedMessage() override;
  // Text 4030 naming the player; `name` as UTF-8 bytes.
  void showNicknameMessage(int p, const std::string& name) override;
  void showNicknameMessage(int p, const CEGUI::String& name);
  void hideNicknameMessage(int p) override;
  void setLapDisplay(int p, int lap, int lapCount, bool noLimit);
  void setPositionDisplay(int p, int position, int count);
  void setRaceTimeDisplay(int p, float seconds);
  void setLapTimeDisplay(int p, float seconds);
  void setBestLapDisplay(int p, float seconds);

  // ---- message box and pause dialog ----
  void showMessageBox(int textId) override;
  void openPauseDialog() override;
  void closePauseDialog();

  // ---- result dialogs, opened at the race end ----
  void showTimeTrialResults() override;
  void showRaceResults() override;
  void showLastManStandingResults() override;
  void showChampionshipResults() override;
  void showChampionshipStandings();
  // Network games: the rows again from the records as they arrive.
  void refreshResultList() override;
  void refreshResultTimes() override;
  void refreshResultRows() override;

  // ---- highscore name entry ----
  // The player's result in its table: the name entry when it places, else
  // the race ends.
  void checkForHighscore();
  void closeHighscoreEntry();

  // ---- what the race asks before it acts ----
  bool pauseDialogVisible() const override;
  bool messageBoxVisible() const override;
  bool timeTrialResultVisible() const override;
  bool raceResultVisible() const override;
  bool lastManStandingResultVisible() const override;
  bool championshipResultVisible() const override;
  bool championshipStandingsVisible() const override;
  bool highscoreEntryVisible() const override;
  bool playerEventMessageVisible(int p) const override;

  // Button handlers (public so that a test can press them).
  bool onMessageBoxOk(const CEGUI::EventArgs& args);
  bool onPauseResumeClicked(const CEGUI::EventArgs& args);
  bool onPauseEndRaceClicked(const CEGUI::EventArgs& args);
  bool onPauseQuitClicked(const CEGUI::EventArgs& args);
  bool onTimeTrialResultsOk(const CEGUI::EventArgs& args);
  bool onRaceResultsOk(const CEGUI::EventArgs& args);
  bool onLastManStandingResultsOk(const CEGUI::EventArgs& args);
  bool onChampionshipRaceOk(const CEGUI::EventArgs& args);
  bool onChampionshipStandingsOk(const CEGUI::EventArgs& args);
  bool acceptHighscoreName(const CEGUI::EventArgs& args);
  bool onHighscoreNameAccepted(const CEGUI::EventArgs& args);

  HudRace& race() { return *m_race; }

  Gui& m_gui;
  Config& m_config;
  int m_trackIndex;
  int m_viewCount;
  float m_minimapScale;
  const hud_layout::MinimapTrack* m_minimapTrack = nullptr;  // null: no minimap
  hud_layout::Minimap m_minimap;

  CEGUI::Window* m_root = nullptr;
  View m_views[kMaxViews];
  const CEGUI::Image* m_extraIconImages[kExtraCodes] = {};

  CEGUI::Window *m_messageBox = nullptr, *m_messageText = nullptr, *m_messageOkButton = nullptr;
  CEGUI::Window* m_pauseDialog = nullptr;
  CEGUI::Window *m_pauseResumeButton = nullptr, *m_pauseEndRaceButton = nullptr, *m_pauseQuitButton = nullptr;
  std::uint8_t m_savedPause = 0;
  bool m_pauseStoppedTimer = false;  // the dialog stopped a running race clock

  TimeTrialDialog m_ttDialog;
  RankingDialog m_raceDialog, m_lmsDialog, m_cupRaceDialog, m_standingsDialog;

  HighscoreBase* m_highscoreTable = nullptr;  // the table the pending entry goes into
  HighscoreEntry m_highscoreEntry;
  CEGUI::Window *m_nameEntryDialog = nullptr, *m_nameEntryTitle = nullptr, *m_nameEntryMessage = nullptr;
  CEGUI::Window *m_nameEntryPrompt = nullptr, *m_nameEntryEdit = nullptr, *m_nameEntryOkButton = nullptr;

 private:
  // The windows and the dialogs, in drawing order.
  void build();
  // Frees the windows and imagesets (also after a failed build).
  void release();
  void buildOverlay(int p);
  void buildView(int p);
  void buildMinimap(int p);
  void buildMessageBox();
  void buildPauseDialog();
  void buildTimeTrialResultsDialog();
  using Handler = bool (OnscreenDisplays::*)(const CEGUI::EventArgs&);
  struct RankingLook {
    float width, x, buttonX;  // layout pixels
    bool points;              // a points column
    bool numbered;            // places written when built
    bool smallResults;        // small print in the result column below the winner
    Handler handler;
  };
  void buildRankingDialog(RankingDialog& dialog, const RankingLook& look);
  void buildHighscoreEntryDialog();

  // A frame window of the layout, hidden and disabled, on the sheet.
  CEGUI::Window* makeFrame(float x, float y, float width, float height);
  // A button of `frame` showing text `textId`, clicked -> `handler`.
  CEGUI::Window* makeButton(CEGUI::Window* frame, float x, float y, float width, float height, const char* font,
                            int textId, Handler handler);
  // A black text of `frame`.
  CEGUI::Window* makeDialogText(CEGUI::Window* frame, float x, float y, float width, float height, const char* font,
                                HorzText horizontal, VertText vertical);
  static CEGUI::Sizef frameSize(const CEGUI::Window* frame);
  const CEGUI::String& text(int id) const;
  const ConfigPlayer& record(int k) const;
  bool validView(int p) const { return p >= 0 && p < m_viewCount; }
  void openDialog(CEGUI::Window* frame);
  void closeDialog(CEGUI::Window* frame);
  void clearRankingRows(RankingDialog& dialog);
  void writeRankingNumbers(RankingDialog& dialog);
  // Record k belongs to a kart of the race.
  bool hasRecord(int k) const;
  // Ends the race and leaves the network game.
  void leaveRace();

  std::unique_ptr<HudRace> m_race;
  NameMatcher m_nameMatcher{"[-+._0-9a-zA-Z ]*"};
};
