// Internal to platform/: what the GL draw path last left in its context
// (program, texture units and their textures' sampling parameters, buffers,
// vertex arrays, clip planes, output-merger state), so that a draw sends only
// what differs from the draw before. Anything else that changes this state
// in the context must make the shadow forget it (forget()), or the next draw
// would trust a stale copy.
#pragma once

#include <SDL.h>
#include <SDL_opengl.h>

#include <array>
#include <cstdint>
#include <unordered_map>

#include "platform/graphics/d3d9_state.h"
#include "platform/graphics/gl_draw_functions.h"

// A Direct3D colour as GL's red, green, blue, alpha in 0..1.
void colorOf(D3DCOLOR c, float out[4]);

// GL's sampling parameters of one texture, from Direct3D's sampler states.
struct GlSampling {
  GLint wrapS = 0, wrapT = 0, wrapR = 0, minFilter = 0, magFilter = 0, baseLevel = 0;
  float border[4] = {};
  float anisotropy = 0.0f;  // 0: the context has no anisotropic filtering

  bool operator==(const GlSampling&) const = default;
};

// GL's sampling parameters for a texture of `levels` levels sampled with
// sampler `states`; maxAnisotropy is what GL allows (1: none).
GlSampling glSampling(const std::array<DWORD, kSamplerStateCount>& states, DWORD levels, float maxAnisotropy);

// Direct3D's output-merger and raster render states in GL's terms.
struct GlOutputMerger {
  GLboolean depthTest = 0, depthMask = 0, colorMask[4] = {}, cull = 0, blend = 0, stencilTest = 0;
  GLenum depthFunc = 0, polygonMode = 0, cullFace = 0, blendSrc = 0, blendDst = 0, blendEquation = 0;
  GLenum stencilFunc = 0, stencilFail = 0, stencilZFail = 0, stencilPass = 0;
  GLint stencilRef = 0;
  GLuint stencilMask = 0, stencilWriteMask = 0;

  bool operator==(const GlOutputMerger&) const = default;
};

// Depth and stencil tests stay off for targets without depth or stencil.
GlOutputMerger glOutputMerger(const std::array<DWORD, kRenderStateCount>& rs, bool hasDepth, bool hasStencil);

class GlStateShadow {
 public:
  explicit GlStateShadow(const GlDrawFunctions& gl) : m_gl(gl) {}
  GlStateShadow(const GlStateShadow&) = delete;
  GlStateShadow& operator=(const GlStateShadow&) = delete;

  // Nothing is known: the next draw sends everything it uses.
  void forget();
  // Puts GL's defaults back for what draws leave bound (program, buffers,
  // vertex arrays, clip planes, texture unit 0 active), then forgets.
  void release();
  // Texture bindings and sampling parameters only (a texture was uploaded
  // or deleted behind the draw path's back).
  void forgetTextures();

  void useProgram(GLuint program);
  // Binds `name` to `unit` and gives it `sampling`.
  void bindTexture(DWORD unit, GLenum target, GLuint name, const GlSampling& sampling);
  void bindBuffer(GLenum target, GLuint name);
  // A buffer object is about to be deleted: GL unbinds it, and its name may
  // come back for another buffer.
  void bufferDeleted(GLuint name);
  // The array at `location` reads through the bound GL_ARRAY_BUFFER.
  void vertexAttribute(GLuint location, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                       const void* pointer);
  // Enables exactly the arrays whose bit is set.
  void enableAttributes(std::uint32_t mask);
  // Enables the planes whose bit is set, with these world-space equations.
  void clipPlanes(unsigned mask, const std::array<std::array<float, 4>, kMaxClipPlanes>& planes);
  // Depth, stencil, blend, cull and fill state.
  void outputMerger(const GlOutputMerger& want);
  // Clear changes the write masks: sent again at the next draw.
  void forgetOutputMerger() { m_outputMergerKnown = false; }

 private:
  struct Attribute {
    GLuint buffer = 0;
    GLint size = 0;
    GLenum type = 0;
    GLboolean normalized = GL_FALSE;
    GLsizei stride = 0;
    const void* pointer = nullptr;
    bool known = false;
  };
  struct TextureUnit {
    GLenum target = 0;
    GLuint name = 0;
    bool known = false;
  };

  void activeTexture(DWORD unit);

  const GlDrawFunctions m_gl;
  static constexpr GLuint kUnknown = ~0u;
  GLuint m_program = kUnknown;
  GLuint m_arrayBuffer = kUnknown, m_elementBuffer = kUnknown;
  DWORD m_activeUnit = kUnknown;
  std::array<TextureUnit, kMaxSamplers> m_units{};
  std::unordered_map<GLuint, GlSampling> m_sampling;  // by texture name
  std::array<Attribute, 16> m_attributes{};
  std::uint32_t m_enabledAttributes = 0;
  bool m_attributesKnown = false;
  unsigned m_clipMask = 0;
  bool m_clipKnown = false;
  std::array<std::array<float, 4>, kMaxClipPlanes> m_clipPlanes{};
  unsigned m_clipPlanesSent = 0;  // bit i: m_clipPlanes[i] is what GL holds
  GlOutputMerger m_om{};
  bool m_outputMergerKnown = false;
};
