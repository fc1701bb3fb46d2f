#include "game/kart/kart_drive.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "game/kart/kart_tuning.h"
#include "game/kart/vehicle.h"

namespace {

constexpr float kRadiansPerDegree = std::numbers::pi_v<float> / 180.0f;

float length3(float x, float y, float z) { return std::sqrt(x * x + y * y + z * z); }

}  // namespace

void KartDrive::chooseSpeed(const KartCommands& commands, const KartTuning& tuning, bool active, bool throttleLocked,
                            bool finished, bool frozen) {
  if (m_airborne) {
    m_accel = tuning.rollDeceleration;
  } else if (commands.brake && active) {
    if (m_velocity == 0.0f) m_reverse = 1;
    m_accel = m_reverse ? tuning.acceleration : tuning.brakeDeceleration;
  } else if (commands.accelerate && active && !throttleLocked) {
    if (m_velocity == 0.0f) m_reverse = 0;
    m_accel = m_reverse ? tuning.brakeDeceleration : tuning.acceleration;
  } else {
    m_accel = tuning.rollDeceleration;
  }
  if (finished) m_accel = tuning.brakeDeceleration;
  m_velocity += m_accel;
  if (m_velocity < 0.0f) m_velocity = 0.0f;
  if (m_velocity > m_speedLimit) m_velocity = m_speedLimit;
  if (frozen) m_velocity = 0.0f;
}

void KartDrive::steer(const KartCommands& commands, const KartTuning& tuning, bool active) {
  if (m_airborne || m_velocity <= 0.0f || !active) return;
  // A slow kart turns no more than its speed (taken as radians) per step.
  const float a = std::min(tuning.steerAngle * kRadiansPerDegree, m_velocity);
  const float sense = m_reverse ? -1.0f : 1.0f;
  auto turn = [&](float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    const float x = m_heading.x * c + m_heading.z * s;
    const float z = m_heading.z * c - m_heading.x * s;
    const float n = std::sqrt(x * x + z * z);
    if (n > 0.0f) m_heading = {x / n, 0.0f, z / n};
  };
  if (commands.right) turn(a * sense);
  if (commands.left) turn(-a * sense);
}

KartDriveEvents KartDrive::move(const Position3& chassis, float chassisScaleX, const KartTuning& tuning,
                                KartSensors& sensors, const Position3& push) {
  KartDriveEvents events;
  // Direction of motion: the heading at the current speed, the way the kart
  // rolls, plus the remembered motion, whose weight grows with the square of
  // the speed. Made unit by its own length: the kart moves its speed, never
  // more, whichever way it rolls.
  const float sense = m_reverse ? -1.0f : 1.0f;
  const float vx = m_heading.x * m_velocity * sense + m_motion[0];
  const float vy = m_heading.y * m_velocity * sense + m_motion[1];
  const float vz = m_heading.z * m_velocity * sense + m_motion[2];
  const float n = length3(vx, vy, vz);
  float d[3] = {0.0f, 0.0f, -1.0f};
  if (n != 0.0f) {
    d[0] = vx / n;
    d[1] = vy / n;
    d[2] = vz / n;
  }

  const Position3 target =
      sensors.wallTouched ? meetWall(chassis, chassisScaleX, d, push, sensors, events) : moveFreely(chassis, d, push);

  // Ground: the mean height of the wheel rays that hit this pass.
  float groundSum = 0.0f;
  int hits = 0;
  for (int i = 0; i < KartSensors::kWheelRays; ++i) {
    if (sensors.rayHeight[i] != KartSensors::kNoHit) {
      groundSum += sensors.rayHeight[i];
      ++hits;
    }
  }
  m_verticalSpeed = std::min(m_verticalSpeed + tuning.gravity, 0.05f);
  const float previousHeight = m_target.y;
  m_target = target;
  const float height = m_target.y + tuning.verticalGain * m_verticalSpeed;
  if (hits > 0 && groundSum / static_cast<float>(hits) > height) {
    const float ground = groundSum / static_cast<float>(hits);
    m_verticalSpeed = ground - previousHeight;
    m_airborne = 0;
    m_target.y = ground;
  } else {
    m_airborne = 1;
    m_target.y = height;
  }
  return events;
}

Position3 KartDrive::moveFreely(const Position3& chassis, const float (&d)[3], const Position3& push) {
  m_pos = chassis;
  const float weight = m_velocity * m_velocity * m_inertia;
  for (int i = 0; i < 3; ++i) m_motion[i] = d[i] * weight;
  return {m_pos.x + d[0] * m_velocity + push.x, m_pos.y + d[1] * m_velocity + push.y,
          m_pos.z + d[2] * m_velocity + push.z};
}

Position3 KartDrive::meetWall(const Position3& chassis, float chassisScaleX, const float (&d)[3], const Position3& push,
                              const KartSensors& sensors, KartDriveEvents& events) {
  const Position3& p = sensors.wallPos;
  // The collider may answer from either side of a wall's face: once the
  // kart's centre has crossed it, pushing the kart on through is the
  // shorter way out. The wall holds the kart on the side it came from,
  // where it stood before the move that brought it here.
  Normal3 wn = sensors.wallNormal;
  if ((m_pos.x - p.x) * wn.x + (m_pos.z - p.z) * wn.z < 0.0f) wn = {-wn.x, -wn.y, -wn.z};
  // How far in front of the wall's face the kart stands (negative: through).
  auto inFront = [&](const Position3& at) { return (at.x - p.x) * wn.x + (at.z - p.z) * wn.z; };
  const float away = kWallClearance * chassisScaleX;

  const float dl = length3(d[0], d[1], d[2]);
  const float dx = dl > 0 ? d[0] / dl : 0, dy = dl > 0 ? d[1] / dl : 0, dz = dl > 0 ? d[2] / dl : 0;
  const float dot = std::clamp(dx * wn.x + dy * wn.y + dz * wn.z, -1.0f, 1.0f);
  // The box still overlaps the wall for a few passes after a hit: a kart
  // that no longer goes into it (backing off, or turned away) moves freely.
  // The wall still holds it clear of its face, as it holds a kart sliding
  // along it, so that another kart's push cannot carry it through.
  if (dot >= 0.0f) {
    Position3 from = chassis;
    const float clear = inFront(chassis);
    if (clear < away) {
      from.x += wn.x * (away - clear);
      from.z += wn.z * (away - clear);
    }
    return moveFreely(from, d, push);
  }

  if (m_velocity > kHardHitSpeed) events.wallCrashSound = true;
  const float angle = std::asin(dot) / kRadiansPerDegree;
  const float side = wn.z * dx - dz * wn.x;
  if (angle <= -70.0f || side == 0.0f || m_velocity <= 0.01f) {
    if (m_velocity > kHardHitSpeed) events.crash = true;
    m_velocity = std::min(m_velocity * 0.3f, kBounceSpeed);
    m_pos = chassis;
    // A kart already through the face comes back out in front of it.
    const float depth = inFront(chassis);
    if (depth < 0.0f) {
      m_pos.x += wn.x * (away - depth);
      m_pos.z += wn.z * (away - depth);
    }
    m_reverse = 1;
    m_bounced = 1;
    // The kart now goes back: it remembers that motion at its new speed,
    // not the run that carried it into the wall.
    const float weight = m_velocity * m_velocity * m_inertia;
    m_motion[0] = -m_heading.x * weight;
    m_motion[1] = 0.0f;
    m_motion[2] = -m_heading.z * weight;
    return m_pos;
  }
  // Along the wall, the way the kart was going.
  m_heading = side > 0.0f ? Normal3{wn.z, 0.0f, -wn.x} : Normal3{-wn.z, 0.0f, wn.x};
  const float hn = std::sqrt(m_heading.x * m_heading.x + m_heading.z * m_heading.z);
  if (hn > 0.0f) m_heading = {m_heading.x / hn, 0.0f, m_heading.z / hn};
  if (m_reverse) {
    m_heading = {-m_heading.x, 0.0f, -m_heading.z};
    m_bounced = 1;
  }
  // The steeper the glance the more speed it costs; a wall gives none.
  m_velocity *= std::min((angle + 90.0f) / 90.0f, 1.0f);
  // Clear of the face, at the kart's own height: the contact lies anywhere
  // on the kart's side, and lifting the kart to it would make it hop.
  m_pos = {p.x + wn.x * away, chassis.y, p.z + wn.z * away};
  const float ms = m_reverse ? -1.0f : 1.0f;
  m_motion[0] = m_heading.x * ms;
  m_motion[1] = 0.0f;
  m_motion[2] = m_heading.z * ms;
  return {m_pos.x + m_motion[0] * m_velocity, m_pos.y, m_pos.z + m_motion[2] * m_velocity};
}

bool KartDrive::pushByKart(KartSensors& sensors, const Position3& otherAt, float otherSpeed, bool shrunk,
                           KartDriveEvents& events) {
  if (sensors.kartDepth <= 0.0f) return false;
  const float depth = sensors.kartDepth;
  sensors.kartDepth = 0.0f;
  if (shrunk) return true;
  float nx = sensors.kartNormal.x, nz = sensors.kartNormal.z;
  // Boxes that overlap deeply are parted across their tops: that normal
  // pushes nothing sideways, and the karts would crawl on inside each
  // other. They part along the line between them instead.
  if (std::hypot(nx, nz) < kLeastSidewaysPush) {
    const float ax = m_target.x - otherAt.x, az = m_target.z - otherAt.z;
    const float apart = std::hypot(ax, az);
    if (apart > 0.0f) {
      nx = ax / apart;
      nz = az / apart;
    }
  }
  m_target.x += (depth + 0.08f) * nx;
  m_target.z += (depth + 0.08f) * nz;
  if (m_velocity > kHardHitSpeed || otherSpeed > kHardHitSpeed) events.bumpSound = true;
  m_verticalSpeed = 0.0f;
  m_velocity = (m_velocity + otherSpeed) / 2.0f;
  return false;
}

void KartDrive::clearStepContacts(KartSensors& sensors) {
  sensors.wallTouched = false;
  for (int i = 0; i < KartSensors::kWheelRays; ++i) sensors.rayHeight[i] = KartSensors::kNoHit;
}
