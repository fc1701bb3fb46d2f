// What the menu samples hold that tests look for: the colours of the
// preview scenes' models (a kart's paint, a driver's body).
#pragma once

#include <cstdint>

// Opaque RGB (0x00RRGGBB) of kart 0..7's and character 0..5's model.
std::uint32_t sampleKartColour(int kart);
std::uint32_t sampleCharacterColour(int character);
