// The settings the player edits between races: the two local players'
// names, brightness, contrast and gamma, the music and effects volumes, the
// texture detail and the display mode (plus a model-detail choice and a
// language list that are built but stay hidden). Sliders and radio buttons
// act at once; OK also takes both names, applies a chosen display mode and
// saves "config.dat"; Back saves nothing.
#pragma once

#include <CEGUI/widgets/ListboxTextItem.h>

#include <cstdint>

#include "gui/gui_screen.h"
#include "gui/name_matcher.h"

namespace CEGUI {
class Combobox;
class EventArgs;
class Window;
}  // namespace CEGUI
struct AdapterInfo;
class ScreenServices;
class TextTable;

class OptionsScreen : public GuiScreen {
 public:
  static constexpr const char* kName = "OptionsScreen";
  static constexpr int kNameLength = 16;  // characters an edit box takes

  // A display mode in the mode list: a full-screen resolution or the window.
  struct ResolutionListItem : CEGUI::ListboxTextItem {
    ResolutionListItem(int width, int height, bool windowed);
    int m_width, m_height;
    std::uint8_t m_windowed;
  };
  struct LanguageListItem : CEGUI::ListboxTextItem {
    // Named by text 2590 + index for the indices 0..5.
    LanguageListItem(int language, const TextTable& texts);
    int m_language;
  };

  // Needs the imagesets "Options" and "Quillfen" loaded. The mode list
  // offers `adapter`'s modes (the display settings' adapter; may be null).
  OptionsScreen(Gui* gui, ScreenServices& services, const AdapterInfo* adapter, Menu* menu = nullptr);
  ~OptionsScreen() override;
  OptionsScreen(const OptionsScreen&) = delete;
  OptionsScreen& operator=(const OptionsScreen&) = delete;

  const char* getName() const override { return kName; }
  void activate() override;

  // Every text of the screen from the menu's text table.
  void relabelOptions();
  void updateTextureDetailRadios();

  ScreenServices& m_services;
  int m_pendingWidth = -1, m_pendingHeight = -1;
  std::uint8_t m_pendingWindowed = 0;
  std::uint8_t m_modePending = 0;
  CEGUI::Window* m_backButton = nullptr;
  CEGUI::Window* m_okButton = nullptr;
  CEGUI::Window* m_name1Label = nullptr;
  CEGUI::Window* m_name1Edit = nullptr;
  CEGUI::Window* m_name2Label = nullptr;
  CEGUI::Window* m_name2Edit = nullptr;
  CEGUI::Window* m_musicLabel = nullptr;
  CEGUI::Window* m_musicSlider = nullptr;
  CEGUI::Window* m_brightnessLabel = nullptr;
  CEGUI::Window* m_brightnessSlider = nullptr;
  CEGUI::Window* m_contrastLabel = nullptr;
  CEGUI::Window* m_contrastSlider = nullptr;
  CEGUI::Window* m_gammaLabel = nullptr;
  CEGUI::Window* m_gammaSlider = nullptr;
  CEGUI::Window* m_effectsLabel = nullptr;
  CEGUI::Window* m_effectsSlider = nullptr;
  CEGUI::Window* m_modelDetailLabel = nullptr;
  CEGUI::Window* m_modelDetailRadios[2] = {};
  CEGUI::Window* m_modelDetailTexts[2] = {};
  CEGUI::Window* m_textureDetailLabel = nullptr;
  CEGUI::Window* m_textureDetailRadios[3] = {};
  CEGUI::Window* m_textureDetailTexts[3] = {};
  CEGUI::Window* m_resolutionLabel = nullptr;
  CEGUI::Combobox* m_resolutionCombo = nullptr;
  CEGUI::Window* m_languageLabel = nullptr;
  CEGUI::Combobox* m_languageCombo = nullptr;

 private:
  CEGUI::Window* makeNameBox(float x, bool (OptionsScreen::*activated)(const CEGUI::EventArgs&),
                             bool (OptionsScreen::*accepted)(const CEGUI::EventArgs&));
  CEGUI::Window* makeSlider(float x, float y, float height, bool (OptionsScreen::*changed)(const CEGUI::EventArgs&));
  CEGUI::Combobox* makeCombo(const char* name, float x, float y, float height, bool verticalScrollbar,
                             bool (OptionsScreen::*accepted)(const CEGUI::EventArgs&));
  void fillResolutionList(const AdapterInfo* adapter);
  void fillLanguageList();
  // The display-mode list's text and the language list's selection.
  void refreshLists();
  void relabelLanguages();
  void storeName(CEGUI::Window* box, char* name);
  void setSliderLabel(CEGUI::Window* label, int text, int value);
  // The gamma ramp on every device from the three sliders' positions.
  void setPicture(float gamma, float brightness, float contrast);

  bool applyOptions(const CEGUI::EventArgs&);
  bool onBackClicked(const CEGUI::EventArgs&);
  bool onName1Activated(const CEGUI::EventArgs&);
  bool onName2Activated(const CEGUI::EventArgs&);
  bool onName1Accepted(const CEGUI::EventArgs&);
  bool onName2Accepted(const CEGUI::EventArgs&);
  bool onModelDetailChanged(const CEGUI::EventArgs&);
  bool onTextureDetailChanged(const CEGUI::EventArgs&);
  bool onBrightnessChanged(const CEGUI::EventArgs&);
  bool onContrastChanged(const CEGUI::EventArgs&);
  bool onGammaChanged(const CEGUI::EventArgs&);
  bool onMusicVolumeChanged(const CEGUI::EventArgs&);
  bool onEffectsVolumeChanged(const CEGUI::EventArgs&);
  bool onComboboxClicked(const CEGUI::EventArgs&);
  bool onResolutionAccepted(const CEGUI::EventArgs&);
  bool onLanguageAccepted(const CEGUI::EventArgs&);

  NameMatcher m_nameMatcher{"[-+._0-9a-zA-Z ]*"};
};
