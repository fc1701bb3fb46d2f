// The recording device: Direct3D's state defaults, the rules of Reset and the
// lost-device path, and the call log that state-sequence tests read.
#include <gtest/gtest.h>

#include "platform/graphics/d3d9_recording.h"
#include "platform/graphics/d3d9_state.h"

namespace {

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log = std::make_shared<CallLog>();
    d3d = ComPtr<IDirect3D9>(new RecordingDirect3D9({FakeAdapter{}}, log));
    p.Windowed = 1;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.EnableAutoDepthStencil = 1;
    p.AutoDepthStencilFormat = D3DFMT_D24S8;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x44, &p, device.put()), D3D_OK);
  }
  DWORD renderState(D3DRENDERSTATETYPE s) {
    DWORD v = 0xDEADBEEF;
    EXPECT_EQ(device->GetRenderState(s, &v), D3D_OK);
    return v;
  }

  std::shared_ptr<CallLog> log;
  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;
  D3DPRESENT_PARAMETERS p{};
};

TEST_F(RecordingTest, CreationGivesDirect3DDefaults) {
  EXPECT_EQ(p.BackBufferWidth, 640u);  // no window: the recorder's stand-in size
  EXPECT_EQ(renderState(D3DRS_ZENABLE), D3DZB_TRUE);
  EXPECT_EQ(renderState(D3DRS_CULLMODE), D3DCULL_CCW);
  EXPECT_EQ(renderState(D3DRS_ZFUNC), D3DCMP_LESSEQUAL);
  EXPECT_EQ(renderState(D3DRS_LIGHTING), 1u);
  EXPECT_EQ(renderState(D3DRS_FOGEND), floatBits(1.0f));
  EXPECT_EQ(renderState(D3DRS_STENCILMASK), 0xFFFFFFFFu);
  EXPECT_EQ(renderState(D3DRS_COLORWRITEENABLE), 0xFu);
  EXPECT_EQ(renderState(D3DRS_DIFFUSEMATERIALSOURCE), D3DMCS_COLOR1);
  DWORD v = 0;
  device->GetTextureStageState(0, D3DTSS_COLOROP, &v);
  EXPECT_EQ(v, D3DTOP_MODULATE);
  device->GetTextureStageState(1, D3DTSS_COLOROP, &v);
  EXPECT_EQ(v, D3DTOP_DISABLE);
  device->GetTextureStageState(3, D3DTSS_TEXCOORDINDEX, &v);
  EXPECT_EQ(v, 3u);
  device->GetSamplerState(5, D3DSAMP_MAXANISOTROPY, &v);
  EXPECT_EQ(v, 1u);
  D3DMATRIX world{};
  device->GetTransform(D3DTS_WORLDMATRIX(3), &world);
  EXPECT_EQ(world.m[2][2], 1.0f);
  EXPECT_EQ(world.m[3][0], 0.0f);
  D3DVIEWPORT9 viewport{};
  device->GetViewport(&viewport);
  EXPECT_EQ(viewport.Width, 640u);
  EXPECT_EQ(viewport.MaxZ, 1.0f);
}

TEST_F(RecordingTest, OutOfRangeStatesAreRefused) {
  EXPECT_EQ(device->SetRenderState(4096, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetTextureStageState(8, D3DTSS_COLOROP, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetSamplerState(16, D3DSAMP_ADDRESSU, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetSamplerState(0, 99, 1), D3DERR_INVALIDCALL);
  D3DMATRIX m{};
  EXPECT_EQ(device->SetTransform(1000, &m), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->EndScene(), D3D_OK);
  EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
}

TEST_F(RecordingTest, ResetRestoresDefaultsAndRecordsTheNewSize) {
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
  p.BackBufferWidth = 800;
  p.BackBufferHeight = 600;
  ASSERT_EQ(device->Reset(&p), D3D_OK);
  EXPECT_EQ(renderState(D3DRS_CULLMODE), D3DCULL_CCW);
  DWORD v = 0;
  device->GetTextureStageState(0, D3DTSS_COLOROP, &v);
  EXPECT_EQ(v, D3DTOP_MODULATE);
  ASSERT_GE(log->calls.size(), 2u);
  EXPECT_EQ(log->calls.back(), "Reset(800x600)");
  EXPECT_EQ(log->calls[log->calls.size() - 2], "SetTextureStageState(0, 1, 1)");
}

TEST_F(RecordingTest, ResetFailsWhileDefaultPoolResourcesLiveAndTheDeviceStaysLost) {
  setRecordingDefaultPoolResources(device.get(), 1);
  EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  setRecordingDefaultPoolResources(device.get(), 0);
  EXPECT_EQ(device->Reset(&p), D3D_OK);
  EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
}

TEST_F(RecordingTest, SimulatedLossRunsLostThenNeedsResetThenOk) {
  device->SimulateDeviceLoss(true);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(device->Reset(&p), D3DERR_DEVICELOST);
  device->SimulateDeviceLoss(false);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET) << "until Reset, not just once";
  EXPECT_EQ(device->Reset(&p), D3D_OK);
  EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
  EXPECT_EQ(log->count("TestCooperativeLevel"), 4);
}

// From the moment the device is lost until a Reset succeeds, nothing reaches
// the target and Present says so; bad arguments are refused all the same.
TEST_F(RecordingTest, UntilResetDrawsAndClearsDoNothingAndPresentReportsTheLoss) {
  const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
  ComPtr<IDirect3DVertexDeclaration9> declaration;
  ASSERT_EQ(device->CreateVertexDeclaration(elements, declaration.put()), D3D_OK);
  device->SetVertexDeclaration(declaration.get());
  const float triangle[9] = {};
  device->SimulateDeviceLoss(true);
  device->SimulateDeviceLoss(false);  // back, but not yet reset
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, 12), D3D_OK);
  EXPECT_EQ(recordingProgramCount(device.get()), 0) << "a draw while waiting for Reset reached the backend";
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  ASSERT_EQ(device->Reset(&p), D3D_OK);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  device->SetVertexDeclaration(declaration.get());  // Reset unbound it
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, 12), D3D_OK);
  EXPECT_EQ(recordingProgramCount(device.get()), 1);
  const RECT part{0, 0, 8, 8};
  EXPECT_EQ(device->Present(&part, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(RecordingTest, ClearRefusesWhatTheDepthSurfaceCannotHold) {
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(device->Clear(0, nullptr, 0x8, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  D3DPRESENT_PARAMETERS noStencil = p;
  noStencil.AutoDepthStencilFormat = D3DFMT_D24X8;
  ASSERT_EQ(device->Reset(&noStencil), D3D_OK);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  D3DPRESENT_PARAMETERS noDepth = p;
  noDepth.EnableAutoDepthStencil = 0;
  ASSERT_EQ(device->Reset(&noDepth), D3D_OK);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(log->count("Clear("), 6) << "refused clears are recorded too";
}

// A refused Reset, whatever the reason, leaves the device waiting for one
// that succeeds; holding the back buffer is as good a reason as any.
TEST_F(RecordingTest, ARefusedResetLeavesTheDeviceNeedingOne) {
  D3DPRESENT_PARAMETERS bad = p;
  bad.Windowed = 0;  // full screen needs a size
  bad.BackBufferWidth = 0;
  EXPECT_EQ(device->Reset(&bad), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  bad = p;
  bad.AutoDepthStencilFormat = D3DFMT_A8R8G8B8;
  EXPECT_EQ(device->Reset(&bad), D3DERR_INVALIDCALL);
  bad = p;
  bad.MultiSampleType = 4;
  bad.SwapEffect = D3DSWAPEFFECT_COPY;  // multisampled back buffers are discarded
  EXPECT_EQ(device->Reset(&bad), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->Reset(nullptr), D3DERR_INVALIDCALL);

  ComPtr<IDirect3DSurface9> back;
  ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put()), D3D_OK);
  EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  back.reset();
  EXPECT_EQ(device->Reset(&p), D3D_OK);
  EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
  // A render-target surface keeps its texture, and so the reset, waiting.
  ComPtr<IDirect3DTexture9> target;
  ASSERT_EQ(
      device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, target.put(), nullptr),
      D3D_OK);
  ComPtr<IDirect3DSurface9> level;
  ASSERT_EQ(target->GetSurfaceLevel(0, level.put()), D3D_OK);
  target.reset();
  EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
  level.reset();
  EXPECT_EQ(device->Reset(&p), D3D_OK);
  // The device's own reference to its back buffer never blocks a reset.
  ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put()), D3D_OK);
  ASSERT_EQ(device->SetRenderTarget(0, back.get()), D3D_OK);
  back.reset();
  EXPECT_EQ(device->Reset(&p), D3D_OK);
}

TEST(RecordingDirect3D9, FakeAdaptersAnswerTheChecksTheyDescribe) {
  FakeAdapter a;
  a.multisampleTypes = {2, 4};
  a.nonmaskableQualityLevels = 3;
  a.failingCreateDevices = 1;
  ComPtr<IDirect3D9> d3d(new RecordingDirect3D9({a}, nullptr));
  DWORD quality = 0;
  EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 1, 4, &quality), D3D_OK);
  EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 1, 3, &quality), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(
      d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 1, D3DMULTISAMPLE_NONMASKABLE, &quality),
      D3D_OK);
  EXPECT_EQ(quality, 3u);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, 22, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16), D3D_OK);
  EXPECT_EQ(d3d->CheckDeviceFormat(1, D3DDEVTYPE_HAL, 22, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3DERR_INVALIDCALL);
  D3DPRESENT_PARAMETERS p{};
  p.Windowed = 1;
  ComPtr<IDirect3DDevice9> device;
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x44, &p, device.put()), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x44, &p, device.put()), D3D_OK);
  EXPECT_TRUE(device);
}

TEST_F(RecordingTest, OcclusionQueriesPairBeginWithEndAndCountOneAtATime) {
  EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, nullptr), D3D_OK);
  EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_EVENT, nullptr), D3DERR_NOTAVAILABLE);
  ComPtr<IDirect3DQuery9> a, b;
  ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, a.put()), D3D_OK);
  ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, b.put()), D3D_OK);
  EXPECT_EQ(a->GetDataSize(), 4u);
  DWORD samples = 7;
  EXPECT_EQ(a->GetData(&samples, 4, D3DGETDATA_FLUSH), D3DERR_INVALIDCALL);  // never issued
  EXPECT_EQ(a->Issue(D3DISSUE_END), D3DERR_INVALIDCALL);                     // no BEGIN
  ASSERT_EQ(a->Issue(D3DISSUE_BEGIN), D3D_OK);
  EXPECT_EQ(b->Issue(D3DISSUE_BEGIN), D3DERR_INVALIDCALL);    // a is counting
  EXPECT_EQ(a->GetData(&samples, 4, 0), D3DERR_INVALIDCALL);  // still counting
  EXPECT_EQ(a->Issue(D3DISSUE_BEGIN), D3D_OK);                // starts afresh
  ASSERT_EQ(a->Issue(D3DISSUE_END), D3D_OK);
  EXPECT_EQ(a->GetData(&samples, 2, 0), D3DERR_INVALIDCALL);  // too small for the count
  EXPECT_EQ(a->GetData(nullptr, 0, 0), S_OK);                 // only asks
  EXPECT_EQ(a->GetData(&samples, 4, 0), S_OK);
  EXPECT_EQ(samples, 0u);
  EXPECT_EQ(b->Issue(D3DISSUE_BEGIN), D3D_OK);  // a has ended
  b.reset();                                    // released while counting: a may count again
  EXPECT_EQ(a->Issue(D3DISSUE_BEGIN), D3D_OK);
  a->Issue(D3DISSUE_END);
  device->SimulateDeviceLoss(true);
  EXPECT_EQ(a->GetData(&samples, 4, D3DGETDATA_FLUSH), D3DERR_DEVICELOST);
  EXPECT_EQ(log->count("Issue(occlusion, BEGIN)"), 4);
  // A query outliving its device answers without touching it.
  device.reset();
  EXPECT_EQ(a->GetData(&samples, 4, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(a->Issue(D3DISSUE_BEGIN), D3DERR_INVALIDCALL);
}

}  // namespace
