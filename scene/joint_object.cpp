#include "scene/joint_object.h"

#include "foundation/report.h"
#include "scene/scene.h"

ODEJointObject::ODEJointObject(Scene* scene, std::int32_t id) : ObjectItem(scene, id, ItemType::JointObject) {}

ODEJointObject::~ODEJointObject() {
  if (joint) dJointDestroy(joint);
}

void ODEJointObject::prepare() {
  if (joint) {
    dJointDestroy(joint);
    joint = nullptr;
  }
  if (!scene) return;
  const dReal a[3] = {position[0].evaluate(0.0), position[1].evaluate(0.0), position[2].evaluate(0.0)};
  Matrix4x3 A;
  worldRotationAt(A, 0.0);
  const dReal x[3] = {A[0], A[1], A[2]};
  const dReal y[3] = {A[4], A[5], A[6]};
  dBodyID b1 = item1 ? item1->body : nullptr;
  dBodyID b2 = item2 ? item2->body : nullptr;
  if (b1 && b1 == b2) {
    reportError("%s: a joint needs two different bodies\n", name.c_str());
    return;
  }
  dWorldID world = scene->physics().world();
  switch (jointType) {
    case kJointBall:
      joint = dJointCreateBall(world, nullptr);
      dJointAttach(joint, b1, b2);
      dJointSetBallAnchor(joint, a[0], a[1], a[2]);
      break;
    case kJointHinge:
      joint = dJointCreateHinge(world, nullptr);
      dJointAttach(joint, b1, b2);
      dJointSetHingeAnchor(joint, a[0], a[1], a[2]);
      dJointSetHingeAxis(joint, x[0], x[1], x[2]);
      break;
    case kJointSlider:
      joint = dJointCreateSlider(world, nullptr);
      dJointAttach(joint, b1, b2);
      dJointSetSliderAxis(joint, x[0], x[1], x[2]);
      if (b1) dBodyGetPosRelPoint(b1, a[0], a[1], a[2], anchor1);
      if (b2) dBodyGetPosRelPoint(b2, a[0], a[1], a[2], anchor2);
      break;
    case kJointUniversal:
      joint = dJointCreateUniversal(world, nullptr);
      dJointAttach(joint, b1, b2);
      dJointSetUniversalAnchor(joint, a[0], a[1], a[2]);
      dJointSetUniversalAxis1(joint, x[0], x[1], x[2]);
      dJointSetUniversalAxis2(joint, y[0], y[1], y[2]);
      ENGINE_ASSERT(0 && "untested");
      break;
    case kJointHinge2:
      // ODE aborts when a hinge-2 is attached to one body.
      if (!b1 || !b2) {
        reportError("%s: a hinge-2 joint needs two bodies; no joint is made\n", name.c_str());
        return;
      }
      joint = dJointCreateHinge2(world, nullptr);
      dJointAttach(joint, b1, b2);
      dJointSetHinge2Anchor(joint, a[0], a[1], a[2]);
      // Both at once: ODE checks the pair for independence, and setting a
      // vertical first axis alone against the default second one fails.
      dJointSetHinge2Axes(joint, x, y);
      break;
    case kJointFixed:
      joint = dJointCreateFixed(world, nullptr);
      dJointAttach(joint, b1, b2);
      dJointSetFixed(joint);
      break;
    case kJointAngularMotor:
      joint = dJointCreateAMotor(world, nullptr);
      dJointAttach(joint, b1, b2);
      ENGINE_ASSERT(0 && "implementation not finished");
      break;
    default:
      reportError("%s: unknown joint type %d; no joint is made\n", name.c_str(), jointType);
      return;
  }
  dJointSetData(joint, this);
}
