#include "game/kart/controller_ai.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "foundation/random.h"
#include "game/kart/vehicle_master.h"
#include "game/saves/config.h"

namespace {

float distance(const Position3& a, const Position3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Timers during which a kart stands still on purpose: pulled by a magnet,
// stamped flat, crushed or falling. The stuck check waits them out.
bool heldByAnEffect(Vehicle& kart) {
  const VehicleMaster* master = kart.getMaster();
  if (!master) return false;
  const KartStatusTimers& t = master->m_status;
  return t.magnet != 0.0f || t.flattened != 0.0f || t.crushed != 0.0f || t.fall != 0.0f;
}

}  // namespace

ControllerAI::ControllerAI(std::shared_ptr<const TrackPoints> points, const Config& /*config*/, int k)
    : m_points(std::move(points)) {
  // Kart 0 is the player's: a driver given to it drives the first line.
  setLineIndex(k - 1);
}

ControllerAI::ControllerAI(const File* files, int /*unused*/, const Config& config, int k)
    : ControllerAI(files ? readTrackPoints(*files, config.m_track.get()) : nullptr, config, k) {}

void ControllerAI::setLineIndex(int line) { m_lineIndex = std::clamp(line, 0, kLines - 1); }

const std::vector<Position3>& ControllerAI::line(int i) const {
  static const std::vector<Position3> kNone;
  return m_points && i >= 0 && i < kLines ? m_points->lines[i] : kNone;
}

int ControllerAI::lineSize() const { return static_cast<int>(line(m_lineIndex).size()); }

Position3 ControllerAI::point(int i) const {
  const auto& points = line(m_lineIndex);
  if (i < 0 || i >= static_cast<int>(points.size())) return Position3{};
  return points[static_cast<std::size_t>(i)];
}

float ControllerAI::speedAt(int i) const {
  if (!m_points) return 0.0f;
  const auto& speeds = m_points->speeds[m_lineIndex];
  if (i < 0 || i >= static_cast<int>(speeds.size())) return 0.0f;
  return speeds[static_cast<std::size_t>(i)];
}

void ControllerAI::update(bool bounced, bool inReverse) {
  if (!m_kart || !m_clock || !m_kart->m_net.m_active.get()) return;
  const double now = *m_clock;
  if (bounced) {
    // Off the wall by backing up; a kart already backing into one goes on.
    m_reversing = !inReverse;
    m_reverseStart = now;
  }
  Position3 position;
  m_kart->getPosition(position);
  float targetSpeed = 0.0f;
  const Position3 target = findTarget(now, position, targetSpeed);

  // Steer toward the side of the heading the target lies on.
  const float* v = m_kart->getVelocity();
  const float e = (target.x - position.x) * -v[2] + (target.z - position.z) * v[0];
  if (e > 0.0f) {
    m_left = 1;
    m_right = 0;
  } else if (e < 0.0f) {
    m_left = 0;
    m_right = 1;
  }

  const float speed = std::fabs(m_kart->getSpeed());
  const float s = m_reversing ? -speed : speed;
  const float limit = std::max(targetSpeed, kMinSpeedLimit);
  m_accelerate = limit > s ? 1 : 0;
  m_brake = s > limit && s > speedAt(m_pointIndex) ? 1 : 0;

  if (m_reversing) {
    std::swap(m_left, m_right);
    std::swap(m_accelerate, m_brake);
    if (now - m_reverseStart >= kReverseTime) m_reversing = false;
  }
  m_useExtra = engineRand() % kExtraChance == 0 ? 1 : 0;
}

Position3 ControllerAI::findTarget(double now, const Position3& position, float& speed) {
  VehicleMaster* master = m_kart->getMaster();
  const int sector = master ? master->trackSectorAt(position) : -1;
  if (m_restartProgressCheck || !m_kart->m_net.m_active.get()) {
    startCheckPeriod(now, sector);
    m_restartProgressCheck = false;
  }
  bool respawned = false;
  checkProgress(now, sector, respawned);
  if (!respawned) walk(position);
  const int n = lineSize();
  const int target = n > 0 ? (m_pointIndex + 1) % n : 0;
  speed = speedAt(target);
  return point(target);
}

void ControllerAI::checkProgress(double now, int sector, bool& respawned) {
  VehicleMaster* master = m_kart->getMaster();
  const bool held = heldByAnEffect(*m_kart);
  // Off the map is behind a wall or off the track: no line leads back.
  if (sector == 0 && !held) {
    if (m_offTrackSince < 0.0) m_offTrackSince = now;
    if (now - m_offTrackSince >= kOffTrackTime && master) {
      m_offTrackSince = -1.0;
      master->respawn();
      respawned = true;
      startCheckPeriod(now, sector);
      return;
    }
  } else {
    m_offTrackSince = -1.0;
  }
  if (now - m_lastCheckTime <= kStuckCheckInterval) return;
  // Moving is not enough: a kart creeping the wrong way, or along a wall
  // it cannot pass, moves without getting anywhere.
  if (!held && !madeHeadway(sector)) {
    if (!m_reversedThisPeriod) {
      m_reversing = true;
      m_reverseStart = now;
    } else if (master) {
      // Backing up did not free it: back onto a line (the kart picks one).
      master->respawn();
      respawned = true;
    }
  }
  startCheckPeriod(now, sector);
}

void ControllerAI::startCheckPeriod(double now, int sector) {
  m_lastCheckTime = now;
  m_lastCheckPoint = m_pointIndex;
  m_lastCheckSector = sector;
  m_reversedThisPeriod = false;
}

bool ControllerAI::madeHeadway(int sector) const {
  // Ahead by less than half the loop is ahead; more is behind.
  const int n = lineSize();
  if (n > 1) {
    const int passed = ((m_pointIndex - m_lastCheckPoint) % n + n) % n;
    if (passed > 0 && passed <= n / 2) return true;
  }
  constexpr int kSectors = 256;
  if (sector > 0 && m_lastCheckSector > 0) {
    const int gained = (sector - m_lastCheckSector + kSectors) % kSectors;
    if (gained > 0 && gained < kSectors / 2) return true;
  }
  return false;
}

void ControllerAI::walk(const Position3& position) {
  const int n = lineSize();
  if (n == 0) {
    m_pointIndex = 0;
    return;
  }
  // The index may have been set from outside (a respawn): keep it on the
  // line.
  if (m_pointIndex < 0 || m_pointIndex >= n) m_pointIndex = ((m_pointIndex % n) + n) % n;
  auto d = [&](int i) { return distance(position, point(i)); };
  if (!m_reversing) {
    // At most one lap, whatever the points hold.
    for (int steps = 0; steps < n && d(m_pointIndex) > d((m_pointIndex + 1) % n); ++steps)
      m_pointIndex = (m_pointIndex + 1) % n;
  } else {
    m_reversedThisPeriod = true;
    while (m_pointIndex > 0 && d(m_pointIndex) > d(m_pointIndex - 1)) --m_pointIndex;
  }
}
