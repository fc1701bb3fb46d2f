// Mesh batches: drawing, dynamic geometry buffers and static meshes.
#include "render/mesh_batch.h"

#include <algorithm>
#include <cstring>

#include "foundation/profiler.h"
#include "foundation/report.h"
#include "render/render_pipeline.h"
#include "render/shader_pass.h"
#include "render/stage_plan.h"

namespace {

constexpr int kLargest16BitVertexCount = 65536;

}  // namespace

MeshBatch::MeshBatch(RenderPipeline* owningPipeline, SurfaceStagePlan* plan, Surface* surface)
    : pipeline(owningPipeline),
      owner(surface),
      layout(std::make_unique<VertexLayout>(owningPipeline, plan)),
      vertexBuffers(owningPipeline->devices.size()),
      indexBuffers(owningPipeline->devices.size()) {}

MeshBatch::~MeshBatch() = default;

void MeshBatch::draw(ShaderPass* pass, double t) {
  IDirect3DDevice9* device = pipeline->currentDevice;
  const auto index = static_cast<std::size_t>(pipeline->currentDeviceIndex);
  if (!device || !pass || index >= vertexBuffers.size()) return;
  {
    ProfileScope timed(GameCounter::kSvpSwitch);
    device->SetSoftwareVertexProcessing(layout->softwareProcessing);
  }
  {
    ProfileScope timed(GameCounter::kSetStates);
    pass->binding = layout->format;
    if (owner) pass->applySurface(*owner, t);
    device->SetVertexDeclaration(layout->declaration(static_cast<int>(index)));
    if (pass->activate() && owner) pass->bindSamplers(*owner, t);
  }
  {
    ProfileScope timed(GameCounter::kSetSources);
    device->SetStreamSource(0, vertexBuffers[index].get(), 0, static_cast<UINT>(layout->stride));
    device->SetIndices(indexBuffers[index].get());
  }
  {
    ProfileScope timed(GameCounter::kDrawIndexedPrimitive);
    device->DrawIndexedPrimitive(primitiveType, 0, 0, static_cast<UINT>(vertexCount), 0,
                                 static_cast<UINT>(primitiveCount));
  }
  pipeline->drawCallCount += 1;
  pipeline->primitiveCount += primitiveCount;
}

bool GeometryBuffer::create(bool staticVertices, bool staticIndices, int vertices, int indexTotal) {
  if (created) return false;
  if (vertices <= 0 || indexTotal <= 0) {
    reportError("GeometryBuffer: %d vertices and %d indices cannot make a buffer\n", vertices, indexTotal);
    return false;
  }
  vertexUsage = indexUsage = 0;
  if (layout->softwareProcessing) vertexUsage = indexUsage = D3DUSAGE_SOFTWAREPROCESSING;
  vertexUsage |= D3DUSAGE_WRITEONLY | (staticVertices ? 0 : D3DUSAGE_DYNAMIC);
  indexUsage |= D3DUSAGE_WRITEONLY | (staticIndices ? 0 : D3DUSAGE_DYNAMIC);
  const std::uint64_t bytes =
      std::uint64_t{static_cast<std::uint32_t>(layout->stride)} * static_cast<std::uint32_t>(vertices);
  // Skinned meshes take their vertex counts from data: past 65,536 vertices
  // 16-bit indices would silently lose the high bits.
  const bool wide = vertices > kLargest16BitVertexCount;
  if (wide && pipeline->caps.MaxVertexIndex <= 0xFFFF) {
    reportError("GeometryBuffer: %d vertices need 32-bit indices, which the device lacks\n", vertices);
    return false;
  }
  const std::uint64_t ibytes = std::uint64_t{static_cast<std::uint32_t>(indexTotal)} * (wide ? 4 : 2);
  if (bytes > 0x7FFFFFFF || ibytes > 0x7FFFFFFF) {
    reportError("GeometryBuffer: buffers of %llu and %llu bytes are too large\n",
                static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(ibytes));
    return false;
  }
  vertexBytes = static_cast<std::int32_t>(bytes);
  const D3DPOOL vertexPool = staticVertices ? D3DPOOL_MANAGED : D3DPOOL_DEFAULT;
  for (std::size_t i = 0; i < pipeline->devices.size(); ++i) {
    if (FAILED(pipeline->devices[i]->CreateVertexBuffer(static_cast<UINT>(vertexBytes), vertexUsage, 0, vertexPool,
                                                        vertexBuffers[i].put(), nullptr)))
      return false;
  }
  indexBytes = static_cast<std::int32_t>(ibytes);
  indexFormat = wide ? D3DFMT_INDEX32 : D3DFMT_INDEX16;
  const D3DPOOL indexPool = staticIndices ? D3DPOOL_MANAGED : D3DPOOL_DEFAULT;
  for (std::size_t i = 0; i < pipeline->devices.size(); ++i) {
    if (FAILED(pipeline->devices[i]->CreateIndexBuffer(static_cast<UINT>(indexBytes), indexUsage, indexFormat,
                                                       indexPool, indexBuffers[i].put(), nullptr)))
      return false;
  }
  m_vertexCapacity = vertices;
  m_indexCapacity = indexTotal;
  created = true;
  return true;
}

bool GeometryBuffer::fill(const SourceVertex* vertices, int count) {
  if (!created || count < 0 || (count > 0 && !vertices)) return false;
  if (count > m_vertexCapacity) {
    reportError("GeometryBuffer: %d vertices do not fit a buffer of %d\n", count, m_vertexCapacity);
    return false;
  }
  vertexCount = count;
  const DWORD flags = (vertexUsage & D3DUSAGE_DYNAMIC) ? D3DLOCK_DISCARD : 0;
  for (auto& buffer : vertexBuffers) {
    void* data = nullptr;
    if (!buffer || FAILED(buffer->Lock(0, 0, &data, flags))) continue;
    auto* at = static_cast<std::uint8_t*>(data);
    for (int i = 0; i < count; ++i) packVertex(vertices[i], at + static_cast<std::size_t>(i) * layout->stride, *layout);
    buffer->Unlock();
  }
  return true;
}

bool GeometryBuffer::setIndices(const std::uint32_t* source, int count) {
  if (primitiveType != 0 && primitiveType != D3DPT_TRIANGLELIST) return false;
  if (!created || count < 0 || (count > 0 && !source)) return false;
  if (count > m_indexCapacity) {
    reportError("GeometryBuffer: %d indices do not fit a buffer of %d\n", count, m_indexCapacity);
    return false;
  }
  for (int i = 0; i < count; ++i) {
    if (source[i] >= static_cast<std::uint32_t>(m_vertexCapacity)) {
      reportError("GeometryBuffer: index %u names no vertex of %d\n", source[i], m_vertexCapacity);
      return false;
    }
  }
  primitiveCount = count / 3;
  indexCount = count;
  primitiveType = D3DPT_TRIANGLELIST;
  const DWORD flags = (indexUsage & D3DUSAGE_DYNAMIC) ? D3DLOCK_DISCARD : 0;
  for (auto& buffer : indexBuffers) {
    void* data = nullptr;
    if (!buffer || FAILED(buffer->Lock(0, 0, &data, flags))) continue;
    if (indexFormat == D3DFMT_INDEX32) {
      std::memcpy(data, source, static_cast<std::size_t>(count) * 4);
    } else {
      auto* out = static_cast<std::uint16_t*>(data);
      for (int i = 0; i < count; ++i) out[i] = static_cast<std::uint16_t>(source[i]);
    }
    buffer->Unlock();
  }
  return true;
}

void GeometryBuffer::onDeviceLost() {
  if (vertexUsage & D3DUSAGE_DYNAMIC)
    for (auto& buffer : vertexBuffers) buffer.reset();
  if (indexUsage & D3DUSAGE_DYNAMIC)
    for (auto& buffer : indexBuffers) buffer.reset();
}

void GeometryBuffer::onDeviceReset() {
  if (!created) return;
  for (std::size_t i = 0; i < pipeline->devices.size(); ++i) {
    if ((vertexUsage & D3DUSAGE_DYNAMIC) && !vertexBuffers[i])
      pipeline->devices[i]->CreateVertexBuffer(static_cast<UINT>(vertexBytes), vertexUsage, 0, D3DPOOL_DEFAULT,
                                               vertexBuffers[i].put(), nullptr);
    if ((indexUsage & D3DUSAGE_DYNAMIC) && !indexBuffers[i])
      pipeline->devices[i]->CreateIndexBuffer(static_cast<UINT>(indexBytes), indexUsage, indexFormat, D3DPOOL_DEFAULT,
                                              indexBuffers[i].put(), nullptr);
  }
}

bool StaticMeshBuffer::addVertices(const SourceVertex* source, int count) {
  if (created || count < 0 || (count > 0 && !source)) return false;
  const std::size_t stride = static_cast<std::size_t>(layout->stride);
  const std::size_t start = static_cast<std::size_t>(vertexCount) * stride;
  vertexCount += count;
  vertexData.resize(static_cast<std::size_t>(vertexCount) * stride, 0);
  for (int i = 0; i < count; ++i) packVertex(source[i], vertexData.data() + start + i * stride, *layout);
  return true;
}

bool StaticMeshBuffer::addTriangles(const std::uint32_t* source, int count) {
  if (created || (primitiveType != 0 && primitiveType != D3DPT_TRIANGLELIST)) return false;
  if (count < 0 || (count > 0 && !source)) return false;
  const int whole = count / 3 * 3;  // a trailing partial triangle is dropped
  primitiveCount += whole / 3;
  primitiveType = D3DPT_TRIANGLELIST;
  indices.insert(indices.end(), source, source + whole);
  indexCount += whole;
  return true;
}

bool StaticMeshBuffer::build() {
  if (created) return false;
  vertexUsage = indexUsage = (layout->softwareProcessing ? D3DUSAGE_SOFTWAREPROCESSING : 0) | D3DUSAGE_WRITEONLY;
  computeTangentFrames(*layout, vertexData.data(), indices.data(), indexCount, vertexCount);
  vertexBytes = static_cast<std::int32_t>(vertexData.size());
  for (std::size_t i = 0; i < pipeline->devices.size(); ++i) {
    IDirect3DDevice9* device = pipeline->devices[i];
    if (vertexBytes > 0) {
      if (FAILED(device->CreateVertexBuffer(static_cast<UINT>(vertexBytes), vertexUsage, 0, D3DPOOL_MANAGED,
                                            vertexBuffers[i].put(), nullptr)))
        return false;
      void* data = nullptr;
      if (SUCCEEDED(vertexBuffers[i]->Lock(0, 0, &data, 0))) {
        std::memcpy(data, vertexData.data(), vertexData.size());
        vertexBuffers[i]->Unlock();
      }
      vertexBuffers[i]->PreLoad();
    }
  }

  const std::uint32_t largest = indices.empty() ? 0 : *std::max_element(indices.begin(), indices.end());
  const DWORD maxIndex = pipeline->caps.MaxVertexIndex;
  std::uint32_t size = 2;
  if (maxIndex < 65536 || largest < 65536) {
    indexFormat = D3DFMT_INDEX16;
    if (largest > 65535) reportAssertion("maxVertexIndex <= 65535 && \"too many indices\"");
  } else {
    indexFormat = D3DFMT_INDEX32;
    size = 4;
    if (largest > maxIndex) reportAssertion("maxVertexIndex <= maxIndex && \"too many indices\"");
  }
  indexBytes = static_cast<std::int32_t>(static_cast<std::uint32_t>(indexCount) * size);
  for (std::size_t i = 0; i < pipeline->devices.size(); ++i) {
    if (indexBytes == 0) break;
    if (FAILED(pipeline->devices[i]->CreateIndexBuffer(static_cast<UINT>(indexBytes), indexUsage, indexFormat,
                                                       D3DPOOL_MANAGED, indexBuffers[i].put(), nullptr)))
      return false;
    void* data = nullptr;
    if (SUCCEEDED(indexBuffers[i]->Lock(0, 0, &data, 0))) {
      if (size == 4) {
        std::memcpy(data, indices.data(), indices.size() * 4);
      } else {
        auto* out = static_cast<std::uint16_t*>(data);
        for (std::size_t k = 0; k < indices.size(); ++k) out[k] = static_cast<std::uint16_t>(indices[k]);
      }
      indexBuffers[i]->Unlock();
    }
    indexBuffers[i]->PreLoad();
  }
  created = true;
  return true;
}
