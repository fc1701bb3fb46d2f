// A window of a test's own for a graphics device to draw on: it answers
// every message with the default handling. Also the present parameters and
// device creation most tests on such a window share.
#pragma once

#include "platform/graphics/d3d9.h"
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

// Windowed on `window`: a width x height back buffer of `format` (a zero
// size follows the window), discarded when presented, presented at once,
// with a D24S8 depth-stencil buffer.
inline D3DPRESENT_PARAMETERS windowedPresentParameters(HWND window, UINT width, UINT height, D3DFORMAT format) {
  D3DPRESENT_PARAMETERS p{};
  p.Windowed = 1;
  p.BackBufferWidth = width;
  p.BackBufferHeight = height;
  p.BackBufferFormat = format;
  p.SwapEffect = D3DSWAPEFFECT_DISCARD;
  p.hDeviceWindow = window;
  p.EnableAutoDepthStencil = 1;
  p.AutoDepthStencilFormat = D3DFMT_D24S8;
  p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  return p;
}

// A device with hardware vertex processing on the parameters' window;
// D3D_OK or the error. The device may fill in what the parameters left
// open (a zero size).
inline HRESULT createWindowedDevice(IDirect3D9* d3d, D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) {
  return d3d->CreateDevice(0, D3DDEVTYPE_HAL, parameters->hDeviceWindow, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                           parameters, device);
}
