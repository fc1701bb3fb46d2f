// Input as the hardware would give it, for tests and replays: keyboard,
// mouse and focus events queued in SDL as its own drivers queue them, and a
// virtual game controller. Both the window message pump and the
// DirectInput-shaped devices then see them like real input.
#pragma once

#include <memory>

#include "platform/win32_types.h"

// A key of DirectInput code `dik` pressed or released over `window` (null:
// no window named). Modifier keys also update SDL's modifier state, as real
// ones do. False when the code has no key or SDL refuses the event.
bool injectKey(HWND window, BYTE dik, bool down, bool repeat = false);
// Sets the Num Lock and Caps Lock toggles of the modifier state.
void setLockKeys(bool numLock, bool capsLock);
// Clears every modifier and toggle.
void clearModifiers();

// The cursor moved to client position (x, y), by (dx, dy).
bool injectMouseMotion(HWND window, int x, int y, int dx, int dy);
// button 0 left, 1 right, 2 middle.
bool injectMouseButton(HWND window, int button, bool down, int x, int y);
// Wheel notches, positive away from the user.
bool injectMouseWheel(HWND window, int notches);
// The window gained or lost the input focus.
bool injectFocus(HWND window, bool gained);

// A game controller that exists while this object lives. It appears after
// the controllers already attached.
class VirtualJoystick {
 public:
  VirtualJoystick(int axes, int buttons, int hats);
  ~VirtualJoystick();
  VirtualJoystick(const VirtualJoystick&) = delete;
  VirtualJoystick& operator=(const VirtualJoystick&) = delete;

  bool attached() const;
  // raw -32768..32767, as the hardware reports it.
  bool setAxis(int axis, int raw);
  bool setButton(int button, bool down);
  // hat: the SDL hat bits (1 up, 2 right, 4 down, 8 left; 0 centred).
  bool setHat(int hat, int bits);

 private:
  struct State;
  std::unique_ptr<State> m_state;
};
