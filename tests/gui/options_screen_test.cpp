// The options screen over a pipeline on the recording device: sliders and
// radio buttons acting at once, names typed and stored as whole UTF-8
// characters, the display-mode list from the adapter's modes, OK and Back.
#include "gui/options_screen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "render/render_device.h"
#include "tests/gui/screen_fixture.h"
#include "tests/render/pipeline_fixture.h"

namespace {

class OptionsPipeline : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    // Windowed, the client area 960 x 720.
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), nullptr, [](FakeAdapter& a) {
      a.modes = {{640, 480, 60, 22},  {800, 600, 60, 22},  {800, 600, 75, 22}, {1280, 1024, 60, 22},
                 {1024, 768, 60, 22}, {1280, 960, 60, 22}, {1152, 576, 60, 22}};
    });
  }
};

class OptionsTest : public ScreenTestOn<OptionsPipeline> {
 protected:
  void SetUp() override {
    ScreenTestOn::SetUp();
    loadBackground("Options");
  }
  void TearDown() override {
    screen.reset();
    ScreenTestOn::TearDown();
  }
  void open() {
    screen.reset();
    screen = std::make_unique<OptionsScreen>(gui.get(), *services, manager->adapterInfo(manager->settings->adapter));
    screen->activate();
  }
  Config& config() { return services->settings; }
  D3DGAMMARAMP ramp() {
    D3DGAMMARAMP r{};
    pipeline->devices[0]->GetGammaRamp(0, &r);
    return r;
  }
  static void expectRamp(const D3DGAMMARAMP& got, const D3DGAMMARAMP& want) {
    EXPECT_EQ(std::memcmp(got.red, want.red, sizeof got.red), 0);
    EXPECT_EQ(std::memcmp(got.blue, want.blue, sizeof got.blue), 0);
  }
  static void slide(CEGUI::Window* slider, float v) { static_cast<CEGUI::Slider*>(slider)->setCurrentValue(v); }
  static bool selected(CEGUI::Window* radio) { return static_cast<CEGUI::RadioButton*>(radio)->isSelected(); }
  std::vector<std::string> listed(CEGUI::Combobox* combo) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < combo->getItemCount(); ++i)
      texts.push_back(combo->getListboxItemFromIndex(i)->getText().c_str());
    return texts;
  }
  // Picks an item as a click in the open list does.
  static void choose(CEGUI::Combobox* combo, const std::string& text) {
    CEGUI::ComboDropList* list = combo->getDropList();
    for (std::size_t i = 0; i < list->getItemCount(); ++i)
      list->setItemSelectState(i, list->getListboxItemFromIndex(i)->getText().c_str() == text);
    CEGUI::WindowEventArgs args(list);
    list->fireEvent(CEGUI::ComboDropList::EventListSelectionAccepted, args);
  }
  void type(const CEGUI::String& text) {
    for (std::size_t i = 0; i < text.length(); ++i) gui->context().injectChar(text[i]);
  }
  bool configWritten() const { return std::filesystem::exists(Config::kFileName); }

  std::unique_ptr<OptionsScreen> screen;
};

TEST_F(OptionsTest, SlidersAndRadiosActAtOnceAndBackKeepsThem) {
  open();
  EXPECT_EQ(text(screen->m_name1Edit), "Player 1");
  EXPECT_EQ(text(screen->m_name2Edit), "Player 2");
  for (CEGUI::Window* label : {screen->m_brightnessLabel, screen->m_contrastLabel, screen->m_gammaLabel,
                               screen->m_musicLabel, screen->m_effectsLabel})
    EXPECT_TRUE(text(label).ends_with(" 50%")) << text(label);
  EXPECT_EQ(text(screen->m_gammaLabel), textOf(2517) + " 50%");
  EXPECT_TRUE(selected(screen->m_textureDetailRadios[1]));
  EXPECT_EQ(config().m_textureDetail, -1);

  slide(screen->m_brightnessSlider, 100);
  expectRamp(ramp(), computeGammaRamp(1.25f, 1.0f, 0.5f));
  slide(screen->m_gammaSlider, 0);
  expectRamp(ramp(), computeGammaRamp(0.5f, 1.0f, 0.5f));
  slide(screen->m_gammaSlider, 100);
  expectRamp(ramp(), computeGammaRamp(2.0f, 1.0f, 0.5f));
  slide(screen->m_brightnessSlider, 50);
  slide(screen->m_gammaSlider, 50);
  const D3DGAMMARAMP neutral = ramp();
  for (int i = 0; i < 256; ++i) EXPECT_NEAR(neutral.green[i], 65535.0 * std::pow(i / 255.0, 0.8), 1.0) << i;

  slide(screen->m_musicSlider, 37.9f);
  EXPECT_EQ(config().m_musicVolume, 37);
  EXPECT_EQ(text(screen->m_musicLabel), textOf(2520) + " 37%");
  EXPECT_NEAR(services->musicVolumes.back(), 0.379f, 1e-6);
  slide(screen->m_effectsSlider, 80);
  EXPECT_NEAR(services->clickVolumes.back(), 0.56f, 1e-6);

  for (int i : {0, 2, 1}) {
    const int clicks = services->clicks;
    click(screen->m_textureDetailRadios[i]);
    EXPECT_EQ(config().m_textureDetail, i - 2);
    EXPECT_GT(services->clicks, clicks);
  }
  static_cast<CEGUI::RadioButton*>(screen->m_modelDetailRadios[1])->setSelected(true);
  EXPECT_EQ(pipeline->modelLodBias, 10);
  EXPECT_EQ(config().m_modelDetail, 1);
  EXPECT_TRUE(selected(screen->m_textureDetailRadios[1]));

  choose(screen->m_resolutionCombo, "1280 x 1024");
  click(screen->m_backButton);
  EXPECT_EQ(screen->getResult(), 1);
  EXPECT_FALSE(pipeline->takeResizeRequest());
  EXPECT_FALSE(configWritten());
  EXPECT_EQ(config().m_musicVolume, 37);
  EXPECT_EQ(config().m_resolutionWidth, 1024);
}

TEST_F(OptionsTest, NamesAreTypedAcceptedAndStoredWhole) {
  std::strcpy(config().m_playerName2, "Ann\xC3");  // cut in its last character
  open();
  EXPECT_EQ(screen->m_name2Edit->getText(), CEGUI::String("Ann") + CEGUI::String(1, 0xFFFD));

  const int clicks = services->clicks;
  click(screen->m_name1Edit);
  EXPECT_EQ(services->clicks, clicks + 1);
  EXPECT_EQ(static_cast<CEGUI::Editbox*>(screen->m_name1Edit)->getCaretIndex(), 8u);
  type(CEGUI::String(1, 0xE9) + ";-Bob.cat_99+Dee");  // "é" and ";" refused; 16 characters at most
  EXPECT_EQ(text(screen->m_name1Edit), "Player 1-Bob.cat");
  gui->context().injectKeyDown(CEGUI::Key::Return);
  EXPECT_EQ(std::string(config().m_playerName1), "Player 1-Bob.cat");
  EXPECT_EQ(std::memcmp(config().m_playerName1 + 16, std::string(15, '\0').data(), 15), 0);
  EXPECT_TRUE(screen->m_name2Edit->isActive());

  // Two-byte characters: 16 of them are 32 bytes, so 15 are kept.
  screen->m_name1Edit->setText(CEGUI::String(16, 0xE9));
  screen->m_name2Edit->setText("Zed");
  click(screen->m_okButton);
  EXPECT_EQ(screen->getResult(), 0);
  std::string e15;
  for (int i = 0; i < 15; ++i) e15 += "\xC3\xA9";
  EXPECT_EQ(std::string(config().m_playerName1), e15);
  EXPECT_EQ(std::string(config().m_playerName2), "Zed");

  Config loaded(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
  ASSERT_TRUE(loaded.load());
  EXPECT_EQ(std::memcmp(loaded.m_playerName1, config().m_playerName1, Config::kNameSize), 0);
  EXPECT_EQ(std::string(loaded.m_playerName2), "Zed");
  EXPECT_EQ(loaded.m_textureDetail, config().m_textureDetail);
}

TEST_F(OptionsTest, DisplayModesFromTheAdapter) {
  open();  // windowed at 960 x 720
  const std::vector<std::string> modes = {"800 x 600", "1024 x 768", "1280 x 960", "1280 x 1024"};
  std::vector<std::string> windowed = {"Windowed"};
  windowed.insert(windowed.end(), modes.begin(), modes.end());
  EXPECT_EQ(listed(screen->m_resolutionCombo), windowed);
  EXPECT_EQ(text(screen->m_resolutionCombo), "Windowed");
  const int clicks = services->clicks;
  click(screen->m_resolutionCombo->getEditbox());  // opens the list
  EXPECT_TRUE(screen->m_resolutionCombo->isDropDownListVisible());
  EXPECT_EQ(services->clicks, clicks + 1);
  screen->m_resolutionCombo->hideDropList();

  choose(screen->m_resolutionCombo, "1024 x 768");
  click(screen->m_okButton);
  EXPECT_TRUE(pipeline->takeResizeRequest());
  EXPECT_EQ(pipeline->requestedWidth, 1024);
  EXPECT_EQ(pipeline->requestedHeight, 768);
  EXPECT_FALSE(pipeline->requestedWindowed);
  EXPECT_EQ(input.range, std::make_pair(1024, 768));
  EXPECT_EQ(config().m_resolutionWidth, 1024);
  EXPECT_EQ(config().m_resolutionHeight, 768);

  // Now running full screen at 1024 x 768, in a menu built anew.
  std::filesystem::remove(Config::kFileName);
  config().m_resolutionWidth = 640;
  open();
  EXPECT_EQ(listed(screen->m_resolutionCombo), modes);
  EXPECT_EQ(text(screen->m_resolutionCombo), "1024 x 768");
  choose(screen->m_resolutionCombo, "1280 x 1024");
  choose(screen->m_resolutionCombo, "1024 x 768");  // the current mode cancels the choice
  click(screen->m_okButton);
  EXPECT_FALSE(pipeline->takeResizeRequest());
  EXPECT_EQ(config().m_resolutionWidth, 640);
  EXPECT_TRUE(configWritten());
}

TEST_F(OptionsTest, HiddenLanguageListRelabelsTheScreen) {
  open();
  choose(screen->m_languageCombo, textOf(2594));
  EXPECT_EQ(services->table.m_language, 4u);
  EXPECT_EQ(config().m_language, 4);
  EXPECT_EQ(text(screen->m_name1Label), "Nome giocatore 1");
  EXPECT_EQ(text(screen->m_effectsLabel), textOf(2530) + " 50%");
  EXPECT_EQ(listed(screen->m_languageCombo)[0], "Tedesco");
  EXPECT_EQ(text(screen->m_languageCombo), textOf(2594));
}

}  // namespace
