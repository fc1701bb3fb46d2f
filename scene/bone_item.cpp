#include "scene/bone_item.h"

#include "render/render_pipeline.h"
#include "scene/debug_lines.h"
#include "scene/item_math.h"

BoneItem::BoneItem(Scene* scene, std::int32_t objectIndex, std::int32_t boneNumber)
    : SceneItem(scene, ItemType::Bone, (boneNumber << 16) + objectIndex) {
  nearClip = 0.01f;
  geomDebugNode = new BoneWireNode(renderer);
}

BoneItem::~BoneItem() { delete geomDebugNode; }

void BoneItem::invalidate() {
  SceneItem::invalidate();
  poseValid = false;
}

const Matrix4x3& BoneItem::computeRestMatrix(double t) {
  if (restValid || m_computingRest) return restMatrix;
  m_computingRest = true;
  Matrix4x3 local = rotationZ(restBank);
  postMultiply(local, rotationX(restPitch));
  postMultiply(local, rotationY(restHeading));
  postMultiply(local, rotationZ(pivotRotation[2]));
  postMultiply(local, rotationX(pivotRotation[0]));
  postMultiply(local, rotationY(pivotRotation[1]));
  postMultiply(local, translationMatrix(restPosition.x, restPosition.y, restPosition.z));
  if (parentBone) postMultiply(local, parentBone->computeRestMatrix(t));
  restMatrix = local;
  restValid = true;
  m_computingRest = false;
  return restMatrix;
}

void BoneWireNode::draw(double t, SceneItem* item, SceneItem*) {
  auto* bone = dynamic_cast<BoneItem*>(item);
  if (!bone || !pipeline) return;
  const float l = bone->restLength, r = 0.1f * l;
  const Position3 ring[4] = {{r, 0, r}, {0, r, r}, {-r, 0, r}, {0, -r, r}};
  const Position3 origin{0, 0, 0}, tip{0, 0, l};
  Position3 lines[24];
  int n = 0;
  for (const Position3& p : {ring[0], ring[2], ring[1], ring[3]}) lines[n++] = origin, lines[n++] = p;
  for (int i = 0; i < 4; ++i) lines[n++] = ring[i], lines[n++] = ring[(i + 1) % 4];
  for (const Position3& p : {ring[0], ring[2], ring[1], ring[3]}) lines[n++] = p, lines[n++] = tip;
  Matrix4x3 world;
  bone->worldMatrix(world, t, true);
  // Green at 0.8: 204 of 255.
  drawDebugLines(*pipeline, world, lines, 12, 0xFF00CC00);
}
