#include "game/kart/vehicle_master.h"

#include <gtest/gtest.h>

#include "game/kart/controller.h"
#include "game/kart/kart_surfaces.h"
#include "game/saves/config.h"
#include "game/track/point_file.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"
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
  void placeProjectiles(double) override { ++placements; }
  void onStamped() override { ++stamps; }
  void onCrushed() override { ++crushes; }
  int respawns = 0, extras = 0, shots = 0, placements = 0, stamps = 0, crushes = 0;
  bool endEarly = false;
};

// Flat ground of real ODE: the ground mesh in the top space, the karts'
// rays in space 3, the ray surface between kinds 5 and 0.
class KartOnFlatGround : public ::testing::Test {
 protected:
  void SetUp() override {
    scene = std::make_unique<Scene>(nullptr);
    scene->physics().addCollisionSpace(dHashSpaceCreate(nullptr), "top");
    for (int i = 1; i <= 3; ++i)
      scene->physics().addCollisionSpace(dSimpleSpaceCreate(scene->physics().space(0)), "sub");
    scene->physics().spacePairTable[3][0] = scene->physics().spacePairTable[0][3] = &collide;
    scene->physics().surfaceTable[5][0] = scene->physics().surfaceTable[0][5] = &rays;
    const float height = groundHeight();
    mesh = makeGroundMesh(20, 20.0f, [height](float, float) { return height; });
    PhysicsObject* ground = addPhysicsObject(*scene, "ground", kGeomTriMesh, 0, 0);
    ground->addMesh(mesh.get(), 0.0f);
    ground->prepareOnce();
    placeAt(*scene->createObject("Vehicle"), 0.0f, height + 0.5f, 0.0f);
    addItems();
    auto controller = std::make_unique<HeldController>();
    held = controller.get();
    kart = std::make_unique<RecordingKart>(*scene, std::move(controller), 0, &explosions, nullptr, 0, modelFile(),
                                           config, control, nullptr);
    slots[0] = kart.get();
    kart->m_net.m_active.set(true);
  }
  void TearDown() override {
    VehicleMaster::s_routeRecorder = nullptr;
    kart.reset();
    scene.reset();
  }
  virtual float groundHeight() const { return 0.0f; }
  // Items the kart finds when it is built.
  virtual void addItems() {}
  virtual std::string modelFile() const { return ""; }
  // An object drawing model layer `layer`, as the loader names and keys it.
  ObjectItem* addLayerObject(const std::string& name, int layer) {
    wheelMeshes.push_back(makeGroundMesh(1, 1.0f, [](float, float) { return 0.0f; }));
    wheelMeshes.back()->index = layer;
    ObjectItem* object = scene->createObject(name);
    object->addMesh(wheelMeshes.back().get(), 0.0f);
    return object;
  }
  void step() {
    scene->physics().collide();
    scene->physics().emptyContacts();
    kart->step(time, 0.01);
    time += 0.01;
  }
  void settle() {
    for (int i = 0; i < 50; ++i) step();
    ASSERT_EQ(kart->m_drive.m_airborne, 0);
  }

  ExplosionTextures explosions{};
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
  kart->m_status.shrunk = 5.0f;
  kart->m_sensors.kartDepth = 0.05f;  // run over, but the step ends before
  const int shots = kart->shots, placements = kart->placements;
  step();
  EXPECT_EQ(kart->respawns, 1);
  // Nothing after an early end.
  EXPECT_EQ(kart->shots, shots);
  EXPECT_EQ(kart->placements, placements);
  EXPECT_EQ(kart->stamps, 0);
  EXPECT_EQ(kart->m_status.shrunk, 5.0f);
}

TEST_F(KartOnFlatGround, RouteRecorderWritesEveryTwentyFifthStep) {
  MemoryFile file;
  ASSERT_TRUE(file.create("route.dat"));
  VehicleMaster::s_routeRecorder = &file;
  for (int i = 0; i < 60; ++i) step();
  EXPECT_EQ(file.contents("route.dat")->size(), 2u * 16u);
  // The records read back as a point file: where the kart stood.
  const auto records = readPointFile(file, "route.dat", TrackExtent::ofTrack(0));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NEAR(records[1].position.y, 0.0f, 1e-3);
  EXPECT_EQ(records[1].w, 0.0f);  // standing
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
  crate.body = dBodyCreate(scene->physics().world());
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
  for (float x : {0.0f, 50.0f})
    for (int i = 0; i < 4; ++i) placeAt(*addLayerObject("kart_01.lwo", 2 + i), x + static_cast<float>(i), 0.3f, 0.0f);
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

namespace {

TEST_F(KartOnFlatGround, StartsWithEveryEffectIdleAndNoWeaponInFlight) {
  const KartStatusTimers& t = kart->m_status;
  for (float timer : {t.shield, t.turbo, t.frozen, t.shrunk, t.skid, t.throttleLock, t.mineHit, t.weightHit, t.magnet,
                      t.rocketHit, t.fall, t.crushed, t.flattened, t.explosion})
    EXPECT_EQ(timer, 0.0f);
  EXPECT_EQ(t.turboSound, -1.0f);
  const KartProjectiles& p = kart->m_projectiles;
  EXPECT_EQ(p.rocketLaunch, -1.0f);
  EXPECT_EQ(p.magnetDrop, -1.0f);
  EXPECT_EQ(p.mineDrop, -1.0f);
  EXPECT_EQ(p.rocketPathIndex, -1);
  EXPECT_EQ(p.rocketTarget, -1);
  for (int j = 0; j < KartProjectiles::kBubbles; ++j) {
    EXPECT_EQ(p.soapDirection[j].x + p.soapDirection[j].y + p.soapDirection[j].z, 0.0f);
    EXPECT_EQ(p.soapSpeed[j], 0.0f);
  }
  EXPECT_EQ(p.forwardAxis.z, 1.0f);  // the chassis faces +z
  EXPECT_EQ(kart->m_animation.state, KartAnimation::kIdle);
  EXPECT_EQ(kart->m_animation.driverMotion, kart->m_motions.m_driverIndex[KartMotions::kDrive]);
  EXPECT_EQ(kart->m_animation.bodyMotion, -1);

  EXPECT_EQ(kart->m_sectorMask, 0xFFFEu);
  EXPECT_EQ(kart->m_lineTouched, 0);
  EXPECT_EQ(kart->m_eliminationDone, 0);
  for (Surface* surface : kart->m_characterModel) EXPECT_EQ(surface, nullptr);
  EXPECT_EQ(kart->m_explosionTextures, &explosions);
  EXPECT_NE(kart->m_items.rocketParticles, nullptr);
  EXPECT_EQ(kart->m_net.m_rocketPos.get().y, 0.0f);  // the simulated kart's own start
  EXPECT_EQ(kart->m_net.m_targetLocked.get(), -1);
  EXPECT_EQ(kart->m_net.m_effectMagnetPos.get().y, -100.0f);
  Vehicle& base = *kart;
  EXPECT_EQ(base.getClient(), nullptr);
  EXPECT_EQ(base.getMaster(), kart.get());
  base.setExtra(7);
  EXPECT_EQ(kart->m_net.m_extra.get(), 7);
}

TEST_F(KartOnFlatGround, RunningEffectsReachTheDrivingModel) {
  settle();
  held->throttle = true;
  kart->m_status.throttleLock = 1.0f;
  step();
  EXPECT_EQ(kart->getSpeed(), 0.0f);  // the throttle does nothing
  kart->m_status.throttleLock = 0.0f;
  step();
  EXPECT_GT(kart->getSpeed(), 0.0f);
  kart->m_status.frozen = 1.0f;
  step();
  EXPECT_EQ(kart->getSpeed(), 0.0f);
  kart->m_status.frozen = 0.0f;
  // The road's speed limit waits while a turbo runs.
  kart->m_drive.m_speedLimit = kart->tuning().turboMaxSpeed;
  kart->m_status.turbo = 3.0f;
  step();
  EXPECT_EQ(kart->m_drive.m_speedLimit, kart->tuning().turboMaxSpeed);
  kart->m_status.turbo = 0.0f;
  step();
  EXPECT_EQ(kart->m_drive.m_speedLimit, kart->tuning().maxSpeed);
}

TEST_F(KartOnFlatGround, AShrunkKartRunOverIsFlattenedAndANormalOneIsPushedApart) {
  settle();
  auto runOver = [&] {
    kart->m_sensors.kartDepth = 0.05f;
    kart->m_sensors.kartNormal = {1.0f, 0.0f, 0.0f};
  };
  const float x = kart->m_drive.m_target.x;
  runOver();
  step();
  EXPECT_NEAR(kart->m_drive.m_target.x - x, 0.13f, 1e-5);  // depth + 0.08 along the normal
  EXPECT_EQ(kart->stamps, 0);

  kart->m_status.shrunk = 5.0f;
  const float pushedX = kart->m_drive.m_target.x;
  runOver();
  step();
  EXPECT_EQ(kart->stamps, 1);
  EXPECT_EQ(kart->crushes, 0);
  EXPECT_EQ(kart->m_status.shrunk, 0.0f);  // flattened now, no longer shrunk
  EXPECT_EQ(kart->m_sensors.kartDepth, 0.0f);
  EXPECT_NEAR(kart->m_drive.m_target.x, pushedX, 1e-6);
}

TEST_F(KartOnFlatGround, WindPushesAlongItsAxisWeakerWithDistanceAndTheBandCarriesTheKart) {
  settle();
  Position3 at;
  kart->getPosition(at);
  // Two units to the side of the kart, blowing along +z.
  PhysicsObject* wind = addPhysicsObject(*scene, "wind", kGeomBox, 20, 0);
  placeAt(*wind, at.x - 2.0f, at.y, at.z);
  auto moved = [&] {
    Position3 before;
    kart->getPosition(before);
    step();
    const Position3& after = kart->m_drive.m_target;
    return Position3{after.x - before.x, after.y - before.y, after.z - before.z};
  };
  kart->m_sensors.wind = wind;
  Position3 d = moved();
  EXPECT_NEAR(d.z, 0.002f, 1e-6);  // z axis x 0.004 / 2
  EXPECT_NEAR(d.x, 0.0f, 1e-7);
  EXPECT_EQ(kart->m_sensors.wind, nullptr);
  d = moved();  // the collision pass did not store it again
  EXPECT_EQ(d.z, 0.0f);

  // At the wind's origin there is nothing to weaken by: no push.
  kart->getPosition(at);
  placeAt(*wind, at.x, at.y, at.z);
  wind->invalidate();
  kart->m_sensors.wind = wind;
  d = moved();
  EXPECT_EQ(d.x, 0.0f);
  EXPECT_EQ(d.z, 0.0f);

  // A band turned to run along +x.
  PhysicsObject* band = addPhysicsObject(*scene, "band", kGeomBox, 22, 0);
  band->rotation[0].value = static_cast<float>(M_PI / 2);
  kart->m_sensors.band = band;
  d = moved();
  EXPECT_NEAR(d.x, 0.0001f, 1e-8);
  EXPECT_NEAR(d.z, 0.0f, 1e-8);
  EXPECT_EQ(kart->m_sensors.band, nullptr);
  EXPECT_EQ(moved().x, 0.0f);
}

TEST_F(KartOnFlatGround, ATouchedBoxIsParkedBelowWithItsCountdownInTheSameStep) {
  PhysicsObject* box = addPhysicsObject(*scene, "extra_addon.lwo", kGeomBox, 13, 0);
  placeAt(*box, 3.0f, 1.0f, 4.0f);
  Vehicle& any = *kart;
  any.giveRandomExtra(box);
  EXPECT_EQ(kart->touchedBox(), box);
  step();
  Matrix4x3 m;
  box->worldMatrix(m, time, true);
  EXPECT_FLOAT_EQ(m.m[12], 3.0f);
  EXPECT_FLOAT_EQ(m.m[13], -99.0f);
  EXPECT_FLOAT_EQ(m.m[14], 4.0f);
  EXPECT_EQ(box->reappearTime, 10.0f);
  EXPECT_EQ(kart->touchedBox(), nullptr);
}

// A sound buffer that notes what the kart asks of it.
class NotingBuffer : public SoundBuffer {
 public:
  bool play(bool loop) override {
    ++plays;
    looped = loop;
    m_playing = true;
    return true;
  }
  bool setLoop(bool) override { return true; }
  bool setFrequency(std::uint32_t) override { return true; }
  bool stop() override {
    m_playing = false;
    return true;
  }
  double getPosition() override { return 0.0; }
  bool setVolume(float) override { return true; }
  bool setPosition(double) override { return true; }
  int getPlayCursor() override { return 0; }
  void set3DParameters(float px, float py, float pz, float, float, float, float vx, float vy, float vz) override {
    at = {px, py, pz};
    velocity = {vx, vy, vz};
  }
  int plays = 0;
  bool looped = false;
  Position3 at;
  Normal3 velocity;
};

class SilentChannel : public SoundChannel {
 public:
  int Fill(std::uint8_t*, int) override { return 0; }
  int getBitsPerSample() override { return 16; }
  int getChannelCount() override { return 1; }
  int getSampleRate() override { return 22050; }
};

NotingBuffer* giveSound(Vehicle& kart, int slot) {
  KartSoundSlot& sound = kart.m_items.sounds[static_cast<std::size_t>(slot)];
  sound.channel = std::make_unique<SilentChannel>();
  auto buffer = std::make_unique<NotingBuffer>();
  NotingBuffer* noting = buffer.get();
  sound.buffer = std::move(buffer);
  return noting;
}

TEST_F(KartOnFlatGround, StepSoundsPlayAtTheKartAndAreAnnouncedWithTheirPlace) {
  settle();
  NotingBuffer* crash = giveSound(*kart, kSoundWallCrash);
  NotingBuffer* bump = giveSound(*kart, kSoundBump);
  Position3 at;
  kart->getPosition(at);
  auto hitTheWall = [&] {
    kart->m_drive.m_velocity = 0.2f;
    kart->m_sensors.wallTouched = true;
    kart->m_sensors.wallNormal = {0.0f, 0.0f, -1.0f};
    kart->step(time, 0.01);
  };
  hitTheWall();
  EXPECT_EQ(crash->plays, 1);
  EXPECT_FALSE(crash->looped);
  EXPECT_FLOAT_EQ(crash->at.z, at.z);
  EXPECT_EQ(crash->velocity.z, 1.0f);  // the kart's unit heading
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundWallCrash);
  EXPECT_FLOAT_EQ(kart->m_net.m_soundPosition.get().z, at.z);
  hitTheWall();  // still sounding: not started over
  EXPECT_EQ(crash->plays, 1);

  // An obstacle knock is heard each time, a kart's only when not sounding.
  for (int i = 0; i < 2; ++i) {
    kart->m_sensors.obstacleDepth = 0.01f;
    kart->step(time, 0.01);
  }
  EXPECT_EQ(bump->plays, 2);
  kart->m_drive.m_velocity = 0.1f;
  kart->m_sensors.kartDepth = 0.01f;
  kart->step(time, 0.01);
  EXPECT_EQ(bump->plays, 2);
  bump->stop();
  kart->m_drive.m_velocity = 0.1f;
  kart->m_sensors.kartDepth = 0.01f;
  kart->step(time, 0.01);
  EXPECT_EQ(bump->plays, 3);
  EXPECT_EQ(kart->m_net.m_soundStart.get(), kSoundBump);
}

// Wheels of the kart's model (layers 2 to 5), turned and banked a little.
class KartWithWheels : public KartOnFlatGround {
 protected:
  std::string modelFile() const override { return "kart_01.lwo"; }
  void addItems() override {
    for (int i = 0; i < 4; ++i) {
      wheels[i] = addLayerObject("kart_01.lwo", 2 + i);
      placeAt(*wheels[i], i < 2 ? -0.3f : 0.3f, 0.3f, i % 2 ? -0.4f : 0.4f);
      wheels[i]->rotation[0].value = 0.3f;
      wheels[i]->rotation[2].value = 0.1f;
    }
  }
  SceneItem* wheels[4] = {};
};

TEST_F(KartWithWheels, WheelsRollByTwiceTheSpeedBackwardsWhenReversingAndKeepHeadingAndBank) {
  settle();
  for (bool reversing : {false, true}) {
    kart->m_drive.m_reverse = reversing ? 1 : 0;
    kart->m_drive.m_velocity = 0.1f;
    const float pitch = wheels[2]->rotation[1].value;
    step();
    const float speed = kart->m_drive.m_velocity;  // after this step's rolling resistance
    EXPECT_NEAR(wheels[2]->rotation[1].value - pitch, (reversing ? 2.0f : -2.0f) * speed, 1e-6) << reversing;
    EXPECT_FLOAT_EQ(wheels[2]->rotation[0].value, 0.3f);
    EXPECT_FLOAT_EQ(wheels[2]->rotation[2].value, 0.1f);
  }
}

// Ground 1.5 up, with the kart's shadow and camera target in the scene.
class KartOnRaisedGround : public KartOnFlatGround {
 protected:
  float groundHeight() const override { return 1.5f; }
  void addItems() override {
    shadow = addLayerObject("D:\\Tamberlok/3dobjects_cars/kart_shadow.lwo", 0);
    cameraTarget = scene->createObject("CameraTarget");
  }
  SceneItem* shadow = nullptr;
  SceneItem* cameraTarget = nullptr;
};

TEST_F(KartOnRaisedGround, TheShadowLiesOnTheGroundUnderTheKartUnlessItFalls) {
  settle();
  kart->m_drive.m_verticalSpeed = 0.05f;  // a jump
  for (int i = 0; i < 5; ++i) step();
  ASSERT_EQ(kart->m_drive.m_airborne, 1);
  ASSERT_GT(kart->m_drive.m_target.y, 1.6f);
  EXPECT_EQ(shadow->localMode, 1);
  const Matrix4x3 drawn = shadow->bodyMatrix;
  EXPECT_NEAR(drawn.m[13], 1.6f, 1e-5);  // the centre ray's ground + 0.1
  EXPECT_NEAR(drawn.m[5], 1.0f, 1e-5);   // upright, at the chassis's scale (no "start" scaled it)
  const Matrix4x3 sent = kart->m_net.m_netShadowMatrix.get();
  for (int i = 0; i < 16; ++i) EXPECT_EQ(sent.m[i], drawn.m[i]) << i;

  // The chassis is drawn with the kart matrix; the camera target rides
  // 1.0 above it and the forward axis is the matrix's third row.
  Matrix4x3 chassis;
  scene->findItem("Vehicle", -1, 1)->worldMatrix(chassis, time, true);
  const Matrix4x3& m = kart->m_net.m_matrix.get();
  for (int i = 0; i < 16; ++i) EXPECT_EQ(chassis.m[i], m.m[i]) << i;
  Matrix4x3 target;
  cameraTarget->worldMatrix(target, time, true);
  EXPECT_FLOAT_EQ(target.m[13], m.m[13] + 1.0f);
  EXPECT_EQ(kart->m_projectiles.forwardAxis.z, m.m[10]);

  kart->m_status.fall = 0.5f;
  step();
  EXPECT_EQ(shadow->localMode, 0);
  Matrix4x3 hidden;
  shadow->worldMatrix(hidden, time, true);
  EXPECT_EQ(hidden.m[13], -100.0f);
  EXPECT_EQ(kart->m_net.m_netShadowMatrix.get().m[13], sent.m[13]);  // not sent while falling
}

}  // namespace
