#include "game/kart/vehicle_master.h"

#include <cmath>

#include "foundation/file.h"
#include "game/kart/controller.h"
#include "game/saves/config.h"
#include "game/track/collision_space.h"
#include "game/track/point_file.h"
#include "game/track/surface_kind.h"
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

VehicleMaster::VehicleMaster(Scene& scene, std::unique_ptr<Controller> controller, int k,
                             const ExplosionTextures* explosionTextures, std::unique_ptr<KartTuning> tuning,
                             int startPosition, const std::string& kartModelFile, const Config& config,
                             NetControl& control, const TrackPoints* points)
    : Vehicle(scene, std::move(controller), k, explosionTextures, std::move(tuning), kartModelFile, control,
              VehicleNetValues::Side::Master),
      m_config(config) {
  placeAtStart(startPosition);
  m_drive.m_pos = m_drive.m_target = chassisPosition();
  if (m_chassis) {
    Matrix4x3 world;
    m_chassis->worldMatrix(world, 0.0, true);
    m_net.m_matrix.set(world);
    const float n = std::sqrt(world.m[8] * world.m[8] + world.m[10] * world.m[10]);
    if (n > 0.0f) m_drive.m_heading = {world.m[8] / n, 0.0f, world.m[10] / n};
  }
  m_drive.m_motion[0] = m_drive.m_heading.x;
  m_drive.m_motion[1] = 0.0f;
  m_drive.m_motion[2] = m_drive.m_heading.z;
  m_projectiles.forwardAxis = m_drive.m_heading;
  m_gridStart = m_drive.m_pos;
  m_gridHeading = m_drive.m_heading;
  m_drive.m_netAngle = yawOfDirection(m_drive.m_heading);
  m_drive.m_speedLimit = m_tuning->maxSpeed;
  m_drive.m_inertia = m_tuning->driftInertia;
  m_net.m_netPos.set(m_drive.m_pos);
  m_net.m_netAngle.set(m_drive.m_netAngle);

  if (k >= 0 && k < kMaxKarts) {
    const float unit[3] = {1.0f, 1.0f, 1.0f};
    for (int i = 0; i < KartSensors::kRays; ++i) {
      m_rays[i] = scene.createRay(kSurfaceKartRay, kSpaceKartRays, unit);
      if (m_rays[i]) m_rays[i]->ownerIndex = KartSensors::kRays * k + i;
    }
  }
  for (int i = 0; i < KartSensors::kWheelRays; ++i) {
    m_sensors.rayHeight[i] = m_drive.m_pos.y;
    m_sensors.rayNormals[i].assign(KartSensors::kNormalQueue, Normal3{0.0f, 1.0f, 0.0f});
  }
  aimRays();

  m_net.m_extra.set(0);
  m_net.m_rocketPos.set(Position3{0.0f, 0.0f, 0.0f});
  m_animation.driverMotion = m_animation.previousDriverMotion = m_motions.m_driverIndex[KartMotions::kDrive];
  m_motions.startDriving();
  m_motions.publish(m_net);

  if (points) {
    m_rocketPath = points->rocketPath;
    m_respawnPoints = points->respawnPoints;
  }
}

VehicleMaster::~VehicleMaster() = default;

void VehicleMaster::placeAtStart(int startPosition) {
  SceneItem* start = findKartItem(m_scene, "start", -1, startPosition + 1);
  if (!start || !m_chassis) return;
  Matrix4x3 world;
  start->worldMatrix(world, 0.0, true);
  const Position3 at{world.m[12], world.m[13], world.m[14]};
  float rotation[3];
  for (int i = 0; i < 3; ++i) rotation[i] = start->rotation[i].evaluate(0.0);
  auto put = [&](SceneItem* item, const Position3& p, float scale) {
    if (!item) return;
    item->position[0].value = p.x;
    item->position[1].value = p.y;
    item->position[2].value = p.z;
    for (int i = 0; i < 3; ++i) {
      item->rotation[i].value = rotation[i];
      if (scale > 0.0f) item->scale[i].value = scale;
    }
    item->invalidate();
  };
  put(m_chassis, at, kChassisScale);
  put(m_col, at, kColScale);
  if (m_col) m_col->evaluate(0.0);
  put(m_items.shadow, {at.x, at.y + kShadowLift, at.z}, 0.0f);
  placeCameraTarget(at);
}

Position3 VehicleMaster::chassisPosition() {
  if (!m_chassis) return m_drive.m_target;
  Matrix4x3 world;
  m_chassis->worldMatrix(world, 0.0, true);
  return {world.m[12], world.m[13], world.m[14]};
}

void VehicleMaster::getPosition(Position3& out) { out = chassisPosition(); }

void VehicleMaster::setKartMatrix(const Matrix4x3& matrix) {
  m_net.m_matrix.set(matrix);
  if (!m_chassis) return;
  m_chassis->localMode = 1;
  m_chassis->bodyMatrix = matrix;
  m_chassis->invalidate();
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

Matrix4x3 kartMatrix(const Normal3& u, float yaw, const Position3& at, const float (&scale)[3]) {
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
      m.m[4 * r + col] = scale[r] * v;
    }
  }
  m.m[12] = at.x;
  m.m[13] = at.y;
  m.m[14] = at.z;
  m.m[15] = 1.0f;
  return m;
}

Matrix4x3 kartMatrix(const Normal3& up, float yaw, const Position3& at, float scale) {
  const float s[3] = {scale, scale, scale};
  return kartMatrix(up, yaw, at, s);
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
