#include "scene/scene_item.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "foundation/color_rgba.h"
#include "foundation/envelope.h"
#include "foundation/profiler.h"
#include "render/render_pipeline.h"
#include "scene/debug_lines.h"
#include "scene/item_math.h"
#include "scene/scene.h"

namespace {

// Sets a flag for the lifetime of the guard.
class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : m_flag(flag) { m_flag = true; }
  ~ScopedFlag() { m_flag = false; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& m_flag;
};

// The value an animated float gives at every time; false when it may change
// with time: a mixer channel, or an envelope of two keys or more.
bool timelessValue(const AnimatedFloat& f, float& out) {
  if (!f.channel) {
    out = f.value;
    return true;
  }
  Envelope* envelope = f.channel->asEnvelope();
  if (!envelope || envelope->keys().size() > 1) return false;
  out = static_cast<float>(envelope->evaluate(0.0));
  return true;
}

// Bit for bit, so that a kept matrix is exactly the one evaluate would give.
bool sameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

bool sameBits(const float* a, const float* b, int n) {
  for (int i = 0; i < n; ++i)
    if (!sameBits(a[i], b[i])) return false;
  return true;
}

}  // namespace

SceneItem::SceneItem(Scene* scene, ItemType type, std::int32_t id)
    : renderer(scene ? scene->pipeline : nullptr),
      targetLineNode(std::make_unique<TargetLineNode>(nullptr)),
      type(type),
      scene(scene),
      id(id) {
  dMassSetZero(&mass);
}

SceneItem::~SceneItem() = default;

AnimatedFloat* SceneItem::channel(int index) {
  if (index >= 0 && index < 3) return &position[index];
  if (index >= 3 && index < 6) return &rotation[index - 3];
  if (index >= 6 && index < 9) return &scale[index - 6];
  return nullptr;
}

// Only a computed matrix is timed: a cached one is a copy, cheaper than the
// two counter reads that would time it.
void SceneItem::worldMatrix(Matrix4x3& out, double t, bool) {
  if (!worldValid && !m_evaluating) {
    // A still track piece is not evaluated again after every step: what
    // evaluate would give is what it gave last.
    if (placementHeld()) {
      // Evaluating also leaves each channel's result in its value.
      for (AnimatedFloat* values : {position, rotation, scale})
        for (int i = 0; i < 3; ++i)
          if (values[i].channel) values[i].value = static_cast<float>(values[i].channel->evaluate(t));
      worldValid = true;
    } else {
      ProfileScope timed(GameCounter::kGetMatrix);
      evaluate(t);
    }
  }
  out = worldMatrixCache;
}

void SceneItem::inverseWorldMatrix(Matrix4x3& out, double t, bool) {
  if (!inverseValid) {
    ProfileScope timed(GameCounter::kGetInvMatrix);
    updateInverseWorldMatrix(t);
  }
  out = inverseWorldCache;
}

void SceneItem::framedWorldMatrix(Matrix4x3& out, double t, const Matrix4x3* axis) {
  Matrix4x3 world;
  SceneItem::worldMatrix(world, t, false);
  if (axis) {
    multiplyMatrix(out, *axis, world);
  } else {
    out = world;
  }
}

void SceneItem::framedInverseWorldMatrix(Matrix4x3& out, double t, const Matrix4x3* inverseAxis) {
  Matrix4x3 inverse;
  SceneItem::inverseWorldMatrix(inverse, t, false);
  if (inverseAxis) {
    multiplyMatrix(out, inverse, *inverseAxis);
  } else {
    out = inverse;
  }
}

void SceneItem::invalidate() {
  worldValid = false;
  inverseValid = false;
  projectionValid = false;
  projectionFitted = false;
}

bool SceneItem::placementHeld() {
  // A matrix made from a body or a local matrix is not one the values alone
  // would give, even once the item is placed by its values again.
  if (!mayHoldPlacement() || !m_placementNoted || m_checkingPlacement || !m_placement.byValuesAlone ||
      !placedByValuesAlone() || parent != m_placement.parent)
    return false;
  // The parent first: a kart's parts hang from a chassis that moves every
  // step, and that is seen before a value is compared.
  if (parent) {
    if (parent->m_evaluations != m_placement.parentEvaluations) return false;
    // Through a loop of parents some item read a stale matrix: never held.
    ScopedFlag guard(m_checkingPlacement);
    if (!parent->placementHeld()) return false;
  }
  return placementInputsUnchanged();
}

bool SceneItem::placedByValuesAlone() const {
  return !body && localMode == 0 && !(rotationLinked && linkedItem) && headingController == kControllerKeyframed &&
         pitchController == kControllerKeyframed;
}

void SceneItem::notePlacementInputs() {
  m_placement.byValuesAlone = placedByValuesAlone();
  for (int i = 0; i < 9; ++i) m_placement.values[i] = channel(i)->value;
  m_placement.pivot = pivot;
  std::copy(pivotRotation, pivotRotation + 3, m_placement.pivotRotation);
  std::copy(rotationOrder, rotationOrder + 3, m_placement.rotationOrder);
  m_placement.parent = parent;
  m_placement.parentEvaluations = parent ? parent->m_evaluations : 0;
  m_placementNoted = true;
  ++m_evaluations;
}

bool SceneItem::placementInputsUnchanged() {
  const float* then = m_placement.values;
  for (const AnimatedFloat* values : {position, rotation, scale}) {
    for (int i = 0; i < 3; ++i, ++then) {
      float now;
      if (!timelessValue(values[i], now) || !sameBits(now, *then)) return false;
    }
  }
  const float pivotNow[3] = {pivot.x, pivot.y, pivot.z};
  const float pivotThen[3] = {m_placement.pivot.x, m_placement.pivot.y, m_placement.pivot.z};
  return sameBits(pivotNow, pivotThen, 3) && sameBits(pivotRotation, m_placement.pivotRotation, 3) &&
         std::equal(rotationOrder, rotationOrder + 3, m_placement.rotationOrder);
}

void SceneItem::updateInverseWorldMatrix(double t) {
  Matrix4x3 world;
  worldMatrix(world, t, false);
  invertAffine(&inverseWorldCache, world);
  inverseValid = true;
}

Matrix4x3 SceneItem::rotationMatrix(const float r[3]) const {
  Matrix4x3 m = g_identityMatrix;
  for (int i = 2; i >= 0; --i) {
    switch (rotationOrder[i]) {
      case kAxisPitch:
        postMultiply(m, rotationX(-r[0]));
        break;
      case kAxisHeading:
        postMultiply(m, rotationY(r[1]));
        break;
      case kAxisBank:
        postMultiply(m, rotationZ(-r[2]));
        break;
      default:
        break;  // an unknown axis code turns nothing
    }
  }
  return m;
}

Matrix4x3 SceneItem::pivotRotationMatrix() const {
  Matrix4x3 m = rotationZ(pivotRotation[2]);
  postMultiply(m, rotationX(pivotRotation[0]));
  postMultiply(m, rotationY(pivotRotation[1]));
  return m;
}

Matrix4x3 SceneItem::channelMatrix(const float r[3], double t) {
  Matrix4x3 m = translationMatrix(-pivot.x, -pivot.y, -pivot.z);
  postMultiply(m, scaleMatrix(scale[0].evaluate(t), scale[1].evaluate(t), scale[2].evaluate(t)));
  postMultiply(m, rotationMatrix(r));
  postMultiply(m, pivotRotationMatrix());
  postMultiply(m, translationMatrix(position[0].evaluate(t), position[1].evaluate(t), position[2].evaluate(t)));
  return m;
}

void SceneItem::evaluate(double t) {
  ScopedFlag guard(m_evaluating);
  Matrix4x3 m;
  if (localMode == 1) {
    m = bodyMatrix;
    if (parent) {
      Matrix4x3 parentWorld;
      parent->worldMatrix(parentWorld, t, false);
      postMultiply(m, parentWorld);
    }
  } else {
    float r[3];
    getRotationAt(r, t);
    if (body) {
      // The body's pose is the whole placement: ODE rotations act on column
      // vectors, so their transpose is ours.
      const dReal* R = dBodyGetRotation(body);
      const dReal* p = dBodyGetPosition(body);
      for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) bodyMatrix[i * 4 + j] = static_cast<float>(R[j * 4 + i]);
        bodyMatrix[i * 4 + 3] = 0.0f;
        bodyMatrix[12 + i] = static_cast<float>(p[i]);
      }
      bodyMatrix[15] = 1.0f;
      m = translationMatrix(-pivot.x, -pivot.y, -pivot.z);
      postMultiply(m, scaleMatrix(scale[0].evaluate(t), scale[1].evaluate(t), scale[2].evaluate(t)));
      postMultiply(m, bodyMatrix);
    } else {
      m = channelMatrix(r, t);
      if (parent) {
        Matrix4x3 parentWorld;
        parent->worldMatrix(parentWorld, t, false);
        postMultiply(m, parentWorld);
      }
    }
  }
  worldMatrixCache = m;
  worldValid = true;
  notePlacementInputs();
}

bool SceneItem::controllerDirection(std::int32_t controller, double t, float d[3]) {
  if (controller == kControllerPointAtTarget && target) {
    Matrix4x3 m;
    float aim[3] = {target->pivot.x, target->pivot.y, target->pivot.z};
    target->worldMatrix(m, t, false);
    transformPoint(aim, m);
    if (parent) {
      parent->inverseWorldMatrix(m, t, false);
      transformPoint(aim, m);
    }
    for (int i = 0; i < 3; ++i) d[i] = aim[i] - position[i].evaluate(t);
    return true;
  }
  if (controller == kControllerAlignToPath) {
    // The time ahead first, so that the channels end holding their values
    // at t.
    const double ahead = t + pathLookAhead;
    float a[3], b[3];
    for (int i = 0; i < 3; ++i) a[i] = position[i].evaluate(ahead);
    for (int i = 0; i < 3; ++i) b[i] = position[i].evaluate(t);
    if (parent) {
      Matrix4x3 m;
      parent->worldMatrix(m, ahead, false);
      transformPoint(a, m);
      parent->worldMatrix(m, t, false);
      transformPoint(b, m);
    }
    for (int i = 0; i < 3; ++i) d[i] = a[i] - b[i];
    return true;
  }
  return false;
}

void SceneItem::getRotationAt(float out[3], double t) {
  if (rotationLinked && linkedItem && !m_readingRotation) {
    ScopedFlag guard(m_readingRotation);
    linkedItem->getRotationAt(out, t);
    return;
  }
  float d[3];
  const float heading = controllerDirection(headingController, t, d) ? std::atan2(d[0], d[2]) : rotation[0].evaluate(t);
  const float x = controllerDirection(pitchController, t, d) ? std::atan2(d[1], std::sqrt(d[0] * d[0] + d[2] * d[2]))
                                                             : -rotation[1].evaluate(t);
  out[0] = x;
  out[1] = heading;
  out[2] = -rotation[2].evaluate(t);
}

void SceneItem::setPosition(const float p[3]) {
  for (int i = 0; i < 3; ++i)
    position[i].value = positionLimited ? std::clamp(p[i], positionMin[i], positionMax[i]) : p[i];
  if (!body) return;
  // An envelope still wins over the value just stored.
  float at[3];
  for (int i = 0; i < 3; ++i) at[i] = position[i].evaluate(0.0);
  if (parent) {
    Matrix4x3 m;
    parent->worldMatrix(m, 0.0, false);
    transformPoint(at, m);
  }
  dBodySetPosition(body, at[0], at[1], at[2]);
  dBodySetAngularVel(body, 0, 0, 0);
  dBodySetLinearVel(body, 0, 0, 0);
  dBodySetForce(body, 0, 0, 0);
  dBodySetTorque(body, 0, 0, 0);
}

bool SceneItem::moveBy(const float d[3]) {
  float wanted[3];
  for (int i = 0; i < 3; ++i) wanted[i] = position[i].value + d[i];
  if (positionLimited) {
    float clamped[3], kept[3], lost[3];
    for (int i = 0; i < 3; ++i) {
      clamped[i] = std::clamp(wanted[i], positionMin[i], positionMax[i]);
      kept[i] = clamped[i] - position[i].value;
      lost[i] = wanted[i] - clamped[i];
    }
    // Sliding along a face is fine; running into it head-on is not.
    if (3.0f * vectorLength(lost) > vectorLength(kept)) return false;
    for (int i = 0; i < 3; ++i) wanted[i] = clamped[i];
  }
  for (int i = 0; i < 3; ++i) position[i].value = wanted[i];
  return true;
}

void SceneItem::setPivotPosition(const float p[3]) { pivot = {p[0], p[1], p[2]}; }

void SceneItem::setRotation(const float r[3], bool clamp) {
  float v[3] = {r[0], r[1], r[2]};
  if (clamp)
    for (int i = 0; i < 3; ++i)
      if (rotationLimitBits & (1u << i)) v[i] = std::clamp(v[i], rotationMin[i], rotationMax[i]);
  rotation[0].value = v[1];
  rotation[1].value = -v[0];
  rotation[2].value = -v[2];
  if (body) {
    dMatrix3 R;
    getODERotation(R, 0.0);
    dBodySetRotation(body, R);
  }
}

void SceneItem::setScale(const float s[3]) {
  for (int i = 0; i < 3; ++i) scale[i].value = s[i];
}

void SceneItem::getScaleAt(Matrix4x3& out, double t) {
  out = scaleMatrix(scale[0].evaluate(t), scale[1].evaluate(t), scale[2].evaluate(t));
}

void SceneItem::translationAt(Matrix4x3& out, double t) {
  out = translationMatrix(position[0].evaluate(t), position[1].evaluate(t), position[2].evaluate(t));
}

void SceneItem::localMatrixAt(Matrix4x3& out, double t) {
  float r[3];
  getRotationAt(r, t);
  out = channelMatrix(r, t);
}

void SceneItem::worldRotationAt(Matrix4x3& out, double t) {
  float r[3];
  getRotationAt(r, t);
  out = rotationMatrix(r);
  postMultiply(out, pivotRotationMatrix());
  if (parent && !m_readingWorldRotation) {
    ScopedFlag guard(m_readingWorldRotation);
    Matrix4x3 parentRotation;
    parent->worldRotationAt(parentRotation, t);
    postMultiply(out, parentRotation);
  }
}

void SceneItem::getODERotation(dMatrix3 R, double t) {
  Matrix4x3 m;
  worldRotationAt(m, t);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) R[4 * i + j] = m[j * 4 + i];
    R[4 * i + 3] = 0;
  }
}

void SceneItem::sampleChannelsInto(SceneItem& other, double t) {
  for (int i = 0; i < 9; ++i) other.channel(i)->value = channel(i)->evaluate(t);
  other.pivot = pivot;
  std::copy(pivotRotation, pivotRotation + 3, other.pivotRotation);
  other.headingController = headingController;
  other.pitchController = pitchController;
  other.bankController = bankController;
  other.pathLookAhead = pathLookAhead;
  std::copy(rotationOrder, rotationOrder + 3, other.rotationOrder);
}

bool SceneItem::targetLineEnds(double t, Position3& from, Position3& to) {
  if (!target) return false;
  Matrix4x3 m;
  from = pivot;
  worldMatrix(m, t, false);
  transformPoint(from, m);
  to = target->pivot;
  target->worldMatrix(m, t, false);
  transformPoint(to, m);
  return true;
}

void SceneItem::drawDebug(double t) {
  if (target) targetLineNode->draw(t, this, nullptr);
  if (geomDebugNode) geomDebugNode->draw(t, this, nullptr);
}

void TargetLineNode::draw(double t, SceneItem* item, SceneItem*) {
  // The node is made before the item knows its renderer: the item's counts.
  RenderPipeline* renderer = pipeline ? pipeline : item ? item->renderer : nullptr;
  if (!renderer || !renderer->debugGeometry() || !item) return;
  Position3 line[2];
  if (!item->targetLineEnds(t, line[0], line[1])) return;
  drawDebugLines(*renderer, g_identityMatrix, line, 1, ColorRGBA{1.0f, 1.0f, 0.0f, 1.0f}.toD3DColor());  // yellow
}
