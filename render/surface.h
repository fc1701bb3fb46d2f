// The engine's LightWave-style surface: the shading description polygons
// refer to by name, shared through the scene root. The render side reads its
// colour, transparency and texture layers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/anim_channel.h"
#include "foundation/color_rgba.h"
#include "platform/graphics/d3d9.h"
#include "render/texture_layer.h"

class SceneRoot;
class Scene;
class Texture;

// What the render passes need of the spot light whose projected texture
// falls on a surface; the scene's light items provide it.
class SpotProjector {
 public:
  virtual ~SpotProjector() = default;
  Texture* texProj = nullptr;  // not owned
  // The depth texture of the light's shadow map on the current device, for
  // the shader passes' shadow samplers; not owned.
  IDirect3DBaseTexture9* shadowDepth = nullptr;
};

class Surface {
 public:
  Surface(SceneRoot* root, std::string name);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  ColorRGBA getColorAt(double t);
  bool isTransparentAt(double t);
  // The n-th (from 1) enabled image layer on `channel` with a texture.
  TextureLayer* findTextureLayer(std::uint32_t channel, int n) const;
  // Takes ownership; layers that cannot be used are deleted at once.
  void addTextureLayer(std::unique_ptr<TextureLayer> layer);
  SpotProjector* spotLight() const { return spotProjector; }

  AnimatedFloat transparency;
  SceneRoot* root;
  std::string name;
  std::string sourceName;
  Scene* reflectionScene = nullptr;
  SpotProjector* spotProjector = nullptr;  // set by the render side
  AnimatedFloat red{200.0f / 255.0f}, green{200.0f / 255.0f}, blue{200.0f / 255.0f};
  float colorFactor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  AnimatedFloat luminosity;
  AnimatedFloat diffuse{1.0f};
  AnimatedFloat specularity;
  AnimatedFloat glossiness{0.4f};
  AnimatedFloat additiveTransparency;
  AnimatedFloat reflection;
  AnimatedFloat refractiveIndex;
  AnimatedFloat colorHighlights;
  AnimatedFloat bump{1.0f};
  bool doubleSided = false;
  std::int32_t backSurfaceIndex = -1;
  bool smoothing = false;
  float smoothingCosine;
  std::int32_t blended = 0;
  std::int32_t reflectionOptions = 1;
  Texture* reflectionImage = nullptr;  // not owned
  // Device objects filled by the render side (the first is the cube map of
  // the shader passes); released with the surface.
  ComPtr<IDirect3DBaseTexture9> deviceObjects[2];
  bool loaded = false;
  bool transparent = false;  // a layer or parameter makes it see-through
  bool defined = false;      // its object file's definition has been read
  std::vector<std::unique_ptr<TextureLayer>> imageLayers;
  std::vector<std::unique_ptr<TextureLayer>> vertexColorLayers;
};

// "SMAN": smoothing above 2 degrees, with its threshold cosine.
void setSmoothingAngle(Surface& surface, float radians);
