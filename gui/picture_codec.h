// The pictures of imagesets reach the GUI library's image codec as the raw
// file our resource provider read. A small file can declare a huge picture
// (a 1 MB PNG of 16384 x 16384 decodes to 1 GB of pixels), so the size is
// read from the picture's header first and large pictures are refused
// before anything is decoded; the rest goes to the library's own codec.
// A refused picture is reported and shows as one clear pixel, so that the
// imageset, and the menu, still load.
#pragma once

#include <CEGUI/ImageCodec.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace CEGUI {
class DynamicModule;
}

struct PictureSize {
  std::uint32_t width = 0, height = 0;
};

// The size a PNG, JPEG, TGA, BMP or DDS header declares; none when the
// bytes are none of these or too short to say.
std::optional<PictureSize> readPictureSize(const std::uint8_t* data, std::size_t size);

class GuiPictureCodec final : public CEGUI::ImageCodec {
 public:
  // Pictures wider or taller than this are refused.
  static constexpr std::uint32_t kMaxSide = 4096;

  // Wraps the library's default codec module.
  GuiPictureCodec();
  ~GuiPictureCodec() override;

  // A picture whose header cannot be read, or with a side above kMaxSide,
  // is reported and not decoded; one whose data the library's codec does
  // not decode is reported too. `result` gets one clear pixel instead.
  CEGUI::Texture* load(const CEGUI::RawDataContainer& data, CEGUI::Texture* result) override;

 private:
  std::unique_ptr<CEGUI::DynamicModule> m_module;
  CEGUI::ImageCodec* m_inner = nullptr;
};
