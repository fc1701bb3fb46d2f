// The camera follower the pipeline owns: a private rig (a camera on rig
// object 0, which shows an axis cross, and rig object 1, which shows the
// scene object enclosing the rig). Once per frame, before the top-level
// pass draws, it may sweep the followed item towards a requested camera
// position through the scene root's camera collider and pick the enclosing
// object. Disabled and following nothing until a caller sets it up.
#pragma once

#include "render/render_pipeline.h"
#include "scene/item_container.h"
#include "scene/object_item.h"

class CameraItem;
class Scene;

// Collision of the camera with the scene, installed on a scene root by the
// game; the follower only asks it.
class CameraCollider {
 public:
  virtual ~CameraCollider() = default;
  // True when the follower may apply the requested placement.
  virtual bool sweep(const float origin[3], const float direction[3], float length, float radius, Scene& scene,
                     double t) = 0;
  // True when the environment object's motion is not to be copied.
  virtual bool blocksEnvironment(SceneItem& rigObject, Scene& scene, SceneItem& environment, double t) = 0;
};

// The axis cross of the rig: three lines from -1 to 1 at the translation of
// the current world matrix, unrotated.
class CameraRigNode : public DebugNode {
 public:
  explicit CameraRigNode(RenderPipeline* pipeline) : DebugNode(pipeline) { computeBounds(false); }
  void draw(double t, SceneItem* item, SceneItem* camera) override;
};

// Rig object 1: shows another item's mesh node with its own motion.
class RigShowObject : public ObjectItem {
 public:
  RigShowObject(Scene* scene, std::int32_t id) : ObjectItem(scene, id) {}
  SceneNode* firstMesh() override { return shown; }
  void render(double t, SceneItem* camera) override;

  SceneNode* shown = nullptr;  // not owned
};

// Rig object 0: carries the rig node.
class RigBaseObject : public ObjectItem {
 public:
  RigBaseObject(Scene* scene, std::int32_t id, RenderPipeline* pipeline);
  SceneNode* firstMesh() override { return node.get(); }
  void render(double t, SceneItem* camera) override;

  std::unique_ptr<CameraRigNode> node;
};

class CameraController : public ItemContainer, public PipelineComponent {
 public:
  explicit CameraController(RenderPipeline* pipeline);
  ~CameraController() override;

  // True when it moved or changed anything this frame.
  bool update(Scene& scene, double t);
  // Turns the container's followed item by the three deltas (radians).
  static void rotateBy(double t, ItemContainer& container, float dHeading, float dPitch, float dBank);
  // The follower outlives scenes: a scene calls this as it goes, and every
  // pointer into it (the followed item, the environment and what the rig
  // shows of it) is dropped.
  void forgetScene(const Scene& scene);

  CameraItem* camera() const;
  RigBaseObject* rigObject0() const;
  RigShowObject* rigObject1() const;

  SceneItem* environment = nullptr;
  float followedPosition[3] = {0, 0, 0};
  float rigPosition0[3] = {0, 0, 0};
  float rigPosition1[3] = {0, 0, 0};
  float rigRotation0[3] = {0, 0, 0};
  float cameraGoal[3] = {0, 0, 0};
  bool checkEnvironment = false;

 private:
  // The scene object with the smallest box around rig object 0.
  void chooseEnvironment(Scene& scene, double t);
};

// The pipeline's follower (made on first use), or null without a pipeline.
CameraController* cameraControllerOf(RenderPipeline* pipeline);
