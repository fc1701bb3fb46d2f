// The main window's procedure and the globals the program shares.
#include "app/entry_point.h"
#include "input/input_device.h"

InputDevice* g_inputDevice = nullptr;
Gui* g_gui = nullptr;
HCURSOR g_cursor = nullptr;
std::uint8_t g_applicationActive = 1;
WORD g_languageId = 0;
float g_brightness = 0.5f, g_contrast = 0.5f, g_gamma = 1.0f;
bool g_windowClosed = false;

LRESULT mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_CLOSE:
      // The window stays until the shutdown releases the devices: the
      // drawing context lives in it, and the menu's teardown still draws.
      g_windowClosed = true;
      PostQuitMessage(0);
      return 0;
    case WM_ACTIVATE:
      // Losing the focus alone keeps the game running; only a minimised
      // window counts as inactive.
      if (LOWORD(wParam) != WA_INACTIVE && g_inputDevice) {
        g_inputDevice->reset();
        SetCursor(g_cursor);
        g_applicationActive = 1;
      }
      if (HIWORD(wParam) != 0) g_applicationActive = 0;
      return 0;
    case WM_PAINT:
      ValidateRect(window, nullptr);
      return 0;
    case WM_SETCURSOR:
      SetCursor(g_cursor);
      return 1;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER) return 0;
      break;
    default:
      break;
  }
  if (g_inputDevice) return g_inputDevice->handleMessage(window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}
