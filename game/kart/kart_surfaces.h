// The contact surfaces through which karts sense the track: ground rays,
// fall zones, walls, other karts and obstacles. None makes a contact joint
// (karts move kinematically); each writes what it found into the kart, which
// its next step reads. Karts are found through the race's six kart slots.
#pragma once

#include "game/track/surface_kind.h"
#include "scene/contact_tables.h"

class PhysicsObject;
class Vehicle;
class VehicleMaster;

class KartSurface : public ODEJointSurface {
 public:
  // `karts` is the race's array of six kart slots (null where no kart is).
  KartSurface(Vehicle* const* karts, int maxCollisions);

 protected:
  // The result every kart surface gives: no joint, the pair never skipped.
  ODEJointSurface sensorResult() const;
  // The kart of an index, null outside 0..5 or for an empty slot.
  Vehicle* kartAt(int index) const;
  // The simulated kart of an index, else null.
  Vehicle* simulatedKartAt(int index) const;
  // The simulated kart of an index as the kart whose hooks take the
  // track's events, else null.
  VehicleMaster* masterAt(int index) const;

  Vehicle* const* m_karts;
};

// A geom pair seen from one side: the physics object of the given kind,
// the other one, and the contact normal turned to point toward the first.
struct ContactSide {
  PhysicsObject* own = nullptr;
  PhysicsObject* other = nullptr;
  dReal normal[3] = {0, 0, 0};
  // False when neither geom carries `kind` or a geom has no physics object.
  bool find(const dContactGeom& contact, int kind);
};

// Ground rays: hit height, surface kind and normal of the ray.
class ODEJointSurfaceRay : public KartSurface {
 public:
  explicit ODEJointSurfaceRay(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// A ground ray over a fall zone: as a ray hit, and the ray's fall flag.
class ODEJointSurfaceFall : public KartSurface {
 public:
  explicit ODEJointSurfaceFall(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// A kart's collision item against walls and scenery: the last wall contact.
class ODEJointSurfaceCollision : public KartSurface {
 public:
  explicit ODEJointSurfaceCollision(Vehicle* const* karts) : KartSurface(karts, 16) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// Two karts: each simulated one stores the other and a normal toward itself.
class ODEJointSurfaceVehicle : public KartSurface {
 public:
  explicit ODEJointSurfaceVehicle(Vehicle* const* karts) : KartSurface(karts, 16) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};

// A kart against a movable obstacle (any kart): the obstacle, the contact
// and a normal toward the obstacle, the way the kart pushes it.
class ODEJointSurfaceObstacle : public KartSurface {
 public:
  explicit ODEJointSurfaceObstacle(Vehicle* const* karts) : KartSurface(karts, 1) {}
  ODEJointSurface onContact(const dContactGeom& contact) override;
};
