#include "app/main_loop.h"

#include "app/input_probe.h"
#include "game/race/race.h"
#include "gui/menu/menu.h"
#include "input/input_device.h"
#include "platform/graphics/d3d9.h"
#include "platform/window/window.h"
#include "render/device_manager.h"
#include "render/render_pipeline.h"

bool MenuLoopOwner::finished() const { return m_menu.m_quit || m_menu.m_startRace; }
void MenuLoopOwner::deviceLost() { m_menu.onDeviceLost(); }
void MenuLoopOwner::deviceReset() { m_menu.onDeviceReset(); }
void MenuLoopOwner::silence() { m_menu.pauseMusic(); }
void MenuLoopOwner::resume() { m_menu.resumeMusic(); }
bool MenuLoopOwner::frame(InputDevice& input) {
  m_menu.handleInput(&input);
  return m_menu.update();
}

bool RaceLoopOwner::finished() const { return m_race.m_leave != 0; }
void RaceLoopOwner::deviceLost() { m_race.onDeviceLost(); }
void RaceLoopOwner::deviceReset() { m_race.onDeviceReset(); }
void RaceLoopOwner::silence() { m_race.stopSounds(); }
void RaceLoopOwner::resume() { m_race.resumeSounds(); }
bool RaceLoopOwner::frame(InputDevice& input) { return m_race.update(input); }

MainLoop::MainLoop(DeviceManager& devices, RenderPipeline& pipeline, InputDevice& input, const std::uint8_t& active,
                   InputProbe* probe)
    : m_devices(devices), m_pipeline(pipeline), m_input(input), m_active(active), m_probe(probe) {}

bool MainLoop::run(LoopOwner& owner, const std::function<void()>& beforePass) {
  while (!owner.finished()) {
    if (beforePass) beforePass();
    if (!pass(owner)) return true;
  }
  return false;
}

bool MainLoop::pass(LoopOwner& owner) {
  if (m_pipeline.takeResizeRequest()) applyDisplayChange(owner);
  const HRESULT level = m_devices.testCooperativeLevel();
  if (level == D3DERR_DEVICELOST || !m_active) {
    owner.silence();
    return waitForOneMessage();
  }
  if (level == D3DERR_DEVICENOTRESET) {
    restoreDevice(owner);
    return true;
  }
  if (level != D3D_OK) return true;
  m_input.update();
  // A quit message still lets this pass's frame run.
  const bool goOn = pumpMessages();
  if (m_probe) m_probe->noteInput(m_input);
  if (!owner.frame(m_input)) m_frameFailed = true;
  if (m_probe) m_probe->passDone();
  return goOn;
}

void MainLoop::applyDisplayChange(LoopOwner& owner) {
  owner.deviceLost();
  DisplaySettings& settings = *m_devices.settings;
  settings.width = m_pipeline.requestedWidth;
  settings.height = m_pipeline.requestedHeight;
  settings.windowed = m_pipeline.requestedWindowed;
  // A failed reset leaves the device to be restored by a later pass; its
  // owners must not make their device resources again before that.
  if (SUCCEEDED(m_devices.resetDevices())) owner.deviceReset();
}

void MainLoop::restoreDevice(LoopOwner& owner) {
  owner.deviceLost();
  if (FAILED(m_devices.resetDevices())) return;
  owner.deviceReset();
  owner.resume();
}

bool MainLoop::waitForOneMessage() {
  if (!WaitMessageTimeout(kWaitMilliseconds)) return true;
  MSG msg{};
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return true;
  if (msg.message == WM_QUIT) return false;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

bool MainLoop::pumpMessages() {
  MSG msg{};
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (!GetMessageA(&msg, nullptr, 0, 0)) return false;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}
