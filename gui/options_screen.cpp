#include "gui/options_screen.h"

#include <CEGUI/CEGUI.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "game/saves/config.h"
#include "gui/gui.h"
#include "gui/menu/menu_widgets.h"
#include "gui/screen_services.h"
#include "gui/text_table.h"
#include "gui/utf8_text.h"
#include "input/input_device.h"
#include "render/device_manager.h"
#include "render/render_pipeline.h"

namespace {

constexpr std::uint32_t kBlack = 0xFF000000;
constexpr int kLanguageListed = 5;  // German to Italian; the table has a sixth
constexpr int kLanguageText = 2590;

using Handler = bool (OptionsScreen::*)(const CEGUI::EventArgs&);

void styleItem(CEGUI::ListboxTextItem& item) {
  item.setTextColours(CEGUI::Colour(0xFF000000));
  item.setSelectionColours(CEGUI::Colour(0xFFE26600));
  item.setSelectionBrushImage("Quillfen/GenericBrush");
}

float sliderValue(const CEGUI::Window* slider) { return static_cast<const CEGUI::Slider*>(slider)->getCurrentValue(); }
void setSliderValue(CEGUI::Window* slider, float value) { static_cast<CEGUI::Slider*>(slider)->setCurrentValue(value); }
bool isSelected(const CEGUI::Window* radio) { return static_cast<const CEGUI::RadioButton*>(radio)->isSelected(); }
void select(CEGUI::Window* radio, bool on) { static_cast<CEGUI::RadioButton*>(radio)->setSelected(on); }

CEGUI::String modeText(int width, int height, bool windowed) {
  if (windowed) return "Windowed";
  char text[32];
  std::snprintf(text, sizeof text, "%d x %d", width, height);
  return text;
}

}  // namespace

OptionsScreen::ResolutionListItem::ResolutionListItem(int width, int height, bool windowed)
    : CEGUI::ListboxTextItem(""), m_width(width), m_height(height), m_windowed(windowed ? 1 : 0) {
  setText(modeText(width, height, windowed));
  styleItem(*this);
}

OptionsScreen::LanguageListItem::LanguageListItem(int language, const TextTable& texts)
    : CEGUI::ListboxTextItem(""), m_language(language) {
  if (language >= 0 && language < TextTable::kLanguageCount) setText(texts.getText(kLanguageText + language));
  styleItem(*this);
}

OptionsScreen::OptionsScreen(Gui* gui, ScreenServices& services, const AdapterInfo* adapter, Menu* menu)
    : GuiScreen(menu, gui), m_services(services) {
  using namespace menu_widgets;
  m_root = makeRoot(kName, "Options");
  auto on = [this](CEGUI::Window* w, const CEGUI::String& event, Handler handler) {
    w->subscribeEvent(event, CEGUI::Event::Subscriber(handler, this));
  };
  auto label = [this](float x, float y, float w, float h, const char* font) {
    return makeLabel(m_root, x, y, w, h, font, kBlack, HorzText::Left, VertText::Centred);
  };

  m_okButton = makeImageButton(m_root, 873, 623, 135, 130, "OKButton", "OKButtonDisabled", "OKButtonHover");
  on(m_okButton, CEGUI::PushButton::EventClicked, &OptionsScreen::applyOptions);
  m_backButton = makeImageButton(m_root, 15, 623, 135, 130, "BackButton", "BackButton", "BackButtonHover");
  on(m_backButton, CEGUI::PushButton::EventClicked, &OptionsScreen::onBackClicked);

  m_name1Label = label(203, 100, 200, 30, "VerdanaMedium");
  m_name1Edit = makeNameBox(193, &OptionsScreen::onName1Activated, &OptionsScreen::onName1Accepted);
  m_name2Label = label(540, 100, 200, 30, "VerdanaMedium");
  m_name2Edit = makeNameBox(530, &OptionsScreen::onName2Activated, &OptionsScreen::onName2Accepted);

  // Two detail groups in one place; only the texture detail is shown.
  m_modelDetailLabel = label(203, 200, 200, 30, "VerdanaMedium");
  m_modelDetailLabel->setVisible(false);
  for (int i = 0; i < 2; ++i) {
    CEGUI::Window* radio = m_modelDetailRadios[i] =
        GuiHelper::createWindow("RadioButton", 213, 235.0f + 42 * i, 38, 37);
    static_cast<CEGUI::RadioButton*>(radio)->setGroupID(1);
    radio->setVisible(false);
    radio->setEnabled(false);
    on(radio, CEGUI::RadioButton::EventSelectStateChanged, &OptionsScreen::onModelDetailChanged);
    m_root->addChild(radio);
    m_modelDetailTexts[i] = label(257, 235.0f + 42 * i, 150, 37, "VerdanaMediumItalic");
    m_modelDetailTexts[i]->setVisible(false);
  }
  m_textureDetailLabel = label(203, 200, 200, 30, "VerdanaMedium");
  for (int i = 0; i < 3; ++i) {
    CEGUI::Window* radio = m_textureDetailRadios[i] =
        GuiHelper::createWindow("RadioButton", 213, 235.0f + 42 * i, 38, 37);
    static_cast<CEGUI::RadioButton*>(radio)->setGroupID(2);
    on(radio, CEGUI::RadioButton::EventSelectStateChanged, &OptionsScreen::onTextureDetailChanged);
    m_root->addChild(radio);
    m_textureDetailTexts[i] = label(257, 235.0f + 42 * i, 150, 37, "VerdanaMediumItalic");
  }

  m_brightnessLabel = label(540, 200, 290, 25, "VerdanaSmall");
  m_brightnessSlider = makeSlider(530, 225, 33, &OptionsScreen::onBrightnessChanged);
  m_contrastLabel = label(540, 265, 290, 25, "VerdanaSmall");
  m_contrastSlider = makeSlider(530, 290, 33, &OptionsScreen::onContrastChanged);
  m_gammaLabel = label(540, 330, 290, 25, "VerdanaSmall");
  m_gammaSlider = makeSlider(530, 355, 33, &OptionsScreen::onGammaChanged);
  m_musicLabel = label(203, 410, 290, 30, "VerdanaMedium");
  m_musicSlider = makeSlider(193, 440, 40, &OptionsScreen::onMusicVolumeChanged);
  m_effectsLabel = label(540, 410, 290, 30, "VerdanaMedium");
  m_effectsSlider = makeSlider(530, 440, 40, &OptionsScreen::onEffectsVolumeChanged);

  m_resolutionLabel = label(203, 495, 290, 30, "VerdanaMedium");
  m_resolutionCombo = makeCombo("cboResolution", 193, 525, 210, true, &OptionsScreen::onResolutionAccepted);
  m_languageLabel = label(540, 470, 290, 30, "VerdanaMedium");
  m_languageLabel->setVisible(false);
  m_languageCombo = makeCombo("cboLanguage", 530, 500, 240, false, &OptionsScreen::onLanguageAccepted);
  m_languageCombo->setVisible(false);

  fillResolutionList(adapter);
  fillLanguageList();
}

OptionsScreen::~OptionsScreen() { menu_widgets::destroyRoot(m_root); }

CEGUI::Window* OptionsScreen::makeNameBox(float x, Handler activated, Handler accepted) {
  auto* box = static_cast<CEGUI::Editbox*>(GuiHelper::createWindow("Editbox", x, 130, 300, 50));
  box->setFont("VerdanaMediumItalic");
  box->setMaxTextLength(kNameLength);
  box->setValidator(&m_nameMatcher);
  box->subscribeEvent(CEGUI::Window::EventActivated, CEGUI::Event::Subscriber(activated, this));
  box->subscribeEvent(CEGUI::Editbox::EventTextAccepted, CEGUI::Event::Subscriber(accepted, this));
  m_root->addChild(box);
  return box;
}

CEGUI::Window* OptionsScreen::makeSlider(float x, float y, float height, Handler changed) {
  CEGUI::Window* slider = GuiHelper::createWindow("Slider", x, y, 300, height);
  static_cast<CEGUI::Slider*>(slider)->setMaxValue(100.0f);
  slider->subscribeEvent(CEGUI::Slider::EventValueChanged, CEGUI::Event::Subscriber(changed, this));
  m_root->addChild(slider);
  return slider;
}

CEGUI::Combobox* OptionsScreen::makeCombo(const char* name, float x, float y, float height, bool verticalScrollbar,
                                          Handler accepted) {
  auto* combo = static_cast<CEGUI::Combobox*>(
      GuiHelper::createWindow("Combobox", x, y, 300, height, GuiHelper::kLayoutWidth, GuiHelper::kLayoutHeight, name));
  combo->setFont("VerdanaMedium");
  combo->getEditbox()->setFont("VerdanaMediumItalic");
  combo->getDropList()->setFont("VerdanaMediumItalic");
  combo->setReadOnly(true);
  combo->setShowHorzScrollbar(false);
  combo->setShowVertScrollbar(verticalScrollbar);
  combo->subscribeEvent(CEGUI::Combobox::EventListSelectionAccepted, CEGUI::Event::Subscriber(accepted, this));
  // A press lands on the part under the mouse and goes no further, so each
  // part plays the click. On the press: the list that opens takes the
  // mouse, so the part under it never sees a whole click.
  for (CEGUI::Window* part :
       {static_cast<CEGUI::Window*>(combo), static_cast<CEGUI::Window*>(combo->getEditbox()),
        static_cast<CEGUI::Window*>(combo->getDropList()), static_cast<CEGUI::Window*>(combo->getPushButton())})
    part->subscribeEvent(CEGUI::Window::EventMouseButtonDown,
                         CEGUI::Event::Subscriber(&OptionsScreen::onComboboxClicked, this));
  m_root->addChild(combo);
  return combo;
}

void OptionsScreen::fillResolutionList(const AdapterInfo* adapter) {
  const RenderPipeline* pipeline = m_gui->m_pipeline;
  if (pipeline && pipeline->requestedWindowed)
    m_resolutionCombo->addItem(new ResolutionListItem(pipeline->requestedWidth, pipeline->requestedHeight, true));
  std::vector<std::pair<int, int>> sizes;
  if (adapter)
    for (const D3DDISPLAYMODE& mode : adapter->modes) {
      const std::pair<int, int> size(static_cast<int>(mode.Width), static_cast<int>(mode.Height));
      if (size.first >= 800 && size.second >= 600 && std::find(sizes.begin(), sizes.end(), size) == sizes.end())
        sizes.push_back(size);
    }
  std::sort(sizes.begin(), sizes.end());
  for (const auto& [width, height] : sizes) m_resolutionCombo->addItem(new ResolutionListItem(width, height, false));
}

void OptionsScreen::fillLanguageList() {
  for (int language = 0; language < kLanguageListed; ++language)
    m_languageCombo->addItem(new LanguageListItem(language, m_services.texts()));
}

void OptionsScreen::activate() {
  const RenderPipeline* pipeline = m_gui->m_pipeline;
  m_pendingWidth = m_pendingHeight = -1;
  m_pendingWindowed = pipeline && pipeline->requestedWindowed ? 1 : 0;
  m_modePending = 0;

  Config& config = m_services.config();
  for (auto [box, name] :
       {std::pair{m_name1Edit, config.m_playerName1}, std::pair{m_name2Edit, config.m_playerName2}}) {
    box->setText("");
    // Names from the file may end in a cut sequence; decode within them.
    box->setText(decodeUtf8(std::string_view(name, strnlen(name, Config::kNameSize))));
  }
  setSliderValue(m_brightnessSlider, static_cast<float>(config.m_brightness));
  setSliderValue(m_contrastSlider, static_cast<float>(config.m_contrast));
  setSliderValue(m_gammaSlider, static_cast<float>(config.m_gamma));
  setSliderValue(m_musicSlider, static_cast<float>(config.m_musicVolume));
  setSliderValue(m_effectsSlider, static_cast<float>(config.m_effectsVolume));
  if (config.m_modelDetail == 0 || config.m_modelDetail == 1) {
    select(m_modelDetailRadios[0], config.m_modelDetail == 0);
    select(m_modelDetailRadios[1], config.m_modelDetail == 1);
  }
  updateTextureDetailRadios();
  relabelOptions();
  refreshLists();
  GuiScreen::activate();
}

void OptionsScreen::updateTextureDetailRadios() {
  const int detail = m_services.config().m_textureDetail;
  if (detail < -2 || detail > 0) return;
  for (int i = 0; i < 3; ++i) select(m_textureDetailRadios[i], i == detail + 2);
}

void OptionsScreen::setSliderLabel(CEGUI::Window* label, int text, int value) {
  GuiHelper::setText(label, m_services.texts().getText(text) + " " + CEGUI::PropertyHelper<int>::toString(value) + "%");
}

void OptionsScreen::relabelOptions() {
  const TextTable& texts = m_services.texts();
  const Config& config = m_services.config();
  GuiHelper::setText(m_name1Label, texts.getText(2560));
  GuiHelper::setText(m_name2Label, texts.getText(2570));
  GuiHelper::setText(m_resolutionLabel, texts.getText(2510));
  setSliderLabel(m_brightnessLabel, 2515, config.m_brightness);
  setSliderLabel(m_contrastLabel, 2516, config.m_contrast);
  setSliderLabel(m_gammaLabel, 2517, config.m_gamma);
  setSliderLabel(m_musicLabel, 2520, config.m_musicVolume);
  setSliderLabel(m_effectsLabel, 2530, config.m_effectsVolume);
  GuiHelper::setText(m_modelDetailLabel, texts.getText(2540));
  GuiHelper::setText(m_modelDetailTexts[0], texts.getText(1020));
  GuiHelper::setText(m_modelDetailTexts[1], texts.getText(1022));
  GuiHelper::setText(m_textureDetailLabel, texts.getText(2550));
  for (int i = 0; i < 3; ++i) GuiHelper::setText(m_textureDetailTexts[i], texts.getText(1020 + i));
  GuiHelper::setText(m_languageLabel, texts.getText(2580));
  relabelLanguages();
}

void OptionsScreen::relabelLanguages() {
  const TextTable& texts = m_services.texts();
  for (std::size_t i = 0; i < m_languageCombo->getItemCount(); ++i) {
    auto* item = static_cast<LanguageListItem*>(m_languageCombo->getListboxItemFromIndex(i));
    if (item->m_language >= 0 && item->m_language < TextTable::kLanguageCount)
      item->setText(texts.getText(kLanguageText + item->m_language));
  }
  m_languageCombo->getDropList()->invalidate();
  if (texts.m_language < TextTable::kLanguageCount)
    m_languageCombo->setText(texts.getText(kLanguageText + static_cast<int>(texts.m_language)));
}

void OptionsScreen::refreshLists() {
  if (const RenderPipeline* pipeline = m_gui->m_pipeline)
    m_resolutionCombo->setText(
        modeText(pipeline->requestedWidth, pipeline->requestedHeight, pipeline->requestedWindowed));
  if (auto* item = static_cast<LanguageListItem*>(m_languageCombo->getSelectedItem())) {
    m_services.texts().m_language = static_cast<std::uint32_t>(item->m_language);
    m_languageCombo->getEditbox()->setText(item->getText());
  }
}

void OptionsScreen::setPicture(float gamma, float brightness, float contrast) {
  if (RenderPipeline* pipeline = m_gui->m_pipeline) {
    const PictureLevels levels = pictureFromSliders(gamma, brightness, contrast);
    pipeline->setGamma(levels.gamma, levels.brightness, levels.contrast);
  }
}

bool OptionsScreen::onBrightnessChanged(const CEGUI::EventArgs&) {
  const float v = sliderValue(m_brightnessSlider);
  Config& config = m_services.config();
  config.m_brightness = static_cast<int>(v);
  setPicture(static_cast<float>(config.m_gamma), v, static_cast<float>(config.m_contrast));
  setSliderLabel(m_brightnessLabel, 2515, config.m_brightness);
  return true;
}

bool OptionsScreen::onContrastChanged(const CEGUI::EventArgs&) {
  const float v = sliderValue(m_contrastSlider);
  Config& config = m_services.config();
  config.m_contrast = static_cast<int>(v);
  setPicture(static_cast<float>(config.m_gamma), static_cast<float>(config.m_brightness), v);
  setSliderLabel(m_contrastLabel, 2516, config.m_contrast);
  return true;
}

bool OptionsScreen::onGammaChanged(const CEGUI::EventArgs&) {
  const float v = sliderValue(m_gammaSlider);
  Config& config = m_services.config();
  config.m_gamma = static_cast<int>(v);
  setPicture(v, static_cast<float>(config.m_brightness), static_cast<float>(config.m_contrast));
  setSliderLabel(m_gammaLabel, 2517, config.m_gamma);
  return true;
}

bool OptionsScreen::onMusicVolumeChanged(const CEGUI::EventArgs&) {
  const float v = sliderValue(m_musicSlider);
  Config& config = m_services.config();
  setSliderLabel(m_musicLabel, 2520, static_cast<int>(v));
  m_services.setMenuMusicVolume(v * 0.01f);
  config.m_musicVolume = static_cast<int>(v);
  return true;
}

bool OptionsScreen::onEffectsVolumeChanged(const CEGUI::EventArgs&) {
  const float v = sliderValue(m_effectsSlider);
  Config& config = m_services.config();
  setSliderLabel(m_effectsLabel, 2530, static_cast<int>(v));
  config.m_effectsVolume = static_cast<int>(v);
  m_services.setClickVolume(v * 0.007f);
  return true;
}

bool OptionsScreen::onTextureDetailChanged(const CEGUI::EventArgs&) {
  m_services.playClickSound();
  for (int i = 0; i < 3; ++i)
    if (isSelected(m_textureDetailRadios[i])) {
      m_services.config().m_textureDetail = i - 2;
      break;
    }
  return true;
}

bool OptionsScreen::onModelDetailChanged(const CEGUI::EventArgs&) {
  m_services.playClickSound();
  Config& config = m_services.config();
  RenderPipeline* pipeline = m_gui->m_pipeline;
  for (int i = 0; i < 2; ++i)
    if (isSelected(m_modelDetailRadios[i])) {
      config.m_modelDetail = i;
      if (pipeline) pipeline->modelLodBias = i * 10;
    }
  return true;
}

void OptionsScreen::storeName(CEGUI::Window* box, char* name) {
  std::memset(name, 0, Config::kNameSize);
  encodeUtf8(box->getText(), name, Config::kNameSize - 1);
}

bool OptionsScreen::onName1Activated(const CEGUI::EventArgs&) {
  m_services.playClickSound();
  static_cast<CEGUI::Editbox*>(m_name1Edit)->setCaretIndex(m_name1Edit->getText().length());
  return true;
}

bool OptionsScreen::onName2Activated(const CEGUI::EventArgs&) {
  m_services.playClickSound();
  static_cast<CEGUI::Editbox*>(m_name2Edit)->setCaretIndex(m_name2Edit->getText().length());
  return true;
}

bool OptionsScreen::onName1Accepted(const CEGUI::EventArgs&) {
  storeName(m_name1Edit, m_services.config().m_playerName1);
  m_name2Edit->activate();
  return true;
}

bool OptionsScreen::onName2Accepted(const CEGUI::EventArgs&) {
  storeName(m_name2Edit, m_services.config().m_playerName2);
  m_name1Edit->activate();
  return true;
}

bool OptionsScreen::onComboboxClicked(const CEGUI::EventArgs&) {
  m_services.playClickSound();
  return true;
}

bool OptionsScreen::onResolutionAccepted(const CEGUI::EventArgs&) {
  const auto* item = static_cast<const ResolutionListItem*>(m_resolutionCombo->getSelectedItem());
  const RenderPipeline* pipeline = m_gui->m_pipeline;
  if (!item || !pipeline) return true;
  if (item->m_width == pipeline->requestedWidth && item->m_height == pipeline->requestedHeight &&
      (item->m_windowed != 0) == pipeline->requestedWindowed) {
    m_modePending = 0;
  } else {
    m_pendingWidth = item->m_width;
    m_pendingHeight = item->m_height;
    m_pendingWindowed = item->m_windowed;
    m_modePending = 1;
  }
  return true;
}

bool OptionsScreen::onLanguageAccepted(const CEGUI::EventArgs&) {
  if (const auto* item = static_cast<const LanguageListItem*>(m_languageCombo->getSelectedItem())) {
    m_services.texts().m_language = static_cast<std::uint32_t>(item->m_language);
    m_languageCombo->getEditbox()->setText(item->getText());
    m_services.config().m_language = item->m_language;
  }
  relabelOptions();
  return true;
}

bool OptionsScreen::onBackClicked(const CEGUI::EventArgs&) {
  m_services.playClickSound();
  m_result = kResultBack;
  return true;
}

bool OptionsScreen::applyOptions(const CEGUI::EventArgs&) {
  m_services.playClickSound();
  Config& config = m_services.config();
  storeName(m_name1Edit, config.m_playerName1);
  storeName(m_name2Edit, config.m_playerName2);
  if (m_modePending) {
    if (RenderPipeline* pipeline = m_gui->m_pipeline)
      pipeline->requestResize(m_pendingWidth, m_pendingHeight, m_pendingWindowed != 0);
    if (m_gui->m_input) m_gui->m_input->setMouseRange(m_pendingWidth, m_pendingHeight);
    config.m_resolutionWidth = m_pendingWidth;
    config.m_resolutionHeight = m_pendingHeight;
  }
  config.save();
  m_result = kResultOk;
  return true;
}
