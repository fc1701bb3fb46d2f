// The forces of a scene's particle effects: gravity, wind and collision,
// each centred on its owner item. They run after the emitters' own step and
// before the emitters move their particles, so they add to (or, for
// collision, replace) the displacement of the frame held in each
// particle's velocity.
#pragma once

#include <cstdint>

#include "scene/particle_emitter.h"

// How the effect weakens with the distance d from the owner: 0 full within
// the radius R, 1 as 1/d but nothing where 1/d exceeds R, 2 full everywhere,
// 3 (wind only) as d within R. Other rules give no force.
float forceFalloff(std::int32_t rule, float distance, float radius, bool wind);

class FXGravity : public FXPlugin {
 public:
  using FXPlugin::FXPlugin;
  void step(Particle* particles, int first, int end, double t, double dt, SceneItem* camera) override;

  std::int32_t type = 0;  // 0 parallel along direction, 1 radial away from the owner
  std::int32_t falloff = 0;
  AnimatedFloat radius{1.0f};
  AnimatedFloat strength{1.0f};
  float direction[3] = {0.0f, 0.0f, 0.0f};  // size and direction of parallel gravity
};

class FXWind : public FXPlugin {
 public:
  using FXPlugin::FXPlugin;
  void step(Particle* particles, int first, int end, double t, double dt, SceneItem* camera) override;

  // 0 directional, 1 explosive, 2 vortex, 3 cylindrical, 7 turbulence,
  // 10 along the owner's turned direction below ground; others do nothing.
  std::int32_t mode = 7;
  std::int32_t falloff = 0;
  AnimatedFloat radius{1.0f};
  AnimatedFloat strength{1.0f};
  AnimatedFloat direction[3] = {AnimatedFloat(0.0f), AnimatedFloat(0.1f), AnimatedFloat(0.0f)};
};

class FXCollision : public FXPlugin {
 public:
  using FXPlugin::FXPlugin;
  void step(Particle* particles, int first, int end, double t, double dt, SceneItem* camera) override;

  std::int32_t kind = 0;       // only 0 acts
  std::int32_t shape = 0;      // 0 sphere, 2 horizontal plane; others do nothing
  AnimatedFloat radius{1.0f};  // of the sphere, or height of the plane above the owner
  AnimatedFloat bounce{1.0f};  // factor on the speed after a bounce
  float scatter = 0.0f;        // random tilt of the plane's normal
};
