#include "game/track/track_maps.h"

#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>

#include "foundation/channel_group.h"
#include "foundation/file.h"
#include "game/kart/vehicle.h"
#include "game/track/track_numbers.h"
#include "render/surface.h"

namespace {

struct Bounds {
  float minX, maxX, minZ, maxZ;
};

// Per track index, the ground the maps of that track were drawn over.
constexpr Bounds kTrackBounds[] = {
    {-204.0183f, 223.616f, -164.2901f, 244.3623f},
    {-344.5322f, 344.5313f, -349.9983f, 349.9971f},
    {-64.6845f, 146.2955f, -68.9741f, 64.6844f},
    {-250.0f, 250.0f, -250.0f, 250.0f},
    {-310.5f, 310.5f, -310.5f, 310.5f},
    {-257.9001f, 245.079f, -226.4495f, 196.2463f},
    {-232.423f, 267.577f, -262.0842f, 278.5626f},
    {-260.8393f, 210.1982f, -181.7651f, 194.7147f},
};
static_assert(std::size(kTrackBounds) == kTrackCount);

// The reset map of this track was drawn 392 pixels high.
constexpr int kShortResetMapTrack = 7;
constexpr float kShortResetMapHeight = 392.0f;

// A map channel value of 170 is the light the karts were modelled under.
constexpr float kLightScale = 1.5f / 255.0f;

bool validTrack(int trackIndex) { return trackIndex >= 0 && trackIndex < kTrackCount; }

// trunc(value) as a pixel index of a side of `size` pixels, clamped to it;
// NaN reads pixel 0.
int clampedIndex(float value, int size) {
  const float t = std::trunc(value);
  if (!(t > 0.0f)) return 0;
  if (t > static_cast<float>(size - 1)) return size - 1;
  return static_cast<int>(t);
}

// The pixel grid a PCX picture holds: its width (never past a line) and
// rows; 0 x 0 when it holds no pixels.
struct PcxGrid {
  int width = 0, height = 0, stride = 0;
};

PcxGrid gridOf(const PcxImage& picture) {
  PcxGrid grid;
  grid.stride = picture.bytesPerLine();
  if (grid.stride <= 0 || picture.pixelCount() <= 0) return {};
  grid.width = picture.xMax() - picture.xMin() + 1;
  if (grid.width > grid.stride) grid.width = grid.stride;
  grid.height = picture.pixelCount() / grid.stride;
  if (grid.width <= 0 || grid.height <= 0) return {};
  return grid;
}

// Loads a track's PCX map, or leaves the picture empty.
void loadPcxMap(PcxImage& picture, const File* files, int trackIndex, const char* prefix) {
  if (!files || !validTrack(trackIndex)) return;
  const std::unique_ptr<File> file = files->cloneUnique();
  picture.decodePCX(*file, trackMapFileName(trackIndex, prefix, "pcx").c_str());
}

// How strongly a motion plays now, read from its first channel; 0 when it
// drives nothing.
float intensityOf(const MixerMotion* motion) {
  if (!motion || motion->groups.empty() || motion->envelopeIndex.empty() || !motion->groups[0]) return 0.0f;
  const int e = motion->envelopeIndex[0];
  if (e < 0 || e >= motion->groups[0]->envelopeCount()) return 0.0f;
  return motion->groups[0]->intensity(e);
}

}  // namespace

bool TrackRectangle::setTrack(int trackIndex) {
  if (!validTrack(trackIndex)) {
    *this = TrackRectangle();
    return false;
  }
  const Bounds& b = kTrackBounds[trackIndex];
  minX = b.minX;
  maxX = b.maxX;
  minZ = b.minZ;
  maxZ = b.maxZ;
  return true;
}

float TrackRectangle::column(const Position3& p, int width) const {
  return (p.x - minX) / (maxX - minX) * static_cast<float>(width);
}

float TrackRectangle::row(const Position3& p, int height) const {
  return static_cast<float>(height) - (p.z - minZ) / (maxZ - minZ) * static_cast<float>(height);
}

std::string trackMapFileName(int trackIndex, const char* prefix, const char* extension) {
  if (!validTrack(trackIndex)) return {};
  return std::string("D:\\Tamberlok/mini_maps/") + prefix + trackFileDigits(trackIndex) + "." + extension;
}

TrackLightMap::TrackLightMap() = default;
TrackLightMap::~TrackLightMap() = default;

bool loadTrackLightMap(TrackLightMap& map, const File* files, int trackIndex) {
  map.m_image.reset();
  if (!map.m_rectangle.setTrack(trackIndex) || !files) return false;
  const std::unique_ptr<File> prototype = files->cloneUnique();
  map.m_image.reset(loadImage(*prototype, trackMapFileName(trackIndex, "light_track_", "bmp").c_str(), false));
  if (map.m_image && map.m_image->pixelCount() <= 0) map.m_image.reset();
  return map.loaded();
}

void releaseTrackLightMap(TrackLightMap& map) { map.m_image.reset(); }

void sampleTrackLightMap(const TrackLightMap& map, float (&colour)[4], const Position3& p) {
  const Image* image = map.m_image.get();
  if (!image) return;
  const int width = image->width(), height = image->height();
  float u = map.m_rectangle.column(p, width);
  float v = map.m_rectangle.row(p, height);
  // Outside [-1, size] the blend reads edge pixels only; keeping u and v
  // there also keeps NaN and huge values out of the index arithmetic.
  if (!(u > -1.0f)) u = -1.0f;
  if (u > static_cast<float>(width)) u = static_cast<float>(width);
  if (!(v > -1.0f)) v = -1.0f;
  if (v > static_cast<float>(height)) v = static_cast<float>(height);
  // Floor, not truncation: just outside the left or top edge the pixel
  // before the edge is the edge itself, so the blend never extrapolates.
  const float fu = std::floor(u), fv = std::floor(v);
  const float a = u - fu, b = v - fv;
  const int i0 = static_cast<int>(fu), j0 = static_cast<int>(fv);
  const int columns[2] = {clampedIndex(static_cast<float>(i0), width), clampedIndex(static_cast<float>(i0 + 1), width)};
  const int rows[2] = {clampedIndex(static_cast<float>(j0), height), clampedIndex(static_cast<float>(j0 + 1), height)};
  const float weights[2][2] = {{(1.0f - b) * (1.0f - a), (1.0f - b) * a}, {b * (1.0f - a), b * a}};
  float sum[3] = {0.0f, 0.0f, 0.0f};
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 2; ++c) {
      const std::uint32_t pixel = image->pixel(rows[r], columns[c]);
      for (int channel = 0; channel < 3; ++channel) {
        sum[channel] += weights[r][c] * static_cast<float>((pixel >> (16 - 8 * channel)) & 0xFFu);
      }
    }
  }
  for (int channel = 0; channel < 3; ++channel) colour[channel] = sum[channel] * kLightScale;
  colour[3] = 1.0f;
}

TrackPositionMap::TrackPositionMap(const File* files, int trackIndex) {
  if (m_rectangle.setTrack(trackIndex)) loadPcxMap(m_picture, files, trackIndex, "posmap_track_");
}

TrackPositionMap::~TrackPositionMap() = default;

int TrackPositionMap::valueAt(const Position3& p) const {
  const PcxGrid grid = gridOf(m_picture);
  if (grid.width <= 0) return 0;
  const int column = clampedIndex(m_rectangle.column(p, grid.width), grid.width);
  const int row = clampedIndex(m_rectangle.row(p, grid.height), grid.height);
  return m_picture.pixels()[row * grid.stride + column];
}

ResetMap::ResetMap(const File* files, int trackIndex) {
  if (trackIndex == kShortResetMapTrack) m_height = kShortResetMapHeight;
  if (m_rectangle.setTrack(trackIndex)) loadPcxMap(m_picture, files, trackIndex, "reset_map_track_");
}

ResetMap::~ResetMap() = default;

void applyTrackLight(const TrackLightMap& map, Vehicle* const* karts, int kartCount) {
  if (!map.loaded() || !karts) return;
  if (kartCount > Vehicle::kMaxKarts) kartCount = Vehicle::kMaxKarts;
  for (int i = 0; i < kartCount; ++i) {
    Vehicle* kart = karts[i];
    // While the hit motion plays the kart keeps the light it had.
    if (!kart || intensityOf(kart->m_motions.driverMotion(KartMotions::kHit)) != 0.0f) continue;
    Position3 at;
    kart->getPosition(at);
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    sampleTrackLightMap(map, colour, at);
    for (Surface* surface : kart->m_characterModel) {
      if (!surface) continue;
      for (int k = 0; k < 4; ++k) surface->colorFactor[k] = colour[k];
    }
  }
}
