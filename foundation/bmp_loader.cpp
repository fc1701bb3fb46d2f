// BMP pictures: the 14-byte file header and a Windows information header,
// an optional palette, then uncompressed rows padded to whole 32-bit words.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/file_data.h"
#include "foundation/report.h"

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr std::uint32_t kCoreHeaderSize = 12;  // OS/2 and Windows 2
constexpr int kHeadersSize = kFileHeaderSize + kInfoHeaderSize;

std::uint32_t u16At(const std::uint8_t* p) { return p[0] | p[1] << 8; }
std::uint32_t u32At(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::int32_t i32At(const std::uint8_t* p) { return static_cast<std::int32_t>(u32At(p)); }

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
  if (headerBytes >= 2 && u16At(header) != 0x4D42) {
    reportError("loadBMP: Unknown file type: %x\n", u16At(header));
    return nullptr;
  }
  if (headerBytes < kHeadersSize) {
    reportError("loadBMP: Truncated BMP file: %s\n", name);
    return nullptr;
  }
  // Older core headers put the fields elsewhere (the depth would be read
  // from the palette), and compressed rows would read as noise; both are
  // refused rather than decoded wrongly.
  const std::uint32_t infoSize = u32At(header + 14);
  if (infoSize == kCoreHeaderSize) {
    reportError("loadBMP: OS/2 BMP (12-byte header) is not supported: %s\n", name);
    return nullptr;
  }
  if (infoSize < kInfoHeaderSize || infoSize > 0x10000) {
    reportError("loadBMP: Unsupported BMP header size: %u\n", infoSize);
    return nullptr;
  }
  const int bitsPerPixel = static_cast<int>(u16At(header + 28));
  if (bitsPerPixel != 8 && bitsPerPixel != 24) {
    reportError("loadBMP: Wrong BMP color depth: %d bit\n", bitsPerPixel);
    return nullptr;
  }
  const std::uint32_t compression = u32At(header + 30);
  if (compression != 0) {
    reportError("loadBMP: Unsupported BMP compression: %u\n", compression);
    return nullptr;
  }
  const std::int32_t width = i32At(header + 18);
  const std::int32_t height = i32At(header + 22);
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
    colours = u32At(header + 46);
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
