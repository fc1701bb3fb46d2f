// An occluder: a flat rectangle of the scene that hides what lies behind it.
// Each frame it becomes a pyramid in the camera's clip space (x, y, w),
// from the eye through its four corners, closed by the plane itself.
#pragma once

#include "scene/object_item.h"

class CullingPlaneObject : public ObjectItem {
 public:
  CullingPlaneObject(Scene* scene, std::int32_t id);

  // From the first mesh's box and first triangle through the object-to-clip
  // matrix M; true when the plane faces the eye and so hides things.
  bool buildOccluder(const Matrix4x3& m);
  // Strictly inside all four sides and strictly behind the plane.
  bool pointOccluded(const float p[4]) const;
  bool boxOccluded(const Vector4 corners[8]) const;

  float apex[3] = {0, 0, 0};
  float capPoint[3] = {0, 0, 0};
  float capNormal[3] = {0, 0, 0};
};
