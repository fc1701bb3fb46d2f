// An object item that takes part in collision through one ODE geom: its
// own body's, a carrier's (a compound body) or none (static or animated
// scenery, sensor rays). The near callback finds the item again through the
// geom's user data and reads its surface kind.
#pragma once

#include <ode/ode.h>

#include <cstdint>

#include "scene/object_item.h"

enum GeomType : std::int32_t {
  kGeomSphere = 0,
  kGeomBox = 1,
  kGeomCapsule = 2,
  kGeomTriMesh = 3,
  kGeomRay = 5,
};

// The wireframe a geom's debug node draws in the item's frame: three unit
// circles of 16 segments (about Y, Z and X) for a sphere, the 12 edges of
// the cube from -0.5 to 0.5 for a box, nothing for other types. Fills
// pairs of points; returns the number of lines.
inline constexpr int kMaxGeomWireLines = 48;
int geomWireLines(std::int32_t geomType, Position3 (&points)[2 * kMaxGeomWireLines]);

class PhysicsObject : public ObjectItem {
 public:
  PhysicsObject(Scene* scene, std::int32_t id);
  // Takes its geoms and triangle data out of the simulation: a space must
  // not keep a geom whose user data is a deleted item. The body stays the
  // world's. Deletes the debug node.
  ~PhysicsObject() override;

  // Builds the geom once, sized by geomSize times the scale at time 0,
  // placed by the channels at time 0, and adds it to the space at
  // spaceIndex. Triangle meshes take the first mesh's kept geometry.
  // Spheres and boxes also get a debug node, drawn while the renderer's
  // debug-geometry switch is set.
  void prepare() override;
  // A body-less, uncarried geom other than a ray follows the channels.
  void evaluate(double t) override;
  // Moves the geom (its transform when carried) into `space`, out of any
  // other space it was in.
  void addToSpace(dSpaceID space);
  // Takes the geom out of `space`; nothing when it is not in there.
  void removeFromSpace(dSpaceID space);
  // What enters a space: the transform of a carried geom, else the geom.
  dGeomID spaceGeom() const { return transformGeom ? transformGeom : geom; }

  std::int32_t geomType = kGeomSphere;
  std::int32_t surfaceKind = 0;  // row and column of the surface table
  std::int32_t spaceIndex = 0;   // into the scene's spaces; 0 is the top space
  // Whose item this is, for the game's contact surfaces: a kart's collision
  // item holds the kart index, a kart's ground ray 5 x kart index + ray.
  std::int32_t ownerIndex = -1;
  // An extra box a kart has taken: seconds until the race brings it back.
  float reappearTime = 0.0f;
  dGeomID geom = nullptr;
  dGeomID transformGeom = nullptr;
  SceneItem* carrier = nullptr;  // whose body carries the geom; not owned
  float geomSize[3] = {1.0f, 1.0f, 1.0f};
  dTriMeshDataID triMeshData = nullptr;
  bool geomPrepared = false;

 private:
  bool createGeom(const float size[3]);
};
