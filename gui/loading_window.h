// The full-screen picture with a progress bar shown while the program loads.
// Loading runs without a frame loop, so every progress report draws and
// presents at once.
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
  // Resizes the bar and draws.
  void setProgress(float value);
  void setText(const CEGUI::String& text);
  // Makes the window the sheet, hides the cursor and shows three frames.
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
};

// The one loading window, made by the entry point after the Gui.
extern LoadingWindow* g_loadingWindow;
