// One loaded scene: its items, timing and global lighting, fog and
// backdrop, particle effects, motion-mixer actors, and its physics world.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/anim_channel.h"
#include "foundation/channel_group.h"
#include "platform/graphics/d3d9.h"
#include "platform/graphics/d3dx.h"
#include "scene/item_container.h"
#include "scene/physics_world.h"
#include "scene/vertex_declaration_cache.h"

class CameraItem;
class CullingPlaneObject;
class LightItem;
class File;
class LWOModel;
class ObjectItem;
class PhysicsObject;
class FXEmitter;
class FXPlugin;
class SceneRoot;
class SurfaceRenderObject;
class Texture;
struct LoadingProgressDisplay;

// One object of a pass's draw list: drawn in ascending key order, the
// far-first group (flagA set, key = -far depth) after the near-first one.
struct DrawRecord {
  SceneItem* object;
  float key;
  std::uint8_t flagA;
};

// What the object drawing is rendering into: 0 the view, 1 a shadow map in
// the secondary target format, 2 a colour-encoded shadow map.
extern int g_shadowPassMode;

// The lights the last light pass gave the device, by device index (null
// where a scene has gone since).
std::vector<LightItem*>& deviceLightList();

class Scene : public ItemContainer {
 public:
  explicit Scene(SceneRoot* root);
  ~Scene() override;

  Scene* asScene() override { return this; }
  const std::string& getName() const { return name; }

  void onDeviceLost() override;
  void onDeviceReset() override;

  // The model of that file from the root, loaded and added on first use;
  // null when it cannot be loaded (a later call tries again).
  LWOModel* getModel(File* file, const std::string& fileName);
  // Layer `layer` (from 0) of that model; null with a report when the model
  // has no such layer.
  SurfaceRenderObject* getModelLayer(File* file, const std::string& fileName, unsigned layer);
  // Items added to a loaded scene. A physics object per non-empty layer of
  // the model, each at its layer's pivot, all named by the model file;
  // returns the model (null when it cannot be had: nothing is made).
  LWOModel* createPhysicsObject(File* file, const std::string& modelName, std::int32_t geomType,
                                std::int32_t surfaceKind, std::int32_t spaceIndex, const float scale[3]);
  // A ray named "ray"; its user aims it.
  PhysicsObject* createRay(std::int32_t surfaceKind, std::int32_t spaceIndex, const float scale[3]);
  ObjectItem* createObject(const std::string& objectName);
  // An object showing one layer (from 0) of the model; null when there is
  // no such layer. Objects of one model share its render objects.
  ObjectItem* loadObject(File* file, const std::string& modelName, unsigned layer);
  CameraItem* createCamera(bool makeCurrent);
  // The instance-th (from 0) motion-mixer actor named exactly `actorName`.
  MixerActor* findActor(const std::string& actorName, int instance) const;
  // The first object whose name is exactly `objectName`.
  SceneItem* findObjectByName(const std::string& objectName);

  // RGBA of the ambient colour channels at t, alpha 1.
  void ambientColorAt(double t, float out[4]);
  // Prepares the lights, then the objects (reporting start + span * i / n
  // before object i when a display is given), loads the background image,
  // measures the scene and invalidates every cached matrix. Items already
  // prepared are left as they are.
  void prepare(LoadingProgressDisplay* display, double start, double span);

  // The world's ODE bodies, joints, collision spaces and contact tables.
  PhysicsWorld& physics() { return m_physics; }
  const PhysicsWorld& physics() const { return m_physics; }
  // The world's step and the invalidation of every cached item matrix.
  void physicsStep(double dt);
  // One frame of the scene into its render target (or the back buffer) at
  // t, shifted or frozen by the scene's time offset, seen from the camera
  // follower's item, else the followed camera (the first light in the
  // light-view mode); places the sound listener there.
  void render(double t, bool clear);
  // Fog, lights, shadow maps, objects, flares and (at the top level)
  // effects for one viewer; re-entered by mirrors. A null viewer draws
  // nothing.
  void renderPass(double t, SceneItem* viewer);
  // Linear fog only (mode 3) and only while the pipeline's fog switch is on.
  void setupFog();
  // The lights that shine now on device indices 0.., the rest switched off.
  void setupLights(double t);
  void renderShadowMaps(double t);
  // Culls, sorts and draws the objects; fills the occluders at the top level.
  void drawObjects(SceneItem* viewer, std::vector<CullingPlaneObject*>& occluders, double t);
  virtual void drawRecords(double t, SceneItem* viewer, const std::vector<DrawRecord>& records);
  // Switches on the eight strongest lights that reach the object.
  void selectLights(SceneItem* viewer, SceneItem& object, double t);
  // Makes this scene the reflection of the object's mirror surfaces.
  void tagMeshes(SceneItem& object, double t);
  void drawFlares(SceneItem* viewer, const std::vector<CullingPlaneObject*>& occluders, double t);
  // The particle effects: advanced by the time since the last update (none
  // the first time), then drawn.
  void updateEffects(SceneItem* viewer, double t);
  // Advances the effects by dt when dt is not 0, then draws them.
  virtual void runEffects(SceneItem* viewer, double t, double dt);
  void drawShadowMapView(IDirect3DTexture9* texture);

  // The scene's text font (12 pixels, antialiased); null when it could not
  // be made.
  ComPtr<ID3DXFont> font;
  double timeOffset = 0.0;
  bool timeFrozen = false;
  std::string name;
  // What render draws into instead of the back buffer, and the depth-stencil
  // surface it draws with there (null: the device's current one). Not owned.
  IDirect3DSurface9* renderTarget = nullptr;
  IDirect3DSurface9* renderTargetDepth = nullptr;
  std::unique_ptr<Texture> backgroundImage;
  float backdropColor[4] = {0, 0, 0, 0};
  SceneRoot* root;
  // Diagonal of the box around every object mesh at the first frame; 0 when
  // the scene has no meshes.
  float sceneSize = 1.0f;
  double previewFirstFrame = 0.0, previewLastFrame = 0.0;
  double firstFrame = 0.0;
  double lastFrame = 0.0;
  double framesPerSecond = 30.0;
  std::vector<SceneItem*> cullingPlanes;  // also in `objects`
  // The motion mixer's actors and motions; actors list motions, motions
  // drive channel groups the items own.
  std::vector<std::unique_ptr<MixerMotion>> motions;
  std::vector<std::unique_ptr<MixerActor>> actors;
  SceneItem* cameraTarget = nullptr;
  double lastEffectsTime = -1.0;  // negative: effects never updated
  // Particle effects in the order they run (updateEffects); owned.
  std::vector<std::unique_ptr<FXEmitter>> emitters;
  std::vector<std::unique_ptr<FXPlugin>> forces;
  AnimatedFloat ambientColor[3] = {AnimatedFloat(1.0f), AnimatedFloat(1.0f), AnimatedFloat(1.0f)};
  AnimatedFloat ambientIntensity{0.25f};
  AnimatedFloat globalLightIntensity{1.0f};
  AnimatedFloat globalFlareIntensity{1.0f};
  std::int32_t fogMode = 0;  // D3DFOGMODE: 0 none, 3 linear, 1 exp, 2 exp squared
  float fogMinDistance = 0.0f;
  float fogMaxDistance = 0.0f;
  float fogColor[4] = {0, 0, 0, 1};
  bool backdropWithoutFog = false;
  std::int32_t gridNumber = 50;
  float gridSize = 1.0f;
  std::int32_t renderDepth = 0;  // nesting depth of the render pass

 private:
  void measure();

  // Goes after the destructor has let go of the items, which point into it.
  PhysicsWorld m_physics;
  // The background's and the shadow-map view's screen quad.
  VertexDeclarationCache m_screenQuadDeclaration;
};
