// Items and meshes for scene tests: an item that counts its preparations
// and may carry a unit-box mesh from a given model layer.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "scene/scene_node.h"
#include "sound/sound_buffer.h"

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

// Notes what an item asks of its sound.
class NotingSound : public SoundBuffer {
 public:
  bool play(bool loop) override {
    plays.push_back(loop);
    return m_playing = true;
  }
  bool setLoop(bool) override { return true; }
  bool setFrequency(std::uint32_t) override { return true; }
  bool stop() override {
    m_playing = false;
    return true;
  }
  double getPosition() override { return 0; }
  bool setVolume(float v) override {
    volume = v;
    return true;
  }
  bool setPosition(double) override { return true; }
  int getPlayCursor() override { return 0; }
  float volume = -1.0f;
  std::vector<bool> plays;  // the loop flag of each play
};
