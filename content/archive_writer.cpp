#include "content/archive_writer.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "content/burrows_wheeler_encoder.h"
#include "content/byte_writer.h"
#include "content/range_encoder.h"
#include "foundation/archive_file.h"
#include "foundation/file.h"

namespace {

using content_bytes::putU32;

// Overwrites four bytes written before (a size known only later).
void patchU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  if (at <= out.size()) FieldWriter(out.data() + at, out.size() - at).u32(value);
}

}  // namespace

bool ArchiveWriter::setPlacement(int placement) {
  if (placement != 0 && placement != 1) return false;
  m_placement = placement;
  return true;
}

PackedEntry ArchiveWriter::pack(const std::uint8_t* data, std::size_t size, int flags) {
  PackedEntry entry;
  entry.unpackedSize = static_cast<std::uint32_t>(size);
  std::vector<std::uint8_t> bytes(data, data + size);
  std::uint32_t primaryIndex = 0;
  if (flags & ArchiveFile::kBlockSorted) {
    BurrowsWheelerBlock block = forwardBurrowsWheeler(bytes.data(), bytes.size());
    primaryIndex = block.primaryIndex;
    bytes = encodeMoveToFront(block.lastColumn.data(), block.lastColumn.size());
  }
  if (flags & ArchiveFile::kRangeCoded) bytes = RangeEncoder::encodeBytes(bytes.data(), bytes.size());
  entry.storedSize = static_cast<std::uint32_t>(bytes.size());
  if (flags & ArchiveFile::kBlockSorted) putU32(bytes, primaryIndex);
  entry.bytes = std::move(bytes);
  return entry;
}

bool ArchiveWriter::add(const std::string& name, const std::vector<std::uint8_t>& data, int flags) {
  if (flags < 0 || flags > 3 || name.size() > kMaxNameLength) return false;
  if (m_deferred)
    m_entries.push_back({name, static_cast<std::uint8_t>(flags), {}, true, data});
  else
    m_entries.push_back({name, static_cast<std::uint8_t>(flags), pack(data.data(), data.size(), flags), false, {}});
  return true;
}

void ArchiveWriter::packPending(int threads) {
  std::vector<Entry*> pending;
  for (Entry& e : m_entries)
    if (e.pending) pending.push_back(&e);
  // The largest first, so that no thread is left with a big one at the end.
  std::stable_sort(pending.begin(), pending.end(),
                   [](const Entry* a, const Entry* b) { return a->raw.size() > b->raw.size(); });
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next++; i < pending.size(); i = next++) {
      Entry& e = *pending[i];
      e.packed = pack(e.raw.data(), e.raw.size(), e.flags);
      e.pending = false;
      std::vector<std::uint8_t>().swap(e.raw);
    }
  };
  std::vector<std::thread> helpers;
  const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), pending.size());
  for (std::size_t t = 1; t < count; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& t : helpers) t.join();
}

void ArchiveWriter::append(ArchiveWriter&& other) {
  for (Entry& e : other.m_entries) m_entries.push_back(std::move(e));
  other.m_entries.clear();
}

bool ArchiveWriter::add(const std::string& name, std::string_view text, int flags) {
  return add(name, std::vector<std::uint8_t>(text.begin(), text.end()), flags);
}

bool ArchiveWriter::addPacked(const std::string& name, int flags, PackedEntry entry) {
  if (flags < 0 || flags > 255 || name.size() > kMaxNameLength) return false;
  m_entries.push_back({name, static_cast<std::uint8_t>(flags), std::move(entry), false, {}});
  return true;
}

std::vector<std::uint8_t> ArchiveWriter::build() const {
  // Entries still kept as given are coded here, in a copy.
  std::vector<PackedEntry> late(m_entries.size());
  for (std::size_t i = 0; i < m_entries.size(); ++i)
    if (m_entries[i].pending) late[i] = pack(m_entries[i].raw.data(), m_entries[i].raw.size(), m_entries[i].flags);
  auto packedOf = [&](std::size_t i) -> const PackedEntry& {
    return m_entries[i].pending ? late[i] : m_entries[i].packed;
  };
  std::vector<std::uint8_t> directory;
  std::uint32_t offset = m_placement == 1 ? 16 : 0;
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    const Entry& entry = m_entries[i];
    const PackedEntry& packed = packedOf(i);
    directory.push_back(static_cast<std::uint8_t>(entry.name.size()));
    directory.insert(directory.end(), entry.name.begin(), entry.name.end());
    directory.push_back(entry.flags);
    putU32(directory, offset);
    putU32(directory, packed.storedSize);
    putU32(directory, packed.unpackedSize);
    offset += static_cast<std::uint32_t>(packed.bytes.size());
  }

  std::vector<std::uint8_t> out;
  putU32(out, ArchiveFile::kMagic);
  putU32(out, static_cast<std::uint32_t>(m_placement) << 24);
  putU32(out, static_cast<std::uint32_t>(m_entries.size()));
  if (m_placement == 0) {
    out.insert(out.end(), directory.begin(), directory.end());
  } else {
    putU32(out, 0);  // the directory's offset, known once the data is written
  }
  for (std::size_t i = 0; i < m_entries.size(); ++i)
    out.insert(out.end(), packedOf(i).bytes.begin(), packedOf(i).bytes.end());
  if (m_placement == 1) {
    patchU32(out, 12, static_cast<std::uint32_t>(out.size()));
    out.insert(out.end(), directory.begin(), directory.end());
  }
  return out;
}

bool ArchiveWriter::write(File& file, const char* path) const {
  const std::vector<std::uint8_t> bytes = build();
  if (!file.create(path)) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const int n = file.write(bytes.data() + done, static_cast<int>(bytes.size() - done));
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  file.close();
  return done == bytes.size();
}

bool ArchiveWriter::write(const char* path) const {
  DiskFile file;
  return write(file, path);
}
