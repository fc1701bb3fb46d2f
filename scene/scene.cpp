#include "scene/scene.h"

#include <cmath>

#include "foundation/report.h"
#include "render/render_pipeline.h"
#include "render/texture.h"
#include "scene/camera_controller.h"
#include "scene/light_item.h"
#include "scene/loading_progress.h"
#include "scene/lwo_model.h"
#include "scene/particle_emitter.h"
#include "scene/scene_node.h"
#include "scene/scene_root.h"
#include "scene/surface_render_object.h"

Scene::Scene(SceneRoot* root) : ItemContainer(root ? root->pipeline : nullptr), root(root) {
  if (pipeline && pipeline->currentDevice) {
    constexpr DWORD kDefaultCharset = 1, kOutDefaultPrecision = 0, kAntialiasedQuality = 4, kDefaultPitch = 0;
    D3DXCreateFontA(pipeline->currentDevice, 12, 0, 400, 0, 0, kDefaultCharset, kOutDefaultPrecision,
                    kAntialiasedQuality, kDefaultPitch, "Verdana", font.put());
  }
}

Scene::~Scene() {
  // The device's light list must not keep this scene's lights past it.
  for (LightItem*& light : deviceLightList()) {
    if (light && light->scene == this) light = nullptr;
  }
  // Nor the pipeline's camera follower, which lives on to the next scene.
  if (pipeline && pipeline->cameraController) {
    if (auto* follower = dynamic_cast<CameraController*>(pipeline->cameraController.get()))
      follower->forgetScene(*this);
  }
  backgroundImage.reset();
  // Effects point at their owner items.
  emitters.clear();
  forces.clear();
  // Items go before the world: none of them destroys its body or joint (the
  // world takes those), but none may outlive what it points into either.
  for (auto* list : {&cameras, &objects, &lights}) list->clear();
  cullingPlanes.clear();
  font.reset();
}

void Scene::physicsStep(double dt) {
  m_physics.step(dt);
  invalidateTransforms(cameras.empty() ? nullptr : cameras.front().get());
}

void Scene::onDeviceLost() {
  if (font) font->OnLostDevice();
  m_screenQuadDeclaration.release();
  for (auto* list : {&objects, &lights, &cameras}) {
    for (auto& item : *list) item->onDeviceLost();
  }
}

void Scene::onDeviceReset() {
  if (font) font->OnResetDevice();
  for (auto* list : {&objects, &lights, &cameras}) {
    for (auto& item : *list) item->onDeviceReset();
  }
}

void Scene::ambientColorAt(double t, float out[4]) {
  for (int i = 0; i < 3; ++i) out[i] = ambientColor[i].evaluate(t);
  out[3] = 1.0f;
}

void Scene::prepare(LoadingProgressDisplay* display, double start, double span) {
  for (auto& light : lights) light->prepareOnce();
  const std::size_t n = objects.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (display) loadingProgress(*display, static_cast<float>(start + span * static_cast<double>(i) / n));
    objects[i]->prepareOnce();
  }
  if (backgroundImage && !backgroundImage->loaded) backgroundImage->load();
  measure();
  invalidateTransforms(nullptr);
}

void Scene::measure() {
  const double t0 = framesPerSecond != 0.0 ? firstFrame / framesPerSecond : 0.0;
  bool any = false;
  float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
  for (auto& object : objects) {
    SceneNode* mesh = object->firstMesh();
    if (!mesh) continue;
    Matrix4x3 world;
    object->worldMatrix(world, t0, true);
    Vector4 corners[8];
    mesh->transformBox(world, corners);
    for (const Vector4& c : corners) {
      const float p[3] = {c.x, c.y, c.z};
      for (int k = 0; k < 3; ++k) {
        if (!any || p[k] < lo[k]) lo[k] = p[k];
        if (!any || p[k] > hi[k]) hi[k] = p[k];
      }
      any = true;
    }
  }
  sceneSize = any ? std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                              (hi[2] - lo[2]) * (hi[2] - lo[2]))
                  : 0.0f;
}

LWOModel* Scene::getModel(File* file, const std::string& fileName) {
  if (!root) return nullptr;
  if (LWOModel* model = root->findModel(fileName)) return model;
  ModelLoaderFunction load = modelLoader();
  std::unique_ptr<LWOModel> model = load ? load(*this, file, fileName) : nullptr;
  if (!model) return nullptr;
  root->models.push_back(std::move(model));
  return root->models.back().get();
}

SurfaceRenderObject* Scene::getModelLayer(File* file, const std::string& fileName, unsigned layer) {
  LWOModel* model = getModel(file, fileName);
  if (model && layer < model->layers.size() && model->layers[layer]) {
    return model->layers[layer].get();
  }
  reportError("%d is not a valid layer number for %s!\n", static_cast<int>(layer), fileName.c_str());
  return nullptr;
}

SceneItem* Scene::findObjectByName(const std::string& objectName) {
  for (auto& object : objects) {
    if (object->name == objectName) return object.get();
  }
  return nullptr;
}

MixerActor* Scene::findActor(const std::string& actorName, int instance) const {
  int seen = 0;
  for (const auto& actor : actors) {
    if (actor->name != actorName) continue;
    if (seen == instance) return actor.get();
    ++seen;
  }
  return nullptr;
}
