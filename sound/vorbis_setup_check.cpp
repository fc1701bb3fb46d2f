// Reads Vorbis setup headers as far as their residues, bit by bit, never
// past the packet, so that books the decoder would divide by are refused.
#include "sound/vorbis_setup_check.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// Vorbis packs fields least significant bit first.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_bits(size * 8) {}

  // Up to 32 bits; 0 and failed() once the packet has ended.
  std::uint32_t read(int count) {
    if (static_cast<std::size_t>(count) > m_bits - m_at) {
      m_failed = true;
      m_at = m_bits;
      return 0;
    }
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++m_at)
      value |= static_cast<std::uint32_t>(m_data[m_at >> 3] >> (m_at & 7) & 1) << i;
    return value;
  }
  void skip(std::uint64_t count) {
    if (count > m_bits - m_at) {
      m_failed = true;
      count = m_bits - m_at;
    }
    m_at += static_cast<std::size_t>(count);
  }
  std::size_t position() const { return m_at; }
  bool failed() const { return m_failed; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_bits;
  std::size_t m_at = 0;
  bool m_failed = false;
};

int ilog(std::uint32_t value) {
  int bits = 0;
  for (; value; value >>= 1) ++bits;
  return bits;
}

// The greatest r with r^dimensions <= entries: the values a lookup type 1
// book stores. Dimension 0 stores none, as the decoder takes it.
std::uint64_t lookup1Values(std::uint32_t entries, std::uint32_t dimensions) {
  if (dimensions == 0) return 0;
  const auto fits = [&](std::uint64_t r) {
    std::uint64_t power = 1;
    for (std::uint32_t i = 0; i < dimensions; ++i) {
      power *= r;
      if (power > entries) return false;
    }
    return true;
  };
  std::uint64_t low = 0, high = entries;  // fits(low) holds throughout
  while (low < high) {
    const std::uint64_t middle = low + (high - low + 1) / 2;
    if (fits(middle))
      low = middle;
    else
      high = middle - 1;
  }
  return low;
}

constexpr const char* kEndsEarly = "setup header ends early";

class SetupReader {
 public:
  SetupReader(const std::uint8_t* packet, std::size_t size, VorbisSetupLayout& layout, std::uint64_t lookupValuesBefore)
      : m_bits(packet, size), m_layout(layout), m_lookupValuesBefore(lookupValuesBefore) {}

  std::string read() {
    m_bits.skip(7 * 8);  // packet type and "vorbis"
    std::string refused = readCodebooks();
    if (refused.empty()) refused = readTimeDomain();
    if (refused.empty()) refused = readFloors();
    if (refused.empty()) refused = readResidues();
    if (refused.empty() && m_bits.failed()) refused = kEndsEarly;
    return refused;
  }

 private:
  std::string readCodebooks() {
    const int count = static_cast<int>(m_bits.read(8)) + 1;
    for (int book = 0; book < count; ++book) {
      VorbisSetupLayout::Codebook codebook;
      codebook.bitOffset = m_bits.position();
      if (m_bits.read(24) != 0x564342)
        return m_bits.failed() ? kEndsEarly : "codebook " + std::to_string(book) + " has no sync pattern";
      codebook.dimensions = static_cast<int>(m_bits.read(16));
      const std::uint32_t entries = m_bits.read(24);
      codebook.entries = static_cast<int>(entries);
      // The decoder sets a book up with a stack array of a pointer per
      // entry: 2^24 of them overflow any stack.
      if (m_bits.failed()) return kEndsEarly;
      if (entries > static_cast<std::uint32_t>(kMaxVorbisBookEntries))
        return "codebook " + std::to_string(book) + " has " + std::to_string(entries) + " entries";
      // The code lengths must fill the code tree exactly (a lone entry of
      // length 1 aside): the decoder fails to set up any other book, and
      // its next attempt decodes with the books after it left zeroed, whose
      // dimension 0 the residue decoder divides by. Sums in 2^-32 units.
      std::uint64_t filled = 0;
      std::uint32_t used = 0, lastLength = 0;
      const auto take = [&](std::uint32_t length, std::uint32_t count) {
        filled += std::uint64_t{count} << (32 - length);
        used += count;
        lastLength = length;
      };
      if (m_bits.read(1)) {  // ordered: runs of entries with rising lengths
        std::uint32_t entry = 0;
        for (std::uint32_t length = m_bits.read(5) + 1; entry < entries && !m_bits.failed(); ++length) {
          if (length > 32) return "codebook " + std::to_string(book) + " has a code longer than 32 bits";
          const std::uint32_t run = m_bits.read(ilog(entries - entry));
          if (run > entries - entry) return "codebook " + std::to_string(book) + " has more lengths than entries";
          take(length, run);
          entry += run;
        }
      } else {
        const bool sparse = m_bits.read(1) != 0;
        // Each entry takes at least one bit, so the packet bounds the loop.
        for (std::uint32_t entry = 0; entry < entries && !m_bits.failed(); ++entry)
          if (!sparse || m_bits.read(1)) take(m_bits.read(5) + 1, 1);
      }
      if (m_bits.failed()) return kEndsEarly;
      if (used > 0 && filled != std::uint64_t{1} << 32 && !(used == 1 && lastLength == 1))
        return "codebook " + std::to_string(book) + " has code lengths that do not make a complete code";
      codebook.lookupType = static_cast<int>(m_bits.read(4));
      if (codebook.lookupType == 1 || codebook.lookupType == 2) {
        m_bits.skip(64);  // minimum and delta
        const std::uint64_t valueBits = m_bits.read(4) + 1;
        m_bits.read(1);  // sequence flag
        const std::uint64_t values = codebook.lookupType == 1
                                         ? lookup1Values(entries, static_cast<std::uint32_t>(codebook.dimensions))
                                         : std::uint64_t{entries} * static_cast<std::uint32_t>(codebook.dimensions);
        m_bits.skip(values * valueBits);  // at most 2^40 values of 16 bits: no overflow
      } else if (codebook.lookupType != 0) {
        return "codebook " + std::to_string(book) + " has lookup type " + std::to_string(codebook.lookupType);
      }
      if (m_bits.failed()) return kEndsEarly;
      if (codebook.lookupType != 0) {
        // The decoder expands a lookup book to a float per entry and
        // dimension (and holds type 2 values as longs before that).
        m_layout.lookupValues += std::uint64_t{entries} * static_cast<std::uint32_t>(codebook.dimensions);
        if (m_lookupValuesBefore + m_layout.lookupValues > kMaxVorbisLookupValues)
          return "lookup books hold more than " + std::to_string(kMaxVorbisLookupValues) + " values";
      }
      m_layout.codebooks.push_back(codebook);
    }
    m_layout.codebooksEnd = m_bits.position();
    return {};
  }

  std::string readTimeDomain() {
    const int count = static_cast<int>(m_bits.read(6)) + 1;
    for (int i = 0; i < count; ++i)
      if (m_bits.read(16) != 0) return m_bits.failed() ? kEndsEarly : "time domain transform is not 0";
    return {};
  }

  // Reads a book index; empty when `book` names an existing book.
  std::string book(const char* user, int* index) {
    *index = static_cast<int>(m_bits.read(8));
    if (m_bits.failed()) return kEndsEarly;
    if (*index >= static_cast<int>(m_layout.codebooks.size()))
      return std::string(user) + " names codebook " + std::to_string(*index) + ", which does not exist";
    return {};
  }

  std::string readFloors() {
    const int count = static_cast<int>(m_bits.read(6)) + 1;
    for (int floor = 0; floor < count; ++floor) {
      const std::uint32_t type = m_bits.read(16);
      if (type == 0) {
        m_bits.skip(8 + 16 + 16 + 6 + 8);  // order, rate, bark map size, amplitude bits and offset
        const int books = static_cast<int>(m_bits.read(4)) + 1;
        for (int i = 0; i < books; ++i) {
          int index = 0;
          if (std::string refused = book("a floor", &index); !refused.empty()) return refused;
          // Floor 0 steps through its vector by the book's dimension.
          if (m_layout.codebooks[index].dimensions == 0) return "floor book with dimension 0";
        }
      } else if (type == 1) {
        const int partitions = static_cast<int>(m_bits.read(5));
        int partitionClass[32];
        int classes = 0;
        for (int i = 0; i < partitions; ++i) {
          partitionClass[i] = static_cast<int>(m_bits.read(4));
          classes = std::max(classes, partitionClass[i] + 1);
        }
        int classDimensions[16];
        for (int c = 0; c < classes; ++c) {
          classDimensions[c] = static_cast<int>(m_bits.read(3)) + 1;
          const int subclasses = static_cast<int>(m_bits.read(2));
          int index = 0;
          if (subclasses != 0)
            if (std::string refused = book("a floor", &index); !refused.empty()) return refused;
          for (int s = 0; s < (1 << subclasses); ++s) {
            const int subclassBook = static_cast<int>(m_bits.read(8)) - 1;  // -1: none
            if (subclassBook >= static_cast<int>(m_layout.codebooks.size()))
              return "a floor names codebook " + std::to_string(subclassBook) + ", which does not exist";
          }
        }
        m_bits.read(2);  // multiplier
        const int rangeBits = static_cast<int>(m_bits.read(4));
        for (int i = 0; i < partitions; ++i) m_bits.skip(std::uint64_t(classDimensions[partitionClass[i]]) * rangeBits);
      } else {
        return m_bits.failed() ? kEndsEarly : "floor type " + std::to_string(type);
      }
      if (m_bits.failed()) return kEndsEarly;
    }
    return {};
  }

  std::string readResidues() {
    const int count = static_cast<int>(m_bits.read(6)) + 1;
    for (int residue = 0; residue < count; ++residue) {
      const std::uint32_t type = m_bits.read(16);
      if (type > 2) return m_bits.failed() ? kEndsEarly : "residue type " + std::to_string(type);
      m_bits.skip(24 + 24 + 24);  // begin, end, partition size
      const int classifications = static_cast<int>(m_bits.read(6)) + 1;
      int classbook = 0;
      if (std::string refused = book("a residue", &classbook); !refused.empty()) return refused;
      // The decoder divides by the dimensions of every book a residue uses.
      if (m_layout.codebooks[classbook].dimensions == 0) return "residue classbook with dimension 0";
      VorbisSetupLayout::Residue& entry = m_layout.residues.emplace_back();
      entry.type = static_cast<int>(type);
      entry.classbook = classbook;
      std::uint32_t cascade[64];
      for (int c = 0; c < classifications; ++c) {
        cascade[c] = m_bits.read(3);
        if (m_bits.read(1)) cascade[c] |= m_bits.read(5) << 3;
      }
      for (int c = 0; c < classifications; ++c) {
        for (int stage = 0; stage < 8; ++stage) {
          if (!(cascade[c] >> stage & 1)) continue;
          int index = 0;
          if (std::string refused = book("a residue", &index); !refused.empty()) return refused;
          if (m_layout.codebooks[index].dimensions == 0) return "residue book with dimension 0";
          entry.books.push_back(index);
        }
      }
      if (m_bits.failed()) return kEndsEarly;
    }
    return {};
  }

  BitReader m_bits;
  VorbisSetupLayout& m_layout;
  std::uint64_t m_lookupValuesBefore;
};

bool startsWith(const ogg_packet& packet, int type) {
  return packet.bytes >= 7 && packet.packet[0] == type && std::memcmp(packet.packet + 1, "vorbis", 6) == 0;
}

// A Vorbis stream whose setup header has not been read yet.
struct PendingStream {
  explicit PendingStream(int serial) { ogg_stream_init(&state, serial); }
  ~PendingStream() { ogg_stream_clear(&state); }
  PendingStream(const PendingStream&) = delete;
  PendingStream& operator=(const PendingStream&) = delete;

  ogg_stream_state state;
  int packets = 0;
};

// Streams that begin together in one link; more is no music file.
constexpr std::size_t kMaxPendingStreams = 16;

}  // namespace

std::string readVorbisSetup(const std::uint8_t* packet, std::size_t size, VorbisSetupLayout* layout,
                            std::uint64_t lookupValuesBefore) {
  VorbisSetupLayout local;
  VorbisSetupLayout& out = layout ? *layout : local;
  out = {};
  if (size < 7 || packet[0] != 5 || std::memcmp(packet + 1, "vorbis", 6) != 0) return "no setup header";
  return SetupReader(packet, size, out, lookupValuesBefore).read();
}

std::string checkVorbisSetupHeaders(const std::uint8_t* data, std::size_t size) {
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  std::vector<std::unique_ptr<PendingStream>> pending;
  bool inHeaders = false;  // between a link's first pages and its first other page
  std::string refused;
  std::uint64_t lookupValues = 0;  // of the links read so far
  std::size_t fed = 0;
  ogg_page page;
  while (refused.empty()) {
    const int found = ogg_sync_pageout(&sync, &page);
    if (found < 0) continue;  // bytes skipped to the next page
    if (found == 0) {
      if (fed == size) break;
      const std::size_t piece = std::min<std::size_t>(size - fed, 1 << 16);
      char* buffer = ogg_sync_buffer(&sync, static_cast<long>(piece));
      if (!buffer) break;
      std::memcpy(buffer, data + fed, piece);
      ogg_sync_wrote(&sync, static_cast<long>(piece));
      fed += piece;
      continue;
    }
    const int serial = ogg_page_serialno(&page);
    if (ogg_page_bos(&page)) {
      // A first page after other pages starts a new link; headers of the
      // last one that never finished are no longer read by anyone.
      if (!inHeaders) pending.clear();
      inHeaders = true;
      if (pending.size() == kMaxPendingStreams) {
        refused = "too many streams begin together";
        break;
      }
      pending.push_back(std::make_unique<PendingStream>(serial));
    } else {
      inHeaders = false;
    }
    auto stream =
        std::find_if(pending.begin(), pending.end(), [serial](const auto& s) { return s->state.serialno == serial; });
    if (stream == pending.end()) continue;
    PendingStream& s = **stream;
    bool done = ogg_stream_pagein(&s.state, &page) != 0;
    ogg_packet packet;
    while (!done && refused.empty()) {
      const int result = ogg_stream_packetout(&s.state, &packet);
      if (result == 0) break;
      if (result < 0) {
        done = true;  // a gap in the headers: the decoder cannot open this stream
      } else if (s.packets == 0 && !startsWith(packet, 1)) {
        done = true;  // not Vorbis
      } else if (++s.packets == 3) {
        VorbisSetupLayout layout;
        refused = readVorbisSetup(packet.packet, static_cast<std::size_t>(packet.bytes), &layout, lookupValues);
        lookupValues += layout.lookupValues;
        done = true;
      }
    }
    if (done) pending.erase(stream);
  }
  pending.clear();
  ogg_sync_clear(&sync);
  return refused;
}
