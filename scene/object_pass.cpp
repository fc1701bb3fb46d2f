// The object pass: occluders from the culling planes, culling against the
// view and the occluders, the sorted draw list, the projection fitted to
// what is visible, and the lights chosen for each object.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "foundation/report.h"
#include "render/render_pipeline.h"
#include "render/surface.h"
#include "scene/camera_controller.h"
#include "scene/culling_plane.h"
#include "scene/lens_flare.h"
#include "scene/light_item.h"
#include "scene/lwo_model.h"
#include "scene/object_item.h"
#include "scene/scene.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Before every clip transform the projection must be the unfitted one:
// its z is then the view depth.
void readyProjection(SceneItem& viewer, double t) {
  if (!viewer.projectionValid || viewer.projectionFitted) {
    viewer.computeProjection(t);
    viewer.projectionFitted = false;
  }
}

// The item's world x the viewer's inverse world x the viewer's projection.
Matrix4x3 clipMatrix(SceneItem& item, SceneItem& viewer, double t) {
  Matrix4x3 world, inverse, worldView, clip;
  item.worldMatrix(world, t, true);
  viewer.inverseWorldMatrix(inverse, t, true);
  multiplyMatrix(worldView, world, inverse);
  multiplyMatrix(clip, worldView, viewer.projection);
  return clip;
}

void toArrays(const Vector4 corners[8], float out[8][4]) {
  for (int k = 0; k < 8; ++k) {
    out[k][0] = corners[k].x, out[k][1] = corners[k].y, out[k][2] = corners[k].z, out[k][3] = corners[k].w;
  }
}

bool scaledToNothing(SceneItem& item, double t) {
  return item.scale[0].evaluate(t) == 0.0f && item.scale[1].evaluate(t) == 0.0f && item.scale[2].evaluate(t) == 0.0f;
}

struct LightRecord {
  int index;
  LightItem* light;
  float weight;
};

// The spot light's projector: from the drawing's source space to the
// light's biased clip space.
Matrix4x3 spotProjector(LightItem& light, const Matrix4x3& from, double t) {
  Matrix4x3 inverse, a, b, out;
  light.inverseWorldMatrix(inverse, t, true);
  Matrix4x3 projection;
  std::memcpy(projection.m, light.projectionForDepthRange(t, light.visibleDepthRange[0], light.visibleDepthRange[1]),
              sizeof projection.m);
  static const Matrix4x3 kBias = {{256, 0, 0, 0, 0, -256, 0, 0, 0, 0, 256, 0, 249, 249, 256, 1}};
  multiplyMatrix(a, from, inverse);
  multiplyMatrix(b, a, projection);
  multiplyMatrix(out, b, kBias);
  return out;
}

}  // namespace

void Scene::drawObjects(SceneItem* viewer, std::vector<CullingPlaneObject*>& occluders, double t) {
  if (!viewer || !pipeline || !pipeline->currentDevice) return;
  RenderPipeline& p = *pipeline;
  IDirect3DDevice9* device = p.currentDevice;
  const bool topLevel = renderDepth <= 1;
  if (topLevel) {
    occluders.clear();
    occluders.reserve(100);
    for (SceneItem* item : cullingPlanes) {
      auto* plane = dynamic_cast<CullingPlaneObject*>(item);
      SceneNode* node = plane ? plane->firstMesh() : nullptr;
      if (!node) continue;
      readyProjection(*viewer, t);
      const Matrix4x3 clip = clipMatrix(*plane, *viewer, t);
      Vector4 corners[8];
      node->transformBox(clip, corners);
      float c[8][4];
      toArrays(corners, c);
      if (!viewer->isBoxOutsideClip(c) && plane->buildOccluder(clip)) occluders.push_back(plane);
    }
  }

  std::vector<DrawRecord> records;
  records.reserve(1000);
  device->SetViewport(viewer->getViewport());
  const bool cylindrical = !p.fixedFunction && p.cylindricalAngle > 0.0001f;
  const float a = static_cast<float>(p.cylindricalAngle * kPi / 360.0);
  float minDepth = FLT_MAX, maxDepth = -FLT_MAX;

  std::vector<SceneItem*> candidates;
  CameraController* controller = cameraControllerOf(pipeline);
  if (controller && controller->enabled) {
    for (auto it = controller->objects.rbegin(); it != controller->objects.rend(); ++it)
      candidates.push_back(it->get());
  }
  for (auto& item : objects) candidates.push_back(item.get());

  for (SceneItem* candidate : candidates) {
    // Sounds follow the listener of the view only: a mirror or a shadow map
    // seen from elsewhere would stop and restart them every frame.
    auto* object = dynamic_cast<ObjectItem*>(candidate);
    if (object && object->sound && renderDepth <= 1 && g_shadowPassMode == 0) object->updateSound(viewer, t);
    SceneNode* node = candidate->firstMesh();
    if (!node) continue;
    if (node->words[2] == reinterpret_cast<std::uintptr_t>(viewer)) continue;
    const bool isPlane = dynamic_cast<CullingPlaneObject*>(candidate) != nullptr;
    if (isPlane && !p.cullingPlanesShown()) continue;
    if (scaledToNothing(*candidate, t)) continue;
    ENGINE_ASSERT(node->hasBox && "objects without bounding boxes are not supported anymore");
    readyProjection(*viewer, t);
    Matrix4x3 clip = clipMatrix(*candidate, *viewer, t);
    if (cylindrical) {
      const float k = std::tan(a);
      for (int row = 0; row < 4; ++row) clip[4 * row] *= k;
    }
    Vector4 corners[8];
    node->transformBox(clip, corners);
    if (cylindrical) {
      for (Vector4& c : corners) {
        float r = std::sqrt(c.x * c.x + c.w * c.w);
        if (c.w < 0.0f) r = -r;
        c.x = std::atan(c.x / c.w) * r / a;
        c.w = r;
      }
    }
    float c[8][4];
    toArrays(corners, c);
    if (viewer->isBoxOutsideClip(c)) continue;
    if (!isPlane && std::any_of(occluders.begin(), occluders.end(),
                                [&](CullingPlaneObject* plane) { return plane->boxOccluded(corners); }))
      continue;
    float zMin = corners[0].z, zMax = corners[0].z;
    for (const Vector4& corner : corners) zMin = std::min(zMin, corner.z), zMax = std::max(zMax, corner.z);
    minDepth = std::min(minDepth, zMin);
    maxDepth = std::max(maxDepth, zMax);
    records.push_back({candidate, node->flagA ? -zMax : zMax, node->flagA});
  }
  std::stable_sort(records.begin(), records.end(), [](const DrawRecord& x, const DrawRecord& y) {
    if ((x.flagA != 0) != (y.flagA != 0)) return x.flagA == 0;
    return x.key < y.key;
  });

  if (p.flares()) {
    for (auto& item : lights) {
      auto* light = dynamic_cast<LightItem*>(item.get());
      if (!light || !light->flareEnabled || !light->flareSet) continue;
      readyProjection(*viewer, t);
      const Matrix4x3 clip = clipMatrix(*light, *viewer, t);
      const float q[4] = {clip[12], clip[13], clip[14], clip[15]};
      if (!viewer->isPointOutsideClip(q)) minDepth = std::min(minDepth, q[2]), maxDepth = std::max(maxDepth, q[2]);
    }
  }

  if (topLevel) {
    // With nothing in view the range would be empty and the projection
    // infinite; the effects and flares drawn afterwards still need one.
    if (minDepth > maxDepth) minDepth = viewer->nearClip, maxDepth = 1000.0f;
    viewer->visibleDepthRange[0] = minDepth;
    viewer->visibleDepthRange[1] = maxDepth;
    readyProjection(*viewer, t);
    Matrix4x3 projection;
    std::memcpy(projection.m, viewer->projectionForDepthRange(t, minDepth, maxDepth), sizeof projection.m);
    if (p.flagTable) *p.flagTable->isCylindricalViewer = cylindrical ? 1 : 0;
    if (cylindrical) {
      for (int row = 0; row < 4; ++row) projection[4 * row] *= std::tan(a);
      if (p.constantTable) *p.constantTable->cylindricalScale = 1.0f / a;
    }
    D3DMATRIX d;
    std::memcpy(d.m, projection.m, sizeof d.m);
    device->SetTransform(D3DTS_PROJECTION, &d);
    if (p.constantTable) {
      p.constantTable->projection = projection;
      p.constantTable->derivedValid = false;
    }
  }
  drawRecords(t, viewer, records);
}

void Scene::drawRecords(double t, SceneItem* viewer, const std::vector<DrawRecord>& records) {
  for (const DrawRecord& record : records) {
    selectLights(viewer, *record.object, t);
    tagMeshes(*record.object, t);
    if (auto* object = dynamic_cast<ObjectItem*>(record.object)) object->render(t, viewer);
  }
}

void Scene::tagMeshes(SceneItem& object, double t) {
  SceneNode* node = object.firstMesh();
  if (!node || !node->link) return;
  for (Surface* surface : node->link->surfaces) {
    if (surface && surface->reflection.evaluate(t) != 0.0f) surface->reflectionScene = this;
  }
}

void Scene::selectLights(SceneItem* viewer, SceneItem& object, double t) {
  if (!pipeline || !pipeline->currentDevice) return;
  RenderPipeline& p = *pipeline;
  IDirect3DDevice9* device = p.currentDevice;
  SceneNode* node = object.firstMesh();
  std::vector<LightItem*> source;
  if (p.fixedFunction) {
    source = deviceLightList();
  } else {
    for (auto& item : lights) source.push_back(dynamic_cast<LightItem*>(item.get()));
  }
  std::vector<LightRecord> chosen;
  chosen.reserve(200);
  for (std::size_t i = 0; i < source.size(); ++i) {
    LightItem* light = source[i];
    if (!light) continue;
    light->affects(object, node, t);
    if (light->d3dLightReady && light->affectsObject) {
      chosen.push_back({static_cast<int>(i), light, light->strengthAt(object, node, t)});
    } else if (p.fixedFunction) {
      device->LightEnable(static_cast<DWORD>(i), 0);
    }
  }
  std::stable_sort(chosen.begin(), chosen.end(),
                   [](const LightRecord& x, const LightRecord& y) { return x.weight > y.weight; });
  int counts[3] = {0, 0, 0};
  if (p.fixedFunction) {
    // Texture coordinates of the fixed-function spot come from camera-space
    // positions: the projector starts from the view, not the object.
    Matrix4x3 inverseView = g_identityMatrix;
    if (p.constantTable) invertAffine(&inverseView, p.constantTable->view);
    for (std::size_t k = 0; k < chosen.size(); ++k) {
      const LightRecord& r = chosen[k];
      device->LightEnable(static_cast<DWORD>(r.index), k < 8 ? 1 : 0);
      if (k < 8 && r.light->lightKind == kLightSpot && p.constantTable) {
        const Matrix4x3 m = spotProjector(*r.light, inverseView, t);
        std::memcpy(p.constantTable->matWorldLightviewLightprojShadowbias, m.m, sizeof m.m);
      }
    }
  } else {
    Matrix4x3 world;
    object.worldMatrix(world, t, true);
    for (const LightRecord& r : chosen) {
      const int kind = r.light->lightKind;
      if (kind == kLightSpot && p.constantTable) {
        const Matrix4x3 m = spotProjector(*r.light, world, t);
        std::memcpy(p.constantTable->matWorldLightviewLightprojShadowbias, m.m, sizeof m.m);
      }
      if (kind >= 0 && kind <= 2) r.light->writeShaderConstants(counts[kind]++, t);
    }
  }
  if (p.flagTable) {
    *p.flagTable->numActiveDistantLights = std::min(counts[0], 8);
    *p.flagTable->numActivePointLights = std::min(counts[1], 8);
    *p.flagTable->numActiveSpotLights = std::min(counts[2], 8);
  }
  if (p.constantTable) {
    float ambient[4];
    ambientColorAt(t, ambient);
    const float level = ambientIntensity.evaluate(t);
    for (int k = 0; k < 3; ++k) p.constantTable->ambientLightColor[k] = ambient[k] * level;
  }
  (void)viewer;
}
