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

TEST_F(PipelineTest, InitialFieldsPassesAndTargets) {
  build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
  EXPECT_NEAR(pipeline->horizontalFov, 45.24f, 0.01f);
  EXPECT_NEAR(pipeline->verticalFov, 34.71f, 0.01f);
  EXPECT_EQ(pipeline->requestedWidth, 960);  // the window's client area
  EXPECT_TRUE(pipeline->requestedWindowed);
  EXPECT_EQ(pipeline->renderTargetFormat, D3DFMT_A8R8G8B8);
  EXPECT_TRUE(pipeline->texturesEnabled());
  EXPECT_TRUE(pipeline->fogEnabled());
  EXPECT_FALSE(pipeline->wireframe());
  EXPECT_EQ(pipeline->cullMode, static_cast<std::uint32_t>(D3DCULL_CCW));
  EXPECT_EQ(pipeline->eye, -1);
  EXPECT_TRUE(pipeline->fixedFunction);
  EXPECT_NE(dynamic_cast<FixedFunctionPass*>(pipeline->mainPass.get()), nullptr);
  EXPECT_NE(pipeline->overlayPass, nullptr);
  EXPECT_EQ(pipeline->basePass, nullptr);
  EXPECT_EQ(pipeline->soundSystem, nullptr);
  EXPECT_NE(pipeline->screenTarget0, nullptr);
  EXPECT_TRUE(lastMessage().empty());

  pipeline.reset();
  manager.reset();
  build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), [](DisplaySettings& s) { s.fixedFunction = false; });
  ASSERT_NE(pipeline->mainPass, nullptr);
  EXPECT_NE(pipeline->basePass, nullptr);
  EXPECT_NE(pipeline->additivePass, nullptr);
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

  pipeline->setViewport(10, 20, 100, 50, 0.0f, 1.0f);
  EXPECT_EQ(log->count("SetViewport(10, 20, 100, 50)"), 1);
}

}  // namespace
