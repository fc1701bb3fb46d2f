// The GL backend's fixed-function stage (see d3d9_gl_draw.h).
#include "platform/graphics/d3d9_gl_draw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/graphics/ff_glsl.h"
#include "platform/graphics/gl_context.h"
#include "platform/system/system.h"

struct GlFixedFunction::Functions {
  PFNGLCREATESHADERPROC CreateShader = nullptr;
  PFNGLSHADERSOURCEPROC ShaderSource = nullptr;
  PFNGLCOMPILESHADERPROC CompileShader = nullptr;
  PFNGLGETSHADERIVPROC GetShaderiv = nullptr;
  PFNGLGETSHADERINFOLOGPROC GetShaderInfoLog = nullptr;
  PFNGLDELETESHADERPROC DeleteShader = nullptr;
  PFNGLCREATEPROGRAMPROC CreateProgram = nullptr;
  PFNGLATTACHSHADERPROC AttachShader = nullptr;
  PFNGLBINDATTRIBLOCATIONPROC BindAttribLocation = nullptr;
  PFNGLLINKPROGRAMPROC LinkProgram = nullptr;
  PFNGLGETPROGRAMIVPROC GetProgramiv = nullptr;
  PFNGLGETPROGRAMINFOLOGPROC GetProgramInfoLog = nullptr;
  PFNGLDELETEPROGRAMPROC DeleteProgram = nullptr;
  PFNGLUSEPROGRAMPROC UseProgram = nullptr;
  PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation = nullptr;
  PFNGLUNIFORM1IPROC Uniform1i = nullptr;
  PFNGLUNIFORM1FPROC Uniform1f = nullptr;
  PFNGLUNIFORM2FPROC Uniform2f = nullptr;
  PFNGLUNIFORM3FVPROC Uniform3fv = nullptr;
  PFNGLUNIFORM4FVPROC Uniform4fv = nullptr;
  PFNGLUNIFORMMATRIX3FVPROC UniformMatrix3fv = nullptr;
  PFNGLUNIFORMMATRIX4FVPROC UniformMatrix4fv = nullptr;
  PFNGLVERTEXATTRIBPOINTERPROC VertexAttribPointer = nullptr;
  PFNGLENABLEVERTEXATTRIBARRAYPROC EnableVertexAttribArray = nullptr;
  PFNGLDISABLEVERTEXATTRIBARRAYPROC DisableVertexAttribArray = nullptr;
  PFNGLACTIVETEXTUREPROC ActiveTexture = nullptr;
  PFNGLBINDBUFFERPROC BindBuffer = nullptr;
  PFNGLGENBUFFERSPROC GenBuffers = nullptr;
  PFNGLDELETEBUFFERSPROC DeleteBuffers = nullptr;
  PFNGLBUFFERDATAPROC BufferData = nullptr;
};

struct GlFixedFunction::Program {
  GLuint name = 0;
  GLint world = -1, worldView = -1, normalMatrix = -1, proj = -1, clip = -1, viewport = -1, depthMap = -1;
  GLint matDiffuse = -1, matAmbient = -1, matSpecular = -1, matEmissive = -1, matPower = -1, ambient = -1;
  GLint lightDiffuse = -1, lightSpecular = -1, lightAmbient = -1, lightPosition = -1, lightDirection = -1;
  GLint lightAtten = -1, lightSpot = -1, texMatrix = -1, fogParams = -1, fogColor = -1, tfactor = -1;
  GLint constant = -1, alphaRef = -1;
  GLint samplers[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  FixedFunctionKey key;
};

namespace {

template <typename T>
bool loadProc(T* slot, const char* name) {
  *slot = reinterpret_cast<T>(SDL_GL_GetProcAddress(name));
  return *slot != nullptr;
}

void colorOf(D3DCOLOR c, float out[4]) {
  out[0] = static_cast<float>((c >> 16) & 0xFF) / 255.0f;
  out[1] = static_cast<float>((c >> 8) & 0xFF) / 255.0f;
  out[2] = static_cast<float>(c & 0xFF) / 255.0f;
  out[3] = static_cast<float>((c >> 24) & 0xFF) / 255.0f;
}

float floatOf(DWORD bits) {
  float f = 0.0f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
  return r;
}

// Inverse transpose of the 3x3 part, row-major: the matrix that takes a
// normal (as a row vector) to camera space. Singular: the plain 3x3.
void normalMatrix(const D3DMATRIX& m, float out[9]) {
  const float a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
  const float d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
  const float g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
  const float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
  const float det = a * A + b * B + c * C;
  if (std::fabs(det) < 1e-20f) {
    const float plain[9] = {a, b, c, d, e, f, g, h, i};
    std::memcpy(out, plain, sizeof plain);
    return;
  }
  // inverse = adjugate / det; its transpose is the cofactor matrix / det.
  const float cof[9] = {
      A, B, C, -(b * i - c * h), a * i - c * g, -(a * h - b * g), b * f - c * e, -(a * f - c * d), a * e - b * d};
  for (int k = 0; k < 9; ++k) out[k] = cof[k] / det;
}

// A buffer's bytes in a GL buffer object of the device that drew it.
struct GlBufferCopy : MemoryBuffer::DeviceCopy {
  std::shared_ptr<GlTextureHost> host;
  PFNGLDELETEBUFFERSPROC deleteBuffers = nullptr;
  GLuint name = 0;
  unsigned version = ~0u;  // the buffer's version last sent
  ~GlBufferCopy() override {
    if (name && host && host->makeCurrent()) deleteBuffers(1, &name);
  }
};

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

GLenum primitiveMode(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST:
      return GL_POINTS;
    case D3DPT_LINELIST:
      return GL_LINES;
    case D3DPT_LINESTRIP:
      return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
      return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
      return GL_TRIANGLE_FAN;
    default:
      return GL_TRIANGLES;
  }
}

}  // namespace

GlFixedFunction::GlFixedFunction() = default;

GlFixedFunction::~GlFixedFunction() {
  for (auto& [key, program] : m_programs)
    if (m_gl && program->name) m_gl->DeleteProgram(program->name);
}

void GlFixedFunction::abandon() { m_programs.clear(); }

bool GlFixedFunction::load(bool zeroToOneDepth, std::shared_ptr<GlTextureHost> host) {
  m_zeroToOne = zeroToOneDepth;
  m_host = std::move(host);
  auto f = std::make_unique<Functions>();
  const bool ok =
      loadProc(&f->CreateShader, "glCreateShader") && loadProc(&f->ShaderSource, "glShaderSource") &&
      loadProc(&f->CompileShader, "glCompileShader") && loadProc(&f->GetShaderiv, "glGetShaderiv") &&
      loadProc(&f->GetShaderInfoLog, "glGetShaderInfoLog") && loadProc(&f->DeleteShader, "glDeleteShader") &&
      loadProc(&f->CreateProgram, "glCreateProgram") && loadProc(&f->AttachShader, "glAttachShader") &&
      loadProc(&f->BindAttribLocation, "glBindAttribLocation") && loadProc(&f->LinkProgram, "glLinkProgram") &&
      loadProc(&f->GetProgramiv, "glGetProgramiv") && loadProc(&f->GetProgramInfoLog, "glGetProgramInfoLog") &&
      loadProc(&f->DeleteProgram, "glDeleteProgram") && loadProc(&f->UseProgram, "glUseProgram") &&
      loadProc(&f->GetUniformLocation, "glGetUniformLocation") && loadProc(&f->Uniform1i, "glUniform1i") &&
      loadProc(&f->Uniform1f, "glUniform1f") && loadProc(&f->Uniform2f, "glUniform2f") &&
      loadProc(&f->Uniform3fv, "glUniform3fv") && loadProc(&f->Uniform4fv, "glUniform4fv") &&
      loadProc(&f->UniformMatrix3fv, "glUniformMatrix3fv") && loadProc(&f->UniformMatrix4fv, "glUniformMatrix4fv") &&
      loadProc(&f->VertexAttribPointer, "glVertexAttribPointer") &&
      loadProc(&f->EnableVertexAttribArray, "glEnableVertexAttribArray") &&
      loadProc(&f->DisableVertexAttribArray, "glDisableVertexAttribArray") &&
      loadProc(&f->ActiveTexture, "glActiveTexture") && loadProc(&f->BindBuffer, "glBindBuffer") &&
      loadProc(&f->GenBuffers, "glGenBuffers") && loadProc(&f->DeleteBuffers, "glDeleteBuffers") &&
      loadProc(&f->BufferData, "glBufferData");
  if (!ok) return false;
  m_gl = std::move(f);
  return true;
}

GlFixedFunction::Program* GlFixedFunction::programFor(const FixedFunctionKey& key) {
  auto it = m_programs.find(key);
  if (it != m_programs.end()) return it->second.get();
  auto program = std::make_unique<Program>();
  program->key = key;
  const Functions& gl = *m_gl;
  auto compile = [&](GLenum type, const std::string& source) -> GLuint {
    GLuint shader = gl.CreateShader(type);
    const char* text = source.c_str();
    gl.ShaderSource(shader, 1, &text, nullptr);
    gl.CompileShader(shader);
    GLint ok = 0;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
      char log[2048] = {};
      gl.GetShaderInfoLog(shader, sizeof log, nullptr, log);
      platformLog((std::string("fixed-function shader did not compile:\n") + log + "\n" + text).c_str());
      gl.DeleteShader(shader);
      return 0;
    }
    return shader;
  };
  const GLuint vs = compile(GL_VERTEX_SHADER, fixedFunctionVertexShader(key));
  const GLuint fs = compile(GL_FRAGMENT_SHADER, fixedFunctionFragmentShader(key));
  if (vs && fs) {
    const GLuint p = gl.CreateProgram();
    gl.AttachShader(p, vs);
    gl.AttachShader(p, fs);
    gl.BindAttribLocation(p, kAttribPosition, "a_position");
    gl.BindAttribLocation(p, kAttribNormal, "a_normal");
    gl.BindAttribLocation(p, kAttribColor0, "a_color0");
    gl.BindAttribLocation(p, kAttribColor1, "a_color1");
    for (int i = 0; i < 8; ++i)
      gl.BindAttribLocation(p, static_cast<GLuint>(kAttribTexcoord0 + i), ("a_tex" + std::to_string(i)).c_str());
    gl.LinkProgram(p);
    GLint linked = 0;
    gl.GetProgramiv(p, GL_LINK_STATUS, &linked);
    if (linked) {
      program->name = p;
    } else {
      char log[2048] = {};
      gl.GetProgramInfoLog(p, sizeof log, nullptr, log);
      platformLog((std::string("fixed-function program did not link: ") + log).c_str());
      gl.DeleteProgram(p);
    }
  }
  if (vs) gl.DeleteShader(vs);
  if (fs) gl.DeleteShader(fs);
  if (program->name) {
    auto loc = [&](const char* name) { return gl.GetUniformLocation(program->name, name); };
    Program& p = *program;
    p.world = loc("u_world");
    p.worldView = loc("u_worldView");
    p.normalMatrix = loc("u_normalMatrix");
    p.proj = loc("u_proj");
    p.clip = loc("u_clip");
    p.viewport = loc("u_viewport");
    p.depthMap = loc("u_depthMap");
    p.matDiffuse = loc("u_matDiffuse");
    p.matAmbient = loc("u_matAmbient");
    p.matSpecular = loc("u_matSpecular");
    p.matEmissive = loc("u_matEmissive");
    p.matPower = loc("u_matPower");
    p.ambient = loc("u_ambient");
    p.lightDiffuse = loc("u_lightDiffuse");
    p.lightSpecular = loc("u_lightSpecular");
    p.lightAmbient = loc("u_lightAmbient");
    p.lightPosition = loc("u_lightPosition");
    p.lightDirection = loc("u_lightDirection");
    p.lightAtten = loc("u_lightAtten");
    p.lightSpot = loc("u_lightSpot");
    p.texMatrix = loc("u_texMatrix");
    p.fogParams = loc("u_fogParams");
    p.fogColor = loc("u_fogColor");
    p.tfactor = loc("u_tfactor");
    p.constant = loc("u_constant");
    p.alphaRef = loc("u_alphaRef");
    for (int s = 0; s < 8; ++s) p.samplers[s] = loc(("s_tex" + std::to_string(s)).c_str());
  }
  // A program that failed stays cached as failed, so it is not rebuilt on
  // every draw.
  Program* made = program.get();
  m_programs.emplace(key, std::move(program));
  return made;
}

void GlFixedFunction::setUniforms(const Program& p, const DeviceState& state, const GeometryState& geometry) {
  const Functions& gl = *m_gl;
  const auto& rs = state.renderStates;
  const D3DMATRIX& world = state.worldMatrices[0];
  const D3DMATRIX worldView = multiply(world, state.view);
  gl.UniformMatrix4fv(p.world, 1, GL_FALSE, &world.m[0][0]);
  gl.UniformMatrix4fv(p.worldView, 1, GL_FALSE, &worldView.m[0][0]);
  float nm[9];
  normalMatrix(worldView, nm);
  gl.UniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, nm);
  gl.UniformMatrix4fv(p.proj, 1, GL_FALSE, &state.projection.m[0][0]);
  const D3DVIEWPORT9& vp = state.viewport;
  const D3DMATRIX clip = glClipAdjustment(vp.Width, vp.Height, m_zeroToOne);
  gl.UniformMatrix4fv(p.clip, 1, GL_FALSE, &clip.m[0][0]);
  const float viewport[4] = {static_cast<float>(vp.X), static_cast<float>(vp.Y), static_cast<float>(vp.Width),
                             static_cast<float>(vp.Height)};
  gl.Uniform4fv(p.viewport, 1, viewport);
  gl.Uniform2f(p.depthMap, m_zeroToOne ? 1.0f : 2.0f, m_zeroToOne ? 0.0f : -1.0f);

  const D3DMATERIAL9& m = geometry.material;
  gl.Uniform4fv(p.matDiffuse, 1, &m.Diffuse.r);
  gl.Uniform4fv(p.matAmbient, 1, &m.Ambient.r);
  gl.Uniform4fv(p.matSpecular, 1, &m.Specular.r);
  gl.Uniform4fv(p.matEmissive, 1, &m.Emissive.r);
  gl.Uniform1f(p.matPower, m.Power);
  float colour[4];
  colorOf(rs[D3DRS_AMBIENT], colour);
  gl.Uniform4fv(p.ambient, 1, colour);

  if (p.key.lighting) {
    const D3DLIGHT9* lights[kMaxActiveLights];
    const int n = enabledLights(geometry, lights);
    float diffuse[32] = {}, specular[32] = {}, ambient[32] = {}, atten[32] = {};
    float position[24] = {}, direction[24] = {}, spot[24] = {};
    const D3DMATRIX& v = state.view;
    for (int i = 0; i < n; ++i) {
      const D3DLIGHT9& l = *lights[i];
      std::memcpy(&diffuse[4 * i], &l.Diffuse.r, 16);
      std::memcpy(&specular[4 * i], &l.Specular.r, 16);
      std::memcpy(&ambient[4 * i], &l.Ambient.r, 16);
      const float pw[3] = {l.Position.x, l.Position.y, l.Position.z};
      const float dw[3] = {l.Direction.x, l.Direction.y, l.Direction.z};
      float dl = 0.0f;
      for (int c = 0; c < 3; ++c) {
        position[3 * i + c] = pw[0] * v.m[0][c] + pw[1] * v.m[1][c] + pw[2] * v.m[2][c] + v.m[3][c];
        direction[3 * i + c] = dw[0] * v.m[0][c] + dw[1] * v.m[1][c] + dw[2] * v.m[2][c];
        dl += direction[3 * i + c] * direction[3 * i + c];
      }
      if (dl > 0.0f)
        for (int c = 0; c < 3; ++c) direction[3 * i + c] /= std::sqrt(dl);
      atten[4 * i] = l.Attenuation0;
      atten[4 * i + 1] = l.Attenuation1;
      atten[4 * i + 2] = l.Attenuation2;
      atten[4 * i + 3] = l.Range;
      spot[3 * i] = std::cos(l.Theta / 2.0f);
      spot[3 * i + 1] = std::cos(l.Phi / 2.0f);
      spot[3 * i + 2] = l.Falloff;
    }
    gl.Uniform4fv(p.lightDiffuse, 8, diffuse);
    gl.Uniform4fv(p.lightSpecular, 8, specular);
    gl.Uniform4fv(p.lightAmbient, 8, ambient);
    gl.Uniform4fv(p.lightAtten, 8, atten);
    gl.Uniform3fv(p.lightPosition, 8, position);
    gl.Uniform3fv(p.lightDirection, 8, direction);
    gl.Uniform3fv(p.lightSpot, 8, spot);
  }

  gl.UniformMatrix4fv(p.texMatrix, 8, GL_FALSE, &state.textureMatrices[0].m[0][0]);
  const float fog[3] = {floatOf(rs[D3DRS_FOGSTART]), floatOf(rs[D3DRS_FOGEND]), floatOf(rs[D3DRS_FOGDENSITY])};
  gl.Uniform3fv(p.fogParams, 1, fog);
  colorOf(rs[D3DRS_FOGCOLOR], colour);
  gl.Uniform3fv(p.fogColor, 1, colour);
  colorOf(rs[D3DRS_TEXTUREFACTOR], colour);
  gl.Uniform4fv(p.tfactor, 1, colour);
  float constants[32];
  for (DWORD s = 0; s < kMaxTextureStages; ++s) colorOf(state.stageStates[s][D3DTSS_CONSTANT], &constants[4 * s]);
  gl.Uniform4fv(p.constant, 8, constants);
  gl.Uniform1f(p.alphaRef, static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF));
  for (int s = 0; s < 8; ++s)
    if (p.samplers[s] >= 0) gl.Uniform1i(p.samplers[s], s);
}

void GlFixedFunction::bindBufferObject(const MemoryBuffer& buffer, GLenum target) {
  auto* copy = dynamic_cast<GlBufferCopy*>(buffer.deviceCopy.get());
  if (!copy) {
    auto made = std::make_unique<GlBufferCopy>();
    made->host = m_host;
    made->deleteBuffers = m_gl->DeleteBuffers;
    m_gl->GenBuffers(1, &made->name);
    copy = made.get();
    buffer.deviceCopy = std::move(made);
  }
  m_gl->BindBuffer(target, copy->name);
  if (copy->version != buffer.version()) {
    // Rewritten buffers (DISCARD locks) get fresh storage each time.
    m_gl->BufferData(target, static_cast<GLsizeiptr>(buffer.length()), buffer.bytes(),
                     (buffer.usage() & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    copy->version = buffer.version();
  }
}

void GlFixedFunction::bindTexture(DWORD stage, GLuint name, DWORD levels, const DeviceState& state, float maxAnisotropy,
                                  GLenum target) {
  if (!m_gl) return;
  const auto& ss = state.samplerStates[stage];
  m_gl->ActiveTexture(GL_TEXTURE0 + stage);
  glBindTexture(target, name);
  glTexParameteri(target, GL_TEXTURE_WRAP_S, addressMode(ss[D3DSAMP_ADDRESSU]));
  glTexParameteri(target, GL_TEXTURE_WRAP_T, addressMode(ss[D3DSAMP_ADDRESSV]));
  if (target == GL_TEXTURE_3D) glTexParameteri(target, GL_TEXTURE_WRAP_R, addressMode(ss[D3DSAMP_ADDRESSW]));
  float border[4];
  colorOf(ss[D3DSAMP_BORDERCOLOR], border);
  glTexParameterfv(target, GL_TEXTURE_BORDER_COLOR, border);
  const DWORD mag = ss[D3DSAMP_MAGFILTER], min = ss[D3DSAMP_MINFILTER], mip = ss[D3DSAMP_MIPFILTER];
  const bool linearMin = min == D3DTEXF_LINEAR || min == D3DTEXF_ANISOTROPIC;
  GLint minFilter = linearMin ? GL_LINEAR : GL_NEAREST;
  // Without a mip filter only the top allowed level is sampled.
  if (mip == D3DTEXF_POINT && levels > 1)
    minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  else if (mip == D3DTEXF_LINEAR && levels > 1)
    minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  glTexParameteri(target, GL_TEXTURE_MIN_FILTER, minFilter);
  glTexParameteri(target, GL_TEXTURE_MAG_FILTER,
                  mag == D3DTEXF_LINEAR || mag == D3DTEXF_ANISOTROPIC ? GL_LINEAR : GL_NEAREST);
  const DWORD base = levels > 0 ? std::min<DWORD>(ss[D3DSAMP_MAXMIPLEVEL], levels - 1) : 0;
  glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, static_cast<GLint>(base));
  if (maxAnisotropy > 1.0f) {
    const bool anisotropic = min == D3DTEXF_ANISOTROPIC || mag == D3DTEXF_ANISOTROPIC;
    const float wanted = anisotropic ? static_cast<float>(std::max<DWORD>(ss[D3DSAMP_MAXANISOTROPY], 1)) : 1.0f;
    glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, std::min(wanted, maxAnisotropy));
  }
}

HRESULT GlFixedFunction::draw(const CheckedDraw& draw, const DeviceState& state, const GeometryState& geometry,
                              unsigned textureMask, const BindStage& bindStage, unsigned volumeMask) {
  if (!m_gl) return D3DERR_DRIVERINTERNALERROR;
  const FixedFunctionKey key = buildFixedFunctionKey(state, geometry, *draw.format, textureMask, volumeMask);
  Program* program = programFor(key);
  if (!program->name) return D3DERR_DRIVERINTERNALERROR;
  const Functions& gl = *m_gl;
  gl.UseProgram(program->name);
  setUniforms(*program, state, geometry);

  for (DWORD s = 0; s < kMaxTextureStages; ++s)
    if (key.stages[s].colorOp && key.stages[s].texture && bindStage) bindStage(s);
  gl.ActiveTexture(GL_TEXTURE0);

  // Clip planes: GL keeps them in eye space through the modelview matrix,
  // which stays identity, so the shader's world position meets them as given.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  for (DWORD i = 0; i < kMaxClipPlanes; ++i) {
    if (key.clipPlanes & (1u << i)) {
      const auto& plane = geometry.clipPlanes[i];
      const GLdouble eq[4] = {plane[0], plane[1], plane[2], plane[3]};
      glClipPlane(GL_CLIP_PLANE0 + i, eq);
      glEnable(GL_CLIP_PLANE0 + i);
    } else {
      glDisable(GL_CLIP_PLANE0 + i);
    }
  }

  // Buffers live in GL buffer objects, sent again only after a lock; draws
  // from memory read client memory.
  if (draw.vertexSource) {
    bindBufferObject(*draw.vertexSource, GL_ARRAY_BUFFER);
  } else {
    gl.BindBuffer(GL_ARRAY_BUFFER, 0);
  }
  if (draw.indexSource) {
    bindBufferObject(*draw.indexSource, GL_ELEMENT_ARRAY_BUFFER);
  } else {
    gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  }
  const std::size_t vertexOffset =
      draw.vertexSource ? static_cast<std::size_t>(draw.vertices - draw.vertexSource->bytes()) : 0;
  const std::size_t indexOffset =
      draw.indexSource ? static_cast<std::size_t>(static_cast<const BYTE*>(draw.indices) - draw.indexSource->bytes())
                       : 0;
  const VertexFormat& f = *draw.format;
  GLuint enabled[12];
  int enabledCount = 0;
  auto attribute = [&](GLuint location, const VertexInput& input) {
    if (input.offset < 0) return;
    // With a buffer object bound, GL takes byte offsets in pointer form.
    const void* pointer = draw.vertexSource
                              ? reinterpret_cast<const void*>(vertexOffset + static_cast<std::size_t>(input.offset))
                              : static_cast<const void*>(draw.vertices + input.offset);
    switch (input.type) {
      case D3DDECLTYPE_D3DCOLOR:
        gl.VertexAttribPointer(location, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, static_cast<GLsizei>(draw.stride),
                               pointer);
        break;
      case D3DDECLTYPE_UBYTE4:
        gl.VertexAttribPointer(location, 4, GL_UNSIGNED_BYTE, GL_FALSE, static_cast<GLsizei>(draw.stride), pointer);
        break;
      default:
        gl.VertexAttribPointer(location, declTypeComponents(input.type), GL_FLOAT, GL_FALSE,
                               static_cast<GLsizei>(draw.stride), pointer);
        break;
    }
    gl.EnableVertexAttribArray(location);
    enabled[enabledCount++] = location;
  };
  attribute(kAttribPosition, f.position);
  if (key.hasNormal) attribute(kAttribNormal, f.normal);
  for (int i = 0; i < 2; ++i) attribute(static_cast<GLuint>(kAttribColor0 + i), f.color[i]);
  for (int i = 0; i < 8; ++i) attribute(static_cast<GLuint>(kAttribTexcoord0 + i), f.texcoord[i]);

  const GLenum mode = primitiveMode(draw.type);
  if (draw.indices)
    glDrawElements(mode, static_cast<GLsizei>(draw.elementCount),
                   draw.indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                   draw.indexSource ? reinterpret_cast<const void*>(indexOffset) : draw.indices);
  else
    glDrawArrays(mode, 0, static_cast<GLsizei>(draw.elementCount));

  for (int i = 0; i < enabledCount; ++i) gl.DisableVertexAttribArray(enabled[i]);
  gl.BindBuffer(GL_ARRAY_BUFFER, 0);
  gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  for (DWORD i = 0; i < kMaxClipPlanes; ++i) glDisable(GL_CLIP_PLANE0 + i);
  gl.UseProgram(0);
  return D3D_OK;
}
