#include "content/bmp_writer.h"

#include "content/byte_writer.h"

using namespace content_bytes;

namespace {

void putHeaders(std::vector<std::uint8_t>& out, int width, int height, int bitsPerPixel, std::uint32_t colours,
                bool topDown) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * bitsPerPixel / 8 + 3) / 4 * 4;
  const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
  const std::uint32_t paletteSize = (colours == 0 && bitsPerPixel == 8 ? 256 : colours) * 4;
  const std::uint32_t pixelOffset = 54 + paletteSize;
  putU16(out, 0x4D42);  // "BM"
  putU32(out, pixelOffset + imageSize);
  putU32(out, 0);
  putU32(out, pixelOffset);
  putU32(out, 40);
  putU32(out, static_cast<std::uint32_t>(width));
  putU32(out, static_cast<std::uint32_t>(topDown ? -height : height));
  putU16(out, 1);  // planes
  putU16(out, static_cast<std::uint32_t>(bitsPerPixel));
  putU32(out, 0);  // uncompressed
  putU32(out, imageSize);
  putU32(out, 2835);  // 72 dots per inch
  putU32(out, 2835);
  putU32(out, colours);
  putU32(out, 0);  // all colours important
}

// File row r holds picture row r from the bottom, or from the top when the
// file is top-down.
int pictureRow(int fileRow, int height, bool topDown) { return topDown ? fileRow : height - 1 - fileRow; }

void pad(std::vector<std::uint8_t>& out, int rowBytes) {
  for (int i = rowBytes; i % 4 != 0; ++i) putU8(out, 0);
}

}  // namespace

std::vector<std::uint8_t> writeBmp24(int width, int height, const std::vector<std::uint32_t>& pixels,
                                     BmpWriteOptions options) {
  std::vector<std::uint8_t> out;
  if (width <= 0 || height <= 0 || pixels.size() != static_cast<std::size_t>(width) * height) return out;
  putHeaders(out, width, height, 24, 0, options.topDown);
  for (int fileRow = 0; fileRow < height; ++fileRow) {
    const std::uint32_t* row =
        pixels.data() + static_cast<std::size_t>(pictureRow(fileRow, height, options.topDown)) * width;
    for (int x = 0; x < width; ++x) {
      putU8(out, row[x]);
      putU8(out, row[x] >> 8);
      putU8(out, row[x] >> 16);
    }
    pad(out, width * 3);
  }
  return out;
}

std::vector<std::uint8_t> writeBmp8(int width, int height, const std::vector<std::uint8_t>& indices,
                                    const std::vector<std::uint32_t>& palette, BmpWriteOptions options) {
  std::vector<std::uint8_t> out;
  if (width <= 0 || height <= 0 || indices.size() != static_cast<std::size_t>(width) * height) return out;
  if (palette.empty() || palette.size() > 256) return out;
  const std::uint32_t colours = palette.size() == 256 ? 0 : static_cast<std::uint32_t>(palette.size());
  putHeaders(out, width, height, 8, colours, options.topDown);
  for (std::uint32_t colour : palette) {
    putU8(out, colour);
    putU8(out, colour >> 8);
    putU8(out, colour >> 16);
    putU8(out, 0);
  }
  for (int fileRow = 0; fileRow < height; ++fileRow) {
    const std::uint8_t* row =
        indices.data() + static_cast<std::size_t>(pictureRow(fileRow, height, options.topDown)) * width;
    out.insert(out.end(), row, row + width);
    pad(out, width);
  }
  return out;
}
