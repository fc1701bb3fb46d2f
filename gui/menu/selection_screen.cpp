#include "gui/menu/selection_screen.h"

#include <CEGUI/CEGUI.h>

#include <algorithm>

#include "game/saves/config.h"
#include "gui/gui.h"
#include "gui/menu/menu.h"
#include "gui/menu/menu_widgets.h"
#include "gui/text_table.h"

SelectionScreen::SelectionScreen(Menu* menu, const char* name, const char* imageset, bool holdInRange,
                                 const char* image)
    : GuiScreen(menu, menu->m_gui), m_holdInRange(holdInRange) {
  using namespace menu_widgets;
  m_root = makeRoot(name, imageset, image);
  m_okButton = makeImageButton(m_root, 873, 623, 135, 130, "OKButton", "OKButtonDisabled", "OKButtonHover");
  m_backButton = makeImageButton(m_root, 15, 623, 135, 130, "BackButton", "BackButton", "BackButtonHover");
  m_okButton->subscribeEvent(CEGUI::PushButton::EventClicked, [this](const CEGUI::EventArgs&) {
    m_menu->playClickSound();
    setResult(kResultOk);
    return true;
  });
  m_backButton->subscribeEvent(CEGUI::PushButton::EventClicked, [this](const CEGUI::EventArgs&) {
    m_menu->playClickSound();
    setResult(kResultBack);
    return true;
  });
}

SelectionScreen::~SelectionScreen() { menu_widgets::destroyRoot(m_root); }

Config& SelectionScreen::config() const { return *m_menu->m_config; }

std::size_t SelectionScreen::addRow(float leftX, float rightX, float arrowY, float labelX, float labelY,
                                    float labelWidth, float labelHeight, int* value, int min, std::function<int()> max,
                                    std::function<void(int)> show) {
  using namespace menu_widgets;
  Row row;
  row.left = makeArrow(m_root, leftX, arrowY, false);
  row.right = makeArrow(m_root, rightX, arrowY, true);
  row.label = makeLabel(m_root, labelX, labelY, labelWidth, labelHeight);
  row.value = value;
  row.min = min;
  row.max = std::move(max);
  row.show = std::move(show);
  const std::size_t index = m_rows.size();
  m_rows.push_back(std::move(row));
  m_rows[index].left->subscribeEvent(CEGUI::PushButton::EventClicked, [this, index](const CEGUI::EventArgs&) {
    step(index, -1);
    return true;
  });
  m_rows[index].right->subscribeEvent(CEGUI::PushButton::EventClicked, [this, index](const CEGUI::EventArgs&) {
    step(index, +1);
    return true;
  });
  return index;
}

std::function<void(int)> SelectionScreen::showText(std::size_t row, int firstId, int stepId, int count) {
  return [this, row, firstId, stepId, count](int v) {
    // A value out of range leaves the label as it was.
    if (v >= 0 && v < count) GuiHelper::setText(m_rows[row].label, m_menu->texts().getText(firstId + stepId * v));
  };
}

void SelectionScreen::step(std::size_t index, int delta) {
  m_menu->playClickSound();
  Row& row = m_rows[index];
  const int max = row.max();
  int v = *row.value + delta;
  if (v < row.min) v = max;
  if (v > max) v = row.min;
  *row.value = v;
  refresh();
}

void SelectionScreen::refresh() {
  for (Row& row : m_rows)
    if (row.show) row.show(*row.value);
}

void SelectionScreen::activate() {
  if (m_holdInRange) {
    // In row order: a kart's bound follows the engine class held just before.
    for (Row& row : m_rows) *row.value = std::clamp(*row.value, row.min, std::max(row.min, row.max()));
  }
  refresh();
  GuiScreen::activate();
}

void SelectionScreen::takeOverRecords(Config& config) {
  for (auto& record : config.m_player) {
    record.setFlags(kNetSendChanges);
    record.modify();
  }
}
