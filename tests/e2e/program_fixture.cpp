#include "tests/e2e/program_fixture.h"

#include "game/race/race.h"
#include "gui/gui_screen.h"
#include "gui/menu/menu.h"
#include "input/input_device.h"
#include "platform/window/window.h"

namespace fs = std::filesystem;

void Steering::beforeMenuPass(GameProgram& program, int pass) {
  if (pass == 1) ++menuLoops;
  if (onMenuPass) onMenuPass(pass, program);
  if (pass > kMaxPasses) {
    ranOut = true;
    program.m_menu->m_quit = true;
  }
}

void Steering::beforeRacePass(GameProgram& program, int pass) {
  if (pass == 1) ++raceLoops;
  if (onRacePass) onRacePass(pass, program);
  if (pass > kMaxPasses) {
    ranOut = true;
    program.m_race->m_leave = 1;
    program.m_menu->m_quit = true;
  }
}

void ProgramTest::SetUp() {
  ScratchDirTest::SetUp();
  fs::create_directory(m_root / "runtime");
  fs::permissions(m_root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  runtime.emplace("XDG_RUNTIME_DIR", (m_root / "runtime").c_str());
  registry.emplace("TESSALINE_REGISTRY", (m_root / "registry.ini").c_str());
  cache.emplace("TESSALINE_TEXTURE_CACHE", (m_root / "cache").c_str());
  log.emplace("TESSALINE_LOG", (m_root / "trace.txt").c_str());
  all.emplace("LC_ALL", nullptr);
  messages.emplace("LC_MESSAGES", nullptr);
  lang.emplace("LANG", "en_US.UTF-8");
  setMessageBoxHook([this](const char* text, const char* caption, UINT) {
    boxes.push_back(std::string(caption) + ": " + text);
    return IDOK;
  });
}

void ProgramTest::TearDown() {
  setMessageBoxHook(nullptr);
  resetWindowSystem();
  ScratchDirTest::TearDown();
}

void ProgramTest::copySampleArchive() { fs::copy_file(TESSALINE_SAMPLE_ARCHIVE, "data.sar"); }

int ProgramTest::run(WORD relayPort, const Clock* raceClock) {
  EntryOptions options;
  options.relayPort = relayPort;
  options.raceClock = raceClock;
  options.observer = &steering;
  return runGame(nullptr, options);
}

std::string ProgramTest::traceText() const {
  std::ifstream in(m_root / "trace.txt");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> ProgramTest::loopTraces() const {
  std::vector<std::string> lines;
  std::ifstream in(m_root / "trace.txt");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("entering ", 0) == 0) lines.push_back(line);
  return lines;
}

void startTimeTrial(GameProgram& program) {
  Menu& menu = *program.m_menu;
  menu.setScreen(menu.screen(Menu::kTimeTrial));
  menu.screen(Menu::kTimeTrial)->setResult(0);
}

bool InputClick::step(InputDevice& input) {
  input.m_mousePos[0] = m_x;
  input.m_mousePos[1] = m_y;
  if (m_state == 0) {
    // The pointer comes to rest over the button before it goes down.
    m_state = 1;
  } else if (m_state == 1) {
    input.m_mouseButton[0] = 1;
    m_state = 2;
  } else {
    input.m_mouseButton[0] = 0;
    m_state = 0;
    return true;
  }
  return false;
}
