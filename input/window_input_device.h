// The input device of windowed play: fed by the window's messages (keys as
// virtual keys, translated to DirectInput codes through a fixed table, and
// the mouse in client coordinates).
#pragma once

#include <cstdint>
#include <functional>

#include "input/input_device.h"

class WindowInputDevice : public InputDevice {
 public:
  // Milliseconds, for the mouse-tracking timer; timeGetTime by default.
  using Clock = std::function<std::uint32_t()>;

  static constexpr std::uint32_t kMouseTimerId = 0xDEAD;
  static constexpr std::uint32_t kMouseTimerPeriod = 250;

  explicit WindowInputDevice(Clock clock = {});
  ~WindowInputDevice() override;

  bool init(HWND window) override;
  LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  bool update() override;

  // The DirectInput code a key message means: its virtual key through the
  // table, with the extended bit telling the right Ctrl and Alt and the
  // keypad Enter from their main-block twins. 0xFF for keys without one.
  std::uint8_t translateKey(WPARAM virtualKey, LPARAM keystroke) const;

  bool mouseTracking() const { return m_mouseTracking; }

 private:
  void setMouseTimer();
  void runMouseTimerIfDue();
  void onMouseTimer();

  std::uint8_t m_keyMap[256];
  HWND m_window = nullptr;
  Clock m_clock;
  // Whether the next mouse move adds to the deltas. The mouse timer clears
  // it 250 ms after the last move, so after a pause the first move only
  // takes a new reference position.
  bool m_mouseTracking = false;
  bool m_timerSet = false;
  std::uint32_t m_timerDue = 0;
};
