// The exit screen: shown on quitting when the branding file enables it for
// the current language; a full-screen picture with up to eight link
// buttons. A link button leaves its link in g_exitLink for the entry point
// to open; it, or a click on the background, gives kResultOk.
#pragma once

#include "gui/branding.h"
#include "gui/gui_screen.h"

namespace CEGUI {
class EventArgs;
class Window;
}  // namespace CEGUI
class InputDevice;
class ScreenHost;

class EndScreen : public GuiScreen {
 public:
  static constexpr const char* kName = "EndScreen";
  static constexpr const char* kFileName = "D:\\Tamberlok/menu/Branding_Demo.xml";
  static constexpr int kMaxFileBytes = 1 << 20;
  // The buttons' reference layout.
  static constexpr float kLayoutWidth = 800, kLayoutHeight = 600;

  // Reads the branding file; a missing one shows the screen for no language.
  EndScreen(ScreenHost& host, Menu* menu = nullptr);
  ~EndScreen() override;
  const char* getName() const override { return kName; }

  // Whether quitting shows this screen in the current language.
  bool shouldShow() const;
  // Loads the language's imagesets and builds its buttons. When one of its
  // imagesets or images cannot be had, reports it, hides the screen and
  // gives kResultBack, so that the game quits without it.
  void activate() override;
  // Releases the language's imagesets.
  void deactivate() override;
  // Escape or Space while this screen is current: true = quit now, no link.
  bool handleKeys(InputDevice& input);

  CEGUI::Window* m_buttons[BrandingScreen::kMaxButtons] = {};
  BrandingScreen m_screens[kBrandingLanguages];

 private:
  // The current language's record; null for a language without one.
  const BrandingScreen* current() const;
  void build(const BrandingScreen& screen);
  void destroyButtons();
  bool onBackgroundClicked(const CEGUI::EventArgs&);
  bool onButtonClicked(int index);

  ScreenHost& m_host;
};
