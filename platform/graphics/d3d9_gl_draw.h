// Internal to platform/: the GL backend's fixed-function stage. Turns the
// device's Direct3D state into a generated GLSL program (compiled once per
// key and cached), fills its uniforms and draws a checked draw.
#pragma once

#include <SDL.h>
#include <SDL_opengl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/graphics/d3d9_geometry.h"
#include "platform/graphics/d3d9_gl_texture.h"
#include "platform/graphics/d3d9_state.h"
#include "platform/graphics/ff_program_key.h"

class GlFixedFunction {
 public:
  // Binds what stage s samples (texture and sampler states) on texture unit
  // s. Called for every stage whose key samples a texture.
  using BindStage = std::function<void(DWORD stage)>;

  GlFixedFunction();
  GlFixedFunction(const GlFixedFunction&) = delete;
  GlFixedFunction& operator=(const GlFixedFunction&) = delete;
  // With the device's context current.
  ~GlFixedFunction();

  // With a context current; false when GLSL entry points are missing. The
  // host lets buffer objects free themselves in the right context.
  bool load(bool zeroToOneDepth, std::shared_ptr<GlTextureHost> host);
  // Forgets every program without deleting it (the context is gone).
  void abandon();

  // volumeMask bit s: stage s has a volume texture (sampled with 3D
  // coordinates).
  HRESULT draw(const CheckedDraw& draw, const DeviceState& state, const GeometryState& geometry, unsigned textureMask,
               const BindStage& bindStage, unsigned volumeMask = 0);

  int programCount() const { return static_cast<int>(m_programs.size()); }

  // Binds GL texture `name` (with `levels` mip levels) to unit `stage` with
  // the stage's Direct3D sampler states. maxAnisotropy: what GL allows;
  // target: GL_TEXTURE_2D, or GL_TEXTURE_3D for volume textures.
  void bindTexture(DWORD stage, GLuint name, DWORD levels, const DeviceState& state, float maxAnisotropy,
                   GLenum target = GL_TEXTURE_2D);

 private:
  struct Program;
  struct Functions;

  Program* programFor(const FixedFunctionKey& key);
  // Binds the buffer object holding `buffer`'s bytes to `target`, sending
  // them first when they changed since the last draw.
  void bindBufferObject(const MemoryBuffer& buffer, GLenum target);
  void setUniforms(const Program& program, const DeviceState& state, const GeometryState& geometry);

  std::map<FixedFunctionKey, std::unique_ptr<Program>> m_programs;
  std::unique_ptr<Functions> m_gl;
  bool m_zeroToOne = false;
  std::shared_ptr<GlTextureHost> m_host;
};
