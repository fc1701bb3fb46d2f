// Test-only: a textured quad drawn with GL's own fixed pipeline, so texture
// uploads can be checked by reading the back buffer before the engine's draw
// calls exist. Not a draw path of the engine.
#pragma once

#include "platform/graphics/d3d9.h"

// Draws `texture` (level 0, nearest texel, replacing the colour; alpha-only
// formats give black) over the current viewport of `device`, which made it.
// D3DERR_INVALIDCALL when the texture is not an OpenGL device's.
HRESULT drawTexturedQuadForTest(IDirect3DDevice9* device, IDirect3DTexture9* texture);
