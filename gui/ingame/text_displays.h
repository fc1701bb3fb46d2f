// The race's number displays: a label followed by a row of equal cells, one
// digit or fixed character per cell, so that changing digits never shift
// the row. TimeDisplay shows minutes:seconds:hundredths, LapDisplay the lap
// and the lap count, PositionDisplay the place and the number of karts.
#pragma once

#include <CEGUI/String.h>

#include <memory>
#include <string>

#include "gui/gui_helper.h"

namespace CEGUI {
class Window;
}

class TextDisplay : public GuiHelper {
 public:
  // Label and cells are added to `sheet`, hidden, at (x, y) in pixels of the
  // 1024 x 768 layout; the first cell starts 10 pixels after the label.
  TextDisplay(CEGUI::Window* sheet, float x, float y, const CEGUI::String& label, float labelWidth, int cellCount,
              float cellWidth, float height);
  ~TextDisplay() override;
  TextDisplay(const TextDisplay&) = delete;
  TextDisplay& operator=(const TextDisplay&) = delete;

  // Shows or hides the label and every cell.
  void setVisible(bool visible);
  bool isVisible() const { return m_visible; }

  int cellCount() const { return m_cellCount; }
  CEGUI::Window* label() const { return m_label; }
  CEGUI::Window* cell(int i) const { return m_cells[i]; }
  const std::string& cellText(int i) const { return m_cellTexts[i]; }

 protected:
  // Writes a cell only when its text changes.
  void setCell(int i, const char* text);
  void setCellNumber(int i, long long value);

 private:
  bool m_visible = false;
  int m_cellCount;
  float m_labelWidth, m_cellWidth, m_height;
  CEGUI::Window* m_label;  // the sheet's
  std::unique_ptr<CEGUI::Window*[]> m_cells;
  std::unique_ptr<std::string[]> m_cellTexts;
};

// Cells "m m : s s : h h".
class TimeDisplay : public TextDisplay {
 public:
  TimeDisplay(CEGUI::Window* sheet, const CEGUI::String& label, float x, float y);
  // 0 or less, and times that are not numbers: "--:--:--"; an hour or more
  // wraps its minutes; 3,600,000 s or more: "59:59:99".
  void setTime(float seconds);
};

// Cells "lap / count".
class LapDisplay : public TextDisplay {
 public:
  LapDisplay(CEGUI::Window* sheet, const CEGUI::String& label, float x, float y);
  // The lap is at least 1. With a limit, at most the count; without one
  // (last man standing) the lap alone, over two cells from 10 on.
  void setLap(int lap, int lapCount, bool noLimit);
};

// Cells "place / count".
class PositionDisplay : public TextDisplay {
 public:
  PositionDisplay(CEGUI::Window* sheet, const CEGUI::String& label, float x, float y);
  // Place 0 shows "-".
  void setPosition(int position);
  // Count 0 shows "-"; -1 takes the slash and the count away for good.
  void setCount(int count);

 private:
  bool m_countHidden = false;
};
