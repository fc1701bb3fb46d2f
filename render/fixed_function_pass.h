// The render pass that draws every surface through the device's
// fixed-function pipeline: texture-stage cascades for the surface's layers
// (colour, vertex-colour brightening, diffuse, specular, spherical
// reflection, transparency, projected spot texture) and the render states
// and material of LightWave-style shading.
#pragma once

#include "platform/graphics/d3d9.h"
#include "render/shader_pass.h"

class TextureLayer;

class FixedFunctionPass : public ShaderPass {
 public:
  explicit FixedFunctionPass(RenderPipeline* pipeline);

  // Makes the derived matrices current; no shaders are used.
  bool activate() override;
  void bindSamplers(Surface& surface, double time) override;
  void applySurface(Surface& surface, double time) override;
  EngineString vertexFunctionName() override;
  EngineString pixelFunctionName() override;

 private:
  // Sampler states, texture transform and texture of stage s for layer L.
  void setUpLayerStage(DWORD s, TextureLayer* layer, D3DCOLOR border, double t);
};
