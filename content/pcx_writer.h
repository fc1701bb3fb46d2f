// 8-bit run-length PCX files as the race's track maps are stored: one plane
// of palette indices, each line encoded on its own, and the 256-colour
// palette after the marker byte 12.
#pragma once

#include <cstdint>
#include <vector>

struct PcxWriteOptions {
  // Bytes per line; 0 takes the width rounded up to an even number. Lines
  // longer than the width are padded with index 0.
  int bytesPerLine = 0;
  // false leaves out the palette and its marker.
  bool withPalette = true;
};

// PCX of width x height indices, top row first, with up to 256 colours
// 0x..RRGGBB (missing entries are black). Empty when a side is not positive
// or above 65535, the index count does not match, the palette holds more than
// 256 colours or bytesPerLine is below the width.
std::vector<std::uint8_t> writePcx8(int width, int height, const std::vector<std::uint8_t>& indices,
                                    const std::vector<std::uint32_t>& palette, PcxWriteOptions options = {});
