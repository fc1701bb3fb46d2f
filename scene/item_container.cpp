#include "scene/item_container.h"

#include "foundation/report.h"
#include "scene/scene.h"
#include "scene/scene_node.h"

ItemContainer::~ItemContainer() {
  // Items may refer to each other (parents, targets); each list goes in its
  // own order, cameras first, as the scene files create them.
  for (auto* list : {&cameras, &objects, &lights}) {
    for (auto& item : *list) item.reset();
    list->clear();
  }
}

int itemLayerKey(SceneItem& item) {
  SceneNode* mesh = item.firstMesh();
  return mesh ? mesh->index : -1;
}

SceneItem* ItemContainer::findItem(const std::string& name, int layer, int instance) {
  ENGINE_ASSERT(instance >= 1 && instance <= objectCount() && "object instance out of range");
  int count = 1;
  for (auto& object : objects) {
    if (object->name != name || itemLayerKey(*object) != layer) continue;
    if (count == instance) return object.get();
    ++count;
  }
  return nullptr;
}

SceneItem* ItemContainer::objectAt(int index) {
  if (index < 0 || index >= static_cast<int>(objects.size())) return nullptr;
  return objects[index].get();
}

int ItemContainer::countItems(const std::string& name, int layer) const {
  int count = 0;
  for (const auto& object : objects) {
    if (object->name == name && itemLayerKey(*object) == layer) ++count;
  }
  return count;
}

void ItemContainer::invalidateOwnItems() {
  for (auto* list : {&cameras, &objects, &lights}) {
    for (auto& item : *list) item->invalidate();
  }
}

void ItemContainer::invalidateTransforms(SceneItem* viewer) {
  invalidateOwnItems();
  if (!viewer) return;
  // A viewer from another container (a mirror camera, the camera rig) is
  // read by this scene's pass too, so its matrices and those of its own
  // items must not be stale either.
  viewer->invalidate();
  ItemContainer* home = viewer->scene;
  if (home && home != this) home->invalidateOwnItems();
}
