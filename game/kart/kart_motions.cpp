#include "game/kart/kart_motions.h"

#include "foundation/channel_group.h"
#include "game/kart/vehicle_net_values.h"
#include "scene/scene.h"

namespace {

constexpr const char* kDriverNames[KartMotions::kDriverMotions] = {"Lenken_RE", "Lenken_LI", "Fahren",   "Rueckwaerts",
                                                                   "Fallen",    "Spawn",     "Stampfer", "Getroffen",
                                                                   "Sieger",    "Verlierer", "Crash"};
constexpr const char* kBodyNames[KartMotions::kBodyMotions] = {
    "fahren_kart",    "stampfer_kart",  "getroffen_kart",      "schutzschild_kart", "abwerfen_kart",
    "shrinker_kart",  "froster_kart",   "rocketlauncher_kart", "bubble_kart",       "eisblock_kart",
    "lenken_LI_kart", "lenken_RE_kart", "fallen_kart"};

MixerMotion* motionAt(const MixerActor* actor, int index) {
  if (!actor || index < 0 || index >= static_cast<int>(actor->motions.size())) return nullptr;
  return actor->motions[static_cast<std::size_t>(index)];
}

// A motion's current playback state, read from its first channel.
void stateOf(const MixerMotion& motion, float& intensity, float& speed, float& offset) {
  intensity = 0.0f;
  speed = 1.0f;
  offset = 0.0f;
  if (motion.groups.empty() || motion.envelopeIndex.empty() || !motion.groups[0]) return;
  const ChannelGroup& group = *motion.groups[0];
  const int e = motion.envelopeIndex[0];
  if (e < 0 || e >= group.envelopeCount()) return;
  intensity = group.intensity(e);
  speed = group.speed(e);
  offset = group.offset(e);
}

}  // namespace

void KartMotions::find(Scene& scene, int k) {
  m_driver = scene.findActor("Character", k);
  m_body = scene.findActor("gfd", k);
  for (int i = 0; i < kDriverMotions; ++i)
    m_driverIndex[i] = m_driver ? m_driver->findMotionIndex(kDriverNames[i]) : -1;
  for (int i = 0; i < kBodyMotions; ++i) m_bodyIndex[i] = m_body ? m_body->findMotionIndex(kBodyNames[i]) : -1;
}

MixerMotion* KartMotions::driverMotion(Driver which) const { return motionAt(m_driver, m_driverIndex[which]); }

MixerMotion* KartMotions::bodyMotion(Body which) const { return motionAt(m_body, m_bodyIndex[which]); }

MixerMotion* KartMotions::driverMotionAt(int index) const { return motionAt(m_driver, index); }

MixerMotion* KartMotions::bodyMotionAt(int index) const { return motionAt(m_body, index); }

float KartMotions::intensityOf(const MixerMotion* motion) {
  if (!motion) return 0.0f;
  float intensity, speed, offset;
  stateOf(*motion, intensity, speed, offset);
  return intensity;
}

void KartMotions::startDriving() {
  for (const MixerActor* actor : {m_driver, m_body}) {
    if (!actor) continue;
    for (MixerMotion* motion : actor->motions)
      if (motion) motion->setIntensity(0.0f);
  }
  for (MixerMotion* motion : {driverMotion(kDrive), bodyMotion(kBodyDrive)}) {
    if (!motion) continue;
    motion->setIntensity(1.0f);
    motion->setSpeed(1.0f);
    motion->setOffset(0.0f);
  }
}

void KartMotions::publish(VehicleNetValues& values) const {
  int entry = 0;
  for (const MixerActor* actor : {m_body, m_driver}) {
    if (!actor) continue;
    for (const MixerMotion* motion : actor->motions) {
      if (entry >= VehicleNetValues::kMotionCount) return;
      if (!motion) continue;
      float intensity, speed, offset;
      stateOf(*motion, intensity, speed, offset);
      const auto i = static_cast<std::size_t>(entry++);
      values.m_netMotionIntensity[i].set(intensity);
      values.m_netMotionSpeed[i].set(speed);
      values.m_netMotionOffset[i].set(offset);
    }
  }
}
