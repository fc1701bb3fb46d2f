// The keyboard-layout calls the GUI uses to turn DirectInput key codes into
// characters: the thread's layout, the keyboard state by virtual key, scan
// code to virtual key, and virtual key plus state to a character of the
// single-byte (Latin-1) code page. Characters come from SDL's key map of the
// current system layout; Shift and Caps Lock are applied here.
#pragma once

#include "platform/win32_types.h"

struct KeyboardLayoutHandle;
using HKL = KeyboardLayoutHandle*;

inline constexpr UINT MAPVK_VK_TO_VSC = 0;
inline constexpr UINT MAPVK_VSC_TO_VK = 1;
inline constexpr UINT MAPVK_VK_TO_CHAR = 2;
inline constexpr UINT MAPVK_VSC_TO_VK_EX = 3;

// The one layout there is (SDL's current key map); never null.
HKL GetKeyboardLayout(DWORD threadId);

// 256 bytes by virtual key: 0x80 = down, 0x01 = toggled (Caps Lock, Num
// Lock, Scroll Lock). Both the generic (VK_SHIFT) and the sided (VK_LSHIFT)
// entries are filled, and the mouse buttons. Modifier keys follow SDL's
// modifier state, other keys SDL's keyboard state. False when state is null.
BOOL GetKeyboardState(BYTE* keyState);

// Type 1 (scan code to virtual key) folds the sides (VK_SHIFT) and gives
// keypad scan codes their navigation keys, as a US layout does without Num
// Lock; type 3 keeps the sides. Extended keys are given with 0xE0 in the high
// byte (0xE048) or, as DirectInput codes are, with bit 7 set (0xC8). Type 0
// gives a virtual key's scan code, type 2 its unshifted character. 0 when
// there is no mapping.
UINT MapVirtualKeyExA(UINT code, UINT mapType, HKL layout);

// 1 with the character in the low byte of *out, or 0 when the key makes none
// (navigation and function keys, Alt without Ctrl, characters outside
// Latin-1). Reads the high bits of keyState[VK_SHIFT], [VK_CONTROL] and
// [VK_MENU] and the Caps Lock toggle. Ctrl+Alt (AltGr) combinations make
// nothing: SDL's key map holds only the unshifted character.
int ToAsciiEx(UINT virtualKey, UINT scanCode, const BYTE* keyState, WORD* out, UINT flags, HKL layout);
