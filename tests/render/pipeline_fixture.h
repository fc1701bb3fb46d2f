// Render tests on the recording device: made-up adapters, the set-up
// chooser, a windowed device and a pipeline over it; reports captured at
// level 3 and message boxes collected as "caption: text".
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/d3d9_recording.h"
#include "platform/system/system.h"
#include "platform/window/window.h"
#include "render/render_pipeline.h"
#include "render/texture.h"
#include "tests/support/quiet_window.h"
#include "tests/support/report_capture.h"

// A texture with one 4 x 4 managed device texture made directly on the
// pipeline's first device.
class FixtureTexture : public Texture {
 public:
  explicit FixtureTexture(RenderPipeline* p, std::uint32_t textureFlags = 0) : Texture(p, textureFlags) {
    p->devices[0]->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, deviceTextures[0].put(), nullptr);
    shownTextures[0] = deviceTextures[0].get();
  }
  std::unique_ptr<Texture> clone() const override { return nullptr; }
  void load() override {}
  int kind() const override { return kTextureKindFile; }
};

// RGB of the back-buffer pixel at clip-space (x, y) of `viewport`.
inline DWORD clipSpacePixel(IDirect3DDevice9* device, const D3DVIEWPORT9& viewport, float x, float y) {
  const UINT px = viewport.X + static_cast<UINT>((x + 1) / 2 * static_cast<float>(viewport.Width));
  const UINT py = viewport.Y + static_cast<UINT>((1 - y) / 2 * static_cast<float>(viewport.Height));
  DWORD argb = 0;
  EXPECT_EQ(device->ReadBackBuffer(px, py, 1, 1, &argb), D3D_OK);
  return argb & 0x00FFFFFF;
}

class PipelineTest : public ReportCapture {
 protected:
  PipelineTest() : ReportCapture(3) {}
  void SetUp() override {
    ReportCapture::SetUp();
    resetWindowSystem();
    setenv("TESSALINE_REGISTRY", "/nonexistent/registry.ini", 1);
    setMessageBoxHook([this](const char* text, const char* caption, UINT) {
      boxes.push_back(std::string(caption) + ": " + text);
      return IDOK;
    });
    WNDCLASSA wc{};
    wc.lpfnWndProc = quietWindowProc;
    wc.lpszClassName = "Orbivane";
    ASSERT_NE(RegisterClassA(&wc), 0);
  }
  void TearDown() override {
    pipeline.reset();
    manager.reset();
    setDirect3DFactory(nullptr);
    setMessageBoxHook(nullptr);
    unsetenv("TESSALINE_REGISTRY");
    resetWindowSystem();
    ReportCapture::TearDown();
  }

  void useAdapters(std::vector<FakeAdapter> adapters) {
    setDirect3DFactory([adapters, log = log](UINT) { return new RecordingDirect3D9(adapters, log); });
  }
  static FakeAdapter adapterWithModes() {
    FakeAdapter a;
    a.modes = {{640, 480, 60, D3DFMT_X8R8G8B8}, {1024, 768, 60, D3DFMT_X8R8G8B8}};
    return a;
  }
  // A manager over the recorder with these adapters, after the set-up
  // chooser ran.
  void makeManager(std::vector<FakeAdapter> adapters, bool windowed, void (*adjust)(DisplaySettings&) = nullptr) {
    useAdapters(std::move(adapters));
    manager = std::make_unique<DeviceManager>();
    manager->settings->windowed = windowed;
    if (adjust) adjust(*manager->settings);
    ASSERT_TRUE(manager->enumerateAdapters("Error", "no d3d", "no tnl"));
    ::Setup setup(manager.get());
    EXPECT_TRUE(setup.run());
  }

  // Devices on the recorder with one adapter of these shader versions.
  void build(DWORD vs, DWORD ps, void (*adjust)(DisplaySettings&) = nullptr, void (*adapter)(FakeAdapter&) = nullptr) {
    FakeAdapter a;
    a.modes = {{1024, 768, 60, D3DFMT_X8R8G8B8}};
    a.caps.VertexShaderVersion = vs;
    a.caps.PixelShaderVersion = ps;
    if (adapter) adapter(a);
    makeManager({a}, true, adjust);
    ASSERT_TRUE(manager->createRenderWindow("Orbivane", nullptr));
    log->calls.clear();
    pipeline = std::make_unique<RenderPipeline>(*manager);
  }

  // Devices on OpenGL in a real window (run under xvfb-run).
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

  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
  std::unique_ptr<DeviceManager> manager;
  std::unique_ptr<RenderPipeline> pipeline;
  std::vector<std::string> boxes;
};
