// The current window's size asked of the X server through GLX, in a file of
// its own: Xlib's macros (None, Bool, Status ...) stay out of the device.
#include <GL/glx.h>

#include "platform/graphics/gl_context.h"

bool currentDrawableSize(int* width, int* height) {
  Display* display = glXGetCurrentDisplay();
  const GLXDrawable drawable = glXGetCurrentDrawable();
  if (!display || !drawable || !width || !height) return false;
  unsigned w = 0, h = 0;
  glXQueryDrawable(display, drawable, GLX_WIDTH, &w);
  glXQueryDrawable(display, drawable, GLX_HEIGHT, &h);
  if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}
