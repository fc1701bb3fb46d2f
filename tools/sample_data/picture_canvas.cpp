#include "tools/sample_data/picture_canvas.h"

#include <algorithm>
#include <cmath>

#include "content/text_raster.h"

namespace {

float channel(std::uint32_t argb, int shift) { return static_cast<float>((argb >> shift) & 0xFF) / 255.0f; }
std::uint32_t byte(float v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

double linear(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

}  // namespace

std::uint32_t mixColour(std::uint32_t a, std::uint32_t b, float t) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8)
    out |= byte(channel(a, shift) + (channel(b, shift) - channel(a, shift)) * t) << shift;
  return out;
}

std::uint32_t withAlpha(std::uint32_t argb, std::uint8_t alpha) {
  return (argb & 0xFFFFFF) | (static_cast<std::uint32_t>(alpha) << 24);
}

double relativeLuminance(std::uint32_t argb) {
  return 0.2126 * linear(channel(argb, 16)) + 0.7152 * linear(channel(argb, 8)) + 0.0722 * linear(channel(argb, 0));
}

double contrastRatio(std::uint32_t a, std::uint32_t b) {
  const double la = relativeLuminance(a), lb = relativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::uint32_t over(std::uint32_t top, std::uint32_t below) {
  return mixColour(below | 0xFF000000u, top | 0xFF000000u, channel(top, 24));
}

Canvas::Canvas(int width, int height, std::uint32_t fill)
    : m_width(std::max(width, 1)),
      m_height(std::max(height, 1)),
      m_pixels(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), fill) {}

void Canvas::blend(int x, int y, std::uint32_t argb, float coverage) {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height || coverage <= 0.0f) return;
  std::uint32_t& d = m_pixels[index(x, y)];
  const float a = channel(argb, 24) * std::min(coverage, 1.0f), da = channel(d, 24);
  const float outA = a + da * (1.0f - a);
  if (outA <= 0.0f) {
    d = 0;
    return;
  }
  std::uint32_t out = byte(outA) << 24;
  for (int shift = 0; shift < 24; shift += 8)
    out |= byte((channel(argb, shift) * a + channel(d, shift) * da * (1.0f - a)) / outA) << shift;
  d = out;
}

void Canvas::set(int x0, int y0, int x1, int y1, std::uint32_t argb) {
  for (int y = std::max(y0, 0); y < std::min(y1, m_height); ++y)
    for (int x = std::max(x0, 0); x < std::min(x1, m_width); ++x) m_pixels[index(x, y)] = argb;
}

void Canvas::gradient(int x0, int y0, int x1, int y1, std::uint32_t top, std::uint32_t bottom) {
  const float span = static_cast<float>(std::max(y1 - y0 - 1, 1));
  for (int y = std::max(y0, 0); y < std::min(y1, m_height); ++y) {
    const std::uint32_t c = mixColour(top, bottom, static_cast<float>(y - y0) / span);
    for (int x = std::max(x0, 0); x < std::min(x1, m_width); ++x) m_pixels[index(x, y)] = c;
  }
}

void Canvas::fillRect(float x0, float y0, float x1, float y1, std::uint32_t argb) {
  fillPolygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, argb);
}

void Canvas::fillPolygon(const std::vector<std::vector<Point2f>>& outlines, std::uint32_t argb) {
  constexpr int kSub = 4;  // sample rows per pixel row; columns are exact
  float top = 1e9f, bottom = -1e9f;
  for (const auto& o : outlines)
    for (const Point2f& p : o) top = std::min(top, p.y), bottom = std::max(bottom, p.y);
  const int yStart = std::max(0, static_cast<int>(std::floor(top)));
  const int yEnd = std::min(m_height, static_cast<int>(std::ceil(bottom)) + 1);
  std::vector<float> crossings, row(static_cast<std::size_t>(m_width) + 1);
  for (int y = yStart; y < yEnd; ++y) {
    std::fill(row.begin(), row.end(), 0.0f);
    bool any = false;
    for (int s = 0; s < kSub; ++s) {
      const float sy = static_cast<float>(y) + (static_cast<float>(s) + 0.5f) / kSub;
      crossings.clear();
      for (const auto& o : outlines)
        for (std::size_t i = 0; i < o.size(); ++i) {
          const Point2f a = o[i], b = o[(i + 1) % o.size()];
          if ((a.y <= sy) != (b.y <= sy)) crossings.push_back(a.x + (sy - a.y) * (b.x - a.x) / (b.y - a.y));
        }
      std::sort(crossings.begin(), crossings.end());
      for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
        const float l = std::clamp(crossings[i], 0.0f, static_cast<float>(m_width));
        const float r = std::clamp(crossings[i + 1], 0.0f, static_cast<float>(m_width));
        for (int x = static_cast<int>(l); x < m_width && static_cast<float>(x) < r; ++x) {
          const float cover = std::min(r, static_cast<float>(x + 1)) - std::max(l, static_cast<float>(x));
          if (cover > 0) row[static_cast<std::size_t>(x)] += cover / kSub, any = true;
        }
      }
    }
    if (any)
      for (int x = 0; x < m_width; ++x) blend(x, y, argb, row[static_cast<std::size_t>(x)]);
  }
}

void Canvas::disc(float cx, float cy, float radius, std::uint32_t argb) { ring(cx, cy, -1.0f, radius, argb); }

void Canvas::ring(float cx, float cy, float inner, float outer, std::uint32_t argb) {
  const int x0 = std::max(0, static_cast<int>(cx - outer - 1)),
            x1 = std::min(m_width, static_cast<int>(cx + outer + 2));
  const int y0 = std::max(0, static_cast<int>(cy - outer - 1)),
            y1 = std::min(m_height, static_cast<int>(cy + outer + 2));
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const float d = std::hypot(static_cast<float>(x) + 0.5f - cx, static_cast<float>(y) + 0.5f - cy);
      const float c = std::clamp(outer - d + 0.5f, 0.0f, 1.0f) * std::clamp(d - inner + 0.5f, 0.0f, 1.0f);
      blend(x, y, argb, c);
    }
}

void Canvas::line(float x0, float y0, float x1, float y1, float w, std::uint32_t argb) {
  const float dx = x1 - x0, dy = y1 - y0, length = std::hypot(dx, dy);
  if (length <= 0.0f) {
    disc(x0, y0, w / 2, argb);
    return;
  }
  // The stroke and its round ends as one outline, so overlaps blend once.
  std::vector<Point2f> outline;
  const float nx = -dy / length * w / 2, ny = dx / length * w / 2;
  const float angle = std::atan2(ny, nx);
  constexpr int kSteps = 12;
  for (int i = 0; i <= kSteps; ++i) {
    const float t = angle - 3.14159265f * static_cast<float>(i) / kSteps;  // round the far end
    outline.push_back({x1 + std::cos(t) * w / 2, y1 + std::sin(t) * w / 2});
  }
  for (int i = 0; i <= kSteps; ++i) {
    const float t = angle + 3.14159265f - 3.14159265f * static_cast<float>(i) / kSteps;
    outline.push_back({x0 + std::cos(t) * w / 2, y0 + std::sin(t) * w / 2});
  }
  fillPolygon(outline, argb);
}

void Canvas::roundedRect(float x0, float y0, float x1, float y1, float radius, std::uint32_t argb) {
  std::vector<Point2f> outline;
  const Point2f centres[4] = {
      {x1 - radius, y0 + radius}, {x1 - radius, y1 - radius}, {x0 + radius, y1 - radius}, {x0 + radius, y0 + radius}};
  for (int corner = 0; corner < 4; ++corner)
    for (int i = 0; i <= 6; ++i) {
      const float t = 3.14159265f * (-0.5f + 0.5f * static_cast<float>(corner) + static_cast<float>(i) / 12.0f);
      outline.push_back({centres[corner].x + std::cos(t) * radius, centres[corner].y + std::sin(t) * radius});
    }
  fillPolygon(outline, argb);
}

bool Canvas::text(const std::string& face, const std::string& utf8, int pixelSize, float cx, float baselineY,
                  std::uint32_t argb) {
  const TextBitmap t = rasteriseText(std::string(kDejaVuFolder) + face, utf8, pixelSize);
  if (t.coverage.empty()) return false;
  const int left = static_cast<int>(std::lround(cx - static_cast<float>(t.width) / 2));
  const int top = static_cast<int>(std::lround(baselineY)) - t.baseline;
  for (int y = 0; y < t.height; ++y)
    for (int x = 0; x < t.width; ++x)
      blend(left + x, top + y, argb,
            static_cast<float>(t.coverage[static_cast<std::size_t>(y * t.width + x)]) / 255.0f);
  return true;
}

void Canvas::draw(const Canvas& source, float x0, float y0, float x1, float y1) {
  const float sx = static_cast<float>(source.m_width) / (x1 - x0), sy = static_cast<float>(source.m_height) / (y1 - y0);
  for (int y = std::max(0, static_cast<int>(y0)); y < std::min(m_height, static_cast<int>(std::ceil(y1))); ++y)
    for (int x = std::max(0, static_cast<int>(x0)); x < std::min(m_width, static_cast<int>(std::ceil(x1))); ++x) {
      // Average the source pixels under this one (premultiplied).
      const int u0 = static_cast<int>((static_cast<float>(x) - x0) * sx),
                v0 = static_cast<int>((static_cast<float>(y) - y0) * sy);
      const int u1 = std::max(u0 + 1, static_cast<int>((static_cast<float>(x) + 1 - x0) * sx));
      const int v1 = std::max(v0 + 1, static_cast<int>((static_cast<float>(y) + 1 - y0) * sy));
      float sum[4] = {0, 0, 0, 0};
      int n = 0;
      for (int v = std::max(v0, 0); v < std::min(v1, source.m_height); ++v)
        for (int u = std::max(u0, 0); u < std::min(u1, source.m_width); ++u) {
          const std::uint32_t p = source.at(u, v);
          const float a = channel(p, 24);
          sum[0] += a, sum[1] += channel(p, 16) * a, sum[2] += channel(p, 8) * a, sum[3] += channel(p, 0) * a;
          ++n;
        }
      if (n == 0 || sum[0] <= 0) continue;
      const std::uint32_t c = (byte(sum[1] / sum[0]) << 16) | (byte(sum[2] / sum[0]) << 8) | byte(sum[3] / sum[0]);
      blend(x, y, c | 0xFF000000u, sum[0] / static_cast<float>(n));
    }
}

Canvas Canvas::crop(int x0, int y0, int x1, int y1) const {
  Canvas out(x1 - x0, y1 - y0);
  for (int y = 0; y < out.m_height; ++y)
    for (int x = 0; x < out.m_width; ++x)
      if (x0 + x >= 0 && y0 + y >= 0 && x0 + x < m_width && y0 + y < m_height)
        out.m_pixels[out.index(x, y)] = at(x0 + x, y0 + y);
  return out;
}
