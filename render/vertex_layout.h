// The interleaved vertex layout of a surface's mesh batches (position,
// normal, optional colour, one texture set per stage, optional tangent frames
// and bones), the wide vertex record producers fill, and the packing of one
// into the other.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/graphics/d3d9.h"

class RenderPipeline;
class SurfaceStagePlan;

struct SourceVertex {
  float position[3] = {};
  float normal[3] = {};
  float color[4] = {};  // red, green, blue, alpha
  float texcoord[8][3] = {};
  // Kept while a surface's geometry is built, never drawn: the polygon the
  // vertex was made for, and the first vertex standing on the same point.
  std::uint32_t polygon = 0;
  std::uint32_t group = 0;
  std::uint8_t blendIndices[4] = {};
  float blendWeights[4] = {};
};

// The element list of a plan (ending with D3DDECL_END) and its sizes.
struct VertexElementList {
  std::vector<D3DVERTEXELEMENT9> elements;
  std::int32_t stride = 0;
  std::int32_t texcoordOffset = 0;  // of the last texture set; 0 when none
  std::int32_t tangentOffset = 0;   // 0 when none
};
VertexElementList buildVertexElements(const SurfaceStagePlan& plan);

class VertexLayout {
 public:
  // Builds the elements and one declaration per device of the pipeline.
  VertexLayout(RenderPipeline* pipeline, SurfaceStagePlan* plan);
  ~VertexLayout();
  VertexLayout(const VertexLayout&) = delete;
  VertexLayout& operator=(const VertexLayout&) = delete;

  IDirect3DVertexDeclaration9* declaration(int device) const {
    return device >= 0 && static_cast<std::size_t>(device) < declarations.size() ? declarations[device].get() : nullptr;
  }

  RenderPipeline* pipeline;
  std::int32_t stride = 0;
  bool softwareProcessing = false;
  std::vector<ComPtr<IDirect3DVertexDeclaration9>> declarations;
  SurfaceStagePlan* format;
  std::int32_t texcoordOffset = 0;
  std::int32_t tangentOffset = 0;
  std::vector<D3DVERTEXELEMENT9> elements;
};

// Writes one vertex in the layout at `destination` (stride bytes).
void packVertex(const SourceVertex& source, std::uint8_t* destination, const VertexLayout& layout);
// Fills the tangent block of an indexed triangle mesh; nothing without
// tangent frames. Triangles with an index past vertexCount are skipped.
bool computeTangentFrames(VertexLayout& layout, std::uint8_t* vertices, const std::uint32_t* indices, int indexCount,
                          int vertexCount);
