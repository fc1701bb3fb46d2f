// A straight road of 200 units written with the content writers, and a kart
// with its driver brought into it the way the race does: loaded into the
// track scene, built on its "start", the scene prepared. With the throttle
// held it drives on its wheel rays up to its top speed.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "content/lwo2_writer.h"
#include "content/lws_writer.h"
#include "game/kart/controller.h"
#include "game/kart/kart_load.h"
#include "game/kart/kart_surfaces.h"
#include "game/kart/vehicle_master.h"
#include "game/saves/config.h"
#include "lightwave/lwo2_loader.h"
#include "lightwave/lws_loader.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "scene/scene_root.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/support/memory_file.h"

namespace {

using Point = std::array<float, 3>;

constexpr int kGeomBox = 1, kGeomTriMesh = 3;
constexpr int kGroundSpace = 1, kRaySpace = 3, kKartSpace = 4, kWallSpace = 9;
constexpr float kHalfLength = 100.0f, kHalfWidth = 8.0f, kWallOffset = 7.5f;

class Throttle : public Controller {
 public:
  bool left() override { return false; }
  bool right() override { return false; }
  bool accelerate() override { return true; }
  bool brake() override { return false; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return false; }
};

// One LWO2 layer of quads, each turned so that its front faces `facing`.
struct Layer {
  int number = 0;
  Point pivot{0, 0, 0};
  std::vector<Point> points;
  std::vector<std::vector<std::uint32_t>> faces;
  void quad(const Point& a, const Point& b, const Point& c, const Point& d, const Point& facing) {
    const auto first = static_cast<std::uint32_t>(points.size());
    for (const Point& p : {a, b, c, d}) points.push_back(p);
    const float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    if (n[0] * facing[0] + n[1] * facing[1] + n[2] * facing[2] >= 0)
      faces.push_back({first, first + 1, first + 2, first + 3});
    else
      faces.push_back({first + 3, first + 2, first + 1, first});
  }
  // The top of a box of half-sizes h around c: enough for a model to show.
  void box(const Point& c, const Point& h) {
    quad({c[0] - h[0], c[1] + h[1], c[2] - h[2]}, {c[0] + h[0], c[1] + h[1], c[2] - h[2]},
         {c[0] + h[0], c[1] + h[1], c[2] + h[2]}, {c[0] - h[0], c[1] + h[1], c[2] + h[2]}, {0, 1, 0});
  }
};

std::vector<unsigned char> model(const std::vector<Layer>& layers, const std::string& surface) {
  lwo2::Writer w;
  w.tags({surface});
  for (const Layer& layer : layers) {
    w.layer(layer.number, layer.pivot);
    w.points(layer.points);
    w.polygons(layer.faces);
    std::vector<std::pair<std::uint32_t, std::uint16_t>> tags;
    for (std::uint32_t i = 0; i < layer.faces.size(); ++i) tags.push_back({i, 0});
    w.polygonSurfaces(tags);
  }
  w.surface(lwo2::Surface(surface).colour(0.5f, 0.5f, 0.5f));
  const auto bytes = w.bytes();
  return {bytes.begin(), bytes.end()};
}

// Road from z = -100 to 100 in ten-unit pieces, facing up.
Layer road() {
  Layer l;
  for (float z = -kHalfLength; z < kHalfLength; z += 10.0f)
    l.quad({-kHalfWidth, 0, z}, {kHalfWidth, 0, z}, {kHalfWidth, 0, z + 10.0f}, {-kHalfWidth, 0, z + 10.0f}, {0, 1, 0});
  return l;
}

// Both walls, facing the road.
Layer walls() {
  Layer l;
  for (float side : {-1.0f, 1.0f}) {
    const float x = side * kWallOffset;
    l.quad({x, 0, -kHalfLength}, {x, 1.5f, -kHalfLength}, {x, 1.5f, kHalfLength}, {x, 0, kHalfLength}, {-side, 0, 0});
  }
  return l;
}

lws::Motion childOf(const Point& at) { return lws::still(at[0], at[1], at[2]); }

std::string trackScene() {
  lws::SceneWriter w;
  w.timing(0, 60, 30);
  w.odeMaster({{"(default)", 1},
               {"ground", 1},
               {"reserved", 0},
               {"kart rays", 0},
               {"karts", 0},
               {"obstacles", 0},
               {"rockets", 0},
               {"weapons", 0},
               {"effects", 0},
               {"walls", 1}});
  w.loadObjectLayer(1, "road.lwo");
  w.motion("ObjectMotion", lws::still());
  w.geom({kGeomTriMesh, kSurfaceRoad, kGroundSpace, {1, 1, 1}, 0});
  w.loadObjectLayer(1, "walls.lwo");
  w.motion("ObjectMotion", lws::still());
  w.geom({kGeomTriMesh, kSurfaceWall, kWallSpace, {1, 1, 1}, 0});
  w.addNullObject("start");
  w.motion("ObjectMotion", lws::still(0.0f, 0.0f, -90.0f));
  w.camera(lws::Camera{});
  return w.text();
}

// The chassis null, the model's body and its four wheels (layers 2 to 5,
// each at its pivot) riding on it, the engine null and the collision box.
std::string kartScene(const std::string& object, const Point (&wheels)[4]) {
  lws::SceneWriter w;
  w.timing(0, 60, 30);
  w.addNullObject("Vehicle");
  w.motion("ObjectMotion", lws::still());
  w.loadObjectLayer(1, object);
  w.motion("ObjectMotion", lws::still());
  w.itemId("ParentItem", lws::objectId(0));
  for (int i = 0; i < 4; ++i) {
    w.loadObjectLayer(3 + i, object);
    w.motion("ObjectMotion", childOf(wheels[i]));
    w.itemId("ParentItem", lws::objectId(0));
  }
  w.addNullObject("Motor");
  w.motion("ObjectMotion", lws::still(0.0f, 0.3f, -0.6f));
  w.addNullObject("col");
  w.motion("ObjectMotion", lws::still());
  w.geom({kGeomBox, kSurfaceKartBody, kKartSpace, {1.2f, 0.6f, 1.8f}, 0});
  w.camera(lws::Camera{});
  return w.text();
}

// The driver: no camera, it joins a scene that has one.
std::string characterScene(const std::string& object) {
  lws::SceneWriter w;
  w.timing(0, 60, 30);
  w.addNullObject("Character");
  w.motion("ObjectMotion", lws::still(0.0f, 0.4f, 0.0f));
  w.loadObjectLayer(1, object);
  w.motion("ObjectMotion", lws::still());
  w.itemId("ParentItem", lws::objectId(0));
  return w.text();
}

class StraightTrack : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    installLightWaveLoaders();
    putFiles();
    root = std::make_unique<SceneRoot>(pipeline.get(), "race");
    scene = root->loadScene(nullptr, &files, "track.lws");
    ASSERT_NE(scene, nullptr);
    scene->physics().spacePairTable[kGroundSpace][kRaySpace] =
        scene->physics().spacePairTable[kRaySpace][kGroundSpace] = &collide;
    scene->physics().spacePairTable[kKartSpace][kWallSpace] = scene->physics().spacePairTable[kWallSpace][kKartSpace] =
        &collide;
    scene->physics().surfaceTable[kSurfaceKartRay][kSurfaceRoad] =
        scene->physics().surfaceTable[kSurfaceRoad][kSurfaceKartRay] = &rays;
    scene->physics().surfaceTable[kSurfaceKartBody][kSurfaceWall] =
        scene->physics().surfaceTable[kSurfaceWall][kSurfaceKartBody] = &wallContacts;
  }
  void TearDown() override {
    kart.reset();
    root.reset();
    PipelineTest::TearDown();
  }
  void putFiles() {
    files.put("track.lws", trackScene());
    files.put("road.lwo", model({road()}, "road"));
    files.put("walls.lwo", model({walls()}, "wall"));
    const Point wheels[4] = {
        {-0.55f, 0.25f, 0.7f}, {0.55f, 0.25f, 0.7f}, {-0.55f, 0.25f, -0.7f}, {0.55f, 0.25f, -0.7f}};
    std::vector<Layer> kart(5);
    kart[0].box({0, 0.3f, 0}, {0.5f, 0.2f, 0.9f});
    for (int i = 0; i < 4; ++i) {
      kart[i + 1].number = 2 + i;
      kart[i + 1].pivot = wheels[i];
      kart[i + 1].box(wheels[i], {0.1f, 0.25f, 0.25f});
    }
    files.put(kartSceneFile(0), kartScene(kartObjectFile(0), wheels));
    files.put(kartObjectFile(0), model(kart, "reifen"));
    std::vector<Layer> body(1);
    body[0].box({0, 0.5f, 0}, {0.25f, 0.4f, 0.25f});
    files.put(characterSceneFile(0), characterScene(characterObjectFile(0)));
    files.put(characterObjectFile(0), model(body, "body"));
  }
  void loadKart() {
    auto tuning = loadKartIntoScene(*scene, nullptr, files, 0, 0, 0, 0);
    ASSERT_NE(tuning, nullptr);
    kart = std::make_unique<VehicleMaster>(*scene, std::make_unique<Throttle>(), 0, nullptr, std::move(tuning), 0,
                                           kartObjectFile(0), config, control,
                                           readTrackPoints(files, config.m_track.get()).get());
    slots[0] = kart.get();
    kart->m_net.m_active.set(true);
    root->prepareScenes(nullptr);
  }
  void step() {
    scene->physics().collide();
    scene->physics().emptyContacts();
    kart->step(time, 0.01);
    time += 0.01;
  }

  MemoryFile files;
  std::unique_ptr<SceneRoot> root;
  Scene* scene = nullptr;
  NetControl control;
  Config config{nullptr, control, Config::SavedFile::Ignore};
  Vehicle* slots[6] = {};
  ODEJointSurfaceRay rays{slots};
  ODEJointSurfaceCollision wallContacts{slots};
  ODESpacePair collide{true};
  std::unique_ptr<VehicleMaster> kart;
  double time = 0.0;
};

TEST_F(StraightTrack, AKartLoadedAsTheRaceLoadsItReachesTopSpeedOnItsWheelRays) {
  loadKart();
  ASSERT_FALSE(HasFatalFailure());
  Position3 start;
  kart->getPosition(start);
  EXPECT_FLOAT_EQ(start.z, -90.0f);
  // The first step lands the kart on the road (it starts in the air, so
  // it rolls); from then on each step adds `acceleration`, 0.29 / 0.000368
  // = 788.04 of them.
  int reached = -1;
  for (int i = 0; i < 900 && reached < 0; ++i) {
    step();
    ASSERT_EQ(kart->m_drive.m_airborne, 0) << "step " << i;
    ASSERT_NEAR(kart->m_drive.m_target.y, 0.0f, 1e-4) << "step " << i;
    if (kart->m_drive.m_velocity == 0.29f) reached = i;
  }
  EXPECT_EQ(reached, 789);
  Position3 at;
  kart->getPosition(at);
  EXPECT_NEAR(at.x, 0.0f, 1e-4);  // straight down the road, touching no wall
  EXPECT_GT(at.z, 20.0f);
  // The rays hang from the model's wheels (0.75 of their place on the
  // chassis), not from the chassis corners used without them.
  dVector3 from, direction;
  dGeomRayGet(kart->ray(0)->geom, from, direction);
  EXPECT_NEAR(from[0], at.x - 0.55 * 0.75, 1e-3);
  EXPECT_NEAR(from[1], 0.25 * 0.75 + 1.0, 1e-3);
  // The driver rides along.
  Matrix4x3 driver;
  scene->findItem("Character", -1, 1)->worldMatrix(driver, time, true);
  EXPECT_NEAR(driver.m[14], at.z, 1e-3);
}

}  // namespace
