#include "gui/ingame/text_displays.h"

#include <CEGUI/Window.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr const char* kFont = "VerdanaLargeItalic";
constexpr std::uint32_t kWhite = 0xFFFFFFFF;

// A display text: white, never in the way of the mouse.
CEGUI::Window* makeText(CEGUI::Window* sheet, float x, float y, float width, float height, HorzText horizontal) {
  CEGUI::Window* window = GuiHelper::createWindow("StaticText", x, y, width, height);
  GuiHelper::setFormatting(window, horizontal, VertText::Centred);
  GuiHelper::setTextColour(window, kWhite);
  window->setFont(kFont);
  window->setMousePassThroughEnabled(true);
  window->setVisible(false);
  sheet->addChild(window);
  return window;
}

}  // namespace

TextDisplay::TextDisplay(CEGUI::Window* sheet, float x, float y, const CEGUI::String& label, float labelWidth,
                         int cellCount, float cellWidth, float height)
    : m_cellCount(cellCount),
      m_labelWidth(labelWidth),
      m_cellWidth(cellWidth),
      m_height(height),
      m_cells(new CEGUI::Window*[static_cast<std::size_t>(cellCount)]),
      m_cellTexts(new std::string[static_cast<std::size_t>(cellCount)]) {
  m_label = makeText(sheet, x, y, m_labelWidth, m_height, HorzText::Left);
  setText(m_label, label);
  for (int i = 0; i < m_cellCount; ++i)
    m_cells[i] = makeText(sheet, x + m_labelWidth + 10 + static_cast<float>(i) * m_cellWidth, y, m_cellWidth, m_height,
                          HorzText::Centred);
}

// The windows belong to the sheet and go with it.
TextDisplay::~TextDisplay() = default;

void TextDisplay::setVisible(bool visible) {
  m_visible = visible;
  m_label->setVisible(visible);
  for (int i = 0; i < m_cellCount; ++i) m_cells[i]->setVisible(visible);
}

void TextDisplay::setCell(int i, const char* text) {
  if (m_cellTexts[i] == text) return;
  m_cellTexts[i] = text;
  m_cells[i]->setText(text);
}

void TextDisplay::setCellNumber(int i, long long value) {
  char text[24];
  std::snprintf(text, sizeof text, "%lld", value);
  setCell(i, text);
}

// ---- TimeDisplay ------------------------------------------------------------

TimeDisplay::TimeDisplay(CEGUI::Window* sheet, const CEGUI::String& label, float x, float y)
    : TextDisplay(sheet, x, y, label, 160, 8, 16, 30) {
  setCell(2, ":");
  setCell(5, ":");
}

void TimeDisplay::setTime(float seconds) {
  static constexpr int kDigitCells[6] = {0, 1, 3, 4, 6, 7};
  if (!std::isfinite(seconds) || seconds <= 0.0f) {
    for (int i : kDigitCells) setCell(i, "-");
    return;
  }
  int digits[6] = {5, 9, 5, 9, 9, 9};
  if (seconds < 3600000.0f) {
    // 64 bits: the milliseconds of long times pass 2^31.
    const std::int64_t ms = static_cast<std::int64_t>(static_cast<double>(seconds) * 1000.0);
    const int minutes = static_cast<int>(ms / 60000 % 60), secs = static_cast<int>(ms / 1000 % 60),
              hundredths = static_cast<int>(ms / 10 % 100);
    const int values[6] = {minutes / 10, minutes % 10, secs / 10, secs % 10, hundredths / 10, hundredths % 10};
    std::copy(values, values + 6, digits);
  }
  for (int d = 0; d < 6; ++d) setCellNumber(kDigitCells[d], digits[d]);
}

// ---- LapDisplay ---------------------------------------------------------------

LapDisplay::LapDisplay(CEGUI::Window* sheet, const CEGUI::String& label, float x, float y)
    : TextDisplay(sheet, x, y, label, 110, 3, 16, 30) {
  setCell(1, "/");
}

void LapDisplay::setLap(int lap, int lapCount, bool noLimit) {
  lap = std::max(lap, 1);
  if (!noLimit) {
    lap = std::min(lap, lapCount);
    setCell(1, "/");
    setCellNumber(0, lap);
    setCellNumber(2, lapCount);
    return;
  }
  setCell(2, "");
  if (lap < 10) {
    setCellNumber(0, lap);
    setCell(1, "");
  } else {
    setCellNumber(0, lap / 10);
    setCellNumber(1, lap % 10);
  }
}

// ---- PositionDisplay ------------------------------------------------------------

PositionDisplay::PositionDisplay(CEGUI::Window* sheet, const CEGUI::String& label, float x, float y)
    : TextDisplay(sheet, x, y, label, 110, 3, 16, 30) {
  setCell(1, "/");
}

void PositionDisplay::setPosition(int position) {
  if (position == 0)
    setCell(0, "-");
  else
    setCellNumber(0, position);
}

void PositionDisplay::setCount(int count) {
  if (m_countHidden) return;
  if (count == -1) {
    m_countHidden = true;
    setCell(1, "");
    setCell(2, "");
  } else if (count == 0) {
    setCell(2, "-");
  } else {
    setCellNumber(2, count);
  }
}
