#include "scene/camera_item.h"

#include <cmath>

#include "render/render_pipeline.h"
#include "scene/item_math.h"

namespace {

// Half an angle in degrees, in radians.
constexpr double kHalfDegree = 0.008726646259971648;

}  // namespace

CameraItem::CameraItem(Scene* scene, std::int32_t id) : SceneItem(scene, ItemType::Camera, id) { nearClip = 0.01f; }

int CameraItem::eyeIndex() const { return renderer ? renderer->eye : -1; }

void CameraItem::computeAxisMatrix() {
  axisMatrix = axisBaseMatrix(axisMode);
  const int eye = eyeIndex();
  if (eye == 0 || eye == 1) {
    const float s = renderer->eyeShiftScale * renderer->eyeSeparationScale * eyeSeparation;
    Matrix4x3 shift = g_identityMatrix;
    shift[12] = (eye == 0 ? -0.5f : 0.5f) * s;
    Matrix4x3 shifted;
    multiplyMatrix(shifted, shift, axisMatrix);
    axisMatrix = shifted;
  }
  invertAffine(&inverseAxisMatrix, axisMatrix);
  axisValid = true;
}

void CameraItem::worldMatrix(Matrix4x3& out, double t, bool withAxis) {
  if (!axisValid) computeAxisMatrix();
  framedWorldMatrix(out, t, withAxis ? &axisMatrix : nullptr);
}

void CameraItem::inverseWorldMatrix(Matrix4x3& out, double t, bool withAxis) {
  if (!axisValid) computeAxisMatrix();
  framedInverseWorldMatrix(out, t, withAxis ? &inverseAxisMatrix : nullptr);
}

void CameraItem::invalidate() {
  SceneItem::invalidate();
  // In mono the axis matrix never changes; in stereo the eye does.
  const int eye = eyeIndex();
  if (eye == 0 || eye == 1) axisValid = false;
}

void CameraItem::computeProjection(double t) {
  const float zoom = zoomFactor.evaluate(t);
  float a = zoom;
  float sx = 1.0f, sy = 1.0f;
  int eye = -1;
  float eyeScale = 1.0f;
  if (renderer) {
    renderer->focalValue = zoom * 31.25f;
    a = renderer->focalValue / renderer->focalDivisor;
    sx = a / static_cast<float>(std::tan(renderer->horizontalFov * kHalfDegree));
    sy = a / static_cast<float>(std::tan(renderer->verticalFov * kHalfDegree));
    eye = renderer->eye;
    eyeScale = renderer->eyeSeparationScale;
  }
  projection = {};
  projection[0] = sx;
  projection[5] = sy;
  projection[10] = 1.0f;
  projection[11] = 1.0f;
  switch (eye) {
    case 0:
      projection[8] = eyeScale * eyeSeparation * sx * -0.5f;
      break;
    case 1:
      projection[8] = eyeScale * eyeSeparation * sx * 0.5f;
      break;
    case 2:
      projection[8] = 1.0f;
      break;
    case 3:
      projection[8] = -1.0f;
      break;
    default:
      break;
  }
  projectionValid = true;
}

D3DVIEWPORT9* CameraItem::getViewport() {
  if (renderer) {
    viewport = {static_cast<DWORD>(renderer->viewportX),
                static_cast<DWORD>(renderer->viewportY),
                static_cast<DWORD>(renderer->targetWidth),
                static_cast<DWORD>(renderer->targetHeight),
                0.0f,
                1.0f};
  }
  return &viewport;
}
