#include "game/track/track_surfaces.h"

#include <gtest/gtest.h>
#include <ode/ode.h>

#include <memory>
#include <vector>

#include "game/kart/vehicle_master.h"
#include "game/saves/config.h"
#include "game/track/track_surface_kinds.h"
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
    scene.physics().addCollisionSpace(dHashSpaceCreate(nullptr), "top");
    for (int i = 1; i <= 3; ++i) scene.physics().addCollisionSpace(dSimpleSpaceCreate(scene.physics().space(0)), "sub");
    kart0 = std::make_unique<HookKart>(scene, 0, config, control);
    kart1 = std::make_unique<HookKart>(scene, 1, config, control);
    remote = std::make_unique<RemoteKart>(scene, control, 2);
    slots[0] = kart0.get();
    slots[1] = kart1.get();
    slots[2] = remote.get();
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
  // A kart's collision item, and a track item that overlaps it.
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
  std::vector<std::unique_ptr<PhysicsObject>> objects;  // destroyed first, with their geoms
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
  const std::pair<ODEJointSurface*, PhysicsObject*> track[] = {
      {&boxes, item(kSurfaceExtraBox)},   {&line, item(kSurfaceCheckpoint)},  {&pads, item(kSurfaceSpeedUp)},
      {&resets, item(kSurfaceResetZone)}, {&stampers, item(kSurfaceStamper)}, {&crushers, item(kSurfaceCrusher)},
      {&slides, item(kSurfaceSlide)},     {&bands, item(kSurfaceBand)},       {&winds, item(kSurfaceWind)}};
  auto driveThroughAll = [&](PhysicsObject* col) {
    bool colFirst = true;  // alternating: the kart is found either way
    for (auto [surface, object] : track) {
      colFirst ? touch(*surface, col, object) : touch(*surface, object, col);
      colFirst = !colFirst;
    }
  };
  for (int owner : {2, -1, 3, 6, 40}) driveThroughAll(kartCol(owner));
  EXPECT_EQ(remote->boxes, std::vector<PhysicsObject*>{track[0].second});
  EXPECT_EQ(remote->m_lineTouched, 1);
  EXPECT_EQ(remote->m_sensors.band, nullptr);
  EXPECT_EQ(remote->m_sensors.wind, nullptr);
  EXPECT_TRUE(kart1->boostPads.empty());
  EXPECT_EQ(kart1->respawns + kart1->stamps + kart1->crushes, 0);

  driveThroughAll(kartCol(1));
  EXPECT_EQ(kart1->boxes, std::vector<PhysicsObject*>{track[0].second});
  EXPECT_EQ(kart1->m_lineTouched, 1);
  EXPECT_EQ(kart1->boostPads, std::vector<PhysicsObject*>{track[2].second});
  EXPECT_EQ(kart1->respawns, 1);
  EXPECT_EQ(kart1->stamps, 1);
  EXPECT_EQ(kart1->crushes, 1);
  EXPECT_EQ(kart1->m_drive.m_sliding, 1);
  EXPECT_EQ(kart1->m_sensors.band, track[7].second);
  EXPECT_EQ(kart1->m_sensors.wind, track[8].second);
  EXPECT_EQ(kart0->respawns + kart0->m_drive.m_sliding, 0);
}

TEST_F(TrackSurfaceTest, RocketOnObstacleStamperOrCrusherGoesOffAsOnAWall) {
  ODEJointSurfaceRocketWall rockets(slots);
  kart1->m_net.m_rocketFired.set(1);
  for (int kind : {int{kSurfaceWall}, int{kSurfaceObstacle}, int{kSurfaceStamper}, int{kSurfaceCrusher}}) {
    PhysicsObject* target = box(0, 0, 0, 2, kind, -1);
    PhysicsObject* rocket = box(0, 1.2f, 0, 0.5f, kSurfaceRocket, 1);  // fired by kart 1
    kart1->m_items.rockets[1] = rocket;
    kart1->explosions.clear();
    ASSERT_EQ(touch(rockets, target, rocket), 1);
    ASSERT_EQ(touch(rockets, rocket, target), 1);
    ASSERT_EQ(kart1->explosions.size(), 2u) << "kind " << kind;
    EXPECT_NEAR(kart1->explosions[1].y, 1.0f, 0.06f);  // on the target's top face
  }
  // A rocket or shot that has not been fired goes off nowhere, however it
  // lies on the road: the weapons wait where they are parked.
  PhysicsObject* road = box(0, 0, 0, 2, kSurfaceRoad, -1);
  PhysicsObject* resting[] = {box(0, 1.2f, 0, 0.5f, kSurfaceRocket, 1), box(0, 1.2f, 0, 0.5f, kSurfaceRocket, 1),
                              box(0, 1.2f, 0, 0.5f, kSurfaceRocket, 1)};
  kart1->m_items.rockets[1] = resting[0];
  kart1->m_items.lasers[0] = resting[1];
  kart1->m_items.lasers[1] = resting[2];
  kart1->m_net.m_rocketFired.set(0);
  kart1->explosions.clear();
  for (PhysicsObject* weapon : resting) touch(rockets, weapon, road);
  touch(rockets, box(0, 1.2f, 0, 0.5f, kSurfaceRocket, 1), road);  // an item of kart 1's it never fires
  EXPECT_TRUE(kart1->explosions.empty());
  // The shots go off once they fly.
  kart1->m_net.m_extraShrinker.set(0.4f);
  kart1->m_net.m_extraFroster.set(0.4f);
  for (PhysicsObject* weapon : resting) touch(rockets, weapon, road);
  EXPECT_EQ(kart1->explosions.size(), 2u);

  // A rocket a remote kart fired goes off on its own machine.
  PhysicsObject* remoteRocket = box(0, 1.2f, 0, 0.5f, kSurfaceRocket, 2);
  kart1->explosions.clear();
  touch(rockets, remoteRocket, box(0, 0, 0, 2, kSurfaceWall, -1));
  touch(rockets, box(0, 1.2f, 0, 0.5f, kSurfaceRocket, -1), box(0, 0, 0, 2, kSurfaceWall, -1));
  EXPECT_TRUE(kart0->explosions.empty() && kart1->explosions.empty());
}

TEST_F(TrackSurfaceTest, TriggerStartsOnlyAnIdleTimer) {
  ODEJointSurfaceTrigger trigger(slots, triggerTimer);
  PhysicsObject* col = kartCol(0);
  PhysicsObject* pad = item(kSurfaceTrigger);
  for (float before : {0.0f, 1.25f, 0.0f}) {
    triggerTimer = before;
    touch(trigger, pad, col);
    EXPECT_EQ(triggerTimer, before == 0.0f ? 2.0f : before);
  }
}

// The surfaces in a scene's tables, met through the scene's own collision
// pass.
class InstalledSurfaceTest : public TrackSurfaceTest {
 protected:
  InstalledSurfaceTest() {
    surfaces.install(scene);
    scene.physics().spacePairTable[0][0] = &collide;
  }
  PhysicsObject* sceneBox(float x, float y, float z, float size, int kind, int owner) {
    PhysicsObject* o = addPhysicsObject(scene, "box", kGeomBox, kind, 0);
    placeAt(*o, x, y, z);
    for (int i = 0; i < 3; ++i) o->scale[i].value = size;
    o->ownerIndex = owner;
    o->prepareOnce();
    return o;
  }
  TrackSurfaces surfaces{slots, triggerTimer};
  ODESpacePair collide{true};
};

TEST_F(InstalledSurfaceTest, EveryPairHoldsItsSurfaceInBothOrdersAndOthersKeepTheDefault) {
  const std::pair<int, int> pairs[] = {{5, 0},   {5, 25}, {5, 26},  {5, 8},   {6, 1},  {6, 6},  {6, 12},
                                       {12, 0},  {12, 1}, {6, 13},  {6, 14},  {6, 15}, {6, 16}, {6, 19},
                                       {6, 20},  {6, 21}, {6, 22},  {6, 23},  {6, 7},  {18, 0}, {18, 25},
                                       {18, 26}, {18, 1}, {18, 12}, {18, 16}, {18, 14}};
  for (auto [a, b] : pairs) {
    EXPECT_NE(scene.physics().surfaceTable[a][b], &scene.physics().defaultSurface) << a << ", " << b;
    EXPECT_EQ(scene.physics().surfaceTable[a][b], scene.physics().surfaceTable[b][a]) << a << ", " << b;
  }
  int installed = 0;
  for (const auto& row : scene.physics().surfaceTable)
    for (ODEJointSurface* surface : row) installed += surface != &scene.physics().defaultSurface;
  EXPECT_EQ(installed, 2 * static_cast<int>(std::size(pairs)) - 1);  // (6, 6) is one entry
  EXPECT_NE(dynamic_cast<ODEJointSurfaceRocketWall*>(scene.physics().surfaceTable[16][18]), nullptr);
  EXPECT_NE(dynamic_cast<ODEJointSurfaceCheck*>(scene.physics().surfaceTable[19][6]), nullptr);
  EXPECT_EQ(scene.physics().surfaceTable[6][1]->maxCollisions(), 16);
  EXPECT_EQ(scene.physics().surfaceTable[6][6]->maxCollisions(), 16);
  EXPECT_EQ(scene.physics().surfaceTable[6][13]->maxCollisions(), 1);
  // Obstacles are real bodies: one plain surface makes their ground and
  // wall joints, but not while a body rests.
  EXPECT_EQ(scene.physics().surfaceTable[12][0], scene.physics().surfaceTable[1][12]);
  EXPECT_TRUE(scene.physics().surfaceTable[12][0]->m_createJoint &&
              scene.physics().surfaceTable[12][0]->m_requireEnabledBodies);
}

TEST_F(InstalledSurfaceTest, ABoxDrivenIntoGivesOneExtraPerStep) {
  // Deep in the box: a box-box pair has up to eight contact points.
  sceneBox(0, 0, 0, 1, kSurfaceKartBody, 0);
  PhysicsObject* extra = sceneBox(0.2f, 0.1f, 0, 1, kSurfaceExtraBox, -1);
  scene.physics().collide();
  scene.physics().emptyContacts();
  EXPECT_EQ(kart0->boxes, std::vector<PhysicsObject*>{extra});
  scene.physics().collide();
  scene.physics().emptyContacts();
  EXPECT_EQ(kart0->boxes.size(), 2u);
}

}  // namespace
