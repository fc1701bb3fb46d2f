// The texture base: pixel store, format choice, mip levels, normal maps and
// the copies on further devices.
#include "render/texture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foundation/envelope.h"
#include "foundation/report.h"
#include "platform/graphics/d3dx.h"
#include "render/render_pipeline.h"

AnimatedFloat copyAnimatedFloat(const AnimatedFloat& source) {
  AnimatedFloat copy(source.value);
  if (Envelope* envelope = source.channel ? source.channel->asEnvelope() : nullptr) copy.channel = envelope->clone();
  return copy;
}

std::uint32_t applyAlphaMode(std::uint32_t texel, int alphaMode) {
  switch (alphaMode) {
    case 1:
      return texel | 0xFF000000u;
    case 2:
      // The alpha byte shown as an opaque grey picture.
      return 0xFF000000u | (texel >> 24) * 0x10101u;
    default:
      return texel;
  }
}

Texture::Texture(RenderPipeline* owner, std::uint32_t initialFlags)
    : pipeline(owner),
      flags(initialFlags),
      deviceTextures(static_cast<std::size_t>(deviceCount())),
      shownTextures(static_cast<std::size_t>(deviceCount()), nullptr) {}

Texture::Texture(const Texture& other)
    : pipeline(other.pipeline),
      name(other.name),
      alphaTexture(other.alphaTexture),
      alphaMode(other.alphaMode),
      frameRate(other.frameRate),
      factor(other.factor),
      flags(other.flags),
      frameMode(other.frameMode),
      width(other.width),
      height(other.height),
      depth(other.depth),
      format(other.format),
      pool(other.pool),
      levelCount(other.levelCount),
      deviceTextures(static_cast<std::size_t>(deviceCount())),
      shownTextures(static_cast<std::size_t>(deviceCount()), nullptr) {
  // The clone owns copies of the curves: each object deletes its own.
  for (int i = 0; i < 5; ++i) parameters[i] = copyAnimatedFloat(other.parameters[i]);
}

Texture::~Texture() = default;

int Texture::deviceCount() const { return pipeline ? static_cast<int>(pipeline->devices.size()) : 0; }

IDirect3DTexture9* Texture::getDeviceTexture(double) {
  const auto i = static_cast<std::size_t>(pipeline->currentDeviceIndex);
  return i < shownTextures.size() ? shownTextures[i] : nullptr;
}

IDirect3DTexture9* Texture::getFirstDeviceTexture() {
  return deviceTextures.empty() ? nullptr : deviceTextures[0].get();
}

IDirect3DSurface9* Texture::getTopSurface() {
  if (deviceTextures.empty() || !deviceTextures[0] || pool != D3DPOOL_DEFAULT) return nullptr;
  IDirect3DSurface9* surface = nullptr;
  deviceTextures[0]->GetSurfaceLevel(0, &surface);
  return surface;
}

void Texture::preload() {
  for (IDirect3DTexture9* t : shownTextures)
    if (t) t->PreLoad();
}

void Texture::createPixelStore(std::uint32_t newFlags, const std::string& storeName, int storeWidth, int storeHeight) {
  if (name.empty() && !storeName.empty()) name = storeName;
  width = std::max(storeWidth, 1);
  height = std::max(storeHeight, 1);
  depth = 1;
  // Writers fill the store with 32-bit texels, whatever a previous upload
  // chose for the device.
  format = D3DFMT_A8R8G8B8;
  flags = newFlags;
  pool = (flags & kTextureConvertFormat) ? D3DPOOL_SCRATCH : D3DPOOL_MANAGED;
  DWORD usage = 0;
  if (flags & kTextureDynamic) {
    pool = D3DPOOL_DEFAULT;
    usage = D3DUSAGE_DYNAMIC;
  }
  if (deviceTextures.empty()) return;
  IDirect3DDevice9* device = pipeline->devices[0];
  const UINT levels = (flags & kTextureMipChain) ? 0 : 1;
  deviceTextures[0].reset();
  HRESULT hr = device->CreateTexture(static_cast<UINT>(width), static_cast<UINT>(height), levels, usage, format, pool,
                                     deviceTextures[0].put(), nullptr);
  if (FAILED(hr)) {
    flags |= kTextureConvertFormat;
    pool = D3DPOOL_SCRATCH;
    device->CreateTexture(static_cast<UINT>(width), static_cast<UINT>(height), levels, 0, format, pool,
                          deviceTextures[0].put(), nullptr);
  }
  shownTextures[0] = deviceTextures[0].get();
  levelCount = deviceTextures[0] ? deviceTextures[0]->GetLevelCount() : 0;
}

void Texture::chooseFormat() {
  if (flags & kTextureConvertFormat) {
    const bool alphaOnly = (flags & kTextureAlphaFromLuminance) && !(flags & kTextureKeepColour);
    const std::uint32_t colourBits = alphaOnly ? 0 : 5;
    std::uint32_t alphaBits = 0;
    if (flags & kTextureOneBitAlpha)
      alphaBits = 1;
    else if ((flags & kTextureAlphaFromLuminance) || alphaTexture)
      alphaBits = 4;
    else if (alphaMode == 0)
      alphaBits = 1;
    FormatRequest request;
    request.minAlpha = alphaBits > 0 ? channelWord(1) : 0;
    request.minRed = request.minGreen = request.minBlue = colourBits > 0 ? channelWord(1) : 0;
    request.desiredAlpha = channelWord(alphaBits);
    request.desiredRed = request.desiredGreen = request.desiredBlue = channelWord(colourBits);
    request.maxAlpha = request.maxRed = request.maxGreen = request.maxBlue = 0x20220;
    request.allowedFlags = 0x01;
    // Block-compressed and reversed-order formats come after the others.
    request.avoid(0x40);
    request.avoid(0x20);
    request.avoid(0x10);
    const FormatDesc* fdesc = nullptr;
    if (pipeline->adapterInfo) fdesc = request.choose(pipeline->adapterInfo->textureFormats);
    ENGINE_ASSERT(fdesc != 0 && "device does not support appropriate texture formats!");
    format = fdesc ? fdesc->format : 0;
  }
  pool = (flags & kTextureDynamic) ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
}

void Texture::filterWithAlphaTexture() {
  IDirect3DTexture9* store = deviceTextures[0].get();
  for (UINT level = 1; level < levelCount; ++level) {
    D3DSURFACE_DESC above{}, below{};
    store->GetLevelDesc(level - 1, &above);
    store->GetLevelDesc(level, &below);
    if (above.Format != D3DFMT_A8R8G8B8 || below.Format != D3DFMT_A8R8G8B8) continue;
    D3DLOCKED_RECT src{}, dst{};
    if (FAILED(store->LockRect(level - 1, &src, nullptr, D3DLOCK_READONLY))) continue;
    if (FAILED(store->LockRect(level, &dst, nullptr, 0))) {
      store->UnlockRect(level - 1);
      continue;
    }
    // Alpha holds transparency here (255 = fully transparent): colours are
    // weighted by opacity, and the result keeps the most opaque alpha.
    auto read = [&](UINT x, UINT y) -> std::uint32_t {
      if (x >= above.Width || y >= above.Height) return 0xFF000000u;
      return reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(src.pBits) + y * src.Pitch)[x];
    };
    for (UINT y = 0; y < below.Height; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(dst.pBits) + y * dst.Pitch);
      for (UINT x = 0; x < below.Width; ++x) {
        const std::uint32_t s[4] = {read(2 * x, 2 * y), read(2 * x + 1, 2 * y), read(2 * x, 2 * y + 1),
                                    read(2 * x + 1, 2 * y + 1)};
        float r = 0, g = 0, b = 0, weights = 0, alpha = 1.0f;
        for (std::uint32_t t : s) {
          const float a = static_cast<float>(t >> 24) / 255.0f;
          const float w = 1.0f - a;
          r += w * static_cast<float>(t >> 16 & 0xFF) / 255.0f;
          g += w * static_cast<float>(t >> 8 & 0xFF) / 255.0f;
          b += w * static_cast<float>(t & 0xFF) / 255.0f;
          weights += w;
          alpha = std::min(alpha, a);
        }
        row[x] =
            weights <= 0.000001f ? 0xFF000000u : ColorRGBA{r / weights, g / weights, b / weights, alpha}.toD3DColor();
      }
    }
    store->UnlockRect(level);
    store->UnlockRect(level - 1);
  }
}

void Texture::convertToNormalMap() {
  IDirect3DTexture9* store = deviceTextures[0].get();
  std::vector<std::uint32_t> scratch(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (UINT level = 0; level < levelCount; ++level) {
    D3DSURFACE_DESC desc{};
    store->GetLevelDesc(level, &desc);
    if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8) continue;
    D3DLOCKED_RECT locked{};
    if (FAILED(store->LockRect(level, &locked, nullptr, 0))) continue;
    auto* texels = static_cast<std::uint32_t*>(locked.pBits);
    const int w = static_cast<int>(desc.Width), h = static_cast<int>(desc.Height);
    // Neighbours wrap around the edges.
    auto heightAt = [&](int x, int y) {
      const std::uint32_t t = texels[((y + h) % h) * w + (x + w) % w];
      return static_cast<float>(static_cast<int>((t >> 16 & 0xFF) + (t >> 8 & 0xFF) + (t & 0xFF)) * 16 / 3);
    };
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const float c = heightAt(x, y);
        const float dR = heightAt(x + 1, y) - c, dL = heightAt(x - 1, y) - c;
        const float dD = heightAt(x, y + 1) - c, dU = heightAt(x, y - 1) - c;
        const float faces[4][3] = {{-255 * dR, -255 * dD, 65025},
                                   {255 * dL, -255 * dD, 65025},
                                   {255 * dL, 255 * dU, 65025},
                                   {-255 * dR, 255 * dU, 65025}};
        float n[3] = {0, 0, 0};
        for (const auto& f : faces) {
          const float length = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
          for (int i = 0; i < 3; ++i) n[i] += length != 0 ? f[i] / length : f[i];
        }
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length != 0)
          for (float& v : n) v /= length;
        auto channel = [](float v) { return static_cast<std::uint32_t>((v + 1.0f) * 127.5f); };
        scratch[static_cast<std::size_t>(y * w + x)] = channel(n[0]) << 16 | channel(n[1]) << 8 | channel(n[2]);
      }
    }
    std::memcpy(texels, scratch.data(), static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    store->UnlockRect(level);
  }
  format = D3DFMT_A8R8G8B8;
}

void Texture::upload() {
  if (deviceTextures.empty() || !deviceTextures[0]) return;
  if (levelCount > 1) {
    if (alphaTexture)
      filterWithAlphaTexture();
    else
      D3DXFilterTexture(deviceTextures[0].get(), nullptr, 0, D3DX_DEFAULT);
  }
  if (flags & kTextureNormalMap) convertToNormalMap();
  chooseFormat();
  if (flags & kTextureConvertFormat) {
    ComPtr<IDirect3DTexture9> converted;
    if (SUCCEEDED(pipeline->devices[0]->CreateTexture(static_cast<UINT>(width), static_cast<UINT>(height), levelCount,
                                                      0, format, pool, converted.put(), nullptr))) {
      for (UINT level = 0; level < levelCount; ++level) {
        ComPtr<IDirect3DSurface9> to, from;
        converted->GetSurfaceLevel(level, to.put());
        deviceTextures[0]->GetSurfaceLevel(level, from.put());
        if (to && from)
          D3DXLoadSurfaceFromSurface(to.get(), nullptr, nullptr, from.get(), nullptr, nullptr, D3DX_DEFAULT, 0);
      }
      deviceTextures[0] = converted;
      shownTextures[0] = deviceTextures[0].get();
    }
  }
  replicate();
}

void Texture::replicate() {
  if (deviceTextures.empty() || !deviceTextures[0]) return;
  IDirect3DTexture9* first = deviceTextures[0].get();
  D3DSURFACE_DESC desc{};
  first->GetLevelDesc(0, &desc);
  for (std::size_t i = 1; i < deviceTextures.size(); ++i) {
    deviceTextures[i].reset();
    shownTextures[i] = nullptr;
    if (FAILED(pipeline->devices[i]->CreateTexture(desc.Width, desc.Height, levelCount, 0, desc.Format, desc.Pool,
                                                   deviceTextures[i].put(), nullptr)))
      continue;
    shownTextures[i] = deviceTextures[i].get();
    for (UINT level = 0; level < levelCount; ++level) {
      D3DLOCKED_RECT from{}, to{};
      if (FAILED(first->LockRect(level, &from, nullptr, D3DLOCK_READONLY))) continue;
      if (SUCCEEDED(deviceTextures[i]->LockRect(level, &to, nullptr, 0))) {
        D3DSURFACE_DESC ld{};
        first->GetLevelDesc(level, &ld);
        // Compressed levels lock by rows of 4x4 blocks.
        const bool blocks = desc.Format == D3DFMT_DXT1 || desc.Format == D3DFMT_DXT2 || desc.Format == D3DFMT_DXT3 ||
                            desc.Format == D3DFMT_DXT4 || desc.Format == D3DFMT_DXT5;
        const UINT rows = blocks ? std::max((ld.Height + 3) / 4, 1u) : ld.Height;
        const std::size_t bytes = static_cast<std::size_t>(std::min(from.Pitch, to.Pitch));
        for (UINT r = 0; r < rows; ++r)
          std::memcpy(static_cast<std::uint8_t*>(to.pBits) + r * static_cast<std::size_t>(to.Pitch),
                      static_cast<const std::uint8_t*>(from.pBits) + r * static_cast<std::size_t>(from.Pitch), bytes);
        deviceTextures[i]->UnlockRect(level);
      }
      first->UnlockRect(level);
    }
  }
}
