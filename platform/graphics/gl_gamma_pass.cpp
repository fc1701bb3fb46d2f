// The gamma lookup of a full-screen Present (see gl_gamma_pass.h).
#include "platform/graphics/gl_gamma_pass.h"

#include <cstring>
#include <vector>

namespace {

// The quad's corners come in as GL positions; the back buffer's row 0 (its
// top) goes to the top of the window.
const char kVertexShader[] =
    "#version 120\n"
    "varying vec2 v_uv;\n"
    "void main() {\n"
    "  v_uv = vec2(gl_Vertex.x * 0.5 + 0.5, 0.5 - gl_Vertex.y * 0.5);\n"
    "  gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0);\n"
    "}\n";

// Entry i of the ramp sits at texel i of a 256-wide texture: the colour's
// byte value picks the texel's centre.
const char kFragmentShader[] =
    "#version 120\n"
    "uniform sampler2D u_image;\n"
    "uniform sampler2D u_ramp;\n"
    "varying vec2 v_uv;\n"
    "void main() {\n"
    "  vec3 c = (floor(texture2D(u_image, v_uv).rgb * 255.0 + 0.5) + 0.5) / 256.0;\n"
    "  gl_FragColor = vec4(texture2D(u_ramp, vec2(c.r, 0.5)).r, texture2D(u_ramp, vec2(c.g, 0.5)).g,\n"
    "                      texture2D(u_ramp, vec2(c.b, 0.5)).b, 1.0);\n"
    "}\n";

}  // namespace

bool GlGammaPass::load(const GlFunctions& gl) {
  if (m_program || m_failed) return m_program != 0;
  m_program = buildGlProgram(gl, kVertexShader, kFragmentShader, "gamma");
  if (!m_program) {
    m_failed = true;
    return false;
  }
  glGenTextures(1, &m_rampTexture);
  glBindTexture(GL_TEXTURE_2D, m_rampTexture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  return true;
}

bool GlGammaPass::makeImage(const GlFunctions& gl, GLsizei width, GLsizei height) {
  if (m_image && m_imageWidth == width && m_imageHeight == height) return true;
  if (!m_image) {
    glGenTextures(1, &m_image);
    gl.GenFramebuffers(1, &m_imageFbo);
  }
  glBindTexture(GL_TEXTURE_2D, m_image);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  gl.BindFramebuffer(GL_FRAMEBUFFER, m_imageFbo);
  gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_image, 0);
  if (gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
  m_imageWidth = width;
  m_imageHeight = height;
  return true;
}

bool GlGammaPass::draw(const GlFunctions& gl, GLuint source, GLsizei width, GLsizei height, GLsizei dw, GLsizei dh,
                       const D3DGAMMARAMP& ramp) {
  if (!load(gl)) return false;
  GLint program = 0, activeTexture = 0, samplers[2] = {};
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
  glPushAttrib(GL_ALL_ATTRIB_BITS);  // enables, masks, viewport, each unit's texture binding
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);

  bool ok = makeImage(gl, width, height);
  if (ok) {
    // The back buffer's pixels become a texture the program can read.
    gl.BindFramebuffer(GL_READ_FRAMEBUFFER, source);
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, m_imageFbo);
    glDisable(GL_SCISSOR_TEST);
    gl.BlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl.BindFramebuffer(GL_FRAMEBUFFER, 0);

    gl.ActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, m_rampTexture);
    if (!m_rampValid || std::memcmp(&m_uploaded, &ramp, sizeof ramp) != 0) {
      std::vector<GLushort> texels(256 * 3);
      for (int i = 0; i < 256; ++i) {
        texels[3 * i] = ramp.red[i];
        texels[3 * i + 1] = ramp.green[i];
        texels[3 * i + 2] = ramp.blue[i];
      }
      glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
      glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB16, 256, 1, 0, GL_RGB, GL_UNSIGNED_SHORT, texels.data());
      m_uploaded = ramp;
      m_rampValid = true;
    }
    gl.ActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, m_image);
    const GLint filter = (dw == width && dh == height) ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    if (gl.BindSampler) {
      for (GLuint unit = 0; unit < 2; ++unit) {
        gl.ActiveTexture(GL_TEXTURE0 + unit);
        glGetIntegerv(GL_SAMPLER_BINDING, &samplers[unit]);
        gl.BindSampler(unit, 0);
      }
      gl.ActiveTexture(GL_TEXTURE0);
    }

    for (GLenum cap : {GL_DEPTH_TEST, GL_STENCIL_TEST, GL_BLEND, GL_CULL_FACE, GL_SCISSOR_TEST, GL_ALPHA_TEST})
      glDisable(cap);
    for (GLenum plane = GL_CLIP_PLANE0; plane < GL_CLIP_PLANE0 + 6; ++plane) glDisable(plane);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glViewport(0, 0, dw, dh);
    gl.UseProgram(m_program);
    gl.Uniform1i(gl.GetUniformLocation(m_program, "u_image"), 0);
    gl.Uniform1i(gl.GetUniformLocation(m_program, "u_ramp"), 1);
    // Immediate mode reads no vertex arrays, so whatever the draw path left
    // enabled is neither used nor disturbed.
    glBegin(GL_TRIANGLE_STRIP);
    glVertex2f(-1.0f, -1.0f);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(-1.0f, 1.0f);
    glVertex2f(1.0f, 1.0f);
    glEnd();

    if (gl.BindSampler) {
      for (GLuint unit = 0; unit < 2; ++unit) gl.BindSampler(unit, static_cast<GLuint>(samplers[unit]));
    }
  }
  // The attribute stack puts back draw and read buffers of a framebuffer
  // object; framebuffer 0 has no such buffers.
  gl.BindFramebuffer(GL_FRAMEBUFFER, source);
  glPopClientAttrib();
  glPopAttrib();
  gl.UseProgram(static_cast<GLuint>(program));
  gl.ActiveTexture(static_cast<GLenum>(activeTexture));
  return ok;
}

void GlGammaPass::release(const GlFunctions& gl) {
  if (m_program) gl.DeleteProgram(m_program);
  if (m_rampTexture) glDeleteTextures(1, &m_rampTexture);
  if (m_image) glDeleteTextures(1, &m_image);
  if (m_imageFbo) gl.DeleteFramebuffers(1, &m_imageFbo);
  m_program = m_rampTexture = m_image = m_imageFbo = 0;
  m_imageWidth = m_imageHeight = 0;
  m_rampValid = false;
  m_failed = false;
}
