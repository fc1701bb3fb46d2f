// The projection every item carries and the clip-space visibility tests
// the scene passes run through it.
#include <algorithm>
#include <cmath>

#include "render/render_pipeline.h"
#include "scene/scene_item.h"

void SceneItem::computeProjection(double) {
  projection = {};
  projection[0] = projection[5] = projection[10] = 1.0f;
  projection[11] = 1.0f;  // w takes z
  projectionValid = true;
}

namespace {

// The margin the fit keeps around the visible depths: 0.0001 near the eye,
// growing with the depth beyond 10 units. A fixed margin vanishes in float
// rounding far out (a lone plane 2,500 units away would get a zero depth
// range and an infinite projection) and, well before that, leaves so few
// representable steps that the depths come out as noise.
float depthMargin(float depth) { return std::max(0.0001f, std::fabs(depth) * 1e-5f); }

// The far limit just beyond `depth`; an unbounded far clip (FLT_MAX) stays
// where it is instead of overflowing.
float beyond(float depth) {
  const float f = depth + depthMargin(depth);
  return std::isfinite(f) ? f : depth;
}

}  // namespace

const float* SceneItem::projectionForDepthRange(double t, float zNear, float zFar) {
  if (!projectionValid) computeProjection(t);
  const float n = std::max(nearClip, zNear - depthMargin(zNear));
  const float f = std::min(zFar, farClip);
  const float f2 = beyond(std::max(n, f));
  if (renderer) renderer->fittedNear = n;
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
