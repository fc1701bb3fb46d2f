// The credits: the lines of "Credits.txt" scroll up endlessly over a
// background, each white over a black shadow, fading in at the bottom and
// out at the top. Back gives kResultBack.
//
// A line owns its pair of windows (text and shadow) only while it is on
// screen or just below it: the pairs are handed from line to line as they
// scroll, so a long file costs no more windows than a screenful.
#pragma once

#include <CEGUI/String.h>

#include <string_view>
#include <vector>

#include "gui/gui_screen.h"

namespace CEGUI {
class EventArgs;
class Window;
}  // namespace CEGUI
class ScreenHost;

class CreditsScreen : public GuiScreen {
 public:
  static constexpr const char* kName = "CreditsScreen";
  static constexpr const char* kFileName = "D:\\Tamberlok/menu/Credits.txt";
  // Layout pixels: the lines' box, pitch and start, the fade bands and the
  // scroll speed.
  static constexpr float kLineX = 50, kLineWidth = 924, kLineHeight = 35, kFirstLineY = 718;
  static constexpr float kTopWrap = 15, kTopFadeEnd = 50, kBottomFadeStart = 683, kBottomFadeEnd = 718;
  static constexpr float kSpeed = 45;  // pixels per second
  // A line holds its windows from the top down to two rows below the
  // fade-in band, so it is laid out before it shows.
  static constexpr float kWindowsEnd = kBottomFadeEnd + 2 * kLineHeight;
  // What a credits file may hold: bytes, lines, and characters shown of a
  // line (the box shows far fewer).
  static constexpr int kMaxFileBytes = 1 << 20;
  static constexpr std::size_t kMaxLines = 2000;
  static constexpr std::size_t kMaxLineLength = 1024;

  struct CreditLine {
    float m_y;
    // The line's windows while it lies above kWindowsEnd, else null.
    CEGUI::Window* m_text = nullptr;
    CEGUI::Window* m_shadow = nullptr;
    CEGUI::String m_shown;  // the text without its font marker
    const char* m_font = nullptr;
  };

  // Needs the imagesets "Credits" and "Quillfen"; reads the file at once.
  CreditsScreen(ScreenHost& host, Menu* menu = nullptr);
  ~CreditsScreen() override;
  const char* getName() const override { return kName; }

  // Replaces the lines with those of a credits file: bytes are Latin-1
  // characters, a CR ends a line (the byte after it is skipped), a last
  // line without CR is dropped; "*", "!" and "#" at the start pick a font
  // and are not shown. Lines past kMaxLines are dropped with a report.
  void loadCredits(std::string_view bytes);
  // One scroll and fade step by the last frame's length.
  void update();
  void update(float dt);

  CEGUI::Window* m_backButton = nullptr;
  std::vector<CreditLine> m_lines;

 private:
  struct WindowPair {
    CEGUI::Window* text;
    CEGUI::Window* shadow;
  };

  // Gives the line a pair of windows showing its text at its place.
  void attach(CreditLine& line, float alpha);
  void detach(CreditLine& line);
  bool onBackClicked(const CEGUI::EventArgs&);

  ScreenHost& m_host;
  std::vector<WindowPair> m_pairs;      // every pair made; the root owns the windows
  std::vector<WindowPair> m_freePairs;  // of those, the hidden ones no line holds
};
