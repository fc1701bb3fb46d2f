// Surfaces drawn end to end on the OpenGL device under Xvfb: stage plan,
// static mesh, fixed-function pass and the generated GLSL together. Every
// expected colour is worked out by hand in the comment beside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/fixed_function_pass.h"
#include "render/mesh_batch.h"
#include "render/stage_plan.h"
#include "render/texture.h"
#include "tests/render/pipeline_fixture.h"

namespace {

// A one-level 2 x 2 texture: texels[0], texels[1] on row 0 (v = 0), then
// texels[2], texels[3].
class PlainTexture : public Texture {
 public:
  PlainTexture(RenderPipeline* p, D3DCOLOR texel) : PlainTexture(p, {texel, texel, texel, texel}) {}
  PlainTexture(RenderPipeline* p, const std::vector<D3DCOLOR>& texels) : Texture(p, 0) {
    p->devices[0]->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, deviceTextures[0].put(), nullptr);
    D3DLOCKED_RECT locked{};
    if (deviceTextures[0] && SUCCEEDED(deviceTextures[0]->LockRect(0, &locked, nullptr, 0))) {
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
          reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] = texels[2 * y + x];
      deviceTextures[0]->UnlockRect(0);
    }
    shownTextures[0] = deviceTextures[0].get();
  }
  std::unique_ptr<Texture> clone() const override { return nullptr; }
  void load() override {}
  int kind() const override { return kTextureKindFile; }
};

// Half a unit per second: an animated mapping value.
class Ramp : public AnimChannel {
 public:
  double evaluate(double t) override { return 0.5 * t; }
};

class TestSpot : public SpotProjector {};

std::unique_ptr<TextureLayer> layerOn(const char (&channel)[5], Texture* texture) {
  auto layer = std::make_unique<TextureLayer>();
  layer->blockType = fourCC("IMAP");
  layer->channel = fourCC(channel);
  layer->texture = texture;
  layer->pixelBlending = false;  // point sampling: whole texels
  return layer;
}

// White by its own light alone (emissive, alpha 1; no diffuse or ambient
// part): CURRENT is white wherever the stages start.
void glowWhite(Surface& surface) {
  surface.red.value = surface.green.value = surface.blue.value = 1.0f;
  surface.diffuse.value = 0.0f;
  surface.luminosity.value = 1.0f;
}

// Channel difference allowed for GL's rounding.
bool near(DWORD actual, DWORD expected, int tolerance = 2) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int a = static_cast<int>((actual >> shift) & 0xFF), e = static_cast<int>((expected >> shift) & 0xFF);
    if (std::abs(a - e) > tolerance) return false;
  }
  return true;
}

class FixedFunctionGlTest : public PipelineTest {
 protected:
  // The pipeline over the OpenGL device, drawing into a cleared target.
  void buildOnGl() {
    PipelineTest::buildOnGl();
    device = pipeline->currentDevice;
    ASSERT_NE(device, nullptr);
    device->GetViewport(&viewport);
    device->SetRenderState(D3DRS_LOCALVIEWER, 0);  // view direction (0, 0, 1) everywhere
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  }

  // Draws `surface` as a quad over the whole viewport (identity transforms,
  // clockwise on screen, depth 0.5) whose vertices carry `normal`. Every
  // set holds u, v running 0..1 left to right and top to bottom, except
  // that a layer with an animated mapping gets the position, as the
  // coordinate generator writes it.
  void drawQuad(Surface& surface, double t, const float normal[3] = nullptr) {
    static const float facing[3] = {0, 0, -1};
    if (!normal) normal = facing;
    SurfaceStagePlan plan(surface);
    std::vector<SourceVertex> v(4);
    const float corners[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    for (int i = 0; i < 4; ++i) {
      v[i].position[0] = corners[i][0];
      v[i].position[1] = corners[i][1];
      v[i].position[2] = 0.5f;
      std::memcpy(v[i].normal, normal, sizeof v[i].normal);
      for (int k = 0; k < 8; ++k) {
        if (plan.stages[k] && plan.stages[k]->hasAnimatedMapping()) {
          std::memcpy(v[i].texcoord[k], v[i].position, sizeof v[i].texcoord[k]);
        } else {
          v[i].texcoord[k][0] = (corners[i][0] + 1) / 2;
          v[i].texcoord[k][1] = (1 - corners[i][1]) / 2;
        }
      }
    }
    StaticMeshBuffer mesh(pipeline.get(), &plan, &surface);
    const std::uint32_t triangles[6] = {0, 1, 2, 2, 1, 3};
    mesh.addTriangles(triangles, 6);
    mesh.addVertices(v.data(), 4);
    ASSERT_TRUE(mesh.build());
    FixedFunctionPass pass(pipeline.get());
    mesh.draw(&pass, t);
  }

  // The pixel at clip-space (x, y) of the viewport.
  DWORD pixelAt(float x, float y) { return clipSpacePixel(device, viewport, x, y); }

  IDirect3DDevice9* device = nullptr;
  D3DVIEWPORT9 viewport{};
};

TEST_F(FixedFunctionGlTest, ATexturedSurfaceDrawsItsColourLayerBrightened) {
  buildOnGl();
  PlainTexture texture(pipeline.get(), 0xFF402010);
  Surface surface(nullptr, "quad");
  auto colour = layerOn("COLR", &texture);
  colour->rgbLevel = 2.0f;  // x2
  surface.addTextureLayer(std::move(colour));
  // Lit by the ambient light alone: white material (the texture gives the
  // colour) times white ambient, then the texel doubled.
  device->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
  drawQuad(surface, 0.0);
  EXPECT_EQ(pixelAt(-0.9f, 0.9f), 0x00804020u) << std::hex << pixelAt(-0.9f, 0.9f);
  EXPECT_EQ(pipeline->drawCallCount, 1);
}

TEST_F(FixedFunctionGlTest, ASpecularMapModulatesTheLitSpecularColour) {
  buildOnGl();
  PlainTexture map(pipeline.get(), 0xFF808080);
  Surface surface(nullptr, "shiny");
  surface.diffuse.value = 0.0f;  // no diffuse, ambient or emissive colour: CURRENT is black
  surface.specularity.value = 1.0f;
  surface.addTextureLayer(layerOn("SPEC", &map));
  // A light shining straight into the screen onto a face turned to the
  // viewer: N.L = N.H = 1, so the lit specular is the light's specular
  // times the material's, white (highlights untinted, specularity 1).
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Specular = {1, 1, 1, 1};
  light.Direction = {0, 0, 1};
  device->SetLight(0, &light);
  device->LightEnable(0, 1);
  drawQuad(surface, 0.0);
  // CURRENT + SPECULAR x map = 0 + 1 x 0x80 per channel; the pass turns the
  // final specular add off, so nothing else comes on top.
  EXPECT_TRUE(near(pixelAt(0.0f, 0.0f), 0x808080)) << std::hex << pixelAt(0.0f, 0.0f);
}

TEST_F(FixedFunctionGlTest, UnlitWithoutAVertexSpecularColourTheSpecularArgumentIsWhite) {
  buildOnGl();
  const float quad[4][3] = {{-1, 1, 0.5f}, {1, 1, 0.5f}, {-1, -1, 0.5f}, {1, -1, 0.5f}};
  device->SetRenderState(D3DRS_LIGHTING, 0);
  device->SetRenderState(D3DRS_SPECULARENABLE, 1);  // adds the missing colour: black
  device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF204060);
  device->SetTexture(0, nullptr);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_SPECULAR);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  const D3DVERTEXELEMENT9 positionOnly[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
  ComPtr<IDirect3DVertexDeclaration9> declaration;
  ASSERT_EQ(device->CreateVertexDeclaration(positionOnly, declaration.put()), D3D_OK);
  device->SetVertexDeclaration(declaration.get());
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]), D3D_OK);
  EXPECT_EQ(pixelAt(0.0f, 0.0f), 0x204060u) << std::hex << pixelAt(0.0f, 0.0f);  // white x factor
}

TEST_F(FixedFunctionGlTest, ASphericalReflectionMapIsAddedThroughTheReflectionVector) {
  buildOnGl();
  PlainTexture image(pipeline.get(), {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
  Surface surface(nullptr, "chrome");
  surface.diffuse.value = 0.0f;  // CURRENT black
  surface.reflectionImage = &image;
  surface.reflectionOptions = 2;
  surface.reflection.value = 0.5f;  // texture factor 0xff808080
  // N = (0.6, -0.48, -0.64), I = (0, 0, 1): R = I - 2 (N.I) N
  // = (0.768, -0.6144, 0.1808). The scale-bias of axis 0 (no colour layer)
  // maps u = 0.5 R.z + 0.5 = 0.590, v = 0.5 R.y + 0.5 = 0.193: texel (1, 0),
  // green. Result 0 + green x 128/255.
  const float normal[3] = {0.6f, -0.48f, -0.64f};
  drawQuad(surface, 0.0, normal);
  EXPECT_TRUE(near(pixelAt(0.0f, 0.0f), 0x008000)) << std::hex << pixelAt(0.0f, 0.0f);
}

TEST_F(FixedFunctionGlTest, ATransparencyMapKeysOutAndBlendsByItsAlpha) {
  buildOnGl();
  // Left texels alpha 0x40, right ones 0xC0; their red colour is not used.
  PlainTexture mask(pipeline.get(), {0x40FF0000, 0xC0FF0000, 0x40FF0000, 0xC0FF0000});
  Surface surface(nullptr, "glass");
  glowWhite(surface);
  surface.addTextureLayer(layerOn("TRAN", &mask));
  drawQuad(surface, 0.0);
  // A transparency map with transparency 0: alpha test "greater than 127"
  // with SRCALPHA / INVSRCALPHA blending over black. 0x40 fails the test;
  // 0xC0 blends white at 192/255.
  EXPECT_EQ(pixelAt(-0.5f, 0.0f), 0x000000u) << std::hex << pixelAt(-0.5f, 0.0f);
  EXPECT_TRUE(near(pixelAt(0.5f, 0.0f), 0xC0C0C0)) << std::hex << pixelAt(0.5f, 0.0f);
}

TEST_F(FixedFunctionGlTest, ASpotTextureIsProjectedFromCameraSpacePositions) {
  buildOnGl();
  PlainTexture cone(pipeline.get(), {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00});
  Surface surface(nullptr, "lit");
  glowWhite(surface);
  TestSpot spot;
  spot.texProj = &cone;
  surface.spotProjector = &spot;
  // P = (x, y, 0.5) maps to (x + 1, 1 - y, 2): after the division
  // u = (x + 1) / 2, v = (1 - y) / 2, the texture spread over the screen.
  const float projector[16] = {1, 0, 0, 0, 0, -1, 0, 0, 2, 2, 4, 0, 0, 0, 0, 0};
  std::memcpy(pipeline->constantTable->matWorldLightviewLightprojShadowbias, projector, sizeof projector);
  drawQuad(surface, 0.0);
  EXPECT_TRUE(near(pixelAt(-0.5f, 0.5f), 0xFF0000)) << std::hex << pixelAt(-0.5f, 0.5f);
  EXPECT_TRUE(near(pixelAt(0.5f, 0.5f), 0x00FF00)) << std::hex << pixelAt(0.5f, 0.5f);
  EXPECT_TRUE(near(pixelAt(-0.5f, -0.5f), 0x0000FF)) << std::hex << pixelAt(-0.5f, -0.5f);
  EXPECT_TRUE(near(pixelAt(0.5f, -0.5f), 0xFFFF00)) << std::hex << pixelAt(0.5f, -0.5f);
}

TEST_F(FixedFunctionGlTest, AnAnimatedMappingMovesTheTextureWithTime) {
  buildOnGl();
  PlainTexture texture(pipeline.get(), {0xFFFF0000, 0xFF00FF00, 0xFFFF0000, 0xFF00FF00});  // red | green
  Surface surface(nullptr, "scrolling");
  glowWhite(surface);
  auto layer = layerOn("COLR", &texture);
  layer->projection = kProjectionPlanar;
  layer->axis = 2;
  layer->sizeX.value = layer->sizeY.value = 2.0f;
  layer->centerX.channel = std::make_unique<Ramp>();
  surface.addTextureLayer(std::move(layer));
  // The layer's set holds raw positions. Planar on Z with size 2 and centre
  // (c, 0, 0): u = (x - c) / 2 + 0.5. At t = 0, x = 0.25 gives u = 0.625
  // (green) and x = -0.75 gives 0.125 (red).
  drawQuad(surface, 0.0);
  EXPECT_EQ(pixelAt(0.25f, 0.0f), 0x00FF00u) << std::hex << pixelAt(0.25f, 0.0f);
  EXPECT_EQ(pixelAt(-0.75f, 0.0f), 0xFF0000u) << std::hex << pixelAt(-0.75f, 0.0f);
  // At t = 1 the centre is 0.5: u = 0.375 (red) and -0.125, wrapped to
  // 0.875 (green).
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  drawQuad(surface, 1.0);
  EXPECT_EQ(pixelAt(0.25f, 0.0f), 0xFF0000u) << std::hex << pixelAt(0.25f, 0.0f);
  EXPECT_EQ(pixelAt(-0.75f, 0.0f), 0x00FF00u) << std::hex << pixelAt(-0.75f, 0.0f);
}

}  // namespace
