// JPEG files made with the JPEG library's compressor, for test pictures and
// the sample data.
#pragma once

#include <cstdint>
#include <vector>

struct JpegWriteOptions {
  int quality = 90;  // 1 to 100
  bool progressive = false;
};

// Colour JPEG of width x height pixels 0x..RRGGBB, top row first. Empty when
// a side is not positive or above 65500, or the pixel count does not match.
std::vector<std::uint8_t> writeJpegRgb(int width, int height, const std::vector<std::uint32_t>& pixels,
                                       JpegWriteOptions options = {});

// Greyscale (one component) JPEG of width x height values, top row first.
std::vector<std::uint8_t> writeJpegGrey(int width, int height, const std::vector<std::uint8_t>& values,
                                        JpegWriteOptions options = {});
