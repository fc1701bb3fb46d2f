// The geometry and lighting half of the device state (bound declaration,
// stream, indices, lights, material, clip planes) and the checked draw that
// both device implementations receive.
#pragma once

#include <array>
#include <map>
#include <vector>

#include "platform/graphics/d3d9_buffers.h"

struct LightSlot {
  D3DLIGHT9 light{};
  bool enabled = false;
};

struct GeometryState {
  ComPtr<IDirect3DVertexDeclaration9> declaration;
  ComPtr<IDirect3DVertexBuffer9> stream;
  UINT streamOffset = 0;
  UINT streamStride = 0;
  ComPtr<IDirect3DIndexBuffer9> indices;
  std::map<DWORD, LightSlot> lights;  // by index; any index is allowed
  D3DMATERIAL9 material{};
  std::array<std::array<float, 4>, kMaxClipPlanes> clipPlanes{};

  void setDefaults() { *this = GeometryState{}; }
  int enabledLightCount() const;
};

// Direct3D's light for LightEnable on an index never set.
D3DLIGHT9 defaultLight();

// A draw after every check: the vertex bytes (first vertex at `vertices`,
// `vertexCount` whole vertices readable), the indices (null for a
// non-indexed draw) and the element count GL needs.
struct CheckedDraw {
  D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
  const VertexFormat* format = nullptr;
  const BYTE* vertices = nullptr;
  UINT stride = 0;
  UINT vertexCount = 0;
  const void* indices = nullptr;  // relative to `vertices`
  UINT indexSize = 0;             // 2 or 4
  UINT elementCount = 0;          // vertices or indices the primitives use
  // The buffers the bytes above lie in; null for draws from memory.
  const MemoryBuffer* vertexSource = nullptr;
  const MemoryBuffer* indexSource = nullptr;
};

// Elements (vertices or indices) that `count` primitives of `type` use; 0
// for an unknown type.
UINT primitiveElementCount(D3DPRIMITIVETYPE type, UINT count);
