// Every surface format the renderer knows, as one constant table, and the
// scored choice of a table row for depth buffers, render targets and textures.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/graphics/d3d9_types.h"

// Channel word: bits 0-7 bits per element, bits 8-15 log2 of the elements
// packed in the channel, bits 16-31 the element type.
inline constexpr std::uint32_t kChannelUnsigned = 0;
inline constexpr std::uint32_t kChannelSigned = 1;
inline constexpr std::uint32_t kChannelFloat = 2;
constexpr std::uint32_t channelWord(std::uint32_t bits, std::uint32_t exponent = 0,
                                    std::uint32_t type = kChannelUnsigned) {
  return type << 16 | exponent << 8 | bits;
}

// Row flags the device layer tests.
inline constexpr std::uint32_t kFormatDisplay = 0x1;       // a display or back buffer may have it
inline constexpr std::uint32_t kFormatDepthStencil = 0x2;  // checked with the depth-stencil usage
inline constexpr std::uint32_t kFormatNotLockable = 0x4;   // preferred for the automatic depth buffer

struct FormatDesc {
  D3DFORMAT format;
  const char* name;                       // without the D3DFMT_ prefix
  std::uint32_t alpha, red, green, blue;  // channel words; depth in red, stencil in alpha
  std::uint32_t bits;                     // per pixel (average for block-compressed formats)
  std::uint32_t flags;
};

// The 72 rows in their fixed order (which decides ties and list order).
std::span<const FormatDesc> formatTable();
// The row of a Direct3D format, or null.
const FormatDesc* findFormat(D3DFORMAT format);

// The six formats a display or back buffer may have, in fitting order.
inline constexpr D3DFORMAT kDisplayFormatCandidates[6] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,
                                                          D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A2R10G10B10};

struct FormatRequest {
  std::uint32_t minAlpha = 0, minRed = 0, minGreen = 0, minBlue = 0;
  std::uint32_t desiredAlpha = 0, desiredRed = 0, desiredGreen = 0, desiredBlue = 0;
  std::uint32_t maxAlpha = 0, maxRed = 0, maxGreen = 0, maxBlue = 0;
  std::uint32_t requiredFlags = 0;
  std::uint32_t allowedFlags = 0;
  // Priority order. An entry >= 0 prefers rows with all its bits; a negative
  // entry is the complement of flags to avoid. Only the first 12 count.
  std::vector<int> preferredFlags;

  // -1 when the row is not acceptable, else a score (higher is better).
  int score(const FormatDesc& row) const;
  // The first row with the highest score; null when none scores 0 or more.
  const FormatDesc* choose(std::span<const FormatDesc* const> rows) const;
  // Accepts rows with these flags but ranks them after the others.
  void avoid(std::uint32_t mask);
};

inline constexpr std::size_t kMaxPreferredFlags = 12;
