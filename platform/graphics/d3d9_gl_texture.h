// Internal to platform/: textures of the OpenGL device. Each level's CPU
// copy goes to GL when it is unlocked; render-target textures also get a
// framebuffer object.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics/d3d9_texture.h"
#include "platform/graphics/gl_context.h"

// What a texture needs of its device's context. The device clears `alive`
// before its context goes, after which textures free nothing in GL (the
// context took their names with it).
struct GlTextureHost {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  GlFunctions gl;
  bool s3tc = false;
  bool alive = true;
  // Counts binds and deletions of textures outside the draw path, which then
  // re-binds its texture units.
  unsigned textureChanges = 0;
  PFNGLCOMPRESSEDTEXIMAGE2DPROC CompressedTexImage2D = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DPROC FramebufferTexture2D = nullptr;
  PFNGLACTIVETEXTUREPROC ActiveTexture = nullptr;
  PFNGLTEXIMAGE3DPROC TexImage3D = nullptr;  // volume textures

  // Loads the entry points above; with the context current.
  void load();
  bool makeCurrent() const;
};

// A new GL texture object of `target` for `levels` levels of `format`,
// bound, with Direct3D's reading of missing channels. Context current.
GLuint newGlTexture(GLenum target, const GlFormat& format, UINT levels);

class GlTexture : public DeviceTexture {
 public:
  GlTexture(const void* owner, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
            std::shared_ptr<int> defaultPoolCount, std::shared_ptr<GlTextureHost> host);
  ~GlTexture() override;

  // Uploads the levels not yet on the device.
  void PreLoad() override;

  // The GL texture (uploading what is pending first); 0 for scratch textures
  // or when GL refused.
  GLuint glName();
  // The framebuffer object drawing into level 0 (render targets); 0 when
  // GL refuses.
  GLuint framebuffer();
  // Makes the device's context current; false once the device is gone.
  bool makeContextCurrent();

 protected:
  void levelWritten(UINT level) override;

 private:
  void upload(UINT level);

  std::shared_ptr<GlTextureHost> m_host;
  GLuint m_name = 0;
  GLuint m_fbo = 0;
  std::vector<bool> m_pending;
};

// A depth-stencil surface of its own: a GL renderbuffer.
class GlDepthSurface : public DepthStencilSurface {
 public:
  GlDepthSurface(const void* device, UINT width, UINT height, D3DFORMAT format, std::shared_ptr<int> defaultPoolCount,
                 std::shared_ptr<GlTextureHost> host);
  ~GlDepthSurface() override;
  // 0 when GL refused it.
  GLuint renderbuffer() const { return m_renderbuffer; }

 private:
  std::shared_ptr<GlTextureHost> m_host;
  GLuint m_renderbuffer = 0;
};

// The GL name of a texture made by the OpenGL device, or 0 (another
// implementation's texture, a scratch texture, null). For the draw paths.
GLuint glTextureName(IDirect3DBaseTexture9* texture);
