// A placed, animated object drawn through one of its meshes chosen by
// distance, optionally with an attached 3D sound and a particle renderer.
// The base of physics objects and joint objects.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/color_rgba.h"
#include "scene/scene_item.h"

class BoneItem;
class HyperVoxelSurface;
class SoundBuffer;
class SoundChannel;
class SurfaceRenderObject;

// The scene file's sound plug-in record of an object: which file it plays,
// and the decoded source its buffer was made from (kept for copies).
struct ObjectSoundSource {
  ObjectSoundSource();
  ~ObjectSoundSource();
  std::string fileName;
  std::unique_ptr<SoundChannel> channel;
};

class ObjectItem : public SceneItem {
 public:
  struct MeshEntry {
    SurfaceRenderObject* mesh;  // not owned: models own their layers
    float key;                  // from this camera distance on
  };

  ObjectItem(Scene* scene, std::int32_t id, ItemType type = ItemType::Object);
  // Stops the sound before it goes.
  ~ObjectItem() override;

  void onDeviceLost() override;
  void onDeviceReset() override;
  // Also starts a new frame on the first mesh (its bones' poses go stale).
  void invalidate() override;
  // Places the body where the channels say, prepares every mesh and tints
  // its surfaces with the object colour, and starts a looping sound muted.
  void prepare() override;
  SceneNode* firstMesh() override;
  // Sets the world transform and the bone palette, the per-object render
  // switches, then draws the mesh for the camera's distance.
  virtual void render(double t, SceneItem* camera);

  // Before the first entry whose key is not less than `key`.
  void addMesh(SurfaceRenderObject* mesh, float key);
  // The mesh for a camera distance, moved towards coarser meshes by the
  // pipeline's level-of-detail bias; null without meshes.
  SurfaceRenderObject* selectMesh(float distance) const;
  // Follows the listener: out of range (a x a x 0.5 against the distance,
  // a the Y scale) the sound stops, in range it plays at the item.
  void updateSound(SceneItem* listener, double t);
  // The bone's posed matrix at t, parents first; cached until the next
  // invalidate.
  const Matrix4x3& boneMatrixAt(BoneItem& bone, double t);
  void renderHighlighted(double t, SceneItem* camera);
  void drawBoundingBox();

  std::int32_t shadowOptions = 7;
  bool bumpDisplacement = false;
  ColorRGBA objectColor{1.0f, 1.0f, 1.0f, 1.0f};
  std::unique_ptr<HyperVoxelSurface> particleRenderer;
  float* objectMaterial = nullptr;  // three parameters set before each draw; not owned
  float objectMaterialValues[3] = {0, 0, 0};
  std::unique_ptr<SoundBuffer> sound;
  std::unique_ptr<ObjectSoundSource> soundSource;
  bool affectedByFog = false;
  bool alwaysSolid = false;
  std::vector<MeshEntry> meshes;             // ascending keys
  std::vector<std::int32_t> excludedLights;  // item ids of lights that do not reach it

 protected:
  // Scenery that nothing moves keeps its matrix through the scene's
  // invalidation.
  bool mayHoldPlacement() const override { return true; }

 private:
  // Sounds the game starts itself at events; updateSound leaves them alone.
  bool isEventSound() const;
};
