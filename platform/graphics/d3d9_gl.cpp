// The Direct3D object and device on OpenGL 2.1 compatibility through SDL2.
//
// The back buffer is a framebuffer object of exactly the size Direct3D was
// asked for (multisampled when asked), kept in Direct3D row order: GL's first
// row is Direct3D's top row. Viewports and Clear rectangles therefore go to GL
// as given; the vertex stage negates clip-space y (glClipAdjustment), which
// also turns Direct3D's clockwise front faces into GL's counter-clockwise ones
// (GL_CCW, set by the draw path for every target). Present flips the image
// upright into the window. Depth clips at 0..1 through glClipControl where
// the context has it (GL 4.5, Mesa); elsewhere glClipAdjustment remaps it.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/graphics/d3d9.h"
#include "platform/graphics/d3d9_device_base.h"
#include "platform/graphics/d3d9_gl_draw.h"
#include "platform/graphics/d3d9_gl_query.h"
#include "platform/graphics/d3d9_gl_texture.h"
#include "platform/graphics/d3d9_gl_volume.h"
#include "platform/graphics/gl_context.h"
#include "platform/graphics/gl_gamma_pass.h"
#include "platform/system/system.h"
#include "platform/window/sdl_video.h"

struct MonitorHandle {
  int display;
};

namespace {

constexpr int kMaxDisplays = 16;
MonitorHandle g_monitors[kMaxDisplays] = {{0}, {1}, {2},  {3},  {4},  {5},  {6},  {7},
                                          {8}, {9}, {10}, {11}, {12}, {13}, {14}, {15}};

std::mutex g_factoryMutex;
Direct3DFactory g_factory;

bool isDepthFormat(D3DFORMAT f) { return f == D3DFMT_D16 || f == D3DFMT_D24X8 || f == D3DFMT_D24S8; }
bool isBackBufferFormat(D3DFORMAT f) { return f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8; }
// OpenGL here is one renderer for both: the reference rasteriser is served
// by the same context as the hardware device.
bool isKnownDeviceType(D3DDEVTYPE type) { return type == D3DDEVTYPE_HAL || type == D3DDEVTYPE_REF; }

// How a window was shown before a device changed it, so that a full-screen
// request that fails puts the window and the display mode back.
struct WindowMode {
  Uint32 fullScreenFlags = 0;
  int width = 0, height = 0;
  SDL_DisplayMode mode{};
  bool hasMode = false;
};

WindowMode captureWindowMode(SDL_Window* window) {
  WindowMode m;
  m.fullScreenFlags = SDL_GetWindowFlags(window) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP);
  SDL_GetWindowSize(window, &m.width, &m.height);
  m.hasMode = SDL_GetWindowDisplayMode(window, &m.mode) == 0;
  return m;
}

void restoreWindowMode(SDL_Window* window, const WindowMode& m) {
  if (m.hasMode) SDL_SetWindowDisplayMode(window, &m.mode);
  SDL_SetWindowFullscreen(window, m.fullScreenFlags);
  if (!m.fullScreenFlags) SDL_SetWindowSize(window, m.width, m.height);
}

class GlDevice : public DeviceBase {
 public:
  GlDevice(const D3DCAPS9& caps, const D3DPRESENT_PARAMETERS& parameters, HWND window, SDL_GLContext context,
           const GlFunctions& gl)
      : DeviceBase(caps, parameters), m_window(window), m_context(context), m_gl(gl) {
    // Textures (with the context current).
    m_textureHost->window = sdlWindowOf(window);
    m_textureHost->context = context;
    m_textureHost->gl = gl;
    GlInfo info;
    probeGl(&info);
    m_textureHost->s3tc = info.s3tc;
    m_textureHost->load();
  }

  ~GlDevice() override {
    m_textureHost->alive = false;  // textures outliving the device free nothing in GL
    if (makeCurrent()) {
      m_fixedFunction.reset();  // deletes its programs while the context is current
      m_gammaPass.release(m_gl);
      deleteTargets();
      SDL_GL_MakeCurrent(sdlWindowOf(m_window), nullptr);
    } else if (m_fixedFunction) {
      m_fixedFunction->abandon();  // the programs go with the context
    }
    SDL_GL_DeleteContext(m_context);
  }

  // Makes the back buffer for the current parameters; false when GL refuses.
  bool createTargets() {
    if (!makeCurrent()) return false;
    drainGlErrors();  // another user of the context may have left one
    deleteTargets();
    const GLsizei w = static_cast<GLsizei>(m_parameters.BackBufferWidth);
    const GLsizei h = static_cast<GLsizei>(m_parameters.BackBufferHeight);
    const GLenum colour = m_parameters.BackBufferFormat == D3DFMT_A8R8G8B8 ? GL_RGBA8 : GL_RGB8;
    GLenum depth = 0;
    m_hasDepth = m_parameters.EnableAutoDepthStencil != 0;
    m_hasStencil = m_hasDepth && m_parameters.AutoDepthStencilFormat == D3DFMT_D24S8;
    if (m_hasDepth) {
      const GlFormat* f = findGlFormat(m_parameters.AutoDepthStencilFormat);
      if (!f || !(f->uses & kGlDepthStencil)) return false;
      depth = f->internalFormat;
    }
    GLsizei samples = 0;
    if (m_parameters.MultiSampleType >= 2) samples = static_cast<GLsizei>(m_parameters.MultiSampleType);

    if (samples > 0) {
      if (!makeFramebuffer(&m_resolve, w, h, colour, 0, 0)) return false;
      if (!makeFramebuffer(&m_draw, w, h, colour, depth, samples)) return false;
    } else {
      // One framebuffer serves drawing and reading.
      if (!makeFramebuffer(&m_draw, w, h, colour, depth, 0)) return false;
      m_resolve = m_draw;
    }
    m_multisampled = samples > 0;
    m_gl.BindFramebuffer(GL_FRAMEBUFFER, m_draw.fbo);
    applyAllStates();
    return true;  // both framebuffers were found complete
  }

  HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override {
    const HRESULT hr = DeviceBase::Reset(parameters);
    if (SUCCEEDED(hr)) applyAllStates();
    return hr;
  }

  HRESULT ReadBackBuffer(UINT x, UINT y, UINT width, UINT height, DWORD* argb) override {
    if (!argb) return D3DERR_INVALIDCALL;
    if (std::uint64_t{x} + width > m_parameters.BackBufferWidth ||
        std::uint64_t{y} + height > m_parameters.BackBufferHeight)
      return D3DERR_INVALIDCALL;
    if (!makeCurrent()) return D3DERR_INVALIDCALL;
    drainGlErrors();  // only an error of the read below counts
    resolve();
    m_gl.BindFramebuffer(GL_READ_FRAMEBUFFER, m_resolve.fbo);
    if (m_gl.CheckFramebufferStatus(GL_READ_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      platformLog("ReadBackBuffer: the back buffer's framebuffer is incomplete");
      m_gl.BindFramebuffer(GL_FRAMEBUFFER, drawFbo());
      return D3DERR_DRIVERINTERNALERROR;
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(static_cast<GLint>(x), static_cast<GLint>(y), static_cast<GLsizei>(width),
                 static_cast<GLsizei>(height), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, argb);
    m_gl.BindFramebuffer(GL_FRAMEBUFFER, drawFbo());
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR) return D3D_OK;
    char text[64];
    std::snprintf(text, sizeof text, "ReadBackBuffer: GL error 0x%04x", static_cast<unsigned>(error));
    platformLog(text);
    return D3DERR_DRIVERINTERNALERROR;
  }

  // Windowed back buffers of size 0 follow the client area; full screen asks
  // SDL for the mode. Everything is checked before the window changes; a
  // full-screen switch that fails puts the window back as it was.
  static HRESULT prepareWindow(HWND hwnd, D3DPRESENT_PARAMETERS* p) {
    SDL_Window* window = sdlWindowOf(hwnd);
    if (!window) return D3DERR_INVALIDCALL;
    if (FAILED(checkPresentParameters(*p))) return D3DERR_INVALIDCALL;
    if (p->BackBufferFormat == D3DFMT_UNKNOWN && p->Windowed) p->BackBufferFormat = D3DFMT_X8R8G8B8;
    if (!isBackBufferFormat(p->BackBufferFormat)) return D3DERR_INVALIDCALL;
    if (p->EnableAutoDepthStencil && !isDepthFormat(p->AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;
    if (p->BackBufferCount == 0) p->BackBufferCount = 1;
    if (p->MultiSampleType == D3DMULTISAMPLE_NONMASKABLE) return D3DERR_INVALIDCALL;
    GlInfo info;
    probeGl(&info);
    if (p->MultiSampleType >= 2 && static_cast<int>(p->MultiSampleType) > info.maxSamples) return D3DERR_INVALIDCALL;
    const UINT maxSize = static_cast<UINT>(info.maxTextureSize > 0 ? info.maxTextureSize : 4096);
    if (!p->Windowed && (p->BackBufferWidth > maxSize || p->BackBufferHeight > maxSize)) return D3DERR_OUTOFVIDEOMEMORY;

    if (p->Windowed) {
      SDL_SetWindowFullscreen(window, 0);
      int w = 0, h = 0;
      SDL_GL_GetDrawableSize(window, &w, &h);
      if (p->BackBufferWidth == 0) p->BackBufferWidth = static_cast<UINT>(std::max(w, 1));
      if (p->BackBufferHeight == 0) p->BackBufferHeight = static_cast<UINT>(std::max(h, 1));
      if (p->BackBufferWidth > maxSize || p->BackBufferHeight > maxSize) return D3DERR_OUTOFVIDEOMEMORY;
    } else {
      const WindowMode before = captureWindowMode(window);
      SDL_DisplayMode mode{};
      mode.w = static_cast<int>(p->BackBufferWidth);
      mode.h = static_cast<int>(p->BackBufferHeight);
      mode.refresh_rate = static_cast<int>(p->FullScreen_RefreshRateInHz);
      SDL_SetWindowDisplayMode(window, &mode);
      // Without a window manager nothing resizes a window that goes full
      // screen: it takes the mode's size first.
      SDL_SetWindowSize(window, mode.w, mode.h);
      // Where the display cannot switch modes, the window covers the desktop
      // and Present scales the back buffer to it.
      if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0 &&
          SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        restoreWindowMode(window, before);
        return D3DERR_NOTAVAILABLE;
      }
    }
    SDL_GL_SetSwapInterval(p->PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    return D3D_OK;
  }

 protected:
  bool windowPresentable() override {
    SDL_Window* window = sdlWindowOf(m_window);
    if (!window) return false;
    const Uint32 flags = SDL_GetWindowFlags(window);
    if (flags & SDL_WINDOW_MINIMIZED) return false;
    if ((flags & SDL_WINDOW_HIDDEN) && windowWasShown(m_window)) return false;
    return true;
  }

  HRESULT resetBackBuffer(D3DPRESENT_PARAMETERS* p) override {
    SDL_Window* window = sdlWindowOf(m_window);
    if (!window) return D3DERR_INVALIDCALL;
    const WindowMode before = captureWindowMode(window);
    HRESULT hr = prepareWindow(m_window, p);
    if (FAILED(hr)) {
      restoreWindowMode(window, before);
      return hr;
    }
    const D3DPRESENT_PARAMETERS previous = m_parameters;
    m_parameters = *p;
    if (!createTargets()) {
      // The old back buffer comes back in the old window mode.
      m_parameters = previous;
      restoreWindowMode(window, before);
      createTargets();
      return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
  }

  HRESULT presentBackBuffer(HWND override) override {
    HWND target = override ? override : m_window;
    SDL_Window* window = sdlWindowOf(target);
    if (!window || !makeCurrent(window)) return D3DERR_INVALIDCALL;
    resolve();
    // The picture goes where the window really is: drawn to the size SDL
    // believes in, the first frames after a full-screen switch the server
    // did not carry out are cut and shifted.
    int dw = 0, dh = 0;
    if (!currentDrawableSize(&dw, &dh)) SDL_GL_GetDrawableSize(window, &dw, &dh);
    const GLint w = static_cast<GLint>(m_parameters.BackBufferWidth);
    const GLint h = static_cast<GLint>(m_parameters.BackBufferHeight);
    // The gamma pass draws with a program and buffers of its own: draws
    // unbind theirs first and send everything again next frame.
    if (m_fixedFunction) m_fixedFunction->invalidate();
    // Direct3D applies the device's ramp only while it owns the screen.
    const bool gamma = fullScreen() && !isIdentityGammaRamp(m_gamma);
    if (!gamma || !m_gammaPass.draw(m_gl, m_resolve.fbo, w, h, dw, dh, m_gamma)) {
      m_gl.BindFramebuffer(GL_READ_FRAMEBUFFER, m_resolve.fbo);
      m_gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
      glDisable(GL_SCISSOR_TEST);
      // Upright for the window: the back buffer's first row is the top one.
      m_gl.BlitFramebuffer(0, 0, w, h, 0, dh, dw, 0, GL_COLOR_BUFFER_BIT,
                           (dw == w && dh == h) ? GL_NEAREST : GL_LINEAR);
    }
    SDL_GL_SwapWindow(window);
    m_gl.BindFramebuffer(GL_FRAMEBUFFER, drawFbo());
    if (target != m_window) makeCurrent();
    return D3D_OK;
  }

  HRESULT clearTarget(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override {
    if (!makeCurrent()) return D3D_OK;
    if (m_contextDisturbed) restoreContext();
    GLbitfield bits = 0;
    if (flags & D3DCLEAR_TARGET) bits |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER) bits |= GL_DEPTH_BUFFER_BIT;
    if (flags & D3DCLEAR_STENCIL) bits |= GL_STENCIL_BUFFER_BIT;

    // Clear ignores the write masks; they are put back afterwards.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFF);
    glClearColor(static_cast<float>((color >> 16) & 0xFF) / 255.0f, static_cast<float>((color >> 8) & 0xFF) / 255.0f,
                 static_cast<float>(color & 0xFF) / 255.0f, static_cast<float>((color >> 24) & 0xFF) / 255.0f);
    glClearDepth(std::clamp(z, 0.0f, 1.0f));
    glClearStencil(static_cast<GLint>(stencil));
    glEnable(GL_SCISSOR_TEST);
    const D3DVIEWPORT9& v = m_state.viewport;
    const LONG vx1 = static_cast<LONG>(v.X), vy1 = static_cast<LONG>(v.Y);
    const LONG vx2 = static_cast<LONG>(v.X + v.Width), vy2 = static_cast<LONG>(v.Y + v.Height);
    auto clearRect = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
      x1 = std::max(x1, vx1);
      y1 = std::max(y1, vy1);
      x2 = std::min(x2, vx2);
      y2 = std::min(y2, vy2);
      if (x2 <= x1 || y2 <= y1) return;
      glScissor(x1, y1, x2 - x1, y2 - y1);
      glClear(bits);
    };
    if (count == 0) {
      clearRect(vx1, vy1, vx2, vy2);
    } else {
      for (DWORD i = 0; i < count; ++i) clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
    }
    glDisable(GL_SCISSOR_TEST);
    if (m_fixedFunction) m_fixedFunction->forgetOutputMerger();  // the next draw sets the masks again
    return D3D_OK;
  }

  // ---- Fixed-function drawing (d3d9_gl_draw.cpp) ----
  HRESULT executeDraw(const CheckedDraw& draw) override {
    if (!makeCurrent()) return D3DERR_INVALIDCALL;
    if (!m_fixedFunction) {
      auto stage = std::make_unique<GlFixedFunction>();
      if (!stage->load(m_gl.ClipControl != nullptr, static_cast<float>(m_caps.MaxAnisotropy), m_textureHost))
        return D3DERR_NOTAVAILABLE;
      m_fixedFunction = std::move(stage);
    }
    if (m_contextDisturbed) restoreContext();
    std::array<GlStageTexture, kMaxTextureStages> textures{};
    for (DWORD s = 0; s < kMaxTextureStages; ++s) {
      IDirect3DBaseTexture9* texture = boundTexture(s);
      if (!texture) continue;
      textures[s].name = glTextureName(texture);
      if (!textures[s].name && (textures[s].name = glVolumeTextureName(texture))) textures[s].target = GL_TEXTURE_3D;
      if (textures[s].name) textures[s].levels = texture->GetLevelCount();
    }
    return m_fixedFunction->draw(draw, m_state, m_geometry, textures, {hasDepthStencil(), hasStencil()});
  }

 public:
  // Before GL calls of others in this context: what draws leave bound is
  // unbound now, and the framebuffer, viewport and every draw state are
  // sent again at the next draw or clear.
  void InvalidateStateShadow() override {
    if (!makeCurrent()) return;
    if (m_fixedFunction) m_fixedFunction->invalidate();
    m_contextDisturbed = true;
  }

 protected:
  // ---- end of fixed-function drawing ----

  // ---- Textures and render targets (platform/d3d9_gl_texture.cpp) ----
  DeviceTexture* makeTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                             D3DPOOL pool) override {
    if (pool != D3DPOOL_SCRATCH) {
      const GlFormat* f = findGlFormat(format);
      GlInfo info;
      probeGl(&info);
      const unsigned use = (usage & D3DUSAGE_RENDERTARGET) ? kGlRenderTarget : kGlTexture;
      // DXT levels are decoded on the CPU where the context lacks S3TC.
      const bool usable = f && (glFormatUsable(*f, use, info) || (use == kGlTexture && isCompressedFormat(format)));
      if (!usable) return nullptr;
    }
    return new GlTexture(this, width, height, levels, usage, format, pool, m_defaultPoolTextures, m_textureHost);
  }

  DeviceVolumeTexture* makeVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                         D3DFORMAT format, D3DPOOL pool) override {
    if (pool != D3DPOOL_SCRATCH) {
      const GlFormat* f = findGlFormat(format);
      GlInfo info;
      probeGl(&info);
      if (!f || !glFormatUsable(*f, kGlTexture, info) || !m_textureHost->TexImage3D) return nullptr;
    }
    return new GlVolumeTexture(this, width, height, depth, levels, usage, format, pool, m_defaultPoolTextures,
                               m_textureHost);
  }

  bool renderTargetChanged(IDirect3DSurface9* target) override {
    GLuint fbo = 0;
    UINT width = m_parameters.BackBufferWidth, height = m_parameters.BackBufferHeight;
    if (target) {
      auto* texture = dynamic_cast<GlTexture*>(static_cast<LevelSurface*>(target)->texture());
      fbo = texture ? texture->framebuffer() : 0;
      if (!fbo) return false;
      D3DSURFACE_DESC desc{};
      target->GetDesc(&desc);
      width = desc.Width, height = desc.Height;
    }
    if (!makeCurrent() || !attachDepthStencil(fbo, width, height, boundDepthStencil())) {
      if (makeCurrent()) m_gl.BindFramebuffer(GL_FRAMEBUFFER, drawFbo());
      return false;
    }
    m_targetFbo = fbo;
    return true;
  }

  bool depthStencilChanged(DepthStencilSurface* depth) override {
    if (!makeCurrent()) return true;  // nothing in GL to change
    const bool attached = attachDepthStencil(m_targetFbo, targetWidth(), targetHeight(), depth);
    if (!attached) attachDepthStencil(m_targetFbo, targetWidth(), targetHeight(), boundDepthStencil());
    return attached;
  }

  DepthStencilSurface* makeDepthStencil(UINT width, UINT height, D3DFORMAT format) override {
    auto* surface = new GlDepthSurface(this, width, height, format, m_defaultPoolTextures, m_textureHost);
    if (surface->renderbuffer()) return surface;
    surface->Release();
    return nullptr;
  }

  // Attaches `depth` (null: none) to the framebuffer of a target (0: the
  // back buffer) of that size and leaves that framebuffer bound; false when
  // GL finds the pair unusable. The device's own buffer follows the target
  // as in Direct3D: a target no larger than the back buffer draws with the
  // back buffer's depth-stencil buffer (its top-left part); where that
  // cannot be shared (a multisampled back buffer, a larger target) one
  // buffer per size stands in for it.
  bool attachDepthStencil(GLuint targetFbo, UINT width, UINT height, DepthStencilSurface* depth) {
    GLuint name = 0;
    bool stencil = false;
    if (depth && depth->automatic()) {
      const bool fits = width <= m_parameters.BackBufferWidth && height <= m_parameters.BackBufferHeight;
      name = (targetFbo == 0 || (!m_multisampled && fits)) ? m_draw.depth : targetDepth(width, height);
      stencil = m_hasStencil;
    } else if (depth) {
      name = static_cast<GlDepthSurface*>(depth)->renderbuffer();
      stencil = depth->hasStencil();
    }
    m_gl.BindFramebuffer(GL_FRAMEBUFFER, targetFbo ? targetFbo : m_draw.fbo);
    m_gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, name);
    m_gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, stencil ? name : 0);
    return m_gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  }

  GLuint targetDepth(UINT width, UINT height) {
    GLuint& name = m_targetDepth[{width, height}];
    if (name) return name;
    const GlFormat* f = findGlFormat(m_parameters.AutoDepthStencilFormat);
    if (!f) return 0;
    m_gl.GenRenderbuffers(1, &name);
    m_gl.BindRenderbuffer(GL_RENDERBUFFER, name);
    m_gl.RenderbufferStorageMultisample(GL_RENDERBUFFER, 0, f->internalFormat, static_cast<GLsizei>(width),
                                        static_cast<GLsizei>(height));
    return name;
  }

  GLuint drawFbo() const { return m_targetFbo ? m_targetFbo : m_draw.fbo; }
  // ---- end of textures and render targets ----

  IDirect3DQuery9* makeOcclusionQuery(std::shared_ptr<QueryHost> host) override {
    return makeGlOcclusionQuery(std::move(host), m_textureHost);
  }

  void viewportChanged() override {
    if (!makeCurrent()) return;
    const D3DVIEWPORT9& v = m_state.viewport;
    glViewport(static_cast<GLint>(v.X), static_cast<GLint>(v.Y), static_cast<GLsizei>(v.Width),
               static_cast<GLsizei>(v.Height));
    glDepthRange(v.MinZ, v.MaxZ);
  }

 private:
  struct Framebuffer {
    GLuint fbo = 0, colour = 0, depth = 0;
  };

  bool makeCurrent(SDL_Window* window = nullptr) {
    if (!window) window = sdlWindowOf(m_window);
    return window && SDL_GL_MakeCurrent(window, m_context) == 0;
  }

  bool makeFramebuffer(Framebuffer* fb, GLsizei w, GLsizei h, GLenum colour, GLenum depth, GLsizei samples) {
    m_gl.GenFramebuffers(1, &fb->fbo);
    m_gl.BindFramebuffer(GL_FRAMEBUFFER, fb->fbo);
    m_gl.GenRenderbuffers(1, &fb->colour);
    m_gl.BindRenderbuffer(GL_RENDERBUFFER, fb->colour);
    m_gl.RenderbufferStorageMultisample(GL_RENDERBUFFER, samples, colour, w, h);
    m_gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, fb->colour);
    if (depth) {
      m_gl.GenRenderbuffers(1, &fb->depth);
      m_gl.BindRenderbuffer(GL_RENDERBUFFER, fb->depth);
      m_gl.RenderbufferStorageMultisample(GL_RENDERBUFFER, samples, depth, w, h);
      m_gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, fb->depth);
      if (depth == GL_DEPTH24_STENCIL8)
        m_gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, fb->depth);
    }
    const GLenum status = m_gl.CheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status == GL_FRAMEBUFFER_COMPLETE) return true;
    char text[80];
    std::snprintf(text, sizeof text, "back buffer %dx%d: framebuffer incomplete (0x%04x)", static_cast<int>(w),
                  static_cast<int>(h), static_cast<unsigned>(status));
    platformLog(text);
    return false;
  }

  void deleteFramebuffer(Framebuffer* fb) {
    if (fb->fbo) m_gl.DeleteFramebuffers(1, &fb->fbo);
    if (fb->colour) m_gl.DeleteRenderbuffers(1, &fb->colour);
    if (fb->depth) m_gl.DeleteRenderbuffers(1, &fb->depth);
    *fb = Framebuffer{};
  }

  void deleteTargets() {
    m_gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
    for (auto& [size, name] : m_targetDepth) m_gl.DeleteRenderbuffers(1, &name);
    m_targetDepth.clear();
    if (m_draw.fbo == m_resolve.fbo) m_resolve = Framebuffer{};
    deleteFramebuffer(&m_draw);
    deleteFramebuffer(&m_resolve);
  }

  void resolve() {
    if (!m_multisampled) return;
    const GLint w = static_cast<GLint>(m_parameters.BackBufferWidth);
    const GLint h = static_cast<GLint>(m_parameters.BackBufferHeight);
    m_gl.BindFramebuffer(GL_READ_FRAMEBUFFER, m_draw.fbo);
    m_gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, m_resolve.fbo);
    glDisable(GL_SCISSOR_TEST);
    m_gl.BlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    m_gl.BindFramebuffer(GL_FRAMEBUFFER, drawFbo());
  }

  // Render states reach GL at the next draw (the fixed-function stage
  // compares them with what GL holds); the rest is context state set here.
  void applyAllStates() {
    if (m_gl.ClipControl) m_gl.ClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    viewportChanged();
    if (m_fixedFunction) m_fixedFunction->invalidate();
    m_contextDisturbed = false;
  }

  void restoreContext() {
    m_gl.BindFramebuffer(GL_FRAMEBUFFER, drawFbo());
    applyAllStates();
  }

  HWND m_window;
  SDL_GLContext m_context;
  GlFunctions m_gl;
  Framebuffer m_draw, m_resolve;
  bool m_multisampled = false;
  bool m_hasDepth = false;
  bool m_hasStencil = false;
  std::unique_ptr<GlFixedFunction> m_fixedFunction;                                  // made at the first draw
  std::shared_ptr<GlTextureHost> m_textureHost = std::make_shared<GlTextureHost>();  // textures
  GLuint m_targetFbo = 0;                                 // a render-target texture's framebuffer; 0: the back buffer
  std::map<std::pair<UINT, UINT>, GLuint> m_targetDepth;  // depth-stencil buffers by size, for targets
  GlGammaPass m_gammaPass;
  bool m_contextDisturbed = false;  // others issued GL calls since InvalidateStateShadow
};

class GlDirect3D9 : public IDirect3D9 {
 public:
  explicit GlDirect3D9(const GlInfo& info) : m_info(info) {
    const int displays = std::min(SDL_GetNumVideoDisplays(), kMaxDisplays);
    for (int d = 0; d < displays; ++d) {
      Adapter a;
      a.display = d;
      SDL_DisplayMode mode{};
      if (SDL_GetDesktopDisplayMode(d, &mode) == 0)
        a.current = {static_cast<UINT>(mode.w), static_cast<UINT>(mode.h), static_cast<UINT>(mode.refresh_rate),
                     D3DFMT_X8R8G8B8};
      const int count = SDL_GetNumDisplayModes(d);
      for (int m = 0; m < count; ++m) {
        if (SDL_GetDisplayMode(d, m, &mode) != 0) continue;
        const D3DDISPLAYMODE dm{static_cast<UINT>(mode.w), static_cast<UINT>(mode.h),
                                static_cast<UINT>(mode.refresh_rate), D3DFMT_X8R8G8B8};
        const bool seen = std::any_of(a.modes.begin(), a.modes.end(), [&](const D3DDISPLAYMODE& o) {
          return o.Width == dm.Width && o.Height == dm.Height && o.RefreshRate == dm.RefreshRate;
        });
        if (!seen) a.modes.push_back(dm);
      }
      if (a.modes.empty() && a.current.Width > 0) a.modes.push_back(a.current);
      const char* name = SDL_GetDisplayName(d);
      a.name = name ? name : "";
      m_adapters.push_back(a);
    }
  }

  UINT GetAdapterCount() override { return static_cast<UINT>(m_adapters.size()); }

  HRESULT GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* id) override {
    if (adapter >= m_adapters.size() || !id) return D3DERR_INVALIDCALL;
    *id = D3DADAPTER_IDENTIFIER9{};
    std::snprintf(id->Driver, sizeof id->Driver, "OpenGL %s", m_info.version.c_str());
    std::snprintf(id->Description, sizeof id->Description, "%s", m_info.renderer.c_str());
    std::snprintf(id->DeviceName, sizeof id->DeviceName, "%s", m_adapters[adapter].name.c_str());
    // Driver version as four words: GL major, GL minor, 0, 0.
    id->DriverVersion.u.HighPart = static_cast<LONG>(static_cast<DWORD>(m_info.major) << 16 | (m_info.minor & 0xFFFF));
    id->DriverVersion.u.LowPart = 0;
    return D3D_OK;
  }

  UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
    if (adapter >= m_adapters.size() || format != D3DFMT_X8R8G8B8) return 0;
    return static_cast<UINT>(m_adapters[adapter].modes.size());
  }

  HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out) override {
    if (adapter >= m_adapters.size() || format != D3DFMT_X8R8G8B8 || !out || mode >= m_adapters[adapter].modes.size())
      return D3DERR_INVALIDCALL;
    *out = m_adapters[adapter].modes[mode];
    return D3D_OK;
  }

  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* out) override {
    if (adapter >= m_adapters.size() || !out) return D3DERR_INVALIDCALL;
    *out = m_adapters[adapter].current;
    return D3D_OK;
  }

  HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                          BOOL) override {
    if (adapter >= m_adapters.size() || !isKnownDeviceType(type)) return D3DERR_NOTAVAILABLE;
    return adapterFormat == D3DFMT_X8R8G8B8 && isBackBufferFormat(backBufferFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
  }

  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override {
    if (adapter >= m_adapters.size() || !isKnownDeviceType(type) || adapterFormat != D3DFMT_X8R8G8B8)
      return D3DERR_NOTAVAILABLE;
    const GlFormat* f = findGlFormat(checkFormat);
    if (!f || (usage & D3DUSAGE_DMAP)) return D3DERR_NOTAVAILABLE;
    unsigned use = kGlTexture;
    if (usage & D3DUSAGE_DEPTHSTENCIL) use = kGlDepthStencil;
    if (usage & D3DUSAGE_RENDERTARGET) use = kGlRenderTarget;
    if (resourceType == D3DRTYPE_SURFACE && use == kGlTexture) use = kGlTexture | kGlRenderTarget;
    // Only what CreateTexture and CreateVolumeTexture make: no cube
    // textures, no depth textures, volumes of uncompressed formats.
    if (resourceType == D3DRTYPE_CUBETEXTURE) return D3DERR_NOTAVAILABLE;
    if (resourceType == D3DRTYPE_TEXTURE && use == kGlDepthStencil) return D3DERR_NOTAVAILABLE;
    if (resourceType == D3DRTYPE_VOLUMETEXTURE && (use != kGlTexture || isCompressedFormat(checkFormat)))
      return D3DERR_NOTAVAILABLE;
    if (resourceType == D3DRTYPE_VERTEXBUFFER || resourceType == D3DRTYPE_INDEXBUFFER) return D3DERR_NOTAVAILABLE;
    return glFormatUsable(*f, use, m_info) ? D3D_OK : D3DERR_NOTAVAILABLE;
  }

  HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL,
                                     D3DMULTISAMPLE_TYPE multiSampleType, DWORD* qualityLevels) override {
    if (qualityLevels) *qualityLevels = 0;
    if (adapter >= m_adapters.size() || !isKnownDeviceType(type)) return D3DERR_NOTAVAILABLE;
    const bool formatOk = isBackBufferFormat(surfaceFormat) || isDepthFormat(surfaceFormat);
    if (!formatOk) return D3DERR_NOTAVAILABLE;
    // Plain sample counts only; the non-maskable levels are not offered.
    const bool ok = multiSampleType == D3DMULTISAMPLE_NONE || (multiSampleType >= 2 && multiSampleType <= 16 &&
                                                               static_cast<int>(multiSampleType) <= m_info.maxSamples);
    if (ok && qualityLevels) *qualityLevels = 1;
    return ok ? D3D_OK : D3DERR_NOTAVAILABLE;
  }

  HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT renderTarget,
                                 D3DFORMAT depthStencil) override {
    if (adapter >= m_adapters.size() || !isKnownDeviceType(type) || adapterFormat != D3DFMT_X8R8G8B8)
      return D3DERR_NOTAVAILABLE;
    const GlFormat* target = findGlFormat(renderTarget);
    const bool targetOk = target && glFormatUsable(*target, kGlRenderTarget, m_info);
    return targetOk && isDepthFormat(depthStencil) ? D3D_OK : D3DERR_NOTAVAILABLE;
  }

  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
    if (adapter >= m_adapters.size() || !caps) return D3DERR_INVALIDCALL;
    if (!isKnownDeviceType(type)) return D3DERR_NOTAVAILABLE;
    *caps = makeCaps(adapter);
    caps->DeviceType = type;
    return D3D_OK;
  }

  HMONITOR GetAdapterMonitor(UINT adapter) override {
    return adapter < m_adapters.size() ? &g_monitors[m_adapters[adapter].display] : nullptr;
  }

  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD, D3DPRESENT_PARAMETERS* parameters,
                       IDirect3DDevice9** device) override {
    if (!device || !parameters) return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (adapter >= m_adapters.size() || !isKnownDeviceType(type)) return D3DERR_NOTAVAILABLE;
    HWND hwnd = parameters->hDeviceWindow ? parameters->hDeviceWindow : focusWindow;
    SDL_Window* window = sdlWindowOf(hwnd);
    if (!window || !(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS p = *parameters;
    const WindowMode before = captureWindowMode(window);
    HRESULT hr = GlDevice::prepareWindow(hwnd, &p);
    if (FAILED(hr)) return hr;
    // A device that cannot be made leaves the window as it found it.
    auto fail = [&](SDL_GLContext context, HRESULT result) {
      if (context) SDL_GL_DeleteContext(context);
      restoreWindowMode(window, before);
      return result;
    };
    SDL_GLContext context = createGlContext(window);
    if (!context) return fail(nullptr, D3DERR_NOTAVAILABLE);
    if (SDL_GL_MakeCurrent(window, context) != 0) return fail(context, D3DERR_NOTAVAILABLE);
    GlFunctions gl;
    if (!gl.load()) return fail(context, D3DERR_NOTAVAILABLE);
    installGlErrorReporter();
    SDL_GL_SetSwapInterval(p.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    auto* created = new GlDevice(makeCaps(adapter), p, hwnd, context, gl);
    if (!created->createTargets()) {
      created->Release();  // deletes the context
      restoreWindowMode(window, before);
      return D3DERR_OUTOFVIDEOMEMORY;
    }
    *parameters = p;
    *device = created;
    return D3D_OK;
  }

 private:
  struct Adapter {
    int display = 0;
    std::string name;
    D3DDISPLAYMODE current{};
    std::vector<D3DDISPLAYMODE> modes;
  };

  D3DCAPS9 makeCaps(UINT adapter) const {
    D3DCAPS9 c{};
    c.DeviceType = D3DDEVTYPE_HAL;
    c.AdapterOrdinal = adapter;
    c.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    c.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    // Non-power-of-two sizes are unrestricted on GL 2.0 and later. Cube
    // textures are not made here, so they are not claimed.
    c.TextureCaps = D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_VOLUMEMAP | D3DPTEXTURECAPS_MIPVOLUMEMAP;
    if (m_info.major < 2) c.TextureCaps |= D3DPTEXTURECAPS_POW2;
    c.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                           D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_INDEPENDENTUV | D3DPTADDRESSCAPS_MIRRORONCE;
    c.VolumeTextureAddressCaps = c.TextureAddressCaps;
    c.MaxTextureWidth = c.MaxTextureHeight = static_cast<DWORD>(m_info.maxTextureSize);
    c.MaxVolumeExtent = static_cast<DWORD>(m_info.max3dTextureSize);
    c.MaxAnisotropy = static_cast<DWORD>(m_info.maxAnisotropy);
    c.MaxTextureBlendStages = c.MaxSimultaneousTextures =
        static_cast<DWORD>(std::clamp(m_info.maxTextureUnits, 1, static_cast<int>(kMaxTextureStages)));
    c.MaxActiveLights = static_cast<DWORD>(std::clamp(m_info.maxLights, 0, 8));
    c.MaxUserClipPlanes = static_cast<DWORD>(std::clamp(m_info.maxClipPlanes, 0, 6));
    c.MaxVertexBlendMatrices = 4;
    c.MaxPrimitiveCount = 0x00FFFFFF;
    c.MaxVertexIndex = 0x00FFFFFF;
    c.MaxStreams = 16;
    c.MaxStreamStride = 255;
    const bool glsl = m_info.glslMajor > 1 || (m_info.glslMajor == 1 && m_info.glslMinor >= 10);
    c.VertexShaderVersion = glsl ? D3DVS_VERSION(2, 0) : D3DVS_VERSION(0, 0);
    c.PixelShaderVersion = glsl ? D3DPS_VERSION(2, 0) : D3DPS_VERSION(0, 0);
    c.MaxVertexShaderConst = 256;
    c.MasterAdapterOrdinal = adapter;
    c.AdapterOrdinalInGroup = 0;
    c.NumberOfAdaptersInGroup = 1;
    c.NumSimultaneousRTs = 1;
    return c;
  }

  GlInfo m_info;
  std::vector<Adapter> m_adapters;
};

}  // namespace

Direct3DFactory setDirect3DFactory(Direct3DFactory factory) {
  std::lock_guard lock(g_factoryMutex);
  std::swap(g_factory, factory);
  return factory;
}

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
  if (sdkVersion != D3D9B_SDK_VERSION && sdkVersion != D3D_SDK_VERSION) return nullptr;
  Direct3DFactory factory;
  {
    std::lock_guard lock(g_factoryMutex);
    factory = g_factory;
  }
  if (factory) return factory(sdkVersion);
  GlInfo info;
  if (!probeGl(&info)) return nullptr;
  return new GlDirect3D9(info);
}
