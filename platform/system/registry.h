// Registry reads in Win32 terms, served from an INI-style text file that a
// user can edit. The file is read when a key is opened; a missing file is an
// empty registry, so every caller keeps its defaults.
//
// File: $TESSALINE_REGISTRY when set, else $XDG_CONFIG_HOME/tessaline/registry.ini,
// else $HOME/.config/tessaline/registry.ini. Layout:
//
//   [HKEY_LOCAL_MACHINE\Software\Marrowgate Software\Tessaline]
//   ResolutionWidth=dword:1280        ; decimal, or 0x-prefixed hexadecimal
//   MultisampleType=dword:0x4
//   Caption=sz:Some text              ; or "Some text", or text with no prefix
//
// Key paths and value names ignore case, as the registry does. Lines starting
// with ';' or '#' are comments. Malformed lines are skipped.
#pragma once

#include <memory>
#include <string>

#include "platform/win32_types.h"

struct RegistryKey;
using HKEY = RegistryKey*;
using REGSAM = DWORD;
using LSTATUS = LONG;

// Predefined roots (marker addresses, not keys one can close).
extern const HKEY HKEY_CLASSES_ROOT;
extern const HKEY HKEY_CURRENT_USER;
extern const HKEY HKEY_LOCAL_MACHINE;
extern const HKEY HKEY_USERS;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_READ = 0x20019;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr LSTATUS ERROR_SUCCESS = 0;
inline constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
inline constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
inline constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
inline constexpr LSTATUS ERROR_MORE_DATA = 234;

// Opens a key below a root (or below an opened key). ERROR_FILE_NOT_FOUND when
// the file has no section for it.
LSTATUS RegOpenKeyExA(HKEY parent, const char* subKey, DWORD options, REGSAM access, HKEY* result);
// Reads a value: type, and the data when `data` is given. A REG_DWORD is 4
// little-endian bytes; a REG_SZ is the text with its NUL. With `data` null,
// *dataSize receives the size needed; a too-small buffer gives ERROR_MORE_DATA.
LSTATUS RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize);
LSTATUS RegCloseKey(HKEY key);

// The file the registry reads.
std::string registryFilePath();

// Closes an opened key at scope end.
struct RegistryKeyCloser {
  void operator()(RegistryKey* key) const { RegCloseKey(key); }
};
using UniqueRegistryKey = std::unique_ptr<RegistryKey, RegistryKeyCloser>;
