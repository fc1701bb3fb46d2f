// The weapons a simulated kart has let go of: the magnet and the mine it
// drops behind, three soap bubbles, the homing rocket, and the froster and
// shrinker shots. Using an extra only starts them; each physics step flies
// them here. Their positions are replicated values, so the race's hit
// tests and the other machines see them; hits are decided elsewhere.
#include <algorithm>
#include <cmath>

#include "foundation/channel_group.h"
#include "game/kart/kart_extras.h"
#include "game/kart/vehicle_master.h"
#include "scene/scene.h"

namespace {

// Where shots and bubbles leave, in the chassis frame before its scale:
// scaled once here and once more by the chassis matrix, as tuned.
constexpr float kLaunchOffset[3] = {-0.53f, 0.7f, 2.2f};
// The throw motion lets go of a dropped item, and a shot leaves, this long
// after the use.
constexpr float kReleaseTime = 0.3667f;
constexpr float kMagnetBehind = 0.55f;
constexpr float kMagnetLift = 0.05f;
constexpr float kMineBehind = 0.5f;
constexpr float kMineLift = 0.3f;

constexpr float kBubbleInterval = 0.5f;  // the bubbles leave half a second apart
constexpr float kBubbleSpeed = 40.0f;
constexpr float kBubbleDrag = 0.3f;       // speed lost per step
constexpr float kBubbleSoundTime = 0.3f;  // heard this long after each leaves
constexpr float kBubbleLifetime = 10.0f;

constexpr float kRocketSpeed = 40.0f;
constexpr float kRocketScale = 2.0f;
// The rocket heads first for the path point this far past the nearest.
constexpr int kRocketPathLead = 8;
constexpr float kPathPointReached = 2.0f;
// Path points passed after choosing the leader before the rocket locks on.
constexpr int kLockAfterPoints = 15;
// The leader is chosen once its sector lies at most this far behind the
// rocket's (sectors wrap at 256).
constexpr int kTargetSectorReach = 8;

constexpr float kShotSpeed = 40.0f;
constexpr float kShotSoundFrom = 0.4f;
constexpr float kFrosterSoundUntil = 0.8f;
constexpr float kShrinkerSoundUntil = 0.7f;
// The shooting motion has played out by then.
constexpr float kShotMotionEnd = 1.1667f;

bool isZero(const Normal3& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

float distance(const Position3& a, const Position3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// v made unit length; `fallback` when v has none.
Normal3 unit(float x, float y, float z, const Normal3& fallback) {
  const float n = std::sqrt(x * x + y * y + z * z);
  if (n == 0.0f) return fallback;
  return {x / n, y / n, z / n};
}

// The unit vector from `from` to `to`; `previous` when they coincide.
Normal3 towards(const Position3& from, const Position3& to, const Normal3& previous) {
  return unit(to.x - from.x, to.y - from.y, to.z - from.z, previous);
}

Position3 advance(const Position3& at, const Normal3& direction, float distance) {
  return {at.x + direction.x * distance, at.y + direction.y * distance, at.z + direction.z * distance};
}

void silence(MixerMotion* motion) {
  if (motion) motion->setIntensity(0.0f);
}

}  // namespace

// A froster or shrinker shot: its replicated values and working vector.
struct VehicleMaster::Shot {
  NetValue<float>& timer;
  NetValue<Position3>& position;
  NetValue<float>& heading;
  NetValue<float>& pitch;
  Normal3& direction;
  int sound;
  float soundUntil;
  KartMotions::Body motion;
};

Position3 VehicleMaster::launchPoint() {
  Matrix4x3 world = m_net.m_matrix.get();
  float scale[3] = {kChassisScale, kChassisScale, kChassisScale};
  if (m_chassis) {
    m_chassis->worldMatrix(world, 0.0, true);
    for (int i = 0; i < 3; ++i) scale[i] = m_chassis->scale[i].evaluate(0.0);
  }
  float o[3];
  for (int i = 0; i < 3; ++i) o[i] = kLaunchOffset[i] * scale[i];
  const float* m = world.m;
  const Position3& at = m_drive.m_pos;
  return {at.x + o[0] * m[0] + o[1] * m[4] + o[2] * m[8], at.y + o[0] * m[1] + o[1] * m[5] + o[2] * m[9],
          at.z + o[0] * m[2] + o[1] * m[6] + o[2] * m[10]};
}

void VehicleMaster::runProjectiles(double time, double dt) {
  const float step = static_cast<float>(dt);
  dropItems(step);
  flyBubbles(step);
  flyRocket(time, step);
}

void VehicleMaster::dropItems(float dt) {
  auto drop = [&](float& timer, float behind, float lift, SceneItem* item, NetValue<Position3>& where) {
    if (timer == -1.0f) return;
    timer += dt;
    if (timer <= kReleaseTime) return;
    const Position3& at = m_drive.m_pos;
    const Normal3& h = m_drive.m_heading;
    const Position3 spot{at.x - h.x * behind, at.y - h.y * behind + lift, at.z - h.z * behind};
    placeKartItem(item, spot, 0.0);
    where.set(spot);
    timer = -1.0f;
    silence(m_motions.bodyMotion(KartMotions::kBodyThrow));
  };
  drop(m_projectiles.magnetDrop, kMagnetBehind, kMagnetLift, m_items.magnet, m_net.m_effectMagnetPos);
  drop(m_projectiles.mineDrop, kMineBehind, kMineLift, m_items.mine, m_net.m_extraMinePos);
}

void VehicleMaster::flyBubbles(float dt) {
  KartProjectiles& p = m_projectiles;
  for (int i = 0; i < KartProjectiles::kBubbles; ++i) {
    const auto j = static_cast<std::size_t>(i);
    NetValue<float>& timer = m_net.m_extraSoap[j];
    NetValue<Position3>& position = m_net.m_extraSoapPos[j];
    if (timer.get() == 0.0f) continue;
    const float t = timer.get() + dt;
    timer.set(t);
    timer.modify();  // re-sent every step while it flies
    const float leaves = kBubbleInterval * static_cast<float>(i);
    if (t >= leaves) {
      if (isZero(p.soapDirection[i])) {
        position.set(launchPoint());
        const Normal3& f = p.forwardAxis;
        p.soapDirection[i] = unit(f.x, f.y, f.z, m_drive.m_heading);
        p.soapSpeed[i] = kBubbleSpeed;
      }
      position.set(advance(position.get(), p.soapDirection[i], dt * p.soapSpeed[i]));
      p.soapSpeed[i] = std::max(0.0f, p.soapSpeed[i] - kBubbleDrag);
      if (t <= leaves + kBubbleSoundTime && !soundPlaying(kSoundSoap)) announceSound(kSoundSoap);
    }
    if (t > kBubbleLifetime) {
      timer.set(0.0f);
      position.set(kParked);
    }
  }
}

void VehicleMaster::flyRocket(double time, float dt) {
  KartProjectiles& p = m_projectiles;
  // Counts from the use for as long as a rocket is being launched or flies:
  // the abort window is its first second, the flight is heard after it.
  if (p.rocketLaunch != -1.0f) p.rocketLaunch += dt;
  const bool held = m_net.m_extraRocket.get() != 0.0f;
  const bool fired = m_net.m_rocketFired.get() != 0;
  if (!held && !fired) {
    for (SceneItem* rocket : m_items.rockets) placeKartItem(rocket, kParked, time);
    m_net.m_rocketPos.set(kParked);
    // Nothing is in the air any more, however the rocket ended.
    p.rocketLaunch = -1.0f;
  } else if (!fired) {
    if (p.rocketLaunch >= 0.0f) launchRocket(time);
  } else {
    const Position3 at = m_net.m_rocketPos.get();
    steerRocket(at);
    const Position3 next = advance(at, p.rocketDirection, dt * kRocketSpeed);
    m_net.m_rocketPos.set(next);
    const float yaw = yawOfDirection(p.rocketDirection);
    placeKartItem(m_items.rockets[1], next, yaw, 0.0f, time);
    if (SceneItem* shown = m_items.rockets[0]) {
      const float s[3] = {kRocketScale, kRocketScale, kRocketScale};
      shown->setScale(s);
      placeKartItem(shown, next, yaw, 0.0f, time);
    }
    m_net.m_rocketAngle.set(yaw);
  }
  if (p.rocketLaunch == -1.0f) silence(m_motions.bodyMotion(KartMotions::kBodyRocketLauncher));
}

void VehicleMaster::launchRocket(double time) {
  KartProjectiles& p = m_projectiles;
  const Position3 from = launchPoint();
  m_net.m_rocketPos.set(from);
  p.rocketTarget = -1;
  m_net.m_targetLocked.set(-1);
  const int n = static_cast<int>(m_rocketPath.size());
  if (n > 0) {
    const int nearest = std::max(0, nearestRocketPathPoint());
    p.rocketPathIndex = (nearest + kRocketPathLead) % n;
    p.rocketDirection = towards(from, m_rocketPath[static_cast<std::size_t>(p.rocketPathIndex)], m_drive.m_heading);
  } else {
    // A track without a rocket path: straight ahead until a wall or the next
    // rocket ends it; with no path points to pass it never locks on.
    p.rocketPathIndex = -1;
    p.rocketDirection = m_drive.m_heading;
  }
  m_net.m_rocketIndex.set(-1);
  if (!soundPlaying(kSoundRocketLaunch)) announceSound(kSoundRocketLaunch);
  m_net.m_rocketFired.set(1);
  const float yaw = yawOfDirection(p.rocketDirection);
  for (SceneItem* rocket : m_items.rockets) placeKartItem(rocket, from, yaw, 0.0f, time);
}

void VehicleMaster::steerRocket(const Position3& at) {
  KartProjectiles& p = m_projectiles;
  const int n = static_cast<int>(m_rocketPath.size());
  // Past a path point (closer than 2.0), on to the next.
  auto nextPathPoint = [&] {
    if (p.rocketPathIndex < 0 || p.rocketPathIndex >= n) return false;
    if (distance(at, m_rocketPath[static_cast<std::size_t>(p.rocketPathIndex)]) >= kPathPointReached) return false;
    p.rocketPathIndex = (p.rocketPathIndex + 1) % n;
    p.rocketDirection = towards(at, m_rocketPath[static_cast<std::size_t>(p.rocketPathIndex)], p.rocketDirection);
    return true;
  };
  if (p.rocketTarget == -1 && m_net.m_targetLocked.get() == -1) {
    nextPathPoint();
    // The leader, once the rocket has come near its sector.
    for (int k = 0; k < raceKartCount(); ++k) {
      Vehicle* kart = raceKart(k);
      if (!kart || kart->m_net.m_rank.get() != 0) continue;
      if (m_sectorAt) {
        const int gap = (kart->m_sectorHistory[0] - m_sectorAt(at) + kTargetSectorReach) & 0xFF;
        if (gap <= kTargetSectorReach) {
          p.rocketTarget = k;
          p.rocketLockCount = 0;
        }
      }
      break;
    }
  } else if (m_net.m_targetLocked.get() == -1) {
    if (nextPathPoint() && ++p.rocketLockCount > kLockAfterPoints) m_net.m_targetLocked.set(p.rocketTarget);
  }
  // Locked: straight at the kart, renewed every step. A lock naming no kart
  // of the race (a peer can send any number) leaves the course as it was.
  if (Vehicle* target = raceKart(m_net.m_targetLocked.get())) {
    Position3 there;
    target->getPosition(there);
    p.rocketDirection = towards(at, there, p.rocketDirection);
  }
}

void VehicleMaster::flyShots(double /*time*/, double dt) {
  const float step = static_cast<float>(dt);
  flyShot({m_net.m_extraFroster, m_net.m_extraFrosterPos, m_net.m_extraFrosterAngle, m_net.m_extraFrosterAngle2,
           m_projectiles.frosterDirection, kSoundFrosterShot, kFrosterSoundUntil, KartMotions::kBodyFroster},
          step);
  flyShot({m_net.m_extraShrinker, m_net.m_extraShrinkerPos, m_net.m_extraShrinkerAngle, m_net.m_extraShrinkerAngle2,
           m_projectiles.shrinkerDirection, kSoundShrinkerShot, kShrinkerSoundUntil, KartMotions::kBodyShrinker},
          step);
}

void VehicleMaster::flyShot(const Shot& shot, float dt) {
  if (shot.timer.get() == 0.0f) return;
  const float t = shot.timer.get() + dt;
  shot.timer.set(t);
  shot.timer.modify();  // re-sent every step while it flies
  if (t >= kReleaseTime) {
    if (isZero(shot.direction)) {
      // Along the kart's forward axis, whichever way the kart rolls.
      shot.position.set(launchPoint());
      const Normal3& f = m_projectiles.forwardAxis;
      shot.direction = unit(f.x, f.y, f.z, m_drive.m_heading);
      shot.heading.set(yawOfDirection(m_drive.m_heading));
      shot.pitch.set(pitchOfDirection(shot.direction));
    }
    shot.position.set(advance(shot.position.get(), shot.direction, dt * kShotSpeed));
  }
  if (t >= kShotSoundFrom && t <= shot.soundUntil && !soundPlaying(shot.sound)) announceSound(shot.sound);
  if (t >= kShotMotionEnd) silence(m_motions.bodyMotion(shot.motion));
}

void VehicleMaster::placeProjectiles(double time) { placeBubblesAndShots(time); }

bool VehicleMaster::weaponInFlight(const SceneItem* item) const {
  if (!item) return false;
  const KartItems& items = m_items;
  if (item == items.rockets[0] || item == items.rockets[1]) return m_net.m_rocketFired.get() != 0;
  // The shrinker shot is the first laser beam, the froster shot the second.
  if (item == items.lasers[0]) return m_net.m_extraShrinker.get() != 0.0f;
  if (item == items.lasers[1]) return m_net.m_extraFroster.get() != 0.0f;
  return false;
}
