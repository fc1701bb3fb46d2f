// ".dds" files: reading from memory, writing from a texture. Every field is
// read and written by offset, little-endian.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/graphics/d3d9_texture.h"
#include "platform/graphics/d3dx.h"
#include "platform/little_endian.h"

namespace {

constexpr std::uint32_t kMagic = 0x20534444;  // "DDS "
constexpr std::size_t kHeaderBytes = 128;
constexpr std::uint32_t kFlagCaps = 0x1, kFlagHeight = 0x2, kFlagWidth = 0x4, kFlagPitch = 0x8,
                        kFlagPixelFormat = 0x1000, kFlagMipCount = 0x20000, kFlagLinearSize = 0x80000;
constexpr std::uint32_t kPfAlphaPixels = 0x1, kPfAlpha = 0x2, kPfFourCC = 0x4, kPfRgb = 0x40, kPfLuminance = 0x20000;
constexpr std::uint32_t kCapsComplex = 0x8, kCapsTexture = 0x1000, kCapsMipmap = 0x400000;
constexpr std::uint32_t kCaps2Cubemap = 0x200, kCaps2Volume = 0x200000;
// Sides beyond this are refused before anything is allocated for them: no
// texture of the game's is larger, and one 16384 x 16384 level alone is a
// gigabyte of texels.
constexpr UINT kMaxDdsSide = 8192;

struct MaskFormat {
  D3DFORMAT format;
  std::uint32_t flags;  // kPfRgb, kPfLuminance or kPfAlpha, plus kPfAlphaPixels
  std::uint32_t bits;
  std::uint32_t r, g, b, a;
};

// Written with these masks; read by matching them.
constexpr MaskFormat kMaskFormats[] = {
    {D3DFMT_A8R8G8B8, kPfRgb | kPfAlphaPixels, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {D3DFMT_X8R8G8B8, kPfRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {D3DFMT_A8B8G8R8, kPfRgb | kPfAlphaPixels, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    {D3DFMT_X8B8G8R8, kPfRgb, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {D3DFMT_A2B10G10R10, kPfRgb | kPfAlphaPixels, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
    {D3DFMT_A2R10G10B10, kPfRgb | kPfAlphaPixels, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
    {D3DFMT_G16R16, kPfRgb, 32, 0xFFFF, 0xFFFF0000, 0, 0},
    {D3DFMT_R8G8B8, kPfRgb, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {D3DFMT_R5G6B5, kPfRgb, 16, 0xF800, 0x07E0, 0x001F, 0},
    {D3DFMT_A1R5G5B5, kPfRgb | kPfAlphaPixels, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {D3DFMT_X1R5G5B5, kPfRgb, 16, 0x7C00, 0x03E0, 0x001F, 0},
    {D3DFMT_A4R4G4B4, kPfRgb | kPfAlphaPixels, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
    {D3DFMT_X4R4G4B4, kPfRgb, 16, 0x0F00, 0x00F0, 0x000F, 0},
    {D3DFMT_L8, kPfLuminance, 8, 0xFF, 0, 0, 0},
    {D3DFMT_A8L8, kPfLuminance | kPfAlphaPixels, 16, 0xFF, 0, 0, 0xFF00},
    {D3DFMT_L16, kPfLuminance, 16, 0xFFFF, 0, 0, 0},
    {D3DFMT_A8, kPfAlpha, 8, 0, 0, 0, 0xFF},
};

D3DFORMAT formatFromPixelFormat(const std::uint8_t* pf) {
  const std::uint32_t flags = loadLe32(pf + 4), fourCC = loadLe32(pf + 8), bits = loadLe32(pf + 12);
  const std::uint32_t r = loadLe32(pf + 16), g = loadLe32(pf + 20), b = loadLe32(pf + 24), a = loadLe32(pf + 28);
  if (flags & kPfFourCC) {
    TextureLayout layout;
    // Some writers store the numeric format code (float formats) here.
    return textureLayout(fourCC, &layout) ? fourCC : D3DFMT_UNKNOWN;
  }
  const bool hasAlpha = (flags & (kPfAlphaPixels | kPfAlpha)) != 0;
  for (const MaskFormat& m : kMaskFormats) {
    const std::uint32_t kind = m.flags & ~kPfAlphaPixels;
    if (!(flags & kind) || m.bits != bits) continue;
    if (m.r != r || m.g != g || m.b != b) continue;
    if ((m.a != 0) != (hasAlpha && a != 0)) continue;
    if (m.a != 0 && m.a != a) continue;
    return m.format;
  }
  return D3DFMT_UNKNOWN;
}

}  // namespace

bool viewDds(const std::uint8_t* data, std::size_t size, DdsView* dds, std::string* error) {
  auto fail = [&](const char* why) {
    if (error) *error = why;
    return false;
  };
  if (!data || size < kHeaderBytes) return fail("shorter than a .dds header");
  if (loadLe32(data) != kMagic) return fail("not a .dds file");
  if (loadLe32(data + 4) != 124 || loadLe32(data + 76) != 32) return fail("header sizes are not 124 and 32");
  const UINT height = loadLe32(data + 12), width = loadLe32(data + 16);
  if (width == 0 || height == 0 || width > kMaxDdsSide || height > kMaxDdsSide) return fail("size out of range");
  const std::uint32_t caps2 = loadLe32(data + 112);
  if (caps2 & (kCaps2Cubemap | kCaps2Volume)) return fail("cube and volume textures are not read");
  const D3DFORMAT format = formatFromPixelFormat(data + 76);
  TextureLayout layout;
  if (format == D3DFMT_UNKNOWN || !textureLayout(format, &layout)) return fail("pixel format not supported");
  // Sizes come from the dimensions, never from the pitch fields.
  UINT levels = loadLe32(data + 28);
  levels = std::clamp(levels, 1u, fullChainLength(width, height));
  dds->width = width;
  dds->height = height;
  dds->format = format;
  dds->levels.clear();
  std::size_t offset = kHeaderBytes;
  for (UINT i = 0; i < levels; ++i) {
    const std::size_t bytes = levelBytes(layout, std::max(width >> i, 1u), std::max(height >> i, 1u));
    if (bytes > size - offset) break;  // a short file keeps its complete levels
    dds->levels.emplace_back(data + offset, bytes);
    offset += bytes;
  }
  if (dds->levels.empty()) return fail("pixel data cut short");
  return true;
}

bool parseDds(const std::uint8_t* data, std::size_t size, DdsImage* image, std::string* error) {
  DdsView view;
  if (!viewDds(data, size, &view, error)) return false;
  image->width = view.width;
  image->height = view.height;
  image->format = view.format;
  image->levels.clear();
  for (const std::span<const std::uint8_t> level : view.levels) image->levels.emplace_back(level.begin(), level.end());
  return true;
}

std::vector<std::uint8_t> writeDds(const DdsImage& image) {
  TextureLayout layout;
  textureLayout(image.format, &layout);
  std::size_t total = kHeaderBytes;
  for (const auto& l : image.levels) total += l.size();
  std::vector<std::uint8_t> out(total, 0);
  const bool compressed = isCompressedFormat(image.format);
  const bool chain = image.levels.size() > 1;
  std::uint32_t flags = kFlagCaps | kFlagHeight | kFlagWidth | kFlagPixelFormat;
  flags |= compressed ? kFlagLinearSize : kFlagPitch;
  if (chain) flags |= kFlagMipCount;
  storeLe32(&out[0], kMagic);
  storeLe32(&out[4], 124);
  storeLe32(&out[8], flags);
  storeLe32(&out[12], image.height);
  storeLe32(&out[16], image.width);
  storeLe32(&out[20], static_cast<std::uint32_t>(compressed ? levelBytes(layout, image.width, image.height)
                                                            : levelPitch(layout, image.width)));
  storeLe32(&out[28], static_cast<std::uint32_t>(image.levels.size()));
  storeLe32(&out[76], 32);
  const MaskFormat* mask = nullptr;
  for (const MaskFormat& m : kMaskFormats)
    if (m.format == image.format) mask = &m;
  if (mask) {
    storeLe32(&out[80], mask->flags);
    storeLe32(&out[88], mask->bits);
    storeLe32(&out[92], mask->r);
    storeLe32(&out[96], mask->g);
    storeLe32(&out[100], mask->b);
    storeLe32(&out[104], mask->a);
  } else {
    storeLe32(&out[80], kPfFourCC);
    storeLe32(&out[84], image.format);
  }
  storeLe32(&out[108], kCapsTexture | (chain ? kCapsComplex | kCapsMipmap : 0));
  std::size_t offset = kHeaderBytes;
  for (const auto& l : image.levels) {
    std::copy(l.begin(), l.end(), out.begin() + static_cast<std::ptrdiff_t>(offset));
    offset += l.size();
  }
  return out;
}

HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info) {
  if (!data || !info) return D3DERR_INVALIDCALL;
  DdsView image;
  if (!viewDds(static_cast<const std::uint8_t*>(data), size, &image, nullptr)) return D3DXERR_INVALIDDATA;
  *info = D3DXIMAGE_INFO{image.width,  image.height,     1,          static_cast<UINT>(image.levels.size()),
                         image.format, D3DRTYPE_TEXTURE, D3DXIFF_DDS};
  return D3D_OK;
}

HRESULT D3DXSaveTextureToFileA(const char* path, D3DXIMAGE_FILEFORMAT fileFormat, IDirect3DBaseTexture9* base,
                               const void* palette) {
  auto* texture = dynamic_cast<IDirect3DTexture9*>(base);
  if (!path || !texture || palette) return D3DERR_INVALIDCALL;
  if (fileFormat != D3DXIFF_DDS) return D3DERR_NOTAVAILABLE;
  DdsImage image;
  D3DSURFACE_DESC desc{};
  if (FAILED(texture->GetLevelDesc(0, &desc))) return D3DERR_INVALIDCALL;
  TextureLayout layout;
  if (!textureLayout(desc.Format, &layout)) return D3DERR_INVALIDCALL;
  image.width = desc.Width;
  image.height = desc.Height;
  image.format = desc.Format;
  for (UINT i = 0; i < texture->GetLevelCount(); ++i) {
    D3DSURFACE_DESC ld{};
    texture->GetLevelDesc(i, &ld);
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(i, &locked, nullptr, D3DLOCK_READONLY))) return D3DERR_INVALIDCALL;
    const std::size_t rowBytes = levelPitch(layout, ld.Width);
    const std::size_t rows = levelBytes(layout, ld.Width, ld.Height) / rowBytes;
    std::vector<std::uint8_t> bytes(rowBytes * rows);
    const auto* src = static_cast<const std::uint8_t*>(locked.pBits);
    for (std::size_t r = 0; r < rows; ++r)
      std::copy(src + r * static_cast<std::size_t>(locked.Pitch),
                src + r * static_cast<std::size_t>(locked.Pitch) + rowBytes,
                bytes.begin() + static_cast<std::ptrdiff_t>(r * rowBytes));
    texture->UnlockRect(i);
    image.levels.push_back(std::move(bytes));
  }
  const std::vector<std::uint8_t> file = writeDds(image);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path, "wb"), std::fclose);
  if (!out) return E_FAIL;
  const bool written = std::fwrite(file.data(), 1, file.size(), out.get()) == file.size();
  return written && std::fclose(out.release()) == 0 ? D3D_OK : E_FAIL;
}
