// Window messages into the input state block.
#include "input/window_input_device.h"

#include "foundation/report.h"
#include "platform/input/key_codes.h"
#include "platform/system/system.h"
#include "platform/window/cursor.h"

namespace {

// Virtual key -> DirectInput key code; every key not listed has none.
constexpr std::uint8_t kKeyTable[][2] = {
    {0x08, 0x0E}, {0x09, 0x0F}, {0x0D, 0x1C}, {0x10, 0x2A}, {0x11, 0x1D}, {0x12, 0x38}, {0x13, 0xC5}, {0x14, 0x3A},
    {0x15, 0x70}, {0x19, 0x94}, {0x1B, 0x01}, {0x1C, 0x79}, {0x1D, 0x7B}, {0x20, 0x39}, {0x21, 0xC9}, {0x22, 0xD1},
    {0x23, 0xCF}, {0x24, 0xC7}, {0x25, 0xCB}, {0x26, 0xC8}, {0x27, 0xCD}, {0x28, 0xD0}, {0x2A, 0xB7}, {0x2D, 0xD2},
    {0x2E, 0xD3}, {0x30, 0x0B}, {0x31, 0x02}, {0x32, 0x03}, {0x33, 0x04}, {0x34, 0x05}, {0x35, 0x06}, {0x36, 0x07},
    {0x37, 0x08}, {0x38, 0x09}, {0x39, 0x0A}, {0x41, 0x1E}, {0x42, 0x30}, {0x43, 0x2E}, {0x44, 0x20}, {0x45, 0x12},
    {0x46, 0x21}, {0x47, 0x22}, {0x48, 0x23}, {0x49, 0x17}, {0x4A, 0x24}, {0x4B, 0x25}, {0x4C, 0x26}, {0x4D, 0x32},
    {0x4E, 0x31}, {0x4F, 0x18}, {0x50, 0x19}, {0x51, 0x10}, {0x52, 0x13}, {0x53, 0x1F}, {0x54, 0x14}, {0x55, 0x16},
    {0x56, 0x2F}, {0x57, 0x11}, {0x58, 0x2D}, {0x59, 0x15}, {0x5A, 0x2C}, {0x5B, 0xDB}, {0x5C, 0xDC}, {0x5D, 0xDD},
    {0x5F, 0xDF}, {0x60, 0x52}, {0x61, 0x4F}, {0x62, 0x50}, {0x63, 0x51}, {0x64, 0x4B}, {0x65, 0x4C}, {0x66, 0x4D},
    {0x67, 0x47}, {0x68, 0x48}, {0x69, 0x49}, {0x6A, 0x37}, {0x6B, 0x4E}, {0x6C, 0x9C}, {0x6D, 0x4A}, {0x6E, 0x53},
    {0x6F, 0xB5}, {0x70, 0x3B}, {0x71, 0x3C}, {0x72, 0x3D}, {0x73, 0x3E}, {0x74, 0x3F}, {0x75, 0x40}, {0x76, 0x41},
    {0x77, 0x42}, {0x78, 0x43}, {0x79, 0x44}, {0x7A, 0x57}, {0x7B, 0x58}, {0x7C, 0x64}, {0x7D, 0x65}, {0x7E, 0x66},
    {0x90, 0x45}, {0x91, 0x46}, {0xA0, 0x2A}, {0xA1, 0x36}, {0xA2, 0x1D}, {0xA3, 0x9D}, {0xA4, 0x38}, {0xA5, 0xB8},
    {0xBA, 0x27}, {0xBB, 0x0D}, {0xBC, 0x33}, {0xBD, 0x0C}, {0xBE, 0x34}, {0xBF, 0x35}, {0xC0, 0x29}, {0xDB, 0x1A},
    {0xDC, 0x2B}, {0xDD, 0x1B}, {0xDE, 0x28}, {0xE1, 0x96}, {0xE2, 0x56},
};
static_assert(sizeof kKeyTable / sizeof kKeyTable[0] == 117);

constexpr LPARAM kExtendedKey = LPARAM{1} << 24;
constexpr LPARAM kPreviouslyDown = LPARAM{1} << 30;

int signedLow(std::uintptr_t v) { return static_cast<std::int16_t>(LOWORD(v)); }
int signedHigh(std::uintptr_t v) { return static_cast<std::int16_t>(HIWORD(v)); }

}  // namespace

WindowInputDevice::WindowInputDevice(Clock clock) : m_clock(std::move(clock)) {
  if (!m_clock) m_clock = [] { return static_cast<std::uint32_t>(timeGetTime()); };
  reset();
  for (auto& code : m_keyMap) code = 0xFF;
  for (const auto& entry : kKeyTable) m_keyMap[entry[0]] = entry[1];
}

WindowInputDevice::~WindowInputDevice() = default;

bool WindowInputDevice::init(HWND window) {
  m_mouseTracking = true;
  m_window = window;
  setMouseTimer();
  return true;
}

bool WindowInputDevice::update() {
  runMouseTimerIfDue();
  return InputDevice::update();
}

std::uint8_t WindowInputDevice::translateKey(WPARAM virtualKey, LPARAM keystroke) const {
  ENGINE_ASSERT(virtualKey < 256 && "wParam < 256");
  BYTE vk = static_cast<BYTE>(virtualKey & 0xFF);
  if (keystroke & kExtendedKey) {
    if (vk == VK_CONTROL) vk = VK_RCONTROL;
    if (vk == VK_MENU) vk = VK_RMENU;
    // The keypad Enter is the extended Return; without this the second
    // player's respawn key could never be pressed in a window.
    if (vk == VK_RETURN) return DIK_NUMPADENTER;
  }
  return m_keyMap[vk];
}

LRESULT WindowInputDevice::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  runMouseTimerIfDue();
  switch (message) {
    case WM_KEYDOWN:
      if (!(lParam & kPreviouslyDown)) m_key[translateKey(wParam, lParam)] = 1;
      break;
    case WM_KEYUP:
      m_key[translateKey(wParam, lParam)] = 0;
      break;
    case WM_CHAR:
      m_lastKey = static_cast<std::uint32_t>(wParam);
      break;
    case WM_MOUSEMOVE: {
      const int x = signedLow(static_cast<std::uintptr_t>(lParam));
      const int y = signedHigh(static_cast<std::uintptr_t>(lParam));
      if (m_mouseTracking) {
        m_mouseDelta[0] += x - m_mousePos[0];
        m_mouseDelta[1] += y - m_mousePos[1];
      }
      m_mousePos[0] = x;
      m_mousePos[1] = y;
      m_mouseTracking = true;
      setMouseTimer();
    }
      [[fallthrough]];
    case WM_MOUSEWHEEL:
      m_mouseDelta[2] += signedHigh(wParam);
      [[fallthrough]];
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      m_mouseButton[0] = (wParam & MK_LBUTTON) ? 1 : 0;
      m_mouseButton[1] = (wParam & MK_RBUTTON) ? 1 : 0;
      m_mouseButton[2] = (wParam & MK_MBUTTON) ? 1 : 0;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The window layer has no timer messages, so the 250 ms timer is kept here
// and fires when the device next sees a message or an update after it fell
// due, before that message is handled, as a queued timer message would.
void WindowInputDevice::setMouseTimer() {
  m_timerSet = true;
  m_timerDue = m_clock() + kMouseTimerPeriod;
}

void WindowInputDevice::runMouseTimerIfDue() {
  if (!m_timerSet) return;
  const std::uint32_t now = m_clock();
  if (static_cast<std::int32_t>(now - m_timerDue) < 0) return;
  m_timerDue = now + kMouseTimerPeriod;
  onMouseTimer();
}

void WindowInputDevice::onMouseTimer() {
  if (!m_mouseTracking) return;
  m_mouseTracking = cursorAtClientCentre(m_window);
}
