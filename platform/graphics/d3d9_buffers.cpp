// Memory-backed buffers and declarations (see d3d9_buffers.h).
#include "platform/graphics/d3d9_buffers.h"
#include "platform/little_endian.h"

#include <algorithm>

MemoryBuffer::MemoryBuffer(UINT length, DWORD usage, D3DPOOL pool, std::shared_ptr<DefaultPoolCounter> counter)
    : m_bytes(length), m_usage(usage), m_pool(pool), m_counter(std::move(counter)) {
  if (m_pool == D3DPOOL_DEFAULT && m_counter) ++m_counter->live;
}

MemoryBuffer::~MemoryBuffer() {
  if (m_pool == D3DPOOL_DEFAULT && m_counter) --m_counter->live;
}

HRESULT MemoryBuffer::lock(UINT offset, UINT size, void** data, DWORD) {
  if (!data) return D3DERR_INVALIDCALL;
  *data = nullptr;
  const std::uint64_t end = size == 0 ? m_bytes.size() : std::uint64_t{offset} + size;
  if (offset > m_bytes.size() || end > m_bytes.size()) return D3DERR_INVALIDCALL;
  // DISCARD abandons the old contents; keeping them is as good, since the
  // caller rewrites what it draws.
  *data = m_bytes.data() + offset;
  ++m_locks;
  return D3D_OK;
}

HRESULT MemoryBuffer::unlock() {
  if (m_locks == 0) return D3DERR_INVALIDCALL;
  --m_locks;
  ++m_version;
  return D3D_OK;
}

HRESULT MemoryVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  *desc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, m_buffer.usage(), m_buffer.pool(), m_buffer.length(), m_fvf};
  return D3D_OK;
}

HRESULT MemoryIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  *desc = {m_format, D3DRTYPE_INDEXBUFFER, m_buffer.usage(), m_buffer.pool(), m_buffer.length()};
  return D3D_OK;
}

DWORD MemoryIndexBuffer::largestIndex(UINT start, UINT count) const {
  if (m_range.valid && m_range.version == m_buffer.version() && m_range.start == start && m_range.count == count)
    return m_range.largest;
  const UINT size = indexSize();
  const BYTE* bytes = m_buffer.bytes() + std::uint64_t{start} * size;
  DWORD largest = 0;
  for (UINT i = 0; i < count; ++i) {
    const DWORD index = size == 2 ? loadLe16(bytes + 2 * i) : loadLe32(bytes + 4 * i);
    largest = std::max(largest, index);
  }
  m_range = {true, m_buffer.version(), start, count, largest};
  return largest;
}

int declTypeComponents(BYTE type) {
  switch (type) {
    case D3DDECLTYPE_FLOAT1:
      return 1;
    case D3DDECLTYPE_FLOAT2:
      return 2;
    case D3DDECLTYPE_FLOAT3:
      return 3;
    case D3DDECLTYPE_FLOAT4:
    case D3DDECLTYPE_D3DCOLOR:
    case D3DDECLTYPE_UBYTE4:
      return 4;
    default:
      return 0;
  }
}

int declTypeBytes(BYTE type) {
  switch (type) {
    case D3DDECLTYPE_D3DCOLOR:
    case D3DDECLTYPE_UBYTE4:
      return 4;
    default:
      return 4 * declTypeComponents(type);
  }
}

MemoryVertexDeclaration* MemoryVertexDeclaration::create(const D3DVERTEXELEMENT9* elements) {
  if (!elements) return nullptr;
  auto* decl = new MemoryVertexDeclaration;
  VertexFormat& f = decl->m_format;
  // Direct3D allows at most 64 elements; an unterminated list stops there.
  for (int i = 0;; ++i) {
    if (i >= 64) {
      decl->Release();
      return nullptr;
    }
    const D3DVERTEXELEMENT9& e = elements[i];
    decl->m_elements.push_back(e);
    if (e.Stream == 0xFF) break;
    const int bytes = declTypeBytes(e.Type);
    if (e.Stream != 0 || bytes == 0 || e.Method != D3DDECLMETHOD_DEFAULT) {
      decl->Release();
      return nullptr;
    }
    f.minimumStride = std::max<UINT>(f.minimumStride, e.Offset + static_cast<UINT>(bytes));
    const VertexInput input{e.Offset, e.Type};
    auto place = [&](VertexInput& slot) {
      if (slot.offset >= 0) return false;  // the same usage twice
      slot = input;
      return true;
    };
    bool ok = true;
    switch (e.Usage) {
      case D3DDECLUSAGE_POSITION:
      case D3DDECLUSAGE_POSITIONT:
        if (e.UsageIndex == 0) {
          ok = place(f.position);
          f.pretransformed = e.Usage == D3DDECLUSAGE_POSITIONT;
        }
        break;
      case D3DDECLUSAGE_NORMAL:
        if (e.UsageIndex == 0) ok = place(f.normal);
        break;
      case D3DDECLUSAGE_COLOR:
        if (e.UsageIndex < 2) ok = place(f.color[e.UsageIndex]);
        break;
      case D3DDECLUSAGE_TEXCOORD:
        if (e.UsageIndex < 8) ok = place(f.texcoord[e.UsageIndex]);
        break;
      case D3DDECLUSAGE_BLENDWEIGHT:
        if (e.UsageIndex == 0) ok = place(f.blendWeight);
        break;
      case D3DDECLUSAGE_BLENDINDICES:
        if (e.UsageIndex == 0) ok = place(f.blendIndices);
        break;
      default:
        break;  // read by shaders only
    }
    if (!ok) {
      decl->Release();
      return nullptr;
    }
  }
  return decl;
}

HRESULT MemoryVertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) {
  if (!count) return D3DERR_INVALIDCALL;
  *count = static_cast<UINT>(m_elements.size());
  if (elements) std::copy(m_elements.begin(), m_elements.end(), elements);
  return D3D_OK;
}
