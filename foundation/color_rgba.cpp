#include "foundation/color_rgba.h"

namespace {

std::uint32_t channelByte(float c) {
  if (c >= 1.0f) return 255;
  if (!(c > 0.0f)) return 0;  // also catches NaN, which has no byte value
  return static_cast<std::uint32_t>(c * 255.0f + 0.5f);
}

}  // namespace

std::uint32_t ColorRGBA::toD3DColor() const {
  return channelByte(a) << 24 | channelByte(r) << 16 | channelByte(g) << 8 | channelByte(b);
}
