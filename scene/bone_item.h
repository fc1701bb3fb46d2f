// One bone of a skinned object: its rest pose relative to its parent bone,
// the weighting parameters the skinning reads, and the rest and pose
// matrices whose product fills the bone palette.
#pragma once

#include <string>

#include "scene/scene_item.h"

class BoneItem : public SceneItem {
 public:
  // Item id (boneNumber << 16) + objectIndex; the bone owns its wireframe node.
  BoneItem(Scene* scene, std::int32_t objectIndex, std::int32_t boneNumber);
  ~BoneItem() override;

  void invalidate() override;
  // Once: the rest pose as a matrix in object space, parents first.
  const Matrix4x3& computeRestMatrix(double t);

  Position3 restPosition;
  float restPitch = 0.0f, restHeading = 0.0f, restBank = 0.0f;
  float restLength = 1.0f;
  float strength = 1.0f;
  bool scaleStrength = false;
  bool limitedRange = false;
  float minRange = 0.0f;
  float maxRange = 1.0f;
  std::string weightMapName;
  BoneItem* parentBone = nullptr;
  Matrix4x3 restMatrix = g_identityMatrix;
  Matrix4x3 inverseRestMatrix = g_identityMatrix;
  // Local matrix at the current time x the parent bone's pose; kept by the
  // object until the next invalidate.
  Matrix4x3 poseMatrix = g_identityMatrix;
  bool restValid = false;
  bool inverseRestValid = false;
  bool poseValid = false;

 private:
  bool m_computingRest = false;  // a bone chain that loops ends here
};

// The green wireframe a bone shows when debug geometry is drawn: a pyramid
// from the bone's origin over a ring at a tenth of its length to its tip.
class BoneWireNode : public DebugNode {
 public:
  explicit BoneWireNode(RenderPipeline* pipeline) : DebugNode(pipeline) {}
  void draw(double t, SceneItem* item, SceneItem* camera) override;
};
