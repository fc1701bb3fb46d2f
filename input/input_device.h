// The game's one input device: keyboard, mouse and game controller gathered
// into one state block that controllers, menus and the race read directly,
// by DirectInput key codes whatever the source. Two kinds exist: the
// window-message device for windowed play (input/window_input_device.h) and
// the DirectInput device for full screen (input/direct_input_device.h).
#pragma once

#include <cstdint>

#include "platform/window/window.h"

class InputDevice {
 public:
  static constexpr int kJoystickButtons = 20;

  InputDevice();
  virtual ~InputDevice() = default;
  InputDevice(const InputDevice&) = delete;
  InputDevice& operator=(const InputDevice&) = delete;

  // Binds the device to the game window.
  virtual bool init(HWND window);
  // Clears the whole state block (held keys included); m_lastKey = 255.
  virtual void reset();
  // The window procedure's default handler.
  virtual LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Once per frame: clears the mouse deltas (the kinds then read new input).
  virtual bool update();
  // The area the full-screen mouse position is kept in.
  virtual void setMouseRange(int width, int height);

  // One press counts once: when the key is down, clears it and answers true.
  // Codes outside 0..255 are never down.
  bool wasKeyPressed(int code);
  // Button i of the game controller (0..19); other indices are reported as
  // an assertion and read as up.
  bool getJoystickButton(int i) const;

  // The state block.
  int m_mouseDelta[3];  // x, y, wheel since the last update
  int m_mousePos[2];
  std::uint8_t m_mouseButton[3];  // left, right, middle
  std::uint8_t m_key[256];        // by DirectInput key code
  std::uint32_t m_lastKey;        // window: last character; DirectInput: code of the last key event
  int m_joyAxis[12];              // X, Y, Z, Rx, Ry, Rz twice, -1000..1000
  std::uint8_t m_joyButton[kJoystickButtons];
};
