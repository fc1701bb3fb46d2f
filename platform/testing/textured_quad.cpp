// Test-only textured quad on the OpenGL device (see textured_quad.h).
#include "platform/testing/textured_quad.h"

#include "platform/graphics/d3d9_gl_texture.h"

HRESULT drawTexturedQuadForTest(IDirect3DDevice9* device, IDirect3DTexture9* texture) {
  auto* t = dynamic_cast<GlTexture*>(texture);
  if (!t || !device) return D3DERR_INVALIDCALL;
  const GLuint name = t->glName();
  if (!name || !t->makeContextCurrent()) return D3DERR_INVALIDCALL;
  // The device unbinds its program (which would replace the fixed pipeline)
  // and leaves unit 0 active; its next draw sends everything again.
  device->InvalidateStateShadow();
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  for (GLenum cap :
       {GL_DEPTH_TEST, GL_BLEND, GL_CULL_FACE, GL_ALPHA_TEST, GL_LIGHTING, GL_FOG, GL_STENCIL_TEST, GL_SCISSOR_TEST})
    glDisable(cap);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glMatrixMode(GL_TEXTURE);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
  // GL's first row is Direct3D's top one on every target of the device, and
  // texture row 0 is the top row: t = 0 goes to y = -1.
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex2f(-1, -1);
  glTexCoord2f(1, 0);
  glVertex2f(1, -1);
  glTexCoord2f(1, 1);
  glVertex2f(1, 1);
  glTexCoord2f(0, 1);
  glVertex2f(-1, 1);
  glEnd();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_TEXTURE);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glBindTexture(GL_TEXTURE_2D, 0);
  glPopAttrib();
  return glGetError() == GL_NO_ERROR ? D3D_OK : D3DERR_DRIVERINTERNALERROR;
}
