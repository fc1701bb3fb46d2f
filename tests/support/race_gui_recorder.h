// Stand-ins for the GUI the race talks to: they remember the loading
// window's progress and texts, hand out texts from a map, and record the
// calls made on the in-race displays, whose window visibility a test sets.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/race/race_displays.h"
#include "game/race/race_gui.h"

class MapRaceTexts : public RaceTexts {
 public:
  explicit MapRaceTexts(std::map<int, std::string> texts) : m_texts(std::move(texts)) {}
  std::string getText(int id) const override {
    const auto found = m_texts.find(id);
    return found == m_texts.end() ? std::string() : found->second;
  }

 private:
  std::map<int, std::string> m_texts;
};

class RecordingRaceDisplays : public RaceDisplays {
 public:
  void update() override { ++updates; }
  void activateSheet() override { record("activateSheet"); }
  void updateExtraIcon(int view, int extraCode) override { record("updateExtraIcon", view, extraCode); }
  void setMinimapMarkerColour(int view, int kart, int colour) override {
    record("setMinimapMarkerColour", view, kart, colour);
  }
  void hideMinimapMarker(int kart) override { record("hideMinimapMarker", kart); }
  void setCountdownImage(int view, int index) override { record("setCountdownImage", view, index); }
  void showCountdown(int view) override { record("showCountdown", view); }
  void hideCountdown(int view) override { record("hideCountdown", view); }
  void showOverlay(int view, bool on) override { record("showOverlay", view, on ? 1 : 0); }
  void setOverlayColour(int view, float r, float g, float b, float alpha) override {
    record("setOverlayColour " + std::to_string(view) + " " + std::to_string(r) + " " + std::to_string(g) + " " +
           std::to_string(b) + " " + std::to_string(alpha));
  }
  void hidePausedMessage() override { record("hidePausedMessage"); }
  void showNicknameMessage(int view, const std::string& name) override {
    record("showNicknameMessage " + std::to_string(view) + " " + name);
    playerEvent[view & 1] = true;
  }
  void hideNicknameMessage(int view) override {
    record("hideNicknameMessage", view);
    playerEvent[view & 1] = false;
  }
  void setWaitMessageText() override { record("setWaitMessageText"); }
  void hideWaitMessage() override { record("hideWaitMessage"); }
  void showMessageBox(int textId) override {
    record("showMessageBox", textId);
    messageBox = true;
  }
  void openPauseDialog() override {
    record("openPauseDialog");
    pauseDialog = true;
  }
  void showTimeTrialResults() override { record("showTimeTrialResults"); }
  void showRaceResults() override { record("showRaceResults"); }
  void showLastManStandingResults() override { record("showLastManStandingResults"); }
  void showChampionshipResults() override { record("showChampionshipResults"); }
  void refreshResultList() override { record("refreshResultList"); }
  void refreshResultTimes() override { record("refreshResultTimes"); }
  void refreshResultRows() override { record("refreshResultRows"); }

  bool pauseDialogVisible() const override { return pauseDialog; }
  bool messageBoxVisible() const override { return messageBox; }
  bool timeTrialResultVisible() const override { return timeTrialResult; }
  bool raceResultVisible() const override { return raceResult; }
  bool lastManStandingResultVisible() const override { return lastManStandingResult; }
  bool championshipResultVisible() const override { return championshipResult; }
  bool championshipStandingsVisible() const override { return championshipStandings; }
  bool highscoreEntryVisible() const override { return highscoreEntry; }
  bool playerEventMessageVisible(int view) const override { return playerEvent[view & 1]; }

  // "name a b c" per call, in call order.
  std::vector<std::string> calls;
  int updates = 0;
  bool pauseDialog = false, messageBox = false, timeTrialResult = false, raceResult = false,
       lastManStandingResult = false, championshipResult = false, championshipStandings = false, highscoreEntry = false;
  bool playerEvent[2] = {false, false};

 private:
  void record(const std::string& call) { calls.push_back(call); }
  template <class... Ints>
  void record(const std::string& name, Ints... values) {
    std::string call = name;
    (((call += ' ') += std::to_string(values)), ...);
    calls.push_back(call);
  }
};

class RecordingRaceGui : public RaceGui {
 public:
  void setLoadingProgress(float value) override { progress.push_back(value); }
  void setLoadingText(const std::string& text) override { loadingTexts.push_back(text); }
  bool pumpLoadingMessages() override {
    ++pumps;
    if (onPump) onPump();
    return !quit;
  }
  std::unique_ptr<RaceTexts> loadTexts(File* /*files*/, const char* fileName, int lang) override {
    textFile = fileName;
    language = lang;
    return std::make_unique<MapRaceTexts>(texts);
  }
  std::unique_ptr<RaceDisplays> createDisplays(Config& /*settings*/, Race& forRace) override {
    auto made = std::make_unique<RecordingRaceDisplays>();
    displays = made.get();
    race = &forRace;
    return made;
  }
  void injectTimePulse(float gameTime) override { timePulses.push_back(gameTime); }
  void injectMouse() override { ++mouseInjections; }
  void injectKeyboard() override { ++keyboardInjections; }
  void setMouseCursorVisible(bool visible) override { cursorVisible = visible; }
  void setDisplaySize(float width, float height) override {
    displayWidth = width;
    displayHeight = height;
  }
  void render() override { ++renders; }

  std::vector<float> progress;
  std::vector<std::string> loadingTexts;
  int pumps = 0;
  bool quit = false;                 // what the pump reports next
  std::function<void()> onPump;      // runs inside each pump
  std::map<int, std::string> texts;  // what loadTexts hands out
  std::string textFile;
  int language = -1;
  RecordingRaceDisplays* displays = nullptr;  // the last made; the race owns it
  Race* race = nullptr;
  std::vector<float> timePulses;
  int mouseInjections = 0, keyboardInjections = 0, renders = 0;
  bool cursorVisible = true;
  float displayWidth = 0.0f, displayHeight = 0.0f;
};
