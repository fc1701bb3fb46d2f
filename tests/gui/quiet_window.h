// A window of a test's own for a graphics device to draw on: it answers
// every message with the default handling.
#pragma once

#include "platform/window/window.h"

inline LRESULT quietWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// Registers `className` and opens a width x height window of it; nullptr
// when either fails.
inline HWND openQuietWindow(const char* className, int width, int height) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = quietWindowProc;
  wc.lpszClassName = className;
  if (RegisterClassA(&wc) == 0) return nullptr;
  return CreateWindowExA(0, className, className, WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr, nullptr, nullptr,
                         nullptr);
}
