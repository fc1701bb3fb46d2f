// Colours as four floats, and their packed Direct3D form.
#pragma once

#include "platform/win32_types.h"

struct ColorRGBA {
  float r = 0, g = 0, b = 0, a = 0;

  // Each channel clamped to 0..1, times 255 plus 0.5, truncated; packed as
  // A<<24 | R<<16 | G<<8 | B. A NaN channel packs as 0.
  DWORD toD3DColor() const;
};
