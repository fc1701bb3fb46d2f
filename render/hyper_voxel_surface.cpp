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
