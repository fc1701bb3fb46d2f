// Drawing a scene for one frame: target, clear, background, listener, then
// the render pass with fog, lights, shadow maps, objects, flares and the
// particle effects.
#include <algorithm>
#include <cstring>
#include <optional>

#include "foundation/profiler.h"
#include "render/render_pipeline.h"
#include "render/texture.h"
#include "scene/camera_controller.h"
#include "scene/camera_item.h"
#include "scene/culling_plane.h"
#include "scene/lens_flare.h"
#include "scene/light_item.h"
#include "scene/particle_emitter.h"
#include "scene/scene.h"
#include "sound/sound_system.h"

int g_shadowPassMode = 0;

namespace {

DWORD packColour(const float c[4]) {
  auto byte = [](float v) { return static_cast<DWORD>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
  return byte(c[3]) << 24 | byte(c[0]) << 16 | byte(c[1]) << 8 | byte(c[2]);
}

DWORD floatBits(float f) {
  DWORD d;
  std::memcpy(&d, &f, sizeof d);
  return d;
}

void setView(RenderPipeline& pipeline, SceneItem& viewer, double t) {
  Matrix4x3 view;
  viewer.inverseWorldMatrix(view, t, true);
  if (pipeline.constantTable) {
    pipeline.constantTable->view = view;
    pipeline.constantTable->derivedValid = false;
  }
  D3DMATRIX d;
  std::memcpy(d.m, view.m, sizeof d.m);
  pipeline.currentDevice->SetTransform(D3DTS_VIEW, &d);
}

void placeListener(RenderPipeline& pipeline, SceneItem& item, double t) {
  if (!pipeline.soundDevice) return;
  Matrix4x3 w;
  item.worldMatrix(w, t, true);
  pipeline.soundDevice->setListener(w[12], w[13], w[14], w[8], w[9], w[10], w[4], w[5], w[6], 0, 0, 0);
}

// The texture on a width x height pixel square at the top-left corner:
// pre-transformed vertices, white diffuse, no blending.
void drawScreenQuad(IDirect3DDevice9* device, VertexDeclarationCache& declaration, IDirect3DBaseTexture9* texture,
                    float width, float height) {
  if (!texture) return;
  struct Vertex {
    float x, y, z, rhw;
    DWORD colour;
    float u, v;
  };
  static constexpr D3DVERTEXELEMENT9 kElements[] = {
      {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
      {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
      {0, 20, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
      D3DDECL_END(),
  };
  const Vertex quad[4] = {{0, 0, 0.5f, 0.5f, 0xFFFFFFFF, 0, 0},
                          {width, 0, 0.5f, 0.5f, 0xFFFFFFFF, 1, 0},
                          {width, height, 0.5f, 0.5f, 0xFFFFFFFF, 1, 1},
                          {0, height, 0.5f, 0.5f, 0xFFFFFFFF, 0, 1}};
  device->SetVertexDeclaration(declaration.get(device, kElements));
  device->SetTexture(0, texture);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
  device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(Vertex));
  device->SetTexture(0, nullptr);
}

// Target, depth and stencil, as far as the bound depth-stencil surface has
// them: Clear refuses the whole call for a part that is missing.
DWORD wholeClearFlags(IDirect3DDevice9* device) {
  ComPtr<IDirect3DSurface9> depth;
  D3DSURFACE_DESC desc{};
  if (FAILED(device->GetDepthStencilSurface(depth.put())) || FAILED(depth->GetDesc(&desc))) return D3DCLEAR_TARGET;
  const bool stencil = desc.Format == D3DFMT_D24S8 || desc.Format == D3DFMT_D24X4S4 || desc.Format == D3DFMT_D15S1 ||
                       desc.Format == D3DFMT_D24FS8;
  return D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | (stencil ? D3DCLEAR_STENCIL : 0);
}

// Render target 0 and the depth-stencil surface as they were, put back (and
// released) when this goes.
class SavedTargets {
 public:
  explicit SavedTargets(IDirect3DDevice9* device) : m_device(device) {
    device->GetRenderTarget(0, m_target.put());
    device->GetDepthStencilSurface(m_depth.put());  // none bound: stays null
  }
  ~SavedTargets() {
    if (m_target) m_device->SetRenderTarget(0, m_target.get());
    m_device->SetDepthStencilSurface(m_depth.get());
  }
  SavedTargets(const SavedTargets&) = delete;
  SavedTargets& operator=(const SavedTargets&) = delete;

 private:
  IDirect3DDevice9* m_device;
  ComPtr<IDirect3DSurface9> m_target, m_depth;
};

}  // namespace

// The lights given to the device by the last light pass, by device index.
std::vector<LightItem*>& deviceLightList() {
  static std::vector<LightItem*> lights;
  return lights;
}

void Scene::render(double t, bool clear) {
  if (!pipeline || !pipeline->currentDevice) return;
  RenderPipeline& p = *pipeline;
  IDirect3DDevice9* device = p.currentDevice;
  const double T = timeFrozen ? timeOffset : t - timeOffset;
  CameraController* controller = cameraControllerOf(pipeline);

  std::optional<SavedTargets> saved;
  const bool ownTarget = renderTarget && !(controller && controller->followed);
  if (ownTarget) {
    saved.emplace(device);
    device->SetRenderTarget(0, renderTarget);
    // Without a depth surface of its own the scene keeps the device's.
    if (renderTargetDepth) device->SetDepthStencilSurface(renderTargetDepth);
    const bool nonPow2 = (p.caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0;
    p.targetWidth = nonPow2 ? p.requestedWidth : 512;
    p.targetHeight = nonPow2 ? p.requestedHeight : 512;
  } else {
    const UINT swapChain = p.stereoMode == kStereoDualHead ? 1 : 0;
    ComPtr<IDirect3DSurface9> back;
    device->GetBackBuffer(swapChain, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    if (back) device->SetRenderTarget(0, back.get());
  }
  p.setViewport(p.viewportX, p.viewportY, p.targetWidth, p.targetHeight, 0.0f, 1.0f);
  if (clear) {
    ProfileScope timed(GameCounter::kClear);
    device->Clear(0, nullptr, wholeClearFlags(device), 0, 1.0f, 0);
  }
  if (backgroundImage) {
    // Laid over the whole target, filtered, untouched by depth and lights.
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    drawScreenQuad(device, m_screenQuadDeclaration, backgroundImage->getDeviceTexture(T),
                   static_cast<float>(p.targetWidth), static_cast<float>(p.targetHeight));
    device->SetRenderState(D3DRS_ZENABLE, 1);
  }
  if (p.soundDevice) p.soundDevice->setListenerFactors(1.0f, 0.0f, 1.0f);

  SceneItem* viewer = nullptr;
  if (p.lightView() && !lights.empty()) {
    viewer = lights.front().get();
  } else {
    viewer = controller && controller->followed ? controller->followed : followed;
  }
  renderPass(T, viewer);
  if (viewer) placeListener(p, *viewer, T);

  saved.reset();
  if (p.shadowMapView() && !lights.empty()) {
    drawShadowMapView(static_cast<LightItem*>(lights.front().get())->shadowColourTexture.get());
  }
}

void Scene::renderPass(double t, SceneItem* viewer) {
  if (!viewer || !pipeline || !pipeline->currentDevice) return;
  RenderPipeline& p = *pipeline;
  IDirect3DDevice9* device = p.currentDevice;
  ++renderDepth;
  invalidateTransforms(viewer);
  if (renderDepth == 1) {
    CameraController* controller = cameraControllerOf(pipeline);
    if (controller && controller->update(*this, t)) invalidateTransforms(viewer);
  }
  setupFog();
  if (renderDepth <= 10 && !p.fixedFunction) renderShadowMaps(t);
  device->SetRenderState(D3DRS_FILLMODE, p.wireframe() ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
  device->SetRenderState(D3DRS_ZENABLE, 1);
  device->SetRenderState(D3DRS_COLORWRITEENABLE, p.colorWriteMask);
  const DWORD localViewer = viewer->isDirectional() ? 0 : 1;
  if (p.fixedFunction) {
    device->SetRenderState(D3DRS_LOCALVIEWER, localViewer);
  } else if (p.flagTable) {
    *p.flagTable->isLocalViewer = static_cast<std::int32_t>(localViewer);
  }
  setView(p, *viewer, t);
  if (p.fixedFunction) {
    setupLights(t);
  } else {
    device->SetRenderState(D3DRS_LIGHTING, 0);
  }
  std::vector<CullingPlaneObject*> occluders;
  drawObjects(viewer, occluders, t);
  drawFlares(viewer, occluders, t);
  if (renderDepth == 1) updateEffects(viewer, t);
  --renderDepth;
}

void Scene::setupFog() {
  IDirect3DDevice9* device = pipeline->currentDevice;
  const bool on = fogMode == D3DFOG_LINEAR && pipeline->fogEnabled();
  if (pipeline->flagTable) *pipeline->flagTable->isFogEnabled = on ? 1 : 0;
  if (on) {
    device->SetRenderState(D3DRS_FOGTABLEMODE, static_cast<DWORD>(fogMode));
    device->SetRenderState(D3DRS_FOGCOLOR, packColour(fogColor));
    auto* own = dynamic_cast<CameraItem*>(followed);
    device->SetRenderState(D3DRS_FOGSTART, floatBits(own && own->fogStartSet ? own->fogStart : fogMinDistance));
    device->SetRenderState(D3DRS_FOGEND, floatBits(own && own->fogEndSet ? own->fogEnd : fogMaxDistance));
  }
  device->SetRenderState(D3DRS_FOGENABLE, on ? 1 : 0);
}

void Scene::setupLights(double t) {
  IDirect3DDevice9* device = pipeline->currentDevice;
  device->SetRenderState(D3DRS_LIGHTING, 1);
  float ambient[4];
  ambientColorAt(t, ambient);
  const float level = ambientIntensity.evaluate(t);
  for (int k = 0; k < 3; ++k) ambient[k] *= level;
  device->SetRenderState(D3DRS_AMBIENT, packColour(ambient));
  std::vector<LightItem*>& list = deviceLightList();
  std::size_t n = 0;
  for (auto& item : lights) {
    auto* light = dynamic_cast<LightItem*>(item.get());
    if (!light || !light->d3dLightReady || !light->update(t)) continue;
    device->SetLight(static_cast<DWORD>(n), &light->d3dLight);
    if (n < list.size()) {
      list[n] = light;
    } else {
      list.push_back(light);
    }
    ++n;
  }
  for (std::size_t i = n; i < list.size(); ++i) device->LightEnable(static_cast<DWORD>(i), 0);
  list.resize(n);
}

void Scene::renderShadowMaps(double t) {
  IDirect3DDevice9* device = pipeline->currentDevice;
  std::optional<SavedTargets> saved;  // at the first shadow map
  const std::uint32_t savedMask = pipeline->colorWriteMask;
  for (auto& item : lights) {
    auto* light = dynamic_cast<LightItem*>(item.get());
    if (!light || light->shadowType != 2 || !light->shadowColourSurface) continue;
    if (!saved) saved.emplace(device);
    ProfileScope timed(GameCounter::kRenderShadowMap);
    for (auto& other : lights) {
      if (auto* o = dynamic_cast<LightItem*>(other.get()); o && o != light) o->disabled = true;
    }
    device->SetRenderTarget(0, light->shadowColourSurface.get());
    if (light->shadowDepthSurface) device->SetDepthStencilSurface(light->shadowDepthSurface.get());
    if (pipeline->secondaryTargetFormat != 0) {
      const DWORD flags = D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL | (pipeline->shadowMapView() ? D3DCLEAR_TARGET : 0);
      {
        ProfileScope clearTimed(GameCounter::kClear);
        device->Clear(0, nullptr, flags, 0xFFFFFFFF, 1.0f, 0);
      }
      device->SetRenderState(D3DRS_LIGHTING, 0);
      device->SetRenderState(D3DRS_ZENABLE, 1);
      device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
      pipeline->colorWriteMask = pipeline->shadowMapView() ? 0xF : 0;
      device->SetRenderState(D3DRS_COLORWRITEENABLE, pipeline->colorWriteMask);
      g_shadowPassMode = 1;
    } else {
      {
        ProfileScope clearTimed(GameCounter::kClear);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFDFDFDFD, 1.0f, 0);
      }
      device->SetRenderState(D3DRS_LIGHTING, 0);
      device->SetRenderState(D3DRS_ZENABLE, 1);
      device->SetRenderState(D3DRS_COLORWRITEENABLE, pipeline->colorWriteMask);
      g_shadowPassMode = 2;
    }
    setView(*pipeline, *light, t);
    std::vector<CullingPlaneObject*> occluders;
    drawObjects(light, occluders, t);
    drawFlares(light, occluders, t);
    g_shadowPassMode = 0;
    pipeline->colorWriteMask = savedMask;
    for (auto& other : lights) {
      if (auto* o = dynamic_cast<LightItem*>(other.get()); o && o != light) o->disabled = false;
    }
  }
}

void Scene::drawFlares(SceneItem* viewer, const std::vector<CullingPlaneObject*>& occluders, double t) {
  if (renderDepth > 1 || !viewer) return;
  IDirect3DDevice9* device = pipeline->currentDevice;
  bool any = false;
  std::vector<LightItem*> flaring;
  for (auto& item : lights) {
    auto* light = dynamic_cast<LightItem*>(item.get());
    if (!light || !light->flareSet) continue;
    flaring.push_back(light);
    any = light->flareSet->update(renderDepth, *viewer, occluders, t) || any;
  }
  if (!any) return;
  DWORD lighting = 0;
  device->GetRenderState(D3DRS_LIGHTING, &lighting);
  pipeline->setWorldMatrix(g_identityMatrix);
  if (pipeline->flares()) {
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, pipeline->colorWriteMask);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TFACTOR);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    for (LightItem* light : flaring) light->flareSet->draw(renderDepth, *viewer, t);
  }
  // The query square counts what the scene's depth lets through; it writes
  // neither colour nor depth.
  device->SetRenderState(D3DRS_ZENABLE, 1);
  device->SetRenderState(D3DRS_ZWRITEENABLE, 0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
  device->SetTexture(0, nullptr);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  for (LightItem* light : flaring) {
    if (light->flareEnabled) light->flareSet->issueQuery(renderDepth, *viewer, t);
  }
  device->SetRenderState(D3DRS_COLORWRITEENABLE, pipeline->colorWriteMask);
  device->SetRenderState(D3DRS_ZWRITEENABLE, 1);
  device->SetRenderState(D3DRS_LIGHTING, lighting);
  device->SetRenderState(D3DRS_FOGENABLE,
                         pipeline->flagTable ? static_cast<DWORD>(*pipeline->flagTable->isFogEnabled) : 0);
  setView(*pipeline, *viewer, t);
}

void Scene::updateEffects(SceneItem* viewer, double t) {
  const double dt = lastEffectsTime >= 0.0 ? t - lastEffectsTime : 0.0;
  runEffects(viewer, t, dt);
  lastEffectsTime = t;
}

void Scene::runEffects(SceneItem* viewer, double t, double dt) { runParticleEffects(*this, viewer, t, dt); }

void Scene::drawShadowMapView(IDirect3DTexture9* texture) {
  if (pipeline->currentDevice)
    drawScreenQuad(pipeline->currentDevice, m_screenQuadDeclaration, texture, 512.0f, 512.0f);
}
