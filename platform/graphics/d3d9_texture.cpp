// Textures, level surfaces, back buffers and render targets shared by both
// device implementations.
#include "platform/graphics/d3d9_texture.h"

#include <algorithm>
#include <cstring>

#include "platform/graphics/d3d9_device_base.h"

bool isCompressedFormat(D3DFORMAT format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
         format == D3DFMT_DXT5;
}

bool textureLayout(D3DFORMAT format, TextureLayout* layout) {
  UINT bytes = 0;
  switch (format) {
    case D3DFMT_A8:
    case D3DFMT_L8:
      bytes = 1;
      break;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8L8:
    case D3DFMT_L16:
    case D3DFMT_R16F:
      bytes = 2;
      break;
    case D3DFMT_R8G8B8:
      bytes = 3;
      break;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_G16R16:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_G16R16F:
    case D3DFMT_R32F:
      bytes = 4;
      break;
    case D3DFMT_A16B16G16R16:
    case D3DFMT_A16B16G16R16F:
    case D3DFMT_G32R32F:
      bytes = 8;
      break;
    case D3DFMT_A32B32G32R32F:
      bytes = 16;
      break;
    case D3DFMT_DXT1:
      *layout = {4, 8};
      return true;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      *layout = {4, 16};
      return true;
    default:
      return false;
  }
  *layout = {1, bytes};
  return true;
}

std::size_t levelPitch(const TextureLayout& layout, UINT width) {
  const std::size_t blocks = (std::size_t{width} + layout.blockSize - 1) / layout.blockSize;
  return std::max<std::size_t>(blocks, 1) * layout.blockBytes;
}

std::size_t levelBytes(const TextureLayout& layout, UINT width, UINT height) {
  const std::size_t rows = std::max<std::size_t>((std::size_t{height} + layout.blockSize - 1) / layout.blockSize, 1);
  return levelPitch(layout, width) * rows;
}

UINT fullChainLength(UINT width, UINT height) {
  UINT size = std::max(width, height), levels = 1;
  while (size > 1) {
    size >>= 1;
    ++levels;
  }
  return levels;
}

// ---- LevelSurface ----

LevelSurface::LevelSurface(DeviceTexture* texture, UINT level) : m_texture(texture), m_level(level) {
  m_texture->AddRef();
}

LevelSurface::~LevelSurface() { m_texture->Release(); }

void LevelSurface::PreLoad() { m_texture->PreLoad(); }

HRESULT LevelSurface::GetDesc(D3DSURFACE_DESC* desc) { return m_texture->GetLevelDesc(m_level, desc); }

HRESULT LevelSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  return m_texture->LockRect(m_level, locked, rect, flags);
}

HRESULT LevelSurface::UnlockRect() { return m_texture->UnlockRect(m_level); }

HRESULT BackBufferSurface::GetDesc(D3DSURFACE_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  *desc = D3DSURFACE_DESC{m_format, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, 0, 0, m_width, m_height};
  return D3D_OK;
}

// ---- DepthStencilSurface ----

DepthStencilSurface::DepthStencilSurface(const void* device, UINT width, UINT height, D3DFORMAT format, bool automatic,
                                         std::shared_ptr<int> defaultPoolCount)
    : m_device(device),
      m_width(width),
      m_height(height),
      m_format(format),
      m_automatic(automatic),
      m_defaultPoolCount(automatic ? nullptr : std::move(defaultPoolCount)) {
  if (m_defaultPoolCount) ++*m_defaultPoolCount;
}

DepthStencilSurface::~DepthStencilSurface() {
  if (m_defaultPoolCount) --*m_defaultPoolCount;
}

HRESULT DepthStencilSurface::GetDesc(D3DSURFACE_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  *desc = D3DSURFACE_DESC{m_format, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, 0, 0, m_width, m_height};
  return D3D_OK;
}

bool DepthStencilSurface::hasStencil() const {
  return m_format == D3DFMT_D24S8 || m_format == D3DFMT_D24X4S4 || m_format == D3DFMT_D15S1 ||
         m_format == D3DFMT_D24FS8;
}

// ---- DeviceTexture ----

DeviceTexture::DeviceTexture(const void* owner, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                             D3DPOOL pool, std::shared_ptr<int> defaultPoolCount)
    : m_owner(owner), m_usage(usage), m_format(format), m_pool(pool), m_defaultPoolCount(std::move(defaultPoolCount)) {
  textureLayout(format, &m_layout);
  m_levels.resize(levels);
  for (UINT i = 0; i < levels; ++i) {
    Level& l = m_levels[i];
    l.width = std::max(width >> i, 1u);
    l.height = std::max(height >> i, 1u);
    l.pitch = levelPitch(m_layout, l.width);
    l.bytes.assign(levelBytes(m_layout, l.width, l.height), 0);
  }
  if (m_pool == D3DPOOL_DEFAULT && m_defaultPoolCount) ++*m_defaultPoolCount;
}

DeviceTexture::~DeviceTexture() {
  if (m_pool == D3DPOOL_DEFAULT && m_defaultPoolCount) --*m_defaultPoolCount;
}

bool DeviceTexture::anyLevelLocked() const {
  return std::any_of(m_levels.begin(), m_levels.end(), [](const Level& l) { return l.locked; });
}

HRESULT DeviceTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (!desc || level >= m_levels.size()) return D3DERR_INVALIDCALL;
  *desc =
      D3DSURFACE_DESC{m_format, D3DRTYPE_SURFACE, m_usage, m_pool, 0, 0, m_levels[level].width, m_levels[level].height};
  return D3D_OK;
}

HRESULT DeviceTexture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (level >= m_levels.size()) return D3DERR_INVALIDCALL;
  *surface = new LevelSurface(this, level);
  return D3D_OK;
}

HRESULT DeviceTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (!locked || level >= m_levels.size()) return D3DERR_INVALIDCALL;
  Level& l = m_levels[level];
  // Default-pool textures lock only when dynamic; render targets never.
  if (m_usage & D3DUSAGE_RENDERTARGET) return D3DERR_INVALIDCALL;
  if (m_pool == D3DPOOL_DEFAULT && !(m_usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
  if (l.locked) return D3DERR_INVALIDCALL;
  std::size_t offset = 0;
  if (rect) {
    if (rect->left < 0 || rect->top < 0 || rect->right <= rect->left || rect->bottom <= rect->top ||
        static_cast<UINT>(rect->right) > l.width || static_cast<UINT>(rect->bottom) > l.height)
      return D3DERR_INVALIDCALL;
    const UINT b = m_layout.blockSize;
    // Compressed levels lock whole blocks.
    if (b > 1 && (rect->left % b != 0 || rect->top % b != 0)) return D3DERR_INVALIDCALL;
    offset = static_cast<std::size_t>(rect->top / b) * l.pitch +
             static_cast<std::size_t>(rect->left / b) * m_layout.blockBytes;
  }
  l.locked = true;
  l.readOnlyLock = (flags & D3DLOCK_READONLY) != 0;
  locked->Pitch = static_cast<int>(l.pitch);
  locked->pBits = l.bytes.data() + offset;
  return D3D_OK;
}

HRESULT DeviceTexture::UnlockRect(UINT level) {
  if (level >= m_levels.size() || !m_levels[level].locked) return D3DERR_INVALIDCALL;
  Level& l = m_levels[level];
  l.locked = false;
  if (!l.readOnlyLock) levelWritten(level);
  return D3D_OK;
}

HRESULT checkTextureRequest(const D3DCAPS9& caps, UINT width, UINT height, UINT* levels, DWORD usage, D3DFORMAT format,
                            D3DPOOL pool) {
  TextureLayout layout;
  if (width == 0 || height == 0 || !textureLayout(format, &layout)) return D3DERR_INVALIDCALL;
  if (pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  if (usage & ~(D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP)) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_RENDERTARGET) && (pool != D3DPOOL_DEFAULT || isCompressedFormat(format)))
    return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  if (pool != D3DPOOL_SCRATCH) {
    const UINT maxW = caps.MaxTextureWidth ? caps.MaxTextureWidth : 4096;
    const UINT maxH = caps.MaxTextureHeight ? caps.MaxTextureHeight : 4096;
    if (width > maxW || height > maxH) return D3DERR_INVALIDCALL;
  } else if (std::uint64_t{width} * height > (std::uint64_t{1} << 26)) {
    return D3DERR_OUTOFVIDEOMEMORY;  // plain memory, but not without limit
  }
  const UINT full = fullChainLength(width, height);
  if (*levels == 0 || *levels > full) *levels = *levels == 0 ? full : 0;
  if (*levels == 0) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

// ---- DeviceBase: textures and render targets ----

DeviceTexture* DeviceBase::makeTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                       D3DPOOL pool) {
  return new DeviceTexture(this, width, height, levels, usage, format, pool, m_defaultPoolTextures);
}

HRESULT DeviceBase::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DTexture9** texture, void** sharedHandle) {
  if (!texture || sharedHandle) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  const HRESULT hr = checkTextureRequest(m_caps, width, height, &levels, usage, format, pool);
  if (FAILED(hr)) return hr;
  DeviceTexture* created = makeTexture(width, height, levels, usage, format, pool);
  if (!created) return D3DERR_NOTAVAILABLE;
  *texture = created;
  return D3D_OK;
}

HRESULT DeviceBase::SetTexture(DWORD sampler, IDirect3DBaseTexture9* texture) {
  if (sampler >= kMaxSamplers) return D3DERR_INVALIDCALL;
  if (texture) {
    auto* t = dynamic_cast<DeviceTexture*>(texture);
    auto* v = dynamic_cast<DeviceVolumeTexture*>(texture);
    const void* owner = t ? t->owner() : v ? v->owner() : nullptr;
    const D3DPOOL pool = t ? t->pool() : v ? v->pool() : D3DPOOL_SCRATCH;
    if (owner != this || pool == D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
    texture->AddRef();
  }
  m_textures[sampler] = ComPtr<IDirect3DBaseTexture9>(texture);
  return D3D_OK;
}

HRESULT DeviceBase::GetTexture(DWORD sampler, IDirect3DBaseTexture9** texture) {
  if (!texture || sampler >= kMaxSamplers) return D3DERR_INVALIDCALL;
  *texture = m_textures[sampler].get();
  if (*texture) (*texture)->AddRef();
  return D3D_OK;
}

IDirect3DBaseTexture9* DeviceBase::boundTexture(DWORD sampler) const {
  return sampler < kMaxSamplers ? m_textures[sampler].get() : nullptr;
}

HRESULT DeviceBase::GetBackBuffer(UINT swapChain, UINT backBuffer, DWORD type, IDirect3DSurface9** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  const UINT heads = std::max(m_caps.NumberOfAdaptersInGroup, 1u);
  if (swapChain >= std::min(heads, 2u) || backBuffer != 0 || type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
  ComPtr<IDirect3DSurface9>& slot = m_backBuffers[swapChain];
  if (!slot)
    slot = ComPtr<IDirect3DSurface9>(new BackBufferSurface(
        this, swapChain, m_parameters.BackBufferWidth, m_parameters.BackBufferHeight, m_parameters.BackBufferFormat));
  slot->AddRef();
  *surface = slot.get();
  return D3D_OK;
}

HRESULT DeviceBase::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
  if (index != 0 || !surface) return D3DERR_INVALIDCALL;
  IDirect3DSurface9* target = nullptr;  // null: the back buffer
  if (auto* back = dynamic_cast<BackBufferSurface*>(surface)) {
    if (back->device() != this) return D3DERR_INVALIDCALL;
  } else if (auto* level = dynamic_cast<LevelSurface*>(surface)) {
    DeviceTexture* t = level->texture();
    if (t->owner() != this || !(t->usage() & D3DUSAGE_RENDERTARGET)) return D3DERR_INVALIDCALL;
    target = surface;
  } else {
    return D3DERR_INVALIDCALL;
  }
  if (!renderTargetChanged(target)) return D3DERR_INVALIDCALL;
  if (target) target->AddRef();
  m_renderTarget = ComPtr<IDirect3DSurface9>(target);
  m_state.viewport = D3DVIEWPORT9{0, 0, targetWidth(), targetHeight(), 0.0f, 1.0f};
  viewportChanged();
  return D3D_OK;
}

DepthStencilSurface* DeviceBase::makeDepthStencil(UINT width, UINT height, D3DFORMAT format) {
  return new DepthStencilSurface(this, width, height, format, false, m_defaultPoolTextures);
}

HRESULT DeviceBase::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE multiSample, DWORD, BOOL, IDirect3DSurface9** surface,
                                              void** sharedHandle) {
  if (!surface || sharedHandle) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  const UINT maxW = m_caps.MaxTextureWidth ? m_caps.MaxTextureWidth : 4096;
  const UINT maxH = m_caps.MaxTextureHeight ? m_caps.MaxTextureHeight : 4096;
  if (width == 0 || height == 0 || width > maxW || height > maxH) return D3DERR_INVALIDCALL;
  if (format != D3DFMT_D16 && format != D3DFMT_D24X8 && format != D3DFMT_D24S8) return D3DERR_INVALIDCALL;
  if (multiSample != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
  DepthStencilSurface* created = makeDepthStencil(width, height, format);
  if (!created) return D3DERR_OUTOFVIDEOMEMORY;
  *surface = created;
  return D3D_OK;
}

HRESULT DeviceBase::SetDepthStencilSurface(IDirect3DSurface9* surface) {
  auto* depth = dynamic_cast<DepthStencilSurface*>(surface);
  if (surface && (!depth || depth->device() != this)) return D3DERR_INVALIDCALL;
  if (!depthStencilChanged(depth)) return D3DERR_INVALIDCALL;
  if (depth) depth->AddRef();
  m_depthStencil = ComPtr<IDirect3DSurface9>(depth);
  return D3D_OK;
}

HRESULT DeviceBase::GetDepthStencilSurface(IDirect3DSurface9** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = m_depthStencil.get();
  if (!*surface) return D3DERR_NOTFOUND;
  (*surface)->AddRef();
  return D3D_OK;
}

DepthStencilSurface* DeviceBase::boundDepthStencil() const {
  return static_cast<DepthStencilSurface*>(m_depthStencil.get());
}

bool DeviceBase::automaticDepthStencilHeld() const {
  if (!m_automaticDepth) return false;
  const ULONG ownReferences = m_depthStencil.get() == m_automaticDepth.get() ? 2 : 1;
  return m_automaticDepth->references() > ownReferences;
}

void DeviceBase::bindAutomaticDepthStencil() {
  m_depthStencil.reset();
  m_automaticDepth.reset();
  if (!m_parameters.EnableAutoDepthStencil) return;
  m_automaticDepth = ComPtr<IDirect3DSurface9>(
      new DepthStencilSurface(this, m_parameters.BackBufferWidth, m_parameters.BackBufferHeight,
                              m_parameters.AutoDepthStencilFormat, true, nullptr));
  m_depthStencil = m_automaticDepth;
}

void DeviceBase::resetDepthStencil() {
  bindAutomaticDepthStencil();
  depthStencilChanged(boundDepthStencil());
}

HRESULT DeviceBase::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
  if (!surface || index != 0) return D3DERR_INVALIDCALL;
  if (!m_renderTarget) return GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, surface);
  m_renderTarget->AddRef();
  *surface = m_renderTarget.get();
  return D3D_OK;
}

UINT DeviceBase::targetWidth() const {
  D3DSURFACE_DESC desc{};
  if (m_renderTarget && SUCCEEDED(m_renderTarget->GetDesc(&desc))) return desc.Width;
  return m_parameters.BackBufferWidth;
}

UINT DeviceBase::targetHeight() const {
  D3DSURFACE_DESC desc{};
  if (m_renderTarget && SUCCEEDED(m_renderTarget->GetDesc(&desc))) return desc.Height;
  return m_parameters.BackBufferHeight;
}

void DeviceBase::resetTextureBindings() {
  for (auto& t : m_textures) t.reset();
  if (m_renderTarget) renderTargetChanged(nullptr);
  m_renderTarget.reset();
  // The back buffer has a new size: hand out new surfaces from now on.
  m_backBuffers[0].reset();
  m_backBuffers[1].reset();
}
