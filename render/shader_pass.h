// Render passes: the abstract pass every surface draw goes through, and the
// generated-shader passes with their cache of compiled variants keyed by the
// shader flag values. The fixed-function pass lives in its own file.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/engine_string.h"
#include "render/effect_compiler.h"

class RenderPipeline;
class Surface;
class SurfaceStagePlan;
class TextureLayer;

// A compiled vertex function: its constant table and one shader per device.
class VertexShaderProgram {
 public:
  VertexShaderProgram(RenderPipeline* pipeline, ID3DXEffectCompiler* compiler, const DWORD* function,
                      ComPtr<ID3DXConstantTable> constants);
  void uploadConstants();

  RenderPipeline* pipeline;
  ComPtr<ID3DXConstantTable> constants;
  std::vector<ComPtr<IDirect3DVertexShader9>> shaders;
};

// A compiled pixel function with its sampler names (index = register).
class PixelShaderProgram {
 public:
  PixelShaderProgram(RenderPipeline* pipeline, ID3DXEffectCompiler* compiler, const DWORD* function,
                     ComPtr<ID3DXConstantTable> constants);
  void uploadConstants();

  RenderPipeline* pipeline;
  ComPtr<ID3DXConstantTable> constants;
  std::vector<ComPtr<IDirect3DPixelShader9>> shaders;
  std::vector<EngineString> samplerNames;
};

inline constexpr int kMaxShaderSamplers = 16;

// SetDefaults, then every constant entry by name (and the flags too when
// they travel as constants).
void uploadShaderConstants(RenderPipeline& pipeline, ID3DXConstantTable* constants);

// A texture layer's sampling on sampler `s`: its wrap modes (with `border`
// as the border colour where either is the border, when one is given), the
// mip filter by its antialiasing, magnification and minification by its
// pixel blending, and this anisotropy.
void setLayerSampler(IDirect3DDevice9* device, DWORD s, const TextureLayer& layer, DWORD maxAnisotropy,
                     std::optional<D3DCOLOR> border = std::nullopt);

class ShaderPass {
 public:
  using Variant = std::pair<std::unique_ptr<VertexShaderProgram>, std::unique_ptr<PixelShaderProgram>>;

  explicit ShaderPass(RenderPipeline* pipeline);
  virtual ~ShaderPass();
  ShaderPass(const ShaderPass&) = delete;
  ShaderPass& operator=(const ShaderPass&) = delete;

  // Selects (compiling once per flag combination) the variant for the
  // current flags, then uploads the constants. False when no variant can be
  // had: the caller draws without binding samplers.
  virtual bool activate();
  virtual void bindSamplers(Surface& surface, double time);
  virtual void applySurface(Surface& surface, double time);
  virtual EngineString vertexFunctionName();
  virtual EngineString pixelFunctionName();

  void clearVariants();
  // Makes the variant of the current flags current, from the cache or
  // compiled (once per flag combination, failures included); false when
  // it cannot be had.
  bool selectVariant();
  // The programs of the current flags, compiled; both null when either
  // fails.
  Variant compileVariant();
  // Takes a reference of its own; null removes the compiler. A different
  // compiler drops every cached variant.
  void setCompiler(ID3DXEffectCompiler* compiler);
  // Flag combinations compiled so far, failed ones included.
  std::size_t variantCount() const { return m_variants.size(); }

  RenderPipeline* pipeline;
  SurfaceStagePlan* binding = nullptr;
  EngineString name = "<shader>";
  // The selected variant's programs, owned by the cache.
  VertexShaderProgram* currentVertexProgram = nullptr;
  PixelShaderProgram* currentPixelProgram = nullptr;
  ComPtr<ID3DXEffectCompiler> compiler;

 protected:
  // Depth writes, the alpha test and, when blending, premultiplied colour
  // (ONE, INVSRCALPHA), as a surface asks for them.
  void setSurfaceBlending(bool depthWrite, bool alphaTest, bool blend);

 private:
  void reportCompileError(ID3DXBuffer* errors);

  // By the flag values (empty when the flags travel as constants).
  std::map<std::vector<std::int32_t>, Variant> m_variants;
};

// The generated passes differ in their vertex function name and in the
// states their applySurface adds after the standard ones.
class GeneratedMainPass : public ShaderPass {
 public:
  using ShaderPass::ShaderPass;
  EngineString vertexFunctionName() override;
};

class GeneratedAdditivePass : public ShaderPass {
 public:
  using ShaderPass::ShaderPass;
  EngineString vertexFunctionName() override;
  void applySurface(Surface& surface, double time) override;
};

class GeneratedOverlayPass : public ShaderPass {
 public:
  using ShaderPass::ShaderPass;
  void applySurface(Surface& surface, double time) override;
};
