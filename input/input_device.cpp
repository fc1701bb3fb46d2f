// The state block and what both kinds of input device share.
#include "input/input_device.h"

#include <cstring>

#include "foundation/report.h"

InputDevice::InputDevice() { InputDevice::reset(); }

bool InputDevice::init(HWND) { return true; }

void InputDevice::reset() {
  std::memset(m_mouseDelta, 0, sizeof m_mouseDelta);
  std::memset(m_mousePos, 0, sizeof m_mousePos);
  std::memset(m_mouseButton, 0, sizeof m_mouseButton);
  std::memset(m_key, 0, sizeof m_key);
  m_lastKey = 255;
  std::memset(m_joyAxis, 0, sizeof m_joyAxis);
  std::memset(m_joyButton, 0, sizeof m_joyButton);
}

LRESULT InputDevice::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

bool InputDevice::update() {
  std::memset(m_mouseDelta, 0, sizeof m_mouseDelta);
  return true;
}

void InputDevice::setMouseRange(int, int) {}

bool InputDevice::wasKeyPressed(int code) {
  if (code < 0 || code > 255 || !m_key[code]) return false;
  m_key[code] = 0;
  return true;
}

bool InputDevice::getJoystickButton(int i) const {
  // Indices come from the stored key bindings: a negative one is as wrong as
  // one past the end.
  if (i < 0 || i >= kJoystickButtons) {
    ENGINE_ASSERT(i >= 0 && i < kJoystickButtons && "button<20");
    return false;
  }
  return m_joyButton[i] != 0;
}
