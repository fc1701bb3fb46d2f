// hud_bench: the in-race displays of a six-kart race at 1024 x 768, one view
// and a split screen: the per-frame refresh alone over 600 frames (karts
// moving, times running, a rocket in flight), and frames with the refresh,
// presented, with the GUI drawn and without it (the quickest of five rounds
// of 120 frames each). Prints milliseconds per frame and how often the
// GUI's layer was drawn again. Needs an X server (xvfb-run).
#include <unistd.h>

#include <CEGUI/GUIContext.h>
#include <CEGUI/Window.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "bench/support/bench_screen.h"
#include "content/archive_writer.h"
#include "foundation/archive_file.h"
#include "foundation/file.h"
#include "foundation/timer.h"
#include "game/race/game_mode.h"
#include "game/race/play_type.h"
#include "game/saves/config.h"
#include "gui/gui.h"
#include "gui/ingame/hud_race.h"
#include "gui/ingame/onscreen_displays.h"
#include "gui/ingame/text_displays.h"
#include "gui/text_table.h"
#include "net/net_control.h"
#include "platform/graphics/d3d9.h"
#include "platform/gui/gui_renderer.h"
#include "platform/window/window.h"
#include "tools/sample_data/sample_sources.h"
#include "tools/sample_data/track_samples.h"

namespace {

constexpr int kFrames = 600;
constexpr int kRounds = 5, kRoundFrames = 120;

// Frames of 1/60 s.
class FrameClock : public Clock {
 public:
  bool frequency(std::int64_t& ticksPerSecond) const override {
    ticksPerSecond = 600;
    return true;
  }
  bool counter(std::int64_t& ticks) const override {
    ticks = m_ticks;
    return true;
  }
  std::uint32_t milliseconds() const override { return static_cast<std::uint32_t>(m_ticks * 10 / 6); }
  void nextFrame() { m_ticks += 10; }

 private:
  std::int64_t m_ticks = 0;
};

// Six karts driving round the track's middle, kart 0 firing a rocket.
class BenchRace : public HudRace {
 public:
  BenchRace(int views, const TextTable& texts, const FrameClock& clock)
      : m_views(views), m_texts(texts), m_timer(clock) {
    m_timer.start();
  }
  int viewCount() const override { return m_views; }
  int kartCount() const override { return 6; }
  int viewKart(int view) const override { return view; }
  bool kart(int index, HudKart& out) const override {
    const float t = m_timer.gameTime(), angle = t * 0.3f + static_cast<float>(index);
    out.lap = static_cast<int>(t / 40.0f);
    out.rank = index;
    out.trackTime = t;
    out.extra = (static_cast<int>(t) + index) % 13;
    out.active = true;
    out.x = 150.0f * std::cos(angle);
    out.z = 150.0f * std::sin(angle);
    out.extraRocket = index == 0 ? 1.0f : 0.0f;
    out.rocketX = out.x * 0.5f;
    out.rocketZ = out.z * 0.5f;
    return true;
  }
  int countdownState() const override { return -2; }
  bool raceOver() const override { return false; }
  bool paused() const override { return false; }
  void setPausedFlag(bool) override {}
  void setSoundsPaused(bool) override {}
  bool wrongWay(int view) const override { return view == 1; }
  float& wrongWayTime(int view) override { return m_wrongWayTime[view]; }
  float eliminationTime() const override { return 0.0f; }
  Timer& timer() override { return m_timer; }
  void leave() override {}
  void leaveNetwork() override {}
  HighscoreTables* highscores() override { return nullptr; }
  const TextTable* texts() const override { return &m_texts; }

 private:
  int m_views;
  const TextTable& m_texts;
  Timer m_timer;
  float m_wrongWayTime[2] = {};
};

struct Figures {
  double update, plain, frame;  // milliseconds per frame: the refresh; a frame without and with the GUI
};

Figures run(Gui& gui, IDirect3DDevice9* device, Config& config, const TextTable& texts, int views) {
  FrameClock clock;
  auto owned = std::make_unique<BenchRace>(views, texts, clock);
  BenchRace& race = *owned;
  config.m_playType = views == 2 ? kPlaySplitScreen : kPlayOneLocal;
  OnscreenDisplays displays(gui, config, std::move(owned));
  gui.setMouseCursorVisible(false);  // as in a race
  for (int p = 0; p < views; ++p) displays.setMinimapMarkerColour(p, p, 1);

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < kFrames; ++i) {
    clock.nextFrame();
    race.timer().tick();
    displays.update();
  }
  const std::chrono::duration<double, std::milli> updating = Clock::now() - start;
  // What the frames showed, so that the figures are of real work.
  std::string shown;
  for (int i = 0; i < displays.m_views[0].raceTimeDisplay->cellCount(); ++i)
    shown += displays.m_views[0].raceTimeDisplay->cellText(i);
  const CEGUI::UVector2 marker = displays.m_views[0].markers[0]->getPosition();
  std::printf("  %d view(s) after %d frames: race time %s, kart 0's marker at (%.1f, %.1f)\n", views, kFrames,
              shown.c_str(), marker.d_x.d_scale * 1024.0f, marker.d_y.d_scale * 768.0f);

  // Frames with and without the GUI taken in turns, the quickest round of
  // each kept: other work on the machine only ever slows a round down.
  DWORD pixel = 0;
  auto frames = [&](bool withGui) {
    const Clock::time_point drawStart = Clock::now();
    for (int i = 0; i < kRoundFrames; ++i) {
      clock.nextFrame();
      race.timer().tick();
      displays.update();
      device->BeginScene();
      device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
      gui.injectTimePulse(race.timer().gameTime());
      if (withGui) gui.render();
      device->EndScene();
      device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    device->ReadBackBuffer(0, 0, 1, 1, &pixel);  // waits for the last frame
    const std::chrono::duration<double, std::milli> drawing = Clock::now() - drawStart;
    return drawing.count() / kRoundFrames;
  };
  const GuiRenderer::LayerDraws before = gui.m_renderer->layerDraws();
  Figures f{updating.count() / kFrames, 1e9, 1e9};
  for (int round = 0; round < kRounds; ++round) {
    f.plain = std::min(f.plain, frames(false));
    f.frame = std::min(f.frame, frames(true));
  }
  const GuiRenderer::LayerDraws draws = gui.m_renderer->layerDraws();
  std::printf("  the GUI's layer drawn again %ld times whole, %ld times only where it changed\n",
              draws.whole - before.whole, draws.changedParts - before.changedParts);
  return f;
}

}  // namespace

int main() {
  BenchScreen screen;
  if (!screen.open("hud_bench", 1024, 768, true)) {
    std::fprintf(stderr, "hud_bench: no OpenGL device (run under xvfb-run)\n");
    return 1;
  }
  const ComPtr<IDirect3DDevice9>& device = screen.device;

  DiskFile disk;
  ArchiveWriter writer;
  if (!addGuiSamples(writer) || !addMenuSamples(writer) || !addHudSamples(writer)) return 1;
  const std::string path = "/tmp/hud_bench_" + std::to_string(getpid()) + ".sar";
  if (!writer.write(path.c_str())) return 1;
  ArchiveFile archive(disk);
  if (!archive.mount(path.c_str())) return 1;

  {
    Gui gui(nullptr, nullptr, archive, GuiRenderer::createOnDevice(device.get()));
    TextTable texts(archive, "D:\\Tamberlok/menu/IngameTexts.xml");
    NetControl net;
    Config config(nullptr, net, Config::SavedFile::Ignore);
    config.m_game.set(kModeRace);
    config.m_laps.set(3);
    config.m_track.set(0);
    std::printf("in-race displays, six karts, 1024 x 768, %d frames each\n", kFrames);
    for (int views = 1; views <= 2; ++views) {
      const Figures f = run(gui, device.get(), config, texts, views);
      std::printf(
          "  %s: updateHudDisplays %.4f ms per frame; with the GUI drawn %.3f ms per frame, without %.3f ms (the "
          "GUI's pass %.3f ms)\n",
          views == 1 ? "one view  " : "two views ", f.update, f.frame, f.plain, f.frame - f.plain);
    }
  }
  std::remove(path.c_str());
  return 0;
}
