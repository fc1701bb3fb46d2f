// Reduces the device state to the key of a generated fixed-function program.
#include "platform/graphics/ff_program_key.h"

namespace {

bool readsTexture(DWORD op, const std::uint8_t arg[3]) {
  auto isTexture = [](std::uint8_t a) { return (a & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
  const bool threeArgs = op == D3DTOP_MULTIPLYADD || op == D3DTOP_LERP;
  if (op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM) return true;
  if (op != D3DTOP_SELECTARG2 && isTexture(arg[1])) return true;
  if (op != D3DTOP_SELECTARG1 && isTexture(arg[2])) return true;
  return threeArgs && isTexture(arg[0]);
}

std::uint8_t materialSource(DWORD value, const FixedFunctionKey& key, bool colorVertex) {
  if (!colorVertex) return D3DMCS_MATERIAL;
  if (value == D3DMCS_COLOR1 && key.hasColor[0]) return D3DMCS_COLOR1;
  if (value == D3DMCS_COLOR2 && key.hasColor[1]) return D3DMCS_COLOR2;
  return D3DMCS_MATERIAL;
}

bool orthographic(const D3DMATRIX& p) {
  return p.m[0][3] == 0.0f && p.m[1][3] == 0.0f && p.m[2][3] == 0.0f && p.m[3][3] == 1.0f;
}

}  // namespace

int enabledLights(const GeometryState& geometry, const D3DLIGHT9* out[kMaxActiveLights]) {
  int n = 0;
  for (const auto& [index, slot] : geometry.lights) {
    if (!slot.enabled) continue;
    if (n == static_cast<int>(kMaxActiveLights)) break;
    out[n++] = &slot.light;
  }
  return n;
}

FixedFunctionKey buildFixedFunctionKey(const DeviceState& state, const GeometryState& geometry,
                                       const VertexFormat& format, unsigned textureMask, unsigned volumeMask) {
  const auto& rs = state.renderStates;
  FixedFunctionKey key;
  key.pretransformed = format.pretransformed;
  key.hasNormal = format.normal.offset >= 0;
  for (int i = 0; i < 2; ++i) key.hasColor[i] = format.color[i].offset >= 0;
  for (int i = 0; i < 8; ++i)
    key.texcoordSize[i] =
        format.texcoord[i].offset >= 0 ? static_cast<std::uint8_t>(declTypeComponents(format.texcoord[i].type)) : 0;

  key.lighting = rs[D3DRS_LIGHTING] != 0 && !format.pretransformed;
  key.specularEnable = rs[D3DRS_SPECULARENABLE] != 0;
  // Both also shape generated texture coordinates, lit or not.
  key.localViewer = rs[D3DRS_LOCALVIEWER] != 0;
  key.normalizeNormals = rs[D3DRS_NORMALIZENORMALS] != 0;
  if (key.lighting) {
    const D3DLIGHT9* lights[kMaxActiveLights];
    const int n = enabledLights(geometry, lights);
    for (int i = 0; i < n; ++i) key.lights[i] = static_cast<std::uint8_t>(lights[i]->Type);
    const bool colorVertex = rs[D3DRS_COLORVERTEX] != 0;
    key.diffuseSource = materialSource(rs[D3DRS_DIFFUSEMATERIALSOURCE], key, colorVertex);
    key.ambientSource = materialSource(rs[D3DRS_AMBIENTMATERIALSOURCE], key, colorVertex);
    key.specularSource = materialSource(rs[D3DRS_SPECULARMATERIALSOURCE], key, colorVertex);
    key.emissiveSource = materialSource(rs[D3DRS_EMISSIVEMATERIALSOURCE], key, colorVertex);
  }

  if (rs[D3DRS_FOGENABLE]) {
    const DWORD table = rs[D3DRS_FOGTABLEMODE], vertex = rs[D3DRS_FOGVERTEXMODE];
    if (table >= D3DFOG_EXP && table <= D3DFOG_LINEAR) {
      key.fog = FogKind::Table;
      key.fogMode = static_cast<std::uint8_t>(table);
      key.orthographicFog = orthographic(state.projection);
    } else if (vertex >= D3DFOG_EXP && vertex <= D3DFOG_LINEAR && !format.pretransformed) {
      key.fog = FogKind::Vertex;
      key.fogMode = static_cast<std::uint8_t>(vertex);
      key.rangeFog = rs[D3DRS_RANGEFOGENABLE] != 0;
    } else {
      key.fog = FogKind::SpecularAlpha;
    }
  }

  for (DWORD s = 0; s < kMaxTextureStages; ++s) {
    const auto& ts = state.stageStates[s];
    const DWORD colorOp = ts[D3DTSS_COLOROP];
    if (colorOp == D3DTOP_DISABLE || colorOp == 0 || colorOp > D3DTOP_LERP) break;
    FixedFunctionStageKey& k = key.stages[s];
    k.colorOp = static_cast<std::uint8_t>(colorOp);
    k.colorArg[0] = static_cast<std::uint8_t>(ts[D3DTSS_COLORARG0]);
    k.colorArg[1] = static_cast<std::uint8_t>(ts[D3DTSS_COLORARG1]);
    k.colorArg[2] = static_cast<std::uint8_t>(ts[D3DTSS_COLORARG2]);
    const DWORD alphaOp = ts[D3DTSS_ALPHAOP];
    k.alphaOp = static_cast<std::uint8_t>(alphaOp <= D3DTOP_LERP ? alphaOp : D3DTOP_DISABLE);
    k.alphaArg[0] = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAARG0]);
    k.alphaArg[1] = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAARG1]);
    k.alphaArg[2] = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAARG2]);
    k.resultTemp = (ts[D3DTSS_RESULTARG] & D3DTA_SELECTMASK) == D3DTA_TEMP;

    const bool bound = (textureMask >> s) & 1;
    // A stage whose texture is missing passes CURRENT through.
    if (!bound && readsTexture(k.colorOp, k.colorArg)) {
      k.colorOp = D3DTOP_SELECTARG1;
      k.colorArg[1] = D3DTA_CURRENT;
    }
    if (!bound && k.alphaOp != D3DTOP_DISABLE && readsTexture(k.alphaOp, k.alphaArg)) {
      k.alphaOp = D3DTOP_SELECTARG1;
      k.alphaArg[1] = D3DTA_CURRENT;
    }
    k.texture = bound && (readsTexture(k.colorOp, k.colorArg) || readsTexture(k.alphaOp, k.alphaArg));
    if (k.texture) {
      k.volume = (volumeMask >> s) & 1;
      const DWORD tci = ts[D3DTSS_TEXCOORDINDEX];
      k.coordSet = static_cast<std::uint8_t>(tci & 7);
      k.coordGen = static_cast<std::uint8_t>((tci >> 16) & 0xFF);
      if (k.coordGen > 3) k.coordGen = 0;  // sphere maps are not drawn here
      k.coordSize = k.coordGen ? 3 : key.texcoordSize[k.coordSet];
      const DWORD flags = ts[D3DTSS_TEXTURETRANSFORMFLAGS];
      if (!format.pretransformed) {
        k.transformCount = static_cast<std::uint8_t>(flags & 0xFF) <= 4 ? static_cast<std::uint8_t>(flags & 0xFF) : 0;
        k.projected = k.transformCount >= 2 && (flags & D3DTTFF_PROJECTED);
      }
    }
  }

  if (rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS)
    key.alphaFunc = static_cast<std::uint8_t>(
        rs[D3DRS_ALPHAFUNC] >= D3DCMP_NEVER && rs[D3DRS_ALPHAFUNC] <= D3DCMP_ALWAYS ? rs[D3DRS_ALPHAFUNC]
                                                                                    : D3DCMP_ALWAYS);
  if (key.alphaFunc == D3DCMP_ALWAYS) key.alphaFunc = 0;
  if (!format.pretransformed) key.clipPlanes = static_cast<std::uint8_t>(rs[D3DRS_CLIPPLANEENABLE] & 0x3F);
  return key;
}
