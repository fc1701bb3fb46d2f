// Internal to platform/: the GL backend's fixed-function stage. Turns the
// device's Direct3D state into a generated GLSL program (compiled once per
// key and cached), fills its uniforms and draws a checked draw. What a draw
// leaves in the context (program, buffers, arrays, textures) stays there
// for the next one, and only values that changed are sent again.
#pragma once

#include <SDL.h>
#include <SDL_opengl.h>

#include <array>
#include <map>
#include <memory>
#include <string>

#include "platform/graphics/d3d9_geometry.h"
#include "platform/graphics/d3d9_gl_shadow.h"
#include "platform/graphics/d3d9_gl_texture.h"
#include "platform/graphics/d3d9_state.h"
#include "platform/graphics/ff_program_key.h"
#include "platform/graphics/gl_draw_functions.h"

// Whether draws keep and trust their copy of the context state (on unless
// switched off; off sends every value each draw and unbinds afterwards, for
// measuring what the copy saves). Process-wide.
void setGlStateShadowing(bool on);
bool glStateShadowing();

// What a stage samples: a GL texture (name 0: none; GL_TEXTURE_3D for
// volume textures, sampled with 3D coordinates) and its level count.
struct GlStageTexture {
  GLenum target = GL_TEXTURE_2D;
  GLuint name = 0;
  DWORD levels = 0;
};

// The bound render target's depth and stencil: tests stay off without them.
struct GlTargetPlanes {
  bool depth = false;
  bool stencil = false;
};

class GlFixedFunction {
 public:
  GlFixedFunction();
  GlFixedFunction(const GlFixedFunction&) = delete;
  GlFixedFunction& operator=(const GlFixedFunction&) = delete;
  // With the device's context current.
  ~GlFixedFunction();

  // With a context current; false when GLSL entry points are missing. The
  // host lets buffer objects free themselves in the right context.
  // maxAnisotropy: what GL allows (1: no anisotropic filtering).
  bool load(bool zeroToOneDepth, float maxAnisotropy, std::shared_ptr<GlTextureHost> host);
  // Forgets every program without deleting it (the context is gone).
  void abandon();

  HRESULT draw(const CheckedDraw& draw, const DeviceState& state, const GeometryState& geometry,
               const std::array<GlStageTexture, kMaxTextureStages>& textures, GlTargetPlanes planes);

  // Something else issued GL calls in the context (or is about to): unbind
  // what draws leave bound and send everything again at the next draw.
  void invalidate();
  // Clear wrote the write masks.
  void forgetOutputMerger() {
    if (m_shadow) m_shadow->forgetOutputMerger();
  }

  int programCount() const { return static_cast<int>(m_programs.size()); }

 private:
  struct Program;

  Program* programFor(const FixedFunctionKey& key);
  // Binds the buffer object holding `buffer`'s bytes to `target`, sending
  // them first when they changed since the last draw.
  void bindBufferObject(const MemoryBuffer& buffer, GLenum target);
  void setUniforms(Program& program, const DeviceState& state, const GeometryState& geometry);
  void forgetUniforms();

  std::map<FixedFunctionKey, std::unique_ptr<Program>> m_programs;
  std::unique_ptr<GlDrawFunctions> m_gl;
  // Shared with buffer objects, which tell it when they go.
  std::shared_ptr<GlStateShadow> m_shadow;
  bool m_zeroToOne = false;
  float m_maxAnisotropy = 1.0f;
  std::shared_ptr<GlTextureHost> m_host;
  unsigned m_hostTextureChanges = 0;
};
