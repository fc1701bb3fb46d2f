// The words of the game's two text tables ("Texts.xml" for the menus,
// "IngameTexts.xml" for the race), in German, English, French, Spanish and
// Italian: one row per text id, written once here so that both files and a
// later language come from the same place.
#pragma once

#include <array>
#include <span>
#include <string>

// Where a race text is shown, so its wording can be checked against the
// box before the race's windows exist. Menu texts are checked on the live
// screens instead (kOnScreen).
enum class TextBox {
  kOnScreen,
  kHudLabel,      // lap and position label: 110 x 30, large italic
  kHudTimeLabel,  // time labels: 160 x 30, large italic
  kMessage,       // wait and player-event boxes: 400 x 100, small, wrapped
  kPaused,        // 280 x 140, large
  kDialogText,    // message box text: 440 x 215, medium, wrapped
  kOkButton,      // 140 x 60, medium
  kWideButton,    // result dialogs: 200 x 60, large
  kPauseButton,   // 320 x 60, medium
  kTitle,         // result and name-entry titles: 330 x 40, large
  kWideTitle,     // race and standings titles: 640 x 40, large
  kColumnNumber,  // result table headers: 100 x 30, large italic
  kColumnName,    // 240 x 30, large italic
  kColumnTime,    // 130 x 30, large italic
  kLapRow,        // time-trial row label with " 5": 200 x 30, large italic
  kSmallCell,     // last-man-standing result: 130 x 30, small
  kPrompt,        // name entry prompt: 440 x 30, medium
  kPlaceMessage,  // name entry message: 440 x 90, medium, wrapped
};

struct TextBoxSize {
  const char* font;
  float width, height;
  bool wrapped;
};
TextBoxSize textBoxSize(TextBox box);

struct SampleText {
  int id;
  // A name reads the same in every language (drivers, karts).
  bool name;
  TextBox box;
  std::array<const char*, 5> words;  // De, En, Fr, Sp, It; UTF-8
};

inline constexpr const char* kSampleLanguageCodes[5] = {"De", "En", "Fr", "Sp", "It"};

std::span<const SampleText> menuTexts();
std::span<const SampleText> raceTexts();
// The row of `id`, or null.
const SampleText* findSampleText(std::span<const SampleText> table, int id);

// A text table file: root "Texts", one "Take" per row with an element per
// language; the characters XML gives a meaning are escaped.
std::string textTableXml(std::span<const SampleText> table);
