// The projection every item carries and the clip-space visibility tests
// the scene passes run through it.
#include <algorithm>

#include "render/render_pipeline.h"
#include "scene/scene_item.h"

void SceneItem::computeProjection(double) {
  projection = {};
  projection[0] = projection[5] = projection[10] = 1.0f;
  projection[11] = 1.0f;  // w takes z
  projectionValid = true;
}

const float* SceneItem::projectionForDepthRange(double t, float zNear, float zFar) {
  if (!projectionValid) computeProjection(t);
  const float n = std::max(nearClip, zNear - 0.0001f);
  const float f = std::min(zFar, farClip);
  const float f2 = std::max(n, f) + 0.0001f;
  if (renderer) renderer->fittedNear = renderer->fittedNearCopy = n;
  projectionFitted = true;
  projection[10] = f2 / (f2 - n);
  projection[14] = -(f2 / (f2 - n)) * n;
  return projection.m;
}

namespace {

// One bit per limit of the clip volume that the point keeps to.
unsigned insideBits(const float p[4], float nearClip, float farClip) {
  const float x = p[0], y = p[1], w = p[3];
  return (w >= nearClip ? 1u : 0u) | (farClip >= w ? 2u : 0u) | (x >= -w ? 4u : 0u) | (w >= x ? 8u : 0u) |
         (y >= -w ? 16u : 0u) | (w >= y ? 32u : 0u);
}

}  // namespace

bool SceneItem::isPointOutsideClip(const float p[4]) const { return insideBits(p, nearClip, farClip) != 63u; }

bool SceneItem::isBoxOutsideClip(const float corners[8][4]) const {
  unsigned any = 0;
  for (int k = 0; k < 8; ++k) any |= insideBits(corners[k], nearClip, farClip);
  return any != 63u;
}
