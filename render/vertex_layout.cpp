// Vertex layouts, packing and tangent frames.
#include "render/vertex_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/render_pipeline.h"
#include "render/stage_plan.h"
#include "render/surface.h"

namespace {

void put(std::uint8_t* at, const void* data, std::size_t bytes) { std::memcpy(at, data, bytes); }

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

Vec3 read3(const std::uint8_t* at) {
  Vec3 v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

void write3(std::uint8_t* at, const Vec3& v) { std::memcpy(at, &v, sizeof v); }

Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 normalized(Vec3 v) {
  const float length = std::sqrt(dot(v, v));
  return length != 0.0f ? v * (1.0f / length) : v;
}

}  // namespace

VertexElementList buildVertexElements(const SurfaceStagePlan& plan) {
  VertexElementList out;
  WORD offset = 0;
  auto add = [&](BYTE type, BYTE usage, BYTE index, WORD bytes) {
    out.elements.push_back({0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index});
    offset = static_cast<WORD>(offset + bytes);
  };
  add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0, 12);
  add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0, 12);
  if (plan.vertexColorLayer) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0, 4);
  BYTE texIndex = 0;
  const int stages = std::min<std::int32_t>(plan.stageCount, kMaxPlanStages);
  for (int i = 0; i < stages; ++i) {
    out.texcoordOffset = offset;
    const bool animated = plan.stages[i] && plan.stages[i]->hasAnimatedMapping();
    add(animated ? D3DDECLTYPE_FLOAT3 : D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, texIndex++, animated ? 12 : 8);
  }
  if (plan.tangentFrames) {
    out.tangentOffset = offset;
    for (int i = 0; i < 4; ++i) add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_TEXCOORD, texIndex++, 12);
  }
  const int weights = std::clamp<std::int32_t>(plan.blendWeightCount, 0, 4);
  if (weights > 0) {
    add(D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, 0, 4);
    add(static_cast<BYTE>(D3DDECLTYPE_FLOAT1 + weights - 1), D3DDECLUSAGE_BLENDWEIGHT, 0,
        static_cast<WORD>(4 * weights));
  }
  out.elements.push_back(D3DDECL_END());
  out.stride = offset;
  return out;
}

VertexLayout::VertexLayout(RenderPipeline* owner, SurfaceStagePlan* plan) : pipeline(owner), format(plan) {
  VertexElementList list = buildVertexElements(*plan);
  elements = std::move(list.elements);
  stride = list.stride;
  texcoordOffset = list.texcoordOffset;
  tangentOffset = list.tangentOffset;
  softwareProcessing = !pipeline->hardwareVertexShaders;
  declarations.resize(pipeline->devices.size());
  for (std::size_t i = 0; i < pipeline->devices.size(); ++i)
    if (pipeline->devices[i]) pipeline->devices[i]->CreateVertexDeclaration(elements.data(), declarations[i].put());
}

VertexLayout::~VertexLayout() = default;

void packVertex(const SourceVertex& source, std::uint8_t* destination, const VertexLayout& layout) {
  const SurfaceStagePlan& plan = *layout.format;
  std::uint8_t* at = destination;
  put(at, source.position, 12);
  put(at + 12, source.normal, 12);
  at += 24;
  if (plan.vertexColorLayer) {
    const float scale = plan.colorScale != 0 ? static_cast<float>(plan.colorScale) : 1.0f;
    const std::uint32_t packed =
        ColorRGBA{source.color[0] / scale, source.color[1] / scale, source.color[2] / scale, source.color[3]}
            .toD3DColor();
    put(at, &packed, 4);
    at += 4;
  }
  const int stages = std::min<std::int32_t>(plan.stageCount, kMaxPlanStages);
  for (int i = 0; i < stages; ++i) {
    const bool animated = plan.stages[i] && plan.stages[i]->hasAnimatedMapping();
    put(at, source.texcoord[i], animated ? 12 : 8);
    at += animated ? 12 : 8;
  }
  if (plan.tangentFrames) {
    std::memset(at, 0, 48);
    at += 48;
  }
  const int weights = std::clamp<std::int32_t>(plan.blendWeightCount, 0, 4);
  if (weights > 0) {
    put(at, source.blendIndices, 4);
    put(at + 4, source.blendWeights, 4 * static_cast<std::size_t>(weights));
  }
}

bool computeTangentFrames(VertexLayout& layout, std::uint8_t* vertices, const std::uint32_t* indices, int indexCount,
                          int vertexCount) {
  if (!layout.format->tangentFrames || !vertices || vertexCount <= 0) return true;
  const std::size_t stride = static_cast<std::size_t>(layout.stride);
  auto vertex = [&](std::uint32_t i) { return vertices + i * stride; };
  const int tangent = layout.tangentOffset;
  for (int t = 0; t + 2 < indexCount; t += 3) {
    const std::uint32_t i0 = indices[t], i1 = indices[t + 1], i2 = indices[t + 2];
    const auto count = static_cast<std::uint32_t>(vertexCount);
    if (i0 >= count || i1 >= count || i2 >= count) continue;
    const Vec3 p0 = read3(vertex(i0)), p1 = read3(vertex(i1)), p2 = read3(vertex(i2));
    float u0 = 0, u1 = 0, u2 = 0;
    std::memcpy(&u0, vertex(i0) + layout.texcoordOffset, 4);
    std::memcpy(&u1, vertex(i1) + layout.texcoordOffset, 4);
    std::memcpy(&u2, vertex(i2) + layout.texcoordOffset, 4);
    const Vec3 n0 = read3(vertex(i0) + 12);
    Vec3 tv = (p2 - p1) * (u0 - u1) - (p0 - p1) * (u2 - u1);
    Vec3 sv = cross(tv, n0);
    tv = normalized(tv);
    sv = normalized(sv);
    for (std::uint32_t i : {i0, i1, i2}) {
      std::uint8_t* block = vertex(i) + tangent;
      write3(block, read3(block) + sv);
      write3(block + 12, read3(block + 12) + tv);
    }
  }
  for (int i = 0; i < vertexCount; ++i) {
    std::uint8_t* v = vertex(static_cast<std::uint32_t>(i));
    std::uint8_t* block = v + tangent;
    const Vec3 first = normalized(read3(block)), second = normalized(read3(block + 12));
    write3(block, first);
    write3(block + 12, second);
    Vec3 third = cross(first, second);
    const Vec3 normal = normalized(read3(v + 12));
    write3(v + 12, normal);
    if (dot(normal, third) < 0.0f) third = third * -1.0f;
    write3(block + 24, third);
  }
  return true;
}
