// Buffers, declarations, draws, lights and the fixed-function program cache
// on the recording device: the rules that hold on every backend.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/graphics/d3d9_recording.h"
#include "platform/graphics/d3d9_state.h"

namespace {

class GeometryRecording : public ::testing::Test {
 protected:
  void SetUp() override { create(FakeAdapter{}); }
  void create(FakeAdapter adapter) {
    device.reset();
    log = std::make_shared<CallLog>();
    d3d = ComPtr<IDirect3D9>(new RecordingDirect3D9({adapter}, log));
    p = D3DPRESENT_PARAMETERS{};
    p.Windowed = 1;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x40, &p, device.put()), D3D_OK);
  }
  // A declaration of position and colour (16 bytes).
  ComPtr<IDirect3DVertexDeclaration9> colouredDeclaration() {
    const D3DVERTEXELEMENT9 e[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                   {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                   D3DDECL_END()};
    ComPtr<IDirect3DVertexDeclaration9> decl;
    EXPECT_EQ(device->CreateVertexDeclaration(e, decl.put()), D3D_OK);
    return decl;
  }
  template <typename T>
  void fill(IDirect3DIndexBuffer9* ib, std::initializer_list<T> values) {
    void* data = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, std::data(values), values.size() * sizeof(T));
    ib->Unlock();
  }

  std::shared_ptr<CallLog> log;
  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;
  D3DPRESENT_PARAMETERS p{};
};

TEST_F(GeometryRecording, BuffersCheckTheirCreationAndLockRanges) {
  ComPtr<IDirect3DVertexBuffer9> vb;
  EXPECT_EQ(device->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC, 0, D3DPOOL_MANAGED, vb.put(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, vb.put(), nullptr), D3DERR_INVALIDCALL);
  ASSERT_EQ(device->CreateVertexBuffer(64, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, vb.put(), nullptr), D3D_OK);
  D3DVERTEXBUFFER_DESC desc{};
  vb->GetDesc(&desc);
  EXPECT_EQ(desc.Size, 64u);
  EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
  void* data = nullptr;
  EXPECT_EQ(vb->Lock(60, 8, &data, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(vb->Lock(65, 0, &data, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(vb->Lock(56, 8, &data, 0), D3D_OK);
  EXPECT_EQ(vb->Unlock(), D3D_OK);
  EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);

  ComPtr<IDirect3DIndexBuffer9> ib;
  EXPECT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, ib.put(), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX32, D3DPOOL_MANAGED, ib.put(), nullptr), D3D_OK);
  // A device whose largest vertex index is 0xFFFF has no 32-bit indices.
  FakeAdapter small;
  small.caps.MaxVertexIndex = 0xFFFF;
  create(small);
  EXPECT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX32, D3DPOOL_MANAGED, ib.put(), nullptr), D3DERR_INVALIDCALL);
}

TEST_F(GeometryRecording, DefaultPoolBuffersBlockResetUntilReleasedAndManagedOnesDoNot) {
  ComPtr<IDirect3DVertexBuffer9> managed, dynamic;
  ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, managed.put(), nullptr), D3D_OK);
  ASSERT_EQ(
      device->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, dynamic.put(), nullptr),
      D3D_OK);
  // A bound buffer is held by the device too; unbinding is part of releasing it.
  device->SetStreamSource(0, dynamic.get(), 0, 16);
  device->SimulateDeviceLoss(true);
  device->SimulateDeviceLoss(false);
  EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
  device->SetStreamSource(0, nullptr, 0, 0);
  dynamic.reset();
  EXPECT_EQ(device->Reset(&p), D3D_OK);
  EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
  // A buffer that outlives its device is still safe to release.
  device.reset();
  ComPtr<IDirect3DVertexBuffer9> survivor = managed;
  managed.reset();
  void* data = nullptr;
  EXPECT_EQ(survivor->Lock(0, 0, &data, 0), D3D_OK);
  survivor->Unlock();
}

TEST_F(GeometryRecording, DeclarationsRefuseWhatCannotBeDrawn) {
  ComPtr<IDirect3DVertexDeclaration9> decl = colouredDeclaration();
  UINT count = 0;
  ASSERT_EQ(decl->GetDeclaration(nullptr, &count), D3D_OK);
  EXPECT_EQ(count, 3u);
  const D3DVERTEXELEMENT9 twice[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                     {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                     D3DDECL_END()};
  const D3DVERTEXELEMENT9 stream1[] = {{1, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
  const D3DVERTEXELEMENT9 badType[] = {{0, 0, 9, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
  ComPtr<IDirect3DVertexDeclaration9> refused;
  EXPECT_EQ(device->CreateVertexDeclaration(twice, refused.put()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateVertexDeclaration(stream1, refused.put()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateVertexDeclaration(badType, refused.put()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateVertexDeclaration(nullptr, refused.put()), D3DERR_INVALIDCALL);
}

TEST_F(GeometryRecording, IndexedDrawsAreRefusedWhenTheyWouldReadOutsideABuffer) {
  ComPtr<IDirect3DVertexDeclaration9> decl = colouredDeclaration();
  ComPtr<IDirect3DVertexBuffer9> vb;
  ComPtr<IDirect3DIndexBuffer9> ib;
  ASSERT_EQ(device->CreateVertexBuffer(16 * 4, 0, 0, D3DPOOL_MANAGED, vb.put(), nullptr), D3D_OK);
  ASSERT_EQ(device->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib.put(), nullptr), D3D_OK);
  fill<std::uint16_t>(ib.get(), {0, 1, 2, 2, 1, 3});
  // Nothing bound yet.
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
  device->SetVertexDeclaration(decl.get());
  device->SetStreamSource(0, vb.get(), 0, 16);
  device->SetIndices(ib.get());
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 1, 2), D3DERR_INVALIDCALL);  // past the indices
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2), D3DERR_INVALIDCALL);  // index 3 + 1
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1, 0, 4, 0, 2), D3DERR_INVALIDCALL);
  device->SetStreamSource(0, vb.get(), 0, 12);  // narrower than the declaration
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
  device->SetStreamSource(0, vb.get(), 0, 16);
  fill<std::uint16_t>(ib.get(), {0, 1, 2, 2, 1, 4});
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 5, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(log->count("DrawIndexedPrimitive(4, 0, 0, 4, 0, 2)"), 3);
  EXPECT_EQ(log->count("DrawIndexedPrimitive(4, 0, 0, 4, 0, 2) -> 0x8876086c"), 2);
  // Drawing from memory unbinds stream 0.
  const float vertices[3][4] = {};
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, 16), D3D_OK);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), D3DERR_INVALIDCALL);
}

TEST_F(GeometryRecording, LightsTakeAnyIndexWithEightEnabledAtMost) {
  BOOL enabled = 1;
  EXPECT_EQ(device->GetLightEnable(1000, &enabled), D3DERR_INVALIDCALL);
  ASSERT_EQ(device->LightEnable(1000, 1), D3D_OK);
  D3DLIGHT9 light{};
  ASSERT_EQ(device->GetLight(1000, &light), D3D_OK);
  EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
  EXPECT_EQ(light.Diffuse.r, 1.0f);
  EXPECT_EQ(light.Direction.z, 1.0f);
  for (DWORD i = 0; i < 7; ++i) ASSERT_EQ(device->LightEnable(i, 1), D3D_OK);
  EXPECT_EQ(device->LightEnable(7, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->LightEnable(3, 1), D3D_OK);  // already on
  device->LightEnable(3, 0);
  EXPECT_EQ(device->LightEnable(7, 1), D3D_OK);
  light.Type = 9;
  EXPECT_EQ(device->SetLight(2, &light), D3DERR_INVALIDCALL);
  // Reset forgets lights, like every other state.
  EXPECT_EQ(device->Reset(&p), D3D_OK);
  EXPECT_EQ(device->GetLightEnable(1000, &enabled), D3DERR_INVALIDCALL);
}

TEST_F(GeometryRecording, ProgramsAreKeyedOnStateThatChangesTheShaderOnly) {
  ComPtr<IDirect3DVertexDeclaration9> decl = colouredDeclaration();
  device->SetVertexDeclaration(decl.get());
  const float vertices[3][4] = {};
  auto draw = [&] { ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, 16), D3D_OK); };
  draw();
  draw();
  EXPECT_EQ(recordingProgramCount(device.get()), 1);
  // Values that reach uniforms compile nothing new.
  device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF102030);
  device->SetRenderState(D3DRS_ALPHAREF, 99);
  D3DMATRIX world = identityMatrix();
  world.m[3][0] = 4.0f;
  device->SetTransform(D3DTS_WORLD, &world);
  draw();
  EXPECT_EQ(recordingProgramCount(device.get()), 1);
  // A stage that reads a missing texture passes CURRENT on, whatever its
  // operation: no new program.
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
  draw();
  EXPECT_EQ(recordingProgramCount(device.get()), 1);
  // Stage operations, alpha test and light kinds do.
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  draw();
  device->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  draw();
  device->LightEnable(0, 1);
  draw();
  EXPECT_EQ(recordingProgramCount(device.get()), 4);
  // Stages after the first disabled one do not count.
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_ADD);
  draw();
  EXPECT_EQ(recordingProgramCount(device.get()), 4);
  // A volume texture needs another program than a plain one (3D lookups).
  ComPtr<IDirect3DTexture9> plain;
  ComPtr<IDirect3DVolumeTexture9> volume;
  ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, plain.put(), nullptr), D3D_OK);
  ASSERT_EQ(device->CreateVolumeTexture(2, 2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, volume.put(), nullptr),
            D3D_OK);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTexture(0, plain.get());
  draw();
  device->SetTexture(0, volume.get());
  draw();
  EXPECT_EQ(recordingProgramCount(device.get()), 6);
}

}  // namespace
