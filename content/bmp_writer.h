// BMP files as the game's pictures are stored: a 40-byte information header,
// uncompressed rows padded to whole 32-bit words, bottom row first unless
// asked for top-down (negative height).
#pragma once

#include <cstdint>
#include <vector>

struct BmpWriteOptions {
  bool topDown = false;
};

// 24-bit BMP of width x height pixels 0x..RRGGBB, given top row first (the
// top byte is ignored). Empty when a side is not positive or the pixel count
// does not match.
std::vector<std::uint8_t> writeBmp24(int width, int height, const std::vector<std::uint32_t>& pixels,
                                     BmpWriteOptions options = {});

// 8-bit BMP of width x height palette indices, top row first, with a palette
// of 1 to 256 colours 0x..RRGGBB. A full palette is written with the colour
// count 0, which readers take as 256. Empty when a side is not positive, the
// index count does not match or the palette size is out of range.
std::vector<std::uint8_t> writeBmp8(int width, int height, const std::vector<std::uint8_t>& indices,
                                    const std::vector<std::uint32_t>& palette, BmpWriteOptions options = {});
