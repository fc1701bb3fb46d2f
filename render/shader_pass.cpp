// The pass base with its variant cache, and the generated-shader passes.
#include "render/shader_pass.h"

#include <algorithm>
#include <cstring>

#include "foundation/report.h"
#include "platform/system/system.h"
#include "render/render_pipeline.h"

VertexShaderProgram::VertexShaderProgram(RenderPipeline* owner, ID3DXEffectCompiler* compiler, const DWORD* function,
                                         ComPtr<ID3DXConstantTable> table)
    : pipeline(owner), constants(std::move(table)), shaders(owner->devices.size()) {
  for (std::size_t i = 0; i < shaders.size(); ++i)
    compiler->CreateVertexShader(owner->devices[i], function, shaders[i].put());
}

void VertexShaderProgram::uploadConstants() { uploadShaderConstants(*pipeline, constants.get()); }

PixelShaderProgram::PixelShaderProgram(RenderPipeline* owner, ID3DXEffectCompiler* compiler, const DWORD* function,
                                       ComPtr<ID3DXConstantTable> table)
    : pipeline(owner), constants(std::move(table)), shaders(owner->devices.size()) {
  const char* names[kMaxShaderSamplers] = {};
  UINT count = 0;
  if (SUCCEEDED(compiler->GetShaderSamplers(function, names, kMaxShaderSamplers, &count))) {
    count = std::min<UINT>(count, kMaxShaderSamplers);
    for (UINT i = 0; i < count; ++i) samplerNames.emplace_back(names[i] ? names[i] : "");
  }
  for (std::size_t i = 0; i < shaders.size(); ++i)
    compiler->CreatePixelShader(owner->devices[i], function, shaders[i].put());
}

void PixelShaderProgram::uploadConstants() { uploadShaderConstants(*pipeline, constants.get()); }

void uploadShaderConstants(RenderPipeline& pipeline, ID3DXConstantTable* constants) {
  if (!constants) return;
  IDirect3DDevice9* device = pipeline.currentDevice;
  constants->SetDefaults(device);
  for (const auto& e : pipeline.constantTable->entries)
    constants->SetValue(device, e.name, e.values.get(), static_cast<UINT>(4 * e.count));
  if (pipeline.flagsAsConstants)
    for (const auto& e : pipeline.flagTable->entries)
      constants->SetValue(device, e.name, e.values.get(), static_cast<UINT>(4 * e.count));
}

ShaderPass::ShaderPass(RenderPipeline* owner) : pipeline(owner) {}

ShaderPass::~ShaderPass() { clearVariants(); }

void ShaderPass::clearVariants() {
  variants.clear();
  currentVertexProgram = nullptr;
  currentPixelProgram = nullptr;
}

void ShaderPass::setCompiler(ID3DXEffectCompiler* newCompiler) {
  if (newCompiler == compiler.get()) return;
  // The cached variants, failures included, are the old compiler's answers.
  clearVariants();
  if (newCompiler) newCompiler->AddRef();
  compiler = ComPtr<ID3DXEffectCompiler>(newCompiler);
}

EngineString ShaderPass::vertexFunctionName() { return "vshader"; }
EngineString ShaderPass::pixelFunctionName() { return "pshader"; }

bool ShaderPass::selectVariant() {
  std::vector<std::int32_t> key;
  if (!pipeline->flagsAsConstants) key = pipeline->flagTable->key();
  auto [it, inserted] = variants.try_emplace(std::move(key));
  if (!inserted) {
    currentVertexProgram = it->second.first.get();
    currentPixelProgram = it->second.second.get();
    return currentVertexProgram != nullptr;
  }
  // A failed key keeps its empty entry, so it is not compiled again.
  if (!compileVariant()) return false;
  it->second.first.reset(currentVertexProgram);
  it->second.second.reset(currentPixelProgram);
  return true;
}

bool ShaderPass::compileVariant() {
  currentVertexProgram = nullptr;
  currentPixelProgram = nullptr;
  if (!compiler) return false;
  if (!pipeline->flagsAsConstants)
    for (const auto& e : pipeline->flagTable->entries)
      compiler->SetValue(e.name, e.values.get(), static_cast<UINT>(4 * e.count));

  auto compile = [&](const EngineString& function, const EngineString& profile, ComPtr<ID3DXBuffer>* code,
                     ComPtr<ID3DXConstantTable>* constants) {
    ComPtr<ID3DXBuffer> errors;
    const HRESULT hr = compiler->CompileShader(function.c_str(), profile.c_str(), D3DXSHADER_NO_PRESHADER, code->put(),
                                               errors.put(), constants->put());
    if (FAILED(hr) || !*code) {
      if (errors) reportCompileError(errors.get());
      return false;
    }
    return true;
  };
  ComPtr<ID3DXBuffer> code;
  ComPtr<ID3DXConstantTable> constants;
  if (!compile(vertexFunctionName(), pipeline->vertexProfile, &code, &constants)) return false;
  auto vertex = std::make_unique<VertexShaderProgram>(pipeline, compiler.get(),
                                                      static_cast<const DWORD*>(code->GetBufferPointer()), constants);
  code.reset();
  constants.reset();
  // A vertex program without its pixel program is not kept: the variant
  // stays unusable rather than half made.
  if (!compile(pixelFunctionName(), pipeline->pixelProfile, &code, &constants)) return false;
  auto pixel = std::make_unique<PixelShaderProgram>(pipeline, compiler.get(),
                                                    static_cast<const DWORD*>(code->GetBufferPointer()), constants);
  currentVertexProgram = vertex.release();
  currentPixelProgram = pixel.release();
  return true;
}

void ShaderPass::reportCompileError(ID3DXBuffer* errors) {
  if (g_messageLevel.load() < 2) return;
  const auto* data = static_cast<const char*>(errors->GetBufferPointer());
  const std::string message(data ? data : "", data ? strnlen(data, errors->GetBufferSize()) : 0);
  const EngineString text = !message.empty() && message[0] == '('
                                ? EngineString::format("\n%s%s", name.c_str(), message.c_str())
                                : EngineString::format("\n%s", message.c_str());
  if (g_logMessages.load())
    g_lastMessage.set(text.c_str());
  else
    MessageBoxA(nullptr, text.c_str(), "Parse Error", MB_ICONEXCLAMATION);
}

bool ShaderPass::activate() {
  // Shaders are bound through the compiler: without one nothing can be.
  if (!compiler) {
    currentVertexProgram = nullptr;
    currentPixelProgram = nullptr;
    return false;
  }
  if (!selectVariant()) return false;
  pipeline->constantTable->updateDerivedMatrices();
  const auto device = static_cast<std::size_t>(pipeline->currentDeviceIndex);
  compiler->SetVertexShader(pipeline->currentDevice, currentVertexProgram->shaders[device].get());
  compiler->SetPixelShader(pipeline->currentDevice, currentPixelProgram->shaders[device].get());
  currentVertexProgram->uploadConstants();
  currentPixelProgram->uploadConstants();
  return true;
}

// Binding a surface's layers to the sampler names, and the surface's render
// states and constants, need the surface classes of the scene side; they are
// completed there. Until then these keep only what needs no surface.
void ShaderPass::bindSamplers(Surface&, double) {
  if (!currentPixelProgram) {
    if (g_messageLevel.load() >= 1) {
      if (g_logMessages.load())
        g_lastMessage.set("no shader set");
      else
        MessageBoxA(nullptr, "no shader set", "Error", MB_ICONEXCLAMATION);
    }
  }
}

void ShaderPass::applySurface(Surface&, double) {}

EngineString GeneratedMainPass::vertexFunctionName() {
  const ShaderFlagTable& f = *pipeline->flagTable;
  const bool specular = *f.specularEnabled != 0;
  int n = (specular ? 3 : 2) * *f.numShadows + *f.numTexCOLR + *f.numTexLUMI + *f.numTexDIFF + *f.numTexREFL +
          *f.numTexSPEC + *f.numTexTRAN + *f.numTexTRNL + *f.numTexBUMP;
  if (*f.sphericalEnvmapAvailable) n += 1;
  if (*f.numTexBUMP >= 1) n += 4;
  return EngineString::format("vshader%s%s%d", specular ? "S" : "", *f.isFogEnabled ? "F" : "", std::min(n, 8));
}

EngineString GeneratedAdditivePass::vertexFunctionName() {
  const ShaderFlagTable& f = *pipeline->flagTable;
  return EngineString::format("vshader%s%d", *f.isFogEnabled ? "F" : "", std::min(*f.numShadows, 8));
}

void GeneratedAdditivePass::applySurface(Surface& surface, double time) {
  ShaderPass::applySurface(surface, time);
  IDirect3DDevice9* d = pipeline->currentDevice;
  d->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
  d->SetRenderState(D3DRS_ZWRITEENABLE, 0);
  d->SetRenderState(D3DRS_ZENABLE, 0);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

void GeneratedOverlayPass::applySurface(Surface& surface, double time) {
  ShaderPass::applySurface(surface, time);
  pipeline->currentDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
}
