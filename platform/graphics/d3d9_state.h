// The device state both device implementations keep: render, sampler and
// texture-stage states, transforms and the viewport, with Direct3D's creation
// defaults in one place (creation and Reset both return to them).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/graphics/d3d9_types.h"

// Parts of the state whose change a backend may want to notice without
// comparing them: each has a version that changes with every write.
enum class StateGroup : unsigned { World, View, Projection, TextureMatrices, Lights, Count };

struct DeviceState {
  std::array<DWORD, kRenderStateCount> renderStates{};
  std::array<std::array<DWORD, kSamplerStateCount>, kMaxSamplers> samplerStates{};
  std::array<std::array<DWORD, kTextureStageStateCount>, kMaxTextureStages> stageStates{};
  D3DMATRIX view{};
  D3DMATRIX projection{};
  std::array<D3DMATRIX, kMaxTextureStages> textureMatrices{};
  std::vector<D3DMATRIX> worldMatrices;  // D3DTS_WORLDMATRIX(0..255)
  D3DVIEWPORT9 viewport{};
  BOOL softwareVertexProcessing = 0;
  // Never repeated within a process, never 0 after setDefaults: a copy of a
  // version stays a valid "seen" mark across resets and devices.
  std::array<std::uint64_t, static_cast<unsigned>(StateGroup::Count)> versions{};

  void touch(StateGroup group);
  std::uint64_t version(StateGroup group) const { return versions[static_cast<unsigned>(group)]; }

  // Direct3D's defaults for a back buffer of this size; ZENABLE follows the
  // automatic depth buffer. Touches every group.
  void setDefaults(bool autoDepthStencil, UINT width, UINT height);

  // Null for codes outside the ranges above.
  D3DMATRIX* transform(D3DTRANSFORMSTATETYPE state);
  DWORD* renderState(D3DRENDERSTATETYPE state);
  DWORD* samplerState(DWORD sampler, D3DSAMPLERSTATETYPE type);
  DWORD* stageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type);
};

D3DMATRIX identityMatrix();

// Float render states carry the float's bit pattern.
DWORD floatBits(float value);
