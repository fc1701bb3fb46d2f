// The last menu screens' data: the flags of the language choice, the
// credits text and the exit screen's branding file with its imageset.
#pragma once

#include <cstdint>

class ArchiveWriter;

// The exit screen's sample link button, in pixels of its 800 x 600 layout,
// and the colours of its pictures.
struct SampleBrandingButton {
  static constexpr int kX = 400, kY = 300, kWidth = 200, kHeight = 100;
  static constexpr const char* kUrl = "https://tessaline.example/";
  static constexpr std::uint32_t kBackground = 0xFF203040, kNormal = 0xFFC04020, kHover = 0xFF20C040;
};

bool addScreenSamples(ArchiveWriter& writer);
