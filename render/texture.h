// The engine's texture: one named picture that exists once per device of
// the render pipeline. It owns a CPU-writable pixel store on the first
// device and turns it into the device textures (mip levels, an optional
// height-to-normal conversion, a device format chosen from the adapter's
// list), then copies them to every further device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/anim_channel.h"
#include "foundation/color_rgba.h"
#include "foundation/file_data.h"
#include "platform/graphics/d3d9.h"
#include "render/device_owner.h"

class RenderPipeline;

enum TextureFlags : std::uint32_t {
  kTextureConvertFormat = 0x001,       // store in D3DPOOL_SCRATCH, converted at upload
  kTextureMipChain = 0x002,            // full mip chain, else one level
  kTextureKeepColour = 0x004,          // with AlphaFromLuminance, still ask for colour
  kTextureAlphaFromLuminance = 0x008,  // brightness becomes the alpha channel
  kTextureNormalMap = 0x010,           // height map converted to a normal map at upload
  kTextureAllowNonPow2 = 0x040,        // file pictures keep their size where the device allows
  kTextureDynamic = 0x080,             // D3DUSAGE_DYNAMIC in D3DPOOL_DEFAULT
  kTextureFullSize = 0x100,            // the texture detail setting does not shrink it
  kTextureOneBitAlpha = 0x200,         // ask for a 1-bit alpha channel
};

enum TextureKind : int {
  kTextureKindFile = 0,
  kTextureKindGradient = 1,
  kTextureKindSequence = 2,
  kTextureKindProcedural = 3,
};

class Texture : public DeviceOwner {
 public:
  Texture(RenderPipeline* pipeline, std::uint32_t flags);
  // Copies the description, the name, the alpha texture and the parameters
  // (with copies of their curves); no device textures, not loaded.
  Texture(const Texture& other);
  Texture& operator=(const Texture&) = delete;
  virtual ~Texture();

  virtual std::unique_ptr<Texture> clone() const = 0;
  virtual void load() = 0;
  // What to bind on the pipeline's current device; null when there is none.
  virtual IDirect3DTexture9* getDeviceTexture(double time);
  virtual int kind() const = 0;
  virtual void setFlags(std::uint32_t newFlags) { flags = newFlags; }
  // Level 0 of a default-pool texture (a new reference), else null.
  virtual IDirect3DSurface9* getTopSurface();
  // The decoded picture with one reference for the caller; null here.
  virtual Image* loadSourceImage() { return nullptr; }
  virtual IDirect3DTexture9* getFirstDeviceTexture();

  // The level-0 store on the first device (see TextureFlags for the pool).
  void createPixelStore(std::uint32_t newFlags, const std::string& storeName, int storeWidth, int storeHeight);
  // Sets `format` (when ConvertFormat is set) and `pool`.
  void chooseFormat();
  // Mip levels, normal map, conversion and the copies on further devices.
  void upload();
  void preload();

  RenderPipeline* pipeline;
  std::string name;
  Texture* alphaTexture = nullptr;  // not owned
  int alphaMode = 0;                // 0 keep alpha, 1 opaque, 2 alpha shown as opaque grey
  float frameRate = 0.0f;
  float factor = 1.0f;
  std::uint32_t flags;
  AnimatedFloat parameters[5] = {AnimatedFloat(0.0f), AnimatedFloat(0.0f), AnimatedFloat(0.0f), AnimatedFloat(0.0f),
                                 AnimatedFloat(1.0f)};
  int frameMode = 0;
  bool loaded = false;
  int width = 0, height = 0, depth = 1;
  D3DFORMAT format = D3DFMT_A8R8G8B8;
  D3DPOOL pool = D3DPOOL_MANAGED;
  UINT levelCount = 0;
  std::vector<ComPtr<IDirect3DTexture9>> deviceTextures;  // one per device; released by the destructor
  std::vector<IDirect3DTexture9*> shownTextures;          // what getDeviceTexture hands out; no reference

 protected:
  // Copies level by level from device 0 to every further device.
  void replicate();
  int deviceCount() const;

 private:
  void filterWithAlphaTexture();
  void convertToNormalMap();
};

// An independent copy of an animated value: an envelope is copied key by
// key; a channel group (which drives items, not textures) is not copied and
// the copy keeps the value only.
AnimatedFloat copyAnimatedFloat(const AnimatedFloat& source);

// The texel rule of a file texture's alpha mode for one 0xAARRGGBB texel.
std::uint32_t applyAlphaMode(std::uint32_t texel, int alphaMode);
