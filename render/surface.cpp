// Surfaces: colour and transparency queries and the texture-layer lists.
#include "render/surface.h"

#include <cmath>

namespace {
constexpr float kTwoDegrees = 0.0349066f;
}

Surface::Surface(SceneRoot* owner, std::string surfaceName)
    : root(owner), name(std::move(surfaceName)), smoothingCosine(std::cos(kTwoDegrees) - 1e-6f) {}

Surface::~Surface() {
  for (auto* list : {&imageLayers, &vertexColorLayers})
    for (auto& layer : *list) layer->release();
}

ColorRGBA Surface::getColorAt(double t) {
  const float b = blue.evaluate(t);
  const float g = green.evaluate(t);
  const float r = red.evaluate(t);
  return {colorFactor[0] * r, colorFactor[1] * g, colorFactor[2] * b, 1.0f};
}

bool Surface::isTransparentAt(double t) {
  // NaN compares unequal to 0 and so counts as transparent.
  if (additiveTransparency.evaluate(t) != 0.0f) return true;
  if (transparency.evaluate(t) != 0.0f) return true;
  return findTextureLayer(fourCC("TRAN"), 1) != nullptr;
}

TextureLayer* Surface::findTextureLayer(std::uint32_t channel, int n) const {
  if (n <= 0) return nullptr;
  for (const auto& layer : imageLayers) {
    if (layer->channel != channel || !layer->enabled || !layer->texture) continue;
    if (--n == 0) return layer.get();
  }
  return nullptr;
}

void Surface::addTextureLayer(std::unique_ptr<TextureLayer> layer) {
  if (!layer) return;
  if (layer->enabled && layer->blockType == fourCC("vcol")) {
    vertexColorLayers.push_back(std::move(layer));
  } else if (layer->enabled && layer->texture) {
    imageLayers.push_back(std::move(layer));
  } else {
    layer->release();
  }
}

void setSmoothingAngle(Surface& surface, float radians) {
  if (radians > kTwoDegrees) {
    surface.smoothing = true;
    surface.smoothingCosine = std::cos(radians) - 1e-6f;
  }
}
