// Putting a simulated kart back on the track a little behind where it was,
// facing along the track: after a fall, a reset zone, a hit, the reset key
// or a computer driver that is stuck. Also the nearest point of the rocket
// path, which shares the point search.
#include <algorithm>
#include <cmath>

#include "foundation/channel_group.h"
#include "foundation/random.h"
#include "game/kart/controller_ai.h"
#include "game/kart/vehicle_master.h"
#include "scene/scene.h"

namespace {

// A player's kart goes three respawn points back from the nearest, a
// computer driver five points back along its line.
constexpr int kPlayerPointsBack = 3;
constexpr int kDriverPointsBack = 5;
// A point with another kart closer than this is taken.
constexpr float kOccupiedRadius = 1.2f;
// The kart is put this far above the point it comes back to.
constexpr float kRespawnLift = 0.2f;
constexpr float kRespawnSearchStart = 999999.0f;
constexpr float kRocketPathSearchStart = 99999.0f;

float distance(const Position3& a, const Position3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The first point strictly nearer than `best`; of equal points the first.
int nearestPoint(const std::vector<Position3>& points, const Position3& at, float best) {
  int nearest = -1;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const float d = distance(points[i], at);
    if (d < best) {
      best = d;
      nearest = static_cast<int>(i);
    }
  }
  return nearest;
}

// i mod n in 0..n-1, also for negative i.
int wrap(int i, int n) { return ((i % n) + n) % n; }

}  // namespace

int VehicleMaster::nearestRocketPathPoint() {
  Position3 at;
  getPosition(at);
  return nearestPoint(m_rocketPath, at, kRocketPathSearchStart);
}

int VehicleMaster::freePointBehind(const std::vector<Position3>& points, int back) {
  if (points.empty()) return -1;
  Position3 at;
  getPosition(at);
  const int n = static_cast<int>(points.size());
  const int nearest = std::max(0, nearestPoint(points, at, kRespawnSearchStart));
  auto occupied = [&](const Position3& p) {
    for (int k = 0; k < raceKartCount(); ++k) {
      Vehicle* other = raceKart(k);
      if (!other || other == this) continue;
      Position3 there;
      other->getPosition(there);
      if (distance(there, p) < kOccupiedRadius) return true;
    }
    return false;
  };
  // A closed loop: stepping back visits at most n distinct points before it
  // repeats, so n candidates are all there are. With every one taken the
  // kart shares the first rather than searching for ever.
  const int first = wrap(nearest - back, n);
  int candidate = first;
  for (int tries = 0; tries < n; ++tries) {
    if (!occupied(points[static_cast<std::size_t>(candidate)])) return candidate;
    candidate = wrap(candidate - back, n);
  }
  return first;
}

void VehicleMaster::respawnPointAt(const std::vector<Position3>& points, int i, Position3& point,
                                   Normal3& direction) const {
  const int n = static_cast<int>(points.size());
  const Position3& here = points[static_cast<std::size_t>(i)];
  const Position3& next = points[static_cast<std::size_t>((i + 1) % n)];
  // The kart's heading stays in the horizontal and of unit length; two
  // points one above the other, or one point alone, give no direction, and
  // the kart keeps the one it had.
  const float dx = next.x - here.x, dz = next.z - here.z;
  const float length = std::sqrt(dx * dx + dz * dz);
  direction = length > 0.0f ? Normal3{dx / length, 0.0f, dz / length} : m_drive.m_heading;
  point = {here.x, here.y + kRespawnLift, here.z};
}

void VehicleMaster::findRespawnPoint(Position3& point, Normal3& direction) {
  const int i = freePointBehind(m_respawnPoints, kPlayerPointsBack);
  if (i < 0) {
    // A track without respawn points: back to the grid.
    point = m_gridStart;
    direction = m_gridHeading;
    return;
  }
  respawnPointAt(m_respawnPoints, i, point, direction);
}

void VehicleMaster::findAiRespawnPoint(Position3& point, Normal3& direction) {
  auto* driver = dynamic_cast<ControllerAI*>(m_controller.get());
  point = m_gridStart;
  direction = m_gridHeading;
  if (!driver) return;
  const int line = engineRand() % ControllerAI::kLines;
  driver->setLineIndex(line);
  const std::vector<Position3>& points = driver->line(line);
  const int i = freePointBehind(points, kDriverPointsBack);
  if (i < 0) return;
  respawnPointAt(points, i, point, direction);
  driver->setPointIndex(i);
}

void VehicleMaster::respawn() {
  Position3 point;
  Normal3 direction;
  if (m_controller && m_controller->isAI())
    findAiRespawnPoint(point, direction);
  else
    findRespawnPoint(point, direction);

  KartDrive& d = m_drive;
  d.m_heading = direction;
  d.m_netAngle = yawOfDirection(direction);
  m_net.m_netAngle.set(d.m_netAngle);
  d.m_pos = d.m_target = point;
  // The chassis is drawn with m_matrix, so the new heading goes into it at
  // once: upright, since the ground under the point is not known yet.
  float scale[3] = {kChassisScale, kChassisScale, kChassisScale};
  if (m_chassis) {
    for (int i = 0; i < 3; ++i) scale[i] = m_chassis->scale[i].evaluate(0.0);
    const float at[3] = {point.x, point.y, point.z};
    m_chassis->setPosition(at);
    m_chassis->rotation[0].value = d.m_netAngle;
    m_chassis->rotation[1].value = 0.0f;
    m_chassis->rotation[2].value = 0.0f;
  }
  setKartMatrix(kartMatrix(Normal3{0.0f, 1.0f, 0.0f}, d.m_netAngle, point, scale));
  if (m_col) m_col->invalidate();

  d.m_velocity = 0.0f;
  d.m_speedLimit = m_tuning->maxSpeed;
  d.m_motion[0] = direction.x;
  d.m_motion[1] = direction.y;
  d.m_motion[2] = direction.z;
  m_net.m_cameraReset.set(true);
  d.m_reverse = 0;

  for (MixerMotion* motion : {m_motions.driverMotion(KartMotions::kFall), m_motions.bodyMotion(KartMotions::kBodyFall),
                              m_motions.driverMotion(KartMotions::kStamper), m_motions.driverMotion(KartMotions::kHit),
                              m_motions.bodyMotion(KartMotions::kBodyHit)})
    if (motion) motion->setIntensity(0.0f);
  m_animation.driverMotion = m_motions.m_driverIndex[KartMotions::kDrive];
  m_animation.state = KartAnimation::kNewDrivingMotion;
  m_animation.bodyMotion = -1;
  m_animation.hold = 0.0f;

  // Put back, the kart is out of a magnet's reach: a pull still running
  // would drag it back through whatever lies between.
  if (m_status.magnet != 0.0f) endMagnetPull();
  m_status.shield = 0.0f;
  stopSound(kSoundShield);
  m_net.m_soundStop.set(kSoundShield);
  m_net.m_extra.set(0);
  if (!soundPlaying(kSoundRespawn)) announceSound(kSoundRespawn);
  if (m_net.m_extraRocket.get() != 0.0f) m_net.m_extraRocket.set(0.0f);
  m_projectiles.rocketLaunch = -1.0f;
}
