// The hub of the front end: eight round menu buttons with their labels, the
// help and off buttons and a modal quit dialog. Its only output is its
// result code, which the menu controller reads.
#pragma once

#include "gui/gui_screen.h"

namespace CEGUI {
class EventArgs;
class Window;
}  // namespace CEGUI

class MainMenuScreen : public GuiScreen {
 public:
  static constexpr int kEntryCount = 8;
  struct Entry {
    int text;
    float buttonX, buttonY;
    int result;
  };
  // In entry order: time trial, last man standing, championship, two
  // players, multiplayer, highscores, options, credits.
  static const Entry kEntries[kEntryCount];

  explicit MainMenuScreen(Menu* menu);
  ~MainMenuScreen() override;
  const char* getName() const override { return "MainMenuScreen"; }
  void activate() override;
  // Without the click sound (the Escape key opens it).
  void showQuitDialog();

  CEGUI::Window* m_quitDialog = nullptr;
  CEGUI::Window* m_quitText = nullptr;
  CEGUI::Window* m_quitYesButton = nullptr;
  CEGUI::Window* m_quitNoButton = nullptr;
  CEGUI::Window* m_offButton = nullptr;
  CEGUI::Window* m_helpButton = nullptr;
  CEGUI::Window* m_menuButtons[kEntryCount] = {};
  CEGUI::Window* m_menuLabels[kEntryCount] = {};
  CEGUI::Window* m_logo = nullptr;

 private:
  bool onOffClicked(const CEGUI::EventArgs&);
  bool onQuitYesClicked(const CEGUI::EventArgs&);
  bool onQuitNoClicked(const CEGUI::EventArgs&);
  bool onHelpClicked(const CEGUI::EventArgs&);
  bool onEntryClicked(int entry);
};
