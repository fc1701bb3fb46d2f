// The appearance shared by the particle renderers that draw hyper-voxel
// volumes: animated values, switches, the block's texture layers and a few
// owned objects of the derived renderers. The scene-file reader fills it.
#pragma once

#include <memory>
#include <vector>

#include "foundation/anim_channel.h"
#include "render/device_owner.h"
#include "render/texture_layer.h"

// Owned objects of the derived renderers, deleted through this base.
class HyperVoxelPart {
 public:
  virtual ~HyperVoxelPart() = default;
};

class HyperVoxelSurface : public DeviceOwner {
 public:
  explicit HyperVoxelSurface(void* owner) : owner(owner) {}
  // Releases and deletes the texture layers, then the owned objects.
  virtual ~HyperVoxelSurface();
  HyperVoxelSurface(const HyperVoxelSurface&) = delete;
  HyperVoxelSurface& operator=(const HyperVoxelSurface&) = delete;

  // The derived renderer's per-frame work.
  virtual void update() = 0;

  void* owner;  // the object the particles belong to; not owned
  AnimatedFloat dissolve{0.0f};
  AnimatedFloat particleSize{0.0f};
  AnimatedFloat sizeVariation{0.0f};
  int blendingMode = 1;
  int blendingGroup = 0;
  AnimatedFloat luminosity{1.0f};
  AnimatedFloat opacity{1.0f};
  AnimatedFloat density{1.0f};
  AnimatedFloat colour[3] = {AnimatedFloat(200.0f / 255.0f), AnimatedFloat(200.0f / 255.0f),
                             AnimatedFloat(200.0f / 255.0f)};
  AnimatedFloat reservedValue{255.0f};
  AnimatedFloat nearClip{0.0f};
  bool useAllLights = false;
  AnimatedFloat stretchAmount{0.0f};
  int stretchDirection = 0;
  bool alignToPath = false;
  bool maintainVolume = false;
  int slices = 0;
  AnimatedFloat textureAmplitude{0.0f};
  std::vector<std::unique_ptr<TextureLayer>> textureLayers;
  std::unique_ptr<HyperVoxelPart> ownedObjects[5];
};
