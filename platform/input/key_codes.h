// The one translation of SDL scancodes into the key codes the engine reads:
// Win32 virtual keys (window messages) and DirectInput key codes (set-1 scan
// codes, E0-prefixed keys + 0x80). The window pump and the input devices both
// use it. Scancodes are passed as int so callers need no SDL header.
#pragma once

#include "platform/win32_types.h"

// Virtual-key codes.
inline constexpr BYTE VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_MBUTTON = 0x04;
inline constexpr BYTE VK_BACK = 0x08, VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D;
inline constexpr BYTE VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14;
inline constexpr BYTE VK_KANA = 0x15, VK_KANJI = 0x19, VK_ESCAPE = 0x1B, VK_CONVERT = 0x1C, VK_NONCONVERT = 0x1D;
inline constexpr BYTE VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24;
inline constexpr BYTE VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28;
inline constexpr BYTE VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D, VK_DELETE = 0x2E;
inline constexpr BYTE VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D, VK_SLEEP = 0x5F;
inline constexpr BYTE VK_NUMPAD0 = 0x60, VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SEPARATOR = 0x6C;
inline constexpr BYTE VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70;
inline constexpr BYTE VK_NUMLOCK = 0x90, VK_SCROLL = 0x91;
inline constexpr BYTE VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1, VK_LCONTROL = 0xA2, VK_RCONTROL = 0xA3;
inline constexpr BYTE VK_LMENU = 0xA4, VK_RMENU = 0xA5;
inline constexpr BYTE VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC, VK_OEM_MINUS = 0xBD;
inline constexpr BYTE VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_OEM_4 = 0xDB;
inline constexpr BYTE VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE, VK_OEM_102 = 0xE2;

// DirectInput key codes the engine names.
inline constexpr BYTE DIK_ESCAPE = 0x01, DIK_RETURN = 0x1C, DIK_LCONTROL = 0x1D, DIK_LSHIFT = 0x2A;
inline constexpr BYTE DIK_RSHIFT = 0x36, DIK_LMENU = 0x38, DIK_SPACE = 0x39, DIK_NUMLOCK = 0x45;
inline constexpr BYTE DIK_NUMPADENTER = 0x9C, DIK_RCONTROL = 0x9D, DIK_RMENU = 0xB8, DIK_PAUSE = 0xC5;
inline constexpr BYTE DIK_HOME = 0xC7, DIK_UP = 0xC8, DIK_PRIOR = 0xC9, DIK_LEFT = 0xCB, DIK_RIGHT = 0xCD;
inline constexpr BYTE DIK_END = 0xCF, DIK_DOWN = 0xD0, DIK_NEXT = 0xD1, DIK_INSERT = 0xD2, DIK_DELETE = 0xD3;

struct KeyCodes {
  BYTE virtualKey;  // sided (VK_LSHIFT, not VK_SHIFT); 0 when the key has none
  BYTE dik;         // DirectInput code; 0 when the key has none
};

// Codes of one SDL scancode; {0, 0} for scancodes outside the table.
KeyCodes keyCodesForScancode(int sdlScancode);

// The key's Win32 scan code and extended flag as a keystroke lParam carries
// them: the DIK code without its 0x80, extended when it had it, except the
// crossed pair NUM LOCK (extended, DIK 0x45) and PAUSE (not extended, DIK 0xC5).
struct KeyScan {
  BYTE scanCode;
  bool extended;
};
KeyScan keyScanForDik(BYTE dik);

// The virtual key window messages carry: shifts, controls and alts folded to
// VK_SHIFT, VK_CONTROL and VK_MENU as WM_KEYDOWN reports them.
BYTE messageVirtualKey(BYTE sidedVirtualKey);

// Keystroke lParam: repeat count 1, scan code, extended bit, context (ALT
// held), previous state, transition.
LPARAM keystrokeLParam(BYTE dik, bool keyUp, bool repeat, bool altDown);

// The navigation key a keypad key stands for while Num Lock is off (keypad 7
// is Home, keypad 0 Insert, ...); 0 for other keys.
BYTE keypadNavigationKey(BYTE dik);
