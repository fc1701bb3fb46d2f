// The render pipeline: construction from the device manager, the resize
// request, the back buffer, viewports and gamma.
#include "render/render_pipeline.h"

#include <cmath>
#include <cstring>

#include "foundation/report.h"
#include "platform/window/window.h"
#include "render/fixed_function_pass.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Lowest 16 bits of a shader version as major << 8 | minor, capped at 2.0.
EngineString profile(const char* prefix, DWORD version, bool hardware, bool reference) {
  if (reference || !hardware) return EngineString::format("%s_2_sw", prefix);
  const DWORD v = std::min<DWORD>(version & 0xFFFF, 0x200);
  return EngineString::format("%s_%u_%u", prefix, static_cast<unsigned>(v >> 8), static_cast<unsigned>(v & 0xFF));
}

}  // namespace

FormatRequest renderTargetRequest() {
  FormatRequest r;
  r.minRed = r.minGreen = r.minBlue = channelWord(5);
  r.desiredRed = r.desiredGreen = r.desiredBlue = r.desiredAlpha = channelWord(8);
  r.maxAlpha = r.maxRed = r.maxGreen = r.maxBlue = channelWord(8);
  r.allowedFlags = 0x01;
  return r;
}

FormatRequest secondaryTargetRequest() {
  FormatRequest r;
  r.minRed = channelWord(16, 0, kChannelFloat);
  r.desiredRed = channelWord(32, 0, kChannelFloat);
  r.maxRed = channelWord(32, 0, kChannelFloat);
  r.allowedFlags = 0x10;
  return r;
}

RenderPipeline::RenderPipeline(DeviceManager& manager) {
  flagTable = std::make_unique<ShaderFlagTable>(this);
  constantTable = std::make_unique<ShaderConstantTable>(this);

  deviceCount = manager.deviceCount();
  for (const auto& d : manager.devices) devices.push_back(d->device.get());
  currentDeviceIndex = 0;
  currentDevice = devices.empty() ? nullptr : devices[0];
  adapterInfo = manager.devices.empty() ? nullptr : manager.devices[0]->adapterInfo;
  resizePending = false;

  const FormatDesc* rtdesc = nullptr;
  if (adapterInfo) rtdesc = renderTargetRequest().choose(adapterInfo->renderTargetFormats);
  ENGINE_ASSERT(rtdesc != 0 && "device does not support render to texture?");
  renderTargetFormat = rtdesc ? rtdesc->format : 0;
  const FormatDesc* secondary =
      adapterInfo ? secondaryTargetRequest().choose(adapterInfo->renderTargetFormats) : nullptr;
  secondaryTargetFormat = secondary ? secondary->format : 0;

  if (!manager.devices.empty()) {
    const FormatDesc* depth = manager.devices[0]->m_autoDepthStencilDesc;
    depthStencilUsable = depth && !(depth->flags & kFormatNotLockable);
    stencilAvailable = depth && (depth->alpha & 0xFF) > 0;
  }

  const DisplaySettings& settings = *manager.settings;
  DWORD vs = 0, ps = 0;
  if (currentDevice) {
    currentDevice->SetSoftwareVertexProcessing(0);
    currentDevice->GetDeviceCaps(&caps);
    vs = caps.VertexShaderVersion & 0xFFFF;
    ps = caps.PixelShaderVersion & 0xFFFF;
  }
  hardwareVertexShaders = vs > 0x100 && !settings.softwareVertexProcessing;
  hardwarePixelShaders = ps > 0x100;
  if (currentDevice) {
    if (!hardwareVertexShaders) currentDevice->SetSoftwareVertexProcessing(1);
    currentDevice->GetDeviceCaps(&effectiveCaps);
  }
  vertexProfile = profile("vs", vs, hardwareVertexShaders, settings.referenceDevice);
  pixelProfile = profile("ps", ps, hardwarePixelShaders, settings.referenceDevice);
  textureProfile = "tx_1_0";
  hardwareTnL = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0 && !settings.softwareVertexProcessing;
  flagsAsConstants = false;

  if (!settings.windowed) {
    requestedWidth = settings.width;
    requestedHeight = settings.height;
    requestedWindowed = false;
  } else {
    RECT client{0, 0, 0, 0};
    if (!manager.devices.empty() && !manager.devices[0]->windows.empty())
      GetClientRect(manager.devices[0]->windows[0].get(), &client);
    requestedWidth = client.right - client.left;
    requestedHeight = client.bottom - client.top;
    requestedWindowed = true;
  }

  horizontalFov = static_cast<float>(2.0 * std::atan(1.0 / 2.4) * 180.0 / kPi);
  verticalFov = static_cast<float>(2.0 * std::atan(1.0 / 3.2) * 180.0 / kPi);
  stereoMode = manager.stereoMode;

  fixedFunction = settings.fixedFunction;
  D3DDISPLAYMODE desktop{};
  if (adapterInfo) desktop = adapterInfo->currentMode;
  screenTarget0 = std::make_unique<ScreenTarget>(this, settings, desktop);
  screenTarget1 = std::make_unique<ScreenTarget>(this, settings, desktop);

  if (fixedFunction) {
    mainPass = std::make_unique<FixedFunctionPass>(this);
  } else {
    mainPass = std::make_unique<GeneratedMainPass>(this);
    basePass = std::make_unique<ShaderPass>(this);
    additivePass = std::make_unique<GeneratedAdditivePass>(this);
  }
  overlayPass = std::make_unique<GeneratedOverlayPass>(this);
  // The camera follower (scene side) is made here once it exists.
}

RenderPipeline::~RenderPipeline() = default;

void RenderPipeline::requestResize(int width, int height, bool windowed) {
  requestedWidth = width;
  requestedHeight = height;
  requestedWindowed = windowed;
  resizePending = true;
}

bool RenderPipeline::takeResizeRequest() {
  const bool pending = resizePending;
  resizePending = false;
  return pending;
}

void RenderPipeline::restoreBackBuffer() {
  targetWidth = requestedWidth;
  targetHeight = requestedHeight;
  if (!currentDevice) return;
  const UINT swapChain = stereoMode == kStereoDualHead && eye > 0 ? static_cast<UINT>(eye) : 0;
  ComPtr<IDirect3DSurface9> surface;
  currentDevice->GetBackBuffer(swapChain, 0, D3DBACKBUFFER_TYPE_MONO, surface.put());
  if (surface) currentDevice->SetRenderTarget(0, surface.get());
}

void RenderPipeline::setViewport(int x, int y, int width, int height, float minZ, float maxZ) {
  if (!currentDevice) return;
  const D3DVIEWPORT9 v{
      static_cast<DWORD>(x), static_cast<DWORD>(y), static_cast<DWORD>(width), static_cast<DWORD>(height), minZ, maxZ};
  currentDevice->SetViewport(&v);
}

void RenderPipeline::setViewArea(int x, int y, int width, int height) {
  viewportX = x;
  viewportY = y;
  targetWidth = width;
  targetHeight = height;
  setViewport(x, y, width, height, 0.0f, 1.0f);
}

namespace {

void setTransformOn(IDirect3DDevice9* device, D3DTRANSFORMSTATETYPE state, const Matrix4x3& matrix) {
  if (!device) return;
  D3DMATRIX m;
  std::memcpy(m.m, matrix.m, sizeof m.m);
  device->SetTransform(state, &m);
}

}  // namespace

void RenderPipeline::setWorldMatrix(const Matrix4x3& world) {
  if (constantTable) {
    constantTable->world = world;
    constantTable->derivedValid = false;
  }
  setTransformOn(currentDevice, D3DTS_WORLD, world);
}

void RenderPipeline::setViewMatrix(const Matrix4x3& view) {
  if (constantTable) {
    constantTable->view = view;
    constantTable->derivedValid = false;
  }
  setTransformOn(currentDevice, D3DTS_VIEW, view);
}

void RenderPipeline::setGamma(float gamma, float brightness, float contrast) {
  for (IDirect3DDevice9* device : devices) setGammaRamp(device, gamma, brightness, contrast);
}
