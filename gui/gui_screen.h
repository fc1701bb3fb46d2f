// The base of every menu screen: a root window that becomes the GUI sheet
// while the screen is current, and the result code through which the menu
// controller learns what the player chose (kNoResult: nothing pending).
#pragma once

#include "gui/gui_helper.h"

namespace CEGUI {
class Window;
}
class Gui;
class Menu;

class GuiScreen : public GuiHelper {
 public:
  // The result codes the screens report and the menu controller acts on.
  static constexpr int kNoResult = -1;
  // Go on: start the race, keep the options, leave the language or exit
  // screen.
  static constexpr int kResultOk = 0;
  // Back to the main menu (from the exit screen: it cannot be shown).
  static constexpr int kResultBack = 1;
  // Save the settings and end the game.
  static constexpr int kResultQuit = 999;
  // The main menu's choices, and the host-or-join screen's two.
  static constexpr int kChoiceTimeTrial = 100, kChoiceLastManStanding = 101, kChoiceChampionship = 102,
                       kChoiceTwoPlayers = 103, kChoiceMultiplayer = 104, kChoiceHost = 105, kChoiceJoin = 106,
                       kChoiceHighscores = 107, kChoiceOptions = 108, kChoiceCredits = 109, kChoiceHelp = 110;

  // `gui` shows the screen's root; `menu` is the owning controller.
  GuiScreen(Menu* menu, Gui* gui);
  ~GuiScreen() override = default;

  // The class name ("MainMenuScreen"), the same pointer on every call.
  virtual const char* getName() const = 0;
  // Discards a pending result and makes the root the sheet.
  virtual void activate();
  virtual void deactivate();
  virtual int getResult() const { return m_result; }
  virtual void setResult(int result) { m_result = result; }
  // Writes the player's race choice into the settings (mode screens).
  virtual void applySelection() {}

  // Puts the root back as the sheet when someone (the loading window)
  // replaced it.
  void restoreSheet();

  Menu* m_menu;
  Gui* m_gui;
  int m_result = kNoResult;
  CEGUI::Window* m_root = nullptr;  // made by the derived constructor
};
