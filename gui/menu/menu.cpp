#include "gui/menu/menu.h"

#include <CEGUI/CEGUI.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "foundation/profiler.h"
#include "game/saves/config.h"
#include "gui/credits_screen.h"
#include "gui/end_screen.h"
#include "gui/gui.h"
#include "gui/gui_helper.h"
#include "gui/gui_screen.h"
#include "gui/help_screen.h"
#include "gui/highscores_screen.h"
#include "gui/loading_window.h"
#include "gui/menu/championship_screen.h"
#include "gui/menu/main_menu_screen.h"
#include "gui/menu/mode_screens.h"
#include "gui/menu/multiplayer_screens.h"
#include "gui/options_screen.h"
#include "gui/splash_screen.h"
#include "gui/text_table.h"
#include "input/input_device.h"
#include "net/net_control.h"
#include "platform/window/cursor.h"
#include "render/device_manager.h"
#include "render/display_settings.h"
#include "render/render_pipeline.h"
#include "scene/scene.h"
#include "scene/scene_item.h"
#include "scene/scene_root.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"
#include "sound/sound_system.h"

namespace {

constexpr const char* kMenuFolder = "D:\\Tamberlok/menu/";

const char* const kKartScenes[Menu::kKartCount] = {
    "menu_chr_sel_kart_01.lws", "menu_chr_sel_kart_02.lws", "menu_chr_sel_kart_03.lws", "menu_chr_sel_kart_04.lws",
    "menu_chr_sel_kart_05.lws", "menu_chr_sel_kart_06.lws", "menu_chr_sel_kart_07.lws", "menu_chr_sel_kart_08.lws"};
const float kKartProgress[Menu::kKartCount] = {-1, 20, 22, 24, 26, 28, 30, 32};
const char* const kCharacterScenes[Menu::kCharacterCount] = {"menu_chr_sel_quorrel.lws", "menu_chr_sel_affe.lws",
                                                             "menu_chr_sel_alien.lws",   "menu_chr_sel_kroet.lws",
                                                             "menu_chr_sel_pumpkin.lws", "menu_chr_sel_tod.lws"};

struct ImagesetStep {
  const char* name;
  float progressBefore, progressAfterRelease;
};
const ImagesetStep kImagesets[] = {{"Brenn6_logo", -1, 1},  {"splash", 52, 2},      {"main", 55, 3},
                                   {"Championship", 56, 7}, {"Highscores", 58, 15}, {"Options", 59, 17},
                                   {"Credits", 60, 19},     {"HelpScreen", 61, 21}, {"Extras", 65, 23},
                                   {"Tracks", 66, 25}};

// Progress after deleting each slot's screen; slots the loading bar does
// not list report nothing.
float releaseProgress(int slot) {
  switch (slot) {
    case Menu::kSplash:
      return 30;
    case Menu::kMainMenu:
      return 34;
    case Menu::kChampionship:
      return 42;
    case Menu::kHighscores:
      return 58;
    case Menu::kOptions:
      return 62;
    case Menu::kCredits:
      return 66;
    case Menu::kHelp:
      return 70;
    case Menu::kEnd:
      return 74;
    default:
      return -1;
  }
}

float degrees(double radians) { return static_cast<float>(radians * 180.0 / std::numbers::pi); }

}  // namespace

Menu::Menu(RenderPipeline* pipeline, Gui* gui) : m_pipeline(pipeline), m_gui(gui) {}

Menu::~Menu() {
  // The entry point shuts the menu down before it goes; this only frees
  // what a failed run left behind, without touching the settings.
  m_current = nullptr;
  for (auto& s : m_screens) s.reset();
}

void Menu::reportProgress(float value) {
  if (g_loadingWindow && g_loadingWindow->built()) g_loadingWindow->setProgress(value);
}

bool Menu::init(File* files, SoundDevice* sound, Config* config) {
  reportProgress(0);
  m_quit = m_startRace = false;
  m_config = config;
  m_files = files;
  const std::string folder = kMenuFolder;
  m_texts = std::make_unique<TextTable>(*files, (folder + "Texts.xml").c_str());
  m_texts->m_language = TextTable::languageFromSetting(config->m_language);

  // Their pictures decode while the scenes below load.
  std::vector<std::string> imagesets;
  for (const ImagesetStep& step : kImagesets) imagesets.push_back(std::string(step.name) + ".imageset");
  m_gui->decodePicturesAhead(std::move(imagesets));

  reportProgress(10);
  // Without a pipeline (logic tests) the scenes are skipped, not the steps.
  if (m_pipeline) m_sceneRoot = std::make_unique<SceneRoot>(m_pipeline, "metascene");
  for (int i = 0; i < kKartCount; ++i) {
    if (kKartProgress[i] >= 0) reportProgress(kKartProgress[i]);
    if (m_sceneRoot) m_kartScenes[i] = m_sceneRoot->loadScene(nullptr, files, folder + kKartScenes[i]);
  }
  for (int i = 0; i < kCharacterCount; ++i) {
    reportProgress(34.0f + 2.0f * static_cast<float>(i));
    if (m_sceneRoot) m_characterScenes[i] = m_sceneRoot->loadScene(nullptr, files, folder + kCharacterScenes[i]);
  }
  if (m_sceneRoot) m_sceneRoot->prepareScenes(nullptr);
  reportProgress(50);
  if (m_pipeline) {
    // A race may have changed them.
    m_pipeline->horizontalFov = degrees(2.0 * std::atan(1.0 / 2.4));
    m_pipeline->verticalFov = degrees(2.0 * std::atan(1.0 / 3.2));
  }
  for (const ImagesetStep& step : kImagesets) {
    if (step.progressBefore >= 0) reportProgress(step.progressBefore);
    m_gui->loadImageset(CEGUI::String(step.name) + ".imageset");
  }

  auto loadSound = [&](const char* name, float volume, std::unique_ptr<SoundChannel>& source,
                       std::unique_ptr<SoundBuffer>& buffer) {
    source = loadSoundChannel(files, name);
    buffer = sound ? sound->createSound(source.get(), kSoundStatic) : nullptr;
    if (buffer) buffer->setVolume(volume);
  };
  reportProgress(68);
  loadSound("D:\\Tamberlok\\musics\\menu.ogg", static_cast<float>(config->m_musicVolume) * 0.01f, m_menuMusicSource,
            m_menuMusic);
  reportProgress(70);
  loadSound("D:\\Tamberlok\\musics\\highscore.ogg", static_cast<float>(config->m_musicVolume) * 0.01f,
            m_highscoreMusicSource, m_highscoreMusic);
  reportProgress(71);
  loadSound("D:\\Tamberlok\\soundfx\\button06.wav", static_cast<float>(config->m_effectsVolume) * 0.007f,
            m_clickSoundSource, m_clickSound);

  m_current = nullptr;
  reportProgress(72);
  m_screens[kSplash] = std::make_unique<SplashScreen>(*this, this);
  reportProgress(74);
  m_screens[kMainMenu] = std::make_unique<MainMenuScreen>(this);
  reportProgress(76);
  m_screens[kChampionship] = std::make_unique<ChampionshipScreen>(this);
  m_screens[kTimeTrial] = std::make_unique<TimeTrialScreen>(this);
  m_screens[kLastManStanding] = std::make_unique<LastManStandingScreen>(this);
  m_screens[kTwoPlayers] = std::make_unique<TwoPlayersScreen>(this);
  m_screens[kMultiplayerSelect] = std::make_unique<MultiplayerSelectScreen>(this);
  m_screens[kMultiplayer] = std::make_unique<MultiplayerScreen>(this);
  static_cast<MultiplayerScreen*>(m_screens[kMultiplayer].get())->m_relay = m_relay;
  reportProgress(78);
  m_screens[kOptions] = std::make_unique<OptionsScreen>(m_gui, *this, optionsAdapter(), this);
  reportProgress(90);
  m_screens[kHighscores] = std::make_unique<HighscoresScreen>(m_gui, *this, this);
  reportProgress(92);
  m_screens[kCredits] = std::make_unique<CreditsScreen>(*this, this);
  reportProgress(94);
  m_screens[kHelp] = std::make_unique<HelpScreen>(*this, this);
  reportProgress(96);
  m_screens[kEnd] = std::make_unique<EndScreen>(*this, this);
  reportProgress(100);

  GuiScreen* first = config->m_showHighscores ? screen(kHighscores) : nullptr;
  setScreen(first ? first : screen(kMainMenu));
  m_gui->setMouseCursorVisible(true);
  playMusic();
  m_timer.start();
  return true;
}

const AdapterInfo* Menu::optionsAdapter() const {
  // The display settings' adapter offers the modes the options list; the
  // pipeline's own adapter stands in where no device manager runs.
  if (g_deviceManager && g_deviceManager->settings)
    return g_deviceManager->adapterInfo(g_deviceManager->settings->adapter);
  return m_pipeline ? m_pipeline->adapterInfo : nullptr;
}

void Menu::playMusic() {
  SoundBuffer* music = m_config && m_config->m_highscoreMusic ? m_highscoreMusic.get() : m_menuMusic.get();
  if (music) music->play(true);
}

bool Menu::shutdown() {
  reportProgress(0);
  for (SoundBuffer* music : {m_menuMusic.get(), m_highscoreMusic.get()})
    if (music && music->isPlaying()) music->stop();
  m_gui->setMouseCursorVisible(false);
  for (const ImagesetStep& step : kImagesets) {
    m_gui->unloadImageset(step.name);
    reportProgress(step.progressAfterRelease);
  }
  if (m_current) m_gui->context().setRootWindow(nullptr);
  m_current = nullptr;
  for (int slot = 0; slot < kScreenCount; ++slot) {
    if (!m_screens[slot]) continue;
    m_screens[slot].reset();
    if (releaseProgress(slot) >= 0) reportProgress(releaseProgress(slot));
  }
  // Each pointer is cleared as it goes: the entry point may shut the menu
  // down again without an init in between (a cup's next race skips the menu).
  m_texts.reset();
  reportProgress(78);
  m_sceneRoot.reset();
  std::fill(std::begin(m_kartScenes), std::end(m_kartScenes), nullptr);
  std::fill(std::begin(m_characterScenes), std::end(m_characterScenes), nullptr);
  reportProgress(90);
  m_menuMusic.reset();
  reportProgress(95);
  m_menuMusicSource.reset();
  reportProgress(96);
  m_highscoreMusic.reset();
  reportProgress(97);
  m_highscoreMusicSource.reset();
  reportProgress(98);
  m_clickSound.reset();
  reportProgress(100);
  m_clickSoundSource.reset();
  m_files = nullptr;
  if (m_config) m_config->save();
  return true;
}

void Menu::setScreen(GuiScreen* screen) {
  if (m_current) m_current->deactivate();
  m_current = screen;
  if (m_current) m_current->activate();
}

void Menu::playClickSound() {
  if (!m_clickSound || !m_config) return;
  m_clickSound->setVolume(static_cast<float>(m_config->m_effectsVolume) * 0.01f);
  m_clickSound->play(false);
}

void Menu::setMenuMusicVolume(float volume) {
  for (SoundBuffer* music : {m_menuMusic.get(), m_highscoreMusic.get()})
    if (music) music->setVolume(volume);
}

void Menu::setClickVolume(float volume) {
  if (m_clickSound) m_clickSound->setVolume(volume);
}

bool Menu::handleInput(InputDevice* input) {
  if (GuiScreen* const current = m_current) {
    if (current == screen(kEnd)) {
      if (static_cast<EndScreen*>(current)->handleKeys(*input)) m_quit = true;
    } else if (current == screen(kMainMenu)) {
      auto* main = static_cast<MainMenuScreen*>(current);
      if (!main->m_quitDialog->isVisible() && input->m_key[1]) {
        input->m_key[1] = 0;
        main->showQuitDialog();
      }
    } else if (current == screen(kSplash)) {
      if (static_cast<SplashScreen*>(current)->handleKeys(*input)) setScreen(screen(kMainMenu));
    } else if (current == screen(kHelp)) {
      static_cast<HelpScreen*>(current)->handleKeys(*input);
    }
  }
  m_gui->injectInput();
  return true;
}

void Menu::quitFrom(GuiScreen* current) {
  m_config->save();
  current->deactivate();
  m_current = nullptr;
}

void Menu::act(int result) {
  GuiScreen* const current = m_current;
  auto is = [&](Slot slot) { return current == screen(slot); };
  if (is(kSplash)) {
    if (result == GuiScreen::kResultOk) setScreen(screen(kMainMenu));
    if (result == GuiScreen::kResultQuit) {
      quitFrom(current);
      m_quit = true;
    }
    return;
  }
  if (is(kMainMenu)) {
    static const std::pair<int, Slot> kChoices[] = {{GuiScreen::kChoiceTimeTrial, kTimeTrial},
                                                    {GuiScreen::kChoiceLastManStanding, kLastManStanding},
                                                    {GuiScreen::kChoiceChampionship, kChampionship},
                                                    {GuiScreen::kChoiceTwoPlayers, kTwoPlayers},
                                                    {GuiScreen::kChoiceMultiplayer, kMultiplayerSelect},
                                                    {GuiScreen::kChoiceHighscores, kHighscores},
                                                    {GuiScreen::kChoiceOptions, kOptions},
                                                    {GuiScreen::kChoiceCredits, kCredits},
                                                    {GuiScreen::kChoiceHelp, kHelp}};
    for (const auto& [code, slot] : kChoices)
      if (result == code && screen(slot)) setScreen(screen(slot));
    if (result == GuiScreen::kResultQuit) {
      quitFrom(current);
      // The exit screen, where its branding shows one for this language,
      // ends the game itself.
      auto* end = static_cast<EndScreen*>(screen(kEnd));
      if (end && end->shouldShow())
        setScreen(end);
      else
        m_quit = true;
    }
    return;
  }
  if (is(kTimeTrial) || is(kLastManStanding) || is(kChampionship) || is(kTwoPlayers) || is(kMultiplayer)) {
    if (result == GuiScreen::kResultOk) {
      current->deactivate();
      current->applySelection();
      m_current = nullptr;
      m_startRace = true;
    } else if (result == GuiScreen::kResultBack) {
      setScreen(screen(kMainMenu));
    }
    return;
  }
  if (is(kMultiplayerSelect)) {
    if (result == GuiScreen::kResultBack) setScreen(screen(kMainMenu));
    if (result == GuiScreen::kChoiceHost || result == GuiScreen::kChoiceJoin) {
      auto* lobby = static_cast<MultiplayerScreen*>(screen(kMultiplayer));
      lobby->m_isHost = result == GuiScreen::kChoiceHost;
      lobby->m_address = static_cast<MultiplayerSelectScreen*>(current)->address().c_str();
      setScreen(screen(kMultiplayer));
    }
    return;
  }
  if (is(kHighscores) && result == GuiScreen::kResultBack) {
    if (m_config->m_highscoreMusic) {
      if (m_highscoreMusic) m_highscoreMusic->stop();
      if (m_menuMusic) m_menuMusic->play(true);
    }
    setScreen(screen(kMainMenu));
    return;
  }
  // Options: ok = applied and saved.
  const bool okOrBack = result == GuiScreen::kResultOk || result == GuiScreen::kResultBack;
  if ((is(kOptions) && okOrBack) || ((is(kCredits) || is(kHelp)) && result == GuiScreen::kResultBack)) {
    setScreen(screen(kMainMenu));
    return;
  }
  // Ok: a link was chosen, which the entry point opens at exit.
  if (is(kEnd) && okOrBack) m_quit = true;
}

bool Menu::update() {
  int result = GuiScreen::kNoResult;
  if (m_current) {
    m_current->restoreSheet();
    result = m_current->getResult();
    if (result != GuiScreen::kNoResult) act(result);
  }
  if (m_current && m_current == screen(kMultiplayer)) static_cast<MultiplayerScreen*>(m_current)->refresh();
  if (m_current && m_current == screen(kCredits)) static_cast<CreditsScreen*>(m_current)->update();
  // The GUI draws the only pointer; the system's would show over it.
  SetCursor(nullptr);
  drawFrame(result == GuiScreen::kNoResult);
  m_gui->injectTimePulse(m_timer.gameTime());
  m_timer.tick();
  NetControl::getInstance().update();
  return true;
}

void Menu::setPreviewViewport(float x, float y, float width, float height) {
  CEGUI::UVector2 position, size;
  GuiHelper::layoutToRelative(position, CEGUI::Vector2f(x, y), GuiHelper::kLayoutWidth, GuiHelper::kLayoutHeight);
  GuiHelper::layoutToRelative(size, CEGUI::Vector2f(width, height), GuiHelper::kLayoutWidth, GuiHelper::kLayoutHeight);
  const float w = static_cast<float>(m_pipeline->requestedWidth), h = static_cast<float>(m_pipeline->requestedHeight);
  m_pipeline->setViewArea(static_cast<int>(w * position.d_x.d_scale), static_cast<int>(h * position.d_y.d_scale),
                          static_cast<int>(w * size.d_x.d_scale), static_cast<int>(h * size.d_y.d_scale));
}

void Menu::drawPreview(int kart, int ccm, int character, float x, float y, float width, float height) {
  if (kart < 0 || kart >= kKartCount || character < 0 || character >= kCharacterCount) return;
  Scene* kartScene = m_kartScenes[kart];
  Scene* characterScene = m_characterScenes[character];
  if (kartScene) {
    static const float kScales[Config::kClassCount] = {0.5f, 0.75f, 1.0f};
    SceneItem* motor = kartScene->objectCount() > 0 ? kartScene->findItem("motor", -1, 1) : nullptr;
    if (motor && ccm >= 0 && ccm < Config::kClassCount) {
      const float s[3] = {kScales[ccm], kScales[ccm], kScales[ccm]};
      motor->setScale(s);
    }
  }
  setPreviewViewport(x, y, width, height);
  const double t = m_timer.gameTime();
  if (kartScene) kartScene->render(t, true);
  if (characterScene) characterScene->render(t, false);
}

void Menu::drawFrame(bool previews) {
  ProfileScope frameTimed(GameCounter::kCompleteRenderTime);
  IDirect3DDevice9* device = m_pipeline ? m_pipeline->currentDevice : nullptr;
  if (device) {
    device->BeginScene();
    ProfileScope timed(GameCounter::kClear);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 0.0f, 0);
  }
  if (previews) drawPreviews();
  m_gui->render();
  if (device) {
    device->EndScene();
    ProfileScope timed(GameCounter::kPresent);
    device->Present(nullptr, nullptr, nullptr, nullptr);
  }
}

void Menu::drawPreviews() {
  if (!m_current || !m_pipeline || !m_sceneRoot) return;
  const Config& c = *m_config;
  if (m_current == screen(kTimeTrial)) {
    drawPreview(c.m_timeTrialKart, c.m_timeTrialCcm, c.m_timeTrialCharacter, 60, 262, 412, 331.5f);
  } else if (m_current == screen(kLastManStanding)) {
    drawPreview(c.m_lastManStandingKart, c.m_lastManStandingCcm, c.m_lastManStandingCharacter, 60, 262, 421, 331.5f);
  } else if (m_current == screen(kChampionship)) {
    drawPreview(c.m_championshipKart, c.m_championshipCcm, c.m_championshipCharacter, 60, 262, 412, 331.5f);
  } else if (m_current == screen(kMultiplayer)) {
    const auto* lobby = static_cast<const MultiplayerScreen*>(m_current);
    drawPreview(lobby->localKartIndex(), c.m_ccm.get(), lobby->localCharacterIndex(), 60, 30, 422, 331.5f);
  } else if (m_current == screen(kTwoPlayers)) {
    drawPreview(c.m_twoPlayersKart1, c.m_twoPlayersCcm, c.m_twoPlayersCharacter1, 48, 30, 422, 331.5f);
    drawPreview(c.m_twoPlayersKart2, c.m_twoPlayersCcm, c.m_twoPlayersCharacter2, 559, 30, 422, 331.5f);
  } else {
    return;
  }
  m_pipeline->setViewArea(0, 0, m_pipeline->requestedWidth, m_pipeline->requestedHeight);
}

bool Menu::onDeviceLost() {
  if (m_sceneRoot) m_sceneRoot->onDeviceLost();
  return true;
}

bool Menu::onDeviceReset() {
  if (m_sceneRoot) m_sceneRoot->onDeviceReset();
  if (m_pipeline)
    m_gui->setDisplaySize(static_cast<float>(m_pipeline->requestedWidth),
                          static_cast<float>(m_pipeline->requestedHeight));
  return true;
}

bool Menu::pauseMusic() {
  for (SoundBuffer* music : {m_menuMusic.get(), m_highscoreMusic.get()})
    if (music && music->isPlaying()) music->stop();
  return true;
}

bool Menu::resumeMusic() {
  playMusic();
  return true;
}
