#include "game/vehicle_master.h"

#include <gtest/gtest.h>

#include "game/config.h"
#include "game/controller.h"
#include "game/kart_surfaces.h"
#include "tests/scene/physics_world.h"
#include "tests/support/memory_file.h"

namespace {

class HeldController : public Controller {
 public:
  bool left() override { return false; }
  bool right() override { return false; }
  bool accelerate() override { return throttle; }
  bool brake() override { return false; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return extra; }
  bool throttle = false;
  bool extra = false;
};

// Proves when the step calls the hooks of the extras.
class RecordingKart : public VehicleMaster {
 public:
  using VehicleMaster::VehicleMaster;
  void respawn() override { ++respawns; }
  void useExtra(double, double) override { ++extras; }
  bool runFallTimers(double, double) override { return endEarly; }
  void flyShots(double, double) override { ++shots; }
  int respawns = 0, extras = 0, shots = 0;
  bool endEarly = false;
};

float flat(float, float) { return 0.0f; }

// Flat ground of real ODE: the ground mesh in the top space, the karts'
// rays in space 3, the ray surface between kinds 5 and 0.
class KartOnFlatGround : public ::testing::Test {
 protected:
  void SetUp() override {
    scene = std::make_unique<Scene>(nullptr);
    scene->addCollisionSpace(dHashSpaceCreate(nullptr), "top");
    for (int i = 1; i <= 3; ++i) scene->addCollisionSpace(dSimpleSpaceCreate(scene->spaces[0].space), "sub");
    scene->spacePairTable[3][0] = scene->spacePairTable[0][3] = &collide;
    scene->surfaceTable[5][0] = scene->surfaceTable[0][5] = &rays;
    mesh = makeGroundMesh(20, 20.0f, flat);
    PhysicsObject* ground = addPhysicsObject(*scene, "ground", kGeomTriMesh, 0, 0);
    ground->addMesh(mesh.get(), 0.0f);
    ground->prepareOnce();
    placeAt(*scene->createObject("Vehicle"), 0.0f, 0.5f, 0.0f);
    auto controller = std::make_unique<HeldController>();
    held = controller.get();
    kart = std::make_unique<RecordingKart>(*scene, std::move(controller), 0, nullptr, nullptr, 0, "", config, control,
                                           nullptr);
    slots[0] = kart.get();
    kart->m_net.m_active.set(true);
  }
  void TearDown() override {
    VehicleMaster::s_routeRecorder = nullptr;
    kart.reset();
    scene.reset();
  }
  void step() {
    scene->collide();
    dJointGroupEmpty(scene->contactGroup);
    kart->step(time, 0.01);
    time += 0.01;
  }

  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  Vehicle* slots[6] = {};
  ODEJointSurfaceRay rays{slots};
  ODESpacePair collide{true};
  std::unique_ptr<SurfaceRenderObject> mesh;
  std::vector<std::unique_ptr<SurfaceRenderObject>> wheelMeshes;  // outlive the scene's items
  std::unique_ptr<Scene> scene;
  HeldController* held = nullptr;
  std::unique_ptr<RecordingKart> kart;
  double time = 0.0;
};

TEST_F(KartOnFlatGround, SettlesOnItsRaysAndReachesTheLimitWithTheThrottleHeld) {
  EXPECT_EQ(kart->ray(4)->ownerIndex, 4);
  int steps = 0;
  while (kart->m_drive.m_airborne && steps < 100) {
    step();
    ++steps;
  }
  EXPECT_LT(steps, 100);
  EXPECT_NEAR(kart->m_drive.m_target.y, 0.0f, 1e-4);
  held->throttle = true;
  steps = 0;
  while (kart->m_drive.m_velocity < 0.29f && steps < 1000) {
    step();
    ++steps;
  }
  EXPECT_EQ(kart->m_drive.m_velocity, 0.29f);
  EXPECT_EQ(kart->m_drive.m_airborne, 0);
  EXPECT_NEAR(kart->m_drive.m_target.y, 0.0f, 1e-3);
  Position3 p;
  kart->getPosition(p);
  EXPECT_GT(p.z, 10.0f);  // drove along +z, its heading
  // The ray normals of flat ground keep the kart upright.
  const Matrix4x3& m = kart->m_net.m_matrix.get();
  EXPECT_NEAR(m.m[5], 1.0f, 1e-5);  // the chassis's scale: no "start" item scaled it
  EXPECT_NEAR(m.m[13], kart->m_drive.m_target.y, 1e-6);
  EXPECT_EQ(kart->respawns, 0);
}

TEST_F(KartOnFlatGround, HooksRunOnlyWhenTheirConditionsHold) {
  held->extra = true;
  step();
  EXPECT_EQ(kart->extras, 1);
  kart->m_net.m_active.set(false);
  step();
  EXPECT_EQ(kart->extras, 1);  // not while inactive
  kart->m_drive.m_pos.y = -20.0f;
  step();
  EXPECT_EQ(kart->respawns, 0);  // only strictly below -20
  kart->m_drive.m_pos.y = -20.5f;
  kart->endEarly = true;
  const int shots = kart->shots;
  step();
  EXPECT_EQ(kart->respawns, 1);
  EXPECT_EQ(kart->shots, shots);  // nothing after an early end
}

TEST_F(KartOnFlatGround, RouteRecorderWritesEveryTwentyFifthStep) {
  MemoryFile file;
  ASSERT_TRUE(file.create("route.dat"));
  VehicleMaster::s_routeRecorder = &file;
  for (int i = 0; i < 60; ++i) step();
  EXPECT_EQ(file.contents("route.dat")->size(), 2u * 16u);
}

}  // namespace

namespace {

TEST(KartMatrix, FlatGroundGivesTheScaledYawAndATiltLeansTheUpRow) {
  const Matrix4x3 flat = kartMatrix({0, 1, 0}, 0.0f, {1, 2, 3}, 0.75f);
  const float expected[16] = {0.75f, 0, 0, 0, 0, 0.75f, 0, 0, 0, 0, 0.75f, 0, 1, 2, 3, 1};
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(flat.m[i], expected[i]) << i;
  // Facing -z (yaw pi): the forward row is -z.
  const Matrix4x3 back = kartMatrix({0, 1, 0}, static_cast<float>(M_PI), {0, 0, 0}, 1.0f);
  EXPECT_NEAR(back.m[10], -1.0f, 1e-6);
  // Ground rising toward +z: the up row leans back, the forward row climbs.
  const float r = std::sqrt(0.5f);
  const Matrix4x3 slope = kartMatrix({0, r, -r}, 0.0f, {0, 0, 0}, 1.0f);
  EXPECT_NEAR(slope.m[5], r, 1e-6);
  EXPECT_NEAR(slope.m[6], -r, 1e-6);
  EXPECT_GT(slope.m[9], 0.0f);
}

}  // namespace

namespace {

TEST_F(KartOnFlatGround, AHeadOnWallHitHoldsTheCrashAndStartsTheCrashSound) {
  for (int i = 0; i < 50; ++i) step();  // settled
  kart->m_drive.m_velocity = kart->m_drive.m_speedLimit = 0.29f;
  kart->m_drive.m_motion[0] = kart->m_drive.m_motion[1] = kart->m_drive.m_motion[2] = 0.0f;
  held->throttle = true;
  kart->m_sensors.wallTouched = true;
  kart->m_sensors.wallNormal = {0.0f, 0.0f, -1.0f};
  kart->step(time, 0.01);
  EXPECT_FLOAT_EQ(kart->getSpeed(), 0.02f);
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundWallCrash);
  EXPECT_EQ(kart->m_animation.state, KartAnimation::kEventMotion);
  EXPECT_FLOAT_EQ(kart->m_animation.hold, 1.0f);
  EXPECT_EQ(kart->m_animation.driverMotion, -1);  // this scene's kart has no driver actor
}

}  // namespace

namespace {

TEST_F(KartOnFlatGround, AnObstacleIsPushedAlongTheStoredNormalOnlyWhenItHasABody) {
  PhysicsObject crate(scene.get(), 0);
  crate.body = dBodyCreate(scene->world);
  dBodyDisable(crate.body);
  kart->m_sensors.obstacle = &crate;
  kart->m_sensors.obstacleNormal = {0.0f, 0.0f, 1.0f};  // toward the crate
  kart->m_sensors.obstacleDepth = 0.01f;
  kart->step(time, 0.01);
  EXPECT_TRUE(dBodyIsEnabled(crate.body));
  EXPECT_NEAR(dBodyGetForce(crate.body)[2], 25.0, 1e-9);  // normal x depth x 2500
  EXPECT_EQ(kart->m_sensors.obstacleDepth, 0.0f);
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundBump);

  PhysicsObject scenery(scene.get(), 1);  // no body: nothing to push
  kart->m_sensors.obstacle = &scenery;
  kart->m_sensors.obstacleDepth = 0.01f;
  kart->step(time, 0.01);
  EXPECT_EQ(kart->m_sensors.obstacleDepth, 0.0f);
}

}  // namespace

namespace {

TEST_F(KartOnFlatGround, ASecondKartOfOneModelAimsItsRaysAtItsOwnWheels) {
  // Two copies of the model's wheel layers 2 to 5: kart 0's near the
  // origin, kart 1's 50 units along x.
  for (int layer = 2; layer <= 5; ++layer) {
    wheelMeshes.push_back(makeGroundMesh(1, 1.0f, flat));
    wheelMeshes.back()->index = layer;
  }
  for (float x : {0.0f, 50.0f})
    for (int i = 0; i < 4; ++i) {
      ObjectItem* wheel = scene->createObject("kart_01.lwo");
      wheel->addMesh(wheelMeshes[static_cast<std::size_t>(i)].get(), 0.0f);
      placeAt(*wheel, x + static_cast<float>(i), 0.3f, 0.0f);
    }
  NetControl own;
  VehicleMaster second(*scene, nullptr, 1, nullptr, nullptr, 0, "kart_01.lwo", config, own, nullptr);
  for (int i = 0; i < 4; ++i) {
    dVector3 start, direction;
    dGeomRayGet(second.ray(i)->geom, start, direction);
    EXPECT_NEAR(start[0], 50.0 + i, 1e-5) << "wheel " << i;
    EXPECT_NEAR(start[1], 1.3, 1e-5);
    EXPECT_EQ(direction[1], -1.0);
    EXPECT_EQ(second.ray(i)->ownerIndex, 5 + i);
  }
}

}  // namespace
