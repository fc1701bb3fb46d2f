// Vertex and index buffers and vertex declarations shared by both device
// implementations: contents live in memory, so a draw on either backend reads
// the bytes the last lock wrote.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics/d3d9.h"

// Counts the live D3DPOOL_DEFAULT resources of one device; shared with the
// resources so that one outliving its device does no harm.
struct DefaultPoolCounter {
  int live = 0;
};

// What a draw needs to know of a buffer without knowing its interface.
class MemoryBuffer {
 public:
  MemoryBuffer(UINT length, DWORD usage, D3DPOOL pool, std::shared_ptr<DefaultPoolCounter> counter);
  ~MemoryBuffer();
  MemoryBuffer(const MemoryBuffer&) = delete;
  MemoryBuffer& operator=(const MemoryBuffer&) = delete;

  HRESULT lock(UINT offset, UINT size, void** data, DWORD flags);
  HRESULT unlock();

  const BYTE* bytes() const { return m_bytes.data(); }
  UINT length() const { return static_cast<UINT>(m_bytes.size()); }
  DWORD usage() const { return m_usage; }
  D3DPOOL pool() const { return m_pool; }
  // Grows on every unlock, so a backend can tell when to send the bytes again.
  unsigned version() const { return m_version; }

  // A backend's copy of the bytes on its device (a GL buffer object), made
  // at the first draw that reads the buffer and dropped with it.
  struct DeviceCopy {
    virtual ~DeviceCopy() = default;
  };
  mutable std::unique_ptr<DeviceCopy> deviceCopy;

 private:
  std::vector<BYTE> m_bytes;
  DWORD m_usage;
  D3DPOOL m_pool;
  int m_locks = 0;
  unsigned m_version = 0;
  std::shared_ptr<DefaultPoolCounter> m_counter;
};

class MemoryVertexBuffer final : public IDirect3DVertexBuffer9 {
 public:
  MemoryVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, std::shared_ptr<DefaultPoolCounter> counter)
      : m_buffer(length, usage, pool, std::move(counter)), m_fvf(fvf) {}
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  void PreLoad() override {}
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override {
    return m_buffer.lock(offset, size, data, flags);
  }
  HRESULT Unlock() override { return m_buffer.unlock(); }
  const MemoryBuffer& buffer() const { return m_buffer; }

 private:
  MemoryBuffer m_buffer;
  DWORD m_fvf;
};

class MemoryIndexBuffer final : public IDirect3DIndexBuffer9 {
 public:
  MemoryIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                    std::shared_ptr<DefaultPoolCounter> counter)
      : m_buffer(length, usage, pool, std::move(counter)), m_format(format) {}
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
  void PreLoad() override {}
  HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override {
    return m_buffer.lock(offset, size, data, flags);
  }
  HRESULT Unlock() override { return m_buffer.unlock(); }
  const MemoryBuffer& buffer() const { return m_buffer; }
  D3DFORMAT format() const { return m_format; }
  UINT indexSize() const { return m_format == D3DFMT_INDEX32 ? 4 : 2; }
  // The largest of `count` indices from `start` (the caller checked the
  // range); remembered until the next unlock, since meshes redraw the same
  // ranges every frame.
  DWORD largestIndex(UINT start, UINT count) const;

 private:
  MemoryBuffer m_buffer;
  D3DFORMAT m_format;
  struct RangeCache {
    bool valid = false;
    unsigned version = 0;
    UINT start = 0, count = 0;
    DWORD largest = 0;
  };
  mutable RangeCache m_range;
};

// A declaration reduced to what the fixed-function stage reads: where each
// input sits in the vertex and in which type. Offset -1: not present.
struct VertexInput {
  int offset = -1;
  BYTE type = D3DDECLTYPE_UNUSED;
};

struct VertexFormat {
  VertexInput position;  // POSITION0 or POSITIONT0
  bool pretransformed = false;
  VertexInput normal;
  VertexInput color[2];
  VertexInput texcoord[8];
  VertexInput blendWeight, blendIndices;
  UINT minimumStride = 0;  // bytes the elements cover
};

// Components an element type carries (0 for unknown types).
int declTypeComponents(BYTE type);
int declTypeBytes(BYTE type);

class MemoryVertexDeclaration final : public IDirect3DVertexDeclaration9 {
 public:
  // Null with a reason when the elements cannot be drawn here.
  static MemoryVertexDeclaration* create(const D3DVERTEXELEMENT9* elements);
  HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) override;
  const VertexFormat& format() const { return m_format; }

 private:
  MemoryVertexDeclaration() = default;
  std::vector<D3DVERTEXELEMENT9> m_elements;  // with the end marker
  VertexFormat m_format;
};
