#include "content/pcx_writer.h"

#include <algorithm>

#include "content/byte_writer.h"

using namespace content_bytes;

namespace {

constexpr int kMaxRun = 63;

// Runs of equal bytes become a count byte 0xC0 | n and the value; a single
// byte that would read as a count byte is written as a run of one.
void encodeLine(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& line) {
  std::size_t i = 0;
  while (i < line.size()) {
    const std::uint8_t value = line[i];
    std::size_t run = 1;
    while (i + run < line.size() && line[i + run] == value && run < kMaxRun) ++run;
    if (run > 1 || value >= 0xC0) putU8(out, 0xC0 | run);
    putU8(out, value);
    i += run;
  }
}

}  // namespace

std::vector<std::uint8_t> writePcx8(int width, int height, const std::vector<std::uint8_t>& indices,
                                    const std::vector<std::uint32_t>& palette, PcxWriteOptions options) {
  std::vector<std::uint8_t> out;
  const int bytesPerLine = options.bytesPerLine == 0 ? (width + 1) / 2 * 2 : options.bytesPerLine;
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return out;
  if (indices.size() != static_cast<std::size_t>(width) * height || palette.size() > 256) return out;
  if (bytesPerLine < width || bytesPerLine > 65535) return out;

  out.reserve(128);  // the header, filled in field by field
  putU8(out, 0x0A);  // manufacturer
  putU8(out, 5);     // version with a 256-colour palette
  putU8(out, 1);     // run-length encoded
  putU8(out, 8);     // bits per pixel
  putU16(out, 0);    // xMin
  putU16(out, 0);    // yMin
  putU16(out, static_cast<std::uint32_t>(width - 1));
  putU16(out, static_cast<std::uint32_t>(height - 1));
  putU16(out, 72);  // dots per inch
  putU16(out, 72);
  out.resize(out.size() + 48, 0);  // 16-colour palette, unused
  putU8(out, 0);                   // reserved
  putU8(out, 1);                   // planes
  putU16(out, static_cast<std::uint32_t>(bytesPerLine));
  putU16(out, 1);  // colour palette
  out.resize(128, 0);

  std::vector<std::uint8_t> line(static_cast<std::size_t>(bytesPerLine), 0);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = indices.data() + static_cast<std::size_t>(y) * width;
    std::copy(row, row + width, line.begin());
    encodeLine(out, line);
  }
  if (options.withPalette) {
    putU8(out, 12);
    for (std::size_t i = 0; i < 256; ++i) {
      const std::uint32_t colour = i < palette.size() ? palette[i] : 0;
      putU8(out, colour >> 16);
      putU8(out, colour >> 8);
      putU8(out, colour);
    }
  }
  return out;
}
