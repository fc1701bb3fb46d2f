// What the karts' weapons do to each other each frame: every kart simulated
// here is tested against every kart's rocket, bubbles, shots, flash, mine,
// magnet and weight, and a hit starts the victim's timer. Also the flight
// sound of the rockets in the air.
#include <cmath>

#include "game/kart/kart_items.h"
#include "game/kart/vehicle_master.h"
#include "game/race/race.h"
#include "scene/scene.h"
#include "sound/sound_buffer.h"

namespace {

// Hit radii: within means strictly closer.
constexpr float kRocketReach = 3.0f;
constexpr float kBubbleReach = 3.0f;
constexpr float kShotReach = 3.0f;
constexpr float kFlashReach = 15.0f;
constexpr float kMineReach = 1.6f;
constexpr float kMagnetReach = 5.0f;
constexpr float kWeightReach = 20.0f;
// What the victim's timers start at, in seconds.
constexpr float kRocketHitTime = 1.0f;
constexpr float kSkidTime = 5.0f;
constexpr float kFrozenTime = 3.0f;
constexpr float kThrottleLockTime = 2.5f;
constexpr float kMineHitTime = 1.0f;
constexpr float kMagnetTime = 2.7f;
constexpr float kWeightHitTime = 3.0f;
constexpr float kHitMotionHold = 1.0f;
// The flight sound is heard from a rocket nearer than this to view 0's kart.
constexpr float kFlightHearing = 25.0f;
// After its first second a launch is a rocket in flight.
constexpr float kInFlight = 1.0f;

constexpr int kSoundFlash = 1;
constexpr int kSoundLaugh = 3;
constexpr int kSoundShrunk = 21;

float distance(const Position3& a, const Position3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

bool within(const Position3& a, const Position3& b, float reach) { return distance(a, b) < reach; }

Position3 where(Vehicle& kart) {
  Position3 at;
  kart.getPosition(at);
  return at;
}

// A hit sound at the kart, unless it still plays, announced to the peers.
void playHitSound(Vehicle& kart, int slot) {
  if (kart.soundPlaying(slot)) return;
  const Position3 at = where(kart);
  KartSoundSlot& sound = kart.m_items.sounds[static_cast<std::size_t>(slot)];
  if (!sound.empty()) {
    const float* v = kart.getVelocity();
    sound.buffer->set3DParameters(at.x, at.y, at.z, v[0], v[1], v[2], 0.0f, 0.0f, 0.0f);
    sound.buffer->play(false);
  }
  kart.m_net.m_soundStart.set(slot);
  kart.m_net.m_soundPosition.set(at);
}

void requestHitMotion(VehicleMaster& kart) {
  kart.requestEventMotion(kart.m_motions.m_driverIndex[KartMotions::kHit],
                          kart.m_motions.m_bodyIndex[KartMotions::kBodyHit], kHitMotionHold);
}

// A kart motion at full intensity, started over at `time`.
void startBodyMotion(VehicleMaster& kart, KartMotions::Body which, double time) {
  if (MixerMotion* motion = kart.m_motions.bodyMotion(which)) {
    motion->setIntensity(1.0f);
    motion->setOffset(static_cast<float>(time));
  }
}

class HitTest {
 public:
  HitTest(Race& race, VehicleMaster& victim, int k) : m_race(race), m_victim(victim), m_k(k), m_at(where(victim)) {}

  void against(Vehicle& attacker, int j) {
    rocket(attacker, j);
    KartStatusTimers& s = m_victim.m_status;
    if (j == m_k || s.shield != 0.0f || !m_victim.m_net.m_active.get()) return;
    bubbles(attacker);
    froster(attacker);
    shrinker(attacker);
    flash(attacker);
    // A mine already gone off under another kart spares the magnet too.
    if (!takenByAnother(j, [](Vehicle& v) { return v.m_net.m_extraMineIndex.get(); })) {
      mine(attacker, j);
      magnet(attacker, j);
    }
    weight(attacker, j);
  }

 private:
  // The victim's own timer and its fall timer both idle.
  bool free(float timer) const { return timer == 0.0f && m_victim.m_status.fall == 0.0f; }

  // Whether a kart other than `j` names j in the value `index` reads.
  template <class Index>
  bool takenByAnother(int j, Index index) const {
    for (Vehicle* kart : m_race.m_karts) {
      if (kart && kart->index() != j && index(*kart) == j) return true;
    }
    return false;
  }

  void rocket(Vehicle& attacker, int j) {
    KartStatusTimers& s = m_victim.m_status;
    VehicleNetValues& a = attacker.m_net;
    if (s.rocketHit != 0.0f || s.fall != 0.0f) return;
    if (a.m_targetLocked.get() != m_k || a.m_rocketFired.get() == 0) return;
    const Position3 rocketAt = a.m_rocketPos.get();
    if (!within(m_at, rocketAt, kRocketReach)) return;
    a.m_targetLocked.set(-1);
    a.m_rocketFired.set(0);
    a.m_extraRocket.set(0.0f);
    m_victim.m_net.m_rocketIndex.set(j);
    parkKartItem(findKartItem(*m_race.m_scene, "col", -1, m_k + 1));
    // A shield takes the rocket: it is gone, the kart goes on.
    const bool shielded = s.shield != 0.0f;
    if (!shielded && m_victim.m_net.m_active.get()) {
      s.rocketHit = kRocketHitTime;
      requestHitMotion(m_victim);
    }
    playHitSound(m_victim, kSoundRocketHit);
    if (!shielded) playHitSound(m_victim, kSoundLaugh);
    if (j != m_k) return;
    // Its own rocket came back to it.
    m_victim.m_projectiles.rocketLaunch = -1.0f;
    m_victim.m_net.m_explosionType.set(0);
    m_victim.explodeWeapon(rocketAt);
    m_victim.m_net.m_extraRocket.set(0.0f);
    for (SceneItem* item : m_victim.m_items.rockets) parkKartItem(item);
  }

  void bubbles(Vehicle& attacker) {
    for (std::size_t b = 0; b < VehicleNetValues::kSoapCount; ++b) {
      if (!free(m_victim.m_status.skid) || attacker.m_net.m_extraSoap[b].get() == 0.0f) continue;
      if (!within(m_at, attacker.m_net.m_extraSoapPos[b].get(), kBubbleReach)) continue;
      m_victim.m_status.skid = kSkidTime;
      startBodyMotion(m_victim, KartMotions::kBodyBubble, m_race.m_simTime);
    }
  }

  void froster(Vehicle& attacker) {
    if (!free(m_victim.m_status.frozen) || attacker.m_net.m_extraFroster.get() == 0.0f) return;
    const Position3 shotAt = attacker.m_net.m_extraFrosterPos.get();
    if (!within(m_at, shotAt, kShotReach)) return;
    m_victim.m_status.frozen = kFrozenTime;
    startBodyMotion(m_victim, KartMotions::kBodyIceBlock, m_race.m_simTime);
    m_victim.m_net.m_explosionType.set(1);
    m_victim.explodeWeapon(shotAt);
    m_victim.m_net.m_extraFroster.set(0.0f);
    parkKartItem(m_victim.m_items.lasers[1]);
  }

  void shrinker(Vehicle& attacker) {
    if (!free(m_victim.m_status.shrunk) || attacker.m_net.m_extraShrinker.get() == 0.0f) return;
    const Position3 shotAt = attacker.m_net.m_extraShrinkerPos.get();
    if (!within(m_at, shotAt, kShotReach)) return;
    m_victim.m_status.shrunk = VehicleMaster::kShrinkTime;
    playHitSound(m_victim, kSoundShrunk);
    m_victim.m_net.m_explosionType.set(2);
    m_victim.explodeWeapon(shotAt);
    m_victim.m_net.m_extraShrinker.set(0.0f);
    parkKartItem(m_victim.m_items.lasers[0]);
  }

  void flash(Vehicle& attacker) {
    if (!free(m_victim.m_status.throttleLock) || attacker.m_net.m_extraFlash.get() == 0.0f) return;
    if (!within(m_at, where(attacker), kFlashReach)) return;
    m_victim.m_status.throttleLock = kThrottleLockTime;
    playHitSound(m_victim, kSoundFlash);
  }

  void mine(Vehicle& attacker, int j) {
    if (!free(m_victim.m_status.mineHit)) return;
    if (!within(m_at, attacker.m_net.m_extraMinePos.get(), kMineReach)) return;
    requestHitMotion(m_victim);
    m_victim.m_status.mineHit = kMineHitTime;
    m_victim.m_net.m_extraMineIndex.set(j);
    playHitSound(m_victim, kSoundRocketHit);
    playHitSound(m_victim, kSoundLaugh);
    attacker.m_net.m_extraMinePos.set(kParked);
    parkKartItem(attacker.m_items.mine);
  }

  void magnet(Vehicle& attacker, int j) {
    if (!free(m_victim.m_status.magnet)) return;
    if (takenByAnother(j, [](Vehicle& v) { return v.m_net.m_effectMagnetObjectIndex.get(); })) return;
    const Position3 magnetAt = attacker.m_net.m_effectMagnetPos.get();
    if (!within(m_at, magnetAt, kMagnetReach)) return;
    m_victim.m_status.magnet = kMagnetTime;
    m_victim.m_status.magnetPosition = magnetAt;
    m_victim.m_net.m_effectMagnetObjectIndex.set(j);
  }

  void weight(Vehicle& attacker, int j) {
    if (!free(m_victim.m_status.weightHit) || attacker.m_net.m_extraWeight.get() == 0.0f) return;
    if (takenByAnother(j, [](Vehicle& v) { return v.m_net.m_effectWeightObjectIndex.get(); })) return;
    if (!within(m_at, where(attacker), kWeightReach)) return;
    m_victim.m_status.weightHit = kWeightHitTime;
    m_victim.m_net.m_effectWeightObjectIndex.set(j);
  }

  Race& m_race;
  VehicleMaster& m_victim;
  int m_k;
  Position3 m_at;
};

}  // namespace

void Race::testHits() {
  for (int k = 0; k < kMaxKarts; ++k) {
    VehicleMaster* victim = m_karts[k] ? m_karts[k]->getMaster() : nullptr;
    if (!victim) continue;
    HitTest test(*this, *victim, k);
    for (int j = 0; j < kMaxKarts; ++j) {
      if (m_karts[j]) test.against(*m_karts[j], j);
    }
  }
}

void Race::updateRocketFlightSounds() {
  const int own = m_viewKart[0];
  Vehicle* listener = own >= 0 && own < kMaxKarts ? m_karts[own] : nullptr;
  if (!listener) return;
  const Position3 ear = where(*listener);
  for (Vehicle* kart : m_karts) {
    VehicleMaster* master = kart ? kart->getMaster() : nullptr;
    if (!master) continue;
    KartSoundSlot& sound = master->m_items.sounds[kSoundRocketFlight];
    if (sound.empty()) continue;
    const Position3 rocketAt = master->m_net.m_rocketPos.get();
    // The flight sound loops: once the rocket is gone nothing else would
    // ever stop it.
    if (master->m_projectiles.rocketLaunch <= kInFlight || !within(ear, rocketAt, kFlightHearing)) {
      if (sound.buffer->isPlaying()) sound.buffer->stop();
      continue;
    }
    if (!sound.buffer->isPlaying()) sound.buffer->play(true);
    sound.buffer->set3DParameters(rocketAt.x, rocketAt.y, rocketAt.z, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f);
  }
}
