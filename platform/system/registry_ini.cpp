// Registry keys read from the user's INI-style registry file.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/system/registry.h"
#include "platform/system/regular_file.h"
#include "platform/system/system.h"

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

// Lines longer than this are no registry line anyone wrote: a name, a
// number or a caption take a few dozen bytes.
constexpr std::size_t kMaxLineBytes = 4096;

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view trim(std::string_view s) {
  const auto begin = s.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return {};
  const auto end = s.find_last_not_of(" \t\r\n");
  return s.substr(begin, end - begin + 1);
}

bool startsWithFolded(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

// Folds slashes, doubled separators and the usual root abbreviations.
std::string normalisePath(std::string_view raw) {
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

bool parseDword(std::string_view text, DWORD* out) {
  const std::string s(trim(text));  // a line's worth at most, for strtoull's terminator
  if (s.empty() || s[0] == '-' || s[0] == '+') return false;
  const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(s.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || end == s.c_str() || *end != '\0' || value > 0xFFFFFFFFull) return false;
  *out = static_cast<DWORD>(value);
  return true;
}

bool parseValue(std::string_view raw, RegistryValue* out) {
  const std::string_view text = trim(raw);
  if (startsWithFolded(text, "dword:")) {
    out->type = REG_DWORD;
    return parseDword(text.substr(6), &out->number);
  }
  out->type = REG_SZ;
  if (startsWithFolded(text, "sz:")) {
    out->text = text.substr(3);
  } else if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    out->text = text.substr(1, text.size() - 2);
  } else {
    out->text = text;
  }
  return true;
}

// Hands each line of the regular file at `path` (without its line feed) to
// `take`, reading the file in pieces; a line longer than kMaxLineBytes is
// skipped whole and counted in `skipped`. False when no regular file can
// be read there: a folder, a device or a pipe counts as no file, and
// opening never waits.
template <class Take>
bool forEachLine(const std::string& path, std::size_t& skipped, Take take) {
  const int fd = openRegularFile(path.c_str(), nullptr);
  if (fd < 0) return false;
  std::string line;
  bool tooLong = false;
  const auto endLine = [&] {
    if (tooLong)
      ++skipped;
    else
      take(std::string_view(line));
    line.clear();
    tooLong = false;
  };
  char chunk[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    std::string_view rest(chunk, static_cast<std::size_t>(got));
    while (!rest.empty()) {
      const std::size_t feed = rest.find('\n');
      const std::string_view piece = rest.substr(0, feed);
      if (!tooLong && line.size() + piece.size() <= kMaxLineBytes) {
        line += piece;
      } else {
        tooLong = true;
        line.clear();
      }
      if (feed == std::string_view::npos) break;
      endLine();
      rest.remove_prefix(feed + 1);
    }
  }
  if (tooLong || !line.empty()) endLine();
  ::close(fd);
  return true;
}

// Reads the one section for `path`; later duplicate names win, as a user
// editing the file by appending a line would expect.
bool loadSection(const std::string& path, RegistryKey* key) {
  const std::string file = registryFilePath();
  bool found = false;
  bool inSection = false;
  bool first = true;
  std::size_t skipped = 0;
  const bool read = forEachLine(file, skipped, [&](std::string_view raw) {
    // Editors on other systems like to start the file with a byte-order mark.
    if (first && raw.starts_with("\xEF\xBB\xBF")) raw.remove_prefix(3);
    first = false;
    const std::string_view line = trim(raw);
    if (line.empty() || line[0] == ';' || line[0] == '#') return;
    if (line.front() == '[') {
      inSection = line.back() == ']' && normalisePath(line.substr(1, line.size() - 2)) == path;
      found = found || inSection;
      return;
    }
    if (!inSection) return;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return;
    std::string_view name = trim(line.substr(0, eq));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    RegistryValue value;
    if (name.empty() || !parseValue(line.substr(eq + 1), &value)) return;
    key->values[lower(name)] = std::move(value);
  });
  if (skipped > 0) {
    const std::string note = "registry file \"" + file + "\": " + std::to_string(skipped) +
                             (skipped == 1 ? " line" : " lines") + " longer than " + std::to_string(kMaxLineBytes) +
                             " bytes skipped";
    platformLog(note.c_str());
  }
  return read && found;
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
