// Where the mouse cursor is, in the terms the window-message input device
// asks about.
#pragma once

#include "platform/win32_types.h"

// True when the cursor is over `window` (it has SDL's mouse focus), inside
// its client rectangle in screen coordinates and exactly at that rectangle's
// centre ((left + right) / 2, (top + bottom) / 2, integer division).
bool cursorAtClientCentre(HWND window);
