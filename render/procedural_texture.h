// Textures computed once at set-up: the grey lens-flare element pictures and
// the projected spot-light cone, 512 x 512 with a full mip chain.
#pragma once

#include "render/texture.h"

enum FlareKind : int {
  kFlareNoise = 0,
  kFlareBrightCentre = 1,
  kFlareEvenCentre = 2,
  kFlareDimCentre = 3,
  kFlareRing = 4,
};

class ProceduralTexture : public Texture {
 public:
  explicit ProceduralTexture(RenderPipeline* pipeline) : Texture(pipeline, kTextureConvertFormat | kTextureMipChain) {}

  std::unique_ptr<Texture> clone() const override { return std::make_unique<ProceduralTexture>(*this); }
  void load() override {}  // the pixels exist from set-up
  int kind() const override { return kTextureKindProcedural; }

  // Kinds 0 to 4; another kind leaves the store unwritten and the name as it
  // was, but still uploads.
  void makeFlare(int flareKind);
  // Angles in radians.
  void makeSpot(float intensity, float edgeAngle, float coneAngle);
};

// The grey value of flare texel (x, y) of a w x h picture, and whether the
// texel is drawn at all (the ring kind is opaque black off the ring).
std::uint32_t flareTexel(int flareKind, int x, int y, int w, int h);
std::uint32_t spotTexel(int x, int y, int w, int h, float intensity, float edgeAngle, float coneAngle);
// One-dimensional value noise of the noisy flare.
double flareNoise(double x);
