// The physics step of a scene's world: collision through the near callback,
// which reads the space-pair and surface tables, then the world step.
#include "scene/physics_world.h"

#include <cstdint>
#include <vector>

#include "foundation/profiler.h"
#include "foundation/report.h"
#include "scene/physics_object.h"

namespace {

// Room for the contact points of one geom pair.
constexpr int kContactBufferSize = 32;

PhysicsObject* physicsObjectOf(dGeomID geom) {
  auto* item = static_cast<SceneItem*>(dGeomGetData(geom));
  return item && item->type == ItemType::PhysicsObject ? static_cast<PhysicsObject*>(item) : nullptr;
}

bool isEnabled(const SceneItem& item) { return !item.body || dBodyIsEnabled(item.body) != 0; }

constexpr float kGravity = -9.81f;  // m/s^2 along -Y

}  // namespace

PhysicsWorld::PhysicsWorld() {
  for (auto& row : surfaceTable) row.fill(&defaultSurface);
  for (int i = 0; i < kSpaceCount; ++i) {
    for (int j = 0; j < kSpaceCount; ++j) spacePairTable[i][j] = &defaultSpacePairs[i == j ? 1 : 0];
  }

  dInitODE2(0);
  dAllocateODEDataForThread(dAllocateMaskAll);
  m_world = dWorldCreate();
  m_contactGroup = dJointGroupCreate(0);
  dWorldSetGravity(m_world, 0.0, kGravity, 0.0);
  dWorldSetCFM(m_world, 1e-10);
  dWorldSetERP(m_world, 0.3);
  dWorldSetAutoDisableFlag(m_world, 0);
  dWorldSetAutoDisableLinearThreshold(m_world, 0.25);
  dWorldSetAutoDisableAngularThreshold(m_world, 0.25);
  dWorldSetAutoDisableSteps(m_world, 0);
  dWorldSetAutoDisableTime(m_world, 1.0);
  dWorldSetQuickStepNumIterations(m_world, 5);
  dWorldSetContactMaxCorrectingVel(m_world, dInfinity);
  dWorldSetContactSurfaceLayer(m_world, 0.0);
}

PhysicsWorld::~PhysicsWorld() {
  dJointGroupEmpty(m_contactGroup);
  dJointGroupDestroy(m_contactGroup);
  if (!m_spaces.empty()) dSpaceDestroy(m_spaces.front().space);
  dWorldDestroy(m_world);
  dCloseODE();
}

int PhysicsWorld::addCollisionSpace(dSpaceID space, const std::string& spaceName) {
  if (!space || m_spaces.size() >= static_cast<std::size_t>(kSpaceCount)) return -1;
  const int index = static_cast<int>(m_spaces.size());
  dGeomSetData(reinterpret_cast<dGeomID>(space), reinterpret_cast<void*>(static_cast<std::intptr_t>(index)));
  m_spaces.push_back(CollisionSpace{space, spaceName});
  return index;
}

dSpaceID PhysicsWorld::space(int index) const {
  if (index < 0 || index >= spaceCount()) return nullptr;
  return m_spaces[static_cast<std::size_t>(index)].space;
}

namespace {

std::vector<dGeomID> membersOf(dSpaceID space) {
  std::vector<dGeomID> members(static_cast<std::size_t>(dSpaceGetNumGeoms(space)));
  for (std::size_t i = 0; i < members.size(); ++i) members[i] = dSpaceGetGeom(space, static_cast<int>(i));
  return members;
}

// Refills `space` with `members` in their order: ODE puts every geom added
// in front of those it has, and a simple space meets its members in list
// order.
void refill(dSpaceID space, const std::vector<dGeomID>& members) {
  for (auto g = members.rbegin(); g != members.rend(); ++g) dSpaceAdd(space, *g);
}

}  // namespace

int PhysicsWorld::useSimpleSpacesUpTo(int mostMembers) {
  int swapped = 0;
  for (int i = 0; i < spaceCount(); ++i) {
    dSpaceID s = space(i);
    if (!s || dSpaceGetClass(s) == dSimpleSpaceClass || dSpaceGetNumGeoms(s) > mostMembers) continue;
    makeSimple(i);
    ++swapped;
  }
  return swapped;
}

void PhysicsWorld::makeSimple(int index) {
  const dSpaceID old = space(index);
  const auto oldGeom = reinterpret_cast<dGeomID>(old);
  const dSpaceID simple = dSimpleSpaceCreate(nullptr);
  const auto simpleGeom = reinterpret_cast<dGeomID>(simple);
  dSpaceSetCleanup(simple, dSpaceGetCleanup(old));
  dSpaceSetSublevel(simple, dSpaceGetSublevel(old));
  dSpaceSetManualCleanup(simple, dSpaceGetManualCleanup(old));
  dGeomSetCategoryBits(simpleGeom, dGeomGetCategoryBits(oldGeom));
  dGeomSetCollideBits(simpleGeom, dGeomGetCollideBits(oldGeom));
  if (!dGeomIsEnabled(oldGeom)) dGeomDisable(simpleGeom);
  dGeomSetData(simpleGeom, dGeomGetData(oldGeom));

  const std::vector<dGeomID> members = membersOf(old);
  for (dGeomID g : members) dSpaceRemove(old, g);
  refill(simple, members);
  if (const dSpaceID parent = dGeomGetSpace(oldGeom)) {
    std::vector<dGeomID> siblings = membersOf(parent);
    for (dGeomID& g : siblings) {
      dSpaceRemove(parent, g);
      if (g == oldGeom) g = simpleGeom;
    }
    refill(parent, siblings);
  }
  m_spaces[static_cast<std::size_t>(index)].space = simple;
  // Empty and out of its parent: it takes nothing with it.
  dSpaceDestroy(old);
}

int PhysicsWorld::spaceIndexOf(dGeomID space) const {
  // A space's user data is its index in the world's list; one added to ODE
  // without addCollisionSpace has none and must not pass for the top space.
  const auto index = reinterpret_cast<std::intptr_t>(dGeomGetData(space));
  if (index < 0 || index >= static_cast<std::intptr_t>(m_spaces.size())) return -1;
  return reinterpret_cast<dGeomID>(m_spaces[static_cast<std::size_t>(index)].space) == space ? static_cast<int>(index)
                                                                                             : -1;
}

int PhysicsWorld::containingSpaceIndex(dGeomID geom) const {
  dSpaceID space = dGeomGetSpace(geom);
  return space ? spaceIndexOf(reinterpret_cast<dGeomID>(space)) : -1;
}

void PhysicsWorld::beginCollisionPass() {
  ++m_collisionPass;
  // The top space's members meet each other in the dSpaceCollide that runs
  // this pass.
  m_collidedInside[0] = m_collisionPass;
  // ODE tells no one when a joint group is emptied: a null joint in the
  // contact group, hung on a body that nothing else touches, shows whether
  // the group still holds this pass's contacts.
  if (!m_passMarkerBody) {
    m_passMarkerBody = dBodyCreate(m_world);
    dBodySetGravityMode(m_passMarkerBody, 0);
    dBodyDisable(m_passMarkerBody);
  }
  dJointAttach(dJointCreateNull(m_world, m_contactGroup), m_passMarkerBody, nullptr);
}

bool PhysicsWorld::collisionPassOpen() const { return m_passMarkerBody && dBodyGetNumJoints(m_passMarkerBody) > 0; }

void PhysicsWorld::collide() {
  beginCollisionPass();
  if (m_spaces.empty() || !m_spaces.front().space) return;
  ProfileScope timed(GameCounter::kObjectSceneCollision);
  dSpaceCollide(m_spaces.front().space, this, &PhysicsWorld::nearCallback);
}

void PhysicsWorld::stepWorld(double dt) { dWorldQuickStep(m_world, dt); }

void PhysicsWorld::emptyContacts() { dJointGroupEmpty(m_contactGroup); }

void PhysicsWorld::step(double dt) {
  collide();
  stepWorld(dt);
  emptyContacts();
}

void PhysicsWorld::nearCallback(void* data, dGeomID o1, dGeomID o2) {
  static_cast<PhysicsWorld*>(data)->collideGeoms(o1, o2);
}

void PhysicsWorld::reportBadPair(const char* what, int value) {
  // Once per world: the same pair comes back every step.
  if (m_reportedBadPair) return;
  m_reportedBadPair = true;
  reportError("collision skipped: %s %d\n", what, value);
}

bool PhysicsWorld::spacesCollide(int index1, int index2, dGeomID o1, dGeomID o2) {
  // spaceIndexOf gives -1 or a place in the list, which never outgrows the
  // tables.
  if (index1 < 0 || index2 < 0) {
    reportBadPair("space not added to the scene, index", -1);
    return false;
  }
  return spacePairTable[index1][index2]->check(o1, o2).collide;
}

void PhysicsWorld::collideInside(dGeomID space) {
  const int index = spaceIndexOf(space);
  if (!spacesCollide(index, index, space, space)) return;
  // A sub-space meets every top-level neighbour it overlaps; testing its
  // members against each other each time would repeat their contacts.
  if (m_collidedInside[index] == m_collisionPass) return;
  m_collidedInside[index] = m_collisionPass;
  dSpaceCollide(reinterpret_cast<dSpaceID>(space), this, &PhysicsWorld::nearCallback);
}

void PhysicsWorld::collideGeoms(dGeomID o1, dGeomID o2) {
  // Entered from a dSpaceCollide of the caller's own: the pass lasts until
  // the contact group is emptied, as it does after collide().
  if (!collisionPassOpen()) beginCollisionPass();
  const bool space1 = dGeomIsSpace(o1) != 0, space2 = dGeomIsSpace(o2) != 0;
  if (space1 || space2) {
    if (space1 && !space2 && spacesCollide(spaceIndexOf(o1), containingSpaceIndex(o2), o1, o2)) {
      dSpaceCollide2(o1, o2, this, &PhysicsWorld::nearCallback);
    }
    if (!space1 && space2 && spacesCollide(containingSpaceIndex(o1), spaceIndexOf(o2), o1, o2)) {
      dSpaceCollide2(o1, o2, this, &PhysicsWorld::nearCallback);
    }
    if (space1) collideInside(o1);
    if (space2) collideInside(o2);
    if (space1 && space2 && spacesCollide(spaceIndexOf(o1), spaceIndexOf(o2), o1, o2)) {
      dSpaceCollide2(o1, o2, this, &PhysicsWorld::nearCallback);
    }
    return;
  }

  if (!spacesCollide(containingSpaceIndex(o1), containingSpaceIndex(o2), o1, o2)) return;
  PhysicsObject* item1 = physicsObjectOf(o1);
  PhysicsObject* item2 = physicsObjectOf(o2);
  ENGINE_ASSERT(item1 && item2 && "geomData1 && geomData2");
  if (!item1 || !item2) return;
  for (int kind : {item1->surfaceKind, item2->surfaceKind}) {
    if (kind < 0 || kind >= kSurfaceKindCount) {
      reportBadPair("surface kind outside the table:", kind);
      return;
    }
  }
  ODEJointSurface* js = surfaceTable[item1->surfaceKind][item2->surfaceKind];
  if (js->m_requireEnabledBodies && !(isEnabled(*item1) && isEnabled(*item2))) return;

  int maxContacts = js->maxCollisions();
  ENGINE_ASSERT(maxContacts <= kContactBufferSize && "js->maxCollisions() <= 32");
  if (maxContacts > kContactBufferSize) maxContacts = kContactBufferSize;
  if (maxContacts <= 0) return;

  // Not cleared: dCollide fills the geometry, and the surface and fdir1 are
  // copied whole from the surface before a joint reads them.
  dContact contacts[kContactBufferSize];
  const int n = dCollide(o1, o2, maxContacts, &contacts[0].geom, sizeof(dContact));
  if (n <= 0) return;
  dBodyID body1 = dGeomGetBody(o1), body2 = dGeomGetBody(o2);
  // Two geoms of one compound body touch each other, not the world.
  const bool sameBody = body1 && body1 == body2;
  for (int i = 0; i < n; ++i) {
    const ODEJointSurface r = js->onContact(contacts[i].geom);
    if (!r.m_createJoint || sameBody) continue;
    contacts[i].surface = r.m_surface;
    for (int k = 0; k < 4; ++k) contacts[i].fdir1[k] = r.m_fdir1[k];
    dJointID joint = dJointCreateContact(m_world, m_contactGroup, &contacts[i]);
    dJointAttach(joint, body1, body2);
  }
}
