// Mounts the input as "data.sar" and opens every entry: damaged directories
// and entries must fail cleanly, without reading outside their buffers or
// allocating by sizes the data cannot back.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/archive_file.h"
#include "foundation/byte_fields.h"
#include "fuzz/byte_file.h"

namespace {

// Reads the names back out of the directory the same way the archive does,
// so every entry is opened by its own name.
std::vector<std::string> entryNames(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> names;
  auto u32 = [&](std::size_t at) -> std::uint32_t {
    if (at + 4 > size) return 0xFFFFFFFFu;
    return FieldReader(data + at, 4).u32();
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
  FuzzByteFile input(data, size);
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
