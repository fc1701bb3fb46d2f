// A surface drawn end to end on the OpenGL device under Xvfb: stage plan,
// static mesh, fixed-function pass and the generated GLSL together.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "render/fixed_function_pass.h"
#include "render/mesh_batch.h"
#include "render/stage_plan.h"
#include "render/texture.h"
#include "tests/render/pipeline_fixture.h"

namespace {

class PlainTexture : public Texture {
 public:
  PlainTexture(RenderPipeline* p, D3DCOLOR texel) : Texture(p, 0) {
    p->devices[0]->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, deviceTextures[0].put(), nullptr);
    D3DLOCKED_RECT locked{};
    if (deviceTextures[0] && SUCCEEDED(deviceTextures[0]->LockRect(0, &locked, nullptr, 0))) {
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
          reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] = texel;
      deviceTextures[0]->UnlockRect(0);
    }
    shownTextures[0] = deviceTextures[0].get();
  }
  std::unique_ptr<Texture> clone() const override { return nullptr; }
  void load() override {}
  int kind() const override { return kTextureKindFile; }
};

class FixedFunctionGlTest : public PipelineTest {
 protected:
  // The pipeline over the OpenGL device in a real window.
  void buildOnGl() {
    setDirect3DFactory(nullptr);
    manager = std::make_unique<DeviceManager>();
    manager->settings->windowed = true;
    ASSERT_TRUE(manager->enumerateAdapters("Error", "no d3d", "no tnl")) << "run under xvfb-run";
    ::Setup setup(manager.get());
    setup.run();
    ASSERT_TRUE(manager->createRenderWindow("Orbivane", nullptr));
    pipeline = std::make_unique<RenderPipeline>(*manager);
  }
};

TEST_F(FixedFunctionGlTest, ATexturedSurfaceDrawsItsColourLayerBrightened) {
  buildOnGl();
  IDirect3DDevice9* device = pipeline->currentDevice;
  ASSERT_NE(device, nullptr);
  PlainTexture texture(pipeline.get(), 0xFF402010);
  Surface surface(nullptr, "quad");
  auto colour = std::make_unique<TextureLayer>();
  colour->blockType = fourCC("IMAP");
  colour->channel = fourCC("COLR");
  colour->texture = &texture;
  colour->rgbLevel = 2.0f;  // x2
  surface.addTextureLayer(std::move(colour));
  SurfaceStagePlan plan(surface);
  ASSERT_EQ(plan.stageShift[0], 1);

  // A quad over the whole viewport (identity transforms), clockwise on screen.
  std::vector<SourceVertex> v(4);
  const float corners[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
  for (int i = 0; i < 4; ++i) {
    v[i].position[0] = corners[i][0];
    v[i].position[1] = corners[i][1];
    v[i].position[2] = 0.5f;
    v[i].normal[2] = -1.0f;
    v[i].texcoord[0][0] = (corners[i][0] + 1) / 2;
    v[i].texcoord[0][1] = (1 - corners[i][1]) / 2;
  }
  StaticMeshBuffer mesh(pipeline.get(), &plan, &surface);
  const std::uint32_t triangles[6] = {0, 1, 2, 2, 1, 3};
  mesh.addTriangles(triangles, 6);
  mesh.addVertices(v.data(), 4);
  ASSERT_TRUE(mesh.build());

  // Lit by the ambient light alone: white material (the texture gives the
  // colour) times white ambient.
  device->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  FixedFunctionPass pass(pipeline.get());
  mesh.draw(&pass, 0.0);
  DWORD argb = 0;
  ASSERT_EQ(device->ReadBackBuffer(20, 20, 1, 1, &argb), D3D_OK);
  EXPECT_EQ(argb & 0x00FFFFFF, 0x00804020u) << std::hex << argb;
  EXPECT_EQ(pipeline->drawCallCount, 1);
}

}  // namespace
