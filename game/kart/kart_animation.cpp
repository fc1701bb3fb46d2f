// How a simulated kart shows its driver and body: the driving motion chosen
// each frame from the steering, cross-faded over five frames, event motions
// that hold it off for a while, and the state every peer replays. Also the
// weapon reactions that share it: an exploding weapon and a spoilt launch.
#include <algorithm>
#include <iterator>

#include "foundation/channel_group.h"
#include "game/kart/controller.h"
#include "game/kart/kart_extras.h"
#include "game/kart/vehicle_master.h"
#include "render/surface.h"
#include "scene/object_item.h"
#include "scene/particle_emitter.h"
#include "scene/scene.h"

namespace {

constexpr float kBlendPerFrame = 0.201f;  // a cross-fade takes five frames
constexpr float kExplosionStrength = 800.0f;
constexpr float kExplosionTime = 0.3f;

void setIntensity(MixerMotion* motion, float value) {
  if (motion) motion->setIntensity(value);
}

void restart(MixerMotion* motion, double time) {
  if (motion) motion->setOffset(static_cast<float>(time));
}

}  // namespace

void VehicleMaster::startBodyMotion(KartMotions::Body which, double time) {
  MixerMotion* motion = m_motions.bodyMotion(which);
  setIntensity(motion, 1.0f);
  restart(motion, time);
}

void VehicleMaster::silenceBodyMotion(KartMotions::Body which) { setIntensity(m_motions.bodyMotion(which), 0.0f); }

void VehicleMaster::requestEventMotion(int driverMotion, int bodyMotion, float hold) {
  KartAnimation& a = m_animation;
  a.state = KartAnimation::kEventMotion;
  a.driverMotion = driverMotion;
  a.bodyMotion = bodyMotion;
  a.hold = hold;
}

void VehicleMaster::startDrivingMotion(int driverMotion, int bodyMotion) {
  KartAnimation& a = m_animation;
  if (a.blend < 1.0f) {
    // A fade still running: what was fading out goes at once, what was
    // fading in fades out from here.
    setIntensity(m_motions.bodyMotionAt(a.previousBodyMotion), 0.0f);
    a.previousBodyMotion = a.bodyMotion;
    setIntensity(m_motions.driverMotionAt(a.previousDriverMotion), 0.0f);
    a.previousDriverMotion = a.driverMotion;
  }
  a.driverMotion = driverMotion;
  a.bodyMotion = bodyMotion;
  a.state = KartAnimation::kNewDrivingMotion;
}

void VehicleMaster::chooseDrivingMotion() {
  KartAnimation& a = m_animation;
  const int* driver = m_motions.m_driverIndex;
  const int* body = m_motions.m_bodyIndex;
  const int drive = driver[KartMotions::kDrive];
  if (m_controller && m_controller->isAI()) {
    if (a.driverMotion == drive) return;
    a.driverMotion = drive;
    a.bodyMotion = -1;
    a.state = KartAnimation::kNewDrivingMotion;
    return;
  }
  const bool left = m_controller && m_controller->left();
  const bool right = m_controller && m_controller->right();
  const bool reversing = m_drive.m_reverse != 0;
  const bool steers = !reversing && m_net.m_active.get();
  if (left) {
    if (a.driverMotion != driver[KartMotions::kSteerLeft] && steers)
      startDrivingMotion(driver[KartMotions::kSteerLeft], body[KartMotions::kBodySteerLeft]);
  } else if (right) {
    if (a.driverMotion != driver[KartMotions::kSteerRight] && steers)
      startDrivingMotion(driver[KartMotions::kSteerRight], body[KartMotions::kBodySteerRight]);
  } else {
    if (a.driverMotion != drive && !reversing) startDrivingMotion(drive, -1);
    const int back = driver[KartMotions::kReverse];
    if (a.driverMotion != back && reversing) startDrivingMotion(back, -1);
  }
}

void VehicleMaster::crossFade(double time) {
  KartAnimation& a = m_animation;
  MixerMotion* driver = m_motions.driverMotionAt(a.driverMotion);
  MixerMotion* body = m_motions.bodyMotionAt(a.bodyMotion);
  if (a.state != KartAnimation::kIdle) {
    restart(driver, time);
    restart(body, time);
    a.blend = 0.0f;
    a.state = KartAnimation::kIdle;
  }
  if (a.blend < 1.0f) {
    a.blend += kBlendPerFrame;
    if (a.blend > 1.0f) {
      a.blend = 1.0f;
      setIntensity(m_motions.driverMotionAt(a.previousDriverMotion), 0.0f);
      setIntensity(m_motions.bodyMotionAt(a.previousBodyMotion), 0.0f);
      a.previousDriverMotion = a.driverMotion;
      a.previousBodyMotion = a.bodyMotion;
    }
  }
  if (a.blend < 1.0f) {
    setIntensity(m_motions.driverMotionAt(a.previousDriverMotion), 1.0f - a.blend);
    setIntensity(m_motions.bodyMotionAt(a.previousBodyMotion), 1.0f - a.blend);
  }
  setIntensity(driver, a.blend);
  setIntensity(body, a.blend);
}

void VehicleMaster::updateVisuals(double time) {
  if (m_animation.hold == 0.0f) chooseDrivingMotion();
  crossFade(time);
  m_motions.publish(m_net);
  placeKartItem(m_items.magnet, m_net.m_effectMagnetPos.get());
  placeKartItem(m_items.mine, m_net.m_extraMinePos.get());
  tintHitBody(KartMotions::intensityOf(m_motions.driverMotion(KartMotions::kHit)));
}

void VehicleMaster::abortRocketLaunch() {
  silenceBodyMotion(KartMotions::kBodyShield);
  silenceBodyMotion(KartMotions::kBodyShrinker);
  silenceBodyMotion(KartMotions::kBodyFroster);
  // Only in its first second: a rocket that long under way is beyond the
  // firer's reach.
  KartProjectiles& p = m_projectiles;
  if (p.rocketLaunch <= 0.0f || p.rocketLaunch >= 1.0f) return;
  p.rocketLaunch = -1.0f;
  p.rocketTarget = -1;
  m_net.m_extraRocket.set(0.0f);
  m_net.m_targetLocked.set(-1);
  // A rocket already launched goes with the launch.
  m_net.m_rocketFired.set(0);
}

void VehicleMaster::explodeWeapon(const Position3& position) {
  KartItems& items = m_items;
  placeKartItem(items.rocketParticles, position);
  if (items.rocketEmitter) items.rocketEmitter->birthRate.value = kExplosionStrength;
  showExplosionTexture(items, m_explosionTextures, m_net.m_explosionType.get());
  m_status.explosion = kExplosionTime;
  m_net.m_explosion.set(position);
  // Peers burst with the same strength until the burst ends.
  m_net.m_explosionBr.set(kExplosionStrength);

  // Whatever of the kart's was flying is over.
  m_projectiles.rocketLaunch = -1.0f;
  m_projectiles.rocketTarget = -1;
  m_net.m_extraRocket.set(0.0f);
  m_net.m_rocketFired.set(0);
  m_net.m_targetLocked.set(-1);
  m_net.m_extraShrinker.set(0.0f);
  m_net.m_extraFroster.set(0.0f);

  Position3 at;
  getPosition(at);
  playSound(kSoundRocketHit, m_net.m_rocketPos.get());
  m_net.m_soundStart.set(kSoundRocketHit);
  m_net.m_soundPosition.set(at);
  for (SceneItem* rocket : items.rockets) parkKartItem(rocket);
  m_net.m_extraFrosterPos.set(kParked);
  m_net.m_extraShrinkerPos.set(kParked);
}
