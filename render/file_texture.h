// Textures whose picture comes from a file: the shared source they read
// through (normally the mounted data archive), the ready-made ".dds" path,
// the picture path with an optional alpha picture, and the ".dds" cache
// that the picture path writes so that the next run takes the fast path.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/file.h"
#include "foundation/ref_counted.h"
#include "render/texture.h"

// A private clone of a File, shared by reference counting.
class TextureSource : public RefCounted {
 public:
  explicit TextureSource(const File& prototype) : file(prototype.clone()) {}
  std::unique_ptr<File> file;
};

// Drops the global source and, for a non-null file, makes a new one around a
// clone of it. The entry point calls it with the mounted archive and with
// null at shutdown.
void setTextureSource(File* file);
TextureSource* textureSource();

// Where the ".dds" cache lives: $TESSALINE_TEXTURE_CACHE when set, else
// $XDG_CACHE_HOME/tessaline/textures, else ~/.cache/tessaline/textures.
std::string textureCacheFolder();
// The cache file of a texture name, or empty when the name cannot be placed
// safely inside the folder: the drive prefix is dropped, backslashes become
// slashes, leading slashes and "." parts go, and a ".." part refuses it.
// `tag` names the picture's content and the settings it was built with, so
// a changed picture or setting never takes a stale file.
std::string textureCachePath(const std::string& textureName, const std::string& tag);

class FileTexture : public Texture {
 public:
  explicit FileTexture(RenderPipeline* pipeline);
  FileTexture(const FileTexture& other);
  ~FileTexture() override;

  // Binds the texture to `file` (sharing the global source when it is that
  // source's file) and notes whether a ".dds" exists. True when the ".dds"
  // or the picture itself exists.
  bool open(File* file, const char* textureName, bool loadBottomUp);

  std::unique_ptr<Texture> clone() const override;
  // Once: the ".dds" path when the data has one, else the cache file of the
  // picture when an earlier run wrote it, else the picture path (which then
  // writes that cache file).
  void load() override;
  int kind() const override { return kTextureKindFile; }
  Image* loadSourceImage() override;

  TextureSource* source = nullptr;  // one reference held
  bool bottomUp = true;
  bool hasDds = false;

 private:
  // Builds the device textures from ".dds" bytes, sized and converted as the
  // settings ask, or taken as they are from our own cache; false when
  // nothing was made.
  bool loadDds(const std::vector<std::uint8_t>& bytes, bool cached);
  void loadPicture(const std::string& cachePath);
  // Levels a texture of this size is built with: the whole chain with
  // MipChain, else one.
  UINT levelsAskedFor(UINT width, UINT height) const;
  // The cache tag of the picture as it is now; empty when it cannot be read.
  std::string cacheTag();
};
