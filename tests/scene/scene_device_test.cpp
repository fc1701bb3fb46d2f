// Scenes over the life of a device, on the recording device: the camera
// follower outliving a scene, the shadow map's targets across a reset, the
// spot lights' shared cone pictures, and the immediate-mode vertex
// declarations made once rather than every frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "scene/camera_controller.h"
#include "scene/camera_item.h"
#include "scene/lens_flare.h"
#include "scene/light_item.h"
#include "scene/loading_progress.h"
#include "scene/scene_root.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/scene/scene_test_items.h"

namespace {

class SceneDevice : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    root = std::make_unique<SceneRoot>(pipeline.get(), "test");
    root->addScene(std::make_unique<Scene>(root.get()));
    scene = root->scenes.back().get();
    scene->cameras.push_back(std::make_unique<CameraItem>(scene, 0));
    scene->followed = scene->cameras.back().get();
  }
  void TearDown() override {
    root.reset();
    PipelineTest::TearDown();
  }

  LightItem* addLight() {
    scene->lights.push_back(std::make_unique<LightItem>(scene, static_cast<std::int32_t>(scene->lights.size())));
    auto* light = static_cast<LightItem*>(scene->lights.back().get());
    light->lightKind = kLightPoint;
    light->red.value = light->green.value = light->blue.value = 1.0f;
    light->intensity.value = 1.0f;
    light->position[2].value = 10.0f;
    return light;
  }
  // Lost, then back: the owners' hooks around the device's reset.
  HRESULT loseAndRestore() {
    pipeline->currentDevice->SimulateDeviceLoss(true);
    pipeline->currentDevice->SimulateDeviceLoss(false);
    DeviceOwner* owners[] = {root.get()};
    return manager->restoreDevices(owners);
  }
  // The index in the call log of the first line at or after `from` that
  // starts with `prefix`; the log's size when there is none.
  std::size_t find(const std::string& prefix, std::size_t from = 0) const {
    const auto& calls = log->calls;
    return static_cast<std::size_t>(std::find_if(calls.begin() + static_cast<std::ptrdiff_t>(from), calls.end(),
                                                 [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }) -
                                    calls.begin());
  }

  std::unique_ptr<SceneRoot> root;
  Scene* scene = nullptr;
};

TEST_F(SceneDevice, TheCameraFollowerLetsGoOfAScenesItemsWhenTheSceneGoes) {
  CameraController& follower = *cameraControllerOf(pipeline.get());
  auto doomed = std::make_unique<Scene>(root.get());
  TestItem* box = addObject(*doomed, "box", 0);  // a unit box around the rig
  follower.enabled = true;
  follower.followed = box;
  follower.environment = follower.rigObject1();  // choose again
  follower.update(*doomed, 0.0);
  ASSERT_EQ(follower.environment, box);
  ASSERT_EQ(follower.rigObject1()->firstMesh(), box->mesh.get());

  doomed.reset();
  EXPECT_EQ(follower.followed, nullptr);
  EXPECT_EQ(follower.environment, nullptr);
  EXPECT_EQ(follower.rigObject1()->firstMesh(), nullptr);
  // The next frames look through the scene's own camera and, under the
  // address sanitizer, read nothing of the scene that went.
  for (int frame = 0; frame < 3; ++frame) scene->render(0.1 * frame, true);
  EXPECT_EQ(log->count("SetTransform(2)"), 3) << "one view per frame";
}

TEST_F(SceneDevice, ShadowMapTargetsGoWithTheDeviceAndComeBackAfterTheReset) {
  pipeline->fixedFunction = false;
  LightItem* light = addLight();
  light->shadowType = 2;
  light->shadowMapSize = 256;
  scene->prepare(nullptr, 0.0, 0.0);
  ASSERT_TRUE(light->shadowColourSurface);
  ASSERT_TRUE(light->shadowDepthSurface);
  EXPECT_EQ(log->count("CreateDepthStencilSurface(256, 256, 75)"), 1);

  // The map is drawn with its own depth surface; the view with the
  // device's own again.
  log->calls.clear();
  scene->render(0.0, true);
  const std::size_t own = find("SetDepthStencilSurface(surface)");
  ASSERT_LT(own, log->calls.size());
  EXPECT_LT(find("SetDepthStencilSurface(device's own)", own), log->calls.size());

  EXPECT_EQ(loseAndRestore(), D3D_OK) << "the light gave its default-pool targets back";
  EXPECT_TRUE(light->shadowColourSurface) << "and made them again";
  EXPECT_TRUE(light->shadowDepthSurface);
  EXPECT_EQ(log->count("CreateDepthStencilSurface(256, 256, 75)"), 1);
}

TEST_F(SceneDevice, OnlySpotLightsProjectAConeAndEqualConesShareOnePicture) {
  LightItem* point = addLight();
  LightItem* distant = addLight();
  distant->lightKind = kLightDistant;
  LightItem* spots[3];
  for (LightItem*& spot : spots) {
    spot = addLight();
    spot->lightKind = kLightSpot;
  }
  spots[2]->coneAngle.value = 0.25f;
  scene->prepare(nullptr, 0.0, 0.0);

  EXPECT_EQ(point->spotTexture, nullptr);
  EXPECT_EQ(distant->spotTexture, nullptr);
  EXPECT_EQ(point->texProj, nullptr);
  ASSERT_NE(spots[0]->spotTexture, nullptr);
  EXPECT_EQ(spots[0]->texProj, spots[0]->spotTexture.get());
  EXPECT_EQ(spots[1]->spotTexture, spots[0]->spotTexture);
  ASSERT_NE(spots[2]->spotTexture, nullptr);
  EXPECT_NE(spots[2]->spotTexture, spots[0]->spotTexture) << "another cone";
  EXPECT_EQ(spots[0]->spotTexture->getFirstDeviceTexture(), spots[1]->spotTexture->getFirstDeviceTexture());

  // A NaN power is no key that every other power would match.
  LightItem* odd = addLight();
  odd->lightKind = kLightSpot;
  odd->intensity.value = std::numeric_limits<float>::quiet_NaN();
  odd->prepare();
  EXPECT_NE(odd->spotTexture, spots[0]->spotTexture);
  EXPECT_NE(odd->spotTexture, spots[2]->spotTexture);

  // The picture outlives the light that made it while another holds it.
  Texture* shared = spots[0]->spotTexture.get();
  scene->lights.erase(scene->lights.begin() + 2);
  LightItem* late = addLight();
  late->lightKind = kLightSpot;
  late->prepare();
  EXPECT_EQ(late->spotTexture.get(), shared);
  scene->render(0.0, true);
}

TEST_F(SceneDevice, FlaresTheBackgroundAndTheLoadingBarMakeTheirDeclarationsOncePerDevice) {
  LightItem* light = addLight();
  light->flareEnabled = true;
  light->flareOptions = kFlareGreyGlow;
  light->flareIntensity.value = 1.0f;
  scene->backgroundImage = std::make_unique<FixtureTexture>(pipeline.get());
  scene->prepare(nullptr, 0.0, 0.0);
  ASSERT_TRUE(light->flareSet);

  log->calls.clear();
  scene->render(0.0, true);
  EXPECT_EQ(log->count("CreateVertexDeclaration()"), 2) << "the background's and the flare's";
  log->calls.clear();
  for (int frame = 1; frame <= 100; ++frame) scene->render(0.01 * frame, true);
  EXPECT_EQ(log->count("CreateVertexDeclaration()"), 0);
  EXPECT_EQ(log->count("Issue(occlusion, BEGIN)"), 100) << "the flare's query square was drawn every frame";
  EXPECT_GE(log->count("DrawPrimitiveUP("), 200);

  // Released with the device's other objects and made again once.
  ASSERT_EQ(loseAndRestore(), D3D_OK);
  log->calls.clear();
  for (int frame = 0; frame < 3; ++frame) scene->render(0.01 * frame, true);
  EXPECT_EQ(log->count("CreateVertexDeclaration()"), 2);

  LoadingProgressDisplay display;
  display.pipeline = pipeline.get();
  display.barLeft = 0.1f, display.barTop = 0.8f, display.barRight = 0.9f, display.barBottom = 0.85f;
  log->calls.clear();
  for (int step = 0; step <= 100; ++step) loadingProgress(display, 0.01f * static_cast<float>(step));
  EXPECT_EQ(log->count("CreateVertexDeclaration()"), 1);
  EXPECT_EQ(log->count("DrawPrimitiveUP("), 3 * 101) << "frame, frame and bar each time";
}

}  // namespace
