// The appearance shared by the particle renderers that draw hyper-voxel
// volumes: animated values, switches, the block's texture layers and a few
// owned objects of the derived renderers. The scene-file reader fills it.
// Also the particle record the renderers draw, which the emitters fill.
#pragma once

#include <memory>
#include <vector>

#include "foundation/anim_channel.h"
#include "render/device_owner.h"
#include "render/texture_layer.h"

class RenderPipeline;
class SceneItem;

// One slot of an emitter's particle array.
struct Particle {
  float position[3] = {0, 0, 0};  // world
  // Units per second between frames; during a frame's update it holds that
  // frame's displacement instead.
  float velocity[3] = {0, 0, 0};
  float life = 0.0f;    // seconds left
  float weight = 0.0f;  // factor on the initial velocity and on forces
  float swirl = 0.0f;   // factor of the vortex wind
  float extra = 0.0f;
  bool alive = false;
};

// Every emitter's array has this many slots, and the renderers read them all.
inline constexpr int kParticleSlots = 250;

// Owned objects of the derived renderers, deleted through this base.
class HyperVoxelPart {
 public:
  virtual ~HyperVoxelPart() = default;
};

class HyperVoxelSurface : public DeviceOwner {
 public:
  explicit HyperVoxelSurface(RenderPipeline* pipeline) : pipeline(pipeline) {}
  // Releases and deletes the texture layers, then the owned objects.
  virtual ~HyperVoxelSurface();
  HyperVoxelSurface(const HyperVoxelSurface&) = delete;
  HyperVoxelSurface& operator=(const HyperVoxelSurface&) = delete;

  // Draws the alive ones of the kParticleSlots particles as seen from
  // `camera` at time t.
  virtual void update(double t, const Particle* particles, SceneItem* camera) = 0;

  // Stores every animated parameter's value at t.
  void evaluateParameters(double t);

  RenderPipeline* pipeline;  // not owned
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
