// The hyper-voxel surface base: teardown of what it owns.
#include "render/hyper_voxel_surface.h"

HyperVoxelSurface::~HyperVoxelSurface() {
  for (auto& layer : textureLayers) {
    if (layer) layer->release();
    layer.reset();
  }
  textureLayers.clear();
  for (auto& object : ownedObjects) object.reset();
  // The animated values' channels go with the members.
}

void HyperVoxelSurface::evaluateParameters(double t) {
  for (AnimatedFloat* value : {&dissolve, &particleSize, &sizeVariation, &luminosity, &opacity, &density, &colour[0],
                               &colour[1], &colour[2], &nearClip, &stretchAmount, &textureAmplitude})
    value->evaluate(t);
}
