// Writes the GLSL of a fixed-function key. Uniform names are shared with the
// GL backend, which fills them per draw (d3d9_gl_draw.cpp).
#include "platform/graphics/ff_glsl.h"

#include <string>

// GCC 12's optimiser reports impossible overlaps in std::string's operator+
// on literals (a known false positive); this file is built from such sums.
#pragma GCC diagnostic ignored "-Wrestrict"

namespace {

std::string num(int v) { return std::to_string(v); }

bool stageActive(const FixedFunctionKey& key, int s) { return key.stages[s].colorOp != 0; }

// Whether an active stage takes D3DTA_SPECULAR as an argument.
bool stagesReadSpecular(const FixedFunctionKey& key) {
  for (int s = 0; s < 8 && stageActive(key, s); ++s)
    for (int i = 0; i < 3; ++i)
      if ((key.stages[s].colorArg[i] & D3DTA_SELECTMASK) == D3DTA_SPECULAR ||
          (key.stages[s].alphaArg[i] & D3DTA_SELECTMASK) == D3DTA_SPECULAR)
        return true;
  return false;
}

// A stage argument as a vec4 expression.
std::string argument(std::uint8_t arg, int s) {
  std::string x;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
      x = "v_diffuse";
      break;
    case D3DTA_CURRENT:
      x = s == 0 ? "v_diffuse" : "cur";
      break;
    case D3DTA_TEXTURE:
      x = "t" + num(s);
      break;
    case D3DTA_TFACTOR:
      x = "u_tfactor";
      break;
    case D3DTA_SPECULAR:
      x = "specularArg";
      break;
    case D3DTA_TEMP:
      x = "tmp";
      break;
    case D3DTA_CONSTANT:
      x = "u_constant[" + num(s) + "]";
      break;
    default:
      x = "vec4(0.0)";
      break;
  }
  if (arg & D3DTA_ALPHAREPLICATE) x = "vec4((" + x + ").a)";
  if (arg & D3DTA_COMPLEMENT) x = "(vec4(1.0) - " + x + ")";
  return x;
}

// "(expression)" followed by a component selector (appended piecewise:
// GCC 12 warns falsely about chained temporaries here).
std::string parenthesised(const std::string& expression, const char* selector = "") {
  std::string out;
  out.reserve(expression.size() + 8);
  out += '(';
  out += expression;
  out += ')';
  out += selector;
  return out;
}

// The result of `op` on component selector c (".rgb" or ".a").
std::string operation(DWORD op, const std::uint8_t args[3], int s, const std::string& c, bool colour) {
  const std::string a0 = parenthesised(argument(args[0], s), c.c_str());
  const std::string a1 = parenthesised(argument(args[1], s), c.c_str());
  const std::string a2 = parenthesised(argument(args[2], s), c.c_str());
  std::string current = s == 0 ? "v_diffuse" : "cur";
  current += c;
  const std::string a1full = parenthesised(argument(args[1], s));
  const std::string a2full = parenthesised(argument(args[2], s));
  switch (op) {
    case D3DTOP_SELECTARG1:
      return a1;
    case D3DTOP_SELECTARG2:
      return a2;
    case D3DTOP_MODULATE:
      return a1 + " * " + a2;
    case D3DTOP_MODULATE2X:
      return "2.0 * " + a1 + " * " + a2;
    case D3DTOP_MODULATE4X:
      return "4.0 * " + a1 + " * " + a2;
    case D3DTOP_ADD:
      return a1 + " + " + a2;
    case D3DTOP_ADDSIGNED:
      return a1 + " + " + a2 + " - 0.5";
    case D3DTOP_ADDSIGNED2X:
      return "2.0 * (" + a1 + " + " + a2 + " - 0.5)";
    case D3DTOP_SUBTRACT:
      return a1 + " - " + a2;
    case D3DTOP_ADDSMOOTH:
      return a1 + " + " + a2 + " - " + a1 + " * " + a2;
    case D3DTOP_BLENDDIFFUSEALPHA:
      return "mix(" + a2 + ", " + a1 + ", v_diffuse.a)";
    case D3DTOP_BLENDTEXTUREALPHA:
      return "mix(" + a2 + ", " + a1 + ", t" + num(s) + ".a)";
    case D3DTOP_BLENDFACTORALPHA:
      return "mix(" + a2 + ", " + a1 + ", u_tfactor.a)";
    case D3DTOP_BLENDCURRENTALPHA:
      return "mix(" + a2 + ", " + a1 + ", " + (s == 0 ? "v_diffuse" : "cur") + ".a)";
    case D3DTOP_BLENDTEXTUREALPHAPM:
      return a1 + " + " + a2 + " * (1.0 - t" + num(s) + ".a)";
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
      return colour ? a1full + ".rgb + " + a1full + ".a * " + a2full + ".rgb" : a1;
    case D3DTOP_MODULATECOLOR_ADDALPHA:
      return colour ? a1full + ".rgb * " + a2full + ".rgb + vec3(" + a1full + ".a)" : a1;
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
      return colour ? "(1.0 - " + a1full + ".a) * " + a2full + ".rgb + " + a1full + ".rgb" : a1;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
      return colour ? "(vec3(1.0) - " + a1full + ".rgb) * " + a2full + ".rgb + vec3(" + a1full + ".a)" : a1;
    case D3DTOP_DOTPRODUCT3: {
      const std::string dot = "4.0 * dot(" + a1full + ".rgb - vec3(0.5), " + a2full + ".rgb - vec3(0.5))";
      return colour ? "vec3(" + dot + ")" : dot;
    }
    case D3DTOP_MULTIPLYADD:
      return a0 + " + " + a1 + " * " + a2;
    case D3DTOP_LERP:
      return "mix(" + a2 + ", " + a1 + ", " + a0 + ")";
    default:  // premodulate and bump mapping are not drawn: pass CURRENT on
      return current;
  }
}

}  // namespace

std::string fixedFunctionVertexShader(const FixedFunctionKey& key) {
  std::string v = "#version 120\n";
  v += "attribute vec4 a_position;\n";
  if (key.hasNormal) v += "attribute vec3 a_normal;\n";
  for (int i = 0; i < 2; ++i)
    if (key.hasColor[i]) v += "attribute vec4 a_color" + num(i) + ";\n";
  for (int i = 0; i < 8; ++i)
    if (key.texcoordSize[i]) v += "attribute vec4 a_tex" + num(i) + ";\n";
  v += "uniform mat4 u_world;\nuniform mat4 u_worldView;\nuniform mat3 u_normalMatrix;\nuniform mat4 u_proj;\n"
       "uniform mat4 u_clip;\nuniform vec4 u_viewport;\nuniform vec2 u_depthMap;\n"
       "uniform vec4 u_matDiffuse;\nuniform vec4 u_matAmbient;\nuniform vec4 u_matSpecular;\n"
       "uniform vec4 u_matEmissive;\nuniform float u_matPower;\nuniform vec4 u_ambient;\n"
       "uniform vec4 u_lightDiffuse[8];\nuniform vec4 u_lightSpecular[8];\nuniform vec4 u_lightAmbient[8];\n"
       "uniform vec3 u_lightPosition[8];\nuniform vec3 u_lightDirection[8];\nuniform vec4 u_lightAtten[8];\n"
       "uniform vec3 u_lightSpot[8];\nuniform mat4 u_texMatrix[8];\nuniform vec3 u_fogParams;\n"
       "varying vec4 v_diffuse;\nvarying vec4 v_specular;\nvarying float v_fog;\nvarying float v_eyeZ;\n";
  for (int s = 0; s < 8; ++s)
    if (stageActive(key, s) && key.stages[s].texture) v += "varying vec4 v_tex" + num(s) + ";\n";

  v += "void main() {\n";
  const std::string colour0 = key.hasColor[0] ? "a_color0" : "vec4(1.0)";
  const std::string colour1 = key.hasColor[1] ? "a_color1" : "vec4(0.0, 0.0, 0.0, 1.0)";
  v += "  vec3 P = vec3(0.0);\n  vec3 N = vec3(0.0);\n";
  if (key.pretransformed) {
    // Render-target pixels, pixel (i, j) centred on (i, j); rows kept in
    // Direct3D order, so y grows with the GL row.
    v += "  float w = a_position.w != 0.0 ? 1.0 / a_position.w : 1.0;\n"
         "  vec2 ndc = vec2(2.0 * (a_position.x + 0.4921875 - u_viewport.x) / u_viewport.z - 1.0,\n"
         "                  2.0 * (a_position.y + 0.4921875 - u_viewport.y) / u_viewport.w - 1.0);\n"
         "  gl_Position = vec4(ndc * w, (a_position.z * u_depthMap.x + u_depthMap.y) * w, w);\n";
  } else {
    v += "  vec4 pos = vec4(a_position.xyz, 1.0);\n";
    v += "  vec4 eye = u_worldView * pos;\n  P = eye.xyz;\n";
    v += "  gl_Position = u_clip * (u_proj * eye);\n";
    if (key.clipPlanes) v += "  gl_ClipVertex = u_world * pos;\n";
    if (key.hasNormal) {
      v += "  N = u_normalMatrix * a_normal;\n";
      if (key.normalizeNormals) v += "  if (dot(N, N) > 0.0) N = normalize(N);\n";
    }
  }
  v += "  v_eyeZ = P.z;\n";

  if (key.lighting) {
    // The lit specular colour is also what a stage's SPECULAR argument
    // reads (a specular map modulates it); SPECULARENABLE only decides
    // whether it is added at the end.
    const bool litSpecular = key.specularEnable || stagesReadSpecular(key);
    auto source = [&](std::uint8_t s, const char* material) {
      return std::string(s == D3DMCS_COLOR1 ? "a_color0" : s == D3DMCS_COLOR2 ? "a_color1" : material);
    };
    v += "  vec4 Cd = " + source(key.diffuseSource, "u_matDiffuse") + ";\n";
    v += "  vec4 Ca = " + source(key.ambientSource, "u_matAmbient") + ";\n";
    v += "  vec4 Cs = " + source(key.specularSource, "u_matSpecular") + ";\n";
    v += "  vec4 Ce = " + source(key.emissiveSource, "u_matEmissive") + ";\n";
    v += "  vec3 amb = vec3(0.0);\n  vec3 dif = vec3(0.0);\n  vec3 spe = vec3(0.0);\n";
    v += std::string("  vec3 V = ") +
         (key.localViewer ? "dot(P, P) > 0.0 ? -normalize(P) : vec3(0.0, 0.0, -1.0)" : "vec3(0.0, 0.0, -1.0)") + ";\n";
    for (int i = 0; i < 8; ++i) {
      const int type = key.lights[i];
      if (!type) continue;
      const std::string n = num(i);
      v += "  {\n    vec3 L;\n    float att = 1.0;\n    float spot = 1.0;\n    bool on = true;\n";
      if (type == D3DLIGHT_DIRECTIONAL) {
        v += "    L = -u_lightDirection[" + n + "];\n";
      } else {
        v += "    vec3 d = u_lightPosition[" + n + "] - P;\n    float dist = length(d);\n";
        v += "    on = dist <= u_lightAtten[" + n + "].w;\n";
        v += "    L = dist > 0.0 ? d / dist : vec3(0.0, 0.0, -1.0);\n";
        v += "    float den = u_lightAtten[" + n + "].x + u_lightAtten[" + n + "].y * dist + u_lightAtten[" + n +
             "].z * dist * dist;\n";
        v += "    att = den > 0.0 ? 1.0 / den : 1.0;\n";
        if (type == D3DLIGHT_SPOT) {
          v += "    float rho = dot(-L, u_lightDirection[" + n + "]);\n";
          v += "    vec3 sp = u_lightSpot[" + n + "];\n";
          v += "    spot = rho > sp.x ? 1.0 : (rho <= sp.y ? 0.0 : pow((rho - sp.y) / (sp.x - sp.y), sp.z));\n";
        }
      }
      v += "    if (on) {\n";
      v += "      float NL = dot(N, L);\n";
      v += "      amb += u_lightAmbient[" + n + "].rgb * att * spot;\n";
      v += "      dif += u_lightDiffuse[" + n + "].rgb * max(NL, 0.0) * att * spot;\n";
      if (litSpecular) {
        v += "      vec3 H = normalize(L + V);\n      float NH = dot(N, H);\n";
        v += "      if (NL > 0.0 && NH > 0.0) spe += u_lightSpecular[" + n +
             "].rgb * pow(NH, u_matPower) * att * spot;\n";
      }
      v += "    }\n  }\n";
    }
    v += "  v_diffuse = vec4(clamp(Ce.rgb + Ca.rgb * (u_ambient.rgb + amb) + Cd.rgb * dif, 0.0, 1.0), Cd.a);\n";
    if (litSpecular)
      v += "  v_specular = vec4(clamp(Cs.rgb * spe, 0.0, 1.0), " + colour1 + ".a);\n";
    else
      v += "  v_specular = " + colour1 + ";\n";
  } else {
    v += "  v_diffuse = " + colour0 + ";\n  v_specular = " + colour1 + ";\n";
  }

  if (key.fog == FogKind::Vertex) {
    v += std::string("  float fd = ") + (key.rangeFog ? "length(P)" : "abs(P.z)") + ";\n";
    if (key.fogMode == D3DFOG_LINEAR)
      v += "  v_fog = u_fogParams.y != u_fogParams.x ? (u_fogParams.y - fd) / (u_fogParams.y - u_fogParams.x) : 1.0;\n";
    else if (key.fogMode == D3DFOG_EXP)
      v += "  v_fog = exp(-u_fogParams.z * fd);\n";
    else
      v += "  v_fog = exp(-(u_fogParams.z * fd) * (u_fogParams.z * fd));\n";
    v += "  v_fog = clamp(v_fog, 0.0, 1.0);\n";
  } else {
    v += "  v_fog = v_specular.a;\n";
  }

  for (int s = 0; s < 8; ++s) {
    if (!stageActive(key, s) || !key.stages[s].texture) continue;
    const FixedFunctionStageKey& k = key.stages[s];
    const std::string n = num(s);
    std::string in;
    int size = k.coordSize;
    switch (k.coordGen) {
      case 1:
        in = "vec4(N, 1.0)";
        break;
      case 2:
        in = "vec4(P, 1.0)";
        break;
      case 3:
        v += std::string("  vec3 I") + n + " = " +
             (key.localViewer ? "dot(P, P) > 0.0 ? normalize(P) : vec3(0.0, 0.0, 1.0)" : "vec3(0.0, 0.0, 1.0)") + ";\n";
        in = "vec4(I" + n + " - 2.0 * dot(N, I" + n + ") * N, 1.0)";
        break;
      default:
        in = size ? "a_tex" + num(k.coordSet) : "vec4(0.0, 0.0, 0.0, 1.0)";
        if (!size) size = 2;
        break;
    }
    if (k.transformCount == 0) {
      v += "  v_tex" + n + " = " + in + ";\n";
      continue;
    }
    // The input padded with a 1 after its last component, then zeros.
    static const char* const pads[] = {"", "vec4(%.x, 1.0, 0.0, 0.0)", "vec4(%.xy, 1.0, 0.0)", "vec4(%.xyz, 1.0)", "%"};
    std::string padded = pads[size];
    padded.replace(padded.find('%'), 1, "(" + in + ")");
    v += "  vec4 tt" + n + " = u_texMatrix[" + n + "] * " + padded + ";\n";
    static const char* const masks[] = {"", "vec4(1.0, 0.0, 0.0, 0.0)", "vec4(1.0, 1.0, 0.0, 0.0)",
                                        "vec4(1.0, 1.0, 1.0, 0.0)", "vec4(1.0)"};
    v += "  v_tex" + n + " = tt" + n + " * " + masks[k.transformCount] + ";\n";
  }
  v += "}\n";
  return v;
}

std::string fixedFunctionFragmentShader(const FixedFunctionKey& key) {
  std::string f = "#version 120\n";
  f += "uniform vec4 u_tfactor;\nuniform vec4 u_constant[8];\nuniform vec3 u_fogColor;\nuniform vec3 u_fogParams;\n"
       "uniform float u_alphaRef;\n"
       "varying vec4 v_diffuse;\nvarying vec4 v_specular;\nvarying float v_fog;\nvarying float v_eyeZ;\n";
  for (int s = 0; s < 8; ++s) {
    if (stageActive(key, s) && key.stages[s].texture)
      f += std::string("uniform ") + (key.stages[s].volume ? "sampler3D" : "sampler2D") + " s_tex" + num(s) +
           ";\nvarying vec4 v_tex" + num(s) + ";\n";
  }
  f += "void main() {\n  vec4 cur = v_diffuse;\n  vec4 tmp = vec4(0.0);\n";
  // Unlit and without a vertex specular colour, the SPECULAR argument reads
  // opaque white; the final specular add then adds nothing (black).
  f += std::string("  vec4 specularArg = ") + (!key.lighting && !key.hasColor[1] ? "vec4(1.0)" : "v_specular") + ";\n";
  for (int s = 0; s < 8; ++s) {
    if (!stageActive(key, s)) break;
    const FixedFunctionStageKey& k = key.stages[s];
    const std::string n = num(s);
    if (k.texture) {
      // Volume textures read three coordinates, plain ones two.
      const std::string xy = k.volume ? ".xyz" : ".xy", zero = k.volume ? "vec3(0.0)" : "vec2(0.0)";
      std::string coord = "v_tex" + n + xy;
      if (k.projected) {
        static const char* const comp[] = {"x", "x", "y", "z", "w"};
        const std::string q = "v_tex" + n + "." + comp[k.transformCount];
        coord = "(" + q + " != 0.0 ? v_tex" + n + xy + " / " + q + " : " + zero + ")";
      }
      f += "  vec4 t" + n + " = " + (k.volume ? "texture3D" : "texture2D") + "(s_tex" + n + ", " + coord + ");\n";
    } else {
      f += "  vec4 t" + n + " = vec4(1.0);\n";
    }
    f += "  {\n";
    f += "    vec3 c = clamp(" + operation(k.colorOp, k.colorArg, s, ".rgb", true) + ", 0.0, 1.0);\n";
    if (k.colorOp == D3DTOP_DOTPRODUCT3)
      f += "    float a = c.r;\n";
    else if (k.alphaOp == D3DTOP_DISABLE || k.alphaOp == 0)
      f += std::string("    float a = ") + (s == 0 ? "v_diffuse" : "cur") + ".a;\n";
    else
      f += "    float a = clamp(" + operation(k.alphaOp, k.alphaArg, s, ".a", false) + ", 0.0, 1.0);\n";
    f += std::string("    ") + (k.resultTemp ? "tmp" : "cur") + " = vec4(c, a);\n  }\n";
  }
  f += "  vec4 colour = cur;\n";
  if (key.specularEnable) f += "  colour.rgb = clamp(colour.rgb + v_specular.rgb, 0.0, 1.0);\n";
  if (key.fog == FogKind::Table) {
    f += std::string("  float fd = ") + (key.orthographicFog ? "gl_FragCoord.z" : "v_eyeZ") + ";\n";
    if (key.fogMode == D3DFOG_LINEAR)
      f += "  float fog = u_fogParams.y != u_fogParams.x ? (u_fogParams.y - fd) / (u_fogParams.y - u_fogParams.x) : "
           "1.0;\n";
    else if (key.fogMode == D3DFOG_EXP)
      f += "  float fog = exp(-u_fogParams.z * fd);\n";
    else
      f += "  float fog = exp(-(u_fogParams.z * fd) * (u_fogParams.z * fd));\n";
    f += "  colour.rgb = mix(u_fogColor, colour.rgb, clamp(fog, 0.0, 1.0));\n";
  } else if (key.fog != FogKind::None) {
    f += "  colour.rgb = mix(u_fogColor, colour.rgb, clamp(v_fog, 0.0, 1.0));\n";
  }
  if (key.alphaFunc) {
    static const char* const tests[] = {"",
                                        "false",
                                        "a8 < u_alphaRef",
                                        "a8 == u_alphaRef",
                                        "a8 <= u_alphaRef",
                                        "a8 > u_alphaRef",
                                        "a8 != u_alphaRef",
                                        "a8 >= u_alphaRef",
                                        "true"};
    f += "  float a8 = floor(clamp(colour.a, 0.0, 1.0) * 255.0 + 0.5);\n";
    f += std::string("  if (!(") + tests[key.alphaFunc] + ")) discard;\n";
  }
  f += "  gl_FragColor = colour;\n}\n";
  return f;
}
