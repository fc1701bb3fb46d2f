// The engine's one colour packing, used by surfaces, texels and debug lines.
#include "foundation/color_rgba.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ColorRGBA, PacksClampedRoundedChannelsAsARGB) {
  EXPECT_EQ((ColorRGBA{1.0f, 0.5f, 0.0f, 1.0f}.toD3DColor()), 0xFFFF8000u);  // 127.5 + 0.5 truncates to 128
  EXPECT_EQ((ColorRGBA{2.0f, -1.0f, 0.25f, 0.5f}.toD3DColor()), 0x80FF0040u);
  EXPECT_EQ((ColorRGBA{0.998f, 0.002f, 0.0f, 0.0f}.toD3DColor()), 0x00FE0100u);
  EXPECT_EQ((ColorRGBA{std::nanf(""), 1.0f, 1.0f, std::nanf("")}.toD3DColor()), 0x0000FFFFu);
}
