// Internal to platform/: occlusion queries of the OpenGL device, counted
// with GL_SAMPLES_PASSED.
#pragma once

#include <memory>

#include "platform/graphics/d3d9_gl_texture.h"
#include "platform/graphics/d3d9_query.h"

// A new query on the device's context; null when the context has no query
// objects or is gone.
IDirect3DQuery9* makeGlOcclusionQuery(std::shared_ptr<QueryHost> host, std::shared_ptr<GlTextureHost> context);
