#include "content/text_raster.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <memory>

namespace {

// Code points of a UTF-8 string; broken sequences are skipped.
std::vector<char32_t> decode(const std::string& s) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + static_cast<std::size_t>(length) > s.size()) {
      ++i;
      continue;
    }
    char32_t v = length == 1 ? c : c & (0x7F >> length);
    bool ok = true;
    for (int k = 1; k < length; ++k) {
      const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      ok = ok && (b >> 6) == 2;
      v = (v << 6) | (b & 0x3F);
    }
    if (ok) out.push_back(v);
    i += ok ? static_cast<std::size_t>(length) : 1;
  }
  return out;
}

struct LibraryDeleter {
  void operator()(FT_Library l) const { FT_Done_FreeType(l); }
};
struct FaceDeleter {
  void operator()(FT_Face f) const { FT_Done_Face(f); }
};

}  // namespace

TextBitmap rasteriseText(const std::string& fontPath, const std::string& utf8, int pixelSize) {
  TextBitmap out;
  const std::vector<char32_t> text = decode(utf8);
  if (text.empty() || pixelSize <= 0 || pixelSize > 2048) return out;
  FT_Library rawLibrary = nullptr;
  if (FT_Init_FreeType(&rawLibrary) != 0) return out;
  std::unique_ptr<FT_LibraryRec_, LibraryDeleter> library(rawLibrary);
  FT_Face rawFace = nullptr;
  if (FT_New_Face(library.get(), fontPath.c_str(), 0, &rawFace) != 0) return out;
  std::unique_ptr<FT_FaceRec_, FaceDeleter> face(rawFace);
  if (FT_Set_Pixel_Sizes(face.get(), 0, static_cast<FT_UInt>(pixelSize)) != 0) return out;

  // Two passes: the first measures the pen's path, the second draws.
  const int ascender = static_cast<int>(face->size->metrics.ascender >> 6);
  const int descender = static_cast<int>(-(face->size->metrics.descender >> 6));
  long pen = 0, left = 0, right = 0;
  for (char32_t c : text) {
    if (FT_Load_Char(face.get(), c, FT_LOAD_DEFAULT) != 0) continue;
    const FT_GlyphSlot g = face->glyph;
    left = std::min(left, pen + (g->metrics.horiBearingX >> 6));
    right = std::max(right, pen + ((g->metrics.horiBearingX + g->metrics.width) >> 6) + 1);
    pen += g->advance.x >> 6;
  }
  right = std::max(right, pen);
  out.width = static_cast<int>(right - left);
  out.height = ascender + descender;
  out.baseline = ascender;
  if (out.width <= 0 || out.height <= 0) return TextBitmap{};
  out.coverage.assign(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height), 0);
  pen = -left;
  for (char32_t c : text) {
    if (FT_Load_Char(face.get(), c, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& b = g->bitmap;
    for (unsigned row = 0; row < b.rows; ++row)
      for (unsigned column = 0; column < b.width; ++column) {
        const long x = pen + g->bitmap_left + static_cast<long>(column);
        const long y = out.baseline - g->bitmap_top + static_cast<long>(row);
        if (x < 0 || y < 0 || x >= out.width || y >= out.height) continue;
        std::uint8_t& cell = out.coverage[static_cast<std::size_t>(y * out.width + x)];
        cell = std::max(cell, b.buffer[static_cast<long>(row) * b.pitch + static_cast<long>(column)]);
      }
    pen += g->advance.x >> 6;
  }
  return out;
}
