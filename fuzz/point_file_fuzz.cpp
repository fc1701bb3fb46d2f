// Feeds arbitrary bytes to the reader of the per-track point files (rocket
// path, respawn points, computer drivers' lines): whole 16-byte records
// only, never more than the file holds.
#include <cstdint>
#include <cstdlib>

#include "fuzz/byte_file.h"
#include "game/track/point_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const FuzzByteFile file(data, size);
  const std::vector<PointRecord> records = readPointFile(file, "ai_respawn.dat");
  if (records.size() != size / PointRecord::kSize) std::abort();
  float sum = 0.0f;
  for (const PointRecord& r : records) sum += r.position.x + r.w;
  volatile float sink = sum;
  (void)sink;
  return 0;
}
