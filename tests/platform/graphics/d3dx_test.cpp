// The D3DX stand-in: DXT blocks against known colours, ".dds" bytes pinned
// and round-tripped, conversion, resampling and box-filtered levels, and bad
// files refused.
#include "platform/graphics/d3dx.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/graphics/d3d9_recording.h"

namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::vector<std::uint32_t> decode(D3DFORMAT f, const std::vector<std::uint8_t>& blocks, UINT w, UINT h) {
  std::vector<std::uint32_t> out(std::size_t{w} * h);
  EXPECT_TRUE(decodeDxt(f, blocks.data(), blocks.size(), w, h, out.data()));
  return out;
}

TEST(DxtBlocks, FourAndThreeColourModesDecodeToTheirPalettes) {
  // c0 red > c1 blue: texels 0..3 pick codes 0, 1, 2, 3 along row 0.
  auto four = decode(D3DFMT_DXT1, {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0}, 4, 4);
  EXPECT_EQ(four[0], 0xFFFF0000u);
  EXPECT_EQ(four[1], 0xFF0000FFu);
  EXPECT_EQ(four[2], 0xFFAA0055u);  // (2*255 + 0 + 1) / 3 = 170, (0 + 255 + 1) / 3 = 85
  EXPECT_EQ(four[3], 0xFF5500AAu);
  EXPECT_EQ(four[4], 0xFFFF0000u);  // row 1 is all code 0
  // c0 blue <= c1 red: code 2 is the midpoint, code 3 transparent black.
  auto three = decode(D3DFMT_DXT1, {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0}, 4, 4);
  EXPECT_EQ(three[2], 0xFF7F007Fu);
  EXPECT_EQ(three[3], 0x00000000u);
}

TEST(DxtBlocks, ExplicitAndInterpolatedAlpha) {
  // DXT3: nibbles F, 8, 0, 1 for texels 0..3; colour block solid white.
  std::vector<std::uint8_t> dxt3 = {0x8F, 0x10, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
  auto a3 = decode(D3DFMT_DXT3, dxt3, 4, 4);
  EXPECT_EQ(a3[0], 0xFFFFFFFFu);
  EXPECT_EQ(a3[1] >> 24, 136u);
  EXPECT_EQ(a3[2] >> 24, 0u);
  EXPECT_EQ(a3[3] >> 24, 17u);
  // DXT3's colour block is always four-colour, even with c0 <= c1.
  std::vector<std::uint8_t> lowFirst = {0, 0, 0, 0, 0, 0, 0, 0, 0x1F, 0x00, 0x00, 0xF8, 0x03, 0, 0, 0};
  EXPECT_EQ(decode(D3DFMT_DXT3, lowFirst, 4, 4)[0] & 0xFFFFFF, 0xAA0055u);  // (c0 + 2 c1) / 3, not transparent
  // DXT5: a0 255 > a1 0; texel 0 code 0, texel 1 code 2 = (6*255 + 3) / 7.
  std::vector<std::uint8_t> dxt5 = {255, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  auto a5 = decode(D3DFMT_DXT5, dxt5, 4, 4);
  EXPECT_EQ(a5[0] >> 24, 255u);
  EXPECT_EQ(a5[1] >> 24, 219u);
  // a0 <= a1: codes 6 and 7 are 0 and 255.
  std::vector<std::uint8_t> six = {10, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  six[2] = static_cast<std::uint8_t>(6 | 7 << 3);
  auto a6 = decode(D3DFMT_DXT5, six, 4, 4);
  EXPECT_EQ(a6[0] >> 24, 0u);
  EXPECT_EQ(a6[1] >> 24, 255u);
  // Too few bytes for the level: refused.
  std::uint32_t sink[64];
  EXPECT_FALSE(decodeDxt(D3DFMT_DXT1, dxt5.data(), 8, 8, 8, sink));
}

TEST(DxtBlocks, EncoderKeepsSolidColoursAndTheModesDecodersNeed) {
  std::vector<std::uint32_t> texels(8 * 4, 0xFF00FF00u);
  for (int i = 4; i < 8; ++i) texels[i] = 0xFFFF0000u;  // block 1 differs
  texels[5] = 0x10FF0000u;
  std::vector<std::uint8_t> dxt1(16), dxt5(32);
  ASSERT_TRUE(encodeDxt(D3DFMT_DXT1, texels.data(), 8, 4, dxt1.data()));
  ASSERT_TRUE(encodeDxt(D3DFMT_DXT5, texels.data(), 8, 4, dxt5.data()));
  auto back1 = decode(D3DFMT_DXT1, dxt1, 8, 4);
  EXPECT_EQ(back1[0], 0xFF00FF00u);
  EXPECT_EQ(back1[5], 0u);  // alpha below 128 becomes DXT1's transparent texel
  EXPECT_EQ(back1[4], 0xFFFF0000u);
  auto back5 = decode(D3DFMT_DXT5, dxt5, 8, 4);
  EXPECT_EQ(back5[0], 0xFF00FF00u);
  EXPECT_EQ(back5[5], 0x10FF0000u);
  // Every DXT5 colour block has c0 > c1, or is solid with indices 0.
  for (int b = 0; b < 2; ++b) {
    const std::uint8_t* c = dxt5.data() + 16 * b + 8;
    const int c0 = c[0] | c[1] << 8, c1 = c[2] | c[3] << 8;
    EXPECT_TRUE(c0 > c1 || (c0 == c1 && c[4] == 0 && c[5] == 0 && c[6] == 0 && c[7] == 0));
  }
}

TEST(Texels, NaNAndInfinitePacksClampInsteadOfReachingTheIntegerCast) {
  // A float picture's NaN texel packs as 0, infinities as the channel's ends.
  const Texel in[2] = {{NAN, 0.5f, INFINITY, NAN}, {-INFINITY, NAN, 1.0f, 1.0f}};
  std::uint8_t argb[8] = {};
  ASSERT_TRUE(packTexels(D3DFMT_A8R8G8B8, in, 2, 1, argb, sizeof argb));
  const std::uint8_t expected[8] = {0xFF, 0x80, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF};  // B, G, R, A each
  EXPECT_EQ(std::vector<std::uint8_t>(argb, argb + 8), std::vector<std::uint8_t>(expected, expected + 8));
  std::uint8_t r5g6b5[4] = {};
  ASSERT_TRUE(packTexels(D3DFMT_R5G6B5, in, 2, 1, r5g6b5, sizeof r5g6b5));
  EXPECT_EQ(r5g6b5[0] | r5g6b5[1] << 8, 0x041F);  // red 0, green 32 of 63, blue 31
}

TEST(DdsFile, HeaderFieldsArePinned) {
  DdsImage image;
  image.width = 4;
  image.height = 2;
  image.format = D3DFMT_A8R8G8B8;
  image.levels = {std::vector<std::uint8_t>(32, 7), std::vector<std::uint8_t>(8, 9), std::vector<std::uint8_t>(4, 1)};
  const auto bytes = writeDds(image);
  ASSERT_EQ(bytes.size(), 128u + 44u);
  EXPECT_EQ(le32(bytes, 0), 0x20534444u);
  EXPECT_EQ(le32(bytes, 4), 124u);
  EXPECT_EQ(le32(bytes, 8), 0x1u | 0x2 | 0x4 | 0x8 | 0x1000 | 0x20000);
  EXPECT_EQ(le32(bytes, 12), 2u);
  EXPECT_EQ(le32(bytes, 16), 4u);
  EXPECT_EQ(le32(bytes, 20), 16u);  // pitch
  EXPECT_EQ(le32(bytes, 28), 3u);
  EXPECT_EQ(le32(bytes, 80), 0x41u);
  EXPECT_EQ(le32(bytes, 88), 32u);
  EXPECT_EQ(le32(bytes, 92), 0xFF0000u);
  EXPECT_EQ(le32(bytes, 104), 0xFF000000u);
  EXPECT_EQ(le32(bytes, 108), 0x1000u | 0x8 | 0x400000);
  EXPECT_EQ(bytes[128], 7);

  DdsImage dxt;
  dxt.width = dxt.height = 8;
  dxt.format = D3DFMT_DXT1;
  dxt.levels = {std::vector<std::uint8_t>(32, 0)};
  const auto c = writeDds(dxt);
  EXPECT_EQ(le32(c, 8), 0x1u | 0x2 | 0x4 | 0x1000 | 0x80000);
  EXPECT_EQ(le32(c, 20), 32u);  // linear size
  EXPECT_EQ(le32(c, 80), 0x4u);
  EXPECT_EQ(le32(c, 84), D3DFMT_DXT1);
  EXPECT_EQ(le32(c, 108), 0x1000u);
}

TEST(DdsFile, BadFilesAreRefusedAndShortChainsKeepTheirCompleteLevels) {
  DdsImage image;
  image.width = image.height = 4;
  image.format = D3DFMT_R5G6B5;
  image.levels = {std::vector<std::uint8_t>(32, 1), std::vector<std::uint8_t>(8, 2), std::vector<std::uint8_t>(2, 3)};
  auto good = writeDds(image);
  DdsImage read;
  std::string why;
  ASSERT_TRUE(parseDds(good.data(), good.size(), &read, &why)) << why;
  EXPECT_EQ(read.format, D3DFMT_R5G6B5);
  EXPECT_EQ(read.levels.size(), 3u);

  auto cut = good;
  cut.resize(128 + 32 + 4);  // level 1 incomplete
  ASSERT_TRUE(parseDds(cut.data(), cut.size(), &read, &why));
  EXPECT_EQ(read.levels.size(), 1u);
  cut.resize(128 + 31);
  EXPECT_FALSE(parseDds(cut.data(), cut.size(), &read, &why));

  auto mutate = [&](std::size_t at, std::uint32_t v) {
    auto b = good;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return parseDds(b.data(), b.size(), &read, &why);
  };
  EXPECT_FALSE(mutate(0, 0x12345678));   // magic
  EXPECT_FALSE(mutate(4, 100));          // header size
  EXPECT_FALSE(mutate(16, 0));           // width 0
  EXPECT_FALSE(mutate(12, 0x7FFFFFFF));  // height absurd
  EXPECT_FALSE(mutate(112, 0x200));      // cube map
  EXPECT_FALSE(mutate(88, 12));          // no format has 12 bits
  EXPECT_TRUE(mutate(28, 1000));         // level count beyond the chain is capped
  EXPECT_EQ(read.levels.size(), 3u);
  EXPECT_FALSE(parseDds(good.data(), 127, &read, &why));
}

class D3dxDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d = ComPtr<IDirect3D9>(new RecordingDirect3D9({FakeAdapter{}}, nullptr));
    D3DPRESENT_PARAMETERS p{};
    p.Windowed = 1;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x44, &p, device.put()), D3D_OK);
  }
  ComPtr<IDirect3DTexture9> argbTexture(UINT w, UINT h, UINT levels, std::uint32_t (*pixel)(UINT, UINT)) {
    ComPtr<IDirect3DTexture9> t;
    EXPECT_EQ(device->CreateTexture(w, h, levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.put(), nullptr), D3D_OK);
    D3DLOCKED_RECT r{};
    t->LockRect(0, &r, nullptr, 0);
    for (UINT y = 0; y < h; ++y)
      for (UINT x = 0; x < w; ++x)
        reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(r.pBits) + y * r.Pitch)[x] = pixel(x, y);
    t->UnlockRect(0);
    return t;
  }
  static std::uint32_t texel(IDirect3DTexture9* t, UINT level, UINT x, UINT y) {
    D3DLOCKED_RECT r{};
    t->LockRect(level, &r, nullptr, D3DLOCK_READONLY);
    const std::uint32_t v = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(r.pBits) + y * r.Pitch)[x];
    t->UnlockRect(level);
    return v;
  }

  ComPtr<IDirect3D9> d3d;
  ComPtr<IDirect3DDevice9> device;
};

TEST_F(D3dxDeviceTest, SavedDdsLoadsBackWithEqualTexelsOnEveryLevel) {
  auto t = argbTexture(8, 4, 0, [](UINT x, UINT y) { return 0x80000000u | x * 0x1F0000u | y * 0x3F00u | 0x11u; });
  ASSERT_EQ(D3DXFilterTexture(t.get(), nullptr, 0, D3DX_DEFAULT), D3D_OK);
  const std::string path = ::testing::TempDir() + "d3dx_roundtrip_" + std::to_string(::getpid()) + ".dds";
  ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, t.get(), nullptr), D3D_OK);
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  D3DXIMAGE_INFO info{};
  ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(bytes.data(), static_cast<UINT>(bytes.size()), &info), D3D_OK);
  EXPECT_EQ(info.Width, 8u);
  EXPECT_EQ(info.MipLevels, 4u);
  EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
  ComPtr<IDirect3DTexture9> back;
  ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(
                device.get(), bytes.data(), static_cast<UINT>(bytes.size()), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, back.put()),
            D3D_OK);
  ASSERT_EQ(back->GetLevelCount(), 4u);
  for (UINT level = 0; level < 4; ++level)
    for (UINT y = 0; y < std::max(4u >> level, 1u); ++y)
      for (UINT x = 0; x < (8u >> level); ++x)
        EXPECT_EQ(texel(back.get(), level, x, y), texel(t.get(), level, x, y)) << level << " " << x << "," << y;
}

TEST_F(D3dxDeviceTest, DefaultSizesRoundUpToPowersOfTwoAndConvertTheFormat) {
  DdsImage image;
  image.width = 100;
  image.height = 300;
  image.format = D3DFMT_X8R8G8B8;
  image.levels = {std::vector<std::uint8_t>(100 * 300 * 4, 0xFF)};
  const auto bytes = writeDds(image);
  ComPtr<IDirect3DTexture9> t;
  D3DXIMAGE_INFO info{};
  ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device.get(), bytes.data(), static_cast<UINT>(bytes.size()), 0,
                                                D3DX_DEFAULT, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                D3DX_DEFAULT, 0, &info, nullptr, t.put()),
            D3D_OK);
  D3DSURFACE_DESC d{};
  t->GetLevelDesc(0, &d);
  EXPECT_EQ(d.Width, 128u);
  EXPECT_EQ(d.Height, 512u);
  EXPECT_EQ(d.Format, D3DFMT_R5G6B5);
  EXPECT_EQ(info.Height, 300u);
  D3DLOCKED_RECT r{};
  t->LockRect(0, &r, nullptr, D3DLOCK_READONLY);
  EXPECT_EQ(*static_cast<std::uint16_t*>(r.pBits), 0xFFFF);  // white stays white when stretched
  t->UnlockRect(0);

  const std::uint8_t junk[200] = {'B', 'M'};
  EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device.get(), junk, sizeof junk, 0, 0, 1, 0, 0, D3DPOOL_MANAGED,
                                                D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, t.put()),
            D3DXERR_INVALIDDATA);
  EXPECT_FALSE(t);
}

TEST_F(D3dxDeviceTest, BoxFilterRoundsHalfUpAndHandlesThinLevels) {
  // 2x2 of red 0, 1, 1, 1 -> (3 + 2) >> 2 = 1; a 1-texel-high column pairs rows.
  auto t = argbTexture(2, 2, 2, [](UINT x, UINT y) { return (x | y) ? 0x00010000u : 0u; });
  ASSERT_EQ(D3DXFilterTexture(t.get(), nullptr, D3DX_DEFAULT, D3DX_DEFAULT), D3D_OK);
  EXPECT_EQ(texel(t.get(), 1, 0, 0), 0x00010000u);
  auto thin = argbTexture(4, 1, 0, [](UINT x, UINT) { return x * 10u; });
  ASSERT_EQ(D3DXFilterTexture(thin.get(), nullptr, 0, D3DX_DEFAULT), D3D_OK);
  EXPECT_EQ(texel(thin.get(), 1, 0, 0), 5u);   // (0 + 10 + 0 + 10 + 2) >> 2
  EXPECT_EQ(texel(thin.get(), 1, 1, 0), 25u);  // (20 + 30 + 20 + 30 + 2) >> 2
  EXPECT_EQ(texel(thin.get(), 2, 0, 0), 15u);
  auto odd = argbTexture(3, 3, 0, [](UINT x, UINT y) { return x + 3 * y; });
  EXPECT_EQ(D3DXFilterTexture(odd.get(), nullptr, 0, D3DX_DEFAULT), D3D_OK);
  EXPECT_EQ(odd->GetLevelCount(), 2u);
}

TEST_F(D3dxDeviceTest, SurfaceLoadsConvertResampleAndKeyOutColours) {
  auto src = argbTexture(4, 4, 1, [](UINT x, UINT) { return x < 2 ? 0xFFFF0000u : 0xFF0000FFu; });
  ComPtr<IDirect3DTexture9> dst;
  ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_SCRATCH, dst.put(), nullptr), D3D_OK);
  ComPtr<IDirect3DSurface9> from, to;
  src->GetSurfaceLevel(0, from.put());
  dst->GetSurfaceLevel(0, to.put());
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(to.get(), nullptr, nullptr, from.get(), nullptr, nullptr, D3DX_DEFAULT, 0),
            D3D_OK);
  D3DLOCKED_RECT r{};
  dst->LockRect(0, &r, nullptr, D3DLOCK_READONLY);
  EXPECT_EQ(static_cast<std::uint16_t*>(r.pBits)[0], 0xFF00);
  EXPECT_EQ(static_cast<std::uint16_t*>(r.pBits)[1], 0xF00F);
  dst->UnlockRect(0);
  // The colour key turns matching texels into transparent black.
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(to.get(), nullptr, nullptr, from.get(), nullptr, nullptr, D3DX_FILTER_POINT,
                                       0xFFFF0000u),
            D3D_OK);
  dst->LockRect(0, &r, nullptr, D3DLOCK_READONLY);
  EXPECT_EQ(static_cast<std::uint16_t*>(r.pBits)[0], 0x0000);
  dst->UnlockRect(0);
  // Compressed destinations take the whole texture through the encoder.
  ComPtr<IDirect3DTexture9> dxt;
  ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_SCRATCH, dxt.put(), nullptr), D3D_OK);
  dxt->GetSurfaceLevel(0, to.put());
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(to.get(), nullptr, nullptr, from.get(), nullptr, nullptr, D3DX_DEFAULT, 0),
            D3D_OK);
  dxt->LockRect(0, &r, nullptr, D3DLOCK_READONLY);
  std::uint32_t texels[16];
  ASSERT_TRUE(decodeDxt(D3DFMT_DXT1, static_cast<std::uint8_t*>(r.pBits), 8, 4, 4, texels));
  dxt->UnlockRect(0);
  EXPECT_EQ(texels[0], 0xFFFF0000u);
  EXPECT_EQ(texels[3], 0xFF0000FFu);
}

// A DXT1 file with three authored levels, written by ImageMagick (an encoder
// that is not ours), loaded as A8R8G8B8 with the full chain: every level the
// file holds must show that level's own blocks as our decoder reads them
// from the file bytes; only the two levels the file lacks are box filtered.
TEST_F(D3dxDeviceTest, ConvertingAnOutsideDdsKeepsItsOwnMipLevels) {
  const char* tool = "/usr/bin/convert";
  if (!std::filesystem::exists(tool)) GTEST_SKIP() << "ImageMagick's convert is not installed (scripts/install-deps)";
  const std::string path = ::testing::TempDir() + "d3dx_outside_" + std::to_string(::getpid()) + ".dds";
  const std::string command = std::string(tool) + " -seed 7 -size 16x16 plasma:red-blue -define dds:compression=dxt1" +
                              " -define dds:mipmaps=2 DDS:" + path + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  // Header, then levels of 16, 4 and 1 DXT1 blocks.
  ASSERT_EQ(bytes.size(), 128u + 128 + 32 + 8);
  ASSERT_EQ(le32(bytes, 84), D3DFMT_DXT1);

  ComPtr<IDirect3DTexture9> t;
  ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device.get(), bytes.data(), static_cast<UINT>(bytes.size()), 0, 0,
                                                D3DX_DEFAULT, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                D3DX_DEFAULT, 0, nullptr, nullptr, t.put()),
            D3D_OK);
  ASSERT_EQ(t->GetLevelCount(), 5u);
  std::size_t offset = 128;
  bool differsFromBox = false;
  for (UINT level = 0; level < 3; ++level) {
    const UINT s = 16u >> level;
    const std::size_t blockBytes = std::max<std::size_t>(1, s / 4) * std::max<std::size_t>(1, s / 4) * 8;
    const std::vector<std::uint8_t> blocks(bytes.begin() + static_cast<long>(offset),
                                           bytes.begin() + static_cast<long>(offset + blockBytes));
    offset += blockBytes;
    const auto expected = decode(D3DFMT_DXT1, blocks, s, s);
    for (UINT y = 0; y < s; ++y)
      for (UINT x = 0; x < s; ++x) {
        EXPECT_EQ(texel(t.get(), level, x, y), expected[y * s + x]) << "level " << level << " " << x << "," << y;
        if (level == 1 && y < 8 && x < 8) {
          // What a box filter of level 0 would have made of this texel.
          for (int shift : {16, 0}) {
            unsigned sum = 0;
            for (UINT k = 0; k < 4; ++k) sum += texel(t.get(), 0, 2 * x + k % 2, 2 * y + k / 2) >> shift & 0xFF;
            if (((sum + 2) >> 2) != (expected[y * s + x] >> shift & 0xFFu)) differsFromBox = true;
          }
        }
      }
  }
  EXPECT_TRUE(differsFromBox) << "the file's level 1 equals a box filter of level 0: the check proves nothing";
  // Level 3 (2x2) is filtered from the file's last level (4x4).
  unsigned red = 0;
  for (UINT k = 0; k < 4; ++k) red += texel(t.get(), 2, k % 2, k / 2) >> 16 & 0xFF;
  EXPECT_EQ(texel(t.get(), 3, 0, 0) >> 16 & 0xFF, (red + 2) >> 2);
}

}  // namespace
