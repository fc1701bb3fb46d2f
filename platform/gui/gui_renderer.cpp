// CEGUI's renderers behind GuiRenderer. The GL one draws into a layer (a
// texture-backed framebuffer in GL row order, cleared to transparent) and
// composites it upright onto the device's target with (1, 1 - source alpha):
// CEGUI blends colour with (alpha, 1 - alpha) and alpha with (1, 1 - alpha),
// which leaves the layer's colour premultiplied. The layer keeps what it
// holds between frames: where only a few windows changed, just the tiles
// they touch are cleared and drawn again (the layer's stencil lets CEGUI's
// drawing through there only), and only the tiles that hold anything are
// laid over the frame.
#include "platform/gui/gui_renderer.h"

#include <CEGUI/GUIContext.h>
#include <CEGUI/MouseCursor.h>
#include <CEGUI/RendererModules/Null/Renderer.h>
#include <CEGUI/RendererModules/OpenGL/GLRenderer.h>
#include <CEGUI/System.h>

#include <exception>
#include <string>

#include "platform/graphics/d3d9.h"
#include "platform/gui/gui_damage.h"
#include "platform/system/system.h"

namespace {

class NullGuiRenderer final : public GuiRenderer {
 public:
  NullGuiRenderer(float width, float height) : m_renderer(CEGUI::NullRenderer::create()) {
    m_renderer.setDisplaySize(CEGUI::Sizef(width, height));
  }
  ~NullGuiRenderer() override { CEGUI::NullRenderer::destroy(m_renderer); }

  CEGUI::Renderer& renderer() override { return m_renderer; }
  IDirect3DDevice9* device() const override { return nullptr; }
  void render() override {
    if (CEGUI::System::getSingletonPtr()) CEGUI::System::getSingleton().renderAllGUIContexts();
  }
  void setDisplaySize(float width, float height) override { m_renderer.setDisplaySize(CEGUI::Sizef(width, height)); }

 private:
  CEGUI::NullRenderer& m_renderer;
};

class GlGuiRenderer final : public GuiRenderer {
 public:
  GlGuiRenderer(IDirect3DDevice9* device, CEGUI::OpenGLRenderer& renderer, int width, int height)
      : m_device(device), m_renderer(renderer), m_width(width), m_height(height) {
    m_device->AddRef();
  }

  ~GlGuiRenderer() override {
    m_device->InvalidateStateShadow();  // makes the context current
    deleteLayer();
    CEGUI::OpenGLRenderer::destroy(m_renderer);
    m_device->InvalidateStateShadow();
    m_device->Release();
  }

  CEGUI::Renderer& renderer() override { return m_renderer; }
  IDirect3DDevice9* device() const override { return m_device; }

  void setDisplaySize(float width, float height) override {
    m_renderer.setDisplaySize(CEGUI::Sizef(width, height));
    m_width = static_cast<int>(width);
    m_height = static_cast<int>(height);
  }

  void render() override {
    if (!CEGUI::System::getSingletonPtr() || m_width <= 0 || m_height <= 0) return;
    m_device->InvalidateStateShadow();
    GLint target = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &target);
    if (!ensureLayer()) {
      m_device->InvalidateStateShadow();
      return;
    }
    // An unchanged GUI is composited again from the layer as it stands.
    if (layerOutdated()) drawLayer();
    composite(static_cast<GLuint>(target));
    m_device->InvalidateStateShadow();
  }

  LayerDraws layerDraws() const override { return m_draws; }

  void renderWithoutLayer() override {
    if (!CEGUI::System::getSingletonPtr()) return;
    m_device->InvalidateStateShadow();
    drawGui();
    m_device->InvalidateStateShadow();
  }

 private:
  // Whether the layer must be drawn again: it is new, a window changed
  // (every change marks the context dirty until it is drawn) or the cursor
  // moved, changed or appeared. Remembers the cursor as drawn.
  bool layerOutdated() {
    CEGUI::GUIContext& context = CEGUI::System::getSingleton().getDefaultGUIContext();
    const CEGUI::MouseCursor& cursor = context.getMouseCursor();
    const CEGUI::Vector2f position = cursor.getPosition();
    const CEGUI::Image* image = cursor.getImage();
    const bool visible = cursor.isVisible();
    const bool outdated = !m_layerDrawn || context.isDirty() || m_damage.pending() ||
                          (visible && (position != m_cursorPosition || image != m_cursorImage)) ||
                          visible != m_cursorVisible;
    m_layerDrawn = true;
    m_cursorPosition = position;
    m_cursorImage = image;
    m_cursorVisible = visible;
    return outdated;
  }

  // The whole layer, or only the tiles that changed.
  void drawLayer() {
    CEGUI::GUIContext& context = CEGUI::System::getSingleton().getDefaultGUIContext();
    const GuiDamage::Redraw redraw = m_damage.collect(context);
    if (redraw == GuiDamage::Redraw::kNothing) return;
    glBindFramebuffer(GL_FRAMEBUFFER, m_layerFbo);
    glViewport(0, 0, m_width, m_height);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glStencilMask(0xFF);
    if (redraw == GuiDamage::Redraw::kChangedParts) {
      // Cleared, and open to CEGUI's drawing, only where something changed.
      glClearStencil(1);
      clearSpans(m_damage.damagedSpans(), GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
      drawGui(true);
      glStencilMask(0xFF);
      glClearStencil(0);
      clearSpans(m_damage.damagedSpans(), GL_STENCIL_BUFFER_BIT);
      ++m_draws.changedParts;
    } else {
      glDisable(GL_SCISSOR_TEST);
      glClear(GL_COLOR_BUFFER_BIT);
      drawGui(false);
      ++m_draws.whole;
    }
    m_damage.drawn(context);
  }

  // Clears `bits` of the layer inside each span (display rows run down, the
  // layer's GL rows up).
  void clearSpans(const std::vector<GuiDamage::Span>& spans, GLbitfield bits) {
    glEnable(GL_SCISSOR_TEST);
    for (const GuiDamage::Span& s : spans) {
      glScissor(s.x, m_height - s.y - s.height, s.width, s.height);
      glClear(bits);
    }
    glDisable(GL_SCISSOR_TEST);
  }

  // The device's states that CEGUI does not set itself, off for the GUI;
  // with `masked`, CEGUI draws only where the layer's stencil holds 1.
  void drawGui(bool masked = false) {
    glUseProgram(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glDisable(GL_DEPTH_TEST);
    if (masked) {
      glEnable(GL_STENCIL_TEST);
      glStencilFunc(GL_EQUAL, 1, 0xFF);
      glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    } else {
      glDisable(GL_STENCIL_TEST);
    }
    glDisable(GL_CULL_FACE);
    glDisable(GL_ALPHA_TEST);
    GLint planes = 0;
    glGetIntegerv(GL_MAX_CLIP_PLANES, &planes);
    for (GLint i = 0; i < planes; ++i) glDisable(GL_CLIP_PLANE0 + i);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_FALSE);
    glActiveTexture(GL_TEXTURE0);
    CEGUI::System::getSingleton().renderAllGUIContexts();
    glDisable(GL_STENCIL_TEST);
  }

  // The layer over the target's top-left m_width x m_height, its first GL
  // row (the GUI's bottom) onto the target's last Direct3D row.
  void composite(GLuint target) {
    glBindFramebuffer(GL_FRAMEBUFFER, target);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, m_width, m_height);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, m_layerTexture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBegin(GL_QUADS);
    if (const std::vector<GuiDamage::Span>* spans = m_damage.contentSpans()) {
      for (const GuiDamage::Span& s : *spans) compositeQuad(s.x, s.y, s.width, s.height);
    } else {
      compositeQuad(0, 0, m_width, m_height);
    }
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
  }

  // The layer's display rectangle (x, y) w x h onto the same place of the
  // target: the target's GL rows hold the display's rows top down, the
  // layer's bottom up.
  void compositeQuad(int x, int y, int w, int h) const {
    const float width = static_cast<float>(m_width), height = static_cast<float>(m_height);
    const float s0 = static_cast<float>(x) / width, s1 = static_cast<float>(x + w) / width;
    const float t0 = static_cast<float>(y) / height, t1 = static_cast<float>(y + h) / height;
    glTexCoord2f(s0, 1.0f - t0);
    glVertex2f(2.0f * s0 - 1.0f, 2.0f * t0 - 1.0f);
    glTexCoord2f(s1, 1.0f - t0);
    glVertex2f(2.0f * s1 - 1.0f, 2.0f * t0 - 1.0f);
    glTexCoord2f(s1, 1.0f - t1);
    glVertex2f(2.0f * s1 - 1.0f, 2.0f * t1 - 1.0f);
    glTexCoord2f(s0, 1.0f - t1);
    glVertex2f(2.0f * s0 - 1.0f, 2.0f * t1 - 1.0f);
  }

  bool ensureLayer() {
    if (m_layerFbo && m_layerWidth == m_width && m_layerHeight == m_height) return true;
    deleteLayer();
    glGenTextures(1, &m_layerTexture);
    glBindTexture(GL_TEXTURE_2D, m_layerTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, m_width, m_height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    // The stencil marks where a partial redraw may draw; 0 elsewhere.
    glGenRenderbuffers(1, &m_layerStencil);
    glBindRenderbuffer(GL_RENDERBUFFER, m_layerStencil);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, m_width, m_height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glGenFramebuffers(1, &m_layerFbo);
    glBindFramebuffer(GL_FRAMEBUFFER, m_layerFbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_layerTexture, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_layerStencil);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      platformLog("GUI layer: framebuffer incomplete");
      deleteLayer();
      return false;
    }
    glDisable(GL_SCISSOR_TEST);
    glStencilMask(0xFF);
    glClearStencil(0);
    glClear(GL_STENCIL_BUFFER_BIT);
    m_layerWidth = m_width;
    m_layerHeight = m_height;
    m_layerDrawn = false;
    m_damage.setDisplaySize(m_width, m_height);
    return true;
  }

  void deleteLayer() {
    if (m_layerFbo) glDeleteFramebuffers(1, &m_layerFbo);
    if (m_layerStencil) glDeleteRenderbuffers(1, &m_layerStencil);
    if (m_layerTexture) glDeleteTextures(1, &m_layerTexture);
    m_layerFbo = m_layerStencil = m_layerTexture = 0;
    m_layerWidth = m_layerHeight = 0;
  }

  IDirect3DDevice9* m_device;
  CEGUI::OpenGLRenderer& m_renderer;
  int m_width, m_height;  // the display size
  GLuint m_layerFbo = 0, m_layerTexture = 0, m_layerStencil = 0;
  GuiDamage m_damage;
  LayerDraws m_draws;
  int m_layerWidth = 0, m_layerHeight = 0;
  bool m_layerDrawn = false;  // holds the GUI as last drawn
  CEGUI::Vector2f m_cursorPosition;
  const CEGUI::Image* m_cursorImage = nullptr;
  bool m_cursorVisible = false;
};

}  // namespace

std::unique_ptr<GuiRenderer> GuiRenderer::createOnDevice(IDirect3DDevice9* device) {
  if (!device) return nullptr;
  D3DPRESENT_PARAMETERS p{};
  if (FAILED(device->GetPresentParameters(&p))) return nullptr;
  const int width = static_cast<int>(p.BackBufferWidth), height = static_cast<int>(p.BackBufferHeight);
  device->InvalidateStateShadow();  // the device's context is now current
  try {
    CEGUI::OpenGLRenderer& renderer =
        CEGUI::OpenGLRenderer::create(CEGUI::Sizef(static_cast<float>(width), static_cast<float>(height)));
    // Puts back the states CEGUI needs that the device leaves otherwise.
    renderer.enableExtraStateSettings(true);
    device->InvalidateStateShadow();
    return std::unique_ptr<GuiRenderer>(new GlGuiRenderer(device, renderer, width, height));
  } catch (const std::exception& e) {  // CEGUI's exceptions too
    platformLog((std::string("GUI renderer: ") + e.what()).c_str());
  }
  device->InvalidateStateShadow();
  return nullptr;
}

std::unique_ptr<GuiRenderer> GuiRenderer::createNull(float width, float height) {
  return std::unique_ptr<GuiRenderer>(new NullGuiRenderer(width, height));
}
