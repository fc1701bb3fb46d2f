// The physics step of a scene: collision through the near callback, which
// reads the space-pair and surface tables, then the world step.
#include <cstdint>

#include "foundation/report.h"
#include "scene/physics_object.h"
#include "scene/scene.h"

namespace {

// Room for the contact points of one geom pair.
constexpr int kContactBufferSize = 32;

PhysicsObject* physicsObjectOf(dGeomID geom) {
  auto* item = static_cast<SceneItem*>(dGeomGetData(geom));
  return item && item->type == ItemType::PhysicsObject ? static_cast<PhysicsObject*>(item) : nullptr;
}

bool isEnabled(const SceneItem& item) { return !item.body || dBodyIsEnabled(item.body) != 0; }

}  // namespace

int Scene::addCollisionSpace(dSpaceID space, const std::string& spaceName) {
  if (!space || spaces.size() >= static_cast<std::size_t>(kSpaceCount)) return -1;
  const int index = static_cast<int>(spaces.size());
  dGeomSetData(reinterpret_cast<dGeomID>(space), reinterpret_cast<void*>(static_cast<std::intptr_t>(index)));
  spaces.push_back(CollisionSpace{space, spaceName});
  return index;
}

int Scene::spaceIndexOf(dGeomID space) const {
  // A space's user data is its index in the scene's list; one added to ODE
  // without addCollisionSpace has none and must not pass for the top space.
  const auto index = reinterpret_cast<std::intptr_t>(dGeomGetData(space));
  if (index < 0 || index >= static_cast<std::intptr_t>(spaces.size())) return -1;
  return reinterpret_cast<dGeomID>(spaces[static_cast<std::size_t>(index)].space) == space ? static_cast<int>(index)
                                                                                           : -1;
}

int Scene::containingSpaceIndex(dGeomID geom) const {
  dSpaceID space = dGeomGetSpace(geom);
  return space ? spaceIndexOf(reinterpret_cast<dGeomID>(space)) : -1;
}

void Scene::beginCollisionPass() {
  ++m_collisionPass;
  // The top space's members meet each other in the dSpaceCollide that runs
  // this pass.
  m_collidedInside[0] = m_collisionPass;
  // ODE tells no one when a joint group is emptied: a null joint in the
  // contact group, hung on a body that nothing else touches, shows whether
  // the group still holds this pass's contacts.
  if (!m_passMarkerBody) {
    m_passMarkerBody = dBodyCreate(world);
    dBodySetGravityMode(m_passMarkerBody, 0);
    dBodyDisable(m_passMarkerBody);
  }
  dJointAttach(dJointCreateNull(world, contactGroup), m_passMarkerBody, nullptr);
}

bool Scene::collisionPassOpen() const { return m_passMarkerBody && dBodyGetNumJoints(m_passMarkerBody) > 0; }

void Scene::collide() {
  beginCollisionPass();
  if (spaces.empty() || !spaces.front().space) return;
  dSpaceCollide(spaces.front().space, this, &Scene::nearCallback);
}

void Scene::physicsStep(double dt) {
  collide();
  dWorldQuickStep(world, dt);
  dJointGroupEmpty(contactGroup);
  invalidateTransforms(cameras.empty() ? nullptr : cameras.front().get());
}

void Scene::nearCallback(void* data, dGeomID o1, dGeomID o2) { static_cast<Scene*>(data)->collideGeoms(o1, o2); }

void Scene::reportBadPair(const char* what, int value) {
  // Once per scene: the same pair comes back every step.
  if (m_reportedBadPair) return;
  m_reportedBadPair = true;
  reportError("collision skipped: %s %d\n", what, value);
}

bool Scene::spacesCollide(int index1, int index2, dGeomID o1, dGeomID o2) {
  // spaceIndexOf gives -1 or a place in `spaces`, which never outgrows the
  // tables.
  if (index1 < 0 || index2 < 0) {
    reportBadPair("space not added to the scene, index", -1);
    return false;
  }
  return spacePairTable[index1][index2]->check(o1, o2).collide;
}

void Scene::collideInside(dGeomID space) {
  const int index = spaceIndexOf(space);
  if (!spacesCollide(index, index, space, space)) return;
  // A sub-space meets every top-level neighbour it overlaps; testing its
  // members against each other each time would repeat their contacts.
  if (m_collidedInside[index] == m_collisionPass) return;
  m_collidedInside[index] = m_collisionPass;
  dSpaceCollide(reinterpret_cast<dSpaceID>(space), this, &Scene::nearCallback);
}

void Scene::collideGeoms(dGeomID o1, dGeomID o2) {
  // Entered from a dSpaceCollide of the caller's own: the pass lasts until
  // the contact group is emptied, as it does after collide().
  if (!collisionPassOpen()) beginCollisionPass();
  const bool space1 = dGeomIsSpace(o1) != 0, space2 = dGeomIsSpace(o2) != 0;
  if (space1 || space2) {
    if (space1 && !space2 && spacesCollide(spaceIndexOf(o1), containingSpaceIndex(o2), o1, o2)) {
      dSpaceCollide2(o1, o2, this, &Scene::nearCallback);
    }
    if (!space1 && space2 && spacesCollide(containingSpaceIndex(o1), spaceIndexOf(o2), o1, o2)) {
      dSpaceCollide2(o1, o2, this, &Scene::nearCallback);
    }
    if (space1) collideInside(o1);
    if (space2) collideInside(o2);
    if (space1 && space2 && spacesCollide(spaceIndexOf(o1), spaceIndexOf(o2), o1, o2)) {
      dSpaceCollide2(o1, o2, this, &Scene::nearCallback);
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
    dJointID joint = dJointCreateContact(world, contactGroup, &contacts[i]);
    dJointAttach(joint, body1, body2);
  }
}
