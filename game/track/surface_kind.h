// The surface kinds of the race's physics objects: the track's ground,
// walls, sensors and hazards, the karts' rays and bodies, and what the karts
// fire. Scene files give every geom one of them; the race installs a contact
// surface for each pair of kinds that meet.
#pragma once

enum SurfaceKind : int {
  kSurfaceRoad = 0,
  kSurfaceWall = 1,
  kSurfaceKartRay = 5,
  kSurfaceKartBody = 6,
  kSurfaceResetZone = 7,
  kSurfaceFallZone = 8,
  kSurfaceObstacle = 12,
  kSurfaceExtraBox = 13,
  kSurfaceCrusher = 14,
  kSurfaceSpeedUp = 15,
  kSurfaceStamper = 16,
  kSurfaceRocket = 18,      // rockets and laser beams in flight
  kSurfaceCheckpoint = 19,  // the finish line
  kSurfaceWind = 20,
  kSurfaceSlide = 21,
  kSurfaceBand = 22,
  kSurfaceTrigger = 23,
  // Ground on which a kart keeps sliding the way it went (its direction
  // weighs more).
  kSurfaceSlidingGround = 25,
  // Ground that holds a kart to 0.7 of its top speed.
  kSurfaceSlowGround = 26,
};
