// Lines of one colour drawn for debugging (bone wireframes, target lines):
// position plus diffuse colour, unlit, straight from memory.
#pragma once

#include <cstdint>

#include "foundation/matrix.h"

class RenderPipeline;

// Draws `count` line segments (2 x count points) through `world`, then puts
// the pipeline's previous world matrix back.
void drawDebugLines(RenderPipeline& pipeline, const Matrix4x3& world, const Position3* points, int count,
                    std::uint32_t colour);
