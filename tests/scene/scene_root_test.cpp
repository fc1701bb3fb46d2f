#include "scene/scene_root.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/surface.h"
#include "render/texture.h"
#include "scene/lwo_model.h"
#include "scene/scene.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/scene/scene_test_items.h"
#include "tests/support/memory_file.h"

namespace {

class NamedTexture : public Texture {
 public:
  NamedTexture(RenderPipeline* p, const std::string& textureName, std::vector<std::string>* events)
      : Texture(p, 0), m_events(events) {
    name = textureName;
  }
  ~NamedTexture() override { m_events->push_back("texture " + name); }
  std::unique_ptr<Texture> clone() const override { return nullptr; }
  void load() override { loaded = true; }
  int kind() const override { return kTextureKindFile; }

 private:
  std::vector<std::string>* m_events;
};

class LayerNode : public SurfaceRenderObject {
 public:
  explicit LayerNode(std::vector<std::string>* events)
      : SurfaceRenderObject(nullptr, nullptr, {}, {}, {}), m_events(events) {}
  ~LayerNode() override { m_events->push_back("model"); }

 private:
  std::vector<std::string>* m_events;
};

class SceneRootTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
  }
};

TEST_F(SceneRootTest, TexturesAreSharedByNameAndLookupsNeverAddConversionOrMips) {
  SceneRoot root(pipeline.get(), "race");
  MemoryFile archive;
  Texture* first = root.getTexture(&archive, "images/missing.bmp");
  Texture* again = root.getTexture(&archive, "images/missing.bmp");
  EXPECT_EQ(first, again);
  EXPECT_EQ(root.textures.size(), 1u);
  EXPECT_EQ(first->flags, std::uint32_t{kTextureAllowNonPow2 | kTextureFullSize});

  EXPECT_EQ(root.findTexture("images/missing.bmp", kTextureConvertFormat | kTextureMipChain | kTextureNormalMap),
            first);
  EXPECT_EQ(first->flags, std::uint32_t{kTextureAllowNonPow2 | kTextureFullSize | kTextureNormalMap});
  EXPECT_EQ(root.findTexture("images/other.bmp", 0), nullptr);
}

TEST_F(SceneRootTest, DestructionUnbindsStagesThenFreesTexturesModelsAndScenes) {
  std::vector<std::string> events;
  {
    SceneRoot root(pipeline.get(), "menu");
    auto scene = std::make_unique<Scene>(&root);
    addObject(*scene, "kart")->onDestroy = [&] { events.push_back("scene"); };
    root.addScene(std::move(scene));
    root.textures.push_back(std::make_unique<NamedTexture>(pipeline.get(), "sky", &events));
    auto model = std::make_unique<LWOModel>(&root, "kart.lwo");
    model->layers.push_back(std::make_unique<LayerNode>(&events));
    root.models.push_back(std::move(model));
    log->calls.clear();
  }
  EXPECT_EQ(events, (std::vector<std::string>{"texture sky", "model", "scene"}));
  EXPECT_EQ(log->count("SetTexture("), static_cast<int>(pipeline->caps.MaxSimultaneousTextures));
}

TEST_F(SceneRootTest, AResetAfterALossRestoresTheDefaultStates) {
  SceneRoot root(pipeline.get(), "race");
  root.addScene(std::make_unique<Scene>(&root));
  ASSERT_NE(root.scenes[0]->font.get(), nullptr);
  IDirect3DDevice9* device = pipeline->currentDevice;
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
  device->SetSamplerState(3, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_MODULATE);

  device->SimulateDeviceLoss(true);
  device->SimulateDeviceLoss(false);  // lost, then ready for a reset
  DeviceOwner* owners[] = {&root};
  ASSERT_EQ(manager->restoreDevices(owners), D3D_OK);

  auto renderState = [&](D3DRENDERSTATETYPE s) {
    DWORD v = 0xDEAD;
    device->GetRenderState(s, &v);
    return v;
  };
  EXPECT_EQ(renderState(D3DRS_CULLMODE), DWORD{D3DCULL_CCW});
  EXPECT_EQ(renderState(D3DRS_ZFUNC), DWORD{D3DCMP_LESSEQUAL});
  EXPECT_EQ(renderState(D3DRS_DIFFUSEMATERIALSOURCE), DWORD{D3DMCS_MATERIAL});
  EXPECT_EQ(renderState(D3DRS_NORMALIZENORMALS), 1u);
  for (DWORD stage = 0; stage < pipeline->caps.MaxTextureBlendStages; ++stage) {
    DWORD address = 0, minFilter = 0, colourOp = 0;
    device->GetSamplerState(stage, D3DSAMP_ADDRESSU, &address);
    device->GetSamplerState(stage, D3DSAMP_MINFILTER, &minFilter);
    device->GetTextureStageState(stage, D3DTSS_COLOROP, &colourOp);
    EXPECT_EQ(address, DWORD{D3DTADDRESS_WRAP}) << stage;
    EXPECT_EQ(minFilter, DWORD{D3DTEXF_ANISOTROPIC}) << stage;
    EXPECT_EQ(colourOp, DWORD{D3DTOP_DISABLE}) << stage;
  }
}

}  // namespace
