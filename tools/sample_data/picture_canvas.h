// A small anti-aliased painter for the generated GUI pictures: gradients,
// filled polygons, discs, rings, thick lines and text, composited "over"
// onto 0xAARRGGBB pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Point2f {
  float x = 0, y = 0;
};

class Canvas {
 public:
  Canvas(int width, int height, std::uint32_t fill = 0);

  int width() const { return m_width; }
  int height() const { return m_height; }
  const std::vector<std::uint32_t>& pixels() const { return m_pixels; }
  std::uint32_t at(int x, int y) const { return m_pixels[index(x, y)]; }

  // Lays `argb` over one pixel with the given coverage (0..1).
  void blend(int x, int y, std::uint32_t argb, float coverage);
  // Replaces every pixel of the rectangle (no blending): for holes.
  void set(int x0, int y0, int x1, int y1, std::uint32_t argb);

  // A top-to-bottom gradient over the rectangle, replacing what was there.
  void gradient(int x0, int y0, int x1, int y1, std::uint32_t top, std::uint32_t bottom);
  void fillRect(float x0, float y0, float x1, float y1, std::uint32_t argb);
  // Even-odd fill of one or more closed outlines.
  void fillPolygon(const std::vector<std::vector<Point2f>>& outlines, std::uint32_t argb);
  void fillPolygon(const std::vector<Point2f>& outline, std::uint32_t argb) {
    fillPolygon(std::vector<std::vector<Point2f>>{outline}, argb);
  }
  void disc(float cx, float cy, float radius, std::uint32_t argb);
  void ring(float cx, float cy, float inner, float outer, std::uint32_t argb);
  // A stroke of width `w` with round ends.
  void line(float x0, float y0, float x1, float y1, float w, std::uint32_t argb);
  void roundedRect(float x0, float y0, float x1, float y1, float radius, std::uint32_t argb);
  // `utf8` in the DejaVu face `face` ("DejaVuSans-Bold.ttf") centred on
  // (cx, baseline y); returns false when the face is missing.
  bool text(const std::string& face, const std::string& utf8, int pixelSize, float cx, float baselineY,
            std::uint32_t argb);
  // Draws `source` scaled into the rectangle (box filter), blended.
  void draw(const Canvas& source, float x0, float y0, float x1, float y1);

  // Pixel rows of the rectangle copied out.
  Canvas crop(int x0, int y0, int x1, int y1) const;

 private:
  std::size_t index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x);
  }

  int m_width, m_height;
  std::vector<std::uint32_t> m_pixels;
};

// Colour helpers on 0xAARRGGBB.
std::uint32_t mixColour(std::uint32_t a, std::uint32_t b, float t);
std::uint32_t withAlpha(std::uint32_t argb, std::uint8_t alpha);
// WCAG relative luminance of the colour's RGB, 0..1.
double relativeLuminance(std::uint32_t argb);
double contrastRatio(std::uint32_t a, std::uint32_t b);
// `top` over the opaque `below`, straight alpha.
std::uint32_t over(std::uint32_t top, std::uint32_t below);

inline constexpr const char* kDejaVuFolder = "/usr/share/fonts/truetype/dejavu/";
