// The process's own facts on Linux: /proc for the command line, gettid,
// the POSIX locale variables for the language.
#include "platform/system/process.h"

#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

thread_local DWORD t_lastError = 0;

// Quotes one argument so that the Win32 rules give it back unchanged:
// backslashes stand for themselves unless a quote follows them, so those
// before a quote (and before the closing quote) are doubled.
void appendArgument(std::string& line, const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
    line += argument;
    return;
  }
  line += '"';
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') backslashes = backslashes * 2 + 1;
    line.append(backslashes, '\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, '\\');
  line += '"';
}

std::string readCommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> arguments;
  std::size_t start = 0;
  while (start < raw.size()) {
    const std::size_t end = raw.find('\0', start);
    const std::size_t stop = end == std::string::npos ? raw.size() : end;
    arguments.emplace_back(raw, start, stop - start);
    start = stop + 1;
  }
  std::string line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i) line += ' ';
    appendArgument(line, arguments[i]);
  }
  return line;
}

const char* localeName() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return "";
}

}  // namespace

const char* GetCommandLineA() {
  static const std::string line = readCommandLine();
  return line.c_str();
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(::gettid()); }

LANGID GetUserDefaultLangID() {
  const char* name = localeName();
  // Only the language part counts ("de_AT.UTF-8" is German).
  std::string language;
  for (const char* p = name; *p && std::isalpha(static_cast<unsigned char>(*p)); ++p)
    language += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
  if (language == "de") return kLangGerman;
  if (language == "fr") return kLangFrench;
  if (language == "es") return kLangSpanish;
  if (language == "it") return kLangItalian;
  return kLangEnglishUs;
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD error) { t_lastError = error; }

char* lstrcpynA(char* destination, const char* source, int length) {
  if (!destination || !source || length < 1) return nullptr;
  const std::size_t limit = static_cast<std::size_t>(length) - 1;
  const std::size_t count = ::strnlen(source, limit);
  std::memcpy(destination, source, count);
  destination[count] = '\0';
  return destination;
}

int lstrcmpiA(const char* a, const char* b) {
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  return ::strcasecmp(a, b);
}

HRESULT CoInitialize(void*) { return S_OK; }

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
  return controls && controls->dwSize == sizeof(INITCOMMONCONTROLSEX) ? 1 : 0;
}
