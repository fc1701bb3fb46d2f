#include "tests/support/sample_archive.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "foundation/archive_file.h"
#include "tests/support/memory_file.h"

namespace {

#ifdef TESSALINE_SAMPLE_ARCHIVE
constexpr const char* kPath = TESSALINE_SAMPLE_ARCHIVE;
#else
constexpr const char* kPath = "";
#endif

}  // namespace

const std::vector<std::uint8_t>& builtSampleArchiveBytes() {
  static const std::vector<std::uint8_t> bytes = [] {
    std::ifstream in(kPath, std::ios::binary);
    std::vector<std::uint8_t> read((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return read;
  }();
  EXPECT_FALSE(bytes.empty()) << "the build wrote no sample archive at \"" << kPath << "\"";
  return bytes;
}

ArchiveFile& builtSampleArchive() {
  static MemoryFile disk;
  static std::unique_ptr<ArchiveFile> archive = [] {
    disk.put("data.sar", builtSampleArchiveBytes());
    auto mounted = std::make_unique<ArchiveFile>(disk);
    EXPECT_TRUE(mounted->mount("data.sar"));
    return mounted;
  }();
  return *archive;
}
