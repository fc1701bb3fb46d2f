// Internal to platform/: every OpenGL entry point the draw path calls, in one
// table, so that a test or benchmark can count them. With counting switched
// on before a table loads, each slot of that table goes through a wrapper
// that adds one to a process-wide count and calls the real entry point.
#pragma once

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdint>

// X(type, name): the slot `name` holds glname. GL 1.1 entry points are the
// linked symbols; later ones are loaded per context.
#define TESSALINE_GL11_DRAW_FUNCTIONS(X)                                                                    \
  X(decltype(&::glEnable), Enable)                                                                          \
  X(decltype(&::glDisable), Disable)                                                                        \
  X(decltype(&::glBindTexture), BindTexture)                                                                \
  X(decltype(&::glTexParameteri), TexParameteri) X(decltype(&::glTexParameterf), TexParameterf)             \
      X(decltype(&::glTexParameterfv), TexParameterfv) X(decltype(&::glDrawArrays), DrawArrays)             \
          X(decltype(&::glDrawElements), DrawElements) X(decltype(&::glMatrixMode), MatrixMode)             \
              X(decltype(&::glLoadIdentity), LoadIdentity) X(decltype(&::glClipPlane), ClipPlane)           \
                  X(decltype(&::glDepthFunc), DepthFunc) X(decltype(&::glColorMask), ColorMask)             \
                      X(decltype(&::glDepthMask), DepthMask) X(decltype(&::glStencilMask), StencilMask)     \
                          X(decltype(&::glPolygonMode), PolygonMode) X(decltype(&::glFrontFace), FrontFace) \
                              X(decltype(&::glCullFace), CullFace) X(decltype(&::glBlendFunc), BlendFunc)   \
                                  X(decltype(&::glStencilFunc), StencilFunc) X(decltype(&::glStencilOp), StencilOp)

#define TESSALINE_GL_LOADED_DRAW_FUNCTIONS(X)                                                                       \
  X(PFNGLCREATESHADERPROC, CreateShader)                                                                            \
  X(PFNGLSHADERSOURCEPROC, ShaderSource)                                                                            \
  X(PFNGLCOMPILESHADERPROC, CompileShader)                                                                          \
  X(PFNGLGETSHADERIVPROC, GetShaderiv) X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog)                               \
      X(PFNGLDELETESHADERPROC, DeleteShader) X(PFNGLCREATEPROGRAMPROC, CreateProgram)                               \
          X(PFNGLATTACHSHADERPROC, AttachShader) X(PFNGLBINDATTRIBLOCATIONPROC, BindAttribLocation)                 \
              X(PFNGLLINKPROGRAMPROC, LinkProgram) X(PFNGLGETPROGRAMIVPROC, GetProgramiv)                           \
                  X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog) X(PFNGLDELETEPROGRAMPROC, DeleteProgram)         \
                      X(PFNGLUSEPROGRAMPROC, UseProgram) X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation)         \
                          X(PFNGLUNIFORM1IPROC, Uniform1i) X(PFNGLUNIFORM1FPROC, Uniform1f)                         \
                              X(PFNGLUNIFORM2FPROC, Uniform2f) X(PFNGLUNIFORM3FVPROC, Uniform3fv)                   \
                                  X(PFNGLUNIFORM4FVPROC, Uniform4fv) X(PFNGLUNIFORMMATRIX3FVPROC, UniformMatrix3fv) \
                                      X(PFNGLUNIFORMMATRIX4FVPROC, UniformMatrix4fv)                                \
                                          X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer)                      \
                                              X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray)          \
                                                  X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, DisableVertexAttribArray)    \
                                                      X(PFNGLACTIVETEXTUREPROC, ActiveTexture)                      \
                                                          X(PFNGLBINDBUFFERPROC, BindBuffer)                        \
                                                              X(PFNGLGENBUFFERSPROC, GenBuffers)                    \
                                                                  X(PFNGLDELETEBUFFERSPROC, DeleteBuffers)          \
                                                                      X(PFNGLBUFFERDATAPROC, BufferData)            \
                                                                          X(PFNGLBLENDEQUATIONPROC, BlendEquation)

struct GlDrawFunctions {
#define TESSALINE_GL_SLOT(type, name) type name = nullptr;
  TESSALINE_GL11_DRAW_FUNCTIONS(TESSALINE_GL_SLOT)
  TESSALINE_GL_LOADED_DRAW_FUNCTIONS(TESSALINE_GL_SLOT)
#undef TESSALINE_GL_SLOT

  // With a context current; false when an entry point is missing.
  bool load();
};

// Tests and benchmarks: while on, tables loaded afterwards count their calls
// (tables loaded before keep calling GL directly). One process-wide count.
void setGlCallCounting(bool on);
std::uint64_t glCallCount();
// Benchmarks: while on, counted calls return at once (nothing, or zero)
// without reaching GL, so that the device's own code can be timed alone.
// Only for draws whose programs and buffers GL already holds.
void setGlCallsDiscarded(bool on);
