// The D3DX font: layout measured through DT_CALCRECT and the recorder (no
// GPU), then text drawn on the OpenGL device and found by its ink. Cell
// height 12 puts DejaVu Sans' baseline 10 pixels below a line's top
// (ascent 1901 of 2384 units x 12 = 9.6, rounded).
#include <gtest/gtest.h>

#include <vector>

#include "platform/graphics/d3d9_recording.h"
#include "platform/graphics/d3dx.h"
#include "platform/window/window.h"
#include "tests/support/quiet_window.h"

namespace {

ComPtr<ID3DXFont> sceneFont(IDirect3DDevice9* device) {
  ComPtr<ID3DXFont> font;
  EXPECT_EQ(D3DXCreateFontA(device, 12, 0, FW_NORMAL, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                            DEFAULT_PITCH, "Verdana", font.put()),
            D3D_OK);
  return font;
}

class FontRecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log = std::make_shared<CallLog>();
    d3d = ComPtr<IDirect3D9>(new RecordingDirect3D9({FakeAdapter{}}, log));
    D3DPRESENT_PARAMETERS p{};
    p.Windowed = 1;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x44, &p, device.put()), D3D_OK);
    font = sceneFont(device.get());
    ASSERT_TRUE(font);
  }
  RECT measure(const char* text, DWORD format = 0) {
    RECT r{10, 20, 10, 20};
    font->DrawTextA(nullptr, text, -1, &r, format | DT_CALCRECT, 0xFFFFFFFF);
    return r;
  }

  std::shared_ptr<CallLog> log;
  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;
  ComPtr<ID3DXFont> font;
};

TEST_F(FontRecordingTest, CalcRectMeasuresLinesOfTheCellHeight) {
  const RECT one = measure("H");
  EXPECT_EQ(one.left, 10);
  EXPECT_EQ(one.bottom - one.top, 12);
  EXPECT_GT(one.right - one.left, 4);
  const RECT two = measure("HH");
  EXPECT_EQ(two.right - two.left, 2 * (one.right - one.left));
  const RECT lines = measure("HH\r\nH\nH");
  EXPECT_EQ(lines.bottom - lines.top, 36);
  EXPECT_EQ(lines.right, two.right);  // the widest line
  EXPECT_EQ(measure("H\nH", DT_SINGLELINE).bottom - 20, 12);
  // Counted text stops at the count.
  RECT r{0, 0, 0, 0};
  EXPECT_EQ(font->DrawTextA(nullptr, "HHHH", 2, &r, DT_CALCRECT, 0), 12);
  EXPECT_EQ(r.right, two.right - 10);
  D3DXFONT_DESCA desc{};
  ASSERT_EQ(font->GetDescA(&desc), D3D_OK);
  EXPECT_EQ(desc.Height, 12);
  EXPECT_STREQ(desc.FaceName, "Verdana");
}

TEST_F(FontRecordingTest, DrawingLeavesTheDeviceStatesAsTheyWere) {
  ComPtr<IDirect3DTexture9> mine;
  ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, mine.put(), nullptr), D3D_OK);
  device->SetTexture(0, mine.get());
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  RECT r{0, 0, 100, 30};
  const int draws = log->count("DrawPrimitiveUP");
  EXPECT_EQ(font->DrawTextA(nullptr, "Lap 1/3", -1, &r, DT_LEFT | DT_TOP, 0xFFFFFFFF), 12);
  EXPECT_EQ(log->count("DrawPrimitiveUP"), draws + 1);  // one draw for the whole text
  DWORD v = 0;
  device->GetRenderState(D3DRS_ZENABLE, &v);
  EXPECT_EQ(v, DWORD{D3DZB_TRUE});
  device->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
  EXPECT_EQ(v, 0u);
  device->GetTextureStageState(0, D3DTSS_COLOROP, &v);
  EXPECT_EQ(v, DWORD{D3DTOP_ADD});
  device->GetSamplerState(0, D3DSAMP_MINFILTER, &v);
  EXPECT_EQ(v, DWORD{D3DTEXF_LINEAR});
  ComPtr<IDirect3DBaseTexture9> bound;
  device->GetTexture(0, bound.put());
  EXPECT_EQ(bound.get(), mine.get());
  ComPtr<IDirect3DVertexDeclaration9> declaration;
  device->GetVertexDeclaration(declaration.put());
  EXPECT_FALSE(declaration);

  // Between OnLostDevice and OnResetDevice nothing is drawn.
  font->OnLostDevice();
  EXPECT_EQ(font->DrawTextA(nullptr, "x", -1, &r, 0, 0xFFFFFFFF), 12);
  EXPECT_EQ(log->count("DrawPrimitiveUP"), draws + 1);
  font->OnResetDevice();
  font->DrawTextA(nullptr, "x", -1, &r, 0, 0xFFFFFFFF);
  EXPECT_EQ(log->count("DrawPrimitiveUP"), draws + 2);
}

TEST_F(FontRecordingTest, BadRequestsAreRefused) {
  RECT r{0, 0, 10, 10};
  EXPECT_EQ(font->DrawTextA(nullptr, nullptr, -1, &r, 0, 0), 0);
  EXPECT_EQ(font->DrawTextA(nullptr, "a", -1, nullptr, 0, 0), 0);
  EXPECT_EQ(font->DrawTextA(reinterpret_cast<ID3DXSprite*>(&r), "a", -1, &r, 0, 0), 0);
  ComPtr<ID3DXFont> none;
  EXPECT_EQ(D3DXCreateFontA(device.get(), 100000, 0, 400, 0, 0, 1, 0, 4, 0, "Verdana", none.put()), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateFontA(nullptr, 12, 0, 400, 0, 0, 1, 0, 4, 0, "Verdana", none.put()), D3DERR_INVALIDCALL);
  EXPECT_FALSE(none);
}

// ---- OpenGL ----

class FontGlTest : public ::testing::Test {
 protected:
  static constexpr UINT kWidth = 96, kHeight = 64;

  void SetUp() override {
    resetWindowSystem();
    window = openQuietWindow("FontGlTest", kWidth, kHeight);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    d3d = ComPtr<IDirect3D9>(Direct3DCreate9(31));
    ASSERT_TRUE(d3d) << "no OpenGL: run under xvfb-run";
    D3DPRESENT_PARAMETERS p{};
    p.Windowed = 1;
    p.BackBufferFormat = D3DFMT_A8R8G8B8;
    p.BackBufferWidth = kWidth;
    p.BackBufferHeight = kHeight;
    p.hDeviceWindow = window;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, device.put()),
              D3D_OK);
    font = sceneFont(device.get());
    ASSERT_TRUE(font);
  }
  void TearDown() override {
    font.reset();
    device.reset();
    d3d.reset();
    resetWindowSystem();
  }

  // Bounding box (right and bottom inclusive) of every non-black pixel after
  // drawing `text` on black; `full` counts pixels of exactly `colour`.
  struct Ink {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1, full = 0;
  };
  Ink draw(const char* text, RECT rect, DWORD format, D3DCOLOR colour = 0xFF20C040) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    font->DrawTextA(nullptr, text, -1, &rect, format, colour);
    std::vector<DWORD> pixels(kWidth * kHeight);
    EXPECT_EQ(device->ReadBackBuffer(0, 0, kWidth, kHeight, pixels.data()), D3D_OK);
    Ink ink;
    for (int y = 0; y < static_cast<int>(kHeight); ++y)
      for (int x = 0; x < static_cast<int>(kWidth); ++x) {
        const DWORD p = pixels[static_cast<std::size_t>(y) * kWidth + x];
        if ((p & 0xFFFFFF) == 0) continue;
        ink = {std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x), std::max(ink.bottom, y),
               ink.full + (p == colour)};
      }
    return ink;
  }

  HWND window = nullptr;
  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;
  ComPtr<ID3DXFont> font;
};

TEST_F(FontGlTest, CapitalsSitOnTheBaselineInTheirColour) {
  // Top-left: baseline at 8 + 10, so the H's lowest row is 17; its cap
  // height (1493 units of a 10.3-pixel em) is 7 or 8 rows.
  const Ink ink = draw("H", {6, 8, 90, 60}, DT_LEFT | DT_TOP);
  EXPECT_EQ(ink.bottom, 17);
  EXPECT_GE(ink.bottom - ink.top + 1, 7);
  EXPECT_LE(ink.bottom - ink.top + 1, 8);
  EXPECT_GE(ink.left, 6);
  EXPECT_LE(ink.left, 8);
  EXPECT_GE(ink.full, 4);  // hinting puts the crossbar on whole pixels
  // Bottom: the baseline two pixels above the rectangle's bottom (descent).
  EXPECT_EQ(draw("H", {6, 8, 90, 60}, DT_BOTTOM).bottom, 57);
  // Centred vertically: (52 - 12) / 2 = 20 below the top.
  EXPECT_EQ(draw("H", {6, 8, 90, 60}, DT_VCENTER).bottom, 8 + 20 + 9);
}

TEST_F(FontGlTest, HorizontalAlignmentAndClipping) {
  RECT measured{0, 0, 0, 0};
  font->DrawTextA(nullptr, "HIH", -1, &measured, DT_CALCRECT, 0);
  const int width = measured.right;
  const Ink left = draw("HIH", {10, 4, 80, 40}, DT_LEFT);
  const Ink right = draw("HIH", {10, 4, 80, 40}, DT_RIGHT);
  EXPECT_EQ(right.left - left.left, 80 - 10 - width);  // same ink, moved by the free space
  const Ink centre = draw("HIH", {10, 4, 80, 40}, DT_CENTER);
  EXPECT_EQ(centre.left - left.left, (80 - 10 - width) / 2);
  // A rectangle narrower than the text cuts it; DT_NOCLIP does not.
  const Ink cut = draw("HIHIHIH", {10, 4, 20, 9}, DT_LEFT);
  EXPECT_GE(cut.left, 10);
  EXPECT_LE(cut.right, 19);
  EXPECT_LE(cut.bottom, 8);
  const Ink whole = draw("HIHIHIH", {10, 4, 20, 9}, DT_LEFT | DT_NOCLIP);
  EXPECT_GT(whole.right, 19);
  EXPECT_GT(whole.bottom, 8);
}

}  // namespace
