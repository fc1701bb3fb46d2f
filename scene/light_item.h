// A light of a scene. MINIMAL STAND-IN: only the fields the scene loader
// fills, with their defaults; the full class (light pass, shadow maps,
// flares) replaces this file.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/anim_channel.h"
#include "render/texture.h"
#include "scene/scene_item.h"

class LightItem : public SceneItem {
 public:
  LightItem(Scene* scene, std::int32_t id) : SceneItem(scene, ItemType::Light, id) {}

  std::int32_t lightKind = 0;  // 0 directional, 1 point, 2 spot
  AnimatedFloat red{0.0f}, green{0.0f}, blue{0.0f};
  AnimatedFloat intensity{0.0f};
  std::int32_t falloff = 0;
  AnimatedFloat range{1.0f};
  std::int32_t axisMode = 2;
  AnimatedFloat coneAngle{0.5235988f};  // radians
  AnimatedFloat edgeAngle{0.08726646f};
  bool noDiffuse = false;
  bool noSpecular = false;
  bool flareEnabled = false;
  std::int32_t flareFade = 0;
  std::uint32_t flareOptions = 0;
  float flareNominalDistance = 1.0f;
  AnimatedFloat flareIntensity{0.0f};
  AnimatedFloat flareRotationAngle{0.0f};
  std::unique_ptr<Texture> spotTexture;
  bool affectOpenGL = false;
  std::int32_t shadowType = 0;
  std::int32_t shadowMapSize = 1024;
  float shadowBias = -0.0001f;
};
