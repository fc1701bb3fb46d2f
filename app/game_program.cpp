// Start-up and shutdown of one run; the loops are in main_loops.cpp.
#include "app/game_program.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "app/command_line.h"
#include "app/language.h"
#include "app/single_instance.h"
#include "foundation/archive_file.h"
#include "foundation/file.h"
#include "foundation/profiler.h"
#include "foundation/report.h"
#include "game/race/race.h"
#include "game/race/race_value_owners.h"
#include "game/saves/config.h"
#include "gui/exit_link.h"
#include "gui/gui.h"
#include "gui/loading_window.h"
#include "gui/menu/menu.h"
#include "input/direct_input_device.h"
#include "input/window_input_device.h"
#include "lightwave/lwo2_loader.h"
#include "net/firewall.h"
#include "net/net_control.h"
#include "net/relay_server.h"
#include "platform/system/process.h"
#include "platform/system/system.h"
#include "render/device_manager.h"
#include "render/display_settings.h"
#include "render/file_texture.h"
#include "render/render_pipeline.h"
#include "sound/sound_system.h"

namespace {

constexpr const char* kNoDirectXText =
    "Tamberlok 3 ben\xf6tigt DirectX 9.0c.\nBitte installieren Sie DirectX 9.0c auf Ihrem Rechner und starten sie das "
    "Programm erneut.\n\nTamberlok 3 requires DirectX 9.0c.\nPlease install DirectX 9.0c and start the program again.";
constexpr const char* kNoTransformAndLightingText =
    "Tamberlok 3 ben\xf6tigt eine Grafikkarte mit Transform & Lighting unterst\xfctzung.\nTamberlok 3 requires a "
    "graphics adapter that supports Transform & Lighting.";

std::wstring wide(const std::string& text) {
  std::wstring out(text.size() + 1, L'\0');
  const std::size_t count = std::mbstowcs(out.data(), text.c_str(), out.size());
  if (count == static_cast<std::size_t>(-1)) return std::wstring(text.begin(), text.end());
  out.resize(count);
  return out;
}

}  // namespace

GameProgram::GameProgram(HINSTANCE instance, const EntryOptions& options) : m_instance(instance), m_options(options) {
  g_applicationActive = 1;
  g_windowClosed = false;
  g_exitLink.clear();
}

GameProgram::~GameProgram() = default;

void GameProgram::step(int number) {
  if (m_options.observer) m_options.observer->afterStartUpStep(number, *this);
}

void GameProgram::run() {
  if (!claimInstance()) {
    m_guard.reset();
    return;
  }
  // Traces go nowhere unless a developer names a file for them. Opened only
  // by the one game that runs: a second start must not empty the first
  // game's trace as it ends.
  if (const char* log = std::getenv("TESSALINE_LOG"); log && *log) g_log.open(log);
  readSettingsFile();
  if (!startGraphics()) return;
  if (startServices()) mainLoop();
  if (m_options.observer) m_options.observer->beforeShutdown(*this);
  shutDownServices();
  shutDownRest(true);
}

bool GameProgram::claimInstance() {
  registerGameProfileCounters();
  step(1);
  registerWindowClasses();
  step(2);
  CoInitialize(nullptr);
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_DATE_CLASSES};
  InitCommonControlsEx(&controls);
  step(3);
  // "/q" is accepted on the command line and changes nothing.
  const char* commandLine = GetCommandLineA();
  m_programName = programName(commandLine);
  const std::vector<std::string> arguments = splitCommandLine(commandLine);
  for (std::size_t i = 1; i < arguments.size(); ++i) (void)lstrcmpiA(arguments[i].c_str(), "/q");
  step(4);
  m_guard = std::make_unique<SingleInstanceGuard>(kInstanceGuardName, commandLine, &m_guardMessage);
  step(5);
  if (m_guard->isFirst()) return true;
  // Nobody can be told of a block that could not be had; say why rather
  // than end without a word.
  if (m_guard->failed())
    std::fprintf(stderr, "Tessaline: cannot use %s; is another copy running?\n",
                 fileMappingPath(kInstanceGuardName).c_str());
  return false;
}

void GameProgram::registerWindowClasses() {
  WNDCLASSEXA main{};
  main.cbSize = sizeof main;
  main.style = CS_HREDRAW | CS_VREDRAW;
  main.lpfnWndProc = mainWindowProc;
  main.hInstance = m_instance;
  main.hIcon = LoadIconA(m_instance, MAKEINTRESOURCEA(101));
  main.hCursor = LoadCursorA(nullptr, IDC_CROSS);
  main.hbrBackground = reinterpret_cast<void*>(std::uintptr_t{COLOR_WINDOW + 1});
  main.lpszClassName = kMainWindowClass;
  RegisterClassExA(&main);

  WNDCLASSEXA dialog{};
  dialog.cbSize = sizeof dialog;
  if (GetClassInfoExA(nullptr, MAKEINTATOM(kDialogClassAtom), &dialog)) {
    dialog.hIcon = nullptr;
    dialog.lpszClassName = kSetupWindowClass;
    RegisterClassExA(&dialog);
  }
}

void GameProgram::readSettingsFile() {
  g_languageId = chooseLanguageId();
  step(6);
  m_devices = std::make_unique<DeviceManager>();
  g_deviceManager = m_devices.get();
  m_devices->settings->windowed = false;
  step(7);
  // The display comes up at the size the settings keep; a file that is
  // missing or damaged gets the defaults written back.
  {
    Config settings(nullptr, NetControl::getInstance(), Config::SavedFile::Ignore);
    loadSettingsOrStartFresh(settings, readLanguageId());
    m_devices->settings->width = settings.m_resolutionWidth;
    m_devices->settings->height = settings.m_resolutionHeight;
    const PictureLevels levels =
        pictureFromSliders(static_cast<float>(settings.m_gamma), static_cast<float>(settings.m_brightness),
                           static_cast<float>(settings.m_contrast));
    g_brightness = levels.brightness;
    g_contrast = levels.contrast;
    g_gamma = levels.gamma;
  }
  step(8);
}

bool GameProgram::startGraphics() {
  m_setup = std::make_unique<Setup>(m_devices.get());
  step(9);
  addFirewallException(wide(m_programName).c_str());
  step(10);
  m_relay = std::make_unique<GameDaemon::ServerThread>(m_options.relayPort);
  m_relay->server()->setValueOwners(raceValueOwners());
  step(11);
  m_ok = true;
  if (!m_devices->enumerateAdapters("Error", kNoDirectXText, kNoTransformAndLightingText) || !m_setup->run()) {
    shutDownRest(false);
    return false;
  }
  step(12);
  g_messageLevel = 3;
  g_logMessages = true;
  step(13);
  m_devices->setCaption(m_programName);
  if (!m_devices->createRenderWindow(kMainWindowClass, m_instance)) {
    m_devices->release();
    shutDownRest(false);
    return false;
  }
  step(14);
  m_pipeline = std::make_unique<RenderPipeline>(*m_devices);
  if (!m_devices->settings->windowed) m_pipeline->setGamma(g_gamma, g_brightness, g_contrast);
  step(15);
  return true;
}

bool GameProgram::startServices() {
  installLightWaveLoaders();
  m_archive = std::make_unique<ArchiveFile>(DiskFile(".\\;..\\"));
  m_archive->mount("data.sar");
  setTextureSource(m_archive.get());
  g_fileSystem = m_archive.get();
  step(16);
  HWND window = m_devices->devices[0]->windows[0].get();
  if (m_devices->settings->windowed)
    m_input = std::make_unique<WindowInputDevice>();
  else
    m_input = std::make_unique<DirectInputDevice>(m_pipeline->requestedWidth, m_pipeline->requestedHeight);
  g_inputDevice = m_input.get();
  m_input->init(window);
  step(17);
  // The GUI's scheme, fonts and pictures come from the archive: without
  // them nothing can be shown, and the game ends saying why.
  try {
    m_gui = std::make_unique<Gui>(m_pipeline.get(), m_input.get(), *m_archive);
    g_gui = m_gui.get();
    m_loadingWindow = std::make_unique<LoadingWindow>(m_gui.get());
    g_loadingWindow = m_loadingWindow.get();
  } catch (const std::exception& e) {
    reportError("the GUI cannot start: %s", e.what());
    std::fprintf(stderr, "Tessaline: the GUI cannot start (is \"data.sar\" here?): %s\n", e.what());
    m_ok = false;
    return false;
  }
  m_loadingWindow->setRange(0, 100);
  m_loadingWindow->setProgress(0);
  step(18);
  if (m_options.raceClock)
    m_race = std::make_unique<Race>(m_pipeline.get(), m_gui.get(), NetControl::getInstance(), *m_options.raceClock);
  else
    m_race = std::make_unique<Race>(m_pipeline.get(), m_gui.get(), NetControl::getInstance());
  m_menu = std::make_unique<Menu>(m_pipeline.get(), m_gui.get());
  m_menu->m_relay = m_relay->server();
  step(19);
  for (auto& device : m_devices->devices) {
    for (auto& head : device->windows) {
      ShowCursor(0);
      ShowWindow(head.get(), SW_SHOW);
      UpdateWindow(head.get());
      m_loadingWindow->draw();
    }
  }
  WNDCLASSEXA main{};
  main.cbSize = sizeof main;
  GetClassInfoExA(m_instance, kMainWindowClass, &main);
  g_cursor = m_devices->settings->windowed ? static_cast<HCURSOR>(main.hCursor) : nullptr;
  SetCursor(g_cursor);
  SetFocus(window);
  step(20);
  m_soundSystem = std::make_unique<SoundSystem>(window);
  m_soundDevice = m_soundSystem->openDevice(kDefaultSoundDeviceGuid);
  m_pipeline->soundSystem = m_soundSystem.get();
  m_pipeline->soundDevice = m_soundDevice;
  step(21);
  m_settings = std::make_unique<Config>(m_input.get());
  step(22);
  return true;
}

void GameProgram::shutDownServices() {
  setTextureSource(nullptr);
  if (m_devices) m_devices->hideWindows();
  g_inputDevice = nullptr;
  m_input.reset();
  g_loadingWindow = nullptr;
  m_loadingWindow.reset();
  // The menu's and the race's windows and imagesets went with their
  // shutdown and unload; the GUI can go before them.
  g_gui = nullptr;
  m_gui.reset();
  m_settings.reset();
  // The sound system goes here, once: the pipeline only carried it.
  if (m_pipeline) m_pipeline->soundSystem = nullptr, m_pipeline->soundDevice = nullptr;
  m_soundDevice = nullptr;
  m_soundSystem.reset();
  m_menu.reset();
  m_race.reset();
  g_fileSystem = nullptr;
  m_archive.reset();
  m_pipeline.reset();
  if (m_devices) m_devices->release();
}

void GameProgram::shutDownRest(bool servicesRan) {
  if (servicesRan && !m_ok) {
    const EngineString last = g_lastMessage.get();
    g_log.line(last.c_str()[0] ? last.c_str() : "loading aborted...");
  }
  m_setup.reset();
  g_deviceManager = nullptr;
  m_devices.reset();
  removeFirewallException();
  printProfilingReport();
  g_log.open("nul");
  openExitLink(g_exitLink);
  if (m_relay) m_relay->stop();
  m_relay.reset();
  m_guard.reset();
}
