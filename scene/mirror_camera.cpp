#include "scene/mirror_camera.h"

#include <cstring>

MirrorCamera::MirrorCamera(Scene* owner, const Matrix4x3& reflectedView, const float eyePoint[3], const float point[3],
                           int sideCount, const float normal[3], std::unique_ptr<Normal3[]> sideNormals,
                           SceneItem* sourceCamera)
    : SceneItem(owner, static_cast<ItemType>(0), 0), view(reflectedView), source(sourceCamera) {
  nearClip = 0.01f;
  std::memcpy(eye, eyePoint, sizeof eye);
  std::memcpy(mirrorPoint, point, sizeof mirrorPoint);
  std::memcpy(mirrorNormal, normal, sizeof mirrorNormal);
  sidePlaneCount = sideNormals ? sideCount : 0;
  sidePlaneNormals = std::move(sideNormals);
  if (source) farClip = source->farClip;
}

const float* MirrorCamera::projectionForDepthRange(double t, float, float) {
  if (!source) return SceneItem::projectionForDepthRange(t, nearClip, farClip);
  const float* fitted = source->projectionForDepthRange(t, source->visibleDepthRange[0], source->visibleDepthRange[1]);
  std::memcpy(projection.m, fitted, sizeof projection.m);
  return projection.m;
}

bool MirrorCamera::isBoxOutsideClip(const float corners[8][4]) const {
  const int n = sidePlaneNormals ? sidePlaneCount : 0;
  unsigned long long hit = 0;  // one bit per side plane; more than 64 planes count as reached
  bool front = false;
  for (int k = 0; k < 8; ++k) {
    const float c[3] = {corners[k][0], corners[k][1], corners[k][3]};
    for (int i = 0; i < n; ++i) {
      const Normal3& s = sidePlaneNormals[i];
      if (i >= 64 || s.x * (c[0] - eye[0]) + s.y * (c[1] - eye[1]) + s.z * (c[2] - eye[2]) >= 0.0f) {
        if (i < 64) hit |= 1ull << i;
      }
    }
    const float toPoint = (c[0] - mirrorPoint[0]) * mirrorNormal[0] + (c[1] - mirrorPoint[1]) * mirrorNormal[1] +
                          (c[2] - mirrorPoint[2]) * mirrorNormal[2];
    if (toPoint >= 0.0f) front = true;
  }
  const unsigned long long all = n >= 64 ? ~0ull : (1ull << n) - 1;
  return !(front && (hit & all) == all);
}

D3DVIEWPORT9* MirrorCamera::getViewport() { return source ? source->getViewport() : SceneItem::getViewport(); }

void MirrorCamera::evaluate(double) {
  invertAffine(&worldMatrixCache, view);
  worldValid = true;
}

void MirrorCamera::computeProjection(double t) {
  if (!source) {
    SceneItem::computeProjection(t);
    return;
  }
  if (!source->projectionValid || source->projectionFitted) {
    source->computeProjection(t);
    source->projectionFitted = false;
  }
  projection = source->projection;
  projectionValid = true;
}
