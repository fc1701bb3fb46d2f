// The render pipeline on the recording device: shader profiles from the
// device's shader versions and the settings, the resize request, the back
// buffer, the passes it makes, and the render-to-texture assertion.
#include "render/render_pipeline.h"
#include "render/fixed_function_pass.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/render/pipeline_fixture.h"

namespace {

TEST_F(PipelineTest, ProfilesFollowShaderVersionsCappedAtTwo) {
  build(D3DVS_VERSION(3, 0), D3DPS_VERSION(1, 4));
  EXPECT_STREQ(pipeline->vertexProfile.c_str(), "vs_2_0");
  EXPECT_STREQ(pipeline->pixelProfile.c_str(), "ps_1_4");
  EXPECT_STREQ(pipeline->textureProfile.c_str(), "tx_1_0");
  EXPECT_TRUE(pipeline->hardwareVertexShaders);
  EXPECT_TRUE(pipeline->hardwareTnL);
  EXPECT_EQ(log->count("SetSoftwareVertexProcessing(1)"), 0);
}

TEST_F(PipelineTest, VertexShaderOneZeroFallsBackToSoftwareProcessing) {
  build(D3DVS_VERSION(1, 0), D3DPS_VERSION(1, 0));
  EXPECT_STREQ(pipeline->vertexProfile.c_str(), "vs_2_sw");
  EXPECT_STREQ(pipeline->pixelProfile.c_str(), "ps_2_sw");
  EXPECT_EQ(log->count("SetSoftwareVertexProcessing(1)"), 1);
}

TEST_F(PipelineTest, SettingsForceSoftwareProfiles) {
  build(D3DVS_VERSION(1, 1), D3DPS_VERSION(2, 0), [](DisplaySettings& s) { s.softwareVertexProcessing = true; });
  EXPECT_STREQ(pipeline->vertexProfile.c_str(), "vs_2_sw");
  EXPECT_STREQ(pipeline->pixelProfile.c_str(), "ps_2_0");
  EXPECT_FALSE(pipeline->hardwareTnL);
  pipeline.reset();
  manager.reset();
  build(D3DVS_VERSION(1, 1), D3DPS_VERSION(2, 0), [](DisplaySettings& s) { s.referenceDevice = true; });
  EXPECT_STREQ(pipeline->vertexProfile.c_str(), "vs_2_sw");
  EXPECT_STREQ(pipeline->pixelProfile.c_str(), "ps_2_sw");
  pipeline.reset();
  manager.reset();
  build(D3DVS_VERSION(1, 1), D3DPS_VERSION(2, 0));
  EXPECT_STREQ(pipeline->vertexProfile.c_str(), "vs_1_1");
}

TEST_F(PipelineTest, PassesFollowTheFixedFunctionSetting) {
  build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
  EXPECT_EQ(pipeline->requestedWidth, 960);  // the window's client area
  EXPECT_NE(dynamic_cast<FixedFunctionPass*>(pipeline->mainPass.get()), nullptr);
  EXPECT_EQ(pipeline->basePass, nullptr);
  EXPECT_TRUE(lastMessage().empty());

  pipeline.reset();
  manager.reset();
  build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), [](DisplaySettings& s) { s.fixedFunction = false; });
  ASSERT_NE(pipeline->mainPass, nullptr);
  EXPECT_NE(pipeline->basePass, nullptr);
  EXPECT_NE(pipeline->additivePass, nullptr);
}

TEST_F(PipelineTest, AViewAreaIsKeptForTheSceneRenderAndSetOnTheDevice) {
  build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
  pipeline->setViewArea(48, 30, 422, 331);
  EXPECT_EQ(pipeline->viewportX, 48);
  EXPECT_EQ(pipeline->viewportY, 30);
  EXPECT_EQ(pipeline->targetWidth, 422);
  EXPECT_EQ(pipeline->targetHeight, 331);
  D3DVIEWPORT9 v{};
  pipeline->currentDevice->GetViewport(&v);
  EXPECT_EQ(v.X, 48u);
  EXPECT_EQ(v.Y, 30u);
  EXPECT_EQ(v.Width, 422u);
  EXPECT_EQ(v.Height, 331u);
  EXPECT_EQ(v.MinZ, 0.0f);
  EXPECT_EQ(v.MaxZ, 1.0f);
}

TEST_F(PipelineTest, NoRenderTargetFormatIsAnAssertionAndFormatZero) {
  build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), nullptr, [](FakeAdapter& a) { a.renderTargetFormats = {}; });
  EXPECT_EQ(pipeline->renderTargetFormat, 0u);
  EXPECT_NE(lastMessage().find("device does not support render to texture?"), std::string::npos) << lastMessage();
}

TEST_F(PipelineTest, ResizeRequestedTwiceReportsTheLaterSizeOnce) {
  build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
  EXPECT_FALSE(pipeline->takeResizeRequest());
  pipeline->requestResize(800, 600, false);
  pipeline->requestResize(1280, 720, true);
  EXPECT_TRUE(pipeline->takeResizeRequest());
  EXPECT_FALSE(pipeline->takeResizeRequest());
  EXPECT_EQ(pipeline->requestedWidth, 1280);
  EXPECT_EQ(pipeline->requestedHeight, 720);
  EXPECT_TRUE(pipeline->requestedWindowed);
}

TEST_F(PipelineTest, RestoreBackBufferBindsTheEyesSwapChainInDualHeadStereo) {
  build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), nullptr, [](FakeAdapter& a) { a.caps.NumberOfAdaptersInGroup = 2; });
  pipeline->restoreBackBuffer();
  EXPECT_EQ(log->count("GetBackBuffer(0, 0, 0)"), 1);
  EXPECT_EQ(log->count("SetRenderTarget(0, back buffer 0)"), 1);
  EXPECT_EQ(pipeline->targetWidth, pipeline->requestedWidth);
  pipeline->stereoMode = kStereoDualHead;
  pipeline->eye = 1;
  pipeline->restoreBackBuffer();
  EXPECT_EQ(log->count("GetBackBuffer(1, 0, 0)"), 1);
  EXPECT_EQ(log->count("SetRenderTarget(0, back buffer 1)"), 1);
}

}  // namespace
