// Internal to platform/: volume textures of the OpenGL device, GL_TEXTURE_3D
// objects fed from each level's CPU copy when it is unlocked.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics/d3d9_gl_texture.h"
#include "platform/graphics/d3d9_volume.h"

class GlVolumeTexture : public DeviceVolumeTexture {
 public:
  GlVolumeTexture(const void* owner, UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                  D3DPOOL pool, std::shared_ptr<int> defaultPoolCount, std::shared_ptr<GlTextureHost> host);
  ~GlVolumeTexture() override;

  void PreLoad() override;
  // The GL texture (uploading what is pending first); 0 for scratch
  // textures or when GL refused.
  GLuint glName();

 protected:
  void levelWritten(UINT level) override;

 private:
  void upload(UINT level);

  std::shared_ptr<GlTextureHost> m_host;
  GLuint m_name = 0;
  std::vector<bool> m_pending;
};

// The GL name of a volume texture made by the OpenGL device, or 0.
GLuint glVolumeTextureName(IDirect3DBaseTexture9* texture);
