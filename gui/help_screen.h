// The help page: a title, the controls table and the ten extras with their
// icons on one scrollable pane, every text from the menu's text table in
// the current language. Back gives kResultBack.
#pragma once

#include <vector>

#include "gui/gui_screen.h"

namespace CEGUI {
class EventArgs;
class ScrollablePane;
class Window;
}  // namespace CEGUI
class InputDevice;
class ScreenHost;

class HelpScreen : public GuiScreen {
 public:
  static constexpr const char* kName = "HelpScreen";
  static constexpr int kColumns = 3, kRows = 7, kExtras = 10;
  // The pane's own area: its children are placed in pixels of it.
  static constexpr float kPaneWidth = 800.0f, kPaneHeight = 700.0f;
  // One key press moves this fraction of the scrollable range.
  static constexpr float kKeyStep = 0.1f;

  struct Extra {
    const char* image;  // in the imageset "Extras"
    int nameText, descriptionText;
  };
  static const Extra kExtraList[kExtras];

  // Needs the imagesets "HelpScreen", "Extras" and "Quillfen".
  HelpScreen(ScreenHost& host, Menu* menu = nullptr);
  ~HelpScreen() override;
  const char* getName() const override { return kName; }
  // Every text in the current language; the page stays where it was left.
  void activate() override;

  // Steps from where the pane is now, so that keys continue from a move
  // made with the mouse.
  void scrollUp();
  void scrollDown();
  // The menu's keys while this screen is current: Up or else Page Up
  // scrolls up, then Down or else Page Down scrolls down.
  void handleKeys(InputDevice& input);

  CEGUI::Window* m_backButton = nullptr;
  CEGUI::ScrollablePane* m_scrollPane = nullptr;
  float m_scrollPosition = 0.0f;
  CEGUI::Window* m_title = nullptr;
  CEGUI::Window* m_subtitle = nullptr;
  CEGUI::Window* m_intro = nullptr;
  CEGUI::Window* m_columnHeaders[kColumns] = {};
  CEGUI::Window* m_cells[kColumns * kRows] = {};  // column c, row r at 7c + r
  CEGUI::Window* m_extrasTitle = nullptr;
  CEGUI::Window* m_extrasIntro = nullptr;
  CEGUI::Window* m_extraImages[kExtras] = {};
  CEGUI::Window* m_extraNames[kExtras] = {};
  CEGUI::Window* m_extraTexts[kExtras] = {};

 private:
  struct Placed {
    CEGUI::Window* window;
    float x, y, width, height;  // pixels of the pane's 800 x 700
  };
  CEGUI::Window* addText(float x, float y, float width, float height, const char* font, HorzText formatting);
  void scrollTo(float position);
  // Places the pane's children as fractions of the pane's present size.
  void layoutPane();
  bool onBackClicked(const CEGUI::EventArgs&);

  ScreenHost& m_host;
  std::vector<Placed> m_placed;
};
