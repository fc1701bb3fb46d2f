#include "game/kart/kart_surfaces.h"

#include <cmath>

#include "game/kart/vehicle.h"
#include "game/kart/vehicle_master.h"
#include "scene/physics_object.h"

namespace {

PhysicsObject* objectOf(dGeomID geom) { return geom ? static_cast<PhysicsObject*>(dGeomGetData(geom)) : nullptr; }

Position3 positionOf(const dContactGeom& c) {
  return {static_cast<float>(c.pos[0]), static_cast<float>(c.pos[1]), static_cast<float>(c.pos[2])};
}

Normal3 normalOf(const dReal (&n)[3]) {
  return {static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])};
}

// The normal of the wall's own face where a kart met it, on the side of
// `contactNormal`. Against a triangle mesh the collider's normal is the
// axis that parts the kart's box from one thin triangle soonest, which may
// be an axis of the box rather than the wall's; the triangle's own normal
// says which way the wall faces. Any other wall answers the contact normal.
Normal3 wallFaceNormal(const dContactGeom& contact, const PhysicsObject& wall, const Normal3& contactNormal) {
  const dGeomID geom = wall.geom;
  const int triangle = contact.g1 == geom ? contact.side1 : contact.side2;
  if (dGeomGetClass(geom) != dTriMeshClass || triangle < 0 || triangle >= dGeomTriMeshGetTriangleCount(geom))
    return contactNormal;
  dVector3 v0, v1, v2;
  dGeomTriMeshGetTriangle(geom, triangle, &v0, &v1, &v2);
  const dReal a[3] = {v1[0] - v0[0], v1[1] - v0[1], v1[2] - v0[2]};
  const dReal b[3] = {v2[0] - v0[0], v2[1] - v0[1], v2[2] - v0[2]};
  dReal n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  const dReal length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (!(length > 1e-9)) return contactNormal;
  const dReal sign = n[0] * contactNormal.x + n[1] * contactNormal.y + n[2] * contactNormal.z < 0 ? -1 : 1;
  for (dReal& c : n) c *= sign / length;
  return normalOf(n);
}

}  // namespace

// ODE's contact normal points toward the first geom of the pair (moving
// it along the normal by the depth separates the two). Which geom comes
// first is the collider's choice, so the normal is turned here to point
// toward the side asked for.
bool ContactSide::find(const dContactGeom& contact, int kind) {
  PhysicsObject* first = objectOf(contact.g1);
  PhysicsObject* second = objectOf(contact.g2);
  if (!first || !second) return false;
  const bool ownFirst = first->surfaceKind == kind;
  if (!ownFirst && second->surfaceKind != kind) return false;
  own = ownFirst ? first : second;
  other = ownFirst ? second : first;
  const dReal sign = ownFirst ? 1 : -1;
  for (int i = 0; i < 3; ++i) normal[i] = sign * contact.normal[i];
  return true;
}

KartSurface::KartSurface(Vehicle* const* karts, int maxCollisions) : m_karts(karts) {
  m_maxCollisions = maxCollisions;
  m_createJoint = false;
  m_requireEnabledBodies = false;
}

ODEJointSurface KartSurface::sensorResult() const {
  ODEJointSurface result;
  result.m_createJoint = false;
  result.m_requireEnabledBodies = false;
  result.m_maxCollisions = m_maxCollisions;
  return result;
}

Vehicle* KartSurface::kartAt(int index) const {
  if (!m_karts || index < 0 || index >= Vehicle::kMaxKarts) return nullptr;
  return m_karts[index];
}

Vehicle* KartSurface::simulatedKartAt(int index) const {
  Vehicle* kart = kartAt(index);
  return kart && kart->isSimulated() ? kart : nullptr;
}

VehicleMaster* KartSurface::masterAt(int index) const {
  Vehicle* kart = simulatedKartAt(index);
  return kart ? kart->getMaster() : nullptr;
}

ODEJointSurface ODEJointSurfaceRay::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceKartRay) && side.own->ownerIndex >= 0) {
    const int ray = side.own->ownerIndex % KartSensors::kRays;
    if (Vehicle* kart = simulatedKartAt(side.own->ownerIndex / KartSensors::kRays)) {
      kart->m_sensors.rayHeight[ray] = static_cast<float>(contact.pos[1]);
      kart->m_sensors.pushNormal(ray, normalOf(side.normal));
      kart->m_sensors.rayKind[ray] = side.other->surfaceKind;
    }
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceFall::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceKartRay) && side.own->ownerIndex >= 0) {
    const int ray = side.own->ownerIndex % KartSensors::kRays;
    if (Vehicle* kart = simulatedKartAt(side.own->ownerIndex / KartSensors::kRays)) {
      kart->m_sensors.rayHeight[ray] = static_cast<float>(contact.pos[1]);
      if (ray < KartSensors::kWheelRays) kart->m_sensors.rayFall[ray] = 1;
      kart->m_sensors.pushNormal(ray, normalOf(side.normal));
    }
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceCollision::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceKartBody)) {
    if (Vehicle* kart = simulatedKartAt(side.own->ownerIndex)) {
      KartSensors& s = kart->m_sensors;
      s.wallTouched = true;
      s.wallPos = positionOf(contact);
      s.wallNormal = wallFaceNormal(contact, *side.other, normalOf(side.normal));
      s.wallDepth = static_cast<float>(contact.depth);
    }
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceVehicle::onContact(const dContactGeom& contact) {
  PhysicsObject* first = objectOf(contact.g1);
  PhysicsObject* second = objectOf(contact.g2);
  if (first && second) {
    Vehicle* kart1 = kartAt(first->ownerIndex);
    Vehicle* kart2 = kartAt(second->ownerIndex);
    // Each kart keeps a normal pointing toward itself, away from the other.
    const dReal* n = contact.normal;
    const Normal3 toFirst{static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])};
    const Normal3 toSecond{-toFirst.x, -toFirst.y, -toFirst.z};
    auto store = [&](Vehicle* kart, Vehicle* other, const Normal3& normal) {
      if (!kart || !other || kart == other || !kart->isSimulated()) return;
      KartSensors& s = kart->m_sensors;
      s.kartPos = positionOf(contact);
      s.kartNormal = normal;
      s.kartDepth = static_cast<float>(contact.depth);
      s.otherKart = other;
    };
    store(kart1, kart2, toFirst);
    store(kart2, kart1, toSecond);
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceObstacle::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceObstacle)) {
    if (Vehicle* kart = kartAt(side.other->ownerIndex)) {
      KartSensors& s = kart->m_sensors;
      s.obstacle = side.own;
      s.obstaclePos = positionOf(contact);
      s.obstacleNormal = normalOf(side.normal);
      s.obstacleDepth = static_cast<float>(contact.depth);
    }
  }
  return sensorResult();
}
