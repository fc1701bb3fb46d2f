#include "content/hostile_media.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "content/jpeg_writer.h"
#include "content/ogg_vorbis_writer.h"
#include "content/pcx_writer.h"
#include "foundation/byte_fields.h"
#include "foundation/pcx_image.h"
#include "platform/graphics/d3d9_texture.h"
#include "platform/graphics/d3dx.h"
#include "sound/vorbis_setup_check.h"

namespace {

// Bits least significant first, as Vorbis packs them.
class BitWriter {
 public:
  void put(std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i, ++m_bits) {
      if (m_bits % 8 == 0) m_bytes.push_back(0);
      m_bytes.back() |= static_cast<std::uint8_t>((value >> i & 1) << m_bits % 8);
    }
  }
  // Bits [from, to) of `bytes`.
  void copy(const std::uint8_t* bytes, std::size_t from, std::size_t to) {
    for (std::size_t bit = from; bit < to; ++bit) put(bytes[bit / 8] >> bit % 8 & 1, 1);
  }
  const HostileBytes& bytes() const { return m_bytes; }

 private:
  HostileBytes m_bytes;
  std::size_t m_bits = 0;
};

// The greatest r with r^dimensions <= entries.
std::uint64_t lookup1Values(std::uint32_t entries, int dimensions) {
  std::uint64_t r = 1;
  while (std::pow(static_cast<double>(r + 1), dimensions) <= entries) ++r;
  return r;
}

void putBook(BitWriter& out, const VorbisBookSpec& book) {
  out.put(0x564342, 24);
  out.put(static_cast<std::uint32_t>(book.dimensions), 16);
  out.put(book.entries, 24);
  // Lengths L - 1 and L fill the code tree exactly: 2^L - n entries of the
  // shorter and 2n - 2^L of the longer, in rising runs.
  const int longest = std::max(1, static_cast<int>(std::bit_width(book.entries - 1)));
  const std::uint32_t shorter = (std::uint32_t{1} << longest) - book.entries;
  out.put(1, 1);  // ordered
  std::uint32_t entry = 0;
  if (book.entries == 1) {
    out.put(0, 5);  // a lone entry of length 1
  } else if (shorter > 0) {
    out.put(static_cast<std::uint32_t>(longest - 2), 5);  // starts at L - 1
    out.put(shorter, std::bit_width(book.entries - entry));
    entry += shorter;
  } else {
    out.put(static_cast<std::uint32_t>(longest - 1), 5);
  }
  out.put(book.entries - entry, std::bit_width(book.entries - entry));
  out.put(static_cast<std::uint32_t>(book.lookupType), 4);
  if (book.lookupType == 0) return;
  out.put(0, 32);  // minimum and delta 0
  out.put(0, 32);
  out.put(0, 4);  // values of one bit
  out.put(0, 1);  // not a sequence
  const std::uint64_t values = book.lookupType == 1
                                   ? lookup1Values(book.entries, book.dimensions)
                                   : std::uint64_t{book.entries} * static_cast<std::uint32_t>(book.dimensions);
  for (std::uint64_t i = 0; i < values; ++i) out.put(i & 1, 1);
}

// The first three packets of an Ogg stream, and where its first page after
// them begins (the end when there is none).
std::vector<HostileBytes> headerPackets(const HostileBytes& ogg, int* serial, std::size_t* audio) {
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(ogg.size()));
  std::memcpy(buffer, ogg.data(), ogg.size());
  ogg_sync_wrote(&sync, static_cast<long>(ogg.size()));
  ogg_stream_state stream;
  bool started = false;
  std::vector<HostileBytes> packets;
  *audio = 0;
  ogg_page page;
  while (packets.size() < 3 && ogg_sync_pageout(&sync, &page) == 1) {
    *audio += static_cast<std::size_t>(page.header_len + page.body_len);
    if (!started) {
      *serial = ogg_page_serialno(&page);
      ogg_stream_init(&stream, *serial);
      started = true;
    }
    ogg_stream_pagein(&stream, &page);
    ogg_packet packet;
    while (packets.size() < 3 && ogg_stream_packetout(&stream, &packet) == 1)
      packets.emplace_back(packet.packet, packet.packet + packet.bytes);
  }
  if (started) ogg_stream_clear(&stream);
  ogg_sync_clear(&sync);
  return packets;
}

// Pages for the header packets; `pages` counts them.
HostileBytes headerPages(const std::vector<HostileBytes>& packets, int serial, int* pages) {
  ogg_stream_state stream;
  ogg_stream_init(&stream, serial);
  HostileBytes out;
  *pages = 0;
  ogg_page page;
  for (std::size_t i = 0; i < packets.size(); ++i) {
    ogg_packet packet{};
    packet.packet = const_cast<unsigned char*>(packets[i].data());
    packet.bytes = static_cast<long>(packets[i].size());
    packet.b_o_s = i == 0;
    packet.packetno = static_cast<ogg_int64_t>(i);
    ogg_stream_packetin(&stream, &packet);
    // The identification header alone on the first page, as decoders expect.
    while ((i == 0 || i + 1 == packets.size()) && ogg_stream_flush(&stream, &page)) {
      out.insert(out.end(), page.header, page.header + page.header_len);
      out.insert(out.end(), page.body, page.body + page.body_len);
      ++*pages;
    }
  }
  ogg_stream_clear(&stream);
  return out;
}

// Appends the pages of `ogg` from `at` on, their sequence numbers moved by
// `shift` (and their checksums set again).
void appendPages(HostileBytes& out, const HostileBytes& ogg, std::size_t at, int shift) {
  while (at + 27 <= ogg.size()) {
    std::size_t length = 27 + ogg[at + 26];
    for (std::size_t i = 0; i < ogg[at + 26] && at + 27 + i < ogg.size(); ++i) length += ogg[at + 27 + i];
    if (at + length > ogg.size()) break;
    const std::size_t start = out.size();
    out.insert(out.end(), ogg.begin() + static_cast<std::ptrdiff_t>(at),
               ogg.begin() + static_cast<std::ptrdiff_t>(at + length));
    const std::uint32_t sequence = FieldReader(&out[start + 18], 4).u32() + static_cast<std::uint32_t>(shift);
    FieldWriter(&out[start + 18], 4).u32(sequence);
    const long header = 27 + out[start + 26];
    ogg_page page{&out[start], header, &out[start + header], static_cast<long>(length) - header};
    ogg_page_checksum_set(&page);
    at += length;
  }
}

void putBigEndian(HostileBytes& out, std::initializer_list<int> values) {
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
}

}  // namespace

HostileBytes oggVorbisWithBooks(const std::vector<VorbisBookSpec>& books) {
  std::vector<std::int16_t> tone;
  for (int i = 0; i < 2048; ++i) tone.push_back(static_cast<std::int16_t>(6000 * std::sin(i * 0.05)));
  const HostileBytes original = encodeOggVorbis(tone, 1, 22050);
  int serial = 0;
  std::size_t audio = 0;
  std::vector<HostileBytes> packets = headerPackets(original, &serial, &audio);
  if (packets.size() != 3) return {};
  const HostileBytes& setup = packets[2];
  VorbisSetupLayout layout;
  if (!readVorbisSetup(setup.data(), setup.size(), &layout).empty()) return {};
  const std::size_t count = layout.codebooks.size() + books.size();
  if (count > 256) return {};
  BitWriter out;
  out.copy(setup.data(), 0, 56);  // packet type and "vorbis"
  out.put(count - 1, 8);
  out.copy(setup.data(), 64, layout.codebooksEnd);
  for (const VorbisBookSpec& book : books) putBook(out, book);
  out.copy(setup.data(), layout.codebooksEnd, setup.size() * 8);
  packets[2] = out.bytes();
  int pages = 0;
  HostileBytes file = headerPages(packets, serial, &pages);
  appendPages(file, original, audio, pages - 2);  // the encoder wrote two header pages
  return file;
}

HostileBytes oggVorbisWithHugeBook() { return oggVorbisWithBooks({{(1u << 20) - 1, 1, 0}}); }

HostileBytes oggVorbisWithLookupBooks(int count) {
  return oggVorbisWithBooks(std::vector<VorbisBookSpec>(static_cast<std::size_t>(count), {65535, 128, 1}));
}

namespace {

// `bytes` with its frame header's height set to `rows` (big-endian after
// the marker, length and precision); empty without a frame header.
HostileBytes claimingRows(HostileBytes bytes, int rows) {
  for (std::size_t at = 2; at + 9 < bytes.size() && bytes[at] == 0xFF;
       at += 2 + static_cast<std::size_t>(bytes[at + 2] << 8 | bytes[at + 3])) {
    if (bytes[at + 1] == 0xC0 || bytes[at + 1] == 0xC2) {
      bytes[at + 5] = static_cast<std::uint8_t>(rows >> 8);
      bytes[at + 6] = static_cast<std::uint8_t>(rows & 0xFF);
      return bytes;
    }
  }
  return {};
}

}  // namespace

HostileBytes jpegEndingAfterFirstBlockRow(bool progressive, int claimedRows) {
  constexpr int kWidth = 8192, kRows = 16;
  std::vector<std::uint32_t> pixels(std::size_t{kWidth} * kRows);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = (i % kWidth) / 512 * 0x101010u;
  return claimingRows(writeJpegRgb(kWidth, kRows, pixels, {.quality = 50, .progressive = progressive}), claimedRows);
}

HostileBytes jpegCutShort(int width, int codedRows, int claimedRows) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * codedRows);
  std::uint32_t state = 12345;
  for (std::uint32_t& p : pixels) {
    state = state * 1664525u + 1013904223u;
    p = state >> 8;
  }
  return claimingRows(writeJpegRgb(width, codedRows, pixels, {.quality = 90}), claimedRows);
}

HostileBytes progressiveJpegWithOneBitBlocks(int width, int height, int components) {
  HostileBytes out;
  putBigEndian(out, {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00});  // start, quantiser 0 of all 1s
  out.insert(out.end(), 64, 1);
  const int frameLength = 8 + 3 * components;
  putBigEndian(out, {0xFF, 0xC2, frameLength >> 8, frameLength & 0xFF, 8, height >> 8, height & 0xFF, width >> 8,
                     width & 0xFF, components});
  for (int c = 1; c <= components; ++c) putBigEndian(out, {c, 0x11, 0});
  // DC table 0: one code, "0", for difference category 0.
  putBigEndian(out, {0xFF, 0xC4, 0x00, 0x14, 0x00, 1});
  out.insert(out.end(), 15, 0);
  out.push_back(0);
  const auto scan = [&](int first, int last) {
    const int length = 6 + 2 * components;
    putBigEndian(out, {0xFF, 0xDA, length >> 8, length & 0xFF, components});
    for (int c = 1; c <= components; ++c) putBigEndian(out, {c, 0x00});
    putBigEndian(out, {first, last, 0});
  };
  scan(0, 0);
  const std::uint64_t blocks = std::uint64_t((width + 7) / 8) * ((height + 7) / 8) * components;
  out.insert(out.end(), (blocks + 7) / 8, 0);  // one 0 bit per block
  scan(5, 2);                                  // starts past its end: the library stops here
  putBigEndian(out, {0xFF, 0xD9});
  return out;
}

HostileBytes pcxHeaderOnly(int width, int height) {
  HostileBytes bytes = writePcx8(2, 1, {0, 0}, {}, {.withPalette = false});
  bytes.resize(PcxImage::kHeaderSize);
  const auto put16 = [&](std::size_t at, int value) {
    FieldWriter(&bytes[at], 2).u16(static_cast<std::uint16_t>(value));
  };
  put16(8, width - 1);
  put16(10, height - 1);
  put16(66, width);
  return bytes;
}

HostileBytes ddsWithoutMips(UINT side, D3DFORMAT format) {
  TextureLayout layout;
  if (!textureLayout(format, &layout)) return {};
  DdsImage small;
  small.width = small.height = 4;
  small.format = format;
  small.levels = {HostileBytes(levelBytes(layout, 4, 4))};
  HostileBytes bytes = writeDds(small);
  bytes.resize(128);
  const auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  put32(12, side);
  put32(16, side);
  put32(20, static_cast<std::uint32_t>(isCompressedFormat(format) ? levelBytes(layout, side, side)
                                                                  : levelPitch(layout, side)));
  bytes.resize(bytes.size() + levelBytes(layout, side, side));
  return bytes;
}
