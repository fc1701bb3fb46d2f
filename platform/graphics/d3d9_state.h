// The device state both device implementations keep: render, sampler and
// texture-stage states, transforms and the viewport, with Direct3D's creation
// defaults in one place (creation and Reset both return to them).
#pragma once

#include <array>
#include <vector>

#include "platform/graphics/d3d9_types.h"

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

  // Direct3D's defaults for a back buffer of this size; ZENABLE follows the
  // automatic depth buffer.
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
