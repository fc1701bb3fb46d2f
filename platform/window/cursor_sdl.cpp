// The cursor on SDL: its visibility is SDL's cursor switch; the position
// queries read SDL's mouse state.
#include <SDL.h>

#include "platform/window/cursor.h"
#include "platform/window/sdl_video.h"

struct CursorHandle {
  SDL_SystemCursor shape;
  SDL_Cursor* sdl = nullptr;  // made once video runs; kept for the process
};

namespace {

CursorHandle g_arrow{SDL_SYSTEM_CURSOR_ARROW};
CursorHandle g_cross{SDL_SYSTEM_CURSOR_CROSSHAIR};
HCURSOR g_cursor = &g_arrow;
int g_displayCount = 0;

void applyCursor() {
  // Before the video subsystem starts there is no cursor to switch; every
  // later call applies the whole state again.
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  if (g_cursor) {
    if (!g_cursor->sdl) g_cursor->sdl = SDL_CreateSystemCursor(g_cursor->shape);
    if (g_cursor->sdl) SDL_SetCursor(g_cursor->sdl);
  }
  SDL_ShowCursor(g_cursor && g_displayCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

}  // namespace

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
  if (instance) return nullptr;
  if (name == IDC_ARROW) return &g_arrow;
  if (name == IDC_CROSS) return &g_cross;
  return nullptr;
}

void* LoadIconA(HINSTANCE, const char*) { return nullptr; }

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = g_cursor;
  g_cursor = cursor;
  applyCursor();
  return previous;
}

int ShowCursor(BOOL show) {
  g_displayCount += show ? 1 : -1;
  applyCursor();
  return g_displayCount;
}

bool systemCursorShown() { return SDL_WasInit(SDL_INIT_VIDEO) && SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE; }

void resetCursor() {
  g_cursor = &g_arrow;
  g_displayCount = 0;
  applyCursor();
}

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
