#include "game/kart/vehicle_client.h"

#include <cmath>

#include "foundation/channel_group.h"
#include "game/kart/controller.h"
#include "game/kart/kart_extras.h"
#include "game/kart/kart_tuning.h"
#include "render/surface.h"
#include "render/texture_layer.h"
#include "scene/particle_emitter.h"
#include "scene/particle_renderers.h"
#include "scene/physics_object.h"
#include "scene/scene.h"

namespace {

constexpr float kWheelSpin = 4.0f;  // radians of wheel turn per unit of reported speed

// The sounds a peer's kart announces that this machine plays or stops for
// it; it hears the rest (engine, crashes, weapons) from its own simulation
// or not at all.
bool playsAnnounced(int slot) { return slot == kSoundPickUp || slot == kSoundFall || slot == kSoundRespawn; }
bool stopsAnnounced(int slot) { return slot == kSoundShrinkerShot || slot == kSoundTurbo || slot == kSoundShield; }

// Drawn with `m` from now on, moved to `at`.
void drawWith(SceneItem* item, Matrix4x3 m, const Position3& at) {
  if (!item) return;
  m.m[12] = at.x;
  m.m[13] = at.y;
  m.m[14] = at.z;
  item->localMode = 1;
  item->bodyMatrix = m;
  item->invalidate();
}

}  // namespace

VehicleClient::VehicleClient(Scene& scene, std::unique_ptr<Controller> controller, int k,
                             const ExplosionTextures* explosionTextures, std::unique_ptr<KartTuning> tuning,
                             int startPosition, const std::string& kartModelFile, NetControl& control)
    : Vehicle(scene, std::move(controller), k, explosionTextures, std::move(tuning), kartModelFile, control,
              VehicleNetValues::Side::Client) {
  placeAtStart(startPosition);
  // The base started the driving motions; until its machine publishes
  // others the kart plays those.
  m_motions.publish(m_net);
}

VehicleClient::~VehicleClient() = default;

void VehicleClient::placeAtStart(int startPosition) {
  SceneItem* start = findKartItem(m_scene, "start", -1, startPosition + 1);
  if (!start) return;
  Matrix4x3 world;
  start->worldMatrix(world, 0.0, true);
  const Position3 at{world.m[12], world.m[13], world.m[14]};
  const float position[3] = {at.x, at.y, at.z};
  float rotation[3];
  for (int i = 0; i < 3; ++i) rotation[i] = start->rotation[i].evaluate(0.0);
  auto place = [&](SceneItem* item, float scale) {
    if (!item) return;
    for (int i = 0; i < 3; ++i) {
      item->position[i].value = position[i];
      item->rotation[i].value = rotation[i];
      item->scale[i].value = scale;
    }
    item->invalidate();
  };
  place(m_chassis, kChassisScale);
  place(m_col, kColScale);
  if (m_col) {
    m_col->evaluate(0.0);
    // Collides where it stands until its machine sends where it is.
    m_net.m_netColPos.set(at);
  }
  placeCameraTarget(at);
  if (m_chassis) {
    Matrix4x3 chassis;
    m_chassis->worldMatrix(chassis, 0.0, true);
    // The forward row carries the chassis's scale: the yaw wants it unit.
    const float n = std::sqrt(chassis.m[8] * chassis.m[8] + chassis.m[10] * chassis.m[10]);
    if (n > 0.0f) m_net.m_netAngle.set(yawOfDirection({chassis.m[8] / n, 0.0f, chassis.m[10] / n}));
    // Drawn standing there until its machine sends where it is.
    m_net.m_matrix.set(chassis);
    m_net.m_netShadowMatrix.set(chassis);
  }
  m_net.m_netPos.set(at);
}

void VehicleClient::getPosition(Position3& out) { out = m_net.m_netPos.get(); }

const float* VehicleClient::getVelocity() { return &m_net.m_netDir.get().x; }

float VehicleClient::getSpeed() { return m_net.m_speed.get(); }

void VehicleClient::step(double time, double /*dt*/) {
  if (m_controller) m_controller->update(false, false);
  spinWheels();
  followReportedPosition();
  placeChassisAndShadow();
  placeKartItem(m_col, m_net.m_netColPos.get(), time);
  parkTouchedBox(time);
  showExplosion(time);
  pushObstacle();
  playAnnouncedSounds();
}

void VehicleClient::spinWheels() {
  SceneItem* front = m_wheels[0];
  if (!front) return;
  float r[3];
  front->getRotationAt(r, 0.0);
  r[0] += kWheelSpin * m_net.m_speed.get();
  for (SceneItem* wheel : {m_wheels[0], m_wheels[1]}) {
    if (!wheel) continue;
    wheel->setRotation(r, false);
    wheel->invalidate();
  }
}

void VehicleClient::followReportedPosition() {
  const Position3 p = m_net.m_netPos.get();
  const bool same = p.x == m_lastReceived.x && p.y == m_lastReceived.y && p.z == m_lastReceived.z;
  if (m_havePrevious && same) {
    // Carried on only while racing: a kart the race has stopped (the
    // connection lost, its machine gone) would slide on at its last speed
    // for ever; it stands where it is drawn.
    if (!m_net.m_active.get()) return;
    const float speed = m_net.m_speed.get();
    const Normal3& d = m_net.m_netDir.get();
    m_extrapolated.x += speed * d.x;
    m_extrapolated.y += speed * d.y;
    m_extrapolated.z += speed * d.z;
  } else {
    m_extrapolated = p;
  }
  m_lastReceived = p;
  m_havePrevious = true;
}

void VehicleClient::placeChassisAndShadow() {
  const Position3& at = m_extrapolated;
  drawWith(m_chassis, m_net.m_matrix.get(), at);
  drawWith(m_items.shadow, m_net.m_netShadowMatrix.get(), {at.x, at.y + kShadowLift, at.z});
}

void VehicleClient::showExplosion(double time) {
  placeKartItem(m_items.rocketParticles, m_net.m_explosion.get(), time);
  if (m_items.rocketEmitter) m_items.rocketEmitter->birthRate.value = m_net.m_explosionBr.get();
  showExplosionTexture(m_items, m_explosionTextures, m_net.m_explosionType.get());
}

void VehicleClient::pushObstacle() {
  KartSensors& s = m_sensors;
  if (s.obstacleDepth == 0.0f) return;
  if (s.obstacle && s.obstacle->body) {
    dBodyEnable(s.obstacle->body);
    const float f = s.obstacleDepth * kObstaclePush;
    dBodyAddForceAtPos(s.obstacle->body, s.obstacleNormal.x * f, s.obstacleNormal.y * f, s.obstacleNormal.z * f,
                       s.obstaclePos.x, s.obstaclePos.y, s.obstaclePos.z);
  }
  s.obstacleDepth = 0.0f;
  Position3 at;
  getPosition(at);
  playSound(kSoundBump, at);
}

void VehicleClient::playAnnouncedSounds() {
  const int start = m_net.m_soundStart.get();
  if (playsAnnounced(start)) playSound(start, m_net.m_soundPosition.get());
  const int stop = m_net.m_soundStop.get();
  if (stopsAnnounced(stop)) stopSound(stop);
  // Heard once: the later steps of this frame find nothing new.
  m_net.m_soundStart.set(0);
  m_net.m_soundStop.set(0);
}

void VehicleClient::updateVisuals(double time) {
  poseMotions();
  poseWeapons(time);
}

void VehicleClient::poseMotions() {
  // The entries as the kart's machine publishes them: the body's motions
  // first, then the driver's, as far as the 40 entries reach.
  MixerMotion* hit = m_motions.driverMotion(KartMotions::kHit);
  float hitIntensity = 0.0f;
  int entry = 0;
  for (const MixerActor* actor : {m_motions.m_body, m_motions.m_driver}) {
    if (!actor) continue;
    for (MixerMotion* motion : actor->motions) {
      if (entry >= VehicleNetValues::kMotionCount) break;
      if (!motion) continue;
      const auto j = static_cast<std::size_t>(entry++);
      const float intensity = m_net.m_netMotionIntensity[j].get();
      motion->setIntensity(intensity);
      motion->setSpeed(m_net.m_netMotionSpeed[j].get());
      motion->setOffset(m_net.m_netMotionOffset[j].get());
      if (motion == hit) hitIntensity = intensity;
    }
  }
  tintHitBody(hitIntensity);
}

void VehicleClient::poseWeapons(double time) {
  KartItems& items = m_items;
  const VehicleNetValues& net = m_net;
  if (net.m_rocketFired.get() == 0)
    placeKartItem(items.rockets[0], kParked, time);
  else
    placeKartItem(items.rockets[0], net.m_rocketPos.get(), net.m_rocketAngle.get(), net.m_rocketAngle2.get(), time);
  placeBubblesAndShots(time);
  placeKartItem(items.mine, net.m_extraMinePos.get(), time);
  placeKartItem(items.weight, net.m_extraWeightPos.get(), time);
  placeKartItem(items.magnet, net.m_effectMagnetPos.get(), time);
}
