// Internal to platform/: volume textures both device implementations hand
// out. Like plain textures, every level lives in memory in its Direct3D
// format; the OpenGL device adds the upload through levelWritten.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/d3d9.h"
#include "platform/graphics/d3d9_texture.h"

class DeviceVolumeTexture : public IDirect3DVolumeTexture9 {
 public:
  struct Level {
    UINT width = 0, height = 0, depth = 0;
    std::size_t rowPitch = 0, slicePitch = 0;
    std::vector<std::uint8_t> bytes;
    bool locked = false;
    bool readOnlyLock = false;
  };

  DeviceVolumeTexture(const void* owner, UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                      D3DFORMAT format, D3DPOOL pool, std::shared_ptr<int> defaultPoolCount);
  ~DeviceVolumeTexture() override;

  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VOLUMETEXTURE; }
  void PreLoad() override {}
  DWORD GetLevelCount() override { return static_cast<DWORD>(m_levels.size()); }
  HRESULT GetLevelDesc(UINT level, D3DVOLUME_DESC* desc) override;
  HRESULT LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) override;
  HRESULT UnlockBox(UINT level) override;

  const void* owner() const { return m_owner; }
  D3DFORMAT format() const { return m_format; }
  D3DPOOL pool() const { return m_pool; }
  const Level& level(UINT i) const { return m_levels[i]; }
  UINT levelCount() const { return static_cast<UINT>(m_levels.size()); }

 protected:
  // A level changed through a lock (not a read-only one).
  virtual void levelWritten(UINT) {}

 private:
  const void* m_owner;
  DWORD m_usage;
  D3DFORMAT m_format;
  D3DPOOL m_pool;
  UINT m_texelBytes = 0;
  std::vector<Level> m_levels;
  std::shared_ptr<int> m_defaultPoolCount;
};

// The checks CreateVolumeTexture makes before anything is allocated; D3D_OK
// or the error to return. `levels` becomes the real level count.
HRESULT checkVolumeTextureRequest(const D3DCAPS9& caps, UINT width, UINT height, UINT depth, UINT* levels, DWORD usage,
                                  D3DFORMAT format, D3DPOOL pool);
