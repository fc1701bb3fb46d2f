#include "tests/gui/race_frames_fixture.h"

#include <chrono>
#include <cstdint>
#include <thread>

#include "foundation/archive_file.h"
#include "game/kart/kart_items.h"
#include "lightwave/lwo2_loader.h"
#include "platform/input/dinput.h"
#include "platform/input/input_injection.h"
#include "render/device_manager.h"
#include "render/render_device.h"
#include "scene/scene.h"
#include "sound/sound_buffer.h"
#include "tests/support/race_choice.h"
#include "tests/support/sample_archive.h"

namespace {

InputDevice* s_input = nullptr;
// Where the test last put the pointer.
int s_pointerX = -1, s_pointerY = -1;

// What the game's window procedure does for input, without the activation
// reset: another test's window taking the X focus must not let go of keys
// this test holds. Tests beside this one on the same X display move the
// real pointer, and its motion reaches this window too: only motion to
// where this test put the pointer counts.
LRESULT frameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEMOVE) {
    const auto bits = static_cast<std::uintptr_t>(lParam);
    const int x = static_cast<std::int16_t>(bits & 0xFFFF), y = static_cast<std::int16_t>((bits >> 16) & 0xFFFF);
    if (x != s_pointerX || y != s_pointerY) return 0;
  }
  if (s_input && message != WM_ACTIVATE) return s_input->handleMessage(window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void RaceFrames::SetUp() {
  PipelineTest::SetUp();
  scratch = std::make_unique<ScratchDir>();
  clearModifiers();
  WNDCLASSA wc{};
  wc.lpfnWndProc = frameWindowProc;
  wc.lpszClassName = "RaceFrames";
  ASSERT_NE(RegisterClassA(&wc), 0);

  setDirect3DFactory(nullptr);
  manager = std::make_unique<DeviceManager>();
  manager->settings->windowed = true;
  manager->settings->windowWidth = kWidth;
  manager->settings->windowHeight = kHeight;
  ASSERT_TRUE(manager->enumerateAdapters("Error", "no d3d", "no tnl")) << "run under xvfb-run";
  ::Setup setup(manager.get());
  setup.run();
  ASSERT_TRUE(manager->createRenderWindow("RaceFrames", nullptr));
  window = manager->devices[0]->windows[0].get();
  pipeline = std::make_unique<RenderPipeline>(*manager);
  D3DPRESENT_PARAMETERS p{};
  pipeline->currentDevice->GetPresentParameters(&p);
  ASSERT_EQ(p.BackBufferWidth, static_cast<UINT>(kWidth));
  ASSERT_EQ(p.BackBufferHeight, static_cast<UINT>(kHeight));
  pipeline->requestedWidth = kWidth;
  pipeline->requestedHeight = kHeight;
  pipeline->soundDevice = &sound;
  installLightWaveLoaders();

  input = std::make_unique<WindowInputDevice>();
  ASSERT_TRUE(input->init(window));
  s_input = input.get();
  ShowWindow(window, SW_SHOW);
  config = std::make_unique<Config>(input.get(), control, Config::SavedFile::Ignore);
  config->m_language = 1;
  gui = std::make_unique<Gui>(pipeline.get(), input.get(), builtSampleArchive());
  race = std::make_unique<Race>(pipeline.get(), gui.get(), control, clock);
  loop = std::make_unique<MainLoop>(*manager, *pipeline, *input, active);
  owner = std::make_unique<RaceLoopOwner>(*race);
  // The window system's own first messages (focus, exposure) go first.
  frame(0.0);
}

void RaceFrames::TearDown() {
  owner.reset();
  loop.reset();
  if (race) race->unload();
  race.reset();
  gui.reset();
  config.reset();
  s_input = nullptr;
  input.reset();
  control.leave();
  if (pipeline) pipeline->soundDevice = nullptr;
  clearModifiers();
  scratch.reset();
  PipelineTest::TearDown();
}

void RaceFrames::chooseRace(int game, int track, int laps) {
  chooseOnePlayerRace(*config, game, track, 0, laps, kControlUserSingle, kControlUserSingle);
  config->m_musicVolume = 60;
  config->m_effectsVolume = 100;
}

bool RaceFrames::load() { return race->load(&builtSampleArchive(), &sound, *config); }

bool RaceFrames::unload() { return race->unload(); }

OnscreenDisplays& RaceFrames::displays() {
  auto* d = dynamic_cast<OnscreenDisplays*>(race->m_hud.get());
  EXPECT_NE(d, nullptr);
  return *d;
}

void RaceFrames::frame(double seconds) {
  clock.advance(seconds);
  loop->pass(*owner);
}

void RaceFrames::frames(int count, double seconds) {
  for (int i = 0; i < count; ++i) frame(seconds);
}

bool RaceFrames::framesUntil(const std::function<bool()>& done, int limit) {
  for (int i = 0; i < limit; ++i) {
    if (done()) return true;
    frame();
  }
  return done();
}

bool RaceFrames::framesUntilHeard(const std::function<bool()>& done, int milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    frame();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void RaceFrames::startRace() {
  tap(DIK_SPACE);
  // The countdown in quarter seconds: four seconds of frames are the
  // slowest part of a test.
  for (int i = 0; i < 40 && race->m_countdownState != Race::kCountdownRacing; ++i) frame(0.25);
  ASSERT_EQ(race->m_countdownState, Race::kCountdownRacing);
}

void RaceFrames::crossLine(int k) {
  Vehicle& kart = *race->m_karts[k];
  kart.m_lineTouched = 1;
  kart.m_sectorMask = 0xFFFF;
  frame();
}

float RaceFrames::gameTime() const { return race->m_timer->gameTime(); }

void RaceFrames::keyDown(std::uint8_t dik) { ASSERT_TRUE(injectKey(window, dik, true)); }

void RaceFrames::keyUp(std::uint8_t dik) { ASSERT_TRUE(injectKey(window, dik, false)); }

void RaceFrames::tap(std::uint8_t dik) {
  keyDown(dik);
  frame();
  keyUp(dik);
  frame();
}

void RaceFrames::click(const CEGUI::Window* target) {
  ASSERT_TRUE(target->isEffectiveVisible()) << "clicking a hidden window";
  const CEGUI::Rectf r = target->getUnclippedOuterRect().get();
  const int x = static_cast<int>((r.left() + r.right()) / 2), y = static_cast<int>((r.top() + r.bottom()) / 2);
  s_pointerX = x;
  s_pointerY = y;
  ASSERT_TRUE(injectMouseMotion(window, x, y, 0, 0));
  ASSERT_TRUE(injectMouseButton(window, 0, true, x, y));
  frame();
  ASSERT_TRUE(injectMouseButton(window, 0, false, x, y));
  frame();
}

std::uint8_t RaceFrames::playerKey(int action) const {
  EXPECT_EQ(config->m_bindingKind[action], Config::kBindKey);
  return static_cast<std::uint8_t>(config->m_bindingCode[action]);
}

namespace {

float volumeOf(SoundBuffer* buffer) {
  const RecordingSoundBuffer* r = recorded(buffer);
  return r ? r->volume : -1.0f;
}

}  // namespace

float RaceFrames::musicVolume() const { return race->m_music ? volumeOf(race->m_music.get()) : -1.0f; }

bool RaceFrames::soundsSilent() const {
  if (musicVolume() != 0.0f) return false;
  if (race->m_scene->soundVolume != 0.0f) return false;
  for (Vehicle* kart : race->m_karts) {
    if (!kart) continue;
    for (const KartSoundSlot& slot : kart->m_items.sounds)
      if (!slot.empty() && volumeOf(slot.buffer.get()) != 0.0f) return false;
  }
  return true;
}
