#include "app/language.h"

#include <cstdint>

#include "foundation/byte_fields.h"
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

WORD chooseLanguageId() {
  const DWORD chosen = readRegistryDword(HKEY_LOCAL_MACHINE, kProgramRegistryKey, "Language", GetUserDefaultLangID());
  return chosen == kLangGerman || chosen == kLangEnglishUs ? static_cast<WORD>(chosen) : kLangEnglishUs;
}
