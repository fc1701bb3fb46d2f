// The race camera of each view: where the view's camera stands and looks in
// its mode, and the rectangle and angles of the view on the screen.
#include <cmath>
#include <numbers>

#include "game/kart/vehicle_master.h"
#include "game/race/race.h"
#include "render/render_pipeline.h"
#include "scene/camera_item.h"
#include "scene/scene.h"

namespace {

// The chase camera follows on a leash this long, aimed this far above the
// kart's camera target.
constexpr float kLeash = 1.8f;
constexpr float kTargetLift = 0.3f;
// The chase zoom narrows toward 1.0 while a turbo pushes at full speed and
// widens back to 1.5 after, one step per frame whatever the frame time.
constexpr float kZoomStep = 0.01f;
constexpr float kZoomNarrow = 1.0f;
constexpr float kZoomWide = 1.5f;
constexpr float kKartCameraZoom = 1.5f;
// The finish camera stands in front of the kart, turned on the driver.
constexpr Position3 kFinishPivot{0.0f, 0.7f, 2.0f};
constexpr Position3 kNoPivot{};
// The scene's cameras 0 and 1 are the views'; kart k's own is camera k + 2.
constexpr int kFirstKartCamera = 2;
// Each view's picture is as tall as a quarter turn of this ratio: a full
// screen keeps 4:3 (2.4 wide), a half-height view 8:3 (1.2).
constexpr double kHeightRatio = 3.2;
constexpr double kFullWidthRatio = 2.4;
constexpr double kHalfWidthRatio = 1.2;

Position3 worldPositionAt0(SceneItem& item) {
  Matrix4x3 world;
  item.invalidate();
  item.worldMatrix(world, 0.0, false);
  return {world[12], world[13], world[14]};
}

void placeAt(SceneItem& item, const Position3& p) {
  const float values[3] = {p.x, p.y, p.z};
  item.setPosition(values);
  item.invalidate();
}

// The angle in degrees that a picture 2 wide spans at distance `ratio`.
float viewAngle(double ratio) { return static_cast<float>(std::atan(1.0 / ratio) * 360.0 / std::numbers::pi); }

CameraItem* sceneCamera(Scene& scene, int index) {
  if (index < 0 || index >= static_cast<int>(scene.cameras.size())) return nullptr;
  return dynamic_cast<CameraItem*>(scene.cameras[static_cast<std::size_t>(index)].get());
}

// The controllers aim at `target`, or fall back to the rotation channels
// without one. A rotation taken over from another item would override both.
void aimAt(CameraItem& camera, SceneItem* target, const Position3& pivot) {
  const float p[3] = {pivot.x, pivot.y, pivot.z};
  camera.setPivotPosition(p);
  camera.headingController = kControllerPointAtTarget;
  camera.pitchController = kControllerPointAtTarget;
  camera.target = target;
  camera.linkedItem = nullptr;
}

}  // namespace

void Race::updateCamera(int view, InputDevice& /*input*/) {
  if (view < 0 || view >= kMaxViews) return;
  const int k = m_viewKart[view];
  Vehicle* kart = k >= 0 && k < kMaxKarts ? m_karts[k] : nullptr;
  SceneItem* target = kart ? kart->m_items.cameraTarget : nullptr;
  if (m_scene && target) {
    const std::int32_t mode = m_cameraMode[view];
    if (mode != kCameraStandStill) resetChaseCamera(view, *kart, *target);
    if (mode == kCameraChase) {
      followKart(view, *kart, *target);
    } else if (mode == kCameraRear || mode == kCameraFinish) {
      lookBack(k, *target, mode == kCameraFinish ? kFinishPivot : kNoPivot);
    }
  }
  setViewRectangle(view);
}

void Race::resetChaseCamera(int view, Vehicle& kart, SceneItem& target) {
  CameraItem* camera = sceneCamera(*m_scene, view);
  if (!camera || !kart.m_net.m_cameraReset.get()) return;
  // Right behind the kart along its way; a kart without a heading gives
  // none, and the camera then starts just above the target.
  float d[3] = {kart.getVelocity()[0], kart.getVelocity()[1], kart.getVelocity()[2]};
  normalizeVector(d);
  const Position3 t = worldPositionAt0(target);
  placeAt(*camera, {t.x - d[0] * kLeash, t.y - d[1] * kLeash + kTargetLift, t.z - d[2] * kLeash});
  kart.m_net.m_cameraReset.set(false);
}

void Race::followKart(int view, Vehicle& kart, SceneItem& target) {
  CameraItem* camera = sceneCamera(*m_scene, view);
  if (!camera) return;
  aimAt(*camera, &target, kNoPivot);
  Position3 t = worldPositionAt0(target);
  t.y += kTargetLift;
  const Position3 q = worldPositionAt0(*camera);
  float d[3] = {q.x - t.x, q.y - t.y, q.z - t.z};
  // Dragged behind the kart; it keeps its place while the kart comes closer.
  if (normalizeVector(d) > kLeash) placeAt(*camera, {t.x + d[0] * kLeash, t.y + d[1] * kLeash, t.z + d[2] * kLeash});

  VehicleMaster* master = kart.getMaster();
  if (!master) return;
  const KartStatusTimers& s = master->m_status;
  float& zoom = camera->zoomFactor.value;
  const bool boosting = s.turbo != 0.0f && s.turboSound == -1.0f;
  if (boosting && zoom >= kZoomNarrow) zoom -= kZoomStep;
  if (s.turbo == 0.0f && zoom <= kZoomWide) zoom += kZoomStep;
}

void Race::lookBack(int kartIndex, SceneItem& target, const Position3& pivot) {
  CameraItem* camera = sceneCamera(*m_scene, kartIndex + kFirstKartCamera);
  if (!camera) return;
  Position3 at = worldPositionAt0(target);
  at.y += kTargetLift;
  placeAt(*camera, at);
  float heading = 0.0f, pitch = 0.0f, bank = 0.0f;
  if (SceneItem* chassis = findKartItem(*m_scene, "Vehicle", -1, kartIndex + 1)) {
    heading = chassis->rotation[0].evaluate(0.0);
    pitch = chassis->rotation[1].evaluate(0.0);
    bank = chassis->rotation[2].evaluate(0.0);
  }
  camera->rotation[0].value = heading + std::numbers::pi_v<float>;
  camera->rotation[1].value = pitch;
  camera->rotation[2].value = bank;
  aimAt(*camera, nullptr, pivot);
  camera->zoomFactor.value = kKartCameraZoom;
  camera->invalidate();
}

void Race::setViewRectangle(int view) {
  if (!m_renderContext) return;
  RenderPipeline& p = *m_renderContext;
  const int width = p.requestedWidth, height = p.requestedHeight;
  p.viewportX = 0;
  p.targetWidth = width;
  if (m_viewCount < 2) {
    p.viewportY = 0;
    p.targetHeight = height;
    p.horizontalFov = viewAngle(kFullWidthRatio);
  } else {
    // Direct3D rows run down the screen: view 1 is the lower half.
    p.viewportY = view == 0 ? 0 : height / 2;
    p.targetHeight = view == 0 ? static_cast<int>(height * 0.5) : height / 2;
    p.horizontalFov = viewAngle(kHalfWidthRatio);
  }
  p.verticalFov = viewAngle(kHeightRatio);
}
