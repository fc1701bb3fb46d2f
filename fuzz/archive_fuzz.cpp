// Mounts the input as "data.sar" and opens every entry: damaged directories
// and entries must fail cleanly, without reading outside their buffers or
// allocating by sizes the data cannot back.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/archive_file.h"

namespace {

// A read-only File over the fuzz input.
class InputFile : public File {
 public:
  InputFile(const std::uint8_t* data, std::size_t size) : m_data(data), m_length(size) {}
  File* clone() const override { return new InputFile(m_data, m_length); }
  bool exists(const char* name) override { return name && std::strcmp(name, "data.sar") == 0; }
  bool open(const char* name) override {
    if (m_open || !exists(name)) return false;
    m_open = true;
    m_position = 0;
    m_size = static_cast<int>(std::min<std::size_t>(m_length, 0x7FFFFFFF));
    return true;
  }
  bool create(const char*) override { return false; }
  bool close() override {
    const bool wasOpen = m_open;
    m_open = false;
    m_size = 0;
    return wasOpen;
  }
  int read(void* buffer, int count) override {
    if (!m_open || count <= 0) return 0;
    const int n = std::min(count, m_size - m_position);
    if (n <= 0) return 0;
    std::memcpy(buffer, m_data + m_position, static_cast<std::size_t>(n));
    m_position += n;
    return n;
  }
  int write(const void*, int) override { return 0; }
  bool seek(int position) override {
    if (!m_open || position < 0) return false;
    m_position = position;
    return true;
  }
  bool skip(int delta) override {
    const long long to = static_cast<long long>(m_position) + delta;
    if (!m_open || to < 0 || to > 0x7FFFFFFF) return false;
    m_position = static_cast<int>(to);
    return true;
  }
  int tell() override { return m_open ? m_position : -1; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_length;
  bool m_open = false;
  int m_position = 0;
};

// Reads the names back out of the directory the same way the archive does,
// so every entry is opened by its own name.
std::vector<std::string> entryNames(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> names;
  auto u32 = [&](std::size_t at) -> std::uint32_t {
    if (at + 4 > size) return 0xFFFFFFFFu;
    return data[at] | data[at + 1] << 8 | data[at + 2] << 16 | static_cast<std::uint32_t>(data[at + 3]) << 24;
  };
  if (size < 12) return names;
  const std::uint32_t count = u32(8);
  std::size_t at = (data[7] == 1) ? u32(12) : 12;
  for (std::uint32_t i = 0; i < count && at < size && names.size() < 4096; ++i) {
    const std::size_t length = data[at];
    if (at + 1 + length > size) break;
    const char* name = reinterpret_cast<const char*>(data + at + 1);
    names.emplace_back(name, strnlen(name, length));
    at += 1 + length + 13;
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  InputFile input(data, size);
  ArchiveFile archive(input);
  if (!archive.mount("data.sar")) return 0;
  std::unique_ptr<File> entry = archive.cloneUnique();
  for (const std::string& name : entryNames(data, size)) {
    archive.exists(name.c_str());
    if (!entry->open(name.c_str())) continue;
    std::uint8_t sink[64];
    entry->seek(entry->size() / 2);
    while (entry->read(sink, sizeof sink) > 0) {
    }
  }
  return 0;
}
