#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <numbers>

#include "scene/joint_object.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "tests/scene/physics_world.h"
#include "tests/support/report_capture.h"

namespace {

class CountingSurface : public ODEJointSurface {
 public:
  explicit CountingSurface(bool createJoint = true) { m_createJoint = createJoint; }
  ODEJointSurface onContact(const dContactGeom& contact) override {
    ++contacts;
    last = contact;
    return *this;
  }
  int contacts = 0;
  dContactGeom last{};
};

float flat(float, float) { return 0.0f; }

// A scene with a top hash space (0); sub-spaces, pairs and surfaces are
// added by each test.
class ScenePhysics : public ReportCapture {
 protected:
  ScenePhysics() : ReportCapture(3) {}
  void SetUp() override {
    ReportCapture::SetUp();
    scene = std::make_unique<Scene>(nullptr);
    scene->physics().addCollisionSpace(dHashSpaceCreate(nullptr), "top");
  }
  int addSubSpace(dSpaceID parent) {
    return scene->physics().addCollisionSpace(dSimpleSpaceCreate(parent ? parent : scene->physics().space(0)), "sub");
  }
  void pair(int i, int j) {
    scene->physics().spacePairTable[i][j] = &collide;
    scene->physics().spacePairTable[j][i] = &collide;
  }
  void surfaces(int a, int b, ODEJointSurface* s) {
    scene->physics().surfaceTable[a][b] = s;
    scene->physics().surfaceTable[b][a] = s;
  }
  PhysicsObject* ground(int space, float cellSize = 1.0f, int cells = 20) {
    mesh = makeGroundMesh(cells, cellSize, flat);
    PhysicsObject* item = addPhysicsObject(*scene, "ground", kGeomTriMesh, kGround, space);
    item->addMesh(mesh.get(), 0.0f);
    item->prepareOnce();
    return item;
  }
  PhysicsObject* box(int space, float x, float y, float z, float size = 1.0f) {
    PhysicsObject* item = addPhysicsObject(*scene, "box", kGeomBox, kBox, space);
    for (float& s : item->geomSize) s = size;
    placeAt(*item, x, y, z);
    addBoxBody(*scene, *item, 1.0, size, size, size);
    item->prepareOnce();
    return item;
  }

  static constexpr int kGround = 1, kBox = 2, kRay = 3;
  ODESpacePair collide{true};
  std::unique_ptr<SurfaceRenderObject> mesh;  // outlives the scene's geoms
  std::unique_ptr<Scene> scene;
};

TEST_F(ScenePhysics, ABoxDroppedOnTheGroundRestsOnItAndARayDownHitsTheGround) {
  pair(0, 0);
  ground(0);
  PhysicsObject* dropped = box(0, 0.3f, 2.0f, -0.2f);
  for (int i = 0; i < 300; ++i) scene->physicsStep(0.01);
  const dReal* p = dBodyGetPosition(dropped->body);
  EXPECT_NEAR(p[1], 0.5, 0.01);
  EXPECT_NEAR(p[0], 0.3, 0.01);
  EXPECT_LT(std::fabs(dBodyGetLinearVel(dropped->body)[1]), 0.05);

  CountingSurface sensor(false);
  surfaces(kRay, kGround, &sensor);
  PhysicsObject* ray = addPhysicsObject(*scene, "ray", kGeomRay, kRay, 0);
  ray->prepareOnce();
  EXPECT_EQ(dGeomRayGetLength(ray->geom), DBL_MAX);
  dGeomRaySet(ray->geom, 4.3, 3.0, 4.6, 0.0, -1.0, 0.0);
  dGeomRaySetLength(ray->geom, 10.0);
  scene->physics().collide();
  scene->physics().emptyContacts();
  ASSERT_EQ(sensor.contacts, 1);
  EXPECT_NEAR(sensor.last.depth, 3.0, 1e-6);
  EXPECT_NEAR(sensor.last.pos[1], 0.0, 1e-6);
}

TEST_F(ScenePhysics, ASurfaceWithoutJointsReportsContactsButLetsTheBodyFallThrough) {
  pair(0, 0);
  ground(0);
  CountingSurface trigger(false);
  surfaces(kGround, kBox, &trigger);
  PhysicsObject* falling = box(0, 0.0f, 0.6f, 0.0f);
  for (int i = 0; i < 100; ++i) scene->physicsStep(0.01);
  EXPECT_GT(trigger.contacts, 0);
  EXPECT_LT(dBodyGetPosition(falling->body)[1], 0.0);
}

TEST_F(ScenePhysics, SpacePairsAndDisabledBodiesDecideWhetherAPairIsTested) {
  const int a = addSubSpace(nullptr), b = addSubSpace(nullptr);
  CountingSurface counting;
  surfaces(kBox, kBox, &counting);
  PhysicsObject* first = box(a, 0.0f, 0.0f, 0.0f);
  box(b, 0.0f, 0.9f, 0.0f);
  auto step = [&] {
    counting.contacts = 0;
    scene->physics().collide();
    scene->physics().emptyContacts();
    return counting.contacts;
  };
  EXPECT_EQ(step(), 0);  // the pair (a, b) is unset
  pair(a, b);
  EXPECT_GT(step(), 0);

  counting.m_requireEnabledBodies = true;
  dBodyDisable(first->body);
  EXPECT_EQ(step(), 0);
  dBodyEnable(first->body);
  EXPECT_GT(step(), 0);
}

TEST_F(ScenePhysics, ContactsPerPairStopAtTheSurfacesLimitAndAtTheBuffer) {
  pair(0, 0);
  ground(0, 0.25f, 24);
  CountingSurface counting;
  surfaces(kGround, kBox, &counting);
  // A wide box sunk into a fine grid touches dozens of triangles.
  box(0, 0.1f, 0.45f, 0.1f, 4.0f);
  for (int limit : {32, 16, 40}) {
    counting.m_maxCollisions = limit;
    counting.contacts = 0;
    scene->physics().collide();
    EXPECT_LE(counting.contacts, std::min(limit, 32)) << limit;
    EXPECT_GT(counting.contacts, limit == 32 ? 16 : 0) << limit;
    scene->physics().emptyContacts();
  }
  counting.m_maxCollisions = 0;
  counting.contacts = 0;
  scene->physics().collide();
  EXPECT_EQ(counting.contacts, 0);
}

TEST_F(ScenePhysics, NestedSpacesAreCollidedInsideOncePerStep) {
  // Space 1 holds two touching boxes and space 2 inside it one more; three
  // neighbours in the top space overlap space 1, each a separate meeting.
  const int outer = addSubSpace(nullptr);
  const int inner = addSubSpace(scene->physics().space(outer));
  pair(outer, outer);
  pair(inner, inner);
  pair(outer, inner);
  CountingSurface counting;
  surfaces(kBox, kBox, &counting);
  PhysicsObject* a = box(outer, 0.0f, 0.0f, 0.0f);
  PhysicsObject* b = box(outer, 0.0f, 0.9f, 0.0f);
  PhysicsObject* c = box(inner, 0.0f, -0.9f, 0.0f);
  for (int i = 0; i < 3; ++i) box(0, -0.8f + 0.8f * i, 0.0f, 0.9f);

  dContactGeom expected[32];
  const int ab = dCollide(a->geom, b->geom, 16, expected, sizeof(dContactGeom));
  const int ac = dCollide(a->geom, c->geom, 16, expected, sizeof(dContactGeom));
  ASSERT_GT(ab, 0);
  ASSERT_GT(ac, 0);
  scene->physics().collide();
  EXPECT_EQ(counting.contacts, ab + ac);
  EXPECT_EQ(dBodyGetNumJoints(b->body), ab);
  scene->physics().emptyContacts();
  scene->physics().collide();  // the next pass collides them again
  EXPECT_EQ(counting.contacts, 2 * (ab + ac));
}

TEST_F(ScenePhysics, ADirectSpaceCollideGivesTheContactsOfCollide) {
  // The nesting above, collided as a race loop may write it.
  const int outer = addSubSpace(nullptr);
  const int inner = addSubSpace(scene->physics().space(outer));
  pair(outer, outer);
  pair(inner, inner);
  pair(outer, inner);
  pair(0, outer);
  CountingSurface counting;
  surfaces(kBox, kBox, &counting);
  PhysicsObject* a = box(outer, 0.0f, 0.0f, 0.0f);
  PhysicsObject* b = box(outer, 0.0f, 0.9f, 0.0f);
  box(inner, 0.0f, -0.9f, 0.0f);
  for (int i = 0; i < 3; ++i) box(0, -0.8f + 0.8f * i, 0.0f, 0.9f);

  auto step = [&](bool direct) {
    counting.contacts = 0;
    if (direct)
      dSpaceCollide(scene->physics().space(0), &scene->physics(), &PhysicsWorld::nearCallback);
    else
      scene->physics().collide();
    const int joints = dBodyGetNumJoints(a->body) + dBodyGetNumJoints(b->body);
    scene->physics().emptyContacts();
    return std::pair{counting.contacts, joints};
  };
  const auto through = step(false);
  ASSERT_GT(through.first, 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(step(true), through) << "step " << i;
  EXPECT_EQ(step(false), through);

  // A space made without addCollisionSpace is not the top space, whatever
  // its user data: its boxes meet nothing.
  dSpaceID stray = dSimpleSpaceCreate(scene->physics().space(0));
  PhysicsObject* lost = box(0, 0.0f, 0.0f, 0.0f);
  lost->addToSpace(stray);
  EXPECT_EQ(step(true), through);
  EXPECT_NE(takeMessage().find("space not added to the scene"), std::string::npos);
}

TEST_F(ScenePhysics, GeomsTakeTheirSizeFromTheScaleAndCarriedGeomsSitInATransform) {
  PhysicsObject* sized = addPhysicsObject(*scene, "sized", kGeomBox, kBox, 0);
  sized->geomSize[0] = 2.0f;
  sized->scale[1].value = 3.0f;
  sized->prepareOnce();
  dVector3 lengths;
  dGeomBoxGetLengths(sized->geom, lengths);
  EXPECT_DOUBLE_EQ(lengths[0], 2.0);
  EXPECT_DOUBLE_EQ(lengths[1], 3.0);
  EXPECT_DOUBLE_EQ(lengths[2], 1.0);
  EXPECT_EQ(dGeomGetSpace(sized->geom), scene->physics().space(0));

  PhysicsObject* kart = box(0, 10.0f, 1.0f, 0.0f);
  PhysicsObject* part = addPhysicsObject(*scene, "part", kGeomCapsule, kBox, 0);
  part->geomSize[0] = 0.25f;
  part->geomSize[1] = 2.0f;
  part->carrier = kart;
  placeAt(*part, 11.0f, 1.5f, 0.0f);
  part->prepareOnce();
  ASSERT_NE(part->transformGeom, nullptr);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  EXPECT_EQ(dGeomTransformGetGeom(part->transformGeom), part->geom);
#pragma GCC diagnostic pop
  EXPECT_EQ(dGeomGetBody(part->transformGeom), kart->body);
  EXPECT_EQ(dGeomGetSpace(part->transformGeom), scene->physics().space(0));
  EXPECT_EQ(dGeomGetSpace(part->geom), nullptr);
  EXPECT_NEAR(dGeomGetPosition(part->geom)[0], 1.0, 1e-6);
  EXPECT_NEAR(dGeomGetPosition(part->geom)[1], 0.5, 1e-6);

  // Moving between spaces leaves no copy behind; deleting the objects takes
  // their geoms and triangle data along (the leak checker watches).
  const int other = addSubSpace(nullptr);
  part->addToSpace(scene->physics().space(other));
  EXPECT_EQ(dGeomGetSpace(part->transformGeom), scene->physics().space(other));
  part->removeFromSpace(scene->physics().space(0));
  EXPECT_EQ(dGeomGetSpace(part->transformGeom), scene->physics().space(other));
  ground(0);
  const int before = dSpaceGetNumGeoms(scene->physics().space(0));
  std::erase_if(scene->objects, [](auto& item) { return item->name == "part" || item->name == "ground"; });
  EXPECT_EQ(dSpaceGetNumGeoms(scene->physics().space(0)), before - 1);
}

TEST_F(ScenePhysics, ABodylessGeomFollowsItsChannelsButARayDoesNot) {
  PhysicsObject* door = addPhysicsObject(*scene, "door", kGeomBox, kBox, 0);
  PhysicsObject* ray = addPhysicsObject(*scene, "ray", kGeomRay, kRay, 0);
  for (PhysicsObject* item : {door, ray}) {
    item->prepareOnce();
    placeAt(*item, 1.0f, 2.0f, 3.0f);
    item->invalidate();
    Matrix4x3 world;
    item->worldMatrix(world, 0.5, false);
  }
  EXPECT_DOUBLE_EQ(dGeomGetPosition(door->geom)[2], 3.0);
  EXPECT_DOUBLE_EQ(dGeomGetPosition(ray->geom)[2], 0.0);
}

TEST_F(ScenePhysics, BadKindsSpacesAndGeomTypesAreReportedAndKeptOutOfCollision) {
  PhysicsObject* badKind = addPhysicsObject(*scene, "badKind", kGeomSphere, 50, 0);
  badKind->prepareOnce();
  EXPECT_NE(takeMessage().find("surface kind 50"), std::string::npos);
  EXPECT_EQ(dGeomGetSpace(badKind->geom), nullptr);

  PhysicsObject* badSpace = addPhysicsObject(*scene, "badSpace", kGeomSphere, 0, 1);
  badSpace->prepareOnce();
  EXPECT_NE(takeMessage().find("collision space 1"), std::string::npos);
  EXPECT_EQ(dGeomGetSpace(badSpace->geom), nullptr);

  PhysicsObject* badType = addPhysicsObject(*scene, "badType", 4, 0, 0);
  badType->prepareOnce();
  EXPECT_NE(takeMessage().find("geom type 4"), std::string::npos);
  EXPECT_EQ(badType->geom, nullptr);
  badType->addToSpace(scene->physics().space(0));  // nothing to add

  PhysicsObject* noMesh = addPhysicsObject(*scene, "noMesh", kGeomTriMesh, 0, 0);
  noMesh->prepareOnce();
  EXPECT_NE(takeMessage().find("geometry kept"), std::string::npos);

  // A kind changed after preparing, and a space the scene does not list
  // (whatever its user data says), skip their pairs.
  pair(0, 0);
  CountingSurface counting;
  surfaces(kBox, kBox, &counting);
  PhysicsObject* a = box(0, 0.0f, 0.0f, 0.0f);
  box(0, 0.0f, 0.9f, 0.0f);
  a->surfaceKind = -1;
  scene->physics().collide();
  EXPECT_EQ(counting.contacts, 0);
  EXPECT_NE(takeMessage().find("surface kind"), std::string::npos);
  a->surfaceKind = kBox;

  Scene other(nullptr);
  other.physics().addCollisionSpace(dHashSpaceCreate(nullptr), "top");
  dSpaceID stray = dSimpleSpaceCreate(other.physics().space(0));
  dGeomSetData(reinterpret_cast<dGeomID>(stray), reinterpret_cast<void*>(std::intptr_t{70}));
  other.physics().spacePairTable[0][0] = &collide;
  auto* x = addPhysicsObject(other, "x", kGeomSphere, 0, 0);
  auto* y = addPhysicsObject(other, "y", kGeomSphere, 0, 0);
  x->prepareOnce();
  y->prepareOnce();
  y->addToSpace(stray);
  other.physics().collide();
  EXPECT_NE(takeMessage().find("space not added to the scene"), std::string::npos);
}

class JointObjects : public ScenePhysics {
 protected:
  ODEJointObject* joint(std::int32_t type, SceneItem* first, SceneItem* second) {
    auto item = std::make_unique<ODEJointObject>(scene.get(), 0);
    item->jointType = type;
    item->item1 = first;
    item->item2 = second;
    scene->objects.push_back(std::move(item));
    return static_cast<ODEJointObject*>(scene->objects.back().get());
  }
};

TEST_F(JointObjects, AHingeTakesItsAxisFromTheHeadingAndPreparingAgainReplacesIt) {
  PhysicsObject* door = box(0, 1.0f, 0.0f, 0.0f);
  ODEJointObject* hinge = joint(kJointHinge, door, nullptr);
  hinge->rotation[0].value = static_cast<float>(std::numbers::pi / 2);
  placeAt(*hinge, 0.5f, 0.0f, 0.0f);
  hinge->prepare();
  hinge->prepare();
  EXPECT_EQ(dBodyGetNumJoints(door->body), 1);
  dVector3 axis, anchor;
  dJointGetHingeAxis(hinge->joint, axis);
  dJointGetHingeAnchor(hinge->joint, anchor);
  EXPECT_NEAR(axis[0], 0.0, 1e-6);
  EXPECT_NEAR(axis[2], -1.0, 1e-6);
  EXPECT_NEAR(anchor[0], 0.5, 1e-6);
}

TEST_F(JointObjects, EveryTypeAttachesAMissingItemToTheWorldAndUnknownTypesMakeNone) {
  PhysicsObject* a = box(0, 0.0f, 0.0f, 0.0f);
  PhysicsObject* b = box(0, 2.0f, 0.0f, 0.0f);
  const std::int32_t types[] = {kJointBall,   kJointHinge, kJointSlider,      kJointUniversal,
                                kJointHinge2, kJointFixed, kJointAngularMotor};
  for (std::int32_t type : types) {
    ODEJointObject* both = joint(type, a, b);
    both->prepare();
    ASSERT_NE(both->joint, nullptr) << type;
    EXPECT_EQ(dJointGetBody(both->joint, 1), b->body) << type;
    joint(type, nullptr, nullptr)->prepare();  // a joint to nothing is no crash
    ODEJointObject* alone = joint(type, a, nullptr);
    alone->prepare();
    if (type == kJointHinge2) {
      EXPECT_EQ(alone->joint, nullptr);
      EXPECT_NE(takeMessage().find("needs two bodies"), std::string::npos);
      continue;
    }
    ASSERT_NE(alone->joint, nullptr) << type;
    EXPECT_EQ(dJointGetBody(alone->joint, 0), a->body) << type;
    EXPECT_EQ(dJointGetBody(alone->joint, 1), nullptr) << type;
  }
  takeMessage();
  ODEJointObject* unknown = joint(4, a, b);
  unknown->prepare();
  EXPECT_EQ(unknown->joint, nullptr);
  EXPECT_NE(takeMessage().find("unknown joint type 4"), std::string::npos);
}

}  // namespace
