// The fixed-function stage on the OpenGL device under Xvfb: small scenes
// drawn through generated GLSL and read back. Each expected colour is worked
// out from Direct3D's formulas in the comment beside it.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/graphics/d3d9.h"
#include "platform/graphics/d3d9_gl_draw.h"
#include "platform/graphics/d3d9_state.h"
#include "platform/graphics/gl_draw_functions.h"
#include "platform/testing/textured_quad.h"
#include "platform/window/window.h"
#include "tests/support/quiet_window.h"

namespace {

struct Vertex {
  float x, y, z;
  float nx, ny, nz;
  D3DCOLOR diffuse;
  D3DCOLOR specular;
  float u, v;
};

const D3DVERTEXELEMENT9 kElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},  {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
    {0, 24, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},  {0, 28, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 1},
    {0, 32, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0}, D3DDECL_END()};

// Channel difference allowed for GL's rounding of interpolated colours.
bool near(DWORD actual, DWORD expected, int tolerance = 2) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int a = static_cast<int>((actual >> shift) & 0xFF), e = static_cast<int>((expected >> shift) & 0xFF);
    if (std::abs(a - e) > tolerance) return false;
  }
  return true;
}

class FixedFunctionPixels : public ::testing::Test {
 protected:
  void SetUp() override {
    resetWindowSystem();
    window = openQuietWindow("FixedFunctionPixels", 64, 48);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    d3d = ComPtr<IDirect3D9>(Direct3DCreate9(31));
    ASSERT_TRUE(d3d) << "no OpenGL: run under xvfb-run";
    D3DPRESENT_PARAMETERS p = windowedPresentParameters(window, 64, 48, D3DFMT_A8R8G8B8);
    ASSERT_EQ(createWindowedDevice(d3d.get(), &p, device.put()), D3D_OK);
    ASSERT_EQ(device->CreateVertexDeclaration(kElements, declaration.put()), D3D_OK);
    device->SetVertexDeclaration(declaration.get());
    device->SetRenderState(D3DRS_LIGHTING, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000, 1.0f, 0);
  }
  void TearDown() override {
    declaration.reset();
    device.reset();
    d3d.reset();
    resetWindowSystem();
  }

  // A quad over clip-space x0..x1, y0..y1 (identity transforms) at depth z.
  static std::vector<Vertex> quad(float x0, float y0, float x1, float y1, float z, D3DCOLOR diffuse,
                                  D3DCOLOR specular = 0) {
    return {{x0, y1, z, 0, 0, -1, diffuse, specular, 0, 0},
            {x1, y1, z, 0, 0, -1, diffuse, specular, 1, 0},
            {x0, y0, z, 0, 0, -1, diffuse, specular, 0, 1},
            {x1, y0, z, 0, 0, -1, diffuse, specular, 1, 1}};
  }
  void draw(const std::vector<Vertex>& vertices) {
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, static_cast<UINT>(vertices.size() - 2), vertices.data(),
                                      sizeof(Vertex)),
              D3D_OK);
  }
  void fullQuad(D3DCOLOR diffuse, D3DCOLOR specular = 0) { draw(quad(-1, -1, 1, 1, 0.5f, diffuse, specular)); }
  DWORD pixel(UINT x, UINT y) {
    DWORD argb = 0;
    EXPECT_EQ(device->ReadBackBuffer(x, y, 1, 1, &argb), D3D_OK);
    return argb;
  }
  void stage(DWORD s, DWORD type, DWORD value) { device->SetTextureStageState(s, type, value); }
  // A managed vertex buffer holding `vertices`.
  ComPtr<IDirect3DVertexBuffer9> vertexBuffer(const std::vector<Vertex>& vertices) {
    ComPtr<IDirect3DVertexBuffer9> vb;
    const auto bytes = static_cast<UINT>(vertices.size() * sizeof(Vertex));
    EXPECT_EQ(device->CreateVertexBuffer(bytes, 0, 0, D3DPOOL_MANAGED, vb.put(), nullptr), D3D_OK);
    void* data = nullptr;
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, vertices.data(), bytes);
    vb->Unlock();
    return vb;
  }
  // A one-level A8R8G8B8 texture of width x height texels, rows top first.
  ComPtr<IDirect3DTexture9> texture(UINT width, UINT height, std::initializer_list<D3DCOLOR> texels) {
    ComPtr<IDirect3DTexture9> t;
    EXPECT_EQ(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.put(), nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
    auto it = texels.begin();
    for (UINT y = 0; y < height; ++y)
      for (UINT x = 0; x < width; ++x)
        reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] = *it++;
    t->UnlockRect(0);
    return t;
  }

  HWND window = nullptr;
  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;
  ComPtr<IDirect3DVertexDeclaration9> declaration;
};

TEST_F(FixedFunctionPixels, UnlitVerticesDrawTheirDiffuseColourWhereTheyAre) {
  // Left half only: clip x -1..0 covers pixels 0..31.
  draw(quad(-1, -1, 0, 1, 0.5f, 0xFF20C040));
  EXPECT_EQ(pixel(5, 5), 0xFF20C040u);
  EXPECT_EQ(pixel(31, 40), 0xFF20C040u);
  EXPECT_EQ(pixel(32, 5), 0xFF000000u);
  // The top half in Direct3D's y-up clip space is the top of the image.
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  draw(quad(-1, 0, 1, 1, 0.5f, 0xFFFFFFFF));
  EXPECT_EQ(pixel(10, 2), 0xFFFFFFFFu);
  EXPECT_EQ(pixel(10, 30), 0xFF000000u);
}

TEST_F(FixedFunctionPixels, TextureFactorAndModulate2XCombineWithoutATexture) {
  // SELECTARG1 of TFACTOR: the factor itself.
  device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF336699);
  stage(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  fullQuad(0xFFFFFFFF);
  EXPECT_TRUE(near(pixel(10, 10), 0xFF336699u)) << std::hex << pixel(10, 10);
  // MODULATE2X of diffuse (0x40 = 0.251) and factor 0x80 (0.502): 2 x 0.126 = 0.252 -> 0x40; 0xC0 x 0x80 x 2
  // saturates at 0xC0 x 1.004 -> 0xC1, clamped channels stay at 1.
  device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF808080);
  stage(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  stage(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
  fullQuad(0xFF40C0FF);
  EXPECT_TRUE(near(pixel(10, 10), 0xFF40C1FFu)) << std::hex << pixel(10, 10);
  // COMPLEMENT on the factor: 1 - 0x80 = 0x7F, times 2 times diffuse.
  stage(0, D3DTSS_COLORARG1, D3DTA_TFACTOR | D3DTA_COMPLEMENT);
  fullQuad(0xFF404040);
  EXPECT_TRUE(near(pixel(10, 10), 0xFF3F3F3Fu)) << std::hex << pixel(10, 10);
}

TEST_F(FixedFunctionPixels, MultiplyAddWithSpecularAddsTheProduct) {
  // diffuse 0x40 + specular 0x80 x factor 0x80: 0.251 + 0.502 x 0.502 = 0.503 -> 0x80.
  device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF808080);
  stage(0, D3DTSS_COLOROP, D3DTOP_MULTIPLYADD);
  stage(0, D3DTSS_COLORARG0, D3DTA_CURRENT);
  stage(0, D3DTSS_COLORARG1, D3DTA_SPECULAR);
  stage(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
  fullQuad(0xFF404040, 0xFF8080FF);
  EXPECT_TRUE(near(pixel(10, 10), 0xFF8080C0u)) << std::hex << pixel(10, 10);
  // SPECULARENABLE adds the specular colour once more after the stages.
  device->SetRenderState(D3DRS_SPECULARENABLE, 1);
  stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  stage(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
  fullQuad(0xFF404040, 0xFF102030);
  EXPECT_TRUE(near(pixel(10, 10), 0xFF506070u)) << std::hex << pixel(10, 10);
}

TEST_F(FixedFunctionPixels, AlphaTestAtReference127KeepsOnlyGreaterAlpha) {
  device->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  device->SetRenderState(D3DRS_ALPHAREF, 127);
  stage(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  draw(quad(-1, -1, 0, 1, 0.5f, 0x7FFF0000));  // alpha 127: not greater
  draw(quad(0, -1, 1, 1, 0.5f, 0x80FF0000));   // alpha 128: drawn
  EXPECT_EQ(pixel(10, 10), 0xFF000000u);
  EXPECT_EQ(pixel(50, 10) & 0x00FFFFFF, 0x00FF0000u);
}

TEST_F(FixedFunctionPixels, SourceAlphaBlendingMixesWithTheTarget) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  stage(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  fullQuad(0x40FF0000);  // a = 0.251: red 0.251, blue 0.749
  EXPECT_TRUE(near(pixel(10, 10) & 0x00FFFFFF, 0x004000BFu)) << std::hex << pixel(10, 10);
}

TEST_F(FixedFunctionPixels, DirectionalLightShadesTheMaterial) {
  device->SetRenderState(D3DRS_LIGHTING, 1);
  device->SetRenderState(D3DRS_AMBIENT, 0xFF202020);
  D3DMATERIAL9 material{};
  material.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
  material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  device->SetMaterial(&material);
  device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
  // Travels along +z into the screen at 60 degrees from the normal (0, 0, -1): N.L = 0.5.
  light.Direction = {std::sqrt(3.0f) / 2.0f, 0.0f, 0.5f};
  ASSERT_EQ(device->SetLight(5, &light), D3D_OK);  // any index
  ASSERT_EQ(device->LightEnable(5, 1), D3D_OK);
  fullQuad(0xFF000000);
  // ambient 0x20/255 = 0.125 + diffuse x 0.5 x 0.5: red 0.375 -> 0x60, green 0.25 -> 0x40, blue 0.1875 -> 0x30.
  EXPECT_TRUE(near(pixel(10, 10), 0xFF604030u)) << std::hex << pixel(10, 10);
  // Facing away, only the ambient remains.
  device->LightEnable(5, 0);
  light.Direction = {0.0f, 0.0f, -1.0f};
  device->SetLight(2, &light);
  device->LightEnable(2, 1);
  fullQuad(0xFF000000);
  EXPECT_TRUE(near(pixel(10, 10), 0xFF202020u)) << std::hex << pixel(10, 10);
}

TEST_F(FixedFunctionPixels, LinearVertexFogBlendsTowardsTheFogColour) {
  device->SetRenderState(D3DRS_FOGENABLE, 1);
  device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
  device->SetRenderState(D3DRS_FOGCOLOR, 0xFF00FF00);
  device->SetRenderState(D3DRS_FOGSTART, floatBits(0.0f));
  device->SetRenderState(D3DRS_FOGEND, floatBits(1.0f));
  // Camera depth 0.25: f = 0.75 -> 0.75 x white + 0.25 x green.
  draw(quad(-1, -1, 1, 1, 0.25f, 0xFFFFFFFF));
  EXPECT_TRUE(near(pixel(10, 10), 0xFFBFFFBFu)) << std::hex << pixel(10, 10);
  // Table fog wins over vertex fog and is worked out per pixel; with an
  // orthographic projection it runs on device depth 0.75: f = 0.25.
  device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
  device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  draw(quad(-1, -1, 1, 1, 0.75f, 0xFFFFFFFF));
  EXPECT_TRUE(near(pixel(10, 10), 0xFF40FF40u)) << std::hex << pixel(10, 10);
}

TEST_F(FixedFunctionPixels, ClipPlaneInWorldSpaceCutsTheQuad) {
  // Keep x >= 0 in world space (identity transforms: the right half).
  const float plane[4] = {1.0f, 0.0f, 0.0f, 0.0f};
  ASSERT_EQ(device->SetClipPlane(0, plane), D3D_OK);
  device->SetRenderState(D3DRS_CLIPPLANEENABLE, D3DCLIPPLANE0);
  fullQuad(0xFFFFFFFF);
  EXPECT_EQ(pixel(10, 10), 0xFF000000u);
  EXPECT_EQ(pixel(50, 10), 0xFFFFFFFFu);
  // The plane is in world space: moving the world moves the cut.
  D3DMATRIX world = identityMatrix();
  world.m[3][0] = 0.5f;
  device->SetTransform(D3DTS_WORLD, &world);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  draw(quad(-1.5f, -1, 0.5f, 1, 0.5f, 0xFFFFFFFF));
  EXPECT_EQ(pixel(10, 10), 0xFF000000u);
  EXPECT_EQ(pixel(40, 10), 0xFFFFFFFFu);
}

TEST_F(FixedFunctionPixels, StencilIncrementAndDecrementWrap) {
  device->SetRenderState(D3DRS_STENCILENABLE, 1);
  // Decrement from 0 on the left half wraps to 255.
  device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
  draw(quad(-1, -1, 0, 1, 0.5f, 0xFFFFFFFF));
  // Increment twice on the right half: 2; the saturating one stays at 255 on the left.
  device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
  draw(quad(0, -1, 1, 1, 0.5f, 0xFFFFFFFF));
  draw(quad(0, -1, 1, 1, 0.5f, 0xFFFFFFFF));
  device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCRSAT);
  draw(quad(-1, -1, 0, 1, 0.5f, 0xFFFFFFFF));
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
  device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
  device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
  device->SetRenderState(D3DRS_STENCILREF, 255);
  fullQuad(0xFFFF0000);
  device->SetRenderState(D3DRS_STENCILREF, 2);
  fullQuad(0xFF00FF00);
  EXPECT_EQ(pixel(10, 10), 0xFFFF0000u);
  EXPECT_EQ(pixel(50, 10), 0xFF00FF00u);
  // Incrementing 255 wraps to 0.
  device->SetRenderState(D3DRS_STENCILREF, 255);
  device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
  draw(quad(-1, -1, 0, 1, 0.5f, 0xFFFFFFFF));
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
  device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
  device->SetRenderState(D3DRS_STENCILREF, 0);
  fullQuad(0xFF0000FF);
  EXPECT_EQ(pixel(10, 10), 0xFF0000FFu);
}

TEST_F(FixedFunctionPixels, IndexedDrawsReadSixteenAndThirtyTwoBitIndices) {
  const std::vector<Vertex> v = quad(-1, -1, 1, 1, 0.5f, 0xFF00FF00);
  ComPtr<IDirect3DVertexBuffer9> vb;
  ASSERT_EQ(device->CreateVertexBuffer(sizeof(Vertex) * 4, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, vb.put(), nullptr),
            D3D_OK);
  void* data = nullptr;
  ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
  std::memcpy(data, v.data(), sizeof(Vertex) * 4);
  vb->Unlock();
  for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    const UINT size = format == D3DFMT_INDEX32 ? 4 : 2;
    ComPtr<IDirect3DIndexBuffer9> ib;
    ASSERT_EQ(device->CreateIndexBuffer(6 * size, 0, format, D3DPOOL_MANAGED, ib.put(), nullptr), D3D_OK);
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
    const std::uint32_t indices[6] = {0, 1, 2, 2, 1, 3};
    for (int i = 0; i < 6; ++i) {
      if (size == 4)
        static_cast<std::uint32_t*>(data)[i] = indices[i];
      else
        static_cast<std::uint16_t*>(data)[i] = static_cast<std::uint16_t>(indices[i]);
    }
    ib->Unlock();
    device->SetStreamSource(0, vb.get(), 0, sizeof(Vertex));
    device->SetIndices(ib.get());
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(pixel(10, 10), 0xFF00FF00u);
    EXPECT_EQ(pixel(60, 44), 0xFF00FF00u);
  }
  // What a later lock writes reaches the next draw.
  std::vector<Vertex> red = quad(-1, -1, 1, 1, 0.5f, 0xFFFF0000);
  ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
  std::memcpy(data, red.data(), sizeof(Vertex) * 4);
  vb->Unlock();
  ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  EXPECT_EQ(pixel(10, 10), 0xFFFF0000u);
}

TEST_F(FixedFunctionPixels, Modulate2XOfTextureAndDiffuse) {
  ComPtr<IDirect3DTexture9> t = texture(2, 2, {0xFF406080, 0xFF406080, 0xFF406080, 0xFF406080});
  device->SetTexture(0, t.get());
  stage(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
  stage(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  stage(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  // 2 x texel x 0x80/255 = texel x 1.004.
  fullQuad(0xFF808080);
  EXPECT_TRUE(near(pixel(10, 10), 0xFF406080u)) << std::hex << pixel(10, 10);
  // The same stage with the texture unbound passes the diffuse colour on.
  device->SetTexture(0, nullptr);
  fullQuad(0xFF123456);
  EXPECT_EQ(pixel(10, 10), 0xFF123456u);
}

TEST_F(FixedFunctionPixels, BorderAddressingShowsTheBorderColourOutsideTheTexture) {
  ComPtr<IDirect3DTexture9> t = texture(1, 1, {0xFFFF0000});
  device->SetTexture(0, t.get());
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER);
  device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_BORDER);
  device->SetSamplerState(0, D3DSAMP_BORDERCOLOR, 0xFF00FF00);
  stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  // u and v run 0..2 across the quad: the top-left quarter is the texel.
  std::vector<Vertex> v = quad(-1, -1, 1, 1, 0.5f, 0xFFFFFFFF);
  for (Vertex& vertex : v) {
    vertex.u *= 2.0f;
    vertex.v *= 2.0f;
  }
  draw(v);
  EXPECT_EQ(pixel(10, 10), 0xFFFF0000u);
  EXPECT_EQ(pixel(50, 10), 0xFF00FF00u);
  EXPECT_EQ(pixel(10, 40), 0xFF00FF00u);
  // Wrapping repeats the texel instead.
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
  device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
  draw(v);
  EXPECT_EQ(pixel(50, 40), 0xFFFF0000u);
}

TEST_F(FixedFunctionPixels, CameraSpaceReflectionVectorPicksTheTexel) {
  // Left texel red, right texel green; u = 0.5 R.x + 0.3 R.z + 0.5.
  ComPtr<IDirect3DTexture9> t = texture(2, 1, {0xFFFF0000, 0xFF00FF00});
  device->SetTexture(0, t.get());
  stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  stage(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
  stage(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
  D3DMATRIX m{};
  m.m[0][0] = 0.5f;
  m.m[2][0] = 0.3f;
  m.m[3][0] = 0.5f;
  m.m[3][1] = 0.5f;
  m.m[3][3] = 1.0f;
  device->SetTransform(D3DTS_TEXTURE0, &m);
  // Local viewer: R = (I.x, I.y, -I.z) for I = normalize(P) off a surface
  // facing the camera. Pixel 10 (x -0.67): u about 0.03; pixel 54 (x 0.7): u about 0.7.
  fullQuad(0xFFFFFFFF);
  EXPECT_EQ(pixel(10, 24), 0xFFFF0000u);
  EXPECT_EQ(pixel(54, 24), 0xFF00FF00u);
  // A distant viewer reflects (0, 0, -1) everywhere: u = 0.2.
  device->SetRenderState(D3DRS_LOCALVIEWER, 0);
  fullQuad(0xFFFFFFFF);
  EXPECT_EQ(pixel(54, 24), 0xFFFF0000u);
}

TEST_F(FixedFunctionPixels, ProjectedCountThreeDividesByTheThirdCoordinate) {
  ComPtr<IDirect3DTexture9> t = texture(2, 1, {0xFFFF0000, 0xFF00FF00});
  device->SetTexture(0, t.get());
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  stage(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
  stage(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3 | D3DTTFF_PROJECTED);
  // (x, y, z) -> (x + 0.5 z, y, z): u = x / z + 0.5 with z = 0.5, so u = 2x + 0.5.
  D3DMATRIX m = identityMatrix();
  m.m[2][0] = 0.5f;
  device->SetTransform(D3DTS_TEXTURE0, &m);
  draw(quad(-1, -1, 1, 1, 0.5f, 0xFFFFFFFF));
  EXPECT_EQ(pixel(20, 24), 0xFFFF0000u);  // x -0.36: u -0.2, clamped
  EXPECT_EQ(pixel(40, 24), 0xFF00FF00u);  // x 0.27: u 1.05, clamped
}

// Samples that pass the depth test between BEGIN and END, one per pixel on
// this single-sampled back buffer: a quad over a quarter of the width and
// of the height covers 16 x 12 pixels; behind a nearer quad it covers none.
TEST_F(FixedFunctionPixels, OcclusionQueriesCountThePixelsThatPassTheDepthTest) {
  auto resultOf = [](IDirect3DQuery9* q) {
    DWORD samples = 0xFFFFFFFF;
    HRESULT hr = S_FALSE;
    for (int tries = 0; tries < 2000 && hr == S_FALSE; ++tries) {
      hr = q->GetData(&samples, sizeof samples, D3DGETDATA_FLUSH);
      if (hr == S_FALSE) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(hr, S_OK);
    return samples;
  };
  ComPtr<IDirect3DQuery9> open, hidden;
  ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, open.put()), D3D_OK);
  ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, hidden.put()), D3D_OK);
  ASSERT_EQ(open->Issue(D3DISSUE_BEGIN), D3D_OK);
  draw(quad(-1, 0.5f, -0.5f, 1, 0.5f, 0xFFFFFFFF));
  ASSERT_EQ(open->Issue(D3DISSUE_END), D3D_OK);
  EXPECT_EQ(resultOf(open.get()), 16u * 12u);

  draw(quad(0, -1, 1, 0, 0.2f, 0xFF0000FF));  // nearer, writes depth
  ASSERT_EQ(hidden->Issue(D3DISSUE_BEGIN), D3D_OK);
  draw(quad(0, -1, 1, 0, 0.5f, 0xFFFFFFFF));
  ASSERT_EQ(hidden->Issue(D3DISSUE_END), D3D_OK);
  EXPECT_EQ(resultOf(hidden.get()), 0u);
  EXPECT_EQ(pixel(48, 36), 0xFF0000FFu);
}

// A 32 x 32 x 32 A8R8G8B8 volume whose slices are black except slice 8
// (red) and slice 24 (green), and whose texel column x = 31 is blue: quads
// with a constant third coordinate show the slice it selects; the address
// mode of W decides where coordinates beyond 1 land.
TEST_F(FixedFunctionPixels, VolumeTexturesAreSampledWithThreeCoordinates) {
  ComPtr<IDirect3DVolumeTexture9> v;
  ASSERT_EQ(device->CreateVolumeTexture(32, 32, 32, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, v.put(), nullptr), D3D_OK);
  D3DLOCKED_BOX box{};
  ASSERT_EQ(v->LockBox(0, &box, nullptr, 0), D3D_OK);
  for (UINT z = 0; z < 32; ++z)
    for (UINT y = 0; y < 32; ++y)
      for (UINT x = 0; x < 32; ++x) {
        D3DCOLOR c = z == 8 ? 0xFFFF0000 : z == 24 ? 0xFF00FF00 : 0xFF000000;
        if (x == 31) c = 0xFF0000FF;
        reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(box.pBits) + z * box.SlicePitch + y * box.RowPitch)[x] = c;
      }
  ASSERT_EQ(v->UnlockBox(0), D3D_OK);

  struct VolumeVertex {
    float x, y, z, u, v, w;
  };
  const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                        {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                        D3DDECL_END()};
  ComPtr<IDirect3DVertexDeclaration9> volumeDeclaration;
  ASSERT_EQ(device->CreateVertexDeclaration(elements, volumeDeclaration.put()), D3D_OK);
  device->SetVertexDeclaration(volumeDeclaration.get());
  device->SetTexture(0, v.get());
  stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  auto drawSlice = [&](float w) {
    // u runs 0..1 across the back buffer, v 0..1 down it.
    const VolumeVertex q[4] = {
        {-1, 1, 0.5f, 0, 0, w}, {1, 1, 0.5f, 1, 0, w}, {-1, -1, 0.5f, 0, 1, w}, {1, -1, 0.5f, 1, 1, w}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(VolumeVertex)), D3D_OK);
  };
  drawSlice((8 + 0.5f) / 32);
  EXPECT_EQ(pixel(10, 10), 0xFFFF0000u);
  EXPECT_EQ(pixel(63, 40), 0xFF0000FFu);  // u near 1: column 31
  drawSlice((24 + 0.5f) / 32);
  EXPECT_EQ(pixel(10, 10), 0xFF00FF00u);
  drawSlice(0.5f);
  EXPECT_EQ(pixel(10, 10), 0xFF000000u);
  // Wrapping in W: 1 + 8.5/32 is slice 8 again; clamped, it is the last slice.
  drawSlice(1.0f + 8.5f / 32);
  EXPECT_EQ(pixel(10, 10), 0xFFFF0000u);
  device->SetSamplerState(0, D3DSAMP_ADDRESSW, D3DTADDRESS_CLAMP);
  drawSlice(1.0f + 8.5f / 32);
  EXPECT_EQ(pixel(10, 10), 0xFF000000u);
  // A texture transform swaps v and w: the slice now follows the row. Row 36
  // has v = 36.5 / 48, slice 24.3; row 12 has v = 12.5 / 48, slice 8.3.
  device->SetSamplerState(0, D3DSAMP_ADDRESSW, D3DTADDRESS_WRAP);
  D3DMATRIX swap{};
  swap.m[0][0] = swap.m[1][2] = swap.m[2][1] = swap.m[3][3] = 1.0f;
  device->SetTransform(D3DTS_TEXTURE0, &swap);
  stage(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);
  drawSlice(0.5f);
  EXPECT_EQ(pixel(10, 36), 0xFF00FF00u);
  EXPECT_EQ(pixel(10, 12), 0xFFFF0000u);
  EXPECT_EQ(pixel(10, 24), 0xFF000000u);
}

}  // namespace

// ---- The device keeps a copy of the GL state between draws ----
// Draws send only what differs from the draw before; these pin how little
// that is, and that nothing which changes GL behind the copy leaves it stale.

namespace {

// A lit, textured, fogged quad drawn from buffers: textures, materials and
// world matrices cycle as in a scene of many objects.
struct SceneLoop {
  IDirect3DDevice9* device;
  IDirect3DTexture9* textures[2];
  D3DMATERIAL9 materials[2];

  void draw(int i) {
    device->SetTexture(0, textures[i % 2]);
    device->SetMaterial(&materials[(i / 2) % 2]);
    D3DMATRIX world = identityMatrix();
    world.m[3][0] = 0.01f * static_cast<float>(i % 7);
    device->SetTransform(D3DTS_WORLD, &world);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  }
  // GL calls per draw over `count` draws after a warm-up.
  double callsPerDraw(int count) {
    for (int i = 0; i < 8; ++i) draw(i);
    const std::uint64_t before = glCallCount();
    for (int i = 0; i < count; ++i) draw(i);
    return static_cast<double>(glCallCount() - before) / count;
  }
};

}  // namespace

TEST_F(FixedFunctionPixels, SteadyStateDrawsSendOnlyWhatChanged) {
  setGlCallCounting(true);  // before the first draw loads the device's GL table
  ComPtr<IDirect3DTexture9> red = texture(1, 1, {0xFFFF0000}), blue = texture(1, 1, {0xFF0000FF});
  ComPtr<IDirect3DVertexBuffer9> vb = vertexBuffer(quad(-1, -1, 1, 1, 0.5f, 0xFFFFFFFF));
  ComPtr<IDirect3DIndexBuffer9> ib;
  ASSERT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib.put(), nullptr), D3D_OK);
  void* data = nullptr;
  ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
  const WORD indices[6] = {0, 1, 2, 2, 1, 3};
  std::memcpy(data, indices, sizeof indices);
  ib->Unlock();
  device->SetStreamSource(0, vb.get(), 0, sizeof(Vertex));
  device->SetIndices(ib.get());
  device->SetRenderState(D3DRS_LIGHTING, 1);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  light.Direction = {0.0f, 0.0f, 1.0f};
  device->SetLight(0, &light);
  device->LightEnable(0, 1);
  device->SetRenderState(D3DRS_FOGENABLE, 1);
  device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
  device->SetRenderState(D3DRS_FOGEND, floatBits(4.0f));
  SceneLoop loop{device.get(), {red.get(), blue.get()}, {}};
  loop.materials[0].Diffuse = loop.materials[0].Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  loop.materials[1].Diffuse = loop.materials[1].Ambient = {0.5f, 0.5f, 0.5f, 1.0f};

  // Each draw here changes the texture, the world matrix and (every other
  // draw) the material: a bind, the matrices and colours the program reads
  // (about 3.5 calls in all, where every value sent each draw made 78).
  const double shadowed = loop.callsPerDraw(40);
  EXPECT_LE(shadowed, 7.0);
  // A draw that repeats the one before sends the draw call and nothing else.
  const std::uint64_t before = glCallCount();
  ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
  EXPECT_EQ(glCallCount() - before, 1u);
  // The last draw is still right: the blue texel times the white vertex
  // colour (the diffuse source) in a full light, fogged towards black by
  // (4 - 0.5) / 4 = 0.875 -> 0xDF.
  EXPECT_TRUE(near(pixel(10, 10), 0xFF0000DFu)) << std::hex << pixel(10, 10);

  // Without the copy every value goes again and everything is unbound after.
  setGlStateShadowing(false);
  const double unshadowed = loop.callsPerDraw(8);
  setGlStateShadowing(true);
  setGlCallCounting(false);
  EXPECT_GT(unshadowed, 4 * shadowed) << shadowed << " " << unshadowed;
}

TEST_F(FixedFunctionPixels, BuffersAndTexturesMadeOrReleasedBetweenDrawsLeaveNoStaleBinding) {
  // A released buffer's GL name is unbound (and may come back for the next
  // buffer): the next buffer is bound as if new.
  const WORD indices[6] = {0, 1, 2, 2, 1, 3};
  ComPtr<IDirect3DIndexBuffer9> ib;
  ASSERT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib.put(), nullptr), D3D_OK);
  void* data = nullptr;
  ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
  std::memcpy(data, indices, sizeof indices);
  ib->Unlock();
  device->SetIndices(ib.get());
  for (D3DCOLOR colour : {0xFFFF0000u, 0xFF00FF00u}) {
    ComPtr<IDirect3DVertexBuffer9> vb = vertexBuffer(quad(-1, -1, 1, 1, 0.5f, colour));
    device->SetStreamSource(0, vb.get(), 0, sizeof(Vertex));
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(pixel(10, 10), colour);
    device->SetStreamSource(0, nullptr, 0, 0);
  }

  // Sending a new texture's texels binds it on whichever unit is active: the
  // next draw must bind its own texture there again.
  ComPtr<IDirect3DTexture9> red = texture(1, 1, {0xFFFF0000});
  device->SetTexture(0, red.get());
  stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  fullQuad(0xFFFFFFFF);
  EXPECT_EQ(pixel(10, 10), 0xFFFF0000u);
  ComPtr<IDirect3DTexture9> green = texture(1, 1, {0xFF00FF00});
  fullQuad(0xFFFFFFFF);
  EXPECT_EQ(pixel(10, 10), 0xFFFF0000u);
  // Released while bound, then a new one on the stage.
  device->SetTexture(0, nullptr);
  red.reset();
  device->SetTexture(0, green.get());
  fullQuad(0xFFFFFFFF);
  EXPECT_EQ(pixel(10, 10), 0xFF00FF00u);
}

TEST_F(FixedFunctionPixels, OthersGlCallsAndClearsBetweenDrawsAreFollowedByAResend) {
  // GL's own pipeline draws a texture between two device draws.
  ComPtr<IDirect3DTexture9> t = texture(1, 1, {0xFF00FF00});
  device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF336699);
  stage(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  stage(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  fullQuad(0xFFFFFFFF);
  ASSERT_EQ(drawTexturedQuadForTest(device.get(), t.get()), D3D_OK);
  EXPECT_EQ(pixel(10, 10), 0xFF00FF00u);
  fullQuad(0xFFFFFFFF);
  EXPECT_EQ(pixel(10, 10), 0xFF336699u);

  // Clear writes through every mask; the next draw keeps to red and alpha.
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0x9 /* red and alpha */);
  fullQuad(0xFFFFFFFF);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  fullQuad(0xFFFFFFFF);
  EXPECT_EQ(pixel(10, 10), 0xFF330000u);
}

TEST_F(FixedFunctionPixels, DrawsOnEitherSideOfARenderTargetSwitchUseTheirOwnViewport) {
  // The clip adjustment's half-pixel shift depends on the target's width: a
  // value kept from the 16-texel target, where the program first drew, would
  // move the back buffer's edge by two pixels.
  ComPtr<IDirect3DTexture9> target;
  ASSERT_EQ(
      device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, target.put(), nullptr),
      D3D_OK);
  ComPtr<IDirect3DSurface9> level, back;
  ASSERT_EQ(target->GetSurfaceLevel(0, level.put()), D3D_OK);
  ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put()), D3D_OK);
  ASSERT_EQ(device->SetRenderTarget(0, level.get()), D3D_OK);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  draw(quad(-1, -1, 0, 1, 0.5f, 0xFF00FF00));
  ASSERT_EQ(device->SetRenderTarget(0, back.get()), D3D_OK);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  draw(quad(-1, -1, 0, 1, 0.5f, 0xFF0000FF));
  EXPECT_EQ(pixel(31, 10), 0xFF0000FFu);
  EXPECT_EQ(pixel(32, 10), 0xFF000000u);
  // The target's left 8 texels, shown four pixels each: pixels 0..31.
  ASSERT_EQ(drawTexturedQuadForTest(device.get(), target.get()), D3D_OK);
  EXPECT_EQ(pixel(31, 10), 0xFF00FF00u);
  EXPECT_EQ(pixel(32, 10), 0xFF000000u);
}
