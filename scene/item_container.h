// The three owned item lists of a scene (cameras, objects, lights) and the
// walks and searches over them. The camera controller is a container too.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/device_owner.h"
#include "scene/scene_item.h"

class RenderPipeline;
class Scene;

class ItemContainer : public DeviceOwner {
 public:
  explicit ItemContainer(RenderPipeline* pipeline) : pipeline(pipeline) {}
  ItemContainer(const ItemContainer&) = delete;
  ItemContainer& operator=(const ItemContainer&) = delete;
  // Deletes the cameras, then the objects, then the lights.
  ~ItemContainer() override;

  virtual Scene* asScene() { return nullptr; }
  virtual int objectCount() const { return static_cast<int>(objects.size()); }
  // The instance-th (from 1) object named `name` whose first mesh came from
  // model layer `layer`; layer -1 matches objects without a mesh. An
  // instance outside 1..objectCount() is reported and the search goes on.
  virtual SceneItem* findItem(const std::string& name, int layer, int instance);
  // The object at `index`, or null outside the list.
  virtual SceneItem* objectAt(int index);

  // How many objects findItem could return for this name and layer.
  int countItems(const std::string& name, int layer) const;
  // Clears the cached matrices of every item, and of the viewer (and its
  // own container's items) when it belongs elsewhere.
  void invalidateTransforms(SceneItem* viewer);

  RenderPipeline* pipeline;
  bool enabled = false;
  SceneItem* followed = nullptr;  // the camera a scene renders from
  float soundVolume = 1.0f;       // scales the attached sounds of the objects
  std::vector<std::unique_ptr<SceneItem>> cameras;
  std::vector<std::unique_ptr<SceneItem>> objects;
  std::vector<std::unique_ptr<SceneItem>> lights;

 protected:
  void invalidateOwnItems();
};

// The model layer an object's first mesh came from; -1 without a mesh.
int itemLayerKey(SceneItem& item);
