// The hyper-voxel block of scene files: for each object it names, a
// particle renderer of the requested type with its appearance values and
// texture layers. Settings the renderers do not draw are read and dropped.
// Each object and each texture block is read within its own bounds, so that
// one with a brace too many or too few never takes the ones after it.
#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/report.h"
#include "lightwave/lw_texture_options.h"
#include "lightwave/lws_load.h"
#include "render/render_pipeline.h"
#include "scene/object_item.h"
#include "scene/particle_renderers.h"
#include "scene/scene.h"

namespace {

bool is(const char* token, const char* word) { return std::strcmp(token, word) == 0; }
bool nextBool(LwsTokens& tokens) { return !is(tokens.next(), "0"); }

// `count` numbers and a flag; the flag "1" (one number) or "3" (three)
// announces one envelope block per number.
void readAnimated(LwsTokens& tokens, AnimatedFloat* const* out, int count) {
  for (int i = 0; i < count; ++i) out[i]->value = static_cast<float>(tokens.nextFloat());
  if (!is(tokens.next(), count == 1 ? "1" : "3")) return;
  for (int i = 0; i < count; ++i) readLwsChannel(tokens, *out[i], false);
}

// Read and dropped, envelopes included.
void dropAnimated(LwsTokens& tokens, int count) {
  AnimatedFloat scratch[3];
  AnimatedFloat* out[3] = {&scratch[0], &scratch[1], &scratch[2]};
  readAnimated(tokens, out, count);
}

enum class HvEntry { Value, Integer, Flag, Colour, DropValue, DropColour, DropToken, DropFloatAndToken };

struct HvChannel {
  const char* keyword;
  HvEntry kind;
  AnimatedFloat HyperVoxelSurface::*value = nullptr;
  int HyperVoxelSurface::*integer = nullptr;
  bool HyperVoxelSurface::*flag = nullptr;
};

using S = HyperVoxelSurface;
// clang-format off
const HvChannel kChannels[] = {
  {"Dissolve", HvEntry::Value, &S::dissolve},
  {"ParticleSize", HvEntry::Value, &S::particleSize},
  {"SizeVariation", HvEntry::Value, &S::sizeVariation},
  {"BlendingMode", HvEntry::Integer, nullptr, &S::blendingMode},
  {"BlendingGroup", HvEntry::Integer, nullptr, &S::blendingGroup},
  {"VDensity", HvEntry::Value, &S::density},
  {"VOpacity", HvEntry::Value, &S::opacity},
  {"VLuminosity", HvEntry::Value, &S::luminosity},
  {"Color", HvEntry::DropColour},
  {"VAmbientColor", HvEntry::DropColour},
  {"VAmbientIntensity", HvEntry::DropValue},
  {"DiffuseSharp", HvEntry::DropValue},
  {"VThickness", HvEntry::DropValue},
  {"VSmoothness", HvEntry::DropValue},
  {"VShadowStrength", HvEntry::DropValue},
  {"VColor", HvEntry::Colour},
  {"NearClip", HvEntry::Value, &S::nearClip},
  {"Luminosity", HvEntry::DropFloatAndToken},
  {"VRenderQuality", HvEntry::DropToken},
  {"VShadowQuality", HvEntry::DropToken},
  {"VolumetricShadows", HvEntry::DropToken},
  {"VIllumination", HvEntry::DropToken},
  {"TextureEffect", HvEntry::DropToken},
  {"EffectSpeed", HvEntry::DropToken},
  {"TextureShadows", HvEntry::DropToken},
  {"VLight1", HvEntry::DropToken},
  {"VLight2", HvEntry::DropToken},
  {"UseAllLights", HvEntry::Flag, nullptr, nullptr, &S::useAllLights},
  {"StretchAmount", HvEntry::Value, &S::stretchAmount},
  {"StretchDirection", HvEntry::Integer, nullptr, &S::stretchDirection},
  {"AlignToPath", HvEntry::Flag, nullptr, nullptr, &S::alignToPath},
  {"MaintainVolume", HvEntry::Flag, nullptr, nullptr, &S::maintainVolume},
  {"Slices", HvEntry::Integer, nullptr, &S::slices},
  {"TextureAmplitude", HvEntry::Value, &S::textureAmplitude},
};
// clang-format on

void readChannels(LwsTokens& tokens, HyperVoxelSurface& surface) {
  while (const char* entry = tokens.nextEntry()) {
    const HvChannel* channel = nullptr;
    for (const HvChannel& c : kChannels) {
      if (is(entry, c.keyword)) channel = &c;
    }
    if (!channel) {
      tokens.skipEntry();
      continue;
    }
    switch (channel->kind) {
      case HvEntry::Value: {
        AnimatedFloat* out = &(surface.*channel->value);
        readAnimated(tokens, &out, 1);
        break;
      }
      case HvEntry::Colour: {
        AnimatedFloat* out[3] = {&surface.colour[0], &surface.colour[1], &surface.colour[2]};
        readAnimated(tokens, out, 3);
        break;
      }
      case HvEntry::Integer:
        surface.*channel->integer = tokens.nextInt();
        break;
      case HvEntry::Flag:
        surface.*channel->flag = nextBool(tokens);
        break;
      case HvEntry::DropValue:
        dropAnimated(tokens, 1);
        break;
      case HvEntry::DropColour:
        dropAnimated(tokens, 3);
        break;
      case HvEntry::DropFloatAndToken:
        tokens.nextFloat();
        tokens.next();
        break;
      case HvEntry::DropToken:
        tokens.next();
        break;
    }
  }
}

// Ends at the map's "}", or after a "Coordinates" entry standing in the
// map's block, which skips the rest of it.
void readTextureMap(LwsTokens& tokens, TextureLayer& layer) {
  while (const char* entry = tokens.nextEntry()) {
    AnimatedFloat* xyz[3] = {nullptr, nullptr, nullptr};
    if (is(entry, "Center")) {
      xyz[0] = &layer.centerX, xyz[1] = &layer.centerY, xyz[2] = &layer.centerZ;
    } else if (is(entry, "Size")) {
      xyz[0] = &layer.sizeX, xyz[1] = &layer.sizeY, xyz[2] = &layer.sizeZ;
    } else if (is(entry, "Rotation")) {
      xyz[0] = &layer.heading, xyz[1] = &layer.pitch, xyz[2] = &layer.bank;
    } else if (is(entry, "RefObject")) {
      tokens.next();
      continue;
    } else if (is(entry, "Coordinates")) {
      // A block of its own, or the rest of the map's block.
      const bool own = tokens.entryOpenedBlock();
      tokens.next();
      tokens.skipBlock();
      if (own) continue;
      return;
    } else {
      tokens.skipEntry();
      continue;
    }
    readAnimated(tokens, xyz, 3);
  }
}

void readWrap(LwsLoad& load, TextureLayer& layer) {
  const DWORD caps = load.scene.pipeline ? load.scene.pipeline->caps.TextureAddressCaps : 0;
  std::int32_t wrap[2] = {load.tokens.nextInt(), load.tokens.nextInt()};  // width, height
  // A wrap type the files do not define repeats.
  for (std::int32_t& w : wrap) w = w >= 0 && w <= 3 ? w : 1;
  layer.wrapV = lightWaveAddressMode(static_cast<std::uint32_t>(wrap[1]), caps);
  layer.wrapU = (caps & D3DPTADDRESSCAPS_INDEPENDENTUV)
                    ? lightWaveAddressMode(static_cast<std::uint32_t>(wrap[0]), caps)
                    : layer.wrapV;
  if (layer.projection == kProjectionSpherical) layer.wrapU = layer.wrapV = 1;
  if (layer.projection == kProjectionCylindrical) layer.wrapU = 1;
}

// The entries of a texture block; the texture kinds' blocks ("Texture" and
// the "ImageMap", "Procedural" or "Gradient" in it) hold more of them.
void readLayer(LwsLoad& load, TextureLayer& layer, int depth) {
  LwsTokens& tokens = load.tokens;
  while (const char* entry = tokens.nextEntry()) {
    if (is(entry, "Texture") || is(entry, "ImageMap") || is(entry, "Procedural") || is(entry, "Gradient")) {
      if (depth < 2) {
        readLayer(load, layer, depth + 1);
      } else {
        tokens.skipEntry();
      }
    } else if (is(entry, "TextureMap")) {
      readTextureMap(tokens, layer);
    } else if (is(entry, "Projection")) {
      layer.projection = tokens.nextInt();
    } else if (is(entry, "Axis")) {
      layer.axis = tokens.nextInt();
    } else if (is(entry, "Image")) {
      // A block holding the clip; a clip with a brace too few ends there.
      const int end = tokens.blockEnd("Image", true);
      {
        LwsTokens::Bound bound(tokens, end);
        while (!tokens.atEnd() && !is(tokens.at(tokens.cursor()), "}")) {
          if (Texture* texture = loadLwsClip(load)) layer.texture = texture;
        }
      }
      tokens.seek(end);
    } else if (is(entry, "WrapOptions")) {
      readWrap(load, layer);
    } else if (is(entry, "WidthWrap") || is(entry, "HeightWrap")) {
      (entry[0] == 'W' ? layer.widthRepeat : layer.heightRepeat) = static_cast<float>(tokens.nextFloat());
      tokens.next();
    } else if (is(entry, "AntiAliasing")) {
      // The strength as given: the object files' level table is theirs.
      if (nextBool(tokens)) {
        layer.antialiasing = true;
        layer.maxAnisotropy = static_cast<float>(tokens.nextFloat());
      }
    } else if (is(entry, "PixelBlending")) {
      layer.pixelBlending = nextBool(tokens);
    } else if (is(entry, "TextureValue")) {
      const bool own = tokens.entryOpenedBlock();
      tokens.next();
      tokens.skipBlock();
      if (!own) return;
    } else if (is(entry, "Channel")) {
      tokens.nextInt();
    } else if (is(entry, "Opacity")) {
      layer.opacityType = tokens.nextInt();
      layer.opacity.value = static_cast<float>(tokens.nextFloat());
      if (is(tokens.next(), "1")) readLwsChannel(tokens, layer.opacity, false);
    } else if (is(entry, "Enable")) {
      layer.enabled = nextBool(tokens);
    } else if (is(entry, "Negative")) {
      layer.negative = nextBool(tokens);
    } else {
      tokens.skipEntry();
    }
  }
}

// Reads the block the cursor is in with `read`, kept within its own end
// (see LwsTokens::blockEnd), and leaves the cursor there.
template <typename Read>
void readBounded(LwsTokens& tokens, const char* keyword, bool braced, Read read) {
  const int end = tokens.blockEnd(keyword, braced);
  {
    LwsTokens::Bound bound(tokens, end);
    read();
  }
  tokens.seek(end);
}

void readTextures(LwsLoad& load, HyperVoxelSurface& surface) {
  LwsTokens& tokens = load.tokens;
  while (const char* entry = tokens.nextEntry()) {
    if (!is(entry, "TextureBlock")) {
      tokens.skipEntry();
      continue;
    }
    tokens.next();
    if (!is(tokens.at(tokens.cursor()), "{")) continue;  // no layer without its block
    tokens.next();
    auto layer = std::make_unique<TextureLayer>();
    readBounded(tokens, "TextureBlock", false, [&] { readLayer(load, *layer, 0); });
    surface.textureLayers.push_back(std::move(layer));
  }
}

// The object of that name gets a new renderer of `type` in place of its
// old one; the new renderer, or null.
HyperVoxelSurface* attach(LwsLoad& load, const std::string& objectName, std::int32_t type) {
  auto* object = dynamic_cast<ObjectItem*>(load.scene.findObjectByName(objectName));
  if (type != 1 && type != 2) {
    reportError("unknown hypervoxel type");
    if (object) object->particleRenderer.reset();
    return nullptr;
  }
  if (!object) return nullptr;
  // A particle material draws with a surface the block cannot give: it
  // stays without one and draws nothing.
  if (type == 1) {
    object->particleRenderer = std::make_unique<HyperVoxelParticles>(load.scene.pipeline);
  } else {
    object->particleRenderer = std::make_unique<ParticleMaterial>(load.scene.pipeline);
  }
  return object->particleRenderer.get();
}

void readObject(LwsLoad& load) {
  LwsTokens& tokens = load.tokens;
  HyperVoxelSurface* surface = nullptr;
  while (const char* entry = tokens.nextEntry()) {
    if (is(entry, "HVFlags")) {
      const std::string name = tokens.next();
      tokens.step(3);
      const std::int32_t type = tokens.nextInt();
      tokens.step(3);
      tokens.next();  // the token after the entry
      surface = attach(load, name, type);
    } else if (is(entry, "HVChannels") && surface) {
      readChannels(tokens, *surface);
    } else if (is(entry, "HVTextures") && surface) {
      readTextures(load, *surface);
    } else {
      tokens.skipEntry();
    }
  }
}

}  // namespace

void readLwsHyperVoxels(LwsLoad& load) {
  LwsTokens& tokens = load.tokens;
  tokens.step(2);  // the plug-in's number and name
  if (!is(tokens.nextBlockToken(), "HyperVoxelData")) {
    tokens.next();
    return;
  }
  const int end = tokens.pluginEnd(tokens.cursor());
  {
    LwsTokens::Bound plugin(tokens, end);
    // Up to the plug-in's end: a "}" met here closes the block or is one
    // too many inside an object; either way the objects after it are read.
    while (!tokens.atEnd()) {
      const char* entry = tokens.nextEntry();
      if (!entry) continue;
      if (is(entry, "HVFlags")) {
        tokens.step(4);
      } else if (is(entry, "HVObject")) {
        readBounded(tokens, "HVObject", true, [&] { readObject(load); });
      } else if (is(entry, "HVBlendingGroups")) {
        const std::int32_t count = tokens.nextInt();
        // Never backwards, and no further than the block's end.
        if (count > 0) tokens.seek(static_cast<int>(std::min<long long>(1LL * tokens.cursor() + count, end)));
      } else if (is(entry, "HVClip")) {
        tokens.step(4);
        tokens.nextFloat();
        tokens.next();
        loadLwsClip(load);
      } else {
        tokens.skipEntry();
      }
    }
  }
  tokens.seek(end);
  if (is(tokens.at(end), "EndPlugin")) tokens.next();
}
