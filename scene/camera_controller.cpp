#include "scene/camera_controller.h"

#include <cfloat>
#include <cmath>

#include "foundation/profiler.h"
#include "scene/camera_item.h"
#include "scene/debug_lines.h"
#include "scene/scene.h"
#include "scene/scene_root.h"

namespace {

void translationOf(SceneItem& item, double t, float out[3]) {
  Matrix4x3 world;
  item.worldMatrix(world, t, true);
  out[0] = world[12], out[1] = world[13], out[2] = world[14];
}

}  // namespace

void CameraRigNode::draw(double, SceneItem*, SceneItem*) {
  if (!pipeline || !pipeline->constantTable) return;
  Matrix4x3 at = g_identityMatrix;
  const Matrix4x3& current = pipeline->constantTable->world;
  at[12] = current[12], at[13] = current[13], at[14] = current[14];
  static constexpr Position3 kAxes[6] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
  drawDebugLines(*pipeline, at, kAxes, 3, 0xFFFFFF00);
}

RigBaseObject::RigBaseObject(Scene* owner, std::int32_t id, RenderPipeline* pipeline) : ObjectItem(owner, id) {
  node = std::make_unique<CameraRigNode>(pipeline);
}

void RigBaseObject::render(double t, SceneItem* camera) {
  if (!renderer) return;
  Matrix4x3 world;
  worldMatrix(world, t, true);
  renderer->setWorldMatrix(world);
  node->draw(t, this, camera);
}

void RigShowObject::render(double t, SceneItem* camera) {
  if (!renderer || !shown) return;
  Matrix4x3 world;
  worldMatrix(world, t, true);
  renderer->setWorldMatrix(world);
  shown->draw(t, this, camera);
}

CameraController::CameraController(RenderPipeline* owner) : ItemContainer(owner) {
  auto base = std::make_unique<RigBaseObject>(nullptr, 0, owner);
  auto show = std::make_unique<RigShowObject>(nullptr, 1);
  auto rigCamera = std::make_unique<CameraItem>(nullptr, 0);
  base->renderer = show->renderer = rigCamera->renderer = owner;
  rigCamera->parent = base.get();
  objects.push_back(std::move(base));
  objects.push_back(std::move(show));
  cameras.push_back(std::move(rigCamera));
}

CameraController::~CameraController() {
  // The camera hangs from rig object 0: it goes first (the container
  // deletes cameras before objects).
}

CameraItem* CameraController::camera() const { return static_cast<CameraItem*>(cameras.front().get()); }
RigBaseObject* CameraController::rigObject0() const { return static_cast<RigBaseObject*>(objects[0].get()); }
RigShowObject* CameraController::rigObject1() const { return static_cast<RigShowObject*>(objects[1].get()); }

bool CameraController::update(Scene& scene, double t) {
  // The rig belongs to no scene: nothing else clears its cached matrices.
  invalidateOwnItems();
  bool changed = false;
  CameraCollider* collider =
      pipeline && pipeline->cameraCollision() && scene.root ? scene.root->cameraCollider : nullptr;
  if (followed && collider) {
    float o[3];
    translationOf(*followed, t, o);
    const float radius = 2.0f * followed->nearClip;
    float d[3] = {cameraGoal[0] - o[0], cameraGoal[1] - o[1], cameraGoal[2] - o[2]};
    const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (length > 1e-6f) {
      for (float& v : d) v /= length;
      bool swept = false;
      {
        ProfileScope timed(GameCounter::kCameraSceneCollision);
        swept = collider->sweep(o, d, length, radius, scene, t);
      }
      if (swept) {
        followed->setPosition(followedPosition);
        RigBaseObject& rig0 = *rigObject0();
        rig0.setPosition(rigPosition0);
        rigObject1()->setPosition(rigPosition1);
        rig0.rotation[0].value = rigRotation0[1];
        rig0.rotation[1].value = -rigRotation0[0];
        rig0.rotation[2].value = -rigRotation0[2];
        if (rig0.body) {
          dMatrix3 R;
          rig0.getODERotation(R, 0.0);
          dBodySetRotation(rig0.body, R);
        }
        changed = true;
      }
    }
  }
  if (enabled) {
    RigShowObject& rig1 = *rigObject1();
    if (environment == &rig1) chooseEnvironment(scene, t);
    if (environment && environment != &rig1 && environment->scene == &scene) {
      const bool blocked = checkEnvironment && collider && collider->blocksEnvironment(rig1, scene, *environment, t);
      if (!blocked) {
        environment->sampleChannelsInto(rig1, t);
        changed = true;
      }
      rig1.shown = environment->firstMesh();
      rig1.parent = environment->parent;
      rig1.target = environment->target;
    } else {
      rig1.shown = nullptr;
      rig1.parent = rig1.target = nullptr;
    }
  }
  return changed;
}

void CameraController::chooseEnvironment(Scene& scene, double t) {
  float p[3];
  translationOf(*rigObject0(), t, p);
  float best = FLT_MAX;
  for (auto& item : scene.objects) {
    SceneNode* node = item->firstMesh();
    if (!node) continue;
    const Position3 &lo = node->corners[0], &hi = node->corners[7];
    const float e[3] = {hi.x - lo.x, hi.y - lo.y, hi.z - lo.z};
    const float s = std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
    if (!(s < best)) continue;
    Matrix4x3 inverse;
    item->inverseWorldMatrix(inverse, t, true);
    float q[3];
    for (int k = 0; k < 3; ++k)
      q[k] = p[0] * inverse[k] + p[1] * inverse[4 + k] + p[2] * inverse[8 + k] + inverse[12 + k];
    if (q[0] >= lo.x && q[0] <= hi.x && q[1] >= lo.y && q[1] <= hi.y && q[2] >= lo.z && q[2] <= hi.z) {
      environment = item.get();
      best = s;
      item->sampleChannelsInto(*rigObject1(), t);
    }
  }
}

void CameraController::forgetScene(const Scene& dying) {
  auto inScene = [&](const SceneItem* item) { return item && item->scene == &dying; };
  if (inScene(followed)) followed = nullptr;
  RigShowObject& rig1 = *rigObject1();
  if (inScene(environment)) {
    environment = nullptr;
    rig1.shown = nullptr;
  }
  if (inScene(rig1.parent)) rig1.parent = nullptr;
  if (inScene(rig1.target)) rig1.target = nullptr;
}

void CameraController::rotateBy(double t, ItemContainer& container, float dHeading, float dPitch, float dBank) {
  SceneItem* item = container.followed;
  if (!item) return;
  float r[3];
  item->getRotationAt(r, t);
  r[1] += dHeading;
  r[0] -= dPitch;
  r[2] -= dBank;
  item->setRotation(r, true);
}

CameraController* cameraControllerOf(RenderPipeline* pipeline) {
  if (!pipeline) return nullptr;
  if (!pipeline->cameraController) pipeline->cameraController = std::make_unique<CameraController>(pipeline);
  return dynamic_cast<CameraController*>(pipeline->cameraController.get());
}
