#include "foundation/pcx_image.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "foundation/file_data.h"
#include "foundation/report.h"

namespace {

constexpr std::uint8_t kPaletteMarker = 12;

}  // namespace

void PcxImage::release() { std::vector<std::uint8_t>().swap(m_pixels); }

bool PcxImage::decodePCX(File& prototype, const char* name) {
  release();
  m_header.fill(0);
  if (!name) return false;
  const std::unique_ptr<File> file = prototype.cloneUnique();
  if (!file->open(name)) {
    reportError("decodePCX: cannot open \"%s\"\n", name);
    return false;
  }
  if (file->read(m_header.data(), kHeaderSize) != kHeaderSize) {
    file->close();
    m_header.fill(0);
    reportError("decodePCX: \"%s\" is shorter than a PCX header\n", name);
    return false;
  }
  // Colour pictures (three planes of 8 bits, as paint programs save them)
  // and 1- to 4-bit ones would read as noise here.
  if (planes() != 1 || bitsPerPixel() != 8) {
    file->close();
    reportError("decodePCX: \"%s\" has %d plane(s) of %d bit(s); only one plane of 8-bit indices is read\n", name,
                planes(), bitsPerPixel());
    return false;
  }
  if (yMax() < yMin()) {
    file->close();
    reportError("decodePCX: \"%s\" has yMax %d below yMin %d\n", name, yMax(), yMin());
    return false;
  }
  const long long count = static_cast<long long>(yMax() - yMin() + 1) * bytesPerLine();
  if (count > std::min(kMaxPixels, imagePixelLimit())) {
    file->close();
    reportError("decodePCX: \"%s\" is too large: %d bytes per line, %d rows\n", name, bytesPerLine(),
                yMax() - yMin() + 1);
    return false;
  }
  m_pixels.assign(static_cast<std::size_t>(count), 0);

  std::vector<std::uint8_t> data(static_cast<std::size_t>(std::max(0, file->size() - kHeaderSize)));
  const int length = data.empty() ? 0 : std::max(0, file->read(data.data(), static_cast<int>(data.size())));
  file->close();

  // A byte with both top bits set repeats the next byte (its low six bits)
  // times; any other byte is one pixel. A run past the last pixel is cut.
  std::size_t out = 0;
  int in = 0;
  while (out < m_pixels.size() && in < length) {
    const std::uint8_t byte = data[in++];
    if (byte < 0xC0) {
      m_pixels[out++] = byte;
      continue;
    }
    if (in >= length) break;
    const std::uint8_t value = data[in++];
    const std::size_t run = std::min<std::size_t>(byte & 0x3F, m_pixels.size() - out);
    std::fill_n(m_pixels.begin() + static_cast<std::ptrdiff_t>(out), run, value);
    out += run;
  }
  if (out < m_pixels.size()) {
    reportError("decodePCX: \"%s\" ends after %zu of %zu pixels\n", name, out, m_pixels.size());
    return false;
  }
  if (in < length && data[in] == kPaletteMarker && length - in - 1 >= kPaletteSize)
    std::memcpy(m_palette.data(), data.data() + in + 1, kPaletteSize);
  return true;
}
