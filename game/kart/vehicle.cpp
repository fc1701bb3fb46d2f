#include "game/kart/vehicle.h"

#include <algorithm>
#include <cmath>

#include "game/kart/controller.h"
#include "game/kart/kart_tuning.h"
#include "render/surface.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel.h"

namespace {

constexpr float kBubbleBob = 0.1f;
// The driver's body light while the hit motion plays: dark, fully opaque.
constexpr float kHitColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};

}  // namespace

KartSensors::KartSensors() {
  for (float& h : rayHeight) h = kNoHit;
}

void KartSensors::pushNormal(int ray, const Normal3& normal) {
  if (ray < 0 || ray >= kWheelRays) return;
  auto& queue = rayNormals[ray];
  queue.push_back(normal);
  while (queue.size() > kNormalQueue) queue.pop_front();
}

Vehicle::Vehicle(Scene& scene, std::unique_ptr<Controller> controller, int k,
                 const ExplosionTextures* explosionTextures, std::unique_ptr<KartTuning> tuning,
                 const std::string& kartModelFile, NetControl& control, VehicleNetValues::Side side)
    : m_net(control, k, side),
      m_explosionTextures(explosionTextures),
      m_scene(scene),
      m_controller(std::move(controller)),
      m_tuning(tuning ? std::move(tuning) : std::make_unique<KartTuning>()),
      m_index(k) {
  if (k >= 0 && k < kMaxKarts) {
    m_chassis = findKartItem(scene, "Vehicle", -1, k + 1);
    m_col = findKartItem(scene, "col", -1, k + 1);
    if (auto* col = dynamic_cast<PhysicsObject*>(m_col)) col->ownerIndex = k;
    // The wheels are the newest copy of the model: the race loads each
    // kart's scene just before it builds the kart, so that is the copy this
    // kart's scene brought, whether or not another kart drives the same model.
    if (!kartModelFile.empty())
      for (int i = 0; i < KartSensors::kWheelRays; ++i)
        m_wheels[i] = findKartItem(scene, kartModelFile, 2 + i, scene.countItems(kartModelFile, 2 + i));
    m_items.find(scene, k);
    m_motions.find(scene, k);
  }
  m_items.createRocketParticles(scene, m_explosionTextures ? (*m_explosionTextures)[0] : nullptr);
  m_motions.startDriving();
}

Vehicle::~Vehicle() = default;

void Vehicle::setExtra(int code) { m_net.m_extra.set(code); }

void Vehicle::joinRace(Vehicle* const* karts, int count) {
  m_raceKarts = karts;
  m_raceKartCount = karts ? std::clamp(count, 0, kMaxKarts) : 0;
}

Vehicle* Vehicle::raceKart(int index) const {
  if (!m_raceKarts || index < 0 || index >= m_raceKartCount) return nullptr;
  return m_raceKarts[index];
}

void Vehicle::playSound(int slot, const Position3& at, bool loop) {
  if (slot < 0 || slot >= KartItems::kSoundSlots) return;
  KartSoundSlot& sound = m_items.sounds[static_cast<std::size_t>(slot)];
  if (sound.empty()) return;
  const float* v = getVelocity();
  sound.buffer->set3DParameters(at.x, at.y, at.z, v[0], v[1], v[2], v[0], v[1], v[2]);
  sound.buffer->play(loop);
}

bool Vehicle::soundPlaying(int slot) const {
  if (slot < 0 || slot >= KartItems::kSoundSlots) return false;
  const KartSoundSlot& sound = m_items.sounds[static_cast<std::size_t>(slot)];
  return !sound.empty() && sound.buffer->isPlaying();
}

void Vehicle::stopSound(int slot) {
  if (slot < 0 || slot >= KartItems::kSoundSlots) return;
  KartSoundSlot& sound = m_items.sounds[static_cast<std::size_t>(slot)];
  if (!sound.empty()) sound.buffer->stop();
}

void Vehicle::announceSound(int slot) {
  Position3 at;
  getPosition(at);
  playSound(slot, at);
  m_net.m_soundStart.set(slot);
  m_net.m_soundPosition.set(at);
}

float yawOfDirection(const Normal3& v) {
  const float angle = std::acos(std::clamp(v.z, -1.0f, 1.0f));
  return v.x < 0.0f ? -angle : angle;
}

float pitchOfDirection(const Normal3& v) { return std::asin(std::clamp(v.y, -1.0f, 1.0f)); }

void Vehicle::parkTouchedBox(double time) {
  PhysicsObject* box = m_touchedBox;
  if (!box) return;
  m_touchedBox = nullptr;
  // Another kart took it in the same collision pass and has parked it
  // already: a second park would sink it twice as deep, and the race lifts
  // it once.
  if (box->reappearTime != 0.0f) return;
  Matrix4x3 world;
  box->worldMatrix(world, time, true);
  placeKartItem(box, {world.m[12], world.m[13] - kBoxParkDepth, world.m[14]}, time);
  box->reappearTime = kBoxReappearTime;
}

void Vehicle::placeCameraTarget(const Position3& at) {
  placeKartItem(m_items.cameraTarget, {at.x, at.y + kCameraTargetLift, at.z});
}

void Vehicle::tintHitBody(float hitIntensity) {
  Surface* body = m_characterModel[kBodySurface];
  if (body && hitIntensity != 0.0f) std::copy(std::begin(kHitColour), std::end(kHitColour), body->colorFactor);
}

void Vehicle::placeBubblesAndShots(double time) {
  for (int i = 0; i < KartItems::kBubbles; ++i) {
    Position3 at = m_net.m_extraSoapPos[static_cast<std::size_t>(i)].get();
    at.y += kBubbleBob * std::sin(3.0f * static_cast<float>(time) + 0.1f * static_cast<float>(i + 1));
    placeKartItem(m_items.bubbles[i], at, time);
  }
  // The froster shot is the second laser beam, the shrinker shot the first.
  placeKartItem(m_items.lasers[1], m_net.m_extraFrosterPos.get(), m_net.m_extraFrosterAngle.get(),
                m_net.m_extraFrosterAngle2.get(), time);
  placeKartItem(m_items.lasers[0], m_net.m_extraShrinkerPos.get(), m_net.m_extraShrinkerAngle.get(),
                m_net.m_extraShrinkerAngle2.get(), time);
}
