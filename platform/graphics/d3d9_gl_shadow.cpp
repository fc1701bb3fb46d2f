// The GL draw path's copy of its context state (see d3d9_gl_shadow.h).
#include "platform/graphics/d3d9_gl_shadow.h"

#include <algorithm>
#include <cstring>

namespace {

GLint addressMode(DWORD d3d) {
  switch (d3d) {
    case D3DTADDRESS_MIRROR:
      return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
      return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
      return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE:
      return GL_MIRROR_CLAMP_TO_EDGE;
    default:
      return GL_REPEAT;
  }
}

GLenum compareFunction(DWORD d3d) { return d3d >= D3DCMP_NEVER && d3d <= D3DCMP_ALWAYS ? 0x01FF + d3d : GL_ALWAYS; }

GLenum blendFactor(DWORD d3d) {
  switch (d3d) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_ONE:
      return GL_ONE;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
      return GL_SRC_ALPHA_SATURATE;
    default:
      return GL_ONE;
  }
}

GLenum blendEquation(DWORD d3d) {
  switch (d3d) {
    case D3DBLENDOP_SUBTRACT:
      return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
      return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
      return GL_MIN;
    case D3DBLENDOP_MAX:
      return GL_MAX;
    default:
      return GL_FUNC_ADD;
  }
}

// Direct3D's saturating and wrapping stencil ops carry each other's GL names.
GLenum stencilOp(DWORD d3d) {
  switch (d3d) {
    case D3DSTENCILOP_ZERO:
      return GL_ZERO;
    case D3DSTENCILOP_REPLACE:
      return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT:
      return GL_INCR;
    case D3DSTENCILOP_DECRSAT:
      return GL_DECR;
    case D3DSTENCILOP_INVERT:
      return GL_INVERT;
    case D3DSTENCILOP_INCR:
      return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR:
      return GL_DECR_WRAP;
    default:
      return GL_KEEP;
  }
}

}  // namespace

GlOutputMerger glOutputMerger(const std::array<DWORD, kRenderStateCount>& rs, bool hasDepth, bool hasStencil) {
  GlOutputMerger om;
  om.depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE && hasDepth;
  om.depthFunc = compareFunction(rs[D3DRS_ZFUNC]);
  om.depthMask = rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE;
  const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
  for (int c = 0; c < 4; ++c) om.colorMask[c] = (mask >> c) & 1 ? GL_TRUE : GL_FALSE;
  const DWORD fill = rs[D3DRS_FILLMODE];
  om.polygonMode = fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL;
  om.cull = rs[D3DRS_CULLMODE] != D3DCULL_NONE;
  om.cullFace = rs[D3DRS_CULLMODE] == D3DCULL_CW ? GL_FRONT : GL_BACK;
  om.blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
  const DWORD src = rs[D3DRS_SRCBLEND];
  om.blendSrc = blendFactor(src);
  om.blendDst = blendFactor(rs[D3DRS_DESTBLEND]);
  if (src == D3DBLEND_BOTHSRCALPHA) {
    om.blendSrc = GL_SRC_ALPHA;
    om.blendDst = GL_ONE_MINUS_SRC_ALPHA;
  } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
    om.blendSrc = GL_ONE_MINUS_SRC_ALPHA;
    om.blendDst = GL_SRC_ALPHA;
  }
  om.blendEquation = blendEquation(rs[D3DRS_BLENDOP]);
  om.stencilTest = rs[D3DRS_STENCILENABLE] != 0 && hasStencil;
  om.stencilFunc = compareFunction(rs[D3DRS_STENCILFUNC]);
  om.stencilRef = static_cast<GLint>(rs[D3DRS_STENCILREF]);
  om.stencilMask = rs[D3DRS_STENCILMASK];
  om.stencilWriteMask = rs[D3DRS_STENCILWRITEMASK];
  om.stencilFail = stencilOp(rs[D3DRS_STENCILFAIL]);
  om.stencilZFail = stencilOp(rs[D3DRS_STENCILZFAIL]);
  om.stencilPass = stencilOp(rs[D3DRS_STENCILPASS]);
  return om;
}

void colorOf(D3DCOLOR c, float out[4]) {
  out[0] = static_cast<float>((c >> 16) & 0xFF) / 255.0f;
  out[1] = static_cast<float>((c >> 8) & 0xFF) / 255.0f;
  out[2] = static_cast<float>(c & 0xFF) / 255.0f;
  out[3] = static_cast<float>((c >> 24) & 0xFF) / 255.0f;
}

GlSampling glSampling(const std::array<DWORD, kSamplerStateCount>& ss, DWORD levels, float maxAnisotropy) {
  GlSampling s;
  s.wrapS = addressMode(ss[D3DSAMP_ADDRESSU]);
  s.wrapT = addressMode(ss[D3DSAMP_ADDRESSV]);
  s.wrapR = addressMode(ss[D3DSAMP_ADDRESSW]);
  colorOf(ss[D3DSAMP_BORDERCOLOR], s.border);
  const DWORD mag = ss[D3DSAMP_MAGFILTER], min = ss[D3DSAMP_MINFILTER], mip = ss[D3DSAMP_MIPFILTER];
  const bool linearMin = min == D3DTEXF_LINEAR || min == D3DTEXF_ANISOTROPIC;
  s.minFilter = linearMin ? GL_LINEAR : GL_NEAREST;
  // Without a mip filter only the top allowed level is sampled.
  if (mip == D3DTEXF_POINT && levels > 1)
    s.minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  else if (mip == D3DTEXF_LINEAR && levels > 1)
    s.minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  s.magFilter = mag == D3DTEXF_LINEAR || mag == D3DTEXF_ANISOTROPIC ? GL_LINEAR : GL_NEAREST;
  s.baseLevel = static_cast<GLint>(levels > 0 ? std::min<DWORD>(ss[D3DSAMP_MAXMIPLEVEL], levels - 1) : 0);
  if (maxAnisotropy > 1.0f) {
    const bool anisotropic = min == D3DTEXF_ANISOTROPIC || mag == D3DTEXF_ANISOTROPIC;
    const float wanted = anisotropic ? static_cast<float>(std::max<DWORD>(ss[D3DSAMP_MAXANISOTROPY], 1)) : 1.0f;
    s.anisotropy = std::min(wanted, maxAnisotropy);
  }
  return s;
}

void GlStateShadow::forget() {
  m_program = kUnknown;
  m_arrayBuffer = m_elementBuffer = kUnknown;
  m_activeUnit = kUnknown;
  forgetTextures();
  m_attributesKnown = false;
  for (Attribute& a : m_attributes) a.known = false;
  m_clipKnown = false;
  m_clipPlanesSent = 0;
  m_outputMergerKnown = false;
}

void GlStateShadow::release() {
  m_gl.UseProgram(0);
  m_gl.BindBuffer(GL_ARRAY_BUFFER, 0);
  m_gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  // Only what draws may have enabled: the arrays and planes of the shadow
  // when it knows them, every one otherwise.
  for (GLuint i = 0; i < m_attributes.size(); ++i)
    if (!m_attributesKnown || (m_enabledAttributes >> i) & 1) m_gl.DisableVertexAttribArray(i);
  for (DWORD i = 0; i < kMaxClipPlanes; ++i)
    if (!m_clipKnown || (m_clipMask >> i) & 1) m_gl.Disable(GL_CLIP_PLANE0 + i);
  m_gl.ActiveTexture(GL_TEXTURE0);
  forget();
}

void GlStateShadow::forgetTextures() {
  for (TextureUnit& u : m_units) u.known = false;
  m_sampling.clear();
}

void GlStateShadow::useProgram(GLuint program) {
  if (program == m_program) return;
  m_gl.UseProgram(program);
  m_program = program;
}

void GlStateShadow::activeTexture(DWORD unit) {
  if (unit == m_activeUnit) return;
  m_gl.ActiveTexture(GL_TEXTURE0 + unit);
  m_activeUnit = unit;
}

void GlStateShadow::bindTexture(DWORD unit, GLenum target, GLuint name, const GlSampling& s) {
  TextureUnit& u = m_units[unit];
  if (!u.known || u.target != target || u.name != name) {
    activeTexture(unit);
    m_gl.BindTexture(target, name);
    u = {target, name, true};
  }
  auto [it, fresh] = m_sampling.try_emplace(name);
  GlSampling& had = it->second;
  if (!fresh && had == s) return;
  // Parameters belong to the texture: set on whichever unit has it bound.
  activeTexture(unit);
  if (fresh || had.wrapS != s.wrapS) m_gl.TexParameteri(target, GL_TEXTURE_WRAP_S, s.wrapS);
  if (fresh || had.wrapT != s.wrapT) m_gl.TexParameteri(target, GL_TEXTURE_WRAP_T, s.wrapT);
  if (target == GL_TEXTURE_3D && (fresh || had.wrapR != s.wrapR))
    m_gl.TexParameteri(target, GL_TEXTURE_WRAP_R, s.wrapR);
  if (fresh || std::memcmp(had.border, s.border, sizeof s.border) != 0)
    m_gl.TexParameterfv(target, GL_TEXTURE_BORDER_COLOR, s.border);
  if (fresh || had.minFilter != s.minFilter) m_gl.TexParameteri(target, GL_TEXTURE_MIN_FILTER, s.minFilter);
  if (fresh || had.magFilter != s.magFilter) m_gl.TexParameteri(target, GL_TEXTURE_MAG_FILTER, s.magFilter);
  if (fresh || had.baseLevel != s.baseLevel) m_gl.TexParameteri(target, GL_TEXTURE_BASE_LEVEL, s.baseLevel);
  if (s.anisotropy > 0.0f && (fresh || had.anisotropy != s.anisotropy))
    m_gl.TexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, s.anisotropy);
  had = s;
}

void GlStateShadow::bindBuffer(GLenum target, GLuint name) {
  GLuint& bound = target == GL_ARRAY_BUFFER ? m_arrayBuffer : m_elementBuffer;
  if (bound == name) return;
  m_gl.BindBuffer(target, name);
  bound = name;
}

void GlStateShadow::bufferDeleted(GLuint name) {
  if (m_arrayBuffer == name) m_arrayBuffer = kUnknown;
  if (m_elementBuffer == name) m_elementBuffer = kUnknown;
  for (Attribute& a : m_attributes)
    if (a.buffer == name) a.known = false;
}

void GlStateShadow::vertexAttribute(GLuint location, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                                    const void* pointer) {
  Attribute& a = m_attributes[location];
  const GLuint buffer = m_arrayBuffer;
  if (a.known && buffer != kUnknown && a.buffer == buffer && a.size == size && a.type == type &&
      a.normalized == normalized && a.stride == stride && a.pointer == pointer)
    return;
  m_gl.VertexAttribPointer(location, size, type, normalized, stride, pointer);
  a = {buffer, size, type, normalized, stride, pointer, buffer != kUnknown};
}

void GlStateShadow::enableAttributes(std::uint32_t mask) {
  const std::uint32_t differs = m_attributesKnown ? (mask ^ m_enabledAttributes) : 0xFFFFu;
  for (GLuint i = 0; i < m_attributes.size(); ++i) {
    if (!((differs >> i) & 1)) continue;
    if ((mask >> i) & 1)
      m_gl.EnableVertexAttribArray(i);
    else
      m_gl.DisableVertexAttribArray(i);
  }
  m_enabledAttributes = mask;
  m_attributesKnown = true;
}

void GlStateShadow::clipPlanes(unsigned mask, const std::array<std::array<float, 4>, kMaxClipPlanes>& planes) {
  if (!m_clipKnown) {
    // GL keeps planes in eye space through the modelview matrix, which stays
    // identity, so the shader's world position meets them as given.
    m_gl.MatrixMode(GL_MODELVIEW);
    m_gl.LoadIdentity();
  }
  for (DWORD i = 0; i < kMaxClipPlanes; ++i) {
    const bool on = (mask >> i) & 1;
    if (on && (!((m_clipPlanesSent >> i) & 1) || m_clipPlanes[i] != planes[i])) {
      const GLdouble eq[4] = {planes[i][0], planes[i][1], planes[i][2], planes[i][3]};
      m_gl.ClipPlane(GL_CLIP_PLANE0 + i, eq);
      m_clipPlanes[i] = planes[i];
      m_clipPlanesSent |= 1u << i;
    }
    if (m_clipKnown && on == (((m_clipMask >> i) & 1) != 0)) continue;
    if (on)
      m_gl.Enable(GL_CLIP_PLANE0 + i);
    else
      m_gl.Disable(GL_CLIP_PLANE0 + i);
  }
  m_clipMask = mask;
  m_clipKnown = true;
}

void GlStateShadow::outputMerger(const GlOutputMerger& want) {
  const bool all = !m_outputMergerKnown;
  if (!all && want == m_om) return;
  const GlOutputMerger& had = m_om;
  const GlDrawFunctions& gl = m_gl;
  auto enable = [&](GLenum cap, GLboolean on, GLboolean was) {
    if (!all && on == was) return;
    if (on)
      gl.Enable(cap);
    else
      gl.Disable(cap);
  };
  if (all) gl.FrontFace(GL_CCW);  // every target is kept in Direct3D row order
  enable(GL_DEPTH_TEST, want.depthTest, had.depthTest);
  if (all || want.depthFunc != had.depthFunc) gl.DepthFunc(want.depthFunc);
  if (all || want.depthMask != had.depthMask) gl.DepthMask(want.depthMask);
  if (all || std::memcmp(want.colorMask, had.colorMask, sizeof had.colorMask) != 0)
    gl.ColorMask(want.colorMask[0], want.colorMask[1], want.colorMask[2], want.colorMask[3]);
  if (all || want.polygonMode != had.polygonMode) gl.PolygonMode(GL_FRONT_AND_BACK, want.polygonMode);
  enable(GL_CULL_FACE, want.cull, had.cull);
  if (all || want.cullFace != had.cullFace) gl.CullFace(want.cullFace);
  enable(GL_BLEND, want.blend, had.blend);
  if (all || want.blendSrc != had.blendSrc || want.blendDst != had.blendDst) gl.BlendFunc(want.blendSrc, want.blendDst);
  if (all || want.blendEquation != had.blendEquation) gl.BlendEquation(want.blendEquation);
  enable(GL_STENCIL_TEST, want.stencilTest, had.stencilTest);
  if (all || want.stencilFunc != had.stencilFunc || want.stencilRef != had.stencilRef ||
      want.stencilMask != had.stencilMask)
    gl.StencilFunc(want.stencilFunc, want.stencilRef, want.stencilMask);
  if (all || want.stencilWriteMask != had.stencilWriteMask) gl.StencilMask(want.stencilWriteMask);
  if (all || want.stencilFail != had.stencilFail || want.stencilZFail != had.stencilZFail ||
      want.stencilPass != had.stencilPass)
    gl.StencilOp(want.stencilFail, want.stencilZFail, want.stencilPass);
  m_om = want;
  m_outputMergerKnown = true;
}
