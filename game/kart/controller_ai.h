// The computer driver: follows one of the track's seven driving lines,
// steering at the point after the one it last reached and holding the speed
// recorded there, backs up when it hits a wall or makes no headway, and has
// the kart put back on a line when backing up did not help or the kart has
// left the track. Until its kart and the race's clock are set it presses
// nothing.
#pragma once

#include <memory>
#include <vector>

#include "foundation/matrix.h"
#include "game/kart/controller.h"
#include "game/track/track_points.h"

class Config;
class File;
class Vehicle;

class ControllerAI final : public Controller {
 public:
  static constexpr int kLines = TrackPoints::kLines;
  // A kart that has neither passed a point of its line nor come further
  // along the position map since the last check, checked this often
  // (seconds of race time)...
  static constexpr double kStuckCheckInterval = 5.0;
  // ...backs up this long, and is put back at the next check without
  // headway.
  static constexpr double kReverseTime = 1.0;
  // A kart off the position map (behind a wall, off the track) this long is
  // put back at once.
  static constexpr double kOffTrackTime = 1.0;
  // Never aims below this speed, whatever the line says.
  static constexpr float kMinSpeedLimit = 0.5f;
  // One update in this many uses the held extra.
  static constexpr int kExtraChance = 1000;

  // Drives the lines of `points` (the race's one copy; none: no lines, for
  // a caller that sets them). The driver of kart k drives line k - 1, held
  // to the seven lines.
  ControllerAI(std::shared_ptr<const TrackPoints> points, const Config& config, int k);
  // Reads the config's track's points through `files` for itself (none: no
  // lines). The second argument is unused.
  ControllerAI(const File* files, int unused, const Config& config, int k);

  // The kart this controller drives (not owned); set once it is built.
  void setKart(Vehicle* kart) { m_kart = kart; }
  // The race's simulated time in seconds, read at each update (not owned).
  void setClock(const double* simTime) { m_clock = simTime; }

  bool left() override { return m_left != 0; }
  bool right() override { return m_right != 0; }
  bool accelerate() override { return m_accelerate != 0; }
  bool brake() override { return m_brake != 0; }
  bool secondaryAction() override { return false; }
  bool useExtra() override { return m_useExtra != 0; }
  int getPointIndex() const override { return m_pointIndex; }
  // A new point index (the kart was put back there) starts the headway
  // checks afresh.
  void setPointIndex(int index) override {
    m_pointIndex = index;
    m_restartProgressCheck = true;
  }
  // Once per physics step, before the kart reads the commands.
  void update(bool bounced, bool inReverse) override;
  bool isAI() const override { return true; }

  int lineIndex() const { return m_lineIndex; }
  // Held to the seven lines.
  void setLineIndex(int line);
  bool reversing() const { return m_reversing; }

  // The driving lines (see TrackPoints); a line without points is driven
  // as the track's origin.
  void setPoints(std::shared_ptr<const TrackPoints> points) { m_points = std::move(points); }
  const std::vector<Position3>& line(int i) const;

 private:
  // The point after the one the kart last reached; its speed in `speed`.
  Position3 findTarget(double now, const Position3& position, float& speed);
  void checkProgress(double now, int sector, bool& respawned);
  void startCheckPeriod(double now, int sector);
  // Whether the kart passed a point of its line, or came further along the
  // position map (`sector`, -1 without a map), since the last check.
  bool madeHeadway(int sector) const;
  void walk(const Position3& position);
  int lineSize() const;
  Position3 point(int i) const;
  float speedAt(int i) const;

  std::shared_ptr<const TrackPoints> m_points;
  Vehicle* m_kart = nullptr;
  const double* m_clock = nullptr;
  int m_pointIndex = 0;
  int m_lineIndex = 0;
  bool m_reversing = false;
  bool m_reversedThisPeriod = false;
  double m_reverseStart = 0.0;
  bool m_restartProgressCheck = true;
  int m_left = 0;
  int m_right = 0;
  int m_accelerate = 0;
  int m_brake = 0;
  int m_useExtra = 0;
  double m_lastCheckTime = 0.0;
  int m_lastCheckPoint = 0;
  int m_lastCheckSector = -1;
  double m_offTrackSince = -1.0;  // -1: on the map
};
