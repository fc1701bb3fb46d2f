// Internal to platform/: the OpenGL entry points beyond 1.1 that the device
// uses (loaded through SDL per context), what a context can do, and the one
// table of Direct3D formats that OpenGL can hold.
#pragma once

#include <SDL.h>
#include <SDL_opengl.h>

#include <functional>
#include <string>

#include "platform/graphics/d3d9_types.h"

struct GlFunctions {
  PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
  PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC RenderbufferStorageMultisample = nullptr;
  PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer = nullptr;
  PFNGLBLENDEQUATIONPROC BlendEquation = nullptr;
  PFNGLBLENDFUNCSEPARATEPROC BlendFuncSeparate = nullptr;
  PFNGLCLIPCONTROLPROC ClipControl = nullptr;  // null before GL 4.5: depth 0..1 is then mapped by the vertex stage
  PFNGLFRAMEBUFFERTEXTURE2DPROC FramebufferTexture2D = nullptr;
  PFNGLACTIVETEXTUREPROC ActiveTexture = nullptr;
  PFNGLBINDSAMPLERPROC BindSampler = nullptr;  // null before GL 3.3: no sampler objects to step around
  // GLSL programs (GL 2.0).
  PFNGLCREATESHADERPROC CreateShader = nullptr;
  PFNGLSHADERSOURCEPROC ShaderSource = nullptr;
  PFNGLCOMPILESHADERPROC CompileShader = nullptr;
  PFNGLGETSHADERIVPROC GetShaderiv = nullptr;
  PFNGLGETSHADERINFOLOGPROC GetShaderInfoLog = nullptr;
  PFNGLDELETESHADERPROC DeleteShader = nullptr;
  PFNGLCREATEPROGRAMPROC CreateProgram = nullptr;
  PFNGLATTACHSHADERPROC AttachShader = nullptr;
  PFNGLLINKPROGRAMPROC LinkProgram = nullptr;
  PFNGLGETPROGRAMIVPROC GetProgramiv = nullptr;
  PFNGLGETPROGRAMINFOLOGPROC GetProgramInfoLog = nullptr;
  PFNGLDELETEPROGRAMPROC DeleteProgram = nullptr;
  PFNGLUSEPROGRAMPROC UseProgram = nullptr;
  PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation = nullptr;
  PFNGLUNIFORM1IPROC Uniform1i = nullptr;

  // With a context current. False when framebuffer objects or GLSL are
  // missing.
  bool load();
};

// Compiles and links a GLSL program from two sources; 0 on failure, with the
// compile or link log sent to the engine's log under `what`. `beforeLink`
// may bind attribute locations.
GLuint buildGlProgram(const GlFunctions& gl, const char* vertexSource, const char* fragmentSource, const char* what,
                      const std::function<void(GLuint program)>& beforeLink = {});

// What the context reports, probed once per process.
struct GlInfo {
  std::string vendor, renderer, version;
  int major = 0, minor = 0;
  int glslMajor = 0, glslMinor = 0;
  int maxTextureSize = 0, maxTextureUnits = 0, maxLights = 0, maxClipPlanes = 0, maxSamples = 0;
  int max3dTextureSize = 0;
  float maxAnisotropy = 1.0f;
  bool framebufferObjects = false, s3tc = false, floatTextures = false, rgTextures = false;
};

// Asks SDL for a 2.1 compatibility context (Mesa gives its newest
// compatibility profile) on a window created with SDL_WINDOW_OPENGL.
SDL_GLContext createGlContext(SDL_Window* window);

// Probes a throwaway hidden window's context. False when GL is unavailable.
bool probeGl(GlInfo* info);

// The size in pixels of the window the current context draws to, as the X
// server has it. SDL's own figure can be wrong for a while: a full-screen
// switch that the server never carried out (no window manager, no display
// mode of the asked size) leaves SDL holding the mode's size until the
// window's events are read. False without a GLX context (the offscreen
// driver's EGL), where SDL's figure is all there is.
bool currentDrawableSize(int* width, int* height);

// Forgets the errors GL holds: the context is shared (the GUI draws with it
// too), so an error found on entry is someone else's.
void drainGlErrors();
// In builds with assertions (the test builds), has the current context
// report every GL error to the engine's log as it happens, where the
// context offers debug output (GL_KHR_debug); elsewhere nothing.
void installGlErrorReporter();

enum GlFormatUse : unsigned {
  kGlTexture = 0x1,       // plain, cube and volume textures
  kGlRenderTarget = 0x2,  // colour render targets
  kGlDepthStencil = 0x4,  // depth-stencil surfaces and depth textures
  kGlNeedsS3tc = 0x10,
  kGlNeedsFloat = 0x20,
  kGlNeedsRg = 0x40,
};

struct GlFormat {
  D3DFORMAT format;
  GLenum internalFormat;
  GLenum uploadFormat;  // pixel data layout as Direct3D stores it (0 for compressed)
  GLenum uploadType;
  unsigned uses;
};

// Null for formats OpenGL cannot hold here.
const GlFormat* findGlFormat(D3DFORMAT format);
// Whether the format serves `use` on a context with these abilities.
bool glFormatUsable(const GlFormat& format, unsigned use, const GlInfo& info);

// The matrix (row vectors, applied after Direct3D's projection) that takes a
// Direct3D clip-space position to the GL one for a target kept in Direct3D
// row order: y negated, the half-pixel centre offset (63/128 of a pixel, so
// that edges on pixel centres fall as Direct3D's top-left rule puts them),
// and depth 0..1 turned into GL's -1..1 unless the context clips at 0 already.
D3DMATRIX glClipAdjustment(DWORD viewportWidth, DWORD viewportHeight, bool zeroToOneDepth);
