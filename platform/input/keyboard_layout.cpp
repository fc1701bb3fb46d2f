// Keyboard layout stand-ins on SDL's key map. Virtual keys and scan codes
// (DirectInput codes) are the positions platform/key_codes.cpp gives; the
// character on a position is what SDL reports for the system layout.
#include "platform/input/keyboard_layout.h"

#include <SDL.h>

#include <array>

#include "platform/input/key_codes.h"
#include "platform/window/sdl_video.h"

struct KeyboardLayoutHandle {
  int unused;
};

namespace {

KeyboardLayoutHandle g_layout{0};

struct ReverseTables {
  std::array<int, 256> scancodeByDik{};
  std::array<int, 256> scancodeBySidedVk{};
};

const ReverseTables& reverse() {
  static const ReverseTables tables = [] {
    ReverseTables t;
    t.scancodeByDik.fill(SDL_SCANCODE_UNKNOWN);
    t.scancodeBySidedVk.fill(SDL_SCANCODE_UNKNOWN);
    // The first scancode of a code wins (Backslash before the non-US hash).
    for (int sc = SDL_NUM_SCANCODES - 1; sc > 0; --sc) {
      const KeyCodes codes = keyCodesForScancode(sc);
      if (codes.dik) t.scancodeByDik[codes.dik] = sc;
      if (codes.virtualKey) t.scancodeBySidedVk[codes.virtualKey] = sc;
    }
    return t;
  }();
  return tables;
}

// A virtual key as folded window messages carry it -> one of its scancodes.
int scancodeForVk(UINT vk) {
  switch (vk) {
    case VK_SHIFT:
      return SDL_SCANCODE_LSHIFT;
    case VK_CONTROL:
      return SDL_SCANCODE_LCTRL;
    case VK_MENU:
      return SDL_SCANCODE_LALT;
    default:
      return vk < 256 ? reverse().scancodeBySidedVk[vk] : SDL_SCANCODE_UNKNOWN;
  }
}

// A scan code as MapVirtualKeyExA takes it -> DirectInput code; 0 if none.
UINT dikFromScan(UINT code) {
  if ((code & 0xFF00) == 0xE000) return (code & 0x7F) | 0x80;
  if (code < 0x100) return code;
  return 0;
}

bool isLowerLetter(unsigned c) { return (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7); }

// The character SDL's key map puts on a scancode, when it is a printable
// Latin-1 one.
unsigned baseCharacter(int scancode) {
  if (scancode <= SDL_SCANCODE_UNKNOWN || scancode >= SDL_NUM_SCANCODES) return 0;
  // SDL loads the system's key map with its video subsystem.
  if (!ensureSdlVideo()) return 0;
  const SDL_Keycode key = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(scancode));
  if (key & SDLK_SCANCODE_MASK) return 0;
  if (key < 0x20 || key == 0x7F || key > 0xFF) return 0;
  return static_cast<unsigned>(key);
}

unsigned shiftedSymbol(unsigned c) {
  static const char kPairs[] = "1!2@3#4$5%6^7&8*9(0)-_=+[{]}\\|;:'\",<.>/?`~";
  for (const char* p = kPairs; p[0] && p[1]; p += 2)
    if (static_cast<unsigned char>(p[0]) == c) return static_cast<unsigned char>(p[1]);
  return c;
}

}  // namespace

HKL GetKeyboardLayout(DWORD) { return &g_layout; }

BOOL GetKeyboardState(BYTE* keyState) {
  if (!keyState) return 0;
  for (int i = 0; i < 256; ++i) keyState[i] = 0;
  int count = 0;
  const Uint8* held = SDL_GetKeyboardState(&count);
  for (int sc = 0; held && sc < count; ++sc) {
    if (!held[sc]) continue;
    const BYTE vk = keyCodesForScancode(sc).virtualKey;
    if (vk == 0 || messageVirtualKey(vk) != vk) continue;  // modifiers come from the modifier state
    keyState[vk] |= 0x80;
  }
  const SDL_Keymod mod = SDL_GetModState();
  auto set = [&](SDL_Keymod bit, BYTE sided, BYTE generic) {
    if (!(mod & bit)) return;
    keyState[sided] |= 0x80;
    keyState[generic] |= 0x80;
  };
  set(KMOD_LSHIFT, VK_LSHIFT, VK_SHIFT);
  set(KMOD_RSHIFT, VK_RSHIFT, VK_SHIFT);
  set(KMOD_LCTRL, VK_LCONTROL, VK_CONTROL);
  set(KMOD_RCTRL, VK_RCONTROL, VK_CONTROL);
  set(KMOD_LALT, VK_LMENU, VK_MENU);
  set(KMOD_RALT, VK_RMENU, VK_MENU);
  if (mod & KMOD_CAPS) keyState[VK_CAPITAL] |= 0x01;
  if (mod & KMOD_NUM) keyState[VK_NUMLOCK] |= 0x01;
  if (mod & KMOD_SCROLL) keyState[VK_SCROLL] |= 0x01;
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    if (buttons & SDL_BUTTON_LMASK) keyState[VK_LBUTTON] |= 0x80;
    if (buttons & SDL_BUTTON_RMASK) keyState[VK_RBUTTON] |= 0x80;
    if (buttons & SDL_BUTTON_MMASK) keyState[VK_MBUTTON] |= 0x80;
  }
  return 1;
}

UINT MapVirtualKeyExA(UINT code, UINT mapType, HKL) {
  switch (mapType) {
    case MAPVK_VSC_TO_VK:
    case MAPVK_VSC_TO_VK_EX: {
      const UINT dik = dikFromScan(code);
      if (dik == 0 || dik > 0xFF) return 0;
      if (const BYTE nav = keypadNavigationKey(static_cast<BYTE>(dik))) return nav;
      const BYTE vk = keyCodesForScancode(reverse().scancodeByDik[dik]).virtualKey;
      return mapType == MAPVK_VSC_TO_VK ? messageVirtualKey(vk) : vk;
    }
    case MAPVK_VK_TO_VSC: {
      const BYTE dik = keyCodesForScancode(scancodeForVk(code)).dik;
      return dik & 0x7F;
    }
    case MAPVK_VK_TO_CHAR: {
      unsigned c = baseCharacter(scancodeForVk(code));
      if (code >= VK_NUMPAD0 && code <= VK_NUMPAD0 + 9) c = '0' + (code - VK_NUMPAD0);
      return isLowerLetter(c) ? c - 0x20 : c;
    }
    default:
      return 0;
  }
}

int ToAsciiEx(UINT vk, UINT scanCode, const BYTE* keyState, WORD* out, UINT, HKL) {
  if (!keyState || !out || vk == 0 || vk > 0xFF) return 0;
  const bool shift = (keyState[VK_SHIFT] & 0x80) != 0;
  const bool ctrl = (keyState[VK_CONTROL] & 0x80) != 0;
  const bool alt = (keyState[VK_MENU] & 0x80) != 0;
  const bool caps = (keyState[VK_CAPITAL] & 0x01) != 0;
  if (alt) return 0;  // Alt alone makes no character; AltGr is not in SDL's key map

  unsigned c = 0;
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) {
    c = ctrl ? 0 : '0' + (vk - VK_NUMPAD0);
  } else {
    switch (vk) {
      case VK_MULTIPLY:
        c = ctrl ? 0 : '*';
        break;
      case VK_ADD:
        c = ctrl ? 0 : '+';
        break;
      case VK_SUBTRACT:
        c = ctrl ? 0 : '-';
        break;
      case VK_DIVIDE:
        c = ctrl ? 0 : '/';
        break;
      case VK_DECIMAL:
        c = ctrl ? 0 : '.';
        break;
      case VK_SPACE:
        c = ' ';
        break;
      case VK_RETURN:
        c = ctrl ? 0x0A : 0x0D;
        break;
      case VK_BACK:
        c = ctrl ? 0x7F : 0x08;
        break;
      case VK_TAB:
        c = ctrl ? 0 : 0x09;
        break;
      case VK_ESCAPE:
        c = 0x1B;
        break;
      default: {
        // The position: the scan code's when it is this key, else the
        // virtual key's own.
        int sc = reverse().scancodeByDik[scanCode & 0xFF];
        if (messageVirtualKey(keyCodesForScancode(sc).virtualKey) != vk) sc = scancodeForVk(vk);
        c = baseCharacter(sc);
        if (c == 0) return 0;
        const bool letter = isLowerLetter(c);
        if (ctrl) {
          if (c >= 'a' && c <= 'z') {
            c = c - 'a' + 1;
          } else if (c == '[' || c == '\\' || c == ']') {
            c = c - '[' + 0x1B;
          } else {
            c = 0;
          }
        } else if (letter) {
          if (shift != caps) c -= 0x20;
        } else if (shift) {
          c = shiftedSymbol(c);
        }
        break;
      }
    }
  }
  if (c == 0) return 0;
  *out = static_cast<WORD>(c);
  return 1;
}
