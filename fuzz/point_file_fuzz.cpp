// Feeds arbitrary bytes to the per-track point files (rocket path, respawn
// points, the computer drivers' seven lines: every one reads the input) and
// races with what was read: a player's kart and a computer driver on flat
// ground of real ODE for 300 physics steps, both put back on the track
// (the player at a respawn point, the driver on a line) every 60 steps, the
// homing rocket's nearest path point looked up. Only whole records of
// finite points within track 0's extent are taken, never more than the
// cap, and the karts' places stay numbers.
#include <cstdint>
#include <cstdlib>

#include "foundation/report.h"
#include "fuzz/byte_file.h"
#include "fuzz/kart_ground.h"
#include "game/track/point_file.h"
#include "game/track/track_points.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

void requireInside(const std::vector<Position3>& points, const TrackExtent& extent, float lift) {
  require(points.size() <= static_cast<std::size_t>(PointRecord::kMaxRecords));
  // Lifting a point and lowering it again rounds: a point read at the very
  // edge may come back a hair beyond it.
  TrackExtent slack = extent;
  slack.minY -= 0.01f;
  slack.maxY += 0.01f;
  for (const Position3& p : points) require(slack.contains({p.x, p.y - lift, p.z}));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  g_messageLevel = 0;
  const FuzzByteFile file(data, size);
  const TrackExtent extent = TrackExtent::ofTrack(0);
  const std::shared_ptr<const TrackPoints> points = readTrackPoints(file, 0);
  require(points->rocketPath.size() <= size / PointRecord::kSize);
  requireInside(points->rocketPath, extent, 1.2f);
  requireInside(points->respawnPoints, extent, 0.3f);
  for (int line = 0; line < TrackPoints::kLines; ++line) {
    require(!points->lines[line].empty() && points->lines[line].size() == points->speeds[line].size());
    requireInside(points->lines[line], extent, 0.0f);
  }

  KartGround ground;
  VehicleMaster& player = ground.addKart(std::make_unique<PatternDriver>(static_cast<unsigned>(size)),
                                         std::make_unique<KartTuning>(), points.get(), -3.0f);
  VehicleMaster& driver = ground.addKart(std::make_unique<ControllerAI>(points, ground.config(), 1),
                                         std::make_unique<KartTuning>(), points.get(), 3.0f);
  ground.joinKarts();
  for (int i = 0; i < 300; ++i) {
    if (i % 60 == 30) {
      player.respawn();
      driver.respawn();
      volatile int nearest = player.nearestRocketPathPoint();
      (void)nearest;
    }
    ground.step();
  }
  return 0;
}
