// Sequence frame selection and the gradient lookup texture.
#include "render/sequence_texture.h"

#include <algorithm>
#include <cmath>

#include "render/render_pipeline.h"
#include "render/texture_layer.h"

SequenceTexture::SequenceTexture(RenderPipeline* owner) : Texture(owner, kTextureConvertFormat | kTextureMipChain) {
  frameMode = kFrameLoop;
}

SequenceTexture::SequenceTexture(const SequenceTexture& other)
    : Texture(other), firstFrame(other.firstFrame), lastFrame(other.lastFrame), frameOffset(other.frameOffset) {
  for (const auto& frame : other.frames) frames.push_back(frame ? frame->clone() : nullptr);
}

void SequenceTexture::load() {
  for (auto& frame : frames)
    if (frame) frame->load();
}

void SequenceTexture::setFlags(std::uint32_t newFlags) {
  flags = newFlags;
  for (auto& frame : frames)
    if (frame) frame->setFlags(newFlags);
}

int SequenceTexture::frameIndexAt(double time) const {
  if (frames.empty()) return -1;
  double scaled = std::trunc(static_cast<double>(frameRate) * time);
  // Far beyond any frame count but inside the integer range, so the cast
  // below is defined for every time and rate.
  scaled = std::isfinite(scaled) ? std::clamp(scaled, -4.0e9, 4.0e9) : 0.0;
  // As an unsigned 32-bit number: before the offset is a very large frame.
  std::uint32_t i = static_cast<std::uint32_t>(static_cast<std::int64_t>(scaled)) - frameOffset;
  const std::uint32_t n = lastFrame - firstFrame + 1;
  const std::uint32_t last = lastFrame - firstFrame;
  switch (frameMode) {
    case kFrameLoop:
      i = n ? i % n : 0;
      break;
    case kFrameClamp:
      if (i > last) i = last;
      break;
    case kFrameRestart:
      if (i > last) i = 0;
      break;
    case kFramePingPong: {
      const std::uint32_t q = n ? i / n : 0, r = n ? i % n : 0;
      i = (q & 1) ? r : last - r;
      break;
    }
    default:
      // Unknown modes hold the last frame rather than run off the array.
      if (i > last) i = last;
      break;
  }
  // Never past the frames that exist, whatever the range says.
  if (i >= frames.size()) i = static_cast<std::uint32_t>(frames.size() - 1);
  while (!frames[i] && i > 0) --i;
  return frames[i] ? static_cast<int>(i) : -1;
}

IDirect3DTexture9* SequenceTexture::getDeviceTexture(double time) {
  const int i = frameIndexAt(time);
  return i < 0 ? nullptr : frames[static_cast<std::size_t>(i)]->getDeviceTexture(0.0);
}

GradientTexture::GradientTexture(RenderPipeline* owner, TextureLayer* source)
    : Texture(owner, kTextureConvertFormat | kTextureMipChain), layer(source) {}

void GradientTexture::load() {
  // A second load would only make the same store again.
  if (loaded || !layer) return;
  createPixelStore(0, "(gradient texture)", 1024, 1);
  if (deviceTextures.empty() || !deviceTextures[0]) return;
  D3DLOCKED_RECT locked{};
  if (FAILED(deviceTextures[0]->LockRect(0, &locked, nullptr, 0))) return;
  auto* row = static_cast<std::uint32_t*>(locked.pBits);
  const float start = layer->gradientStart, end = layer->gradientEnd;
  // On the transparency channel the red curve gives the alpha too.
  const bool transparency = layer->channel == fourCC("TRAN");
  AnimatedFloat* curves = layer->gradientChannels;
  for (int k = 0; k < 1024; ++k) {
    const float p = static_cast<float>(k) * (end - start) * 0.0009765625f + start;
    const float r = curves[0].evaluate(p), g = curves[1].evaluate(p), b = curves[2].evaluate(p),
                a = curves[3].evaluate(p);
    // Texel 0 holds the end of the range, texel 1023 its start.
    row[1023 - k] = ColorRGBA{r, g, b, transparency ? r : a}.toD3DColor();
  }
  deviceTextures[0]->UnlockRect(0);
  upload();
  loaded = true;
}
