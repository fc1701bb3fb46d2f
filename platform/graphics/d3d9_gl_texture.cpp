// Textures of the OpenGL device: the CPU copy in the Direct3D format goes to
// GL with the matching format and type; DXT levels go compressed where the
// context has S3TC, else decoded to A8R8G8B8 first.
#include "platform/graphics/d3d9_gl_texture.h"

#include "platform/graphics/d3dx.h"

void GlTextureHost::load() {
  CompressedTexImage2D =
      reinterpret_cast<PFNGLCOMPRESSEDTEXIMAGE2DPROC>(SDL_GL_GetProcAddress("glCompressedTexImage2D"));
  FramebufferTexture2D =
      reinterpret_cast<PFNGLFRAMEBUFFERTEXTURE2DPROC>(SDL_GL_GetProcAddress("glFramebufferTexture2D"));
  ActiveTexture = reinterpret_cast<PFNGLACTIVETEXTUREPROC>(SDL_GL_GetProcAddress("glActiveTexture"));
  TexImage3D = reinterpret_cast<PFNGLTEXIMAGE3DPROC>(SDL_GL_GetProcAddress("glTexImage3D"));
}

bool GlTextureHost::makeCurrent() const {
  if (!alive || !window) return false;
  if (SDL_GL_GetCurrentContext() == context) return true;
  return SDL_GL_MakeCurrent(window, context) == 0;
}

GLuint newGlTexture(GLenum target, const GlFormat& format, UINT levels) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(target, name);
  glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
  // Direct3D reads missing channels of red and red-green formats as 1.
  if (format.uploadFormat == GL_RED || format.uploadFormat == GL_RG) {
    glTexParameteri(target, GL_TEXTURE_SWIZZLE_B, GL_ONE);
    if (format.uploadFormat == GL_RED) glTexParameteri(target, GL_TEXTURE_SWIZZLE_G, GL_ONE);
  }
  return name;
}

GlTexture::GlTexture(const void* owner, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                     D3DPOOL pool, std::shared_ptr<int> defaultPoolCount, std::shared_ptr<GlTextureHost> host)
    : DeviceTexture(owner, width, height, levels, usage, format, pool, std::move(defaultPoolCount)),
      m_host(std::move(host)),
      m_pending(levels, pool != D3DPOOL_SCRATCH) {}

GlTexture::~GlTexture() {
  if ((m_name || m_fbo) && m_host->makeCurrent()) {
    ++m_host->textureChanges;
    if (m_fbo) m_host->gl.DeleteFramebuffers(1, &m_fbo);
    if (m_name) glDeleteTextures(1, &m_name);
  }
}

void GlTexture::levelWritten(UINT level) {
  if (pool() == D3DPOOL_SCRATCH) return;
  m_pending[level] = true;
  upload(level);
}

void GlTexture::PreLoad() {
  for (UINT i = 0; i < levelCount(); ++i)
    if (m_pending[i]) upload(i);
}

GLuint GlTexture::glName() {
  if (pool() == D3DPOOL_SCRATCH) return 0;
  PreLoad();
  return m_name;
}

void GlTexture::upload(UINT index) {
  if (!m_host->makeCurrent()) return;
  const GlFormat* f = findGlFormat(format());
  if (!f) return;
  ++m_host->textureChanges;  // binds on whichever unit is active
  if (!m_name) m_name = newGlTexture(GL_TEXTURE_2D, *f, levelCount());
  glBindTexture(GL_TEXTURE_2D, m_name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  const Level& l = level(index);
  const auto w = static_cast<GLsizei>(l.width), h = static_cast<GLsizei>(l.height);
  const GLint lv = static_cast<GLint>(index);
  if (isCompressedFormat(format())) {
    if (m_host->s3tc && m_host->CompressedTexImage2D) {
      m_host->CompressedTexImage2D(GL_TEXTURE_2D, lv, f->internalFormat, w, h, 0, static_cast<GLsizei>(l.bytes.size()),
                                   l.bytes.data());
    } else {
      std::vector<std::uint32_t> argb(std::size_t{l.width} * l.height);
      decodeDxt(format(), l.bytes.data(), l.bytes.size(), l.width, l.height, argb.data());
      glTexImage2D(GL_TEXTURE_2D, lv, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, argb.data());
    }
  } else {
    // Render targets start undefined; the CPU copy is all zero then.
    glTexImage2D(GL_TEXTURE_2D, lv, static_cast<GLint>(f->internalFormat), w, h, 0, f->uploadFormat, f->uploadType,
                 l.bytes.data());
  }
  while (glGetError() != GL_NO_ERROR) {
  }
  m_pending[index] = false;
}

GLuint GlTexture::framebuffer() {
  if (m_fbo || !(usage() & D3DUSAGE_RENDERTARGET)) return m_fbo;
  const GLuint name = glName();
  if (!name || !m_host->FramebufferTexture2D || !m_host->makeCurrent()) return 0;
  m_host->gl.GenFramebuffers(1, &m_fbo);
  m_host->gl.BindFramebuffer(GL_FRAMEBUFFER, m_fbo);
  m_host->FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, name, 0);
  if (m_host->gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    m_host->gl.DeleteFramebuffers(1, &m_fbo);
    m_fbo = 0;
  }
  return m_fbo;
}

bool GlTexture::makeContextCurrent() { return m_host->makeCurrent(); }

GLuint glTextureName(IDirect3DBaseTexture9* texture) {
  auto* t = dynamic_cast<GlTexture*>(texture);
  return t ? t->glName() : 0;
}

GlDepthSurface::GlDepthSurface(const void* device, UINT width, UINT height, D3DFORMAT format,
                               std::shared_ptr<int> defaultPoolCount, std::shared_ptr<GlTextureHost> host)
    : DepthStencilSurface(device, width, height, format, false, std::move(defaultPoolCount)), m_host(std::move(host)) {
  const GlFormat* f = findGlFormat(format);
  if (!f || !m_host->makeCurrent()) return;
  drainGlErrors();  // only an error of the allocation below counts
  m_host->gl.GenRenderbuffers(1, &m_renderbuffer);
  m_host->gl.BindRenderbuffer(GL_RENDERBUFFER, m_renderbuffer);
  m_host->gl.RenderbufferStorageMultisample(GL_RENDERBUFFER, 0, f->internalFormat, static_cast<GLsizei>(width),
                                            static_cast<GLsizei>(height));
  if (glGetError() != GL_NO_ERROR) {
    m_host->gl.DeleteRenderbuffers(1, &m_renderbuffer);
    m_renderbuffer = 0;
  }
}

GlDepthSurface::~GlDepthSurface() {
  if (m_renderbuffer && m_host->makeCurrent()) m_host->gl.DeleteRenderbuffers(1, &m_renderbuffer);
}
