// The picture path from arbitrary bytes. The first byte picks the case, the
// second its options, the rest is the input:
//   0: loadImage's dispatch by extension (".bmp", ".jpg" in either case,
//      ".jpeg", ".pcx", none) in either row order;
//   1: a file texture over the recording device, its picture the input as
//      a file set (fuzz/file_set.h): the first part is the picture, a
//      second one its ".dds"; the options pick BMP or JPEG, the flags and
//      the texture detail;
//   2: the ".dds" cache file a file texture reads before its picture: the
//      input is written where the cache of a fixed picture lies.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "content/bmp_writer.h"
#include "foundation/file_data.h"
#include "foundation/report.h"
#include "fuzz/byte_file.h"
#include "fuzz/file_set.h"
#include "fuzz/picture_limit.h"
#include "fuzz/recording_pipeline.h"
#include "render/file_texture.h"

namespace {

// A cache folder of this process's own, removed at exit.
class CacheFolder {
 public:
  CacheFolder()
      : m_path(std::filesystem::temp_directory_path() / ("tessaline-fuzz-cache-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(m_path);
    setenv("TESSALINE_TEXTURE_CACHE", m_path.c_str(), 1);
  }
  ~CacheFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  // The one cache file in the folder; empty when there is none.
  std::filesystem::path onlyFile() const {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, error))
      if (entry.is_regular_file()) return entry.path();
    return {};
  }

 private:
  std::filesystem::path m_path;
};

void loadOnce(FileTexture& texture) {
  texture.load();
  texture.preload();
  if (IDirect3DTexture9* made = texture.getFirstDeviceTexture()) {
    D3DSURFACE_DESC desc{};
    made->GetLevelDesc(0, &desc);
    volatile UINT sink = desc.Width * desc.Height;
    (void)sink;
  }
}

void dispatch(std::uint8_t options, const std::uint8_t* data, std::size_t size) {
  static const char* const kNames[] = {"p.bmp", "p.BMP", "p.jpg", "p.JpG", "p.jpeg", "p.pcx", "p"};
  FuzzByteFile file(data, size);
  RefPtr<Image> image(loadImage(file, kNames[options % 7], (options & 0x80) != 0));
  if (image && image->pixelCount() > 0) {
    volatile std::uint32_t sink = image->pixels()[image->pixelCount() - 1];
    (void)sink;
  }
}

void pictureToTexture(RenderPipeline& pipeline, std::uint8_t options, const std::uint8_t* data, std::size_t size) {
  // A name the cache refuses (it climbs out of the cache folder): no run
  // reads what an earlier one wrote.
  const char* name = options & 1 ? "../picture.jpg" : "../picture.bmp";
  FuzzFileSet files(data, size, name);
  FileTexture texture(&pipeline);
  std::uint32_t flags = kTextureConvertFormat | kTextureMipChain;
  if (options & 2) flags |= kTextureAllowNonPow2;
  if (options & 4) flags |= kTextureAlphaFromLuminance;
  if (options & 8) flags |= kTextureFullSize;
  texture.setFlags(flags);
  texture.alphaMode = options >> 4 & 3;
  pipeline.textureDetail = options & 0x80 ? -1 : 0;
  if (texture.open(&files, name, (options & 0x40) != 0)) loadOnce(texture);
  pipeline.textureDetail = 0;
}

// A fixed picture whose ".dds" only the cache may hold.
class PictureOnly : public FuzzByteFile {
 public:
  static constexpr const char* kName = "cached.bmp";
  static const std::vector<std::uint8_t>& picture() {
    static const std::vector<std::uint8_t> bytes = writeBmp24(8, 8, std::vector<std::uint32_t>(64, 0x3366CC));
    return bytes;
  }
  PictureOnly() : FuzzByteFile(picture().data(), picture().size()) {}
  File* clone() const override { return new PictureOnly; }
  bool exists(const char* name) override { return name && std::string(name) == kName; }
};

void cacheFile(RenderPipeline& pipeline, const std::uint8_t* data, std::size_t size) {
  static CacheFolder folder;
  static const std::filesystem::path cache = [&] {
    // The first load writes the cache file; its place is where later
    // inputs go.
    PictureOnly file;
    FileTexture texture(&pipeline);
    if (texture.open(&file, PictureOnly::kName, true)) texture.load();
    return folder.onlyFile();
  }();
  if (cache.empty()) return;
  std::ofstream(cache, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  PictureOnly file;
  FileTexture texture(&pipeline);
  if (texture.open(&file, PictureOnly::kName, true)) loadOnce(texture);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  g_messageLevel = 0;
  limitFuzzPictures();
  const std::uint8_t mode = data[0] % 3, options = data[1];
  data += 2;
  size -= 2;
  if (mode == 0) {
    dispatch(options, data, size);
    return 0;
  }
  RenderPipeline* pipeline = RecordingPipeline::instance().pipeline();
  if (!pipeline) return 0;
  if (mode == 1)
    pictureToTexture(*pipeline, options, data, size);
  else
    cacheFile(*pipeline, data, size);
  return 0;
}
