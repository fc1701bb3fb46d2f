// The alternation of the menu loop and the race loop, with the loading
// window between them.
#include "app/game_program.h"
#include "foundation/archive_file.h"
#include "foundation/report.h"
#include "app/input_probe.h"
#include "game/race/race.h"
#include "game/saves/config.h"
#include "gui/loading_window.h"
#include "gui/menu/menu.h"
#include "platform/system/system.h"
#include "render/device_manager.h"
#include "render/render_pipeline.h"

namespace {

// Raises the timer resolution for one loop.
class TimerPeriod {
 public:
  TimerPeriod() {
    TIMECAPS caps{};
    timeGetDevCaps(&caps, sizeof caps);
    m_period = caps.wPeriodMin;
    timeBeginPeriod(m_period);
  }
  ~TimerPeriod() { timeEndPeriod(m_period); }
  TimerPeriod(const TimerPeriod&) = delete;
  TimerPeriod& operator=(const TimerPeriod&) = delete;

 private:
  UINT m_period = 1;
};

}  // namespace

void GameProgram::mainLoop() {
  do {
    if (!m_settings->m_skipMenu && m_menu->init(m_archive.get(), m_soundDevice, m_settings.get())) {
      runMenuLoop();
      // With a race to load, the menu's teardown fills the bar's first half.
      const bool raceFollows = m_menu->m_startRace;
      showLoadingWindow(raceFollows ? 50 : 100, !raceFollows);
      m_menu->shutdown();
      m_loadingWindow->setRange(50, 100);
      m_loadingWindow->setProgress(0);
    }
    if (!m_menu->m_startRace) return;
    if (!playRace()) return;
  } while (m_menu->m_startRace);
}

void GameProgram::showLoadingWindow(float max, bool clearText) {
  m_loadingWindow->create();
  if (clearText) m_loadingWindow->setText("");
  m_loadingWindow->setRange(0, max);
  m_loadingWindow->setProgress(0);
}

void GameProgram::runMenuLoop() {
  g_log.line("entering menu loop...");
  TimerPeriod period;
  m_loadingWindow->destroy();
  MenuLoopOwner owner(*m_menu);
  MainLoop loop(*m_devices, *m_pipeline, *m_input, g_applicationActive, InputProbe::fromEnvironment());
  int pass = 0;
  loop.run(owner, [this, &pass] {
    if (m_options.observer) m_options.observer->beforeMenuPass(*this, ++pass);
  });
  if (loop.m_frameFailed) m_ok = false;
}

bool GameProgram::playRace() {
  if (m_options.observer) m_options.observer->beforeRaceLoad(*this);
  const bool loaded = m_race->load(m_archive.get(), m_soundDevice, *m_settings);
  if (m_options.observer) m_options.observer->afterRaceLoad(*this, loaded);
  if (loaded) runRaceLoop();
  showLoadingWindow(50, false);
  m_race->unload();
  m_loadingWindow->setRange(50, 100);
  m_loadingWindow->setProgress(0);
  return !g_windowClosed;
}

void GameProgram::runRaceLoop() {
  g_log.line("entering main loop...");
  TimerPeriod period;
  m_loadingWindow->destroy();
  RaceLoopOwner owner(*m_race);
  MainLoop loop(*m_devices, *m_pipeline, *m_input, g_applicationActive, InputProbe::fromEnvironment());
  int pass = 0;
  loop.run(owner, [this, &pass] {
    if (m_options.observer) m_options.observer->beforeRacePass(*this, ++pass);
  });
  if (loop.m_frameFailed) m_ok = false;
}
