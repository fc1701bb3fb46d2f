#include "game/track_surfaces.h"

#include <gtest/gtest.h>
#include <ode/ode.h>

#include <memory>
#include <vector>

#include "game/config.h"
#include "game/track_surface_kinds.h"
#include "game/vehicle_master.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "tests/scene/physics_world.h"

namespace {

// A simulated kart that counts what the track's surfaces call on it.
class HookKart : public VehicleMaster {
 public:
  HookKart(Scene& scene, int k, const Config& config, NetControl& control)
      : VehicleMaster(scene, nullptr, k, nullptr, nullptr, k, "", config, control, nullptr) {}
  void respawn() override { ++respawns; }
  void startSpeedBoost(PhysicsObject* pad) override { boostPads.push_back(pad); }
  void onStamped() override { ++stamps; }
  void onCrushed() override { ++crushes; }
  void explodeWeapon(const Position3& at) override { explosions.push_back(at); }
  void giveRandomExtra(PhysicsObject* box) override { boxes.push_back(box); }

  int respawns = 0, stamps = 0, crushes = 0;
  std::vector<PhysicsObject*> boostPads, boxes;
  std::vector<Position3> explosions;
};

// A kart another machine drives: it has no hooks but takes boxes.
class RemoteKart : public Vehicle {
 public:
  RemoteKart(Scene& scene, NetControl& control, int k)
      : Vehicle(scene, nullptr, k, nullptr, nullptr, "", control, VehicleNetValues::Side::Client) {}
  void getPosition(Position3& out) override { out = {}; }
  const float* getVelocity() override { return m_dir; }
  void step(double, double) override {}
  void updateVisuals(double) override {}
  void giveRandomExtra(PhysicsObject* box) override { boxes.push_back(box); }
  std::vector<PhysicsObject*> boxes;
  float m_dir[3] = {0, 0, 1};
};

class TrackSurfaceTest : public ::testing::Test {
 protected:
  TrackSurfaceTest() {
    scene.addCollisionSpace(dHashSpaceCreate(nullptr), "top");
    for (int i = 1; i <= 3; ++i) scene.addCollisionSpace(dSimpleSpaceCreate(scene.spaces[0].space), "sub");
    kart0 = std::make_unique<HookKart>(scene, 0, config, control);
    kart1 = std::make_unique<HookKart>(scene, 1, config, control);
    remote = std::make_unique<RemoteKart>(scene, control, 2);
    slots[0] = kart0.get();
    slots[1] = kart1.get();
    slots[2] = remote.get();
  }
  ~TrackSurfaceTest() override {
    objects.clear();  // destroys the loose geoms
    kart0.reset();
    kart1.reset();
    remote.reset();
  }

  // A loose box geom (in no space) carrying a physics object.
  PhysicsObject* box(float x, float y, float z, float size, int kind, int owner) {
    dGeomID g = dCreateBox(nullptr, size, size, size);
    dGeomSetPosition(g, x, y, z);
    objects.push_back(std::make_unique<PhysicsObject>(nullptr, static_cast<int>(objects.size())));
    PhysicsObject* o = objects.back().get();
    o->geom = g;
    o->surfaceKind = kind;
    o->ownerIndex = owner;
    dGeomSetData(g, o);
    return o;
  }
  // A kart's collision item beside a track item of `kind`, overlapping it.
  PhysicsObject* kartCol(int k) { return box(0, 0, 0, 1, kSurfaceKartBody, k); }
  PhysicsObject* item(int kind) { return box(0.8f, 0, 0, 1, kind, -1); }
  // The pair collided in the given order, each contact given to the surface.
  int touch(ODEJointSurface& surface, PhysicsObject* a, PhysicsObject* b) {
    dContactGeom contacts[32];
    const int n = dCollide(a->geom, b->geom, surface.maxCollisions(), contacts, sizeof(dContactGeom));
    for (int i = 0; i < n; ++i) EXPECT_FALSE(surface.onContact(contacts[i]).m_createJoint);
    return n;
  }

  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  Scene scene{nullptr};
  std::unique_ptr<HookKart> kart0, kart1;
  std::unique_ptr<RemoteKart> remote;
  Vehicle* slots[Vehicle::kMaxKarts] = {};
  float triggerTimer = 0.0f;
  std::vector<std::unique_ptr<PhysicsObject>> objects;
};

TEST_F(TrackSurfaceTest, CheckpointMarksOnlyItsOwnKartWhicheverGeomComesFirst) {
  ODEJointSurfaceCheck line(slots);
  PhysicsObject* col = kartCol(1);
  PhysicsObject* checkpoint = item(kSurfaceCheckpoint);
  for (bool kartFirst : {true, false}) {
    kart1->m_lineTouched = 0;
    kart1->m_sectorMask = 0xFFFE;
    ASSERT_EQ(kartFirst ? touch(line, col, checkpoint) : touch(line, checkpoint, col), 1);
    EXPECT_EQ(kart1->m_lineTouched, 1) << (kartFirst ? "kart first" : "line first");
    EXPECT_EQ(kart1->m_sectorMask, 0xFFFFu);
    EXPECT_EQ(kart0->m_lineTouched, 0);
    EXPECT_EQ(kart0->m_sectorMask, 0xFFFEu);
    EXPECT_EQ(remote->m_lineTouched, 0);
  }
}

TEST_F(TrackSurfaceTest, RemoteKartTakesBoxesAndLinesButRecordsNoPadResetOrZone) {
  ODEJointSurfaceExtra boxes(slots);
  ODEJointSurfaceCheck line(slots);
  ODEJointSurfaceSpeedup pads(slots);
  ODEJointSurfaceReset resets(slots);
  ODEJointSurfaceStampfer stampers(slots);
  ODEJointSurfaceCrusher crushers(slots);
  ODEJointSurfaceRutsch slides(slots);
  ODEJointSurfaceBand bands(slots);
  ODEJointSurfaceWind winds(slots);
  PhysicsObject* extra = item(kSurfaceExtraBox);
  PhysicsObject* checkpoint = item(kSurfaceCheckpoint);
  PhysicsObject* pad = item(kSurfaceSpeedUp);
  PhysicsObject* reset = item(kSurfaceResetZone);
  PhysicsObject* stamper = item(kSurfaceStamper);
  PhysicsObject* crusher = item(kSurfaceCrusher);
  PhysicsObject* slide = item(kSurfaceSlide);
  PhysicsObject* band = item(kSurfaceBand);
  PhysicsObject* wind = item(kSurfaceWind);
  auto driveThroughAll = [&](PhysicsObject* col) {
    // Half the items listed first, half second: the kart is found either way.
    touch(boxes, col, extra);
    touch(line, checkpoint, col);
    touch(pads, col, pad);
    touch(resets, reset, col);
    touch(stampers, col, stamper);
    touch(crushers, crusher, col);
    touch(slides, col, slide);
    touch(bands, band, col);
    touch(winds, col, wind);
  };

  driveThroughAll(kartCol(2));
  EXPECT_EQ(remote->boxes, std::vector<PhysicsObject*>{extra});
  EXPECT_EQ(remote->m_lineTouched, 1);
  EXPECT_EQ(remote->m_sensors.band, nullptr);
  EXPECT_EQ(remote->m_sensors.wind, nullptr);
  // Nothing reached the simulated karts either.
  for (HookKart* kart : {kart0.get(), kart1.get()}) {
    EXPECT_TRUE(kart->boostPads.empty());
    EXPECT_EQ(kart->respawns + kart->stamps + kart->crushes, 0);
    EXPECT_TRUE(kart->boxes.empty());
  }

  driveThroughAll(kartCol(1));
  EXPECT_EQ(kart1->boxes, std::vector<PhysicsObject*>{extra});
  EXPECT_EQ(kart1->m_lineTouched, 1);
  EXPECT_EQ(kart1->boostPads, std::vector<PhysicsObject*>{pad});
  EXPECT_EQ(kart1->respawns, 1);
  EXPECT_EQ(kart1->stamps, 1);
  EXPECT_EQ(kart1->crushes, 1);
  EXPECT_EQ(kart1->m_drive.m_sliding, 1);
  EXPECT_EQ(kart1->m_sensors.band, band);
  EXPECT_EQ(kart1->m_sensors.wind, wind);
  EXPECT_EQ(kart0->respawns, 0);
  EXPECT_EQ(kart0->m_drive.m_sliding, 0);

  // A collision item whose index names no kart is ignored.
  for (int owner : {-1, 3, 6, 40}) driveThroughAll(kartCol(owner));
  EXPECT_EQ(kart1->respawns, 1);
}

TEST_F(TrackSurfaceTest, RocketOnObstacleStamperOrCrusherGoesOffAsOnAWall) {
  ODEJointSurfaceRocketWall rockets(slots);
  for (int kind : {int{kSurfaceWall}, int{kSurfaceObstacle}, int{kSurfaceStamper}, int{kSurfaceCrusher}}) {
    PhysicsObject* target = box(0, 0, 0, 2, kind, -1);
    PhysicsObject* rocket = box(0, 1.2f, 0, 0.5f, kSurfaceRocket, 1);  // fired by kart 1
    kart1->explosions.clear();
    ASSERT_EQ(touch(rockets, target, rocket), 1);
    ASSERT_EQ(touch(rockets, rocket, target), 1);
    ASSERT_EQ(kart1->explosions.size(), 2u) << "kind " << kind;
    // Where it touched: on the target's top face, under the rocket.
    EXPECT_NEAR(kart1->explosions[0].y, 1.0f, 0.06f);
    EXPECT_NEAR(kart1->explosions[1].y, 1.0f, 0.06f);
    EXPECT_TRUE(kart0->explosions.empty());
  }
  // A rocket a remote kart fired goes off on its own machine.
  PhysicsObject* remoteRocket = box(0, 1.2f, 0, 0.5f, kSurfaceRocket, 2);
  kart1->explosions.clear();
  touch(rockets, remoteRocket, box(0, 0, 0, 2, kSurfaceWall, -1));
  EXPECT_TRUE(kart0->explosions.empty() && kart1->explosions.empty());
}

TEST_F(TrackSurfaceTest, TriggerStartsOnlyAnIdleTimer) {
  ODEJointSurfaceTrigger trigger(slots, triggerTimer);
  PhysicsObject* col = kartCol(0);
  PhysicsObject* pad = item(kSurfaceTrigger);
  touch(trigger, col, pad);
  EXPECT_EQ(triggerTimer, 2.0f);
  triggerTimer = 1.25f;  // running down
  touch(trigger, pad, col);
  EXPECT_EQ(triggerTimer, 1.25f);
  triggerTimer = 0.0f;
  touch(trigger, col, pad);
  EXPECT_EQ(triggerTimer, 2.0f);
}

// The surfaces in a scene's tables, met through the scene's own collision
// pass.
class InstalledSurfaceTest : public TrackSurfaceTest {
 protected:
  InstalledSurfaceTest() {
    surfaces.install(scene);
    scene.spacePairTable[0][0] = &collide;
  }
  PhysicsObject* sceneBox(float x, float y, float z, float size, int kind, int owner) {
    PhysicsObject* o = addPhysicsObject(scene, "box", kGeomBox, kind, 0);
    placeAt(*o, x, y, z);
    for (int i = 0; i < 3; ++i) o->scale[i].value = size;
    o->ownerIndex = owner;
    o->prepareOnce();
    return o;
  }
  // The surface at (item, other) is an `Expected`, the same in both orders,
  // and makes no joint.
  template <class Expected>
  void expectPair(int item, int other, int maxCollisions) {
    SCOPED_TRACE(testing::Message() << "pair " << item << ", " << other);
    ODEJointSurface* surface = scene.surfaceTable[item][other];
    EXPECT_NE(dynamic_cast<Expected*>(surface), nullptr);
    EXPECT_EQ(scene.surfaceTable[other][item], surface);
    EXPECT_EQ(surface->maxCollisions(), maxCollisions);
    EXPECT_FALSE(surface->m_createJoint);
  }

  TrackSurfaces surfaces{slots, triggerTimer};
  ODESpacePair collide{true};
};

TEST_F(InstalledSurfaceTest, EveryPairHoldsItsSurfaceInBothOrders) {
  auto at = [&](int a, int b) { return scene.surfaceTable[a][b]; };
  for (int ground : {0, 25, 26}) expectPair<ODEJointSurfaceRay>(5, ground, 1);
  expectPair<ODEJointSurfaceFall>(5, 8, 1);
  expectPair<ODEJointSurfaceCollision>(6, 1, 16);
  expectPair<ODEJointSurfaceVehicle>(6, 6, 16);
  expectPair<ODEJointSurfaceObstacle>(6, 12, 1);
  expectPair<ODEJointSurfaceExtra>(6, 13, 1);
  expectPair<ODEJointSurfaceCrusher>(6, 14, 1);
  expectPair<ODEJointSurfaceSpeedup>(6, 15, 1);
  expectPair<ODEJointSurfaceStampfer>(6, 16, 1);
  expectPair<ODEJointSurfaceCheck>(6, 19, 1);
  expectPair<ODEJointSurfaceWind>(6, 20, 1);
  expectPair<ODEJointSurfaceRutsch>(6, 21, 1);
  expectPair<ODEJointSurfaceBand>(6, 22, 1);
  expectPair<ODEJointSurfaceTrigger>(6, 23, 1);
  expectPair<ODEJointSurfaceReset>(6, 7, 1);
  for (int target : {0, 25, 26, 1, 12, 16, 14}) expectPair<ODEJointSurfaceRocketWall>(18, target, 1);

  // Obstacles on the ground and at walls: one plain surface that makes
  // joints, skipped while a body rests.
  ODEJointSurface* obstacleGround = at(12, 0);
  EXPECT_EQ(at(12, 1), obstacleGround);
  EXPECT_EQ(at(0, 12), obstacleGround);
  EXPECT_NE(obstacleGround, &scene.defaultSurface);
  EXPECT_TRUE(obstacleGround->m_createJoint);
  EXPECT_TRUE(obstacleGround->m_requireEnabledBodies);

  // Pairs the game does not list keep the scene's default.
  for (auto [a, b] : {std::pair{5, 1}, {6, 0}, {18, 6}, {13, 0}, {12, 12}, {18, 18}, {49, 49}})
    EXPECT_EQ(at(a, b), &scene.defaultSurface) << a << ", " << b;
}

TEST_F(InstalledSurfaceTest, ABoxDrivenIntoGivesOneExtraPerStep) {
  // Deep in the box: a box-box pair has up to eight contact points.
  sceneBox(0, 0, 0, 1, kSurfaceKartBody, 0);
  PhysicsObject* extra = sceneBox(0.2f, 0.1f, 0, 1, kSurfaceExtraBox, -1);
  scene.collide();
  dJointGroupEmpty(scene.contactGroup);
  EXPECT_EQ(kart0->boxes, std::vector<PhysicsObject*>{extra});
  scene.collide();
  dJointGroupEmpty(scene.contactGroup);
  EXPECT_EQ(kart0->boxes.size(), 2u);
}

TEST_F(InstalledSurfaceTest, ObstacleRestsOnTheGroundOnlyWhileAwake) {
  sceneBox(0, -0.5f, 0, 1, kSurfaceRoad, -1);
  PhysicsObject* crate = addPhysicsObject(scene, "crate", kGeomBox, kSurfaceObstacle, 0);
  placeAt(*crate, 0, 0.45f, 0);
  dBodyID body = addBoxBody(scene, *crate, 1.0, 1, 1, 1);
  crate->prepareOnce();
  scene.collide();
  EXPECT_GT(dBodyGetNumJoints(body), 0);
  dJointGroupEmpty(scene.contactGroup);
  dBodyDisable(body);
  scene.collide();
  EXPECT_EQ(dBodyGetNumJoints(body), 0);
  dJointGroupEmpty(scene.contactGroup);
}

}  // namespace
