// The fixed-function pass on the recording device: the exact stage and
// state sequences of bindSamplers, the blending table and material of
// applySurface, and the stage limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/envelope.h"
#include "render/fixed_function_pass.h"
#include "render/stage_plan.h"
#include "render/surface.h"
#include "render/texture.h"
#include "tests/render/pipeline_fixture.h"

namespace {

using TestTexture = FixtureTexture;

std::string ss(DWORD s, DWORD type, DWORD value) {
  return "SetSamplerState(" + std::to_string(s) + ", " + std::to_string(type) + ", " + std::to_string(value) + ")";
}
std::string ts(DWORD s, DWORD type, DWORD value) {
  return "SetTextureStageState(" + std::to_string(s) + ", " + std::to_string(type) + ", " + std::to_string(value) + ")";
}
std::string rs(DWORD state, DWORD value) {
  return "SetRenderState(" + std::to_string(state) + ", " + std::to_string(value) + ")";
}
std::string tex(DWORD s, bool bound) { return "SetTexture(" + std::to_string(s) + (bound ? ", texture)" : ", null)"); }

// The sampler and texture set-up of a still, wrapped, pixel-blended layer.
std::vector<std::string> layerSetup(DWORD s) {
  return {ss(s, D3DSAMP_ADDRESSU, 1),
          ss(s, D3DSAMP_ADDRESSV, 1),
          ss(s, D3DSAMP_MIPFILTER, 0),
          ss(s, D3DSAMP_MAGFILTER, 2),
          ss(s, D3DSAMP_MINFILTER, 3),
          ss(s, D3DSAMP_MAXANISOTROPY, 1),
          ts(s, D3DTSS_TEXTURETRANSFORMFLAGS, 0),
          tex(s, true)};
}

class FixedFunctionPassTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    pass = std::make_unique<FixedFunctionPass>(pipeline.get());
    texture = std::make_unique<TestTexture>(pipeline.get());
  }
  void TearDown() override {
    pass.reset();
    textures.clear();
    texture.reset();
    PipelineTest::TearDown();
  }
  TextureLayer& add(const char (&channel)[5], Texture* t = nullptr) {
    auto l = std::make_unique<TextureLayer>();
    l->blockType = fourCC("IMAP");
    l->channel = fourCC(channel);
    l->texture = t ? t : texture.get();
    TextureLayer& ref = *l;
    surface.addTextureLayer(std::move(l));
    return ref;
  }
  std::vector<std::string> bind(SurfaceStagePlan& plan) {
    pass->binding = &plan;
    log->calls.clear();
    pass->bindSamplers(surface, 0.0);
    return log->calls;
  }
  DWORD state(D3DRENDERSTATETYPE s) {
    DWORD v = 0;
    pipeline->currentDevice->GetRenderState(s, &v);
    return v;
  }
  D3DMATERIAL9 material() {
    D3DMATERIAL9 m{};
    pipeline->currentDevice->GetMaterial(&m);
    return m;
  }

  std::unique_ptr<FixedFunctionPass> pass;
  std::unique_ptr<TestTexture> texture;
  std::vector<std::unique_ptr<TestTexture>> textures;
  Surface surface{nullptr, "s"};
};

TEST_F(FixedFunctionPassTest, EveryKindOfStageInItsOrderThenTheTerminator) {
  TextureLayer& colour = add("COLR");
  colour.rgbLevel = 2.0f;
  colour.negative = true;
  add("DIFF");
  add("SPEC");
  add("TRAN");
  surface.reflectionImage = texture.get();
  surface.reflectionOptions = 2;
  surface.reflection.value = 0.5f;
  SurfaceStagePlan plan(surface);
  plan.vertexColorShift = 1;
  ASSERT_EQ(plan.stageCount, 4);
  std::vector<std::string> expected;
  auto append = [&](std::vector<std::string> lines) { expected.insert(expected.end(), lines.begin(), lines.end()); };
  // Stage 0: the colour layer, x2 for its level, complemented.
  append(layerSetup(0));
  append({ts(0, D3DTSS_TEXCOORDINDEX, 0), ts(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X),
          ts(0, D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT), ts(0, D3DTSS_COLORARG2, D3DTA_CURRENT),
          ts(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1), ts(0, D3DTSS_ALPHAARG1, D3DTA_CURRENT)});
  // Stage 1: vertex-colour brightening through the texture factor's alpha.
  append({rs(D3DRS_TEXTUREFACTOR, 0xff000000), ts(1, D3DTSS_COLOROP, D3DTOP_MODULATE2X),
          ts(1, D3DTSS_COLORARG1, D3DTA_TFACTOR | D3DTA_ALPHAREPLICATE), ts(1, D3DTSS_COLORARG2, D3DTA_CURRENT),
          ts(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1), ts(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT)});
  // Stage 2: diffuse.
  append(layerSetup(2));
  append({ts(2, D3DTSS_TEXCOORDINDEX, 1), ts(2, D3DTSS_COLOROP, D3DTOP_MODULATE2X),
          ts(2, D3DTSS_COLORARG1, D3DTA_TEXTURE), ts(2, D3DTSS_COLORARG2, D3DTA_CURRENT),
          ts(2, D3DTSS_ALPHAOP, D3DTOP_MODULATE), ts(2, D3DTSS_ALPHAARG1, D3DTA_TEXTURE),
          ts(2, D3DTSS_ALPHAARG2, D3DTA_CURRENT)});
  // Stage 3: specular map times the specular colour, added.
  append(layerSetup(3));
  append({ts(3, D3DTSS_TEXCOORDINDEX, 2), ts(3, D3DTSS_COLOROP, D3DTOP_MULTIPLYADD),
          ts(3, D3DTSS_COLORARG0, D3DTA_CURRENT), ts(3, D3DTSS_COLORARG1, D3DTA_SPECULAR),
          ts(3, D3DTSS_COLORARG2, D3DTA_TEXTURE), ts(3, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1),
          ts(3, D3DTSS_ALPHAARG1, D3DTA_CURRENT), ts(3, D3DTSS_ALPHAARG2, D3DTA_SPECULAR)});
  // Stage 4: spherical reflection, grey factor 0.5 -> 0x80.
  append({tex(4, true), rs(D3DRS_TEXTUREFACTOR, 0xff808080),
          ts(4, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR),
          ts(4, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2), ts(4, D3DTSS_COLOROP, D3DTOP_MULTIPLYADD),
          ts(4, D3DTSS_COLORARG1, D3DTA_TEXTURE), ts(4, D3DTSS_COLORARG2, D3DTA_TFACTOR),
          ts(4, D3DTSS_COLORARG0, D3DTA_CURRENT), ts(4, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1),
          ts(4, D3DTSS_ALPHAARG1, D3DTA_CURRENT), ss(4, D3DSAMP_ADDRESSU, 1), ss(4, D3DSAMP_ADDRESSV, 1),
          "SetTransform(20)"});
  // Stage 5: transparency layer's alpha.
  append(layerSetup(5));
  append({ts(5, D3DTSS_TEXCOORDINDEX, 3), ts(5, D3DTSS_COLOROP, D3DTOP_SELECTARG2),
          ts(5, D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE), ts(5, D3DTSS_COLORARG2, D3DTA_CURRENT),
          ts(5, D3DTSS_ALPHAOP, D3DTOP_MODULATE), ts(5, D3DTSS_ALPHAARG1, D3DTA_TEXTURE),
          ts(5, D3DTSS_ALPHAARG2, D3DTA_CURRENT)});
  append({tex(6, false), ts(6, D3DTSS_COLOROP, D3DTOP_DISABLE), ts(6, D3DTSS_TEXTURETRANSFORMFLAGS, 0)});
  EXPECT_EQ(bind(plan), expected);
  // The reflection's texture matrix is the inverse view with the axis-0
  // scale and bias: identity view -> x/2 + 0.5 from z, y/2 + 0.5 from y.
  const Matrix4x3& m = pipeline->constantTable->textureMatrices[4];
  EXPECT_EQ(m.m[8], 0.5f);
  EXPECT_EQ(m.m[5], 0.5f);
  EXPECT_EQ(m.m[12], 0.5f);
  EXPECT_EQ(m.m[0], 0.0f);
}

TEST_F(FixedFunctionPassTest, ColourShiftsPickTheModulateOperation) {
  TextureLayer& first = add("COLR");
  TextureLayer& second = add("COLR");
  first.rgbLevel = 1.0f;
  second.rgbLevel = 3.0f;
  SurfaceStagePlan plan(surface);
  const std::vector<std::string> calls = bind(plan);
  auto has = [&](const std::string& line) { return std::find(calls.begin(), calls.end(), line) != calls.end(); };
  EXPECT_TRUE(has(ts(0, D3DTSS_COLOROP, D3DTOP_MODULATE)));
  EXPECT_TRUE(has(ts(1, D3DTSS_COLOROP, D3DTOP_MODULATE4X)));
  EXPECT_TRUE(has(ts(2, D3DTSS_COLOROP, D3DTOP_DISABLE)));
  // A layer with an animated mapping gets a COUNT2 texture transform.
  auto e = std::make_unique<Envelope>();
  e->addKeyLinear(0.0f, 0.0f);
  second.heading.channel = std::move(e);
  const std::vector<std::string> animated = bind(plan);
  EXPECT_NE(std::find(animated.begin(), animated.end(), ts(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2)),
            animated.end());
  EXPECT_NE(std::find(animated.begin(), animated.end(), "SetTransform(17)"), animated.end());
}

TEST_F(FixedFunctionPassTest, NothingIsWrittenPastTheEighthStage) {
  for (int i = 0; i < 7; ++i) add("COLR");
  add("SPEC");
  surface.reflectionImage = texture.get();
  surface.reflectionOptions = 2;
  surface.reflection.value = 1.0f;
  SurfaceStagePlan plan(surface);
  ASSERT_EQ(plan.stageCount, 8);
  for (const std::string& call : bind(plan)) {
    for (DWORD s = 8; s < 12; ++s) {
      EXPECT_EQ(call.find("State(" + std::to_string(s) + ","), std::string::npos) << call;
      EXPECT_EQ(call.find("SetTexture(" + std::to_string(s) + ","), std::string::npos) << call;
    }
    EXPECT_EQ(call.find("SetTransform(24)"), std::string::npos) << call;
  }
}

TEST_F(FixedFunctionPassTest, DisabledTexturesOrFlatGreyTurnStageZeroOff) {
  add("COLR");
  SurfaceStagePlan plan(surface);
  pipeline->texturesEnabled() = false;
  const std::vector<std::string> expected = {tex(0, false), ts(0, D3DTSS_COLOROP, D3DTOP_DISABLE),
                                             ts(0, D3DTSS_TEXTURETRANSFORMFLAGS, 0)};
  EXPECT_EQ(bind(plan), expected);
  // The material then comes from the surface colour.
  surface.red.value = 0.5f;
  pass->applySurface(surface, 0.0);
  EXPECT_FLOAT_EQ(material().Diffuse.r, 0.5f);
  pipeline->texturesEnabled() = true;
  pipeline->flatGrey() = true;
  EXPECT_EQ(bind(plan), expected);
}

TEST_F(FixedFunctionPassTest, ReflectionGreyIsRoundedAndClamped) {
  surface.reflectionImage = texture.get();
  surface.reflectionOptions = 2;
  SurfaceStagePlan plan(surface);
  surface.reflection.value = 2.0f;
  const std::vector<std::string> calls = bind(plan);
  EXPECT_NE(std::find(calls.begin(), calls.end(), rs(D3DRS_TEXTUREFACTOR, 0xffffffff)), calls.end());
  pipeline->reflectionMapsEnabled() = false;
  EXPECT_EQ(bind(plan).front(), tex(0, false));  // straight to the terminator
}

TEST_F(FixedFunctionPassTest, BlendingFollowsTransparencyAndItsLayer) {
  SurfaceStagePlan opaque(surface);
  pass->binding = &opaque;
  pass->applySurface(surface, 0.0);
  EXPECT_EQ(state(D3DRS_ZWRITEENABLE), 1u);
  EXPECT_EQ(state(D3DRS_ALPHABLENDENABLE), 0u);
  EXPECT_EQ(state(D3DRS_CULLMODE), D3DCULL_CCW);
  EXPECT_EQ(state(D3DRS_NORMALIZENORMALS), 1u);

  // No transparency layer: blended, no depth writes; additive 0.3 turns the
  // blend to ONE / INVSRCALPHA and scales every material alpha.
  surface.transparency.value = 0.5f;
  surface.additiveTransparency.value = 0.3f;
  SurfaceStagePlan plain(surface);
  pass->binding = &plain;
  pass->applySurface(surface, 0.0);
  EXPECT_EQ(state(D3DRS_ZWRITEENABLE), 0u);
  EXPECT_EQ(state(D3DRS_ALPHATESTENABLE), 0u);
  EXPECT_EQ(state(D3DRS_ALPHABLENDENABLE), 1u);
  EXPECT_EQ(state(D3DRS_SRCBLEND), D3DBLEND_ONE);
  EXPECT_EQ(state(D3DRS_DESTBLEND), D3DBLEND_INVSRCALPHA);
  EXPECT_FLOAT_EQ(material().Diffuse.a, 0.7f * 0.5f);
  EXPECT_FLOAT_EQ(material().Emissive.a, 0.7f * 0.5f);
  surface.additiveTransparency.value = 0.0f;

  // A keyed (one-bit alpha) transparency layer: alpha test, no blending.
  TestTexture keyedTexture(pipeline.get(), kTextureOneBitAlpha);
  TextureLayer& tl = add("TRAN", &keyedTexture);
  SurfaceStagePlan keyed(surface);
  pass->binding = &keyed;
  pass->applySurface(surface, 0.0);
  EXPECT_EQ(state(D3DRS_ZWRITEENABLE), 1u);
  EXPECT_EQ(state(D3DRS_ALPHATESTENABLE), 1u);
  EXPECT_EQ(state(D3DRS_ALPHAFUNC), D3DCMP_GREATER);
  EXPECT_EQ(state(D3DRS_ALPHAREF), 0x7fu);
  EXPECT_EQ(state(D3DRS_ALPHABLENDENABLE), 0u);

  // Not keyed: with transparency 0.5 blending only; with 0, both.
  tl.texture = texture.get();
  pass->applySurface(surface, 0.0);
  EXPECT_EQ(state(D3DRS_ZWRITEENABLE), 0u);
  EXPECT_EQ(state(D3DRS_ALPHATESTENABLE), 0u);
  EXPECT_EQ(state(D3DRS_ALPHABLENDENABLE), 1u);
  EXPECT_EQ(state(D3DRS_SRCBLEND), D3DBLEND_SRCALPHA);
  surface.transparency.value = 0.0f;
  pass->applySurface(surface, 0.0);
  EXPECT_EQ(state(D3DRS_ZWRITEENABLE), 1u);
  EXPECT_EQ(state(D3DRS_ALPHATESTENABLE), 1u);
  EXPECT_EQ(state(D3DRS_ALPHABLENDENABLE), 1u);

  // A mirror-like surface (reflection with options 0) adds onto the target.
  Surface mirror(nullptr, "m");
  mirror.reflection.value = 0.5f;
  mirror.reflectionOptions = 0;
  SurfaceStagePlan mirrorPlan(mirror);
  pass->binding = &mirrorPlan;
  pass->applySurface(mirror, 0.0);
  EXPECT_EQ(state(D3DRS_SRCBLEND), D3DBLEND_ONE);
  EXPECT_EQ(state(D3DRS_ZWRITEENABLE), 1u);
}

TEST_F(FixedFunctionPassTest, MaterialFromColourDiffuseSpecularAndGloss) {
  surface.red.value = 1.0f, surface.green.value = 0.5f, surface.blue.value = 0.0f;
  surface.diffuse.value = 0.5f;
  surface.luminosity.value = 0.25f;
  surface.specularity.value = 1.0f;
  surface.glossiness.value = 1.0f;
  surface.colorHighlights.value = 1.0f;
  SurfaceStagePlan plan(surface);
  pass->binding = &plan;
  pass->applySurface(surface, 0.0);
  D3DMATERIAL9 m = material();
  EXPECT_FLOAT_EQ(m.Diffuse.g, 0.25f);
  EXPECT_FLOAT_EQ(m.Ambient.r, 0.5f);
  EXPECT_FLOAT_EQ(m.Emissive.r, 0.25f);
  EXPECT_FLOAT_EQ(m.Specular.g, 0.5f);  // full highlight tint: the colour itself
  EXPECT_FLOAT_EQ(m.Power, 255.0f);     // 2^12 clamped
  EXPECT_EQ(state(D3DRS_SPECULARENABLE), 1u);
  EXPECT_EQ(state(D3DRS_DIFFUSEMATERIALSOURCE), D3DMCS_MATERIAL);
  surface.glossiness.value = 0.4f;
  pass->applySurface(surface, 0.0);
  EXPECT_FLOAT_EQ(material().Power, 64.0f);
  // A specular map supplies the specular colour instead.
  add("SPEC");
  SurfaceStagePlan mapped(surface);
  pass->binding = &mapped;
  pass->applySurface(surface, 0.0);
  EXPECT_EQ(state(D3DRS_SPECULARENABLE), 0u);
  // A colour layer makes the material white, unless its opacity type is 3.
  TextureLayer& colour = add("COLR");
  SurfaceStagePlan coloured(surface);
  pass->binding = &coloured;
  pass->applySurface(surface, 0.0);
  EXPECT_FLOAT_EQ(material().Diffuse.b, 0.5f);
  colour.opacityType = 3;
  pass->applySurface(surface, 0.0);
  EXPECT_FLOAT_EQ(material().Diffuse.b, 0.0f);
}

TEST_F(FixedFunctionPassTest, ApplySurfaceSequencesForOpaqueAndBlendedSurfaces) {
  auto apply = [&](Surface& target, SurfaceStagePlan& plan) {
    pass->binding = &plan;
    log->calls.clear();
    pass->applySurface(target, 0.0);
    return log->calls;
  };
  const std::vector<std::string> tail = {"SetMaterial()", rs(D3DRS_CULLMODE, D3DCULL_CCW), rs(D3DRS_SPECULARENABLE, 0),
                                         rs(D3DRS_NORMALIZENORMALS, 1)};
  SurfaceStagePlan opaque(surface);
  std::vector<std::string> expected = {rs(D3DRS_ZWRITEENABLE, 1),
                                       rs(D3DRS_ALPHATESTENABLE, 0),
                                       rs(D3DRS_ALPHABLENDENABLE, 0),
                                       rs(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL),
                                       rs(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL),
                                       rs(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL)};
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(apply(surface, opaque), expected);

  // Transparent with vertex colours: blended, and the vertices feed the
  // ambient and diffuse material (diffuse above 0.5), not the emissive one.
  surface.transparency.value = 0.25f;
  SurfaceStagePlan blended(surface);
  TextureLayer vcol;
  blended.vertexColorLayer = &vcol;
  expected = {rs(D3DRS_ZWRITEENABLE, 0),
              rs(D3DRS_ALPHATESTENABLE, 0),
              rs(D3DRS_ALPHABLENDENABLE, 1),
              rs(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA),
              rs(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA),
              rs(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1),
              rs(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1),
              rs(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL)};
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(apply(surface, blended), expected);
  // Vertex colours make the material white, scaled by what shows through.
  EXPECT_FLOAT_EQ(material().Diffuse.r, 0.75f);
  EXPECT_FLOAT_EQ(material().Diffuse.a, 0.75f);
}

}  // namespace
