// The track's sensor surfaces beyond the ground, walls, karts and obstacles:
// checkpoints, extra boxes, speed-up pads, stampers, crushers, slides,
// conveyor bands, wind zones, triggers, reset zones and rockets meeting the
// scenery. Like the kart surfaces they make no contact joint; each finds the
// kart (or the kart that fired) and hands what it met to the kart's hooks.
// All of them ask one contact of a geom pair: a touch is an event, and more
// points would repeat it (an extra box would roll up to 16 extras a step).
#pragma once

#include "game/kart/kart_surfaces.h"
#include "game/track/surface_kind.h"

// The finish line: its kart (any kart) has touched the line and the first
// sector of the lap.
class ODEJointSurfaceCheck : public KartSurface {
 public:
  explicit ODEJointSurfaceCheck(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// An extra box: any kart takes it, followed ones too, so that every machine
// sees the box go.
class ODEJointSurfaceExtra : public KartSurface {
 public:
  explicit ODEJointSurfaceExtra(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// A speed-up pad launches a simulated kart along the pad.
class ODEJointSurfaceSpeedup : public KartSurface {
 public:
  explicit ODEJointSurfaceSpeedup(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// The stamper flattens a simulated kart.
class ODEJointSurfaceStampfer : public KartSurface {
 public:
  explicit ODEJointSurfaceStampfer(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// The crusher catches a simulated kart.
class ODEJointSurfaceCrusher : public KartSurface {
 public:
  explicit ODEJointSurfaceCrusher(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// A rocket (or laser beam) in flight meeting ground, walls, an obstacle, a
// stamper or a crusher goes off where it touched; the kart that fired it is
// told.
class ODEJointSurfaceRocketWall : public KartSurface {
 public:
  explicit ODEJointSurfaceRocketWall(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// A slide marks the simulated kart as sliding.
class ODEJointSurfaceRutsch : public KartSurface {
 public:
  explicit ODEJointSurfaceRutsch(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// A conveyor band under a simulated kart, which its step pushes along.
class ODEJointSurfaceBand : public KartSurface {
 public:
  explicit ODEJointSurfaceBand(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// A wind zone a simulated kart is in, which its step pushes it by.
class ODEJointSurfaceWind : public KartSurface {
 public:
  explicit ODEJointSurfaceWind(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// A trigger starts the race's trigger timer at 2 s, unless it is running:
// a kart that stays on the trigger does not keep restarting it.
class ODEJointSurfaceTrigger : public KartSurface {
 public:
  static constexpr float kRunTime = 2.0f;

  ODEJointSurfaceTrigger(Vehicle* const* karts, float& timer) : KartSurface(karts, 1), m_timer(timer) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;

 private:
  float& m_timer;
};

// A reset zone puts a simulated kart back onto the track.
class ODEJointSurfaceReset : public KartSurface {
 public:
  explicit ODEJointSurfaceReset(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};
