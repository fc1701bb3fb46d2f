// Items the race adds to a loaded scene: physics objects from every layer
// of an object file, sensor rays, empty named objects, objects showing one
// layer, and cameras.
#include "render/surface.h"
#include "scene/camera_item.h"
#include "scene/lwo_model.h"
#include "scene/physics_object.h"
#include "scene/scene.h"

namespace {

std::int32_t nextIndex(const std::vector<std::unique_ptr<SceneItem>>& list) {
  return static_cast<std::int32_t>(list.size());
}

void setScaleValues(SceneItem& item, const float scale[3]) {
  for (int i = 0; i < 3; ++i) item.scale[i].value = scale[i];
}

}  // namespace

LWOModel* Scene::createPhysicsObject(File* file, const std::string& modelName, std::int32_t geomType,
                                     std::int32_t surfaceKind, std::int32_t spaceIndex, const float scale[3]) {
  LWOModel* model = getModel(file, modelName);
  if (!model) return nullptr;
  model->prepare(true);
  for (auto& layer : model->layers) {
    if (!layer) continue;
    auto object = std::make_unique<PhysicsObject>(this, nextIndex(objects));
    object->name = modelName;
    object->pivot = layer->pivot;
    // Placed at its layer's pivot, from where the layer's points were drawn.
    object->position[0].value = layer->pivot.x - object->position[0].value;
    object->position[1].value = layer->pivot.y - object->position[1].value;
    object->position[2].value = layer->pivot.z - object->position[2].value;
    object->geomType = geomType;
    object->surfaceKind = surfaceKind;
    object->spaceIndex = spaceIndex;
    setScaleValues(*object, scale);
    object->addMesh(layer.get(), 0.0f);
    object->prepareOnce();
    objects.push_back(std::move(object));
  }
  return model;
}

PhysicsObject* Scene::createRay(std::int32_t surfaceKind, std::int32_t spaceIndex, const float scale[3]) {
  auto ray = std::make_unique<PhysicsObject>(this, nextIndex(objects));
  ray->name = "ray";
  ray->geomType = kGeomRay;
  ray->surfaceKind = surfaceKind;
  ray->spaceIndex = spaceIndex;
  setScaleValues(*ray, scale);
  ray->prepareOnce();
  objects.push_back(std::move(ray));
  return static_cast<PhysicsObject*>(objects.back().get());
}

ObjectItem* Scene::createObject(const std::string& objectName) {
  auto object = std::make_unique<ObjectItem>(this, nextIndex(objects));
  object->name = objectName;
  objects.push_back(std::move(object));
  return static_cast<ObjectItem*>(objects.back().get());
}

ObjectItem* Scene::loadObject(File* file, const std::string& modelName, unsigned layer) {
  SurfaceRenderObject* mesh = getModelLayer(file, modelName, layer);
  if (!mesh) return nullptr;
  if (mesh->link) mesh->link->prepare(true);
  mesh->computeBounds(true);
  ObjectItem* object = createObject(modelName);
  object->addMesh(mesh, 0.0f);
  return object;
}

CameraItem* Scene::createCamera(bool makeCurrent) {
  cameras.push_back(std::make_unique<CameraItem>(this, nextIndex(cameras)));
  auto* camera = static_cast<CameraItem*>(cameras.back().get());
  if (makeCurrent) followed = camera;
  return camera;
}
