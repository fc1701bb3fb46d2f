#include "game/track/point_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>

#include "foundation/byte_fields.h"
#include "foundation/file.h"
#include "foundation/report.h"
#include "game/track/track_maps.h"
#include "game/track/track_numbers.h"

TrackExtent TrackExtent::ofTrack(int track) {
  constexpr float kUnknownReach = 10000.0f;
  TrackRectangle ground;
  if (!ground.setTrack(track))
    return {-kUnknownReach, kUnknownReach, -kUnknownReach, kUnknownReach, -kUnknownReach, kUnknownReach};
  const float side = std::max(ground.maxX - ground.minX, ground.maxZ - ground.minZ);
  return {ground.minX - side, ground.maxX + side, -side, side, ground.minZ - side, ground.maxZ + side};
}

bool TrackExtent::contains(const Position3& p) const {
  return p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY && p.z >= minZ && p.z <= maxZ;
}

std::vector<PointRecord> readPointFile(const File& prototype, const char* name, const TrackExtent& extent) {
  std::vector<PointRecord> records;
  const std::unique_ptr<File> owned = prototype.cloneUnique();
  File& file = *owned;
  if (!file.open(name)) return records;
  // The size bounds the loop: no more records than the file can hold,
  // whatever the file layer's reads answer.
  const int stored = file.size() > 0 ? file.size() / PointRecord::kSize : 0;
  const int count = std::min(stored, PointRecord::kMaxRecords);
  records.reserve(static_cast<std::size_t>(count));
  int read = 0;
  for (; read < count; ++read) {
    std::uint8_t bytes[PointRecord::kSize];
    if (file.read(bytes, PointRecord::kSize) != PointRecord::kSize) break;
    FieldReader reader(bytes, sizeof bytes);
    PointRecord record;
    record.position.x = reader.f32();
    record.position.y = reader.f32();
    record.position.z = reader.f32();
    record.w = reader.f32();
    if (std::isfinite(record.w) && extent.contains(record.position)) records.push_back(record);
  }
  file.close();
  if (stored > count)
    reportRefusal("point file \"%s\": more than %d points; the rest is not read\n", name, PointRecord::kMaxRecords);
  if (records.size() < static_cast<std::size_t>(read))
    reportRefusal("point file \"%s\": %d of %d points not finite or beyond the track; they are dropped\n", name,
                  read - static_cast<int>(records.size()), read);
  return records;
}

bool writePointRecord(File& file, const PointRecord& record) {
  std::uint8_t bytes[PointRecord::kSize];
  FieldWriter writer(bytes, sizeof bytes);
  writer.f32(record.position.x);
  writer.f32(record.position.y);
  writer.f32(record.position.z);
  writer.f32(record.w);
  return file.write(bytes, PointRecord::kSize) == PointRecord::kSize;
}

std::string trackPointFileName(int track, const char* leaf) {
  if (track < 0 || track >= kTrackCount) return {};
  return std::string("D:\\Tamberlok\\aifiles\\track") + trackFileDigits(track) + "\\" + leaf;
}
