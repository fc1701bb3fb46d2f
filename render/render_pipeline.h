// The one renderer object: the shader tables, the devices with the current
// one, the render passes, the shader profiles, the screen targets, the
// pending resize request and the global render switches that scene code
// reads.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/engine_string.h"
#include "platform/graphics/d3d9.h"
#include "render/device_manager.h"
#include "render/render_device.h"
#include "render/shader_pass.h"
#include "render/shader_tables.h"

class SoundSystem;
class SoundDevice;

// Objects the pipeline owns whose classes live above the renderer (the
// camera follower); deleted through this.
class PipelineComponent {
 public:
  virtual ~PipelineComponent() = default;
};

// Indices of the switch bytes; the unnamed ones are read by scene and
// loader code.
enum PipelineSwitch : int {
  kSwitchLightFlicker = 1,
  kSwitchOverbright = 2,
  kSwitchLighting = 3,       // off: lights give nothing and reach nothing
  kSwitchLightView = 4,      // Scene::render looks through the first light
  kSwitchShadowMapView = 5,  // the first light's shadow map shown on screen
  kSwitchWireframe = 6,
  kSwitchBoundingBoxes = 7,
  kSwitchCameraCollision = 8,  // the camera follower asks the scene's collider
  kSwitchDebugGeometry = 9,
  kSwitchCullingPlanes = 10,  // culling planes are drawn as objects
  kSwitchFlares = 16,
  kSwitchFlatGrey = 18,
  kSwitchTexturesEnabled = 19,
  kSwitchReflectionMapsEnabled = 22,
  kSwitchFogEnabled = 23,
  kSwitchCount = 24,
};

class RenderPipeline {
 public:
  explicit RenderPipeline(DeviceManager& manager);
  ~RenderPipeline();
  RenderPipeline(const RenderPipeline&) = delete;
  RenderPipeline& operator=(const RenderPipeline&) = delete;

  // Stores the size for the next device reset; the later of two requests
  // before a frame wins.
  void requestResize(int width, int height, bool windowed);
  // True once per request, then false until the next one.
  bool takeResizeRequest();
  // Rebinds the back buffer (of head `eye` in dual-head stereo) after
  // drawing into textures.
  void restoreBackBuffer();
  void setViewport(int x, int y, int width, int height, float minZ, float maxZ);
  // The rectangle the next scene render draws into: kept as the view's
  // origin and the target's size, which Scene::render and the cameras read,
  // and set on the current device now with depths 0..1.
  void setViewArea(int x, int y, int width, int height);
  // The world transform on the current device, kept in the constant table
  // with its derived matrices marked stale.
  void setWorldMatrix(const Matrix4x3& world);
  // The same for the view transform.
  void setViewMatrix(const Matrix4x3& view);
  // The gamma ramp on every device.
  void setGamma(float gamma, float brightness, float contrast);

  bool& lightFlicker() { return switches[kSwitchLightFlicker]; }
  bool& overbright() { return switches[kSwitchOverbright]; }
  bool& wireframe() { return switches[kSwitchWireframe]; }
  bool& boundingBoxes() { return switches[kSwitchBoundingBoxes]; }
  bool& debugGeometry() { return switches[kSwitchDebugGeometry]; }
  bool& flatGrey() { return switches[kSwitchFlatGrey]; }
  bool& texturesEnabled() { return switches[kSwitchTexturesEnabled]; }
  bool& reflectionMapsEnabled() { return switches[kSwitchReflectionMapsEnabled]; }
  bool& fogEnabled() { return switches[kSwitchFogEnabled]; }
  bool& lighting() { return switches[kSwitchLighting]; }
  bool& lightView() { return switches[kSwitchLightView]; }
  bool& shadowMapView() { return switches[kSwitchShadowMapView]; }
  bool& cameraCollision() { return switches[kSwitchCameraCollision]; }
  bool& cullingPlanesShown() { return switches[kSwitchCullingPlanes]; }
  bool& flares() { return switches[kSwitchFlares]; }

  std::unique_ptr<ShaderFlagTable> flagTable;
  std::unique_ptr<ShaderConstantTable> constantTable;
  int deviceCount = 0;
  std::vector<IDirect3DDevice9*> devices;  // not owned
  int currentDeviceIndex = 0;
  IDirect3DDevice9* currentDevice = nullptr;
  AdapterInfo* adapterInfo = nullptr;
  D3DFORMAT renderTargetFormat = 0;
  D3DFORMAT secondaryTargetFormat = 0;
  bool depthStencilUsable = false;
  bool stencilAvailable = false;
  D3DCAPS9 caps{};
  D3DCAPS9 effectiveCaps{};
  bool hardwareTnL = false;
  bool hardwareVertexShaders = false;
  bool hardwarePixelShaders = false;
  bool flagsAsConstants = false;
  EngineString vertexProfile;
  EngineString pixelProfile;
  EngineString textureProfile;
  int requestedWidth = 0, requestedHeight = 0;
  bool requestedWindowed = false;
  // 0 full size; a negative n shrinks file textures by a right shift of -n.
  int textureDetail = 0;
  // Added to the level-of-detail choice of object meshes: each step selects
  // one coarser mesh.
  int modelLodBias = 0;
  int targetWidth = 512, targetHeight = 512;  // of the render target bound now
  int viewportX = 0, viewportY = 0;           // of the view being drawn
  float cylindricalAngle = 0.0f;              // degrees
  float horizontalFov = 0.0f;                 // degrees; set by the constructor
  float verticalFov = 0.0f;
  // Cameras write zoom x 31.25 into focalValue and scale their projection
  // by focalValue / focalDivisor.
  float focalValue = 100.0f, focalDivisor = 100.0f;
  int primitiveCount = 0;
  int drawCallCount = 0;
  bool switches[kSwitchCount] = {false, false, false, true,  false, false, false, false, false, false, false, false,
                                 false, false, false, false, true,  true,  false, true,  true,  true,  true,  true};
  int eye = -1;
  int stereoMode = kStereoNone;
  // Stereo: a camera's eye separation times eyeSeparationScale skews each
  // eye's projection; times eyeShiftScale as well, it moves each eye aside.
  float eyeSeparationScale = 1.0f, eyeShiftScale = 4.0f;
  // The near plane the last camera projection fitted to the scene.
  float fittedNear = 0.0f;
  std::uint32_t colorWriteMask = 15;
  std::uint32_t cullMode = D3DCULL_CCW;
  // Set by the scene passes while they draw what must not blend (shadow
  // maps); the shader passes then keep alpha blending off.
  bool alphaBlendingOff = false;
  // The entry point owns and deletes the sound system; the pipeline only
  // carries it and the open device for the scene render.
  SoundSystem* soundSystem = nullptr;
  SoundDevice* soundDevice = nullptr;
  std::unique_ptr<ScreenTarget> screenTarget0, screenTarget1;
  std::unique_ptr<ShaderPass> mainPass;
  std::unique_ptr<ShaderPass> basePass;
  std::unique_ptr<ShaderPass> additivePass;
  std::unique_ptr<ShaderPass> overlayPass;
  // Made once the camera follower exists (scene side); null until then.
  std::unique_ptr<PipelineComponent> cameraController;
  bool fixedFunction = true;
  bool resizePending = false;
};

// The requests for the render-to-texture formats: a colour target with at
// least 5 bits per colour channel (8 with alpha wanted), and a one-channel
// float target for depth-like data.
FormatRequest renderTargetRequest();
FormatRequest secondaryTargetRequest();
