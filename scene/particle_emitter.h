// Particle effects of a scene: the plug-in base shared with the forces, the
// emitter that gives birth to particles around its owner item and moves
// them, and the scene's once-a-frame particle pass. The simulation runs on
// render frames, not on the physics step; every random draw comes from the
// engine's one sequence, in a fixed order, so a run can be replayed.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/anim_channel.h"
#include "foundation/matrix.h"
#include "render/hyper_voxel_surface.h"

class ObjectItem;
class Scene;
class SceneItem;

class FXPlugin {
 public:
  explicit FXPlugin(ObjectItem* owner) : owner(owner) {}
  virtual ~FXPlugin() = default;
  FXPlugin(const FXPlugin&) = delete;
  FXPlugin& operator=(const FXPlugin&) = delete;

  // Acts on the alive particles with first <= i < end.
  virtual void step(Particle* particles, int first, int end, double t, double dt, SceneItem* camera) = 0;

  // An emitter and a force interact when their groups are equal or the
  // force's is 0.
  std::int32_t group = 0;
  ObjectItem* owner;  // not owned; the item the effect is centred on

 protected:
  // The owner's world matrix at t; the identity without an owner.
  Matrix4x3 ownerWorld(double t) const;
  Position3 ownerPosition(double t) const;
};

// A random value in [-0.5, 0.5) from the engine's sequence.
float particleRandomCentred();

class FXEmitter : public FXPlugin {
 public:
  explicit FXEmitter(ObjectItem* owner);

  // Births for the frame of length dt ending at t.
  void emit(double t, double dt);
  // Ages the particles; the survivors' velocity becomes this frame's
  // displacement until moveAndDraw.
  void step(Particle* particles, int first, int end, double t, double dt, SceneItem* camera) override;
  // Moves the particles by their displacement (back to units per second
  // afterwards) and has the owner's particle renderer draw them; an owner
  // without one draws nothing.
  void moveAndDraw(SceneItem* camera, double t, double dt);
  // maxParticles, brought within the array (with a report) when the scene
  // file asked for more slots than it has.
  int slotCount();

  std::int32_t maxParticles = kParticleSlots;
  float speedLimit = 0.0f;  // per frame, applied when above 0
  // Per frame at 30 frames per second (rate modes 0 and 3) or per second (1).
  AnimatedFloat birthRate{100.0f};
  AnimatedFloat lifetime{1000.0f};  // seconds
  AnimatedFloat lifetimeVariation{0.0f};
  AnimatedFloat velocity[3];
  AnimatedFloat explosion{0.0f};  // outward speed from the owner
  AnimatedFloat weightBase{1.0f}, weightVariation{0.0f};
  AnimatedFloat swirlBase{4.0f}, swirlVariation{0.0f};
  AnimatedFloat extraBase{50.0f}, extraVariation{0.0f};
  float inheritFactor = 0.0f;  // share of the owner's velocity
  float generatorSize[3] = {1.0f, 1.0f, 1.0f};
  float acceleration[3] = {0.0f, 0.0f, 0.0f};  // units per second squared
  // 0 or 4 box, 1 sphere (radius below 0.5 whatever the size), others leave
  // a reused slot where its last particle was.
  std::int32_t generatorShape = 1;
  // 0 and 3 read birthRate per 1/30 s (3 also refuses births above y = 0),
  // 1 per second, others give no births.
  std::int32_t rateMode = 1;
  // 0 always emit, 1 only in frames where the owner's X position envelope
  // passes a key, 2 kill everything at such a key and emit, 3 never.
  std::int32_t triggerMode = 0;
  std::vector<Particle> particles;  // kParticleSlots
  std::int32_t lastIndex = 0;       // last slot the latest birth walk examined; -1 none
  std::int64_t totalBorn = 0;       // sum of the birth counts, born or not
};

// The particle pass of a scene frame at time t seen by `viewer`: births,
// ageing, the forces (each on every emitter of its group) and movement for
// the time since the previous pass, then drawing. The first pass, and one at
// the same time as the last, only draws.
void updateEffects(Scene& scene, SceneItem* viewer, double t);
