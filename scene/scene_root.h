// The engine root of one screen (the race, the menu): the scenes loaded
// into it and what they share by name (textures, surfaces, object models).
// It loads and prepares scenes and carries them through a device reset.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "render/device_owner.h"

class CameraCollider;
class File;
class LWOModel;
class RenderPipeline;
class Scene;
class Surface;
class Texture;
struct LoadingProgressDisplay;

class SceneRoot : public DeviceOwner {
 public:
  SceneRoot(RenderPipeline* pipeline, std::string name);
  SceneRoot(const SceneRoot&) = delete;
  SceneRoot& operator=(const SceneRoot&) = delete;
  // Unbinds every texture stage, then deletes the textures, surfaces,
  // models and scenes in that order.
  ~SceneRoot() override;

  // Creates a scene, runs the scene loader over 0 .. 0.7 of the progress,
  // adds the scene and prepares every scene without progress reports. The
  // scene is added whatever the loader returned.
  Scene* loadScene(LoadingProgressDisplay* display, File* file, const std::string& fileName);
  void addScene(std::unique_ptr<Scene> scene);
  // Loads the textures (0.7 .. 0.72), marks the models prepared and
  // prepares the scenes (0.72 .. 1.0).
  void prepareScenes(LoadingProgressDisplay* display);

  // First texture of that name; ORs `optionBits` without bits 0 and 1
  // (a lookup never asks for format conversion or a mip chain) into its flags.
  Texture* findTexture(const std::string& textureName, std::uint32_t optionBits);
  // The texture of that name, made from `file` on a miss: full size, any
  // size the device allows, loaded and preloaded on every device.
  Texture* getTexture(File* file, const std::string& textureName);
  // The projected cone of spot lights with this power, edge and cone
  // (radians), made once and shared by every light of the root that asks
  // for the same three values while one of them holds it.
  std::shared_ptr<Texture> spotTexture(float power, float edgeAngle, float coneAngle);
  Surface* findSurface(const std::string& surfaceName) const;
  LWOModel* findModel(const std::string& modelName) const;

  // Before a reset: every scene, texture and model layer.
  void onDeviceLost() override;
  // After a reset: the default render, sampler and texture-stage states,
  // then every scene, texture and model layer.
  void onDeviceReset() override;

  RenderPipeline* pipeline;
  std::string name;
  std::vector<std::unique_ptr<Scene>> scenes;
  std::vector<std::unique_ptr<Texture>> textures;
  std::vector<std::unique_ptr<Surface>> surfaces;
  std::vector<std::unique_ptr<LWOModel>> models;
  CameraCollider* cameraCollider = nullptr;  // the game's; not owned

 private:
  // Keyed by the values' bit patterns, so that a NaN finds only itself.
  std::map<std::array<std::uint32_t, 3>, std::weak_ptr<Texture>> m_spotTextures;
};

// Fills a scene from a LightWave scene file. Set by the scene loader when it
// is linked in; until then loadScene leaves the scene empty.
using SceneLoaderFunction = bool (*)(Scene& scene, LoadingProgressDisplay* display, File* file,
                                     const std::string& fileName, double progressStart, double progressSpan);
void setSceneLoader(SceneLoaderFunction loader);

// Loads an object file into a model of the scene's root (not yet added to
// it); null after a report when the file is no object of ours. Set by the
// object loader when it is linked in.
using ModelLoaderFunction = std::unique_ptr<LWOModel> (*)(Scene& scene, File* file, const std::string& fileName);
void setModelLoader(ModelLoaderFunction loader);
ModelLoaderFunction modelLoader();
