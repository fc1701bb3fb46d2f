#include "foundation/pcx_image.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "foundation/file_data.h"
#include "foundation/report.h"

namespace {

constexpr std::uint8_t kPaletteMarker = 12;
constexpr int kMaxRun = 0x3F;

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
  // Before anything is allocated for the pixels: a run gives at most 63 of
  // them for its two bytes, so a header over little data claiming millions
  // is refused here rather than after filling them.
  const long long dataBytes = std::max(0, file->size() - kHeaderSize);
  if (count > dataBytes / 2 * kMaxRun + dataBytes % 2) {
    file->close();
    reportError("decodePCX: \"%s\" has %lld bytes of data, too few for %lld pixels\n", name, dataBytes, count);
    return false;
  }
  std::vector<std::uint8_t> data(static_cast<std::size_t>(dataBytes));
  const int length = data.empty() ? 0 : std::max(0, file->read(data.data(), static_cast<int>(data.size())));
  file->close();

  // A byte with both top bits set repeats the next byte (its low six bits)
  // times; any other byte is one pixel. A run past the last pixel is cut.
  // Room is reserved, not filled: pages are touched only as pixels arrive.
  const std::size_t pixels = static_cast<std::size_t>(count);
  m_pixels.reserve(pixels);
  int in = 0;
  while (m_pixels.size() < pixels && in < length) {
    const std::uint8_t byte = data[in++];
    if (byte < 0xC0) {
      m_pixels.push_back(byte);
      continue;
    }
    if (in >= length) break;
    const std::uint8_t value = data[in++];
    m_pixels.insert(m_pixels.end(), std::min<std::size_t>(byte & kMaxRun, pixels - m_pixels.size()), value);
  }
  const std::size_t out = m_pixels.size();
  if (out < pixels) {
    m_pixels.resize(pixels);  // zero past the end, as the header's size promises
    reportError("decodePCX: \"%s\" ends after %zu of %zu pixels\n", name, out, pixels);
    return false;
  }
  if (in < length && data[in] == kPaletteMarker && length - in - 1 >= kPaletteSize)
    std::memcpy(m_palette.data(), data.data() + in + 1, kPaletteSize);
  return true;
}
