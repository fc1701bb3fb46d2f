#include "scene/lens_flare.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "render/procedural_texture.h"
#include "render/render_pipeline.h"
#include "scene/culling_plane.h"
#include "scene/light_item.h"
#include "scene/scene.h"
#include "scene/scene_root.h"

const FlareElement kFlareElements[16] = {
    {2, 1.52f, 0.4f, 0x030303},     {2, 1.5f, 0.92f, 0x0a0500},    {4, 1.3f, 0.11f, 0x141414},
    {2, 0.505f, 0.055f, 0x03080f},  {2, 0.45f, 0.16f, 0x00030d},   {2, 0.41f, 0.085f, 0x030a0f},
    {2, 0.2f, 0.055f, 0x291400},    {1, 0.01f, 0.03f, 0x999999},   {1, -0.27f, 0.045f, 0x80b2cc},
    {2, -0.415f, 0.11f, 0x401200},  {3, -0.455f, 0.19f, 0x211403}, {2, -0.457f, 0.055f, 0x170f00},
    {2, -0.655f, 0.085f, 0x0a1f1c}, {1, -0.675f, 0.13f, 0x0a0a66}, {4, -1.005f, 0.27f, 0x171f00},
    {5, -1.31f, 0.53f, 0x0f0a00},
};

DWORD LensFlareSet::maxVisiblePixels = 16;

namespace {

struct QuadVertex {
  float x, y, z, u, v;
};

// The element square (a fan of two triangles) and the query square.
constexpr QuadVertex kQuad[4] = {
    {-0.1f, -0.1f, 0, 0, 0}, {-0.1f, 0.1f, 0, 0, 1}, {0.1f, 0.1f, 0, 1, 1}, {0.1f, -0.1f, 0, 1, 0}};

constexpr D3DVERTEXELEMENT9 kQuadElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END(),
};

constexpr const char* kFlareTextureNames[4] = {"(flare BRIGHTCTR)", "(flare EVENCTR)", "(flare DIMCTR)",
                                               "(flare RING)"};

// Longest wait for last frame's query: the draws it counted are long done.
constexpr auto kQueryWait = std::chrono::milliseconds(50);

DWORD packColour(float r, float g, float b, float a) {
  auto byte = [](float v) { return static_cast<DWORD>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
  return byte(a) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
}

void viewPosition(SceneItem& light, SceneItem& camera, double t, float out[3]) {
  Matrix4x3 world, inverse;
  light.worldMatrix(world, t, true);
  camera.inverseWorldMatrix(inverse, t, true);
  for (int k = 0; k < 3; ++k)
    out[k] = world[12] * inverse[k] + world[13] * inverse[4 + k] + world[14] * inverse[8 + k] + inverse[12 + k];
}

}  // namespace

LensFlareSet::LensFlareSet(RenderPipeline* owner, LightItem* flareLight, Scene* scene)
    : pipeline(owner), light(flareLight) {
  SceneRoot* root = scene ? scene->root : nullptr;
  const std::uint32_t options = light->flareOptions;
  for (int kind = kFlareBrightCentre; kind <= kFlareRing; ++kind) {
    const char* name = kFlareTextureNames[kind - 1];
    Texture* texture = root ? root->findTexture(name, 0) : nullptr;
    if (!texture) {
      auto made = std::make_unique<ProceduralTexture>(pipeline);
      made->makeFlare(kind);
      made->name = name;
      made->load();
      const bool wanted = kind == kFlareBrightCentre
                              ? (options & (kFlareGreyGlow | kFlareColourGlow | kFlareChain)) != 0
                              : (options & kFlareChain) != 0;
      if (wanted) made->preload();
      texture = made.get();
      if (root) {
        root->textures.push_back(std::move(made));
      } else {
        m_ownTextures.push_back(std::move(made));
      }
    }
    elementTextures[kind] = texture;
  }
  elementTextures[0] = elementTextures[kFlareBrightCentre];
  elementTextures[5] = elementTextures[kFlareRing];
  createViews();
}

LensFlareSet::~LensFlareSet() { releaseViews(); }

void LensFlareSet::releaseViews() {
  views.clear();
  m_quadDeclaration.release();
}

void LensFlareSet::createViews() {
  views.clear();
  views.resize(pipeline && pipeline->stereoMode != kStereoNone ? 2 : 1);
  IDirect3DDevice9* device = pipeline ? pipeline->currentDevice : nullptr;
  for (View& view : views) {
    if (device) device->CreateQuery(D3DQUERYTYPE_OCCLUSION, view.query.put());
  }
}

LensFlareSet::View* LensFlareSet::viewFor(int viewIndex) {
  int index = viewIndex - 1;
  if (pipeline && pipeline->stereoMode != kStereoNone && pipeline->eye == 1) index += 1;
  if (index < 0 || static_cast<std::size_t>(index) >= views.size()) return nullptr;
  return &views[static_cast<std::size_t>(index)];
}

bool LensFlareSet::update(int viewIndex, SceneItem& camera, const std::vector<CullingPlaneObject*>& occluders,
                          double t) {
  View* view = viewFor(viewIndex);
  if (!view) return false;
  view->visible = view->queryIssued;
  view->size = view->nextSize;
  view->fade = view->nextFade;
  view->drawEnabled = view->queryIssued = false;
  view->nextSize = view->nextFade = 0.0f;
  if (light->flareEnabled && view->query) {
    if (!camera.projectionValid || camera.projectionFitted) {
      camera.computeProjection(t);
      camera.projectionFitted = false;
    }
    float p[3];
    viewPosition(*light, camera, t, p);
    const Matrix4x3& m = camera.projection;
    float c[4];
    for (int k = 0; k < 4; ++k) c[k] = p[0] * m[k] + p[1] * m[4 + k] + p[2] * m[8 + k] + m[12 + k];
    const bool hidden = camera.isPointOutsideClip(c) ||
                        std::any_of(occluders.begin(), occluders.end(),
                                    [&](const CullingPlaneObject* plane) { return plane->pointOccluded(c); });
    if (!hidden) {
      const float w = c[3], d = 0.1f * w, inner = w - d;
      float fade = 1.0f;
      for (int k = 0; k < 2; ++k) {
        if (c[k] < -inner) fade *= 1.0f - (-c[k] - inner) / d;
        if (c[k] > inner) fade *= 1.0f - (c[k] - inner) / d;
      }
      view->nextFade = fade;
      if (fade > 1e-6f) {
        view->drawEnabled = true;
        view->nextSize = light->flareIntensity.evaluate(t) * light->flareNominalDistance * 5.0f;
      }
      if ((light->lightKind == kLightDistant || light->lightKind == kLightSpot) && view->nextSize > 1e-6f) {
        Matrix4x3 cw, lw;
        camera.worldMatrix(cw, t, true);
        light->worldMatrix(lw, t, true);
        float a[3] = {cw[8], cw[9], cw[10]}, b[3] = {lw[8], lw[9], lw[10]};
        normalizeVector(a);
        normalizeVector(b);
        view->nextSize *= -(a[0] * b[0] + a[1] * b[1] + a[2] * b[2]);
      }
      if (view->nextSize > 1e-6f) view->queryIssued = true;
    }
  }
  return view->queryIssued || (view->drawEnabled && view->visible);
}

float LensFlareSet::visibleFraction(View& view) {
  if (!view.query) return 0.0f;
  DWORD count = 0;
  HRESULT hr = view.query->GetData(&count, sizeof count, 0);
  const auto until = std::chrono::steady_clock::now() + kQueryWait;
  while (hr == S_FALSE && std::chrono::steady_clock::now() < until) {
    hr = view.query->GetData(&count, sizeof count, D3DGETDATA_FLUSH);
  }
  if (hr != D3D_OK) return 0.0f;
  maxVisiblePixels = std::max(maxVisiblePixels, count);
  return static_cast<float>(count) / static_cast<float>(maxVisiblePixels);
}

void LensFlareSet::setView(float s, float angle, const float p[3]) {
  const float c = std::cos(angle) * s, n = std::sin(angle) * s;
  Matrix4x3 view = {{c, -n, 0, 0, n, c, 0, 0, 0, 0, s, 0, p[0], p[1], p[2], 1}};
  if (pipeline->constantTable) {
    pipeline->constantTable->view = view;
    pipeline->constantTable->derivedValid = false;
  }
  D3DMATRIX d;
  std::memcpy(d.m, view.m, sizeof d.m);
  pipeline->currentDevice->SetTransform(D3DTS_VIEW, &d);
}

void LensFlareSet::draw(int viewIndex, SceneItem& camera, double t) {
  View* view = viewFor(viewIndex);
  IDirect3DDevice9* device = pipeline ? pipeline->currentDevice : nullptr;
  if (!view || !device || !view->drawEnabled || !view->visible) return;
  const float s = visibleFraction(*view) * view->size;
  const float angle = light->flareRotationAngle.evaluate(t);
  float p[3];
  viewPosition(*light, camera, t, p);
  const ColorRGBA colour = light->colourAt(t);
  const float alpha = std::min(view->fade, view->nextFade);
  device->SetVertexDeclaration(m_quadDeclaration.get(device, kQuadElements));
  auto fan = [&](Texture* texture, DWORD factor) {
    device->SetTexture(0, texture ? texture->getDeviceTexture(0.0) : nullptr);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, factor);
    device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, kQuad, sizeof(QuadVertex));
  };
  const std::uint32_t options = light->flareOptions;
  if (options & kFlareColourGlow) {
    setView(s, angle, p);
    fan(elementTextures[1], packColour(colour.r, colour.g, colour.b, alpha));
  }
  if (options & kFlareGreyGlow) {
    setView(s, angle, p);
    fan(elementTextures[1], packColour(0.46f, 0.46f, 0.46f, alpha));
  }
  if (options & kFlareChain) {
    for (const FlareElement& e : kFlareElements) {
      const float at[3] = {p[0] * e.position, p[1] * e.position, p[2]};
      setView(e.size * s, 0.0f, at);
      fan(elementTextures[e.texture], packColour(static_cast<float>((e.colour >> 16) & 0xFF) / 255.0f,
                                                 static_cast<float>((e.colour >> 8) & 0xFF) / 255.0f,
                                                 static_cast<float>(e.colour & 0xFF) / 255.0f, alpha));
    }
  }
}

void LensFlareSet::issueQuery(int viewIndex, SceneItem& camera, double t) {
  View* view = viewFor(viewIndex);
  IDirect3DDevice9* device = pipeline ? pipeline->currentDevice : nullptr;
  if (!view || !device || !view->queryIssued || !view->query) return;
  float p[3];
  viewPosition(*light, camera, t, p);
  // Four pixels across at the light's depth: the square of the quad is 0.2
  // units wide before scaling.
  D3DVIEWPORT9 viewport{};
  device->GetViewport(&viewport);
  const float sx = camera.projection[0];
  const float pixel = viewport.Width > 0 && sx != 0.0f ? 2.0f * p[2] / (sx * static_cast<float>(viewport.Width)) : 0.0f;
  setView(4.0f * pixel / 0.2f, 0.0f, p);
  device->SetVertexDeclaration(m_quadDeclaration.get(device, kQuadElements));
  view->query->Issue(D3DISSUE_BEGIN);
  device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, kQuad, sizeof(QuadVertex));
  view->query->Issue(D3DISSUE_END);
}
