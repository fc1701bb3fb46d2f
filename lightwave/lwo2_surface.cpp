// SURF chunks: a surface's parameters, its texture layers (BLOK), vertex
// colour layers (VCOL) and its back-face surface.
#include <algorithm>
#include <array>
#include <cmath>

#include "foundation/report.h"
#include "lightwave/lw_texture_options.h"
#include "lightwave/lwo2_load.h"
#include "render/render_pipeline.h"
#include "render/sequence_texture.h"
#include "render/surface.h"
#include "render/texture.h"
#include "render/texture_layer.h"
#include "scene/scene.h"
#include "scene/scene_root.h"

std::int32_t lightWaveAddressMode(std::uint32_t wrap, DWORD caps) {
  switch (wrap) {
    case 0:
      return (caps & D3DPTADDRESSCAPS_BORDER) ? 4 : (caps & D3DPTADDRESSCAPS_CLAMP) ? 3 : 1;
    case 1:
      return 1;
    case 2:
      return (caps & D3DPTADDRESSCAPS_MIRROR) ? 2 : 1;
    case 3:
      return (caps & D3DPTADDRESSCAPS_CLAMP) ? 3 : 1;
    default:
      return static_cast<std::int32_t>(wrap);
  }
}

int lightWaveAntialiasLevel(float strength) {
  if (strength < 1.5f) return 1;
  if (strength < 3.0f) return 2;
  if (strength < 6.0f) return 4;
  return 8;
}

namespace {

constexpr std::array<const char*, 15> kGradientInputs = {
    "Previous Layer",
    "Bump",
    "Slope",
    "Incidence Angle",
    "Light Incidence",
    "Distance to Camera",
    "Distance to Object",
    "X Distance to Object",
    "Y Distance to Object",
    "Z Distance to Object",
    "Distance to Pivot Point",
    "X Distance to Pivot Point",
    "Y Distance to Pivot Point",
    "Z Distance to Pivot Point",
    "Weight Map",
};

void markTransparentWhen(Surface& surface, const AnimatedFloat& value) {
  if (value.value != 0.0f || value.channel) surface.transparent = true;
}

void readBlockHeader(TextureLayer& layer, std::uint32_t tag, Lwo2Load& load, Lwo2Cursor in) {
  layer.blockType = tag;
  const std::string ordinal = in.s0();
  layer.ordinal = ordinal.empty() ? 0 : static_cast<std::uint8_t>(ordinal[0]);
  while (!in.atEnd()) {
    const std::uint32_t sub = in.id4();
    Lwo2Cursor field = in.take(in.u2());
    if (sub == fourCC("CHAN")) {
      layer.channel = field.id4();
    } else if (sub == fourCC("ENAB")) {
      layer.enabled = field.u2() != 0;
    } else if (sub == fourCC("NEGA")) {
      layer.negative = field.u2() != 0;
    } else if (sub == fourCC("OPAC")) {
      layer.opacityType = field.u2();
      load.readAnimated(field, layer.opacity);
    } else if (sub == fourCC("rgbl")) {
      layer.rgbLevel = field.f4();
    } else if (sub == fourCC("rgbo")) {
      layer.rgbOffset = field.f4();
    } else if (sub == fourCC("clmp")) {
      layer.clamp = field.u2() != 0;
    }
  }
}

void readTextureMap(TextureLayer& layer, Lwo2Load& load, Lwo2Cursor in) {
  while (!in.atEnd()) {
    const std::uint32_t sub = in.id4();
    Lwo2Cursor field = in.take(in.u2());
    AnimatedFloat* xyz[3] = {nullptr, nullptr, nullptr};
    if (sub == fourCC("CNTR")) {
      xyz[0] = &layer.centerX, xyz[1] = &layer.centerY, xyz[2] = &layer.centerZ;
    } else if (sub == fourCC("SIZE")) {
      xyz[0] = &layer.sizeX, xyz[1] = &layer.sizeY, xyz[2] = &layer.sizeZ;
    } else if (sub == fourCC("ROTA")) {
      xyz[0] = &layer.heading, xyz[1] = &layer.pitch, xyz[2] = &layer.bank;
    } else if (sub == fourCC("m4x3")) {
      for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 3; ++col) layer.mappingMatrix.m[4 * row + col] = field.f4();
        layer.mappingMatrix.m[4 * row + 3] = row == 3 ? 1.0f : 0.0f;
      }
      layer.matrixValid = true;
      continue;
    } else {
      continue;
    }
    for (AnimatedFloat* v : xyz) v->value = field.f4();
    if (field.u2() != 0) {
      for (AnimatedFloat* v : xyz) v->channel = load.envelopeCopy(field.u2());
    }
  }
}

void readBlock(Surface& surface, Lwo2Load& load, Lwo2Cursor in) {
  auto layer = std::make_unique<TextureLayer>();
  const DWORD caps = load.scene.pipeline ? load.scene.pipeline->caps.TextureAddressCaps : 0;
  while (!in.atEnd()) {
    const std::uint32_t sub = in.id4();
    const std::uint16_t size = in.u2();
    // Block sub-chunks keep an even length.
    Lwo2Cursor field = in.take(size + (size & 1u));
    if (sub == fourCC("IMAP") || sub == fourCC("PROC") || sub == fourCC("GRAD") || sub == fourCC("vcol")) {
      readBlockHeader(*layer, sub, load, field);
    } else if (sub == fourCC("TMAP")) {
      readTextureMap(*layer, load, field);
    } else if (sub == fourCC("PROJ")) {
      layer->projection = field.u2();
    } else if (sub == fourCC("AXIS")) {
      layer->axis = field.u2();
    } else if (sub == fourCC("IMAG")) {
      layer->texture = load.clip(field.u2());
    } else if (sub == fourCC("WRAP")) {
      const std::uint16_t width = field.u2(), height = field.u2();
      layer->wrapV = lightWaveAddressMode(height, caps);
      layer->wrapU = (caps & D3DPTADDRESSCAPS_INDEPENDENTUV) ? lightWaveAddressMode(width, caps) : layer->wrapV;
      if (layer->projection == 2) layer->wrapU = layer->wrapV = 1;
      if (layer->projection == 1) layer->wrapU = 1;
      if (layer->texture && (layer->texture->flags & kTextureAllowNonPow2)) layer->wrapU = layer->wrapV = 3;
    } else if (sub == fourCC("WRPW")) {
      layer->widthRepeat = field.f4();
    } else if (sub == fourCC("WRPH")) {
      layer->heightRepeat = field.f4();
    } else if (sub == fourCC("VMAP")) {
      const std::string mapName = field.s0();
      if (layer->blockType == fourCC("vcol")) {
        bindColorMaps(load, *layer, mapName);
      } else {
        bindUVMaps(load, *layer, mapName);
      }
    } else if (sub == fourCC("AAST")) {
      const std::uint16_t flags = field.u2();
      const float strength = field.f4();
      if (flags != 0) {
        layer->antialiasing = true;
        layer->maxAnisotropy = static_cast<float>(lightWaveAntialiasLevel(strength));
      }
    } else if (sub == fourCC("PIXB")) {
      layer->pixelBlending = field.u2() != 0;
    } else if (sub == fourCC("TAMP")) {
      load.readAnimated(field, layer->amplitude);
    } else if (sub == fourCC("GRST")) {
      layer->gradientStart = field.f4();
    } else if (sub == fourCC("GREN")) {
      layer->gradientEnd = field.f4();
    } else if (sub == fourCC("PNAM")) {
      const std::string input = field.s0();
      const auto found = std::find(kGradientInputs.begin(), kGradientInputs.end(), input);
      layer->proceduralIndex =
          found == kGradientInputs.end() ? -1 : static_cast<std::int32_t>(found - kGradientInputs.begin());
    } else if (sub == fourCC("FKEY")) {
      for (std::uint16_t k = 0; k < size / 20; ++k) {
        GradientKey key;
        key.input = field.f4(), key.red = field.f4(), key.green = field.f4(), key.blue = field.f4();
        key.alpha = field.f4();
        layer->gradientKeys.push_back(key);
      }
    } else if (sub == fourCC("IKEY")) {
      for (GradientKey& key : layer->gradientKeys) key.interpolation = field.u2();
    }
  }

  if (layer->blockType == fourCC("GRAD")) {
    if (!layer->gradientKeys.empty()) {
      for (AnimatedFloat& channel : layer->gradientChannels) channel.channel = std::make_unique<Envelope>();
    }
    load.root.textures.push_back(std::make_unique<GradientTexture>(load.scene.pipeline, layer.get()));
    layer->texture = load.root.textures.back().get();
  }
  if (Texture* texture = layer->texture) {
    std::uint32_t flags = texture->flags;
    if (layer->channel == fourCC("TRAN")) {
      flags |= kTextureAlphaFromLuminance;
      surface.transparent = true;
    } else if (layer->channel == fourCC("BUMP")) {
      texture->factor = surface.bump.evaluate(0.0) * layer->amplitude.evaluate(0.0);
      flags = (flags | kTextureNormalMap) & ~std::uint32_t{kTextureConvertFormat};
    } else {
      flags |= kTextureKeepColour;
    }
    if (layer->opacityType == 6) flags = (flags | kTextureNormalMap) & ~std::uint32_t{kTextureConvertFormat};
    texture->setFlags(flags);
  }
  surface.addTextureLayer(std::move(layer));
}

void readVertexColourLayer(Surface& surface, Lwo2Load& load, Lwo2Cursor in) {
  auto layer = std::make_unique<TextureLayer>();
  layer->blockType = fourCC("vcol");
  layer->channel = fourCC("COLR");
  layer->enabled = true;
  load.readAnimated(in, layer->opacity);
  const std::uint32_t type = in.id4();
  const std::string mapName = in.s0();
  if (type == fourCC("RGB ") || type == fourCC("RGBA") || type == fourCC("max ")) bindColorMaps(load, *layer, mapName);
  surface.addTextureLayer(std::move(layer));
}

void readBackSurface(Surface& surface, Lwo2Load& load, Lwo2Cursor in) {
  const std::string name = in.s0();
  if (!load.haveTags || load.surfaces.size() >= Lwo2Load::kTableSize) {
    reportError("loadLWO2: %s: back surface \"%s\" has no room in the surface table\n", load.modelName.c_str(),
                name.c_str());
    return;
  }
  load.surfaces.push_back(load.surfaceByKey(name, true));
  surface.backSurfaceIndex = static_cast<std::int32_t>(load.surfaces.size() - 1);
}

}  // namespace

void readSurface(Lwo2Load& load, Lwo2Cursor in) {
  const std::string name = in.s0();
  const std::string source = in.s0();
  Surface* found = load.surfaceByKey(name, false);
  if (!found) {
    reportError("surface %s not found in %s!\n", (load.modelName + "@" + name).c_str(), load.modelName.c_str());
    load.failed = true;
    return;
  }
  Surface& surface = *found;
  if (surface.defined) return;  // the first definition of the file's surface stands
  surface.sourceName = source;
  while (!in.atEnd()) {
    const std::uint32_t sub = in.id4();
    Lwo2Cursor field = in.take(in.u2());
    if (sub == fourCC("COLR")) {
      surface.red.value = field.f4(), surface.green.value = field.f4(), surface.blue.value = field.f4();
      if (const std::uint16_t e = field.u2(); e != 0) {
        surface.red.channel = load.envelopeCopy(e);
        surface.green.channel = load.envelopeCopy(e + 1u);
        surface.blue.channel = load.envelopeCopy(e + 2u);
      }
    } else if (sub == fourCC("LUMI")) {
      load.readAnimated(field, surface.luminosity);
    } else if (sub == fourCC("DIFF")) {
      load.readAnimated(field, surface.diffuse);
    } else if (sub == fourCC("SPEC")) {
      load.readAnimated(field, surface.specularity);
    } else if (sub == fourCC("GLOS")) {
      load.readAnimated(field, surface.glossiness);
    } else if (sub == fourCC("REFL")) {
      load.readAnimated(field, surface.reflection);
    } else if (sub == fourCC("RIND")) {
      load.readAnimated(field, surface.refractiveIndex);
    } else if (sub == fourCC("CLRH")) {
      load.readAnimated(field, surface.colorHighlights);
    } else if (sub == fourCC("BUMP")) {
      load.readAnimated(field, surface.bump);
    } else if (sub == fourCC("TRAN")) {
      load.readAnimated(field, surface.transparency);
      markTransparentWhen(surface, surface.transparency);
    } else if (sub == fourCC("ADTR")) {
      load.readAnimated(field, surface.additiveTransparency);
      markTransparentWhen(surface, surface.additiveTransparency);
    } else if (sub == fourCC("SIDE")) {
      surface.doubleSided = (field.u2() & 3) == 3;
    } else if (sub == fourCC("SMAN")) {
      const float angle = field.f4();
      if (angle > 0.0349066f) setSmoothingAngle(surface, angle);
    } else if (sub == fourCC("RFOP")) {
      const std::uint16_t mode = field.u2();
      surface.reflectionOptions = mode == 3 ? 1 : mode;
      if (mode == 0) surface.transparent = true;
    } else if (sub == fourCC("RIMG")) {
      surface.reflectionImage = load.clip(field.u2());
      if (surface.reflectionImage)
        surface.reflectionImage->setFlags(surface.reflectionImage->flags | kTextureKeepColour);
    } else if (sub == fourCC("BLOK")) {
      readBlock(surface, load, field);
    } else if (sub == fourCC("VCOL")) {
      readVertexColourLayer(surface, load, field);
    } else if (sub == fourCC("back")) {
      readBackSurface(surface, load, field);
    }
  }
  // Image layers are stacked by the first character of their ordinal.
  std::stable_sort(surface.imageLayers.begin(), surface.imageLayers.end(),
                   [](const auto& a, const auto& b) { return a->ordinal < b->ordinal; });
  surface.defined = true;
  surface.loaded = true;  // drawn from now on
}
