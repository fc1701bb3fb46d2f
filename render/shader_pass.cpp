// The pass base with its variant cache, and the generated-shader passes.
#include "render/shader_pass.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>

#include "foundation/report.h"
#include "platform/system/system.h"
#include "render/render_pipeline.h"
#include "render/stage_plan.h"
#include "render/surface.h"
#include "render/texture.h"

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

void setLayerSampler(IDirect3DDevice9* device, DWORD s, const TextureLayer& layer, DWORD maxAnisotropy,
                     std::optional<D3DCOLOR> border) {
  device->SetSamplerState(s, D3DSAMP_ADDRESSU, static_cast<DWORD>(layer.wrapU));
  device->SetSamplerState(s, D3DSAMP_ADDRESSV, static_cast<DWORD>(layer.wrapV));
  const auto borderWrap = static_cast<std::int32_t>(D3DTADDRESS_BORDER);
  if (border && (layer.wrapU == borderWrap || layer.wrapV == borderWrap))
    device->SetSamplerState(s, D3DSAMP_BORDERCOLOR, *border);
  device->SetSamplerState(s, D3DSAMP_MIPFILTER, layer.antialiasing ? D3DTEXF_LINEAR : D3DTEXF_NONE);
  device->SetSamplerState(s, D3DSAMP_MAGFILTER, layer.pixelBlending ? D3DTEXF_LINEAR : D3DTEXF_POINT);
  device->SetSamplerState(s, D3DSAMP_MINFILTER, layer.pixelBlending ? D3DTEXF_ANISOTROPIC : D3DTEXF_POINT);
  device->SetSamplerState(s, D3DSAMP_MAXANISOTROPY, maxAnisotropy);
}

ShaderPass::ShaderPass(RenderPipeline* owner) : pipeline(owner) {}

ShaderPass::~ShaderPass() { clearVariants(); }

void ShaderPass::clearVariants() {
  m_variants.clear();
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
  auto [it, inserted] = m_variants.try_emplace(std::move(key));
  // A failed key keeps its empty entry, so it is not compiled again.
  if (inserted) it->second = compileVariant();
  currentVertexProgram = it->second.first.get();
  currentPixelProgram = it->second.second.get();
  return currentVertexProgram != nullptr;
}

ShaderPass::Variant ShaderPass::compileVariant() {
  if (!compiler) return {};
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
  if (!compile(vertexFunctionName(), pipeline->vertexProfile, &code, &constants)) return {};
  auto vertex = std::make_unique<VertexShaderProgram>(pipeline, compiler.get(),
                                                      static_cast<const DWORD*>(code->GetBufferPointer()), constants);
  code.reset();
  constants.reset();
  // A vertex program without its pixel program is not kept: the variant
  // stays unusable rather than half made.
  if (!compile(pixelFunctionName(), pipeline->pixelProfile, &code, &constants)) return {};
  auto pixel = std::make_unique<PixelShaderProgram>(pipeline, compiler.get(),
                                                    static_cast<const DWORD*>(code->GetBufferPointer()), constants);
  return {std::move(vertex), std::move(pixel)};
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

namespace {

IDirect3DBaseTexture9* deviceTextureOf(Texture* texture, double t) {
  return texture ? texture->getDeviceTexture(t) : nullptr;
}

void setSamplerFilters(IDirect3DDevice9* device, DWORD s, DWORD address, DWORD mip) {
  device->SetSamplerState(s, D3DSAMP_ADDRESSU, address);
  device->SetSamplerState(s, D3DSAMP_ADDRESSV, address);
  if (address == D3DTADDRESS_BORDER) device->SetSamplerState(s, D3DSAMP_BORDERCOLOR, 0);
  device->SetSamplerState(s, D3DSAMP_MIPFILTER, mip);
  device->SetSamplerState(s, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
}

// The per-layer entries of one shading channel in the flag and constant
// tables. Opacity has three values per layer for COLR, one for the others.
struct ChannelEntries {
  std::uint32_t code;
  std::int32_t* fullOpacity;
  std::int32_t* invert;
  std::int32_t* blendop;
  std::int32_t* gInput;
  float* opacity;
  int opacityWidth;
  float* gParam;
};

constexpr int kLayersPerChannel = 4;

}  // namespace

void ShaderPass::bindSamplers(Surface& surface, double t) {
  if (!currentPixelProgram) {
    reportError("no shader set");
    return;
  }
  IDirect3DDevice9* device = pipeline->currentDevice;
  const int shadows = std::clamp(*pipeline->flagTable->numShadows, 0, kMaxShaderSamplers);
  const auto& names = currentPixelProgram->samplerNames;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto s = static_cast<DWORD>(i);
    const std::string name = names[i].c_str();
    IDirect3DBaseTexture9* texture = nullptr;
    if (name.size() >= 5) {
      // A layer sampler ends in its channel code and the layer's number on
      // that channel from 0: "...COLR1" is the second colour layer.
      const char* tail = name.c_str() + name.size() - 5;
      const std::uint32_t code = fourCC({tail[0], tail[1], tail[2], tail[3], '\0'});
      const bool numbered = tail[4] >= '0' && tail[4] <= '9';
      TextureLayer* layer = numbered ? surface.findTextureLayer(code, tail[4] - '0' + 1) : nullptr;
      if (layer) {
        texture = deviceTextureOf(layer->texture, t);
        setLayerSampler(device, s, *layer, 8);
      } else if (name == "ZIMG0") {
        texture = deviceTextureOf(surface.reflectionImage, t);
        setSamplerFilters(device, s, D3DTADDRESS_WRAP, D3DTEXF_LINEAR);
      } else if (name == "CUBE0") {
        texture = surface.deviceObjects[0].get();
        setSamplerFilters(device, s, D3DTADDRESS_WRAP, D3DTEXF_LINEAR);
      } else {
        const SpotProjector* spot = surface.spotLight();
        for (int k = 0; k < shadows; ++k) {
          if (name == "ZMAP" + std::to_string(k)) {
            ENGINE_ASSERT(spot && spot->shadowDepth && "a shadow sampler needs the spot light's depth map");
            texture = spot ? spot->shadowDepth : nullptr;
            setSamplerFilters(device, s, D3DTADDRESS_BORDER, D3DTEXF_NONE);
            break;
          }
          if (name == "SPOT" + std::to_string(k)) {
            ENGINE_ASSERT(spot && spot->texProj && "a spot sampler needs the spot light's texture");
            texture = spot ? deviceTextureOf(spot->texProj, t) : nullptr;
            setSamplerFilters(device, s, D3DTADDRESS_BORDER, D3DTEXF_LINEAR);
            break;
          }
        }
      }
    }
    device->SetTexture(s, texture);
  }
}

void ShaderPass::setSurfaceBlending(bool depthWrite, bool alphaTest, bool blend) {
  IDirect3DDevice9* device = pipeline->currentDevice;
  device->SetRenderState(D3DRS_ZWRITEENABLE, depthWrite ? 1 : 0);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, alphaTest ? 1 : 0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend ? 1 : 0);
  if (!blend) return;
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

void ShaderPass::applySurface(Surface& surface, double t) {
  IDirect3DDevice9* device = pipeline->currentDevice;
  ShaderFlagTable& flags = *pipeline->flagTable;
  ShaderConstantTable& constants = *pipeline->constantTable;
  float alpha = 1.0f, weight = 1.0f;
  const float reflection = surface.reflection.evaluate(t);
  if (reflection != 0.0f && surface.reflectionOptions == 0) {
    setSurfaceBlending(true, false, true);
    alpha = 1.0f - reflection;
  } else if (surface.isTransparentAt(t)) {
    const TextureLayer* layer = surface.findTextureLayer(fourCC("TRAN"), 1);
    const float transparency = surface.transparency.evaluate(t);
    // A transparency map over an otherwise opaque surface cuts holes: those
    // are tested, not blended, so depth stays written.
    const bool cutOut = layer && transparency == 0.0f;
    setSurfaceBlending(cutOut, cutOut, true);
    if (cutOut) {
      device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
      device->SetRenderState(D3DRS_ALPHAREF, 0);
    }
    alpha = 1.0f - surface.additiveTransparency.evaluate(t);
    if (!layer || layer->opacityType == 3) {
      weight = 1.0f - transparency;
      alpha *= weight;
    }
  } else {
    setSurfaceBlending(true, false, false);
  }
  if (pipeline->alphaBlendingOff) device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);

  device->SetRenderState(D3DRS_CULLMODE, pipeline->cullMode);
  const DWORD stages = std::min<DWORD>(pipeline->caps.MaxSimultaneousTextures, kTextureMatrixCount);
  for (DWORD i = 0; i < stages; ++i) {
    device->SetTextureStageState(i, D3DTSS_TEXCOORDINDEX, i);
    device->SetTextureStageState(i, D3DTSS_TEXTURETRANSFORMFLAGS, 0);
  }
  device->SetRenderState(D3DRS_SPECULARENABLE, 0);

  const float specularity = surface.specularity.evaluate(t);
  *flags.specularEnabled = specularity > 0.000001f || surface.findTextureLayer(fourCC("SPEC"), 1) ? 1 : 0;
  const ColorRGBA colour = surface.getColorAt(t);
  constants.srfColor[0] = colour.r * weight;
  constants.srfColor[1] = colour.g * weight;
  constants.srfColor[2] = colour.b * weight;
  constants.srfColor[3] = alpha;
  constants.srfLighting[0] = surface.luminosity.evaluate(t);
  constants.srfLighting[1] = surface.diffuse.evaluate(t);
  constants.srfLighting[2] = specularity;
  constants.srfLighting[3] = specularity <= 0.000001f
                                 ? 0.0f
                                 : std::min(std::pow(2.0f, 10.0f * surface.glossiness.evaluate(t) + 2.0f), 127.9961f);
  for (int i = 0; i < 3; ++i) constants.srfReflectivity[i] = reflection;
  *constants.srfAddTransparency = surface.additiveTransparency.evaluate(t);
  const SurfaceStagePlan* plan = binding;
  *flags.numTexCOLR = plan ? plan->colorCount : 0;
  *flags.numTexLUMI = plan ? plan->luminosityCount : 0;
  *flags.numTexDIFF = plan ? plan->diffuseCount : 0;
  *flags.numTexREFL = plan ? plan->reflectionCount : 0;
  *flags.numTexSPEC = plan ? plan->specularCount : 0;
  *flags.numTexTRAN = plan ? plan->transparencyCount : 0;
  *flags.numTexBUMP = plan ? plan->bumpCount : 0;
  *flags.numTexTRNL = 0;
  *flags.sphericalEnvmapAvailable = surface.reflectionImage ? 1 : 0;
  *flags.cubemapAvailable = surface.deviceObjects[0] ? 1 : 0;
  *constants.time = static_cast<float>(t);

#define TESSALINE_CHANNEL(code, width)                                                                          \
  ChannelEntries {                                                                                              \
    fourCC(#code), flags.metaTex##code##FullOpacity, flags.metaTex##code##Invert, flags.metaTex##code##Blendop, \
        flags.metaTex##code##gInput, constants.metaTex##code##Opacity, width, constants.metaTex##code##gParam   \
  }
  const ChannelEntries channels[] = {TESSALINE_CHANNEL(COLR, 3), TESSALINE_CHANNEL(LUMI, 1), TESSALINE_CHANNEL(DIFF, 1),
                                     TESSALINE_CHANNEL(REFL, 1), TESSALINE_CHANNEL(SPEC, 1), TESSALINE_CHANNEL(TRAN, 1),
                                     TESSALINE_CHANNEL(BUMP, 1)};
#undef TESSALINE_CHANNEL
  int next[std::size(channels)] = {};
  // Entries of layers the surface does not have are cleared, so that the
  // variant key depends on this surface alone.
  for (const ChannelEntries& c : channels)
    for (std::int32_t* entry : {c.fullOpacity, c.invert, c.blendop, c.gInput}) std::fill_n(entry, kLayersPerChannel, 0);
  for (const auto& layer : surface.imageLayers) {
    std::size_t index = 0;
    while (index < std::size(channels) && channels[index].code != layer->channel) ++index;
    if (index == std::size(channels)) continue;
    const ChannelEntries& c = channels[index];
    // The tables hold four layers per channel; the stage plan never binds more.
    const int k = next[index]++;
    if (k >= kLayersPerChannel) continue;
    const float opacity = layer->opacity.evaluate(t);
    std::fill_n(c.opacity + c.opacityWidth * k, c.opacityWidth, opacity);
    c.fullOpacity[k] = opacity >= 0.999999f ? 1 : 0;
    c.blendop[k] = layer->opacityType;
    c.gInput[k] = layer->proceduralIndex;
    if (c.code == fourCC("COLR")) {
      c.invert[k] = layer->negative ? 1 : 0;
      // A gradient without a range has no scale to give.
      c.gParam[4 * k + 3] = layer->gradientEnd != 0.0f ? 1.0f / layer->gradientEnd : 0.0f;
    }
  }
}

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
