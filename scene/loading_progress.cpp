#include "scene/loading_progress.h"

#include <algorithm>
#include <cstring>

#include "foundation/profiler.h"
#include "platform/window/window.h"
#include "render/render_pipeline.h"
#include "render/texture.h"

namespace {

// Pre-transformed position with rhw, diffuse colour, one coordinate pair:
// 28 bytes, the layout of the fixed-function vertex format 0x144.
struct ScreenVertex {
  float x, y, z, rhw;
  std::uint32_t colour;
  float u, v;
};

constexpr D3DVERTEXELEMENT9 kScreenVertexElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
    {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    {0, 20, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END(),
};

void pumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    GetMessageA(&msg, nullptr, 0, 0);
    if (msg.message == WM_QUIT) throw LoadingAbortedException();
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Draws the quad whose top corners are (topLeft, top) and (topRight, top).
void drawQuad(LoadingProgressDisplay& display, std::uint32_t colour, Texture* texture, float topLeft, float topRight,
              float left, float top, float right, float bottom) {
  IDirect3DDevice9* device = display.pipeline->currentDevice;
  if (!device) return;
  IDirect3DTexture9* deviceTexture = texture ? texture->getDeviceTexture(0.0) : nullptr;
  if (deviceTexture) {
    device->SetTexture(0, deviceTexture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
    device->SetTexture(1, nullptr);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  } else {
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
  }
  device->SetVertexDeclaration(display.screenQuadDeclaration.get(device, kScreenVertexElements));

  const ScreenVertex quad[4] = {
      {topLeft, top, 0.5f, 0.5f, colour, 0.0f, 0.0f},
      {topRight, top, 0.5f, 0.5f, colour, 1.0f, 0.0f},
      {right, bottom, 0.5f, 0.5f, colour, 1.0f, 1.0f},
      {left, bottom, 0.5f, 0.5f, colour, 0.0f, 1.0f},
  };
  device->BeginScene();
  device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(ScreenVertex));
  device->EndScene();
}

}  // namespace

void drawScreenQuad(LoadingProgressDisplay& display, std::uint32_t colour, Texture* texture, float left, float top,
                    float right, float bottom) {
  left -= 0.5f, top -= 0.5f, right -= 0.5f, bottom -= 0.5f;
  drawQuad(display, colour, texture, left, right, left, top, right, bottom);
}

void drawSlantedBar(LoadingProgressDisplay& display, std::uint32_t colour, Texture* texture, float left, float top,
                    float right, float bottom) {
  const float inset = 0.005f * static_cast<float>(display.pipeline->requestedWidth);
  drawQuad(display, colour, texture, left + inset, right - inset, left, top, right, bottom);
}

void loadingProgress(LoadingProgressDisplay& display, float progress) {
  pumpMessages();
  if (!(progress >= 0.0f)) progress = 0.0f;  // NaN too
  progress = std::min(progress, 1.0f);
  RenderPipeline& pipeline = *display.pipeline;
  IDirect3DDevice9* device = pipeline.currentDevice;
  if (!device) return;
  const float w = static_cast<float>(pipeline.requestedWidth);
  const float h = static_cast<float>(pipeline.requestedHeight);
  const int heads = pipeline.stereoMode == kStereoDualHead ? 2 : 1;
  const int count = std::max<int>(1, static_cast<int>(display.backgrounds.size()));
  for (int head = heads - 1; head >= 0; --head) {
    ComPtr<IDirect3DSurface9> backBuffer;
    device->GetBackBuffer(head, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.put());
    device->SetRenderTarget(0, backBuffer.get());
    backBuffer.reset();
    device->SetRenderState(D3DRS_ZENABLE, 0);

    const int index = std::min(static_cast<int>(static_cast<float>(count) * progress), count - 1);
    Texture* background = index < static_cast<int>(display.backgrounds.size()) ? display.backgrounds[index] : nullptr;
    if (background) {
      drawScreenQuad(display, 0xFFFFFFFF, background, 0.0f, 0.0f, w, h);
    } else {
      ProfileScope timed(GameCounter::kClear);
      device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 0.0f, 0);
    }

    const float x = display.barLeft + (display.barRight - display.barLeft) * progress;
    if (display.slantedBar) {
      drawSlantedBar(display, display.barColour, nullptr, w * display.barLeft, h * display.barTop, w * x,
                     h * display.barBottom);
    } else {
      drawScreenQuad(display, 0xFF000000, nullptr, w * (display.barLeft - 0.006f), h * (display.barTop - 0.007f),
                     w * (display.barRight + 0.006f), h * (display.barBottom + 0.007f));
      drawScreenQuad(display, 0xFF000000, nullptr, w * (display.barLeft - 0.004f), h * (display.barTop - 0.005f),
                     w * (display.barRight + 0.004f), h * (display.barBottom + 0.005f));
      drawScreenQuad(display, display.barColour, nullptr, w * display.barLeft, h * display.barTop, w * x,
                     h * display.barBottom);
    }
  }
  ProfileScope timed(GameCounter::kPresent);
  device->Present(nullptr, nullptr, nullptr, nullptr);
}
