// BMP pictures: the 14-byte file header and a Windows information header,
// an optional palette, then uncompressed rows padded to whole 32-bit words.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/byte_fields.h"
#include "foundation/file_data.h"
#include "foundation/report.h"

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr std::uint32_t kCoreHeaderSize = 12;  // OS/2 and Windows 2
constexpr int kHeadersSize = kFileHeaderSize + kInfoHeaderSize;

// The fields of the two headers the loader uses.
struct BmpHeaders {
  std::uint32_t magic;
  std::uint32_t infoSize;
  std::int32_t width, height;
  std::uint32_t bitsPerPixel;
  std::uint32_t compression;
  std::uint32_t colours;
};

BmpHeaders readHeaders(const std::uint8_t (&bytes)[kHeadersSize]) {
  FieldReader fields(bytes, kHeadersSize);
  BmpHeaders h;
  h.magic = fields.u16();
  fields.skip(12);  // file size, two reserved words, pixel offset
  h.infoSize = fields.u32();
  h.width = fields.i32();
  h.height = fields.i32();
  fields.skip(2);  // planes
  h.bitsPerPixel = fields.u16();
  h.compression = fields.u32();
  fields.skip(12);  // image size, pixels per metre across and down
  h.colours = fields.u32();
  return h;
}

std::uint32_t opaque(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  return 0xFF000000u | red << 16 | green << 8 | blue;
}

// Closes the file on every way out of the loader.
struct CloseOnExit {
  File& file;
  ~CloseOnExit() { file.close(); }
};

}  // namespace

Image* loadBMP(const char* name, File& file, bool bottomUp) {
  if (!name || !file.open(name)) return nullptr;
  const CloseOnExit closer{file};

  std::uint8_t header[kHeadersSize] = {};
  const int headerBytes = file.read(header, kHeadersSize);
  const BmpHeaders fields = readHeaders(header);
  if (headerBytes >= 2 && fields.magic != 0x4D42) {
    reportError("loadBMP: Unknown file type: %x\n", fields.magic);
    return nullptr;
  }
  if (headerBytes < kHeadersSize) {
    reportError("loadBMP: Truncated BMP file: %s\n", name);
    return nullptr;
  }
  // Older core headers put the fields elsewhere (the depth would be read
  // from the palette), and compressed rows would read as noise; both are
  // refused rather than decoded wrongly.
  const std::uint32_t infoSize = fields.infoSize;
  if (infoSize == kCoreHeaderSize) {
    reportError("loadBMP: OS/2 BMP (12-byte header) is not supported: %s\n", name);
    return nullptr;
  }
  if (infoSize < kInfoHeaderSize || infoSize > 0x10000) {
    reportError("loadBMP: Unsupported BMP header size: %u\n", infoSize);
    return nullptr;
  }
  const int bitsPerPixel = static_cast<int>(fields.bitsPerPixel);
  if (bitsPerPixel != 8 && bitsPerPixel != 24) {
    reportError("loadBMP: Wrong BMP color depth: %d bit\n", bitsPerPixel);
    return nullptr;
  }
  const std::uint32_t compression = fields.compression;
  if (compression != 0) {
    reportError("loadBMP: Unsupported BMP compression: %u\n", compression);
    return nullptr;
  }
  const std::int32_t width = fields.width;
  const std::int32_t height = fields.height;
  const long long rows = std::llabs(static_cast<long long>(height));
  if (width <= 0 || height == 0 || width * rows > imagePixelLimit()) {
    reportError("loadBMP: Wrong BMP size: %d x %d\n", width, height);
    return nullptr;
  }
  if (infoSize > kInfoHeaderSize) file.skip(static_cast<int>(infoSize - kInfoHeaderSize));

  // Colours used: 0 means a full palette; more than 256 cannot be addressed
  // by a byte, so the palette stops there and the rows follow it.
  std::uint32_t colours = 0;
  if (bitsPerPixel == 8) {
    colours = fields.colours;
    if (colours == 0 || colours > 256) colours = 256;
  }
  const long long rowBytes = static_cast<long long>(width) * (bitsPerPixel / 8);
  const long long stride = (rowBytes + 3) / 4 * 4;
  // The last row's padding may be missing without losing a pixel.
  const long long pixelBytes = stride * (rows - 1) + rowBytes;
  const long long needed = kHeadersSize + (infoSize - kInfoHeaderSize) + colours * 4LL + pixelBytes;
  if (file.size() < needed) {
    reportError("loadBMP: Truncated BMP file: %s\n", name);
    return nullptr;
  }

  // Entries past the colours used stay black.
  std::uint32_t palette[256];
  for (std::uint32_t& entry : palette) entry = opaque(0, 0, 0);
  if (colours > 0) {
    std::uint8_t entries[256 * 4];
    if (file.read(entries, static_cast<int>(colours * 4)) != static_cast<int>(colours * 4)) {
      reportError("loadBMP: Truncated BMP file: %s\n", name);
      return nullptr;
    }
    for (std::uint32_t i = 0; i < colours; ++i)
      palette[i] = opaque(entries[i * 4 + 2], entries[i * 4 + 1], entries[i * 4]);
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(pixelBytes));
  if (file.read(bytes.data(), static_cast<int>(pixelBytes)) != pixelBytes) {
    reportError("loadBMP: Truncated BMP file: %s\n", name);
    return nullptr;
  }

  RefPtr<Image> image(new Image(name));
  image->allocate(width, static_cast<int>(rows));
  // A positive height stores the bottom row first, a negative one the top.
  const bool fileStartsAtBottom = height > 0;
  for (int fileRow = 0; fileRow < rows; ++fileRow) {
    const int row = bottomUp == fileStartsAtBottom ? fileRow : static_cast<int>(rows) - 1 - fileRow;
    const std::uint8_t* in = bytes.data() + fileRow * stride;
    std::uint32_t* out = image->pixels() + static_cast<std::size_t>(row) * width;
    if (bitsPerPixel == 8) {
      for (int x = 0; x < width; ++x) out[x] = palette[in[x]];
    } else {
      for (int x = 0; x < width; ++x, in += 3) out[x] = opaque(in[2], in[1], in[0]);
    }
  }
  return image.detach();
}
