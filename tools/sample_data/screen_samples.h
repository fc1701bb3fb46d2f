// The last menu screens' data: the flags of the language choice, the
// credits text and the exit screen's branding file with its imageset.
#pragma once

#include <cstdint>

class ArchiveWriter;

// The exit screen's sample link button, in pixels of its 800 x 600 layout,
// and the colours of its pictures: the link's face under its white words,
// the screen's dark sky.
struct SampleBrandingButton {
  static constexpr int kX = 400, kY = 300, kWidth = 200, kHeight = 100;
  static constexpr const char* kUrl = "https://tessaline.example/";
  static constexpr const char* kMaker = "Marrowgate Software";
  static constexpr const char* kAddress = "tessaline.example";
  static constexpr std::uint32_t kBackground = 0xFF101A2C, kNormal = 0xFFC04020, kHover = 0xFF1E7A34;
};

bool addScreenSamples(ArchiveWriter& writer);
