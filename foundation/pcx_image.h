// 8-bit run-length PCX pictures kept as palette indices, as the race reads
// its track maps: one index byte per pixel, bytesPerLine bytes per row,
// rows top to bottom, and the 256-colour palette stored after the pixels.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "foundation/byte_fields.h"
#include "foundation/file.h"

class PcxImage {
 public:
  static constexpr int kHeaderSize = 128;
  static constexpr int kPaletteSize = 768;
  // Largest picture accepted (64 M indices, or imagePixelLimit() when that
  // is lower); a header claiming more is refused before anything is
  // allocated.
  static constexpr long long kMaxPixels = 8192LL * 8192LL;

  // Reads `name` through a clone of `file` (the file itself is left alone).
  // The pixels always number bytesPerLine x (yMax - yMin + 1) of the header
  // read, zero where the file ends early. The palette is replaced only when
  // the file has one after its pixels. False, with a report, when the file
  // does not open, is shorter than its header, is not one plane of 8-bit
  // indices, has yMax below yMin, claims too many pixels, claims more than
  // its data could hold at 63 pixels per two bytes (all of which leave no
  // pixels) or ends before its last pixel.
  bool decodePCX(File& file, const char* name);
  // Frees the pixels.
  void release();

  const std::array<std::uint8_t, kHeaderSize>& header() const { return m_header; }
  const std::array<std::uint8_t, kPaletteSize>& palette() const { return m_palette; }
  const std::uint8_t* pixels() const { return m_pixels.data(); }
  // What the map readers check before indexing the pixels.
  int pixelCount() const { return static_cast<int>(m_pixels.size()); }

  int xMin() const { return headerU16(4); }
  int yMin() const { return headerU16(6); }
  int xMax() const { return headerU16(8); }
  int yMax() const { return headerU16(10); }
  int bytesPerLine() const { return headerU16(66); }
  int bitsPerPixel() const { return m_header[3]; }
  int planes() const { return m_header[65]; }

 private:
  int headerU16(int offset) const { return FieldReader(m_header.data() + offset, 2).u16(); }

  std::array<std::uint8_t, kHeaderSize> m_header{};
  std::array<std::uint8_t, kPaletteSize> m_palette{};
  std::vector<std::uint8_t> m_pixels;
};
