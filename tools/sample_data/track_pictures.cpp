#include "tools/sample_data/track_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "tools/sample_data/menu_icons.h"
#include "tools/sample_data/picture_imageset.h"
#include "tools/sample_data/track_maps.h"
#include "tools/sample_data/track_samples.h"

namespace {

constexpr int kMap = 512;
constexpr int kPictureWidth = 320, kPictureHeight = 228;

// Ground colours by file number: stone age, pirate island, Rome, Sherwood,
// Egypt, wild west, UFO, Himalaya.
constexpr std::uint32_t kGround[8] = {0xFF8A7A4A, 0xFFD8C27A, 0xFFB89A6A, 0xFF3E6B2E,
                                      0xFFE6A83A, 0xFFB8743A, 0xFF3A3050, 0xFFDDE6EE};

Canvas fromMap(const std::vector<std::uint8_t>& map, std::uint32_t ground) {
  Canvas c(kPictureWidth, kPictureHeight);
  c.gradient(0, 0, kPictureWidth, kPictureHeight, mixColour(ground, 0xFFFFFFFF, 0.15f),
             mixColour(ground, 0xFF000000, 0.25f));
  // The map keeps a margin around the road: fit its square into the picture.
  const float scale = std::min(static_cast<float>(kPictureWidth), static_cast<float>(kPictureHeight)) / kMap * 0.96f;
  const float left = (kPictureWidth - kMap * scale) / 2, top = (kPictureHeight - kMap * scale) / 2;
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x) {
      const int u0 = static_cast<int>((static_cast<float>(x) - left) / scale);
      const int v0 = static_cast<int>((static_cast<float>(y) - top) / scale);
      const int u1 = static_cast<int>((static_cast<float>(x + 1) - left) / scale);
      const int v1 = static_cast<int>((static_cast<float>(y + 1) - top) / scale);
      int road = 0, line = 0, n = 0;
      for (int v = std::max(v0, 0); v < std::min(std::max(v1, v0 + 1), kMap); ++v)
        for (int u = std::max(u0, 0); u < std::min(std::max(u1, u0 + 1), kMap); ++u) {
          const std::uint8_t value = map[static_cast<std::size_t>(v) * kMap + static_cast<std::size_t>(u)];
          ++n;
          road += value != 0;
          line += value != 0 && (value <= 2 || value >= 254);
        }
      if (n == 0 || road == 0) continue;
      const float cover = static_cast<float>(road) / static_cast<float>(n);
      c.blend(x, y, 0xFFE8E8E8, std::min(1.0f, cover * 2.5f));  // the kerb shows at the road's edge
      c.blend(x, y, 0xFF3C3F46, std::max(0.0f, cover * 1.6f - 0.6f));
      if (line > 0) c.blend(x, y, ((x / 2 + y / 2) % 2) ? 0xFFFFFFFF : 0xFF101010, 1.0f);
    }
  return c;
}

Canvas noTrackYet(std::uint32_t ground) {
  Canvas c(kPictureWidth, kPictureHeight);
  c.gradient(0, 0, kPictureWidth, kPictureHeight, mixColour(ground, 0xFFFFFFFF, 0.15f),
             mixColour(ground, 0xFF000000, 0.25f));
  // A road marked out but not built: a dashed loop behind a barrier.
  for (int i = 0; i < 36; i += 2) {
    const float a0 = 6.2831853f * static_cast<float>(i) / 36, a1 = 6.2831853f * static_cast<float>(i + 1) / 36;
    c.line(160 + std::cos(a0) * 120, 114 + std::sin(a0) * 70, 160 + std::cos(a1) * 120, 114 + std::sin(a1) * 70, 6,
           0xC0FFFFFF);
  }
  c.fillRect(60, 150, 260, 178, 0xFFFFFFFF);
  for (int i = 0; i < 8; ++i) {
    const float x = 60 + 25.0f * static_cast<float>(i);
    c.fillPolygon({{x, 150}, {x + 12, 150}, {x + 24, 178}, {x + 12, 178}}, 0xFFD83020);
  }
  c.fillRect(76, 178, 84, 200, 0xFF404040), c.fillRect(236, 178, 244, 200, 0xFF404040);
  c.disc(160, 84, 38, 0xFFF0C020);
  c.text("DejaVuSans-Bold.ttf", "?", 56, 160, 104, 0xFF202020);
  return c;
}

Canvas cup(int number, const std::vector<int>& files) {
  Canvas c(kPictureWidth, kPictureHeight);
  c.gradient(0, 0, kPictureWidth, kPictureHeight, number == 1 ? 0xFF3A5A8A : 0xFF6A3A7A, 0xFF141828);
  // The cup's four tracks as small tiles behind the trophy.
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::vector<std::uint8_t> map = samplePositionMap(files[i]);
    const Canvas tile = map.empty() ? noTrackYet(kGround[files[i] - 1]) : fromMap(map, kGround[files[i] - 1]);
    const float x = 8 + 78.0f * static_cast<float>(i);
    c.draw(tile, x, 8, x + 72, 8 + 51);
  }
  menuIcon(c, 2, 160, 110, 90, 0xFFFFD040);
  c.text("DejaVuSans-Bold.ttf", std::to_string(number), 30, 160, 106, 0xFF5A3A00);
  // The cup's name is printed over this band on the championship screen.
  c.fillRect(0, 164, kPictureWidth, 212, 0xE00A0F1A);
  return c;
}

}  // namespace

std::vector<std::uint8_t> samplePositionMap(int fileNumber) {
  char number[8];
  std::snprintf(number, sizeof number, "%02d", fileNumber);
  for (const SampleTrack& track : sampleTracks()) {
    if (std::string(track.number) != number) continue;
    // The same map, over a square just round the road, so that the picture
    // shows the road large whatever the size of the rectangle it lies in.
    float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f;
    for (int i = 0; i < 720; ++i) {
      const Point2 p = centreAt(track, i / 720.0);
      minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minZ = std::min(minZ, p.z), maxZ = std::max(maxZ, p.z);
    }
    const float half = std::max(maxX - minX, maxZ - minZ) / 2.0f + track.wallOffset + 4.0f;
    const float cx = (minX + maxX) / 2.0f, cz = (minZ + maxZ) / 2.0f;
    SampleTrack framed = track;
    framed.rect = {cx - half, cx + half, cz - half, cz + half};
    return positionValues(framed, nearestCentre(framed, kMap, kMap));
  }
  return {};
}

std::vector<NamedPicture> drawTracks() {
  std::vector<NamedPicture> p;
  for (int file = 1; file <= 8; ++file) {
    const std::vector<std::uint8_t> map = samplePositionMap(file);
    p.push_back({"Track" + std::to_string(file), map.size() == std::size_t{kMap} * kMap
                                                     ? fromMap(map, kGround[file - 1])
                                                     : noTrackYet(kGround[file - 1])});
  }
  p.push_back({"Championship1", cup(1, {1, 5, 3, 4})});
  p.push_back({"Championship2", cup(2, {2, 6, 8, 7})});
  return p;
}
