// Internal to platform/: the last step of a full-screen Present when the
// device has a gamma ramp. Direct3D applies a device's ramp to what the
// monitor shows, never to the back buffer; the display server's own ramp is
// left alone (nothing to restore at exit, no darkened desktop after a crash),
// so the ramp is applied here, as a 256-entry lookup per channel while the
// back buffer is copied into the window.
#pragma once

#include "platform/graphics/gl_context.h"

class GlGammaPass {
 public:
  GlGammaPass() = default;
  GlGammaPass(const GlGammaPass&) = delete;
  GlGammaPass& operator=(const GlGammaPass&) = delete;

  // Draws `source` (a framebuffer of width x height in Direct3D row order)
  // upright over the whole drawable (dw x dh) of the window's framebuffer 0,
  // each channel looked up in `ramp`. Every GL state it changes is put back.
  // False when the context cannot run it; the caller then copies plainly.
  bool draw(const GlFunctions& gl, GLuint source, GLsizei width, GLsizei height, GLsizei dw, GLsizei dh,
            const D3DGAMMARAMP& ramp);
  // Frees the GL objects; with the context current.
  void release(const GlFunctions& gl);

 private:
  bool load(const GlFunctions& gl);
  bool makeImage(const GlFunctions& gl, GLsizei width, GLsizei height);

  bool m_failed = false;  // the program did not build: plain copies from then on
  GLuint m_program = 0;
  GLuint m_rampTexture = 0;
  GLuint m_image = 0, m_imageFbo = 0;  // the back buffer's copy, sampled by the program
  GLsizei m_imageWidth = 0, m_imageHeight = 0;
  D3DGAMMARAMP m_uploaded{};
  bool m_rampValid = false;
};
