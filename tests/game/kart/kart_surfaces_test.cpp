#include "game/kart/kart_surfaces.h"

#include <gtest/gtest.h>
#include <ode/ode.h>

#include <cmath>
#include <memory>
#include <string>

#include "game/kart/vehicle.h"
#include "scene/physics_object.h"
#include "scene/scene.h"

namespace {

class SensorKart : public Vehicle {
 public:
  SensorKart(Scene& scene, NetControl& control, int k, bool simulated)
      : Vehicle(scene, nullptr, k, nullptr, nullptr, "", control, VehicleNetValues::Side::Master),
        m_simulated(simulated) {}
  bool isSimulated() override { return m_simulated; }
  void getPosition(Position3& out) override { out = {}; }
  const float* getVelocity() override { return m_dir; }
  void step(double, double) override {}
  void updateVisuals(double) override {}
  bool m_simulated;
  float m_dir[3] = {0, 0, 1};
};

// Real ODE geoms carrying physics objects, collided in both orders.
class KartSurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override { dInitODE2(0); }
  void TearDown() override {
    objects.clear();  // destroys the geoms
    dCloseODE();
  }

  PhysicsObject* object(dGeomID geom, int kind, int owner) {
    objects.push_back(std::make_unique<PhysicsObject>(nullptr, static_cast<int>(objects.size())));
    PhysicsObject* o = objects.back().get();
    o->geom = geom;
    o->surfaceKind = kind;
    o->ownerIndex = owner;
    dGeomSetData(geom, o);
    return o;
  }
  dGeomID box(float x, float y, float z, float sx, float sy, float sz) {
    dGeomID g = dCreateBox(nullptr, sx, sy, sz);
    dGeomSetPosition(g, x, y, z);
    return g;
  }
  // Collides a with b and hands each contact to the surface; the count.
  int touch(ODEJointSurface& surface, dGeomID a, dGeomID b) {
    dContactGeom contacts[16];
    const int n = dCollide(a, b, surface.maxCollisions(), contacts, sizeof(dContactGeom));
    for (int i = 0; i < n; ++i) {
      const ODEJointSurface r = surface.onContact(contacts[i]);
      EXPECT_FALSE(r.m_createJoint);
    }
    return n;
  }

  NetControl control;
  Scene scene{nullptr};
  SensorKart kart0{scene, control, 0, true};
  SensorKart kart1{scene, control, 1, true};
  SensorKart remote{scene, control, 2, false};
  Vehicle* slots[6] = {&kart0, &kart1, &remote, nullptr, nullptr, nullptr};
  std::vector<std::unique_ptr<PhysicsObject>> objects;
};

TEST_F(KartSurfaceTest, RayStoresAnUpwardNormalWhicheverGeomComesFirst) {
  ODEJointSurfaceRay surface(slots);
  EXPECT_EQ(surface.maxCollisions(), 1);
  dGeomID ground = box(0, -0.5f, 0, 20, 1, 20);
  object(ground, kSurfaceRoad, -1);
  dGeomID ray = dCreateRay(nullptr, 4.0);
  dGeomRaySet(ray, 0, 2, 0, 0, -1, 0);
  object(ray, kSurfaceKartRay, 5 * 1 + 2);  // kart 1, wheel ray 2
  for (bool rayFirst : {true, false}) {
    kart1.m_sensors = KartSensors();
    ASSERT_EQ(rayFirst ? touch(surface, ray, ground) : touch(surface, ground, ray), 1);
    const KartSensors& s = kart1.m_sensors;
    EXPECT_FLOAT_EQ(s.rayHeight[2], 0.0f);
    EXPECT_EQ(s.rayHeight[0], KartSensors::kNoHit);
    EXPECT_EQ(s.rayKind[2], kSurfaceRoad);
    ASSERT_EQ(s.rayNormals[2].size(), 1u);
    EXPECT_FLOAT_EQ(s.rayNormals[2].back().y, 1.0f) << (rayFirst ? "ray first" : "ground first");
  }
  // The queue keeps only the newest 15 normals.
  for (int i = 0; i < 40; ++i) touch(surface, ray, ground);
  EXPECT_EQ(kart1.m_sensors.rayNormals[2].size(), KartSensors::kNormalQueue);

  ODEJointSurfaceFall fall(slots);
  touch(fall, ground, ray);
  EXPECT_EQ(kart1.m_sensors.rayFall[2], 1);
}

TEST_F(KartSurfaceTest, WallAndObstacleNormalsPointTowardKartAndObstacle) {
  ODEJointSurfaceCollision walls(slots);
  ODEJointSurfaceObstacle obstacles(slots);
  EXPECT_EQ(walls.maxCollisions(), 16);
  dGeomID kart = box(0, 0, 0, 1, 1, 1);
  object(kart, kSurfaceKartBody, 0);
  dGeomID wall = box(0, 0, 0.95f, 4, 4, 1);  // overlaps the kart's +z face
  object(wall, kSurfaceWall, -1);
  dGeomID crate = box(0, 0, -0.95f, 1, 1, 1);  // behind the kart
  PhysicsObject* crateObject = object(crate, kSurfaceObstacle, -1);
  for (bool kartFirst : {true, false}) {
    kart0.m_sensors = KartSensors();
    ASSERT_GT(kartFirst ? touch(walls, kart, wall) : touch(walls, wall, kart), 0);
    EXPECT_TRUE(kart0.m_sensors.wallTouched);
    EXPECT_NEAR(kart0.m_sensors.wallNormal.z, -1.0f, 1e-5) << (kartFirst ? "kart first" : "wall first");
    EXPECT_GT(kart0.m_sensors.wallDepth, 0.0f);

    ASSERT_GT(kartFirst ? touch(obstacles, kart, crate) : touch(obstacles, crate, kart), 0);
    EXPECT_EQ(kart0.m_sensors.obstacle, crateObject);
    EXPECT_NEAR(kart0.m_sensors.obstacleNormal.z, -1.0f, 1e-5) << (kartFirst ? "kart first" : "crate first");
  }
}

// A wall of triangles: the collider parts a kart's box from a thin
// triangle along whichever axis is shortest, often one of the box's own;
// the kart keeps the face's normal, on the kart's side while its centre is
// in front of the face.
TEST_F(KartSurfaceTest, AWallOfTrianglesGivesItsFacesNormal) {
  // The face z = 1, 10 m long and 1.5 m high, its road at z < 1.
  const float points[] = {-5, 0, 1, 5, 0, 1, 5, 1.5f, 1, -5, 1.5f, 1};
  const dTriIndex faces[] = {0, 2, 1, 0, 3, 2};
  dTriMeshDataID data = dGeomTriMeshDataCreate();
  dGeomTriMeshDataBuildSingle(data, points, 3 * sizeof(float), 4, faces, 6, 3 * sizeof(dTriIndex));
  object(dCreateTriMesh(nullptr, data, nullptr, nullptr, nullptr), kSurfaceWall, -1);
  dGeomID wall = objects.back()->geom;
  ODEJointSurfaceCollision walls(slots);
  for (float centre : {0.8f, 1.05f}) {
    for (bool kartFirst : {true, false}) {
      SCOPED_TRACE(std::to_string(centre) + (kartFirst ? " kart first" : " wall first"));
      dGeomID kart = box(0, 0.2f, centre, 0.54f, 0.27f, 0.81f);
      dMatrix3 turned;
      dRFromAxisAndAngle(turned, 0, 1, 0, 0.5);
      dGeomSetRotation(kart, turned);
      object(kart, kSurfaceKartBody, 0);
      kart0.m_sensors = KartSensors();
      ASSERT_GT(kartFirst ? touch(walls, kart, wall) : touch(walls, wall, kart), 0);
      const Normal3& n = kart0.m_sensors.wallNormal;
      EXPECT_NEAR(std::fabs(n.z), 1.0f, 1e-5f);
      EXPECT_NEAR(n.y, 0.0f, 1e-5f);
      if (centre < 1.0f) {
        EXPECT_NEAR(n.z, -1.0f, 1e-5f);
      }
    }
  }
  objects.clear();
  dGeomTriMeshDataDestroy(data);
}

TEST_F(KartSurfaceTest, TwoKartsStoreOppositeNormalsAndEachOther) {
  ODEJointSurfaceVehicle surface(slots);
  dGeomID a = box(0, 0, 0, 1, 1, 1);
  object(a, kSurfaceKartBody, 0);
  dGeomID b = box(0.9f, 0, 0, 1, 1, 1);
  object(b, kSurfaceKartBody, 1);
  ASSERT_GT(touch(surface, b, a), 0);
  EXPECT_EQ(kart0.m_sensors.otherKart, &kart1);
  EXPECT_EQ(kart1.m_sensors.otherKart, &kart0);
  // Each normal points away from the other kart: moving along it parts them.
  EXPECT_NEAR(kart0.m_sensors.kartNormal.x, -1.0f, 1e-5);
  EXPECT_NEAR(kart1.m_sensors.kartNormal.x, 1.0f, 1e-5);
}

TEST_F(KartSurfaceTest, RemoteUnknownAndOutOfRangeKartsRecordNothing) {
  ODEJointSurfaceCollision walls(slots);
  ODEJointSurfaceObstacle obstacles(slots);
  dGeomID wall = box(0, 0, 0.95f, 4, 4, 1);
  object(wall, kSurfaceWall, -1);
  dGeomID crate = box(0, 0, -0.95f, 1, 1, 1);
  object(crate, kSurfaceObstacle, -1);
  for (int owner : {2, 3, 6, -1, 11}) {
    dGeomID kart = box(0, 0, 0, 1, 1, 1);
    object(kart, kSurfaceKartBody, owner);
    EXPECT_GT(touch(walls, kart, wall), 0);
    touch(obstacles, kart, crate);
  }
  EXPECT_FALSE(remote.m_sensors.wallTouched);
  // An obstacle is recorded for any kart, simulated or not.
  EXPECT_NE(remote.m_sensors.obstacle, nullptr);
  EXPECT_FALSE(kart0.m_sensors.wallTouched || kart1.m_sensors.wallTouched);
}

TEST(KartDirection, YawAndPitchOfUnitDirections) {
  EXPECT_FLOAT_EQ(yawOfDirection({0, 0, -1}), static_cast<float>(M_PI));
  EXPECT_FLOAT_EQ(yawOfDirection({-1, 0, 0}), static_cast<float>(-M_PI / 2));
  EXPECT_FLOAT_EQ(yawOfDirection({0, 0, 1.0000002f}), 0.0f);  // a rounding error past 1 is no NaN
  EXPECT_FLOAT_EQ(pitchOfDirection({0, 1.0000002f, 0}), static_cast<float>(M_PI / 2));
}

}  // namespace
