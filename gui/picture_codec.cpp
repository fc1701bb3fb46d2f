#include "gui/picture_codec.h"

#include <CEGUI/DataContainer.h>
#include <CEGUI/DynamicModule.h>
#include <CEGUI/Size.h>
#include <CEGUI/System.h>
#include <CEGUI/Texture.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "foundation/byte_fields.h"
#include "foundation/report.h"

namespace {

std::uint32_t be16(const std::uint8_t* p) { return std::uint32_t{p[0]} << 8 | p[1]; }
std::uint32_t be32(const std::uint8_t* p) { return be16(p) << 16 | be16(p + 2); }

std::optional<PictureSize> pngSize(const std::uint8_t* d, std::size_t n) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n < 24 || std::memcmp(d, kSignature, 8) != 0 || std::memcmp(d + 12, "IHDR", 4) != 0) return std::nullopt;
  return PictureSize{be32(d + 16), be32(d + 20)};
}

// The first frame header before the scan, as the decoder reads it.
std::optional<PictureSize> jpegSize(const std::uint8_t* d, std::size_t n) {
  std::size_t i = 2;
  while (i + 1 < n) {
    if (d[i] != 0xFF) return std::nullopt;
    const std::uint8_t marker = d[i + 1];
    if (marker == 0xFF) {  // fill byte
      ++i;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without a length
      i += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA || i + 4 > n) return std::nullopt;
    const std::size_t length = be16(d + i + 2);
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7 || i + 9 > n) return std::nullopt;
      return PictureSize{be16(d + i + 7), be16(d + i + 5)};
    }
    if (length < 2) return std::nullopt;
    i += 2 + length;
  }
  return std::nullopt;
}

std::optional<PictureSize> bmpSize(const std::uint8_t* d, std::size_t n) {
  if (n < 26 || d[0] != 'B' || d[1] != 'M') return std::nullopt;
  FieldReader fields(d, n);
  fields.skip(14);           // the file header
  if (fields.u32() == 12) {  // the old core header
    const std::uint32_t width = fields.u16();
    return PictureSize{width, fields.u16()};
  }
  const auto side = [](std::int32_t value) {
    return static_cast<std::uint32_t>(std::min<std::int64_t>(std::llabs(std::int64_t{value}), 0xFFFFFFFFLL));
  };
  const std::uint32_t width = side(fields.i32());
  return PictureSize{width, side(fields.i32())};
}

std::optional<PictureSize> ddsSize(const std::uint8_t* d, std::size_t n) {
  if (n < 20 || std::memcmp(d, "DDS ", 4) != 0) return std::nullopt;
  FieldReader fields(d, n);
  fields.skip(12);  // magic, header size, flags
  const std::uint32_t height = fields.u32();
  return PictureSize{fields.u32(), height};
}

// TGA has no signature: a colour-map flag of 0 or 1 and a known image type.
std::optional<PictureSize> tgaSize(const std::uint8_t* d, std::size_t n) {
  if (n < 18 || d[1] > 1) return std::nullopt;
  switch (d[2]) {
    case 1:
    case 2:
    case 3:
    case 9:
    case 10:
    case 11: {
      FieldReader fields(d, n);
      fields.skip(12);  // id length to the origin
      const std::uint32_t width = fields.u16();
      return PictureSize{width, fields.u16()};
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<PictureSize> readPictureSize(const std::uint8_t* data, std::size_t size) {
  if (!data) return std::nullopt;
  if (size >= 8 && data[0] == 0x89) return pngSize(data, size);
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) return jpegSize(data, size);
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return bmpSize(data, size);
  if (size >= 4 && std::memcmp(data, "DDS ", 4) == 0) return ddsSize(data, size);
  return tgaSize(data, size);
}

GuiPictureCodec::GuiPictureCodec() : CEGUI::ImageCodec("GuiPictureCodec") {
  m_module = std::make_unique<CEGUI::DynamicModule>(CEGUI::String("CEGUI") + CEGUI::System::getDefaultImageCodecName());
  auto create = reinterpret_cast<CEGUI::ImageCodec* (*)()>(m_module->getSymbolAddress("createImageCodec"));
  m_inner = create();
  d_supportedFormat = m_inner->getSupportedFormat();
}

GuiPictureCodec::~GuiPictureCodec() {
  auto destroy = reinterpret_cast<void (*)(CEGUI::ImageCodec*)>(m_module->getSymbolAddress("destroyImageCodec"));
  destroy(m_inner);
}

CEGUI::Texture* GuiPictureCodec::load(const CEGUI::RawDataContainer& data, CEGUI::Texture* result) {
  const std::optional<PictureSize> picture = readPictureSize(data.getDataPtr(), data.getSize());
  if (!picture) {
    reportRefusal("GUI picture refused: not a PNG, JPEG, TGA, BMP or DDS picture; it shows blank");
  } else if (picture->width > kMaxSide || picture->height > kMaxSide) {
    reportRefusal("GUI picture of %u x %u refused: its sides may be at most %u; it shows blank", picture->width,
                  picture->height, kMaxSide);
  } else if (CEGUI::Texture* decoded = m_inner->load(data, result)) {
    return decoded;
  } else {
    reportRefusal("GUI picture of %u x %u refused: its data does not decode; it shows blank", picture->width,
                  picture->height);
  }
  // One clear pixel in its place: failing here would throw through the
  // library's XML reader, which then loses its parser.
  static const std::uint32_t kClear = 0;
  result->loadFromMemory(&kClear, CEGUI::Sizef(1, 1), CEGUI::Texture::PF_RGBA);
  return result;
}
