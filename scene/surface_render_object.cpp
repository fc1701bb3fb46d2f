#include "scene/surface_render_object.h"

#include <algorithm>

#include "foundation/report.h"
#include "render/render_pipeline.h"
#include "render/surface.h"
#include "render/vertex_map.h"
#include "scene/lwo_model.h"

SurfaceRenderObject::SurfaceRenderObject(RenderPipeline* pipeline, LWOModel* model,
                                         std::vector<SurfacePolygon> polygonList, std::vector<Position3> pointList,
                                         const std::vector<VertexMap*>& maps)
    : SceneNode(pipeline, model), points(std::move(pointList)), polygons(std::move(polygonList)), vertexMaps(maps) {
  for (VertexMap* map : vertexMaps) {
    if (map) map->addRef();
  }
  cornerCount = static_cast<std::int32_t>(points.size());
}

SurfaceRenderObject::~SurfaceRenderObject() {
  // Batches refer to the stage plans; they go first.
  batches.clear();
  stagePlans.clear();
  releaseVertexMaps();
}

void SurfaceRenderObject::releaseVertexMaps() {
  for (VertexMap* map : vertexMaps) {
    if (map) map->release();
  }
  vertexMaps.clear();
}

std::size_t SurfaceRenderObject::surfaceCount() const { return link ? link->surfaces.size() : 0; }

Surface* SurfaceRenderObject::surfaceAt(std::uint32_t index) const {
  return index < surfaceCount() ? link->surfaces[index] : nullptr;
}

SceneNode* SurfaceRenderObject::resolve() {
  if (words[1] == 0) {
    if (points.empty()) {
      setBox({0, 0, 0}, {0, 0, 0});
    } else {
      Position3 lo = points[0], hi = points[0];
      for (const Position3& p : points) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
      }
      setBox(lo, hi);
    }
    words[1] = reinterpret_cast<std::uintptr_t>(points.data());
  }
  return this;
}

void SurfaceRenderObject::beginFrame() {
  drawnThisFrame = false;
  const std::size_t n = std::min<std::size_t>(bones.size(), kBonePaletteSize);
  for (std::size_t i = 0; i < n; ++i) bones[i]->invalidate();
}

void SurfaceRenderObject::onDeviceReset() {
  for (auto& batch : batches) batch->onDeviceReset();
}

void SurfaceRenderObject::onDeviceLost() {
  for (auto& batch : batches) batch->onDeviceLost();
}

VertexMap* SurfaceRenderObject::findVertexMap(const std::string& mapName) const {
  for (VertexMap* map : vertexMaps) {
    if (map && map->name == mapName) return map;
  }
  return nullptr;
}

bool SurfaceRenderObject::prepare(bool keep) {
  if (boundsReady) return true;
  // The build consumes its input (compacted polygons, released maps): a
  // failed object only retries its device buffers.
  if (!m_built) {
    keepGeometry = keep || !bones.empty();
    cornerCount = 0;
    resolve();
    dropDegeneratePolygons();
    buildGeometry();
    m_built = true;
  }
  bool ok = true;
  for (std::size_t b = 0; b < batches.size(); ++b) {
    if (bones.empty()) {
      ok = batches[b]->build() && ok;
      continue;
    }
    auto* buffer = static_cast<GeometryBuffer*>(batches[b].get());
    const int vertexCount = cache.batchVertexEnd[b] - cache.batchVertexStart[b];
    const int indexCount = cache.batchIndexEnd[b] - cache.batchIndexStart[b];
    if (!buffer->create(false, true, vertexCount, indexCount)) {
      ok = false;
      continue;
    }
    buffer->setIndices(cache.batchLocalIndices[b].data(), indexCount);
  }
  boundsReady = ok;
  return ok;
}

void SurfaceRenderObject::dropDegeneratePolygons() {
  std::vector<SurfacePolygon> kept;
  kept.reserve(polygons.size());
  const std::size_t surfaces = surfaceCount();
  int badReferences = 0;
  for (std::size_t i = 0; i < polygons.size(); ++i) {
    SurfacePolygon& polygon = polygons[i];
    if (polygon.points.size() < 3) continue;
    // Indices come from the file: a corner past the points or a surface the
    // model does not have would be read out of bounds later.
    const bool pointsOk = std::all_of(polygon.points.begin(), polygon.points.end(), [&](std::int32_t p) {
      return p >= 0 && static_cast<std::size_t>(p) < points.size();
    });
    if (!pointsOk || polygon.surface >= surfaces) {
      ++badReferences;
      continue;
    }
    polygon.owner = this;
    polygon.sourceIndex = static_cast<std::int32_t>(i);
    cornerCount += static_cast<std::int32_t>(polygon.points.size());
    kept.push_back(std::move(polygon));
  }
  if (badReferences > 0) {
    reportError("%s: %d polygons refer to points or surfaces the object does not have\n", name.c_str(), badReferences);
  }
  polygons = std::move(kept);
}
