#include "app/language.h"

#include <cstdint>

#include "foundation/byte_fields.h"
#include "game/saves/config.h"
#include "platform/system/process.h"

DWORD readRegistryDword(HKEY root, const char* subKey, const char* valueName, DWORD fallback) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return fallback;
  const UniqueRegistryKey key(opened);
  DWORD type = REG_NONE;
  std::uint8_t value[4] = {};
  DWORD size = sizeof value;
  if (RegQueryValueExA(key.get(), valueName, nullptr, &type, value, &size) != ERROR_SUCCESS || type != REG_DWORD ||
      size != sizeof value)
    return fallback;
  return FieldReader(value, sizeof value).u32();
}

WORD readLanguageId() {
  return static_cast<WORD>(
      readRegistryDword(HKEY_LOCAL_MACHINE, kProgramRegistryKey, "Language", GetUserDefaultLangID()));
}

WORD chooseLanguageId() {
  const WORD chosen = readLanguageId();
  return chosen == kLangGerman || chosen == kLangEnglishUs ? chosen : kLangEnglishUs;
}

int settingsLanguageFor(WORD languageId) {
  // The primary language is the id's low ten bits; the sub-language (the
  // country) does not matter.
  switch (languageId & 0x3FF) {
    case kLangGerman & 0x3FF:
      return 0;
    case kLangFrench & 0x3FF:
      return 2;
    case kLangSpanish & 0x3FF:
      return 3;
    case kLangItalian & 0x3FF:
      return 4;
    default:
      return 1;
  }
}

void loadSettingsOrStartFresh(Config& settings, WORD languageId) {
  if (settings.load()) return;
  settings.setDefaults();
  settings.m_language = settingsLanguageFor(languageId);
  settings.save();
}
