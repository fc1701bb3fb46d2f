// The extras: the roll of an extra box, what using an extra starts, and the
// speed-up pad's boost, which shares the turbo's timer. What flies after a
// use is the projectiles' business; the victims' timers are the status
// timers'.
#include "game/kart/kart_extras.h"

#include <algorithm>
#include <cmath>

#include "foundation/random.h"
#include "game/kart/vehicle_master.h"
#include "render/surface.h"
#include "render/texture_layer.h"
#include "scene/particle_renderers.h"
#include "scene/physics_object.h"
#include "scene/scene.h"

namespace {

constexpr int kRollResults = 10;
constexpr int kRollBounds = kRollResults - 1;
constexpr ExtraType kRollResult[kRollResults] = {kExtraShield, kExtraMagnet, kExtraShrinker, kExtraFroster,
                                                 kExtraTurbo,  kExtraMine,   kExtraRocket,   kExtraWeight,
                                                 kExtraSoap,   kExtraFlash};
// Cumulative percentages: result i when the roll is below bound i, the last
// result for the rest. The leaders get more shields, the back more turbos.
constexpr int kRollBound[3][kRollBounds] = {
    {25, 30, 40, 50, 55, 65, 80, 85, 95}, {10, 20, 30, 40, 50, 60, 70, 80, 90}, {5, 10, 20, 30, 60, 65, 80, 85, 95}};
constexpr int kMaxRaceKarts = 6;
constexpr int kRanks = 6;
constexpr int kRollRow[kMaxRaceKarts + 1][kRanks] = {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 1, 1, 1, 1, 1},
                                                     {0, 1, 2, 2, 2, 2}, {0, 1, 1, 2, 2, 2}, {0, 1, 1, 2, 2, 2},
                                                     {0, 0, 1, 1, 2, 2}};

constexpr float kShieldTime = 9.5f;
constexpr float kTurboTime = 5.0f;
constexpr float kPadTurboTime = 3.0f;
constexpr float kShotStart = 0.005f;  // a shot's or drop's timer at the use
constexpr float kDisplayTime = 1.0f;  // flash and weight
constexpr float kRocketHeld = 1.0f;
constexpr float kRocketLift = 1.2f;
constexpr float kFlatAxisLeast = 1e-6f;

}  // namespace

int extraRollRow(int kartCount, int rank) {
  return kRollRow[std::clamp(kartCount, 0, kMaxRaceKarts)][std::clamp(rank, 0, kRanks - 1)];
}

ExtraType extraForRoll(int row, int r) {
  const int(&bounds)[kRollBounds] = kRollBound[std::clamp(row, 0, 2)];
  for (int i = 0; i < kRollBounds; ++i)
    if (r < bounds[i]) return kRollResult[i];
  return kRollResult[kRollBounds];
}

ExtraType rollExtra(int kartCount, int rank) {
  const int r = engineRand() % 100;
  return extraForRoll(extraRollRow(kartCount, rank), r);
}

int explosionTypeIndex(int type) { return std::clamp(type, 0, 2); }

Texture* explosionTexture(const std::array<Texture*, 3>* textures, int type) {
  if (!textures) return nullptr;
  return (*textures)[static_cast<std::size_t>(explosionTypeIndex(type))];
}

void showExplosionTexture(KartItems& items, const std::array<Texture*, 3>* textures, int type) {
  Texture* texture = explosionTexture(textures, type);
  if (!items.rocketParticles || !texture) return;
  auto* material = dynamic_cast<ParticleMaterial*>(items.rocketParticles->particleRenderer.get());
  if (!material || !material->surface) return;
  for (auto& layer : material->surface->imageLayers) {
    if (layer->channel != fourCC("COLR")) continue;
    layer->texture = texture;
    return;
  }
  // Built before the race had pictures: the layer comes with the first.
  addColourLayer(*material->surface, texture);
}

void parkKartItem(SceneItem* item) { placeKartItem(item, kParked); }

ExtraType Vehicle::rollExtra() const { return ::rollExtra(m_raceKartCount, m_net.m_rank.get()); }

void Vehicle::giveRandomExtra(PhysicsObject* box) {
  // A held extra is replaced: the box gives whatever it gives.
  m_touchedBox = box;
  m_net.m_extra.set(rollExtra());
  announceSound(kSoundPickUp);
}

void VehicleMaster::useExtra(double time, double /*dt*/) {
  // A shrunk kart cannot reach its extras: it keeps the one it holds.
  if (m_status.shrunk != 0.0f) return;
  VehicleNetValues& net = m_net;
  Position3 at;
  getPosition(at);
  auto throwIt = [&] { startBodyMotion(KartMotions::kBodyThrow, time); };
  switch (net.m_extra.get()) {
    case kExtraShield:
      playSound(kSoundShield, at, true);
      net.m_soundStart.set(kSoundShield);
      net.m_soundPosition.set(at);
      startBodyMotion(KartMotions::kBodyShield, time);
      if (MixerMotion* shield = m_motions.bodyMotion(KartMotions::kBodyShield)) shield->setSpeed(1.0f);
      m_status.shield = kShieldTime;
      break;
    case kExtraMagnet: {
      // Heard where it is thrown: a unit behind the kart.
      const Normal3& h = m_drive.m_heading;
      playSound(kSoundMagnet, {at.x - h.x, at.y - h.y, at.z - h.z});
      net.m_soundStart.set(kSoundMagnet);
      net.m_soundPosition.set(at);
      throwIt();
      m_projectiles.magnetDrop = kShotStart;
      break;
    }
    case kExtraShrinker:
      startBodyMotion(KartMotions::kBodyShrinker, time);
      net.m_extraShrinker.set(kShotStart);
      m_projectiles.shrinkerDirection = {};
      net.m_explosionType.set(2);
      break;
    case kExtraFroster:
      startBodyMotion(KartMotions::kBodyFroster, time);
      if (MixerMotion* froster = m_motions.bodyMotion(KartMotions::kBodyFroster)) froster->setSpeed(1.0f);
      net.m_extraFroster.set(kShotStart);
      m_projectiles.frosterDirection = {};
      net.m_explosionType.set(1);
      break;
    case kExtraTurbo:
      announceSound(kSoundTurbo);
      m_status.turbo = kTurboTime;
      m_status.turboSound = 0.0f;
      break;
    case kExtraMine:
      announceSound(kSoundThrow);
      throwIt();
      m_projectiles.mineDrop = kShotStart;
      break;
    case kExtraRocket:
      startBodyMotion(KartMotions::kBodyRocketLauncher, time);
      m_projectiles.rocketDirection = {};
      m_projectiles.rocketLaunch = 0.0f;
      net.m_rocketFired.set(0);
      m_projectiles.rocketPathIndex = -1;
      m_projectiles.rocketTarget = -1;
      net.m_extraRocket.set(kRocketHeld);
      net.m_rocketPos.set({at.x, at.y + kRocketLift, at.z});
      for (SceneItem* rocket : m_items.rockets) parkKartItem(rocket);
      net.m_explosionType.set(0);
      break;
    case kExtraWeight:
      announceSound(kSoundThrow);
      throwIt();
      net.m_extraWeight.set(kDisplayTime);
      break;
    case kExtraSoap:
      for (int j = 0; j < KartProjectiles::kBubbles; ++j) {
        net.m_extraSoap[static_cast<std::size_t>(j)].set(kShotStart);
        m_projectiles.soapDirection[j] = {};
      }
      break;
    case kExtraFlash:
      announceSound(kSoundThrow);
      throwIt();
      net.m_extraFlash.set(kDisplayTime);
      break;
    default:  // none, the second rocket, oil and unknown codes start nothing
      break;
  }
  net.m_extra.set(kExtraNone);
}

void VehicleMaster::startSpeedBoost(PhysicsObject* pad) {
  m_status.turbo = kPadTurboTime;
  KartDrive& d = m_drive;
  d.m_velocity = d.m_speedLimit = m_tuning->turboMaxSpeed;
  if (pad) {
    // The pad's forward axis, laid flat and made unit: a scaled or tilted
    // pad must not stretch the heading. An axis with nothing left once laid
    // flat (straight up, or a pad scaled to nothing) keeps the old one.
    Matrix4x3 world;
    pad->worldMatrix(world, 0.0, true);
    const float x = world.m[8], z = world.m[10];
    const float n = std::sqrt(x * x + z * z);
    if (n > kFlatAxisLeast && std::isfinite(n)) d.m_heading = {x / n, 0.0f, z / n};
  }
  d.m_motion[0] = d.m_heading.x;
  d.m_motion[1] = d.m_heading.y;
  d.m_motion[2] = d.m_heading.z;
  if (m_chassis) {
    m_chassis->rotation[0].value = yawOfDirection(d.m_heading);
    m_chassis->rotation[1].value = 0.0f;
    m_chassis->rotation[2].value = 0.0f;
    m_chassis->invalidate();
  }
  d.m_reverse = 0;
  if (!soundPlaying(kSoundSpeedUp)) announceSound(kSoundSpeedUp);
}
