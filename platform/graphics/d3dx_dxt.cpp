// DXT1/3/5 blocks: decoding for textures and the OpenGL fallback, and a
// bounding-box encoder for the conversions that pick a compressed format.
#include <algorithm>
#include <cstring>

#include "platform/graphics/d3d9_texture.h"
#include "platform/graphics/d3dx.h"
#include "platform/little_endian.h"

namespace {

struct Rgb {
  int r, g, b;
};

Rgb expand565(std::uint16_t c) {
  const int r5 = c >> 11 & 0x1F, g6 = c >> 5 & 0x3F, b5 = c & 0x1F;
  return {r5 << 3 | r5 >> 2, g6 << 2 | g6 >> 4, b5 << 3 | b5 >> 2};
}

std::uint16_t pack565(int r, int g, int b) {
  const int r5 = (r * 31 + 127) / 255, g6 = (g * 63 + 127) / 255, b5 = (b * 31 + 127) / 255;
  return static_cast<std::uint16_t>(r5 << 11 | g6 << 5 | b5);
}

std::uint32_t argb(int a, const Rgb& c) {
  return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(c.r) << 16 |
         static_cast<std::uint32_t>(c.g) << 8 | static_cast<std::uint32_t>(c.b);
}

// The 16 texels of a colour block; alpha 255 except DXT1's transparent code.
void decodeColourBlock(const std::uint8_t* block, bool allowThreeColour, std::uint32_t out[16]) {
  const std::uint16_t c0 = loadLe16(block), c1 = loadLe16(block + 2);
  const Rgb a = expand565(c0), b = expand565(c1);
  std::uint32_t palette[4];
  palette[0] = argb(255, a);
  palette[1] = argb(255, b);
  if (c0 > c1 || !allowThreeColour) {
    palette[2] = argb(255, {(2 * a.r + b.r + 1) / 3, (2 * a.g + b.g + 1) / 3, (2 * a.b + b.b + 1) / 3});
    palette[3] = argb(255, {(a.r + 2 * b.r + 1) / 3, (a.g + 2 * b.g + 1) / 3, (a.b + 2 * b.b + 1) / 3});
  } else {
    palette[2] = argb(255, {(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2});
    palette[3] = 0;  // transparent black
  }
  const std::uint32_t indices = loadLe32(block + 4);
  for (int k = 0; k < 16; ++k) out[k] = palette[indices >> (2 * k) & 3];
}

void decodeDxt5Alpha(const std::uint8_t* block, int out[16]) {
  const int a0 = block[0], a1 = block[1];
  int codes[8] = {a0, a1};
  if (a0 > a1) {
    for (int j = 1; j <= 6; ++j) codes[j + 1] = ((7 - j) * a0 + j * a1 + 3) / 7;
  } else {
    for (int j = 1; j <= 4; ++j) codes[j + 1] = ((5 - j) * a0 + j * a1 + 2) / 5;
    codes[6] = 0;
    codes[7] = 255;
  }
  const std::uint64_t bits = loadLe(block + 2, 6);
  for (int k = 0; k < 16; ++k) out[k] = codes[bits >> (3 * k) & 7];
}

int luminance(std::uint32_t c) { return static_cast<int>((c >> 16 & 0xFF) * 2 + (c >> 8 & 0xFF) * 4 + (c & 0xFF)); }

int distance2(const Rgb& a, const Rgb& b) {
  return (a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b);
}

// Colour block from 16 texels; `transparent[k]` marks DXT1 texels to drop.
void encodeColourBlock(const std::uint32_t texels[16], const bool transparent[16], bool dxt1, std::uint8_t* out) {
  // End points: the brightest and darkest opaque texels, a cheap stand-in
  // for the principal axis that keeps solid blocks exact.
  int lo = -1, hi = -1;
  bool anyTransparent = false;
  for (int k = 0; k < 16; ++k) {
    if (transparent[k]) {
      anyTransparent = true;
      continue;
    }
    if (lo < 0 || luminance(texels[k]) < luminance(texels[lo])) lo = k;
    if (hi < 0 || luminance(texels[k]) > luminance(texels[hi])) hi = k;
  }
  std::uint16_t c0 = 0, c1 = 0;
  if (lo >= 0) {
    c0 = pack565(texels[hi] >> 16 & 0xFF, texels[hi] >> 8 & 0xFF, texels[hi] & 0xFF);
    c1 = pack565(texels[lo] >> 16 & 0xFF, texels[lo] >> 8 & 0xFF, texels[lo] & 0xFF);
  }
  const bool threeColour = dxt1 && anyTransparent;
  // Four-colour mode needs c0 > c1, three-colour mode c0 <= c1.
  if (threeColour ? c0 > c1 : c0 < c1) std::swap(c0, c1);
  std::uint32_t indices = 0;
  if (!(c0 == c1 && !threeColour)) {
    const Rgb a = expand565(c0), b = expand565(c1);
    Rgb palette[4] = {a, b};
    int paletteSize = 4;
    if (threeColour) {
      palette[2] = {(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2};
      paletteSize = 3;
    } else {
      palette[2] = {(2 * a.r + b.r + 1) / 3, (2 * a.g + b.g + 1) / 3, (2 * a.b + b.b + 1) / 3};
      palette[3] = {(a.r + 2 * b.r + 1) / 3, (a.g + 2 * b.g + 1) / 3, (a.b + 2 * b.b + 1) / 3};
    }
    for (int k = 0; k < 16; ++k) {
      std::uint32_t best = 3;
      if (!transparent[k]) {
        const Rgb t{static_cast<int>(texels[k] >> 16 & 0xFF), static_cast<int>(texels[k] >> 8 & 0xFF),
                    static_cast<int>(texels[k] & 0xFF)};
        int bestDistance = -1;
        for (int i = 0; i < paletteSize; ++i) {
          const int d = distance2(t, palette[i]);
          if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<std::uint32_t>(i);
          }
        }
      }
      indices |= best << (2 * k);
    }
  }
  storeLe16(out, c0);
  storeLe16(out + 2, c1);
  storeLe32(out + 4, indices);
}

void encodeDxt5Alpha(const int alpha[16], std::uint8_t* out) {
  const int a0 = *std::max_element(alpha, alpha + 16), a1 = *std::min_element(alpha, alpha + 16);
  out[0] = static_cast<std::uint8_t>(a0);
  out[1] = static_cast<std::uint8_t>(a1);
  std::uint64_t bits = 0;
  if (a0 != a1) {
    int codes[8] = {a0, a1};
    for (int j = 1; j <= 6; ++j) codes[j + 1] = ((7 - j) * a0 + j * a1 + 3) / 7;
    for (int k = 0; k < 16; ++k) {
      int best = 0;
      for (int i = 1; i < 8; ++i)
        if (std::abs(codes[i] - alpha[k]) < std::abs(codes[best] - alpha[k])) best = i;
      bits |= static_cast<std::uint64_t>(best) << (3 * k);
    }
  }
  storeLe(out + 2, bits, 6);
}

}  // namespace

bool decodeDxt(D3DFORMAT format, const std::uint8_t* blocks, std::size_t size, UINT width, UINT height,
               std::uint32_t* out) {
  TextureLayout layout;
  if (!isCompressedFormat(format) || !textureLayout(format, &layout)) return false;
  if (size < levelBytes(layout, width, height)) return false;
  const UINT blocksWide = std::max((width + 3) / 4, 1u), blocksHigh = std::max((height + 3) / 4, 1u);
  for (UINT by = 0; by < blocksHigh; ++by) {
    for (UINT bx = 0; bx < blocksWide; ++bx) {
      const std::uint8_t* block = blocks + (std::size_t{by} * blocksWide + bx) * layout.blockBytes;
      std::uint32_t texels[16];
      if (format == D3DFMT_DXT1) {
        decodeColourBlock(block, true, texels);
      } else {
        decodeColourBlock(block + 8, false, texels);
        int alpha[16];
        if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
          for (int k = 0; k < 16; ++k) alpha[k] = (block[k / 2] >> (4 * (k & 1)) & 0xF) * 17;
        } else {
          decodeDxt5Alpha(block, alpha);
        }
        for (int k = 0; k < 16; ++k) texels[k] = (texels[k] & 0x00FFFFFFu) | static_cast<std::uint32_t>(alpha[k]) << 24;
      }
      for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 4; ++x) {
          const UINT px = bx * 4 + x, py = by * 4 + y;
          if (px < width && py < height) out[std::size_t{py} * width + px] = texels[4 * y + x];
        }
      }
    }
  }
  return true;
}

bool encodeDxt(D3DFORMAT format, const std::uint32_t* argbIn, UINT width, UINT height, std::uint8_t* out) {
  if (format != D3DFMT_DXT1 && format != D3DFMT_DXT3 && format != D3DFMT_DXT5) return false;
  const UINT blocksWide = std::max((width + 3) / 4, 1u), blocksHigh = std::max((height + 3) / 4, 1u);
  const std::size_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
  for (UINT by = 0; by < blocksHigh; ++by) {
    for (UINT bx = 0; bx < blocksWide; ++bx) {
      std::uint32_t texels[16];
      bool transparent[16];
      int alpha[16];
      for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 4; ++x) {
          // Texels past the edge repeat the last row or column.
          const UINT px = std::min(bx * 4 + x, width - 1), py = std::min(by * 4 + y, height - 1);
          const std::uint32_t t = argbIn[std::size_t{py} * width + px];
          texels[4 * y + x] = t;
          alpha[4 * y + x] = static_cast<int>(t >> 24);
          transparent[4 * y + x] = format == D3DFMT_DXT1 && (t >> 24) < 128;
        }
      }
      std::uint8_t* block = out + (std::size_t{by} * blocksWide + bx) * blockBytes;
      if (format == D3DFMT_DXT1) {
        encodeColourBlock(texels, transparent, true, block);
        continue;
      }
      const bool none[16] = {};
      if (format == D3DFMT_DXT3) {
        std::memset(block, 0, 8);
        for (int k = 0; k < 16; ++k) block[k / 2] |= static_cast<std::uint8_t>(((alpha[k] + 8) / 17) << (4 * (k & 1)));
      } else {
        encodeDxt5Alpha(alpha, block);
      }
      encodeColourBlock(texels, none, false, block + 8);
    }
  }
  return true;
}
