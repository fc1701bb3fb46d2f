// OpenGL contexts, capability probing and the Direct3D <-> GL format table.
#include "platform/graphics/gl_context.h"

#include <cstdio>
#include <cstring>

#include "platform/system/system.h"
#include "platform/window/sdl_video.h"

namespace {

template <typename T>
bool loadProc(T* slot, const char* name) {
  *slot = reinterpret_cast<T>(SDL_GL_GetProcAddress(name));
  return *slot != nullptr;
}

bool hasExtension(const char* extensions, const char* name) {
  if (!extensions) return false;
  const std::size_t n = std::strlen(name);
  for (const char* p = std::strstr(extensions, name); p; p = std::strstr(p + n, name)) {
    const bool startOk = p == extensions || p[-1] == ' ';
    const bool endOk = p[n] == '\0' || p[n] == ' ';
    if (startOk && endOk) return true;
  }
  return false;
}

std::string glString(GLenum name) {
  const auto* s = reinterpret_cast<const char*>(glGetString(name));
  return s ? s : "";
}

constexpr GlFormat kFormats[] = {
    {D3DFMT_A8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, kGlTexture | kGlRenderTarget},
    {D3DFMT_X8R8G8B8, GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, kGlTexture | kGlRenderTarget},
    {D3DFMT_R5G6B5, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, kGlTexture | kGlRenderTarget},
    {D3DFMT_X1R5G5B5, GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, kGlTexture | kGlRenderTarget},
    {D3DFMT_A1R5G5B5, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, kGlTexture | kGlRenderTarget},
    {D3DFMT_A4R4G4B4, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, kGlTexture | kGlRenderTarget},
    {D3DFMT_X4R4G4B4, GL_RGB4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, kGlTexture},
    {D3DFMT_A8, GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE, kGlTexture},
    {D3DFMT_A2B10G10R10, GL_RGB10_A2, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, kGlTexture | kGlRenderTarget},
    {D3DFMT_A8B8G8R8, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, kGlTexture | kGlRenderTarget},
    {D3DFMT_X8B8G8R8, GL_RGB8, GL_RGBA, GL_UNSIGNED_BYTE, kGlTexture},
    {D3DFMT_G16R16, GL_RG16, GL_RG, GL_UNSIGNED_SHORT, kGlTexture | kGlRenderTarget | kGlNeedsRg},
    {D3DFMT_A2R10G10B10, GL_RGB10_A2, GL_BGRA, GL_UNSIGNED_INT_2_10_10_10_REV, kGlTexture | kGlRenderTarget},
    {D3DFMT_A16B16G16R16, GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT, kGlTexture | kGlRenderTarget},
    {D3DFMT_L8, GL_LUMINANCE8, GL_LUMINANCE, GL_UNSIGNED_BYTE, kGlTexture},
    {D3DFMT_A8L8, GL_LUMINANCE8_ALPHA8, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, kGlTexture},
    {D3DFMT_L16, GL_LUMINANCE16, GL_LUMINANCE, GL_UNSIGNED_SHORT, kGlTexture},
    {D3DFMT_DXT1, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, kGlTexture | kGlNeedsS3tc},
    {D3DFMT_DXT3, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, kGlTexture | kGlNeedsS3tc},
    {D3DFMT_DXT5, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, kGlTexture | kGlNeedsS3tc},
    {D3DFMT_D16, GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, kGlDepthStencil},
    {D3DFMT_D24X8, GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, kGlDepthStencil},
    {D3DFMT_D24S8, GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, kGlDepthStencil},
    {D3DFMT_R16F, GL_R16F, GL_RED, GL_HALF_FLOAT, kGlTexture | kGlRenderTarget | kGlNeedsFloat | kGlNeedsRg},
    {D3DFMT_G16R16F, GL_RG16F, GL_RG, GL_HALF_FLOAT, kGlTexture | kGlRenderTarget | kGlNeedsFloat | kGlNeedsRg},
    {D3DFMT_A16B16G16R16F, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, kGlTexture | kGlRenderTarget | kGlNeedsFloat},
    {D3DFMT_R32F, GL_R32F, GL_RED, GL_FLOAT, kGlTexture | kGlRenderTarget | kGlNeedsFloat | kGlNeedsRg},
    {D3DFMT_G32R32F, GL_RG32F, GL_RG, GL_FLOAT, kGlTexture | kGlRenderTarget | kGlNeedsFloat | kGlNeedsRg},
    {D3DFMT_A32B32G32R32F, GL_RGBA32F, GL_RGBA, GL_FLOAT, kGlTexture | kGlRenderTarget | kGlNeedsFloat},
};

#ifndef NDEBUG
void APIENTRY reportGlMessage(GLenum, GLenum type, GLuint, GLenum, GLsizei length, const GLchar* message, const void*) {
  if (type != GL_DEBUG_TYPE_ERROR || !message) return;
  const std::string text =
      "GL error: " + std::string(message, length >= 0 ? static_cast<std::size_t>(length) : std::strlen(message));
  platformLog(text.c_str());
  // Also where a test run shows it: the engine's log is often the null device.
  std::fprintf(stderr, "%s\n", text.c_str());
}
#endif

}  // namespace

void drainGlErrors() {
  // Bounded: without a current context some drivers answer an error forever.
  for (int i = 0; i < 64 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

void installGlErrorReporter() {
#ifndef NDEBUG
  const auto* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  int major = 0, minor = 0;
  std::sscanf(glString(GL_VERSION).c_str(), "%d.%d", &major, &minor);
  if (!(major > 4 || (major == 4 && minor >= 3)) && !hasExtension(ext, "GL_KHR_debug")) return;
  PFNGLDEBUGMESSAGECALLBACKPROC callback = nullptr;
  if (!loadProc(&callback, "glDebugMessageCallback")) return;
  glEnable(GL_DEBUG_OUTPUT);
  glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);  // reported inside the call that failed
  callback(reportGlMessage, nullptr);
#endif
}

bool GlFunctions::load() {
  bool ok = loadProc(&GenFramebuffers, "glGenFramebuffers") && loadProc(&DeleteFramebuffers, "glDeleteFramebuffers") &&
            loadProc(&BindFramebuffer, "glBindFramebuffer") &&
            loadProc(&FramebufferRenderbuffer, "glFramebufferRenderbuffer") &&
            loadProc(&CheckFramebufferStatus, "glCheckFramebufferStatus") &&
            loadProc(&GenRenderbuffers, "glGenRenderbuffers") &&
            loadProc(&DeleteRenderbuffers, "glDeleteRenderbuffers") &&
            loadProc(&BindRenderbuffer, "glBindRenderbuffer") &&
            loadProc(&RenderbufferStorageMultisample, "glRenderbufferStorageMultisample") &&
            loadProc(&BlitFramebuffer, "glBlitFramebuffer") && loadProc(&BlendEquation, "glBlendEquation") &&
            loadProc(&BlendFuncSeparate, "glBlendFuncSeparate") &&
            loadProc(&FramebufferTexture2D, "glFramebufferTexture2D") && loadProc(&ActiveTexture, "glActiveTexture") &&
            loadProc(&CreateShader, "glCreateShader") && loadProc(&ShaderSource, "glShaderSource") &&
            loadProc(&CompileShader, "glCompileShader") && loadProc(&GetShaderiv, "glGetShaderiv") &&
            loadProc(&GetShaderInfoLog, "glGetShaderInfoLog") && loadProc(&DeleteShader, "glDeleteShader") &&
            loadProc(&CreateProgram, "glCreateProgram") && loadProc(&AttachShader, "glAttachShader") &&
            loadProc(&LinkProgram, "glLinkProgram") && loadProc(&GetProgramiv, "glGetProgramiv") &&
            loadProc(&GetProgramInfoLog, "glGetProgramInfoLog") && loadProc(&DeleteProgram, "glDeleteProgram") &&
            loadProc(&UseProgram, "glUseProgram") && loadProc(&GetUniformLocation, "glGetUniformLocation") &&
            loadProc(&Uniform1i, "glUniform1i");
  loadProc(&BindSampler, "glBindSampler");
  int major = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  const std::string version = glString(GL_VERSION);
  int minor = 0;
  std::sscanf(version.c_str(), "%d.%d", &major, &minor);
  if (major > 4 || (major == 4 && minor >= 5)) loadProc(&ClipControl, "glClipControl");
  return ok;
}

GLuint buildGlProgram(const GlFunctions& gl, const char* vertexSource, const char* fragmentSource, const char* what,
                      const std::function<void(GLuint program)>& beforeLink) {
  auto compile = [&](GLenum type, const char* text) -> GLuint {
    const GLuint shader = gl.CreateShader(type);
    gl.ShaderSource(shader, 1, &text, nullptr);
    gl.CompileShader(shader);
    GLint compiled = 0;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled) return shader;
    char log[2048] = {};
    gl.GetShaderInfoLog(shader, sizeof log, nullptr, log);
    platformLog((std::string(what) + " shader did not compile:\n" + log + "\n" + text).c_str());
    gl.DeleteShader(shader);
    return 0;
  };
  const GLuint vs = compile(GL_VERTEX_SHADER, vertexSource);
  const GLuint fs = compile(GL_FRAGMENT_SHADER, fragmentSource);
  GLuint program = 0;
  if (vs && fs) {
    program = gl.CreateProgram();
    gl.AttachShader(program, vs);
    gl.AttachShader(program, fs);
    if (beforeLink) beforeLink(program);
    gl.LinkProgram(program);
    GLint linked = 0;
    gl.GetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
      char log[2048] = {};
      gl.GetProgramInfoLog(program, sizeof log, nullptr, log);
      platformLog((std::string(what) + " program did not link: " + log).c_str());
      gl.DeleteProgram(program);
      program = 0;
    }
  }
  if (vs) gl.DeleteShader(vs);
  if (fs) gl.DeleteShader(fs);
  return program;
}

SDL_GLContext createGlContext(SDL_Window* window) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  return SDL_GL_CreateContext(window);
}

bool probeGl(GlInfo* info) {
  static bool probed = false;
  static bool available = false;
  static GlInfo cached;
  if (!probed) {
    probed = true;
    if (!ensureSdlVideo()) return false;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow("probe", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return false;
    SDL_GLContext context = createGlContext(window);
    if (context) {
      SDL_GL_MakeCurrent(window, context);
      GlInfo& i = cached;
      i.vendor = glString(GL_VENDOR);
      i.renderer = glString(GL_RENDERER);
      i.version = glString(GL_VERSION);
      std::sscanf(i.version.c_str(), "%d.%d", &i.major, &i.minor);
      std::sscanf(glString(GL_SHADING_LANGUAGE_VERSION).c_str(), "%d.%d", &i.glslMajor, &i.glslMinor);
      glGetIntegerv(GL_MAX_TEXTURE_SIZE, &i.maxTextureSize);
      glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &i.max3dTextureSize);
      glGetIntegerv(GL_MAX_TEXTURE_UNITS, &i.maxTextureUnits);
      glGetIntegerv(GL_MAX_LIGHTS, &i.maxLights);
      glGetIntegerv(GL_MAX_CLIP_PLANES, &i.maxClipPlanes);
      const auto* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
      const bool gl3 = i.major >= 3;
      i.framebufferObjects = gl3 || hasExtension(ext, "GL_ARB_framebuffer_object");
      if (i.framebufferObjects) glGetIntegerv(GL_MAX_SAMPLES, &i.maxSamples);
      i.s3tc = hasExtension(ext, "GL_EXT_texture_compression_s3tc");
      i.floatTextures = gl3 || hasExtension(ext, "GL_ARB_texture_float");
      i.rgTextures = gl3 || hasExtension(ext, "GL_ARB_texture_rg");
      if (hasExtension(ext, "GL_EXT_texture_filter_anisotropic"))
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &i.maxAnisotropy);
      while (glGetError() != GL_NO_ERROR) {
      }
      SDL_GL_MakeCurrent(window, nullptr);
      SDL_GL_DeleteContext(context);
      available = i.framebufferObjects;
    }
    SDL_DestroyWindow(window);
  }
  if (available && info) *info = cached;
  return available;
}

const GlFormat* findGlFormat(D3DFORMAT format) {
  for (const GlFormat& f : kFormats)
    if (f.format == format) return &f;
  return nullptr;
}

bool glFormatUsable(const GlFormat& format, unsigned use, const GlInfo& info) {
  if (!(format.uses & use)) return false;
  if ((format.uses & kGlNeedsS3tc) && !info.s3tc) return false;
  if ((format.uses & kGlNeedsFloat) && !info.floatTextures) return false;
  if ((format.uses & kGlNeedsRg) && !info.rgTextures) return false;
  return true;
}

D3DMATRIX glClipAdjustment(DWORD viewportWidth, DWORD viewportHeight, bool zeroToOneDepth) {
  D3DMATRIX m{};
  const float shift = 63.0f / 64.0f;  // 63/128 pixel in clip units of 2/size per pixel
  m.m[0][0] = 1.0f;
  m.m[1][1] = -1.0f;
  m.m[2][2] = zeroToOneDepth ? 1.0f : 2.0f;
  m.m[3][0] = viewportWidth ? shift / static_cast<float>(viewportWidth) : 0.0f;
  m.m[3][1] = viewportHeight ? shift / static_cast<float>(viewportHeight) : 0.0f;
  m.m[3][2] = zeroToOneDepth ? 0.0f : -1.0f;
  m.m[3][3] = 1.0f;
  return m;
}
