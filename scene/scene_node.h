// The render-side base of the scene graph: a name, an axis-aligned box kept
// as eight corners with a sphere around them, and per-frame flags. Derived
// nodes draw; the base draws nothing.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/matrix.h"
#include "render/device_owner.h"

class RenderPipeline;
class LWOModel;
class SceneItem;

struct Vector4 {
  float x = 0, y = 0, z = 0, w = 0;
};

class SceneNode : public DeviceOwner {
 public:
  SceneNode(RenderPipeline* pipeline, LWOModel* link) : pipeline(pipeline), link(link) {}
  SceneNode(const SceneNode&) = delete;
  SceneNode& operator=(const SceneNode&) = delete;
  virtual ~SceneNode() = default;

  // The object that holds the node's points and polygons, if any.
  virtual SceneNode* geometry() { return nullptr; }
  virtual bool computeBounds(bool keepGeometry) = 0;
  virtual SceneNode* resolve() = 0;
  virtual void beginFrame() { drawnThisFrame = false; }
  // Each corner (with w = 1) times the row-vector matrix m, not divided by w.
  virtual void transformBox(const Matrix4x3& m, Vector4 out[8]) const;
  virtual void draw(double t, SceneItem* item, SceneItem* camera) = 0;
  virtual std::uintptr_t userWord() const = 0;

  // Corner k takes x from max when bit 2 of k is set, y when bit 1 is set,
  // z when bit 0 is set, and from min otherwise.
  void setBox(const Position3& min, const Position3& max);
  // Distance from p to the bounding sphere's surface, from outside or inside.
  float distanceToSphere(const Position3& p) const;

  RenderPipeline* pipeline;
  LWOModel* link;
  bool hasBox = false;
  Position3 corners[8];
  Position3 centre;
  float radius = 0.0f;
  Position3 pivot;  // written by the object loader for layers
  std::int32_t index = -1;
  std::uint8_t flagA = 0;
  bool boundsReady = false;
  bool drawnThisFrame = false;
  std::uintptr_t words[4] = {0, 0, 0, 0};  // words[1] is the user word
  std::string name;
};

// The nodes of debug drawing (an item's target line, a bone's wireframe, the
// camera rig): their bounds are the unit box around the origin.
class DebugNode : public SceneNode {
 public:
  explicit DebugNode(RenderPipeline* pipeline) : SceneNode(pipeline, nullptr) {}

  // Sets the box (-1,-1,-1)..(1,1,1) unless the bounds are already ready.
  bool computeBounds(bool keepGeometry) override;
  SceneNode* resolve() override { return nullptr; }
  std::uintptr_t userWord() const override { return words[1]; }
};
