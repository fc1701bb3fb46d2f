// The highscores and options screens' sample data.
#pragma once

#include <cstdint>

// 0xAARRGGBB of "Background" in the end picture of character 0..5.
std::uint32_t sampleEndPictureColour(int character);
