// The race camera on a loaded race: the chase camera's leash, its start
// after a respawn and its turbo zoom, the kart's own camera for the rear
// and finish views, and each view's rectangle and angles (drawn, in
// race_camera_gl_test.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "game/kart/vehicle_master.h"
#include "input/input_device.h"
#include "platform/input/dinput.h"
#include "scene/camera_item.h"
#include "scene/scene.h"
#include "tests/game/race/race_fixture.h"

namespace {

using namespace race_fixture;

Position3 worldPosition(SceneItem& item) {
  Matrix4x3 world;
  item.invalidate();
  item.worldMatrix(world, 0.0, false);
  return {world[12], world[13], world[14]};
}

void put(SceneItem& item, float x, float y, float z) {
  const float p[3] = {x, y, z};
  item.setPosition(p);
  item.invalidate();
}

class RaceCameraTest : public RaceTest {
 protected:
  void loadRace(int playType = 0) {
    chooseRace(config, 1);
    config.m_playType = playType;
    ASSERT_TRUE(load());
    for (Vehicle* kart : race->m_karts) kart->m_net.m_cameraReset.set(false);
  }
  CameraItem& camera(int index) { return *dynamic_cast<CameraItem*>(race->m_scene->cameras[index].get()); }
  VehicleMaster& kart(int k) { return *race->m_karts[k]->getMaster(); }
  // Where the chase camera is pulled to: 0.3 above the kart's target.
  Position3 aimedAt(int k) {
    Position3 t = worldPosition(*kart(k).m_items.cameraTarget);
    t.y += 0.3f;
    return t;
  }

  InputDevice input;
};

TEST_F(RaceCameraTest, TheChaseCameraIsPulledInOnALeashAndAimsAtTheKart) {
  loadRace();
  const Position3 t = aimedAt(0);
  put(camera(0), t.x, t.y + 1.8f, t.z - 2.4f);  // 3.0 away
  race->updateCamera(0, input);
  const Position3 pulled = worldPosition(camera(0));
  EXPECT_NEAR(pulled.y - t.y, 1.8f * 0.6f, 1e-5f) << "1.8 away along the line it was on";
  EXPECT_NEAR(pulled.z - t.z, -1.8f * 0.8f, 1e-5f);
  EXPECT_EQ(camera(0).target, kart(0).m_items.cameraTarget);
  EXPECT_EQ(camera(0).pitchController, kControllerPointAtTarget);

  put(camera(0), t.x + 0.6f, t.y, t.z - 0.8f);  // 1.0 away: left there
  race->updateCamera(0, input);
  EXPECT_FLOAT_EQ(worldPosition(camera(0)).x, t.x + 0.6f);
  EXPECT_FLOAT_EQ(worldPosition(camera(0)).z, t.z - 0.8f);
}

TEST_F(RaceCameraTest, AfterARespawnTheChaseCameraStartsBehindTheKartAlongItsWay) {
  loadRace();
  const Position3 target = worldPosition(*kart(0).m_items.cameraTarget);
  auto respawnHeading = [&](float x, float z) {
    kart(0).m_drive.m_heading = {x, 0.0f, z};
    kart(0).m_net.m_cameraReset.set(true);
    race->updateCamera(0, input);
    return worldPosition(camera(0));
  };
  Position3 p = respawnHeading(0.6f, 0.8f);
  EXPECT_NEAR(p.x, target.x - 0.6f * 1.8f, 1e-5f);
  EXPECT_NEAR(p.y, target.y + 0.3f, 1e-5f);
  EXPECT_NEAR(p.z, target.z - 0.8f * 1.8f, 1e-5f);
  EXPECT_FALSE(kart(0).m_net.m_cameraReset.get());
  p = respawnHeading(0.0f, 0.0f);  // no heading: just above the target, no NaN
  EXPECT_FLOAT_EQ(p.x, target.x);
  EXPECT_FLOAT_EQ(p.z, target.z);

  // A view that stands still keeps its camera; the request waits.
  race->m_cameraMode[0] = Race::kCameraStandStill;
  put(camera(0), 50.0f, 60.0f, 70.0f);
  EXPECT_FLOAT_EQ(respawnHeading(0.0f, 1.0f).y, 60.0f);
  EXPECT_TRUE(kart(0).m_net.m_cameraReset.get());
}

TEST_F(RaceCameraTest, RearAndFinishViewsUseTheKartsOwnCameraTurnedHalfARound) {
  loadRace(1);
  SceneItem& chassis = *race->m_scene->findItem("Vehicle", -1, 2);
  chassis.rotation[0].value = 0.4f;
  put(camera(1), 5.0f, 6.0f, 7.0f);
  race->m_cameraMode[1] = Race::kCameraRear;
  race->updateCamera(1, input);
  CameraItem& own = camera(1 + 2);
  const Position3 at = worldPosition(*kart(1).m_items.cameraTarget);
  EXPECT_FLOAT_EQ(worldPosition(own).y, at.y + 0.3f);
  EXPECT_FLOAT_EQ(own.rotation[0].value, 0.4f + std::numbers::pi_v<float>);
  EXPECT_EQ(own.target, nullptr);
  EXPECT_FLOAT_EQ(own.zoomFactor.value, 1.5f);
  Matrix4x3 kartWorld, cameraWorld;
  chassis.worldMatrix(kartWorld, 0.0, true);
  own.worldMatrix(cameraWorld, 0.0, true);
  const float scale = std::hypot(kartWorld[8], kartWorld[9], kartWorld[10]);
  for (int i = 8; i < 11; ++i) EXPECT_NEAR(cameraWorld[i], -kartWorld[i] / scale, 1e-5f) << "looks back, axis " << i;
  EXPECT_FLOAT_EQ(worldPosition(camera(1)).x, 5.0f) << "the view's own camera is left alone";

  // Finished: the rear-view key leaves the mode, the eye moves 2.0 ahead.
  race->m_cameraMode[1] = Race::kCameraFinish;
  input.m_key[DIK_TAB] = input.m_key[DIK_NUMPAD0] = 0x80;
  race->updateCamera(1, input);
  EXPECT_EQ(race->m_cameraMode[1], Race::kCameraFinish);
  own.worldMatrix(cameraWorld, 0.0, false);
  EXPECT_NEAR(cameraWorld[13], at.y + 0.3f - 0.7f, 1e-5f);
  EXPECT_NEAR(std::hypot(cameraWorld[12] - at.x, cameraWorld[14] - at.z), 2.0f, 1e-5f);
}

TEST_F(RaceCameraTest, TheChaseZoomNarrowsAFrameAtATimeDuringAFullTurboAndWidensAfter) {
  loadRace();
  const float& zoom = camera(0).zoomFactor.value;
  KartStatusTimers& s = kart(0).m_status;
  s.turbo = 5.0f;
  s.turboSound = 0.2f;  // winding up: not yet
  race->updateCamera(0, input);
  EXPECT_FLOAT_EQ(zoom, 1.5f);
  s.turboSound = -1.0f;
  race->updateCamera(0, input);
  EXPECT_NEAR(zoom, 1.49f, 1e-5f);
  for (int frame = 0; frame < 100; ++frame) race->updateCamera(0, input);
  EXPECT_TRUE(zoom < 1.0f && zoom > 0.985f) << "just below 1.0, then held: " << zoom;
  s.turbo = 0.0f;
  for (int frame = 0; frame < 100; ++frame) race->updateCamera(0, input);
  EXPECT_TRUE(zoom > 1.5f && zoom < 1.515f) << "just above 1.5, then held: " << zoom;
}

TEST_F(RaceCameraTest, ViewRectanglesAndAnglesEvenWithoutTheKartOrItsCamera) {
  loadRace(1);
  RenderPipeline& p = *pipeline;
  p.requestedHeight = 601;
  race->updateCamera(0, input);
  EXPECT_EQ(p.targetHeight, 300);
  EXPECT_NEAR(p.horizontalFov, 79.61f, 0.005f);
  EXPECT_NEAR(p.verticalFov, 34.71f, 0.005f);
  race->updateCamera(1, input);
  EXPECT_EQ(p.viewportY, 300) << "the lower half, in rows counted from the top";
  EXPECT_EQ(p.targetHeight, 300);

  // No kart in the view, or a track with too few cameras: nothing to place.
  race->m_viewKart[0] = 9;
  race->updateCamera(0, input);
  EXPECT_EQ(p.viewportY, 0);
  race->m_viewKart[0] = 0;
  race->m_cameraMode[0] = Race::kCameraRear;
  race->m_scene->cameras.resize(1);
  race->updateCamera(0, input);
  race->updateCamera(1, input);
  race->updateCamera(2, input);
  EXPECT_EQ(p.viewportY, 300) << "no view 2 to set";
}

}  // namespace
