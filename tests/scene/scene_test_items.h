// Items and meshes for scene tests: an item that counts its preparations
// and may carry a unit-box mesh from a given model layer.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "scene/scene.h"
#include "scene/scene_node.h"

class TestMesh : public DebugNode {
 public:
  explicit TestMesh(int layer) : DebugNode(nullptr) {
    index = layer;
    computeBounds(false);
  }
  void draw(double, SceneItem*, SceneItem*) override {}
};

class TestItem : public SceneItem {
 public:
  TestItem(Scene* scene, const std::string& itemName, int layer = -1) : SceneItem(scene, ItemType::Object, 0) {
    name = itemName;
    if (layer >= 0) mesh = std::make_unique<TestMesh>(layer);
  }
  ~TestItem() override {
    if (onDestroy) onDestroy();
  }
  const float* projectionForDepthRange(double, float, float) override { return projection.m; }
  bool isPointOutsideClip(const float*) const override { return false; }
  bool isBoxOutsideClip(const float (*)[4]) const override { return false; }
  void computeProjection(double) override {}
  void prepare() override { ++prepareCount; }
  SceneNode* firstMesh() override { return mesh.get(); }

  std::unique_ptr<TestMesh> mesh;
  int prepareCount = 0;
  std::function<void()> onDestroy;
};

inline TestItem* addObject(Scene& scene, const std::string& name, int layer = -1) {
  scene.objects.push_back(std::make_unique<TestItem>(&scene, name, layer));
  return static_cast<TestItem*>(scene.objects.back().get());
}
