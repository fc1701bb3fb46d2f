// The engine's colour: four floats, red, green, blue and alpha, nominally
// 0..1, and their packed Direct3D form. Surfaces, texels and debug lines all
// pack through toD3DColor, so every packed colour rounds the same way.
#pragma once

#include <cstdint>

struct ColorRGBA {
  float r = 0, g = 0, b = 0, a = 0;

  // Each channel clamped to 0..1, times 255 plus 0.5, truncated; packed as
  // A<<24 | R<<16 | G<<8 | B. A NaN channel packs as 0.
  std::uint32_t toD3DColor() const;
};
