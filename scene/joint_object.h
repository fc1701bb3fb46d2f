// An item that stands for an ODE joint between the bodies of two other
// items (or one item and the static world): its position at time 0 is the
// anchor, its world rotation at time 0 gives the axes.
#pragma once

#include <ode/ode.h>

#include <cstdint>

#include "scene/object_item.h"

enum JointType : std::int32_t {
  kJointBall = 1,
  kJointHinge = 2,
  kJointSlider = 3,
  kJointUniversal = 5,
  kJointHinge2 = 6,
  kJointFixed = 7,
  kJointAngularMotor = 9,
};

class ODEJointObject : public ObjectItem {
 public:
  ODEJointObject(Scene* scene, std::int32_t id);
  // The joint leaves the world with its item, which its user data names.
  ~ODEJointObject() override;

  // Creates the joint, or destroys and re-creates it, between the bodies of
  // item1 and item2 (an item or body that is missing stands for the world;
  // a hinge-2 needs both). No limits or motors are set.
  void prepare() override;

  std::int32_t jointType = 0;
  SceneItem* item1 = nullptr;  // not owned
  SceneItem* item2 = nullptr;  // not owned
  // For sliders: the anchor in each body's frame.
  dVector3 anchor1 = {0, 0, 0, 0};
  dVector3 anchor2 = {0, 0, 0, 0};
  dJointID joint = nullptr;
};
