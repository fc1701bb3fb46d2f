// A progress bar drawn straight on the device while scenes load, with a
// background picture chosen by the progress. Each report pumps the window
// messages, so the window stays responsive and a quit request ends the load.
#pragma once

#include <cstdint>
#include <exception>
#include <vector>

#include "scene/vertex_declaration_cache.h"

class RenderPipeline;
class Texture;

// Thrown out of loadingProgress when the user quits during a load; it
// unwinds the whole load to whoever started it.
class LoadingAbortedException : public std::exception {
 public:
  const char* what() const noexcept override { return "loading aborted"; }
};

struct LoadingProgressDisplay {
  RenderPipeline* pipeline = nullptr;
  // The bar's rectangle as fractions of the screen.
  float barLeft = 0.0f, barTop = 0.0f, barRight = 0.0f, barBottom = 0.0f;
  std::uint32_t barColour = 0xFFFFFFFF;  // 0xAARRGGBB
  // Pictures in progress order; an entry may be null (the screen is then
  // cleared to black). At least one entry.
  std::vector<Texture*> backgrounds{nullptr};
  // One trapezoid, or a rectangle over two black frames.
  bool slantedBar = false;
  // Made at the first report, for the display's life (a load has no device
  // reset in it).
  VertexDeclarationCache screenQuadDeclaration;
};

// Pumps the messages, then draws and presents one frame on every head.
void loadingProgress(LoadingProgressDisplay& display, float progress);
// One screen quad, texture coordinates (0,0) top-left to (1,1) bottom-right,
// shifted by half a pixel so texels land on pixels.
void drawScreenQuad(LoadingProgressDisplay& display, std::uint32_t colour, Texture* texture, float left, float top,
                    float right, float bottom);
// The same with its top edge pulled in by 0.5% of the screen width on each
// side, and without the half-pixel shift.
void drawSlantedBar(LoadingProgressDisplay& display, std::uint32_t colour, Texture* texture, float left, float top,
                    float right, float bottom);
