// Feeds arbitrary bytes to the registry file parser. The first line names
// the key to open below HKEY_LOCAL_MACHINE; the rest is the registry file,
// written to a file of this process's own that $TESSALINE_REGISTRY points
// at. Every name given before an '=' in the file is queried the three ways
// callers do (size only, too small a buffer, whole value), and what comes
// back must agree with its type.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/registry.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// The file is rewritten for every input: in memory when the system offers
// it and no TMPDIR is asked for, as a disk file system writes a truncated
// and refilled file out each time (a few hundred inputs a second instead of
// tens of thousands).
std::filesystem::path scratchFolder() {
  std::error_code error;
  if (!std::getenv("TMPDIR") && std::filesystem::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0)
    return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

const std::string& registryPath() {
  static const std::string path = [] {
    const auto file = scratchFolder() / ("registry_fuzz_" + std::to_string(::getpid()) + ".ini");
    setenv("TESSALINE_REGISTRY", file.c_str(), 1);
    static std::string s_path = file.string();
    std::atexit([] { std::remove(s_path.c_str()); });
    return file.string();
  }();
  return path;
}

void query(HKEY key, const std::string& name) {
  DWORD type = REG_NONE, size = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return;
  // A line longer than 4096 bytes is skipped: no text is longer.
  require(type == REG_DWORD ? size == 4 : type == REG_SZ && size >= 1 && size <= 4096);

  std::vector<BYTE> buffer(size + 1, 0xAB);
  DWORD small = size - 1;
  require(RegQueryValueExA(key, name.c_str(), nullptr, nullptr, buffer.data(), &small) == ERROR_MORE_DATA);
  require(small == size && buffer[0] == 0xAB);

  DWORD whole = size + 1;
  require(RegQueryValueExA(key, name.c_str(), nullptr, nullptr, buffer.data(), &whole) == ERROR_SUCCESS);
  require(whole == size && buffer[size] == 0xAB);
  if (type == REG_SZ) require(buffer[size - 1] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t firstEnd = input.find('\n');
  const std::string keyPath(input.substr(0, firstEnd));
  const std::string_view text = firstEnd == std::string_view::npos ? std::string_view() : input.substr(firstEnd + 1);
  {
    std::ofstream out(registryPath(), std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }

  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    require(key == nullptr);
    return 0;
  }
  require(key != nullptr);
  std::size_t lineStart = 0;
  while (lineStart < text.size()) {
    std::size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = text.size();
    const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos) {
      std::string name(line.substr(0, eq));
      query(key, name);
      // The way the file may write it, with spaces around or quotes.
      const auto begin = name.find_first_not_of(" \t\"");
      const auto end = name.find_last_not_of(" \t\"\r");
      if (begin != std::string::npos && end >= begin) query(key, name.substr(begin, end - begin + 1));
    }
    lineStart = lineEnd + 1;
  }
  require(RegCloseKey(key) == ERROR_SUCCESS);
  return 0;
}
