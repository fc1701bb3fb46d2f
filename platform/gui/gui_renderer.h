// The GUI library's renderer, kept in platform/ because CEGUI's OpenGL
// renderer speaks GL (and GLEW) directly. The GL kind draws on the graphics
// device's own context: the device keeps its back buffer in Direct3D row
// order, while CEGUI draws GL-upright and scissors from the bottom-left, so
// the GUI goes into a GL-order layer of its own that is then composited
// upright onto the device's target. The null kind draws nothing (logic
// tests, no display).
#pragma once

#include <memory>

namespace CEGUI {
class Renderer;
}
class IDirect3DDevice9;

class GuiRenderer {
 public:
  // CEGUI's GL renderer on the device's context (a GLX one, so an X server
  // is needed), sized to the device's back buffer. Null, with the reason in
  // the engine's log, when the device is not a GL one or GL refuses.
  static std::unique_ptr<GuiRenderer> createOnDevice(IDirect3DDevice9* device);
  // CEGUI's null renderer with this display size.
  static std::unique_ptr<GuiRenderer> createNull(float width, float height);

  virtual ~GuiRenderer() = default;
  GuiRenderer(const GuiRenderer&) = delete;
  GuiRenderer& operator=(const GuiRenderer&) = delete;

  virtual CEGUI::Renderer& renderer() = 0;
  // The device drawn on; null for the null renderer.
  virtual IDirect3DDevice9* device() const = 0;
  // Draws every GUI context over the device's current render target, upright
  // and blended, then hands the context back to the device.
  virtual void render() = 0;
  // The back buffer's new size after a device reset (the GL context lives on,
  // so nothing else needs doing around a reset).
  virtual void setDisplaySize(float width, float height) = 0;
  // For timing only: draws the GUI straight into the bound GL-order target,
  // without the layer (upside down on the device's back buffer).
  virtual void renderWithoutLayer() { render(); }

  // How often the GUI's picture was drawn again, whole or only where it
  // changed (for tests and benchmarks; the null renderer draws nothing).
  struct LayerDraws {
    long whole = 0, changedParts = 0;
  };
  virtual LayerDraws layerDraws() const { return {}; }

 protected:
  GuiRenderer() = default;
};
