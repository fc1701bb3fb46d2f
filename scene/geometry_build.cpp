// The build of a surface render object: from polygons of any corner count
// to welded, smoothed, skin-weighted vertices and one batch per surface.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "render/render_pipeline.h"
#include "render/surface.h"
#include "render/texture_layer.h"
#include "render/vertex_map.h"
#include "scene/lwo_model.h"
#include "scene/surface_render_object.h"
#include "scene/triangulate.h"

namespace {

Normal3 crossProduct(const Position3& a, const Position3& b, const Position3& c) {
  const float u[3] = {b.x - a.x, b.y - a.y, b.z - a.z}, v[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
  return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

float dot(const Normal3& a, const Normal3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

bool nearlyEqual(const float* a, const float* b, int n, float tolerance) {
  for (int i = 0; i < n; ++i) {
    if (std::fabs(a[i] - b[i]) > tolerance) return false;
  }
  return true;
}

// Distance from p to the bone's segment from s along d for length l.
double boneDistance(const float p[3], const float s[3], const float d[3], float length) {
  const double ps[3] = {p[0] - s[0], p[1] - s[1], p[2] - s[2]};
  const double e[3] = {s[0] + d[0] * length, s[1] + d[1] * length, s[2] + d[2] * length};
  const double pe[3] = {p[0] - e[0], p[1] - e[1], p[2] - e[2]};
  auto len = [](const double v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); };
  if (ps[0] * d[0] + ps[1] * d[1] + ps[2] * d[2] < 0.0) return len(ps);
  if (pe[0] * d[0] + pe[1] * d[1] + pe[2] * d[2] > 0.0) return len(pe);
  const double c[3] = {ps[1] * d[2] - ps[2] * d[1], ps[2] * d[0] - ps[0] * d[2], ps[0] * d[1] - ps[1] * d[0]};
  const double dl = std::sqrt(double{d[0]} * d[0] + double{d[1]} * d[1] + double{d[2]} * d[2]);
  return dl > 0.0 ? len(c) / dl : len(ps);
}

}  // namespace

Normal3 polygonFaceNormal(const SurfacePolygon& polygon, const std::vector<Position3>& points) {
  return crossProduct(points[polygon.points[0]], points[polygon.points[1]], points[polygon.points[2]]);
}

void SurfaceRenderObject::buildGeometry() {
  m_faceNormals.resize(polygons.size());
  for (std::size_t i = 0; i < polygons.size(); ++i) {
    m_faceNormals[i] = polygonFaceNormal(polygons[i], points);
    normalizeVector(m_faceNormals[i]);
  }
  triangulatePolygons();
  buildVertices();
  smoothNormals();

  for (std::size_t s = 0; s < surfaceCount(); ++s) {
    auto plan = std::make_unique<SurfaceStagePlan>(*link->surfaces[s]);
    if (pipeline && !pipeline->fixedFunction) {
      plan->blendWeightCount = cache.influenceCount;
      plan->tangentFrames = plan->bumpCount >= 1;
    }
    stagePlans.push_back(std::move(plan));
  }
  std::int32_t first = 0;
  for (const SurfacePolygon& polygon : polygons) {
    SurfaceStagePlan& plan = *stagePlans[polygon.surface];
    const std::int32_t corners = static_cast<std::int32_t>(polygon.points.size());
    const Normal3& n = m_faceNormals[static_cast<std::size_t>(&polygon - polygons.data())];
    const float normal[3] = {n.x, n.y, n.z};
    const MappedPolygon mapped{polygon.sourceIndex, corners, polygon.points.data()};
    generateTextureCoords(plan, cache.vertices.data(), first, mapped, normal, index);
    fillVertexColors(plan, cache.vertices.data(), first, corners, polygon.points.data(), index, polygon.sourceIndex);
    first += corners;
  }
  weldAndGroup();
  createBatches();
  if (!bones.empty()) cache.skinnedVertices = cache.vertices;
  releaseVertexMaps();
  if (!keepGeometry) {
    cache.vertices = {};
    cache.indices = {};
    cache.batchSurface.clear();
    cache.batchIndexStart.clear();
    cache.batchVertexStart.clear();
    cache.batchVertexEnd.clear();
    cache.batchIndexEnd.clear();
    cache.batchLocalIndices.clear();
  }
  cache.triangleSurfaces = {};
  m_faceNormals = {};
}

void SurfaceRenderObject::triangulatePolygons() {
  std::vector<std::uint32_t> indices, surfaces;
  std::uint32_t first = 0;
  std::vector<Position3> corners;
  for (const SurfacePolygon& polygon : polygons) {
    corners.clear();
    for (std::int32_t p : polygon.points) corners.push_back(points[p]);
    const Surface* surface = surfaceAt(polygon.surface);
    const std::int32_t back = surface ? surface->backSurfaceIndex : -1;
    const bool hasBack = back >= 0 && static_cast<std::size_t>(back) < surfaceCount();
    for (const auto& [a, b, c] : triangulatePolygon(corners)) {
      indices.insert(indices.end(), {first + a, first + b, first + c});
      surfaces.push_back(polygon.surface);
      if (hasBack) {
        indices.insert(indices.end(), {first + c, first + b, first + a});
        surfaces.push_back(static_cast<std::uint32_t>(back));
      } else if (surface && surface->doubleSided) {
        indices.insert(indices.end(), {first + c, first + b, first + a});
        surfaces.push_back(polygon.surface);
      }
    }
    first += static_cast<std::uint32_t>(polygon.points.size());
  }
  cache.indices = std::move(indices);
  cache.indexCount = static_cast<std::uint32_t>(cache.indices.size());
  cache.triangleSurfaces = std::move(surfaces);
}

void SurfaceRenderObject::buildVertices() {
  cache.vertices.assign(static_cast<std::size_t>(cornerCount), SourceVertex{});
  cache.influenceCount = static_cast<std::int32_t>(std::min<std::size_t>(bones.size(), 4));
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < polygons.size(); ++i) {
    for (std::int32_t point : polygons[i].points) {
      SourceVertex& vertex = cache.vertices[v];
      std::memcpy(vertex.position, &points[point], sizeof vertex.position);
      std::memcpy(vertex.normal, &m_faceNormals[i], sizeof vertex.normal);
      vertex.polygon = static_cast<std::uint32_t>(i);
      vertex.group = v;
      if (!bones.empty()) computeSkinWeights(vertex, point);
      ++v;
    }
  }
  cache.vertexCount = v;
}

void SurfaceRenderObject::computeSkinWeights(SourceVertex& vertex, std::int32_t point) {
  const std::size_t boneCount = std::min<std::size_t>(bones.size(), kBonePaletteSize);
  const int influences = static_cast<int>(std::min<std::size_t>(bones.size(), 4));
  cache.influenceCount = influences;
  // Exponent of the distance: 2 to the power (falloff type - 1).
  const double exponent = std::ldexp(1.0, boneFalloffType - 1);
  double tiny;  // the smallest distance term that still gives a finite weight
  const std::uint64_t tinyBits = 0x37F0000010000010ull;
  std::memcpy(&tiny, &tinyBits, sizeof tiny);

  std::vector<std::pair<std::size_t, float>> weights;
  weights.reserve(boneCount);
  for (std::size_t i = 0; i < boneCount; ++i) {
    BoneItem& bone = *bones[i];
    const Matrix4x3& rest = bone.computeRestMatrix(0.0);
    const double d = boneDistance(vertex.position, &rest.m[12], &rest.m[8], bone.restLength);
    const float k = (bone.scaleStrength ? bone.restLength : 1.0f) * bone.strength;
    const double q = std::pow(d, exponent);
    float w = q <= k * tiny ? FLT_MAX : static_cast<float>(k / q);
    if (bone.limitedRange) {
      const float r0 = bone.minRange, r1 = bone.maxRange;
      // A range of 0 would divide by zero: its term then counts as 0.
      w = r1 != 0.0f ? static_cast<float>((r1 - d) / r1) : 0.0f;
      if (d > r1) w = 0.0f;
      if (d < r0) w = k;
    }
    if (auto* map = dynamic_cast<WeightMap*>(findVertexMap(bone.weightMapName))) {
      const auto* value = map->valueFor(point, -1);
      w *= value ? (*value)[0] : 0.0f;
    }
    weights.emplace_back(i, w);
  }
  std::stable_sort(weights.begin(), weights.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  // Summed in double: two weights of FLT_MAX would overflow a float sum to
  // infinity and zero every weight.
  double sum = 0.0;
  for (int i = 0; i < influences; ++i) sum += weights[i].second;
  for (int i = 0; i < influences; ++i) {
    vertex.blendIndices[i] = static_cast<std::uint8_t>(weights[i].first & 0xFF);
    vertex.blendWeights[i] = sum > 0.0 ? static_cast<float>(weights[i].second / sum) : 0.0f;
  }
}

void SurfaceRenderObject::smoothNormals() {
  std::vector<std::vector<std::uint32_t>> byPoint(points.size());
  std::uint32_t v = 0;
  for (const SurfacePolygon& polygon : polygons) {
    for (std::int32_t point : polygon.points) byPoint[point].push_back(v++);
  }
  auto polygonOf = [&](std::uint32_t vertex) { return cache.vertices[vertex].polygon; };
  auto cosineOf = [&](std::uint32_t vertex) {
    const Surface* s = surfaceAt(polygons[polygonOf(vertex)].surface);
    return s ? s->smoothingCosine : 1.0f;
  };
  for (const auto& list : byPoint) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::uint32_t a = list[i];
      const Normal3& fa = m_faceNormals[polygonOf(a)];
      for (std::size_t j = i + 1; j < list.size(); ++j) {
        const std::uint32_t b = list[j];
        const Normal3& fb = m_faceNormals[polygonOf(b)];
        const float d = dot(fb, fa);
        float* na = cache.vertices[a].normal;
        float* nb = cache.vertices[b].normal;
        if (d >= cosineOf(a)) na[0] += fb.x, na[1] += fb.y, na[2] += fb.z;
        if (d >= cosineOf(b)) nb[0] += fa.x, nb[1] += fa.y, nb[2] += fa.z;
      }
      cache.vertices[a].group = list.front();
    }
  }
  for (SourceVertex& vertex : cache.vertices) normalizeVector(vertex.normal);
}

void SurfaceRenderObject::weldAndGroup() {
  std::vector<SourceVertex> newVertices;
  std::vector<std::uint32_t> newIndices;
  newVertices.reserve(cache.indexCount);
  newIndices.reserve(cache.indexCount);
  std::vector<std::int32_t> groupRemap(cache.vertexCount, -1);
  const std::size_t triangles = cache.indexCount / 3;
  for (std::size_t s = 0; s < surfaceCount(); ++s) {
    // Chains of new vertices per position group: first by group, then next
    // by new vertex.
    std::vector<std::int32_t> first(cache.vertexCount, -1), next;
    const std::uint32_t vStart = static_cast<std::uint32_t>(newVertices.size());
    const std::size_t iStart = newIndices.size();
    const int texSets = stagePlans[s]->stageCount;
    for (std::size_t t = 0; t < triangles; ++t) {
      if (cache.triangleSurfaces[t] != s) continue;
      std::uint32_t made[3];
      for (int corner = 0; corner < 3; ++corner) {
        const SourceVertex& v = cache.vertices[cache.indices[t * 3 + corner]];
        const std::uint32_t g = v.group;
        std::int32_t w = first[g], last = -1;
        for (; w >= 0; last = w, w = next[w - vStart]) {
          const SourceVertex& c = newVertices[w];
          bool same = nearlyEqual(c.normal, v.normal, 3, 1e-6f) && std::memcmp(c.color, v.color, sizeof c.color) == 0;
          for (int k = 0; same && k < texSets; ++k) same = nearlyEqual(c.texcoord[k], v.texcoord[k], 3, 1e-6f);
          if (same) break;
        }
        if (w < 0) {
          w = static_cast<std::int32_t>(newVertices.size());
          newVertices.push_back(v);
          next.push_back(-1);
          if (last < 0) {
            first[g] = w;
          } else {
            next[last - vStart] = w;
          }
          if (groupRemap[g] < 0) groupRemap[g] = w;
          newVertices.back().group = static_cast<std::uint32_t>(groupRemap[g]);
        }
        made[corner] = static_cast<std::uint32_t>(w);
      }
      // A triangle whose corners welded together has no area left.
      if (made[0] != made[1] && made[1] != made[2] && made[0] != made[2]) {
        newIndices.insert(newIndices.end(), made, made + 3);
      }
    }
    if (newIndices.size() > iStart) {
      std::vector<std::uint32_t> local(newIndices.begin() + static_cast<std::ptrdiff_t>(iStart), newIndices.end());
      for (std::uint32_t& i : local) i -= vStart;
      cache.batchSurface.push_back(static_cast<std::int32_t>(s));
      cache.batchIndexStart.push_back(static_cast<std::int32_t>(iStart));
      cache.batchVertexStart.push_back(static_cast<std::int32_t>(vStart));
      cache.batchVertexEnd.push_back(static_cast<std::int32_t>(newVertices.size()));
      cache.batchIndexEnd.push_back(static_cast<std::int32_t>(newIndices.size()));
      cache.batchLocalIndices.push_back(std::move(local));
    }
  }
  cache.vertices = std::move(newVertices);
  cache.indices = std::move(newIndices);
  cache.vertexCount = static_cast<std::uint32_t>(cache.vertices.size());
  cache.indexCount = static_cast<std::uint32_t>(cache.indices.size());
}

void SurfaceRenderObject::createBatches() {
  for (std::size_t b = 0; b < cache.batchSurface.size(); ++b) {
    const auto s = static_cast<std::size_t>(cache.batchSurface[b]);
    SurfaceStagePlan* plan = stagePlans[s].get();
    Surface* surface = link->surfaces[s];
    std::unique_ptr<MeshBatch> batch;
    if (bones.empty()) {
      batch = std::make_unique<StaticMeshBuffer>(pipeline, plan, surface);
    } else {
      batch = std::make_unique<GeometryBuffer>(pipeline, plan, surface);
    }
    batch->addTriangles(cache.batchLocalIndices[b].data(), cache.batchIndexEnd[b] - cache.batchIndexStart[b]);
    batch->addVertices(cache.vertices.data() + cache.batchVertexStart[b],
                       cache.batchVertexEnd[b] - cache.batchVertexStart[b]);
    batches.push_back(std::move(batch));
  }
}
