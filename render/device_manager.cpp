// Adapter enumeration and the per-adapter format lists.
#include "render/device_manager.h"

#include "foundation/report.h"
#include "platform/system/system.h"
#include "render/render_device.h"

DeviceManager* g_deviceManager = nullptr;

namespace {

constexpr UINT kIconHand = 0x10;  // MB_ICONHAND

}  // namespace

DeviceManager::DeviceManager() : settings(std::make_unique<DisplaySettings>()) {}

DeviceManager::~DeviceManager() {
  if (direct3D) release();
}

AdapterInfo* DeviceManager::adapterInfo(int adapter) {
  if (adapter < 0 || adapter >= adapterCount()) return nullptr;
  return adapters[static_cast<std::size_t>(adapter)].get();
}

bool DeviceManager::enumerateAdapters(const char* caption, const char* noDirect3DText, const char* noHardwareTnLText) {
  direct3D = ComPtr<IDirect3D9>(Direct3DCreate9(D3D9B_SDK_VERSION));
  if (!direct3D) {
    MessageBoxA(nullptr, noDirect3DText, caption, kIconHand);
    return false;
  }
  const UINT count = direct3D->GetAdapterCount();
  adapters.clear();
  for (UINT i = 0; i < count; ++i) adapters.push_back(std::make_unique<AdapterInfo>());
  g_log.printf("Number of Adapters: %u\n", count);

  bool hardwareTnL = false;
  for (UINT i = 0; i < count; ++i) {
    AdapterInfo& info = *adapters[i];
    direct3D->GetAdapterIdentifier(i, 0, &info.identifier);
    info.identifier.Description[sizeof info.identifier.Description - 1] = '\0';
    g_log.printf("Adapter %u: %s\n", i, info.identifier.Description);
    info.monitor = direct3D->GetAdapterMonitor(i);
    direct3D->GetDeviceCaps(i, D3DDEVTYPE_HAL, &info.caps);
    const UINT modes = direct3D->GetAdapterModeCount(i, D3DFMT_X8R8G8B8);
    info.modes.resize(modes);
    for (UINT m = 0; m < modes; ++m) direct3D->EnumAdapterModes(i, D3DFMT_X8R8G8B8, m, &info.modes[m]);
    direct3D->GetAdapterDisplayMode(i, &info.currentMode);
    const auto high = static_cast<DWORD>(info.identifier.DriverVersion.u.HighPart);
    const DWORD low = info.identifier.DriverVersion.u.LowPart;
    g_log.printf("  Driver Version: %u.%u.%u.%u\n", high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF);
    if (info.caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) hardwareTnL = true;
    // A master ordinal naming no adapter (a broken driver report) leaves the
    // record without a master rather than pointing outside the list.
    if (info.caps.AdapterOrdinalInGroup != 0 && info.caps.MasterAdapterOrdinal < count)
      info.master = adapters[info.caps.MasterAdapterOrdinal].get();
  }
  g_log.flush();

  if (!hardwareTnL) {
    g_log.line("no hardware t&l available. exiting...");
    MessageBoxA(nullptr, noHardwareTnLText, caption, kIconHand);
    return false;
  }
  // The configured ordinal may name an adapter that is gone (another
  // machine, a monitor unplugged): wrap it once, here, so that the set-up
  // chooser fills the lists of the adapter the device is then made on.
  const int n = static_cast<int>(count);
  settings->adapter = (settings->adapter % n + n) % n;
  return true;
}

void DeviceManager::setCaption(const std::string& text) { settings->caption = text; }

void DeviceManager::hideWindows() {
  for (auto& device : devices)
    for (auto& window : device->windows) ShowWindow(window.get(), SW_HIDE);
}

void DeviceManager::release() {
  devices.clear();
  adapters.clear();
  direct3D.reset();
}

void DeviceManager::collectDisplayFormats(int adapter) {
  AdapterInfo* info = adapterInfo(adapter);
  if (!info) return;
  bool supported[6] = {};
  info->displayFormats.clear();
  for (int c = 0; c < 6; ++c) {
    for (const D3DDISPLAYMODE& mode : info->modes)
      if (mode.Format == kDisplayFormatCandidates[c]) supported[c] = true;
    if (supported[c]) info->displayFormats.push_back(c);
  }
  settings->displayFormat = fitCandidateFormat(settings->displayFormat, supported);
}

void DeviceManager::checkDeviceFormats(int adapter, D3DDEVTYPE type, D3DFORMAT modeFormat, bool windowed) {
  AdapterInfo* info = adapterInfo(adapter);
  if (!info) return;
  const UINT a = static_cast<UINT>(adapter);
  bool supported[6] = {};
  info->backBufferFormats.clear();
  for (int c = 0; c < 6; ++c) {
    supported[c] = SUCCEEDED(direct3D->CheckDeviceType(a, type, modeFormat, kDisplayFormatCandidates[c], windowed));
    if (supported[c]) info->backBufferFormats.push_back(c);
  }
  settings->backBufferFormat = fitCandidateFormat(settings->backBufferFormat, supported);

  info->textureFormats.clear();
  info->renderTargetFormats.clear();
  info->displacementFormats.clear();
  info->cubeFormats.clear();
  info->renderTargetCubeFormats.clear();
  info->volumeFormats.clear();
  const bool displacement = (info->caps.DevCaps2 & (D3DDEVCAPS2_DMAPNPATCH | D3DDEVCAPS2_PRESAMPLEDDMAPNPATCH)) != 0;
  auto check = [&](DWORD usage, D3DRESOURCETYPE resource, const FormatDesc& row) {
    return SUCCEEDED(direct3D->CheckDeviceFormat(a, type, modeFormat, usage, resource, row.format));
  };
  for (const FormatDesc& row : formatTable()) {
    const DWORD targetUsage = (row.flags & kFormatDepthStencil) ? D3DUSAGE_DEPTHSTENCIL : D3DUSAGE_RENDERTARGET;
    if (check(0, D3DRTYPE_TEXTURE, row)) info->textureFormats.push_back(&row);
    if (check(targetUsage, D3DRTYPE_TEXTURE, row)) info->renderTargetFormats.push_back(&row);
    if (displacement && check(D3DUSAGE_DMAP, D3DRTYPE_TEXTURE, row)) info->displacementFormats.push_back(&row);
    if (check(0, D3DRTYPE_CUBETEXTURE, row)) info->cubeFormats.push_back(&row);
    if (check(targetUsage, D3DRTYPE_CUBETEXTURE, row)) info->renderTargetCubeFormats.push_back(&row);
    if (check(0, D3DRTYPE_VOLUMETEXTURE, row)) info->volumeFormats.push_back(&row);
  }
}

void DeviceManager::checkMultisampleTypes(int adapter, D3DDEVTYPE type, D3DFORMAT backBufferFormat, bool windowed) {
  AdapterInfo* info = adapterInfo(adapter);
  if (!info) return;
  const UINT a = static_cast<UINT>(adapter);
  info->multisampleTypes.clear();
  for (DWORD m = 2; m <= 16; ++m)
    if (SUCCEEDED(direct3D->CheckDeviceMultiSampleType(a, type, backBufferFormat, windowed, m, nullptr)))
      info->multisampleTypes.push_back(static_cast<int>(m));
  DWORD quality = 0;
  if (FAILED(direct3D->CheckDeviceMultiSampleType(a, type, backBufferFormat, windowed, D3DMULTISAMPLE_NONMASKABLE,
                                                  &quality)))
    quality = 0;
  info->maxNonmaskableQuality = quality;

  DWORD& m = settings->multisampleType;
  DWORD& q = settings->multisampleQuality;
  if (m == 0) {
    q = 0;
  } else if (m >= 2 && m <= 16) {
    DWORD best = 0;
    for (int t : info->multisampleTypes)
      if (static_cast<DWORD>(t) <= m) best = static_cast<DWORD>(t);
    m = best;
    q = 0;
  } else if (info->maxNonmaskableQuality > 0) {
    m = D3DMULTISAMPLE_NONMASKABLE;
    if (q >= info->maxNonmaskableQuality) q = info->maxNonmaskableQuality - 1;
  } else {
    m = info->multisampleTypes.empty() ? 0 : static_cast<DWORD>(info->multisampleTypes.back());
    q = 0;
  }
}

void DeviceManager::checkDepthStencilFormats(int adapter, D3DDEVTYPE type, D3DFORMAT modeFormat,
                                             D3DFORMAT backBufferFormat) {
  AdapterInfo* info = adapterInfo(adapter);
  if (!info) return;
  const UINT a = static_cast<UINT>(adapter);
  info->depthStencilFormats.clear();
  for (const FormatDesc& row : formatTable()) {
    if (!(row.flags & kFormatDepthStencil)) continue;
    if (SUCCEEDED(
            direct3D->CheckDeviceFormat(a, type, modeFormat, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, row.format)) &&
        SUCCEEDED(direct3D->CheckDepthStencilMatch(a, type, modeFormat, backBufferFormat, row.format)))
      info->depthStencilFormats.push_back(&row);
  }
}

HRESULT DeviceManager::testCooperativeLevel() {
  HRESULT result = D3D_OK;
  for (auto& device : devices) {
    if (!device->device) continue;
    const HRESULT hr = device->device->TestCooperativeLevel();
    if (hr == D3DERR_DEVICELOST) return hr;
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}

HRESULT DeviceManager::restoreDevices(std::span<DeviceOwner* const> owners) {
  for (DeviceOwner* owner : owners) owner->onDeviceLost();
  const HRESULT hr = resetDevices();
  if (SUCCEEDED(hr))
    for (DeviceOwner* owner : owners) owner->onDeviceReset();
  return hr;
}
