// The camera a mirror's reflection is drawn through: fixed at the inverse
// of the reflected view, with the projection and viewport of the camera it
// stands in for, keeping only boxes seen through the mirror (inside every
// side plane of the real view and of the mirror's edges, and partly in
// front of the mirror). Built for one reflected pass, never listed.
#pragma once

#include <memory>

#include "scene/scene_item.h"

class MirrorCamera : public SceneItem {
 public:
  // Takes the side normals; eye, mirrorPoint and mirrorNormal are three
  // floats in the camera's clip-space (x, y, w).
  MirrorCamera(Scene* scene, const Matrix4x3& view, const float eye[3], const float mirrorPoint[3], int sideCount,
               const float mirrorNormal[3], std::unique_ptr<Normal3[]> sideNormals, SceneItem* source);

  // The source's own projection fitted to its visible-depth range.
  const float* projectionForDepthRange(double t, float zNear, float zFar) override;
  bool isBoxOutsideClip(const float corners[8][4]) const override;
  D3DVIEWPORT9* getViewport() override;
  // World = the inverse of the reflected view.
  void evaluate(double t) override;
  // The source's projection, recomputed first when the source's is stale.
  void computeProjection(double t) override;

  Matrix4x3 view;
  float eye[3];
  float mirrorPoint[3];
  float mirrorNormal[3];
  SceneItem* source;
};
