// Format conversion with resampling, box-filtered mip levels and texture
// creation from ".dds" bytes, all a few rows at a time.
#include <algorithm>
#include <cmath>
#include <optional>
#include <span>
#include <vector>

#include "platform/graphics/d3d9_texture.h"
#include "platform/graphics/d3dx.h"

namespace {

bool pointFilter(DWORD filter) {
  const DWORD kind = filter == D3DX_DEFAULT ? D3DX_FILTER_TRIANGLE : (filter & 0xFF);
  return kind == D3DX_FILTER_NONE || kind == D3DX_FILTER_POINT;
}

void applyColourKey(Texel* texels, std::size_t count, D3DCOLOR key) {
  if (key == 0) return;
  auto byte = [](float v) { return v > 0.0f ? static_cast<std::uint32_t>(std::min(v, 1.0f) * 255.0f + 0.5f) : 0u; };
  for (std::size_t i = 0; i < count; ++i) {
    Texel& t = texels[i];
    const D3DCOLOR c = byte(t.a) << 24 | byte(t.r) << 16 | byte(t.g) << 8 | byte(t.b);
    if (c == key) t = {0.0f, 0.0f, 0.0f, 0.0f};
  }
}

// Rows are converted a strip at a time: four rows, a row of blocks of the
// compressed formats. No level is ever held whole as texels (16 bytes each),
// so making a texture costs little beyond the texture itself.
constexpr UINT kStripRows = 4;

// The rows of a level in its own format, read as texels one strip at a time.
class RowReader {
 public:
  RowReader(D3DFORMAT format, const std::uint8_t* bits, std::size_t pitch, UINT width, UINT height, D3DCOLOR key)
      : m_format(format),
        m_bits(bits),
        m_pitch(pitch),
        m_width(width),
        m_height(height),
        m_key(key),
        m_compressed(isCompressedFormat(format)),
        m_strip(std::size_t{width} * kStripRows) {}

  // Texels of row y < height; valid until a row of another strip is read
  // (rows 2k and 2k + 1 share a strip).
  const Texel* row(UINT y) {
    const UINT first = y - y % kStripRows;
    if (first != m_first) {
      m_first = first;
      const UINT rows = std::min(kStripRows, m_height - first);
      // A compressed level's pitch is one row of blocks, a strip's worth.
      const std::size_t offset =
          m_compressed ? std::size_t{first / kStripRows} * m_pitch : std::size_t{first} * m_pitch;
      if (!unpackTexels(m_format, m_bits + offset, m_pitch, m_width, rows, m_strip.data())) {
        m_failed = true;
        std::fill(m_strip.begin(), m_strip.end(), Texel{});
      }
      applyColourKey(m_strip.data(), std::size_t{m_width} * rows, m_key);
    }
    return m_strip.data() + std::size_t{y - first} * m_width;
  }
  bool failed() const { return m_failed; }

 private:
  D3DFORMAT m_format;
  const std::uint8_t* m_bits;
  std::size_t m_pitch;
  UINT m_width, m_height;
  D3DCOLOR m_key;
  bool m_compressed;
  std::vector<Texel> m_strip;
  UINT m_first = ~0u;
  bool m_failed = false;
};

// Texel rows packed into a level (or a locked rectangle of one) in order,
// a strip at a time. Compressed levels take whole levels: every row.
class RowWriter {
 public:
  RowWriter(D3DFORMAT format, std::uint8_t* bits, std::size_t pitch, UINT width, UINT height)
      : m_format(format),
        m_bits(bits),
        m_pitch(pitch),
        m_width(width),
        m_height(height),
        m_compressed(isCompressedFormat(format)),
        m_strip(std::size_t{width} * kStripRows) {}

  // Where row y goes; rows are filled from 0 up, each followed by rowDone.
  Texel* row(UINT y) { return m_strip.data() + std::size_t{y % kStripRows} * m_width; }
  // Packs the strip once its last row is filled.
  bool rowDone(UINT y) {
    if ((y + 1) % kStripRows != 0 && y + 1 != m_height) return true;
    const UINT first = y - y % kStripRows;
    const std::size_t offset = m_compressed ? std::size_t{first / kStripRows} * m_pitch : std::size_t{first} * m_pitch;
    return packTexels(m_format, m_strip.data(), m_width, y + 1 - first, m_bits + offset, m_pitch);
  }

 private:
  D3DFORMAT m_format;
  std::uint8_t* m_bits;
  std::size_t m_pitch;
  UINT m_width, m_height;
  bool m_compressed;
  std::vector<Texel> m_strip;
};

// Resamples sw x sh texels (offset `left` columns into the reader's rows,
// `top` rows down) into dw x dh: area-weighted (exact averages for whole
// shrink factors), or the nearest texel with the point filter.
bool resample(RowReader& in, UINT left, UINT top, UINT sw, UINT sh, RowWriter& out, UINT dw, UINT dh, DWORD filter) {
  const double fx = static_cast<double>(sw) / dw, fy = static_cast<double>(sh) / dh;
  struct Sum {
    double r = 0, g = 0, b = 0, a = 0, total = 0;
  };
  std::vector<Sum> sums(dw);
  for (UINT y = 0; y < dh; ++y) {
    Texel* row = out.row(y);
    if (sw == dw && sh == dh) {
      std::copy_n(in.row(top + y) + left, dw, row);
    } else if (pointFilter(filter)) {
      const Texel* src = in.row(top + std::min(static_cast<UINT>((y + 0.5) * fy), sh - 1)) + left;
      for (UINT x = 0; x < dw; ++x) row[x] = src[std::min(static_cast<UINT>((x + 0.5) * fx), sw - 1)];
    } else {
      std::fill(sums.begin(), sums.end(), Sum{});
      const double y0 = y * fy, y1 = (y + 1) * fy;
      for (UINT sy = static_cast<UINT>(y0); sy < sh && sy < y1; ++sy) {
        const double wy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
        const Texel* src = in.row(top + sy) + left;
        for (UINT x = 0; x < dw; ++x) {
          const double x0 = x * fx, x1 = (x + 1) * fx;
          Sum& sum = sums[x];
          for (UINT sx = static_cast<UINT>(x0); sx < sw && sx < x1; ++sx) {
            const double w = wy * (std::min<double>(sx + 1, x1) - std::max<double>(sx, x0));
            if (w <= 0) continue;
            const Texel& t = src[sx];
            sum.r += w * t.r;
            sum.g += w * t.g;
            sum.b += w * t.b;
            sum.a += w * t.a;
            sum.total += w;
          }
        }
      }
      for (UINT x = 0; x < dw; ++x) {
        const Sum& sum = sums[x];
        row[x] = sum.total > 0 ? Texel{static_cast<float>(sum.r / sum.total), static_cast<float>(sum.g / sum.total),
                                       static_cast<float>(sum.b / sum.total), static_cast<float>(sum.a / sum.total)}
                               : Texel{};
      }
    }
    if (!out.rowDone(y)) return false;
  }
  return !in.failed();
}

// One level from the level above: 2x2 means (2x1 or 1x2 once an axis is 1;
// odd sizes repeat the last row or column).
bool boxDown(RowReader& in, UINT sw, UINT sh, RowWriter& out, UINT dw, UINT dh) {
  for (UINT y = 0; y < dh; ++y) {
    const UINT lastColumn = sw - 1;
    const Texel* upper = in.row(std::min(2 * y, sh - 1));
    const Texel* lower = in.row(std::min(2 * y + 1, sh - 1));
    Texel* row = out.row(y);
    for (UINT x = 0; x < dw; ++x) {
      const UINT x0 = std::min(2 * x, lastColumn), x1 = std::min(2 * x + 1, lastColumn);
      const Texel* s[4] = {&upper[x0], &upper[x1], &lower[x0], &lower[x1]};
      Texel& t = row[x];
      t.r = (s[0]->r + s[1]->r + s[2]->r + s[3]->r) / 4;
      t.g = (s[0]->g + s[1]->g + s[2]->g + s[3]->g) / 4;
      t.b = (s[0]->b + s[1]->b + s[2]->b + s[3]->b) / 4;
      t.a = (s[0]->a + s[1]->a + s[2]->a + s[3]->a) / 4;
    }
    if (!out.rowDone(y)) return false;
  }
  return !in.failed();
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

// A level locked for the length of a scope.
class LockedLevel {
 public:
  LockedLevel(IDirect3DSurface9* surface, const RECT* rect, DWORD flags) : m_surface(surface) {
    m_ok = SUCCEEDED(surface->LockRect(&m_locked, rect, flags));
  }
  ~LockedLevel() {
    if (m_ok) m_surface->UnlockRect();
  }
  LockedLevel(const LockedLevel&) = delete;
  LockedLevel& operator=(const LockedLevel&) = delete;

  bool ok() const { return m_ok; }
  std::uint8_t* bits() const { return static_cast<std::uint8_t*>(m_locked.pBits); }
  std::size_t pitch() const { return static_cast<std::size_t>(m_locked.Pitch); }

 private:
  IDirect3DSurface9* m_surface;
  D3DLOCKED_RECT m_locked{};
  bool m_ok = false;
};

// Upper bound on the texels of a texture made from a file.
constexpr std::uint64_t kMaxTexels = std::uint64_t{1} << 26;

}  // namespace

HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* destination, const void* destinationPalette,
                                   const RECT* destinationRect, IDirect3DSurface9* source, const void* sourcePalette,
                                   const RECT* sourceRect, DWORD filter, D3DCOLOR colorKey) {
  if (!destination || !source || destinationPalette || sourcePalette) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC from{}, to{};
  if (FAILED(source->GetDesc(&from)) || FAILED(destination->GetDesc(&to))) return D3DERR_INVALIDCALL;
  TextureLayout layout;
  if (!textureLayout(from.Format, &layout)) return D3DERR_INVALIDCALL;
  const RECT whole{0, 0, static_cast<LONG>(from.Width), static_cast<LONG>(from.Height)};
  const RECT r = sourceRect ? *sourceRect : whole;
  if (r.left < 0 || r.top < 0 || r.right <= r.left || r.bottom <= r.top || r.right > whole.right ||
      r.bottom > whole.bottom)
    return D3DERR_INVALIDCALL;
  UINT dw = to.Width, dh = to.Height;
  if (destinationRect) {
    if (destinationRect->right <= destinationRect->left || destinationRect->bottom <= destinationRect->top)
      return D3DERR_INVALIDCALL;
    dw = static_cast<UINT>(destinationRect->right - destinationRect->left);
    dh = static_cast<UINT>(destinationRect->bottom - destinationRect->top);
    if (isCompressedFormat(to.Format) &&
        (destinationRect->left != 0 || destinationRect->top != 0 || dw != to.Width || dh != to.Height))
      return D3DERR_INVALIDCALL;  // compressed destinations take whole surfaces
  }
  // Both levels stay locked while rows go across; a level loaded onto
  // itself is read from a copy of its bytes instead.
  const auto* a = dynamic_cast<LevelSurface*>(source);
  const auto* b = dynamic_cast<LevelSurface*>(destination);
  const bool sameLevel = a && b && a->texture() == b->texture() && a->level() == b->level();
  std::vector<std::uint8_t> copy;
  std::size_t pitch = 0;
  if (sameLevel) {
    LockedLevel level(source, nullptr, D3DLOCK_READONLY);
    if (!level.ok()) return D3DERR_INVALIDCALL;
    pitch = level.pitch();
    const std::size_t rows = levelBytes(layout, from.Width, from.Height) / levelPitch(layout, from.Width);
    copy.assign(level.bits(), level.bits() + rows * pitch);
  }
  std::optional<LockedLevel> read;
  if (!sameLevel) {
    read.emplace(source, nullptr, D3DLOCK_READONLY);
    if (!read->ok()) return D3DERR_INVALIDCALL;
    pitch = read->pitch();
  }
  LockedLevel write(destination, isCompressedFormat(to.Format) ? nullptr : destinationRect, 0);
  if (!write.ok()) return D3DERR_INVALIDCALL;
  RowReader in(from.Format, sameLevel ? copy.data() : read->bits(), pitch, from.Width, from.Height, colorKey);
  RowWriter out(to.Format, write.bits(), write.pitch(), dw, dh);
  return resample(in, static_cast<UINT>(r.left), static_cast<UINT>(r.top), static_cast<UINT>(r.right - r.left),
                  static_cast<UINT>(r.bottom - r.top), out, dw, dh, filter)
             ? D3D_OK
             : D3DERR_INVALIDCALL;
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
    ComPtr<IDirect3DSurface9> upper, lower;
    if (FAILED(texture->GetSurfaceLevel(level - 1, upper.put())) ||
        FAILED(texture->GetSurfaceLevel(level, lower.put())))
      return D3DERR_INVALIDCALL;
    LockedLevel src(upper.get(), nullptr, D3DLOCK_READONLY);
    LockedLevel dst(lower.get(), nullptr, 0);
    if (!src.ok() || !dst.ok()) return D3DERR_INVALIDCALL;
    if (above.Format == D3DFMT_A8R8G8B8 || above.Format == D3DFMT_X8R8G8B8) {
      boxDown8888(src.bits(), src.pitch(), above.Width, above.Height, dst.bits(), dst.pitch(), below.Width,
                  below.Height);
      continue;
    }
    RowReader in(above.Format, src.bits(), src.pitch(), above.Width, above.Height, 0);
    RowWriter out(below.Format, dst.bits(), dst.pitch(), below.Width, below.Height);
    if (!boxDown(in, above.Width, above.Height, out, below.Width, below.Height)) return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* sourceInfo, void* palette, IDirect3DTexture9** texture) {
  if (!device || !data || !texture || palette) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  // The file's levels are read where they lie in `data`, never copied.
  DdsView image;
  if (!viewDds(static_cast<const std::uint8_t*>(data), size, &image, nullptr)) return D3DXERR_INVALIDDATA;
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
  // Refused before anything is allocated: a size the device cannot take.
  if ((caps.MaxTextureWidth && w > caps.MaxTextureWidth) || (caps.MaxTextureHeight && h > caps.MaxTextureHeight))
    return D3DERR_INVALIDCALL;
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
  // byte; otherwise each is converted from its own texels (authored chains,
  // DXT ones included, stay as drawn). Only the levels the file lacks are
  // filtered below.
  const bool sameLayout = w == image.width && h == image.height && format == image.format && colorKey == 0;
  TextureLayout layout;
  textureLayout(image.format, &layout);
  UINT level = 0;
  for (; level < levels && level < image.levels.size(); ++level) {
    ComPtr<IDirect3DSurface9> surface;
    if (FAILED(created->GetSurfaceLevel(level, surface.put()))) return D3DERR_INVALIDCALL;
    LockedLevel locked(surface.get(), nullptr, 0);
    if (!locked.ok()) return D3DERR_INVALIDCALL;
    const std::span<const std::uint8_t> bytes = image.levels[level];
    if (sameLayout) {
      std::copy(bytes.begin(), bytes.end(), locked.bits());
      continue;
    }
    const UINT iw = std::max(1u, image.width >> level), ih = std::max(1u, image.height >> level);
    const UINT lw = std::max(1u, w >> level), lh = std::max(1u, h >> level);
    RowReader in(image.format, bytes.data(), levelPitch(layout, iw), iw, ih, colorKey);
    RowWriter out(format, locked.bits(), locked.pitch(), lw, lh);
    if (!resample(in, 0, 0, iw, ih, out, lw, lh, filter)) return D3DXERR_INVALIDDATA;
  }
  if (level < levels) {
    hr = D3DXFilterTexture(created.get(), nullptr, level - 1, mipFilter);
    if (FAILED(hr)) return hr;
  }
  *texture = created.get();
  created.get()->AddRef();
  return D3D_OK;
}
