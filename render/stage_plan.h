// A surface's texture layers arranged into at most eight texture stages by
// shading channel, with the material colour at time 0 and the modulate
// shifts that keep bright colours and vertex colours within range.
#pragma once

#include <cstdint>

#include "render/surface.h"

struct SourceVertex;

inline constexpr int kMaxPlanStages = 8;

class SurfaceStagePlan {
 public:
  explicit SurfaceStagePlan(Surface& surface);
  // An empty plan: no stages, white material.
  SurfaceStagePlan();

  std::int32_t stageCount = 0;
  TextureLayer* stages[kMaxPlanStages] = {};
  std::int32_t stageShift[kMaxPlanStages] = {};
  std::int32_t vertexColorShift = 0;
  std::int32_t totalShift = 0;
  std::int32_t colorStart = 0, colorCount = 0;
  std::int32_t luminosityStart = 0, luminosityCount = 0;
  std::int32_t diffuseStart = 0, diffuseCount = 0;
  std::int32_t reflectionStart = 0, reflectionCount = 0;
  std::int32_t specularStart = 0, specularCount = 0;
  std::int32_t transparencyStart = 0, transparencyCount = 0;
  std::int32_t bumpStart = 0, bumpCount = 0;
  TextureLayer* vertexColorLayer = nullptr;
  std::int32_t colorScale = 1;
  float materialColor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  std::int32_t blendWeightCount = 0;
  bool tangentFrames = false;

  // The layer of stage `set`, or null for sets of 8 and more.
  TextureLayer* stageLayer(std::int32_t set) const {
    return set >= 0 && set < kMaxPlanStages && set < stageCount ? stages[set] : nullptr;
  }
};

// Colours of vertices first .. first + count - 1 of one polygon from the
// plan's vertex-colour layer; pointIndices gives each vertex's point in the
// object layer. May raise the plan's shifts for colours above 1.
void fillVertexColors(SurfaceStagePlan& plan, SourceVertex* vertices, int first, int count,
                      const std::int32_t* pointIndices, std::int32_t objectLayer, std::int32_t polygonIndex = -1);
