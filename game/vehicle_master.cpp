#include "game/vehicle_master.h"

#include <algorithm>
#include <cmath>

#include "foundation/file.h"
#include "game/config.h"
#include "game/controller.h"
#include "game/point_file.h"
#include "scene/physics_object.h"
#include "scene/scene.h"

File* VehicleMaster::s_routeRecorder = nullptr;
int VehicleMaster::s_recorderSteps = 0;

namespace {

// Where the wheel rays start, in the chassis frame, until the kart model's
// wheels are placed: its four corners.
constexpr float kWheelOffsets[KartSensors::kWheelRays][2] = {
    {-0.3f, 0.4f}, {0.3f, 0.4f}, {-0.3f, -0.4f}, {0.3f, -0.4f}};
constexpr float kWheelRayLength = 2.0f;
constexpr float kCentreRayLength = 40.0f;

void setRay(PhysicsObject* ray, const Position3& from, float length) {
  if (!ray || !ray->geom) return;
  dGeomRaySet(ray->geom, from.x, from.y, from.z, 0, -1, 0);
  dGeomRaySetLength(ray->geom, length);
  dGeomRaySetFirstContact(ray->geom, 0);
  dGeomRaySetBackfaceCull(ray->geom, 1);
  dGeomRaySetClosestHit(ray->geom, 0);
}

}  // namespace

VehicleMaster::VehicleMaster(Scene& scene, const Config& config, NetControl& control,
                             std::unique_ptr<Controller> controller, int k, std::unique_ptr<KartTuning> tuning,
                             int startPosition, const File* files, const std::string& kartModelFile)
    : Vehicle(control, k, VehicleNetValues::Side::Master),
      m_scene(scene),
      m_config(config),
      m_controller(std::move(controller)),
      m_tuning(tuning ? std::move(tuning) : std::make_unique<KartTuning>()) {
  const bool validKart = k >= 0 && k < kMaxKarts;
  if (validKart) {
    m_chassis = scene.findItem("Vehicle", -1, k + 1);
    m_col = scene.findItem("col", -1, k + 1);
    if (auto* col = dynamic_cast<PhysicsObject*>(m_col)) col->ownerIndex = k;
    // Every kart of one model brings its own copy of the wheels: the
    // (k + 1)-th, not the first kart's.
    if (!kartModelFile.empty())
      for (int i = 0; i < KartSensors::kWheelRays; ++i) m_wheels[i] = scene.findItem(kartModelFile, 2 + i, k + 1);
    m_items.find(scene, k);
  }
  SceneItem* start = scene.findItem("start", -1, startPosition + 1);
  if (start && m_chassis) {
    Matrix4x3 world;
    start->worldMatrix(world, 0.0, true);
    const float p[3] = {world.m[12], world.m[13], world.m[14]};
    for (SceneItem* item : {m_chassis, m_col}) {
      if (!item) continue;
      for (int i = 0; i < 3; ++i) {
        item->position[i].value = p[i];
        item->rotation[i].value = start->rotation[i].evaluate(0.0);
        item->scale[i].value = item == m_chassis ? kChassisScale : kColScale;
      }
      item->invalidate();
    }
  }
  m_drive.m_pos = m_drive.m_target = chassisPosition();
  if (m_chassis) {
    Matrix4x3 world;
    m_chassis->worldMatrix(world, 0.0, true);
    const float n = std::sqrt(world.m[8] * world.m[8] + world.m[10] * world.m[10]);
    if (n > 0.0f) m_drive.m_heading = {world.m[8] / n, 0.0f, world.m[10] / n};
  }
  m_drive.m_motion[0] = m_drive.m_heading.x;
  m_drive.m_motion[1] = 0.0f;
  m_drive.m_motion[2] = m_drive.m_heading.z;
  m_drive.m_netAngle = yawOfDirection(m_drive.m_heading);
  m_drive.m_speedLimit = m_tuning->maxSpeed;
  m_drive.m_inertia = m_tuning->driftInertia;
  m_net.m_netPos.set(m_drive.m_pos);
  m_net.m_netAngle.set(m_drive.m_netAngle);

  if (validKart) {
    const float unit[3] = {1.0f, 1.0f, 1.0f};
    for (int i = 0; i < KartSensors::kRays; ++i) {
      m_rays[i] = scene.createRay(kRaySurfaceKind, kRaySpace, unit);
      if (m_rays[i]) m_rays[i]->ownerIndex = KartSensors::kRays * k + i;
    }
  }
  for (int i = 0; i < KartSensors::kWheelRays; ++i) {
    m_sensors.rayHeight[i] = m_drive.m_pos.y;
    m_sensors.rayNormals[i].assign(KartSensors::kNormalQueue, Normal3{0.0f, 1.0f, 0.0f});
  }
  aimRays();

  if (validKart) m_motions.find(scene, k);
  m_motions.startDriving();
  m_motions.publish(m_net);

  if (files) {
    const int track = m_config.m_track.get();
    for (const PointRecord& r : readPointFile(*files, trackPointFileName(track, "ai_rakete.dat").c_str()))
      m_rocketPath.push_back({r.position.x, r.position.y + 1.2f, r.position.z});
    for (const PointRecord& r : readPointFile(*files, trackPointFileName(track, "ai_respawn.dat").c_str()))
      m_respawnPoints.push_back({r.position.x, r.position.y + 0.3f, r.position.z});
  }
}

VehicleMaster::~VehicleMaster() = default;

Position3 VehicleMaster::chassisPosition() {
  if (!m_chassis) return m_drive.m_target;
  Matrix4x3 world;
  m_chassis->worldMatrix(world, 0.0, true);
  return {world.m[12], world.m[13], world.m[14]};
}

void VehicleMaster::getPosition(Position3& out) { out = chassisPosition(); }

void VehicleMaster::step(double time, double dt) {
  KartDrive& d = m_drive;
  if (m_config.m_game.get() == 2 && !m_net.m_active.get() && m_net.m_trackFinished.get()) return;
  if (d.m_pos.y < kRespawnHeight) respawn();
  if (m_controller) m_controller->update(d.m_bounced != 0, d.m_reverse != 0);
  d.m_bounced = 0;
  m_animationHold = std::max(0.0f, m_animationHold - static_cast<float>(dt));
  if (m_touchedBox) {
    // Parked below the track until the race brings it back.
    m_touchedBox->position[1].value -= 100.0f;
    m_touchedBox->invalidate();
    m_touchedBox = nullptr;
  }
  runTimers(time, dt);
  d.m_inertia = m_tuning->driftInertia;
  if (runFallTimers(time, dt)) {
    // Re-sent unchanged so that peers keep the kart where it is.
    m_net.m_netPos.modify();
    m_net.m_netDir.modify();
    m_net.m_speed.set(0.0f);
    return;
  }
  runStatusTimers(time, dt);
  const bool ai = m_controller && m_controller->isAI();
  if (!ai) {
    switch (m_sensors.rayKind[KartSensors::kCentreRay]) {
      case 0:
        d.m_speedLimit = m_tuning->maxSpeed;
        d.m_inertia = m_tuning->driftInertia;
        break;
      case 25: {
        const int track = m_config.m_track.get();
        d.m_speedLimit = m_tuning->maxSpeed;
        d.m_inertia = m_tuning->driftInertia * (track == 3 || track == 5 ? 1.3f : 3.0f);
        break;
      }
      case 26:
        d.m_speedLimit = m_tuning->maxSpeed * 0.7f;
        d.m_inertia = m_tuning->driftInertia;
        break;
      default:
        break;
    }
  }
  runHitTimers(time, dt);

  KartCommands commands;
  if (m_controller) {
    commands = {m_controller->left(), m_controller->right(), m_controller->accelerate(), m_controller->brake()};
  }
  const bool active = m_net.m_active.get();
  d.chooseSpeed(commands, *m_tuning, active, false, m_net.m_trackFinished.get(), false);
  d.steer(commands, *m_tuning, active);
  if (m_controller && m_controller->useExtra() && active) useExtra(time, dt);

  KartDriveEvents events =
      d.move(chassisPosition(), m_chassis ? m_chassis->scale[0].value : kChassisScale, *m_tuning, m_sensors);
  if (events.wallCrashSound) m_net.m_soundStart.set(KartDrive::kWallCrashSound);
  if (events.crash) {
    m_animationState = 2;
    m_animationHold = KartDrive::kCrashHold;
    m_pendingDriverMotion = m_motions.m_driverIndex[KartMotions::kCrash];
  }
  KartSensors& s = m_sensors;
  if (s.obstacleDepth != 0.0f) {
    if (s.obstacle && s.obstacle->body) {
      dBodyEnable(s.obstacle->body);
      const float f = s.obstacleDepth * 2500.0f;
      dBodyAddForceAtPos(s.obstacle->body, s.obstacleNormal.x * f, s.obstacleNormal.y * f, s.obstacleNormal.z * f,
                         s.obstaclePos.x, s.obstaclePos.y, s.obstaclePos.z);
    }
    s.obstacleDepth = 0.0f;
    m_net.m_soundStart.set(KartDrive::kBumpSound);
  }
  const float otherSpeed = s.otherKart ? s.otherKart->getSpeed() : 0.0f;
  if (d.pushByKart(s, otherSpeed, m_shrunk, events)) onCrushed();
  if (events.bumpSound) m_net.m_soundStart.set(KartDrive::kBumpSound);
  runMagnet(time, dt);
  place(time);
  flyShots(time, dt);
  placeProjectiles(time);
  KartDrive::clearStepContacts(s);
  aimRays();

  if (s_routeRecorder && ++s_recorderSteps >= 25) {
    s_recorderSteps = 0;
    std::uint8_t bytes[PointRecord::kSize];
    const float values[4] = {d.m_pos.x, d.m_pos.y, d.m_pos.z, d.m_velocity};
    for (int i = 0; i < 4; ++i) netwire::putF32(bytes + 4 * i, values[i]);
    s_routeRecorder->write(bytes, PointRecord::kSize);
  }
  m_net.m_netPos.set(d.m_target);
  m_net.m_netDir.assign(d.m_heading);
  m_net.m_speed.set(d.m_velocity);
  if (m_col) {
    Matrix4x3 world;
    m_col->worldMatrix(world, 0.0, true);
    m_net.m_netColPos.set(Position3{world.m[12], world.m[13], world.m[14]});
  }
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
    m_col->position[1].value = d.m_target.y + 0.1f;
    m_col->position[2].value = d.m_target.z;
    m_col->rotation[0].value = d.m_netAngle;
    m_col->invalidate();
    m_col->evaluate(time);
  }
  if (d.m_velocity > 0.0f) d.m_netAngle = yawOfDirection(d.m_heading);
  m_net.m_netAngle.set(d.m_netAngle);
  m_net.m_matrix.set(kartMatrix(upAxis(), d.m_netAngle, d.m_target, kChassisScale));
}

Normal3 VehicleMaster::upAxis() const {
  // The sum over the wheel rays' recent hit normals, position by position,
  // as far as the first queue reaches.
  const std::size_t count = m_sensors.rayNormals[0].size();
  float u[3] = {0.0f, 0.0f, 0.0f};
  for (std::size_t j = 0; j < count; ++j) {
    for (const auto& queue : m_sensors.rayNormals) {
      if (j >= queue.size()) continue;
      u[0] += queue[j].x;
      u[1] += queue[j].y;
      u[2] += queue[j].z;
    }
  }
  const float n = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
  if (n == 0.0f) return {0.0f, 1.0f, 0.0f};
  return {u[0] / n, u[1] / n, u[2] / n};
}

Matrix4x3 kartMatrix(const Normal3& u, float yaw, const Position3& at, float scale) {
  // Tilt frame T: rows u x c, u, c with c = (-ux uz, -uy uz, ux^2 + uy^2),
  // left unnormalised; then M = S * Y * T in row-vector form.
  const float c[3] = {-u.x * u.z, -u.y * u.z, u.x * u.x + u.y * u.y};
  const float uxc[3] = {u.y * c[2] - u.z * c[1], u.z * c[0] - u.x * c[2], u.x * c[1] - u.y * c[0]};
  const float t[3][3] = {{uxc[0], uxc[1], uxc[2]}, {u.x, u.y, u.z}, {c[0], c[1], c[2]}};
  const float cs = std::cos(yaw), sn = std::sin(yaw);
  const float y[3][3] = {{cs, 0.0f, -sn}, {0.0f, 1.0f, 0.0f}, {sn, 0.0f, cs}};
  Matrix4x3 m{};
  for (int r = 0; r < 3; ++r) {
    for (int col = 0; col < 3; ++col) {
      float v = 0.0f;
      for (int k = 0; k < 3; ++k) v += y[r][k] * t[k][col];
      m.m[4 * r + col] = scale * v;
    }
  }
  m.m[12] = at.x;
  m.m[13] = at.y;
  m.m[14] = at.z;
  m.m[15] = 1.0f;
  return m;
}

void VehicleMaster::aimRays() {
  const Position3 at = m_drive.m_target;
  const float c = std::cos(m_drive.m_netAngle), s = std::sin(m_drive.m_netAngle);
  for (int i = 0; i < KartSensors::kWheelRays; ++i) {
    if (SceneItem* wheel = m_wheels[i]) {
      // 1.0 above the wheel's pivot point in world space.
      Matrix4x3 world;
      wheel->invalidate();
      wheel->worldMatrix(world, 0.0, true);
      const Position3& p = wheel->pivot;
      const float* m = world.m;
      setRay(m_rays[i],
             {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13] + 1.0f,
              p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]},
             kWheelRayLength);
      continue;
    }
    const float ox = kWheelOffsets[i][0], oz = kWheelOffsets[i][1];
    setRay(m_rays[i], {at.x + ox * c + oz * s, at.y + 1.0f, at.z - ox * s + oz * c}, kWheelRayLength);
  }
  setRay(m_rays[KartSensors::kCentreRay], {at.x, at.y + 1.0f, at.z}, kCentreRayLength);
}
