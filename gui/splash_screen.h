// The language choice: a full-screen picture with five flag buttons
// (German, English, French, Spanish, Italian), shown only while no language
// is chosen, and a quit dialog. A flag sets the language in the settings
// and the menu's text table and gives kResultOk (main menu); yes in the quit
// dialog gives kResultQuit (save and quit).
#pragma once

#include "gui/gui_screen.h"

namespace CEGUI {
class EventArgs;
class Window;
}  // namespace CEGUI
class InputDevice;
class ScreenHost;

class SplashScreen : public GuiScreen {
 public:
  static constexpr const char* kName = "SplashScreen";
  static constexpr int kFlagCount = 5;
  struct Flag {
    const char* code;  // "DE": images "FlagDE_Normal", "FlagDE_Hover" of "Flags"
    float x;           // layout pixels; all at y 640, 120 x 102
  };
  static const Flag kFlags[kFlagCount];

  // Needs the imagesets "Quillfen" and "splash"; the flags' own imageset is
  // loaded while the screen is current.
  SplashScreen(ScreenHost& host, Menu* menu = nullptr);
  ~SplashScreen() override;
  const char* getName() const override { return kName; }
  void activate() override;
  void deactivate() override;
  // Without the click sound (Escape opens it).
  void showQuitDialog();
  // The menu's keys while this screen is current: Escape opens the quit
  // dialog; then, with the dialog closed and a language chosen, Space or a
  // held mouse button answers true: go on to the main menu.
  bool handleKeys(InputDevice& input);

  CEGUI::Window* m_flagButtons[kFlagCount] = {};
  CEGUI::Window* m_quitDialog = nullptr;
  CEGUI::Window* m_quitText = nullptr;
  CEGUI::Window* m_quitYesButton = nullptr;
  CEGUI::Window* m_quitNoButton = nullptr;

 private:
  bool onFlagClicked(int language);
  bool onQuitYesClicked(const CEGUI::EventArgs&);
  bool onQuitNoClicked(const CEGUI::EventArgs&);

  ScreenHost& m_host;
};
