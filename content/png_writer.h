// PNG pictures for the GUI's imagesets: 8-bit RGBA, no filtering, one
// zlib stream in one IDAT chunk.
#pragma once

#include <cstdint>
#include <vector>

// width x height pixels 0xAARRGGBB, top row first. Empty when a side is
// not positive or the pixel count does not match.
std::vector<std::uint8_t> writePng(int width, int height, const std::vector<std::uint32_t>& pixels);
// A header of width x height 8-bit RGBA pixels over `rows` as given (each
// row a filter byte and its pixels), compressed into one IDAT: rows that do
// not fill the picture make a picture whose data does not decode.
std::vector<std::uint8_t> writePngRows(int width, int height, const std::vector<std::uint8_t>& rows);
