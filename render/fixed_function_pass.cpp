// The fixed-function pass (see fixed_function_pass.h). Device results are
// not checked: a failed call shows as missing output.
#include "render/fixed_function_pass.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foundation/matrix.h"
#include "render/render_pipeline.h"
#include "render/stage_plan.h"
#include "render/surface.h"
#include "render/texture.h"

namespace {

constexpr DWORD kStages = 8;  // Direct3D's texture stages; later ones do not exist

D3DMATRIX toD3D(const Matrix4x3& m) {
  D3DMATRIX out;
  std::memcpy(&out.m[0][0], m.m, sizeof m.m);
  return out;
}

IDirect3DBaseTexture9* deviceTexture(Texture* texture, double t) {
  return texture ? texture->getDeviceTexture(t) : nullptr;
}

DWORD complementIf(DWORD argument, const TextureLayer* layer) {
  return layer && layer->negative ? argument | D3DTA_COMPLEMENT : argument;
}

}  // namespace

FixedFunctionPass::FixedFunctionPass(RenderPipeline* owner) : ShaderPass(owner) {}

EngineString FixedFunctionPass::vertexFunctionName() { return "vshader"; }
EngineString FixedFunctionPass::pixelFunctionName() { return "pshader"; }

bool FixedFunctionPass::activate() {
  pipeline->constantTable->updateDerivedMatrices();
  // The device runs no shaders unless a compiler set them; clear what a
  // generated pass may have left.
  if (compiler) {
    compiler->SetVertexShader(pipeline->currentDevice, nullptr);
    compiler->SetPixelShader(pipeline->currentDevice, nullptr);
  }
  return true;
}

void FixedFunctionPass::setUpLayerStage(DWORD s, TextureLayer* layer, D3DCOLOR border, double t) {
  IDirect3DDevice9* device = pipeline->currentDevice;
  if (!layer) {
    // A set of 8 or more names no layer: no texture, no transform.
    device->SetTextureStageState(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTexture(s, nullptr);
    return;
  }
  setLayerSampler(device, s, *layer, static_cast<DWORD>(std::lround(layer->maxAnisotropy)), border);
  if (layer->hasAnimatedMapping()) {
    const MappingMatrix m = layer->getMappingMatrixAt(t);
    int a = 0, b = 1;
    if (layer->axis == 0)
      a = 2, b = 1;
    else if (layer->axis == 1)
      a = 0, b = 2;
    Matrix4x3 tm{};
    for (int row = 0; row < 4; ++row) {
      tm.m[4 * row] = m.m[4 * row + a];
      tm.m[4 * row + 1] = m.m[4 * row + b];
    }
    tm.m[15] = 1.0f;
    pipeline->constantTable->textureMatrices[s] = tm;
    const D3DMATRIX d = toD3D(tm);
    device->SetTransform(D3DTS_TEXTURE0 + s, &d);
    device->SetTextureStageState(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
  } else {
    device->SetTextureStageState(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
  }
  device->SetTexture(s, deviceTexture(layer->texture, t));
}

void FixedFunctionPass::bindSamplers(Surface& surface, double t) {
  IDirect3DDevice9* device = pipeline->currentDevice;
  const SurfaceStagePlan* plan = binding;
  if (!pipeline->texturesEnabled() || pipeline->flatGrey() || !plan) {
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, 0);
    return;
  }
  auto stage = [&](DWORD s, DWORD type, DWORD value) { device->SetTextureStageState(s, type, value); };
  auto shift = [&](std::int32_t set) { return set >= 0 && set < kMaxPlanStages ? plan->stageShift[set] : 0; };
  // Stages past the eighth do not exist: a surface that would need them
  // loses its last effects rather than writing past the stage tables.
  DWORD s = 0;

  for (int i = 0; i < plan->colorCount && s < kStages; ++i, ++s) {
    const std::int32_t k = plan->colorStart + i;
    TextureLayer* layer = plan->stageLayer(k);
    setUpLayerStage(s, layer, surface.getColorAt(t).toD3DColor(), t);
    stage(s, D3DTSS_TEXCOORDINDEX, static_cast<DWORD>(k));
    const std::int32_t sh = layer ? shift(k) : 0;
    stage(s, D3DTSS_COLOROP, sh <= 0 ? D3DTOP_MODULATE : sh == 1 ? D3DTOP_MODULATE2X : D3DTOP_MODULATE4X);
    stage(s, D3DTSS_COLORARG1, complementIf(D3DTA_TEXTURE, layer));
    stage(s, D3DTSS_COLORARG2, D3DTA_CURRENT);
    stage(s, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    stage(s, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
  }

  if (plan->vertexColorShift >= 1 && s < kStages) {
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xff000000);
    stage(s, D3DTSS_COLOROP, plan->vertexColorShift == 1 ? D3DTOP_MODULATE2X : D3DTOP_MODULATE4X);
    stage(s, D3DTSS_COLORARG1, D3DTA_TFACTOR | D3DTA_ALPHAREPLICATE);
    stage(s, D3DTSS_COLORARG2, D3DTA_CURRENT);
    stage(s, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    stage(s, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    ++s;
  }

  for (int i = 0; i < plan->diffuseCount && s < kStages; ++i, ++s) {
    const std::int32_t k = plan->diffuseStart + i;
    TextureLayer* layer = plan->stageLayer(k);
    setUpLayerStage(s, layer, 0, t);
    stage(s, D3DTSS_TEXCOORDINDEX, static_cast<DWORD>(k));
    stage(s, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
    stage(s, D3DTSS_COLORARG1, complementIf(D3DTA_TEXTURE, layer));
    stage(s, D3DTSS_COLORARG2, D3DTA_CURRENT);
    stage(s, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    stage(s, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    stage(s, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
  }

  if (plan->specularCount > 0 && s < kStages) {
    const std::int32_t k = plan->specularStart;
    TextureLayer* layer = plan->stageLayer(k);
    setUpLayerStage(s, layer, 0, t);
    stage(s, D3DTSS_TEXCOORDINDEX, static_cast<DWORD>(k));
    stage(s, D3DTSS_COLOROP, D3DTOP_MULTIPLYADD);
    stage(s, D3DTSS_COLORARG0, D3DTA_CURRENT);
    stage(s, D3DTSS_COLORARG1, D3DTA_SPECULAR);
    stage(s, D3DTSS_COLORARG2, complementIf(D3DTA_TEXTURE, layer));
    stage(s, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    stage(s, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    stage(s, D3DTSS_ALPHAARG2, D3DTA_SPECULAR);
    ++s;
  }

  if (surface.reflectionImage && surface.reflectionOptions == 2 && pipeline->reflectionMapsEnabled() && s < kStages) {
    device->SetTexture(s, deviceTexture(surface.reflectionImage, t));
    const float r = std::clamp(surface.reflection.evaluate(t), 0.0f, 1.0f);
    const long k = std::lround(static_cast<double>(r) * -255.0);
    device->SetRenderState(D3DRS_TEXTUREFACTOR,
                           static_cast<DWORD>(0xff000000u - static_cast<std::uint32_t>(k) * 0x010101u));
    stage(s, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    stage(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    stage(s, D3DTSS_COLOROP, D3DTOP_MULTIPLYADD);
    stage(s, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    stage(s, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    stage(s, D3DTSS_COLORARG0, D3DTA_CURRENT);
    stage(s, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    stage(s, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    device->SetSamplerState(s, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    device->SetSamplerState(s, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);

    Matrix4x3 inverseView;
    invertAffine(&inverseView, pipeline->constantTable->view);
    int axis = 0;
    if (plan->colorCount > 0 && plan->colorStart < kMaxPlanStages) {
      if (const TextureLayer* first = plan->stageLayer(plan->colorStart))
        axis = first->projection != kProjectionCubic && first->projection != kProjectionUV ? first->axis : 0;
    }
    Matrix4x3 m = inverseView;
    if (axis >= 0 && axis <= 2) {
      Matrix4x3 scale{};
      scale.m[12] = scale.m[13] = 0.5f;
      scale.m[15] = 1.0f;
      if (axis == 0) scale.m[8] = 0.5f, scale.m[5] = 0.5f;
      if (axis == 1) scale.m[0] = 0.5f, scale.m[9] = 0.5f;
      if (axis == 2) scale.m[0] = 0.5f, scale.m[5] = 0.5f;
      multiplyMatrix(m, inverseView, scale);
    }
    pipeline->constantTable->textureMatrices[s] = m;
    const D3DMATRIX d = toD3D(m);
    device->SetTransform(D3DTS_TEXTURE0 + s, &d);
    ++s;
  }

  if (plan->transparencyCount > 0 && s < kStages) {
    const std::int32_t k = plan->transparencyStart;
    TextureLayer* layer = plan->stageLayer(k);
    setUpLayerStage(s, layer, 0, t);
    stage(s, D3DTSS_TEXCOORDINDEX, static_cast<DWORD>(k));
    stage(s, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    stage(s, D3DTSS_COLORARG1, complementIf(D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, layer));
    stage(s, D3DTSS_COLORARG2, D3DTA_CURRENT);
    stage(s, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    stage(s, D3DTSS_ALPHAARG1, complementIf(D3DTA_TEXTURE, layer));
    stage(s, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    // A negative transparency layer whose picture is the colour layer's alpha
    // source is sampled from the colour texture itself.
    const TextureLayer* colour = surface.findTextureLayer(fourCC("COLR"), 1);
    if (colour && layer && layer->negative && colour->texture && colour->texture->alphaTexture == layer->texture)
      device->SetTexture(s, deviceTexture(colour->texture, t));
    ++s;
  }

  const SpotProjector* spot = surface.spotLight();
  if (spot && spot->texProj && s < kStages) {
    device->SetSamplerState(s, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER);
    device->SetSamplerState(s, D3DSAMP_ADDRESSV, D3DTADDRESS_BORDER);
    device->SetSamplerState(s, D3DSAMP_BORDERCOLOR, 0);
    device->SetSamplerState(s, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(s, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
    device->SetTexture(s, deviceTexture(spot->texProj, t));
    D3DMATRIX projector;
    std::memcpy(&projector.m[0][0], pipeline->constantTable->matWorldLightviewLightprojShadowbias, sizeof projector);
    device->SetTransform(D3DTS_TEXTURE0 + s, &projector);
    stage(s, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
    stage(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_PROJECTED | D3DTTFF_COUNT3);
    stage(s, D3DTSS_COLOROP, D3DTOP_MODULATE);
    stage(s, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    stage(s, D3DTSS_COLORARG2, D3DTA_CURRENT);
    stage(s, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    stage(s, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    stage(s, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    ++s;
  }

  if (s < kStages) {
    device->SetTexture(s, nullptr);
    stage(s, D3DTSS_COLOROP, D3DTOP_DISABLE);
    stage(s, D3DTSS_TEXTURETRANSFORMFLAGS, 0);
  }
}

void FixedFunctionPass::applySurface(Surface& surface, double t) {
  IDirect3DDevice9* device = pipeline->currentDevice;
  const SurfaceStagePlan* plan = binding;
  const bool textures = pipeline->texturesEnabled();
  const TextureLayer* colourLayer = textures && plan && plan->colorCount >= 1 && plan->colorStart < kMaxPlanStages
                                        ? plan->stageLayer(plan->colorStart)
                                        : nullptr;
  const bool vertexColours = plan && plan->vertexColorLayer;
  ColorRGBA col{1.0f, 1.0f, 1.0f, 1.0f};
  if (!vertexColours && (!colourLayer || colourLayer->opacityType == 3)) col = surface.getColorAt(t);
  const float h = surface.colorHighlights.evaluate(t);
  float highlight[3] = {1.0f - (1.0f - col.r) * h, 1.0f - (1.0f - col.g) * h, 1.0f - (1.0f - col.b) * h};
  if (pipeline->flatGrey()) {
    col = {0.9f, 0.9f, 0.9f, 1.0f};
    highlight[0] = highlight[1] = highlight[2] = 0.0f;
  }

  float alpha = 1.0f;
  const float reflection = surface.reflection.evaluate(t);
  if (reflection != 0.0f && surface.reflectionOptions == 0) {
    setSurfaceBlending(true, false, true);
    // A planar mirror is drawn over its reflection: the reflection keeps the
    // reflectivity's share, the surface colour (premultiplied) the rest.
    const float keep = 1.0f - std::clamp(reflection, 0.0f, 1.0f);
    col.r *= keep;
    col.g *= keep;
    col.b *= keep;
    alpha = keep;
  } else if (!surface.isTransparentAt(t)) {
    setSurfaceBlending(true, false, false);
  } else {
    const TextureLayer* tl =
        textures && plan && plan->transparencyCount >= 1 && plan->transparencyStart < kMaxPlanStages
            ? plan->stageLayer(plan->transparencyStart)
            : nullptr;
    const float v = surface.transparency.evaluate(t);
    const bool keyed = tl && tl->texture && (tl->texture->flags & kTextureOneBitAlpha);
    const bool alphaTest = tl && (keyed || v == 0.0f);
    const bool blend = !keyed;
    device->SetRenderState(D3DRS_ZWRITEENABLE, tl && (keyed || v == 0.0f) ? 1 : 0);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, alphaTest ? 1 : 0);
    if (alphaTest) {
      device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
      device->SetRenderState(D3DRS_ALPHAREF, 0x7f);
    }
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend ? 1 : 0);
    if (blend) {
      device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
      device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    }
    const float d = surface.additiveTransparency.evaluate(t);
    if (d != 0.0f) {
      device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
      device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
      device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    }
    alpha = 1.0f - d;
    if (!tl || tl->opacityType == 3) {
      col.r *= 1.0f - v;
      col.g *= 1.0f - v;
      col.b *= 1.0f - v;
      alpha *= 1.0f - v;
    }
  }

  const float diffuse = surface.diffuse.evaluate(t);
  const float luminosity = surface.luminosity.evaluate(t);
  const DWORD colourSource = vertexColours && diffuse > 0.5f ? D3DMCS_COLOR1 : D3DMCS_MATERIAL;
  device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, colourSource);
  device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, colourSource);
  device->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE,
                         vertexColours && luminosity > 0.5f ? D3DMCS_COLOR1 : D3DMCS_MATERIAL);

  const float specular = surface.specularity.evaluate(t);
  D3DMATERIAL9 material{};
  material.Diffuse = {col.r * diffuse, col.g * diffuse, col.b * diffuse, alpha};
  material.Ambient = material.Diffuse;
  material.Specular = {highlight[0] * specular, highlight[1] * specular, highlight[2] * specular, alpha};
  material.Emissive = {col.r * luminosity, col.g * luminosity, col.b * luminosity, alpha};
  if (specular <= 0.000001f) {
    material.Power = 0.0f;
  } else {
    const float g = surface.glossiness.evaluate(t);
    material.Power = std::min(std::pow(2.0f, 10.0f * g + 2.0f), 255.0f);
  }
  device->SetMaterial(&material);
  device->SetRenderState(D3DRS_CULLMODE, pipeline->cullMode);
  const bool specularStage = textures && plan && plan->specularCount > 0;
  device->SetRenderState(D3DRS_SPECULARENABLE, !specularStage && specular > 0.000001f ? 1 : 0);
  device->SetRenderState(D3DRS_NORMALIZENORMALS, 1);
}
