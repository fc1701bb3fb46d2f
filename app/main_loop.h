// One pass of the menu loop or the race loop, which differ only in whose
// hooks they call: a pending display change is applied first, then the
// device's cooperative level decides between waiting (device lost or
// application inactive), restoring the device, and a frame with input and
// window messages.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/win32_types.h"

class DeviceManager;
class InputDevice;
class InputProbe;
class Menu;
class Race;
class RenderPipeline;

// What a loop drives: the menu or the race.
class LoopOwner {
 public:
  virtual ~LoopOwner() = default;
  // The loop ends once this is true (checked before every pass).
  virtual bool finished() const = 0;
  virtual void deviceLost() = 0;
  virtual void deviceReset() = 0;
  // The device is lost or the application inactive: sound stops.
  virtual void silence() = 0;
  // After a reset that followed a loss: sound comes back.
  virtual void resume() = 0;
  // One frame; false when it failed.
  virtual bool frame(InputDevice& input) = 0;
};

class MenuLoopOwner : public LoopOwner {
 public:
  explicit MenuLoopOwner(Menu& menu) : m_menu(menu) {}
  bool finished() const override;
  void deviceLost() override;
  void deviceReset() override;
  void silence() override;
  void resume() override;
  bool frame(InputDevice& input) override;

 private:
  Menu& m_menu;
};

class RaceLoopOwner : public LoopOwner {
 public:
  explicit RaceLoopOwner(Race& race) : m_race(race) {}
  bool finished() const override;
  void deviceLost() override;
  void deviceReset() override;
  void silence() override;
  void resume() override;
  bool frame(InputDevice& input) override;

 private:
  Race& m_race;
};

class MainLoop {
 public:
  // How long a lost or inactive pass waits for a message: headless, none
  // may ever come.
  static constexpr DWORD kWaitMilliseconds = 100;

  // `active` is the application-active flag the window procedure keeps;
  // `probe` (may be null) hears of every pass that ran a frame.
  MainLoop(DeviceManager& devices, RenderPipeline& pipeline, InputDevice& input, const std::uint8_t& active,
           InputProbe* probe = nullptr);

  // Passes until the owner is finished or WM_QUIT was seen; true when
  // WM_QUIT ended it. `beforePass` (may be empty) runs before each pass.
  bool run(LoopOwner& owner, const std::function<void()>& beforePass = {});
  // One pass; false once WM_QUIT was seen.
  bool pass(LoopOwner& owner);

  // Set when a frame reported failure; the loop goes on regardless.
  bool m_frameFailed = false;

 private:
  void applyDisplayChange(LoopOwner& owner);
  void restoreDevice(LoopOwner& owner);
  bool waitForOneMessage();
  // Handles every pending message; false when WM_QUIT was among them.
  bool pumpMessages();

  DeviceManager& m_devices;
  RenderPipeline& m_pipeline;
  InputDevice& m_input;
  const std::uint8_t& m_active;
  InputProbe* m_probe;
};
