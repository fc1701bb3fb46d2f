// The race camera on a loaded race: the chase camera's leash, its start
// after a respawn and its turbo zoom, the kart's own camera for the rear
// and finish views, and each view's rectangle and angles.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "game/vehicle_master.h"
#include "input/input_device.h"
#include "platform/input/dinput.h"
#include "scene/camera_item.h"
#include "scene/scene.h"
#include "tests/game/race_fixture.h"

namespace {

using namespace race_fixture;

Position3 worldPosition(SceneItem& item) {
  Matrix4x3 world;
  item.invalidate();
  item.worldMatrix(world, 0.0, false);
  return {world[12], world[13], world[14]};
}

float distance(const Position3& a, const Position3& b) { return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z); }

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
  EXPECT_NEAR(distance(pulled, t), 1.8f, 1e-5f);
  EXPECT_NEAR(pulled.y - t.y, 1.8f * 0.6f, 1e-5f) << "along the line it was on";
  EXPECT_NEAR(pulled.z - t.z, -1.8f * 0.8f, 1e-5f);

  // Closer than the leash: the camera stays where it is.
  put(camera(0), t.x + 0.6f, t.y, t.z - 0.8f);
  race->updateCamera(0, input);
  const Position3 kept = worldPosition(camera(0));
  EXPECT_FLOAT_EQ(kept.x, t.x + 0.6f);
  EXPECT_FLOAT_EQ(kept.z, t.z - 0.8f);

  // It looks at the target item itself.
  EXPECT_EQ(camera(0).target, kart(0).m_items.cameraTarget);
  EXPECT_EQ(camera(0).headingController, kControllerPointAtTarget);
  EXPECT_EQ(camera(0).pitchController, kControllerPointAtTarget);
  Matrix4x3 world;
  camera(0).worldMatrix(world, 0.0, true);
  Position3 target = worldPosition(*kart(0).m_items.cameraTarget);
  float d[3] = {target.x - kept.x, target.y - kept.y, target.z - kept.z};
  normalizeVector(d);
  EXPECT_NEAR(world[8], d[0], 1e-5f);
  EXPECT_NEAR(world[9], d[1], 1e-5f);
  EXPECT_NEAR(world[10], d[2], 1e-5f);
}

TEST_F(RaceCameraTest, AfterARespawnTheChaseCameraStartsBehindTheKartAlongItsWay) {
  loadRace();
  kart(0).m_drive.m_heading = {0.6f, 0.0f, 0.8f};
  kart(0).m_net.m_cameraReset.set(true);
  const Position3 target = worldPosition(*kart(0).m_items.cameraTarget);
  race->updateCamera(0, input);
  const Position3 p = worldPosition(camera(0));
  EXPECT_NEAR(p.x, target.x - 0.6f * 1.8f, 1e-5f);
  EXPECT_NEAR(p.y, target.y + 0.3f, 1e-5f);
  EXPECT_NEAR(p.z, target.z - 0.8f * 1.8f, 1e-5f);
  EXPECT_FALSE(kart(0).m_net.m_cameraReset.get());

  // A kart standing without a heading: just above its target, no NaN.
  kart(0).m_drive.m_heading = {0.0f, 0.0f, 0.0f};
  kart(0).m_net.m_cameraReset.set(true);
  race->updateCamera(0, input);
  const Position3 q = worldPosition(camera(0));
  EXPECT_FLOAT_EQ(q.x, target.x);
  EXPECT_FLOAT_EQ(q.y, target.y + 0.3f);

  // A view that stands still waits: the request stays for later.
  race->m_cameraMode[0] = Race::kCameraStandStill;
  put(camera(0), 50.0f, 60.0f, 70.0f);
  kart(0).m_drive.m_heading = {0.0f, 0.0f, 1.0f};
  kart(0).m_net.m_cameraReset.set(true);
  race->updateCamera(0, input);
  EXPECT_FLOAT_EQ(worldPosition(camera(0)).y, 60.0f);
  EXPECT_TRUE(kart(0).m_net.m_cameraReset.get());
}

TEST_F(RaceCameraTest, TheRearViewIsTheKartsOwnCameraTurnedHalfARound) {
  loadRace(1);
  SceneItem& chassis = *race->m_scene->findItem("Vehicle", -1, 2);
  chassis.rotation[0].value = 0.4f;
  chassis.invalidate();
  put(camera(1), 5.0f, 6.0f, 7.0f);
  race->m_cameraMode[1] = Race::kCameraRear;
  race->updateCamera(1, input);

  CameraItem& own = camera(1 + 2);
  Position3 at = worldPosition(*kart(1).m_items.cameraTarget);
  const Position3 p = worldPosition(own);
  EXPECT_FLOAT_EQ(p.x, at.x);
  EXPECT_FLOAT_EQ(p.y, at.y + 0.3f);
  EXPECT_FLOAT_EQ(p.z, at.z);
  EXPECT_FLOAT_EQ(own.rotation[0].value, 0.4f + std::numbers::pi_v<float>);
  EXPECT_EQ(own.target, nullptr);
  EXPECT_FLOAT_EQ(own.zoomFactor.value, 1.5f);
  // It looks the way the kart came from.
  Matrix4x3 kartWorld, cameraWorld;
  chassis.worldMatrix(kartWorld, 0.0, true);
  own.worldMatrix(cameraWorld, 0.0, true);
  const float scale = std::hypot(kartWorld[8], kartWorld[9], kartWorld[10]);
  for (int i = 8; i < 11; ++i) EXPECT_NEAR(cameraWorld[i], -kartWorld[i] / scale, 1e-5f) << "forward axis " << i;
  EXPECT_FLOAT_EQ(worldPosition(camera(1)).x, 5.0f) << "the view's own camera is left alone";

  // Pitch and bank come from the chassis as they are.
  chassis.rotation[1].value = 0.1f;
  chassis.rotation[2].value = -0.05f;
  race->updateCamera(1, input);
  EXPECT_FLOAT_EQ(own.rotation[1].value, 0.1f);
  EXPECT_FLOAT_EQ(own.rotation[2].value, -0.05f);
  EXPECT_FLOAT_EQ(own.pivot.y, 0.0f);
}

TEST_F(RaceCameraTest, TheFinishCameraFacesTheDriverAndTheRearViewKeyDoesNotTouchIt) {
  loadRace();
  race->m_cameraMode[0] = Race::kCameraFinish;
  camera(2).zoomFactor.value = 3.0f;
  input.m_key[DIK_TAB] = 0x80;
  race->updateCamera(0, input);
  EXPECT_EQ(race->m_cameraMode[0], Race::kCameraFinish);
  CameraItem& own = camera(2);
  EXPECT_FLOAT_EQ(own.pivot.x, 0.0f);
  EXPECT_FLOAT_EQ(own.pivot.y, 0.7f);
  EXPECT_FLOAT_EQ(own.pivot.z, 2.0f);
  EXPECT_FLOAT_EQ(own.zoomFactor.value, 1.5f) << "set again whenever the kart camera is used";
  // The eye stands 2.0 ahead of where the target lifts it, 0.7 below.
  const Position3 at = worldPosition(*kart(0).m_items.cameraTarget);
  Matrix4x3 world;
  own.invalidate();
  own.worldMatrix(world, 0.0, false);
  EXPECT_NEAR(world[13], at.y + 0.3f - 0.7f, 1e-5f);
  EXPECT_NEAR(std::hypot(world[12] - at.x, world[14] - at.z), 2.0f, 1e-5f);
}

TEST_F(RaceCameraTest, TheChaseZoomNarrowsAFrameAtATimeDuringAFullTurboAndWidensAfter) {
  loadRace();
  float& zoom = camera(0).zoomFactor.value;
  ASSERT_FLOAT_EQ(zoom, 1.5f);
  KartStatusTimers& s = kart(0).m_status;
  // Winding up: not yet.
  s.turbo = 5.0f;
  s.turboSound = 0.2f;
  race->updateCamera(0, input);
  EXPECT_FLOAT_EQ(zoom, 1.5f);

  s.turboSound = -1.0f;
  race->updateCamera(0, input);
  EXPECT_NEAR(zoom, 1.49f, 1e-5f);
  for (int frame = 0; frame < 100; ++frame) race->updateCamera(0, input);
  EXPECT_LT(zoom, 1.0f);
  EXPECT_GT(zoom, 0.985f) << "just below 1.0, then held";

  s.turbo = 0.0f;
  race->updateCamera(0, input);
  EXPECT_NEAR(zoom, 1.0f, 2e-3f);
  for (int frame = 0; frame < 100; ++frame) race->updateCamera(0, input);
  EXPECT_GT(zoom, 1.5f);
  EXPECT_LT(zoom, 1.515f) << "just above 1.5, then held";
}

TEST_F(RaceCameraTest, OneViewTakesTheWholeScreenAndTwoViewsTheTopAndBottomHalves) {
  loadRace();
  RenderPipeline& p = *pipeline;
  race->updateCamera(0, input);
  EXPECT_EQ(p.viewportX, 0);
  EXPECT_EQ(p.viewportY, 0);
  EXPECT_EQ(p.targetWidth, 800);
  EXPECT_EQ(p.targetHeight, 600);
  EXPECT_NEAR(p.horizontalFov, 45.24f, 0.005f);
  EXPECT_NEAR(p.verticalFov, 34.71f, 0.005f);

  race->m_viewCount = 2;
  p.requestedHeight = 601;
  race->updateCamera(0, input);
  EXPECT_EQ(p.viewportY, 0);
  EXPECT_EQ(p.targetWidth, 800);
  EXPECT_EQ(p.targetHeight, 300);
  EXPECT_NEAR(p.horizontalFov, 79.61f, 0.005f);
  EXPECT_NEAR(p.verticalFov, 34.71f, 0.005f);
  race->updateCamera(1, input);
  EXPECT_EQ(p.viewportX, 0);
  EXPECT_EQ(p.viewportY, 300) << "the lower half, in rows counted from the top";
  EXPECT_EQ(p.targetHeight, 300);
  EXPECT_NEAR(p.horizontalFov, 79.61f, 0.005f);
}

TEST_F(RaceCameraTest, AViewWithoutItsKartOrItsCamerasStillGetsItsRectangle) {
  loadRace(1);
  const Position3 before = worldPosition(camera(0));
  race->m_viewKart[0] = 9;
  race->updateCamera(0, input);
  EXPECT_FLOAT_EQ(worldPosition(camera(0)).x, before.x);
  EXPECT_EQ(pipeline->targetHeight, 300);

  // A track scene with fewer cameras than karts: the kart cameras are not
  // there to use.
  race->m_viewKart[0] = 0;
  race->m_cameraMode[0] = Race::kCameraRear;
  race->m_cameraMode[1] = Race::kCameraChase;
  race->m_scene->cameras.resize(2);
  race->updateCamera(0, input);
  race->updateCamera(1, input);
  EXPECT_EQ(pipeline->viewportY, 300);
  race->m_scene->cameras.resize(1);
  race->updateCamera(1, input);
  race->updateCamera(2, input);
  race->updateCamera(-1, input);
  EXPECT_EQ(pipeline->viewportY, 300) << "no view 2 or -1 to set";
}

}  // namespace
