// The OpenGL device under Xvfb (Mesa's software renderer): real windows,
// real pixels read back.
#include <SDL.h>
#include <SDL_opengl.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "platform/graphics/d3d9.h"
#include "platform/graphics/gl_context.h"
#include "platform/system/system.h"
#include "platform/testing/textured_quad.h"
#include "platform/window/sdl_video.h"
#include "platform/window/window.h"
#include "tests/support/quiet_window.h"

// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

class GlDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetWindowSystem();
    window = openQuietWindow("GlDeviceTest", 64, 48);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    d3d = ComPtr<IDirect3D9>(Direct3DCreate9(31));
    ASSERT_TRUE(d3d) << "no OpenGL: run under xvfb-run";
  }
  void TearDown() override {
    device.reset();
    d3d.reset();
    resetWindowSystem();
  }

  D3DPRESENT_PARAMETERS windowedParameters(D3DFORMAT depth = D3DFMT_D24S8) {
    D3DPRESENT_PARAMETERS p = windowedPresentParameters(window, 0, 0, D3DFMT_A8R8G8B8);
    p.BackBufferCount = 2;
    p.EnableAutoDepthStencil = depth != 0;
    p.AutoDepthStencilFormat = depth;
    return p;
  }

  void createDevice(D3DPRESENT_PARAMETERS p) {
    parameters = p;
    ASSERT_EQ(createWindowedDevice(d3d.get(), &parameters, device.put()), D3D_OK);
  }

  std::vector<DWORD> readAll() {
    std::vector<DWORD> pixels(std::size_t{parameters.BackBufferWidth} * parameters.BackBufferHeight);
    EXPECT_EQ(device->ReadBackBuffer(0, 0, parameters.BackBufferWidth, parameters.BackBufferHeight, pixels.data()),
              D3D_OK);
    return pixels;
  }
  DWORD pixel(const std::vector<DWORD>& pixels, UINT x, UINT y) { return pixels[y * parameters.BackBufferWidth + x]; }

  // Lets the window get mapped, so that what Present shows can be read.
  static void pumpMessages() {
    MSG msg;
    for (int i = 0; i < 20; ++i) {
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      SDL_Delay(10);
    }
  }
  // What the screen shows at (x, y) of a window, as 0xRRGGBB, read from the
  // X server (what GL holds after a swap is not reliable for a full-screen
  // window).
  static DWORD shownPixel(HWND hwnd, int x, int y) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdlWindowOf(hwnd), &info) || info.subsystem != SDL_SYSWM_X11) return 0xDEADBEEF;
    ::Display* display = info.info.x11.display;
    XSync(display, 0);
    XImage* image = XGetImage(display, info.info.x11.window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xDEADBEEF;
    const unsigned long value = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return static_cast<DWORD>(value & 0xFFFFFF);
  }

  struct ColourVertex {
    float x, y, z;
    D3DCOLOR colour;
  };
  // A quad over the whole target at depth z (identity transforms).
  void drawQuad(float z, D3DCOLOR colour) {
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                          D3DDECL_END()};
    ComPtr<IDirect3DVertexDeclaration9> declaration;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, declaration.put()), D3D_OK);
    device->SetVertexDeclaration(declaration.get());
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const ColourVertex quad[4] = {{-1, 1, z, colour}, {1, 1, z, colour}, {-1, -1, z, colour}, {1, -1, z, colour}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColourVertex)), D3D_OK);
  }

  HWND window = nullptr;
  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;
  D3DPRESENT_PARAMETERS parameters{};
};

TEST_F(GlDeviceTest, AdaptersComeFromTheDisplaysWithHardwareTransformAndAX8R8G8B8Mode) {
  ASSERT_GE(d3d->GetAdapterCount(), 1u);
  D3DCAPS9 caps{};
  ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
  EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
  EXPECT_GE(caps.MaxSimultaneousTextures, 4u);
  EXPECT_EQ(caps.TextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL), 0u);
  ASSERT_GE(d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8), 1u);
  EXPECT_EQ(d3d->GetAdapterModeCount(0, D3DFMT_R5G6B5), 0u);
  D3DDISPLAYMODE mode{};
  EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, 0, &mode), D3D_OK);
  EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, 100000, &mode), D3DERR_INVALIDCALL);
  D3DADAPTER_IDENTIFIER9 id{};
  EXPECT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), D3D_OK);
  EXPECT_NE(id.Description[0], '\0');
  EXPECT_EQ(d3d->GetAdapterIdentifier(99, 0, &id), D3DERR_INVALIDCALL);
}

TEST_F(GlDeviceTest, FormatChecksFollowWhatGlCanHold) {
  auto check = [&](DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format) {
    return d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, usage, type, format);
  };
  EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, 0), D3D_OK);
  EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, 0), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3D_OK);
  EXPECT_EQ(check(0, D3DRTYPE_TEXTURE, D3DFMT_L8), D3D_OK);
  EXPECT_EQ(check(0, D3DRTYPE_TEXTURE, 41 /* P8 */), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3D_OK);
  EXPECT_EQ(check(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_L8), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24S8), D3D_OK);
  EXPECT_EQ(check(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D32), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(D3DUSAGE_DMAP, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3DERR_NOTAVAILABLE);
  // Mesa here has S3TC; DXT2/4 (premultiplied) are not offered.
  EXPECT_EQ(check(0, D3DRTYPE_TEXTURE, D3DFMT_DXT1), D3D_OK);
  EXPECT_EQ(check(0, D3DRTYPE_TEXTURE, D3DFMT_DXT2), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_D16), D3D_OK);
  EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, 1, D3DMULTISAMPLE_NONMASKABLE, nullptr),
            D3DERR_NOTAVAILABLE);
}

// Whatever the checks accept, the device makes: plain, render-target and
// volume textures of every format code; cube and depth textures are claimed
// neither by the checks nor by the caps, as none can be made.
TEST_F(GlDeviceTest, CapabilitiesClaimOnlyWhatTheDeviceCreates) {
  createDevice(windowedParameters());
  D3DCAPS9 caps{};
  ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
  EXPECT_EQ(caps.TextureCaps & D3DPTEXTURECAPS_CUBEMAP, 0u);
  EXPECT_TRUE(caps.TextureCaps & D3DPTEXTURECAPS_VOLUMEMAP);
  EXPECT_GE(caps.MaxVolumeExtent, 32u);
  auto ok = [&](DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format) {
    return d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, usage, type, format) == D3D_OK;
  };
  std::vector<D3DFORMAT> formats = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5};
  for (D3DFORMAT f = 1; f < 120; ++f) formats.push_back(f);
  ComPtr<IDirect3DSurface9> back;
  ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put()), D3D_OK);
  int plain = 0, targets = 0, volumes = 0;
  for (D3DFORMAT f : formats) {
    SCOPED_TRACE(f);
    EXPECT_FALSE(ok(0, D3DRTYPE_CUBETEXTURE, f));
    EXPECT_FALSE(ok(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_TEXTURE, f));
    if (ok(0, D3DRTYPE_TEXTURE, f)) {
      ComPtr<IDirect3DTexture9> t;
      EXPECT_EQ(device->CreateTexture(4, 4, 0, 0, f, D3DPOOL_MANAGED, t.put(), nullptr), D3D_OK);
      ++plain;
    }
    if (ok(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, f)) {
      ComPtr<IDirect3DTexture9> t;
      ComPtr<IDirect3DSurface9> level;
      ASSERT_EQ(device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, f, D3DPOOL_DEFAULT, t.put(), nullptr), D3D_OK);
      ASSERT_EQ(t->GetSurfaceLevel(0, level.put()), D3D_OK);
      EXPECT_EQ(device->SetRenderTarget(0, level.get()), D3D_OK);
      device->SetRenderTarget(0, back.get());
      ++targets;
    }
    if (ok(0, D3DRTYPE_VOLUMETEXTURE, f)) {
      ComPtr<IDirect3DVolumeTexture9> v;
      EXPECT_EQ(device->CreateVolumeTexture(4, 4, 4, 0, 0, f, D3DPOOL_MANAGED, v.put(), nullptr), D3D_OK);
      ++volumes;
    }
  }
  EXPECT_TRUE(ok(0, D3DRTYPE_VOLUMETEXTURE, D3DFMT_A8R8G8B8));
  EXPECT_GE(plain, 10);
  EXPECT_GE(targets, 4);
  EXPECT_GE(volumes, 10);
}

TEST_F(GlDeviceTest, WindowedDeviceTakesTheClientAreaAndClearsToTheExactColour) {
  createDevice(windowedParameters());
  EXPECT_EQ(parameters.BackBufferWidth, 64u);
  EXPECT_EQ(parameters.BackBufferHeight, 48u);
  // Opaque red, read back as written.
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFFFF0000, 1.0f, 0),
            D3D_OK);
  auto pixels = readAll();
  EXPECT_EQ(pixel(pixels, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(pixel(pixels, 63, 47), 0xFFFF0000u);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(GlDeviceTest, ClearStaysInsideTheViewportAndItsRectanglesAndIgnoresWriteMasks) {
  createDevice(windowedParameters());
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  // Viewport rows 8..23 from the top, columns 10..29.
  D3DVIEWPORT9 viewport{10, 8, 20, 16, 0.0f, 1.0f};
  ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);  // Clear must not care
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
  auto pixels = readAll();
  EXPECT_EQ(pixel(pixels, 10, 8), 0xFF00FF00u);   // top-left corner of the viewport
  EXPECT_EQ(pixel(pixels, 29, 23), 0xFF00FF00u);  // bottom-right corner
  EXPECT_EQ(pixel(pixels, 9, 8), 0xFF000000u);
  EXPECT_EQ(pixel(pixels, 10, 7), 0xFF000000u);
  EXPECT_EQ(pixel(pixels, 30, 23), 0xFF000000u);
  EXPECT_EQ(pixel(pixels, 29, 24), 0xFF000000u);

  // A rectangle reaching out of the viewport is cut to it.
  const D3DRECT rect{0, 0, 12, 10};
  ASSERT_EQ(device->Clear(1, &rect, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
  pixels = readAll();
  EXPECT_EQ(pixel(pixels, 10, 8), 0xFF0000FFu);
  EXPECT_EQ(pixel(pixels, 11, 9), 0xFF0000FFu);
  EXPECT_EQ(pixel(pixels, 12, 9), 0xFF00FF00u);
  EXPECT_EQ(pixel(pixels, 5, 5), 0xFF000000u);
  DWORD mask = 1;
  device->GetRenderState(D3DRS_COLORWRITEENABLE, &mask);
  EXPECT_EQ(mask, 0u);
}

TEST_F(GlDeviceTest, ClearOfMissingDepthOrStencilIsRefused) {
  createDevice(windowedParameters(D3DFMT_D24X8));
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  EXPECT_EQ(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  D3DVIEWPORT9 outside{60, 0, 10, 10, 0.0f, 1.0f};
  EXPECT_EQ(device->SetViewport(&outside), D3DERR_INVALIDCALL);
}

TEST_F(GlDeviceTest, PresentShowsTheBackBufferUprightInTheWindow) {
  createDevice(windowedParameters());
  // Top half red, bottom half blue, in Direct3D's top-down rows.
  const D3DRECT top{0, 0, 64, 24}, bottom{0, 24, 64, 48};
  device->Clear(1, &top, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
  device->Clear(1, &bottom, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  pumpMessages();  // the window must be mapped before its contents can be read
  ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

  // Read what went to the window with GL: its row 0 is the bottom of the
  // window. Mesa's software path keeps the presented image in the window's
  // back buffer after the swap (its front buffer reads as black under Xvfb).
  auto bind = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(SDL_GL_GetProcAddress("glBindFramebuffer"));
  ASSERT_NE(bind, nullptr);
  bind(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  DWORD low = 0, high = 0;
  glReadPixels(5, 2, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &low);
  glReadPixels(5, 45, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &high);
  EXPECT_EQ(low & 0xFFFFFF, 0x0000FFu) << "bottom of the window shows the bottom rows (blue)";
  EXPECT_EQ(high & 0xFFFFFF, 0xFF0000u) << "top of the window shows the top rows (red)";
}

TEST_F(GlDeviceTest, ResetChangesTheBackBufferSizeAndRestoresDefaults) {
  createDevice(windowedParameters());
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  D3DPRESENT_PARAMETERS p = windowedParameters();
  p.BackBufferWidth = 100;
  p.BackBufferHeight = 50;
  ASSERT_EQ(device->Reset(&p), D3D_OK);
  D3DPRESENT_PARAMETERS now{};
  device->GetPresentParameters(&now);
  EXPECT_EQ(now.BackBufferWidth, 100u);
  EXPECT_EQ(now.BackBufferHeight, 50u);
  D3DVIEWPORT9 viewport{};
  device->GetViewport(&viewport);
  EXPECT_EQ(viewport.Width, 100u);
  EXPECT_EQ(viewport.Height, 50u);
  DWORD value = 0;
  device->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, D3DCULL_CCW);
  device->GetRenderState(D3DRS_ZFUNC, &value);
  EXPECT_EQ(value, D3DCMP_LESSEQUAL);

  parameters = now;
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0);
  auto pixels = readAll();
  EXPECT_EQ(pixel(pixels, 99, 49), 0xFF123456u);
}

TEST_F(GlDeviceTest, HiddenWindowLosesTheDeviceAndShowingItAgainNeedsAReset) {
  createDevice(windowedParameters());
  EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
  ShowWindow(window, SW_HIDE);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  D3DPRESENT_PARAMETERS p = windowedParameters();
  EXPECT_EQ(device->Reset(&p), D3DERR_DEVICELOST);
  ShowWindow(window, SW_SHOW);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(device->Reset(&p), D3D_OK);
  EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
}

TEST_F(GlDeviceTest, DisplayChangeAsksForAReset) {
  createDevice(windowedParameters());
  SDL_Event e{};
  e.type = SDL_DISPLAYEVENT;
  e.display.event = SDL_DISPLAYEVENT_CONNECTED;
  ASSERT_EQ(SDL_PushEvent(&e), 1);
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  D3DPRESENT_PARAMETERS p = windowedParameters();
  EXPECT_EQ(device->Reset(&p), D3D_OK);
  EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
}

TEST_F(GlDeviceTest, FullScreenDeviceKeepsTheRequestedBackBufferSize) {
  D3DPRESENT_PARAMETERS p = windowedParameters();
  p.Windowed = 0;
  p.BackBufferWidth = 320;
  p.BackBufferHeight = 240;
  p.BackBufferFormat = D3DFMT_X8R8G8B8;
  createDevice(p);
  EXPECT_EQ(parameters.BackBufferWidth, 320u);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80FFFFFF, 1.0f, 0);
  auto pixels = readAll();
  EXPECT_EQ(pixel(pixels, 319, 239), 0xFFFFFFFFu) << "an X8R8G8B8 back buffer reads alpha as 1";
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  D3DPRESENT_PARAMETERS back = windowedParameters();
  ASSERT_EQ(device->Reset(&back), D3D_OK);
  EXPECT_TRUE(back.Windowed);
  D3DPRESENT_PARAMETERS bad = windowedParameters();
  bad.Windowed = 0;  // full screen needs a size
  EXPECT_EQ(device->Reset(&bad), D3DERR_INVALIDCALL);
}

TEST_F(GlDeviceTest, MultisampledBackBufferResolvesForReading) {
  DWORD levels = 0;
  if (FAILED(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, 1, 4, &levels)))
    GTEST_SKIP() << "no 4x multisampling here";
  D3DPRESENT_PARAMETERS p = windowedParameters();
  p.MultiSampleType = 4;
  createDevice(p);
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0), D3D_OK);
  auto pixels = readAll();
  EXPECT_EQ(pixel(pixels, 32, 24), 0xFF102030u);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(GlDeviceTest, GammaRampIsKeptWhetherOrNotTheDisplayTakesIt) {
  createDevice(windowedParameters());
  D3DGAMMARAMP ramp{};
  for (int i = 0; i < 256; ++i) ramp.red[i] = ramp.green[i] = ramp.blue[i] = static_cast<WORD>(i * 100);
  const HRESULT hr = device->SetGammaRamp(0, D3DSGR_CALIBRATE, &ramp);
  EXPECT_TRUE(hr == S_OK || hr == E_FAIL);
  D3DGAMMARAMP back{};
  device->GetGammaRamp(0, &back);
  EXPECT_EQ(back.green[200], 20000);
}

// A scene drawn into a texture keeps hidden-surface removal: the device's
// depth-stencil buffer stays bound when the render target changes. Both a
// target smaller than the back buffer (which shares the back buffer's depth
// buffer) and a larger one (which gets one of its own size) are drawn.
TEST_F(GlDeviceTest, ATextureTargetKeepsTheDepthBufferAndItsClears) {
  createDevice(windowedParameters());
  ComPtr<IDirect3DSurface9> back;
  ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put()), D3D_OK);
  const UINT sizes[][2] = {{32, 32}, {128, 96}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(size[0]);
    ComPtr<IDirect3DTexture9> target;
    ASSERT_EQ(device->CreateTexture(size[0], size[1], 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                    target.put(), nullptr),
              D3D_OK);
    ComPtr<IDirect3DSurface9> level;
    ASSERT_EQ(target->GetSurfaceLevel(0, level.put()), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, level.get()), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000, 1.0f, 0),
              D3D_OK);
    drawQuad(0.2f, 0xFFFF0000);  // near: red
    drawQuad(0.8f, 0xFF00FF00);  // far: green, hidden behind the red one
    // A depth cleared to 0 hides everything drawn after it.
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.0f, 0), D3D_OK);
    drawQuad(0.1f, 0xFF0000FF);
    ASSERT_EQ(device->SetRenderTarget(0, back.get()), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080, 1.0f, 0);
    ASSERT_EQ(drawTexturedQuadForTest(device.get(), target.get()), D3D_OK);
    auto pixels = readAll();
    EXPECT_EQ(pixel(pixels, 32, 24), 0xFFFF0000u) << "the near quad shows";
    EXPECT_EQ(pixel(pixels, 2, 2), 0xFFFF0000u);
  }
}

// A depth-stencil surface of one's own replaces the device's for the draws
// while it is bound (texture targets: see the scene's render-target test);
// none bound means no depth test; Reset waits for the caller to let go of
// both kinds and binds the device's own again.
TEST_F(GlDeviceTest, ADepthSurfaceOfItsOwnStandsInForTheDevicesUntilReset) {
  createDevice(windowedParameters());
  ComPtr<IDirect3DSurface9> deviceDepth, ownDepth;
  ASSERT_EQ(device->GetDepthStencilSurface(deviceDepth.put()), D3D_OK);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(deviceDepth->GetDesc(&desc), D3D_OK);
  EXPECT_EQ((std::array<UINT, 3>{desc.Format, desc.Width, desc.Height}), (std::array<UINT, 3>{D3DFMT_D24S8, 64, 48}));
  EXPECT_EQ(desc.Usage, D3DUSAGE_DEPTHSTENCIL);
  EXPECT_EQ(device->CreateDepthStencilSurface(64, 48, D3DFMT_D24S8, 4, 0, 1, ownDepth.put(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateDepthStencilSurface(64, 48, D3DFMT_A8R8G8B8, 0, 0, 1, ownDepth.put(), nullptr),
            D3DERR_INVALIDCALL);
  ASSERT_EQ(device->CreateDepthStencilSurface(64, 48, D3DFMT_D24X8, 0, 0, 1, ownDepth.put(), nullptr), D3D_OK);

  // The device's depth at 0 lets nothing through.
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 0.0f, 0), D3D_OK);
  ASSERT_EQ(device->SetDepthStencilSurface(ownDepth.get()), D3D_OK);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL) << "D24X8 has no stencil";
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  drawQuad(0.2f, 0xFFFF0000);
  drawQuad(0.8f, 0xFF00FF00);  // behind the red one in the surface of its own
  EXPECT_EQ(pixel(readAll(), 32, 24), 0xFFFF0000u);
  ASSERT_EQ(device->SetDepthStencilSurface(deviceDepth.get()), D3D_OK);
  drawQuad(0.1f, 0xFF0000FF);  // the device's depth, still 0, hides even the nearest
  EXPECT_EQ(pixel(readAll(), 32, 24), 0xFFFF0000u);

  ASSERT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK);
  ComPtr<IDirect3DSurface9> none;
  EXPECT_EQ(device->GetDepthStencilSurface(none.put()), D3DERR_NOTFOUND);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
  drawQuad(0.9f, 0xFF0000FF);  // no depth test at all
  EXPECT_EQ(pixel(readAll(), 32, 24), 0xFF0000FFu);

  D3DPRESENT_PARAMETERS p = windowedParameters();
  EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL) << "a surface of its own lives";
  ownDepth.reset();
  p = windowedParameters();
  EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL) << "the device's own is still held";
  deviceDepth.reset();
  p = windowedParameters();
  ASSERT_EQ(device->Reset(&p), D3D_OK);
  ASSERT_EQ(device->GetDepthStencilSurface(deviceDepth.put()), D3D_OK);
  ASSERT_EQ(deviceDepth->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Format, D3DFMT_D24S8);
}

// Lost until reset, on the GL backend: nothing reaches the back buffer and
// Present reports the loss; a refused Reset keeps it that way.
TEST_F(GlDeviceTest, WhileNeedingAResetNothingIsDrawnAndPresentReportsTheLoss) {
  createDevice(windowedParameters());
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  device->SimulateDeviceLoss(true);
  device->SimulateDeviceLoss(false);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
  drawQuad(0.5f, 0xFF00FF00);
  EXPECT_EQ(pixel(readAll(), 10, 10), 0xFF0000FFu);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);

  ComPtr<IDirect3DSurface9> back;
  ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put()), D3D_OK);
  D3DPRESENT_PARAMETERS p = windowedParameters();
  EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL) << "the caller still holds the back buffer";
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  back.reset();
  ASSERT_EQ(device->Reset(&p), D3D_OK);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
  EXPECT_EQ(pixel(readAll(), 10, 10), 0xFFFF0000u);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

// The GUI shares the context; an error it leaves behind is not ours.
TEST_F(GlDeviceTest, AnErrorLeftByAnotherUserOfTheContextFailsNothing) {
  std::vector<std::string> lines;
  setLogHook([&](const char* text) { lines.emplace_back(text); });
  createDevice(windowedParameters());
  glEnable(0xFFFF);  // GL_INVALID_ENUM, left pending
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF112233, 1.0f, 0);
  EXPECT_EQ(pixel(readAll(), 1, 1), 0xFF112233u);
  glEnable(0xFFFF);
  D3DPRESENT_PARAMETERS p = windowedParameters();
  EXPECT_EQ(device->Reset(&p), D3D_OK);
  setLogHook(nullptr);
#ifndef NDEBUG
  ASSERT_FALSE(lines.empty()) << "test builds report GL errors as they happen";
  EXPECT_EQ(lines[0].rfind("GL error: ", 0), 0u) << lines[0];
#endif
}

// A full-screen request that cannot be met (here a back buffer larger than
// GL can hold) changes neither the window nor the display mode.
TEST_F(GlDeviceTest, AFailedFullScreenRequestLeavesTheWindowAndModeAsTheyWere) {
  SDL_DisplayMode desktop{};
  ASSERT_EQ(SDL_GetCurrentDisplayMode(0, &desktop), 0);
  D3DPRESENT_PARAMETERS huge = windowedParameters();
  huge.Windowed = 0;
  huge.BackBufferFormat = D3DFMT_X8R8G8B8;
  huge.BackBufferWidth = huge.BackBufferHeight = 1u << 20;
  D3DPRESENT_PARAMETERS first = huge;
  EXPECT_NE(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &first, device.put()),
            D3D_OK);
  SDL_Window* sdl = nullptr;
  createDevice(windowedParameters());
  sdl = SDL_GL_GetCurrentWindow();
  ASSERT_NE(sdl, nullptr);
  EXPECT_EQ(SDL_GetWindowFlags(sdl) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP), 0u);
  EXPECT_NE(device->Reset(&huge), D3D_OK);
  EXPECT_EQ(SDL_GetWindowFlags(sdl) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP), 0u);
  int w = 0, h = 0;
  SDL_GetWindowSize(sdl, &w, &h);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);
  SDL_DisplayMode now{};
  ASSERT_EQ(SDL_GetCurrentDisplayMode(0, &now), 0);
  EXPECT_EQ(now.w, desktop.w);
  EXPECT_EQ(now.h, desktop.h);
  EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  D3DPRESENT_PARAMETERS p = windowedParameters();
  EXPECT_EQ(device->Reset(&p), D3D_OK);
}

// The ramp reaches the screen in full screen only, through Present; the back
// buffer itself never changes. Ramp: each channel inverted (255 - c).
TEST_F(GlDeviceTest, GammaRampShowsInFullScreenPresentsOnly) {
  D3DGAMMARAMP inverted{};
  for (int i = 0; i < 256; ++i)
    inverted.red[i] = inverted.green[i] = inverted.blue[i] = static_cast<WORD>(257 * (255 - i));
  std::vector<std::string> errors;
  setLogHook([&](const char* text) { errors.emplace_back(text); });
  for (const bool windowed : {true, false}) {
    SCOPED_TRACE(windowed ? "windowed" : "full screen");
    D3DPRESENT_PARAMETERS p = windowedParameters();
    if (!windowed) {
      p.Windowed = 0;
      p.BackBufferWidth = 320;
      p.BackBufferHeight = 240;
    }
    createDevice(p);
    pumpMessages();
    ASSERT_EQ(device->SetGammaRamp(0, D3DSGR_CALIBRATE, &inverted), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF406080, 1.0f, 0);
    // A window still being mapped shows black, and the windows of tests
    // running beside this one share the screen: raise ours and present
    // again until it shows the colour, for at most five seconds.
    const DWORD expected = windowed ? 0x406080u : 0xBF9F7Fu;
    DWORD shown = 0;
    for (int tries = 0; tries < 250 && shown != expected; ++tries) {
      SDL_RaiseWindow(sdlWindowOf(window));
      ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
      shown = shownPixel(window, 5, 5);
      if (shown != expected) SDL_Delay(20);
    }
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(pixel(readAll(), 5, 5), 0xFF406080u) << "the back buffer keeps its colours";
    D3DGAMMARAMP kept{};
    device->GetGammaRamp(0, &kept);
    EXPECT_EQ(kept.green[0], 65535);
    // Drawing after a present with the ramp works as before it.
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    drawQuad(0.5f, 0xFF00FF00);
    EXPECT_EQ(pixel(readAll(), 5, 5), 0xFF00FF00u);
    device.reset();
  }
  setLogHook(nullptr);
  EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST(Direct3DCreate9, RejectsUnknownSdkVersions) { EXPECT_EQ(Direct3DCreate9(7), nullptr); }

// v * m for a row vector.
std::array<float, 4> transform(const std::array<float, 4>& v, const D3DMATRIX& m) {
  std::array<float, 4> out{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) out[c] += v[r] * m.m[r][c];
  return out;
}

TEST(GlClipAdjustment, FlipsYShiftsHalfAPixelAndMapsDepth) {
  const D3DMATRIX m = glClipAdjustment(64, 32, false);
  // Direct3D's top-left corner at the near plane, w = 2.
  const auto topLeftNear = transform({-2.0f, 2.0f, 0.0f, 2.0f}, m);
  EXPECT_FLOAT_EQ(topLeftNear[1] / topLeftNear[3], -1.0f + (63.0f / 64.0f) / 32.0f);  // GL row 0 = top
  EXPECT_FLOAT_EQ(topLeftNear[0] / topLeftNear[3], -1.0f + (63.0f / 64.0f) / 64.0f);
  EXPECT_FLOAT_EQ(topLeftNear[2] / topLeftNear[3], -1.0f);  // depth 0 -> GL near
  const auto far = transform({0.0f, 0.0f, 2.0f, 2.0f}, m);
  EXPECT_FLOAT_EQ(far[2] / far[3], 1.0f);
  const D3DMATRIX clipped = glClipAdjustment(64, 32, true);
  EXPECT_FLOAT_EQ(transform({0.0f, 0.0f, 1.0f, 2.0f}, clipped)[2], 1.0f);  // depth kept when GL clips at 0
}

}  // namespace
