// Where the in-race displays sit in the 1024 x 768 layout: each local
// player's band (the whole layout, or the upper and lower half of a split
// screen), the countdown picture, and the minimap with its kart markers
// mapped from the track's world rectangle.
#pragma once

namespace hud_layout {

constexpr int kMaxViews = 2;
constexpr float kBandHeight = 384.0f;  // a split-screen band

struct Rect {
  float x = 0.0f, y = 0.0f, width = 0.0f, height = 0.0f;
};

// A track's minimap: its imageset, the picture's size and the world x and z
// it covers.
struct MinimapTrack {
  const char* imageset;  // "Minimap_Track01" ...; the file adds ".imageset"
  float width, height;
  float xMin, xMax, zMin, zMax;
};

// By track index 0..7; null for any other index.
const MinimapTrack* minimapTrack(int trackIndex);

// The countdown picture of `player` (0 or 1): a square centred on x 512.
Rect countdownRect(int viewCount, int player);

// Each player's minimap in the bottom right corner of their band, 10 pixels
// in, at `scale` of the picture's size.
struct Minimap {
  float scale = 0.0f;
  float width = 0.0f, height = 0.0f;
  float left[kMaxViews] = {}, top[kMaxViews] = {};
};
Minimap minimapLayout(const MinimapTrack& track, float scale, int viewCount);

// The top left corner of a marker (a square of 17 x scale) whose middle
// sits on world (x, z) in `player`'s minimap: world x runs right, z up.
void markerCorner(const Minimap& map, const MinimapTrack& track, int player, float x, float z, float& left, float& top);

}  // namespace hud_layout
