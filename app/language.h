// The language the program starts in: the user's default language, unless
// the registry names one; only German and English are kept.
#pragma once

#include "platform/system/registry.h"

inline constexpr const char* kProgramRegistryKey = "Software\\Marrowgate Software\\Tessaline";

// The DWORD `valueName` under `root`\`subKey`, or `fallback` when the key
// cannot be opened for querying or the value is missing or of another type.
DWORD readRegistryDword(HKEY root, const char* subKey, const char* valueName, DWORD fallback);

// "Language" under the program's key, defaulting to the user's language;
// 1031 (German) and 1033 (English) are kept, anything else becomes 1033.
WORD chooseLanguageId();
