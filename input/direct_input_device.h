// The input device of full-screen play: polls the DirectInput-shaped system
// mouse and keyboard (buffered) and the first attached game controller.
#pragma once

#include <vector>

#include "input/input_device.h"
#include "platform/input/dinput.h"

class DirectInputDevice : public InputDevice {
 public:
  static constexpr DWORD kBufferItems = 1023;

  DirectInputDevice(int width, int height);
  ~DirectInputDevice() override;

  // Creates and acquires the devices. A step that fails ends it with false;
  // the devices made before it stay and update uses them.
  bool init(HWND window) override;
  // Acquires the devices again (the window became active), then clears the
  // state block.
  void reset() override;
  bool update() override;
  void setMouseRange(int width, int height) override;

  bool hasMouse() const { return static_cast<bool>(m_mouse); }
  bool hasKeyboard() const { return static_cast<bool>(m_keyboard); }
  bool hasJoystick() const { return static_cast<bool>(m_joystick); }

 private:
  bool createBuffered(const GUID& guid, const DIDATAFORMAT& format, DWORD cooperation, HWND window,
                      ComPtr<IDirectInputDevice8A>& out);
  static void reacquire(IDirectInputDevice8A* device);
  bool readMouse();
  bool readKeyboard();

  ComPtr<IDirectInput8A> m_directInput;
  ComPtr<IDirectInputDevice8A> m_mouse;
  ComPtr<IDirectInputDevice8A> m_keyboard;
  ComPtr<IDirectInputDevice8A> m_joystick;
  int m_rangeWidth;
  int m_rangeHeight;
  std::vector<DIDEVICEOBJECTDATA> m_items;
};
