// GLSL 1.20 for one fixed-function key: Direct3D's vertex lighting, fog,
// texture-coordinate generation and transforms, and the texture-stage
// cascade with alpha test, written out for exactly the state the key holds.
#pragma once

#include <string>

#include "platform/graphics/ff_program_key.h"

// Attribute locations the generated vertex shader expects.
enum FixedFunctionAttribute : int {
  kAttribPosition = 0,
  kAttribNormal = 1,
  kAttribColor0 = 2,
  kAttribColor1 = 3,
  kAttribTexcoord0 = 4,  // sets 0..7 at 4..11
};

std::string fixedFunctionVertexShader(const FixedFunctionKey& key);
std::string fixedFunctionFragmentShader(const FixedFunctionKey& key);
