// Internal to platform/: what the graphics device needs to know of the SDL
// windows behind our window handles. Not for engine code.
#pragma once

#include <SDL.h>

#include "platform/window/window.h"

// Starts SDL's video subsystem once for the process (it stays up until exit,
// so that no window or context outlives it). False when no video driver works.
bool ensureSdlVideo();

// The SDL window behind a handle; null for unknown handles.
SDL_Window* sdlWindowOf(HWND window);

// True once the window has been shown since it was made.
bool windowWasShown(HWND window);

// The cursor back to the arrow with display count 0 (resetWindowSystem).
void resetCursor();
