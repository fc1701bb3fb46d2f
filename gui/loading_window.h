// The full-screen picture with a progress bar shown while the program loads.
// Loading runs without a frame loop, so a progress report that moves the bar
// on screen draws and presents at once; one that leaves it as it stands
// draws nothing, since every frame holds up the load it reports on.
#pragma once

#include <CEGUI/String.h>

namespace CEGUI {
class Window;
}
class Gui;

class LoadingWindow {
 public:
  // The bar's place and full width in the 1024 x 768 layout.
  static constexpr float kBarX = 81.0f, kBarY = 678.0f, kBarHeight = 25.0f, kBarFullWidth = 860.0f;

  explicit LoadingWindow(Gui* gui);
  ~LoadingWindow();
  LoadingWindow(const LoadingWindow&) = delete;
  LoadingWindow& operator=(const LoadingWindow&) = delete;

  // Loads "LoadingScreen.imageset" and builds the windows; once.
  void create();
  void destroy();
  bool built() const { return m_built; }

  // The part of the bar (percent of its length) that values 0..100 fill.
  void setRange(float min, float max);
  // Resizes the bar; draws when that changed what the screen shows.
  void setProgress(float value);
  void setText(const CEGUI::String& text);
  // Makes the window the sheet, hides the cursor and shows one frame.
  void draw();

  // The bar's width in layout pixels for a value in the current range.
  float barWidth(float value) const;

  bool m_built = false;
  Gui* m_gui;
  CEGUI::Window* m_root = nullptr;
  CEGUI::Window* m_bar = nullptr;
  CEGUI::Window* m_text = nullptr;
  float m_value = 0.0f;
  float m_min = 0.0f, m_max = 100.0f;

 private:
  // The bar's rectangle on the display, in whole pixels.
  struct BarPixels {
    long left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const BarPixels&) const = default;
  };
  BarPixels barPixels() const;
  // Whether the screen shows the window as it stands now.
  bool shownAsItStands() const;

  bool m_shown = false;  // a frame of this build of the window is on screen
  BarPixels m_shownBar;
};

// The one loading window, made by the entry point after the Gui.
extern LoadingWindow* g_loadingWindow;
