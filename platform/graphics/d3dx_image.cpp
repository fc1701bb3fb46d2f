// Format conversion with resampling, box-filtered mip levels and texture
// creation from ".dds" bytes.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/graphics/d3d9_texture.h"
#include "platform/graphics/d3dx.h"

namespace {

bool pointFilter(DWORD filter) {
  const DWORD kind = filter == D3DX_DEFAULT ? D3DX_FILTER_TRIANGLE : (filter & 0xFF);
  return kind == D3DX_FILTER_NONE || kind == D3DX_FILTER_POINT;
}

// Area-weighted resampling (exact averages for whole shrink factors); the
// point filter takes the nearest texel.
std::vector<Texel> resample(const std::vector<Texel>& src, UINT sw, UINT sh, UINT dw, UINT dh, DWORD filter) {
  if (sw == dw && sh == dh) return src;
  std::vector<Texel> dst(std::size_t{dw} * dh);
  const double fx = static_cast<double>(sw) / dw, fy = static_cast<double>(sh) / dh;
  for (UINT y = 0; y < dh; ++y) {
    for (UINT x = 0; x < dw; ++x) {
      Texel& out = dst[std::size_t{y} * dw + x];
      if (pointFilter(filter)) {
        const UINT sx = std::min(static_cast<UINT>((x + 0.5) * fx), sw - 1);
        const UINT sy = std::min(static_cast<UINT>((y + 0.5) * fy), sh - 1);
        out = src[std::size_t{sy} * sw + sx];
        continue;
      }
      const double x0 = x * fx, x1 = (x + 1) * fx, y0 = y * fy, y1 = (y + 1) * fy;
      double r = 0, g = 0, b = 0, a = 0, total = 0;
      for (UINT sy = static_cast<UINT>(y0); sy < sh && sy < y1; ++sy) {
        const double wy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
        for (UINT sx = static_cast<UINT>(x0); sx < sw && sx < x1; ++sx) {
          const double w = wy * (std::min<double>(sx + 1, x1) - std::max<double>(sx, x0));
          if (w <= 0) continue;
          const Texel& t = src[std::size_t{sy} * sw + sx];
          r += w * t.r;
          g += w * t.g;
          b += w * t.b;
          a += w * t.a;
          total += w;
        }
      }
      if (total > 0)
        out = {static_cast<float>(r / total), static_cast<float>(g / total), static_cast<float>(b / total),
               static_cast<float>(a / total)};
    }
  }
  return dst;
}

void applyColourKey(std::vector<Texel>& texels, D3DCOLOR key) {
  if (key == 0) return;
  auto byte = [](float v) { return v > 0.0f ? static_cast<std::uint32_t>(std::min(v, 1.0f) * 255.0f + 0.5f) : 0u; };
  for (Texel& t : texels) {
    const D3DCOLOR c = byte(t.a) << 24 | byte(t.r) << 16 | byte(t.g) << 8 | byte(t.b);
    if (c == key) t = {0.0f, 0.0f, 0.0f, 0.0f};
  }
}

struct LevelInfo {
  UINT width = 0, height = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
};

// Reads a level (or a rectangle of it) as texels.
HRESULT readSurface(IDirect3DSurface9* surface, const RECT* rect, LevelInfo* info, std::vector<Texel>* texels) {
  D3DSURFACE_DESC desc{};
  if (FAILED(surface->GetDesc(&desc))) return D3DERR_INVALIDCALL;
  RECT whole{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
  const RECT r = rect ? *rect : whole;
  if (r.left < 0 || r.top < 0 || r.right <= r.left || r.bottom <= r.top || r.right > whole.right ||
      r.bottom > whole.bottom)
    return D3DERR_INVALIDCALL;
  D3DLOCKED_RECT locked{};
  if (FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return D3DERR_INVALIDCALL;
  std::vector<Texel> all(std::size_t{desc.Width} * desc.Height);
  const bool ok = unpackTexels(desc.Format, static_cast<const std::uint8_t*>(locked.pBits),
                               static_cast<std::size_t>(locked.Pitch), desc.Width, desc.Height, all.data());
  surface->UnlockRect();
  if (!ok) return D3DERR_INVALIDCALL;
  info->width = static_cast<UINT>(r.right - r.left);
  info->height = static_cast<UINT>(r.bottom - r.top);
  info->format = desc.Format;
  texels->resize(std::size_t{info->width} * info->height);
  for (UINT y = 0; y < info->height; ++y)
    for (UINT x = 0; x < info->width; ++x)
      (*texels)[std::size_t{y} * info->width + x] =
          all[(y + static_cast<UINT>(r.top)) * std::size_t{desc.Width} + x + static_cast<UINT>(r.left)];
  return D3D_OK;
}

HRESULT writeSurface(IDirect3DSurface9* surface, const RECT* rect, const std::vector<Texel>& texels, UINT width,
                     UINT height) {
  D3DSURFACE_DESC desc{};
  if (FAILED(surface->GetDesc(&desc))) return D3DERR_INVALIDCALL;
  if (isCompressedFormat(desc.Format)) {
    if (rect && (rect->left != 0 || rect->top != 0 || static_cast<UINT>(rect->right) != desc.Width ||
                 static_cast<UINT>(rect->bottom) != desc.Height))
      return D3DERR_INVALIDCALL;
    D3DLOCKED_RECT locked{};
    if (FAILED(surface->LockRect(&locked, nullptr, 0))) return D3DERR_INVALIDCALL;
    const bool ok = packTexels(desc.Format, texels.data(), width, height, static_cast<std::uint8_t*>(locked.pBits),
                               static_cast<std::size_t>(locked.Pitch));
    surface->UnlockRect();
    return ok ? D3D_OK : D3DERR_INVALIDCALL;
  }
  D3DLOCKED_RECT locked{};
  if (FAILED(surface->LockRect(&locked, rect, 0))) return D3DERR_INVALIDCALL;
  const bool ok = packTexels(desc.Format, texels.data(), width, height, static_cast<std::uint8_t*>(locked.pBits),
                             static_cast<std::size_t>(locked.Pitch));
  surface->UnlockRect();
  return ok ? D3D_OK : D3DERR_INVALIDCALL;
}

// One level from the level above: 2x2 means, rounded; 8-bit channels in
// integers so that the rounding is exactly (sum + 2) >> 2.
std::vector<Texel> boxDown(const std::vector<Texel>& src, UINT sw, UINT sh, UINT dw, UINT dh) {
  std::vector<Texel> dst(std::size_t{dw} * dh);
  for (UINT y = 0; y < dh; ++y) {
    for (UINT x = 0; x < dw; ++x) {
      const UINT x0 = std::min(2 * x, sw - 1), x1 = std::min(2 * x + 1, sw - 1);
      const UINT y0 = std::min(2 * y, sh - 1), y1 = std::min(2 * y + 1, sh - 1);
      const Texel* s[4] = {&src[std::size_t{y0} * sw + x0], &src[std::size_t{y0} * sw + x1],
                           &src[std::size_t{y1} * sw + x0], &src[std::size_t{y1} * sw + x1]};
      Texel& out = dst[std::size_t{y} * dw + x];
      out.r = (s[0]->r + s[1]->r + s[2]->r + s[3]->r) / 4;
      out.g = (s[0]->g + s[1]->g + s[2]->g + s[3]->g) / 4;
      out.b = (s[0]->b + s[1]->b + s[2]->b + s[3]->b) / 4;
      out.a = (s[0]->a + s[1]->a + s[2]->a + s[3]->a) / 4;
    }
  }
  return dst;
}

void boxDown8888(const std::uint8_t* src, std::size_t srcPitch, UINT sw, UINT sh, std::uint8_t* dst,
                 std::size_t dstPitch, UINT dw, UINT dh) {
  for (UINT y = 0; y < dh; ++y) {
    for (UINT x = 0; x < dw; ++x) {
      const UINT xs[2] = {std::min(2 * x, sw - 1), std::min(2 * x + 1, sw - 1)};
      const UINT ys[2] = {std::min(2 * y, sh - 1), std::min(2 * y + 1, sh - 1)};
      for (int c = 0; c < 4; ++c) {
        unsigned sum = 0;
        for (UINT yy : ys)
          for (UINT xx : xs) sum += src[yy * srcPitch + xx * 4u + static_cast<unsigned>(c)];
        dst[y * dstPitch + x * 4u + static_cast<unsigned>(c)] = static_cast<std::uint8_t>((sum + 2) >> 2);
      }
    }
  }
}

// Upper bound on what one D3DX call may allocate for a level's texels.
constexpr std::uint64_t kMaxTexels = std::uint64_t{1} << 26;

}  // namespace

HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* destination, const void* destinationPalette,
                                   const RECT* destinationRect, IDirect3DSurface9* source, const void* sourcePalette,
                                   const RECT* sourceRect, DWORD filter, D3DCOLOR colorKey) {
  if (!destination || !source || destinationPalette || sourcePalette) return D3DERR_INVALIDCALL;
  LevelInfo from;
  std::vector<Texel> texels;
  HRESULT hr = readSurface(source, sourceRect, &from, &texels);
  if (FAILED(hr)) return hr;
  D3DSURFACE_DESC desc{};
  if (FAILED(destination->GetDesc(&desc))) return D3DERR_INVALIDCALL;
  UINT dw = desc.Width, dh = desc.Height;
  if (destinationRect) {
    if (destinationRect->right <= destinationRect->left || destinationRect->bottom <= destinationRect->top)
      return D3DERR_INVALIDCALL;
    dw = static_cast<UINT>(destinationRect->right - destinationRect->left);
    dh = static_cast<UINT>(destinationRect->bottom - destinationRect->top);
  }
  applyColourKey(texels, colorKey);
  const std::vector<Texel> out = resample(texels, from.width, from.height, dw, dh, filter);
  return writeSurface(destination, destinationRect, out, dw, dh);
}

HRESULT D3DXFilterTexture(IDirect3DBaseTexture9* base, const void* palette, UINT sourceLevel, DWORD) {
  auto* texture = dynamic_cast<IDirect3DTexture9*>(base);
  if (!texture || palette) return D3DERR_INVALIDCALL;
  if (sourceLevel == D3DX_DEFAULT) sourceLevel = 0;
  const UINT count = texture->GetLevelCount();
  if (sourceLevel >= count) return D3DERR_INVALIDCALL;
  for (UINT level = sourceLevel + 1; level < count; ++level) {
    D3DSURFACE_DESC above{}, below{};
    texture->GetLevelDesc(level - 1, &above);
    texture->GetLevelDesc(level, &below);
    if (above.Format == D3DFMT_A8R8G8B8 || above.Format == D3DFMT_X8R8G8B8) {
      D3DLOCKED_RECT src{}, dst{};
      if (FAILED(texture->LockRect(level - 1, &src, nullptr, D3DLOCK_READONLY))) return D3DERR_INVALIDCALL;
      if (FAILED(texture->LockRect(level, &dst, nullptr, 0))) {
        texture->UnlockRect(level - 1);
        return D3DERR_INVALIDCALL;
      }
      boxDown8888(static_cast<const std::uint8_t*>(src.pBits), static_cast<std::size_t>(src.Pitch), above.Width,
                  above.Height, static_cast<std::uint8_t*>(dst.pBits), static_cast<std::size_t>(dst.Pitch), below.Width,
                  below.Height);
      texture->UnlockRect(level);
      texture->UnlockRect(level - 1);
      continue;
    }
    ComPtr<IDirect3DSurface9> upper, lower;
    if (FAILED(texture->GetSurfaceLevel(level - 1, upper.put())) ||
        FAILED(texture->GetSurfaceLevel(level, lower.put())))
      return D3DERR_INVALIDCALL;
    LevelInfo info;
    std::vector<Texel> texels;
    HRESULT hr = readSurface(upper.get(), nullptr, &info, &texels);
    if (FAILED(hr)) return hr;
    hr = writeSurface(lower.get(), nullptr, boxDown(texels, info.width, info.height, below.Width, below.Height),
                      below.Width, below.Height);
    if (FAILED(hr)) return hr;
  }
  return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* sourceInfo, void* palette, IDirect3DTexture9** texture) {
  if (!device || !data || !texture || palette) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  DdsImage image;
  if (!parseDds(static_cast<const std::uint8_t*>(data), size, &image, nullptr)) return D3DXERR_INVALIDDATA;
  if (sourceInfo)
    *sourceInfo = D3DXIMAGE_INFO{image.width,  image.height,     1,          static_cast<UINT>(image.levels.size()),
                                 image.format, D3DRTYPE_TEXTURE, D3DXIFF_DDS};
  D3DCAPS9 caps{};
  device->GetDeviceCaps(&caps);
  auto pickSize = [](UINT requested, UINT picture, DWORD maxSize) {
    UINT s = requested;
    if (requested == 0 || requested == D3DX_DEFAULT) {
      s = 1;
      while (s < picture) s <<= 1;
    } else if (requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE) {
      s = picture;
    } else {
      return requested;  // explicit sizes are used as given
    }
    return maxSize ? std::min<UINT>(s, maxSize) : s;
  };
  const UINT w = pickSize(width, image.width, caps.MaxTextureWidth);
  const UINT h = pickSize(height, image.height, caps.MaxTextureHeight);
  if (std::uint64_t{w} * h > kMaxTexels) return D3DERR_OUTOFVIDEOMEMORY;
  UINT levels = mipLevels;
  if (levels == D3DX_FROM_FILE) levels = static_cast<UINT>(image.levels.size());
  if (levels == 0 || levels == D3DX_DEFAULT) levels = fullChainLength(w, h);
  levels = std::min(levels, fullChainLength(w, h));
  if (format == D3DFMT_UNKNOWN || format == D3DFMT_FROM_FILE) format = image.format;

  ComPtr<IDirect3DTexture9> created;
  HRESULT hr = device->CreateTexture(w, h, levels, usage, format, pool, created.put(), nullptr);
  if (FAILED(hr) && isCompressedFormat(format)) {
    format = D3DFMT_A8R8G8B8;  // no block compression here: plain colour
    hr = device->CreateTexture(w, h, levels, usage, format, pool, created.put(), nullptr);
  }
  if (FAILED(hr)) return hr;

  // Levels the file holds in the texture's own layout go across byte for
  // byte; otherwise each is converted.
  const bool sameLayout = w == image.width && h == image.height && format == image.format && colorKey == 0;
  UINT level = 0;
  if (sameLayout) {
    for (; level < levels && level < image.levels.size(); ++level) {
      D3DLOCKED_RECT locked{};
      if (FAILED(created->LockRect(level, &locked, nullptr, 0))) return D3DERR_INVALIDCALL;
      std::copy(image.levels[level].begin(), image.levels[level].end(), static_cast<std::uint8_t*>(locked.pBits));
      created->UnlockRect(level);
    }
  } else {
    // Each level the file holds is converted from its own texels (authored
    // chains, DXT ones included, stay as drawn); only the levels the file
    // lacks are filtered below.
    TextureLayout layout;
    textureLayout(image.format, &layout);
    for (; level < levels && level < image.levels.size(); ++level) {
      const UINT iw = std::max(1u, image.width >> level), ih = std::max(1u, image.height >> level);
      const UINT lw = std::max(1u, w >> level), lh = std::max(1u, h >> level);
      std::vector<Texel> texels(std::size_t{iw} * ih);
      if (!unpackTexels(image.format, image.levels[level].data(), levelPitch(layout, iw), iw, ih, texels.data()))
        return D3DXERR_INVALIDDATA;
      applyColourKey(texels, colorKey);
      ComPtr<IDirect3DSurface9> surface;
      if (FAILED(created->GetSurfaceLevel(level, surface.put()))) return D3DERR_INVALIDCALL;
      hr = writeSurface(surface.get(), nullptr, resample(texels, iw, ih, lw, lh, filter), lw, lh);
      if (FAILED(hr)) return hr;
    }
  }
  if (level < levels) {
    hr = D3DXFilterTexture(created.get(), nullptr, level - 1, mipFilter);
    if (FAILED(hr)) return hr;
  }
  *texture = created.get();
  created.get()->AddRef();
  return D3D_OK;
}
