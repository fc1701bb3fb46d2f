// Building a surface's texture-stage plan and filling vertex colours.
#include "render/stage_plan.h"

#include <algorithm>
#include <cmath>

#include "render/vertex_layout.h"

SurfaceStagePlan::SurfaceStagePlan() = default;

SurfaceStagePlan::SurfaceStagePlan(Surface& surface) {
  const int hasSpec = surface.findTextureLayer(fourCC("SPEC"), 1) ? 1 : 0;
  const int hasTran = surface.findTextureLayer(fourCC("TRAN"), 1) ? 1 : 0;
  // A specular or transparency layer always finds a stage: the channels
  // before them leave room.
  struct Channel {
    std::uint32_t code;
    int limit;
    std::int32_t* start;
    std::int32_t* count;
  };
  const Channel channels[] = {
      {fourCC("COLR"), 8 - hasSpec - hasTran, &colorStart, &colorCount},
      {fourCC("LUMI"), 8 - hasSpec - hasTran, &luminosityStart, &luminosityCount},
      {fourCC("DIFF"), 8 - hasSpec - hasTran, &diffuseStart, &diffuseCount},
      {fourCC("REFL"), 8 - hasSpec - hasTran, &reflectionStart, &reflectionCount},
      {fourCC("SPEC"), 8 - hasTran, &specularStart, &specularCount},
      {fourCC("TRAN"), 8, &transparencyStart, &transparencyCount},
      {fourCC("BUMP"), 8, &bumpStart, &bumpCount},
  };
  for (const Channel& c : channels) {
    *c.start = stageCount;
    for (int n = 1;; ++n) {
      TextureLayer* layer = surface.findTextureLayer(c.code, n);
      if (!layer) break;
      if (stageCount < c.limit) stages[stageCount++] = layer;
    }
    *c.count = stageCount - *c.start;
  }

  for (int i = colorStart; i < colorStart + colorCount; ++i) {
    const float x = std::fabs(stages[i]->rgbLevel);
    stageShift[i] = x >= 3.0f ? 2 : x >= 1.5f ? 1 : 0;
    totalShift += stageShift[i];
  }

  for (const auto& layer : surface.vertexColorLayers) {
    if (layer->channel == fourCC("COLR") || layer->channel == fourCC("DIFF")) {
      vertexColorLayer = layer.get();
      break;
    }
  }

  const ColorRGBA colour = surface.getColorAt(0.0);
  materialColor[0] = colour.r, materialColor[1] = colour.g, materialColor[2] = colour.b, materialColor[3] = colour.a;
  const float reflection = surface.reflection.evaluate(0.0);
  if (reflection != 0.0f && surface.reflectionOptions == 0) {
    materialColor[3] = 1.0f - reflection;
  } else if (surface.isTransparentAt(0.0)) {
    materialColor[3] = 1.0f - surface.additiveTransparency.evaluate(0.0);
    const bool layerTransparency = transparencyCount > 0 && stages[transparencyStart]->opacityType != 3;
    if (!layerTransparency) {
      const float keep = 1.0f - surface.transparency.evaluate(0.0);
      for (int c = 0; c < 3; ++c) materialColor[c] *= keep;
      materialColor[3] *= keep;
    }
  }
}

void fillVertexColors(SurfaceStagePlan& plan, SourceVertex* vertices, int first, int count,
                      const std::int32_t* pointIndices, std::int32_t objectLayer, std::int32_t polygonIndex) {
  TextureLayer* layer = plan.vertexColorLayer;
  if (!layer || count <= 0) return;
  const ColorMap* map = layer->colorMap(objectLayer);
  if (!map) {
    for (int i = 0; i < count; ++i) {
      float* c = vertices[first + i].color;
      c[0] = c[1] = c[2] = 0.0f;
      c[3] = 1.0f;
    }
    return;
  }
  const float o = layer->opacity.evaluate(0.0);
  float k = layer->rgbLevel, b = layer->rgbOffset;
  if (layer->negative) {
    k = -k;
    b = 1.0f - b;
  }
  float mx = 0.0f;
  for (int i = 0; i < count; ++i) {
    float* c = vertices[first + i].color;
    const std::array<float, 4>* m = map->valueFor(pointIndices ? pointIndices[i] : -1, polygonIndex);
    const std::array<float, 4> zero{0.0f, 0.0f, 0.0f, 0.0f};
    const std::array<float, 4>& value = m ? *m : zero;
    for (int ch = 0; ch < 3; ++ch) {
      c[ch] = (value[ch] * k + b) * o + plan.materialColor[ch] * (1.0f - o);
      mx = std::max(mx, c[ch]);
    }
    c[3] = map->isRGBA ? value[3] * o + plan.materialColor[3] * (1.0f - o) : plan.materialColor[3];
  }
  if (layer->clamp) return;
  const float top = mx - 1e-6f;
  if (top > static_cast<float>(plan.colorScale) && plan.totalShift < 2 * plan.colorCount + 2) {
    for (int s = plan.colorStart + plan.colorCount - 1; s >= plan.colorStart; --s) {
      while (plan.stageShift[s] < 2 && top > static_cast<float>(plan.colorScale)) {
        ++plan.stageShift[s];
        ++plan.totalShift;
        plan.colorScale *= 2;
      }
    }
    while (top > static_cast<float>(plan.colorScale) && plan.vertexColorShift < 2) {
      ++plan.vertexColorShift;
      ++plan.totalShift;
      plan.colorScale *= 2;
    }
  }
}
