// Texture options that object and scene files share: a LightWave wrap type
// as the device's texture address mode, and an antialiasing strength as the
// sampler's anisotropy.
#pragma once

#include <cstdint>

#include "platform/graphics/d3d9.h"

// Wrap types 0 reset, 1 repeat, 2 mirror, 3 edge as the address modes
// 1 wrap, 2 mirror, 3 clamp, 4 border, by what the device can do (its
// texture-address capabilities).
std::int32_t lightWaveAddressMode(std::uint32_t wrap, DWORD caps);
// 1, 2, 4 or 8.
int lightWaveAntialiasLevel(float strength);
