// Render windows, devices, reset and gamma: state sequences on the recorder,
// pixels on OpenGL under Xvfb.
#include "render/render_device.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/render/pipeline_fixture.h"

namespace {

// Trace-log lines go to a file of this test's own.
class RenderDeviceTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    logPath = ::testing::TempDir() + "render_device_log_" + std::to_string(::getpid()) + ".txt";
    ASSERT_TRUE(g_log.open(logPath.c_str()));
  }
  void TearDown() override {
    g_log.open("nul");
    std::remove(logPath.c_str());
    PipelineTest::TearDown();
  }
  static FakeAdapter fakeAdapter() {
    FakeAdapter a;
    a.modes = {{1024, 768, 60, D3DFMT_X8R8G8B8}, {1280, 720, 60, D3DFMT_X8R8G8B8}};
    return a;
  }
  std::string logText() {
    g_log.flush();
    std::ifstream in(logPath);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string logPath;
};

TEST(BehaviorFlags, FollowTheSettingsAndTheVertexShaderVersion) {
  DisplaySettings s;
  D3DCAPS9 caps{};
  caps.VertexShaderVersion = D3DVS_VERSION(2, 0);
  EXPECT_EQ(behaviorFlagsFor(s, caps, 1), 0x44u);
  s.softwareVertexProcessing = true;
  EXPECT_EQ(behaviorFlagsFor(s, caps, 1), 0x24u);
  s.pureDevice = true;
  EXPECT_EQ(behaviorFlagsFor(s, caps, 1), 0x54u);
  s = DisplaySettings();
  caps.VertexShaderVersion = D3DVS_VERSION(1, 0);
  EXPECT_EQ(behaviorFlagsFor(s, caps, 1), 0x84u);
  caps.VertexShaderVersion = D3DVS_VERSION(1, 1);
  EXPECT_EQ(behaviorFlagsFor(s, caps, 2), 0x244u);
}

TEST(GammaRamp, IdentityAndContrastEdges) {
  const D3DGAMMARAMP identity = computeGammaRamp(1.0f, 0.5f, 0.5f);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(identity.red[i], 257 * i) << i;
  EXPECT_EQ(identity.green[128], 257 * 128);
  EXPECT_EQ(identity.blue[255], 65535);

  const D3DGAMMARAMP steep = computeGammaRamp(1.0f, 0.5f, 1.0f);
  for (int i = 0; i <= 42; ++i) EXPECT_EQ(steep.red[i], 0) << i;
  EXPECT_GT(steep.red[43], 0);
  EXPECT_LT(steep.red[212], 65535);
  for (int i = 213; i < 256; ++i) EXPECT_EQ(steep.red[i], 65535) << i;

  // Brighter gamma lifts the middle; a zero gamma gives no garbage.
  EXPECT_GT(computeGammaRamp(2.0f, 0.5f, 0.5f).red[64], identity.red[64]);
  const D3DGAMMARAMP zero = computeGammaRamp(0.0f, 0.5f, 0.5f);
  EXPECT_EQ(zero.red[0], 0);
  EXPECT_EQ(zero.red[255], 65535);
}

TEST(ScreenTargetRecord, SizeAndAlphaFollowTheSettings) {
  DisplaySettings s;
  s.width = 800;
  s.height = 600;
  s.backBufferFormat = D3DFMT_A8R8G8B8;
  const D3DDISPLAYMODE desktop{1920, 1080, 60, D3DFMT_X8R8G8B8};
  ScreenTarget full(nullptr, s, desktop);
  EXPECT_EQ(full.width, 800);
  EXPECT_TRUE(full.alphaCapable);
  s.windowed = true;
  s.multisampleType = 4;
  ScreenTarget windowed(nullptr, s, desktop);
  EXPECT_EQ(windowed.width, 1920);
  EXPECT_EQ(windowed.height, 1080);
  EXPECT_FALSE(windowed.alphaCapable);
}

TEST_F(RenderDeviceTest, WindowedDevicesGetTheWindowSizeAndTheAutomaticDepthFormat) {
  makeManager({fakeAdapter()}, true);
  ASSERT_TRUE(manager->createRenderWindow("Orbivane", nullptr));
  ASSERT_EQ(manager->deviceCount(), 1);
  RenderDevice& d = *manager->devices[0];
  EXPECT_FALSE(IsWindowVisible(d.windows[0].get())) << "the entry point shows them";
  const D3DPRESENT_PARAMETERS& p = d.presentParameters[0];
  EXPECT_EQ(p.BackBufferWidth, 960u) << "a zero size follows the window";
  EXPECT_EQ(p.BackBufferHeight, 720u);
  EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D24S8);
  EXPECT_NE(logText().find("trying to create the d3d device for adapter 0... succeeded!"), std::string::npos);
}

TEST_F(RenderDeviceTest, AFailedCreationIsRetriedOnceAndLogged) {
  FakeAdapter a = fakeAdapter();
  a.failingCreateDevices = 1;
  makeManager({a}, false);
  ASSERT_TRUE(manager->createRenderWindow("Orbivane", nullptr));
  EXPECT_EQ(log->count("CreateDevice"), 2);
  const std::string text = logText();
  EXPECT_NE(text.find("failed! (8876086a)\nCreateDevice first attempt failed, starting second attempt... succeeded!"),
            std::string::npos)
      << text;

  FakeAdapter hopeless = fakeAdapter();
  hopeless.failingCreateDevices = 2;
  makeManager({hopeless}, false);
  EXPECT_FALSE(manager->createRenderWindow("Orbivane", nullptr));
  EXPECT_NE(logText().find("CreateDevice failed... exiting..."), std::string::npos);
  EXPECT_EQ(boxes.back(), "Error: Creation of Direct3D Device failed.");
}

TEST_F(RenderDeviceTest, CreationRefusesAdaptersWithoutTransformAndLighting) {
  FakeAdapter good = fakeAdapter();
  FakeAdapter weak = fakeAdapter();
  weak.caps.DevCaps = 0;
  makeManager({good, weak}, false);
  manager->settings->adapter = 1;
  EXPECT_FALSE(manager->createRenderWindow("Orbivane", nullptr));
  ASSERT_FALSE(boxes.empty());
  EXPECT_NE(boxes.back().find("transformation and lighting"), std::string::npos);

  manager->settings->adapter = 0;
  manager->stereoMode = kStereoTwoAdapters;
  manager->adapters.pop_back();
  EXPECT_FALSE(manager->createRenderWindow("Orbivane", nullptr));
  EXPECT_EQ(boxes.back(), "Error: For fullscreen stereo two adapters are required.");
}

TEST_F(RenderDeviceTest, ResetTakesTheNewSizeFromTheSettings) {
  makeManager({fakeAdapter()}, false);
  ASSERT_TRUE(manager->createRenderWindow("Orbivane", nullptr));
  manager->settings->width = 1280;
  manager->settings->height = 720;
  EXPECT_EQ(manager->resetDevices(), D3D_OK);
  EXPECT_EQ(log->calls.back(), "Reset(1280x720)");

  // Switching to a window: the back buffer follows the resized client area.
  manager->settings->windowed = true;
  manager->settings->width = 640;
  manager->settings->height = 400;
  EXPECT_EQ(manager->resetDevices(), D3D_OK);
  EXPECT_EQ(log->calls.back(), "Reset(640x400)");
  D3DPRESENT_PARAMETERS p{};
  manager->devices[0]->device->GetPresentParameters(&p);
  EXPECT_TRUE(p.Windowed);
  EXPECT_EQ(p.BackBufferWidth, 640u);

  setGammaRamp(manager->devices[0]->device.get(), 1.0f, 0.5f, 1.0f);
  EXPECT_EQ(log->calls.back(), "SetGammaRamp(0, 1)");
}

// The whole path on OpenGL: set-up on the real adapter, a window and device,
// pixels, a reset to a new size, and the lost-device path with its hooks.
class OwnerLog : public DeviceOwner {
 public:
  OwnerLog(std::string name, std::vector<std::string>* events) : m_name(std::move(name)), m_events(events) {}
  void onDeviceLost() override { m_events->push_back(m_name + " lost"); }
  void onDeviceReset() override { m_events->push_back(m_name + " reset"); }

 private:
  std::string m_name;
  std::vector<std::string>* m_events;
};

TEST_F(RenderDeviceTest, OpenGlDeviceDrawsResetsAndComesBackFromLoss) {
  manager = std::make_unique<DeviceManager>();
  manager->settings->windowed = true;
  manager->settings->windowWidth = 160;
  manager->settings->windowHeight = 120;
  ASSERT_TRUE(manager->enumerateAdapters("Error", "no d3d", "no tnl")) << "run under xvfb-run";
  ::Setup setup(manager.get());
  setup.run();
  ASSERT_TRUE(manager->createRenderWindow("Orbivane", nullptr));
  RenderDevice& record = *manager->devices[0];
  ShowWindow(record.windows[0].get(), SW_SHOW);
  IDirect3DDevice9* device = record.device.get();
  ASSERT_EQ(record.m_autoDepthStencilDesc->format, D3DFMT_D24S8);

  // Clear to a colour and read it back, then present.
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF3366CC, 1.0f, 0),
            D3D_OK);
  ASSERT_EQ(device->EndScene(), D3D_OK);
  std::vector<DWORD> pixels(160 * 120);
  ASSERT_EQ(device->ReadBackBuffer(0, 0, 160, 120, pixels.data()), D3D_OK);
  EXPECT_EQ(pixels.front(), 0xFF3366CCu);
  EXPECT_EQ(pixels.back(), 0xFF3366CCu);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

  // A resize request: the back buffer takes the new size.
  manager->settings->width = 200;
  manager->settings->height = 100;
  ASSERT_EQ(manager->resetDevices(), D3D_OK);
  D3DPRESENT_PARAMETERS p{};
  device->GetPresentParameters(&p);
  EXPECT_EQ(p.BackBufferWidth, 200u);
  EXPECT_EQ(p.BackBufferHeight, 100u);
  std::vector<DWORD> corner(1);
  EXPECT_EQ(device->ReadBackBuffer(199, 99, 1, 1, corner.data()), D3D_OK);
  EXPECT_EQ(device->ReadBackBuffer(200, 99, 1, 1, corner.data()), D3DERR_INVALIDCALL);

  // Forced loss: lost while it lasts, then needs a reset, which runs the
  // owners' hooks around the reset in order.
  std::vector<std::string> events;
  OwnerLog renderer("renderer", &events), sceneRoot("scene root", &events), gui("gui", &events);
  DeviceOwner* owners[] = {&renderer, &sceneRoot, &gui};
  device->SimulateDeviceLoss(true);
  EXPECT_EQ(manager->testCooperativeLevel(), D3DERR_DEVICELOST);
  device->SimulateDeviceLoss(false);
  EXPECT_EQ(manager->testCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(manager->restoreDevices(owners), D3D_OK);
  EXPECT_EQ(events, (std::vector<std::string>{"renderer lost", "scene root lost", "gui lost", "renderer reset",
                                              "scene root reset", "gui reset"}));
  EXPECT_EQ(manager->testCooperativeLevel(), D3D_OK);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  device->ReadBackBuffer(10, 10, 1, 1, corner.data());
  EXPECT_EQ(corner[0], 0xFF00FF00u);

  // Texture requests against what OpenGL advertises here.
  const AdapterInfo& info = *record.adapterInfo;
  FormatRequest opaque;
  opaque.minRed = opaque.minGreen = opaque.minBlue = channelWord(1);
  opaque.desiredRed = opaque.desiredGreen = opaque.desiredBlue = channelWord(8);
  opaque.maxRed = opaque.maxGreen = opaque.maxBlue = channelWord(8);
  opaque.allowedFlags = kFormatDisplay;
  EXPECT_STREQ(opaque.choose(info.textureFormats)->name, "X8R8G8B8");
  FormatRequest withAlpha = opaque;
  withAlpha.desiredAlpha = withAlpha.maxAlpha = channelWord(8);
  EXPECT_STREQ(withAlpha.choose(info.textureFormats)->name, "A8R8G8B8");
  FormatRequest compressed = withAlpha;
  compressed.desiredRed = compressed.desiredBlue = channelWord(5);
  compressed.desiredGreen = channelWord(6);
  compressed.desiredAlpha = channelWord(1);
  compressed.allowedFlags |= 0x20;
  EXPECT_STREQ(compressed.choose(info.textureFormats)->name, "DXT1");
  FormatRequest luminance;
  luminance.minRed = luminance.desiredRed = luminance.maxRed = channelWord(8);
  EXPECT_STREQ(luminance.choose(info.textureFormats)->name, "L8");

  manager->hideWindows();
  EXPECT_FALSE(IsWindowVisible(record.windows[0].get()));
}

}  // namespace
