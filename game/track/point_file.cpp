#include "game/track/point_file.h"

#include <cstdint>
#include <iterator>
#include <memory>

#include "foundation/byte_fields.h"
#include "foundation/file.h"
#include "game/track/track_numbers.h"

std::vector<PointRecord> readPointFile(const File& prototype, const char* name) {
  std::vector<PointRecord> records;
  const std::unique_ptr<File> owned = prototype.cloneUnique();
  File& file = *owned;
  if (!file.open(name)) return records;
  // The size bounds the loop: no more records than the file can hold,
  // whatever the file layer's reads answer.
  const int count = file.size() > 0 ? file.size() / PointRecord::kSize : 0;
  records.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::uint8_t bytes[PointRecord::kSize];
    if (file.read(bytes, PointRecord::kSize) != PointRecord::kSize) break;
    FieldReader reader(bytes, sizeof bytes);
    PointRecord record;
    record.position.x = reader.f32();
    record.position.y = reader.f32();
    record.position.z = reader.f32();
    record.w = reader.f32();
    records.push_back(record);
  }
  file.close();
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
