// The geometry of one surface of one object as a vertex and an index buffer
// on every device, drawn through a render pass. StaticMeshBuffer collects
// packed vertices and triangles and builds managed buffers once;
// GeometryBuffer has fixed-size buffers its user rewrites (dynamic ones live
// in the default pool and follow the device's lost/reset cycle).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/d3d9.h"
#include "render/device_owner.h"
#include "render/vertex_layout.h"

class RenderPipeline;
class ShaderPass;
class Surface;
class SurfaceStagePlan;

class MeshBatch : public DeviceOwner {
 public:
  MeshBatch(RenderPipeline* pipeline, SurfaceStagePlan* plan, Surface* owner);
  virtual ~MeshBatch();
  MeshBatch(const MeshBatch&) = delete;
  MeshBatch& operator=(const MeshBatch&) = delete;

  // Surface states, declaration, samplers, buffers and one indexed draw on
  // the pipeline's current device.
  virtual void draw(ShaderPass* pass, double t);
  virtual bool build() = 0;
  virtual bool addVertices(const SourceVertex* vertices, int count) = 0;
  virtual bool addTriangles(const std::uint32_t* indices, int count) = 0;

  RenderPipeline* pipeline;
  Surface* owner;  // not owned
  std::unique_ptr<VertexLayout> layout;
  std::int32_t primitiveCount = 0;
  D3DPRIMITIVETYPE primitiveType = 0;
  DWORD vertexUsage = 0;
  std::int32_t vertexBytes = 0;
  std::int32_t vertexCount = 0;
  std::vector<std::uint8_t> vertexData;
  std::vector<ComPtr<IDirect3DVertexBuffer9>> vertexBuffers;  // one per device
  std::int32_t indexBytes = 0;
  DWORD indexUsage = 0;
  D3DFORMAT indexFormat = D3DFMT_INDEX16;
  std::int32_t indexCount = 0;
  std::vector<std::uint32_t> indices;
  std::vector<ComPtr<IDirect3DIndexBuffer9>> indexBuffers;  // one per device
  bool created = false;
};

class GeometryBuffer : public MeshBatch {
 public:
  using MeshBatch::MeshBatch;

  void onDeviceReset() override;
  void onDeviceLost() override;
  bool build() override { return true; }
  bool addVertices(const SourceVertex*, int) override { return true; }
  bool addTriangles(const std::uint32_t*, int) override { return true; }

  // Buffers for vertexCount vertices and indexCount indices on every
  // device; indices are 32-bit when more than 65,536 vertices need them.
  virtual bool create(bool staticVertices, bool staticIndices, int vertexCount, int indexCount);
  // Packs the vertices into every device's buffer. More than the buffer
  // holds is refused with a report.
  virtual bool fill(const SourceVertex* vertices, int count);
  // Triangle-list indices; refused (with a report) when they do not fit the
  // buffer or name a vertex the buffer cannot hold.
  bool setIndices(const std::uint32_t* indices, int count);

  int vertexCapacity() const { return m_vertexCapacity; }
  int indexCapacity() const { return m_indexCapacity; }

 private:
  int m_vertexCapacity = 0;
  int m_indexCapacity = 0;
};

class StaticMeshBuffer : public MeshBatch {
 public:
  using MeshBatch::MeshBatch;

  bool build() override;
  bool addVertices(const SourceVertex* vertices, int count) override;
  bool addTriangles(const std::uint32_t* indices, int count) override;
};
