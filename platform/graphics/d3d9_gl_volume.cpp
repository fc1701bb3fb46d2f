// Volume textures of the OpenGL device: each level goes to GL_TEXTURE_3D in
// the format and type the format table gives for plain textures.
#include "platform/graphics/d3d9_gl_volume.h"

GlVolumeTexture::GlVolumeTexture(const void* owner, UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                 D3DFORMAT format, D3DPOOL pool, std::shared_ptr<int> defaultPoolCount,
                                 std::shared_ptr<GlTextureHost> host)
    : DeviceVolumeTexture(owner, width, height, depth, levels, usage, format, pool, std::move(defaultPoolCount)),
      m_host(std::move(host)),
      m_pending(levels, pool != D3DPOOL_SCRATCH) {}

GlVolumeTexture::~GlVolumeTexture() {
  if (!m_name || !m_host->makeCurrent()) return;
  ++m_host->textureChanges;
  glDeleteTextures(1, &m_name);
}

void GlVolumeTexture::levelWritten(UINT level) {
  if (pool() == D3DPOOL_SCRATCH) return;
  m_pending[level] = true;
  upload(level);
}

void GlVolumeTexture::PreLoad() {
  for (UINT i = 0; i < levelCount(); ++i)
    if (m_pending[i]) upload(i);
}

GLuint GlVolumeTexture::glName() {
  if (pool() == D3DPOOL_SCRATCH) return 0;
  PreLoad();
  return m_name;
}

void GlVolumeTexture::upload(UINT index) {
  if (!m_host->makeCurrent() || !m_host->TexImage3D) return;
  const GlFormat* f = findGlFormat(format());
  if (!f) return;
  ++m_host->textureChanges;  // binds on whichever unit is active
  if (!m_name) m_name = newGlTexture(GL_TEXTURE_3D, *f, levelCount());
  glBindTexture(GL_TEXTURE_3D, m_name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, 0);
  const Level& l = level(index);
  // Slices go front first, as GL's depth axis runs.
  m_host->TexImage3D(GL_TEXTURE_3D, static_cast<GLint>(index), static_cast<GLint>(f->internalFormat),
                     static_cast<GLsizei>(l.width), static_cast<GLsizei>(l.height), static_cast<GLsizei>(l.depth), 0,
                     f->uploadFormat, f->uploadType, l.bytes.data());
  while (glGetError() != GL_NO_ERROR) {
  }
  m_pending[index] = false;
}

GLuint glVolumeTextureName(IDirect3DBaseTexture9* texture) {
  auto* t = dynamic_cast<GlVolumeTexture*>(texture);
  return t ? t->glName() : 0;
}
