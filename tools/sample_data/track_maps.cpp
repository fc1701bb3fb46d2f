#include "tools/sample_data/track_maps.h"

#include <algorithm>
#include <cmath>

#include "content/archive_writer.h"
#include "content/bmp_writer.h"
#include "content/pcx_writer.h"
#include "foundation/archive_file.h"

NearestCentre nearestCentre(const SampleTrack& track, int width, int height) {
  NearestCentre n;
  n.width = width;
  n.height = height;
  const std::size_t cells = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  n.fraction.assign(cells, 0.0f);
  n.distance.assign(cells, 1e9f);
  const MapRect& r = track.rect;
  const double cellWidth = (r.maxX - r.minX) / width, cellDepth = (r.maxZ - r.minZ) / height;
  // Far enough for the road mesh and a minimap's outline around it.
  const double reach = std::max<double>(track.groundHalfWidth, 5.0 * std::max(cellWidth, cellDepth)) + 2.0;
  const int segments = std::max(64, static_cast<int>(std::ceil(lapLength(track))));
  auto column = [&](double x) {
    return std::clamp(static_cast<int>(std::floor((x - r.minX) / cellWidth)), 0, width - 1);
  };
  auto row = [&](double z) {
    return std::clamp(static_cast<int>(std::floor((r.maxZ - z) / cellDepth)), 0, height - 1);
  };
  for (int s = 0; s < segments; ++s) {
    const double f0 = static_cast<double>(s) / segments, f1 = static_cast<double>(s + 1) / segments;
    const GroundPlace a = track.centre(f0), b = track.centre(f1 < 1.0 ? f1 : 0.0);
    const int c0 = column(std::min(a.x, b.x) - reach), c1 = column(std::max(a.x, b.x) + reach);
    const int r0 = row(std::max(a.z, b.z) + reach), r1 = row(std::min(a.z, b.z) - reach);
    const double ex = b.x - a.x, ez = b.z - a.z, length2 = ex * ex + ez * ez;
    for (int y = r0; y <= r1; ++y) {
      const double z = r.maxZ - (y + 0.5) * cellDepth;
      for (int x = c0; x <= c1; ++x) {
        const double px = r.minX + (x + 0.5) * cellWidth;
        const double t = length2 > 0 ? std::clamp(((px - a.x) * ex + (z - a.z) * ez) / length2, 0.0, 1.0) : 0.0;
        const auto d = static_cast<float>(std::hypot(px - (a.x + t * ex), z - (a.z + t * ez)));
        const std::size_t i = static_cast<std::size_t>(y) * width + x;
        if (d < n.distance[i]) {
          n.distance[i] = d;
          n.fraction[i] = static_cast<float>(f0 + t * (f1 - f0));
        }
      }
    }
  }
  return n;
}

std::vector<std::uint8_t> positionValues(const SampleTrack& track, const NearestCentre& nearest) {
  // Every place a kart can reach between the walls reads a value, even in
  // a pixel whose centre lies just past a wall.
  const MapRect& r = track.rect;
  const float halfDiagonal =
      std::hypot((r.maxX - r.minX) / static_cast<float>(nearest.width), (r.maxZ - r.minZ) / nearest.height) / 2.0f;
  const float reach = std::max(track.groundHalfWidth, track.wallOffset + halfDiagonal);
  std::vector<std::uint8_t> values(nearest.fraction.size(), 0);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (nearest.distance[i] > reach) continue;
    const int v = 1 + static_cast<int>(nearest.fraction[i] * 255.0f);
    values[i] = static_cast<std::uint8_t>(std::clamp(v, 1, 255));
  }
  return values;
}

namespace {

std::uint32_t grey(int level) {
  const auto l = static_cast<std::uint32_t>(std::clamp(level, 0, 255));
  return l << 16 | l << 8 | l;
}

std::vector<std::uint8_t> pcx(const std::vector<std::uint8_t>& values, int rows = kMapSize) {
  std::vector<std::uint32_t> palette(256);
  for (int i = 0; i < 256; ++i) palette[static_cast<std::size_t>(i)] = grey(i);
  return writePcx8(kMapSize, rows, values, palette);
}

bool add(ArchiveWriter& writer, const std::string& name, const std::vector<std::uint8_t>& bytes, int flags = 3) {
  return !bytes.empty() && writer.add(toArchiveName(name.c_str()), bytes, flags);
}

// The maps are large and plain: range coding alone packs them well, at a
// fraction of the cost of block sorting.
constexpr int kMapPacking = 1;

}  // namespace

bool addTrackMaps(ArchiveWriter& writer, const SampleTrack& track) {
  const NearestCentre nearest = nearestCentre(track, kMapSize, kMapSize);
  const std::vector<std::uint8_t> positions = positionValues(track, nearest);
  // Full light (170 reads as 1.0) but on the track's shaded stretch.
  const std::vector<std::uint32_t> levels = {grey(170), grey(110)};
  std::vector<std::uint8_t> light(positions.size());
  for (std::size_t i = 0; i < positions.size(); ++i) {
    const float f = nearest.fraction[i];
    const bool shaded = f > track.shadeFrom && f < track.shadeTo;
    light[i] = positions[i] != 0 && shaded ? 1 : 0;
  }
  // The reset map marks where a kart may be put back: the paved road. It
  // has rows of its own on a track whose map was drawn shorter.
  const NearestCentre resetGrid =
      track.resetMapRows == kMapSize ? nearest : nearestCentre(track, kMapSize, track.resetMapRows);
  std::vector<std::uint8_t> reset(resetGrid.distance.size());
  for (std::size_t i = 0; i < reset.size(); ++i) reset[i] = resetGrid.distance[i] <= track.roadHalfWidth ? 255 : 0;
  return add(writer, positionMapFile(track), pcx(positions), kMapPacking) &&
         add(writer, resetMapFile(track), pcx(reset, track.resetMapRows), kMapPacking) &&
         add(writer, lightMapFile(track), writeBmp8(kMapSize, kMapSize, light, levels), kMapPacking);
}

bool addTrackPointFiles(ArchiveWriter& writer, const SampleTrack& track, bool drivingLinesOnly) {
  bool ok = true;
  for (int line = 0; line < kAiLineCount; ++line)
    ok = ok && add(writer, aiLineFile(track, line), pointFileBytes(aiLine(track, line)));
  if (drivingLinesOnly) return ok;
  return ok && add(writer, aiFile(track, "ai_respawn.dat"), pointFileBytes(respawnPoints(track))) &&
         add(writer, aiFile(track, "ai_rakete.dat"), pointFileBytes(rocketPath(track)));
}
