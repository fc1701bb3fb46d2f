#include "game/track/track_points.h"

#include "game/track/point_file.h"

std::string drivingLineFileName(int track, int line) {
  const std::string number = std::to_string(line + 2) + ".dat";
  const std::string inFolder = trackPointFileName(track, ("ai" + number).c_str());
  return inFolder.empty() ? "D:\\Tamberlok\\aifiles\\" + number : inFolder;
}

std::shared_ptr<const TrackPoints> readTrackPoints(const File& files, int track) {
  auto points = std::make_shared<TrackPoints>();
  const TrackExtent extent = TrackExtent::ofTrack(track);
  for (const PointRecord& r : readPointFile(files, trackPointFileName(track, "ai_rakete.dat").c_str(), extent))
    points->rocketPath.push_back({r.position.x, r.position.y + 1.2f, r.position.z});
  for (const PointRecord& r : readPointFile(files, trackPointFileName(track, "ai_respawn.dat").c_str(), extent))
    points->respawnPoints.push_back({r.position.x, r.position.y + 0.3f, r.position.z});
  for (int line = 0; line < TrackPoints::kLines; ++line) {
    for (const PointRecord& r : readPointFile(files, drivingLineFileName(track, line).c_str(), extent)) {
      points->lines[line].push_back(r.position);
      points->speeds[line].push_back(r.w);
    }
    if (points->lines[line].empty()) {
      points->lines[line].push_back(Position3{});
      points->speeds[line].push_back(0.0f);
    }
  }
  return points;
}
