// The D3DX stand-in converts, resamples and filters a few rows at a time:
// the results equal those of whole levels held as texels, at every strip
// boundary and format, and making a texture from a ".dds" without mip
// levels costs at most 8 bytes per texel beyond the texture itself.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "content/hostile_media.h"
#include "platform/graphics/d3d9_recording.h"
#include "platform/graphics/d3d9_texture.h"
#include "platform/graphics/d3dx.h"
#include "tests/foundation/memory_bound.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A level as the whole-level reference sees it.
struct Level {
  UINT width = 0, height = 0;
  std::vector<Texel> texels;
};

Level unpackWhole(D3DFORMAT format, const Bytes& bytes, UINT width, UINT height) {
  TextureLayout layout;
  textureLayout(format, &layout);
  Level level{width, height, std::vector<Texel>(std::size_t{width} * height)};
  EXPECT_TRUE(unpackTexels(format, bytes.data(), levelPitch(layout, width), width, height, level.texels.data()));
  return level;
}

Bytes packWhole(D3DFORMAT format, const Level& level) {
  TextureLayout layout;
  textureLayout(format, &layout);
  Bytes bytes(levelBytes(layout, level.width, level.height));
  EXPECT_TRUE(packTexels(format, level.texels.data(), level.width, level.height, bytes.data(),
                         levelPitch(layout, level.width)));
  return bytes;
}

// The 2x2 box of the filter, over a whole level.
Level boxWhole(const Level& in) {
  Level out{std::max(1u, in.width / 2), std::max(1u, in.height / 2), {}};
  for (UINT y = 0; y < out.height; ++y)
    for (UINT x = 0; x < out.width; ++x) {
      const UINT x0 = std::min(2 * x, in.width - 1), x1 = std::min(2 * x + 1, in.width - 1);
      const UINT y0 = std::min(2 * y, in.height - 1), y1 = std::min(2 * y + 1, in.height - 1);
      const Texel* s[4] = {&in.texels[y0 * in.width + x0], &in.texels[y0 * in.width + x1],
                           &in.texels[y1 * in.width + x0], &in.texels[y1 * in.width + x1]};
      out.texels.push_back({(s[0]->r + s[1]->r + s[2]->r + s[3]->r) / 4, (s[0]->g + s[1]->g + s[2]->g + s[3]->g) / 4,
                            (s[0]->b + s[1]->b + s[2]->b + s[3]->b) / 4, (s[0]->a + s[1]->a + s[2]->a + s[3]->a) / 4});
    }
  return out;
}

// Area-weighted resampling of a rectangle, over whole levels.
Level resampleWhole(const Level& in, RECT r, UINT dw, UINT dh) {
  const UINT sw = static_cast<UINT>(r.right - r.left), sh = static_cast<UINT>(r.bottom - r.top);
  const double fx = static_cast<double>(sw) / dw, fy = static_cast<double>(sh) / dh;
  Level out{dw, dh, {}};
  for (UINT y = 0; y < dh; ++y)
    for (UINT x = 0; x < dw; ++x) {
      double sum[4] = {}, total = 0;
      for (UINT sy = static_cast<UINT>(y * fy); sy < sh && sy < (y + 1) * fy; ++sy)
        for (UINT sx = static_cast<UINT>(x * fx); sx < sw && sx < (x + 1) * fx; ++sx) {
          const double w = (std::min<double>(sy + 1, (y + 1) * fy) - std::max<double>(sy, y * fy)) *
                           (std::min<double>(sx + 1, (x + 1) * fx) - std::max<double>(sx, x * fx));
          if (w <= 0) continue;
          const Texel& t = in.texels[(sy + r.top) * in.width + sx + r.left];
          sum[0] += w * t.r, sum[1] += w * t.g, sum[2] += w * t.b, sum[3] += w * t.a;
          total += w;
        }
      out.texels.push_back({static_cast<float>(sum[0] / total), static_cast<float>(sum[1] / total),
                            static_cast<float>(sum[2] / total), static_cast<float>(sum[3] / total)});
    }
  return out;
}

Bytes noise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

class D3dxRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d = ComPtr<IDirect3D9>(new RecordingDirect3D9({FakeAdapter{}}, nullptr));
    D3DPRESENT_PARAMETERS p{};
    p.Windowed = 1;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x44, &p, device.put()), D3D_OK);
  }
  ComPtr<IDirect3DTexture9> texture(UINT w, UINT h, UINT levels, D3DFORMAT format) {
    ComPtr<IDirect3DTexture9> t;
    EXPECT_EQ(device->CreateTexture(w, h, levels, 0, format, D3DPOOL_SCRATCH, t.put(), nullptr), D3D_OK);
    return t;
  }
  static Bytes levelBytesOf(IDirect3DTexture9* t, UINT level) {
    D3DSURFACE_DESC d{};
    t->GetLevelDesc(level, &d);
    TextureLayout layout;
    textureLayout(d.Format, &layout);
    D3DLOCKED_RECT r{};
    EXPECT_EQ(t->LockRect(level, &r, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* bits = static_cast<const std::uint8_t*>(r.pBits);
    Bytes bytes(bits, bits + levelBytes(layout, d.Width, d.Height));
    t->UnlockRect(level);
    return bytes;
  }
  static void fill(IDirect3DTexture9* t, UINT level, const Bytes& bytes) {
    D3DLOCKED_RECT r{};
    ASSERT_EQ(t->LockRect(level, &r, nullptr, 0), D3D_OK);
    std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(r.pBits));
    t->UnlockRect(level);
  }

  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;
};

}  // namespace

// Heights around the four-row strips (and the DXT blocks), odd sizes, one
// texel thin: every level equals the whole-level box of the level above.
TEST_F(D3dxRowsTest, FilteredLevelsEqualTheWholeLevelBox) {
  const struct {
    D3DFORMAT format;
    UINT width, height;
  } cases[] = {{D3DFMT_R5G6B5, 6, 10}, {D3DFMT_A4R4G4B4, 12, 3}, {D3DFMT_L8, 1, 13},
               {D3DFMT_DXT1, 20, 12},  {D3DFMT_DXT5, 8, 9},      {D3DFMT_A8R8G8B8, 7, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format << " " << c.width << " x " << c.height);
    auto t = texture(c.width, c.height, 0, c.format);
    TextureLayout layout;
    textureLayout(c.format, &layout);
    fill(t.get(), 0, noise(levelBytes(layout, c.width, c.height), c.width * 31 + c.height));
    ASSERT_EQ(D3DXFilterTexture(t.get(), nullptr, 0, D3DX_DEFAULT), D3D_OK);
    if (c.format == D3DFMT_A8R8G8B8) continue;  // the integer path: pinned in d3dx_test.cpp
    for (UINT level = 1; level < t->GetLevelCount(); ++level) {
      const UINT w = std::max(1u, c.width >> (level - 1)), h = std::max(1u, c.height >> (level - 1));
      const Level above = unpackWhole(c.format, levelBytesOf(t.get(), level - 1), w, h);
      EXPECT_EQ(levelBytesOf(t.get(), level), packWhole(c.format, boxWhole(above))) << "level " << level;
    }
  }
}

// A rectangle that starts inside a row of blocks, resampled down and across
// formats, equals the whole-level result; so does a point-filtered copy.
TEST_F(D3dxRowsTest, SurfaceLoadsEqualTheWholeLevelResample) {
  const struct {
    D3DFORMAT from, to;
    RECT rect;
    UINT width, height;
  } cases[] = {{D3DFMT_DXT1, D3DFMT_R5G6B5, {3, 2, 15, 13}, 5, 4},
               {D3DFMT_A8R8G8B8, D3DFMT_DXT5, {0, 0, 16, 12}, 12, 8},
               {D3DFMT_X1R5G5B5, D3DFMT_A8R8G8B8, {1, 5, 9, 6}, 3, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " to " << c.to);
    auto source = texture(16, 16, 1, c.from);
    TextureLayout layout;
    textureLayout(c.from, &layout);
    const Bytes bytes = noise(levelBytes(layout, 16, 16), c.to);
    fill(source.get(), 0, bytes);
    auto destination = texture(c.width, c.height, 1, c.to);
    ComPtr<IDirect3DSurface9> from, to;
    source->GetSurfaceLevel(0, from.put());
    destination->GetSurfaceLevel(0, to.put());
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(to.get(), nullptr, nullptr, from.get(), nullptr, &c.rect, D3DX_DEFAULT, 0),
              D3D_OK);
    const Level whole = unpackWhole(c.from, bytes, 16, 16);
    EXPECT_EQ(levelBytesOf(destination.get(), 0), packWhole(c.to, resampleWhole(whole, c.rect, c.width, c.height)));
  }
  // A level loaded onto itself reads a copy: unchanged by a same-size load.
  auto t = texture(8, 8, 1, D3DFMT_R5G6B5);
  const Bytes bytes = noise(128, 5);
  fill(t.get(), 0, bytes);
  ComPtr<IDirect3DSurface9> a, b;
  t->GetSurfaceLevel(0, a.put());
  t->GetSurfaceLevel(0, b.put());
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(b.get(), nullptr, nullptr, a.get(), nullptr, nullptr, D3DX_FILTER_POINT, 0),
            D3D_OK);
  EXPECT_EQ(levelBytesOf(t.get(), 0), bytes);
}

// A 4096 x 4096 DXT1 file without mip levels makes its full chain, kept in
// DXT1 or converted to A8R8G8B8, within 8 bytes per texel of level 0 beyond
// the texture; a 16384 x 16384 one is refused before anything is allocated.
TEST_F(D3dxRowsTest, DdsWithoutMipsBuildsItsChainWithinEightBytesPerTexel) {
  const Bytes file = ddsWithoutMips(4096, D3DFMT_DXT1);
  ASSERT_EQ(file.size(), 128u + 8u * 1024 * 1024);
  for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_A8R8G8B8}) {
    SCOPED_TRACE(testing::Message() << format);
    TextureLayout layout;
    textureLayout(format, &layout);
    long long textureBytes = 0;
    for (UINT side = 4096; side >= 1; side /= 2) textureBytes += static_cast<long long>(levelBytes(layout, side, side));
    const MemoryUse use = measureMemory([&] {
      ComPtr<IDirect3DTexture9> t;
      const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(device.get(), file.data(), static_cast<UINT>(file.size()),
                                                             D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, format, D3DPOOL_MANAGED,
                                                             D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, t.put());
      return SUCCEEDED(hr) && t->GetLevelCount() == 13 ? 0 : 1;
    });
    EXPECT_EQ(use.result, 0);
    EXPECT_GE(use.peakGrowth, 0);
    EXPECT_LE(use.peakGrowth, textureBytes + 8LL * 4096 * 4096)
        << "beyond the texture: " << (use.peakGrowth - textureBytes) / (4096.0 * 4096) << " bytes per texel";
  }

  const Bytes huge = ddsWithoutMips(16384, D3DFMT_DXT1);
  const MemoryUse refused = measureMemory([&] {
    ComPtr<IDirect3DTexture9> t;
    D3DXIMAGE_INFO info{};
    if (D3DXGetImageInfoFromFileInMemory(huge.data(), static_cast<UINT>(huge.size()), &info) != D3DXERR_INVALIDDATA)
      return 1;
    return D3DXCreateTextureFromFileInMemoryEx(device.get(), huge.data(), static_cast<UINT>(huge.size()), D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, nullptr, nullptr, t.put()) == D3DXERR_INVALIDDATA
               ? 0
               : 2;
  });
  EXPECT_EQ(refused.result, 0);
  EXPECT_LE(refused.peakGrowth, 4LL << 20) << "nothing the size of the texture";

  // Sizes the device cannot take are refused, not made.
  D3DCAPS9 caps{};
  device->GetDeviceCaps(&caps);
  ComPtr<IDirect3DTexture9> t;
  EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device.get(), file.data(), static_cast<UINT>(file.size()),
                                                caps.MaxTextureWidth * 2, 64, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, t.put()),
            D3DERR_INVALIDCALL);
}
