// The D3DX font on any device: FreeType renders every Latin-1 glyph of
// DejaVu Sans once, at creation, into one atlas texture; DrawText lays the
// lines out in whole pixels and draws one textured quad per glyph.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "platform/graphics/d3dx.h"

namespace {

constexpr const char* kRegularFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kBoldFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr unsigned kFirstChar = 32, kLastChar = 255;
constexpr UINT kAtlasWidth = 1024;
// Beyond this the glyphs would not fit any atlas we make.
constexpr int kMaxHeight = 256;

struct Glyph {
  int advance = 0;
  int left = 0, top = 0;  // bitmap offset from the pen and the baseline
  int width = 0, height = 0;
  int atlasX = 0, atlasY = 0;
};

// The states DrawText changes, put back afterwards.
constexpr D3DRENDERSTATETYPE kRenderStates[] = {
    D3DRS_ZENABLE,   D3DRS_ZWRITEENABLE,  D3DRS_ALPHATESTENABLE, D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,
    D3DRS_DESTBLEND, D3DRS_BLENDOP,       D3DRS_CULLMODE,        D3DRS_FILLMODE,         D3DRS_FOGENABLE,
    D3DRS_LIGHTING,  D3DRS_STENCILENABLE, D3DRS_CLIPPING,        D3DRS_SPECULARENABLE,   D3DRS_COLORWRITEENABLE};
constexpr D3DTEXTURESTAGESTATETYPE kStageStates[] = {
    D3DTSS_COLOROP,   D3DTSS_COLORARG1, D3DTSS_COLORARG2,     D3DTSS_ALPHAOP,
    D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2, D3DTSS_TEXCOORDINDEX, D3DTSS_TEXTURETRANSFORMFLAGS,
    D3DTSS_RESULTARG};
constexpr D3DSAMPLERSTATETYPE kSamplerStates[] = {D3DSAMP_ADDRESSU,  D3DSAMP_ADDRESSV,  D3DSAMP_MAGFILTER,
                                                  D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER, D3DSAMP_MAXMIPLEVEL};

struct FontVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
  float u, v;
};

const D3DVERTEXELEMENT9 kFontElements[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITIONT, 0},
                                           {0, 16, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                           {0, 20, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                           D3DDECL_END()};

class Font : public ID3DXFont {
 public:
  Font(IDirect3DDevice9* device, const D3DXFONT_DESCA& desc) : m_device(device), m_desc(desc) { device->AddRef(); }
  ~Font() override {
    if (m_face) FT_Done_Face(m_face);
    if (m_library) FT_Done_FreeType(m_library);
  }

  // Loads the face, renders the glyphs and fills the atlas.
  HRESULT build() {
    if (FT_Init_FreeType(&m_library) != 0) return E_FAIL;
    const char* path = m_desc.Weight >= 600 ? kBoldFace : kRegularFace;
    if (FT_New_Face(m_library, path, 0, &m_face) != 0) return D3DXERR_INVALIDDATA;
    // A positive height is the cell (ascent plus descent), a negative one
    // the em size, as GDI reads LOGFONT heights.
    const int cell = m_desc.Height == 0 ? 16 : m_desc.Height;
    const double units = m_face->ascender - m_face->descender;
    const double em = cell > 0 && units > 0 ? cell * m_face->units_per_EM / units : -cell;
    if (FT_Set_Char_Size(m_face, 0, static_cast<FT_F26Dot6>(em * 64.0 + 0.5), 72, 72) != 0) return E_FAIL;
    if (m_desc.Italic) {
      FT_Matrix shear{0x10000, 0x5800, 0, 0x10000};  // about 19 degrees
      FT_Set_Transform(m_face, &shear, nullptr);
    }
    const FT_Size_Metrics& metrics = m_face->size->metrics;
    m_ascent = static_cast<int>((metrics.ascender + 32) >> 6);
    m_lineHeight = cell > 0 ? cell : static_cast<int>((metrics.ascender - metrics.descender + 32) >> 6);

    const bool mono = m_desc.Quality == NONANTIALIASED_QUALITY;
    const FT_Int32 load = FT_LOAD_RENDER | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    std::vector<std::vector<std::uint8_t>> coverage(kLastChar - kFirstChar + 1);
    int x = 0, y = 0, rowHeight = 0;
    for (unsigned c = kFirstChar; c <= kLastChar; ++c) {
      Glyph& g = m_glyphs[c];
      if (FT_Load_Char(m_face, c, load) != 0) continue;
      const FT_GlyphSlot slot = m_face->glyph;
      const FT_Bitmap& b = slot->bitmap;
      g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
      g.left = slot->bitmap_left;
      g.top = slot->bitmap_top;
      g.width = static_cast<int>(b.width);
      g.height = static_cast<int>(b.rows);
      if (g.width > static_cast<int>(kAtlasWidth) - 2) return E_FAIL;
      if (x + g.width + 1 > static_cast<int>(kAtlasWidth)) {
        x = 0;
        y += rowHeight + 1;
        rowHeight = 0;
      }
      g.atlasX = x;
      g.atlasY = y;
      x += g.width + 1;
      rowHeight = std::max(rowHeight, g.height);
      auto& cov = coverage[c - kFirstChar];
      cov.resize(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height));
      for (int row = 0; row < g.height; ++row) {
        const unsigned char* src = b.buffer + static_cast<std::ptrdiff_t>(row) * b.pitch;
        for (int col = 0; col < g.width; ++col) {
          const bool monoBit = b.pixel_mode == FT_PIXEL_MODE_MONO;
          const std::uint8_t v = monoBit ? ((src[col >> 3] >> (7 - (col & 7))) & 1 ? 255 : 0) : src[col];
          cov[static_cast<std::size_t>(row * g.width + col)] = v;
        }
      }
    }
    UINT height = 1;
    while (height < static_cast<UINT>(y + rowHeight)) height <<= 1;
    m_atlasHeight = height;
    HRESULT hr =
        m_device->CreateTexture(kAtlasWidth, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, m_atlas.put(), nullptr);
    if (FAILED(hr)) return hr;
    D3DLOCKED_RECT locked{};
    if (FAILED(m_atlas->LockRect(0, &locked, nullptr, 0))) return D3DERR_INVALIDCALL;
    auto* bits = static_cast<std::uint8_t*>(locked.pBits);
    for (UINT row = 0; row < height; ++row)
      std::memset(bits + static_cast<std::size_t>(row) * static_cast<std::size_t>(locked.Pitch), 0, kAtlasWidth * 4);
    // White texels whose alpha is the coverage: the vertex colour tints them.
    for (unsigned c = kFirstChar; c <= kLastChar; ++c) {
      const Glyph& g = m_glyphs[c];
      const auto& cov = coverage[c - kFirstChar];
      for (int row = 0; row < g.height; ++row) {
        auto* texel = reinterpret_cast<std::uint32_t*>(bits + static_cast<std::size_t>(g.atlasY + row) *
                                                                  static_cast<std::size_t>(locked.Pitch));
        for (int col = 0; col < g.width; ++col)
          texel[g.atlasX + col] =
              0x00FFFFFFu | static_cast<std::uint32_t>(cov[static_cast<std::size_t>(row * g.width + col)]) << 24;
      }
    }
    m_atlas->UnlockRect(0);
    return m_device->CreateVertexDeclaration(kFontElements, m_declaration.put());
  }

  HRESULT GetDescA(D3DXFONT_DESCA* desc) override {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = m_desc;
    return D3D_OK;
  }

  HRESULT OnLostDevice() override {
    m_lost = true;
    return D3D_OK;
  }
  HRESULT OnResetDevice() override {
    m_lost = false;
    return D3D_OK;
  }

  int DrawTextA(ID3DXSprite* sprite, const char* text, int count, RECT* rect, DWORD format, D3DCOLOR color) override {
    if (sprite || !text || !rect) return 0;
    const std::size_t length = count < 0 ? std::strlen(text) : static_cast<std::size_t>(count);
    // Lines and their widths in pixels.
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < length && text[i] != '\0'; ++i) {
      const char c = text[i];
      if (!(format & DT_SINGLELINE) && (c == '\n' || c == '\r')) {
        if (c == '\r' && i + 1 < length && text[i + 1] == '\n') ++i;
        lines.emplace_back();
      } else {
        lines.back() += c;
      }
    }
    std::vector<int> widths;
    int widest = 0;
    for (const std::string& line : lines) {
      int w = 0;
      for (char c : line) w += glyph(c).advance;
      widths.push_back(w);
      widest = std::max(widest, w);
    }
    const int total = static_cast<int>(lines.size()) * m_lineHeight;
    if (format & DT_CALCRECT) {
      rect->right = rect->left + widest;
      rect->bottom = rect->top + total;
      return total;
    }
    int top = rect->top;
    if (format & DT_BOTTOM)
      top = rect->bottom - total;
    else if (format & DT_VCENTER)
      top = rect->top + (rect->bottom - rect->top - total) / 2;
    const int drawnHeight = (format & (DT_BOTTOM | DT_VCENTER)) ? top - rect->top + total : total;
    if (m_lost) return drawnHeight;

    std::vector<FontVertex> vertices;
    const bool clip = !(format & DT_NOCLIP);
    for (std::size_t l = 0; l < lines.size(); ++l) {
      int pen = rect->left;
      if (format & DT_RIGHT)
        pen = rect->right - widths[l];
      else if (format & DT_CENTER)
        pen = rect->left + (rect->right - rect->left - widths[l]) / 2;
      const int baseline = top + static_cast<int>(l) * m_lineHeight + m_ascent;
      for (char c : lines[l]) {
        const Glyph& g = glyph(c);
        addQuad(g, pen + g.left, baseline - g.top, color, clip ? rect : nullptr, &vertices);
        pen += g.advance;
      }
    }
    if (!vertices.empty()) draw(vertices);
    return drawnHeight;
  }

 private:
  const Glyph& glyph(char c) const { return m_glyphs[static_cast<unsigned char>(c)]; }

  // One glyph's two triangles with the top-left texel at pixel (x, y),
  // cut to `clip` when given.
  void addQuad(const Glyph& g, int x, int y, D3DCOLOR color, const RECT* clip, std::vector<FontVertex>* out) const {
    if (g.width == 0 || g.height == 0) return;
    int x0 = x, y0 = y, x1 = x + g.width, y1 = y + g.height;
    if (clip) {
      x0 = std::max<int>(x0, clip->left);
      y0 = std::max<int>(y0, clip->top);
      x1 = std::min<int>(x1, clip->right);
      y1 = std::min<int>(y1, clip->bottom);
      if (x1 <= x0 || y1 <= y0) return;
    }
    const float w = static_cast<float>(kAtlasWidth), h = static_cast<float>(m_atlasHeight);
    const float u0 = static_cast<float>(g.atlasX + x0 - x) / w, u1 = static_cast<float>(g.atlasX + x1 - x) / w;
    const float v0 = static_cast<float>(g.atlasY + y0 - y) / h, v1 = static_cast<float>(g.atlasY + y1 - y) / h;
    // Pixel i covers -0.5 .. 0.5 around i in Direct3D 9's screen space.
    const float sx0 = static_cast<float>(x0) - 0.5f, sx1 = static_cast<float>(x1) - 0.5f;
    const float sy0 = static_cast<float>(y0) - 0.5f, sy1 = static_cast<float>(y1) - 0.5f;
    const FontVertex a{sx0, sy0, 0.0f, 1.0f, color, u0, v0}, b{sx1, sy0, 0.0f, 1.0f, color, u1, v0};
    const FontVertex c{sx0, sy1, 0.0f, 1.0f, color, u0, v1}, d{sx1, sy1, 0.0f, 1.0f, color, u1, v1};
    out->insert(out->end(), {a, b, c, c, b, d});
  }

  void draw(const std::vector<FontVertex>& vertices) {
    IDirect3DDevice9& d = *m_device.get();
    std::array<DWORD, std::size(kRenderStates)> render{};
    std::array<DWORD, std::size(kStageStates)> stage0{};
    std::array<DWORD, std::size(kSamplerStates)> sampler{};
    DWORD stage1Color = 0, stage1Alpha = 0;
    for (std::size_t i = 0; i < render.size(); ++i) d.GetRenderState(kRenderStates[i], &render[i]);
    for (std::size_t i = 0; i < stage0.size(); ++i) d.GetTextureStageState(0, kStageStates[i], &stage0[i]);
    for (std::size_t i = 0; i < sampler.size(); ++i) d.GetSamplerState(0, kSamplerStates[i], &sampler[i]);
    d.GetTextureStageState(1, D3DTSS_COLOROP, &stage1Color);
    d.GetTextureStageState(1, D3DTSS_ALPHAOP, &stage1Alpha);
    ComPtr<IDirect3DBaseTexture9> texture;
    ComPtr<IDirect3DVertexDeclaration9> declaration;
    d.GetTexture(0, texture.put());
    d.GetVertexDeclaration(declaration.put());

    const DWORD states[][2] = {{D3DRS_ZENABLE, D3DZB_FALSE},
                               {D3DRS_ZWRITEENABLE, 0},
                               {D3DRS_ALPHATESTENABLE, 0},
                               {D3DRS_ALPHABLENDENABLE, 1},
                               {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                               {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
                               {D3DRS_BLENDOP, D3DBLENDOP_ADD},
                               {D3DRS_CULLMODE, D3DCULL_NONE},
                               {D3DRS_FILLMODE, D3DFILL_SOLID},
                               {D3DRS_FOGENABLE, 0},
                               {D3DRS_LIGHTING, 0},
                               {D3DRS_STENCILENABLE, 0},
                               {D3DRS_CLIPPING, 1},
                               {D3DRS_SPECULARENABLE, 0},
                               {D3DRS_COLORWRITEENABLE, 0xF}};
    for (const auto& s : states) d.SetRenderState(s[0], s[1]);
    const DWORD stages[][2] = {
        {D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG1, D3DTA_TEXTURE}, {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
        {D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
        {D3DTSS_TEXCOORDINDEX, 0},         {D3DTSS_TEXTURETRANSFORMFLAGS, 0}, {D3DTSS_RESULTARG, D3DTA_CURRENT}};
    for (const auto& s : stages) d.SetTextureStageState(0, s[0], s[1]);
    d.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    const DWORD samplers[][2] = {{D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP}, {D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP},
                                 {D3DSAMP_MAGFILTER, D3DTEXF_POINT},    {D3DSAMP_MINFILTER, D3DTEXF_POINT},
                                 {D3DSAMP_MIPFILTER, D3DTEXF_NONE},     {D3DSAMP_MAXMIPLEVEL, 0}};
    for (const auto& s : samplers) d.SetSamplerState(0, s[0], s[1]);
    d.SetTexture(0, m_atlas.get());
    d.SetVertexDeclaration(m_declaration.get());

    d.DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3), vertices.data(), sizeof(FontVertex));

    for (std::size_t i = 0; i < render.size(); ++i) d.SetRenderState(kRenderStates[i], render[i]);
    for (std::size_t i = 0; i < stage0.size(); ++i) d.SetTextureStageState(0, kStageStates[i], stage0[i]);
    for (std::size_t i = 0; i < sampler.size(); ++i) d.SetSamplerState(0, kSamplerStates[i], sampler[i]);
    d.SetTextureStageState(1, D3DTSS_COLOROP, stage1Color);
    d.SetTextureStageState(1, D3DTSS_ALPHAOP, stage1Alpha);
    d.SetTexture(0, texture.get());
    d.SetVertexDeclaration(declaration.get());
  }

  ComPtr<IDirect3DDevice9> m_device;
  D3DXFONT_DESCA m_desc;
  FT_Library m_library = nullptr;
  FT_Face m_face = nullptr;
  std::array<Glyph, 256> m_glyphs{};
  int m_ascent = 0, m_lineHeight = 0;
  UINT m_atlasHeight = 1;
  ComPtr<IDirect3DTexture9> m_atlas;
  ComPtr<IDirect3DVertexDeclaration9> m_declaration;
  bool m_lost = false;
};

}  // namespace

HRESULT D3DXCreateFontA(IDirect3DDevice9* device, int height, UINT width, UINT weight, UINT mipLevels, BOOL italic,
                        DWORD charSet, DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName,
                        ID3DXFont** font) {
  if (!device || !font) return D3DERR_INVALIDCALL;
  *font = nullptr;
  if (height > kMaxHeight || height < -kMaxHeight) return D3DERR_INVALIDCALL;
  D3DXFONT_DESCA desc{};
  desc.Height = height;
  desc.Width = width;
  desc.Weight = weight;
  desc.MipLevels = mipLevels;
  desc.Italic = italic;
  desc.CharSet = static_cast<BYTE>(charSet);
  desc.OutputPrecision = static_cast<BYTE>(outputPrecision);
  desc.Quality = static_cast<BYTE>(quality);
  desc.PitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (faceName) std::snprintf(desc.FaceName, sizeof desc.FaceName, "%s", faceName);
  ComPtr<Font> made(new Font(device, desc));
  const HRESULT hr = made->build();
  if (FAILED(hr)) return hr;
  *font = made.get();
  made->AddRef();
  return D3D_OK;
}
