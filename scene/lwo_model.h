// A loaded object model: its layers as render nodes (one per layer, entries
// may be null) and the surfaces its polygons use. Made by the object loader,
// owned by the scene root, shared by every item built from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/device_owner.h"
#include "scene/surface_render_object.h"

class SceneRoot;
class Surface;

class LWOModel : public DeviceOwner {
 public:
  LWOModel(SceneRoot* root, std::string name) : root(root), name(std::move(name)) {}
  LWOModel(const LWOModel&) = delete;
  LWOModel& operator=(const LWOModel&) = delete;

  void onDeviceLost() override;
  void onDeviceReset() override;
  // With doIt, the first time: loads the texture of every image layer of
  // every surface. Afterwards the model counts as prepared either way.
  void prepare(bool doIt);

  SceneRoot* root;
  std::string name;
  std::vector<std::unique_ptr<SurfaceRenderObject>> layers;  // by layer number; entries may be null
  std::vector<Surface*> surfaces;                            // indexed by a polygon's surface index; the root owns them
  bool prepared = false;
};
