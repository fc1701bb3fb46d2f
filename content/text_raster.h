// Text set in a TrueType face through FreeType, as coverage (0..255 per
// pixel), for drawing captions and titles into generated pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TextBitmap {
  int width = 0, height = 0;
  int baseline = 0;                    // rows from the top to the baseline
  std::vector<std::uint8_t> coverage;  // width x height, top row first
};

// `utf8` set in the face at `fontPath` with an em of `pixelSize` pixels.
// Empty when the face cannot be read or the text is empty; undecodable
// bytes are skipped.
TextBitmap rasteriseText(const std::string& fontPath, const std::string& utf8, int pixelSize);
