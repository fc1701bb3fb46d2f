// Writes "data.sar" archives in every form ArchiveFile reads: entries coded
// with flags 0 (raw), 1 (range-coded), 2 (move-to-front and block-sorted) or
// 3 (both), with the directory after the header (placement 0) or at the end
// (placement 1). Tests and the sample-data tool both write through it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class File;

// An entry as stored: the bytes at its offset (with the primary index after
// them when block-sorted) and the sizes its directory record states.
struct PackedEntry {
  std::vector<std::uint8_t> bytes;
  std::uint32_t storedSize = 0;
  std::uint32_t unpackedSize = 0;
};

class ArchiveWriter {
 public:
  static constexpr int kMaxNameLength = 255;

  explicit ArchiveWriter(int placement = 0) : m_placement(placement) {}

  // 0: directory right after the header; 1: at the end, its offset at byte 12.
  // False for any other value.
  bool setPlacement(int placement);
  int placement() const { return m_placement; }

  // Codes `data` with `flags` (0..3) and adds it under `name`, written with
  // backslashes as the archive stores it. False for other flags or a name
  // longer than 255 bytes.
  bool add(const std::string& name, const std::vector<std::uint8_t>& data, int flags = 3);
  bool add(const std::string& name, std::string_view text, int flags = 3);
  // Adds an entry exactly as given, whatever its flags and sizes say; tests
  // write damaged and unknown entries with it.
  bool addPacked(const std::string& name, int flags, PackedEntry entry);

  // Codes data as an entry with the given flags (0..3) would store it.
  static PackedEntry pack(const std::uint8_t* data, std::size_t size, int flags);

  // While deferred, add() keeps each entry's bytes as given; packPending()
  // codes them later, many at once. The archive is the same either way.
  void setDeferredPacking(bool deferred) { m_deferred = deferred; }
  // Codes every entry still kept as given, on up to `threads` threads.
  void packPending(int threads);
  // Moves the entries of `other` behind this writer's, in their order.
  void append(ArchiveWriter&& other);

  int entryCount() const { return static_cast<int>(m_entries.size()); }
  const std::string& entryName(int i) const { return m_entries[i].name; }
  std::uint32_t entryUnpackedSize(int i) const {
    return m_entries[i].pending ? static_cast<std::uint32_t>(m_entries[i].raw.size())
                                : m_entries[i].packed.unpackedSize;
  }

  // The archive's bytes.
  std::vector<std::uint8_t> build() const;
  // Creates `path` through `file` (closed, of any File kind) and writes the
  // archive; false when it cannot be created or written whole.
  bool write(File& file, const char* path) const;
  // Writes to disk at `path`.
  bool write(const char* path) const;

 private:
  struct Entry {
    std::string name;
    std::uint8_t flags = 0;
    PackedEntry packed;
    bool pending = false;           // kept as given until packPending()
    std::vector<std::uint8_t> raw;  // the bytes as given while pending
  };

  int m_placement = 0;
  bool m_deferred = false;
  std::vector<Entry> m_entries;
};
