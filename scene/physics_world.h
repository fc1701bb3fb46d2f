// A scene's ODE world: the world itself, its collision spaces, the contact
// group of one step, the two contact tables the near callback reads, and the
// step that collides and moves everything in it.
#pragma once

#include <ode/ode.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "scene/contact_tables.h"

// One collision space of the world; record 0 holds the top space, and each
// space's ODE user data is its index in the world's list.
struct CollisionSpace {
  dSpaceID space = nullptr;
  std::string name;
};

class PhysicsWorld {
 public:
  // Holds one of ODE's counted initialisations for its lifetime, so that
  // worlds may live and die in any order.
  PhysicsWorld();
  ~PhysicsWorld();
  PhysicsWorld(const PhysicsWorld&) = delete;
  PhysicsWorld& operator=(const PhysicsWorld&) = delete;

  // Bodies and joints made in it belong to it and go with it.
  dWorldID world() const { return m_world; }
  // The contact joints of the current step.
  dJointGroupID contactGroup() const { return m_contactGroup; }

  // Appends a collision space and makes its ODE user data its index in the
  // list, which the near callback reads; -1 (and nothing stored) when the
  // tables have no room for it. The world destroys the top space when it
  // goes, and with it every space below that one.
  int addCollisionSpace(dSpaceID space, const std::string& spaceName);
  int spaceCount() const { return static_cast<int>(m_spaces.size()); }
  // The index-th space; null for an index the world does not list.
  dSpaceID space(int index) const;
  // Swaps every listed space that is not a simple space and holds at most
  // `mostMembers` geoms and sub-spaces for a simple space with the same
  // members in the same order, in the same place of the same parent, with
  // the same index, categories and clean-up. A hash space allocates on every
  // collision pass, which a handful of members never repays. Call it once
  // everything is in its space; returns how many spaces were swapped.
  int useSimpleSpacesUpTo(int mostMembers);

  // One pass of collision over the top space through nearCallback, which
  // makes this step's contact joints. Within a pass each sub-space is
  // collided internally only once, however many neighbours it meets; a
  // pass lasts until the contact group is emptied or the next collide().
  void collide();
  // The world moves by dt under the contacts collide() made.
  void stepWorld(double dt);
  // Ends the pass: the contact joints go.
  void emptyContacts();
  // collide, stepWorld and emptyContacts.
  void step(double dt);

  // The ODE near callback; `data` is the world. A dSpaceCollide of the top
  // space with it gives the contacts collide() gives.
  static void nearCallback(void* data, dGeomID o1, dGeomID o2);

  ODEJointSurface defaultSurface;
  // [kind of geom 1][kind of geom 2]; entries the game installs stay the game's.
  std::array<std::array<ODEJointSurface*, kSurfaceKindCount>, kSurfaceKindCount> surfaceTable;
  // Off the diagonal and on it; both collide nothing.
  ODESpacePair defaultSpacePairs[2];
  // [index of space 1][index of space 2]; entries the game installs stay the game's.
  std::array<std::array<ODESpacePair*, kSpaceCount>, kSpaceCount> spacePairTable;

 private:
  // The index of a space in the list; -1 for a space the world does not list.
  int spaceIndexOf(dGeomID space) const;
  int containingSpaceIndex(dGeomID geom) const;
  void beginCollisionPass();
  // The contact group still holds what the current pass made.
  bool collisionPassOpen() const;
  void collideGeoms(dGeomID o1, dGeomID o2);
  // The two spaces' table entry says they collide; false for an index
  // outside the tables.
  bool spacesCollide(int index1, int index2, dGeomID o1, dGeomID o2);
  void collideInside(dGeomID space);
  void reportBadPair(const char* what, int value);
  void makeSimple(int index);

  dWorldID m_world = nullptr;
  dJointGroupID m_contactGroup = nullptr;
  std::vector<CollisionSpace> m_spaces;
  // Counts collision passes; a space collided internally in the current
  // pass is marked with it.
  std::uint64_t m_collisionPass = 0;
  std::array<std::uint64_t, kSpaceCount> m_collidedInside{};
  dBodyID m_passMarkerBody = nullptr;  // owned by the world
  bool m_reportedBadPair = false;
};
