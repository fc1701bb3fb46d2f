#include "scene/scene.h"

#include <gtest/gtest.h>

#include <cmath>

#include "foundation/report.h"
#include "tests/scene/scene_test_items.h"
#include "tests/support/report_capture.h"

namespace {

TEST(SceneTables, AFreshSceneCollidesNothingAndAPairSetOneWayStaysOneWay) {
  Scene scene(nullptr);
  for (int i = 0; i < kSpaceCount; ++i) {
    for (int j = 0; j < kSpaceCount; ++j) {
      ASSERT_FALSE(scene.physics().spacePairTable[i][j]->collide) << i << "," << j;
      ASSERT_EQ(scene.physics().surfaceTable[i][j], &scene.physics().defaultSurface);
    }
  }
  // The diagonal has a pair of its own, so installing one there cannot
  // switch on every other pair.
  EXPECT_NE(scene.physics().spacePairTable[3][3], scene.physics().spacePairTable[3][4]);

  ODESpacePair collide(true);
  scene.physics().spacePairTable[2][5] = &collide;
  EXPECT_TRUE(scene.physics().spacePairTable[2][5]->collide);
  EXPECT_FALSE(scene.physics().spacePairTable[5][2]->collide);

  const dSurfaceParameters& s = scene.physics().defaultSurface.m_surface;
  EXPECT_EQ(s.mode, dContactApprox1_1 | dContactApprox1_2 | dContactSoftERP | dContactSoftCFM);
  EXPECT_EQ(scene.physics().defaultSurface.maxCollisions(), 16);
  EXPECT_DOUBLE_EQ(dWorldGetERP(scene.physics().world()), 0.3);
  EXPECT_DOUBLE_EQ(dWorldGetCFM(scene.physics().world()), 1e-10);
  EXPECT_EQ(dWorldGetQuickStepNumIterations(scene.physics().world()), 5);
  dVector3 g;
  dWorldGetGravity(scene.physics().world(), g);
  EXPECT_NEAR(g[1], -9.81, 1e-6);
}

// Two overlapping spheres: collision works only while ODE is initialised.
int collideTwoSpheres() {
  dGeomID a = dCreateSphere(nullptr, 1.0), b = dCreateSphere(nullptr, 1.0);
  dGeomSetPosition(b, 1.0, 0, 0);
  dContactGeom contacts[4];
  const int n = dCollide(a, b, 4, contacts, sizeof(dContactGeom));
  dGeomDestroy(a);
  dGeomDestroy(b);
  return n;
}

TEST(SceneOde, ScenesLiveTogetherAndDieInEitherOrder) {
  for (bool firstDiesFirst : {true, false}) {
    auto first = std::make_unique<Scene>(nullptr);
    auto second = std::make_unique<Scene>(nullptr);
    (firstDiesFirst ? first : second).reset();
    EXPECT_GT(collideTwoSpheres(), 0);
    first.reset();
    second.reset();
    Scene third(nullptr);
    EXPECT_GT(collideTwoSpheres(), 0);
    dGeomID box = dCreateBox(nullptr, 1, 1, 1);
    dSpaceID space = dHashSpaceCreate(nullptr);
    dSpaceAdd(space, box);
    dSpaceDestroy(space);  // takes the box with it
  }
}

class SceneItems : public ReportCapture {
 protected:
  SceneItems() : ReportCapture(3) {}
};

TEST_F(SceneItems, FindItemMatchesNameLayerAndInstance) {
  Scene scene(nullptr);
  TestItem* kart1 = addObject(scene, "kart", 0);
  addObject(scene, "wheel", 1);
  TestItem* kart2 = addObject(scene, "kart", 0);
  TestItem* bare = addObject(scene, "kart");

  EXPECT_EQ(scene.findItem("kart", 0, 1), kart1);
  EXPECT_EQ(scene.findItem("kart", 0, 2), kart2);
  EXPECT_EQ(scene.findItem("kart", 1, 1), nullptr);
  EXPECT_EQ(scene.findItem("kart", -1, 1), bare);
  EXPECT_EQ(scene.findItem("Kart", 0, 1), nullptr);
  EXPECT_EQ(scene.countItems("kart", 0), 2);
  EXPECT_EQ(scene.countItems("kart", -1), 1);
  EXPECT_TRUE(lastMessage().empty());

  for (int instance : {0, 5}) {
    g_lastMessage.clear();
    EXPECT_EQ(scene.findItem("kart", 0, instance), nullptr);
    EXPECT_NE(lastMessage().find("object instance out of range"), std::string::npos) << instance;
  }
  EXPECT_EQ(scene.objectAt(4), nullptr);
  EXPECT_EQ(scene.objectAt(-1), nullptr);
}

TEST(SceneActors, FindActorCountsOccurrencesOfTheExactName) {
  Scene scene(nullptr);
  for (const char* name : {"Character", "gfd", "Characters", "Character"}) {
    scene.actors.push_back(std::make_unique<MixerActor>());
    scene.actors.back()->name = name;
  }
  EXPECT_EQ(scene.findActor("Character", 0), scene.actors[0].get());
  EXPECT_EQ(scene.findActor("Character", 1), scene.actors[3].get()) << "skips other names between";
  EXPECT_EQ(scene.findActor("Character", 2), nullptr);
  EXPECT_EQ(scene.findActor("Char", 0), nullptr) << "a prefix is no match";
}

TEST_F(SceneItems, PrepareRunsOncePerItemAndMeasuresTheMeshes) {
  Scene scene(nullptr);
  scene.prepare(nullptr, 0.0, 1.0);
  EXPECT_EQ(scene.sceneSize, 0.0f);  // no meshes

  TestItem* a = addObject(scene, "a", 0);
  TestItem* b = addObject(scene, "b", 0);
  const float offset[3] = {4.0f, 0.0f, 0.0f};
  b->setPosition(offset);
  scene.prepare(nullptr, 0.0, 1.0);
  TestItem* merged = addObject(scene, "merged");  // a later merge load
  scene.prepare(nullptr, 0.0, 1.0);

  EXPECT_EQ(a->prepareCount, 1);
  EXPECT_EQ(b->prepareCount, 1);
  EXPECT_EQ(merged->prepareCount, 1);
  // Unit boxes at x = 0 and x = 4: the box (-1,-1,-1)..(5,1,1).
  EXPECT_NEAR(scene.sceneSize, std::sqrt(36.0f + 4.0f + 4.0f), 1e-4f);
}

}  // namespace
