// hostile_memory: reads each hostile file of content/hostile_media in a
// child process of its own and prints how far the child's peak resident set
// (getrusage) rose above where it stood, against what it may take: 64 MB
// beyond the file's size for sounds and pictures, 8 bytes per texel of
// level 0 beyond the texture for a ".dds" without mip levels. Build it in
// Release (the sanitizer's shadow memory would count too) and run it by
// hand; it fails when a file takes more.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/support/peak_growth.h"
#include "content/hostile_media.h"
#include "foundation/file_data.h"
#include "foundation/pcx_image.h"
#include "platform/graphics/d3d9_recording.h"
#include "platform/graphics/d3d9_texture.h"
#include "platform/graphics/d3dx.h"
#include "sound/sound_channel.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Case {
  std::string name;
  const char* extension;
  Bytes bytes;
  long long allowance;
  std::function<void(const std::string& path)> read;
  // For textures: the bytes the file and the texture take themselves, and
  // the texels of level 0.
  long long own = 0, texels = 0;
};

IDirect3DDevice9* recordingDevice() {
  static IDirect3DDevice9* device = [] {
    IDirect3D9* d3d = new RecordingDirect3D9({FakeAdapter{}}, nullptr);
    D3DPRESENT_PARAMETERS p{};
    p.Windowed = 1;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    IDirect3DDevice9* created = nullptr;
    d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &p, &created);
    d3d->Release();
    return created;
  }();
  return device;
}

Case ddsCase(UINT side, D3DFORMAT format, D3DFORMAT made) {
  TextureLayout layout;
  textureLayout(made, &layout);
  long long texture = 0;
  for (UINT s = side; s >= 1; s /= 2) texture += static_cast<long long>(levelBytes(layout, s, s));
  Bytes bytes = ddsWithoutMips(side, format);
  // The file is read into memory (as the file layer does) inside the child.
  const long long own = static_cast<long long>(bytes.size()) + texture;
  const long long texels = static_cast<long long>(side) * side;
  return {"dds: " + std::to_string(side) + " x " + std::to_string(side) +
              (format == D3DFMT_DXT1 ? " DXT1" : " A8R8G8B8") + (made == D3DFMT_DXT1 ? " to DXT1" : " to A8R8G8B8"),
          "dds",
          std::move(bytes),
          own + 8 * texels,
          [made](const std::string& path) {
            // As the file layer does: the whole file, read once at its size.
            Bytes file(std::filesystem::file_size(path));
            std::ifstream(path, std::ios::binary)
                .read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()));
            IDirect3DTexture9* texture = nullptr;
            if (SUCCEEDED(D3DXCreateTextureFromFileInMemoryEx(
                    recordingDevice(), file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0,
                    made, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &texture)))
              texture->Release();
          },
          own,
          texels};
}

}  // namespace

int main() {
  const long long kAllowance = 64LL << 20;
  const auto sound = [](const std::string& path) {
    DiskFile files("");
    if (auto channel = loadSoundChannel(&files, path.c_str())) {
      std::vector<std::uint8_t> pcm(16384);
      channel->Fill(pcm.data(), static_cast<int>(pcm.size()));
    }
  };
  const auto jpeg = [](const std::string& path) {
    DiskFile file("");
    RefPtr<Image>(loadJPEG(file, path.c_str(), false));
  };
  const auto pcx = [](const std::string& path) {
    DiskFile files("");
    PcxImage image;
    image.decodePCX(files, path.c_str());
  };
  std::vector<Case> cases = {
      {"ogg: a book of 2^20 - 1 entries", "ogg", oggVorbisWithHugeBook(), kAllowance, sound},
      {"ogg: 16 lookup books", "ogg", oggVorbisWithLookupBooks(16), kAllowance, sound},
      {"ogg: 80 lookup books", "ogg", oggVorbisWithLookupBooks(80), kAllowance, sound},
      {"jpeg: baseline ending after a block row", "jpg", jpegEndingAfterFirstBlockRow(false), kAllowance, jpeg},
      {"jpeg: progressive ending after a block row", "jpg", jpegEndingAfterFirstBlockRow(true), kAllowance, jpeg},
      {"jpeg: progressive past the coefficient bound", "jpg", progressiveJpegWithOneBitBlocks(4736, 4736, 3),
       kAllowance, jpeg},
      {"jpeg: 8192 x 8192, data for 64 rows, refused", "jpg", jpegCutShort(8192, 64, 8192), kAllowance, jpeg},
      {"jpeg: 4096 x 2048, data for 256 rows", "jpg", jpegCutShort(4096, 256, 2048), kAllowance, jpeg},
      {"pcx: a header claiming 8192 x 8192", "pcx", pcxHeaderOnly(8192, 8192), kAllowance, pcx},
  };
  cases.push_back(ddsCase(4096, D3DFMT_DXT1, D3DFMT_DXT1));
  cases.push_back(ddsCase(4096, D3DFMT_DXT1, D3DFMT_A8R8G8B8));
  cases.push_back(ddsCase(4096, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8));
  Case huge = ddsCase(16384, D3DFMT_DXT1, D3DFMT_DXT1);
  huge.name = "dds: 16384 x 16384 DXT1, refused";
  // Only the file itself, and what reading it costs any program.
  huge.allowance = static_cast<long long>(huge.bytes.size()) + (4LL << 20);
  huge.texels = 0;
  cases.push_back(std::move(huge));

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("hostile_memory_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  int over = 0;
  std::printf("%-48s %12s %12s %12s\n", "file", "size", "peak rise", "allowed");
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const std::string path = (dir / ("case" + std::to_string(i) + "." + c.extension)).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
    const long long growth = peakGrowthOf([&] { c.read(path); });
    const bool ok = growth >= 0 && growth <= c.allowance;
    over += !ok;
    std::printf("%-48s %12zu %12lld %12lld %s\n", c.name.c_str(), c.bytes.size(), growth, c.allowance,
                ok ? "" : "OVER");
    if (c.texels > 0)
      std::printf("%-48s %.2f bytes per texel beyond the file and the texture\n", "",
                  static_cast<double>(growth - c.own) / static_cast<double>(c.texels));
  }
  std::filesystem::remove_all(dir);
  return over == 0 ? 0 : 1;
}
