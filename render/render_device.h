// One rendering device with its window(s), the gamma ramp, and the
// screen-sized target record of the render pipeline.
#pragma once

#include <vector>

#include "foundation/engine_string.h"
#include "platform/graphics/d3d9.h"
#include "render/device_manager.h"

class RenderDevice {
 public:
  RenderDevice() = default;
  // Releases the device, destroys the windows, then handles the window
  // messages still pending for them.
  ~RenderDevice();
  RenderDevice(const RenderDevice&) = delete;
  RenderDevice& operator=(const RenderDevice&) = delete;

  // Fills one present-parameter block per head from the settings, picks the
  // automatic depth-stencil format and creates the device (one retry).
  bool createDevice(IDirect3D9* direct3D, const DisplaySettings& settings);

  std::vector<D3DPRESENT_PARAMETERS> presentParameters;  // one per head
  ComPtr<IDirect3DDevice9> device;
  std::vector<UniqueWindow> windows;  // one per head
  AdapterInfo* adapterInfo = nullptr;
  int adapter = 0;
  UINT m_numHeads = 1;
  D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
  const FormatDesc* m_autoDepthStencilDesc = nullptr;
  DWORD behaviorFlags = 0;  // as passed to CreateDevice
};

// The request for the automatic depth buffer: at least 15 depth bits, 24
// wanted (float preferred), 8 stencil bits wanted, non-lockable preferred.
FormatRequest autoDepthStencilRequest();

// Creation flags from the settings and the adapter's vertex-shader version.
DWORD behaviorFlagsFor(const DisplaySettings& settings, const D3DCAPS9& caps, UINT heads);

// The three values of the ramp from the options' slider positions 0..100:
// gamma 0.5..2, brightness and contrast 0..1.
struct PictureLevels {
  float gamma, brightness, contrast;
};
PictureLevels pictureFromSliders(float gamma, float brightness, float contrast);
// The ramp for gamma, brightness and contrast; 1, 0.5, 0.5 is the identity.
D3DGAMMARAMP computeGammaRamp(float gamma, float brightness, float contrast);
// Builds the ramp and sets it on the device; a display that refuses it is
// logged, not fatal.
void setGammaRamp(IDirect3DDevice9* device, float gamma, float brightness, float contrast);

class RenderPipeline;

// A screen-sized render target record; what it holds is up to its user.
// Its size is the desktop's (the adapter's current mode) when windowed, else
// the full-screen size.
struct ScreenTarget {
  ScreenTarget(RenderPipeline* owner, const DisplaySettings& settings, const D3DDISPLAYMODE& desktop);
  ~ScreenTarget();
  ScreenTarget(const ScreenTarget&) = delete;
  ScreenTarget& operator=(const ScreenTarget&) = delete;

  // Releases the second and third slots, empties the name, zeroes the counters.
  void release();

  RenderPipeline* pipeline;
  int width;
  int height;
  bool alphaCapable;
  int counters[2] = {0, 0};
  ComPtr<D3DUnknown> slots[3];
  EngineString name;
};
