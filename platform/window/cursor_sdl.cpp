// Cursor queries on SDL's mouse state.
#include <SDL.h>

#include "platform/window/cursor.h"
#include "platform/window/sdl_video.h"

bool cursorAtClientCentre(HWND window) {
  SDL_Window* sdl = sdlWindowOf(window);
  if (!sdl || SDL_GetMouseFocus() != sdl) return false;
  int cursorX = 0, cursorY = 0;
  SDL_GetGlobalMouseState(&cursorX, &cursorY);
  int left = 0, top = 0, width = 0, height = 0;
  SDL_GetWindowPosition(sdl, &left, &top);
  SDL_GetWindowSize(sdl, &width, &height);
  const int right = left + width, bottom = top + height;
  if (cursorX < left || cursorX >= right || cursorY < top || cursorY >= bottom) return false;
  return cursorX == (left + right) / 2 && cursorY == (top + bottom) / 2;
}
