// The timed effects of a simulated kart, each run down at its place in the
// kart's step: shield and turbo, the flash and weight displays, falling,
// being crushed or flattened, the victims' timers of the hits, and the
// magnet's pull. Several end in a respawn.
#include <algorithm>
#include <cmath>

#include "foundation/channel_group.h"
#include "game/kart/kart_extras.h"
#include "game/kart/vehicle_master.h"
#include "scene/particle_emitter.h"
#include "scene/physics_object.h"
#include "scene/scene.h"
#include "sound/sound_buffer.h"

namespace {

constexpr float kTurboSoundAt = 0.43f;  // the turbo's sound, then its push
constexpr float kTurboBoostAt = 0.83f;
constexpr float kDisplayTime = 1.0f;
constexpr float kThrowTime = 0.3667f;  // the throw motion's length
constexpr float kFallSoundFrom = 0.5f;
constexpr float kFallSoundTo = 1.3f;
constexpr float kFallHold = 2.0f;
constexpr float kFallMotionSpeed = 0.4f;
constexpr float kSquashedTime = 2.0f;  // falling, crushed and flattened karts return after this
constexpr float kWeightHover = 1.2f;   // above this the weight hangs over the kart
constexpr float kWeightLanded = 1.0f;  // at or below this it sits on the kart
constexpr float kWeightHoverHeight = 1.5f;
constexpr float kWeightDropRate = 7.5f;
constexpr float kShrinkChange = 0.5f;  // growing and shrinking take this long
constexpr float kNormalScale = 0.75f;
constexpr float kSmallScale = 0.2f;
constexpr float kColShare = 0.6f;  // "col" to the chassis
constexpr float kShrunkSpeedShare = 1.3333333f;
constexpr float kMagnetLetGo = 0.5f;  // the pulling magnet moved away
constexpr float kMagnetPull = 0.5f * 20.0f;

float distance(const Position3& a, const Position3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// A timer counting down: the time left after dt, 0 once it runs out.
// Returns whether it ran out in this step.
bool countDown(float& timer, double dt) {
  if (timer == 0.0f) return false;
  timer -= static_cast<float>(dt);
  if (timer > 0.0f) return false;
  timer = 0.0f;
  return true;
}

void scaleTo(SceneItem* item, float s) {
  if (!item) return;
  const float scale[3] = {s, s, s};
  item->setScale(scale);
  item->invalidate();
}

}  // namespace

void VehicleMaster::followWithSound(int slot) {
  Position3 at;
  getPosition(at);
  KartSoundSlot& sound = m_items.sounds[static_cast<std::size_t>(slot)];
  if (!sound.empty()) {
    const float* v = getVelocity();
    sound.buffer->set3DParameters(at.x, at.y, at.z, v[0], v[1], v[2], v[0], v[1], v[2]);
  }
  m_net.m_soundPosition.set(at);
}

void VehicleMaster::runTimers(double /*time*/, double dt) {
  runShield(dt);
  runTurbo(dt);
  runDisplayTimer(m_net.m_extraFlash, dt);
  runDisplayTimer(m_net.m_extraWeight, dt);
}

void VehicleMaster::runShield(double dt) {
  // An exact 0 left ends the shield too: 0 is idle, and an idle shield must
  // not keep its looping sound.
  if (m_status.shield == 0.0f) return;
  if (!countDown(m_status.shield, dt)) {
    followWithSound(kSoundShield);
    return;
  }
  stopSound(kSoundShield);
  m_net.m_soundStop.set(kSoundShield);
  silenceBodyMotion(KartMotions::kBodyShield);
}

void VehicleMaster::runTurbo(double dt) {
  KartStatusTimers& s = m_status;
  if (s.turbo == 0.0f) return;
  s.turbo -= static_cast<float>(dt);
  if (s.turboSound >= 0.0f) {
    // The extra's turbo winds up before it pushes; a pad's pushes at once.
    s.turboSound += static_cast<float>(dt);
    if (s.turboSound >= kTurboSoundAt && !soundPlaying(kSoundTurbo)) {
      Position3 at;
      getPosition(at);
      playSound(kSoundTurbo, at);
    }
    if (s.turboSound >= kTurboBoostAt) {
      m_drive.m_velocity = m_drive.m_speedLimit = m_tuning->turboMaxSpeed;
      s.turboSound = -1.0f;
      m_drive.m_reverse = 0;
    }
  }
  if (s.turbo > 0.0f) {
    followWithSound(kSoundTurbo);
    return;
  }
  s.turbo = 0.0f;
  m_drive.m_speedLimit = m_tuning->maxSpeed;
  stopSound(kSoundTurbo);
  m_net.m_soundStop.set(kSoundTurbo);
}

void VehicleMaster::runDisplayTimer(NetValue<float>& timer, double dt) {
  float left = timer.get();
  if (left == 0.0f) return;
  timer.modify();  // re-sent every step while it shows
  left -= static_cast<float>(dt);
  timer.set(left > 0.0f ? left : 0.0f);
  if (left < kDisplayTime - kThrowTime) silenceBodyMotion(KartMotions::kBodyThrow);
}

bool VehicleMaster::runFallTimers(double time, double dt) {
  KartStatusTimers& s = m_status;
  bool overFallZone = true;
  for (std::uint8_t& fall : m_sensors.rayFall) {
    overFallZone = overFallZone && fall != 0;
    fall = 0;
  }
  if (s.fall == 0.0f && overFallZone) {
    s.fall = static_cast<float>(dt);
    const int fallen = m_motions.m_driverIndex[KartMotions::kFall];
    const int fallenKart = m_motions.m_bodyIndex[KartMotions::kBodyFall];
    requestEventMotion(fallen, fallenKart, kFallHold);
    for (MixerMotion* motion :
         {m_motions.driverMotion(KartMotions::kFall), m_motions.bodyMotion(KartMotions::kBodyFall)})
      if (motion) motion->setSpeed(kFallMotionSpeed);
    abortRocketLaunch();
  }
  if (s.fall != 0.0f) {
    if (SceneItem* shadow = m_items.shadow) {
      shadow->localMode = 0;
      placeKartItem(shadow, kParked);
    }
    if (s.fall >= kFallSoundFrom && s.fall <= kFallSoundTo && !soundPlaying(kSoundFall)) announceSound(kSoundFall);
    if (s.fall <= kSquashedTime) {
      s.fall += static_cast<float>(dt);
      return true;
    }
    s.fall = 0.0f;
    respawn();
  }
  return runSquashed(s.crushed, false, time, dt) || runSquashed(s.flattened, true, time, dt);
}

bool VehicleMaster::runSquashed(float& timer, bool sendCol, double time, double dt) {
  if (timer == 0.0f) return false;
  // Out of every other kart's way until it is back on the track.
  placeKartItem(m_col, kParked);
  if (m_col) m_col->evaluate(time);
  if (timer > kSquashedTime) {
    timer = 0.0f;
    respawn();
    return false;
  }
  timer += static_cast<float>(dt);
  if (sendCol && m_col) {
    Matrix4x3 world;
    m_col->worldMatrix(world, 0.0, true);
    m_net.m_netColPos.set({world.m[12], world.m[13], world.m[14]});
  }
  return true;
}

void VehicleMaster::onStamped() {
  if (m_status.flattened != 0.0f) return;
  m_status.flattened = 0.01f;
  requestEventMotion(m_motions.m_driverIndex[KartMotions::kStamper], m_motions.m_bodyIndex[KartMotions::kBodyStamper],
                     kSquashedTime);
  if (!soundPlaying(kSoundStamped)) announceSound(kSoundStamped);
  abortRocketLaunch();
}

void VehicleMaster::onCrushed() {
  if (m_status.crushed != 0.0f) return;
  m_status.crushed = 0.01f;
  requestEventMotion(-1, m_animation.bodyMotion, kSquashedTime);
  if (!soundPlaying(kSoundStamped)) announceSound(kSoundStamped);
  abortRocketLaunch();
}

void VehicleMaster::runStatusTimers(double /*time*/, double dt) {
  countDown(m_status.throttleLock, dt);
  runWeightHit(dt);
  if (countDown(m_status.frozen, dt)) silenceBodyMotion(KartMotions::kBodyIceBlock);
  if (countDown(m_status.skid, dt)) silenceBodyMotion(KartMotions::kBodyBubble);
  runShrink(dt);
}

void VehicleMaster::runWeightHit(double dt) {
  float& r = m_status.weightHit;
  if (r == 0.0f) return;
  r -= static_cast<float>(dt);
  Position3 at;
  getPosition(at);
  SceneItem* weight = m_items.weight;
  if (r <= 0.0f) {
    r = 0.0f;
    m_net.m_effectWeightObjectIndex.set(-1);
    placeKartItem(weight, kParked);
    scaleTo(weight, 0.0f);
    m_net.m_extraWeightPos.set(kParked);
    m_drive.m_velocity = 0.0f;
    respawn();
    return;
  }
  float above = 0.0f;  // sitting on the kart
  if (r > kWeightHover) {
    above = kWeightHoverHeight;
    scaleTo(weight, 1.0f);
  } else {
    m_drive.m_velocity = 0.0f;
    if (r > kWeightLanded) {
      above = (r - kWeightLanded) * kWeightDropRate;
      if (!soundPlaying(kSoundWeight)) announceSound(kSoundWeight);
    }
  }
  const Position3 weightAt{at.x, at.y + above, at.z};
  placeKartItem(weight, weightAt);
  m_net.m_extraWeightPos.set(weightAt);
}

void VehicleMaster::runShrink(double dt) {
  float& r = m_status.shrunk;
  if (r == 0.0f && !m_shrinkShown) return;
  float s = kNormalScale;
  if (r != 0.0f) {
    r -= static_cast<float>(dt);
    if (r <= 0.0f) {
      r = 0.0f;
    } else if (r > kShrinkTime - kShrinkChange) {
      s = (1.0f - 2.0f * (kShrinkTime - r)) * 0.55f + kSmallScale;
    } else if (r <= kShrinkChange) {
      s = (1.0f - 2.0f * r) * 0.55f + kSmallScale;
    } else {
      s = kSmallScale;
    }
    m_drive.m_speedLimit = s * kShrunkSpeedShare * m_tuning->maxSpeed;
  }
  // Also once after the shrink ended early (run over while small): the
  // kart gets its size back.
  scaleTo(m_chassis, s);
  scaleTo(m_col, kColShare * s);
  m_shrinkShown = r != 0.0f;
}

void VehicleMaster::runHitTimers(double /*time*/, double dt) {
  runRocketHit(dt);
  if (m_status.mineHit != 0.0f) {
    abortRocketLaunch();
    if (countDown(m_status.mineHit, dt)) {
      m_net.m_extraMineIndex.set(-1);
      respawn();
    } else {
      m_drive.m_velocity = 0.0f;
    }
  }
  runExplosion(dt);
}

void VehicleMaster::runRocketHit(double dt) {
  if (m_status.rocketHit == 0.0f) return;
  abortRocketLaunch();
  if (!countDown(m_status.rocketHit, dt)) {
    m_drive.m_velocity = 0.0f;
    return;
  }
  // The index is received from peers too: only a kart of the race counts.
  if (Vehicle* attacker = raceKart(m_net.m_rocketIndex.get())) {
    m_net.m_explosion.set(kParked);
    for (SceneItem* rocket : m_items.rockets) parkKartItem(rocket);
    for (SceneItem* part : m_items.explosionParts) parkKartItem(part);
    attacker->m_net.m_extraRocket.set(0.0f);
  }
  m_net.m_rocketIndex.set(-1);
  respawn();
}

void VehicleMaster::runExplosion(double dt) {
  if (!countDown(m_status.explosion, dt)) return;
  m_net.m_explosionBr.set(0.0f);
  if (m_items.rocketEmitter) m_items.rocketEmitter->birthRate.value = 0.0f;
}

void VehicleMaster::runMagnet(double /*time*/, double dt) {
  KartStatusTimers& s = m_status;
  if (s.magnet == 0.0f) return;
  s.magnet -= static_cast<float>(dt);
  Vehicle* puller = raceKart(m_net.m_effectMagnetObjectIndex.get());
  // A magnet moved away lets go, and so does an index naming no kart of the
  // race.
  if (!puller || distance(puller->m_net.m_effectMagnetPos.get(), s.magnetPosition) >= kMagnetLetGo) {
    s.magnet = 0.0f;
    m_net.m_effectMagnetObjectIndex.set(-1);
    return;
  }
  const Position3 magnet = puller->m_net.m_effectMagnetPos.get();
  if (magnet.y != kParked.y) {
    Position3& t = m_drive.m_target;
    const float f = kMagnetPull * static_cast<float>(dt);
    t = {t.x + (magnet.x - t.x) * f, t.y + (magnet.y - t.y) * f, t.z + (magnet.z - t.z) * f};
  }
  if (s.magnet <= 0.0f) endMagnetPull();
}

void VehicleMaster::endMagnetPull() {
  const int j = m_net.m_effectMagnetObjectIndex.get();
  // Spent: parked under the track, where no kart is pulled again.
  if (Vehicle* puller = raceKart(j)) puller->m_net.m_effectMagnetPos.set({static_cast<float>(j), kParked.y, 0.0f});
  m_status.magnet = 0.0f;
  m_net.m_effectMagnetObjectIndex.set(-1);
}
