// Render windows, device creation and reset, gamma.
#include "render/render_device.h"

#include <algorithm>
#include <cmath>

#include "foundation/report.h"
#include "platform/system/system.h"

namespace {

constexpr UINT kIconHand = 0x10;  // MB_ICONHAND

const char kNoHardwareTnLText[] =
    "The selected video adapter\ndoes not support transformation and lighting in\nhardware, which is a requirement "
    "by this application.";

// Device creation and reset are said to lower the x87 unit's precision; the
// physics relies on 53 bits. On x86-64 the engine computes with SSE, whose
// precision nothing changes, so there is nothing to restore here.
void restoreFloatingPointPrecision() {}

}  // namespace

FormatRequest autoDepthStencilRequest() {
  FormatRequest r;
  r.minRed = channelWord(15);
  r.desiredAlpha = channelWord(8);
  r.desiredRed = channelWord(24, 0, kChannelFloat);
  r.maxAlpha = r.maxRed = r.maxGreen = r.maxBlue = 0x20220;
  r.requiredFlags = kFormatDepthStencil;
  r.allowedFlags = 0x7;
  r.preferredFlags = {static_cast<int>(kFormatNotLockable)};
  return r;
}

DWORD behaviorFlagsFor(const DisplaySettings& settings, const D3DCAPS9& caps, UINT heads) {
  DWORD flags = 0;
  if (settings.pureDevice)
    flags = D3DCREATE_PUREDEVICE | D3DCREATE_HARDWARE_VERTEXPROCESSING;
  else if (settings.softwareVertexProcessing)
    flags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
  else if ((caps.VertexShaderVersion & 0xFFFF) < 0x101)
    flags = D3DCREATE_MIXED_VERTEXPROCESSING;
  else
    flags = D3DCREATE_HARDWARE_VERTEXPROCESSING;
  flags |= D3DCREATE_MULTITHREADED;
  if (heads > 1) flags |= D3DCREATE_ADAPTERGROUP_DEVICE;
  return flags;
}

RenderDevice::~RenderDevice() {
  presentParameters.clear();
  device.reset();
  windows.clear();
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    GetMessageA(&msg, nullptr, 0, 0);
    if (msg.message != WM_QUIT) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

bool RenderDevice::createDevice(IDirect3D9* direct3D, const DisplaySettings& settings) {
  if (!direct3D || !adapterInfo || windows.size() < m_numHeads) return false;
  presentParameters.assign(m_numHeads, D3DPRESENT_PARAMETERS{});
  const FormatRequest depthRequest = autoDepthStencilRequest();
  m_autoDepthStencilDesc = depthRequest.choose(adapterInfo->depthStencilFormats);
  ENGINE_ASSERT(m_autoDepthStencilDesc != 0 && "device does not support depth/stencil?");
  for (UINT h = 0; h < m_numHeads; ++h) {
    D3DPRESENT_PARAMETERS& p = presentParameters[h];
    p.BackBufferCount = 2;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.MultiSampleType = settings.multisampleType;
    p.MultiSampleQuality = settings.multisampleQuality;
    p.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
    p.hDeviceWindow = windows[h].get();
    p.EnableAutoDepthStencil = m_autoDepthStencilDesc != nullptr;
    p.AutoDepthStencilFormat = m_autoDepthStencilDesc ? m_autoDepthStencilDesc->format : 0;
    p.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    p.BackBufferFormat = settings.backBufferFormat;
    if (settings.windowed) {
      ENGINE_ASSERT(m_numHeads == 1);
      p.Windowed = 1;
    } else {
      p.Windowed = 0;
      p.BackBufferWidth = static_cast<UINT>(settings.width);
      p.BackBufferHeight = static_cast<UINT>(settings.height);
      p.FullScreen_RefreshRateInHz = 0;
    }
  }
  behaviorFlags = behaviorFlagsFor(settings, adapterInfo->caps, m_numHeads);

  g_log.printf("trying to create the d3d device for adapter %d... ", adapter);
  HRESULT hr = direct3D->CreateDevice(static_cast<UINT>(adapter), deviceType, windows[0].get(), behaviorFlags,
                                      presentParameters.data(), device.put());
  if (FAILED(hr)) {
    g_log.printf("failed! (%08x)\n", static_cast<unsigned>(hr));
    g_log.printf("CreateDevice first attempt failed, starting second attempt... ");
    hr = direct3D->CreateDevice(static_cast<UINT>(adapter), deviceType, windows[0].get(), behaviorFlags,
                                presentParameters.data(), device.put());
    if (FAILED(hr)) {
      g_log.printf("failed! (%08x)\n", static_cast<unsigned>(hr));
      g_log.line("CreateDevice failed... exiting...");
      device.reset();
      return false;
    }
  }
  g_log.line("succeeded!");
  return true;
}

bool DeviceManager::createRenderWindow(const char* windowClass, HINSTANCE instance) {
  const int count = stereoMode == kStereoTwoAdapters ? 2 : 1;
  if (stereoMode == kStereoTwoAdapters && !settings->windowed && adapterCount() < 2) {
    MessageBoxA(nullptr, "For fullscreen stereo two adapters are required.", "Error", kIconHand);
    return false;
  }
  // No adapter record (enumeration not run or it found none) cannot carry a
  // device; the ordinal arithmetic below would divide by zero.
  if (adapterCount() == 0 || !direct3D) {
    MessageBoxA(nullptr, "Creation of Direct3D Device failed.", "Error", kIconHand);
    return false;
  }
  devices.clear();
  for (int d = 0; d < count; ++d) {
    auto record = std::make_unique<RenderDevice>();
    const int n = adapterCount();
    record->adapter = ((settings->adapter + d) % n + n) % n;
    record->adapterInfo = adapterInfo(record->adapter);
    if (stereoMode == kStereoDualHead && record->adapterInfo->caps.NumberOfAdaptersInGroup == 0) {
      const int master = static_cast<int>(record->adapterInfo->caps.MasterAdapterOrdinal);
      if (AdapterInfo* info = adapterInfo(master)) {
        record->adapter = master;
        record->adapterInfo = info;
      }
    }
    record->deviceType = settings->referenceDevice ? D3DDEVTYPE_REF : D3DDEVTYPE_HAL;
    if (!(record->adapterInfo->caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT)) {
      MessageBoxA(nullptr, kNoHardwareTnLText, "Error", kIconHand);
      devices.clear();
      return false;
    }
    devices.push_back(std::move(record));
  }
  if (stereoMode == kStereoDualHead && devices[0]->adapterInfo->caps.NumberOfAdaptersInGroup == 1) {
    MessageBoxA(nullptr,
                "For dualhead stereo support two monitors are required to be connected to the adapter.\nPlease refer "
                "to the manual on how to set up your system appropriately.",
                "Error", kIconHand);
    devices.clear();
    return false;
  }

  for (int d = 0; d < count; ++d) {
    RenderDevice& record = *devices[static_cast<std::size_t>(d)];
    RECT rect{0, 0, settings->windowWidth, settings->windowHeight};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, 0);
    record.m_numHeads = 1;
    if (stereoMode == kStereoDualHead)
      record.m_numHeads = std::max<UINT>(1, record.adapterInfo->caps.NumberOfAdaptersInGroup);
    for (UINT h = 0; h < record.m_numHeads; ++h) {
      HWND window =
          CreateWindowExA(0, windowClass, settings->caption.c_str(), WS_OVERLAPPEDWINDOW, settings->windowWidth * d, 0,
                          rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
      if (!window) {
        MessageBoxA(nullptr, "Creation of Direct3D Device failed.", "Error", kIconHand);
        devices.clear();
        return false;
      }
      record.windows.emplace_back(window);
    }
  }
  for (auto& record : devices) {
    if (!record->createDevice(direct3D.get(), *settings)) {
      MessageBoxA(nullptr, "Creation of Direct3D Device failed.", "Error", kIconHand);
      devices.clear();
      return false;
    }
  }
  restoreFloatingPointPrecision();
  return true;
}

HRESULT DeviceManager::resetDevices() {
  HRESULT result = D3D_OK;
  for (auto& record : devices) {
    if (!record->device || record->windows.empty()) continue;
    RECT rect{0, 0, settings->width, settings->height};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, 0);
    HWND window = record->windows[0].get();
    // The window takes its new size before the reset, so that a windowed
    // back buffer (size 0: the client area) gets the new size, not the old.
    MoveWindow(window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 1);
    if (settings->windowed) SetWindowPos(window, HWND_NOTOPMOST, 0, 0, settings->width, settings->height, SWP_NOSIZE);
    // Reset writes the sizes it chose back into the blocks; the requested
    // size and mode come from the settings every time.
    for (D3DPRESENT_PARAMETERS& p : record->presentParameters) {
      p.Windowed = settings->windowed ? 1 : 0;
      p.BackBufferWidth = settings->windowed ? 0 : static_cast<UINT>(settings->width);
      p.BackBufferHeight = settings->windowed ? 0 : static_cast<UINT>(settings->height);
    }
    result = record->device->Reset(record->presentParameters.data());
  }
  restoreFloatingPointPrecision();
  return result;
}

PictureLevels pictureFromSliders(float gamma, float brightness, float contrast) {
  return {gamma * 0.015f + 0.5f, brightness * 0.01f, contrast * 0.01f};
}

D3DGAMMARAMP computeGammaRamp(float gamma, float brightness, float contrast) {
  D3DGAMMARAMP ramp{};
  const float step = 0.003921569f;
  for (int i = 0; i < 256; ++i) {
    const double x = static_cast<double>(i) * static_cast<double>(step);
    const double v = std::pow(x, 1.0 / static_cast<double>(gamma)) * (static_cast<double>(contrast) + 0.5) * 65535.0 +
                     (static_cast<double>(brightness) - 0.5) * 32768.0 - static_cast<double>(contrast) * 32768.0 +
                     16384.0;
    // NaN (gamma 0) and overflow both end up inside 0..65535.
    const double clamped = std::isnan(v) ? 0.0 : std::clamp(std::trunc(v), 0.0, 65535.0);
    const WORD w = static_cast<WORD>(clamped);
    ramp.red[i] = ramp.green[i] = ramp.blue[i] = w;
  }
  return ramp;
}

void setGammaRamp(IDirect3DDevice9* device, float gamma, float brightness, float contrast) {
  if (!device) return;
  const D3DGAMMARAMP ramp = computeGammaRamp(gamma, brightness, contrast);
  if (FAILED(device->SetGammaRamp(0, D3DSGR_CALIBRATE, &ramp)))
    g_log.line("gamma ramp not applied: the display does not take one");
}

ScreenTarget::ScreenTarget(RenderPipeline* owner, const DisplaySettings& settings, const D3DDISPLAYMODE& desktop)
    : pipeline(owner),
      width(settings.windowed ? static_cast<int>(desktop.Width) : settings.width),
      height(settings.windowed ? static_cast<int>(desktop.Height) : settings.height),
      alphaCapable(settings.backBufferFormat == D3DFMT_A8R8G8B8 && settings.multisampleType == 0) {}

ScreenTarget::~ScreenTarget() {
  release();
  slots[0].reset();
}

void ScreenTarget::release() {
  slots[1].reset();
  slots[2].reset();
  name = EngineString();
  counters[0] = counters[1] = 0;
}
