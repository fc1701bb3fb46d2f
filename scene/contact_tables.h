// The two tables a scene's near callback reads for every pair of touching
// geoms: whether their collision spaces are tested against each other at
// all, and how contacts between their surface kinds behave. The race
// installs its own entries; a fresh scene collides nothing.
#pragma once

#include <ode/ode.h>

#include <cstdint>

// Contact behaviour of one pair of surface kinds. The race derives its
// kinds from this and turns contacts into game events in onContact.
class ODEJointSurface {
 public:
  ODEJointSurface();
  // Copies every field below; what a subclass adds (its owner) stays behind.
  ODEJointSurface(const ODEJointSurface& other) = default;
  ODEJointSurface& operator=(const ODEJointSurface& other) = default;
  virtual ~ODEJointSurface() = default;

  // The parameters to use for one contact point; the base returns itself.
  virtual ODEJointSurface onContact(const dContactGeom& contact);
  virtual std::int32_t maxCollisions() const { return m_maxCollisions; }

  // dCollide is asked for at most this many points of one geom pair
  // (the near callback holds room for 32).
  std::int32_t m_maxCollisions = 16;
  dSurfaceParameters m_surface;
  dVector3 m_fdir1 = {0, 0, 0, 0};
  bool m_createJoint = true;            // false: contacts are reported, no joint is made
  bool m_requireEnabledBodies = false;  // true: pairs with a disabled body are skipped
};

// Whether two collision spaces are tested against each other.
class ODESpacePair {
 public:
  explicit ODESpacePair(bool collide = false) : collide(collide) {}
  virtual ~ODESpacePair() = default;
  ODESpacePair(const ODESpacePair&) = default;
  ODESpacePair& operator=(const ODESpacePair&) = default;

  virtual ODESpacePair check(dGeomID, dGeomID) { return *this; }

  bool collide;
};

// Contact mode of the default surface: approximate friction pyramid on both
// directions (ODE 0.16's dContactApprox1 is 0x7000, so the bits are written
// out) with soft ERP and CFM.
inline constexpr int kDefaultContactMode = 0x3018;
inline constexpr int kSurfaceKindCount = 50;
inline constexpr int kSpaceCount = 50;
