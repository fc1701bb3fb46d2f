// The scene passes on the recording device: draw order, light choice, fog,
// the effects clock, the mirror's nesting and the mirror camera's portal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "render/surface.h"
#include "scene/camera_controller.h"
#include "scene/camera_item.h"
#include "scene/culling_plane.h"
#include "scene/light_item.h"
#include "scene/lwo_model.h"
#include "scene/mirror_camera.h"
#include "scene/object_item.h"
#include "scene/scene_root.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/scene/scene_test_items.h"

namespace {

// Keeps what the object pass hands to the draw, and the effects' steps.
class RecordingScene : public Scene {
 public:
  using Scene::Scene;
  void drawRecords(double, SceneItem*, const std::vector<DrawRecord>& records) override {
    drawn.clear();
    for (const DrawRecord& r : records) drawn.push_back(r.object->name);
  }
  void runEffects(SceneItem*, double, double dt) override { steps.push_back(dt); }
  std::vector<std::string> drawn;
  std::vector<double> steps;
};

class SceneRender : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    root = std::make_unique<SceneRoot>(pipeline.get(), "test");
    scene = std::make_unique<RecordingScene>(root.get());
    scene->cameras.push_back(std::make_unique<CameraItem>(scene.get(), 0));
    camera = scene->cameras.back().get();
  }
  void TearDown() override {
    scene.reset();
    root.reset();
    PipelineTest::TearDown();
  }
  TestItem* at(const std::string& name, float z, bool farFirst = false) {
    TestItem* item = addObject(*scene, name, 0);
    item->position[2].value = z;
    item->mesh->flagA = farFirst ? 1 : 0;
    return item;
  }
  void drawObjects() {
    std::vector<CullingPlaneObject*> occluders;
    scene->invalidateTransforms(camera);
    scene->drawObjects(camera, occluders, 0.0);
  }
  DWORD state(D3DRENDERSTATETYPE s) {
    DWORD v = 0;
    pipeline->currentDevice->GetRenderState(s, &v);
    return v;
  }

  std::unique_ptr<SceneRoot> root;
  std::unique_ptr<RecordingScene> scene;
  SceneItem* camera = nullptr;
};

TEST_F(SceneRender, NearFirstObjectsPrecedeFarFirstOnesAndNothingScaledAwayCounts) {
  // Unit boxes: far corners at depths 6 and 4.
  at("five", 5), at("three", 3);
  TestItem* gone = at("gone", 20);
  gone->scale[0].value = gone->scale[1].value = gone->scale[2].value = 0.0f;
  drawObjects();
  EXPECT_EQ(scene->drawn, (std::vector<std::string>{"three", "five"}));
  EXPECT_FLOAT_EQ(camera->visibleDepthRange[0], 2.0f);
  EXPECT_FLOAT_EQ(camera->visibleDepthRange[1], 6.0f) << "the scaled-away box at 20 is not in the range";

  scene->objects.clear();
  at("farFive", 5, true), at("farThree", 3, true), at("near", 9);
  drawObjects();
  EXPECT_EQ(scene->drawn, (std::vector<std::string>{"near", "farFive", "farThree"}));
}

TEST_F(SceneRender, OnlyTheEightStrongestLightsStayOnForAnObject) {
  TestItem* object = at("lit", 5);
  const float strengths[10] = {0.5f, 0.05f, 0.9f, 0.3f, 0.02f, 0.7f, 0.8f, 0.6f, 0.4f, 1.0f};
  for (int i = 0; i < 10; ++i) {
    auto light = std::make_unique<LightItem>(scene.get(), i);
    light->lightKind = kLightPoint;
    light->intensity.value = strengths[i];
    light->d3dLightReady = true;
    scene->lights.push_back(std::move(light));
  }
  scene->setupLights(0.0);
  ASSERT_EQ(log->count("SetLight("), 10);
  scene->selectLights(camera, *object, 0.0);
  for (DWORD i = 0; i < 10; ++i) {
    BOOL on = 0;
    pipeline->currentDevice->GetLightEnable(i, &on);
    EXPECT_EQ(on != 0, i != 1 && i != 4) << "light " << i << " of strength " << strengths[i];
  }

  // A light without intensity is not given to the device: the rest move up.
  static_cast<LightItem*>(scene->lights[0].get())->intensity.value = 0.0f;
  log->calls.clear();
  scene->setupLights(0.0);
  EXPECT_EQ(log->count("SetLight("), 9);
  EXPECT_EQ(log->count("LightEnable(9, 0)"), 1) << "the place left over is switched off";
}

TEST_F(SceneRender, OnlyLinearFogIsDrawnAndOnlyWhileTheSwitchIsOn) {
  scene->fogMinDistance = 4.0f;
  for (std::int32_t mode : {D3DFOG_NONE, D3DFOG_EXP, D3DFOG_EXP2}) {
    scene->fogMode = mode;
    scene->setupFog();
    EXPECT_EQ(state(D3DRS_FOGENABLE), 0u) << mode;
    EXPECT_EQ(*pipeline->flagTable->isFogEnabled, 0) << mode;
  }
  scene->fogMode = D3DFOG_LINEAR;
  scene->setupFog();
  EXPECT_EQ(state(D3DRS_FOGENABLE), 1u);
  EXPECT_EQ(state(D3DRS_FOGTABLEMODE), static_cast<DWORD>(D3DFOG_LINEAR));
  const DWORD start = state(D3DRS_FOGSTART);
  float startValue;
  std::memcpy(&startValue, &start, sizeof start);
  EXPECT_EQ(startValue, 4.0f);
  // The followed camera's own start wins while it is set.
  auto* own = static_cast<CameraItem*>(camera);
  own->fogStart = 2.5f, own->fogStartSet = true;
  scene->followed = own;
  scene->setupFog();
  const DWORD ownStart = state(D3DRS_FOGSTART);
  std::memcpy(&startValue, &ownStart, sizeof ownStart);
  EXPECT_EQ(startValue, 2.5f);
  pipeline->fogEnabled() = false;
  scene->setupFog();
  EXPECT_EQ(state(D3DRS_FOGENABLE), 0u);
}

TEST_F(SceneRender, TheFirstEffectsUpdateDrawsWithoutAdvancing) {
  scene->updateEffects(camera, 2.0);
  scene->updateEffects(camera, 2.5);
  EXPECT_EQ(scene->steps, (std::vector<double>{0.0, 0.5}));
  // Only the top-level pass runs them; a null viewer draws nothing at all.
  scene->renderPass(3.0, nullptr);
  EXPECT_EQ(scene->steps.size(), 2u);
  scene->renderPass(3.0, camera);
  EXPECT_EQ(scene->steps.size(), 3u);
  EXPECT_EQ(scene->renderDepth, 0);
}

TEST_F(SceneRender, ObjectSoundsFollowTheViewButNotItsReflections) {
  auto item = std::make_unique<ObjectItem>(scene.get(), 1);
  item->sound = std::make_unique<NotingSound>();
  auto* sound = static_cast<NotingSound*>(item->sound.get());
  item->scale[1].value = 10.0f;  // audible within 50
  item->position[0].value = 60.0f;
  item->prepare();
  scene->objects.push_back(std::move(item));
  ASSERT_TRUE(sound->isPlaying());
  scene->renderDepth = 2;  // a mirror's pass sees it from elsewhere
  drawObjects();
  EXPECT_TRUE(sound->isPlaying());
  scene->renderDepth = 0;
  drawObjects();
  EXPECT_FALSE(sound->isPlaying()) << "out of range of the view";
}

TEST_F(SceneRender, LightsMapTheirKindOntoTheDeviceAndFlickerOncePerPeriod) {
  const std::pair<LightKind, D3DLIGHTTYPE> kinds[] = {{kLightDistant, D3DLIGHT_DIRECTIONAL},
                                                      {kLightPoint, D3DLIGHT_POINT},
                                                      {kLightSpot, D3DLIGHT_SPOT},
                                                      {static_cast<LightKind>(3), D3DLIGHT_POINT}};
  for (const auto& [kind, type] : kinds) {
    LightItem light(scene.get(), 0);
    light.lightKind = kind;
    light.prepare();
    EXPECT_EQ(light.d3dLight.Type, type) << kind;
    EXPECT_FALSE(light.update(0.0)) << "no intensity, no light";
  }
  LightItem light(scene.get(), 0);
  light.lightKind = kLightPoint;
  pipeline->lightFlicker() = true;
  const double period = light.flickerPeriod;
  ASSERT_TRUE(period == 40.0 / 23.0 || std::abs(period - 30.0 / 23.0) < 1e-6) << period;
  const std::uint32_t first = light.colourAt(period * 3.1).toD3DColor();
  for (double f : {3.3, 3.6, 3.99}) EXPECT_EQ(light.colourAt(period * f).toD3DColor(), first);
  int changes = 0;
  std::uint32_t last = first;
  for (int step = 4; step < 40; ++step) {
    const std::uint32_t c = light.colourAt(period * (step + 0.5)).toD3DColor();
    changes += c != last;
    last = c;
  }
  EXPECT_GT(changes, 0) << "a new palette entry is drawn each period";
}

TEST_F(SceneRender, TheCameraFollowerChoosesTheSmallestBoxAroundItsRig) {
  CameraController follower(pipeline.get());
  EXPECT_FALSE(follower.update(*scene, 0.0)) << "disabled and following nothing";
  at("big", 0);
  at("small", 0)->mesh->setBox({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f});
  at("elsewhere", 10)->mesh->setBox({-0.1f, -0.1f, -0.1f}, {0.1f, 0.1f, 0.1f});
  follower.enabled = true;
  follower.environment = follower.rigObject1();  // choose again
  EXPECT_TRUE(follower.update(*scene, 0.0));
  EXPECT_EQ(follower.environment->name, "small");
  EXPECT_EQ(follower.rigObject1()->firstMesh(), static_cast<TestItem*>(follower.environment)->mesh.get());
}

// One mirror square drawn directly, at each nesting depth.
class MirrorDraw : public SceneRender {
 protected:
  void SetUp() override {
    SceneRender::SetUp();
    surface = std::make_unique<Surface>(root.get(), "mirror");
    surface->reflection.value = 1.0f;
    surface->reflectionOptions = 0;
    surface->loaded = true;
    model.surfaces.push_back(surface.get());
    SurfacePolygon square;
    square.points = {0, 1, 2, 3};
    mesh = std::make_unique<SurfaceRenderObject>(pipeline.get(), &model, std::vector<SurfacePolygon>{square},
                                                 std::vector<Position3>{{-1, 0, -1}, {-1, 0, 1}, {1, 0, 1}, {1, 0, -1}},
                                                 std::vector<VertexMap*>{});
    ASSERT_TRUE(mesh->prepare(true));
    surface->reflectionScene = scene.get();
    log->calls.clear();
  }
  int draws() { return log->count("DrawIndexedPrimitive("); }

  std::unique_ptr<Surface> surface;
  LWOModel model{nullptr, "mirror.lwo"};
  std::unique_ptr<SurfaceRenderObject> mesh;
};

TEST_F(MirrorDraw, TheTopLevelMirrorMarksWithReferenceOneAndDeeperDrawsArePlainOrNone) {
  TestItem item(scene.get(), "floor");
  mesh->draw(0.0, &item, camera);
  // Mark (reference 0 becomes 1), depth reset and reflection with
  // reference 1, the surface over it.
  EXPECT_EQ(draws(), 3);
  const auto& calls = log->calls;
  const auto mark = std::find(calls.begin(), calls.end(), "SetRenderState(57, 0)");
  ASSERT_NE(mark, calls.end());
  EXPECT_NE(std::find(mark, calls.end(), "SetRenderState(57, 1)"), calls.end());
  EXPECT_EQ(log->count("SetClipPlane(0)"), 1);
  EXPECT_EQ(SurfaceRenderObject::reflectionDepth, 0);
  EXPECT_EQ(state(D3DRS_STENCILFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));
  EXPECT_EQ(state(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));
  EXPECT_EQ(pipeline->cullMode, static_cast<std::uint32_t>(D3DCULL_CCW));

  log->calls.clear();
  SurfaceRenderObject::reflectionDepth = 1;  // inside a reflection
  mesh->draw(0.0, &item, camera);
  EXPECT_EQ(draws(), 1) << "drawn plainly";
  EXPECT_EQ(log->count("SetRenderState(52, "), 0) << "no stencil";

  log->calls.clear();
  SurfaceRenderObject::reflectionDepth = 2;
  mesh->draw(0.0, &item, camera);
  EXPECT_EQ(draws(), 0);
  SurfaceRenderObject::reflectionDepth = 0;
}

TEST(MirrorCameraPortal, KeepsBoxesInFrontOfTheMirrorThatReachIntoEverySide) {
  // One side plane x >= 0 and a mirror at w = 4 facing away from the eye.
  auto sides = std::make_unique<Normal3[]>(1);
  sides[0] = {1, 0, 0};
  const float eye[3] = {0, 0, 0}, point[3] = {0, 0, 4}, normal[3] = {0, 0, 1};
  MirrorCamera mirror(nullptr, g_identityMatrix, eye, point, 1, normal, std::move(sides), nullptr);
  auto box = [](float x0, float x1, float w0, float w1) {
    std::array<std::array<float, 4>, 8> c{};
    for (int k = 0; k < 8; ++k) c[k] = {(k & 4) ? x1 : x0, 0, 0, (k & 1) ? w1 : w0};
    return c;
  };
  auto outside = [&](const std::array<std::array<float, 4>, 8>& c) {
    float corners[8][4];
    std::memcpy(corners, c.data(), sizeof corners);
    return mirror.isBoxOutsideClip(corners);
  };
  EXPECT_FALSE(outside(box(-1, 1, 3, 5)));
  EXPECT_TRUE(outside(box(-1, 1, 1, 3))) << "wholly before the mirror";
  EXPECT_TRUE(outside(box(-2, -1, 5, 6))) << "beside the portal";
  EXPECT_FALSE(outside(box(-2, 0, 5, 6))) << "touching the side plane counts";
}

}  // namespace
