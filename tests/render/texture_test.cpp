// Textures on the recording device: sizing, alpha rules, format choice,
// the ".dds" and picture paths with the cache, clones, the alpha-aware mip
// filter and normal maps.
#include "render/texture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "content/bmp_writer.h"
#include "foundation/envelope.h"
#include "platform/graphics/d3dx.h"
#include "render/file_texture.h"
#include "render/sequence_texture.h"
#include "tests/foundation/memory_bound.h"
#include "tests/render/pipeline_fixture.h"
#include "tests/support/eventually.h"
#include "tests/support/memory_file.h"

namespace {

std::vector<unsigned char> bmp(int w, int h, std::uint32_t colour) {
  const auto bytes = writeBmp24(w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h, colour));
  return {bytes.begin(), bytes.end()};
}

std::uint32_t texelOf(IDirect3DTexture9* t, UINT level, UINT x, UINT y) {
  D3DLOCKED_RECT r{};
  if (FAILED(t->LockRect(level, &r, nullptr, D3DLOCK_READONLY))) return 0xDEADBEEF;
  const auto v = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(r.pBits) + y * r.Pitch)[x];
  t->UnlockRect(level);
  return v;
}

D3DSURFACE_DESC topDesc(Texture& t) {
  D3DSURFACE_DESC d{};
  if (t.getFirstDeviceTexture()) t.getFirstDeviceTexture()->GetLevelDesc(0, &d);
  return d;
}

class TextureTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    cache = std::filesystem::path(::testing::TempDir()) / ("texture_cache_" + std::to_string(::getpid()));
    std::filesystem::remove_all(cache);
    setenv("TESSALINE_TEXTURE_CACHE", cache.c_str(), 1);
    build(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    onlyFormats({D3DFMT_A8R8G8B8});
  }
  void TearDown() override {
    setTextureSource(nullptr);
    std::filesystem::remove_all(cache);
    unsetenv("TESSALINE_TEXTURE_CACHE");
    PipelineTest::TearDown();
  }
  void onlyFormats(std::initializer_list<D3DFORMAT> formats) {
    pipeline->adapterInfo->textureFormats.clear();
    for (D3DFORMAT f : formats) pipeline->adapterInfo->textureFormats.push_back(findFormat(f));
  }
  std::unique_ptr<FileTexture> loadFile(const char* name, std::uint32_t flags = 3) {
    auto t = std::make_unique<FileTexture>(pipeline.get());
    t->setFlags(flags);
    t->open(&files, name, true);
    t->load();
    return t;
  }

  std::filesystem::path cache;
  MemoryFile files;
};

TEST_F(TextureTest, PicturesGrowToPowersOfTwoAndShrinkWithTheDetailSetting) {
  files.put("tall.bmp", bmp(100, 300, 0x204060));
  files.put("thin.bmp", bmp(20, 1, 0x204060));
  files.put("square.bmp", bmp(512, 512, 0x204060));
  auto tall = loadFile("tall.bmp");
  EXPECT_EQ(topDesc(*tall).Width, 128u);
  EXPECT_EQ(topDesc(*tall).Height, 512u);
  EXPECT_EQ(tall->levelCount, 10u);
  EXPECT_EQ(topDesc(*loadFile("thin.bmp")).Width, 128u);
  EXPECT_EQ(topDesc(*loadFile("thin.bmp")).Height, 1u);

  // Every load writes the cache; another setting must not take that file.
  auto fresh = [&](const char* name, std::uint32_t flags = 3) { return topDesc(*loadFile(name, flags)).Width; };
  pipeline->textureDetail = -1;
  EXPECT_EQ(fresh("square.bmp"), 256u);
  EXPECT_EQ(fresh("square.bmp", 3 | kTextureFullSize), 512u);
  // A damaged configuration: positive detail is full size, huge shifts stop at 1.
  pipeline->textureDetail = 5;
  EXPECT_EQ(fresh("square.bmp"), 512u);
  pipeline->textureDetail = -40;
  EXPECT_EQ(fresh("square.bmp"), 1u);
}

TEST_F(TextureTest, AlphaComesFromLuminanceTheAlphaPictureOrTheAlphaMode) {
  files.put("grey.bmp", bmp(128, 1, 0x404040));
  files.put("mask.bmp", bmp(2, 1, 0xFFFFFF));  // far smaller than the picture: read clamped
  auto lum = loadFile("grey.bmp", 3 | kTextureAlphaFromLuminance | kTextureKeepColour);
  EXPECT_EQ(texelOf(lum->getFirstDeviceTexture(), 0, 5, 0), static_cast<std::uint32_t>(255 - 0x40) << 24);

  FileTexture mask(pipeline.get());
  mask.open(&files, "mask.bmp", true);
  auto withMask = std::make_unique<FileTexture>(pipeline.get());
  withMask->alphaTexture = &mask;
  withMask->alphaMode = 1;
  withMask->open(&files, "grey.bmp", true);
  withMask->load();
  // The picture's alpha ANDed with 255 minus the white mask's brightness.
  EXPECT_EQ(texelOf(withMask->getFirstDeviceTexture(), 0, 100, 0), 0x00404040u);
  EXPECT_EQ(withMask->alphaMode, 0);

  auto opaque = std::make_unique<FileTexture>(pipeline.get());
  opaque->alphaMode = 1;
  opaque->open(&files, "grey.bmp", true);
  opaque->load();
  EXPECT_EQ(texelOf(opaque->getFirstDeviceTexture(), 0, 0, 0), 0xFF404040u);
  EXPECT_EQ(applyAlphaMode(0x80123456u, 2), 0xFF808080u);
  EXPECT_EQ(applyAlphaMode(0x80123456u, 0), 0x80123456u);
}

TEST_F(TextureTest, FormatChoiceFollowsTheAdvertisedList) {
  FileTexture t(pipeline.get());
  onlyFormats({D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5});
  t.chooseFormat();  // alpha mode 0: one alpha bit, five colour bits
  EXPECT_EQ(t.format, D3DFMT_A1R5G5B5);
  t.alphaMode = 1;  // opaque: no alpha wanted
  onlyFormats({D3DFMT_A8R8G8B8, D3DFMT_R5G6B5});
  t.chooseFormat();
  EXPECT_EQ(t.format, D3DFMT_R5G6B5);
  t.setFlags(3 | kTextureAlphaFromLuminance);  // four alpha bits, no colour
  onlyFormats({D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_DXT1});
  t.chooseFormat();
  EXPECT_EQ(t.format, D3DFMT_A4R4G4B4);
  // Where the chooser ranks a block format first, the texture is encoded.
  t.setFlags(3);
  t.alphaMode = 0;
  onlyFormats({D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_DXT1});
  t.chooseFormat();
  EXPECT_EQ(t.format, D3DFMT_DXT1);
  EXPECT_EQ(t.pool, D3DPOOL_MANAGED);
  files.put("green.bmp", bmp(128, 4, 0x00FF00));
  auto green = loadFile("green.bmp");
  EXPECT_EQ(topDesc(*green).Format, D3DFMT_DXT1);
  std::uint32_t decoded[16];
  D3DLOCKED_RECT r{};
  ASSERT_EQ(green->getFirstDeviceTexture()->LockRect(0, &r, nullptr, D3DLOCK_READONLY), D3D_OK);
  ASSERT_TRUE(decodeDxt(D3DFMT_DXT1, static_cast<std::uint8_t*>(r.pBits), 8, 4, 4, decoded));
  green->getFirstDeviceTexture()->UnlockRect(0);
  EXPECT_EQ(decoded[5], 0xFF00FF00u);

  onlyFormats({});
  g_lastMessage.clear();
  t.chooseFormat();
  EXPECT_EQ(t.format, 0u);
  EXPECT_NE(lastMessage().find("device does not support appropriate texture formats!"), std::string::npos);
}

TEST_F(TextureTest, DdsComesFirstElseThePictureIsDecodedAndCached) {
  // A ".dds" beside a broken picture: the picture is never decoded.
  DdsImage image;
  image.width = image.height = 4;
  image.format = D3DFMT_A8R8G8B8;
  image.levels = {std::vector<std::uint8_t>(64, 0x7F)};
  const auto dds = writeDds(image);
  files.put("ready.bmp", std::string("not a picture"));
  files.put("ready.bmp.dds", std::vector<unsigned char>(dds.begin(), dds.end()));
  auto ready = loadFile("ready.bmp");
  EXPECT_TRUE(ready->hasDds);
  EXPECT_TRUE(lastMessage().empty()) << lastMessage();
  EXPECT_EQ(topDesc(*ready).Width, 4u);
  EXPECT_EQ(ready->levelCount, 3u);  // the chain is filled in
  EXPECT_EQ(texelOf(ready->getFirstDeviceTexture(), 0, 1, 1), 0x7F7F7F7Fu);
  EXPECT_FALSE(std::filesystem::exists(cache));

  // A picture is decoded, then written to the cache under its own path.
  files.put("D:\\tracks\\grass.bmp", bmp(128, 2, 0x00FF00));
  auto grass = loadFile("D:\\tracks\\grass.bmp");
  EXPECT_FALSE(grass->hasDds);
  std::vector<std::filesystem::path> written;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(cache))
    if (entry.is_regular_file()) written.push_back(entry.path());
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].parent_path(), cache / "tracks");
  EXPECT_EQ(written[0].filename().string().rfind("grass.bmp.", 0), 0u);
  // The next texture of that picture takes the cached file: mark it to see.
  std::vector<char> bytes;
  {
    std::ifstream in(written[0], std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_GT(bytes.size(), 132u);
  bytes[128] = 0x11;  // first texel's blue byte
  std::ofstream(written[0], std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  auto again = loadFile("D:\\tracks\\grass.bmp");
  EXPECT_TRUE(lastMessage().empty()) << lastMessage();
  EXPECT_EQ(texelOf(again->getFirstDeviceTexture(), 0, 0, 0) & 0xFF, 0x11u);
  // A changed picture under the same name is decoded afresh.
  files.put("D:\\tracks\\grass.bmp", bmp(128, 2, 0x0000FF));
  auto changed = loadFile("D:\\tracks\\grass.bmp");
  EXPECT_EQ(texelOf(changed->getFirstDeviceTexture(), 0, 0, 0) & 0xFFFFFF, 0x0000FFu);
  // A damaged cache file is made again rather than failing the texture.
  std::ofstream(written[0], std::ios::binary | std::ios::trunc).write("DDS ", 4);
  files.put("D:\\tracks\\grass.bmp", bmp(128, 2, 0x00FF00));
  auto rebuilt = loadFile("D:\\tracks\\grass.bmp");
  EXPECT_TRUE(lastMessage().empty()) << lastMessage();
  EXPECT_EQ(texelOf(rebuilt->getFirstDeviceTexture(), 0, 0, 0) & 0xFFFFFF, 0x00FF00u);
  EXPECT_GT(std::filesystem::file_size(written[0]), 128u);
}

TEST_F(TextureTest, ACacheFileCutAfterItsFirstLevelIsBuiltAgain) {
  files.put("road.bmp", bmp(128, 2, 0x00FF00));
  auto first = loadFile("road.bmp");
  ASSERT_EQ(first->levelCount, 8u);  // 128 x 2 down to 1 x 1
  std::vector<std::filesystem::path> written;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(cache))
    if (entry.is_regular_file()) written.push_back(entry.path());
  ASSERT_EQ(written.size(), 1u);  // no temporary file left beside it
  const auto complete = std::filesystem::file_size(written[0]);
  // Keep the 128-byte header and level 0 (128 x 2 x 4 bytes), marked so a
  // load that took the cut file would show.
  std::vector<char> bytes(128 + 1024);
  std::ifstream(written[0], std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes[128] = 0x11;
  std::ofstream(written[0], std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  auto again = loadFile("road.bmp");
  EXPECT_EQ(again->levelCount, 8u);
  EXPECT_EQ(texelOf(again->getFirstDeviceTexture(), 0, 0, 0) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(std::filesystem::file_size(written[0]), complete);  // and the cache made whole
}

// Whatever else stands at a cache file's path is a miss, and the picture is
// built afresh: a folder threw out of the load, a link to /dev/zero read
// until memory ran out, a named pipe waited for a writer for ever, and a
// file larger than any texture the device takes was read whole.
TEST_F(TextureTest, ACacheFileThatIsNoRegularFileOrTooLargeIsAMiss) {
  files.put("wall.bmp", bmp(128, 2, 0x0000FF));
  loadFile("wall.bmp");
  std::filesystem::path cached;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(cache))
    if (entry.is_regular_file()) cached = entry.path();
  ASSERT_FALSE(cached.empty());
  const auto replace = [&](const char* what) {
    std::filesystem::remove_all(cached);
    const std::string kind = what;
    if (kind == "folder") {
      std::filesystem::create_directories(cached / "inside");
    } else if (kind == "link to /dev/zero") {
      std::filesystem::create_symlink("/dev/zero", cached);
    } else if (kind == "named pipe") {
      ASSERT_EQ(::mkfifo(cached.c_str(), 0600), 0);
    } else if (kind == "file past the largest texture") {
      // 4096 x 4096 is the recording device's largest: its chain at four
      // bytes a texel, a header, and a byte more. Sparse, so it costs no disk.
      std::ofstream(cached, std::ios::binary).write("DDS ", 4);
      std::filesystem::resize_file(cached, 128 + 20 + 4096ull * 4096 * 4 * 4 / 3 + 16 + 1);
    } else if (kind == "link to a link to itself") {
      std::filesystem::create_symlink(cached, cached);
    }
  };
  for (const char* what :
       {"folder", "link to /dev/zero", "named pipe", "file past the largest texture", "link to a link to itself"}) {
    SCOPED_TRACE(what);
    replace(what);
    std::atomic<bool> done{false};
    std::unique_ptr<FileTexture> again;
    std::thread load([&] {
#ifdef TESSALINE_TEST_ASAN
      const std::size_t largest = largestAllocationOf([&] { again = loadFile("wall.bmp"); });
      EXPECT_LT(largest, std::size_t{64} << 20);
#else
      again = loadFile("wall.bmp");
#endif
      done = true;
    });
    if (!eventually([&] { return done.load(); }, 120000)) {
      // Stuck opening the pipe: a writer that comes and goes lets its open
      // return and its read end.
      const int writer = ::open(cached.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
      load.join();
      ADD_FAILURE() << "the load waited for a writer";
      continue;
    }
    load.join();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(texelOf(again->getFirstDeviceTexture(), 0, 0, 0) & 0xFFFFFF, 0x0000FFu) << "built from the picture";
  }
}

TEST_F(TextureTest, MissingFilesAreReportedAndLeaveNoDeviceTexture) {
  auto missing = loadFile("nowhere.bmp");
  EXPECT_TRUE(missing->loaded);
  EXPECT_EQ(missing->getDeviceTexture(0.0), nullptr);
  EXPECT_EQ(takeMessage(), "Missing texture \"nowhere.bmp\" !!!\n");
  files.put("broken.bmp.dds", std::string("DDS garbage"));
  auto broken = loadFile("broken.bmp");
  EXPECT_EQ(takeMessage(), "Loading texture \"broken.bmp\" from .dds-file failed!!!\n");
  EXPECT_EQ(broken->getDeviceTexture(0.0), nullptr);
}

TEST(TextureCache, PathsFromDataStayInsideTheCacheFolder) {
  setenv("TESSALINE_TEXTURE_CACHE", "/cache", 1);
  EXPECT_EQ(textureCachePath("C:\\data\\track\\a.bmp", "0f"), "/cache/data/track/a.bmp.0f.dds");
  EXPECT_EQ(textureCachePath("/abs/./b.jpg", ""), "/cache/abs/b.jpg.dds");
  EXPECT_EQ(textureCachePath("data\\..\\..\\etc\\passwd", "0f"), "");
  EXPECT_EQ(textureCachePath("..\\x.bmp", "0f"), "");
  EXPECT_EQ(textureCachePath("d:", "0f"), "");
  unsetenv("TESSALINE_TEXTURE_CACHE");
  setenv("XDG_CACHE_HOME", "/xdg", 1);
  EXPECT_EQ(textureCacheFolder(), "/xdg/tessaline/textures");
  unsetenv("XDG_CACHE_HOME");
}

TEST_F(TextureTest, SourcesAreSharedWithTheGlobalOneAndClonesOwnTheirCurves) {
  setTextureSource(&files);
  FileTexture shared(pipeline.get());
  shared.open(&files, "x.bmp", true);
  EXPECT_EQ(shared.source, textureSource());
  EXPECT_EQ(shared.source->refCount(), 2);
  setTextureSource(nullptr);  // the texture keeps its reference
  EXPECT_EQ(shared.source->refCount(), 1);

  // The clone owns a copy of each envelope: neither object frees the other's.
  auto envelope = std::make_unique<Envelope>();
  envelope->addKeyLinear(0.0f, 0.0f);
  envelope->addKeyLinear(2.0f, 1.0f);
  envelope->postBehavior = kBehaviorLinear;
  Envelope* original = envelope.get();
  shared.parameters[2].channel = std::move(envelope);
  shared.parameters[4].value = 3.0f;
  {
    auto copy = shared.clone();
    EXPECT_EQ(static_cast<FileTexture&>(*copy).source, shared.source);
    ASSERT_TRUE(copy->parameters[2].channel);
    EXPECT_NE(copy->parameters[2].channel.get(), original);
    EXPECT_EQ(copy->parameters[2].channel->asEnvelope()->keys().size(), 2u);
    EXPECT_FLOAT_EQ(copy->parameters[2].evaluate(0.5), 1.0f);
    EXPECT_FLOAT_EQ(copy->parameters[2].evaluate(2.0), 4.0f);  // post-behaviour copied
    EXPECT_FLOAT_EQ(copy->parameters[4].value, 3.0f);
  }
  EXPECT_FLOAT_EQ(shared.parameters[2].evaluate(0.25), 0.5f);  // still whole after the copy went
}

TEST_F(TextureTest, AlphaAwareFilterWeighsByOpacityAndKeepsTheMostOpaque) {
  SequenceTexture scratch(pipeline.get());  // any texture class will do
  FileTexture alphaSource(pipeline.get());
  scratch.alphaTexture = &alphaSource;
  scratch.createPixelStore(kTextureMipChain, "store", 2, 2);
  D3DLOCKED_RECT r{};
  ASSERT_EQ(scratch.getFirstDeviceTexture()->LockRect(0, &r, nullptr, 0), D3D_OK);
  auto* texels = static_cast<std::uint32_t*>(r.pBits);
  texels[0] = 0x00FF0000u;  // opaque red
  texels[1] = 0xFF00FF00u;  // fully transparent green: no weight
  reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(r.pBits) + r.Pitch)[0] = 0x800000FFu;  // half blue
  reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(r.pBits) + r.Pitch)[1] = 0xFF000000u;
  scratch.getFirstDeviceTexture()->UnlockRect(0);
  scratch.upload();
  const std::uint32_t mixed = texelOf(scratch.getFirstDeviceTexture(), 1, 0, 0);
  EXPECT_EQ(mixed >> 24, 0u);
  EXPECT_EQ(mixed >> 16 & 0xFF, 170u);  // 1 / (1 + 0.498)
  EXPECT_EQ(mixed & 0xFF, 85u);
  EXPECT_EQ(mixed >> 8 & 0xFF, 0u);

  SequenceTexture clear(pipeline.get());
  clear.alphaTexture = &alphaSource;
  clear.createPixelStore(kTextureMipChain, "store", 2, 2);
  clear.getFirstDeviceTexture()->LockRect(0, &r, nullptr, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x)
      reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(r.pBits) + y * r.Pitch)[x] = 0xFF123456u;
  clear.getFirstDeviceTexture()->UnlockRect(0);
  clear.upload();
  EXPECT_EQ(texelOf(clear.getFirstDeviceTexture(), 1, 0, 0), 0xFF000000u);
}

TEST_F(TextureTest, NormalMapsAndDevicePoolsAfterUpload) {
  SequenceTexture flat(pipeline.get());
  flat.createPixelStore(kTextureNormalMap, "flat", 4, 4);  // one level, managed
  D3DLOCKED_RECT r{};
  flat.getFirstDeviceTexture()->LockRect(0, &r, nullptr, 0);
  for (int i = 0; i < 16; ++i) static_cast<std::uint32_t*>(r.pBits)[i] = 0x505050u;
  flat.getFirstDeviceTexture()->UnlockRect(0);
  flat.upload();
  EXPECT_EQ(flat.levelCount, 1u);
  EXPECT_EQ(texelOf(flat.getFirstDeviceTexture(), 0, 2, 2), 0x7F7FFFu);  // straight up, alpha 0
  EXPECT_EQ(flat.getTopSurface(), nullptr);                              // managed

  // Slopes: grey 3x across (or 3y down) is height 16 x 3x = 48x. Inside,
  // all four face normals are (-48, 0, 255) up to scale (0, -48, 255 down
  // the rows), unit (-0.18499, 0, 0.98274): bytes trunc((n + 1) 127.5) =
  // 103, 127, 252.
  for (const bool across : {true, false}) {
    SequenceTexture slope(pipeline.get());
    slope.createPixelStore(kTextureNormalMap, "slope", 8, 8);
    slope.getFirstDeviceTexture()->LockRect(0, &r, nullptr, 0);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        static_cast<std::uint32_t*>(r.pBits)[8 * y + x] = static_cast<std::uint32_t>(3 * (across ? x : y)) * 0x10101u;
    slope.getFirstDeviceTexture()->UnlockRect(0);
    slope.upload();
    EXPECT_EQ(texelOf(slope.getFirstDeviceTexture(), 0, 3, 4), across ? 0x677FFCu : 0x7F67FCu) << across;
  }

  SequenceTexture dynamic(pipeline.get());
  dynamic.createPixelStore(kTextureDynamic, "background", 8, 8);
  EXPECT_EQ(dynamic.pool, D3DPOOL_DEFAULT);
  ComPtr<IDirect3DSurface9> top(dynamic.getTopSurface());
  ASSERT_TRUE(top);
  D3DSURFACE_DESC d{};
  top->GetDesc(&d);
  EXPECT_EQ(d.Usage, D3DUSAGE_DYNAMIC);
}

TEST_F(TextureTest, FurtherDevicesGetByteCopiesOfEveryLevel) {
  // A second device on the same recorder stands in for a second adapter.
  ComPtr<IDirect3DDevice9> second;
  D3DPRESENT_PARAMETERS p{};
  p.Windowed = 1;
  p.BackBufferFormat = D3DFMT_X8R8G8B8;
  ASSERT_EQ(manager->direct3D->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x44, &p, second.put()), D3D_OK);
  pipeline->devices.push_back(second.get());
  {
    files.put("two.bmp", bmp(128, 8, 0x336699));
    auto t = loadFile("two.bmp");
    ASSERT_EQ(t->deviceTextures.size(), 2u);
    ASSERT_TRUE(t->deviceTextures[1]);
    EXPECT_EQ(t->deviceTextures[1]->GetLevelCount(), t->levelCount);
    for (UINT level : {0u, 3u, 7u})
      EXPECT_EQ(texelOf(t->deviceTextures[1].get(), level, 0, 0), texelOf(t->deviceTextures[0].get(), level, 0, 0));
    pipeline->currentDeviceIndex = 1;
    EXPECT_EQ(t->getDeviceTexture(0.0), t->deviceTextures[1].get());
    pipeline->currentDeviceIndex = 0;
  }
  pipeline->devices.pop_back();
}

}  // namespace
