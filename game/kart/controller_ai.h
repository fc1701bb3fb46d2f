// The computer driver: follows one of the track's seven driving lines,
// steering at the point after the one it last reached and holding the speed
// recorded there, backs up when it hits a wall or stands stuck, and has the
// kart put back on a line when backing up did not free it. Until its kart
// and the race's clock are set it presses nothing.
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
  // A kart that moved less than this since the last check...
  static constexpr float kStuckDistance = 1.0f;
  // ...checked this often (seconds of race time)...
  static constexpr double kStuckCheckInterval = 5.0;
  // ...backs up this long.
  static constexpr double kReverseTime = 1.0;
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
  void setPointIndex(int index) override { m_pointIndex = index; }
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
  void checkProgress(double now, const Position3& position, bool& respawned);
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
  Position3 m_lastCheckPosition{};
};
