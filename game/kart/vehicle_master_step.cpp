// One physics step of the simulated kart: the order of the whole step, the
// contacts it consumes, and placing the kart's items where it went.
#include <algorithm>
#include <cmath>

#include "foundation/file.h"
#include "game/kart/controller.h"
#include "game/kart/kart_surfaces.h"
#include "game/kart/vehicle_master.h"
#include "game/race/game_mode.h"
#include "game/saves/config.h"
#include "game/track/point_file.h"
#include "scene/physics_object.h"
#include "scene/scene.h"

namespace {

constexpr int kRecorderInterval = 25;
constexpr float kWindStrength = 0.004f;
constexpr float kBandSpeed = 0.0001f;
constexpr float kColLift = 0.1f;
// Tracks 3 and 5, whose sliding ground lets a kart keep less of the way it
// went than the other tracks'.
bool slidesLess(int track) { return track == 3 || track == 5; }
constexpr float kWheelSpin = 2.0f;  // radians of wheel pitch per unit of speed

Position3 translationOf(const Matrix4x3& m) { return {m.m[12], m.m[13], m.m[14]}; }

void hide(SceneItem* item) {
  if (!item) return;
  item->localMode = 0;
  parkKartItem(item);
}

}  // namespace

void VehicleMaster::step(double time, double dt) {
  KartDrive& d = m_drive;
  if (m_config.m_game.get() == kModeLastManStanding && !m_net.m_active.get() && m_net.m_trackFinished.get()) return;
  if (d.m_pos.y < kRespawnHeight) respawn();
  if (m_controller) m_controller->update(d.m_bounced != 0, d.m_reverse != 0);
  d.m_bounced = 0;
  m_animation.hold = std::max(0.0f, m_animation.hold - static_cast<float>(dt));
  parkTouchedBox(time);
  runTimers(time, dt);
  runProjectiles(time, dt);
  d.m_inertia = m_status.skid != 0.0f ? m_tuning->skidInertia : m_tuning->driftInertia;
  if (runFallTimers(time, dt)) {
    endStepEarly();
    return;
  }
  runStatusTimers(time, dt);
  applyGroundRules();
  runHitTimers(time, dt);

  KartCommands commands;
  if (m_controller) {
    commands = {m_controller->left(), m_controller->right(), m_controller->accelerate(), m_controller->brake()};
  }
  const bool active = m_net.m_active.get();
  d.chooseSpeed(commands, *m_tuning, active, m_status.throttleLock != 0.0f, m_net.m_trackFinished.get(),
                m_status.frozen != 0.0f);
  d.steer(commands, *m_tuning, active);
  if (m_controller && m_controller->useExtra() && active) useExtra(time, dt);

  const Position3 chassis = chassisPosition();
  const Position3 push = windAndBandPush(time, chassis);
  KartDriveEvents events =
      d.move(chassis, m_chassis ? m_chassis->scale[0].value : kChassisScale, *m_tuning, m_sensors, push);
  if (events.wallCrashSound && !soundPlaying(kSoundWallCrash)) announceSound(kSoundWallCrash);
  if (events.crash) {
    m_animation.state = KartAnimation::kEventMotion;
    m_animation.hold = KartDrive::kCrashHold;
    m_animation.driverMotion = m_motions.m_driverIndex[KartMotions::kCrash];
  }
  pushObstacle();
  Position3 otherAt = d.m_target;
  float otherSpeed = 0.0f;
  if (m_sensors.otherKart) {
    m_sensors.otherKart->getPosition(otherAt);
    otherSpeed = m_sensors.otherKart->getSpeed();
  }
  if (d.pushByKart(m_sensors, otherAt, otherSpeed, m_status.shrunk != 0.0f, events)) {
    // Run over while shrunk: flattened instead of pushed aside.
    m_status.shrunk = 0.0f;
    onStamped();
  }
  if (events.bumpSound && !soundPlaying(kSoundBump)) announceSound(kSoundBump);
  runMagnet(time, dt);
  place(time);
  orient();
  followWithCameraTarget();
  flyShots(time, dt);
  spinWheels();
  placeProjectiles(time);
  KartDrive::clearStepContacts(m_sensors);
  aimRays();
  recordRoute();
  replicate();
}

void VehicleMaster::endStepEarly() {
  // Re-sent unchanged so that peers keep the kart where it is.
  m_net.m_netPos.modify();
  m_net.m_netDir.modify();
  m_net.m_speed.set(0.0f);
  m_sensors.wind = m_sensors.band = nullptr;
}

void VehicleMaster::applyGroundRules() {
  // Computer drivers get limit and inertia from the race's catch-up rule.
  if (m_status.turbo != 0.0f || (m_controller && m_controller->isAI())) return;
  KartDrive& d = m_drive;
  switch (m_sensors.rayKind[KartSensors::kCentreRay]) {
    case kSurfaceRoad:
      d.m_speedLimit = m_tuning->maxSpeed;
      d.m_inertia = m_tuning->driftInertia;
      break;
    case kSurfaceSlidingGround: {
      const int track = m_config.m_track.get();
      d.m_speedLimit = m_tuning->maxSpeed;
      d.m_inertia = m_tuning->driftInertia * (slidesLess(track) ? 1.3f : 3.0f);
      break;
    }
    case kSurfaceSlowGround:
      d.m_speedLimit = m_tuning->maxSpeed * 0.7f;
      d.m_inertia = m_tuning->driftInertia;
      break;
    default:
      break;
  }
}

Position3 VehicleMaster::windAndBandPush(double time, const Position3& at) {
  Position3 push;
  if (PhysicsObject* wind = m_sensors.wind) {
    // Along the wind object's z axis, weaker with the distance from its
    // origin; at the origin itself the direction is all there is, and no
    // push.
    Matrix4x3 m;
    wind->worldMatrix(m, time, true);
    const float dx = at.x - m.m[12], dy = at.y - m.m[13], dz = at.z - m.m[14];
    const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (distance > 0.0f) {
      const float f = kWindStrength / distance;
      push = {m.m[8] * f, m.m[9] * f, m.m[10] * f};
    }
  }
  if (PhysicsObject* band = m_sensors.band) {
    Matrix4x3 m;
    band->worldMatrix(m, time, true);
    push.x += m.m[8] * kBandSpeed;
    push.y += m.m[9] * kBandSpeed;
    push.z += m.m[10] * kBandSpeed;
  }
  // Both are stored anew by each collision pass.
  m_sensors.wind = m_sensors.band = nullptr;
  return push;
}

void VehicleMaster::pushObstacle() {
  KartSensors& s = m_sensors;
  if (s.obstacleDepth == 0.0f) return;
  if (s.obstacle && s.obstacle->body) {
    dBodyEnable(s.obstacle->body);
    const float f = s.obstacleDepth * 2500.0f;
    dBodyAddForceAtPos(s.obstacle->body, s.obstacleNormal.x * f, s.obstacleNormal.y * f, s.obstacleNormal.z * f,
                       s.obstaclePos.x, s.obstaclePos.y, s.obstaclePos.z);
  }
  s.obstacleDepth = 0.0f;
  announceSound(kSoundBump);
}

void VehicleMaster::place(double time) {
  KartDrive& d = m_drive;
  if (m_chassis) {
    m_chassis->position[0].value = d.m_target.x;
    m_chassis->position[1].value = d.m_target.y;
    m_chassis->position[2].value = d.m_target.z;
    m_chassis->rotation[0].value = d.m_netAngle;
    m_chassis->rotation[1].value = 0.0f;
    m_chassis->rotation[2].value = 0.0f;
    m_chassis->invalidate();
  }
  if (m_col) {
    m_col->position[0].value = d.m_target.x;
    m_col->position[1].value = d.m_target.y + kColLift;
    m_col->position[2].value = d.m_target.z;
    m_col->rotation[0].value = d.m_netAngle;
    m_col->invalidate();
    m_col->evaluate(time);
  }
  if (d.m_velocity > 0.0f) d.m_netAngle = yawOfDirection(d.m_heading);
  m_net.m_netAngle.set(d.m_netAngle);
}

void VehicleMaster::orient() {
  const KartDrive& d = m_drive;
  const bool falling = m_status.fall != 0.0f;
  const Normal3 up = falling ? Normal3{0.0f, 1.0f, 0.0f} : upAxis();
  float scale[3] = {kChassisScale, kChassisScale, kChassisScale};
  if (m_chassis)
    for (int i = 0; i < 3; ++i) scale[i] = m_chassis->scale[i].evaluate(0.0);
  setKartMatrix(kartMatrix(up, d.m_netAngle, d.m_target, scale));

  SceneItem* shadow = m_items.shadow;
  if (falling || m_status.flattened != 0.0f) {
    hide(shadow);
    return;
  }
  // On the ground under the kart, whatever height the kart is at.
  const Position3 ground{d.m_target.x, m_sensors.rayHeight[KartSensors::kCentreRay] + kShadowLift, d.m_target.z};
  const Matrix4x3 shadowMatrix = kartMatrix(up, d.m_netAngle, ground, scale);
  m_net.m_netShadowMatrix.set(shadowMatrix);
  if (!shadow) return;
  shadow->localMode = 1;
  shadow->bodyMatrix = shadowMatrix;
  shadow->invalidate();
}

void VehicleMaster::followWithCameraTarget() {
  const Matrix4x3& m = m_net.m_matrix.get();
  m_projectiles.forwardAxis = {m.m[8], m.m[9], m.m[10]};
  placeCameraTarget(translationOf(m));
}

void VehicleMaster::spinWheels() {
  // Rolling forward turns the wheels' pitch back; heading and bank stay.
  const float turn = (m_drive.m_reverse ? kWheelSpin : -kWheelSpin) * m_drive.m_velocity;
  for (SceneItem* wheel : m_wheels) {
    if (!wheel) continue;
    float r[3];  // (-pitch, heading, -bank)
    wheel->getRotationAt(r, 0.0);
    r[0] -= turn;
    wheel->setRotation(r, false);
    wheel->invalidate();
  }
}

void VehicleMaster::recordRoute() {
  if (!s_routeRecorder || ++s_recorderSteps < kRecorderInterval) return;
  s_recorderSteps = 0;
  writePointRecord(*s_routeRecorder, {m_drive.m_pos, m_drive.m_velocity});
}

void VehicleMaster::replicate() {
  m_net.m_netPos.set(m_drive.m_target);
  m_net.m_netDir.assign(m_drive.m_heading);
  m_net.m_speed.set(m_drive.m_velocity);
  if (m_col) {
    Matrix4x3 world;
    m_col->worldMatrix(world, 0.0, true);
    m_net.m_netColPos.set(translationOf(world));
  }
}
