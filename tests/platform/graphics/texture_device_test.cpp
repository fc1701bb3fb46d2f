// Textures on the device: levels, locks, pools, bindings and render targets
// (recorder), and uploads read back through a drawn quad (OpenGL under Xvfb).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/graphics/d3d9_recording.h"
#include "platform/graphics/d3dx.h"
#include "platform/testing/textured_quad.h"
#include "platform/window/window.h"
#include "tests/support/quiet_window.h"

namespace {

class TextureRecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log = std::make_shared<CallLog>();
    d3d = ComPtr<IDirect3D9>(new RecordingDirect3D9({FakeAdapter{}}, log));
    p.Windowed = 1;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x44, &p, device.put()), D3D_OK);
  }
  ComPtr<IDirect3DTexture9> make(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT f, D3DPOOL pool) {
    ComPtr<IDirect3DTexture9> t;
    EXPECT_EQ(device->CreateTexture(w, h, levels, usage, f, pool, t.put(), nullptr), D3D_OK);
    return t;
  }

  std::shared_ptr<CallLog> log;
  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;
  D3DPRESENT_PARAMETERS p{};
};

TEST_F(TextureRecordingTest, LevelsHalveDownToOneAndPitchFollowsTheFormat) {
  auto t = make(100, 20, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  ASSERT_EQ(t->GetLevelCount(), 7u);  // 100 -> 50 -> 25 -> 12 -> 6 -> 3 -> 1
  D3DSURFACE_DESC d{};
  t->GetLevelDesc(6, &d);
  EXPECT_EQ(d.Width, 1u);
  EXPECT_EQ(d.Height, 1u);
  t->GetLevelDesc(2, &d);
  EXPECT_EQ(d.Width, 25u);
  EXPECT_EQ(d.Height, 5u);
  D3DLOCKED_RECT r{};
  ASSERT_EQ(t->LockRect(2, &r, nullptr, 0), D3D_OK);
  EXPECT_EQ(r.Pitch, 100);
  EXPECT_EQ(t->LockRect(2, &r, nullptr, 0), D3DERR_INVALIDCALL);  // locked twice
  EXPECT_EQ(t->UnlockRect(2), D3D_OK);
  EXPECT_EQ(t->UnlockRect(2), D3DERR_INVALIDCALL);

  // DXT: rows of 4x4 blocks, sizes not multiples of 4 allowed.
  auto c = make(6, 6, 2, 0, D3DFMT_DXT5, D3DPOOL_MANAGED);
  ASSERT_EQ(c->LockRect(0, &r, nullptr, 0), D3D_OK);
  EXPECT_EQ(r.Pitch, 32);
  c->UnlockRect(0);
  RECT misaligned{1, 0, 4, 4};
  EXPECT_EQ(c->LockRect(0, &r, &misaligned, 0), D3DERR_INVALIDCALL);
}

TEST_F(TextureRecordingTest, RectLocksPointIntoTheLevelAndBadRequestsAreRefused) {
  auto t = make(8, 8, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED);
  D3DLOCKED_RECT whole{}, part{};
  ASSERT_EQ(t->LockRect(0, &whole, nullptr, 0), D3D_OK);
  t->UnlockRect(0);
  RECT rect{2, 3, 5, 8};
  ASSERT_EQ(t->LockRect(0, &part, &rect, 0), D3D_OK);
  EXPECT_EQ(static_cast<std::uint8_t*>(part.pBits) - static_cast<std::uint8_t*>(whole.pBits), 3 * 16 + 2 * 2);
  t->UnlockRect(0);
  RECT outside{0, 0, 9, 1};
  EXPECT_EQ(t->LockRect(0, &part, &outside, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(t->LockRect(1, &part, nullptr, 0), D3DERR_INVALIDCALL);

  ComPtr<IDirect3DTexture9> none;
  EXPECT_EQ(device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, none.put(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateTexture(4, 4, 4, 0, D3DFMT_D24S8, D3DPOOL_MANAGED, none.put(), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateTexture(8192, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, none.put(), nullptr),
            D3DERR_INVALIDCALL);  // beyond MaxTextureWidth
  EXPECT_EQ(device->CreateTexture(4, 4, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, none.put(), nullptr),
            D3DERR_INVALIDCALL);  // more levels than the chain has
  EXPECT_EQ(
      device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, none.put(), nullptr),
      D3DERR_INVALIDCALL);
  EXPECT_FALSE(none);
}

TEST_F(TextureRecordingTest, PoolsDecideLockingBindingAndReset) {
  auto scratch = make(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH);
  auto managed = make(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  EXPECT_EQ(device->SetTexture(0, scratch.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetTexture(0, managed.get()), D3D_OK);
  ComPtr<IDirect3DBaseTexture9> bound;
  ASSERT_EQ(device->GetTexture(0, bound.put()), D3D_OK);
  EXPECT_EQ(bound.get(), managed.get());

  {
    auto dynamic = make(4, 4, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    D3DLOCKED_RECT r{};
    EXPECT_EQ(dynamic->LockRect(0, &r, nullptr, D3DLOCK_DISCARD), D3D_OK);
    dynamic->UnlockRect(0);
    auto target = make(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
    EXPECT_EQ(target->LockRect(0, &r, nullptr, 0), D3DERR_INVALIDCALL);
    // Default-pool resources keep Reset from succeeding until released.
    D3DPRESENT_PARAMETERS again = p;
    EXPECT_NE(device->Reset(&again), D3D_OK);
  }
  D3DPRESENT_PARAMETERS again = p;
  EXPECT_EQ(device->Reset(&again), D3D_OK);
  // Reset unbinds; the managed texture lives on untouched.
  ASSERT_EQ(device->GetTexture(0, bound.put()), D3D_OK);
  EXPECT_FALSE(bound);
  EXPECT_EQ(managed->GetLevelCount(), 1u);
}

TEST_F(TextureRecordingTest, RenderTargetsSwitchBetweenBackBufferAndTextureWithTheViewport) {
  auto target = make(128, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
  ComPtr<IDirect3DSurface9> level, back, current;
  ASSERT_EQ(target->GetSurfaceLevel(0, level.put()), D3D_OK);
  ASSERT_EQ(device->SetRenderTarget(0, level.get()), D3D_OK);
  D3DVIEWPORT9 v{};
  device->GetViewport(&v);
  EXPECT_EQ(v.Width, 128u);
  EXPECT_EQ(v.Height, 64u);
  ASSERT_EQ(device->GetRenderTarget(0, current.put()), D3D_OK);
  EXPECT_EQ(current.get(), level.get());

  ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put()), D3D_OK);
  D3DSURFACE_DESC d{};
  back->GetDesc(&d);
  EXPECT_EQ(d.Width, p.BackBufferWidth);
  ASSERT_EQ(device->SetRenderTarget(0, back.get()), D3D_OK);
  device->GetViewport(&v);
  EXPECT_EQ(v.Width, p.BackBufferWidth);
  EXPECT_EQ(log->count("SetRenderTarget(0, back buffer 0)"), 1);
  EXPECT_EQ(device->GetBackBuffer(1, 0, D3DBACKBUFFER_TYPE_MONO, back.put()), D3DERR_INVALIDCALL);  // one head

  auto plain = make(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  ASSERT_EQ(plain->GetSurfaceLevel(0, level.put()), D3D_OK);
  EXPECT_EQ(device->SetRenderTarget(0, level.get()), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(TextureRecordingTest, SurfacesKeepTheirTextureAlive) {
  ComPtr<IDirect3DSurface9> level;
  {
    auto t = make(4, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    ASSERT_EQ(t->GetSurfaceLevel(1, level.put()), D3D_OK);
  }
  D3DSURFACE_DESC d{};
  ASSERT_EQ(level->GetDesc(&d), D3D_OK);
  EXPECT_EQ(d.Width, 2u);
  D3DLOCKED_RECT r{};
  EXPECT_EQ(level->LockRect(&r, nullptr, 0), D3D_OK);
  EXPECT_EQ(level->UnlockRect(), D3D_OK);
}

TEST_F(TextureRecordingTest, VolumeTexturesHalveEveryAxisAndLockByBoxes) {
  ComPtr<IDirect3DVolumeTexture9> v;
  ASSERT_EQ(device->CreateVolumeTexture(8, 4, 2, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, v.put(), nullptr), D3D_OK);
  ASSERT_EQ(v->GetLevelCount(), 4u);  // 8x4x2, 4x2x1, 2x1x1, 1x1x1
  D3DVOLUME_DESC d{};
  ASSERT_EQ(v->GetLevelDesc(1, &d), D3D_OK);
  EXPECT_EQ(d.Width * 100 + d.Height * 10 + d.Depth, 421u);
  D3DLOCKED_BOX whole{}, part{};
  ASSERT_EQ(v->LockBox(0, &whole, nullptr, 0), D3D_OK);
  EXPECT_EQ(whole.RowPitch, 32);
  EXPECT_EQ(whole.SlicePitch, 128);
  EXPECT_EQ(v->LockBox(0, &part, nullptr, 0), D3DERR_INVALIDCALL);  // locked twice
  v->UnlockBox(0);
  const D3DBOX box{2, 1, 5, 3, 1, 2};
  ASSERT_EQ(v->LockBox(0, &part, &box, 0), D3D_OK);
  EXPECT_EQ(static_cast<std::uint8_t*>(part.pBits) - static_cast<std::uint8_t*>(whole.pBits), 128 + 32 + 2 * 4);
  v->UnlockBox(0);
  const D3DBOX deep{0, 0, 1, 1, 1, 3};
  EXPECT_EQ(v->LockBox(0, &part, &deep, 0), D3DERR_INVALIDCALL);  // past the back
  EXPECT_EQ(device->SetTexture(0, v.get()), D3D_OK);

  ComPtr<IDirect3DVolumeTexture9> none;
  EXPECT_EQ(device->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, none.put(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateVolumeTexture(4, 4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, none.put(),
                                        nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateVolumeTexture(4, 4, 512, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, none.put(), nullptr),
            D3DERR_INVALIDCALL);  // beyond MaxVolumeExtent
  EXPECT_EQ(device->CreateVolumeTexture(4, 4, 4, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, none.put(), nullptr),
            D3DERR_INVALIDCALL);  // more levels than the chain has
  EXPECT_FALSE(none);
  // Without the capability nothing is made.
  FakeAdapter bare;
  bare.caps.TextureCaps = 0;
  ComPtr<IDirect3D9> other(new RecordingDirect3D9({bare}, log));
  ComPtr<IDirect3DDevice9> plain;
  D3DPRESENT_PARAMETERS q = p;
  ASSERT_EQ(other->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x44, &q, plain.put()), D3D_OK);
  EXPECT_EQ(plain->CreateVolumeTexture(4, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, none.put(), nullptr),
            D3DERR_NOTAVAILABLE);
}

// ---- OpenGL ----

class TextureGlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetWindowSystem();
    window = openQuietWindow("TextureGlTest", 32, 32);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    d3d = ComPtr<IDirect3D9>(Direct3DCreate9(31));
    ASSERT_TRUE(d3d) << "no OpenGL: run under xvfb-run";
    p.Windowed = 1;
    p.BackBufferFormat = D3DFMT_A8R8G8B8;
    p.BackBufferWidth = 32;
    p.BackBufferHeight = 32;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, device.put()),
              D3D_OK);
  }
  void TearDown() override {
    device.reset();
    d3d.reset();
    resetWindowSystem();
  }

  HWND window = nullptr;
  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;
  D3DPRESENT_PARAMETERS p{};
};

int channelDistance(DWORD a, DWORD b) {
  int worst = 0;
  for (int s = 0; s < 32; s += 8)
    worst = std::max(worst, std::abs(static_cast<int>(a >> s & 0xFF) - static_cast<int>(b >> s & 0xFF)));
  return worst;
}

// A 2x2 texture of four colours is drawn over the whole 32x32 back buffer;
// each quarter must show what the format holds for its texel, as our own
// decoder reads the bytes (an independent path from GL's format table).
TEST_F(TextureGlTest, EveryAdvertisedUncompressedFormatDrawsItsTexels) {
  const Texel colours[4] = {
      {1.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f, 1.0f}, {0.6f, 0.4f, 0.2f, 0.5f}};
  const D3DFORMAT formats[] = {D3DFMT_A8R8G8B8,    D3DFMT_X8R8G8B8,     D3DFMT_R5G6B5,       D3DFMT_X1R5G5B5,
                               D3DFMT_A1R5G5B5,    D3DFMT_A4R4G4B4,     D3DFMT_X4R4G4B4,     D3DFMT_A8,
                               D3DFMT_A2B10G10R10, D3DFMT_A8B8G8R8,     D3DFMT_X8B8G8R8,     D3DFMT_G16R16,
                               D3DFMT_A2R10G10B10, D3DFMT_A16B16G16R16, D3DFMT_L8,           D3DFMT_A8L8,
                               D3DFMT_L16,         D3DFMT_R16F,         D3DFMT_G16R16F,      D3DFMT_A16B16G16R16F,
                               D3DFMT_R32F,        D3DFMT_G32R32F,      D3DFMT_A32B32G32R32F};
  int drawn = 0;
  for (D3DFORMAT format : formats) {
    if (FAILED(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, format))) continue;
    SCOPED_TRACE(format);
    ComPtr<IDirect3DTexture9> t;
    ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, format, D3DPOOL_MANAGED, t.put(), nullptr), D3D_OK);
    D3DLOCKED_RECT r{};
    ASSERT_EQ(t->LockRect(0, &r, nullptr, 0), D3D_OK);
    ASSERT_TRUE(
        packTexels(format, colours, 2, 2, static_cast<std::uint8_t*>(r.pBits), static_cast<std::size_t>(r.Pitch)));
    Texel stored[4];
    ASSERT_TRUE(
        unpackTexels(format, static_cast<std::uint8_t*>(r.pBits), static_cast<std::size_t>(r.Pitch), 2, 2, stored));
    ASSERT_EQ(t->UnlockRect(0), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080, 1.0f, 0);
    ASSERT_EQ(drawTexturedQuadForTest(device.get(), t.get()), D3D_OK);
    std::vector<DWORD> pixels(32 * 32);
    ASSERT_EQ(device->ReadBackBuffer(0, 0, 32, 32, pixels.data()), D3D_OK);
    for (int k = 0; k < 4; ++k) {
      const Texel& s = stored[k];
      auto byte = [](float v) { return static_cast<DWORD>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
      const DWORD expected = byte(s.a) << 24 | byte(s.r) << 16 | byte(s.g) << 8 | byte(s.b);
      const DWORD got = pixels[(k / 2 * 16 + 8) * 32 + k % 2 * 16 + 8];
      EXPECT_LE(channelDistance(got, expected), 2)
          << "texel " << k << std::hex << " got " << got << " expected " << expected;
    }
    ++drawn;
  }
  EXPECT_GE(drawn, 10);
}

TEST_F(TextureGlTest, LockedChangesReachTheDeviceAndDxtFallsBackWhenNeeded) {
  ComPtr<IDirect3DTexture9> t;
  ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, t.put(), nullptr), D3D_OK);
  D3DLOCKED_RECT r{};
  ASSERT_EQ(t->LockRect(0, &r, nullptr, 0), D3D_OK);
  // One solid red block: c0 = c1 = 0xF800, indices 0.
  const std::uint8_t block[8] = {0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
  std::memcpy(r.pBits, block, 8);
  t->UnlockRect(0);
  ASSERT_EQ(drawTexturedQuadForTest(device.get(), t.get()), D3D_OK);
  DWORD centre = 0;
  ASSERT_EQ(device->ReadBackBuffer(16, 16, 1, 1, &centre), D3D_OK);
  EXPECT_EQ(centre, 0xFFFF0000u);
}

TEST_F(TextureGlTest, ARenderTargetTextureTakesClearsAndDrawsBack) {
  ComPtr<IDirect3DTexture9> target;
  ASSERT_EQ(
      device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, target.put(), nullptr),
      D3D_OK);
  ComPtr<IDirect3DSurface9> level, back;
  ASSERT_EQ(target->GetSurfaceLevel(0, level.put()), D3D_OK);
  ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put()), D3D_OK);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  ASSERT_EQ(device->SetRenderTarget(0, level.get()), D3D_OK);
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF20C040, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device->SetRenderTarget(0, back.get()), D3D_OK);
  DWORD centre = 0;
  ASSERT_EQ(device->ReadBackBuffer(16, 16, 1, 1, &centre), D3D_OK);
  EXPECT_EQ(centre, 0xFF000000u);  // the clear went to the texture only
  ASSERT_EQ(drawTexturedQuadForTest(device.get(), target.get()), D3D_OK);
  ASSERT_EQ(device->ReadBackBuffer(16, 16, 1, 1, &centre), D3D_OK);
  EXPECT_EQ(centre, 0xFF20C040u);
  // A default-pool target keeps Reset from succeeding until it is released.
  D3DPRESENT_PARAMETERS again = p;
  EXPECT_NE(device->Reset(&again), D3D_OK);
  level.reset();
  target.reset();
  back.reset();  // the back buffer is a default-pool surface too
  again = p;
  EXPECT_EQ(device->Reset(&again), D3D_OK);
}

// All 64 greens of R5G6B5 in an 8x8 texture, each texel over a 4x4 block of
// the back buffer: each must come back as the 6-bit value widened to 8 bits
// (a 5-bit GL store would be off by up to 5).
TEST_F(TextureGlTest, R5G6B5KeepsItsSixBitGreen) {
  ComPtr<IDirect3DTexture9> t;
  ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, t.put(), nullptr), D3D_OK);
  D3DLOCKED_RECT r{};
  ASSERT_EQ(t->LockRect(0, &r, nullptr, 0), D3D_OK);
  for (UINT g = 0; g < 64; ++g)
    reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(r.pBits) + g / 8 * r.Pitch)[g % 8] =
        static_cast<std::uint16_t>(g << 5);
  t->UnlockRect(0);
  ASSERT_EQ(drawTexturedQuadForTest(device.get(), t.get()), D3D_OK);
  std::vector<DWORD> pixels(32 * 32);
  ASSERT_EQ(device->ReadBackBuffer(0, 0, 32, 32, pixels.data()), D3D_OK);
  for (UINT g = 0; g < 64; ++g) {
    const int got = static_cast<int>(pixels[(g / 8 * 4 + 2) * 32 + g % 8 * 4 + 2] >> 8 & 0xFF);
    EXPECT_LE(std::abs(got - static_cast<int>(g << 2 | g >> 4)), 1) << "green " << g << " drew " << got;
  }
}

}  // namespace
