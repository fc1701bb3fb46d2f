// The packed data archive "data.sar": a read-only File over the entries of
// one archive. The directory stays in memory; opening an entry decodes it
// whole into a buffer, so reads are plain copies. Loaders clone the mounted
// archive and open their clone, which holds its own decoded entry.
//
// Layout (little-endian): "SARC", a version word whose top byte places the
// directory (0: right after the 12-byte header, entry offsets counting from
// its end; 1: at the u32 offset stored at byte 12, entry offsets counting
// from the start), the entry count, then per entry a name length byte, the
// name (backslash-separated), a flags byte, offset, stored size and unpacked
// size. Flag bit 0: range-coded; bit 1: move-to-front and Burrows-Wheeler
// coded, with the u32 primary index right after the stored bytes. Entries
// with any other flag bit cannot be opened.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/byte_buffer.h"
#include "foundation/file.h"

class ArchiveFile : public File {
 public:
  static constexpr std::uint32_t kMagic = 0x43524153;  // "SARC"
  static constexpr std::uint8_t kRangeCoded = 1;
  static constexpr std::uint8_t kBlockSorted = 2;

  // Reads the archive through a clone of `base`.
  explicit ArchiveFile(const File& base);
  // A mounted copy with the archive reopened on a clone of the other's base;
  // no entry open.
  ArchiveFile(const ArchiveFile& other);
  ArchiveFile& operator=(const ArchiveFile&) = delete;
  ~ArchiveFile() override;

  // Opens the archive on the base and reads its directory. False, leaving the
  // archive unmounted, when it is mounted already, missing, not an archive or
  // its directory is damaged.
  bool mount(const char* archiveName);
  bool mounted() const { return m_mounted; }
  int entryCount() const { return static_cast<int>(m_directory.size()); }
  // The stored name of directory entry i (0 <= i < entryCount()).
  const std::string& entryName(int i) const { return m_directory[static_cast<std::size_t>(i)].name; }

  File* clone() const override;
  // Whether a directory entry has the name; its flags are not examined.
  bool exists(const char* name) override;
  // Finds the first openable entry with the name and decodes it; reports
  // and fails when it is absent or its data is damaged.
  bool open(const char* name) override;
  bool create(const char*) override { return false; }
  bool close() override;
  int read(void* buffer, int count) override;
  int write(const void*, int) override { return 0; }
  // Positions are unsigned: anything past the end clamps to it.
  bool seek(int position) override;
  bool skip(int delta) override;
  int tell() override { return static_cast<int>(m_position); }

 private:
  struct Entry {
    std::string name;
    std::uint8_t flags = 0;
    std::uint32_t offset = 0;
    std::uint32_t storedSize = 0;
    std::uint32_t unpackedSize = 0;
  };

  bool readDirectory(std::uint32_t count);
  void unmount();
  const Entry* lookup(const std::string& name, bool openableOnly) const;
  bool decodeEntry(const Entry& entry, const std::string& name);

  std::unique_ptr<File> m_base;
  std::string m_archiveName;
  bool m_mounted = false;
  std::uint32_t m_version = 0;
  std::vector<Entry> m_directory;
  std::uint32_t m_dataBase = 0;
  ByteBuffer m_buffer;
  std::uint32_t m_position = 0;
};

// The mounted game archive that every loader clones. It is not owned here:
// the entry point owns the archive and publishes it for the program's life.
extern File* g_fileSystem;

// A name as the archive stores it: every '/' turned into '\'.
std::string toArchiveName(const char* name);
