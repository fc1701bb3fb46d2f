// Texels of every texture format as four floats, both ways.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/graphics/d3d9_texture.h"
#include "platform/graphics/d3dx.h"
#include "platform/little_endian.h"

namespace {

float field(std::uint32_t word, int shift, int bits) {
  const std::uint32_t max = (1u << bits) - 1;
  return static_cast<float>(word >> shift & max) / static_cast<float>(max);
}

std::uint32_t quantise(float v, int bits) {
  const std::uint32_t max = (1u << bits) - 1;
  if (!(v > 0.0f)) return 0;  // NaN too: clamping would let it reach the cast
  const float c = std::min(v, 1.0f);
  return static_cast<std::uint32_t>(c * static_cast<float>(max) + 0.5f);
}

float halfToFloat(std::uint16_t h) {
  const int sign = h >> 15, exponent = h >> 10 & 0x1F, mantissa = h & 0x3FF;
  float v;
  if (exponent == 0)
    v = std::ldexp(static_cast<float>(mantissa), -24);
  else if (exponent == 31)
    v = mantissa ? NAN : INFINITY;
  else
    v = std::ldexp(static_cast<float>(mantissa | 0x400), exponent - 25);
  return sign ? -v : v;
}

std::uint16_t floatToHalf(float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, 4);
  const std::uint16_t sign = static_cast<std::uint16_t>(bits >> 16 & 0x8000);
  const float a = std::fabs(f);
  if (std::isnan(f)) return 0x7E00;
  if (a >= 65520.0f) return sign | 0x7C00;
  if (a < 6.103515625e-05f) return sign | static_cast<std::uint16_t>(std::lround(a * 16777216.0f));
  int e = 0;
  const float m = std::frexp(a, &e);  // a = m * 2^e, m in [0.5, 1)
  std::uint32_t mant = static_cast<std::uint32_t>(std::lround((m * 2.0f - 1.0f) * 1024.0f));
  int exponent = e - 1 + 15;
  if (mant == 1024) {
    mant = 0;
    ++exponent;
  }
  if (exponent >= 31) return sign | 0x7C00;
  return sign | static_cast<std::uint16_t>(exponent << 10 | mant);
}

float readFloat(const std::uint8_t* p) {
  const std::uint32_t v = loadLe32(p);
  float f;
  std::memcpy(&f, &v, 4);
  return f;
}

void writeFloat(std::uint8_t* p, float f) {
  std::uint32_t v;
  std::memcpy(&v, &f, 4);
  storeLe32(p, v);
}

Texel unpackOne(D3DFORMAT format, const std::uint8_t* p) {
  Texel t;
  std::uint32_t w;
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      w = loadLe32(p);
      t = {field(w, 16, 8), field(w, 8, 8), field(w, 0, 8), format == D3DFMT_X8R8G8B8 ? 1.0f : field(w, 24, 8)};
      break;
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
      w = loadLe32(p);
      t = {field(w, 0, 8), field(w, 8, 8), field(w, 16, 8), format == D3DFMT_X8B8G8R8 ? 1.0f : field(w, 24, 8)};
      break;
    case D3DFMT_R8G8B8:
      t = {p[2] / 255.0f, p[1] / 255.0f, p[0] / 255.0f, 1.0f};
      break;
    case D3DFMT_R5G6B5:
      w = loadLe16(p);
      t = {field(w, 11, 5), field(w, 5, 6), field(w, 0, 5), 1.0f};
      break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      w = loadLe16(p);
      t = {field(w, 10, 5), field(w, 5, 5), field(w, 0, 5), format == D3DFMT_X1R5G5B5 ? 1.0f : field(w, 15, 1)};
      break;
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
      w = loadLe16(p);
      t = {field(w, 8, 4), field(w, 4, 4), field(w, 0, 4), format == D3DFMT_X4R4G4B4 ? 1.0f : field(w, 12, 4)};
      break;
    case D3DFMT_A8:
      t = {0.0f, 0.0f, 0.0f, p[0] / 255.0f};
      break;
    case D3DFMT_L8:
      t = {p[0] / 255.0f, p[0] / 255.0f, p[0] / 255.0f, 1.0f};
      break;
    case D3DFMT_A8L8:
      t = {p[0] / 255.0f, p[0] / 255.0f, p[0] / 255.0f, p[1] / 255.0f};
      break;
    case D3DFMT_L16: {
      const float l = field(loadLe16(p), 0, 16);
      t = {l, l, l, 1.0f};
      break;
    }
    case D3DFMT_A2B10G10R10:
      w = loadLe32(p);
      t = {field(w, 0, 10), field(w, 10, 10), field(w, 20, 10), field(w, 30, 2)};
      break;
    case D3DFMT_A2R10G10B10:
      w = loadLe32(p);
      t = {field(w, 20, 10), field(w, 10, 10), field(w, 0, 10), field(w, 30, 2)};
      break;
    case D3DFMT_G16R16:
      w = loadLe32(p);
      t = {field(w, 0, 16), field(w, 16, 16), 1.0f, 1.0f};
      break;
    case D3DFMT_A16B16G16R16:
      t = {field(loadLe16(p), 0, 16), field(loadLe16(p + 2), 0, 16), field(loadLe16(p + 4), 0, 16),
           field(loadLe16(p + 6), 0, 16)};
      break;
    case D3DFMT_R16F:
      t = {halfToFloat(loadLe16(p)), 1.0f, 1.0f, 1.0f};
      break;
    case D3DFMT_G16R16F:
      t = {halfToFloat(loadLe16(p)), halfToFloat(loadLe16(p + 2)), 1.0f, 1.0f};
      break;
    case D3DFMT_A16B16G16R16F:
      t = {halfToFloat(loadLe16(p)), halfToFloat(loadLe16(p + 2)), halfToFloat(loadLe16(p + 4)),
           halfToFloat(loadLe16(p + 6))};
      break;
    case D3DFMT_R32F:
      t = {readFloat(p), 1.0f, 1.0f, 1.0f};
      break;
    case D3DFMT_G32R32F:
      t = {readFloat(p), readFloat(p + 4), 1.0f, 1.0f};
      break;
    case D3DFMT_A32B32G32R32F:
      t = {readFloat(p), readFloat(p + 4), readFloat(p + 8), readFloat(p + 12)};
      break;
    default:
      break;
  }
  return t;
}

void packOne(D3DFORMAT format, const Texel& t, std::uint8_t* p) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: {
      const std::uint32_t a = format == D3DFMT_X8R8G8B8 ? 255 : quantise(t.a, 8);
      storeLe32(p, a << 24 | quantise(t.r, 8) << 16 | quantise(t.g, 8) << 8 | quantise(t.b, 8));
      break;
    }
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8: {
      const std::uint32_t a = format == D3DFMT_X8B8G8R8 ? 255 : quantise(t.a, 8);
      storeLe32(p, a << 24 | quantise(t.b, 8) << 16 | quantise(t.g, 8) << 8 | quantise(t.r, 8));
      break;
    }
    case D3DFMT_R8G8B8:
      p[0] = static_cast<std::uint8_t>(quantise(t.b, 8));
      p[1] = static_cast<std::uint8_t>(quantise(t.g, 8));
      p[2] = static_cast<std::uint8_t>(quantise(t.r, 8));
      break;
    case D3DFMT_R5G6B5:
      storeLe(p, quantise(t.r, 5) << 11 | quantise(t.g, 6) << 5 | quantise(t.b, 5), 2);
      break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: {
      const std::uint32_t a = format == D3DFMT_X1R5G5B5 ? 1 : quantise(t.a, 1);
      storeLe(p, a << 15 | quantise(t.r, 5) << 10 | quantise(t.g, 5) << 5 | quantise(t.b, 5), 2);
      break;
    }
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4: {
      const std::uint32_t a = format == D3DFMT_X4R4G4B4 ? 15 : quantise(t.a, 4);
      storeLe(p, a << 12 | quantise(t.r, 4) << 8 | quantise(t.g, 4) << 4 | quantise(t.b, 4), 2);
      break;
    }
    case D3DFMT_A8:
      p[0] = static_cast<std::uint8_t>(quantise(t.a, 8));
      break;
    case D3DFMT_L8:
    case D3DFMT_A8L8:
    case D3DFMT_L16: {
      // Luminance as the eye weighs it.
      const float l = 0.2126f * t.r + 0.7152f * t.g + 0.0722f * t.b;
      if (format == D3DFMT_L16) {
        storeLe(p, quantise(l, 16), 2);
      } else {
        p[0] = static_cast<std::uint8_t>(quantise(l, 8));
        if (format == D3DFMT_A8L8) p[1] = static_cast<std::uint8_t>(quantise(t.a, 8));
      }
      break;
    }
    case D3DFMT_A2B10G10R10:
      storeLe32(p, quantise(t.a, 2) << 30 | quantise(t.b, 10) << 20 | quantise(t.g, 10) << 10 | quantise(t.r, 10));
      break;
    case D3DFMT_A2R10G10B10:
      storeLe32(p, quantise(t.a, 2) << 30 | quantise(t.r, 10) << 20 | quantise(t.g, 10) << 10 | quantise(t.b, 10));
      break;
    case D3DFMT_G16R16:
      storeLe32(p, quantise(t.g, 16) << 16 | quantise(t.r, 16));
      break;
    case D3DFMT_A16B16G16R16:
      storeLe(p, quantise(t.r, 16), 2);
      storeLe(p + 2, quantise(t.g, 16), 2);
      storeLe(p + 4, quantise(t.b, 16), 2);
      storeLe(p + 6, quantise(t.a, 16), 2);
      break;
    case D3DFMT_R16F:
      storeLe(p, floatToHalf(t.r), 2);
      break;
    case D3DFMT_G16R16F:
      storeLe(p, floatToHalf(t.r), 2);
      storeLe(p + 2, floatToHalf(t.g), 2);
      break;
    case D3DFMT_A16B16G16R16F:
      storeLe(p, floatToHalf(t.r), 2);
      storeLe(p + 2, floatToHalf(t.g), 2);
      storeLe(p + 4, floatToHalf(t.b), 2);
      storeLe(p + 6, floatToHalf(t.a), 2);
      break;
    case D3DFMT_R32F:
      writeFloat(p, t.r);
      break;
    case D3DFMT_G32R32F:
      writeFloat(p, t.r);
      writeFloat(p + 4, t.g);
      break;
    case D3DFMT_A32B32G32R32F:
      writeFloat(p, t.r);
      writeFloat(p + 4, t.g);
      writeFloat(p + 8, t.b);
      writeFloat(p + 12, t.a);
      break;
    default:
      break;
  }
}

std::uint32_t toArgb(const Texel& t) {
  return quantise(t.a, 8) << 24 | quantise(t.r, 8) << 16 | quantise(t.g, 8) << 8 | quantise(t.b, 8);
}

Texel fromArgb(std::uint32_t c) { return {field(c, 16, 8), field(c, 8, 8), field(c, 0, 8), field(c, 24, 8)}; }

}  // namespace

bool unpackTexels(D3DFORMAT format, const std::uint8_t* bits, std::size_t pitch, UINT width, UINT height, Texel* out) {
  TextureLayout layout;
  if (!textureLayout(format, &layout)) return false;
  if (isCompressedFormat(format)) {
    // Compressed levels are whole and packed; `pitch` is one block row.
    const std::size_t rows = std::max((height + 3) / 4, 1u);
    std::vector<std::uint32_t> argb(std::size_t{width} * height);
    if (!decodeDxt(format, bits, pitch * rows, width, height, argb.data())) return false;
    for (std::size_t i = 0; i < argb.size(); ++i) out[i] = fromArgb(argb[i]);
    return true;
  }
  for (UINT y = 0; y < height; ++y)
    for (UINT x = 0; x < width; ++x)
      out[std::size_t{y} * width + x] = unpackOne(format, bits + y * pitch + std::size_t{x} * layout.blockBytes);
  return true;
}

bool packTexels(D3DFORMAT format, const Texel* in, UINT width, UINT height, std::uint8_t* bits, std::size_t pitch) {
  TextureLayout layout;
  if (!textureLayout(format, &layout)) return false;
  if (isCompressedFormat(format)) {
    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT4) return false;  // premultiplied: not written
    std::vector<std::uint32_t> argb(std::size_t{width} * height);
    for (std::size_t i = 0; i < argb.size(); ++i) argb[i] = toArgb(in[i]);
    return encodeDxt(format, argb.data(), width, height, bits);
  }
  for (UINT y = 0; y < height; ++y)
    for (UINT x = 0; x < width; ++x)
      packOne(format, in[std::size_t{y} * width + x], bits + y * pitch + std::size_t{x} * layout.blockBytes);
  return true;
}
