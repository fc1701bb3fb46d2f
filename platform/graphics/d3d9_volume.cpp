// Volume textures shared by both device implementations: level sizes, box
// locks, pools, and the device's CreateVolumeTexture.
#include "platform/graphics/d3d9_volume.h"

#include <algorithm>

#include "platform/graphics/d3d9_device_base.h"

namespace {

// What one volume may hold, whatever the caps say: 2^26 texels on level 0
// (256 MB of A8R8G8B8).
constexpr std::uint64_t kMaxVolumeTexels = std::uint64_t{1} << 26;

}  // namespace

DeviceVolumeTexture::DeviceVolumeTexture(const void* owner, UINT width, UINT height, UINT depth, UINT levels,
                                         DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                         std::shared_ptr<int> defaultPoolCount)
    : m_owner(owner), m_usage(usage), m_format(format), m_pool(pool), m_defaultPoolCount(std::move(defaultPoolCount)) {
  TextureLayout layout;
  textureLayout(format, &layout);
  m_texelBytes = layout.blockBytes;
  m_levels.resize(levels);
  for (UINT i = 0; i < levels; ++i) {
    Level& l = m_levels[i];
    l.width = std::max(width >> i, 1u);
    l.height = std::max(height >> i, 1u);
    l.depth = std::max(depth >> i, 1u);
    l.rowPitch = std::size_t{l.width} * m_texelBytes;
    l.slicePitch = l.rowPitch * l.height;
    l.bytes.assign(l.slicePitch * l.depth, 0);
  }
  if (m_pool == D3DPOOL_DEFAULT && m_defaultPoolCount) ++*m_defaultPoolCount;
}

DeviceVolumeTexture::~DeviceVolumeTexture() {
  if (m_pool == D3DPOOL_DEFAULT && m_defaultPoolCount) --*m_defaultPoolCount;
}

HRESULT DeviceVolumeTexture::GetLevelDesc(UINT level, D3DVOLUME_DESC* desc) {
  if (!desc || level >= m_levels.size()) return D3DERR_INVALIDCALL;
  const Level& l = m_levels[level];
  *desc = D3DVOLUME_DESC{m_format, D3DRTYPE_VOLUME, m_usage, m_pool, l.width, l.height, l.depth};
  return D3D_OK;
}

HRESULT DeviceVolumeTexture::LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) {
  if (!locked || level >= m_levels.size()) return D3DERR_INVALIDCALL;
  Level& l = m_levels[level];
  if (m_pool == D3DPOOL_DEFAULT && !(m_usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
  if (l.locked) return D3DERR_INVALIDCALL;
  std::size_t offset = 0;
  if (box) {
    if (box->Left >= box->Right || box->Top >= box->Bottom || box->Front >= box->Back || box->Right > l.width ||
        box->Bottom > l.height || box->Back > l.depth)
      return D3DERR_INVALIDCALL;
    offset = box->Front * l.slicePitch + box->Top * l.rowPitch + std::size_t{box->Left} * m_texelBytes;
  }
  l.locked = true;
  l.readOnlyLock = (flags & D3DLOCK_READONLY) != 0;
  locked->RowPitch = static_cast<int>(l.rowPitch);
  locked->SlicePitch = static_cast<int>(l.slicePitch);
  locked->pBits = l.bytes.data() + offset;
  return D3D_OK;
}

HRESULT DeviceVolumeTexture::UnlockBox(UINT level) {
  if (level >= m_levels.size() || !m_levels[level].locked) return D3DERR_INVALIDCALL;
  Level& l = m_levels[level];
  l.locked = false;
  if (!l.readOnlyLock) levelWritten(level);
  return D3D_OK;
}

HRESULT checkVolumeTextureRequest(const D3DCAPS9& caps, UINT width, UINT height, UINT depth, UINT* levels, DWORD usage,
                                  D3DFORMAT format, D3DPOOL pool) {
  TextureLayout layout;
  if (width == 0 || height == 0 || depth == 0 || !textureLayout(format, &layout) || isCompressedFormat(format))
    return D3DERR_INVALIDCALL;
  if (pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  if (usage & ~D3DUSAGE_DYNAMIC) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_DYNAMIC) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  if (pool != D3DPOOL_SCRATCH) {
    if (!(caps.TextureCaps & D3DPTEXTURECAPS_VOLUMEMAP)) return D3DERR_NOTAVAILABLE;
    const UINT maxExtent = caps.MaxVolumeExtent ? caps.MaxVolumeExtent : 256;
    if (width > maxExtent || height > maxExtent || depth > maxExtent) return D3DERR_INVALIDCALL;
  }
  if (std::uint64_t{width} * height * depth > kMaxVolumeTexels) return D3DERR_OUTOFVIDEOMEMORY;
  const UINT full = fullChainLength(std::max(width, height), depth);
  if (*levels == 0) *levels = full;
  if (*levels > full) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

// ---- DeviceBase: volume textures ----

DeviceVolumeTexture* DeviceBase::makeVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                                   D3DFORMAT format, D3DPOOL pool) {
  return new DeviceVolumeTexture(this, width, height, depth, levels, usage, format, pool, m_defaultPoolTextures);
}

HRESULT DeviceBase::CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                                        D3DPOOL pool, IDirect3DVolumeTexture9** texture, void** sharedHandle) {
  if (!texture || sharedHandle) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  const HRESULT hr = checkVolumeTextureRequest(m_caps, width, height, depth, &levels, usage, format, pool);
  if (FAILED(hr)) return hr;
  DeviceVolumeTexture* created = makeVolumeTexture(width, height, depth, levels, usage, format, pool);
  if (!created) return D3DERR_NOTAVAILABLE;
  *texture = created;
  return D3D_OK;
}
