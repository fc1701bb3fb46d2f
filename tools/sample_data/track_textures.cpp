#include "tools/sample_data/track_textures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tools/sample_data/track_pieces.h"

namespace track_textures {

namespace {

std::vector<std::uint32_t> canvas() { return std::vector<std::uint32_t>(static_cast<std::size_t>(kSide * kSide)); }

std::uint32_t& at(std::vector<std::uint32_t>& p, int x, int y) {
  return p[static_cast<std::size_t>(((y % kSide + kSide) % kSide) * kSide + (x % kSide + kSide) % kSide)];
}

// A smooth value in -1..1 that repeats every kSide pixels.
double wave(double x, double y, double fx, double fy, double phase) {
  constexpr double k = 2.0 * 3.14159265358979 / kSide;
  return std::sin(k * (fx * x + fy * y) + phase);
}

}  // namespace

std::vector<std::uint32_t> paving(int r, int g, int b, int courses, std::uint32_t seed) {
  Noise noise{seed};
  std::vector<std::uint32_t> p = canvas();
  const int course = kSide / courses;
  // Each slab its own shade.
  int shade[16][16];
  for (auto& row : shade)
    for (int& s : row) s = noise.next(31) - 15;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const int row = y / course, offset = row % 2 == 0 ? 0 : course / 2;
      const int column = ((x + offset) / course) % courses;
      const bool joint = y % course == 0 || (x + offset) % course == 0;
      const int d = joint ? -45 : shade[row % 16][column % 16] + noise.next(13) - 6;
      at(p, x, y) = rgb(r + d, g + d, b + d);
    }
  return p;
}

std::vector<std::uint32_t> marble(int r, int g, int b, std::uint32_t seed) {
  Noise noise{seed};
  std::vector<std::uint32_t> p = canvas();
  const double phase = noise.next(628) / 100.0;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const double v = wave(x, y, 1, 2, phase) + 0.5 * wave(x, y, 3, -1, phase * 2) + 0.25 * wave(x, y, 5, 4, 1.0);
      const double vein = std::exp(-std::pow(v * 4.0, 2.0));
      const int d = static_cast<int>(-70.0 * vein) + noise.next(9) - 4;
      at(p, x, y) = rgb(r + d, g + d, b + d);
    }
  return p;
}

std::vector<std::uint32_t> planks(int r, int g, int b, int boards, std::uint32_t seed) {
  Noise noise{seed};
  std::vector<std::uint32_t> p = canvas();
  const int width = kSide / boards;
  for (int x = 0; x < kSide; ++x) {
    const int board = x / width, shade = (board * 37 + static_cast<int>(seed)) % 25 - 12;
    for (int y = 0; y < kSide; ++y) {
      const bool gap = x % width == 0;
      const int grain = static_cast<int>(8.0 * wave(x * 3, y, 1, 1, board)) + noise.next(7) - 3;
      const int d = gap ? -60 : shade + grain;
      at(p, x, y) = rgb(r + d, g + d, b + d);
    }
  }
  return p;
}

std::vector<std::uint32_t> panels(int r, int g, int b, std::uint32_t glow, std::uint32_t seed) {
  Noise noise{seed};
  std::vector<std::uint32_t> p = canvas();
  constexpr int kPanel = 32;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const int px = x % kPanel, py = y % kPanel;
      const bool seam = px == 0 || py == 0;
      const bool rivet = (px == 3 || px == kPanel - 3) && (py == 3 || py == kPanel - 3);
      const int d = noise.next(9) - 4 + (px + py) / 8;
      if (seam && glow != 0u)
        at(p, x, y) = glow;
      else if (seam || rivet)
        at(p, x, y) = rgb(r - 40, g - 40, b - 40);
      else
        at(p, x, y) = rgb(r + d, g + d, b + d);
    }
  return p;
}

std::vector<std::uint32_t> blotches(int r, int g, int b, int r2, int g2, int b2, std::uint32_t seed) {
  Noise noise{seed};
  std::vector<std::uint32_t> p = canvas();
  const double a = noise.next(628) / 100.0, c = noise.next(628) / 100.0;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const double v = 0.5 + 0.25 * wave(x, y, 2, 1, a) + 0.25 * wave(x, y, -1, 3, c);
      const double t = std::clamp(v, 0.0, 1.0);
      const int d = noise.next(11) - 5;
      at(p, x, y) = rgb(static_cast<int>(r + (r2 - r) * t) + d, static_cast<int>(g + (g2 - g) * t) + d,
                        static_cast<int>(b + (b2 - b) * t) + d);
    }
  return p;
}

std::vector<std::uint32_t> stripes(std::uint32_t a, std::uint32_t b, int width) {
  std::vector<std::uint32_t> p = canvas();
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) at(p, x, y) = ((x + y) / width) % 2 == 0 ? a : b;
  return p;
}

std::vector<std::uint32_t> arrows(std::uint32_t ground, std::uint32_t arrow) {
  std::vector<std::uint32_t> p = canvas();
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      // A chevron every 16 rows, 6 rows thick, its point toward row 0.
      const int v = (y + std::abs(x % 32 - 16)) % 16;
      at(p, x, y) = v < 6 ? arrow : ground;
    }
  return p;
}

}  // namespace track_textures
