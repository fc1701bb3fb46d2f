// SDL scancode -> virtual key and DirectInput code, for a US layout.
#include "platform/input/key_codes.h"

#include <SDL.h>

#include <array>

namespace {

struct Entry {
  SDL_Scancode scancode;
  BYTE virtualKey;
  BYTE dik;
};

constexpr Entry kEntries[] = {
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01},
    {SDL_SCANCODE_1, '1', 0x02},
    {SDL_SCANCODE_2, '2', 0x03},
    {SDL_SCANCODE_3, '3', 0x04},
    {SDL_SCANCODE_4, '4', 0x05},
    {SDL_SCANCODE_5, '5', 0x06},
    {SDL_SCANCODE_6, '6', 0x07},
    {SDL_SCANCODE_7, '7', 0x08},
    {SDL_SCANCODE_8, '8', 0x09},
    {SDL_SCANCODE_9, '9', 0x0A},
    {SDL_SCANCODE_0, '0', 0x0B},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS, 0x0D},
    {SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E},
    {SDL_SCANCODE_TAB, VK_TAB, 0x0F},
    {SDL_SCANCODE_Q, 'Q', 0x10},
    {SDL_SCANCODE_W, 'W', 0x11},
    {SDL_SCANCODE_E, 'E', 0x12},
    {SDL_SCANCODE_R, 'R', 0x13},
    {SDL_SCANCODE_T, 'T', 0x14},
    {SDL_SCANCODE_Y, 'Y', 0x15},
    {SDL_SCANCODE_U, 'U', 0x16},
    {SDL_SCANCODE_I, 'I', 0x17},
    {SDL_SCANCODE_O, 'O', 0x18},
    {SDL_SCANCODE_P, 'P', 0x19},
    {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6, 0x1B},
    {SDL_SCANCODE_RETURN, VK_RETURN, 0x1C},
    {SDL_SCANCODE_LCTRL, VK_LCONTROL, 0x1D},
    {SDL_SCANCODE_A, 'A', 0x1E},
    {SDL_SCANCODE_S, 'S', 0x1F},
    {SDL_SCANCODE_D, 'D', 0x20},
    {SDL_SCANCODE_F, 'F', 0x21},
    {SDL_SCANCODE_G, 'G', 0x22},
    {SDL_SCANCODE_H, 'H', 0x23},
    {SDL_SCANCODE_J, 'J', 0x24},
    {SDL_SCANCODE_K, 'K', 0x25},
    {SDL_SCANCODE_L, 'L', 0x26},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1, 0x27},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7, 0x28},
    {SDL_SCANCODE_GRAVE, VK_OEM_3, 0x29},
    {SDL_SCANCODE_LSHIFT, VK_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5, 0x2B},
    {SDL_SCANCODE_NONUSHASH, VK_OEM_5, 0x2B},
    {SDL_SCANCODE_Z, 'Z', 0x2C},
    {SDL_SCANCODE_X, 'X', 0x2D},
    {SDL_SCANCODE_C, 'C', 0x2E},
    {SDL_SCANCODE_V, 'V', 0x2F},
    {SDL_SCANCODE_B, 'B', 0x30},
    {SDL_SCANCODE_N, 'N', 0x31},
    {SDL_SCANCODE_M, 'M', 0x32},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD, 0x34},
    {SDL_SCANCODE_SLASH, VK_OEM_2, 0x35},
    {SDL_SCANCODE_RSHIFT, VK_RSHIFT, 0x36},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37},
    {SDL_SCANCODE_LALT, VK_LMENU, 0x38},
    {SDL_SCANCODE_SPACE, VK_SPACE, 0x39},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0x3A},
    {SDL_SCANCODE_F1, VK_F1 + 0, 0x3B},
    {SDL_SCANCODE_F2, VK_F1 + 1, 0x3C},
    {SDL_SCANCODE_F3, VK_F1 + 2, 0x3D},
    {SDL_SCANCODE_F4, VK_F1 + 3, 0x3E},
    {SDL_SCANCODE_F5, VK_F1 + 4, 0x3F},
    {SDL_SCANCODE_F6, VK_F1 + 5, 0x40},
    {SDL_SCANCODE_F7, VK_F1 + 6, 0x41},
    {SDL_SCANCODE_F8, VK_F1 + 7, 0x42},
    {SDL_SCANCODE_F9, VK_F1 + 8, 0x43},
    {SDL_SCANCODE_F10, VK_F1 + 9, 0x44},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK, 0x45},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL, 0x46},
    {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7, 0x47},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8, 0x48},
    {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9, 0x49},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT, 0x4A},
    {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4, 0x4B},
    {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5, 0x4C},
    {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6, 0x4D},
    {SDL_SCANCODE_KP_PLUS, VK_ADD, 0x4E},
    {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1, 0x4F},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2, 0x50},
    {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3, 0x51},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0 + 0, 0x52},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, 0x53},
    {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102, 0x56},
    {SDL_SCANCODE_F11, VK_F1 + 10, 0x57},
    {SDL_SCANCODE_F12, VK_F1 + 11, 0x58},
    {SDL_SCANCODE_F13, VK_F1 + 12, 0x64},
    {SDL_SCANCODE_F14, VK_F1 + 13, 0x65},
    {SDL_SCANCODE_F15, VK_F1 + 14, 0x66},
    {SDL_SCANCODE_INTERNATIONAL2, VK_KANA, 0x70},
    {SDL_SCANCODE_INTERNATIONAL4, VK_CONVERT, 0x79},
    {SDL_SCANCODE_INTERNATIONAL5, VK_NONCONVERT, 0x7B},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN, 0x9C},
    {SDL_SCANCODE_RCTRL, VK_RCONTROL, 0x9D},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, 0xB5},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT, 0xB7},
    {SDL_SCANCODE_RALT, VK_RMENU, 0xB8},
    {SDL_SCANCODE_PAUSE, VK_PAUSE, 0xC5},
    {SDL_SCANCODE_HOME, VK_HOME, 0xC7},
    {SDL_SCANCODE_UP, VK_UP, 0xC8},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR, 0xC9},
    {SDL_SCANCODE_LEFT, VK_LEFT, 0xCB},
    {SDL_SCANCODE_RIGHT, VK_RIGHT, 0xCD},
    {SDL_SCANCODE_END, VK_END, 0xCF},
    {SDL_SCANCODE_DOWN, VK_DOWN, 0xD0},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT, 0xD1},
    {SDL_SCANCODE_INSERT, VK_INSERT, 0xD2},
    {SDL_SCANCODE_DELETE, VK_DELETE, 0xD3},
    {SDL_SCANCODE_LGUI, VK_LWIN, 0xDB},
    {SDL_SCANCODE_RGUI, VK_RWIN, 0xDC},
    {SDL_SCANCODE_APPLICATION, VK_APPS, 0xDD},
    {SDL_SCANCODE_SLEEP, VK_SLEEP, 0xDF},
};

std::array<KeyCodes, SDL_NUM_SCANCODES> buildTable() {
  std::array<KeyCodes, SDL_NUM_SCANCODES> table{};
  for (const Entry& e : kEntries) table[e.scancode] = {e.virtualKey, e.dik};
  return table;
}

const std::array<KeyCodes, SDL_NUM_SCANCODES>& table() {
  static const std::array<KeyCodes, SDL_NUM_SCANCODES> t = buildTable();
  return t;
}

}  // namespace

KeyCodes keyCodesForScancode(int sdlScancode) {
  if (sdlScancode < 0 || sdlScancode >= SDL_NUM_SCANCODES) return {0, 0};
  return table()[static_cast<std::size_t>(sdlScancode)];
}

KeyScan keyScanForDik(BYTE dik) {
  if (dik == DIK_NUMLOCK) return {0x45, true};
  if (dik == DIK_PAUSE) return {0x45, false};
  return {static_cast<BYTE>(dik & 0x7F), (dik & 0x80) != 0};
}

BYTE messageVirtualKey(BYTE vk) {
  switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT:
      return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
      return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
      return VK_MENU;
    default:
      return vk;
  }
}

LPARAM keystrokeLParam(BYTE dik, bool keyUp, bool repeat, bool altDown) {
  const KeyScan scan = keyScanForDik(dik);
  std::uint32_t bits = 1;  // repeat count
  bits |= static_cast<std::uint32_t>(scan.scanCode) << 16;
  if (scan.extended) bits |= 1u << 24;
  if (altDown) bits |= 1u << 29;
  if (keyUp || repeat) bits |= 1u << 30;
  if (keyUp) bits |= 1u << 31;
  // lParam is a 32-bit value on the system these codes come from; keep the
  // high bit as bit 31, not as a sign spread over 64 bits.
  return static_cast<LPARAM>(bits);
}

BYTE keypadNavigationKey(BYTE dik) {
  switch (dik) {
    case 0x47:
      return VK_HOME;
    case 0x48:
      return VK_UP;
    case 0x49:
      return VK_PRIOR;
    case 0x4B:
      return VK_LEFT;
    case 0x4C:
      return VK_CLEAR;
    case 0x4D:
      return VK_RIGHT;
    case 0x4F:
      return VK_END;
    case 0x50:
      return VK_DOWN;
    case 0x51:
      return VK_NEXT;
    case 0x52:
      return VK_INSERT;
    case 0x53:
      return VK_DELETE;
    default:
      return 0;
  }
}
