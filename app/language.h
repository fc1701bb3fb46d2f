// The language the program starts in: the user's default language, unless
// the registry names one; only German and English are kept.
#pragma once

#include "platform/system/registry.h"

inline constexpr const char* kProgramRegistryKey = "Software\\Marrowgate Software\\Tessaline";

// The DWORD `valueName` under `root`\`subKey`, or `fallback` when the key
// cannot be opened for querying or the value is missing or of another type.
DWORD readRegistryDword(HKEY root, const char* subKey, const char* valueName, DWORD fallback);

// "Language" under the program's key, defaulting to the user's language,
// as read.
WORD readLanguageId();

// readLanguageId with 1031 (German) and 1033 (English) kept, anything else
// become 1033.
WORD chooseLanguageId();

// The settings' language (0 German, 1 English, 2 French, 3 Spanish,
// 4 Italian) of a language id's primary language; English for any other.
int settingsLanguageFor(WORD languageId);

class Config;

// "config.dat" into `settings`. Where there is none to read (a first start,
// or a damaged file) the defaults are written back, speaking the language
// `languageId` names, so a player meets menus in their own language.
void loadSettingsOrStartFresh(Config& settings, WORD languageId);
