#include "scene/scene_root.h"

#include <bit>

#include "render/file_texture.h"
#include "render/procedural_texture.h"
#include "render/render_pipeline.h"
#include "render/surface.h"
#include "render/texture_layer.h"
#include "scene/loading_progress.h"
#include "scene/lwo_model.h"
#include "scene/scene.h"

namespace {

SceneLoaderFunction g_sceneLoader = nullptr;
ModelLoaderFunction g_modelLoader = nullptr;

// Options of textures asked for by name: no conversion or mip chain of the
// file texture's own, any size the device takes, never shrunk by detail.
constexpr std::uint32_t kSharedTextureFlags = kTextureAllowNonPow2 | kTextureFullSize;

}  // namespace

void setSceneLoader(SceneLoaderFunction loader) { g_sceneLoader = loader; }
void setModelLoader(ModelLoaderFunction loader) { g_modelLoader = loader; }
ModelLoaderFunction modelLoader() { return g_modelLoader; }

SceneRoot::SceneRoot(RenderPipeline* pipeline, std::string name) : pipeline(pipeline), name(std::move(name)) {}

SceneRoot::~SceneRoot() {
  // Nothing may stay bound to a stage once its texture is gone.
  if (pipeline && pipeline->currentDevice) {
    for (DWORD stage = 0; stage < pipeline->caps.MaxSimultaneousTextures; ++stage) {
      pipeline->currentDevice->SetTexture(stage, nullptr);
    }
  }
  textures.clear();
  surfaces.clear();
  models.clear();
  scenes.clear();
}

Scene* SceneRoot::loadScene(LoadingProgressDisplay* display, File* file, const std::string& fileName) {
  auto scene = std::make_unique<Scene>(this);
  if (g_sceneLoader) g_sceneLoader(*scene, display, file, fileName, 0.0, 0.7);
  Scene* result = scene.get();
  addScene(std::move(scene));
  prepareScenes(nullptr);
  return result;
}

void SceneRoot::addScene(std::unique_ptr<Scene> scene) {
  scene->root = this;
  scenes.push_back(std::move(scene));
}

void SceneRoot::prepareScenes(LoadingProgressDisplay* display) {
  const std::size_t textureCount = textures.size();
  for (std::size_t i = 0; i < textureCount; ++i) {
    if (display) loadingProgress(*display, static_cast<float>(0.7 + 0.02 * static_cast<double>(i) / textureCount));
    Texture& texture = *textures[i];
    if (!texture.loaded) texture.load();
    texture.preload();
  }
  for (auto& model : models) model->prepared = true;
  const std::size_t sceneCount = scenes.size();
  for (std::size_t i = 0; i < sceneCount; ++i) {
    scenes[i]->prepare(display, 0.72 + 0.28 * static_cast<double>(i) / sceneCount, 0.28 / sceneCount);
  }
  if (display) loadingProgress(*display, 1.0f);
}

Texture* SceneRoot::findTexture(const std::string& textureName, std::uint32_t optionBits) {
  for (auto& texture : textures) {
    if (texture->name != textureName) continue;
    texture->flags |= optionBits & ~std::uint32_t{kTextureConvertFormat | kTextureMipChain};
    return texture.get();
  }
  return nullptr;
}

Texture* SceneRoot::getTexture(File* file, const std::string& textureName) {
  if (Texture* found = findTexture(textureName, 0)) return found;
  auto texture = std::make_unique<FileTexture>(pipeline);
  texture->setFlags(kSharedTextureFlags);
  texture->open(file, textureName.c_str(), true);
  // A source that cannot be opened still names the texture, so asking again
  // finds this one instead of making another.
  texture->name = textureName;
  texture->load();
  texture->preload();
  textures.push_back(std::move(texture));
  return textures.back().get();
}

std::shared_ptr<Texture> SceneRoot::spotTexture(float power, float edgeAngle, float coneAngle) {
  const std::array<std::uint32_t, 3> key = {std::bit_cast<std::uint32_t>(power),
                                            std::bit_cast<std::uint32_t>(edgeAngle),
                                            std::bit_cast<std::uint32_t>(coneAngle)};
  std::weak_ptr<Texture>& cached = m_spotTextures[key];
  if (std::shared_ptr<Texture> shared = cached.lock()) return shared;
  auto spot = std::make_shared<ProceduralTexture>(pipeline);
  spot->makeSpot(power, edgeAngle, coneAngle);
  cached = spot;
  return spot;
}

Surface* SceneRoot::findSurface(const std::string& surfaceName) const {
  for (const auto& surface : surfaces) {
    if (surface->name == surfaceName) return surface.get();
  }
  return nullptr;
}

LWOModel* SceneRoot::findModel(const std::string& modelName) const {
  for (const auto& model : models) {
    if (model->name == modelName) return model.get();
  }
  return nullptr;
}

void SceneRoot::onDeviceLost() {
  for (auto& scene : scenes) scene->onDeviceLost();
  for (auto& texture : textures) texture->onDeviceLost();
  for (auto& model : models) model->onDeviceLost();
}

void SceneRoot::onDeviceReset() {
  if (IDirect3DDevice9* device = pipeline ? pipeline->currentDevice : nullptr) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ZENABLE, 1);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
    device->SetRenderState(D3DRS_CLIPPING, 1);
    device->SetRenderState(D3DRS_COLORVERTEX, 1);
    // Every lighting colour from the material.
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    device->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
    device->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
    device->SetRenderState(D3DRS_NORMALIZENORMALS, 1);
    for (DWORD stage = 0; stage < pipeline->caps.MaxTextureBlendStages; ++stage) {
      device->SetSamplerState(stage, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
      device->SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
      device->SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
      device->SetSamplerState(stage, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
      device->SetSamplerState(stage, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
      device->SetSamplerState(stage, D3DSAMP_ADDRESSW, D3DTADDRESS_WRAP);
      device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
      device->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
      device->SetTextureStageState(stage, D3DTSS_RESULTARG, D3DTA_CURRENT);
    }
  }
  for (auto& scene : scenes) scene->onDeviceReset();
  for (auto& texture : textures) texture->onDeviceReset();
  for (auto& model : models) model->onDeviceReset();
}

void LWOModel::onDeviceLost() {
  for (auto& layer : layers) {
    if (layer) layer->onDeviceLost();
  }
}

void LWOModel::onDeviceReset() {
  for (auto& layer : layers) {
    if (layer) layer->onDeviceReset();
  }
}

void LWOModel::prepare(bool doIt) {
  if (doIt && !prepared) {
    for (Surface* surface : surfaces) {
      if (!surface) continue;
      for (auto& layer : surface->imageLayers) {
        if (layer->texture && !layer->texture->loaded) layer->texture->load();
      }
    }
  }
  prepared = true;
}
