// The credits: the lines of "Credits.txt" scroll up endlessly over a
// background, each white over a black shadow, fading in at the bottom and
// out at the top. Back gives result 1.
#pragma once

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
  static constexpr int kMaxFileBytes = 1 << 20;

  struct CreditLine {
    float m_y;
    CEGUI::Window* m_text;
    CEGUI::Window* m_shadow;
  };

  // Needs the imagesets "Credits" and "Quillfen"; reads the file at once.
  CreditsScreen(ScreenHost& host, Menu* menu = nullptr);
  ~CreditsScreen() override;
  const char* getName() const override { return kName; }

  // Builds the lines of a credits file: bytes are Latin-1 characters, a CR
  // ends a line (the byte after it is skipped), a last line without CR is
  // dropped; "*", "!" and "#" at the start pick a font and are not shown.
  void loadCredits(std::string_view bytes);
  // One scroll and fade step by the last frame's length.
  void update();
  void update(float dt);

  CEGUI::Window* m_backButton = nullptr;
  std::vector<CreditLine> m_lines;

 private:
  void addLine(const CEGUI::String& text, const char* font);
  bool onBackClicked(const CEGUI::EventArgs&);

  ScreenHost& m_host;
};
