// Display settings from defaults and the registry, and the set-up chain.
#include "render/display_settings.h"

#include "foundation/byte_fields.h"
#include "platform/system/registry.h"
#include "render/device_manager.h"
#include "render/format_table.h"

namespace {

bool readDword(HKEY key, const char* name, DWORD* out) {
  DWORD type = 0;
  BYTE data[4] = {};
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS) return false;
  if (type != REG_DWORD || size != 4) return false;
  *out = FieldReader(data, sizeof data).u32();
  return true;
}

constexpr DWORD kMaxResolution = 16384;

}  // namespace

DisplaySettings::DisplaySettings() { readRegistry(); }

void DisplaySettings::readRegistry() {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDisplaySettingsKey, 0, KEY_READ, &raw) != ERROR_SUCCESS) return;
  UniqueRegistryKey key(raw);
  DWORD value = 0;
  if (readDword(key.get(), "ResolutionWidth", &value) && value > 0 && value <= kMaxResolution)
    width = static_cast<int>(value);
  if (readDword(key.get(), "ResolutionHeight", &value) && value > 0 && value <= kMaxResolution)
    height = static_cast<int>(value);
  if (readDword(key.get(), "MultisampleType", &value)) multisampleType = value;
  if (readDword(key.get(), "MultisampleQuality", &value)) multisampleQuality = value;
}

D3DFORMAT fitCandidateFormat(D3DFORMAT configured, const bool supported[6]) {
  D3DFORMAT lastSupported = 0;
  for (int i = 0; i < 6; ++i) {
    const D3DFORMAT candidate = kDisplayFormatCandidates[i];
    if (supported[i]) {
      lastSupported = candidate;
      if (configured == 0) return candidate;
    }
    if (candidate == configured) {
      if (lastSupported != 0) return lastSupported;
      configured = 0;  // take the next supported one
    }
  }
  return lastSupported;
}

bool Setup::run() {
  chooseAdapter();
  finish();
  return true;
}

void Setup::chooseAdapter() {
  collectDisplayFormats();
  chooseFormats();
}

void Setup::chooseFormats() {
  selectDisplayFormat(m_manager->settings->displayFormat);
  chooseDisplayMode();
}

void Setup::chooseDisplayMode() {
  checkDeviceFormats(deviceType(), modeFormat(), m_manager->settings->windowed);
  chooseSurfaces();
}

void Setup::chooseSurfaces() {
  const DisplaySettings& s = *m_manager->settings;
  checkMultisampleTypes(deviceType(), s.backBufferFormat, s.windowed);
  checkDepthStencilFormats(deviceType(), modeFormat(), s.backBufferFormat);
}

void Setup::collectDisplayFormats() { m_manager->collectDisplayFormats(m_manager->settings->adapter); }

void Setup::checkDeviceFormats(D3DDEVTYPE type, D3DFORMAT format, bool windowed) {
  m_manager->checkDeviceFormats(m_manager->settings->adapter, type, format, windowed);
}

void Setup::checkMultisampleTypes(D3DDEVTYPE type, D3DFORMAT backBufferFormat, bool windowed) {
  m_manager->checkMultisampleTypes(m_manager->settings->adapter, type, backBufferFormat, windowed);
}

void Setup::checkDepthStencilFormats(D3DDEVTYPE type, D3DFORMAT format, D3DFORMAT backBufferFormat) {
  m_manager->checkDepthStencilFormats(m_manager->settings->adapter, type, format, backBufferFormat);
}

D3DDEVTYPE Setup::deviceType() const { return m_manager->settings->referenceDevice ? D3DDEVTYPE_REF : D3DDEVTYPE_HAL; }

D3DFORMAT Setup::modeFormat() const {
  const DisplaySettings& s = *m_manager->settings;
  if (!s.windowed) return s.displayFormat;
  const AdapterInfo* info = m_manager->adapterInfo(s.adapter);
  return info ? info->currentMode.Format : D3DFMT_UNKNOWN;
}
