// The lens flare of one light: a glow at the light and a chain of sixteen
// elements along the line from the light through the view centre. Whether
// the light is seen comes from an occlusion query on a 4 x 4 pixel square
// at the light, issued after the flares are drawn and read one frame later.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/d3d9.h"
#include "scene/vertex_declaration_cache.h"

class CullingPlaneObject;
class LightItem;
class RenderPipeline;
class Scene;
class SceneItem;
class Texture;

// The element chain: texture index, position along the light-centre line
// (1 on the light, 0 on the view axis), size, colour 0x..RRGGBB.
struct FlareElement {
  int texture;
  float position;
  float size;
  std::uint32_t colour;
};
extern const FlareElement kFlareElements[16];

// Flare option bits of a light.
inline constexpr std::uint32_t kFlareGreyGlow = 1u << 0;
inline constexpr std::uint32_t kFlareColourGlow = 1u << 3;
inline constexpr std::uint32_t kFlareChain = 1u << 4;

class LensFlareSet {
 public:
  // Per view (two in stereo): last frame's results and this frame's.
  struct View {
    bool visible = false;  // a query was issued last frame
    float size = 0.0f;
    float fade = 0.0f;
    bool drawEnabled = false;
    bool queryIssued = false;
    float nextSize = 0.0f;
    float nextFade = 0.0f;
    ComPtr<IDirect3DQuery9> query;
  };

  LensFlareSet(RenderPipeline* pipeline, LightItem* light, Scene* scene);
  ~LensFlareSet();
  LensFlareSet(const LensFlareSet&) = delete;
  LensFlareSet& operator=(const LensFlareSet&) = delete;

  // The per-view queries and the device objects of the drawing; released
  // when the device is lost and made again after the reset.
  void releaseViews();
  void createViews();
  // Moves this frame's results to last frame's and computes new ones; true
  // when there is something to draw or to query.
  bool update(int viewIndex, SceneItem& camera, const std::vector<CullingPlaneObject*>& occluders, double t);
  void draw(int viewIndex, SceneItem& camera, double t);
  void issueQuery(int viewIndex, SceneItem& camera, double t);
  // Last frame's share of the query point that was seen, 0 when unknown.
  float visibleFraction(View& view);
  // The record of a view index (1 for the top-level pass); null when there
  // is none.
  View* viewFor(int viewIndex);

  RenderPipeline* pipeline;
  LightItem* light;
  Texture* elementTextures[6] = {};
  std::vector<View> views;
  // The most pixels any query has counted: the flare's full brightness.
  static DWORD maxVisiblePixels;

 private:
  // The view transform of one element: scale s (rotated by angle) at p.
  void setView(float s, float angle, const float p[3]);
  std::vector<std::unique_ptr<Texture>> m_ownTextures;  // when there is no scene root
  VertexDeclarationCache m_quadDeclaration;
};
