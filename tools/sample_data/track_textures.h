// Procedural textures for the tracks' roads, ground and walls, 64 pixels
// square (0x00RRGGBB, top row first), each from its own seed.
#pragma once

#include <cstdint>
#include <vector>

namespace track_textures {

inline constexpr int kSide = 64;

// Stone slabs in staggered courses, `courses` to the side, with dark joints.
std::vector<std::uint32_t> paving(int r, int g, int b, int courses, std::uint32_t seed);
// Light stone with a few dark veins running across it.
std::vector<std::uint32_t> marble(int r, int g, int b, std::uint32_t seed);
// Vertical boards with gaps between them and grain along them.
std::vector<std::uint32_t> planks(int r, int g, int b, int boards, std::uint32_t seed);
// Metal panels with seams and rivets, a glowing stripe along every seam
// when `glow` is not 0.
std::vector<std::uint32_t> panels(int r, int g, int b, std::uint32_t glow, std::uint32_t seed);
// Ground with soft blotches of two colours (snow drifts, sand ripples).
std::vector<std::uint32_t> blotches(int r, int g, int b, int r2, int g2, int b2, std::uint32_t seed);
// Diagonal stripes of two colours, `width` pixels each.
std::vector<std::uint32_t> stripes(std::uint32_t a, std::uint32_t b, int width);
// Rows of arrows pointing along v (toward row 0).
std::vector<std::uint32_t> arrows(std::uint32_t ground, std::uint32_t arrow);

}  // namespace track_textures
