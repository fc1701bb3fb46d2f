// Animated image sequences (one frame texture chosen by time) and gradient
// lookup textures (1024 x 1, computed from a gradient texture layer).
#pragma once

#include <memory>
#include <vector>

#include "render/texture.h"

enum FrameMode : int {
  kFrameRestart = 1,
  kFrameClamp = 2,
  kFrameLoop = 4,
  kFramePingPong = 256,
};

class SequenceTexture : public Texture {
 public:
  explicit SequenceTexture(RenderPipeline* pipeline);
  // Copies the range, offset and mode, and clones every frame, so that the
  // copy can be drawn on its own.
  SequenceTexture(const SequenceTexture& other);

  std::unique_ptr<Texture> clone() const override { return std::make_unique<SequenceTexture>(*this); }
  void load() override;
  IDirect3DTexture9* getDeviceTexture(double time) override;
  int kind() const override { return kTextureKindSequence; }
  void setFlags(std::uint32_t newFlags) override;

  // The frame array entry shown at time t, or -1 when none is.
  int frameIndexAt(double time) const;

  std::vector<std::unique_ptr<Texture>> frames;  // lastFrame - firstFrame + 1 entries; may be null
  std::uint32_t firstFrame = 0, lastFrame = 0;
  std::uint32_t frameOffset = 0;
};

class TextureLayer;

class GradientTexture : public Texture {
 public:
  GradientTexture(RenderPipeline* pipeline, TextureLayer* layer);

  std::unique_ptr<Texture> clone() const override { return std::make_unique<GradientTexture>(*this); }
  // Computes the texture once, from the layer as it is then.
  void load() override;
  int kind() const override { return kTextureKindGradient; }

  TextureLayer* layer;  // not owned
};
