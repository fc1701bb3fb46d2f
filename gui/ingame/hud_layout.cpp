#include "gui/ingame/hud_layout.h"

#include "game/track/track_numbers.h"

namespace hud_layout {

namespace {

// By track index; the imagesets are numbered by the tracks' files.
constexpr MinimapTrack kTracks[kTrackCount] = {
    {"Minimap_Track01", 512, 489, -204.0183f, 223.6160f, -164.2901f, 244.3623f},
    {"Minimap_Track05", 512, 512, -344.5322f, 344.5313f, -349.9983f, 349.9971f},
    {"Minimap_Track03", 512, 324, -64.6845f, 146.2955f, -68.9741f, 64.6844f},
    {"Minimap_Track04", 512, 512, -250.0f, 250.0f, -250.0f, 250.0f},
    {"Minimap_Track02", 512, 512, -310.5f, 310.5f, -310.5f, 310.5f},
    {"Minimap_Track06", 512, 431, -257.9001f, 245.0790f, -226.4495f, 196.2463f},
    {"Minimap_Track08", 473, 512, -232.4230f, 267.5770f, -262.0842f, 278.5626f},
    {"Minimap_Track07", 512, 409, -260.8393f, 210.1982f, -181.7651f, 194.7147f},
};

}  // namespace

const MinimapTrack* minimapTrack(int trackIndex) {
  return trackIndex >= 0 && trackIndex < kTrackCount ? &kTracks[trackIndex] : nullptr;
}

Rect countdownRect(int viewCount, int player) {
  const bool split = viewCount == 2;
  const float k = split ? 0.3f : 0.6f;
  const float centre = split ? 72.0f + kBandHeight * static_cast<float>(player) : 144.0f;
  return {512.0f - k * 256.0f, centre - k * 256.0f, k * 512.0f, k * 512.0f};
}

Minimap minimapLayout(const MinimapTrack& track, float scale, int viewCount) {
  Minimap map;
  map.scale = scale;
  map.width = track.width * scale;
  map.height = track.height * scale;
  const float viewHeight = 768.0f / static_cast<float>(viewCount);
  for (int p = 0; p < viewCount && p < kMaxViews; ++p) {
    map.left[p] = 1024.0f - (map.width + 10.0f);
    map.top[p] = 768.0f - (static_cast<float>(viewCount - p - 1) * viewHeight + map.height + 10.0f);
  }
  return map;
}

void markerCorner(const Minimap& map, const MinimapTrack& track, int player, float x, float z, float& left,
                  float& top) {
  left = map.left[player] + (x - track.xMin) * map.width / (track.xMax - track.xMin) - 8.0f * map.scale;
  top = map.top[player] + map.height - (z - track.zMin) * map.height / (track.zMax - track.zMin) - 8.0f * map.scale;
}

}  // namespace hud_layout
