// The GL backend's fixed-function stage (see d3d9_gl_draw.h).
#include "platform/graphics/d3d9_gl_draw.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/graphics/ff_glsl.h"
#include "platform/graphics/gl_context.h"
#include "platform/system/system.h"

namespace {

std::atomic<bool> g_shadowing{true};

// One uniform of a program and the value it holds (empty until sent).
struct Uniform {
  GLint location = -1;
  std::vector<float> held;

  // Whether `count` floats at `values` must be sent; records them as held.
  bool changes(const float* values, std::size_t count) {
    if (location < 0) return false;
    if (held.size() == count && std::memcmp(held.data(), values, count * sizeof(float)) == 0) return false;
    held.assign(values, values + count);
    return true;
  }
};

}  // namespace

struct GlFixedFunction::Program {
  GLuint name = 0;
  Uniform world, worldView, normalMatrix, proj, clip, viewport, depthMap;
  Uniform matDiffuse, matAmbient, matSpecular, matEmissive, matPower, ambient;
  Uniform lightDiffuse, lightSpecular, lightAmbient, lightPosition, lightDirection, lightAtten, lightSpot;
  Uniform texMatrix, fogParams, fogColor, tfactor, constant, alphaRef;
  // The state versions the matrix and light uniforms were last worked out
  // from (0: never).
  std::array<std::uint64_t, static_cast<unsigned>(StateGroup::Count)> seen{};
  FixedFunctionKey key;

  template <typename F>
  void forEachUniform(F&& f) {
    for (Uniform* u :
         {&world,         &worldView,    &normalMatrix,  &proj,           &clip,       &viewport,  &depthMap,
          &matDiffuse,    &matAmbient,   &matSpecular,   &matEmissive,    &matPower,   &ambient,   &lightDiffuse,
          &lightSpecular, &lightAmbient, &lightPosition, &lightDirection, &lightAtten, &lightSpot, &texMatrix,
          &fogParams,     &fogColor,     &tfactor,       &constant,       &alphaRef})
      f(*u);
  }
  // Whether any of `groups` changed since the program last saw them; marks
  // them seen.
  bool sees(const DeviceState& state, std::initializer_list<StateGroup> groups) {
    bool changed = false;
    for (StateGroup g : groups) {
      const auto i = static_cast<unsigned>(g);
      changed |= seen[i] != state.versions[i];
    }
    return changed;
  }
  void markSeen(const DeviceState& state) { seen = state.versions; }
};

namespace {

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
  std::weak_ptr<GlStateShadow> shadow;
  PFNGLDELETEBUFFERSPROC deleteBuffers = nullptr;
  GLuint name = 0;
  unsigned version = ~0u;  // the buffer's version last sent
  ~GlBufferCopy() override {
    if (!name || !host || !host->makeCurrent()) return;
    if (auto s = shadow.lock()) s->bufferDeleted(name);
    deleteBuffers(1, &name);
  }
};

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

bool GlFixedFunction::load(bool zeroToOneDepth, float maxAnisotropy, std::shared_ptr<GlTextureHost> host) {
  m_zeroToOne = zeroToOneDepth;
  m_maxAnisotropy = maxAnisotropy;
  m_host = std::move(host);
  auto f = std::make_unique<GlDrawFunctions>();
  if (!f->load()) return false;
  m_gl = std::move(f);
  m_shadow = std::make_shared<GlStateShadow>(*m_gl);
  if (m_host) m_hostTextureChanges = m_host->textureChanges;
  return true;
}

void setGlStateShadowing(bool on) { g_shadowing.store(on); }

bool glStateShadowing() { return g_shadowing.load(std::memory_order_relaxed); }

void GlFixedFunction::invalidate() {
  if (m_shadow) m_shadow->release();
}

void GlFixedFunction::forgetUniforms() {
  for (auto& [key, program] : m_programs) {
    program->forEachUniform([](Uniform& u) { u.held.clear(); });
    program->seen.fill(0);
  }
}

GlFixedFunction::Program* GlFixedFunction::programFor(const FixedFunctionKey& key) {
  auto it = m_programs.find(key);
  if (it != m_programs.end()) return it->second.get();
  auto program = std::make_unique<Program>();
  program->key = key;
  const GlDrawFunctions& gl = *m_gl;
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
    p.world.location = loc("u_world");
    p.worldView.location = loc("u_worldView");
    p.normalMatrix.location = loc("u_normalMatrix");
    p.proj.location = loc("u_proj");
    p.clip.location = loc("u_clip");
    p.viewport.location = loc("u_viewport");
    p.depthMap.location = loc("u_depthMap");
    p.matDiffuse.location = loc("u_matDiffuse");
    p.matAmbient.location = loc("u_matAmbient");
    p.matSpecular.location = loc("u_matSpecular");
    p.matEmissive.location = loc("u_matEmissive");
    p.matPower.location = loc("u_matPower");
    p.ambient.location = loc("u_ambient");
    p.lightDiffuse.location = loc("u_lightDiffuse");
    p.lightSpecular.location = loc("u_lightSpecular");
    p.lightAmbient.location = loc("u_lightAmbient");
    p.lightPosition.location = loc("u_lightPosition");
    p.lightDirection.location = loc("u_lightDirection");
    p.lightAtten.location = loc("u_lightAtten");
    p.lightSpot.location = loc("u_lightSpot");
    p.texMatrix.location = loc("u_texMatrix");
    p.fogParams.location = loc("u_fogParams");
    p.fogColor.location = loc("u_fogColor");
    p.tfactor.location = loc("u_tfactor");
    p.constant.location = loc("u_constant");
    p.alphaRef.location = loc("u_alphaRef");
    // Samplers read unit s for stage s, for the program's whole life.
    m_shadow->useProgram(p.name);
    for (int s = 0; s < 8; ++s) {
      const GLint sampler = loc(("s_tex" + std::to_string(s)).c_str());
      if (sampler >= 0) gl.Uniform1i(sampler, s);
    }
  }
  // A program that failed stays cached as failed, so it is not rebuilt on
  // every draw.
  Program* made = program.get();
  m_programs.emplace(key, std::move(program));
  return made;
}

void GlFixedFunction::setUniforms(Program& p, const DeviceState& state, const GeometryState& geometry) {
  const GlDrawFunctions& gl = *m_gl;
  const auto& rs = state.renderStates;
  // Matrices and lights are worked out again only after their state was
  // written; the rest is cheap to compare every draw.
  if (p.sees(state, {StateGroup::World, StateGroup::View})) {
    const D3DMATRIX& world = state.worldMatrices[0];
    const D3DMATRIX worldView = multiply(world, state.view);
    if (p.world.changes(&world.m[0][0], 16)) gl.UniformMatrix4fv(p.world.location, 1, GL_FALSE, &world.m[0][0]);
    if (p.worldView.changes(&worldView.m[0][0], 16))
      gl.UniformMatrix4fv(p.worldView.location, 1, GL_FALSE, &worldView.m[0][0]);
    float nm[9];
    normalMatrix(worldView, nm);
    if (p.normalMatrix.changes(nm, 9)) gl.UniformMatrix3fv(p.normalMatrix.location, 1, GL_FALSE, nm);
  }
  if (p.sees(state, {StateGroup::Projection}) && p.proj.changes(&state.projection.m[0][0], 16))
    gl.UniformMatrix4fv(p.proj.location, 1, GL_FALSE, &state.projection.m[0][0]);
  const D3DVIEWPORT9& vp = state.viewport;
  const D3DMATRIX clip = glClipAdjustment(vp.Width, vp.Height, m_zeroToOne);
  if (p.clip.changes(&clip.m[0][0], 16)) gl.UniformMatrix4fv(p.clip.location, 1, GL_FALSE, &clip.m[0][0]);
  const float viewport[4] = {static_cast<float>(vp.X), static_cast<float>(vp.Y), static_cast<float>(vp.Width),
                             static_cast<float>(vp.Height)};
  if (p.viewport.changes(viewport, 4)) gl.Uniform4fv(p.viewport.location, 1, viewport);
  const float depthMap[2] = {m_zeroToOne ? 1.0f : 2.0f, m_zeroToOne ? 0.0f : -1.0f};
  if (p.depthMap.changes(depthMap, 2)) gl.Uniform2f(p.depthMap.location, depthMap[0], depthMap[1]);

  const D3DMATERIAL9& m = geometry.material;
  if (p.matDiffuse.changes(&m.Diffuse.r, 4)) gl.Uniform4fv(p.matDiffuse.location, 1, &m.Diffuse.r);
  if (p.matAmbient.changes(&m.Ambient.r, 4)) gl.Uniform4fv(p.matAmbient.location, 1, &m.Ambient.r);
  if (p.matSpecular.changes(&m.Specular.r, 4)) gl.Uniform4fv(p.matSpecular.location, 1, &m.Specular.r);
  if (p.matEmissive.changes(&m.Emissive.r, 4)) gl.Uniform4fv(p.matEmissive.location, 1, &m.Emissive.r);
  if (p.matPower.changes(&m.Power, 1)) gl.Uniform1f(p.matPower.location, m.Power);
  float colour[4];
  colorOf(rs[D3DRS_AMBIENT], colour);
  if (p.ambient.changes(colour, 4)) gl.Uniform4fv(p.ambient.location, 1, colour);

  if (p.key.lighting && p.sees(state, {StateGroup::Lights, StateGroup::View})) {
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
    if (p.lightDiffuse.changes(diffuse, 32)) gl.Uniform4fv(p.lightDiffuse.location, 8, diffuse);
    if (p.lightSpecular.changes(specular, 32)) gl.Uniform4fv(p.lightSpecular.location, 8, specular);
    if (p.lightAmbient.changes(ambient, 32)) gl.Uniform4fv(p.lightAmbient.location, 8, ambient);
    if (p.lightAtten.changes(atten, 32)) gl.Uniform4fv(p.lightAtten.location, 8, atten);
    if (p.lightPosition.changes(position, 24)) gl.Uniform3fv(p.lightPosition.location, 8, position);
    if (p.lightDirection.changes(direction, 24)) gl.Uniform3fv(p.lightDirection.location, 8, direction);
    if (p.lightSpot.changes(spot, 24)) gl.Uniform3fv(p.lightSpot.location, 8, spot);
  }

  if (p.sees(state, {StateGroup::TextureMatrices}) && p.texMatrix.changes(&state.textureMatrices[0].m[0][0], 128))
    gl.UniformMatrix4fv(p.texMatrix.location, 8, GL_FALSE, &state.textureMatrices[0].m[0][0]);
  const float fog[3] = {floatOf(rs[D3DRS_FOGSTART]), floatOf(rs[D3DRS_FOGEND]), floatOf(rs[D3DRS_FOGDENSITY])};
  if (p.fogParams.changes(fog, 3)) gl.Uniform3fv(p.fogParams.location, 1, fog);
  colorOf(rs[D3DRS_FOGCOLOR], colour);
  if (p.fogColor.changes(colour, 3)) gl.Uniform3fv(p.fogColor.location, 1, colour);
  colorOf(rs[D3DRS_TEXTUREFACTOR], colour);
  if (p.tfactor.changes(colour, 4)) gl.Uniform4fv(p.tfactor.location, 1, colour);
  float constants[32];
  for (DWORD s = 0; s < kMaxTextureStages; ++s) colorOf(state.stageStates[s][D3DTSS_CONSTANT], &constants[4 * s]);
  if (p.constant.changes(constants, 32)) gl.Uniform4fv(p.constant.location, 8, constants);
  const float alphaRef = static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF);
  if (p.alphaRef.changes(&alphaRef, 1)) gl.Uniform1f(p.alphaRef.location, alphaRef);
  p.markSeen(state);
}

void GlFixedFunction::bindBufferObject(const MemoryBuffer& buffer, GLenum target) {
  auto* copy = dynamic_cast<GlBufferCopy*>(buffer.deviceCopy.get());
  if (!copy) {
    auto made = std::make_unique<GlBufferCopy>();
    made->host = m_host;
    made->shadow = m_shadow;
    made->deleteBuffers = m_gl->DeleteBuffers;
    m_gl->GenBuffers(1, &made->name);
    copy = made.get();
    buffer.deviceCopy = std::move(made);
  }
  m_shadow->bindBuffer(target, copy->name);
  if (copy->version != buffer.version()) {
    // Rewritten buffers (DISCARD locks) get fresh storage each time.
    m_gl->BufferData(target, static_cast<GLsizeiptr>(buffer.length()), buffer.bytes(),
                     (buffer.usage() & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    copy->version = buffer.version();
  }
}

HRESULT GlFixedFunction::draw(const CheckedDraw& draw, const DeviceState& state, const GeometryState& geometry,
                              const std::array<GlStageTexture, kMaxTextureStages>& textures, GlTargetPlanes planes) {
  if (!m_gl) return D3DERR_DRIVERINTERNALERROR;
  const bool shadowing = glStateShadowing();
  GlStateShadow& shadow = *m_shadow;
  if (!shadowing) {
    shadow.forget();
    forgetUniforms();
  }
  // Texture code binds (on the active unit) and deletes behind our back.
  if (m_host && m_host->textureChanges != m_hostTextureChanges) {
    m_hostTextureChanges = m_host->textureChanges;
    shadow.forgetTextures();
  }
  unsigned textureMask = 0, volumeMask = 0;
  for (DWORD s = 0; s < kMaxTextureStages; ++s) {
    if (textures[s].name) textureMask |= 1u << s;
    if (textures[s].name && textures[s].target == GL_TEXTURE_3D) volumeMask |= 1u << s;
  }
  const FixedFunctionKey key = buildFixedFunctionKey(state, geometry, *draw.format, textureMask, volumeMask);
  Program* program = programFor(key);
  if (!program->name) return D3DERR_DRIVERINTERNALERROR;
  const GlDrawFunctions& gl = *m_gl;
  shadow.useProgram(program->name);
  setUniforms(*program, state, geometry);

  for (DWORD s = 0; s < kMaxTextureStages; ++s) {
    if (!key.stages[s].colorOp || !key.stages[s].texture) continue;
    const GlStageTexture& t = textures[s];
    shadow.bindTexture(s, t.target, t.name, glSampling(state.samplerStates[s], t.levels, m_maxAnisotropy));
  }
  shadow.clipPlanes(key.clipPlanes, geometry.clipPlanes);
  shadow.outputMerger(glOutputMerger(state.renderStates, planes.depth, planes.stencil));

  // Buffers live in GL buffer objects, sent again only after a lock; draws
  // from memory read client memory.
  if (draw.vertexSource)
    bindBufferObject(*draw.vertexSource, GL_ARRAY_BUFFER);
  else
    shadow.bindBuffer(GL_ARRAY_BUFFER, 0);
  if (draw.indexSource)
    bindBufferObject(*draw.indexSource, GL_ELEMENT_ARRAY_BUFFER);
  else
    shadow.bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  const std::size_t vertexOffset =
      draw.vertexSource ? static_cast<std::size_t>(draw.vertices - draw.vertexSource->bytes()) : 0;
  const std::size_t indexOffset =
      draw.indexSource ? static_cast<std::size_t>(static_cast<const BYTE*>(draw.indices) - draw.indexSource->bytes())
                       : 0;
  const VertexFormat& f = *draw.format;
  std::uint32_t enabled = 0;
  auto attribute = [&](GLuint location, const VertexInput& input) {
    if (input.offset < 0) return;
    // With a buffer object bound, GL takes byte offsets in pointer form.
    const void* pointer = draw.vertexSource
                              ? reinterpret_cast<const void*>(vertexOffset + static_cast<std::size_t>(input.offset))
                              : static_cast<const void*>(draw.vertices + input.offset);
    const auto stride = static_cast<GLsizei>(draw.stride);
    switch (input.type) {
      case D3DDECLTYPE_D3DCOLOR:
        shadow.vertexAttribute(location, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, pointer);
        break;
      case D3DDECLTYPE_UBYTE4:
        shadow.vertexAttribute(location, 4, GL_UNSIGNED_BYTE, GL_FALSE, stride, pointer);
        break;
      default:
        shadow.vertexAttribute(location, declTypeComponents(input.type), GL_FLOAT, GL_FALSE, stride, pointer);
        break;
    }
    enabled |= 1u << location;
  };
  attribute(kAttribPosition, f.position);
  if (key.hasNormal) attribute(kAttribNormal, f.normal);
  for (int i = 0; i < 2; ++i) attribute(static_cast<GLuint>(kAttribColor0 + i), f.color[i]);
  for (int i = 0; i < 8; ++i) attribute(static_cast<GLuint>(kAttribTexcoord0 + i), f.texcoord[i]);
  shadow.enableAttributes(enabled);

  const GLenum mode = primitiveMode(draw.type);
  if (draw.indices)
    gl.DrawElements(mode, static_cast<GLsizei>(draw.elementCount),
                    draw.indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                    draw.indexSource ? reinterpret_cast<const void*>(indexOffset) : draw.indices);
  else
    gl.DrawArrays(mode, 0, static_cast<GLsizei>(draw.elementCount));

  if (!shadowing) shadow.release();
  return D3D_OK;
}
