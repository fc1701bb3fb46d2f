// DirectInput devices into the input state block.
#include "input/direct_input_device.h"

#include <algorithm>
#include <cstring>

namespace {

struct AxisRangeContext {
  IDirectInputDevice8A* device;
};

// Every axis of the controller reads -1000..1000.
BOOL setAxisRange(const DIDEVICEOBJECTINSTANCEA* object, void* context) {
  if (!(object->dwType & DIDFT_AXIS)) return DIENUM_CONTINUE;
  DIPROPRANGE range{};
  range.diph.dwSize = sizeof range;
  range.diph.dwHeaderSize = sizeof range.diph;
  range.diph.dwHow = DIPH_BYID;
  range.diph.dwObj = object->dwType;
  range.lMin = -1000;
  range.lMax = 1000;
  auto* device = static_cast<AxisRangeContext*>(context)->device;
  return FAILED(device->SetProperty(DIPROP_RANGE, &range.diph)) ? DIENUM_STOP : DIENUM_CONTINUE;
}

struct ControllerSearch {
  IDirectInput8A* directInput;
  ComPtr<IDirectInputDevice8A>* out;
};

// Takes the first controller that can be created.
BOOL createFirstController(const DIDEVICEINSTANCEA* instance, void* context) {
  auto* search = static_cast<ControllerSearch*>(context);
  IDirectInputDevice8A* device = nullptr;
  if (FAILED(search->directInput->CreateDevice(instance->guidInstance, &device, nullptr))) return DIENUM_CONTINUE;
  *search->out = ComPtr<IDirectInputDevice8A>(device);
  return DIENUM_STOP;
}

}  // namespace

DirectInputDevice::DirectInputDevice(int width, int height)
    : m_rangeWidth(width), m_rangeHeight(height), m_items(kBufferItems) {
  reset();
}

DirectInputDevice::~DirectInputDevice() {
  if (m_mouse) m_mouse->Unacquire();
  if (m_keyboard) m_keyboard->Unacquire();
  if (m_joystick) m_joystick->Unacquire();
}

bool DirectInputDevice::createBuffered(const GUID& guid, const DIDATAFORMAT& format, DWORD cooperation, HWND window,
                                       ComPtr<IDirectInputDevice8A>& out) {
  if (FAILED(m_directInput->CreateDevice(guid, out.put(), nullptr))) return false;
  if (FAILED(out->SetDataFormat(&format))) return false;
  out->SetCooperativeLevel(window, cooperation);  // refused only for a bad window; the device still works
  DIPROPDWORD size{};
  size.diph.dwSize = sizeof size;
  size.diph.dwHeaderSize = sizeof size.diph;
  size.diph.dwHow = DIPH_DEVICE;
  size.dwData = kBufferItems;
  return SUCCEEDED(out->SetProperty(DIPROP_BUFFERSIZE, &size.diph));
}

bool DirectInputDevice::init(HWND window) {
  void* created = nullptr;
  if (FAILED(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created, nullptr))) return false;
  m_directInput = ComPtr<IDirectInput8A>(static_cast<IDirectInput8A*>(created));

  if (!createBuffered(GUID_SysMouse, c_dfDIMouse, DISCL_EXCLUSIVE | DISCL_FOREGROUND, window, m_mouse)) return false;
  if (!createBuffered(GUID_SysKeyboard, c_dfDIKeyboard, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, window, m_keyboard))
    return false;

  ControllerSearch search{m_directInput.get(), &m_joystick};
  m_directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, createFirstController, &search, DIEDFL_ATTACHEDONLY);
  if (m_joystick) {
    if (FAILED(m_joystick->SetDataFormat(&c_dfDIJoystick))) return false;
    if (FAILED(m_joystick->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND))) return false;
    AxisRangeContext context{m_joystick.get()};
    if (FAILED(m_joystick->EnumObjects(setAxisRange, &context, DIDFT_ALL))) return false;
    m_joystick->Acquire();
  }

  m_mouse->Acquire();
  m_keyboard->Acquire();
  return true;
}

void DirectInputDevice::reset() {
  if (m_mouse) m_mouse->Acquire();
  if (m_keyboard) m_keyboard->Acquire();
  if (m_joystick) m_joystick->Acquire();
  InputDevice::reset();
}

void DirectInputDevice::setMouseRange(int width, int height) {
  m_rangeWidth = width;
  m_rangeHeight = height;
}

// A device answers "input lost" once per loss and refuses Acquire while the
// window is in the background, so this ends; the bound is a guard only.
void DirectInputDevice::reacquire(IDirectInputDevice8A* device) {
  for (int tries = 0; tries < 16 && device->Acquire() == DIERR_INPUTLOST; ++tries) {
  }
}

// Items read with DI_BUFFEROVERFLOW are still valid (only older ones were
// dropped), so they are used: skipping them would lose button and key
// releases and leave them held.
bool DirectInputDevice::readMouse() {
  DWORD count = kBufferItems;
  const HRESULT hr = m_mouse->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), m_items.data(), &count, 0);
  if (FAILED(hr)) {
    reacquire(m_mouse.get());
    return false;
  }
  for (DWORD i = 0; i < count; ++i) {
    const DIDEVICEOBJECTDATA& item = m_items[i];
    const int value = static_cast<int>(static_cast<LONG>(item.dwData));
    switch (item.dwOfs) {
      case DIMOFS_X:
        m_mouseDelta[0] += value;
        break;
      case DIMOFS_Y:
        m_mouseDelta[1] += value;
        break;
      case DIMOFS_Z:
        m_mouseDelta[2] += value;
        break;
      case DIMOFS_BUTTON0:
      case DIMOFS_BUTTON1:
      case DIMOFS_BUTTON2:
        m_mouseButton[item.dwOfs - DIMOFS_BUTTON0] = (item.dwData & 0x80) ? 1 : 0;
        break;
      default:
        break;
    }
  }
  m_mousePos[0] = std::clamp(m_mousePos[0] + m_mouseDelta[0], 0, std::max(m_rangeWidth, 0));
  m_mousePos[1] = std::clamp(m_mousePos[1] + m_mouseDelta[1], 0, std::max(m_rangeHeight, 0));
  return true;
}

bool DirectInputDevice::readKeyboard() {
  DWORD count = kBufferItems;
  const HRESULT hr = m_keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), m_items.data(), &count, 0);
  if (FAILED(hr)) {
    reacquire(m_keyboard.get());
    return false;
  }
  for (DWORD i = 0; i < count; ++i) {
    const DIDEVICEOBJECTDATA& item = m_items[i];
    if (item.dwOfs > 255) continue;
    m_key[item.dwOfs] = (item.dwData & 0x80) ? 1 : 0;
    m_lastKey = item.dwOfs;
  }
  return true;
}

bool DirectInputDevice::update() {
  InputDevice::update();
  if (m_mouse && !readMouse()) return true;
  if (m_keyboard && !readKeyboard()) return true;
  if (m_joystick) {
    std::memset(m_joyAxis + 6, 0, 6 * sizeof(int));
    if (FAILED(m_joystick->Poll())) {
      // A controller that is gone (unplugged, or the window lost the focus)
      // holds nothing: a stick held at that moment must not keep steering.
      std::memset(m_joyAxis, 0, sizeof m_joyAxis);
      std::memset(m_joyButton, 0, sizeof m_joyButton);
      reacquire(m_joystick.get());
      return true;
    }
    DIJOYSTATE state{};
    if (FAILED(m_joystick->GetDeviceState(sizeof state, &state))) return false;
    const LONG axes[6] = {state.lX, state.lY, state.lZ, state.lRx, state.lRy, state.lRz};
    for (int i = 0; i < 6; ++i) m_joyAxis[i] = m_joyAxis[i + 6] = axes[i];
    for (int i = 0; i < kJoystickButtons; ++i) m_joyButton[i] = state.rgbButtons[i] ? 1 : 0;
  }
  return true;
}
