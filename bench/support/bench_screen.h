// A window of its own and a device on it, for the benchmarks that draw
// through the OpenGL backend: they need an X server (xvfb-run on a
// headless machine).
#pragma once

#include "platform/graphics/d3d9.h"
#include "platform/window/window.h"
#include "tests/support/quiet_window.h"

struct BenchScreen {
  HWND window = nullptr;
  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;

  // A `width` x `height` window of the class `className` and a device on
  // it that presents at once, with a depth buffer when `depth`. False when
  // there is no X server or no GL.
  bool open(const char* className, int width, int height, bool depth) {
    window = openQuietWindow(className, width, height);
    d3d = ComPtr<IDirect3D9>(Direct3DCreate9(D3D_SDK_VERSION));
    if (!window || !d3d) return false;
    D3DPRESENT_PARAMETERS p =
        windowedPresentParameters(window, static_cast<UINT>(width), static_cast<UINT>(height), D3DFMT_X8R8G8B8);
    p.EnableAutoDepthStencil = depth ? 1 : 0;
    return SUCCEEDED(createWindowedDevice(d3d.get(), &p, device.put()));
  }
};
