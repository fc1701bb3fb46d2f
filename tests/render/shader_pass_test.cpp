// Shader tables (key length, bone palette, derived matrices) and the
// generated passes' variant cache with a stand-in effect compiler.
#include "render/shader_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

#include "render/stage_plan.h"
#include "render/surface.h"
#include "tests/render/pipeline_fixture.h"

namespace {

Matrix4x3 rotationZ(float angle, float scale) {
  Matrix4x3 m = g_identityMatrix;
  m[0] = scale * std::cos(angle);
  m[1] = scale * std::sin(angle);
  m[4] = -scale * std::sin(angle);
  m[5] = scale * std::cos(angle);
  m[10] = scale;
  return m;
}

TEST(ShaderTables, DirectPointersReachTheEntriesStorage) {
  ShaderFlagTable flags(nullptr);
  EXPECT_EQ(flags.key().size(), 149u);
  *flags.numTexCOLR = 3;
  EXPECT_EQ(flags.find("numTexCOLR")->values[0], 3);
}

TEST(ShaderTables, BonePaletteFillsItsTwelveFloatsAndIgnoresBadIndices) {
  ShaderConstantTable t(nullptr);
  Matrix4x3 m;
  for (int i = 0; i < 16; ++i) m[i] = static_cast<float>(i + 1);
  t.setBoneMatrix(1023, m);
  const float expected[12] = {1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(t.matBone[12276 + i], expected[i]) << i;
  EXPECT_EQ(t.bonePalette[1023][15], 16.0f);
  t.setBoneMatrix(1024, m);  // outside the palette: nothing written
  t.setBoneMatrix(-1, m);
  EXPECT_EQ(t.matBone[0], 0.0f);
}

TEST(ShaderTables, DerivedMatricesRemoveScaleAndStayUntilInvalidated) {
  ShaderConstantTable t(nullptr);
  t.world = rotationZ(0.5f, 2.0f);
  t.world[12] = 4.0f;
  t.projection[11] = 1.0f;  // w takes z
  t.projection[15] = 0.0f;
  t.updateDerivedMatrices();
  EXPECT_NEAR(t.matWorldViewNormalized[0], std::cos(0.5f), 1e-5);
  EXPECT_NEAR(t.matWorldViewNormalized[1], std::sin(0.5f), 1e-5);
  EXPECT_NEAR(t.matWorldViewNormalized[3], -std::sin(0.5f), 1e-5);
  EXPECT_NEAR(t.matWorldViewNormalized[8], 1.0f, 1e-5);
  EXPECT_FLOAT_EQ(t.matWorldView[9], 4.0f);  // translation row
  EXPECT_FLOAT_EQ(t.matWorldWT[0], 2.0f * std::cos(0.5f));
  EXPECT_FLOAT_EQ(t.matWorldViewProj[11], 2.0f);  // z scale moved into w
  t.world = g_identityMatrix;
  t.updateDerivedMatrices();
  EXPECT_FLOAT_EQ(t.matWorldView[9], 4.0f);
  t.derivedValid = false;
  t.updateDerivedMatrices();
  EXPECT_FLOAT_EQ(t.matWorldView[9], 0.0f);
}

// ---- Variant cache ----

class Buffer : public ID3DXBuffer {
 public:
  explicit Buffer(std::string text) : m_text(std::move(text)) {}
  void* GetBufferPointer() override { return m_text.data(); }
  DWORD GetBufferSize() override { return static_cast<DWORD>(m_text.size() + 1); }

 private:
  std::string m_text;
};

class Constants : public ID3DXConstantTable {
 public:
  HRESULT SetDefaults(IDirect3DDevice9*) override { return D3D_OK; }
  HRESULT SetValue(IDirect3DDevice9*, const char*, const void*, UINT) override {
    ++values;
    return D3D_OK;
  }
  int values = 0;
};

// Compiles nothing: hands back the test's own GLSL text as the code of each
// function, and reads the sampler names from its "uniform sampler..."
// declarations in order, as a real compiler reports sampler registers.
class FakeCompiler : public ID3DXEffectCompiler {
 public:
  HRESULT SetValue(const char*, const void*, UINT) override { return D3D_OK; }
  HRESULT CompileShader(const char* function, const char* profile, DWORD, ID3DXBuffer** shader, ID3DXBuffer** errors,
                        ID3DXConstantTable** constants) override {
    compiled.push_back(std::string(function) + "/" + profile);
    const bool pixel = std::strncmp(function, "pshader", 7) == 0;
    if (!errorText.empty() && (pixel || !failPixelOnly)) {
      *errors = new Buffer(errorText);
      return E_FAIL;
    }
    *shader = new Buffer(pixel ? pixelSource : vertexSource);
    *constants = new Constants;
    return D3D_OK;
  }
  HRESULT CreateVertexShader(IDirect3DDevice9*, const DWORD*, IDirect3DVertexShader9** s) override {
    *s = new IDirect3DVertexShader9;
    return D3D_OK;
  }
  HRESULT CreatePixelShader(IDirect3DDevice9*, const DWORD*, IDirect3DPixelShader9** s) override {
    *s = new IDirect3DPixelShader9;
    return D3D_OK;
  }
  HRESULT SetVertexShader(IDirect3DDevice9*, IDirect3DVertexShader9*) override { return D3D_OK; }
  HRESULT SetPixelShader(IDirect3DDevice9*, IDirect3DPixelShader9*) override { return D3D_OK; }
  HRESULT GetShaderSamplers(const DWORD* function, const char** names, UINT capacity, UINT* count) override {
    std::istringstream source(reinterpret_cast<const char*>(function));
    samplerNames.clear();
    for (std::string word, type, name; source >> word;) {
      if (word != "uniform" || !(source >> type >> name) || type.rfind("sampler", 0) != 0) continue;
      samplerNames.push_back(name.substr(0, name.find(';')));
    }
    *count = static_cast<UINT>(samplerNames.size());
    for (UINT i = 0; i < *count && i < capacity; ++i) names[i] = samplerNames[i].c_str();
    return D3D_OK;
  }

  std::vector<std::string> compiled;
  std::string errorText;
  bool failPixelOnly = false;
  std::string vertexSource = "void main() { gl_Position = gl_Vertex; }";
  std::string pixelSource =
      "uniform sampler2D texCOLR0;\nvoid main() { gl_FragColor = texture2D(texCOLR0, vec2(0.0)); }";
  std::vector<std::string> samplerNames;
};

class VariantTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    compiler = new FakeCompiler;
    pass = std::make_unique<GeneratedMainPass>(pipeline.get());
    pass->setCompiler(compiler);
    compiler->Release();  // the pass holds its own reference
  }
  void TearDown() override {
    pass.reset();
    PipelineTest::TearDown();
  }
  FakeCompiler* compiler = nullptr;
  std::unique_ptr<ShaderPass> pass;
};

TEST_F(VariantTest, WithoutACompilerNothingActivates) {
  ShaderPass bare(pipeline.get());
  EXPECT_FALSE(bare.activate());
  EXPECT_FALSE(bare.activate());
  EXPECT_EQ(bare.currentPixelProgram, nullptr);
}

TEST_F(VariantTest, EqualFlagsCompileOnceAndAnyChangedValueCompilesAgain) {
  ASSERT_TRUE(pass->activate());
  ASSERT_TRUE(pass->activate());
  EXPECT_EQ(compiler->compiled.size(), 2u);  // one vertex, one pixel function
  EXPECT_EQ(compiler->compiled[0], "vshader0/vs_2_0");
  EXPECT_EQ(compiler->compiled[1], "pshader/ps_2_0");
  ASSERT_EQ(pass->currentPixelProgram->samplerNames.size(), 1u);
  EXPECT_STREQ(pass->currentPixelProgram->samplerNames[0].c_str(), "texCOLR0");
  pipeline->flagTable->metaTexBUMPgInput[3] = 1;  // last value of a 4-value entry
  ASSERT_TRUE(pass->activate());
  EXPECT_EQ(compiler->compiled.size(), 4u);
  EXPECT_EQ(pass->variantCount(), 2u);
  pipeline->flagTable->metaTexBUMPgInput[3] = 0;
  ASSERT_TRUE(pass->activate());
  EXPECT_EQ(compiler->compiled.size(), 4u);
}

TEST_F(VariantTest, RemovingTheCompilerStopsActivationAndANewOneCompilesAfresh) {
  ASSERT_TRUE(pass->activate());
  pass->setCompiler(nullptr);  // the pass held the last reference
  EXPECT_FALSE(pass->activate());
  EXPECT_EQ(pass->currentVertexProgram, nullptr);
  EXPECT_EQ(pass->variantCount(), 0u);
  auto* second = new FakeCompiler;
  pass->setCompiler(second);
  second->Release();
  ASSERT_TRUE(pass->activate());
  EXPECT_EQ(second->compiled.size(), 2u);
}

TEST_F(VariantTest, MainVertexNameCountsInterpolatorsUpToEight) {
  ShaderFlagTable& f = *pipeline->flagTable;
  *f.specularEnabled = 1;
  *f.numShadows = 2;
  *f.numTexCOLR = 1;
  *f.numTexBUMP = 1;
  EXPECT_STREQ(pass->vertexFunctionName().c_str(), "vshaderS8");
  *f.specularEnabled = 0;
  *f.isFogEnabled = 1;
  *f.numShadows = 0;
  *f.numTexBUMP = 0;
  EXPECT_STREQ(pass->vertexFunctionName().c_str(), "vshaderF1");
  GeneratedAdditivePass additive(pipeline.get());
  *f.numShadows = 12;
  EXPECT_STREQ(additive.vertexFunctionName().c_str(), "vshaderF8");
}

TEST_F(VariantTest, CompileErrorsAreReportedAndAHalfCompiledVariantIsNotKept) {
  compiler->errorText = "(12): syntax error";
  EXPECT_FALSE(pass->activate());
  EXPECT_EQ(takeMessage(), "\n<shader>(12): syntax error");
  compiler->errorText = "out of registers";
  compiler->failPixelOnly = true;
  *pipeline->flagTable->bake = 1;
  EXPECT_FALSE(pass->activate());
  EXPECT_EQ(takeMessage(), "\nout of registers");
  EXPECT_EQ(pass->currentVertexProgram, nullptr);
  // The failed key is not compiled again, nor reported again, and stays
  // unusable.
  const auto before = compiler->compiled.size();
  EXPECT_FALSE(pass->activate());
  EXPECT_EQ(compiler->compiled.size(), before);
  EXPECT_EQ(takeMessage(), "");
}

// ---- Surfaces: samplers by name, states, flags and constants ----

class SurfacePassTest : public VariantTest {
 protected:
  TextureLayer* addLayer(const char (&channel)[5], Texture* texture) {
    auto layer = std::make_unique<TextureLayer>();
    layer->blockType = fourCC("IMAP");
    layer->channel = fourCC(channel);
    layer->texture = texture;
    TextureLayer* added = layer.get();
    surface.addTextureLayer(std::move(layer));
    return added;
  }
  IDirect3DBaseTexture9* bound(DWORD sampler) {
    ComPtr<IDirect3DBaseTexture9> texture;
    pipeline->currentDevice->GetTexture(sampler, texture.put());
    return texture.get();
  }
  DWORD samplerState(DWORD sampler, D3DSAMPLERSTATETYPE type) {
    DWORD value = 0;
    pipeline->currentDevice->GetSamplerState(sampler, type, &value);
    return value;
  }
  DWORD renderState(D3DRENDERSTATETYPE state) {
    DWORD value = 0;
    pipeline->currentDevice->GetRenderState(state, &value);
    return value;
  }

  Surface surface{nullptr, "shaded"};
};

TEST_F(SurfacePassTest, SamplersAreBoundByTheirNamesAndUnknownNamesUnbind) {
  FixtureTexture first(pipeline.get()), second(pipeline.get()), mirror(pipeline.get()), stale(pipeline.get());
  addLayer("COLR", &first)->pixelBlending = false;
  TextureLayer* layer = addLayer("COLR", &second);
  layer->wrapU = D3DTADDRESS_MIRROR;
  layer->antialiasing = true;
  surface.reflectionImage = &mirror;
  compiler->pixelSource =
      "uniform sampler2D texCOLR1; uniform sampler2D ZIMG0;\n"
      "uniform sampler2D texCOLR0; uniform sampler2D map; uniform sampler2D texCOLR2;\n";
  for (DWORD s = 0; s < 5; ++s) pipeline->currentDevice->SetTexture(s, stale.getDeviceTexture(0.0));

  ASSERT_TRUE(pass->activate());
  pass->bindSamplers(surface, 0.0);
  EXPECT_EQ(bound(0), second.getDeviceTexture(0.0)) << "COLR1 is the second colour layer";
  EXPECT_EQ(bound(1), mirror.getDeviceTexture(0.0));
  EXPECT_EQ(bound(2), first.getDeviceTexture(0.0));
  EXPECT_EQ(bound(3), nullptr) << "a name of four characters names nothing";
  EXPECT_EQ(bound(4), nullptr) << "there is no third colour layer";
  EXPECT_EQ(samplerState(0, D3DSAMP_ADDRESSU), D3DTADDRESS_MIRROR);
  EXPECT_EQ(samplerState(0, D3DSAMP_MIPFILTER), D3DTEXF_LINEAR);
  EXPECT_EQ(samplerState(0, D3DSAMP_MAXANISOTROPY), 8u);
  EXPECT_EQ(samplerState(2, D3DSAMP_MIPFILTER), D3DTEXF_NONE);
  EXPECT_EQ(samplerState(2, D3DSAMP_MINFILTER), D3DTEXF_POINT);
  EXPECT_EQ(samplerState(1, D3DSAMP_MINFILTER), D3DTEXF_ANISOTROPIC);

  ShaderPass bare(pipeline.get());  // no program: nothing bound, reported
  log->calls.clear();
  bare.bindSamplers(surface, 0.0);
  EXPECT_EQ(takeMessage(), "no shader set");
  EXPECT_EQ(log->count("SetTexture"), 0);
}

TEST_F(SurfacePassTest, ATransparencyMapCutsOutAndFillsTheFlagsAndConstants) {
  FixtureTexture picture(pipeline.get()), holes(pipeline.get());
  TextureLayer* colour = addLayer("COLR", &picture);
  colour->opacity.value = 0.5f;
  colour->negative = true;
  colour->gradientEnd = 4.0f;
  addLayer("TRAN", &holes)->opacityType = 3;
  addLayer("SPEC", &picture);
  surface.red.value = 1.0f;
  surface.green.value = 0.5f;
  surface.blue.value = 0.0f;
  surface.additiveTransparency.value = 0.25f;
  surface.glossiness.value = 0.5f;
  surface.specularity.value = 1.0f;
  SurfaceStagePlan plan(surface);
  pass->binding = &plan;
  pass->applySurface(surface, 2.0);

  // A map on an otherwise opaque surface: tested, depth written, blended.
  EXPECT_EQ(renderState(D3DRS_ZWRITEENABLE), 1u);
  EXPECT_EQ(renderState(D3DRS_ALPHATESTENABLE), 1u);
  EXPECT_EQ(renderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
  const ShaderFlagTable& f = *pipeline->flagTable;
  const ShaderConstantTable& c = *pipeline->constantTable;
  EXPECT_EQ(*f.specularEnabled, 1);
  EXPECT_EQ(*f.numTexTRAN, 1);
  // Transparency 0 leaves the colour; alpha is 1 - additive transparency.
  EXPECT_FLOAT_EQ(c.srfColor[1], 0.5f);
  EXPECT_FLOAT_EQ(c.srfColor[3], 0.75f);
  EXPECT_FLOAT_EQ(c.srfLighting[3], 127.9961f);  // 2^(10 x 0.5 + 2) = 128, capped
  EXPECT_EQ(f.metaTexCOLRInvert[0], 1);
  EXPECT_FLOAT_EQ(c.metaTexCOLRgParam[3], 0.25f);
  EXPECT_EQ(f.metaTexTRANBlendop[0], 3);

  // A plain surface afterwards leaves no layer entries of the last one,
  // so its variant key is its own.
  Surface plain(nullptr, "plain");
  SurfaceStagePlan empty(plain);
  pass->binding = &empty;
  pass->applySurface(plain, 0.0);
  EXPECT_EQ(f.metaTexCOLRInvert[0], 0);
  EXPECT_EQ(f.metaTexTRANBlendop[0], 0);
  EXPECT_EQ(*f.specularEnabled, 0);
  EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), 0u);
}

}  // namespace
