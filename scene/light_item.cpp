#include "scene/light_item.h"

#include <cmath>
#include <cstring>

#include "foundation/random.h"
#include "render/procedural_texture.h"
#include "render/render_pipeline.h"
#include "scene/item_math.h"
#include "scene/lens_flare.h"
#include "scene/object_item.h"
#include "scene/scene.h"
#include "scene/scene_node.h"
#include "scene/scene_root.h"

LightItem::LightItem(Scene* scene, std::int32_t id)
    : SceneItem(scene, ItemType::Light, id), flickerPeriod(engineRand() % 2 == 0 ? 40.0f / 23.0f : 30.0f / 23.0f) {
  nearClip = 0.01f;
}

LightItem::~LightItem() {
  if (flareSet) flareSet->releaseViews();
  flareSet.reset();
  spotTexture.reset();
}

void LightItem::onDeviceLost() {
  if (flareSet) flareSet->releaseViews();
  // Default-pool targets: the device resets only once they are gone.
  releaseShadowTargets();
}

void LightItem::onDeviceReset() {
  if (flareSet) flareSet->createViews();
  if (d3dLightReady) createShadowTargets();
}

void LightItem::createShadowTargets() {
  IDirect3DDevice9* device = renderer ? renderer->currentDevice : nullptr;
  if (shadowType != 2 || !device || renderer->fixedFunction || shadowMapSize <= 0) return;
  const auto size = static_cast<UINT>(shadowMapSize);
  device->CreateTexture(size, size, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                        shadowColourTexture.put(), nullptr);
  if (shadowColourTexture) shadowColourTexture->GetSurfaceLevel(0, shadowColourSurface.put());
  // The pipeline offers no depth-texture format: the depth of the map is
  // a plain depth-stencil surface.
  device->CreateDepthStencilSurface(size, size, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, 1, shadowDepthSurface.put(),
                                    nullptr);
}

void LightItem::releaseShadowTargets() {
  shadowColourSurface.reset();
  shadowDepthSurface.reset();
  shadowColourTexture.reset();
  shadowDepthTexture.reset();
}

void LightItem::computeAxisMatrix() {
  axisMatrix = axisBaseMatrix(axisMode);
  invertAffine(&inverseAxisMatrix, axisMatrix);
  axisValid = true;
}

void LightItem::worldMatrix(Matrix4x3& out, double t, bool withAxis) {
  if (!axisValid) computeAxisMatrix();
  framedWorldMatrix(out, t, withAxis ? &axisMatrix : nullptr);
}

void LightItem::inverseWorldMatrix(Matrix4x3& out, double t, bool withAxis) {
  if (!axisValid) computeAxisMatrix();
  framedInverseWorldMatrix(out, t, withAxis ? &inverseAxisMatrix : nullptr);
}

D3DVIEWPORT9* LightItem::getViewport() {
  const auto size = static_cast<DWORD>(shadowMapSize > 0 ? shadowMapSize : 0);
  viewport = {0, 0, size, size, 0.0f, 1.0f};
  return &viewport;
}

void LightItem::computeProjection(double t) {
  const float c = 1.0f / std::tan(coneAngle.evaluate(t));
  projection = {};
  projection[0] = 0.75f * c;
  projection[5] = c;
  projection[10] = 1.0f;
  projection[11] = 1.0f;
  projectionValid = true;
}

void LightItem::prepare() {
  d3dLight.Type = lightKind == kLightDistant ? D3DLIGHT_DIRECTIONAL
                  : lightKind == kLightSpot  ? D3DLIGHT_SPOT
                                             : D3DLIGHT_POINT;
  d3dLight.Diffuse = d3dLight.Specular = d3dLight.Ambient = {0, 0, 0, 1};
  d3dLight.Range = 1e19f;
  d3dLight.Falloff = 1.0f;
  d3dLight.Attenuation0 = 1.0f;
  d3dLight.Attenuation1 = d3dLight.Attenuation2 = 0.0f;
  d3dLightReady = true;
  if (flareEnabled && renderer) flareSet = std::make_unique<LensFlareSet>(renderer, this, scene);

  createShadowTargets();

  const float cone = coneAngle.evaluate(0.0), edge = edgeAngle.evaluate(0.0), power = intensity.evaluate(0.0);
  colourAt(0.0);
  if (renderer && lightKind == kLightSpot) {
    if (scene && scene->root && scene->root->pipeline == renderer) {
      spotTexture = scene->root->spotTexture(power, edge, cone);
    } else {
      auto spot = std::make_shared<ProceduralTexture>(renderer);
      spot->makeSpot(power, edge, cone);
      spotTexture = std::move(spot);
    }
    texProj = spotTexture.get();
  } else {
    spotTexture.reset();
    texProj = nullptr;
  }
  const float half = shadowMapSize > 0 ? 0.5f + 0.5f / static_cast<float>(shadowMapSize) : 0.5f;
  shadowTextureMatrix = {{0.5f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1, 0, half, half, shadowBias, 1}};
}

ColorRGBA LightItem::colourAt(double t) {
  if (lightKind == kLightPoint && renderer && renderer->lightFlicker() && flickerPeriod > 0.0f) {
    const double steps = std::trunc(t / flickerPeriod);
    const auto step = static_cast<std::int32_t>(std::fabs(steps) < 2e9 ? steps : 0.0);
    if (step != flickerStep) {
      flickerIndex = engineRand() & 7;
      flickerStep = step;
    }
    const std::uint32_t c = kFlickerPalette[flickerIndex & 7];
    return {static_cast<float>((c >> 16) & 0xFF) * 0.003921569f, static_cast<float>((c >> 8) & 0xFF) * 0.003921569f,
            static_cast<float>(c & 0xFF) * 0.003921569f, 1.0f};
  }
  return {red.evaluate(t), green.evaluate(t), blue.evaluate(t), 1.0f};
}

float LightItem::globalLevel(double t) { return scene ? scene->globalLightIntensity.evaluate(t) : 1.0f; }

bool LightItem::shines(double t) {
  if (renderer && !renderer->lighting()) return false;
  return !disabled && intensity.evaluate(t) > 1e-6f;
}

bool LightItem::update(double t) {
  if (!shines(t)) return false;
  evaluate(t);
  const float f = renderer && renderer->overbright() ? 2.0f : 1.0f;
  const ColorRGBA c = colourAt(t);
  const float k = intensity.evaluate(t) * f * globalLevel(t);
  const float r = c.r * k, g = c.g * k, b = c.b * k;
  d3dLight.Diffuse = noDiffuse ? D3DCOLORVALUE{0, 0, 0, 1} : D3DCOLORVALUE{r, g, b, 1};
  d3dLight.Specular = noSpecular ? D3DCOLORVALUE{0, 0, 0, 1} : D3DCOLORVALUE{r, g, b, 1};
  Matrix4x3 world;
  worldMatrix(world, t, true);
  d3dLight.Position = {world[12], world[13], world[14]};
  d3dLight.Direction = {world[8], world[9], world[10]};
  const float m = (r + g + b) / 3.0f;
  const float R = range.evaluate(t);
  switch (falloff) {
    case 0:
      d3dLight.Range = 1e19f;
      d3dLight.Attenuation0 = 1, d3dLight.Attenuation1 = 0, d3dLight.Attenuation2 = 0;
      break;
    case 1:
      d3dLight.Attenuation0 = 1, d3dLight.Attenuation1 = 0, d3dLight.Attenuation2 = 4.0f / (R * R);
      d3dLight.Range = std::sqrt(m) * R * (f == 2.0f ? 1.0f : 3.0f);
      break;
    case 2:
      d3dLight.Attenuation0 = 0, d3dLight.Attenuation1 = 1.0f / R, d3dLight.Attenuation2 = 0;
      d3dLight.Range = R * m * 36.0f;
      break;
    case 3:
      d3dLight.Attenuation0 = 0, d3dLight.Attenuation1 = 0, d3dLight.Attenuation2 = 1.0f / (R * R);
      d3dLight.Range = std::sqrt(m) * R * 6.0f;
      break;
    default:
      break;
  }
  const float cone = coneAngle.evaluate(t);
  d3dLight.Theta = 2.0f * (cone - edgeAngle.evaluate(t));
  d3dLight.Phi = 2.0f * cone;
  return true;
}

void LightItem::toObjectSpace(SceneItem& object, double t) {
  Matrix4x3 inverse;
  object.inverseWorldMatrix(inverse, t, true);
  const D3DVECTOR& p = d3dLight.Position;
  const D3DVECTOR& d = d3dLight.Direction;
  for (int k = 0; k < 3; ++k) {
    localPosition[k] = p.x * inverse[k] + p.y * inverse[4 + k] + p.z * inverse[8 + k] + inverse[12 + k];
    localDirection[k] = d.x * inverse[k] + d.y * inverse[4 + k] + d.z * inverse[8 + k];
  }
}

float LightItem::affects(SceneItem& object, SceneNode* node, double t) {
  affectsObject = false;
  if (!shines(t)) return 0.0f;
  if (auto* item = dynamic_cast<ObjectItem*>(&object)) {
    for (std::int32_t excluded : item->excludedLights) {
      if (excluded == id) return 0.0f;
    }
  }
  toObjectSpace(object, t);
  const float s = vectorLength(localDirection);
  if (!node || !node->hasBox || falloff == 0) {
    affectsObject = true;
    return s;
  }
  const float v[3] = {localPosition[0] - node->centre.x, localPosition[1] - node->centre.y,
                      localPosition[2] - node->centre.z};
  affectsObject = range.evaluate(t) * s * 10.0f >= vectorLength(v) - node->radius;
  return s;
}

float LightItem::strengthAt(SceneItem& object, SceneNode* node, double t) {
  toObjectSpace(object, t);
  const float I = intensity.evaluate(t);
  const float d = node ? node->distanceToSphere({localPosition[0], localPosition[1], localPosition[2]}) : 0.0f;
  switch (falloff) {
    case 1:
      return I * std::max(0.0f, 1.0f - d / range.evaluate(t));
    case 2:
      return I / d;
    case 3:
      return I / (d * d);
    default:
      return I;
  }
}

void LightItem::writeShaderConstants(int slot, double t) {
  if (slot < 0 || slot >= 8 || !renderer || !renderer->constantTable) return;
  ShaderConstantTable& table = *renderer->constantTable;
  const ColorRGBA c = colourAt(t);
  const float k = intensity.evaluate(t) * globalLevel(t);
  const float colour[3] = {c.r * k, c.g * k, c.b * k};
  Matrix4x3 world;
  worldMatrix(world, t, true);
  const Matrix4x3& view = table.view;
  float axis[3], position[3];
  for (int j = 0; j < 3; ++j) {
    axis[j] = -(world[8] * view[j] + world[9] * view[4 + j] + world[10] * view[8 + j]);
    position[j] = world[12] * view[j] + world[13] * view[4 + j] + world[14] * view[8 + j] + view[12 + j];
  }
  normalizeVector(axis);
  const float R = range.evaluate(t);
  float attenuation[3] = {1, 0, 0};
  std::int32_t flag = 0;
  if (falloff == 1) attenuation[0] = 1, attenuation[1] = -1.0f / R, flag = 1;
  if (falloff == 2) attenuation[0] = 0, attenuation[1] = 1.0f / R, flag = 2;
  if (falloff == 3) attenuation[0] = 0, attenuation[2] = 1.0f / (R * R), flag = 2;
  auto put = [slot](float* array, const float v[3]) { std::memcpy(array + 3 * slot, v, 3 * sizeof(float)); };
  ShaderFlagTable* flags = renderer->flagTable.get();
  if (lightKind == kLightDistant) {
    put(table.distantLightColor, colour);
    put(table.distantLightDir, axis);
  } else if (lightKind == kLightSpot) {
    put(table.spotLightColor, colour);
    put(table.spotLightPos, position);
    put(table.spotLightAttenuation, attenuation);
    put(table.spotLightDir, axis);
    const float cone = coneAngle.evaluate(t), inner = std::cos(cone - edgeAngle.evaluate(t));
    table.spotLightCosTheta[slot] = inner;
    table.spotLightCosThetaMinusCosPhi[slot] = inner - std::cos(cone);
    if (flags) flags->spotLightFalloffType[slot] = flag;
  } else {
    put(table.pointLightColor, colour);
    put(table.pointLightPos, position);
    put(table.pointLightAttenuation, attenuation);
    if (flags) flags->pointLightFalloffType[slot] = flag;
  }
}
