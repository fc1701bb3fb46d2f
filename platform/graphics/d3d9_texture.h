// Internal to platform/: the texture and surface objects both device
// implementations hand out. A texture keeps every level as bytes in its
// Direct3D format; the OpenGL device adds the upload through the hooks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/d3d9.h"

// Byte layout of a format: uncompressed formats are 1x1 blocks of
// `blockBytes`, DXT formats 4x4 blocks of 8 or 16 bytes.
struct TextureLayout {
  UINT blockSize = 1;
  UINT blockBytes = 0;
};

// False for formats a texture cannot hold (depth, index, unknown).
bool textureLayout(D3DFORMAT format, TextureLayout* layout);
bool isCompressedFormat(D3DFORMAT format);
// Bytes of one row of blocks and of a whole level of this size.
std::size_t levelPitch(const TextureLayout& layout, UINT width);
std::size_t levelBytes(const TextureLayout& layout, UINT width, UINT height);
// floor(log2(max(w, h))) + 1.
UINT fullChainLength(UINT width, UINT height);

class DeviceTexture;

// One level of a texture. Holds a reference to the texture.
class LevelSurface : public IDirect3DSurface9 {
 public:
  LevelSurface(DeviceTexture* texture, UINT level);
  ~LevelSurface() override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  void PreLoad() override;
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect() override;

  DeviceTexture* texture() const { return m_texture; }
  UINT level() const { return m_level; }

 private:
  DeviceTexture* m_texture;
  UINT m_level;
};

// The back buffer of one head: described, never locked.
class BackBufferSurface : public IDirect3DSurface9 {
 public:
  BackBufferSurface(const void* device, UINT head, UINT width, UINT height, D3DFORMAT format)
      : m_device(device), m_head(head), m_width(width), m_height(height), m_format(format) {}
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  void PreLoad() override {}
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT*, const RECT*, DWORD) override { return D3DERR_INVALIDCALL; }
  HRESULT UnlockRect() override { return D3DERR_INVALIDCALL; }

  const void* device() const { return m_device; }
  UINT head() const { return m_head; }

 private:
  const void* m_device;
  UINT m_head, m_width, m_height;
  D3DFORMAT m_format;
};

// A depth-stencil surface: the device's own (automatic, the back buffer's
// size, not counted as a default-pool resource but held like the back
// buffer) or one from CreateDepthStencilSurface (counted in
// `defaultPoolCount` while it lives). Described, never locked.
class DepthStencilSurface : public IDirect3DSurface9 {
 public:
  DepthStencilSurface(const void* device, UINT width, UINT height, D3DFORMAT format, bool automatic,
                      std::shared_ptr<int> defaultPoolCount);
  ~DepthStencilSurface() override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  void PreLoad() override {}
  HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
  HRESULT LockRect(D3DLOCKED_RECT*, const RECT*, DWORD) override { return D3DERR_INVALIDCALL; }
  HRESULT UnlockRect() override { return D3DERR_INVALIDCALL; }

  const void* device() const { return m_device; }
  bool automatic() const { return m_automatic; }
  bool hasStencil() const;
  UINT width() const { return m_width; }
  UINT height() const { return m_height; }
  D3DFORMAT format() const { return m_format; }

 private:
  const void* m_device;
  UINT m_width, m_height;
  D3DFORMAT m_format;
  bool m_automatic;
  std::shared_ptr<int> m_defaultPoolCount;
};

// A texture with its levels in memory. `owner` identifies the creating
// device (a texture binds only there); `defaultPoolCount` is the device's
// count of live D3DPOOL_DEFAULT resources, shared so that a texture may
// outlive its device.
class DeviceTexture : public IDirect3DTexture9 {
 public:
  struct Level {
    UINT width = 0, height = 0;
    std::size_t pitch = 0;
    std::vector<std::uint8_t> bytes;
    bool locked = false;
    bool readOnlyLock = false;
  };

  DeviceTexture(const void* owner, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                std::shared_ptr<int> defaultPoolCount);
  ~DeviceTexture() override;

  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  void PreLoad() override {}
  DWORD GetLevelCount() override { return static_cast<DWORD>(m_levels.size()); }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
  HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
  HRESULT UnlockRect(UINT level) override;

  const void* owner() const { return m_owner; }
  D3DFORMAT format() const { return m_format; }
  D3DPOOL pool() const { return m_pool; }
  DWORD usage() const { return m_usage; }
  const Level& level(UINT i) const { return m_levels[i]; }
  UINT levelCount() const { return static_cast<UINT>(m_levels.size()); }
  bool anyLevelLocked() const;

 protected:
  // A level changed through a lock (not a read-only one).
  virtual void levelWritten(UINT) {}

 private:
  const void* m_owner;
  DWORD m_usage;
  D3DFORMAT m_format;
  D3DPOOL m_pool;
  TextureLayout m_layout;
  std::vector<Level> m_levels;
  std::shared_ptr<int> m_defaultPoolCount;
};

// The checks CreateTexture makes before anything is allocated; D3D_OK or
// the error to return. `levels` becomes the real level count.
HRESULT checkTextureRequest(const D3DCAPS9& caps, UINT width, UINT height, UINT* levels, DWORD usage, D3DFORMAT format,
                            D3DPOOL pool);
