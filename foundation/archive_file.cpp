#include "foundation/archive_file.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "foundation/burrows_wheeler.h"
#include "foundation/byte_fields.h"
#include "foundation/range_decoder.h"
#include "foundation/report.h"

File* g_fileSystem = nullptr;

namespace {

// The smallest directory record: an empty name, flags and three words.
constexpr std::int64_t kMinRecordSize = 1 + 1 + 4 + 4 + 4;

// What a range-coded entry of `stored` bytes gets before decoding starts:
// room for the ratios game data reaches, never more than kFirstAllocationCap.
// Entries that decode to more grow as they go.
constexpr std::int64_t kFirstAllocationCap = std::int64_t{64} << 20;
std::int64_t firstAllocation(std::int64_t stored) {
  return std::min({8 * stored + 65536, kFirstAllocationCap, RangeDecoder::maxDecodedSize(stored)});
}

bool readU8(File& file, std::uint8_t& value) { return file.read(&value, 1) == 1; }

bool readU32(File& file, std::uint32_t& value) {
  std::uint8_t b[4];
  if (file.read(b, 4) != 4) return false;
  value = FieldReader(b, 4).u32();
  return true;
}

// Reads exactly `count` bytes; File::read may return fewer per call.
bool readExactly(File& file, std::uint8_t* data, int count) {
  while (count > 0) {
    const int n = file.read(data, count);
    if (n <= 0) return false;
    data += n;
    count -= n;
  }
  return true;
}

char foldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (foldCase(a[i]) != foldCase(b[i])) return false;
  return true;
}

}  // namespace

std::string toArchiveName(const char* name) {
  std::string converted = name ? name : "";
  std::replace(converted.begin(), converted.end(), '/', '\\');
  return converted;
}

ArchiveFile::ArchiveFile(const File& base) : m_base(base.clone()) {}

ArchiveFile::ArchiveFile(const ArchiveFile& other)
    : File(),
      m_base(other.m_base->clone()),
      m_archiveName(other.m_archiveName),
      m_mounted(other.m_mounted),
      m_version(other.m_version),
      m_directory(other.m_directory),
      m_dataBase(other.m_dataBase) {
  // A copy that cannot reach the archive any more finds nothing in it.
  if (m_mounted && !m_base->open(m_archiveName.c_str())) {
    m_mounted = false;
    m_archiveName.clear();
    m_directory.clear();
  }
}

ArchiveFile::~ArchiveFile() {
  if (m_mounted) m_base->close();
}

File* ArchiveFile::clone() const { return new ArchiveFile(*this); }

void ArchiveFile::unmount() {
  m_base->close();
  m_archiveName.clear();
  m_mounted = false;
  m_version = 0;
  m_directory.clear();
  m_dataBase = 0;
}

bool ArchiveFile::mount(const char* archiveName) {
  if (m_mounted || !archiveName) return false;
  if (!m_base->exists(archiveName) || !m_base->open(archiveName)) return false;
  m_archiveName = archiveName;
  m_mounted = true;  // the base is open: unmount() closes it on any failure

  std::uint32_t magic = 0, version = 0, count = 0;
  if (!readU32(*m_base, magic) || magic != kMagic || !readU32(*m_base, version) || !readU32(*m_base, count)) {
    unmount();
    return false;
  }
  m_version = version;
  const std::uint32_t placement = version >> 24;
  if (placement == 1) {
    std::uint32_t directoryOffset = 0;
    if (!readU32(*m_base, directoryOffset) || directoryOffset > static_cast<std::uint32_t>(INT_MAX) ||
        !m_base->seek(static_cast<int>(directoryOffset))) {
      unmount();
      return false;
    }
  } else if (placement != 0) {
    unmount();
    return false;
  }
  if (!readDirectory(count)) {
    unmount();
    return false;
  }
  if (placement == 0) {
    const int end = m_base->tell();
    if (end < 0) {
      unmount();
      return false;
    }
    m_dataBase = static_cast<std::uint32_t>(end);
  } else {
    m_dataBase = 0;
  }
  return true;
}

bool ArchiveFile::readDirectory(std::uint32_t count) {
  // The count comes from the file: records it cannot hold are not reserved.
  const std::int64_t room = std::max<std::int64_t>(0, m_base->size() - std::max(0, m_base->tell()));
  if (static_cast<std::int64_t>(count) * kMinRecordSize > room) return false;
  m_directory.clear();
  m_directory.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    Entry entry;
    std::uint8_t length = 0;
    if (!readU8(*m_base, length)) return false;
    // Names may use the whole length byte (up to 255 characters).
    char name[256];
    if (length > 0 && !readExactly(*m_base, reinterpret_cast<std::uint8_t*>(name), length)) return false;
    // A name ends at its first NUL, as the lookup compares C strings.
    entry.name.assign(name, strnlen(name, length));
    if (!readU8(*m_base, entry.flags) || !readU32(*m_base, entry.offset) || !readU32(*m_base, entry.storedSize) ||
        !readU32(*m_base, entry.unpackedSize))
      return false;
    m_directory.push_back(std::move(entry));
  }
  return true;
}

const ArchiveFile::Entry* ArchiveFile::lookup(const std::string& name, bool openableOnly) const {
  for (const Entry& entry : m_directory) {
    if (!sameNameIgnoringCase(entry.name, name)) continue;
    if (openableOnly && (entry.flags & ~(kRangeCoded | kBlockSorted)) != 0) continue;
    return &entry;
  }
  return nullptr;
}

bool ArchiveFile::exists(const char* name) { return name && lookup(toArchiveName(name), false) != nullptr; }

bool ArchiveFile::open(const char* name) {
  close();
  if (!name) return false;
  const std::string converted = toArchiveName(name);
  const Entry* entry = lookup(converted, true);
  if (!entry) {
    reportError("error: \"%s\" not found !!!\n", converted.c_str());
    return false;
  }
  bool decoded = false;
  try {
    decoded = decodeEntry(*entry, converted);
  } catch (const std::bad_alloc&) {
    // A huge entry (or a damaged one that decodes to a lot) is a failed
    // open like any other, not the end of the program.
    reportError("error: \"%s\" is too large to open !!!\n", converted.c_str());
  }
  if (!decoded) {
    close();
    return false;
  }
  m_size = m_buffer.size();
  m_position = 0;
  return true;
}

bool ArchiveFile::decodeEntry(const Entry& entry, const std::string& name) {
  const bool sorted = (entry.flags & kBlockSorted) != 0;
  // All of the entry's bytes, index included, must lie inside the archive;
  // a short read would otherwise leave stale bytes in the buffer.
  const std::int64_t begin = static_cast<std::int64_t>(m_dataBase) + entry.offset;
  const std::int64_t end = begin + entry.storedSize + (sorted ? 4 : 0);
  if (end > m_base->size() || !m_base->seek(static_cast<int>(begin))) {
    reportError("error: \"%s\" lies past the end of the archive !!!\n", name.c_str());
    return false;
  }
  const int stored = static_cast<int>(entry.storedSize);

  // For a sorted entry the first stages produce the last column of the
  // transform; the last stage turns it back into the entry.
  ByteBuffer column;
  ByteBuffer& firstOutput = sorted ? column : m_buffer;
  MoveToFrontState ranks;
  if (entry.flags & kRangeCoded) {
    ByteBuffer packed;
    packed.resize(stored);
    if (!readExactly(*m_base, packed.data(), stored)) {
      reportError("error: \"%s\" could not be read !!!\n", name.c_str());
      return false;
    }
    // The directory's unpacked size is only a hint, and a damaged one can
    // claim gigabytes: the first allocation follows the stored size, and
    // the output grows towards the hint only as decoded bytes arrive.
    firstOutput.resize(static_cast<int>(std::min<std::int64_t>(entry.unpackedSize, firstAllocation(stored))));
    try {
      RangeDecoder decoder;
      // Sorted entries undo the move-to-front stage in the same pass.
      if (sorted) {
        decoder.decode(&packed, column, ranks, entry.unpackedSize);
      } else {
        decoder.decode(&packed, m_buffer, entry.unpackedSize);
      }
    } catch (const RangeDecoder::Error& error) {
      reportError("error: \"%s\": %s !!!\n", name.c_str(), error.what());
      return false;
    }
  } else {
    m_buffer.resize(stored);
    if (!readExactly(*m_base, m_buffer.data(), stored)) {
      reportError("error: \"%s\" could not be read !!!\n", name.c_str());
      return false;
    }
    if (sorted) decodeMoveToFront(ranks, m_buffer, column);
  }

  if (sorted) {
    std::uint32_t primaryIndex = 0;
    if (!readU32(*m_base, primaryIndex)) {
      reportError("error: \"%s\" could not be read !!!\n", name.c_str());
      return false;
    }
    IndexArray index;
    if (!inverseBurrowsWheeler(index, column, primaryIndex, m_buffer)) {
      reportError("error: \"%s\": %s !!!\n", name.c_str(), RangeDecoder::Error().what());
      return false;
    }
  }
  return true;
}

bool ArchiveFile::close() {
  m_buffer.resize(0);
  m_buffer.position = 0;
  m_size = 0;
  m_position = 0;
  return true;
}

int ArchiveFile::read(void* buffer, int count) {
  if (!buffer || count <= 0) return 0;
  const std::uint32_t available = static_cast<std::uint32_t>(m_size) - m_position;
  const std::uint32_t n = std::min(static_cast<std::uint32_t>(count), available);
  if (n > 0) std::memcpy(buffer, m_buffer.data() + m_position, n);
  m_position += n;
  return static_cast<int>(n);
}

bool ArchiveFile::seek(int position) {
  m_position = std::min(static_cast<std::uint32_t>(position), static_cast<std::uint32_t>(m_size));
  return true;
}

bool ArchiveFile::skip(int delta) {
  const std::uint32_t moved = m_position + static_cast<std::uint32_t>(delta);
  m_position = std::min(moved, static_cast<std::uint32_t>(m_size));
  return true;
}
