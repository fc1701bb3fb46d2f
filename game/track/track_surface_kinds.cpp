#include "game/track/track_surface_kinds.h"

#include "game/kart/vehicle.h"
#include "game/kart/vehicle_master.h"
#include "scene/physics_object.h"

ODEJointSurface ODEJointSurfaceCheck::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceKartBody)) {
    if (Vehicle* kart = kartAt(side.own->ownerIndex)) {
      kart->m_lineTouched = 1;
      kart->m_sectorMask |= 1u;
    }
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceExtra::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceExtraBox)) {
    if (Vehicle* kart = kartAt(side.other->ownerIndex)) kart->giveRandomExtra(side.own);
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceSpeedup::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceSpeedUp)) {
    if (VehicleMaster* kart = masterAt(side.other->ownerIndex)) kart->startSpeedBoost(side.own);
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceStampfer::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceStamper)) {
    if (VehicleMaster* kart = masterAt(side.other->ownerIndex)) kart->onStamped();
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceCrusher::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceCrusher)) {
    if (VehicleMaster* kart = masterAt(side.other->ownerIndex)) kart->onCrushed();
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceRocketWall::onContact(const dContactGeom& contact) {
  ContactSide side;
  // The rocket carries the index of the kart that fired it. A rocket or
  // shot that kart has not fired lies parked, or waits in the kart's
  // launcher: it has nothing to go off at.
  if (side.find(contact, kSurfaceRocket)) {
    VehicleMaster* kart = masterAt(side.own->ownerIndex);
    if (kart && kart->weaponInFlight(side.own)) {
      kart->explodeWeapon(Position3{static_cast<float>(contact.pos[0]), static_cast<float>(contact.pos[1]),
                                    static_cast<float>(contact.pos[2])});
    }
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceRutsch::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceSlide)) {
    if (VehicleMaster* kart = masterAt(side.other->ownerIndex)) kart->m_drive.m_sliding = 1;
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceBand::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceBand)) {
    if (Vehicle* kart = simulatedKartAt(side.other->ownerIndex)) kart->m_sensors.band = side.own;
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceWind::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceWind)) {
    if (Vehicle* kart = simulatedKartAt(side.other->ownerIndex)) kart->m_sensors.wind = side.own;
  }
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceTrigger::onContact(const dContactGeom& /*contact*/) {
  // Only an idle timer (exactly 0, where the race stops it) starts again.
  if (m_timer == 0.0f) m_timer = kRunTime;
  return sensorResult();
}

ODEJointSurface ODEJointSurfaceReset::onContact(const dContactGeom& contact) {
  ContactSide side;
  if (side.find(contact, kSurfaceResetZone)) {
    if (VehicleMaster* kart = masterAt(side.other->ownerIndex)) kart->respawn();
  }
  return sensorResult();
}
