// The base of the screens on which the player picks a race: rows of arrow
// buttons that step one settings field each (wrapping at both ends) and
// relabel it, and the OK (kResultOk) and Back (kResultBack) buttons.
#pragma once

#include <functional>
#include <vector>

#include "gui/gui_screen.h"

namespace CEGUI {
class EventArgs;
class Window;
}  // namespace CEGUI

class Config;

class SelectionScreen : public GuiScreen {
 public:
  ~SelectionScreen() override;
  // Rows get their texts; with `holdInRange`, values a saved file left out
  // of range first go to the nearest bound.
  void activate() override;

  struct Row {
    CEGUI::Window* left = nullptr;
    CEGUI::Window* right = nullptr;
    CEGUI::Window* label = nullptr;
    int* value = nullptr;
    int min = 0;
    std::function<int()> max;  // looked up at each click (it may follow the engine class)
    std::function<void(int)> show;
  };

  CEGUI::Window* m_okButton = nullptr;
  CEGUI::Window* m_backButton = nullptr;
  std::vector<Row> m_rows;

 protected:
  SelectionScreen(Menu* menu, const char* name, const char* imageset, bool holdInRange,
                  const char* image = "Background");
  Config& config() const;
  // A row with its label at (labelX, labelY, labelWidth x labelHeight) and
  // arrows at (leftX, arrowY) and (rightX, arrowY). Returns its index.
  std::size_t addRow(float leftX, float rightX, float arrowY, float labelX, float labelY, float labelWidth,
                     float labelHeight, int* value, int min, std::function<int()> max,
                     std::function<void(int)> show = {});
  // The usual rows' texts: engine class, kart and character names.
  std::function<void(int)> showText(std::size_t row, int firstId, int step, int count);
  // Relabels every row.
  void refresh();
  // Steps a row by -1 or +1 after the click sound.
  void step(std::size_t row, int delta);
  // Six records: flags "send, ignore received", then marked.
  static void takeOverRecords(Config& config);

 private:
  bool m_holdInRange;
};
