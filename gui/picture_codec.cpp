#include "gui/picture_codec.h"

#include <CEGUI/DataContainer.h>
#include <CEGUI/DynamicModule.h>
#include <CEGUI/Size.h>
#include <CEGUI/System.h>
#include <CEGUI/Texture.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/byte_fields.h"
#include "foundation/file.h"
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

struct GuiPictureCodec::Decoded {
  enum State { kPending, kReady, kFailed };
  std::vector<std::uint8_t> raw;  // the file as read: pictures are matched on it
  std::vector<std::uint8_t> pixels;
  CEGUI::Sizef size;
  CEGUI::Texture::PixelFormat format = CEGUI::Texture::PF_RGBA;
  State state = kPending;
};

// What the library's codec hands a texture, kept instead of uploaded, so
// that it can be handed to any number of textures later.
class GuiPictureCodec::CapturedPixels final : public CEGUI::Texture {
 public:
  explicit CapturedPixels(Decoded& into) : m_into(into) {}

  const CEGUI::String& getName() const override {
    static const CEGUI::String kName("GuiPictureCodec/captured");
    return kName;
  }
  const CEGUI::Sizef& getSize() const override { return m_into.size; }
  const CEGUI::Sizef& getOriginalDataSize() const override { return m_into.size; }
  const CEGUI::Vector2f& getTexelScaling() const override { return m_scaling; }
  void loadFromFile(const CEGUI::String&, const CEGUI::String&) override {}
  void loadFromMemory(const void* buffer, const CEGUI::Sizef& size, PixelFormat format) override {
    const std::size_t bytesPerPixel = format == PF_RGB ? 3 : format == PF_RGBA ? 4 : 0;
    const float side = static_cast<float>(kMaxSide);
    if (!buffer || !bytesPerPixel || !(size.d_width >= 1.0f && size.d_width <= side) ||
        !(size.d_height >= 1.0f && size.d_height <= side))
      return;
    const std::size_t bytes =
        static_cast<std::size_t>(size.d_width) * static_cast<std::size_t>(size.d_height) * bytesPerPixel;
    const auto* first = static_cast<const std::uint8_t*>(buffer);
    m_into.pixels.assign(first, first + bytes);
    m_into.size = size;
    m_into.format = format;
    m_captured = true;
  }
  void blitFromMemory(const void*, const CEGUI::Rectf&) override {}
  void blitToMemory(void*) override {}
  bool isPixelFormatSupported(const PixelFormat format) const override { return format == PF_RGB || format == PF_RGBA; }
  bool captured() const { return m_captured; }

 private:
  Decoded& m_into;
  CEGUI::Vector2f m_scaling{1.0f, 1.0f};
  bool m_captured = false;
};

namespace {

// A file of the archive whole; empty when missing or larger than `limit`.
std::vector<std::uint8_t> readWhole(File& files, const std::string& name, int limit) {
  std::vector<std::uint8_t> bytes;
  if (!files.exists(name.c_str()) || !files.open(name.c_str())) return bytes;
  const int size = files.size();
  if (size > 0 && size <= limit) {
    bytes.resize(static_cast<std::size_t>(size));
    if (files.read(bytes.data(), size) != size) bytes.clear();
  }
  files.close();
  return bytes;
}

// The picture file an imageset names ("imagefile"); empty when none.
std::string imagesetPicture(const std::vector<std::uint8_t>& xml) {
  static const char kAttribute[] = "imagefile=\"";
  const std::string text(xml.begin(), xml.end());
  const std::size_t at = text.find(kAttribute);
  if (at == std::string::npos) return {};
  const std::size_t from = at + sizeof kAttribute - 1, to = text.find('"', from);
  return to == std::string::npos ? std::string() : text.substr(from, to - from);
}

// Lends bytes to the library's container, which would otherwise free them.
struct LentData {
  CEGUI::RawDataContainer container;
  explicit LentData(std::vector<std::uint8_t>& bytes) {
    container.setData(bytes.data());
    container.setSize(bytes.size());
  }
  ~LentData() {
    container.setData(nullptr);
    container.setSize(0);
  }
};

}  // namespace

GuiPictureCodec::GuiPictureCodec() : CEGUI::ImageCodec("GuiPictureCodec") {
  m_module = std::make_unique<CEGUI::DynamicModule>(CEGUI::String("CEGUI") + CEGUI::System::getDefaultImageCodecName());
  auto create = reinterpret_cast<CEGUI::ImageCodec* (*)()>(m_module->getSymbolAddress("createImageCodec"));
  m_inner = create();
  d_supportedFormat = m_inner->getSupportedFormat();
}

GuiPictureCodec::~GuiPictureCodec() {
  stopDecodingAhead();
  auto destroy = reinterpret_cast<void (*)(CEGUI::ImageCodec*)>(m_module->getSymbolAddress("destroyImageCodec"));
  destroy(m_inner);
}

CEGUI::Texture* GuiPictureCodec::load(const CEGUI::RawDataContainer& data, CEGUI::Texture* result) {
  const std::uint8_t* bytes = data.getDataPtr();
  const std::size_t size = data.getSize();
  const std::optional<PictureSize> picture = readPictureSize(bytes, size);
  if (!picture) {
    reportRefusal("GUI picture refused: not a PNG, JPEG, TGA, BMP or DDS picture; it shows blank");
  } else if (picture->width > kMaxSide || picture->height > kMaxSide) {
    reportRefusal("GUI picture of %u x %u refused: its sides may be at most %u; it shows blank", picture->width,
                  picture->height, kMaxSide);
  } else {
    std::shared_ptr<Decoded> kept;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      kept = findKept(bytes, size);
      m_decoded.wait(lock, [&] { return !kept || kept->state != Decoded::kPending; });
    }
    if (kept && kept->state == Decoded::kReady) {
      result->loadFromMemory(kept->pixels.data(), kept->size, kept->format);
      return result;
    }
    auto fresh = std::make_shared<Decoded>();
    if (decode(data, *fresh)) {
      result->loadFromMemory(fresh->pixels.data(), fresh->size, fresh->format);
      fresh->raw.assign(bytes, bytes + size);
      fresh->state = Decoded::kReady;
      keep(fresh);
      return result;
    }
    // Decoded into a form that is not kept, or not decoded at all.
    std::lock_guard<std::mutex> codec(m_codecMutex);
    if (CEGUI::Texture* decoded = m_inner->load(data, result)) return decoded;
    reportRefusal("GUI picture of %u x %u refused: its data does not decode; it shows blank", picture->width,
                  picture->height);
  }
  // One clear pixel in its place: failing here would throw through the
  // library's XML reader, which then loses its parser.
  static const std::uint32_t kClear = 0;
  result->loadFromMemory(&kClear, CEGUI::Sizef(1, 1), CEGUI::Texture::PF_RGBA);
  return result;
}

std::shared_ptr<GuiPictureCodec::Decoded> GuiPictureCodec::findKept(const std::uint8_t* data, std::size_t size) const {
  for (const std::shared_ptr<Decoded>& d : m_kept)
    if (d->raw.size() == size && (size == 0 || std::memcmp(d->raw.data(), data, size) == 0)) return d;
  return nullptr;
}

bool GuiPictureCodec::decode(const CEGUI::RawDataContainer& data, Decoded& into) {
  std::lock_guard<std::mutex> codec(m_codecMutex);
  CapturedPixels capture(into);
  const bool decoded = m_inner->load(data, &capture) && capture.captured();
  if (decoded) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_decodes;
  }
  return decoded;
}

void GuiPictureCodec::keep(const std::shared_ptr<Decoded>& picture) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const std::size_t bytes = picture->raw.size() + picture->pixels.size();
  if (m_keptBytes + bytes > kMaxKeptBytes || findKept(picture->raw.data(), picture->raw.size())) return;
  m_keptBytes += bytes;
  m_kept.push_back(picture);
}

int GuiPictureCodec::decodeCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_decodes;
}

void GuiPictureCodec::decodeAhead(const File& files, const std::string& folder, std::vector<std::string> imagesets) {
  if (m_ahead.joinable()) m_ahead.join();  // the last batch first
  m_ahead = std::thread(&GuiPictureCodec::decodeAheadRun, this, files.cloneUnique(), folder, std::move(imagesets));
}

void GuiPictureCodec::decodeAheadRun(std::unique_ptr<File> files, std::string folder,
                                     std::vector<std::string> imagesets) {
  constexpr int kMaxImagesetBytes = 1 << 20, kMaxPictureBytes = 64 << 20;
  for (const std::string& imageset : imagesets) {
    std::shared_ptr<Decoded> picture;
    try {
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stop) return;
      }
      const std::string name = imagesetPicture(readWhole(*files, folder + imageset, kMaxImagesetBytes));
      if (name.empty()) continue;
      std::vector<std::uint8_t> raw = readWhole(*files, folder + name, kMaxPictureBytes);
      // Refusals are left to the load, which reports them.
      const std::optional<PictureSize> size = readPictureSize(raw.data(), raw.size());
      if (!size || size->width > kMaxSide || size->height > kMaxSide) continue;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (findKept(raw.data(), raw.size()) || m_keptBytes + raw.size() > kMaxKeptBytes) continue;
        picture = std::make_shared<Decoded>();
        picture->raw = std::move(raw);
        m_keptBytes += picture->raw.size();
        m_kept.push_back(picture);
      }
      LentData lent(picture->raw);
      const bool decoded = decode(lent.container, *picture);
      std::lock_guard<std::mutex> lock(m_mutex);
      if (decoded) {
        picture->state = Decoded::kReady;
        m_keptBytes += picture->pixels.size();
      } else {
        picture->state = Decoded::kFailed;
      }
    } catch (...) {
      // The load decodes it again and says what is wrong.
      if (picture) {
        std::lock_guard<std::mutex> lock(m_mutex);
        picture->state = Decoded::kFailed;
      }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (picture && picture->state == Decoded::kFailed) {
      m_keptBytes -= picture->raw.size();
      m_kept.erase(std::find(m_kept.begin(), m_kept.end(), picture));
    }
    m_decoded.notify_all();
  }
}

void GuiPictureCodec::stopDecodingAhead() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  if (m_ahead.joinable()) m_ahead.join();
}
