// Geometry, lights, material and clip planes of the shared device base, and
// the checks every draw passes before a backend sees it.
#include <algorithm>
#include <limits>

#include "platform/graphics/d3d9_device_base.h"

int GeometryState::enabledLightCount() const {
  return static_cast<int>(std::count_if(lights.begin(), lights.end(), [](const auto& l) { return l.second.enabled; }));
}

D3DLIGHT9 defaultLight() {
  D3DLIGHT9 l{};
  l.Type = D3DLIGHT_DIRECTIONAL;
  l.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
  l.Direction = {0.0f, 0.0f, 1.0f};
  return l;
}

UINT primitiveElementCount(D3DPRIMITIVETYPE type, UINT count) {
  if (count == 0) return 0;
  switch (type) {
    case D3DPT_POINTLIST:
      return count;
    case D3DPT_LINELIST:
      return 2 * count;
    case D3DPT_LINESTRIP:
      return count + 1;
    case D3DPT_TRIANGLELIST:
      return 3 * count;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return count + 2;
    default:
      return 0;
  }
}

namespace {

bool validPool(D3DPOOL pool) { return pool <= D3DPOOL_SCRATCH; }

}  // namespace

HRESULT DeviceBase::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** buffer, void** sharedHandle) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (sharedHandle || length == 0 || !validPool(pool)) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_DYNAMIC) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  *buffer = new MemoryVertexBuffer(length, usage, fvf, pool, m_defaultPool);
  return D3D_OK;
}

HRESULT DeviceBase::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** buffer, void** sharedHandle) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (sharedHandle || length == 0 || !validPool(pool)) return D3DERR_INVALIDCALL;
  if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
  if (format == D3DFMT_INDEX32 && m_caps.MaxVertexIndex <= 0xFFFF) return D3DERR_INVALIDCALL;
  if ((usage & D3DUSAGE_DYNAMIC) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  *buffer = new MemoryIndexBuffer(length, usage, format, pool, m_defaultPool);
  return D3D_OK;
}

HRESULT DeviceBase::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                            IDirect3DVertexDeclaration9** declaration) {
  if (!declaration) return D3DERR_INVALIDCALL;
  *declaration = MemoryVertexDeclaration::create(elements);
  return *declaration ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT DeviceBase::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
  if (declaration) declaration->AddRef();
  m_geometry.declaration = ComPtr<IDirect3DVertexDeclaration9>(declaration);
  return D3D_OK;
}

HRESULT DeviceBase::GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) {
  if (!declaration) return D3DERR_INVALIDCALL;
  *declaration = m_geometry.declaration.get();
  if (*declaration) (*declaration)->AddRef();
  return D3D_OK;
}

HRESULT DeviceBase::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
  if (stream != 0) return D3DERR_INVALIDCALL;
  if (buffer) buffer->AddRef();
  m_geometry.stream = ComPtr<IDirect3DVertexBuffer9>(buffer);
  m_geometry.streamOffset = offset;
  m_geometry.streamStride = stride;
  return D3D_OK;
}

HRESULT DeviceBase::SetIndices(IDirect3DIndexBuffer9* buffer) {
  if (buffer) buffer->AddRef();
  m_geometry.indices = ComPtr<IDirect3DIndexBuffer9>(buffer);
  return D3D_OK;
}

HRESULT DeviceBase::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, int baseVertexIndex, UINT, UINT, UINT startIndex,
                                         UINT primitiveCount) {
  auto* decl = static_cast<MemoryVertexDeclaration*>(m_geometry.declaration.get());
  auto* vb = static_cast<MemoryVertexBuffer*>(m_geometry.stream.get());
  auto* ib = static_cast<MemoryIndexBuffer*>(m_geometry.indices.get());
  const UINT count = primitiveElementCount(type, primitiveCount);
  if (!decl || !vb || !ib || (primitiveCount > 0 && count == 0)) return D3DERR_INVALIDCALL;
  if (count == 0) return D3D_OK;
  const UINT stride = m_geometry.streamStride;
  if (stride < decl->format().minimumStride || stride == 0) return D3DERR_INVALIDCALL;
  const UINT size = ib->indexSize();
  const std::uint64_t indexEnd = (std::uint64_t{startIndex} + count) * size;
  if (indexEnd > ib->buffer().length()) return D3DERR_INVALIDCALL;

  // The vertices this draw may read: from the stream offset plus the base
  // vertex to the end of the buffer. Every index must land inside.
  const std::int64_t first = std::int64_t{m_geometry.streamOffset} + std::int64_t{baseVertexIndex} * stride;
  const std::int64_t vbLength = vb->buffer().length();
  if (first < 0 || first > vbLength) return D3DERR_INVALIDCALL;
  const UINT available = static_cast<UINT>((vbLength - first) / stride);
  const BYTE* indexBytes = ib->buffer().bytes() + std::uint64_t{startIndex} * size;
  const DWORD largest = ib->largestIndex(startIndex, count);
  if (largest >= available) return D3DERR_INVALIDCALL;
  if (needsReset()) return D3D_OK;  // a lost device draws nothing and says nothing

  CheckedDraw draw;
  draw.type = type;
  draw.format = &decl->format();
  draw.vertices = vb->buffer().bytes() + first;
  draw.stride = stride;
  draw.vertexCount = available;
  draw.indices = indexBytes;
  draw.indexSize = size;
  draw.elementCount = count;
  draw.vertexSource = &vb->buffer();
  draw.indexSource = &ib->buffer();
  return executeDraw(draw);
}

HRESULT DeviceBase::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) {
  auto* decl = static_cast<MemoryVertexDeclaration*>(m_geometry.declaration.get());
  const UINT count = primitiveElementCount(type, primitiveCount);
  if (!decl || !vertices || stride == 0 || stride < decl->format().minimumStride || (primitiveCount > 0 && count == 0))
    return D3DERR_INVALIDCALL;
  // Direct3D leaves stream 0 unbound after a draw from memory.
  m_geometry.stream.reset();
  m_geometry.streamOffset = m_geometry.streamStride = 0;
  if (count == 0 || needsReset()) return D3D_OK;
  CheckedDraw draw;
  draw.type = type;
  draw.format = &decl->format();
  draw.vertices = static_cast<const BYTE*>(vertices);
  draw.stride = stride;
  draw.vertexCount = count;
  draw.elementCount = count;
  return executeDraw(draw);
}

HRESULT DeviceBase::SetLight(DWORD index, const D3DLIGHT9* light) {
  if (!light) return D3DERR_INVALIDCALL;
  if (light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
  m_geometry.lights[index].light = *light;
  m_state.touch(StateGroup::Lights);
  return D3D_OK;
}

HRESULT DeviceBase::GetLight(DWORD index, D3DLIGHT9* light) {
  auto it = m_geometry.lights.find(index);
  if (!light || it == m_geometry.lights.end()) return D3DERR_INVALIDCALL;
  *light = it->second.light;
  return D3D_OK;
}

HRESULT DeviceBase::LightEnable(DWORD index, BOOL enable) {
  auto it = m_geometry.lights.find(index);
  if (it == m_geometry.lights.end()) {
    if (!enable) return D3D_OK;
    it = m_geometry.lights.emplace(index, LightSlot{defaultLight(), false}).first;
  }
  if (enable && !it->second.enabled && m_geometry.enabledLightCount() >= static_cast<int>(kMaxActiveLights))
    return D3DERR_INVALIDCALL;
  it->second.enabled = enable != 0;
  m_state.touch(StateGroup::Lights);
  return D3D_OK;
}

HRESULT DeviceBase::GetLightEnable(DWORD index, BOOL* enable) {
  auto it = m_geometry.lights.find(index);
  if (!enable || it == m_geometry.lights.end()) return D3DERR_INVALIDCALL;
  *enable = it->second.enabled ? 1 : 0;
  return D3D_OK;
}

HRESULT DeviceBase::SetMaterial(const D3DMATERIAL9* material) {
  if (!material) return D3DERR_INVALIDCALL;
  m_geometry.material = *material;
  return D3D_OK;
}

HRESULT DeviceBase::GetMaterial(D3DMATERIAL9* material) {
  if (!material) return D3DERR_INVALIDCALL;
  *material = m_geometry.material;
  return D3D_OK;
}

HRESULT DeviceBase::SetClipPlane(DWORD index, const float* plane) {
  if (!plane || index >= kMaxClipPlanes) return D3DERR_INVALIDCALL;
  std::copy(plane, plane + 4, m_geometry.clipPlanes[index].begin());
  return D3D_OK;
}

HRESULT DeviceBase::GetClipPlane(DWORD index, float* plane) {
  if (!plane || index >= kMaxClipPlanes) return D3DERR_INVALIDCALL;
  std::copy(m_geometry.clipPlanes[index].begin(), m_geometry.clipPlanes[index].end(), plane);
  return D3D_OK;
}
