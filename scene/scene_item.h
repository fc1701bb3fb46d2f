// The base of every item a scene holds (objects, lights, cameras, bones,
// physics and joint objects): nine animated channels, the place in the item
// hierarchy, limits, the optional ODE body, and the cached world and inverse
// world matrices that every consumer reads.
//
// Rotations handed in and out are the vector (x, y, z) = (-pitch, heading,
// -bank) in radians, built from the channels heading H, pitch P and bank B.
#pragma once

#include <ode/ode.h>

#include <cfloat>
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/anim_channel.h"
#include "foundation/matrix.h"
#include "platform/graphics/d3d9.h"
#include "scene/scene_node.h"

class RenderPipeline;
class Scene;

enum class ItemType : std::int32_t {
  Object = 1,
  Light = 2,
  Camera = 3,
  Bone = 4,
  PhysicsObject = 5,
  JointObject = 6,
};

// What a heading or pitch controller does.
enum ItemController : std::int32_t {
  kControllerKeyframed = 0,
  kControllerPointAtTarget = 1,
  kControllerAlignToPath = 2,
};

// Axis codes of the rotation order.
enum RotationAxis : std::int32_t {
  kAxisPitch = 0,    // about X
  kAxisHeading = 1,  // about Y
  kAxisBank = 2,     // about Z
};

class SceneItem : public DeviceOwner {
 public:
  SceneItem(Scene* scene, ItemType type, std::int32_t id);
  SceneItem(const SceneItem&) = delete;
  SceneItem& operator=(const SceneItem&) = delete;
  // Deletes the channels, the target-line node and the side planes; the ODE
  // body and the geom debug node belong to others.
  virtual ~SceneItem();

  virtual bool isDirectional() const { return false; }
  // Builds what the item needs to be drawn and simulated (geoms, bodies,
  // joints, render objects) once the scene is loaded; runs once per item.
  virtual void prepare() {}
  // prepare, the first time only: scenes are prepared again after merge
  // loads add items, and a second run would reset bodies or add joints twice.
  void prepareOnce() {
    if (prepared) return;
    prepared = true;
    prepare();
  }
  // The item's first mesh, or null for items without one. Its node index is
  // the model layer it was built from.
  virtual SceneNode* firstMesh() { return nullptr; }
  // The cached world matrix, recomputed when invalid. withAxis serves
  // cameras and lights.
  virtual void worldMatrix(Matrix4x3& out, double t, bool withAxis);
  virtual void inverseWorldMatrix(Matrix4x3& out, double t, bool withAxis);
  // The renderer's view of an item: its projection fitted to the depth range
  // [zNear, zFar] clamped to the item's own, and the clip-space tests.
  virtual const float* projectionForDepthRange(double t, float zNear, float zFar);
  // p = (x, y, z, w): outside when w is not within [nearClip, farClip] or
  // x or y is not within [-w, w].
  virtual bool isPointOutsideClip(const float p[4]) const;
  // Outside when one and the same of those six limits excludes all corners.
  virtual bool isBoxOutsideClip(const float corners[8][4]) const;
  virtual D3DVIEWPORT9* getViewport() { return &viewport; }
  // Clears the cache flags; the scene calls it on every item after each
  // physics step and before drawing. The world matrix is read again from
  // the channels, unless it cannot have changed (placementHeld).
  virtual void invalidate();
  virtual void evaluate(double t);
  virtual void updateInverseWorldMatrix(double t);
  // Objects and bones look along z with w = z; cameras and lights build
  // their own.
  virtual void computeProjection(double t);

  // The world matrix seen through a viewing frame: axis x world, or world
  // alone without an axis (cameras and lights).
  void framedWorldMatrix(Matrix4x3& out, double t, const Matrix4x3* axis);
  // Its inverse: inverse world x inverse axis.
  void framedInverseWorldMatrix(Matrix4x3& out, double t, const Matrix4x3* inverseAxis);

  void setName(const std::string& text) { name = text; }
  // Stores the position, clamped to the limit box when positions are
  // limited, and puts a simulated body there at rest.
  void setPosition(const float p[3]);
  // Adds d to the position. With limits, a move that would lose more than a
  // third of its travel against the box is refused; returns whether the
  // item moved.
  bool moveBy(const float d[3]);
  void setPivotPosition(const float p[3]);
  // Stores r (clamping the limited components when asked) and turns a
  // simulated body to match.
  void setRotation(const float r[3], bool clamp);
  // Sets the scale channel values; envelopes stay.
  void setScale(const float s[3]);
  void getRotationAt(float out[3], double t);
  void getScaleAt(Matrix4x3& out, double t);
  void translationAt(Matrix4x3& out, double t);
  // The local matrix from the channels (no parent, body or fixed matrix).
  void localMatrixAt(Matrix4x3& out, double t);
  // The world rotation only: item rotation, pivot rotation and the parents'.
  void worldRotationAt(Matrix4x3& out, double t);
  void getODERotation(dMatrix3 R, double t);
  // Copies the channel values at t and the animation set-up (pivot,
  // controllers, rotation order) into `other`.
  void sampleChannelsInto(SceneItem& other, double t);
  void drawDebug(double t);
  // The world-space ends of the debug line from this item's pivot to its
  // target's pivot; false without a target.
  bool targetLineEnds(double t, Position3& from, Position3& to);

  // The nine animated channels, in the order the scene files number them.
  AnimatedFloat* channel(int index);

  RenderPipeline* renderer = nullptr;  // the owning scene's
  SceneItem* parent = nullptr;
  SceneItem* target = nullptr;
  AnimatedFloat position[3];  // X, Y, Z
  AnimatedFloat rotation[3];  // heading, pitch, bank
  AnimatedFloat scale[3] = {AnimatedFloat(1.0f), AnimatedFloat(1.0f), AnimatedFloat(1.0f)};
  Position3 pivot;
  float pivotRotation[3] = {0, 0, 0};  // pitch, heading, bank
  std::int32_t localMode = 0;          // 1: the local matrix is bodyMatrix
  std::int32_t headingController = kControllerKeyframed;
  std::int32_t pitchController = kControllerKeyframed;
  std::int32_t bankController = kControllerKeyframed;
  float pathLookAhead = 0.0f;
  std::int32_t rotationOrder[3] = {kAxisHeading, kAxisPitch, kAxisBank};
  float visibleDepthRange[2] = {0, 0};
  std::int32_t sidePlaneCount = 0;
  std::unique_ptr<Normal3[]> sidePlaneNormals;
  dBodyID body = nullptr;
  dMass mass;
  SceneItem* linkedItem = nullptr;
  bool rotationLinked = false;
  Matrix4x3 worldMatrixCache = g_affineIdentity;
  Matrix4x3 inverseWorldCache = g_affineIdentity;
  Matrix4x3 projection = g_affineIdentity;
  Matrix4x3 bodyMatrix = g_affineIdentity;
  D3DVIEWPORT9 viewport{0, 0, 512, 512, 0.0f, 1.0f};  // as a camera or a light renders
  bool worldValid = false;
  bool inverseValid = false;
  bool projectionValid = false;
  bool projectionFitted = false;
  float farClip = FLT_MAX;
  SceneNode* geomDebugNode = nullptr;
  std::unique_ptr<SceneNode> targetLineNode;
  ItemType type;
  std::string name;
  Scene* scene;
  std::int32_t id;
  std::uint32_t channelFlags = 0x1FF;
  bool positionLimited = false;
  float positionMin[3] = {0, 0, 0};
  float positionMax[3] = {0, 0, 0};
  std::uint32_t rotationLimitBits = 1;
  float rotationMin[3] = {-1.5707964f, 0, 0};
  float rotationMax[3] = {1.5707964f, 0, 0};
  float nearClip = 0.01f;
  bool prepared = false;

 protected:
  // Objects may keep their last evaluated placement; cameras and lights,
  // whose matrices also serve the viewing frame, never do.
  virtual bool mayHoldPlacement() const { return false; }

 private:
  // What the cached world matrix was made from, noted by evaluate.
  struct PlacementInputs {
    float values[9] = {};  // the channels as evaluated, in channel order
    Position3 pivot;
    float pivotRotation[3] = {};
    std::int32_t rotationOrder[3] = {};
    const SceneItem* parent = nullptr;
    std::uint64_t parentEvaluations = 0;
    bool byValuesAlone = false;
  };
  // Whether the last matrix evaluate made is what it would make now: the
  // item may keep it (mayHoldPlacement), nothing places the item but values
  // that are the same at every time (no body, local matrix, aiming
  // controller, rotation link, mixer channel or envelope of more than one
  // key), none of them has changed since, and its parent holds as well and
  // has not been evaluated again since.
  bool placementHeld();
  // No body, local matrix, aiming controller or rotation link.
  bool placedByValuesAlone() const;
  void notePlacementInputs();
  bool placementInputsUnchanged();

  // The rotation part of the local matrix for the rotation vector r.
  Matrix4x3 rotationMatrix(const float r[3]) const;
  Matrix4x3 pivotRotationMatrix() const;
  // T(-pivot) x S(t) x rotation x pivot rotation x T(position(t)).
  Matrix4x3 channelMatrix(const float r[3], double t);
  // The vector from this item to what its controller aims at; false when
  // the controller is keyframed or has no target.
  bool controllerDirection(std::int32_t controller, double t, float d[3]);

  // Guards against items that reach themselves through parents, targets or
  // rotation links: a cycle then reads the stale cache instead of recursing
  // without end.
  bool m_evaluating = false;
  bool m_readingRotation = false;
  bool m_readingWorldRotation = false;
  bool m_checkingPlacement = false;

  PlacementInputs m_placement;
  bool m_placementNoted = false;
  // Counts evaluations, so that a child can tell that its parent's matrix
  // was computed again after the child read it.
  std::uint64_t m_evaluations = 0;
};

// The target-line node every item owns: while the renderer's debug-geometry
// switch is set, a line in world space from the item's pivot to its
// target's (SceneItem::targetLineEnds), unlit and untextured.
class TargetLineNode : public DebugNode {
 public:
  explicit TargetLineNode(RenderPipeline* pipeline) : DebugNode(pipeline) {}
  void draw(double t, SceneItem* item, SceneItem* camera) override;
};
