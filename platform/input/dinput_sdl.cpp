// The DirectInput-shaped devices on SDL2. Keyboard and mouse items are taken
// from SDL's events by one event watch as SDL queues them, so the window
// message pump and these devices both see every event. Game controllers are
// SDL joysticks read on Poll.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/input/dinput.h"
#include "platform/window/sdl_video.h"

const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), 24, 2, sizeof(DIMOUSESTATE)};
const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 24, 2, 256};
const DIDATAFORMAT c_dfDIJoystick = {sizeof(DIDATAFORMAT), 24, 1, sizeof(DIJOYSTATE)};

const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};

namespace {

// A game controller's instance GUID: the SDL joystick instance id in Data1
// and a fixed tail that marks it as ours.
constexpr WORD kJoystickGuidData2 = 0x5344;  // "SD"
constexpr WORD kJoystickGuidData3 = 0x4C4A;  // "LJ"

GUID joystickGuid(SDL_JoystickID id) {
  GUID g{};
  g.Data1 = static_cast<DWORD>(id);
  g.Data2 = kJoystickGuidData2;
  g.Data3 = kJoystickGuidData3;
  return g;
}

bool isJoystickGuid(const GUID& g) { return g.Data2 == kJoystickGuidData2 && g.Data3 == kJoystickGuidData3; }

// More buffered items than this are never kept, whatever the caller asks:
// an unread device must not grow without bound.
constexpr DWORD kMaxBufferSize = 1u << 16;

constexpr int kMaxAxes = 8;  // X, Y, Z, Rx, Ry, Rz and two sliders
constexpr int kMaxButtons = 32;
constexpr int kMaxHats = 4;

enum class Kind { Mouse, Keyboard, Joystick };

class SdlDevice;

// Every live device, fed by one SDL event watch. The watch may run on any
// thread that queues an SDL event, so the devices' shared state is guarded;
// recursive because SDL calls made under it may queue events themselves.
struct Hub {
  std::recursive_mutex mutex;
  std::vector<SdlDevice*> devices;
};

Hub& hub() {
  static Hub h;
  return h;
}

int eventWatch(void*, SDL_Event* event);

DWORD povFromHat(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP:
      return 0;
    case SDL_HAT_RIGHTUP:
      return 4500;
    case SDL_HAT_RIGHT:
      return 9000;
    case SDL_HAT_RIGHTDOWN:
      return 13500;
    case SDL_HAT_DOWN:
      return 18000;
    case SDL_HAT_LEFTDOWN:
      return 22500;
    case SDL_HAT_LEFT:
      return 27000;
    case SDL_HAT_LEFTUP:
      return 31500;
    default:
      return 0xFFFFFFFFu;
  }
}

// SDL's -32768..32767 spread over [min, max], rounded, so that a centred
// stick (0) reads the middle of the range.
LONG scaleAxis(Sint16 raw, LONG min, LONG max) {
  const std::int64_t span = static_cast<std::int64_t>(max) - min;
  const std::int64_t num = (static_cast<std::int64_t>(raw) + 32768) * span;
  return static_cast<LONG>(min + (num * 2 + 65535) / (2 * 65535));
}

class SdlDirectInput final : public IDirectInput8A {
 public:
  SdlDirectInput(bool joysticks) : m_joysticks(joysticks) {}
  HRESULT CreateDevice(const GUID& device, IDirectInputDevice8A** out, void* outer) override;
  HRESULT EnumDevices(DWORD deviceClass, LPDIENUMDEVICESCALLBACKA callback, void* context, DWORD flags) override;

 protected:
  ~SdlDirectInput() override { SDL_QuitSubSystem(m_joysticks ? SDL_INIT_JOYSTICK : SDL_INIT_EVENTS); }

 private:
  bool m_joysticks;
};

class SdlDevice final : public IDirectInputDevice8A {
 public:
  SdlDevice(SdlDirectInput* owner, Kind kind, SDL_Joystick* joystick)
      : m_owner(owner), m_kind(kind), m_joystick(joystick) {
    m_owner->AddRef();
    if (m_joystick) m_joystickId = SDL_JoystickInstanceID(m_joystick);
    for (auto& r : m_ranges) r = {0, 65535};
    bool first = false;
    {
      std::lock_guard lock(hub().mutex);
      first = hub().devices.empty();
      hub().devices.push_back(this);
    }
    // SDL calls the watch under its own lock, which then takes the hub's:
    // SDL's lock is never taken while the hub's is held.
    if (first) SDL_AddEventWatch(eventWatch, nullptr);
  }

  HRESULT SetDataFormat(const DIDATAFORMAT* format) override {
    std::lock_guard lock(hub().mutex);
    if (m_acquired) return DIERR_ACQUIRED;
    const DIDATAFORMAT* expected = m_kind == Kind::Mouse      ? &c_dfDIMouse
                                   : m_kind == Kind::Keyboard ? &c_dfDIKeyboard
                                                              : &c_dfDIJoystick;
    if (format != expected) return DIERR_INVALIDPARAM;
    m_format = format;
    return DI_OK;
  }

  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
    const bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
    const bool foreground = (flags & DISCL_FOREGROUND) != 0;
    if (exclusive == ((flags & DISCL_NONEXCLUSIVE) != 0)) return DIERR_INVALIDPARAM;
    if (foreground == ((flags & DISCL_BACKGROUND) != 0)) return DIERR_INVALIDPARAM;
    SDL_Window* sdl = sdlWindowOf(window);
    if (!sdl) return DIERR_INVALIDHANDLE;
    std::lock_guard lock(hub().mutex);
    if (m_acquired) return DIERR_ACQUIRED;
    m_exclusive = exclusive;
    m_foreground = foreground;
    m_windowId = SDL_GetWindowID(sdl);
    m_focused = (SDL_GetWindowFlags(sdl) & SDL_WINDOW_INPUT_FOCUS) != 0;
    return DI_OK;
  }

  HRESULT SetProperty(DIPROPID property, const DIPROPHEADER* header) override {
    if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    std::lock_guard lock(hub().mutex);
    if (property == DIPROP_BUFFERSIZE) {
      if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE) return DIERR_INVALIDPARAM;
      if (m_acquired) return DIERR_ACQUIRED;
      const auto* value = reinterpret_cast<const DIPROPDWORD*>(header);
      m_bufferSize = std::min(value->dwData, kMaxBufferSize);
      return DI_OK;
    }
    if (property == DIPROP_RANGE) {
      if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
      if (m_kind != Kind::Joystick) return DIERR_UNSUPPORTED;
      const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
      if (range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
      if (header->dwHow == DIPH_DEVICE) {
        for (auto& r : m_ranges) r = {range->lMin, range->lMax};
        return DI_OK;
      }
      const int axis = axisOf(header);
      if (axis < 0) return DIERR_NOTFOUND;
      m_ranges[axis] = {range->lMin, range->lMax};
      return DI_OK;
    }
    return DIERR_UNSUPPORTED;
  }

  HRESULT GetProperty(DIPROPID property, DIPROPHEADER* header) override {
    if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    std::lock_guard lock(hub().mutex);
    if (property == DIPROP_BUFFERSIZE) {
      if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE) return DIERR_INVALIDPARAM;
      reinterpret_cast<DIPROPDWORD*>(header)->dwData = m_bufferSize;
      return DI_OK;
    }
    if (property == DIPROP_RANGE) {
      if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
      if (m_kind != Kind::Joystick) return DIERR_UNSUPPORTED;
      const int axis = header->dwHow == DIPH_DEVICE ? 0 : axisOf(header);
      if (axis < 0) return DIERR_NOTFOUND;
      auto* range = reinterpret_cast<DIPROPRANGE*>(header);
      range->lMin = m_ranges[axis].min;
      range->lMax = m_ranges[axis].max;
      return DI_OK;
    }
    return DIERR_UNSUPPORTED;
  }

  HRESULT Acquire() override {
    {
      std::lock_guard lock(hub().mutex);
      if (!m_format) return DIERR_INVALIDPARAM;
      if (m_acquired) return S_FALSE;
      if (m_unplugged) return DIERR_UNPLUGGED;
      if (m_foreground && !m_focused) return DIERR_OTHERAPPHASPRIO;
    }
    // Relative mode may queue events of its own (a warp); they arrive before
    // the device counts as acquired and are not reported.
    if (m_kind == Kind::Mouse && m_exclusive) {
      SDL_SetRelativeMouseMode(SDL_TRUE);
      m_relativeOn = true;
    }
    std::lock_guard lock(hub().mutex);
    m_acquired = true;
    m_lostPending = false;
    m_buffer.clear();
    m_overflow = false;
    m_mouse = {};
    std::memset(m_keys, 0, sizeof m_keys);
    if (m_kind == Kind::Keyboard) {
      // Keys already held count as down, as the hardware state says.
      int count = 0;
      const Uint8* held = SDL_GetKeyboardState(&count);
      for (int sc = 0; held && sc < count; ++sc) {
        const KeyCodes codes = keyCodesForScancode(sc);
        if (held[sc] && codes.dik) m_keys[codes.dik] = 0x80;
      }
    }
    return DI_OK;
  }

  HRESULT Unacquire() override {
    HRESULT result = DI_NOEFFECT;
    {
      std::lock_guard lock(hub().mutex);
      if (m_acquired) result = DI_OK;
      m_acquired = false;
    }
    releaseRelativeModeWhenUnacquired();
    return result;
  }

  HRESULT GetDeviceData(DWORD itemSize, DIDEVICEOBJECTDATA* data, DWORD* count, DWORD flags) override {
    if (!count) return DIERR_INVALIDPARAM;
    if (data && itemSize != sizeof(DIDEVICEOBJECTDATA)) return DIERR_INVALIDPARAM;
    const DWORD wanted = *count;
    *count = 0;
    if (m_kind == Kind::Joystick) return DIERR_NOTBUFFERED;
    pumpIfOnVideoThread();
    const HRESULT result = takeItems(data, count, wanted, flags);
    releaseRelativeModeWhenUnacquired();
    return result;
  }

  HRESULT GetDeviceState(DWORD size, void* state) override {
    if (!state) return DIERR_INVALIDPARAM;
    if (m_kind != Kind::Joystick) pumpIfOnVideoThread();
    {
      std::lock_guard lock(hub().mutex);
      if (!m_format || size != m_format->dwDataSize) return DIERR_INVALIDPARAM;
      if (const HRESULT hr = readableState(); FAILED(hr)) return hr;
      if (m_kind == Kind::Keyboard) {
        std::memcpy(state, m_keys, sizeof m_keys);
        return DI_OK;
      }
      if (m_kind == Kind::Mouse) {
        std::memcpy(state, &m_mouse, sizeof m_mouse);
        m_mouse.lX = m_mouse.lY = m_mouse.lZ = 0;  // motion since the last read
        return DI_OK;
      }
    }
    // SDL's joystick lock is not taken under the hub's (see the constructor).
    readJoystick(static_cast<DIJOYSTATE*>(state));
    return DI_OK;
  }

  HRESULT Poll() override {
    {
      std::lock_guard lock(hub().mutex);
      if (const HRESULT hr = readableState(); FAILED(hr)) return hr;
      if (m_kind != Kind::Joystick) return DI_NOEFFECT;
    }
    SDL_JoystickUpdate();
    std::lock_guard lock(hub().mutex);
    return readableState();
  }

  HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKA callback, void* context, DWORD flags) override {
    if (!callback) return DIERR_INVALIDPARAM;
    std::vector<DIDEVICEOBJECTINSTANCEA> objects;
    auto add = [&](DWORD type, DWORD instance, DWORD offset, const char* name) {
      if (flags != DIDFT_ALL && !(type & flags)) return;
      DIDEVICEOBJECTINSTANCEA o{};
      o.dwSize = sizeof o;
      o.dwOfs = offset;
      o.dwType = type | DIDFT_MAKEINSTANCE(instance);
      std::snprintf(o.tszName, sizeof o.tszName, "%s", name);
      objects.push_back(o);
    };
    static const char* const kAxisNames[kMaxAxes] = {"X Axis",     "Y Axis",     "Z Axis",   "X Rotation",
                                                     "Y Rotation", "Z Rotation", "Slider 0", "Slider 1"};
    if (m_kind == Kind::Joystick) {
      for (int i = 0; i < axisCount(); ++i) add(DIDFT_ABSAXIS, i, static_cast<DWORD>(i * 4), kAxisNames[i]);
      const int hats = std::clamp(SDL_JoystickNumHats(m_joystick), 0, kMaxHats);
      for (int i = 0; i < hats; ++i) add(DIDFT_POV, i, static_cast<DWORD>(32 + i * 4), "POV");
      const int buttons = std::clamp(SDL_JoystickNumButtons(m_joystick), 0, kMaxButtons);
      for (int i = 0; i < buttons; ++i) add(DIDFT_PSHBUTTON, i, static_cast<DWORD>(48 + i), "Button");
    } else if (m_kind == Kind::Mouse) {
      for (int i = 0; i < 3; ++i) add(DIDFT_RELAXIS, i, static_cast<DWORD>(i * 4), kAxisNames[i]);
      for (int i = 0; i < 4; ++i) add(DIDFT_PSHBUTTON, i, static_cast<DWORD>(12 + i), "Button");
    } else {
      for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
        const KeyCodes codes = keyCodesForScancode(sc);
        if (codes.dik) add(DIDFT_PSHBUTTON, codes.dik, codes.dik, SDL_GetScancodeName(static_cast<SDL_Scancode>(sc)));
      }
    }
    for (const auto& o : objects)
      if (callback(&o, context) == DIENUM_STOP) break;
    return DI_OK;
  }

  // Called by the event watch with the hub locked.
  void onEvent(const SDL_Event& e) {
    if (e.type == SDL_WINDOWEVENT && m_windowId != 0 && e.window.windowID == m_windowId) {
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) m_focused = true;
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        m_focused = false;
        if (m_foreground) loseAcquisition();
      }
      return;
    }
    if (m_kind == Kind::Joystick) {
      if (e.type == SDL_JOYDEVICEREMOVED && e.jdevice.which == m_joystickId) {
        m_unplugged = true;
        loseAcquisition();
      }
      return;
    }
    if (!m_acquired) return;
    if (m_kind == Kind::Keyboard) {
      if ((e.type != SDL_KEYDOWN && e.type != SDL_KEYUP) || e.key.repeat) return;
      const BYTE dik = keyCodesForScancode(e.key.keysym.scancode).dik;
      if (dik == 0) return;
      const BYTE value = e.type == SDL_KEYDOWN ? 0x80 : 0;
      if (m_keys[dik] == value) return;  // only changes are reported
      m_keys[dik] = value;
      push(dik, value, e.common.timestamp);
      return;
    }
    switch (e.type) {
      case SDL_MOUSEMOTION:
        if (e.motion.xrel) push(DIMOFS_X, static_cast<DWORD>(e.motion.xrel), e.common.timestamp);
        if (e.motion.yrel) push(DIMOFS_Y, static_cast<DWORD>(e.motion.yrel), e.common.timestamp);
        m_mouse.lX += e.motion.xrel;
        m_mouse.lY += e.motion.yrel;
        break;
      case SDL_MOUSEWHEEL: {
        if (e.wheel.y == 0) break;
        int delta = e.wheel.y * 120;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
        push(DIMOFS_Z, static_cast<DWORD>(delta), e.common.timestamp);
        m_mouse.lZ += delta;
        break;
      }
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        int index = -1;
        if (e.button.button == SDL_BUTTON_LEFT) index = 0;
        if (e.button.button == SDL_BUTTON_RIGHT) index = 1;
        if (e.button.button == SDL_BUTTON_MIDDLE) index = 2;
        if (e.button.button == SDL_BUTTON_X1) index = 3;
        if (index < 0) break;
        const BYTE value = e.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
        if (m_mouse.rgbButtons[index] == value) break;
        m_mouse.rgbButtons[index] = value;
        push(DIMOFS_BUTTON0 + static_cast<DWORD>(index), value, e.common.timestamp);
        break;
      }
      default:
        break;
    }
  }

 protected:
  ~SdlDevice() override {
    Unacquire();
    bool last = false;
    {
      std::lock_guard lock(hub().mutex);
      auto& devices = hub().devices;
      devices.erase(std::remove(devices.begin(), devices.end(), this), devices.end());
      last = devices.empty();
    }
    if (last) SDL_DelEventWatch(eventWatch, nullptr);
    if (m_joystick) SDL_JoystickClose(m_joystick);
    m_owner->Release();
  }

 private:
  struct Range {
    LONG min;
    LONG max;
  };

  int axisCount() const { return m_joystick ? std::clamp(SDL_JoystickNumAxes(m_joystick), 0, kMaxAxes) : 0; }

  // The axis a by-id or by-offset property header names; -1 when none.
  int axisOf(const DIPROPHEADER* header) const {
    int axis = -1;
    if (header->dwHow == DIPH_BYID) {
      if (!(header->dwObj & DIDFT_AXIS)) return -1;
      axis = static_cast<int>(DIDFT_GETINSTANCE(header->dwObj));
    } else if (header->dwHow == DIPH_BYOFFSET) {
      if (header->dwObj % 4 != 0) return -1;
      axis = static_cast<int>(header->dwObj / 4);
    }
    return axis >= 0 && axis < axisCount() ? axis : -1;
  }

  HRESULT takeItems(DIDEVICEOBJECTDATA* data, DWORD* count, DWORD wanted, DWORD flags) {
    std::lock_guard lock(hub().mutex);
    if (const HRESULT hr = readableState(); FAILED(hr)) return hr;
    if (m_bufferSize == 0) return DIERR_NOTBUFFERED;
    const DWORD n = std::min<DWORD>(wanted, static_cast<DWORD>(m_buffer.size()));
    if (data) std::copy_n(m_buffer.begin(), n, data);
    if (!(flags & DIGDD_PEEK)) m_buffer.erase(m_buffer.begin(), m_buffer.begin() + n);
    *count = n;
    const HRESULT result = m_overflow ? DI_BUFFEROVERFLOW : DI_OK;
    if (!(flags & DIGDD_PEEK)) m_overflow = false;
    return result;
  }

  // A focus loss takes the acquisition away inside the event watch, where
  // SDL must not be called back; the exclusive mouse gives the cursor back
  // at the next call instead.
  void releaseRelativeModeWhenUnacquired() {
    if (!m_relativeOn) return;
    {
      std::lock_guard lock(hub().mutex);
      if (m_acquired) return;
    }
    m_relativeOn = false;
    SDL_SetRelativeMouseMode(SDL_FALSE);
  }

  HRESULT readableState() {
    if (m_lostPending) {
      m_lostPending = false;
      return DIERR_INPUTLOST;
    }
    return m_acquired ? DI_OK : DIERR_NOTACQUIRED;
  }

  void loseAcquisition() {
    if (!m_acquired) return;
    m_acquired = false;
    m_lostPending = true;
    m_buffer.clear();
    m_overflow = false;
  }

  void push(DWORD offset, DWORD value, Uint32 timestamp) {
    if (m_bufferSize == 0) return;
    if (m_buffer.size() >= m_bufferSize) {
      m_buffer.pop_front();
      m_overflow = true;
    }
    m_buffer.push_back({offset, value, timestamp, ++m_sequence, 0});
  }

  void readJoystick(DIJOYSTATE* state) const {
    *state = DIJOYSTATE{};
    LONG axes[kMaxAxes] = {};
    for (int i = 0; i < axisCount(); ++i)
      axes[i] = scaleAxis(SDL_JoystickGetAxis(m_joystick, i), m_ranges[i].min, m_ranges[i].max);
    state->lX = axes[0];
    state->lY = axes[1];
    state->lZ = axes[2];
    state->lRx = axes[3];
    state->lRy = axes[4];
    state->lRz = axes[5];
    state->rglSlider[0] = axes[6];
    state->rglSlider[1] = axes[7];
    const int hats = std::clamp(SDL_JoystickNumHats(m_joystick), 0, kMaxHats);
    for (int i = 0; i < kMaxHats; ++i)
      state->rgdwPOV[i] = i < hats ? povFromHat(SDL_JoystickGetHat(m_joystick, i)) : 0xFFFFFFFFu;
    const int buttons = std::clamp(SDL_JoystickNumButtons(m_joystick), 0, kMaxButtons);
    for (int i = 0; i < buttons; ++i) state->rgbButtons[i] = SDL_JoystickGetButton(m_joystick, i) ? 0x80 : 0;
  }

  // Fresh data needs SDL to read the system's events; that is allowed only
  // on the thread that runs the video subsystem (the main thread).
  static void pumpIfOnVideoThread() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_PumpEvents();
  }

  SdlDirectInput* m_owner;
  Kind m_kind;
  SDL_Joystick* m_joystick;
  SDL_JoystickID m_joystickId = -1;
  const DIDATAFORMAT* m_format = nullptr;
  bool m_exclusive = false;
  bool m_relativeOn = false;  // this device switched SDL's relative mouse mode on
  bool m_foreground = false;
  Uint32 m_windowId = 0;
  bool m_focused = true;  // no window given: background use, always available
  bool m_acquired = false;
  bool m_lostPending = false;
  bool m_unplugged = false;
  DWORD m_bufferSize = 0;
  std::deque<DIDEVICEOBJECTDATA> m_buffer;
  bool m_overflow = false;
  DWORD m_sequence = 0;
  BYTE m_keys[256] = {};
  DIMOUSESTATE m_mouse = {};
  Range m_ranges[kMaxAxes];
};

int eventWatch(void*, SDL_Event* event) {
  std::lock_guard lock(hub().mutex);
  for (SdlDevice* device : hub().devices) device->onEvent(*event);
  return 0;
}

HRESULT SdlDirectInput::CreateDevice(const GUID& device, IDirectInputDevice8A** out, void* outer) {
  if (!out) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (outer) return DIERR_NOAGGREGATION;
  if (IsEqualGUID(device, GUID_SysMouse)) {
    *out = new SdlDevice(this, Kind::Mouse, nullptr);
    return DI_OK;
  }
  if (IsEqualGUID(device, GUID_SysKeyboard)) {
    *out = new SdlDevice(this, Kind::Keyboard, nullptr);
    return DI_OK;
  }
  if (m_joysticks && isJoystickGuid(device)) {
    const auto id = static_cast<SDL_JoystickID>(device.Data1);
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
      if (SDL_JoystickGetDeviceInstanceID(i) != id) continue;
      SDL_Joystick* joystick = SDL_JoystickOpen(i);
      if (!joystick) return DIERR_DEVICENOTREG;
      *out = new SdlDevice(this, Kind::Joystick, joystick);
      return DI_OK;
    }
  }
  return DIERR_DEVICENOTREG;
}

HRESULT SdlDirectInput::EnumDevices(DWORD deviceClass, LPDIENUMDEVICESCALLBACKA callback, void* context, DWORD) {
  if (!callback) return DIERR_INVALIDPARAM;
  std::vector<DIDEVICEINSTANCEA> found;
  auto add = [&](const GUID& guid, DWORD type, const char* name) {
    DIDEVICEINSTANCEA d{};
    d.dwSize = sizeof d;
    d.guidInstance = guid;
    d.guidProduct = guid;
    d.dwDevType = type;
    std::snprintf(d.tszInstanceName, sizeof d.tszInstanceName, "%s", name ? name : "");
    std::snprintf(d.tszProductName, sizeof d.tszProductName, "%s", name ? name : "");
    found.push_back(d);
  };
  constexpr DWORD kTypeMouse = 0x12, kTypeKeyboard = 0x13, kTypeGamepad = 0x15;
  if (deviceClass == DI8DEVCLASS_ALL || deviceClass == DI8DEVCLASS_POINTER) add(GUID_SysMouse, kTypeMouse, "Mouse");
  if (deviceClass == DI8DEVCLASS_ALL || deviceClass == DI8DEVCLASS_KEYBOARD)
    add(GUID_SysKeyboard, kTypeKeyboard, "Keyboard");
  if (m_joysticks && (deviceClass == DI8DEVCLASS_ALL || deviceClass == DI8DEVCLASS_GAMECTRL)) {
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      add(joystickGuid(SDL_JoystickGetDeviceInstanceID(i)), kTypeGamepad, SDL_JoystickNameForIndex(i));
  }
  for (const auto& d : found)
    if (callback(&d, context) == DIENUM_STOP) break;
  return DI_OK;
}

}  // namespace

HRESULT DirectInput8Create(HINSTANCE, DWORD version, const GUID& iid, void** out, void* outer) {
  if (!out) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (outer) return DIERR_NOAGGREGATION;
  if (version != DIRECTINPUT_VERSION || !IsEqualGUID(iid, IID_IDirectInput8A)) return DIERR_INVALIDPARAM;
  // Our own foreground rule decides when controller data counts; SDL must
  // not also drop it while none of its windows has the focus.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  bool joysticks = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
  if (!joysticks && SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) return DIERR_NOTINITIALIZED;
  *out = static_cast<IDirectInput8A*>(new SdlDirectInput(joysticks));
  return DI_OK;
}
