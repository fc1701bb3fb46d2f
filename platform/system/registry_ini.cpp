// Registry keys read from the user's INI-style registry file.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "platform/system/registry.h"

struct RegistryValue {
  DWORD type = REG_NONE;
  DWORD number = 0;
  std::string text;
};

struct RegistryKey {
  std::string path;                             // lower case, backslash-separated, root first
  std::map<std::string, RegistryValue> values;  // by lower-case name
};

namespace {

RegistryKey g_classesRoot{"hkey_classes_root", {}};
RegistryKey g_currentUser{"hkey_current_user", {}};
RegistryKey g_localMachine{"hkey_local_machine", {}};
RegistryKey g_users{"hkey_users", {}};

bool isRoot(HKEY key) {
  return key == &g_classesRoot || key == &g_currentUser || key == &g_localMachine || key == &g_users;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string trim(const std::string& s) {
  const auto begin = s.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  const auto end = s.find_last_not_of(" \t\r\n");
  return s.substr(begin, end - begin + 1);
}

// Folds slashes, doubled separators and the usual root abbreviations.
std::string normalisePath(const std::string& raw) {
  std::string path;
  for (char c : raw) {
    if (c == '/') c = '\\';
    if (c == '\\' && (path.empty() || path.back() == '\\')) continue;
    path += c;
  }
  while (!path.empty() && path.back() == '\\') path.pop_back();
  path = lower(path);
  static const std::pair<const char*, const char*> kAbbreviations[] = {{"hklm", "hkey_local_machine"},
                                                                       {"hkcu", "hkey_current_user"},
                                                                       {"hkcr", "hkey_classes_root"},
                                                                       {"hku", "hkey_users"}};
  for (const auto& [shortName, longName] : kAbbreviations) {
    const std::size_t n = std::strlen(shortName);
    if (path.compare(0, n, shortName) == 0 && (path.size() == n || path[n] == '\\'))
      path = std::string(longName) + path.substr(n);
  }
  return path;
}

bool parseDword(const std::string& text, DWORD* out) {
  const std::string s = trim(text);
  if (s.empty() || s[0] == '-' || s[0] == '+') return false;
  const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(s.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || end == s.c_str() || *end != '\0' || value > 0xFFFFFFFFull) return false;
  *out = static_cast<DWORD>(value);
  return true;
}

bool parseValue(const std::string& raw, RegistryValue* out) {
  const std::string text = trim(raw);
  if (lower(text.substr(0, 6)) == "dword:") {
    out->type = REG_DWORD;
    return parseDword(text.substr(6), &out->number);
  }
  out->type = REG_SZ;
  if (lower(text.substr(0, 3)) == "sz:") {
    out->text = text.substr(3);
  } else if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    out->text = text.substr(1, text.size() - 2);
  } else {
    out->text = text;
  }
  return true;
}

// Reads the one section for `path`; later duplicate names win, as a user
// editing the file by appending a line would expect.
bool loadSection(const std::string& path, RegistryKey* key) {
  std::ifstream in(registryFilePath());
  if (!in) return false;
  bool found = false;
  bool inSection = false;
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    // Editors on other systems like to start the file with a byte-order mark.
    if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    first = false;
    line = trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') {
        inSection = false;
        continue;
      }
      inSection = normalisePath(line.substr(1, line.size() - 2)) == path;
      found = found || inSection;
      continue;
    }
    if (!inSection) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string name = trim(line.substr(0, eq));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    RegistryValue value;
    if (name.empty() || !parseValue(line.substr(eq + 1), &value)) continue;
    key->values[lower(name)] = value;
  }
  return found;
}

}  // namespace

const HKEY HKEY_CLASSES_ROOT = &g_classesRoot;
const HKEY HKEY_CURRENT_USER = &g_currentUser;
const HKEY HKEY_LOCAL_MACHINE = &g_localMachine;
const HKEY HKEY_USERS = &g_users;

std::string registryFilePath() {
  if (const char* env = std::getenv("TESSALINE_REGISTRY"); env && *env) return env;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return std::string(xdg) + "/tessaline/registry.ini";
  if (const char* home = std::getenv("HOME"); home && *home)
    return std::string(home) + "/.config/tessaline/registry.ini";
  return "registry.ini";
}

LSTATUS RegOpenKeyExA(HKEY parent, const char* subKey, DWORD, REGSAM, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (!parent) return ERROR_INVALID_HANDLE;
  std::string path = parent->path;
  if (subKey && *subKey) {
    path += '\\';
    path += subKey;
  }
  path = normalisePath(path);
  auto key = std::make_unique<RegistryKey>();
  key->path = path;
  if (!loadSection(path, key.get())) return ERROR_FILE_NOT_FOUND;
  *result = key.release();
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data, DWORD* dataSize) {
  if (!key || isRoot(key)) return ERROR_INVALID_HANDLE;
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  auto it = key->values.find(lower(valueName ? valueName : ""));
  if (it == key->values.end()) return ERROR_FILE_NOT_FOUND;
  const RegistryValue& value = it->second;
  if (type) *type = value.type;

  BYTE bytes[4];
  const BYTE* source = nullptr;
  DWORD size = 0;
  if (value.type == REG_DWORD) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(value.number >> (8 * i));
    source = bytes;
    size = 4;
  } else {
    source = reinterpret_cast<const BYTE*>(value.text.c_str());
    size = static_cast<DWORD>(value.text.size() + 1);
  }
  if (!dataSize) return ERROR_SUCCESS;
  if (data && *dataSize < size) {
    *dataSize = size;
    return ERROR_MORE_DATA;
  }
  if (data) std::memcpy(data, source, size);
  *dataSize = size;
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (isRoot(key)) return ERROR_SUCCESS;
  delete key;  // keys are handed out by RegOpenKeyExA and owned by the caller until here
  return ERROR_SUCCESS;
}
