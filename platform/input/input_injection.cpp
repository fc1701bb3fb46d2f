// Injected input goes through SDL_PushEvent, the same queue (and the same
// event watches) that SDL's own drivers feed.
#include "platform/input/input_injection.h"

#include <SDL.h>

#include "platform/input/key_codes.h"
#include "platform/window/sdl_video.h"

namespace {

Uint32 windowId(HWND window) {
  SDL_Window* sdl = sdlWindowOf(window);
  return sdl ? SDL_GetWindowID(sdl) : 0;
}

int scancodeForDik(BYTE dik) {
  for (int sc = 1; sc < SDL_NUM_SCANCODES; ++sc)
    if (keyCodesForScancode(sc).dik == dik) return sc;
  return SDL_SCANCODE_UNKNOWN;
}

SDL_Keymod modifierBit(int scancode) {
  switch (scancode) {
    case SDL_SCANCODE_LSHIFT:
      return KMOD_LSHIFT;
    case SDL_SCANCODE_RSHIFT:
      return KMOD_RSHIFT;
    case SDL_SCANCODE_LCTRL:
      return KMOD_LCTRL;
    case SDL_SCANCODE_RCTRL:
      return KMOD_RCTRL;
    case SDL_SCANCODE_LALT:
      return KMOD_LALT;
    case SDL_SCANCODE_RALT:
      return KMOD_RALT;
    default:
      return KMOD_NONE;
  }
}

bool push(SDL_Event& event) {
  event.common.timestamp = SDL_GetTicks();
  return SDL_PushEvent(&event) == 1;
}

}  // namespace

bool injectKey(HWND window, BYTE dik, bool down, bool repeat) {
  const int scancode = scancodeForDik(dik);
  if (scancode == SDL_SCANCODE_UNKNOWN) return false;
  if (const SDL_Keymod bit = modifierBit(scancode)) {
    const int mod = down ? (SDL_GetModState() | bit) : (SDL_GetModState() & ~bit);
    SDL_SetModState(static_cast<SDL_Keymod>(mod));
  }
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.windowID = windowId(window);
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.repeat = repeat ? 1 : 0;
  event.key.keysym.scancode = static_cast<SDL_Scancode>(scancode);
  event.key.keysym.sym = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(scancode));
  event.key.keysym.mod = static_cast<Uint16>(SDL_GetModState());
  return push(event);
}

void setLockKeys(bool numLock, bool capsLock) {
  int mod = SDL_GetModState() & ~(KMOD_NUM | KMOD_CAPS);
  if (numLock) mod |= KMOD_NUM;
  if (capsLock) mod |= KMOD_CAPS;
  SDL_SetModState(static_cast<SDL_Keymod>(mod));
}

void clearModifiers() { SDL_SetModState(KMOD_NONE); }

bool injectMouseMotion(HWND window, int x, int y, int dx, int dy) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.windowID = windowId(window);
  event.motion.x = x;
  event.motion.y = y;
  event.motion.xrel = dx;
  event.motion.yrel = dy;
  return push(event);
}

bool injectMouseButton(HWND window, int button, bool down, int x, int y) {
  static const Uint8 kButtons[] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE};
  if (button < 0 || button > 2) return false;
  SDL_Event event{};
  event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  event.button.windowID = windowId(window);
  event.button.button = kButtons[button];
  event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.button.clicks = 1;
  event.button.x = x;
  event.button.y = y;
  return push(event);
}

bool injectMouseWheel(HWND window, int notches) {
  SDL_Event event{};
  event.type = SDL_MOUSEWHEEL;
  event.wheel.windowID = windowId(window);
  event.wheel.y = notches;
  event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
  return push(event);
}

bool injectFocus(HWND window, bool gained) {
  const Uint32 id = windowId(window);
  if (id == 0) return false;
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.windowID = id;
  event.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
  return push(event);
}

struct VirtualJoystick::State {
  bool subsystem = false;
  SDL_JoystickID id = -1;
  SDL_Joystick* joystick = nullptr;
};

VirtualJoystick::VirtualJoystick(int axes, int buttons, int hats) : m_state(std::make_unique<State>()) {
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  m_state->subsystem = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
  if (!m_state->subsystem) return;
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, axes, buttons, hats);
  if (index < 0) return;
  m_state->id = SDL_JoystickGetDeviceInstanceID(index);
  m_state->joystick = SDL_JoystickOpen(index);
}

VirtualJoystick::~VirtualJoystick() {
  if (m_state->joystick) SDL_JoystickClose(m_state->joystick);
  if (m_state->id >= 0) {
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == m_state->id) SDL_JoystickDetachVirtual(i);
  }
  if (m_state->subsystem) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

bool VirtualJoystick::attached() const { return m_state->joystick != nullptr; }

bool VirtualJoystick::setAxis(int axis, int raw) {
  if (!m_state->joystick) return false;
  const int clamped = raw < -32768 ? -32768 : (raw > 32767 ? 32767 : raw);
  return SDL_JoystickSetVirtualAxis(m_state->joystick, axis, static_cast<Sint16>(clamped)) == 0;
}

bool VirtualJoystick::setButton(int button, bool down) {
  if (!m_state->joystick) return false;
  return SDL_JoystickSetVirtualButton(m_state->joystick, button, down ? SDL_PRESSED : SDL_RELEASED) == 0;
}

bool VirtualJoystick::setHat(int hat, int bits) {
  if (!m_state->joystick) return false;
  return SDL_JoystickSetVirtualHat(m_state->joystick, hat, static_cast<Uint8>(bits)) == 0;
}
