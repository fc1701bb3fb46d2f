// Direct3D's creation defaults of the device state.
#include "platform/graphics/d3d9_state.h"

#include <atomic>
#include <cstring>

D3DMATRIX identityMatrix() {
  D3DMATRIX m{};
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
  return m;
}

DWORD floatBits(float value) {
  DWORD bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

void DeviceState::touch(StateGroup group) {
  static std::atomic<std::uint64_t> next{0};
  versions[static_cast<unsigned>(group)] = next.fetch_add(1, std::memory_order_relaxed) + 1;
}

void DeviceState::setDefaults(bool autoDepthStencil, UINT width, UINT height) {
  renderStates.fill(0);
  auto& rs = renderStates;
  rs[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = 1;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_FOGSTART] = floatBits(0.0f);
  rs[D3DRS_FOGEND] = floatBits(1.0f);
  rs[D3DRS_FOGDENSITY] = floatBits(1.0f);
  rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_STENCILMASK] = 0xFFFFFFFF;
  rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
  rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
  rs[D3DRS_CLIPPING] = 1;
  rs[D3DRS_LIGHTING] = 1;
  rs[D3DRS_COLORVERTEX] = 1;
  rs[D3DRS_LOCALVIEWER] = 1;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_COLORWRITEENABLE] = 0xF;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;

  for (auto& sampler : samplerStates) {
    sampler.fill(0);
    sampler[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    sampler[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    sampler[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    sampler[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    sampler[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    sampler[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    sampler[D3DSAMP_MAXANISOTROPY] = 1;
  }

  for (DWORD s = 0; s < kMaxTextureStages; ++s) {
    auto& stage = stageStates[s];
    stage.fill(0);
    stage[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    stage[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    stage[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    stage[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    stage[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    stage[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    stage[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    stage[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    stage[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    stage[D3DTSS_TEXCOORDINDEX] = s;
    stage[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
  }

  view = identityMatrix();
  projection = identityMatrix();
  textureMatrices.fill(identityMatrix());
  worldMatrices.assign(256, identityMatrix());
  viewport = {0, 0, width, height, 0.0f, 1.0f};
  softwareVertexProcessing = 0;
  for (unsigned g = 0; g < static_cast<unsigned>(StateGroup::Count); ++g) touch(static_cast<StateGroup>(g));
}

D3DMATRIX* DeviceState::transform(D3DTRANSFORMSTATETYPE state) {
  if (state == D3DTS_VIEW) return &view;
  if (state == D3DTS_PROJECTION) return &projection;
  if (state >= D3DTS_TEXTURE0 && state < D3DTS_TEXTURE0 + kMaxTextureStages)
    return &textureMatrices[state - D3DTS_TEXTURE0];
  if (state >= D3DTS_WORLD && state < D3DTS_WORLD + worldMatrices.size()) return &worldMatrices[state - D3DTS_WORLD];
  return nullptr;
}

DWORD* DeviceState::renderState(D3DRENDERSTATETYPE state) {
  return state < kRenderStateCount ? &renderStates[state] : nullptr;
}

DWORD* DeviceState::samplerState(DWORD sampler, D3DSAMPLERSTATETYPE type) {
  if (sampler >= kMaxSamplers || type == 0 || type >= kSamplerStateCount) return nullptr;
  return &samplerStates[sampler][type];
}

DWORD* DeviceState::stageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
  if (stage >= kMaxTextureStages || type == 0 || type >= kTextureStageStateCount) return nullptr;
  return &stageStates[stage][type];
}
