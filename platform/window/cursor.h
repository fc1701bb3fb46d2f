// The mouse cursor in the terms the engine asks about: where it is, for the
// window-message input device, and whether the system draws it
// (SetCursor, ShowCursor), for screens that draw a pointer of their own.
#pragma once

#include <cstdint>

#include "platform/window/window.h"

// A cursor shape: the system arrow or the system cross.
struct CursorHandle;
using HCURSOR = CursorHandle*;

inline const char* const IDC_ARROW = reinterpret_cast<const char*>(std::uintptr_t{32512});
inline const char* const IDC_CROSS = reinterpret_cast<const char*>(std::uintptr_t{32515});

// The system arrow for (null, IDC_ARROW), the cross for (null, IDC_CROSS);
// null for any other resource.
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
// Programs here carry no icon resources: always null, and a class without
// an icon gets the desktop's.
void* LoadIconA(HINSTANCE instance, const char* name);
// Makes `cursor` the shape over our windows and returns the one before;
// null removes the cursor from the screen until a shape is set again.
HCURSOR SetCursor(HCURSOR cursor);
// Raises (show) or lowers the display count and returns it; the cursor is
// drawn while the count is 0 or more and a shape is set. The count starts
// at 0.
int ShowCursor(BOOL show);
// Not Win32: whether the system draws the cursor now (SDL's state), for tests.
bool systemCursorShown();

// True when the cursor is over `window` (it has SDL's mouse focus), inside
// its client rectangle in screen coordinates and exactly at that rectangle's
// centre ((left + right) / 2, (top + bottom) / 2, integer division).
bool cursorAtClientCentre(HWND window);
