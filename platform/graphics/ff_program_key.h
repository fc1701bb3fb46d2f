// The part of Direct3D's fixed-function state that changes the generated
// GLSL: one key per distinct program. Values that only feed uniforms
// (matrices, colours, light positions, fog distances, the alpha reference)
// stay out of it, so changing them never compiles anything.
#pragma once

#include <array>
#include <compare>
#include <cstdint>

#include "platform/graphics/d3d9_geometry.h"
#include "platform/graphics/d3d9_state.h"

enum class FogKind : std::uint8_t { None, Vertex, Table, SpecularAlpha };

struct FixedFunctionStageKey {
  std::uint8_t colorOp = 0;       // 0: this stage and every later one are off
  std::uint8_t colorArg[3] = {};  // ARG0, ARG1, ARG2 with their modifier bits
  std::uint8_t alphaOp = 0;
  std::uint8_t alphaArg[3] = {};
  std::uint8_t resultTemp = 0;      // RESULTARG is TEMP
  std::uint8_t texture = 0;         // a texture is bound and sampled
  std::uint8_t volume = 0;          // ... and it is a volume texture (3D coordinates)
  std::uint8_t coordSet = 0;        // vertex set read (PASSTHRU)
  std::uint8_t coordGen = 0;        // TCI value >> 16
  std::uint8_t coordSize = 0;       // components of the input (0: set missing)
  std::uint8_t transformCount = 0;  // TTFF count, 0: no texture transform
  std::uint8_t projected = 0;

  auto operator<=>(const FixedFunctionStageKey&) const = default;
};

struct FixedFunctionKey {
  // Vertex inputs.
  std::uint8_t pretransformed = 0;
  std::uint8_t hasNormal = 0;
  std::uint8_t hasColor[2] = {};
  std::array<std::uint8_t, 8> texcoordSize{};  // components per set, 0 when missing

  // Lighting: light kinds by slot (0 off, else D3DLIGHT_*), sorted as the
  // enabled lights come in index order.
  std::uint8_t lighting = 0;
  std::array<std::uint8_t, 8> lights{};
  std::uint8_t specularEnable = 0;
  std::uint8_t localViewer = 0;
  std::uint8_t normalizeNormals = 0;
  // Effective sources after COLORVERTEX and the vertex's colours: D3DMCS_*.
  std::uint8_t diffuseSource = 0, ambientSource = 0, specularSource = 0, emissiveSource = 0;

  FogKind fog = FogKind::None;
  std::uint8_t fogMode = 0;  // D3DFOG_* of the kind in use
  std::uint8_t rangeFog = 0;
  std::uint8_t orthographicFog = 0;  // table fog on device depth

  std::array<FixedFunctionStageKey, kMaxTextureStages> stages{};
  std::uint8_t alphaFunc = 0;   // 0: alpha test off, else D3DCMP_*
  std::uint8_t clipPlanes = 0;  // bit i: plane i enabled

  auto operator<=>(const FixedFunctionKey&) const = default;
};

// The key of the program for a draw in `format` with the given states.
// textureMask bit s: stage s has a texture bound. Stages that read a missing
// texture become a pass-through of CURRENT, as Direct3D draws them.
// volumeMask bit s: the texture of stage s is a volume texture.
FixedFunctionKey buildFixedFunctionKey(const DeviceState& state, const GeometryState& geometry,
                                       const VertexFormat& format, unsigned textureMask, unsigned volumeMask = 0);

// The enabled lights in index order, at most eight.
int enabledLights(const GeometryState& geometry, const D3DLIGHT9* out[kMaxActiveLights]);
