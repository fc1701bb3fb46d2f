// A window of its own and a device on it, for the benchmarks that draw
// through the OpenGL backend: they need an X server (xvfb-run on a
// headless machine).
#pragma once

#include "platform/graphics/d3d9.h"
#include "platform/window/window.h"

struct BenchScreen {
  HWND window = nullptr;
  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;

  // A `width` x `height` window of the class `className` and a device on
  // it that presents at once, with a depth buffer when `depth`. False when
  // there is no X server or no GL.
  bool open(const char* className, int width, int height, bool depth) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = quietProc;
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    window = CreateWindowExA(0, className, className, WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr, nullptr,
                             nullptr, nullptr);
    d3d = ComPtr<IDirect3D9>(Direct3DCreate9(D3D_SDK_VERSION));
    if (!window || !d3d) return false;
    D3DPRESENT_PARAMETERS p{};
    p.Windowed = 1;
    p.BackBufferWidth = static_cast<UINT>(width);
    p.BackBufferHeight = static_cast<UINT>(height);
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.EnableAutoDepthStencil = depth ? 1 : 0;
    p.AutoDepthStencilFormat = D3DFMT_D24S8;
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return SUCCEEDED(
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, device.put()));
  }

 private:
  static LRESULT quietProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(w, message, wParam, lParam);
  }
};
