// File textures: the texture source, the ".dds" path, the picture path and
// the ".dds" cache.
#include "render/file_texture.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "foundation/replacing_file.h"
#include "foundation/report.h"
#include "platform/graphics/d3dx.h"
#include "render/render_pipeline.h"

namespace {

TextureSource* g_textureSource = nullptr;
File* g_textureSourceFile = nullptr;

bool makeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// The largest cache file this device's textures make: the header (with
// room for the longer form) and the whole chain of the largest level the
// device takes, at four bytes a texel (the picture path asks for formats of
// at most eight bits a channel).
std::uint64_t largestCacheFile(const D3DCAPS9& caps) {
  const std::uint64_t side = std::max<std::uint64_t>(caps.MaxTextureWidth, caps.MaxTextureHeight);
  const std::uint64_t level = (side > 0 ? side * side : std::uint64_t{4096} * 4096) * 4;
  return 128 + 20 + level + level / 3 + 16;
}

// The cache file at `path` read whole when it is a regular file of at most
// `limit` bytes. Whatever else stands there (a folder, a device, a pipe, a
// link to one of them) and a read error are misses: the picture path makes
// the file again.
bool readCacheFile(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes) {
  DiskFile file("");
  if (!file.open(path.c_str())) return false;
  const int size = file.size();
  bool read = size > 0 && static_cast<std::uint64_t>(size) <= limit;
  if (read) {
    bytes.resize(static_cast<std::size_t>(size));
    for (int at = 0; read && at < size;) {
      const int n = file.read(bytes.data() + at, size - at);
      read = n > 0;
      at += n;
    }
  }
  file.close();
  if (!read) bytes.clear();
  return read;
}

// The shift a texture detail setting stands for: only negative settings
// shrink; a positive one (a damaged configuration) counts as full size.
int detailShift(const RenderPipeline& pipeline) {
  return pipeline.textureDetail < 0 ? std::min(-pipeline.textureDetail, 30) : 0;
}

}  // namespace

void setTextureSource(File* file) {
  if (g_textureSource) g_textureSource->release();
  g_textureSource = nullptr;
  g_textureSourceFile = nullptr;
  if (file) {
    g_textureSource = new TextureSource(*file);
    g_textureSourceFile = file;
  }
}

TextureSource* textureSource() { return g_textureSource; }

std::string textureCacheFolder() {
  if (const char* own = std::getenv("TESSALINE_TEXTURE_CACHE"); own && *own) return own;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg) return std::string(xdg) + "/tessaline/textures";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.cache/tessaline/textures";
}

std::string textureCachePath(const std::string& textureName, const std::string& tag) {
  std::string name = textureName;
  if (name.size() >= 2 && name[1] == ':') name.erase(0, 2);
  std::replace(name.begin(), name.end(), '\\', '/');
  std::string relative;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(start, end - start);
    if (part == "..") return "";
    if (!part.empty() && part != ".") relative += (relative.empty() ? "" : "/") + part;
    start = end + 1;
  }
  if (relative.empty()) return "";
  return textureCacheFolder() + "/" + relative + (tag.empty() ? "" : "." + tag) + ".dds";
}

FileTexture::FileTexture(RenderPipeline* owner) : Texture(owner, kTextureConvertFormat | kTextureMipChain) {}

FileTexture::FileTexture(const FileTexture& other)
    : Texture(other), source(other.source), bottomUp(other.bottomUp), hasDds(other.hasDds) {
  if (source) source->addRef();
}

FileTexture::~FileTexture() {
  if (source) source->release();
}

std::unique_ptr<Texture> FileTexture::clone() const { return std::make_unique<FileTexture>(*this); }

bool FileTexture::open(File* file, const char* textureName, bool loadBottomUp) {
  if (source) source->release();
  source = nullptr;
  if (!file || !textureName) return false;
  if (file == g_textureSourceFile && g_textureSource) {
    source = g_textureSource;
    source->addRef();
  } else {
    source = new TextureSource(*file);
  }
  name = textureName;
  bottomUp = loadBottomUp;
  const std::string dds = name + ".dds";
  hasDds = source->file->exists(dds.c_str());
  return hasDds || source->file->exists(name.c_str());
}

Image* FileTexture::loadSourceImage() {
  if (!source) return nullptr;
  return loadImage(*source->file, name.c_str(), bottomUp);
}

void FileTexture::load() {
  if (loaded) return;
  loaded = true;  // also after a failure
  if (hasDds) {
    std::vector<std::uint8_t> bytes;
    RefPtr<FileData> data(source ? loadFileData((name + ".dds").c_str(), *source->file) : nullptr);
    if (data) bytes.assign(data->data(), data->data() + data->size());
    if (!loadDds(bytes, false)) reportRefusal("Loading texture \"%s\" from .dds-file failed!!!\n", name.c_str());
    return;
  }
  const std::string tag = cacheTag();
  const std::string cached = tag.empty() ? std::string() : textureCachePath(name, tag);
  if (!cached.empty()) {
    std::vector<std::uint8_t> bytes;
    // A damaged cache file is simply made again.
    if (readCacheFile(cached, largestCacheFile(pipeline->caps), bytes) && loadDds(bytes, true)) return;
  }
  loadPicture(cached);
}

std::string FileTexture::cacheTag() {
  if (!source) return "";
  RefPtr<FileData> picture(loadFileData(name.c_str(), *source->file));
  if (!picture) return "";
  // FNV-1a over the picture, the alpha picture and every setting that
  // changes what the picture path builds.
  std::uint64_t hash = 0xCBF29CE484222325ull;
  auto mix = [&hash](const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001B3ull;
  };
  mix(picture->data(), static_cast<std::size_t>(picture->size()));
  if (auto* alpha = dynamic_cast<FileTexture*>(alphaTexture); alpha && alpha->source) {
    RefPtr<FileData> alphaBytes(loadFileData(alpha->name.c_str(), *alpha->source->file));
    if (alphaBytes) mix(alphaBytes->data(), static_cast<std::size_t>(alphaBytes->size()));
  }
  if (alphaTexture) mix(alphaTexture->name.data(), alphaTexture->name.size());
  const std::int32_t settings[] = {static_cast<std::int32_t>(flags),
                                   detailShift(*pipeline),
                                   alphaMode,
                                   bottomUp,
                                   static_cast<std::int32_t>(pipeline->caps.MaxTextureWidth),
                                   static_cast<std::int32_t>(pipeline->caps.MaxTextureHeight),
                                   static_cast<std::int32_t>(pipeline->caps.TextureCaps)};
  mix(settings, sizeof settings);
  if (pipeline->adapterInfo)
    for (const FormatDesc* f : pipeline->adapterInfo->textureFormats) mix(&f->format, sizeof f->format);
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

bool FileTexture::loadDds(const std::vector<std::uint8_t>& bytes, bool cached) {
  HRESULT hr = E_FAIL;
  if (!bytes.empty() && !deviceTextures.empty()) {
    UINT w = D3DX_FROM_FILE, h = D3DX_FROM_FILE, levels = D3DX_FROM_FILE;
    D3DFORMAT wanted = D3DFMT_FROM_FILE;
    if (cached) {
      // Our own file holds the finished texture: taken as it is.
      pool = (flags & kTextureDynamic) ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED;
    } else {
      D3DXIMAGE_INFO info{};
      D3DXGetImageInfoFromFileInMemory(bytes.data(), static_cast<UINT>(bytes.size()), &info);
      if (name == "D:/Wimbrel/onscreendisplays/Racer_HUD.bmp" ||
          name == "D:/Wimbrel/onscreendisplays/Racer_HUD_opmap.bmp")
        flags |= kTextureFullSize;
      const D3DCAPS9& caps = pipeline->caps;
      w = D3DX_DEFAULT;
      h = D3DX_DEFAULT;
      if (caps.MaxTextureWidth && info.Width > caps.MaxTextureWidth) w = caps.MaxTextureWidth;
      if (caps.MaxTextureHeight && info.Height > caps.MaxTextureHeight) h = caps.MaxTextureHeight;
      const int shift = detailShift(*pipeline);
      if (!(flags & kTextureFullSize) && shift > 0) {
        w = std::max(info.Width >> shift, 1u);
        h = std::max(info.Height >> shift, 1u);
      }
      // Never beyond what the device takes, whatever the detail setting gave.
      if (w != D3DX_DEFAULT && caps.MaxTextureWidth) w = std::min<UINT>(w, caps.MaxTextureWidth);
      if (h != D3DX_DEFAULT && caps.MaxTextureHeight) h = std::min<UINT>(h, caps.MaxTextureHeight);
      if ((flags & kTextureAlphaFromLuminance) && (info.Format == D3DFMT_DXT1 || info.Format == D3DFMT_A1R5G5B5))
        flags |= kTextureOneBitAlpha;
      chooseFormat();
      if (name == "d:\\data\\fire.bmp") format = D3DFMT_A8R8G8B8;
      levels = (flags & kTextureMipChain) ? 0 : 1;
      wanted = format;
    }
    deviceTextures[0].reset();
    hr = D3DXCreateTextureFromFileInMemoryEx(pipeline->devices[0], bytes.data(), static_cast<UINT>(bytes.size()), w, h,
                                             levels, 0, wanted, pool, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                                             deviceTextures[0].put());
    shownTextures[0] = deviceTextures[0].get();
  }
  if (SUCCEEDED(hr) && deviceTextures[0]) {
    D3DSURFACE_DESC desc{};
    deviceTextures[0]->GetLevelDesc(0, &desc);
    // A cache file cut short keeps only its complete levels; taking it would
    // leave the texture without the rest of its chain for good.
    if (cached && deviceTextures[0]->GetLevelCount() < levelsAskedFor(desc.Width, desc.Height)) {
      deviceTextures[0].reset();
      shownTextures[0] = nullptr;
      return false;
    }
    width = static_cast<int>(desc.Width);
    height = static_cast<int>(desc.Height);
    format = desc.Format;
    depth = 1;
    levelCount = deviceTextures[0]->GetLevelCount();
    replicate();
    return true;
  }
  return false;
}

void FileTexture::loadPicture(const std::string& cachePath) {
  RefPtr<Image> picture(loadSourceImage());
  if (!picture || picture->pixelCount() == 0) {
    reportRefusal("Missing texture \"%s\" !!!\n", name.c_str());
    return;
  }
  RefPtr<Image> alphaPicture;
  if (alphaTexture) {
    alphaPicture.reset(alphaTexture->loadSourceImage());
    if (!alphaPicture || alphaPicture->pixelCount() == 0) {
      reportRefusal("Missing alpha texture \"%s\" !!!\n", alphaTexture->name.c_str());
      alphaPicture.reset();
    }
  }
  const int pw = picture->width(), ph = picture->height();
  const D3DCAPS9& caps = pipeline->caps;
  int w = 128, h = 1;
  if ((flags & kTextureAllowNonPow2) && (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL)) {
    w = pw;
    h = ph;
  } else {
    while (w < pw) w *= 2;
    while (h < ph) h *= 2;
  }
  const int shift = detailShift(*pipeline);
  if (!(flags & kTextureFullSize) && shift > 0) {
    w = std::max(pw >> shift, 1);
    h = std::max(ph >> shift, 1);
  }
  if (caps.MaxTextureWidth) w = std::min(w, static_cast<int>(caps.MaxTextureWidth));
  if (caps.MaxTextureHeight) h = std::min(h, static_cast<int>(caps.MaxTextureHeight));

  createPixelStore(flags, std::string(), w, h);
  if (deviceTextures.empty() || !deviceTextures[0]) return;
  D3DLOCKED_RECT locked{};
  if (FAILED(deviceTextures[0]->LockRect(0, &locked, nullptr, 0))) return;
  const bool fromLuminance = (flags & kTextureAlphaFromLuminance) != 0;
  auto brightness = [](std::uint32_t t) { return ((t >> 16 & 0xFF) + (t >> 8 & 0xFF) + (t & 0xFF)) / 3; };
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch);
    const int sy =
        std::min(static_cast<int>(static_cast<float>(y) * static_cast<float>(ph) / static_cast<float>(h)), ph - 1);
    for (int x = 0; x < w; ++x) {
      const int sx =
          std::min(static_cast<int>(static_cast<float>(x) * static_cast<float>(pw) / static_cast<float>(w)), pw - 1);
      const std::uint32_t texel = picture->pixel(sy, sx);
      if (fromLuminance) {
        row[x] = (255u - brightness(texel)) << 24;
      } else if (alphaPicture) {
        // A smaller alpha picture is read at clamped coordinates.
        const int ax = std::min(sx, alphaPicture->width() - 1), ay = std::min(sy, alphaPicture->height() - 1);
        const std::uint32_t a = 255u - brightness(alphaPicture->pixel(ay, ax));
        row[x] = texel & (0x00FFFFFFu | (a << 24));
      } else {
        row[x] = applyAlphaMode(texel, alphaMode);
      }
    }
  }
  deviceTextures[0]->UnlockRect(0);
  if (alphaPicture) alphaMode = 0;
  picture.reset();
  alphaPicture.reset();
  upload();
  // The cache for the next run, written beside its place and renamed over
  // it, so a crash or a full disk never leaves a file cut short under the
  // name. A failed write is silent.
  if (!cachePath.empty() && !shownTextures.empty() && shownTextures[0] && makeFolders(cachePath)) {
    ReplacingFile out(cachePath.c_str());
    if (out.begin())
      out.commit(
          SUCCEEDED(D3DXSaveTextureToFileA(out.temporaryName().c_str(), D3DXIFF_DDS, shownTextures[0], nullptr)));
  }
}

UINT FileTexture::levelsAskedFor(UINT w, UINT h) const {
  if (!(flags & kTextureMipChain)) return 1;
  UINT levels = 1;
  for (UINT side = std::max(w, h); side > 1; side /= 2) ++levels;
  return levels;
}
