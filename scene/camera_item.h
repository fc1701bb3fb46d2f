// A camera: an item whose zoom can be animated and which supplies the view,
// projection and viewport a scene is drawn through.
#pragma once

#include "foundation/anim_channel.h"
#include "scene/scene_item.h"

class CameraItem : public SceneItem {
 public:
  CameraItem(Scene* scene, std::int32_t id);

  // With withAxis, the axis matrix (the viewing frame, shifted for the eye
  // in stereo) comes first.
  void worldMatrix(Matrix4x3& out, double t, bool withAxis) override;
  void inverseWorldMatrix(Matrix4x3& out, double t, bool withAxis) override;
  D3DVIEWPORT9* getViewport() override;
  void invalidate() override;
  // Scale factors from the zoom and the pipeline's view angles; depth
  // terms are left for the object pass to fit.
  void computeProjection(double t) override;

  // 0 and 1 put a fixed quarter turn (about y, about x) between the item's
  // frame and the viewing frame; any other value keeps the item's frame.
  std::int32_t axisMode = 2;
  AnimatedFloat zoomFactor{3.2f};
  float eyeSeparation = 0.06f;
  // The camera's own fog distances, each used while its flag is set.
  float fogStart = 0.0f, fogEnd = 0.0f;
  bool fogStartSet = false, fogEndSet = false;
  Matrix4x3 axisMatrix = g_identityMatrix;
  Matrix4x3 inverseAxisMatrix = g_identityMatrix;
  bool axisValid = false;

 private:
  void computeAxisMatrix();
  int eyeIndex() const;
};
