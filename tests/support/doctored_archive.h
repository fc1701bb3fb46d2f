// The sample archive as a player might have doctored it: some entries
// replaced or added, written as a real "data.sar" (entries stored as they
// are) and mounted from memory, so that the game's loaders meet the files
// through the archive as they would at home. Header only: it needs the
// content writers, which only some test programs link.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "content/archive_writer.h"
#include "foundation/archive_file.h"
#include "tests/support/memory_file.h"
#include "tests/support/sample_archive.h"

class DoctoredArchive {
 public:
  using Bytes = std::vector<std::uint8_t>;
  using Changes = std::vector<std::pair<std::string, Bytes>>;

  // The changed entries come first: the archive opens the first entry of a
  // name, so they stand in for the sample's own.
  explicit DoctoredArchive(const Changes& changes) {
    ArchiveWriter writer;
    for (const auto& [name, bytes] : changes) writer.add(name, bytes, 0);
    for (const auto& [name, bytes] : sampleEntries()) writer.add(name, bytes, 0);
    m_disk.put("data.sar", writer.build());
    m_archive = std::make_unique<ArchiveFile>(m_disk);
    EXPECT_TRUE(m_archive->mount("data.sar")) << "the doctored archive";
  }

  ArchiveFile& archive() { return *m_archive; }

  static Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

  // Every entry a writer holds, unpacked, in its order: content written
  // through the sample tool's own writers, as changes.
  static Changes entriesOf(const ArchiveWriter& writer) {
    MemoryFile disk;
    disk.put("changes.sar", writer.build());
    ArchiveFile written(disk);
    EXPECT_TRUE(written.mount("changes.sar")) << "the changes' archive";
    return entriesOf(written);
  }

  // An entry of the sample archive as it is stored there; empty when it has
  // none of the name.
  static Bytes sampleEntry(const std::string& name) {
    for (const auto& [stored, bytes] : sampleEntries())
      if (stored == name) return bytes;
    return {};
  }

 private:
  static Changes entriesOf(ArchiveFile& archive) {
    Changes read;
    const std::unique_ptr<File> reader = archive.cloneUnique();
    for (int i = 0; i < archive.entryCount(); ++i) {
      const std::string& name = archive.entryName(i);
      if (!reader->open(name.c_str())) continue;
      Bytes bytes(static_cast<std::size_t>(reader->size()));
      if (!bytes.empty()) reader->read(bytes.data(), reader->size());
      reader->close();
      read.emplace_back(name, std::move(bytes));
    }
    return read;
  }
  // Every entry of the sample archive, unpacked once per test program.
  static const Changes& sampleEntries() {
    static const Changes entries = entriesOf(builtSampleArchive());
    return entries;
  }

  MemoryFile m_disk;
  std::unique_ptr<ArchiveFile> m_archive;
};
