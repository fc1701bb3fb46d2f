// A light of the scene: placed and animated like any item, with a colour,
// intensity, falloff range, spot cone, optional flicker and lens flares, and
// the projected spot texture the fixed-function pass lays over surfaces. It
// carries the Direct3D light record the scene's light pass hands over.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/anim_channel.h"
#include "foundation/color_rgba.h"
#include "platform/graphics/d3d9.h"
#include "render/surface.h"
#include "scene/scene_item.h"

class LensFlareSet;
class SceneNode;
class Texture;

enum LightKind : std::int32_t {
  kLightDistant = 0,
  kLightPoint = 1,  // also any kind not listed here
  kLightSpot = 2,
};

class LightItem : public SceneItem, public SpotProjector {
 public:
  LightItem(Scene* scene, std::int32_t id);
  ~LightItem() override;

  void onDeviceLost() override;
  void onDeviceReset() override;
  bool isDirectional() const override { return lightKind == kLightDistant; }
  void worldMatrix(Matrix4x3& out, double t, bool withAxis) override;
  void inverseWorldMatrix(Matrix4x3& out, double t, bool withAxis) override;
  D3DVIEWPORT9* getViewport() override;
  // 0.75 c, c, 1 with w = z, c the cotangent of the cone angle.
  void computeProjection(double t) override;
  // Fills the light record, makes the flare set and the spot texture (and
  // the shadow targets outside fixed-function mode).
  void prepare() override;

  // The colour at t; a flickering point light steps through its palette
  // once per flicker period.
  ColorRGBA colourAt(double t);
  // Fills the light record for t; false when the light gives nothing now.
  bool update(double t);
  // Whether the light reaches the object (sets affectsObject); the result
  // is the length of the light's direction in object space.
  float affects(SceneItem& object, SceneNode* node, double t);
  // The light's strength at the object's bounding sphere.
  float strengthAt(SceneItem& object, SceneNode* node, double t);
  // Light slot `slot` (0 to 7) of the shader constants; others are ignored.
  void writeShaderConstants(int slot, double t);
  // The scene's global light level at t, 1 without a scene.
  float globalLevel(double t);

  D3DLIGHT9 d3dLight{};
  Matrix4x3 axisMatrix = g_identityMatrix;
  Matrix4x3 inverseAxisMatrix = g_identityMatrix;
  bool axisValid = false;
  bool d3dLightReady = false;
  bool affectsObject = false;
  bool disabled = false;
  std::int32_t lightKind = kLightDistant;
  AnimatedFloat red, green, blue;
  AnimatedFloat intensity;
  std::int32_t falloff = 0;
  AnimatedFloat range{1.0f};
  std::int32_t axisMode = 2;
  AnimatedFloat coneAngle{0.5235988f};
  AnimatedFloat edgeAngle{0.08726646f};
  bool noDiffuse = false;
  bool noSpecular = false;
  bool flareEnabled = false;
  std::int32_t flareFade = 0;
  std::uint32_t flareOptions = 0;
  float flareNominalDistance = 1.0f;
  AnimatedFloat flareIntensity;
  AnimatedFloat flareRotationAngle;
  std::unique_ptr<LensFlareSet> flareSet;
  // Spot lights only: the other kinds project nothing. Shared with the
  // root's other spot lights of the same cone, edge and power.
  std::shared_ptr<Texture> spotTexture;
  std::int32_t projectionImage = 0;
  bool affectOpenGL = false;
  std::int32_t shadowType = 0;
  std::int32_t shadowMapSize = 1024;
  float shadowBias = -0.0001f;
  ComPtr<IDirect3DTexture9> shadowColourTexture, shadowDepthTexture;
  ComPtr<IDirect3DSurface9> shadowColourSurface, shadowDepthSurface;
  Matrix4x3 shadowTextureMatrix = g_identityMatrix;
  float flickerPeriod;
  std::int32_t flickerIndex = 0;
  std::int32_t flickerStep = 0;
  float localPosition[3] = {0, 0, 0};
  float localDirection[3] = {0, 0, 0};

 private:
  // The shadow map's colour and depth targets (shadow maps outside
  // fixed-function mode only), in the default pool.
  void createShadowTargets();
  void releaseShadowTargets();
  void computeAxisMatrix();
  // localPosition and localDirection for this object.
  void toObjectSpace(SceneItem& object, double t);
  bool shines(double t);
};

inline constexpr std::uint32_t kFlickerPalette[8] = {0xFFFFFF, 0x40FFFF, 0x00FF00, 0x0000FF,
                                                     0x00FFFF, 0xFF4040, 0x00FFFF, 0xFFFF00};
