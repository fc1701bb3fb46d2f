#include "gui/gui_screen.h"

#include <CEGUI/GUIContext.h>

#include "gui/gui.h"

GuiScreen::GuiScreen(Menu* menu, Gui* gui) : m_menu(menu), m_gui(gui) {}

void GuiScreen::activate() {
  m_result = kNoResult;
  m_gui->context().setRootWindow(m_root);
}

void GuiScreen::deactivate() {
  m_result = kNoResult;
  m_gui->context().setRootWindow(nullptr);
}

void GuiScreen::restoreSheet() {
  if (m_root && m_gui->context().getRootWindow() != m_root) m_gui->context().setRootWindow(m_root);
}
