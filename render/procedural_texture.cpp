// Lens-flare elements and the spot-light cone.
#include "render/procedural_texture.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSize = 512;
const char* const kFlareNames[] = {"(flare)", "(flare BRIGHTCTR)", "(flare EVENCTR)", "(flare DIMCTR)", "(flare RING)"};

double latticeValue(std::int32_t k) {
  // All in wrapping 32-bit arithmetic.
  std::uint32_t n = static_cast<std::uint32_t>(k) * 71u;
  n ^= n << 13;
  const std::uint32_t m = (n * (n * n * 15731u + 789221u) - 771171059u) & 0x7FFFFFFFu;
  return 1.0 - static_cast<double>(m) / 1073741824.0;
}

std::uint32_t grey(int g) {
  const auto v = static_cast<std::uint32_t>(std::clamp(g, 0, 255));
  return 0xFF000000u | v * 0x10101u;
}

}  // namespace

double flareNoise(double x) {
  const double f = std::floor(x);
  const auto i = static_cast<std::int32_t>(f);
  const double a = latticeValue(i), b = latticeValue(static_cast<std::int32_t>(static_cast<std::uint32_t>(i) + 1u));
  return a + (x - i) * (b - a);
}

std::uint32_t flareTexel(int flareKind, int x, int y, int w, int h) {
  const double dx = x - w / 2 - 0.5, dy = y - h / 2 - 0.5;
  const double d = std::hypot(dx, dy);
  switch (flareKind) {
    case kFlareNoise: {
      const double theta = std::atan2(dx, dy) + 3.9269908169872414;
      const double r = 2.0 * std::trunc(d);
      const double f = std::fmod(flareNoise(10.0 * theta) + theta * 5.092958178940651 + 1.0, 1.0);
      const double v = 255.0 * (1.0 - std::fabs((f - 0.5) * 3.3) * 0.1 / (1.0 + 0.1 * r));
      const int clamped = std::clamp(static_cast<int>(v), 0, 255);
      return grey(255 - clamped);
    }
    case kFlareBrightCentre: {
      const double l = std::log(dx * dx + dy * dy);
      if (l < 0) return grey(255);
      return grey(static_cast<int>(std::clamp(255.0 * (5.86 / l - 0.53), 0.0, 255.0)));
    }
    case kFlareEvenCentre:
      return grey(static_cast<int>(std::max(255.0 - std::pow(d, 6) * 9.094947017729282e-13, 0.0)));
    case kFlareDimCentre:
      return grey(static_cast<int>(std::max(255.0 - 16.0 * std::sqrt(d), 0.0)));
    case kFlareRing: {
      const double c = w * 0.084375, s = std::fabs((d - c) / (c * 0.07));
      if (s < 1.0) return grey(static_cast<int>((1.0 - s) * 255.0));
      return 0xFF000000u;
    }
    default:
      return 0;
  }
}

std::uint32_t spotTexel(int x, int y, int w, int h, float intensity, float edgeAngle, float coneAngle) {
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
  const double u = (x - cx) / cx, v = (y - cy) / cy;
  const double r = std::sqrt(u * u + v * v) * std::tan(coneAngle);
  const double t = coneAngle - std::atan(r);
  double value = 0.0;
  if (t <= 0)
    value = 0.0;
  else if (t >= edgeAngle)
    value = 8.0 * intensity;
  else
    value = t / edgeAngle * 8.0 * intensity;
  const auto f = static_cast<float>(value);
  const std::uint32_t texel = ColorRGBA{f, f, f, 1.0f}.toD3DColor();
  return (texel & 0x00FFFFFFu) == 0 ? 0u : texel;
}

void ProceduralTexture::makeFlare(int flareKind) {
  createPixelStore(kTextureMipChain | kTextureKeepColour, std::string(), kSize, kSize);
  if (deviceTextures.empty() || !deviceTextures[0]) return;
  D3DLOCKED_RECT locked{};
  if (SUCCEEDED(deviceTextures[0]->LockRect(0, &locked, nullptr, 0))) {
    if (flareKind >= kFlareNoise && flareKind <= kFlareRing) {
      for (int y = 0; y < kSize; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < kSize; ++x) row[x] = flareTexel(flareKind, x, y, kSize, kSize);
      }
      name = kFlareNames[flareKind];
    }
    deviceTextures[0]->UnlockRect(0);
  }
  upload();
}

void ProceduralTexture::makeSpot(float intensity, float edgeAngle, float coneAngle) {
  createPixelStore(kTextureMipChain | kTextureKeepColour, "(Spot)", kSize, kSize);
  if (deviceTextures.empty() || !deviceTextures[0]) return;
  D3DLOCKED_RECT locked{};
  if (SUCCEEDED(deviceTextures[0]->LockRect(0, &locked, nullptr, 0))) {
    for (int y = 0; y < kSize; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
      for (int x = 0; x < kSize; ++x) row[x] = spotTexel(x, y, kSize, kSize, intensity, edgeAngle, coneAngle);
    }
    deviceTextures[0]->UnlockRect(0);
  }
  upload();
}
